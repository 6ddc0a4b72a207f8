#include "LocalNetwork.h"

#include "ArpLookup.h"

#include <QNetworkInterface>

namespace {

class SystemNetwork : public LocalNetwork {
public:
    QList<InterfaceAddress> interfaceAddresses() override
    {
        QList<InterfaceAddress> result;
        const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
        for (const QNetworkInterface& interface : interfaces) {
            const QNetworkInterface::InterfaceFlags flags = interface.flags();
            for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
                if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                    continue;
                InterfaceAddress address;
                address.name = interface.name();
                address.humanReadableName = interface.humanReadableName();
                address.address = entry.ip();
                address.prefixLength = entry.prefixLength();
                address.up = flags.testFlag(QNetworkInterface::IsUp);
                address.running = flags.testFlag(QNetworkInterface::IsRunning);
                address.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
                result.append(address);
            }
        }
        return result;
    }

    QString macForIp(const QString& ip) override { return ArpLookup::macForIp(ip); }
};

}

LocalNetwork* LocalNetwork::standard()
{
    static SystemNetwork network;
    return &network;
}
