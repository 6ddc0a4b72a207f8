#pragma once

#include <QByteArray>
#include <QJsonObject>

namespace CameraReply {

// The object a GET reply body stands for: an array is wrapped as {"items": array},
// and a body that is neither an object nor an array gives an empty object.
QJsonObject parseBody(const QByteArray& body);

}
