#pragma once

#include "CameraCapabilities.h"

#include <QString>

// What a simulated model can do. A model that lacks a feature answers 404 on the
// endpoints of that feature, as the real devices of that family do.
struct ModelProfile : CameraCapabilities {
    bool isCamera = true;            // false for recorders, switchers and converters

    static ModelProfile forProduct(const QString& productName);
};
