#include "CameraManager.h"
#include "ArpSource.h"
#include "CameraApi.h"
#include "CameraLog.h"
#include "CameraMonitor.h"
#include "CameraStateIngest.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>
#include <QUuid>

namespace {
qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

const QStringList& sweepEndpoints()
{
    static const QStringList endpoints = [] {
        QStringList list = {
            "lens/iris", "lens/focus", "lens/zoom",
            "video/iso", "video/gain", "video/whiteBalance", "video/whiteBalanceTint", "video/shutter",
            "video/ndFilter", "video/autoExposure",
            "colorCorrection/lift", "colorCorrection/gamma", "colorCorrection/gain", "colorCorrection/offset",
            "colorCorrection/contrast", "colorCorrection/color", "colorCorrection/lumaContribution",
            "transports/0", "presets", "presets/active",
        };
        for (int channel = 0; channel < 2; ++channel) {
            const QString prefix = QString("audio/channel/%1/").arg(channel);
            for (const char* row : {"level", "input", "phantomPower", "padding", "lowCutFilter", "supportedInputs",
                                    "input/description"})
                list.append(prefix + row);
        }
        list << "system/codecFormat" << "system/videoFormat" << "system/format" << "system/supportedFormats"
             << "media/active"
             << "camera/tallyStatus" << "camera/programFeedDisplay" << "camera/colorBars" << "camera/power"
             << "camera/timingReferenceLock";
        for (const char* output : {"HDMI", "MainSDI"})
            for (const char* overlay : {"cleanFeed", "displayLUT", "falseColor", "focusAssist", "frameGuide",
                                        "safeArea", "zebra", "frameGrids"})
                list.append(QString("monitoring/%1/%2").arg(output, overlay));
        return list;
    }();
    return endpoints;
}
}

CameraManager::CameraManager(QObject* parent, ArpSource* arp)
    : QObject(parent)
    , m_list(new CameraList(this))
    , m_api(new CameraApi(this))
    , m_monitor(new CameraMonitor(this))
    , m_arp(arp)
{
    if (m_arp) {
        m_arp->setParent(this);
        connect(m_arp, &ArpSource::tableRead, this, &CameraManager::onArpTable);
    }
    connect(m_list, &CameraList::changed, this, &CameraManager::cameraListChanged);
    connect(m_api, &CameraApi::pingResult, this, &CameraManager::onPingResult);
    connect(m_api, &CameraApi::getFinished, this, &CameraManager::onGetFinished);
    connect(m_api, &CameraApi::getFailed, this, &CameraManager::onGetFailed);
    connect(m_api, &CameraApi::putFinished, this, &CameraManager::onPutFinished);
    connect(m_monitor, &CameraMonitor::stateChanged, this, &CameraManager::onMonitorStateChanged);
    connect(m_monitor, &CameraMonitor::connectionLost, this, &CameraManager::onConnectionLost);
    connect(m_monitor, &CameraMonitor::connectionEstablished, this, &CameraManager::onConnectionEstablished);
    connect(&m_pollTimer, &QTimer::timeout, this, &CameraManager::pollCameraStates);
    m_pollTimer.start(pollIntervalMs);
}

CameraCapabilities CameraManager::capabilities(const QString& cameraId) const
{
    const Camera* camera = m_list->camera(cameraId);
    return CameraCapabilities::fromModel(camera ? camera->model : QString());
}

const Camera* CameraManager::cameraAt(const QString& ip) const
{
    const auto id = m_addressToId.constFind(ip);
    return id == m_addressToId.cend() ? nullptr : m_list->camera(id.value());
}

void CameraManager::addCamera(const QString& name, const QString& ip, int oscIndex)
{
    if (const Camera* holder = cameraAt(ip)) {
        emit connectionError(holder->id, QStringLiteral("Camera \"%1\" not added: %2 is already the address of camera \"%3\"")
                                             .arg(name, ip, holder->name));
        return;
    }
    Camera camera;
    camera.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    camera.name = name;
    camera.ip = ip;
    camera.oscIndex = oscIndex;
    camera.status = CameraStatus::Connecting;
    m_addressToId.insert(ip, camera.id);
    m_list->addCamera(camera);
    m_api->ping(ip);
    saveConfig();
}

void CameraManager::removeCamera(const QString& cameraId)
{
    const Camera* camera = m_list->camera(cameraId);
    if (!camera)
        return;
    m_addressToId.remove(camera->ip);
    m_monitor->unsubscribe(cameraId);
    m_list->removeCamera(cameraId);
    saveConfig();
}

void CameraManager::disconnectCamera(const QString& cameraId)
{
    Camera* camera = m_list->camera(cameraId);
    if (!camera)
        return;
    m_monitor->unsubscribe(cameraId);
    camera->status = CameraStatus::Disconnected;
    camera->manuallyDisconnected = true;
    emit cameraStatusChanged(cameraId);
    saveConfig();
}

bool CameraManager::isManuallyDisconnected(const QString& cameraId) const
{
    const Camera* camera = m_list->camera(cameraId);
    return camera && camera->manuallyDisconnected;
}

void CameraManager::refreshCamera(const QString& cameraId)
{
    Camera* camera = m_list->camera(cameraId);
    if (!camera)
        return;
    camera->manuallyDisconnected = false;
    m_api->ping(camera->ip);
}

void CameraManager::refreshAll()
{
    for (const Camera& listed : m_list->allCameras()) {
        if (Camera* camera = m_list->camera(listed.id)) {
            camera->manuallyDisconnected = false;
            m_api->ping(camera->ip);
        }
    }
}

void CameraManager::fetchState(const QString& cameraId)
{
    const Camera* camera = m_list->camera(cameraId);
    if (camera && !camera->manuallyDisconnected && camera->status == CameraStatus::Connected)
        fetchFullState(cameraId);
}

void CameraManager::sendCommand(const QString& cameraId, const QString& endpoint, const QJsonObject& body)
{
    if (const Camera* camera = m_list->camera(cameraId))
        m_api->put(camera->ip, endpoint, body);
}

void CameraManager::sendCommandRaw(const QString& cameraId, const QString& endpoint, const QByteArray& body)
{
    if (const Camera* camera = m_list->camera(cameraId))
        m_api->putRaw(camera->ip, endpoint, body);
}

void CameraManager::saveConfig()
{
    m_list->save(configPath());
}

void CameraManager::loadConfig()
{
    if (m_list->load(configPath()))
        syncAfterExternalLoad();
}

QString CameraManager::configPath() const
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder + "/cameras.json";
}

void CameraManager::syncAfterExternalLoad()
{
    m_addressToId.clear();
    const QList<Camera> cameras = m_list->allCameras();
    for (const Camera& camera : cameras)
        m_addressToId.insert(camera.ip, camera.id);
    for (const Camera& camera : cameras) {
        if (!camera.manuallyDisconnected)
            m_api->ping(camera.ip);
    }
    emit cameraListChanged();
}

void CameraManager::pollCameraStates()
{
    bool lostCameraHasMac = false;
    const qint64 now = nowMs();
    for (const Camera& listed : m_list->allCameras()) {
        Camera* camera = m_list->camera(listed.id);
        if (!camera || camera->manuallyDisconnected)
            continue;
        switch (camera->status) {
        case CameraStatus::Connected: {
            const qint64 last = m_lastReply.value(camera->ip, 0);
            if (last != 0 && now - last > silenceLimitMs) {
                camera->status = CameraStatus::Disconnected;
                m_pendingReplies.remove(camera->ip);
                m_monitor->unsubscribe(camera->id);
                qCWarning(lcCamera) << "Camera" << camera->name << "at" << camera->ip
                                    << "stopped answering - reconnecting";
                emit cameraStatusChanged(camera->id);
                m_api->ping(camera->ip);
            } else {
                fetchFullState(camera->id);
            }
            break;
        }
        case CameraStatus::NotACamera:
            break;
        case CameraStatus::Disconnected:
        case CameraStatus::Connecting:
        case CameraStatus::Error:
            m_api->ping(camera->ip);
            if (!camera->mac.isEmpty())
                lostCameraHasMac = true;
            break;
        }
    }
    if (lostCameraHasMac)
        startArpLookup();
}

void CameraManager::fetchFullState(const QString& cameraId)
{
    const Camera* camera = m_list->camera(cameraId);
    if (!camera)
        return;
    const QString ip = camera->ip;
    if (m_pendingReplies.value(ip, 0) > 0)
        return;
    const QSet<QString> unsupported = m_unsupportedEndpoints.value(ip);
    for (const QString& endpoint : sweepEndpoints()) {
        if (unsupported.contains(endpoint))
            continue;
        ++m_pendingReplies[ip];
        m_api->get(ip, endpoint);
    }
}

void CameraManager::onPingResult(const QString& ip, bool reachable, const QJsonObject& info)
{
    if (!m_addressToId.contains(ip)) {
        handleRelocationProbe(ip, reachable, info);
        return;
    }
    const QString id = m_addressToId.value(ip);
    Camera* camera = m_list->camera(id);
    if (!camera)
        return;
    if (!reachable) {
        camera->status = CameraStatus::Error;
        emit cameraStatusChanged(id);
        return;
    }
    m_unsupportedEndpoints.remove(ip);
    m_pendingReplies.remove(ip);
    m_lastReply.insert(ip, nowMs());

    if (!info.value("isCamera").toBool(true)) {
        const CameraStatus previous = camera->status;
        camera->status = CameraStatus::NotACamera;
        camera->model = info.value("model").toString();
        camera->firmware = info.value("firmware").toString();
        if (previous != CameraStatus::NotACamera)
            qCWarning(lcCamera) << "Not a camera:" << camera->name << "at" << ip
                                << "- Kovra Control cannot control this device";
        emit cameraStatusChanged(id);
        return;
    }

    camera->status = CameraStatus::Connected;
    camera->model = info.value("model").toString();
    camera->firmware = info.value("firmware").toString();
    if (camera->mac.isEmpty() && m_arp) {
        const QString mac = m_arp->macForIp(ip);
        if (!mac.isEmpty()) {
            camera->mac = mac;
            saveConfig();
        }
    }
    m_monitor->subscribe(id, ip);
    fetchFullState(id);
    emit cameraStatusChanged(id);
}

void CameraManager::handleRelocationProbe(const QString& ip, bool reachable, const QJsonObject& info)
{
    const QString id = m_relocationProbes.take(ip);
    if (id.isEmpty() || !reachable || !info.value("isCamera").toBool(true))
        return;
    const Camera* camera = m_list->camera(id);
    if (!camera || camera->status == CameraStatus::Connected || camera->manuallyDisconnected)
        return;
    qCInfo(lcCamera) << "Camera" << camera->name << "found at" << ip << "(was" << camera->ip << ") - relocating";
    relocateCamera(id, ip);
}

void CameraManager::notePendingReply(const QString& ip)
{
    auto it = m_pendingReplies.find(ip);
    if (it == m_pendingReplies.end())
        return;
    if (--it.value() < 1)
        m_pendingReplies.erase(it);
}

void CameraManager::onGetFinished(const QString& ip, const QString& endpoint, const QJsonObject& response)
{
    const auto id = m_addressToId.constFind(ip);
    if (id == m_addressToId.constEnd())
        return;
    notePendingReply(ip);
    if (response.isEmpty())
        return;
    m_lastReply.insert(ip, nowMs());
    if (response.contains("error")) {
        markUnsupported(ip, endpoint, response.value("error").toString());
        return;
    }
    updateStateFromJson(id.value(), endpoint, response);
    emit cameraStateUpdated(id.value());
}

void CameraManager::onGetFailed(const QString& ip, const QString& endpoint, int httpStatus)
{
    if (!m_addressToId.contains(ip))
        return;
    if (httpStatus == 404 || httpStatus == 405 || httpStatus == 501)
        markUnsupported(ip, endpoint, QString("HTTP %1").arg(httpStatus));
}

void CameraManager::markUnsupported(const QString& ip, const QString& endpoint, const QString& reason)
{
    // The preset list is empty-but-valid on some cameras: keep asking for it.
    if (endpoint.startsWith("presets"))
        return;
    QSet<QString>& unsupported = m_unsupportedEndpoints[ip];
    if (unsupported.contains(endpoint))
        return;
    unsupported.insert(endpoint);
    qCInfo(lcCamera) << "Camera" << ip << "does not implement" << endpoint << "(" << reason << ") - no longer polled";
}

void CameraManager::onPutFinished(const QString& ip, const QString&, bool success, const QString& error)
{
    if (success)
        return;
    const auto id = m_addressToId.constFind(ip);
    if (id != m_addressToId.constEnd())
        emit connectionError(id.value(), error);
}

void CameraManager::onConnectionLost(const QString& cameraId)
{
    Camera* camera = m_list->camera(cameraId);
    // The event channel is an extra: a connected camera stays connected while its REST replies
    // keep arriving, and silence detection judges when they stop. The monitor reconnects the socket.
    if (!camera || camera->status == CameraStatus::Connected)
        return;
    camera->status = CameraStatus::Disconnected;
    emit cameraStatusChanged(cameraId);
}

void CameraManager::onConnectionEstablished(const QString& cameraId)
{
    Camera* camera = m_list->camera(cameraId);
    if (!camera || camera->status == CameraStatus::Connected)
        return;
    camera->status = CameraStatus::Connected;
    emit cameraStatusChanged(cameraId);
}

void CameraManager::updateStateFromJson(const QString& cameraId, const QString& endpoint, const QJsonObject& json)
{
    if (CameraState* state = m_list->state(cameraId))
        CameraStateIngest::applyReply(*state, endpoint, json);
}

void CameraManager::onMonitorStateChanged(const QString& cameraId, const QString&, const QJsonObject& data)
{
    CameraState* state = m_list->state(cameraId);
    if (!state)
        return;
    CameraStateIngest::applyEvent(*state, data);
    emit cameraStateUpdated(cameraId);
}

void CameraManager::startArpLookup()
{
    if (!m_arp || m_arp->isReading())
        return;
    const qint64 now = nowMs();
    if (now - m_lastArpLookupMs < arpReadSpacingMs)
        return;
    m_lastArpLookupMs = now;
    m_arp->startTableRead();
}

void CameraManager::onArpTable(const QHash<QString, QString>& table)
{
    for (const Camera& camera : m_list->allCameras()) {
        if (camera.mac.isEmpty() || camera.manuallyDisconnected || camera.status == CameraStatus::Connected
            || camera.status == CameraStatus::NotACamera)
            continue;
        const QString candidate = table.value(camera.mac);
        if (candidate.isEmpty() || candidate == camera.ip)
            continue;
        if (m_addressToId.contains(candidate) || m_relocationProbes.contains(candidate))
            continue;
        m_relocationProbes.insert(candidate, camera.id);
        m_api->ping(candidate);
    }
}

void CameraManager::relocateCamera(const QString& cameraId, const QString& newIp)
{
    Camera* camera = m_list->camera(cameraId);
    if (!camera)
        return;
    if (const Camera* holder = cameraAt(newIp); holder && holder->id != cameraId) {
        emit connectionError(cameraId, QStringLiteral("Camera \"%1\" not moved: %2 is already the address of camera \"%3\"")
                                           .arg(camera->name, newIp, holder->name));
        return;
    }
    m_monitor->unsubscribe(cameraId);
    const QString oldIp = camera->ip;
    m_addressToId.remove(oldIp);
    m_unsupportedEndpoints.remove(oldIp);
    m_pendingReplies.remove(oldIp);
    m_lastReply.remove(oldIp);
    m_relocationProbes.remove(oldIp);
    camera->ip = newIp;
    m_addressToId.insert(newIp, cameraId);
    camera->manuallyDisconnected = false;
    camera->status = CameraStatus::Connecting;
    saveConfig();
    emit cameraListChanged();
    emit cameraStatusChanged(cameraId);
    m_api->ping(newIp);
}
