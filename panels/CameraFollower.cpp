#include "CameraFollower.h"

#include "CameraManager.h"

#include <utility>

CameraFollower::CameraFollower(CameraManager* manager, QObject* parent)
    : QObject(parent)
    , m_manager(manager)
{
    // Precise: a coarse timer may fire 5 % early, inside the pause it is meant to wait out.
    for (QTimer* timer : {&m_guardTimer, &m_refreshTimer, &m_debounceTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_guardTimer.setInterval(guardMs);
    m_refreshTimer.setInterval(refreshMs);
    m_debounceTimer.setInterval(debounceMs);

    connect(&m_guardTimer, &QTimer::timeout, this, [this] { m_recentlySent = false; });
    connect(&m_refreshTimer, &QTimer::timeout, this, &CameraFollower::refreshNow);
    connect(&m_debounceTimer, &QTimer::timeout, this, &CameraFollower::flush);
    connect(m_manager, &CameraManager::cameraStatusChanged, this, [this](const QString& cameraId) {
        if (!m_cameraId.isEmpty() && cameraId == m_cameraId)
            emit currentStatusChanged();
    });
}

void CameraFollower::follow(const QString& cameraId)
{
    if (hasPending() && m_pendingCameraId != cameraId)
        flush();
    m_cameraId = cameraId;
    m_recentlySent = false;
    m_guardTimer.stop();
    m_refreshTimer.stop();
}

const CameraState* CameraFollower::stateToShow(const QString& cameraId) const
{
    if (cameraId.isEmpty() || cameraId != m_cameraId || isGuarded())
        return nullptr;
    return currentState();
}

const CameraState* CameraFollower::currentState() const
{
    return m_cameraId.isEmpty() ? nullptr : m_manager->cameraList()->state(m_cameraId);
}

std::optional<CameraCapabilities> CameraFollower::capabilities() const
{
    if (m_cameraId.isEmpty())
        return std::nullopt;
    return m_manager->capabilities(m_cameraId);
}

void CameraFollower::send(const QString& endpoint, const QJsonObject& body)
{
    if (!acceptsInput())
        return;
    m_manager->sendCommand(m_cameraId, endpoint, body);
    guard();
}

void CameraFollower::sendLater(const QString& endpoint, const QJsonObject& body)
{
    if (!acceptsInput())
        return;
    m_pendingCameraId = m_cameraId;
    m_pendingEndpoint = endpoint;
    m_pendingBody = body;
    m_debounceTimer.start();
}

void CameraFollower::flush()
{
    m_debounceTimer.stop();
    if (!hasPending())
        return;
    const QString cameraId = std::exchange(m_pendingCameraId, QString());
    const QString endpoint = std::exchange(m_pendingEndpoint, QString());
    const QJsonObject body = std::exchange(m_pendingBody, QJsonObject());
    m_manager->sendCommand(cameraId, endpoint, body);
    if (cameraId == m_cameraId)
        guard();
}

bool CameraFollower::isGuarded() const
{
    return m_recentlySent || (hasPending() && m_pendingCameraId == m_cameraId);
}

void CameraFollower::refreshNow()
{
    m_recentlySent = false;
    m_guardTimer.stop();
    m_refreshTimer.stop();
    if (!m_cameraId.isEmpty())
        m_manager->fetchState(m_cameraId);
}

void CameraFollower::guard()
{
    m_recentlySent = true;
    m_guardTimer.start();
    m_refreshTimer.start();
    emit commandSent();
}
