#include "JackServer.h"
#include "MidiDesk.h"
#include "MidiListener.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Every signal of a listener as text, noting whether each was raised on the GUI thread.
struct Recorder {
    QStringList events;
    int offGuiThread = 0;

    explicit Recorder(MidiListener& listener)
    {
        // Direct connections: the receiver runs where the signal is emitted.
        const auto add = [this](const QString& text) {
            offGuiThread += QThread::currentThread() == qApp->thread() ? 0 : 1;
            events << text;
        };
        QObject::connect(&listener, &MidiListener::ccChanged, &listener,
                         [add](int channel, int cc, int value) { add(QString("cc %1 %2 %3").arg(channel).arg(cc).arg(value)); },
                         Qt::DirectConnection);
        QObject::connect(&listener, &MidiListener::noteOn, &listener,
                         [add](int channel, int note, int velocity) { add(QString("noteOn %1 %2 %3").arg(channel).arg(note).arg(velocity)); },
                         Qt::DirectConnection);
        QObject::connect(&listener, &MidiListener::noteOff, &listener,
                         [add](int channel, int note) { add(QString("noteOff %1 %2").arg(channel).arg(note)); },
                         Qt::DirectConnection);
        QObject::connect(&listener, &MidiListener::programChange, &listener,
                         [add](int channel, int program) { add(QString("program %1 %2").arg(channel).arg(program)); },
                         Qt::DirectConnection);
        QObject::connect(&listener, &MidiListener::mscGo, &listener,
                         [add](int device, const QString& cue) { add(QString("go %1 [%2]").arg(device).arg(cue)); },
                         Qt::DirectConnection);
        QObject::connect(&listener, &MidiListener::portError, &listener,
                         [add](const QString& text) { add("error " + text); }, Qt::DirectConnection);
    }
};

} // namespace

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

    void listsThePorts()
    {
        const QStringList ports = MidiListener::availablePorts();
        QVERIFY2(MidiDesk::portIndex("Desk Out") >= 0, qPrintable(ports.join(", ")));
        QVERIFY2(MidiDesk::portIndex("Second Out") >= 0, qPrintable(ports.join(", ")));
        // Listing creates no port of its own.
        QCOMPARE(MidiListener::availablePorts(), ports);
    }

    void eventsArriveInOrderOnTheGuiThread()
    {
        MidiListener listener;
        QCOMPARE(listener.currentPort(), -1);
        Recorder recorder(listener);
        QSignalSpy opened(&listener, &MidiListener::portOpened);
        const int index = MidiDesk::portIndex("Desk Out");
        listener.openPort(index);
        QVERIFY(opened.wait());
        QCOMPARE(opened.first().first().toString(), MidiListener::availablePorts().value(index));
        QCOMPARE(listener.currentPort(), index);

        MidiDesk::send(*m_desk, "B20764");                         // CC
        MidiDesk::send(*m_desk, "913C7F");                         // Note On
        MidiDesk::send(*m_desk, "903C00");                         // Note On, velocity 0
        MidiDesk::send(*m_desk, "803D40");                         // Note Off
        MidiDesk::send(*m_desk, "E00040");                         // pitch bend: dropped
        MidiDesk::send(*m_desk, "F8");                             // timing clock: dropped
        MidiDesk::send(*m_desk, "C50A");                           // Program Change
        MidiDesk::send(*m_desk, "F07F0102010131 2E35 0031F7");     // MSC GO cue 1.5, cue list 1
        MidiDesk::send(*m_desk, "F07F0102010231F7");               // MSC STOP: dropped
        MidiDesk::send(*m_desk, "F07F7F020101F7");                 // MSC GO all-call, no cue
        MidiDesk::send(*m_desk, "BF7F00");
        const QStringList expected = {"cc 2 7 100", "noteOn 1 60 127", "noteOff 0 60", "noteOff 0 61",
                                      "program 5 10", "go 1 [1.5]", "go 127 [0]", "cc 15 127 0"};
        QTRY_COMPARE(recorder.events, expected);
        QCOMPARE(recorder.offGuiThread, 0);
        QVERIFY(listener.isRunning());
    }

    void invalidPortIndex_data()
    {
        QTest::addColumn<int>("offset");
        QTest::newRow("the port count") << 0;
        QTest::newRow("beyond it") << 5;
        QTest::newRow("negative") << -1000;
    }

    void invalidPortIndex()
    {
        QFETCH(int, offset);
        const int index = MidiListener::availablePorts().size() + offset;
        MidiListener listener;
        Recorder recorder(listener);
        QSignalSpy opened(&listener, &MidiListener::portOpened);
        listener.openPort(index);
        QTRY_COMPARE(recorder.events, QStringList{"error Invalid MIDI port index"});
        QTRY_VERIFY(listener.isFinished());
        QCOMPARE(listener.currentPort(), index);
        QCOMPARE(opened.count(), 0);
    }

    void reopenAnotherPortAndClose()
    {
        MidiListener listener;
        Recorder recorder(listener);
        QSignalSpy opened(&listener, &MidiListener::portOpened);
        listener.openPort(MidiDesk::portIndex("Desk Out"));
        QVERIFY(opened.wait());
        MidiDesk::send(*m_desk, "B00101");
        QTRY_COMPARE(recorder.events, QStringList{"cc 0 1 1"});

        // Opening another port closes the first.
        listener.openPort(MidiDesk::portIndex("Second Out"));
        QTRY_COMPARE(opened.count(), 2);
        QVERIFY(opened.last().first().toString().endsWith("Second Out"));
        MidiDesk::send(*m_desk, "B00102");
        MidiDesk::send(*m_secondDesk, "B00103");
        QTRY_COMPARE(recorder.events, (QStringList{"cc 0 1 1", "cc 0 1 3"}));

        listener.closePort();
        QTRY_VERIFY(listener.isFinished());
        QCOMPARE(listener.currentPort(), MidiDesk::portIndex("Second Out"));

        // Closing at once after opening is not lost.
        listener.openPort(MidiDesk::portIndex("Desk Out"));
        listener.stopListening();
        QTRY_VERIFY(listener.isFinished());
    }

    void destroyedWhileListening()
    {
        auto listener = std::make_unique<MidiListener>();
        QSignalSpy opened(listener.get(), &MidiListener::portOpened);
        listener->openPort(MidiDesk::portIndex("Desk Out"));
        QVERIFY(opened.wait());
        MidiDesk::send(*m_desk, "B00105");
        listener.reset();
        // The port it held is gone with it: a new listener opens the same one.
        MidiListener next;
        Recorder recorder(next);
        QSignalSpy reopened(&next, &MidiListener::portOpened);
        next.openPort(MidiDesk::portIndex("Desk Out"));
        QVERIFY(reopened.wait());
        MidiDesk::send(*m_desk, "B00106");
        QTRY_COMPARE(recorder.events, QStringList{"cc 0 1 6"});
    }

    // Last: takes the MIDI system away.
    void withoutAMidiSystem()
    {
        m_desk.reset();
        m_secondDesk.reset();
        m_jack.stop();
        QCOMPARE(MidiListener::availablePorts(), QStringList());
        MidiListener listener;
        Recorder recorder(listener);
        listener.openPort(0);
        QTRY_COMPARE(recorder.events, QStringList{"error Invalid MIDI port index"});
    }
};

QTEST_GUILESS_MAIN(TestMidiListener)
#include "tst_midilistener.moc"
