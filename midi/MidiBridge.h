#pragma once

#include "MidiMapping.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

class CameraManager;
class QTimer;

// Turns decoded MIDI events into camera commands: Control Changes are scaled and coalesced
// per camera and endpoint; matching triggers run at once behind a short repeat lock-out.
class MidiBridge : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultRateLimitMs = 16;
    static constexpr int triggerLockoutMs = 200;

    MidiBridge(CameraManager* cameraManager, MidiMapping* mapping, QObject* parent = nullptr);

    void setRateLimitMs(int milliseconds);
    int rateLimitMs() const { return m_rateLimitMs; }

    void executeTrigger(const QString& action, const QString& argument, const QString& cameraId);

signals:
    void triggerFired(const QString& action, const QString& argument);

public slots:
    void onCcChanged(int channel, int cc, int value);
    void onNoteOn(int channel, int note, int velocity);
    void onNoteOff(int channel, int note);
    void onProgramChange(int channel, int program);
    void onMscGo(int deviceId, const QString& cueNumber);
    void flushPending();

private:
    struct PendingCommand {
        QString cameraId;
        QString endpoint;
        QJsonObject body;
    };

    QStringList targetCameras(const QString& cameraId) const;
    void fire(const MidiTriggerEntry* trigger, const QString& firedKey);

    CameraManager* m_cameraManager;
    MidiMapping* m_mapping;
    QHash<QString, PendingCommand> m_pending;
    QTimer* m_flushTimer;
    int m_rateLimitMs = defaultRateLimitMs;
    // Trigger events that fired within the lock-out, each with the number of its firing.
    QHash<QString, quint64> m_firedKeys;
    quint64 m_firings = 0;
};
