#pragma once

#include <QString>

// What a camera model can do, so that controls it would reject are disabled.
struct CameraCapabilities {
    bool hasNdFilter = true;
    bool hasStorage = true;
    bool hasPhantomPower = true;
    bool hasOffSpeed = true;
    bool canChangeFormat = true;
    QString model;

    // Unknown models, and a camera that has not reported one yet, get every feature.
    static CameraCapabilities fromModel(const QString& model);
};
