#pragma once

#include <QString>

// What a simulated product answers. A camera that lacks a feature answers 404 on the
// endpoints of that feature; a product that is not a camera answers no camera endpoint.
// Written from the product families' descriptions, independently of the program's own
// capability table, so that tests can hold the two against each other.
struct ModelProfile {
    bool isCamera = true;
    bool ndFilter = true;        // "video/ndFilter"
    bool storage = true;         // "media/active"
    bool phantomPower = true;    // "audio/channel/N/phantomPower" and the XLR inputs
    bool offSpeed = true;        // off-speed frame rates in "system/format"
    bool formatChoice = true;    // more than one codec and container to record

    // Product names with or without the leading "Blackmagic "; an unknown camera has everything.
    static ModelProfile forProduct(const QString& productName);
};
