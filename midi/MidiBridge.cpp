#include "MidiBridge.h"

#include "CameraManager.h"

#include <QJsonValue>
#include <QTimer>

#include <cmath>
#include <utility>

namespace {

const QString presetRecall = QStringLiteral("preset/recall");

double scaledValue(const MidiMapEntry& mapping, int ccValue)
{
    const double t = ccValue / 127.0;
    if (mapping.scale == MidiMapEntry::Log && mapping.min > 0 && mapping.max > 0)
        return mapping.min * std::pow(mapping.max / mapping.min, t);
    return mapping.min + t * (mapping.max - mapping.min);
}

// The camera takes these video settings as whole numbers only.
bool takesInteger(const QString& endpoint, const QString& key)
{
    static const QStringList integerKeys = {"iso", "gain", "whiteBalance", "shutterAngle", "whiteBalanceTint"};
    return endpoint.startsWith(QLatin1String("video/")) && integerKeys.contains(key);
}

QJsonValue integerValue(double value)
{
    // Truncated, not rounded. Beyond what an integer holds the cast would be undefined.
    const double whole = std::trunc(value);
    constexpr double limit = 9.0e18;
    return std::abs(whole) < limit ? QJsonValue(qint64(whole)) : QJsonValue(whole);
}

} // namespace

MidiBridge::MidiBridge(CameraManager* cameraManager, MidiMapping* mapping, QObject* parent)
    : QObject(parent)
    , m_cameraManager(cameraManager)
    , m_mapping(mapping)
    , m_flushTimer(new QTimer(this))
{
    m_flushTimer->setInterval(m_rateLimitMs);
    connect(m_flushTimer, &QTimer::timeout, this, &MidiBridge::flushPending);
    m_flushTimer->start();
}

void MidiBridge::setRateLimitMs(int milliseconds)
{
    m_rateLimitMs = milliseconds;
    m_flushTimer->setInterval(milliseconds);
}

QStringList MidiBridge::targetCameras(const QString& cameraId) const
{
    CameraList* list = m_cameraManager->cameraList();
    if (!cameraId.isEmpty())
        return list->camera(cameraId) ? QStringList{cameraId} : QStringList{};
    QStringList ids;
    for (const Camera& camera : list->allCameras())
        ids << camera.id;
    return ids;
}

void MidiBridge::onCcChanged(int channel, int cc, int value)
{
    const MidiMapEntry* mapping = m_mapping->findMapping(channel, cc);
    if (!mapping)
        return;
    const QStringList targets = targetCameras(mapping->cameraId);
    if (targets.isEmpty())
        return;

    const double scaled = scaledValue(*mapping, value);
    const int colon = mapping->parameter.indexOf(QLatin1Char(':'));
    const QString key = colon < 0 ? QString() : mapping->parameter.mid(colon + 1);
    const QString endpoint = key.isEmpty() ? mapping->parameter : mapping->parameter.left(colon);
    QJsonObject body;
    if (!key.isEmpty())
        body.insert(key, takesInteger(endpoint, key) ? integerValue(scaled) : QJsonValue(scaled));

    for (const QString& id : targets)
        m_pending.insert(id + QLatin1Char(':') + endpoint, {id, endpoint, body});
}

void MidiBridge::flushPending()
{
    if (m_pending.isEmpty())
        return;
    const QHash<QString, PendingCommand> due = std::exchange(m_pending, {});
    for (const PendingCommand& command : due)
        m_cameraManager->sendCommand(command.cameraId, command.endpoint, command.body);
}

void MidiBridge::fire(const MidiTriggerEntry* trigger, const QString& firedKey)
{
    if (!trigger || m_firedKeys.contains(firedKey))
        return;
    const quint64 firing = ++m_firings;
    m_firedKeys.insert(firedKey, firing);
    // A copy: a receiver of triggerFired may edit the table the entry lives in.
    const MidiTriggerEntry entry = *trigger;
    executeTrigger(entry.action, entry.argument, entry.cameraId);
    // Only this firing's own lock-out ends here: after a Note Off and a new firing, the key
    // belongs to that one and must stay for its full time.
    QTimer::singleShot(triggerLockoutMs, this, [this, firedKey, firing] {
        if (m_firedKeys.value(firedKey) == firing)
            m_firedKeys.remove(firedKey);
    });
}

void MidiBridge::onNoteOn(int channel, int note, int /*velocity*/)
{
    fire(m_mapping->findTrigger(MidiTriggerEntry::NoteOn, channel, note),
         QStringLiteral("note:%1:%2").arg(channel).arg(note));
}

void MidiBridge::onNoteOff(int channel, int note)
{
    m_firedKeys.remove(QStringLiteral("note:%1:%2").arg(channel).arg(note));
}

void MidiBridge::onProgramChange(int channel, int program)
{
    fire(m_mapping->findTrigger(MidiTriggerEntry::ProgramChange, channel, program),
         QStringLiteral("pgm:%1:%2").arg(channel).arg(program));
}

void MidiBridge::onMscGo(int deviceId, const QString& cueNumber)
{
    fire(m_mapping->findTriggerMsc(deviceId, cueNumber), QStringLiteral("msc:%1:%2").arg(deviceId).arg(cueNumber));
}

void MidiBridge::executeTrigger(const QString& action, const QString& argument, const QString& cameraId)
{
    if (action == presetRecall && argument.trimmed().isEmpty())
        return;
    const QStringList targets = targetCameras(cameraId);
    if (targets.isEmpty())
        return;
    if (action == presetRecall) {
        // Fader values still waiting for the flush are older than the recall and must not undo it.
        flushPending();
        for (const QString& id : targets)
            m_cameraManager->sendCommand(id, QStringLiteral("presets/active"), {{"preset", argument}});
    }
    emit triggerFired(action, argument);
}
