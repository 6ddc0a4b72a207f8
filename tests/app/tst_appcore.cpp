#include "AppCore.h"
#include "CameraApi.h"
#include "CameraManager.h"
#include "CameraSimulator.h"
#include "CoreTestSupport.h"
#include "OscListener.h"
#include "OscSender.h"
#include "Startup.h"

#include <oscpack/osc/OscReceivedElements.h>

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {

bool oscsend(int port, const QStringList& message)
{
    return QProcess::execute("oscsend", QStringList{"127.0.0.1", QString::number(port)} + message) == 0;
}

// A desk receiving feedback: every float message with the moment it arrived.
struct FeedbackDesk {
    struct Message {
        QString address;
        double value;
        qint64 atMs;
    };
    QUdpSocket socket;
    QList<Message> messages;
    explicit FeedbackDesk(const QElapsedTimer& clock)
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this, &clock] {
            while (socket.hasPendingDatagrams()) {
                const QByteArray data = socket.receiveDatagram().data();
                const osc::ReceivedMessage message(osc::ReceivedPacket(data.constData(), osc::osc_bundle_element_size_t(data.size())));
                const auto argument = message.ArgumentsBegin();
                const double value = argument != message.ArgumentsEnd() && argument->IsFloat() ? argument->AsFloat() : 0;
                messages.append({QString::fromUtf8(message.AddressPattern()), value, clock.elapsed()});
            }
        });
    }
    int count(const QString& address) const
    {
        return int(std::count_if(messages.begin(), messages.end(), [&](const Message& m) { return m.address == address; }));
    }
};

QStringList texts(const QSignalSpy& spy)
{
    QStringList list;
    for (const QList<QVariant>& arguments : spy)
        list << arguments.first().toString();
    return list;
}

}

class TestAppCore : public QObject {
    Q_OBJECT

    QTemporaryDir m_settingsHome;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_settingsHome.path().toUtf8());
        Startup::setApplicationIdentity();
    }

    void oscMovesCamerasAndStateFlowsBack()
    {
        CameraSimulator one, two;
        QVERIFY(one.listen());
        QVERIFY(two.listen());
        QElapsedTimer clock;
        clock.start();
        FeedbackDesk desk(clock);
        const int port = freeUdpPort();
        QJsonObject settings = oscSettings(port);
        settings.insert("oscOutEnabled", true);
        settings.insert("oscOutPort", desk.socket.localPort());
        TestHome home;
        home.write("config.json", configDocument({cameraEntry("one", one.hostAndPort(), 1), cameraEntry("two", two.hostAndPort(), 2)},
                                                 settings));

        AppCore core(false);
        int updates = 0;
        qint64 focusChangedAtMs = -1;
        connect(core.cameraManager(), &CameraManager::cameraStateUpdated, this, [&](const QString& id) {
            if (id != "one")
                return;
            ++updates;
            if (focusChangedAtMs < 0 && qFuzzyCompare(core.cameraManager()->cameraList()->state(id)->focus, 0.5))
                focusChangedAtMs = clock.elapsed();
        });
        core.start();
        QTRY_COMPARE_WITH_TIMEOUT(core.oscStatus(), QString("OSC: in %1").arg(port), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(core.camerasStatus(), QString("Cameras: 2/2 connected"), 10000);
        QCOMPARE(core.switcherStatus(), QString("SW: Virtual Switcher"));

        QVERIFY(oscsend(port, {"/camera/1/focus", "f", "0.5"}));
        QTRY_COMPARE(one.requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":0.5})"});
        QVERIFY(oscsend(port, {"/camera/0/iso", "i", "800"}));
        QTRY_COMPARE(one.requestBodies("PUT", "video/iso"), QList<QByteArray>{R"({"iso":800})"});
        QTRY_COMPARE(two.requestBodies("PUT", "video/iso"), QList<QByteArray>{R"({"iso":800})"});
        QCOMPARE(two.requestCount("PUT", "lens/focus"), 0);

        const auto focusFeedback = [&] {
            for (const FeedbackDesk::Message& message : desk.messages)
                if (message.address == "/camera/1/focus/value" && qFuzzyCompare(message.value, 0.5))
                    return message.atMs;
            return qint64(-1);
        };
        QTRY_VERIFY(focusFeedback() >= 0);
        QVERIFY(focusChangedAtMs >= 0);
        // The batch, not the next 3 s sweep, carries the change out (with room for a loaded machine).
        QVERIFY2(focusFeedback() - focusChangedAtMs < 1000, qPrintable(QString::number(focusFeedback() - focusChangedAtMs)));

        // Wait for one whole sweep: dozens of state updates per camera, few bursts, each complete.
        const int updatesBefore = updates;
        QTRY_VERIFY_WITH_TIMEOUT(updates > updatesBefore + 40, 10000);
        QTest::qWait(2 * AppCore::feedbackBatchMs);
        const int bursts = desk.count("/camera/1/focus/value");
        QVERIFY2(bursts * 5 < updates, qPrintable(QString("%1 bursts for %2 updates").arg(bursts).arg(updates)));
        QCOMPARE(desk.count("/camera/1/record/status"), bursts);
        QCOMPARE(desk.count("/camera/1/audio/channel/1/gain/value"), bursts);
        QVERIFY(desk.count("/camera/2/focus/value") > 0);
    }

    void readinessSummary_data()
    {
        QTest::addColumn<QJsonArray>("extraCameras");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("all connected") << QJsonArray{}
                                       << QStringList{"Connecting to 1 camera(s)...", "Ready — 1 of 1 camera(s) connected"};
        QTest::newRow("one away, MAC unknown")
            << QJsonArray{cameraEntry("away", "127.0.0.1:1", 2)}
            << QStringList{"Connecting to 2 camera(s)...", "Ready — 1 of 2 camera(s) connected"};
        QTest::newRow("one away, MAC known")
            << QJsonArray{cameraEntry("away", "127.0.0.1:1", 2, "7c:2e:0d:00:00:01")}
            << QStringList{"Connecting to 2 camera(s)...",
                           "Cam away not found at saved IP — try scanning the network on the Cameras tab to relocate"};
        QJsonObject disconnected = cameraEntry("off", "127.0.0.1:1", 2, "7c:2e:0d:00:00:02");
        disconnected.insert("disconnected", true);
        QTest::newRow("one switched off by the operator")
            << QJsonArray{disconnected} << QStringList{"Connecting to 2 camera(s)...", "Ready — 1 of 1 camera(s) connected"};
    }

    void readinessSummary()
    {
        QFETCH(QJsonArray, extraCameras);
        QFETCH(QStringList, messages);
        CameraSimulator camera;
        QVERIFY(camera.listen());
        QJsonArray cameras{cameraEntry("here", camera.hostAndPort(), 1)};
        for (const QJsonValue& extra : extraCameras)
            cameras.append(extra);
        TestHome home;
        home.write("config.json", configDocument(cameras, oscSettings(freeUdpPort())));

        AppCore core(false);
        core.setReadinessDelayMs(1500);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        core.start();
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, 5000);
        QCOMPARE(texts(shown), messages);
        QCOMPARE(shown.at(0).at(1).toInt(), 15000);
        QCOMPARE(shown.at(1).at(1).toInt(), messages.last().startsWith("Ready") ? 5000 : 15000);
    }

    void noCamerasNoMessages()
    {
        TestHome home;
        home.write("config.json", configDocument({}, oscSettings(freeUdpPort())));
        AppCore core(false);
        core.setReadinessDelayMs(200);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        core.start();
        QVERIFY(!shown.wait(1000));
        QCOMPARE(core.camerasStatus(), QString("Cameras: 0"));
    }

    void emptyRepliesAreReportedOncePerCameraAndEndpoint()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        camera.setMalformedJson("lens/zoom", true);
        TestHome home;
        home.write("config.json", configDocument({cameraEntry("cam", camera.hostAndPort(), 1)}, oscSettings(freeUdpPort())));
        AppCore core(false);
        QSignalSpy lines(&core, &AppCore::logLine);
        int zoomReplies = 0;
        connect(core.cameraManager()->api(), &CameraApi::getFinished, this,
                [&](const QString&, const QString& endpoint) { zoomReplies += endpoint == "lens/zoom"; });
        core.start();
        QTRY_VERIFY_WITH_TIMEOUT(zoomReplies >= 2, 10000);
        const QList<QVariant> expected{"WARN", QString("GET %1/lens/zoom: no reply (further failures not logged)").arg(camera.hostAndPort())};
        QCOMPARE(lines.count(expected), 1);
    }

    void listenPortOfADocument_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<int>("port");
        QTest::newRow("no settings") << QByteArray(R"({"version": 2, "cameras": []})") << 58000;
        QTest::newRow("empty settings") << QByteArray(R"({"settings": {}})") << 58000;
        QTest::newRow("version 1, old port") << QByteArray(R"({"settings": {"oscPort": 8000}})") << 58000;
        QTest::newRow("version 1, other port") << QByteArray(R"({"settings": {"oscPort": 8001}})") << 8001;
    }

    void listenPortOfADocument()
    {
        QFETCH(QByteArray, document);
        TestHome home;
        home.write("config.json", document);
        AppCore core(false);
        QCOMPARE(core.oscPort(), AppCore::initialOscPort);
        core.loadAllFromAppData();
        QTEST(core.oscPort(), "port");
    }

    void platformSettingsWhenThereIsNoDocument()
    {
        TestHome home;
        home.write("cameras.json", R"({"cameras": [{"id": "old", "name": "Old", "ip": "192.0.2.9", "index": 4}]})");
        {
            QSettings settings;
            settings.setValue("oscPort", 9100);
            settings.setValue("oscOutEnabled", true);
            settings.setValue("oscOutPort", "not a port");
        }
        AppCore core(false);
        core.loadAllFromAppData();
        QSettings().clear();
        QCOMPARE(core.oscPort(), 9100);
        QVERIFY(core.oscSender()->isEnabled());
        QCOMPARE(core.oscSender()->destinationPort(), 58001);
        QCOMPARE(core.cameraManager()->cameraList()->allCameras().value(0).name, QString("Old"));
    }

    void backupHoldsThePreviousDocument()
    {
        TestHome home;
        AppCore core(false);
        core.loadAllFromAppData();
        QVERIFY(core.saveAllToAppData());
        const QByteArray first = home.read("config.json");
        QVERIFY(core.saveAllToAppData());
        core.cameraManager()->addCamera("Added", "192.0.2.10", 1);
        QVERIFY(core.saveAllToAppData());
        QCOMPARE(home.read("config.json.bak"), first);
        QCOMPARE(home.readConfig()["cameras"].toArray().first()["name"].toString(), QString("Added"));
    }

    void unreadableDocumentIsKept_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<QByteArray>("backup");
        QTest::addColumn<QString>("loadedName");
        const QByteArray backup = configDocument({cameraEntry("bak", "192.0.2.11", 1)}, {});
        QTest::newRow("typo, backup") << false << backup << "Cam bak";
        QTest::newRow("typo, no backup") << false << QByteArray() << "Old";
        QTest::newRow("typo, broken backup") << false << QByteArray("[]") << "Old";
        QTest::newRow("folder, backup") << true << backup << "Cam bak";
    }

    void unreadableDocumentIsKept()
    {
        QFETCH(bool, directory);
        QFETCH(QByteArray, backup);
        QFETCH(QString, loadedName);
        TestHome home;
        const QByteArray typo = R"({"version": 2, "cameras": [{"id": "show", "ip": "192.0.2.12",}]})";
        if (directory)
            QVERIFY(QDir().mkpath(home.configPath()));
        else
            home.write("config.json", typo);
        if (!backup.isEmpty())
            home.write("config.json.bak", backup);
        home.write("cameras.json", R"({"cameras": [{"id": "old", "name": "Old", "ip": "192.0.2.9", "index": 4}]})");

        AppCore core(false);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        core.loadAllFromAppData();
        QCOMPARE(core.cameraManager()->cameraList()->allCameras().value(0).name, loadedName);

        const QStringList aside = QDir(home.dataFolder()).entryList({"config.json.unreadable-*"});
        QCOMPARE(aside.size(), 1);
        QVERIFY(QRegularExpression("^config\\.json\\.unreadable-\\d{8}-\\d{6}$").match(aside.first()).hasMatch());
        if (!directory)
            QCOMPARE(home.read(aside.first()), typo);
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().first().toString().contains(aside.first()));

        // Two saves later the operator's file and the backup that was used are both still there.
        QVERIFY(core.saveAllToAppData());
        QVERIFY(core.saveAllToAppData());
        QVERIFY(QFileInfo::exists(home.dataFolder() + "/" + aside.first()));
        QCOMPARE(home.readConfig()["cameras"].toArray().first()["name"].toString(), loadedName);
    }

    void refusedImportChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("array") << "list.kovra" << QByteArray(R"([{"version": 2, "cameras": []}])");
        QTest::newRow("garbage") << "noise.kovra" << QByteArray(100000, '\x7f');
        QTest::newRow("too large") << "huge.kovra" << QByteArray(ConfigFile::maxDocumentBytes + 1, ' ');
        QTest::newRow("folder") << "folder.kovra" << QByteArray();
        QTest::newRow("missing") << "missing.kovra" << QByteArray();
    }

    void refusedImportChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        TestHome home;
        const QString path = home.path() + "/" + name;
        if (name == "folder.kovra") {
            QVERIFY(QDir().mkpath(path));
        } else if (name != "missing.kovra") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        home.write("config.json", configDocument({cameraEntry("a", "192.0.2.13", 1)},
                                                 {{"oscPort", 9200}, {"oscOutIp", "192.0.2.1"}, {"oscOutEnabled", true}}));
        AppCore core(false);
        core.loadAllFromAppData();
        const QByteArray before = home.read("config.json");
        QSignalSpy applied(&core, &AppCore::configurationApplied);

        QVERIFY(!core.loadConfigFromFile(path));
        QCOMPARE(applied.size(), 0);
        QCOMPARE(core.oscPort(), 9200);
        QCOMPARE(core.oscSender()->destinationIp(), QString("192.0.2.1"));
        QCOMPARE(core.cameraManager()->cameraList()->allCameras().value(0).id, QString("a"));
        QCOMPARE(home.read("config.json"), before);
    }

    void exportAndImport()
    {
        TestHome home;
        const int port = freeUdpPort();
        QJsonObject settings = oscSettings(port);
        settings.insert("midiPortName", "Desk that is not here");
        home.write("config.json", configDocument({cameraEntry("a", "192.0.2.14", 1)}, settings));
        AppCore core(false);
        QSignalSpy started(core.oscListener(), &OscListener::started);
        core.start();
        QVERIFY(started.wait(10000));

        const QString exported = home.path() + "/Show.kovra";
        QVERIFY(core.saveConfigToFile(exported));
        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject document = QJsonDocument::fromJson(file.readAll()).object();
        QVERIFY(!document["settings"].toObject().contains("midiPort"));
        QVERIFY(!document["settings"].toObject().contains("midiPortName"));
        QVERIFY(!core.saveConfigToFile(home.path() + "/no/such/folder/Show.kovra"));
        QVERIFY(!core.saveConfigToFile(home.path()));

        // The same listen port: the listener keeps running.
        QFile other(home.path() + "/Other.kovra");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(configDocument({cameraEntry("b", "192.0.2.15", 7)}, oscSettings(port)));
        other.close();
        QVERIFY(core.loadConfigFromFile(other.fileName()));
        QVERIFY(!started.wait(500));
        QCOMPARE(core.cameraManager()->cameraList()->allCameras().value(0).id, QString("b"));
        QCOMPARE(home.readConfig()["cameras"].toArray().first()["id"].toString(), QString("b"));
        QCOMPARE(core.midiPortName(), QString("Desk that is not here"));

        // Another port: the listener moves.
        const int newPort = freeUdpPort();
        QVERIFY(other.open(QIODevice::WriteOnly | QIODevice::Truncate));
        other.write(configDocument({}, oscSettings(newPort)));
        other.close();
        QVERIFY(core.loadConfigFromFile(other.fileName()));
        QVERIFY(started.wait(10000));
        QCOMPARE(started.last().first().toInt(), newPort);
        QCOMPARE(home.readConfig()["settings"].toObject()["oscPort"].toInt(), newPort);
        QCOMPARE(home.readConfig()["settings"].toObject()["midiPortName"].toString(), QString("Desk that is not here"));
    }

    void foundCameras_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("hostname");
        QTest::addColumn<bool>("isCamera");
        QTest::addColumn<QString>("message");
        QTest::newRow("new camera") << "192.0.2.40" << "" << true << "Found URSA Broadcast G2 (192.0.2.40) - add it on the Cameras tab";
        QTest::newRow("named") << "192.0.2.41" << "Studio-Cam.local" << true << "Found Studio-Cam.local (192.0.2.41) - add it on the Cameras tab";
        QTest::newRow("not a camera") << "192.0.2.42" << "" << false << "";
        QTest::newRow("already configured") << "192.0.2.16" << "" << true << "";
    }

    void foundCameras()
    {
        QFETCH(QString, ip);
        QFETCH(QString, hostname);
        QFETCH(bool, isCamera);
        QFETCH(QString, message);
        TestHome home;
        home.write("config.json", configDocument({cameraEntry("known", "192.0.2.16", 1)}, {}));
        AppCore core(false);
        core.loadAllFromAppData();
        QSignalSpy shown(&core, &AppCore::statusMessage);
        QSignalSpy suggested(&core, &AppCore::cameraSuggested);
        core.onAutoDiscoveredCamera({ip, hostname, "URSA Broadcast G2", "9.0", isCamera});
        QCOMPARE(texts(shown), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(suggested.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(shown.first().at(1).toInt(), 8000);
            QCOMPARE(suggested.first().first().value<DiscoveredCamera>().ip, ip);
        }
    }

    void offlineDoesNothing()
    {
        TestHome home;
        home.write("config.json", configDocument({cameraEntry("a", "192.0.2.17", 1)}, oscSettings(freeUdpPort())));
        const QByteArray before = home.read("config.json");
        AppCore core(true);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        core.start();
        core.loadAllFromAppData();
        QVERIFY(!core.saveAllToAppData());
        QVERIFY(!core.saveConfigToFile(home.path() + "/x.kovra"));
        QVERIFY(!core.loadConfigFromFile(home.configPath()));
        QCOMPARE(core.cameraManager()->cameraList()->count(), 0);
        QVERIFY(!core.oscListener()->isRunning());
        QVERIFY(!core.scanner());
        QCOMPARE(home.read("config.json"), before);
        QVERIFY(!QFileInfo::exists(home.path() + "/x.kovra"));
        QCOMPARE(shown.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "tst_appcore.moc"
