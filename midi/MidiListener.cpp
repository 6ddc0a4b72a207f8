#include "MidiListener.h"

#include "MidiDecoder.h"
#include "MidiInput.h"
#include "MidiLog.h"

#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcMidi, "kovra.midi")

MidiListener::MidiListener(QObject* parent)
    : QThread(parent)
{
}

MidiListener::~MidiListener()
{
    m_running.storeRelease(0);
    if (!wait(stopWaitMs))
        qCWarning(lcMidi) << "MIDI listener thread did not stop within" << stopWaitMs << "ms";
}

QStringList MidiListener::availablePorts()
{
    QStringList names;
    try {
        const std::unique_ptr<RtMidiIn> input = openMidiInput();
        const unsigned int count = input->getPortCount();
        for (unsigned int i = 0; i < count; ++i)
            names << QString::fromStdString(input->getPortName(i));
    } catch (const RtMidiError& error) {
        qCWarning(lcMidi) << "Listing MIDI ports failed:" << QString::fromStdString(error.getMessage());
    }
    return names;
}

void MidiListener::openPort(int index)
{
    if (isRunning()) {
        m_running.storeRelease(0);
        if (!wait(stopWaitMs)) {
            // The port index is the thread's; changing it under a live thread would race.
            qCWarning(lcMidi) << "MIDI listener thread did not stop; port" << index << "not opened";
            return;
        }
    }
    m_port = index;
    // Raised here rather than in run, so that a close right after this call is never lost.
    m_running.storeRelease(1);
    start();
}

void MidiListener::closePort()
{
    m_running.storeRelease(0);
}

void MidiListener::stopListening()
{
    m_running.storeRelease(0);
}

template <typename Emit>
void MidiListener::post(Emit&& emitSignal)
{
    QMetaObject::invokeMethod(this, std::forward<Emit>(emitSignal), Qt::QueuedConnection);
}

void MidiListener::run()
{
    try {
        const std::unique_ptr<RtMidiIn> input = openMidiInput();
        if (m_port < 0 || unsigned(m_port) >= input->getPortCount()) {
            post([this] { emit portError(QStringLiteral("Invalid MIDI port index")); });
            return;
        }
        // RtMidi's JACK client goes quiet when its server dies; this one notices.
        std::optional<JackServerWatch> jack;
        if (input->getCurrentApi() == RtMidi::UNIX_JACK)
            jack.emplace();
        input->openPort(unsigned(m_port), "RtMidi Input");
        // The server takes a new connection into its graph at the start of a later cycle, and
        // drops what the desk sends before then: the port counts as open once it carries data.
        if (jack)
            jack->awaitCycles(2, connectionSettleMs);
        // SysEx carries MIDI Show Control; clock and active sensing would only flood the queue.
        input->ignoreTypes(false, true, true);
        const QString name = QString::fromStdString(input->getPortName(unsigned(m_port)));
        qCDebug(lcMidi) << "MIDI port opened:" << name;
        post([this, name] { emit portOpened(name); });

        std::vector<unsigned char> message;
        while (m_running.loadAcquire()) {
            if (jack && jack->serverGone()) {
                const QString text = QStringLiteral("MIDI input ended: the JACK server stopped");
                qCWarning(lcMidi) << text;
                post([this, text] { emit portError(text); });
                return;
            }
            input->getMessage(&message);
            if (message.empty()) {
                QThread::msleep(pollIntervalMs);
                continue;
            }
            dispatch(decodeMidiMessage(message.data(), message.size()));
        }
        input->closePort();
    } catch (const RtMidiError& error) {
        const QString text = QString::fromStdString(error.getMessage());
        qCWarning(lcMidi) << "MIDI port error:" << text;
        post([this, text] { emit portError(text); });
    }
}

void MidiListener::dispatch(const MidiEvent& event)
{
    const int channel = event.channel;
    const int number = event.number;
    const int value = event.value;
    switch (event.kind) {
    case MidiEvent::Kind::ControlChange:
        post([this, channel, number, value] { emit ccChanged(channel, number, value); });
        break;
    case MidiEvent::Kind::NoteOn:
        post([this, channel, number, value] { emit noteOn(channel, number, value); });
        break;
    case MidiEvent::Kind::NoteOff:
        post([this, channel, number] { emit noteOff(channel, number); });
        break;
    case MidiEvent::Kind::ProgramChange:
        post([this, channel, number] { emit programChange(channel, number); });
        break;
    case MidiEvent::Kind::MscGo:
        post([this, channel, cue = event.cue] { emit mscGo(channel, cue); });
        break;
    case MidiEvent::Kind::None:
        break;
    }
}
