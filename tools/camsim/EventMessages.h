#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

// The JSON messages of the event WebSocket, apart from any socket.

// A request a client sent, such as {"type":"request","data":{"action":"subscribe",...},"id":1}.
struct EventRequest {
    bool valid = false;              // a JSON object with "type" "request" and an action
    QString action;
    QStringList properties;
    QJsonValue id;
    QJsonObject message;             // the whole request as received
};

EventRequest parseEventRequest(const QByteArray& text);

QJsonObject websocketOpenedMessage();

// The properties a client may subscribe to, in the cameras' own form ("/lens/focus").
const QStringList& subscribableProperties();
// "/lens/focus" for "lens/focus"; empty for an endpoint that has no such property.
QString propertyForEndpoint(const QString& endpoint);
QString endpointForProperty(const QString& property);

// {"lens": {...}} or {"video": {...}} for a lens or video endpoint's new body; empty for
// other endpoints. Zoom reports its position as "zoomNormalized", so that it is not
// mistaken for the iris position that shares the lens object.
QJsonObject categoryEvent(const QString& endpoint, const QJsonObject& value);

QJsonObject propertyValueChangedEvent(const QString& property, const QJsonValue& value);

// Answer to a request; `values` holds the current value of each property now subscribed.
QJsonObject requestResponse(const EventRequest& request, bool success, const QJsonObject& extra);
