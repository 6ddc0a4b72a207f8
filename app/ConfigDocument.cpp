#include "ConfigDocument.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace {

constexpr int legacyOscPort = 8000;
constexpr int legacyOscOutPort = 9000;

bool isWholeNumberIn(const QJsonValue& value, double low, double high)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && number == std::floor(number) && number >= low && number <= high;
}

struct SettingsReader {
    const QJsonObject& object;
    QStringList* warnings;

    void replaced(const char* key, const QString& why, const QString& used) const
    {
        warnings->append(QStringLiteral("\"%1\" %2 - using %3").arg(QLatin1String(key), why, used));
    }

    int number(const char* key, int fallback, double low, double high, const QString& what) const
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return fallback;
        if (isWholeNumberIn(value, low, high))
            return int(value.toDouble());
        replaced(key, what, QString::number(fallback));
        return fallback;
    }

    int port(const char* key, int fallback) const
    {
        return number(key, fallback, 1, 65535, QStringLiteral("is not a port number (1-65535)"));
    }

    QString text(const char* key, const QString& fallback) const
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return fallback;
        if (value.isString())
            return value.toString();
        replaced(key, QStringLiteral("is not a text"), fallback.isEmpty() ? QStringLiteral("none") : fallback);
        return fallback;
    }

    bool flag(const char* key, bool fallback) const
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return fallback;
        if (value.isBool())
            return value.toBool();
        replaced(key, QStringLiteral("is not true or false"), fallback ? QStringLiteral("true") : QStringLiteral("false"));
        return fallback;
    }
};

QJsonArray camerasWithIds(const QJsonArray& array, QStringList* warnings)
{
    QJsonArray cameras;
    for (const QJsonValue& value : array) {
        const QJsonValue id = value.toObject().value(QLatin1String("id"));
        if (id.isString() && !id.toString().isEmpty())
            cameras.append(value);
    }
    if (const qsizetype dropped = array.size() - cameras.size())
        warnings->append(QStringLiteral("%1 camera entries without an id were left out").arg(dropped));
    return cameras;
}

}

namespace ConfigFile {

QByteArray write(const QJsonArray& cameras, const QJsonObject& midi, const ConfigSettings& settings, Scope scope)
{
    QJsonObject values{
        {"oscPort", settings.oscPort},
        {"oscListenInterface", settings.oscListenInterface},
        {"oscOutIp", settings.oscOutIp},
        {"oscOutPort", settings.oscOutPort},
        {"oscOutEnabled", settings.oscOutEnabled},
        {"oscSendInterface", settings.oscSendInterface},
    };
    if (scope == Scope::AppData) {
        values.insert("midiPort", settings.midiPort);
        values.insert("midiPortName", settings.midiPortName);
    }
    const QJsonObject document{
        {"version", currentVersion},
        {"cameras", cameras},
        {"midi", midi},
        {"settings", values},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

ConfigSettings readSettings(const QJsonObject& object, bool migrateOldPorts, int defaultOscPort, QStringList* warnings)
{
    const SettingsReader read{object, warnings};
    ConfigSettings settings;
    settings.oscPort = read.port("oscPort", defaultOscPort);
    settings.oscListenInterface = read.text("oscListenInterface", QString());
    settings.oscOutIp = read.text("oscOutIp", settings.oscOutIp);
    settings.oscOutPort = read.port("oscOutPort", ConfigSettings::defaultOscOutPort);
    if (migrateOldPorts) {
        if (settings.oscPort == legacyOscPort)
            settings.oscPort = ConfigSettings::defaultOscPort;
        if (settings.oscOutPort == legacyOscOutPort)
            settings.oscOutPort = ConfigSettings::defaultOscOutPort;
    }
    settings.oscOutEnabled = read.flag("oscOutEnabled", false);
    settings.oscSendInterface = read.text("oscSendInterface", QString());
    settings.midiPort = read.number("midiPort", -1, -1, std::numeric_limits<int>::max(),
                                    QStringLiteral("is not a MIDI port number"));
    settings.midiPortName = read.text("midiPortName", QString());
    return settings;
}

std::optional<ConfigDocument> read(const QByteArray& bytes, int defaultOscPort, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &parseError);
    if (!json.isObject()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError
                ? QStringLiteral("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset)
                : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject root = json.object();
    ConfigDocument document;
    document.cameras = camerasWithIds(root.value(QLatin1String("cameras")).toArray(), &document.warnings);
    document.midi = root.value(QLatin1String("midi")).toObject();
    const QJsonObject settings = root.value(QLatin1String("settings")).toObject();
    document.hasSettings = !settings.isEmpty();
    const double version = root.value(QLatin1String("version")).toDouble(1);
    if (document.hasSettings)
        document.settings = readSettings(settings, version < currentVersion, defaultOscPort, &document.warnings);
    return document;
}

}
