#pragma once

#include "Camera.h"
#include "CameraState.h"

#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QObject>

// Registry of the configured cameras and owner of their live state records.
// Pointers handed out stay valid only until a camera is added or removed.
class CameraList : public QObject {
    Q_OBJECT
public:
    explicit CameraList(QObject* parent = nullptr);

    void addCamera(const Camera& camera);
    void removeCamera(const QString& id);
    void updateCamera(const QString& id, const QString& name, const QString& ip, int oscIndex);

    Camera* camera(const QString& id);
    CameraState* state(const QString& id);
    Camera* cameraByIndex(int oscIndex);
    Camera* cameraByIp(const QString& ip);
    Camera* cameraByMac(const QString& mac);

    QList<Camera> allCameras() const;
    int count() const;

    QJsonArray toJsonArray() const;
    void fromJsonArray(const QJsonArray& array);

    bool save(const QString& path) const;
    bool load(const QString& path);

signals:
    void cameraAdded(const QString& id);
    void cameraRemoved(const QString& id);
    void changed();

private:
    static Camera cameraFromJson(const QJsonObject& object);
    static QJsonObject cameraToJson(const Camera& camera);
    void replaceAll(const QJsonArray& array);

    QHash<QString, Camera> m_cameras;
    QHash<QString, CameraState> m_states;
};
