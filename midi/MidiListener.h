#pragma once

#include <QAtomicInt>
#include <QString>
#include <QStringList>
#include <QThread>

struct MidiEvent;

// Reads one MIDI input port on a thread of its own and hands each decoded event to the
// GUI thread as a signal, in arrival order.
class MidiListener : public QThread {
    Q_OBJECT
public:
    static constexpr int stopWaitMs = 2000;
    static constexpr int pollIntervalMs = 2;
    static constexpr int connectionSettleMs = 500;

    explicit MidiListener(QObject* parent = nullptr);
    ~MidiListener() override;

    // Names of the input ports, in RtMidi's numbering; empty when MIDI is unavailable.
    static QStringList availablePorts();

    void openPort(int index);
    void closePort();
    void stopListening();
    int currentPort() const { return m_port; }

signals:
    void ccChanged(int channel, int cc, int value);
    void noteOn(int channel, int note, int velocity);
    void noteOff(int channel, int note);
    void programChange(int channel, int program);
    void mscGo(int deviceId, const QString& cueNumber);
    void portOpened(const QString& portName);
    void portError(const QString& errorMsg);

protected:
    void run() override;

private:
    // Emits on the GUI thread, so that every receiver runs there whatever its connection type.
    template <typename Emit>
    void post(Emit&& emitSignal);
    void dispatch(const MidiEvent& event);

    int m_port = -1;
    QAtomicInt m_running = 0;
};
