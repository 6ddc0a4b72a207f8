#pragma once

#include <QString>

enum class CameraStatus : int {
    Disconnected = 0,
    Connecting = 1,
    Connected = 2,
    Error = 3,
    NotACamera = 4,
};

// A configured camera. Only id, name, ip, oscIndex, manuallyDisconnected and mac are stored.
struct Camera {
    QString id;
    QString name;
    QString ip;
    int oscIndex = 0;
    QString model;
    QString firmware;
    CameraStatus status = CameraStatus::Disconnected;
    bool manuallyDisconnected = false;
    QString mac;
};
