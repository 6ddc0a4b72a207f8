#include "MidiMapping.h"

#include "MidiLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

constexpr int mscAllCall = 127;

QJsonObject mappingToJson(const MidiMapEntry& entry)
{
    return {{"channel", entry.channel},
            {"cc", entry.cc},
            {"cameraId", entry.cameraId},
            {"parameter", entry.parameter},
            {"min", entry.min},
            {"max", entry.max},
            {"scale", entry.scale == MidiMapEntry::Log ? "log" : "linear"}};
}

MidiMapEntry mappingFromJson(const QJsonObject& object)
{
    MidiMapEntry entry;
    entry.channel = object["channel"].toInt(0);
    entry.cc = object["cc"].toInt(0);
    entry.cameraId = object["cameraId"].toString();
    entry.parameter = object["parameter"].toString();
    entry.min = object["min"].toDouble(0.0);
    entry.max = object["max"].toDouble(1.0);
    entry.scale = object["scale"].toString() == QLatin1String("log") ? MidiMapEntry::Log : MidiMapEntry::Linear;
    return entry;
}

QString triggerTypeName(MidiTriggerEntry::Type type)
{
    switch (type) {
    case MidiTriggerEntry::ProgramChange:
        return QStringLiteral("program_change");
    case MidiTriggerEntry::MscGo:
        return QStringLiteral("msc_go");
    case MidiTriggerEntry::NoteOn:
        break;
    }
    return QStringLiteral("note_on");
}

QJsonObject triggerToJson(const MidiTriggerEntry& entry)
{
    QJsonObject object{{"type", triggerTypeName(entry.type)},
                       {"channel", entry.channel},
                       {"noteOrPgm", entry.noteOrPgm},
                       {"action", entry.action},
                       {"argument", entry.argument},
                       {"cameraId", entry.cameraId}};
    if (!entry.mscCue.isEmpty())
        object["mscCue"] = entry.mscCue;
    return object;
}

MidiTriggerEntry triggerFromJson(const QJsonObject& object)
{
    MidiTriggerEntry entry;
    const QString type = object["type"].toString();
    if (type == QLatin1String("msc_go"))
        entry.type = MidiTriggerEntry::MscGo;
    else if (type == QLatin1String("program_change"))
        entry.type = MidiTriggerEntry::ProgramChange;
    entry.channel = object["channel"].toInt(0);
    // Files from before the rename keep the number under "noteOrCc".
    const QJsonValue number = object.contains("noteOrPgm") ? object["noteOrPgm"] : object["noteOrCc"];
    entry.noteOrPgm = number.toInt(60);
    entry.mscCue = object["mscCue"].toString();
    entry.action = object["action"].toString();
    entry.argument = object["argument"].toString();
    entry.cameraId = object["cameraId"].toString();
    return entry;
}

} // namespace

MidiMapping::MidiMapping(QObject* parent)
    : QObject(parent)
{
}

void MidiMapping::addMapping(const MidiMapEntry& entry)
{
    m_mappings.append(entry);
    emit mappingChanged();
}

void MidiMapping::removeMapping(int index)
{
    if (index < 0 || index >= m_mappings.size())
        return;
    m_mappings.removeAt(index);
    emit mappingChanged();
}

void MidiMapping::updateMapping(int index, const MidiMapEntry& entry)
{
    if (index < 0 || index >= m_mappings.size())
        return;
    m_mappings[index] = entry;
    emit mappingChanged();
}

const MidiMapEntry* MidiMapping::findMapping(int channel, int cc) const
{
    for (const MidiMapEntry& entry : m_mappings) {
        if (entry.channel == channel && entry.cc == cc)
            return &entry;
    }
    return nullptr;
}

void MidiMapping::addTrigger(const MidiTriggerEntry& entry)
{
    m_triggers.append(entry);
    emit mappingChanged();
}

void MidiMapping::removeTrigger(int index)
{
    if (index < 0 || index >= m_triggers.size())
        return;
    m_triggers.removeAt(index);
    emit mappingChanged();
}

void MidiMapping::updateTrigger(int index, const MidiTriggerEntry& entry)
{
    if (index < 0 || index >= m_triggers.size())
        return;
    m_triggers[index] = entry;
    emit mappingChanged();
}

const MidiTriggerEntry* MidiMapping::findTrigger(MidiTriggerEntry::Type type, int channel, int noteOrPgm) const
{
    for (const MidiTriggerEntry& entry : m_triggers) {
        if (entry.type == type && entry.channel == channel && entry.noteOrPgm == noteOrPgm)
            return &entry;
    }
    return nullptr;
}

const MidiTriggerEntry* MidiMapping::findTriggerMsc(int deviceId, const QString& cue) const
{
    for (const MidiTriggerEntry& entry : m_triggers) {
        if (entry.type != MidiTriggerEntry::MscGo || entry.mscCue != cue)
            continue;
        if (deviceId == mscAllCall || entry.channel == deviceId || entry.channel == mscAllCall)
            return &entry;
    }
    return nullptr;
}

void MidiMapping::clear()
{
    m_mappings.clear();
    m_triggers.clear();
    emit mappingChanged();
}

QJsonObject MidiMapping::toJson() const
{
    QJsonArray mappings;
    for (const MidiMapEntry& entry : m_mappings)
        mappings.append(mappingToJson(entry));
    QJsonArray triggers;
    for (const MidiTriggerEntry& entry : m_triggers)
        triggers.append(triggerToJson(entry));
    return {{"mappings", mappings}, {"triggers", triggers}};
}

void MidiMapping::fromJson(const QJsonObject& object)
{
    m_mappings.clear();
    for (const QJsonValue& value : object["mappings"].toArray())
        m_mappings.append(mappingFromJson(value.toObject()));
    m_triggers.clear();
    for (const QJsonValue& value : object["triggers"].toArray())
        m_triggers.append(triggerFromJson(value.toObject()));
    emit mappingChanged();
}

bool MidiMapping::save(const QString& path) const
{
    // A failed write must not pass for a saved file, nor leave half a file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcMidi) << "Cannot write MIDI mappings to" << path << ":" << file.errorString();
        return false;
    }
    file.write(QJsonDocument(toJson()).toJson(QJsonDocument::Indented));
    return file.commit();
}

bool MidiMapping::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcMidi) << "Cannot read MIDI mappings from" << path << ":" << file.errorString();
        return false;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) {
        qCWarning(lcMidi) << "MIDI mappings file" << path << "does not hold a JSON object";
        return false;
    }
    fromJson(document.object());
    return true;
}

QStringList MidiMapping::availableParameters()
{
    return {"lens/focus:focus",
            "lens/iris:apertureStop",
            "lens/iris:normalised",
            "lens/zoom:normalised",
            "video/iso:iso",
            "video/gain:gain",
            "video/whiteBalance:whiteBalance",
            "video/whiteBalanceTint:whiteBalanceTint",
            "video/shutter:shutterAngle",
            "video/ndFilter:stop",
            "colorCorrection/lift:luma",
            "colorCorrection/gamma:luma",
            "colorCorrection/gain:luma",
            "colorCorrection/offset:luma",
            "colorCorrection/contrast:adjust",
            "colorCorrection/color:hue",
            "colorCorrection/color:saturation",
            "audio/channel/0/level:gain",
            "audio/channel/1/level:gain"};
}

QStringList MidiMapping::availableActions()
{
    return {"preset/recall"};
}
