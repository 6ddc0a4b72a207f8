#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// A Control Change on one channel driving one camera parameter over a value range.
struct MidiMapEntry {
    enum Scale { Linear = 0, Log = 1 };

    int channel = 0;
    int cc = 0;
    QString cameraId;      // empty: every camera
    QString parameter;     // "endpoint:key", e.g. "lens/focus:focus"
    double min = 0.0;      // sent for CC value 0
    double max = 1.0;      // sent for CC value 127
    Scale scale = Linear;

    bool operator==(const MidiMapEntry& other) const
    {
        return channel == other.channel && cc == other.cc && cameraId == other.cameraId
            && parameter == other.parameter && min == other.min && max == other.max && scale == other.scale;
    }
    bool operator!=(const MidiMapEntry& other) const { return !(*this == other); }
};

// A Note On, Program Change or MIDI Show Control GO that runs an action.
struct MidiTriggerEntry {
    enum Type { NoteOn = 0, ProgramChange = 1, MscGo = 2 };

    Type type = NoteOn;
    int channel = 0;       // for MscGo the device id, where 127 accepts every device
    int noteOrPgm = 60;
    QString mscCue;
    QString action;
    QString argument;
    QString cameraId;      // empty: every camera

    bool operator==(const MidiTriggerEntry& other) const
    {
        return type == other.type && channel == other.channel && noteOrPgm == other.noteOrPgm
            && mscCue == other.mscCue && action == other.action && argument == other.argument
            && cameraId == other.cameraId;
    }
    bool operator!=(const MidiTriggerEntry& other) const { return !(*this == other); }
};

// The user's MIDI configuration. Lookups return the first matching entry, so order matters.
class MidiMapping : public QObject {
    Q_OBJECT
public:
    explicit MidiMapping(QObject* parent = nullptr);

    void addMapping(const MidiMapEntry& entry);
    void removeMapping(int index);
    void updateMapping(int index, const MidiMapEntry& entry);
    // Valid until the mappings change.
    const MidiMapEntry* findMapping(int channel, int cc) const;
    QList<MidiMapEntry> entries() const { return m_mappings; }
    int count() const { return m_mappings.size(); }

    void addTrigger(const MidiTriggerEntry& entry);
    void removeTrigger(int index);
    void updateTrigger(int index, const MidiTriggerEntry& entry);
    const MidiTriggerEntry* findTrigger(MidiTriggerEntry::Type type, int channel, int noteOrPgm) const;
    const MidiTriggerEntry* findTriggerMsc(int deviceId, const QString& cue) const;
    QList<MidiTriggerEntry> triggers() const { return m_triggers; }
    int triggerCount() const { return m_triggers.size(); }

    void clear();

    QJsonObject toJson() const;
    void fromJson(const QJsonObject& object);
    bool save(const QString& path) const;
    bool load(const QString& path);

    static QStringList availableParameters();
    static QStringList availableActions();

signals:
    void mappingChanged();

private:
    QList<MidiMapEntry> m_mappings;
    QList<MidiTriggerEntry> m_triggers;
};
