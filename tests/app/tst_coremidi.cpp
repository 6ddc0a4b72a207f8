#include "AppCore.h"
#include "CameraSimulator.h"
#include "CoreTestSupport.h"
#include "JackServer.h"
#include "MidiDesk.h"
#include "Startup.h"

#include <QTest>

#include <memory>

// A desk's MIDI reaches the cameras through a port chosen by name in config.json.
class TestCoreMidi : public QObject {
    Q_OBJECT

    QTemporaryDir m_settingsHome;
    JackServer m_jack;
    std::unique_ptr<RtMidiOut> m_desk;

    void send(const QByteArray& hex) { MidiDesk::send(*m_desk, hex); }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_settingsHome.path().toUtf8());
        Startup::setApplicationIdentity();
        QString error;
        QVERIFY2(m_jack.start(&error), qPrintable(error));
        try {
            m_desk = MidiDesk::open("Kovra Core Desk", "Fader Out");
        } catch (const RtMidiError& failure) {
            QFAIL(failure.what());
        }
    }

    void cleanupTestCase()
    {
        m_desk.reset();
        m_jack.stop();
    }

    void faderAndNoteMoveACamera()
    {
        const QStringList ports = MidiListener::availablePorts();
        QVERIFY2(MidiDesk::portIndex("Fader Out") >= 0, qPrintable(ports.join(", ")));
        const QString portName = ports[MidiDesk::portIndex("Fader Out")];

        CameraSimulator camera;
        QVERIFY(camera.listen());
        QJsonObject settings = oscSettings(freeUdpPort());
        settings.insert("midiPortName", portName);
        const QJsonObject midi{
            {"mappings", QJsonArray{QJsonObject{{"channel", 2}, {"cc", 7}, {"cameraId", ""}, {"parameter", "lens/focus:focus"},
                                                {"min", 0.0}, {"max", 1.0}, {"scale", "linear"}}}},
            {"triggers", QJsonArray{QJsonObject{{"type", "note_on"}, {"channel", 0}, {"noteOrPgm", 60},
                                                {"action", "preset/recall"}, {"argument", "Wide.cdp"}, {"cameraId", "cam"}}}}};
        TestHome home;
        home.write("config.json", configDocument({cameraEntry("cam", camera.hostAndPort(), 1)}, settings, midi));

        AppCore core(false);
        core.start();
        QTRY_COMPARE_WITH_TIMEOUT(core.midiStatus(), "MIDI: " + portName, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(core.camerasStatus(), QString("Cameras: 1/1 connected"), 10000);

        send("B2077F");    // CC 7 on channel 3, full scale
        QTRY_COMPARE(camera.requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":1})"});
        send("903C64");    // Note On 60 on channel 1
        QTRY_COMPARE(camera.requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":"Wide.cdp"})"});

        QVERIFY(core.saveAllToAppData());
        const QJsonObject saved = home.readConfig()["settings"].toObject();
        QCOMPARE(saved["midiPortName"].toString(), portName);
        QCOMPARE(saved["midiPort"].toInt(), int(ports.indexOf(portName)));
    }
};

QTEST_GUILESS_MAIN(TestCoreMidi)
#include "tst_coremidi.moc"
