#pragma once

#include <QObject>
#include <QString>

#include <memory>

struct CameraState;
class UdpSocket;

// Echoes camera state to a show-control desk as OSC over UDP, one datagram per value.
// Off by default; while on, holds a socket connected to the destination.
class OscSender : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultPort = 58001;

    explicit OscSender(QObject* parent = nullptr);
    ~OscSender() override;

    void setDestination(const QString& address, int port);
    void setLocalInterface(const QString& address);
    void setEnabled(bool enabled);

    QString destinationIp() const { return m_destinationIp; }
    int destinationPort() const { return m_destinationPort; }
    QString localInterface() const { return m_localInterface; }
    bool isEnabled() const { return m_enabled; }

    void rebuildSocket();

    void sendFloat(const QString& address, float value);
    void sendInt(const QString& address, int value);
    void sendString(const QString& address, const QString& value);
    void sendState(int oscIndex, const CameraState& state);

private:
    template <typename Value>
    bool send(const QString& address, const Value& value);

    QString m_destinationIp = QStringLiteral("127.0.0.1");
    int m_destinationPort = defaultPort;
    QString m_localInterface;
    bool m_enabled = false;
    std::unique_ptr<UdpSocket> m_socket;
};
