#include "CameraManager.h"
#include "CameraSimulator.h"
#include "MidiBridge.h"
#include "MidiMapping.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

// Simulated cameras in a camera manager, with a bridge over one mapping table.
struct Rig {
    std::vector<std::unique_ptr<CameraSimulator>> simulators;
    QStringList ids;
    CameraManager manager;
    MidiMapping mapping;
    MidiBridge bridge{&manager, &mapping};

    explicit Rig(int cameras)
    {
        for (int i = 0; i < cameras; ++i) {
            auto simulator = std::make_unique<CameraSimulator>();
            if (!simulator->listen())
                qFatal("no loopback port for a simulated camera");
            // OSC indexes in reverse, so that list order and insertion order differ.
            manager.addCamera(QString("Camera %1").arg(i + 1), simulator->hostAndPort(), cameras - i);
            ids << manager.cameraList()->cameraByIp(simulator->hostAndPort())->id;
            simulators.push_back(std::move(simulator));
        }
    }

    CameraSimulator& camera(int i) { return *simulators[size_t(i)]; }

    void map(int cc, const QString& parameter, double min, double max,
             MidiMapEntry::Scale scale = MidiMapEntry::Linear, const QString& cameraId = QString())
    {
        MidiMapEntry entry;
        entry.cc = cc;
        entry.parameter = parameter;
        entry.min = min;
        entry.max = max;
        entry.scale = scale;
        entry.cameraId = cameraId;
        mapping.addMapping(entry);
    }

    void trigger(MidiTriggerEntry::Type type, int channel, int number, const QString& argument,
                 const QString& cameraId = QString(), const QString& cue = QString())
    {
        MidiTriggerEntry entry;
        entry.type = type;
        entry.channel = channel;
        entry.noteOrPgm = number;
        entry.mscCue = cue;
        entry.action = "preset/recall";
        entry.argument = argument;
        entry.cameraId = cameraId;
        mapping.addTrigger(entry);
    }
};

} // namespace

class TestMidiBridge : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void scaling_data()
    {
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<int>("scale");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<int>("ccValue");
        QTest::addColumn<QByteArray>("exactBody");   // for whole numbers on the wire
        QTest::addColumn<double>("value");           // otherwise the sent double, within tolerance
        QTest::addColumn<double>("tolerance");

        const int lin = MidiMapEntry::Linear;
        const int log = MidiMapEntry::Log;
        QTest::newRow("linear, CC 0") << "lens/focus:focus" << lin << 0.0 << 1.0 << 0 << QByteArray(R"({"focus":0})") << 0.0 << 0.0;
        QTest::newRow("linear, CC 127") << "lens/focus:focus" << lin << 0.0 << 1.0 << 127 << QByteArray(R"({"focus":1})") << 0.0 << 0.0;
        QTest::newRow("linear, CC 64") << "lens/focus:focus" << lin << 0.0 << 1.0 << 64 << QByteArray() << 64 / 127.0 << 1e-12;
        QTest::newRow("log, CC 0") << "lens/zoom:normalised" << log << 100.0 << 10000.0 << 0 << QByteArray(R"({"normalised":100})") << 0.0 << 0.0;
        QTest::newRow("log, CC 127") << "lens/zoom:normalised" << log << 100.0 << 10000.0 << 127 << QByteArray() << 10000.0 << 1e-9;
        QTest::newRow("log, CC 64") << "lens/zoom:normalised" << log << 100.0 << 10000.0 << 64 << QByteArray() << 1018.3 << 0.05;
        QTest::newRow("log with min 0 is linear") << "lens/focus:focus" << log << 0.0 << 10.0 << 64 << QByteArray() << 640 / 127.0 << 1e-12;
        QTest::newRow("log with a negative bound is linear") << "colorCorrection/lift:luma" << log << -1.0 << 1.0 << 127 << QByteArray(R"({"luma":1})") << 0.0 << 0.0;
        QTest::newRow("inverted linear, CC 127") << "lens/iris:normalised" << lin << 1.0 << 0.0 << 127 << QByteArray(R"({"normalised":0})") << 0.0 << 0.0;
        QTest::newRow("inverted linear, CC 32") << "lens/iris:normalised" << lin << 1.0 << 0.0 << 32 << QByteArray() << 95 / 127.0 << 1e-12;
        QTest::newRow("inverted log, CC 127") << "lens/focus:focus" << log << 10000.0 << 100.0 << 127 << QByteArray() << 100.0 << 1e-9;
        QTest::newRow("ISO truncated, not rounded") << "video/iso:iso" << lin << 100.0 << 25600.0 << 1 << QByteArray(R"({"iso":300})") << 0.0 << 0.0;
        QTest::newRow("gain as integer") << "video/gain:gain" << lin << 0.0 << 12.9 << 127 << QByteArray(R"({"gain":12})") << 0.0 << 0.0;
        QTest::newRow("tint truncated toward zero") << "video/whiteBalanceTint:whiteBalanceTint" << lin << -50.0 << 50.0 << 1 << QByteArray(R"({"whiteBalanceTint":-49})") << 0.0 << 0.0;
        QTest::newRow("white balance as integer") << "video/whiteBalance:whiteBalance" << log << 2500.0 << 10000.0 << 64 << QByteArray(R"({"whiteBalance":5027})") << 0.0 << 0.0;
        QTest::newRow("ND stop stays a double") << "video/ndFilter:stop" << lin << 0.0 << 6.0 << 64 << QByteArray() << 384 / 127.0 << 1e-12;
        QTest::newRow("aperture stop stays a double") << "lens/iris:apertureStop" << lin << 1.8 << 22.0 << 0 << QByteArray() << 1.8 << 1e-12;
        QTest::newRow("audio gain is not a video key") << "audio/channel/0/level:gain" << lin << 0.0 << 1.0 << 64 << QByteArray() << 64 / 127.0 << 1e-12;
        QTest::newRow("no key sends an empty body") << "lens/focus" << lin << 0.0 << 1.0 << 64 << QByteArray("{}") << 0.0 << 0.0;
    }

    void scaling()
    {
        QFETCH(QString, parameter);
        QFETCH(int, scale);
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(int, ccValue);
        QFETCH(QByteArray, exactBody);
        QFETCH(double, value);
        QFETCH(double, tolerance);

        Rig rig(1);
        rig.map(7, parameter, min, max, MidiMapEntry::Scale(scale));
        rig.bridge.onCcChanged(0, 7, ccValue);
        const QString endpoint = parameter.section(':', 0, 0);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", endpoint).size(), 1);
        const QByteArray body = rig.camera(0).requestBodies("PUT", endpoint).first();
        if (!exactBody.isEmpty()) {
            QCOMPARE(body, exactBody);
            return;
        }
        const QJsonObject sent = QJsonDocument::fromJson(body).object();
        const QString key = parameter.section(':', 1);
        QCOMPARE(sent.keys(), QStringList{key});
        QVERIFY2(std::abs(sent[key].toDouble() - value) <= tolerance, body.constData());
    }

    void unmappedOrUnknownCameraSendsNothing()
    {
        Rig rig(1);
        rig.map(1, "lens/focus:focus", 0, 1, MidiMapEntry::Linear, "no-such-camera");
        rig.map(2, "lens/zoom:normalised", 0, 1);
        rig.bridge.onCcChanged(0, 1, 10);      // mapped to a camera not in the list
        rig.bridge.onCcChanged(0, 3, 10);      // no mapping
        rig.bridge.onCcChanged(1, 2, 10);      // mapped on another channel
        rig.bridge.onCcChanged(0, 2, 127);     // the one that goes through, as a marker
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/zoom").size(), 1);
        rig.bridge.flushPending();
        QCOMPARE(rig.camera(0).requestCount("PUT"), 1);
    }

    void oneRequestPerIntervalWithTheLastValue()
    {
        Rig rig(1);
        rig.map(7, "lens/focus:focus", 0, 127);
        for (int value = 0; value < 20; ++value)
            rig.bridge.onCcChanged(0, 7, value);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/focus").size(), 1);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "lens/focus").first(), QByteArray(R"({"focus":19})"));

        // A later value travels on its own; nothing else from the burst follows it.
        rig.bridge.onCcChanged(0, 7, 100);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/focus").size(), 2);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "lens/focus").last(), QByteArray(R"({"focus":100})"));
        QCOMPARE(rig.camera(0).requestCount("PUT"), 2);
    }

    void flushSendsWhatIsPendingAtOnce()
    {
        Rig rig(1);
        QCOMPARE(rig.bridge.rateLimitMs(), MidiBridge::defaultRateLimitMs);
        // A long interval, so that only the explicit flush can have sent the command.
        rig.bridge.setRateLimitMs(60000);
        QCOMPARE(rig.bridge.rateLimitMs(), 60000);
        rig.map(7, "lens/zoom:normalised", 0, 1);
        rig.bridge.onCcChanged(0, 7, 127);
        rig.bridge.flushPending();
        rig.bridge.flushPending();
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/zoom").size(), 1);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "lens/zoom").first(), QByteArray(R"({"normalised":1})"));
    }

    void aRecallFollowsTheValuesBeforeIt()
    {
        Rig rig(1);
        rig.bridge.setRateLimitMs(60000);    // only the recall can have flushed the value
        rig.map(7, "lens/focus:focus", 0, 127);
        rig.trigger(MidiTriggerEntry::NoteOn, 0, 60, "Wide.cset");
        rig.bridge.onCcChanged(0, 7, 20);
        rig.bridge.onNoteOn(0, 60, 100);
        QTRY_COMPARE(rig.camera(0).requestCount("PUT"), 2);
        QStringList order;
        for (const SimulatedRequest& request : rig.camera(0).requests()) {
            if (request.method == "PUT")
                order << request.endpoint;
        }
        QCOMPARE(order, QStringList({"lens/focus", "presets/active"}));
    }

    void keysOfOneEndpointShareASlot()
    {
        Rig rig(1);
        rig.map(1, "colorCorrection/color:hue", -1, 1);
        rig.map(2, "colorCorrection/color:saturation", 0, 2);
        rig.map(3, "lens/focus:focus", 0, 1);
        rig.bridge.onCcChanged(0, 1, 127);
        rig.bridge.onCcChanged(0, 3, 0);
        rig.bridge.onCcChanged(0, 2, 127);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "colorCorrection/color").size(), 1);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "colorCorrection/color").first(), QByteArray(R"({"saturation":2})"));
        // Another endpoint has a slot of its own.
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":0})"});
    }

    void ccToEveryCamera()
    {
        Rig rig(3);
        rig.map(5, "video/iso:iso", 100, 3200);
        rig.map(6, "lens/focus:focus", 0, 1, MidiMapEntry::Linear, rig.ids[1]);
        rig.bridge.onCcChanged(0, 5, 127);
        rig.bridge.onCcChanged(0, 6, 127);
        for (int i = 0; i < 3; ++i)
            QTRY_COMPARE(rig.camera(i).requestBodies("PUT", "video/iso"), QList<QByteArray>{R"({"iso":3200})"});
        QTRY_COMPARE(rig.camera(1).requestBodies("PUT", "lens/focus").size(), 1);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "lens/focus").size(), 0);
        QCOMPARE(rig.camera(2).requestBodies("PUT", "lens/focus").size(), 0);
    }

    void noteTriggerLockOut()
    {
        Rig rig(1);
        rig.trigger(MidiTriggerEntry::NoteOn, 2, 60, "Wide.cset");
        QSignalSpy fired(&rig.bridge, &MidiBridge::triggerFired);

        rig.bridge.onNoteOn(2, 60, 100);
        QCOMPARE(fired.count(), 1);
        QCOMPARE(fired.first(), (QList<QVariant>{"preset/recall", "Wide.cset"}));
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":"Wide.cset"})"});

        // A repeat within the lock-out, whatever its velocity, does nothing.
        rig.bridge.onNoteOn(2, 60, 1);
        QCOMPARE(fired.count(), 1);
        // A release on another note or channel does not unlock it.
        rig.bridge.onNoteOff(2, 61);
        rig.bridge.onNoteOff(3, 60);
        rig.bridge.onNoteOn(2, 60, 100);
        QCOMPARE(fired.count(), 1);
        // Its own Note Off does, at once.
        rig.bridge.onNoteOff(2, 60);
        rig.bridge.onNoteOn(2, 60, 100);
        QElapsedTimer sinceLast;
        sinceLast.start();
        QCOMPARE(fired.count(), 2);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "presets/active").size(), 2);

        // Without a release, the lock-out ends on its own.
        QTRY_COMPARE((rig.bridge.onNoteOn(2, 60, 100), fired.count()), 3);
        QVERIFY2(sinceLast.elapsed() >= MidiBridge::triggerLockoutMs * 9 / 10,
                 qPrintable(QString("released after %1 ms").arg(sinceLast.elapsed())));
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "presets/active").size(), 3);

        // Released and fired again well after the firing above, the note stays locked when that
        // firing's own lock-out runs out. The timers run in the order they expire: the probe at
        // 250 ms comes after the first firing's end (200 ms), before the second's (350 ms on).
        rig.bridge.onNoteOff(2, 60);
        rig.bridge.onNoteOn(2, 60, 100);
        QCOMPARE(fired.count(), 4);
        QTimer::singleShot(150, this, [&rig] {
            rig.bridge.onNoteOff(2, 60);
            rig.bridge.onNoteOn(2, 60, 100);
        });
        int firedAtProbe = -1;
        QTimer::singleShot(MidiBridge::triggerLockoutMs + 50, this, [&] {
            rig.bridge.onNoteOn(2, 60, 100);
            firedAtProbe = int(fired.count());
        });
        QTRY_VERIFY(firedAtProbe >= 0);
        QCOMPARE(firedAtProbe, 5);
    }

    void programAndShowControlTriggers()
    {
        Rig rig(1);
        rig.trigger(MidiTriggerEntry::ProgramChange, 0, 4, "Four.cset");
        rig.trigger(MidiTriggerEntry::MscGo, 127, 0, "Cue 1.5.cset", QString(), "1.5");
        QSignalSpy fired(&rig.bridge, &MidiBridge::triggerFired);

        rig.bridge.onProgramChange(0, 4);
        rig.bridge.onNoteOff(0, 4);          // only notes are released early
        rig.bridge.onProgramChange(0, 4);
        rig.bridge.onProgramChange(0, 5);    // no trigger
        rig.bridge.onNoteOn(0, 4, 100);      // a note is not a program
        QCOMPARE(fired.count(), 1);

        rig.bridge.onMscGo(3, "1.5");
        rig.bridge.onMscGo(3, "1.5");
        QCOMPARE(fired.count(), 2);
        // The lock-out is per received device: another device's GO for the same cue fires.
        rig.bridge.onMscGo(4, "1.5");
        rig.bridge.onMscGo(4, "1.50");
        QCOMPARE(fired.count(), 3);
        QCOMPARE(fired.last(), (QList<QVariant>{"preset/recall", "Cue 1.5.cset"}));
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "presets/active").size(), 3);

        QTRY_COMPARE((rig.bridge.onProgramChange(0, 4), fired.count()), 4);
        QTRY_COMPARE((rig.bridge.onMscGo(3, "1.5"), fired.count()), 5);
    }

    void triggersThatDoNothing()
    {
        Rig rig(1);
        rig.trigger(MidiTriggerEntry::NoteOn, 0, 1, "");
        rig.trigger(MidiTriggerEntry::NoteOn, 0, 2, "  \t ");
        rig.trigger(MidiTriggerEntry::NoteOn, 0, 3, "Wide.cset", "no-such-camera");
        rig.trigger(MidiTriggerEntry::NoteOn, 0, 9, " Padded.cset ");
        QSignalSpy fired(&rig.bridge, &MidiBridge::triggerFired);
        rig.bridge.onNoteOn(0, 1, 100);
        rig.bridge.onNoteOn(0, 2, 100);
        rig.bridge.onNoteOn(0, 3, 100);
        QCOMPARE(fired.count(), 0);

        // The argument travels as stored; this one also marks the end of what was sent.
        rig.bridge.onNoteOn(0, 9, 100);
        QCOMPARE(fired.count(), 1);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":" Padded.cset "})"});
        QCOMPARE(rig.camera(0).requestCount("PUT"), 1);
    }

    void otherActionsOnlyAnnounce()
    {
        Rig rig(1);
        QSignalSpy fired(&rig.bridge, &MidiBridge::triggerFired);
        rig.bridge.executeTrigger("transport/record", "", "");
        rig.bridge.executeTrigger("transport/record", "x", "no-such-camera");
        QCOMPARE(fired.count(), 1);
        QCOMPARE(fired.first(), (QList<QVariant>{"transport/record", ""}));
        rig.bridge.executeTrigger("preset/recall", "Marker.cset", rig.ids[0]);
        QTRY_COMPARE(rig.camera(0).requestCount("PUT"), 1);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "presets/active").size(), 1);
    }

    void triggerToEveryCamera()
    {
        Rig rig(3);
        rig.trigger(MidiTriggerEntry::NoteOn, 0, 60, "All.cset");
        rig.trigger(MidiTriggerEntry::NoteOn, 0, 61, "One.cset", rig.ids[2]);
        QSignalSpy fired(&rig.bridge, &MidiBridge::triggerFired);
        rig.bridge.onNoteOn(0, 60, 100);
        QCOMPARE(fired.count(), 1);
        for (int i = 0; i < 3; ++i)
            QTRY_COMPARE(rig.camera(i).requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":"All.cset"})"});

        rig.bridge.onNoteOn(0, 61, 100);
        QCOMPARE(fired.count(), 2);
        QTRY_COMPARE(rig.camera(2).requestBodies("PUT", "presets/active").size(), 2);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "presets/active").size(), 1);
        QCOMPARE(rig.camera(1).requestBodies("PUT", "presets/active").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestMidiBridge)
#include "tst_midibridge.moc"
