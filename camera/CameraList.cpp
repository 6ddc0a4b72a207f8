#include "CameraList.h"
#include "CameraLog.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <algorithm>

Q_LOGGING_CATEGORY(lcCamera, "kovra.camera")

namespace {
// Shared by every list in the process so a duplicate number is reported once per run.
QSet<int>& reportedDuplicateIndexes()
{
    static QSet<int> reported;
    return reported;
}
}

CameraList::CameraList(QObject* parent)
    : QObject(parent)
{
}

void CameraList::addCamera(const Camera& camera)
{
    m_cameras.insert(camera.id, camera);
    m_states.insert(camera.id, CameraState{});
    emit cameraAdded(camera.id);
    emit changed();
}

void CameraList::removeCamera(const QString& id)
{
    m_cameras.remove(id);
    m_states.remove(id);
    emit cameraRemoved(id);
    emit changed();
}

void CameraList::updateCamera(const QString& id, const QString& name, const QString& ip, int oscIndex)
{
    auto it = m_cameras.find(id);
    if (it == m_cameras.end())
        return;
    it->name = name;
    it->ip = ip;
    it->oscIndex = oscIndex;
    emit changed();
}

Camera* CameraList::camera(const QString& id)
{
    auto it = m_cameras.find(id);
    return it == m_cameras.end() ? nullptr : &it.value();
}

CameraState* CameraList::state(const QString& id)
{
    auto it = m_states.find(id);
    return it == m_states.end() ? nullptr : &it.value();
}

Camera* CameraList::cameraByIndex(int oscIndex)
{
    Camera* candidate = nullptr;
    for (auto it = m_cameras.begin(); it != m_cameras.end(); ++it) {
        Camera& other = it.value();
        if (other.oscIndex != oscIndex)
            continue;
        if (!candidate) {
            candidate = &other;
            continue;
        }
        QSet<int>& reported = reportedDuplicateIndexes();
        if (!reported.contains(oscIndex)) {
            reported.insert(oscIndex);
            qCWarning(lcCamera) << "Cameras" << candidate->name << "and" << other.name << "share OSC index"
                                << oscIndex << "- give each camera its own index";
        }
        // The smallest id wins so the choice does not depend on the table order.
        if (other.id < candidate->id)
            candidate = &other;
    }
    return candidate;
}

Camera* CameraList::cameraByIp(const QString& ip)
{
    for (auto it = m_cameras.begin(); it != m_cameras.end(); ++it) {
        if (it->ip == ip)
            return &it.value();
    }
    return nullptr;
}

Camera* CameraList::cameraByMac(const QString& mac)
{
    if (mac.isEmpty())
        return nullptr;
    for (auto it = m_cameras.begin(); it != m_cameras.end(); ++it) {
        if (it->mac == mac)
            return &it.value();
    }
    return nullptr;
}

QList<Camera> CameraList::allCameras() const
{
    QList<Camera> cameras = m_cameras.values();
    std::stable_sort(cameras.begin(), cameras.end(),
                     [](const Camera& a, const Camera& b) { return a.oscIndex < b.oscIndex; });
    return cameras;
}

int CameraList::count() const
{
    return m_cameras.size();
}

QJsonObject CameraList::cameraToJson(const Camera& camera)
{
    QJsonObject object;
    object.insert("id", camera.id);
    object.insert("name", camera.name);
    object.insert("ip", camera.ip);
    object.insert("index", camera.oscIndex);
    if (camera.manuallyDisconnected)
        object.insert("disconnected", true);
    if (!camera.mac.isEmpty())
        object.insert("mac", camera.mac);
    return object;
}

Camera CameraList::cameraFromJson(const QJsonObject& object)
{
    Camera camera;
    camera.id = object.value("id").toString();
    camera.name = object.value("name").toString();
    camera.ip = object.value("ip").toString();
    camera.oscIndex = object.value("index").toInt(0);
    camera.manuallyDisconnected = object.value("disconnected").toBool(false);
    camera.mac = object.value("mac").toString();
    return camera;
}

QJsonArray CameraList::toJsonArray() const
{
    QJsonArray array;
    for (const Camera& camera : m_cameras)
        array.append(cameraToJson(camera));
    return array;
}

void CameraList::replaceAll(const QJsonArray& array)
{
    m_cameras.clear();
    m_states.clear();
    for (const QJsonValue& value : array) {
        const Camera camera = cameraFromJson(value.toObject());
        m_cameras.insert(camera.id, camera);
        m_states.insert(camera.id, CameraState{});
    }
}

void CameraList::fromJsonArray(const QJsonArray& array)
{
    replaceAll(array);
    emit changed();
}

bool CameraList::save(const QString& path) const
{
    // Atomic: a crash or a full disk mid-write never leaves a truncated file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QJsonObject root;
    root.insert("cameras", toJsonArray());
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    return file.commit();
}

bool CameraList::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return false;
    replaceAll(document.object().value("cameras").toArray());
    emit changed();
    return true;
}
