#include "AppCore.h"
#include "CameraApi.h"
#include "CameraManager.h"
#include "CameraScanner.h"
#include "CameraSimulator.h"
#include "CoreTestSupport.h"
#include "JackServer.h"
#include "MidiDesk.h"
#include "OscListener.h"
#include "OscSender.h"
#include "Startup.h"
#include "TestNetwork.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

QString firstCameraName(AppCore& core) { return core.cameraManager()->cameraList()->allCameras().value(0).name; }

}

// The core over config.json in a home of the test's own, with simulated cameras and real
// OSC datagrams where the network takes part.
class TestAppCore : public QObject {
    Q_OBJECT

    QTemporaryDir m_settingsHome;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_settingsHome.path().toUtf8());
        Startup::setApplicationIdentity();
    }

    // A desk's OSC and MIDI (through a port chosen by name) move the cameras; the cameras'
    // state goes back to the desk in batches, each holding every value, soon after a change
    // rather than at the next sweep. A camera that stops answering one endpoint would
    // otherwise add a log line every sweep.
    void deskMovesCamerasAndStateFlowsBack()
    {
        JackServer jack;
        QString error;
        QVERIFY2(jack.start(&error), qPrintable(error));
        std::unique_ptr<RtMidiOut> fader;
        try {
            fader = MidiDesk::open("Kovra Core Desk", "Fader Out");
        } catch (const RtMidiError& failure) {
            QFAIL(failure.what());
        }
        QVERIFY(MidiDesk::portIndex("Fader Out") >= 0);
        const QString midiPort = MidiListener::availablePorts().at(MidiDesk::portIndex("Fader Out"));
        const QJsonObject midi{
            {"mappings", QJsonArray{QJsonObject{{"channel", 2}, {"cc", 7}, {"cameraId", ""}, {"parameter", "lens/focus:focus"},
                                                {"min", 0.0}, {"max", 1.0}, {"scale", "linear"}}}},
            {"triggers", QJsonArray{QJsonObject{{"type", "note_on"}, {"channel", 0}, {"noteOrPgm", 60},
                                                {"action", "preset/recall"}, {"argument", "Wide.cdp"}, {"cameraId", "two"}}}}};

        CameraSimulator one, two;
        QVERIFY(one.listen() && two.listen());
        two.setMalformedJson("lens/zoom", true);
        QElapsedTimer clock;
        clock.start();
        QUdpSocket desk;
        desk.bind(QHostAddress::LocalHost, 0);
        QList<QByteArray> feedback;
        qint64 focusFedBackAtMs = -1;
        const QByteArray focusHalf = QByteArray("/camera/1/focus/value\0\0\0,f\0\0", 28) + QByteArray::fromHex("3f000000");
        connect(&desk, &QUdpSocket::readyRead, this, [&] {
            while (desk.hasPendingDatagrams()) {
                feedback << desk.receiveDatagram().data();
                if (focusFedBackAtMs < 0 && feedback.last() == focusHalf)
                    focusFedBackAtMs = clock.elapsed();
            }
        });
        const auto count = [&](const QByteArray& address) {
            return std::count_if(feedback.begin(), feedback.end(),
                                 [&](const QByteArray& datagram) { return datagram.startsWith(address + '\0'); });
        };
        const int port = freeUdpPort();
        QJsonObject settings = oscSettings(port);
        settings.insert("oscOutEnabled", true);
        settings.insert("oscOutPort", desk.localPort());
        settings.insert("midiPortName", midiPort);
        TestHome home;
        home.write("config.json", configDocument({cameraEntry("one", one.hostAndPort(), 1), cameraEntry("two", two.hostAndPort(), 2)},
                                                 settings, midi));

        AppCore core(false);
        QSignalSpy lines(&core, &AppCore::logLine);
        int updates = 0, zoomReplies = 0;
        qint64 focusChangedAtMs = -1;
        connect(core.cameraManager(), &CameraManager::cameraStateUpdated, this, [&](const QString& id) {
            updates += id == "one";
            if (id == "one" && focusChangedAtMs < 0 && qFuzzyCompare(core.cameraManager()->cameraList()->state(id)->focus, 0.5))
                focusChangedAtMs = clock.elapsed();
        });
        connect(core.cameraManager()->api(), &CameraApi::getFinished, this,
                [&](const QString& ip, const QString& endpoint) {
                    zoomReplies += ip == two.hostAndPort() && endpoint == "lens/zoom";
                });
        core.start();
        QTRY_COMPARE_WITH_TIMEOUT(core.oscStatus(), QString("OSC: in %1").arg(port), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(core.camerasStatus(), QString("Cameras: 2/2 connected"), 10000);
        QCOMPARE(core.switcherStatus(), QString("SW: Virtual Switcher"));
        QTRY_COMPARE_WITH_TIMEOUT(core.midiStatus(), "MIDI: " + midiPort, 10000);

        QCOMPARE(QProcess::execute("oscsend", {"127.0.0.1", QString::number(port), "/camera/1/focus", "f", "0.5"}), 0);
        QTRY_COMPARE(one.requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":0.5})"});
        QCOMPARE(two.requestCount("PUT", "lens/focus"), 0);

        QTRY_VERIFY(focusFedBackAtMs >= 0 && focusChangedAtMs >= 0);
        // The batch, not the next 3 s sweep, carries the change out (with room for a loaded machine).
        QVERIFY2(focusFedBackAtMs - focusChangedAtMs < 1000, qPrintable(QString::number(focusFedBackAtMs - focusChangedAtMs)));

        // One whole sweep: dozens of state updates per camera, few bursts, each complete.
        const int updatesBefore = updates;
        QTRY_VERIFY_WITH_TIMEOUT(updates > updatesBefore + 40 && zoomReplies >= 2, 10000);
        QSignalSpy arrivals(&desk, &QUdpSocket::readyRead);
        while (arrivals.wait(2 * AppCore::feedbackBatchMs)) // until the last batch is in
            ;
        const auto bursts = count("/camera/1/focus/value");
        QVERIFY2(bursts * 5 < updates, qPrintable(QString("%1 bursts for %2 updates").arg(bursts).arg(updates)));
        QCOMPARE(count("/camera/1/record/status"), bursts);
        QCOMPARE(count("/camera/1/audio/channel/1/gain/value"), bursts);
        QVERIFY(count("/camera/2/focus/value") > 0);
        const QString zoomFailure = QString("GET %1/lens/zoom: no reply (further failures not logged)").arg(two.hostAndPort());
        QCOMPARE(lines.count({"WARN", zoomFailure}), 1);

        MidiDesk::send(*fader, "B2077F");    // CC 7 on channel 3, full scale, to every camera
        QTRY_COMPARE(one.requestBodies("PUT", "lens/focus"), (QList<QByteArray>{R"({"focus":0.5})", R"({"focus":1})"}));
        QTRY_COMPARE(two.requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":1})"});
        MidiDesk::send(*fader, "903C64");    // Note On 60 on channel 1
        QTRY_COMPARE(two.requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":"Wide.cdp"})"});
        QVERIFY(core.saveAllToAppData());
        QCOMPARE(home.readConfig().value("settings")["midiPortName"].toString(), midiPort);
        QCOMPARE(home.readConfig().value("settings")["midiPort"].toInt(), MidiDesk::portIndex("Fader Out"));
    }

    void readinessSummary_data()
    {
        QTest::addColumn<bool>("withSimulated");
        QTest::addColumn<QJsonArray>("extraCameras");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("no cameras") << false << QJsonArray{} << QStringList{};
        QTest::newRow("all connected") << true << QJsonArray{}
                                       << QStringList{"Connecting to 1 camera(s)...", "Ready — 1 of 1 camera(s) connected"};
        QTest::newRow("one away, MAC unknown") << true << QJsonArray{cameraEntry("away", "127.0.0.1:1", 2)}
                                               << QStringList{"Connecting to 2 camera(s)...", "Ready — 1 of 2 camera(s) connected"};
        QTest::newRow("one away, MAC known")
            << true << QJsonArray{cameraEntry("away", "127.0.0.1:1", 2, "7c:2e:0d:00:00:01")}
            << QStringList{"Connecting to 2 camera(s)...",
                           "Cam away not found at saved IP — try scanning the network on the Cameras tab to relocate"};
        QJsonObject disconnected = cameraEntry("off", "127.0.0.1:1", 2, "7c:2e:0d:00:00:02");
        disconnected.insert("disconnected", true);
        QTest::newRow("one switched off by the operator")
            << true << QJsonArray{disconnected} << QStringList{"Connecting to 2 camera(s)...", "Ready — 1 of 1 camera(s) connected"};
    }

    // What the status bar says while the cameras come up, and once they had the time to.
    void readinessSummary()
    {
        QFETCH(bool, withSimulated);
        QFETCH(QJsonArray, extraCameras);
        QFETCH(QStringList, messages);
        CameraSimulator camera;
        QVERIFY(camera.listen());
        if (withSimulated)
            extraCameras.prepend(cameraEntry("here", camera.hostAndPort(), 1));
        TestHome home;
        home.write("config.json", configDocument(extraCameras, oscSettings(freeUdpPort())));
        AppCore core(false);
        core.setReadinessDelayMs(1500);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        core.start();
        if (messages.isEmpty())
            QVERIFY(!shown.wait(2000));
        QTRY_COMPARE_WITH_TIMEOUT(texts(shown), messages, 5000);
        if (!messages.isEmpty())
            QCOMPARE(shown.at(1).at(1).toInt(), messages.last().startsWith("Ready") ? 5000 : 15000);
    }

    void loadFromTheDataFolder_data()
    {
        QTest::addColumn<QByteArray>("document");    // "folder": a folder in its place
        QTest::addColumn<QByteArray>("backup");
        QTest::addColumn<bool>("platformStore");
        QTest::addColumn<QString>("loadedName");
        QTest::addColumn<int>("oscPort");
        QTest::addColumn<bool>("movedAside");
        const QByteArray typo = R"({"version": 2, "cameras": [{"id": "show", "ip": "192.0.2.12",}]})";
        const QByteArray backup = configDocument({cameraEntry("bak", "192.0.2.11", 1)}, {});
        // 8000 is the old port that version 2 moved away from.
        QTest::newRow("no settings") << QByteArray(R"({"version": 2, "cameras": []})") << QByteArray() << true << ""
                                     << 58000 << false;
        QTest::newRow("no document") << QByteArray() << QByteArray() << true << "Old" << 9100 << false;
        QTest::newRow("typo, backup") << typo << backup << false << "Cam bak" << 58000 << true;
        QTest::newRow("typo, no backup") << typo << QByteArray() << false << "Old" << 58000 << true;
        QTest::newRow("typo, broken backup") << typo << QByteArray("[]") << false << "Old" << 58000 << true;
        QTest::newRow("folder, backup") << QByteArray("folder") << backup << false << "Cam bak" << 58000 << true;
    }

    // Before config.json there were the platform's settings store and cameras.json. An
    // unreadable document is moved aside for the operator to mend, and its backup loaded:
    // replacing it at the next save, and the backup at the one after, would lose the show.
    void loadFromTheDataFolder()
    {
        QFETCH(QByteArray, document);
        QFETCH(QByteArray, backup);
        QFETCH(QString, loadedName);
        TestHome home;
        if (document == "folder")
            QVERIFY(QDir().mkpath(home.configPath()));
        else if (!document.isEmpty())
            home.write("config.json", document);
        if (!backup.isEmpty())
            home.write("config.json.bak", backup);
        home.write("cameras.json", R"({"cameras": [{"id": "old", "name": "Old", "ip": "192.0.2.9", "index": 4}]})");
        QFETCH(bool, platformStore);
        if (platformStore) {
            QSettings settings;
            settings.setValue("oscPort", 9100);
            settings.setValue("oscOutEnabled", true);
            settings.setValue("oscOutPort", "not a port");
        }

        AppCore core(false);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        core.loadAllFromAppData();
        QSettings().clear();
        QCOMPARE(firstCameraName(core), loadedName);
        QTEST(core.oscPort(), "oscPort");
        QCOMPARE(core.oscSender()->isEnabled(), platformStore && document.isEmpty());
        QCOMPARE(core.oscSender()->destinationPort(), 58001);
        const QStringList aside = QDir(home.dataFolder()).entryList({"config.json.unreadable-*"});
        QFETCH(bool, movedAside);
        QCOMPARE(aside.size(), movedAside ? 1 : 0);
        QCOMPARE(shown.size(), aside.size());
        if (movedAside) {
            QVERIFY(QRegularExpression("^config\\.json\\.unreadable-\\d{8}-\\d{6}$").match(aside.first()).hasMatch());
            QVERIFY(document == "folder" || home.read(aside.first()) == document);
            QVERIFY(shown.first().first().toString().contains(aside.first()));
        }

        QVERIFY(core.saveAllToAppData());
        QVERIFY(core.saveAllToAppData());
        QCOMPARE(QDir(home.dataFolder()).entryList({"config.json.unreadable-*"}), aside);
        QCOMPARE(home.readConfig()["cameras"][0]["name"].toString(), loadedName);
    }

    // An export leaves this machine's MIDI port out. A refused import changes nothing; an
    // accepted one keeps the MIDI port, moves the listener only for another port, and is
    // saved at once, the previous document kept as the backup.
    void exportAndImport()
    {
        TestHome home;
        const int port = freeUdpPort();
        QJsonObject settings = oscSettings(port);
        settings.insert("midiPortName", "Desk that is not here");
        settings.insert("oscOutIp", "192.0.2.1");
        home.write("config.json", configDocument({cameraEntry("a", "192.0.2.14", 1)}, settings));
        AppCore core(false);
        QSignalSpy started(core.oscListener(), &OscListener::started);
        QSignalSpy applied(&core, &AppCore::configurationApplied);
        core.start();
        QVERIFY(started.wait(10000));

        const QString exported = home.path() + "/Show.kovra";
        QVERIFY(core.saveConfigToFile(exported));
        QVERIFY(!home.readAt(exported).contains("midiPort"));
        QVERIFY(!core.saveConfigToFile(home.path() + "/no/such/folder/Show.kovra"));
        QVERIFY(!core.saveConfigToFile(home.path()));

        QVERIFY(QDir().mkpath(home.path() + "/folder.kovra"));
        home.writeAt(home.path() + "/list.kovra", R"([{"version": 2, "cameras": []}])");
        home.writeAt(home.path() + "/noise.kovra", QByteArray(100000, '\x7f'));
        home.writeAt(home.path() + "/huge.kovra", QByteArray(ConfigFile::maxDocumentBytes + 1, ' '));
        const QByteArray before = home.read("config.json");
        applied.clear();
        for (const char* refused : {"folder.kovra", "list.kovra", "noise.kovra", "huge.kovra", "missing.kovra"})
            QVERIFY2(!core.loadConfigFromFile(home.path() + "/" + refused), refused);
        QCOMPARE(applied.size(), 0);
        QCOMPARE(core.oscSender()->destinationIp(), QString("192.0.2.1"));
        QCOMPARE(firstCameraName(core), QString("Cam a"));
        QCOMPARE(home.read("config.json"), before);

        const QString other = home.path() + "/Other.kovra";
        home.writeAt(other, configDocument({cameraEntry("b", "192.0.2.15", 7)}, oscSettings(port)));
        QVERIFY(core.loadConfigFromFile(other));
        QVERIFY(!started.wait(500));
        QCOMPARE(home.read("config.json.bak"), before);
        QCOMPARE(home.readConfig()["cameras"][0]["id"].toString(), QString("b"));
        QCOMPARE(core.midiPortName(), QString("Desk that is not here"));

        const int newPort = freeUdpPort();
        home.writeAt(other, configDocument({}, oscSettings(newPort)));
        QVERIFY(core.loadConfigFromFile(other));
        QVERIFY(started.wait(10000));
        QCOMPARE(started.last().first().toInt(), newPort);
        QCOMPARE(home.readConfig().value("settings")["oscPort"].toInt(), newPort);
        QCOMPARE(home.readConfig().value("settings")["midiPortName"].toString(), QString("Desk that is not here"));
    }

    void foundCameraWithAKnownMac_data()
    {
        QTest::addColumn<bool>("switchedOff");
        QTest::newRow("connected") << false;
        QTest::newRow("switched off by the operator") << true;
    }

    // A configured camera that comes back under another address is moved there when the
    // network browse finds it, recognised by the MAC address learnt while it was connected;
    // one the operator switched off stays where it was.
    void foundCameraWithAKnownMac()
    {
        if (::geteuid() != 0)
            QSKIP("network namespaces need root");
        QFETCH(bool, switchedOff);
        TestNetwork network;
        QVERIFY2(network.isReady(), "could not create the test's network namespace");
        const QString first = network.address(2);
        const QString second = network.address(3);
        QVERIFY(network.startCameraAt(first, QStringLiteral(KOVRA_CAMSIM_PATH)));

        TestHome home;
        home.write("config.json", configDocument({cameraEntry("roaming", first, 1)}, oscSettings(freeUdpPort())));
        AppCore core(false);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        QSignalSpy suggested(&core, &AppCore::cameraSuggested);
        core.start();
        const auto camera = [&] { return *core.cameraManager()->cameraList()->camera("roaming"); };
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QCOMPARE(camera().mac, network.cameraMac());
        if (switchedOff)
            core.cameraManager()->disconnectCamera("roaming");

        QVERIFY(network.startCameraAt(second, QStringLiteral(KOVRA_CAMSIM_PATH)));
        network.announceFromCamera();
        QVERIFY(network.forgetNeighbour(first));
        shown.clear();
        // What the browse does for a camera that announces itself.
        QSignalSpy found(core.scanner(), &CameraScanner::cameraFound);
        core.scanner()->probeHost(second);
        QVERIFY(found.wait(10000));
        QCOMPARE(suggested.size(), 0);
        if (switchedOff) {
            QCOMPARE(camera().ip, first);
            QCOMPARE(shown.size(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(camera().ip, second, 10000);
        QCOMPARE(texts(shown), QStringList{QString("Relocated Cam roaming: %1 → %2").arg(first, second)});
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QVERIFY(core.saveAllToAppData());
        QCOMPARE(home.readConfig()["cameras"][0]["ip"].toString(), second);
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "tst_appcore.moc"
