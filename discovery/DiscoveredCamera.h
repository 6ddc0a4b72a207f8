#pragma once

#include <QMetaType>
#include <QString>

// A device that answered the scanner like a Blackmagic device.
struct DiscoveredCamera {
    QString ip;
    QString hostname;           // the resolved ".local" name for an mDNS hit, else empty
    QString productName;
    QString softwareVersion;
    bool isCamera = false;
};

Q_DECLARE_METATYPE(DiscoveredCamera)
