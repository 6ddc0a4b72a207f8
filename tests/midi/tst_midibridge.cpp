#include "MidiBridge.h"
#include "MidiMapping.h"
#include "SimulatedCameras.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

namespace {
using Trigger = MidiTriggerEntry;

// Simulated cameras with a bridge over one mapping table.
struct Rig : SimulatedCameras {
    MidiMapping mapping;
    MidiBridge bridge{&manager, &mapping};
    QSignalSpy fired{&bridge, &MidiBridge::triggerFired};

    using SimulatedCameras::SimulatedCameras;
    void map(int cc, const QString& parameter, double min, double max, MidiMapEntry::Scale scale = MidiMapEntry::Linear,
             const QString& cameraId = QString())
    {
        mapping.addMapping({0, cc, cameraId, parameter, min, max, scale});
    }
    void trigger(Trigger::Type type, int channel, int number, const QString& argument, const QString& cameraId = {},
                 const QString& cue = {})
    {
        mapping.addTrigger({type, channel, number, cue, "preset/recall", argument, cameraId});
    }
};
}

class TestMidiBridge : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void scaling_data()
    {
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<int>("scale");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<int>("ccValue");
        QTest::addColumn<double>("value");

        const int lin = MidiMapEntry::Linear;
        const int log = MidiMapEntry::Log;
        QTest::newRow("linear, CC 0") << "lens/focus:focus" << lin << 0.0 << 1.0 << 0 << 0.0;
        QTest::newRow("linear, CC 127") << "lens/focus:focus" << lin << 0.0 << 1.0 << 127 << 1.0;
        QTest::newRow("linear, CC 64") << "lens/focus:focus" << lin << 0.0 << 1.0 << 64 << 64 / 127.0;
        QTest::newRow("log, CC 127") << "lens/zoom:normalised" << log << 100.0 << 10000.0 << 127 << 10000.0;
        QTest::newRow("log, CC 64") << "lens/zoom:normalised" << log << 100.0 << 10000.0 << 64 << 1018.2959482819049;
        QTest::newRow("log with min 0 is linear") << "lens/focus:focus" << log << 0.0 << 10.0 << 64 << 640 / 127.0;
        QTest::newRow("log with a negative bound is linear") << "colorCorrection/lift:luma" << log << -1.0 << 1.0 << 64 << 1 / 127.0;
        QTest::newRow("inverted linear") << "lens/iris:normalised" << lin << 1.0 << 0.0 << 32 << 95 / 127.0;
        QTest::newRow("ISO truncated, not rounded") << "video/iso:iso" << lin << 100.0 << 25600.0 << 1 << 300.0;
        QTest::newRow("tint truncated toward zero") << "video/whiteBalanceTint:whiteBalanceTint" << lin << -50.0 << 50.0 << 1 << -49.0;
        QTest::newRow("white balance, log") << "video/whiteBalance:whiteBalance" << log << 2500.0 << 10000.0 << 64 << 5027.0;
        QTest::newRow("ND stop stays a double") << "video/ndFilter:stop" << lin << 0.0 << 6.0 << 64 << 384 / 127.0;
        QTest::newRow("audio gain is not a video key") << "audio/channel/0/level:gain" << lin << 0.0 << 1.0 << 64 << 64 / 127.0;
    }

    void scaling()
    {
        QFETCH(QString, parameter);
        QFETCH(int, scale);
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(int, ccValue);
        QFETCH(double, value);
        Rig rig({1});
        rig.map(7, parameter, min, max, MidiMapEntry::Scale(scale));
        rig.bridge.onCcChanged(0, 7, ccValue);
        QTRY_COMPARE(rig.puts(0).size(), 1);
        const QString key = parameter.section(':', 1);
        const QString sent = rig.puts(0).first();
        QCOMPARE(sent.section(' ', 0, 0), parameter.section(':', 0, 0));
        const QJsonObject body = QJsonDocument::fromJson(sent.section(' ', 1).toUtf8()).object();
        QCOMPARE(body.keys(), QStringList{key});
        QVERIFY2(std::abs(body[key].toDouble() - value) <= 1e-9 * std::max(1.0, std::abs(value)), qPrintable(sent));
    }

    // Within one interval the latest value per camera and endpoint wins (keys of one endpoint
    // share it); a preset recall first sends what is pending, so the values cannot undo it.
    void coalescingAndRecall()
    {
        Rig rig({1});
        rig.bridge.setRateLimitMs(60000);    // only the recall and the explicit flush send
        rig.map(7, "lens/focus:focus", 0, 127);
        rig.map(1, "colorCorrection/color:hue", -1, 1);
        rig.map(2, "colorCorrection/color:saturation", 0, 2);
        rig.map(3, "lens/focus:focus", 0, 1, MidiMapEntry::Linear, "no-such-camera");
        rig.map(4, "lens/focus", 0, 1);
        rig.trigger(Trigger::NoteOn, 0, 60, "Wide.cset");
        for (int value = 0; value < 20; ++value)
            rig.bridge.onCcChanged(0, 7, value);
        rig.bridge.onCcChanged(0, 1, 127);
        rig.bridge.onCcChanged(0, 2, 127);
        rig.bridge.onCcChanged(0, 3, 10);     // a camera not in the list
        rig.bridge.onCcChanged(0, 5, 10);     // no mapping
        rig.bridge.onCcChanged(1, 7, 10);     // mapped on another channel
        rig.bridge.onNoteOn(0, 60, 100);
        QTRY_COMPARE(rig.puts(0).size(), 3);
        QStringList values = rig.puts(0).mid(0, 2);
        values.sort();
        QCOMPARE(values, (QStringList{R"(colorCorrection/color {"saturation":2})", R"(lens/focus {"focus":19})"}));
        QCOMPARE(rig.puts(0).last(), QString(R"(presets/active {"preset":"Wide.cset"})"));

        rig.bridge.onCcChanged(0, 4, 64);    // no key: an empty body
        rig.bridge.flushPending();
        rig.bridge.flushPending();
        QTRY_COMPARE(rig.puts(0).size(), 4);
        QCOMPARE(rig.puts(0).last(), QString("lens/focus {}"));
    }

    // A mapping or trigger without a camera serves every camera; one naming a camera that is
    // not there does nothing, as does a recall without a preset. Other actions are only
    // announced, and the argument travels as stored.
    void camerasAndActions()
    {
        Rig rig({1, 2, 3});
        rig.map(5, "video/iso:iso", 100, 3200);
        rig.map(6, "lens/focus:focus", 0, 1, MidiMapEntry::Linear, rig.ids[1]);
        rig.trigger(Trigger::NoteOn, 0, 60, " All.cset ");
        rig.trigger(Trigger::NoteOn, 0, 61, "One.cset", rig.ids[2]);
        rig.trigger(Trigger::NoteOn, 0, 1, "");
        rig.trigger(Trigger::NoteOn, 0, 2, "  \t ");
        rig.trigger(Trigger::NoteOn, 0, 3, "Wide.cset", "no-such-camera");
        for (int note = 1; note <= 3; ++note)
            rig.bridge.onNoteOn(0, note, 100);
        rig.bridge.executeTrigger("transport/record", "x", "no-such-camera");
        QCOMPARE(rig.fired.count(), 0);
        rig.bridge.executeTrigger("transport/record", "", "");
        QCOMPARE(rig.fired.first(), (QList<QVariant>{"transport/record", ""}));

        rig.bridge.onCcChanged(0, 5, 127);
        rig.bridge.onCcChanged(0, 6, 127);
        rig.bridge.flushPending();
        rig.bridge.onNoteOn(0, 60, 100);
        rig.bridge.onNoteOn(0, 61, 100);
        QCOMPARE(rig.fired.count(), 3);
        const QString iso = R"(video/iso {"iso":3200})";
        const QString all = R"(presets/active {"preset":" All.cset "})";
        QTRY_COMPARE(rig.puts(0), (QStringList{iso, all}));
        QTRY_COMPARE(rig.puts(1).size(), 3);
        QCOMPARE(rig.puts(1).last(), all);
        QVERIFY(rig.puts(1).contains(R"(lens/focus {"focus":1})"));
        QTRY_COMPARE(rig.puts(2), (QStringList{iso, all, R"(presets/active {"preset":"One.cset"})"}));
    }

    void noteTriggerLockOut()
    {
        Rig rig({1});
        rig.trigger(Trigger::NoteOn, 2, 60, "Wide.cset");
        rig.bridge.onNoteOn(2, 60, 100);
        QCOMPARE(rig.fired.count(), 1);
        QCOMPARE(rig.fired.first(), (QList<QVariant>{"preset/recall", "Wide.cset"}));
        // A repeat within the lock-out, whatever its velocity, does nothing; nor does a release
        // on another note or channel unlock it.
        rig.bridge.onNoteOn(2, 60, 1);
        rig.bridge.onNoteOff(2, 61);
        rig.bridge.onNoteOff(3, 60);
        rig.bridge.onNoteOn(2, 60, 100);
        QCOMPARE(rig.fired.count(), 1);
        // Its own Note Off does, at once.
        rig.bridge.onNoteOff(2, 60);
        rig.bridge.onNoteOn(2, 60, 100);
        QElapsedTimer sinceLast;
        sinceLast.start();
        QCOMPARE(rig.fired.count(), 2);
        // Without a release, the lock-out ends on its own.
        QTRY_COMPARE((rig.bridge.onNoteOn(2, 60, 100), rig.fired.count()), 3);
        QVERIFY2(sinceLast.elapsed() >= MidiBridge::triggerLockoutMs * 9 / 10, qPrintable(QString::number(sinceLast.elapsed())));
        QTRY_COMPARE(rig.puts(0).size(), 3);

        // Released and fired again well after the firing above, the note stays locked when that
        // firing's own lock-out runs out. The timers run in the order they expire: the probe at
        // 250 ms comes after the first firing's end (200 ms), before the second's (350 ms on).
        rig.bridge.onNoteOff(2, 60);
        rig.bridge.onNoteOn(2, 60, 100);
        QCOMPARE(rig.fired.count(), 4);
        QTimer::singleShot(150, this, [&rig] {
            rig.bridge.onNoteOff(2, 60);
            rig.bridge.onNoteOn(2, 60, 100);
        });
        int firedAtProbe = -1;
        QTimer::singleShot(MidiBridge::triggerLockoutMs + 50, this, [&] {
            rig.bridge.onNoteOn(2, 60, 100);
            firedAtProbe = int(rig.fired.count());
        });
        QTRY_VERIFY(firedAtProbe >= 0);
        QCOMPARE(firedAtProbe, 5);
    }

    // Locked out per program, and per received device and cue; only notes are released early.
    void programAndShowControlTriggers()
    {
        Rig rig({1});
        rig.trigger(Trigger::ProgramChange, 0, 4, "Four.cset");
        rig.trigger(Trigger::MscGo, 127, 0, "Cue 1.5.cset", QString(), "1.5");
        rig.bridge.onProgramChange(0, 4);
        rig.bridge.onNoteOff(0, 4);
        rig.bridge.onProgramChange(0, 4);
        rig.bridge.onProgramChange(0, 5);
        rig.bridge.onNoteOn(0, 4, 100);
        QCOMPARE(rig.fired.count(), 1);
        rig.bridge.onMscGo(3, "1.5");
        rig.bridge.onMscGo(3, "1.5");
        rig.bridge.onMscGo(4, "1.5");
        rig.bridge.onMscGo(4, "1.50");
        QCOMPARE(rig.fired.count(), 3);
        QCOMPARE(rig.fired.last(), (QList<QVariant>{"preset/recall", "Cue 1.5.cset"}));
        QTRY_COMPARE(rig.puts(0).size(), 3);
        QTRY_COMPARE((rig.bridge.onProgramChange(0, 4), rig.fired.count()), 4);
        QTRY_COMPARE((rig.bridge.onMscGo(3, "1.5"), rig.fired.count()), 5);
    }
};

QTEST_GUILESS_MAIN(TestMidiBridge)
#include "tst_midibridge.moc"
