#pragma once

#include "ModelProfile.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>

// The body of every endpoint a freshly powered camera answers, keyed by endpoint.
// Endpoints the model lacks are absent.
using EndpointValues = QMap<QString, QJsonValue>;

EndpointValues defaultEndpointValues(const ModelProfile& profile);

// The endpoints a preset stores and a recall restores.
bool isPresetCovered(const QString& endpoint);

// Endpoints that only report (a PUT is answered with 405).
bool isReadOnlyEndpoint(const QString& endpoint);

// Keys of `update` replace those of `target`; nested objects are merged the same way.
QJsonObject mergedObject(const QJsonObject& target, const QJsonObject& update);

// Frames since midnight as "HH:MM:SS:FF", wrapping after 24 hours.
QString timecodeText(qint64 frames, int framesPerSecond);
// The inverse; -1 for a text that is not a timecode.
qint64 timecodeFrames(const QString& text, int framesPerSecond);
// Whole frames per second of a frame rate text such as "25" or "23.98" (at least 1).
int timecodeBase(const QString& frameRate);
