#pragma once

#include "LogCapture.h"
#include "TestHelpers.h"

#include <oscpack/osc/OscOutboundPacketStream.h>

#include <QHostAddress>
#include <QStringList>
#include <QUdpSocket>

#include <functional>
#include <vector>

// An OSC packet built with the library's own writer.
inline QByteArray oscPacket(const std::function<void(osc::OutboundPacketStream&)>& write)
{
    std::vector<char> buffer(8192);
    osc::OutboundPacketStream stream(buffer.data(), buffer.size());
    write(stream);
    return QByteArray(stream.Data(), int(stream.Size()));
}

inline void sendDatagram(quint16 port, const QByteArray& bytes, const QHostAddress& to = QHostAddress(QHostAddress::LocalHost))
{
    QUdpSocket().writeDatagram(bytes, to, port);
}
