#pragma once

#include <oscpack/osc/OscOutboundPacketStream.h>

#include <QHostAddress>
#include <QMutex>
#include <QStringList>
#include <QUdpSocket>

#include <functional>
#include <vector>

// The OSC library's log lines, from any thread, for as long as it lives.
struct OscLogCapture {
    static inline QStringList lines;
    static inline QMutex lock;
    static inline QtMessageHandler previous = nullptr;
    OscLogCapture()
    {
        lines.clear();
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (QByteArray(context.category) != "kovra.osc")
                return previous(type, context, text);
            QMutexLocker guard(&lock);
            lines << text;
        });
    }
    ~OscLogCapture() { qInstallMessageHandler(previous); }
    QStringList taken() const
    {
        QMutexLocker guard(&lock);
        return lines;
    }
};

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

// A UDP port that was free a moment ago.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}
