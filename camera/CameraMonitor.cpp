#include "CameraMonitor.h"

#include "CameraEvents.h"
#include "CameraLog.h"

#include <QUrl>
#include <QWebSocket>

CameraMonitor::CameraMonitor(QObject* parent)
    : QObject(parent)
{
    m_reconnectTimer.setInterval(reconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CameraMonitor::attemptReconnects);
    m_reconnectTimer.start();
}

CameraMonitor::~CameraMonitor()
{
    unsubscribeAll();
}

void CameraMonitor::setReconnectInterval(int milliseconds)
{
    m_reconnectTimer.start(milliseconds);
}

void CameraMonitor::subscribe(const QString& cameraId, const QString& ip)
{
    unsubscribe(cameraId);
    Subscription subscription;
    subscription.ip = ip;
    subscription.active = true;
    m_subscriptions.insert(cameraId, subscription);
    connectSocket(cameraId, ip);
}

void CameraMonitor::closeAndDiscard(QWebSocket* socket)
{
    // Detach first: a socket being retired must not report a loss or a message.
    socket->disconnect();
    socket->close(QWebSocketProtocol::CloseCodeNormal, QString());
    socket->deleteLater();
}

void CameraMonitor::unsubscribe(const QString& cameraId)
{
    auto it = m_subscriptions.find(cameraId);
    if (it == m_subscriptions.end())
        return;
    it->active = false;
    if (it->socket)
        closeAndDiscard(it->socket);
    m_subscriptions.erase(it);
}

void CameraMonitor::unsubscribeAll()
{
    const QStringList ids = m_subscriptions.keys();
    for (const QString& id : ids)
        unsubscribe(id);
}

bool CameraMonitor::isSubscribed(const QString& cameraId) const
{
    return m_subscriptions.contains(cameraId);
}

int CameraMonitor::failureCount(const QString& cameraId) const
{
    const auto it = m_subscriptions.constFind(cameraId);
    return it == m_subscriptions.cend() ? -1 : it->failures;
}

QWebSocket* CameraMonitor::socketOf(const QString& cameraId) const
{
    const auto it = m_subscriptions.constFind(cameraId);
    return it == m_subscriptions.cend() ? nullptr : it->socket.data();
}

void CameraMonitor::connectSocket(const QString& cameraId, const QString& ip)
{
    auto it = m_subscriptions.find(cameraId);
    if (it == m_subscriptions.end())
        return;
    auto* socket = new QWebSocket(QString(), QWebSocketProtocol::Version13, this);
    it->socket = socket;
    connect(socket, &QWebSocket::connected, this, [this, cameraId] { onConnected(cameraId); });
    connect(socket, &QWebSocket::disconnected, this, [this, cameraId] { onDisconnected(cameraId); });
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, cameraId](const QString& message) { onTextMessage(cameraId, message); });
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    connect(socket, &QWebSocket::errorOccurred, this, [this, cameraId] { onSocketError(cameraId); });
#else
    connect(socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            [this, cameraId] { onSocketError(cameraId); });
#endif
    socket->open(QUrl(QStringLiteral("ws://%1/control/api/v1/event/websocket").arg(ip)));
}

void CameraMonitor::onConnected(const QString& cameraId)
{
    auto it = m_subscriptions.find(cameraId);
    if (it == m_subscriptions.end())
        return;
    it->failures = 0;
    // Current firmware pushes property changes only after a subscription request.
    if (it->socket)
        it->socket->sendTextMessage(QString::fromUtf8(CameraEvents::subscribeRequest(m_nextRequestId++)));
    emit connectionEstablished(cameraId);
}

void CameraMonitor::onDisconnected(const QString& cameraId)
{
    emit connectionLost(cameraId);
}

void CameraMonitor::onTextMessage(const QString& cameraId, const QString& message)
{
    const std::optional<QJsonObject> object = CameraEvents::decode(message.toUtf8());
    if (!object)
        return;
    emit stateChanged(cameraId, CameraEvents::categoryOf(*object), *object);
}

void CameraMonitor::onSocketError(const QString& cameraId)
{
    auto it = m_subscriptions.find(cameraId);
    if (it != m_subscriptions.end())
        ++it->failures;
}

void CameraMonitor::attemptReconnects()
{
    for (auto it = m_subscriptions.begin(); it != m_subscriptions.end(); ++it) {
        if (!it->active || it->failures >= maxFailures)
            continue;
        if (it->socket && it->socket->state() == QAbstractSocket::ConnectedState)
            continue;
        if (it->socket) {
            closeAndDiscard(it->socket);
            it->socket = nullptr;
        }
        ++it->failures;
        connectSocket(it.key(), it->ip);
    }
}
