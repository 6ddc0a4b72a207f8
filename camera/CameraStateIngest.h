#pragma once

#include "CameraState.h"

#include <QJsonObject>
#include <QString>

// Folds what a camera reports into its state record. The input comes from the
// network: any JSON shape is accepted and a value of the wrong type reads as empty.
namespace CameraStateIngest {

// One REST reply for `endpoint` (arrays arrive wrapped as {"items": [...]}).
// An endpoint this system does not read changes nothing.
void applyReply(CameraState& state, const QString& endpoint, const QJsonObject& json);

// One message of the event socket, as a whole object ({"lens": {...}}, {"video": {...}}).
void applyEvent(CameraState& state, const QJsonObject& message);

}
