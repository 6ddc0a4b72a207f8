#include "CameraCapabilities.h"

CameraCapabilities CameraCapabilities::fromModel(const QString& model)
{
    const auto has = [&model](const char* word) { return model.contains(QLatin1String(word), Qt::CaseSensitive); };

    CameraCapabilities caps;
    caps.model = model;
    const auto set = [&caps](bool ndFilter, bool storage, bool phantomPower, bool offSpeed, bool changeFormat) {
        caps.hasNdFilter = ndFilter;
        caps.hasStorage = storage;
        caps.hasPhantomPower = phantomPower;
        caps.hasOffSpeed = offSpeed;
        caps.canChangeFormat = changeFormat;
    };

    // First match wins: model names contain each other ("Micro Studio Camera 4K G2"
    // also contains "Studio Camera 4K"), so the order is part of the table.
    if (has("Micro Studio Camera 4K") || has("Studio Camera 4K Plus"))
        set(false, false, false, false, false);
    else if (has("Studio Camera 4K Pro") || has("Studio Camera 6K"))
        set(true, false, true, false, false);
    else if (has("Pocket") && has("4K"))
        set(false, true, true, true, true);
    else if (has("Pocket") && has("6K"))
        set(has("Pro"), true, true, true, true);
    else if ((has("URSA Mini Pro") && has("4.6K")) || (has("URSA") && has("12K")) || has("URSA Broadcast"))
        set(true, true, true, true, true);
    else if (has("PYXIS"))
        set(false, true, true, true, true);
    return caps;
}
