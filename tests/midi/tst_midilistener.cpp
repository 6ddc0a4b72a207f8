#include "JackServer.h"
#include "LogCapture.h"
#include "MidiDesk.h"
#include "MidiListener.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {
// Every signal of a listener as text, in order, noting any raised off the GUI thread.
struct Recorder {
    QStringList events;
    int offGuiThread = 0;

    explicit Recorder(MidiListener& listener)
    {
        // Direct connections: the receiver runs where the signal is emitted.
        const auto on = [&](auto signal, auto describe) {
            QObject::connect(&listener, signal, &listener, [this, describe](auto... args) {
                offGuiThread += QThread::currentThread() == qApp->thread() ? 0 : 1;
                events << describe(args...);
            }, Qt::DirectConnection);
        };
        on(&MidiListener::ccChanged, [](int channel, int cc, int value) { return QString("cc %1 %2 %3").arg(channel).arg(cc).arg(value); });
        on(&MidiListener::noteOn, [](int channel, int note, int velocity) { return QString("noteOn %1 %2 %3").arg(channel).arg(note).arg(velocity); });
        on(&MidiListener::noteOff, [](int channel, int note) { return QString("noteOff %1 %2").arg(channel).arg(note); });
        on(&MidiListener::programChange, [](int channel, int program) { return QString("program %1 %2").arg(channel).arg(program); });
        on(&MidiListener::mscGo, [](int device, const QString& cue) { return QString("go %1 [%2]").arg(device).arg(cue); });
        on(&MidiListener::portError, [](const QString& text) { return "error " + text; });
    }
};
}

class TestMidiListener : public QObject {
    Q_OBJECT

    JackServer m_jack;
    // Virtual output ports on the same MIDI system the listener reaches, as a desk would offer.
    std::unique_ptr<RtMidiOut> m_desk;
    std::unique_ptr<RtMidiOut> m_secondDesk;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_jack.start(&error), qPrintable(error));
        try {
            m_desk = MidiDesk::open("Kovra Test Desk", "Desk Out");
            m_secondDesk = MidiDesk::open("Kovra Second Desk", "Second Out");
        } catch (const RtMidiError& failure) {
            QFAIL(failure.what());
        }
    }

    void cleanupTestCase()
    {
        m_desk.reset();
        m_secondDesk.reset();
        m_jack.stop();
    }

    void eventsArriveInOrderOnTheGuiThread()
    {
        MidiListener listener;
        Recorder recorder(listener);
        QSignalSpy opened(&listener, &MidiListener::portOpened);
        for (const int invalid : {int(MidiListener::availablePorts().size()), -1}) {
            listener.openPort(invalid);
            QTRY_VERIFY(listener.isFinished());
        }
        QTRY_COMPARE(recorder.events, QStringList(2, "error Invalid MIDI port index"));
        recorder.events.clear();
        const int index = MidiDesk::portIndex("Desk Out");
        QVERIFY2(index >= 0 && MidiDesk::portIndex("Second Out") >= 0, qPrintable(MidiListener::availablePorts().join(", ")));
        listener.openPort(index);
        QVERIFY(opened.wait());
        QCOMPARE(opened.first().first().toString(), MidiListener::availablePorts().value(index));

        for (const char* hex : {"B20764", "913C7F", "903C00", "803D40", "E00040" /* pitch bend */, "F8" /* clock */, "C50A",
                                "F07F01020101312E350031F7" /* GO cue 1.5, list 1 */, "F07F0102010231F7" /* STOP */,
                                "F07F7F020101F7" /* GO all-call */, "BF7F00"})
            MidiDesk::send(*m_desk, hex);
        const QStringList expected = {"cc 2 7 100", "noteOn 1 60 127", "noteOff 0 60", "noteOff 0 61",
                                      "program 5 10", "go 1 [1.5]", "go 127 [0]", "cc 15 127 0"};
        QTRY_COMPARE(recorder.events, expected);
        QCOMPARE(recorder.offGuiThread, 0);
    }

    // Opening another port closes the first; a listener that goes while listening gives its
    // port back.
    void reopenCloseAndDestroy()
    {
        auto listener = std::make_unique<MidiListener>();
        auto recorder = std::make_unique<Recorder>(*listener);
        QSignalSpy opened(listener.get(), &MidiListener::portOpened);
        listener->openPort(MidiDesk::portIndex("Desk Out"));
        QVERIFY(opened.wait());
        MidiDesk::send(*m_desk, "B00101");
        QTRY_COMPARE(recorder->events, QStringList{"cc 0 1 1"});
        listener->openPort(MidiDesk::portIndex("Second Out"));
        QTRY_COMPARE(opened.count(), 2);
        MidiDesk::send(*m_desk, "B00102");
        MidiDesk::send(*m_secondDesk, "B00103");
        QTRY_COMPARE(recorder->events, (QStringList{"cc 0 1 1", "cc 0 1 3"}));
        listener->closePort();
        QTRY_VERIFY(listener->isFinished());
        // A close at once after opening is not lost.
        listener->openPort(MidiDesk::portIndex("Desk Out"));
        listener->stopListening();
        QTRY_VERIFY(listener->isFinished());

        listener->openPort(MidiDesk::portIndex("Desk Out"));
        QTRY_COMPARE(opened.count(), 3);
        listener.reset();
        MidiListener next;
        Recorder nextRecorder(next);
        QSignalSpy reopened(&next, &MidiListener::portOpened);
        next.openPort(MidiDesk::portIndex("Desk Out"));
        QVERIFY(reopened.wait());
        MidiDesk::send(*m_desk, "B00106");
        QTRY_COMPARE(nextRecorder.events, QStringList{"cc 0 1 6"});
    }

    // Last: takes the MIDI system away. The listener says so, and then that there is no MIDI
    // system: one log line per failure, nothing of the MIDI libraries' own on standard error.
    void withoutAMidiSystem()
    {
        MidiListener listener;
        Recorder recorder(listener);
        QSignalSpy opened(&listener, &MidiListener::portOpened);
        listener.openPort(MidiDesk::portIndex("Desk Out"));
        QVERIFY(opened.wait());
        m_desk.reset();
        m_secondDesk.reset();
        m_jack.stop();
        QTRY_COMPARE(recorder.events, QStringList{"error MIDI input ended: the JACK server stopped"});
        QTRY_VERIFY(listener.isFinished());

        LogCapture log("kovra.midi");
        QTemporaryFile standardError;
        QVERIFY(standardError.open());
        const int savedStandardError = dup(STDERR_FILENO);
        dup2(standardError.handle(), STDERR_FILENO);
        const QStringList ports = MidiListener::availablePorts();
        listener.openPort(0);
        QTRY_COMPARE(recorder.events.size(), 2);
        QTRY_VERIFY(listener.isFinished());
        std::fflush(stderr);
        dup2(savedStandardError, STDERR_FILENO);
        close(savedStandardError);

        QCOMPARE(ports, QStringList());
        const QString noSystem = recorder.events.last().mid(6);
        QVERIFY2(noSystem.startsWith("No MIDI system available (tried: ") && noSystem.contains("JACK server"), qPrintable(noSystem));
        QCOMPARE(log.warnings(), (QStringList{"Listing MIDI ports failed: \"" + noSystem + "\"", "MIDI port error: \"" + noSystem + "\""}));
        QVERIFY(log.debugLines() > 0);
        QVERIFY(standardError.seek(0));
        QCOMPARE(standardError.readAll(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestMidiListener)
#include "tst_midilistener.moc"
