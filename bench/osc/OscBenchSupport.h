#pragma once

#include <oscpack/ip/IpEndpointName.h>
#include <oscpack/ip/UdpSocket.h>
#include <oscpack/osc/OscOutboundPacketStream.h>

#include <QHostAddress>
#include <QUdpSocket>

#include <chrono>
#include <cstdio>
#include <thread>

using BenchClock = std::chrono::steady_clock;

inline double secondsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

inline int freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// Sends focus messages carrying their sequence number, as a desk's fader would.
class FocusSender {
public:
    explicit FocusSender(int port, const char* address = "/camera/1/focus")
        : m_socket(IpEndpointName("127.0.0.1", port)), m_address(address) {}

    void send(int sequence)
    {
        char buffer[256];
        osc::OutboundPacketStream packet(buffer, sizeof buffer);
        packet << osc::BeginMessage(m_address) << float(sequence) << osc::EndMessage;
        m_socket.Send(packet.Data(), packet.Size());
    }

private:
    UdpTransmitSocket m_socket;
    const char* m_address;
};
