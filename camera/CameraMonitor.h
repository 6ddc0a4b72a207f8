#pragma once

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QWebSocket;

// Keeps one event WebSocket open per subscribed camera and turns its messages into
// stateChanged signals; lost sockets are retried a bounded number of times.
class CameraMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int reconnectIntervalMs = 5000;
    static constexpr int maxFailures = 11;

    explicit CameraMonitor(QObject* parent = nullptr);
    ~CameraMonitor() override;

    void subscribe(const QString& cameraId, const QString& ip);
    void unsubscribe(const QString& cameraId);
    void unsubscribeAll();

    bool isSubscribed(const QString& cameraId) const;
    // Reconnect attempts plus socket errors since the socket last connected; -1 when not subscribed.
    int failureCount(const QString& cameraId) const;
    QWebSocket* socketOf(const QString& cameraId) const;

    // Tests shorten the reconnect tick with this; the application keeps the default.
    void setReconnectInterval(int milliseconds);

signals:
    void stateChanged(const QString& cameraId, const QString& category, const QJsonObject& data);
    void connectionLost(const QString& cameraId);
    void connectionEstablished(const QString& cameraId);

public slots:
    void attemptReconnects();

private:
    struct Subscription {
        QPointer<QWebSocket> socket;
        QString ip;
        int failures = 0;
        bool active = false;
    };

    void connectSocket(const QString& cameraId, const QString& ip);
    void onConnected(const QString& cameraId);
    void onDisconnected(const QString& cameraId);
    void onTextMessage(const QString& cameraId, const QString& message);
    void onSocketError(const QString& cameraId);
    static void closeAndDiscard(QWebSocket* socket);

    QHash<QString, Subscription> m_subscriptions;
    QTimer m_reconnectTimer;
    int m_nextRequestId = 1;
};
