#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// One IPv4 address of a network interface of this computer.
struct InterfaceAddress {
    QString name;                 // the system's name, e.g. "en0", "eth0", "wlp2s0"
    QString humanReadableName;
    QHostAddress address;
    int prefixLength = 0;
    bool up = false;
    bool running = false;
    bool loopback = false;
};

// This computer's side of the network as the Cameras panel needs it: its interface addresses
// and the ARP table's answer for one address. The program uses the system; tests hand in
// interfaces and hardware addresses of their own.
class LocalNetwork {
public:
    virtual ~LocalNetwork() = default;

    // Every IPv4 address of every interface, with that interface's state.
    virtual QList<InterfaceAddress> interfaceAddresses() = 0;
    // The canonical MAC listed for the address, empty when unknown; blocks for up to 2 s.
    virtual QString macForIp(const QString& ip) = 0;

    static LocalNetwork* standard();
    static LocalNetwork* orStandard(LocalNetwork* network) { return network ? network : standard(); }
};
