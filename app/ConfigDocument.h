#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// The OSC and MIDI port settings kept in a configuration document.
struct ConfigSettings {
    static constexpr int defaultOscPort = 58000;
    static constexpr int defaultOscOutPort = 58001;

    int oscPort = defaultOscPort;
    QString oscListenInterface;           // empty: every interface
    QString oscOutIp = QStringLiteral("127.0.0.1");
    int oscOutPort = defaultOscOutPort;
    bool oscOutEnabled = false;
    QString oscSendInterface;
    int midiPort = -1;                    // -1: none
    QString midiPortName;

    bool operator==(const ConfigSettings& other) const
    {
        return oscPort == other.oscPort && oscListenInterface == other.oscListenInterface && oscOutIp == other.oscOutIp
            && oscOutPort == other.oscOutPort && oscOutEnabled == other.oscOutEnabled
            && oscSendInterface == other.oscSendInterface && midiPort == other.midiPort
            && midiPortName == other.midiPortName;
    }
};

// A configuration document as read: defaults in place of absent or unusable values.
struct ConfigDocument {
    QJsonArray cameras;                   // camera objects that carry an id
    QJsonObject midi;
    bool hasSettings = false;             // a non-empty "settings" object was present
    ConfigSettings settings;
    QStringList warnings;                 // what was left out or replaced, one line each
};

// The whole working configuration as one JSON document (config.json and ".kovra" exports).
// Documents are untrusted input: hand-edited, copied between machines, or damaged.
namespace ConfigFile {

constexpr int currentVersion = 2;
// Far beyond any real configuration; a larger file is not read into memory at all.
constexpr qint64 maxDocumentBytes = 16 * 1024 * 1024;

enum class Scope {
    AppData,    // everything
    Export,     // without the MIDI port choice, which belongs to this machine
};

QByteArray write(const QJsonArray& cameras, const QJsonObject& midi, const ConfigSettings& settings, Scope scope);

// Empty when the bytes are not a JSON object; error then says why.
std::optional<ConfigDocument> read(const QByteArray& bytes, int defaultOscPort, QString* error = nullptr);

// Documents before version 2 used 8000 and 9000, ports that other show software claims;
// migrating moves exactly those to 58000 and 58001.
ConfigSettings readSettings(const QJsonObject& object, bool migrateOldPorts, int defaultOscPort, QStringList* warnings);

}
