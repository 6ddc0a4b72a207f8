#include "EventMessages.h"

#include <QJsonArray>
#include <QJsonDocument>

EventRequest parseEventRequest(const QByteArray& text)
{
    EventRequest request;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return request;
    request.message = document.object();
    if (request.message.value(QLatin1String("type")).toString() != QLatin1String("request"))
        return request;
    const QJsonObject data = request.message.value(QLatin1String("data")).toObject();
    request.action = data.value(QLatin1String("action")).toString();
    const QJsonArray properties = data.value(QLatin1String("properties")).toArray();
    for (const QJsonValue& property : properties) {
        if (property.isString())
            request.properties.append(property.toString());
    }
    request.id = request.message.value(QLatin1String("id"));
    request.valid = !request.action.isEmpty();
    return request;
}

QJsonObject websocketOpenedMessage()
{
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("event")},
                       {QStringLiteral("data"), QJsonObject{{QStringLiteral("action"), QStringLiteral("websocketOpened")}}}};
}

const QStringList& subscribableProperties()
{
    static const QStringList properties = {QStringLiteral("/lens/focus"), QStringLiteral("/lens/iris"),
                                           QStringLiteral("/lens/zoom"), QStringLiteral("/video/iso"),
                                           QStringLiteral("/video/whiteBalance"), QStringLiteral("/video/gain")};
    return properties;
}

QString propertyForEndpoint(const QString& endpoint)
{
    const QString property = QLatin1Char('/') + endpoint;
    return subscribableProperties().contains(property) ? property : QString();
}

QString endpointForProperty(const QString& property)
{
    return subscribableProperties().contains(property) ? property.mid(1) : QString();
}

QJsonObject categoryEvent(const QString& endpoint, const QJsonObject& value)
{
    const QString category = endpoint.section(QLatin1Char('/'), 0, 0);
    if ((category != QLatin1String("lens") && category != QLatin1String("video")) || !endpoint.contains(QLatin1Char('/')))
        return {};
    QJsonObject body = value;
    if (endpoint == QLatin1String("lens/zoom") && body.contains(QLatin1String("normalised")))
        body[QStringLiteral("zoomNormalized")] = body.take(QLatin1String("normalised"));
    return QJsonObject{{category, body}};
}

QJsonObject propertyValueChangedEvent(const QString& property, const QJsonValue& value)
{
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("event")},
                       {QStringLiteral("data"), QJsonObject{{QStringLiteral("action"), QStringLiteral("propertyValueChanged")},
                                                            {QStringLiteral("property"), property},
                                                            {QStringLiteral("value"), value}}}};
}

QJsonObject requestResponse(const EventRequest& request, bool success, const QJsonObject& extra)
{
    QJsonObject data = extra;
    data[QStringLiteral("action")] = request.action;
    data[QStringLiteral("success")] = success;
    QJsonObject response{{QStringLiteral("type"), QStringLiteral("response")}, {QStringLiteral("data"), data}};
    if (!request.id.isUndefined())
        response[QStringLiteral("id")] = request.id;
    return response;
}
