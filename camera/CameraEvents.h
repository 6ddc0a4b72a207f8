#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// The event channel's messages, apart from the socket.
namespace CameraEvents {

// The lens and video properties whose changes the state follows, in the cameras' own form.
const QStringList& subscribedProperties();

// {"type":"request","data":{"action":"subscribe","properties":[...]},"id":id}
QByteArray subscribeRequest(int id);

// The message as an object, or nothing when it is not a JSON object. A subscription
// event ("propertyValueChanged") comes back in the category form the state reads,
// {"lens": {...}} or {"video": {...}}; every other object comes back unchanged.
std::optional<QJsonObject> decode(const QByteArray& text);

// The first of "lens", "video", "audio", "colorCorrection", "transport", "system" that
// the message has as a key, or an empty text.
QString categoryOf(const QJsonObject& message);

} // namespace CameraEvents
