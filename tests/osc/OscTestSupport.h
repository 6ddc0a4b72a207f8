#pragma once

#include <oscpack/osc/OscOutboundPacketStream.h>

#include <QByteArray>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QUdpSocket>

#include <functional>
#include <vector>

// Collects the OSC library's log lines from any thread.
struct OscLogCapture {
    static inline QStringList lines;
    static inline QMutex lock;
    static inline QtMessageHandler previous = nullptr;
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (context.category && QByteArray(context.category) == "kovra.osc") {
            QMutexLocker guard(&lock);
            lines << QString(type == QtWarningMsg ? "WARN " : "INFO ") + message;
            return;
        }
        previous(type, context, message);
    }
    static QStringList taken()
    {
        QMutexLocker guard(&lock);
        return lines;
    }
    static int count()
    {
        QMutexLocker guard(&lock);
        return lines.size();
    }
    OscLogCapture()
    {
        QMutexLocker guard(&lock);
        lines.clear();
        previous = qInstallMessageHandler(handler);
    }
    ~OscLogCapture() { qInstallMessageHandler(previous); }
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
    QUdpSocket socket;
    socket.writeDatagram(bytes, to, port);
}

// A UDP port that was free a moment ago.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}
