#include "CameraEvents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace CameraEvents {

namespace {

// Copies one key of a property value to the key the category form uses, if present.
void carry(const QJsonObject& value, QLatin1String from, QJsonObject& into, const QString& to)
{
    const QJsonValue v = value.value(from);
    if (!v.isUndefined())
        into.insert(to, v);
}

QJsonObject categoryForm(const QString& property, const QJsonObject& value)
{
    QJsonObject fields;
    if (property == QLatin1String("/lens/focus")) {
        // Cameras name the focus position "normalised" here; older firmware says "focus".
        carry(value, QLatin1String("focus"), fields, QStringLiteral("focus"));
        carry(value, QLatin1String("normalised"), fields, QStringLiteral("focus"));
        return fields.isEmpty() ? QJsonObject() : QJsonObject{{QStringLiteral("lens"), fields}};
    }
    if (property == QLatin1String("/lens/iris")) {
        carry(value, QLatin1String("apertureStop"), fields, QStringLiteral("apertureStop"));
        carry(value, QLatin1String("normalised"), fields, QStringLiteral("normalised"));
        return fields.isEmpty() ? QJsonObject() : QJsonObject{{QStringLiteral("lens"), fields}};
    }
    if (property == QLatin1String("/lens/zoom")) {
        // In the lens object "normalised" is the iris, so zoom travels under its own key.
        carry(value, QLatin1String("normalised"), fields, QStringLiteral("zoomNormalized"));
        return fields.isEmpty() ? QJsonObject() : QJsonObject{{QStringLiteral("lens"), fields}};
    }
    static const char* const videoKeys[][2] = {
        {"/video/iso", "iso"}, {"/video/whiteBalance", "whiteBalance"}, {"/video/gain", "gain"}};
    for (const auto& [videoProperty, key] : videoKeys) {
        if (property == QLatin1String(videoProperty)) {
            carry(value, QLatin1String(key), fields, QString::fromLatin1(key));
            return fields.isEmpty() ? QJsonObject() : QJsonObject{{QStringLiteral("video"), fields}};
        }
    }
    return {};
}

} // namespace

const QStringList& subscribedProperties()
{
    static const QStringList properties = {
        QStringLiteral("/lens/focus"), QStringLiteral("/lens/iris"),          QStringLiteral("/lens/zoom"),
        QStringLiteral("/video/iso"),  QStringLiteral("/video/whiteBalance"), QStringLiteral("/video/gain"),
    };
    return properties;
}

QByteArray subscribeRequest(int id)
{
    const QJsonObject data{{QStringLiteral("action"), QStringLiteral("subscribe")},
                           {QStringLiteral("properties"), QJsonArray::fromStringList(subscribedProperties())}};
    const QJsonObject request{{QStringLiteral("type"), QStringLiteral("request")},
                              {QStringLiteral("data"), data},
                              {QStringLiteral("id"), id}};
    return QJsonDocument(request).toJson(QJsonDocument::Compact);
}

std::optional<QJsonObject> decode(const QByteArray& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject message = document.object();
    const QJsonObject data = message.value(QLatin1String("data")).toObject();
    if (message.value(QLatin1String("type")).toString() == QLatin1String("event")
        && data.value(QLatin1String("action")).toString() == QLatin1String("propertyValueChanged")) {
        const QJsonObject translated = categoryForm(data.value(QLatin1String("property")).toString(),
                                                    data.value(QLatin1String("value")).toObject());
        if (!translated.isEmpty())
            return translated;
    }
    return message;
}

QString categoryOf(const QJsonObject& message)
{
    static const char* const categories[] = {"lens", "video", "audio", "colorCorrection", "transport", "system"};
    for (const char* category : categories) {
        if (message.contains(QLatin1String(category)))
            return QString::fromLatin1(category);
    }
    return QString();
}

} // namespace CameraEvents
