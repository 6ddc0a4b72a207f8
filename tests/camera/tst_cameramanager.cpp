#include "ArpSource.h"
#include "CameraApi.h"
#include "CameraManager.h"
#include "CameraMonitor.h"
#include "CameraSimulator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

namespace {
// A camera's complete state sweep, in the order the manager asks for it.
QStringList expectedSweep()
{
    QStringList sweep = {"lens/iris", "lens/focus", "lens/zoom", "video/iso", "video/gain", "video/whiteBalance",
                         "video/whiteBalanceTint", "video/shutter", "video/ndFilter", "video/autoExposure",
                         "colorCorrection/lift", "colorCorrection/gamma", "colorCorrection/gain",
                         "colorCorrection/offset", "colorCorrection/contrast", "colorCorrection/color",
                         "colorCorrection/lumaContribution", "transports/0", "presets", "presets/active"};
    for (const QString channel : {"0", "1"}) {
        for (const QString row : {"level", "input", "phantomPower", "padding", "lowCutFilter", "supportedInputs",
                                  "input/description"})
            sweep << "audio/channel/" + channel + "/" + row;
    }
    sweep << "system/codecFormat" << "system/videoFormat" << "system/format" << "system/supportedFormats"
          << "media/active" << "camera/tallyStatus" << "camera/programFeedDisplay" << "camera/colorBars"
          << "camera/power" << "camera/timingReferenceLock";
    for (const QString output : {"HDMI", "MainSDI"}) {
        for (const QString overlay : {"cleanFeed", "displayLUT", "falseColor", "focusAssist", "frameGuide",
                                      "safeArea", "zebra", "frameGrids"})
            sweep << "monitoring/" + output + "/" + overlay;
    }
    return sweep;
}

// The client spreads a sweep over several connections, so requests may arrive out of order:
// compare what was asked for, each exactly once, not the order of arrival.
QStringList sorted(QStringList endpoints)
{
    endpoints.sort();
    return endpoints;
}

QStringList gets(const CameraSimulator& simulator)
{
    QStringList endpoints;
    for (const SimulatedRequest& request : simulator.requests()) {
        if (request.method == "GET")
            endpoints << request.endpoint;
    }
    return endpoints;
}

QStringList sweepGets(const CameraSimulator& simulator)
{
    QStringList endpoints = gets(simulator);
    endpoints.removeAll("system/product");
    endpoints.removeAll("camera/id");
    return endpoints;
}

// Collects the camera library's log lines.
struct LogCapture {
    static inline QStringList lines;
    static inline QtMessageHandler previous = nullptr;
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (context.category && QByteArray(context.category) == "kovra.camera") {
            lines << QString(type == QtWarningMsg ? "WARN " : "INFO ") + message;
            return;
        }
        previous(type, context, message);
    }
    LogCapture() { lines.clear(); previous = qInstallMessageHandler(handler); }
    ~LogCapture() { qInstallMessageHandler(previous); }
};

// A port on loopback where nothing answers: bound, then closed again.
QString deadAddress()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return QString("127.0.0.1:%1").arg(server.serverPort());
}

class FakeArpSource : public ArpSource {
public:
    QHash<QString, QString> macs;      // address -> MAC, for single lookups
    QHash<QString, QString> table;     // MAC -> address, for table reads
    int tableReads = 0;

    QString macForIp(const QString& ip) override { return macs.value(ip); }
    void startTableRead() override
    {
        ++tableReads;
        QMetaObject::invokeMethod(this, [this] { emit tableRead(table); }, Qt::QueuedConnection);
    }
    bool isReading() const override { return false; }
};
}

class TestCameraManager : public QObject {
    Q_OBJECT

private:
    static QString onlyId(CameraManager& manager)
    {
        const QList<Camera> cameras = manager.cameraList()->allCameras();
        return cameras.size() == 1 ? cameras.first().id : QString();
    }

    static CameraStatus statusOf(CameraManager& manager, const QString& id)
    {
        const Camera* camera = manager.cameraList()->camera(id);
        return camera ? camera->status : CameraStatus::Disconnected;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        QFile::remove(CameraManager().configPath());
    }

    void connectSubscribeAndSweep()
    {
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        CameraManager manager;
        QSignalSpy listChanged(&manager, &CameraManager::cameraListChanged);
        manager.addCamera("Stage left", simulator.hostAndPort(), 1);
        const QString id = onlyId(manager);
        QVERIFY(!id.isEmpty());
        QCOMPARE(statusOf(manager, id), CameraStatus::Connecting);
        QCOMPARE(listChanged.count(), 1);

        QTRY_COMPARE(statusOf(manager, id), CameraStatus::Connected);
        QCOMPARE(manager.cameraList()->camera(id)->model, simulator.productName());
        QCOMPARE(gets(simulator).mid(0, 2), (QStringList{"system/product", "camera/id"}));
        QTRY_COMPARE(sweepGets(simulator).size(), 60);
        QCOMPARE(sorted(sweepGets(simulator)), sorted(expectedSweep()));
        QTRY_COMPARE(simulator.eventClientCount(), 1);

        // The next poll sweeps again once every reply of the first sweep has been handled.
        QTRY_COMPARE_WITH_TIMEOUT(sweepGets(simulator).size(), 120, 5000);
        QCOMPARE(sorted(sweepGets(simulator).mid(60)), sorted(expectedSweep()));

        QFile saved(manager.configPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QJsonObject entry = QJsonDocument::fromJson(saved.readAll())["cameras"][0].toObject();
        QCOMPARE(entry["name"].toString(), QString("Stage left"));
        QCOMPARE(entry["index"].toInt(), 1);
    }

    void aSlowCameraIsReadWholeOneSweepAtATime()
    {
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        // Each GET answered 600 ms late: one sweep spans several poll ticks.
        const int delayMs = 600;
        simulator.setResponseDelay(delayMs);
        int mostUnanswered = 0;
        connect(&simulator, &CameraSimulator::requestReceived, this,
                [&] { mostUnanswered = qMax(mostUnanswered, simulator.unansweredRequests()); });
        CameraManager manager;
        QSignalSpy failures(manager.api(), &CameraApi::getFailed);
        manager.addCamera("Slow", simulator.hostAndPort(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(sweepGets(simulator).size() > 60, 30000);

        QList<SimulatedRequest> sweep;
        for (const SimulatedRequest& request : simulator.requests()) {
            if (request.method == "GET" && request.endpoint != "system/product" && request.endpoint != "camera/id")
                sweep << request;
        }
        QStringList first;
        for (int i = 0; i < 60; ++i)
            first << sweep[i].endpoint;
        QCOMPARE(sorted(first), sorted(expectedSweep()));
        QCOMPARE(failures.count(), 0);
        QCOMPARE(statusOf(manager, onlyId(manager)), CameraStatus::Connected);
        QVERIFY(mostUnanswered <= CameraRequestQueue::maxInFlight);
        // The next sweep began only after the last reply of the first one had been sent.
        QVERIFY(sweep[59].received.msecsTo(sweep[60].received) >= delayMs - 50);
    }

    void refusedEndpointsLeaveTheSweepUntilTheNextPing()
    {
        LogCapture log;
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        simulator.refuseEndpoint("video/ndFilter", CameraSimulator::Refusal::NotFound);
        simulator.refuseEndpoint("video/shutter", CameraSimulator::Refusal::MethodNotAllowed);
        simulator.refuseEndpoint("camera/power", CameraSimulator::Refusal::NotImplemented);
        simulator.refuseEndpoint("media/active", CameraSimulator::Refusal::JsonError);
        simulator.refuseEndpoint("presets", CameraSimulator::Refusal::NotFound);
        CameraManager manager;
        manager.addCamera("Refuser", simulator.hostAndPort(), 2);
        const QString id = onlyId(manager);
        QTRY_COMPARE(sweepGets(simulator).size(), 60);
        QTRY_COMPARE_WITH_TIMEOUT(sweepGets(simulator).size(), 60 + 56, 5000);

        const QStringList second = sweepGets(simulator).mid(60);
        QStringList expected = expectedSweep();
        for (const QString dropped : {"video/ndFilter", "video/shutter", "camera/power", "media/active"})
            expected.removeAll(dropped);
        QCOMPARE(sorted(second), sorted(expected));

        const QString address = simulator.hostAndPort();
        QStringList unsupported = log.lines.filter("does not implement");
        unsupported.sort();
        QCOMPARE(unsupported.size(), 4);
        QCOMPARE(unsupported.filter("\"camera/power\"").first(),
                 "INFO Camera \"" + address + "\" does not implement \"camera/power\" ( \"HTTP 501\" ) - no longer polled");
        QCOMPARE(unsupported.filter("\"video/shutter\"").size(), 1);
        QVERIFY(unsupported.filter("\"video/ndFilter\"").first().contains("( \"HTTP 404\" )"));
        QCOMPARE(unsupported.filter("\"media/active\"").size(), 1);
        QVERIFY(log.lines.filter("presets").isEmpty());

        // A successful ping restores the whole sweep.
        simulator.clearRequests();
        manager.refreshCamera(id);
        QTRY_VERIFY_WITH_TIMEOUT(sweepGets(simulator).size() >= 60, 8000);
        QCOMPARE(sorted(sweepGets(simulator).mid(0, 60)), sorted(expectedSweep()));
    }

    void deviceThatIsNotACamera()
    {
        LogCapture log;
        CameraSimulator simulator("HyperDeck Studio HD Plus");
        QVERIFY(simulator.listen());
        simulator.setNotACamera(true);
        CameraManager manager;
        manager.addCamera("Deck", simulator.hostAndPort(), 3);
        const QString id = onlyId(manager);
        QTRY_COMPARE(statusOf(manager, id), CameraStatus::NotACamera);
        QCOMPARE(manager.cameraList()->camera(id)->model, QString("HyperDeck Studio HD Plus"));
        QTest::qWait(CameraManager::pollIntervalMs * 2 + 300);
        QCOMPARE(simulator.requestCount("GET", "system/product"), 1);
        QCOMPARE(sweepGets(simulator), QStringList());
        QCOMPARE(simulator.eventClientCount(), 0);

        // Reconnecting by hand pings again; the warning is not repeated.
        manager.refreshCamera(id);
        QTRY_COMPARE(simulator.requestCount("GET", "camera/id"), 2);
        QTest::qWait(200);
        const QStringList warnings = log.lines.filter("Not a camera:");
        QCOMPARE(warnings.size(), 1);
        QCOMPARE(warnings.first(), "WARN Not a camera: \"Deck\" at \"" + simulator.hostAndPort()
                                       + "\" - Kovra Control cannot control this device");
    }

    void silentCameraIsDisconnectedThenInError()
    {
        LogCapture log;
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        CameraManager manager;
        QSignalSpy statusChanged(&manager, &CameraManager::cameraStatusChanged);
        manager.addCamera("Quiet", simulator.hostAndPort(), 4);
        const QString id = onlyId(manager);
        QTRY_COMPARE(statusOf(manager, id), CameraStatus::Connected);
        QTRY_COMPARE(sweepGets(simulator).size(), 60);
        // Restarted just after the manager notes each reply, so it never runs ahead of the silence.
        QElapsedTimer sinceLastReply;
        sinceLastReply.start();
        connect(&manager, &CameraManager::cameraStateUpdated, this, [&sinceLastReply] { sinceLastReply.restart(); });
        simulator.setBlackHole(true);

        QTRY_COMPARE_WITH_TIMEOUT(statusOf(manager, id), CameraStatus::Disconnected, 16000);
        QVERIFY2(sinceLastReply.elapsed() >= 10000, qPrintable(QString("after %1 ms").arg(sinceLastReply.elapsed())));
        QCOMPARE(log.lines.filter("stopped answering").size(), 1);
        QCOMPARE(log.lines.filter("stopped answering").first(),
                 "WARN Camera \"Quiet\" at \"" + simulator.hostAndPort() + "\" stopped answering - reconnecting");
        // The ping waits at most for one read's time-out, then spends its own.
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(manager, id), CameraStatus::Error, 2 * CameraApi::defaultReadTimeoutMs + 1000);
        QTRY_COMPARE(simulator.eventClientCount(), 0);
    }

    void manualDisconnectStopsAllTraffic()
    {
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        CameraManager manager;
        manager.addCamera("Manual", simulator.hostAndPort(), 5);
        const QString id = onlyId(manager);
        QTRY_COMPARE(simulator.eventClientCount(), 1);
        QTRY_COMPARE(sweepGets(simulator).size(), 60);

        manager.disconnectCamera(id);
        QVERIFY(manager.isManuallyDisconnected(id));
        QCOMPARE(statusOf(manager, id), CameraStatus::Disconnected);
        QTRY_COMPARE(simulator.eventClientCount(), 0);
        QTest::qWait(300);
        const int before = simulator.requests().size();
        QTest::qWait(CameraManager::pollIntervalMs * 2);
        QCOMPARE(simulator.requests().size(), before);

        manager.fetchState(id);
        QCOMPARE(simulator.requests().size(), before);
        manager.refreshCamera(id);
        QVERIFY(!manager.isManuallyDisconnected(id));
        QTRY_COMPARE(statusOf(manager, id), CameraStatus::Connected);
    }

    void commands()
    {
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        CameraManager manager;
        manager.addCamera("Commanded", simulator.hostAndPort(), 6);
        const QString id = onlyId(manager);
        QTRY_COMPARE(statusOf(manager, id), CameraStatus::Connected);
        QTRY_COMPARE(simulator.eventClientCount(), 1);

        const int before = simulator.requests().size();
        manager.sendCommand("no-such-camera", "lens/focus", {{"focus", 0.1}});
        manager.sendCommandRaw("no-such-camera", "lens/focus", "{}");
        QSignalSpy stateUpdated(&manager, &CameraManager::cameraStateUpdated);
        manager.sendCommand(id, "lens/focus", {{"focus", 0.25}});
        QTRY_COMPARE(simulator.requestCount("PUT", "lens/focus"), 1);
        QVERIFY(simulator.requests().size() >= before + 1);
        for (const SimulatedRequest& request : simulator.requests()) {
            if (request.method == "PUT")
                QCOMPARE(request.body, QByteArray(R"({"focus":0.25})"));
        }
        // The new value comes back through the camera's event channel or the next sweep.
        QTRY_COMPARE(manager.cameraList()->state(id)->focus, 0.25);
        QVERIFY(stateUpdated.count() >= 1);

        QSignalSpy errors(&manager, &CameraManager::connectionError);
        simulator.refuseEndpoint("video/iso", CameraSimulator::Refusal::MethodNotAllowed);
        manager.sendCommand(id, "video/iso", {{"iso", 1600}});
        QVERIFY(errors.wait());
        QCOMPARE(errors.at(0).at(0).toString(), id);
    }

    void refusedEventChannelLeavesTheCameraConnected()
    {
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        simulator.refuseEndpoint("event/websocket", CameraSimulator::Refusal::NotFound);
        CameraManager manager;
        manager.monitor()->setReconnectInterval(200);
        QSignalSpy statusChanged(&manager, &CameraManager::cameraStatusChanged);
        manager.addCamera("No events", simulator.hostAndPort(), 1);
        const QString id = onlyId(manager);
        QTRY_COMPARE(statusOf(manager, id), CameraStatus::Connected);

        // The monitor keeps retrying on its own while sweeps go on, one at a time, over two poll ticks.
        QTRY_VERIFY(manager.monitor()->failureCount(id) >= 4);
        QTRY_VERIFY_WITH_TIMEOUT(sweepGets(simulator).count("lens/iris") >= 3, 12000);
        QVERIFY(simulator.requestCount("GET", "event/websocket") >= 2);
        QCOMPARE(simulator.eventClientCount(), 0);
        QCOMPARE(statusChanged.count(), 1);
        QCOMPARE(statusOf(manager, id), CameraStatus::Connected);
        QCOMPARE(simulator.requestCount("GET", "system/product"), 1);
    }

    void eventChannelMovesACameraRestCannotConfirm()
    {
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        CameraManager manager;
        manager.monitor()->setReconnectInterval(200);
        manager.addCamera("Half there", simulator.hostAndPort(), 1);
        const QString id = onlyId(manager);
        QTRY_COMPARE(statusOf(manager, id), CameraStatus::Connected);
        QTRY_COMPARE(simulator.eventClientCount(), 1);

        // Its product endpoint fails, so a ping finds it unreachable while its socket stays open.
        simulator.refuseEndpoint("system/product", CameraSimulator::Refusal::NotImplemented);
        manager.refreshCamera(id);
        QTRY_COMPARE(statusOf(manager, id), CameraStatus::Error);

        QList<CameraStatus> statuses;
        connect(&manager, &CameraManager::cameraStatusChanged, this,
                [&] { statuses << statusOf(manager, id); });
        simulator.dropEventClients();
        QTRY_VERIFY(statuses.contains(CameraStatus::Connected));
        const qsizetype lost = statuses.indexOf(CameraStatus::Disconnected);
        QVERIFY(lost >= 0);
        QVERIFY(lost < statuses.indexOf(CameraStatus::Connected));
    }

    void oneCameraPerAddress()
    {
        CameraSimulator first;
        CameraSimulator second;
        QVERIFY(first.listen());
        QVERIFY(second.listen());
        auto* arp = new FakeArpSource;
        arp->macs.insert(second.hostAndPort(), "7c:2e:0d:00:00:0b");
        CameraManager manager(nullptr, arp);
        QSignalSpy errors(&manager, &CameraManager::connectionError);
        QSignalSpy listChanged(&manager, &CameraManager::cameraListChanged);
        manager.addCamera("Left", first.hostAndPort(), 1);
        manager.addCamera("Right", second.hostAndPort(), 2);
        const QString left = manager.cameraList()->cameraByIp(first.hostAndPort())->id;
        const QString right = manager.cameraList()->cameraByIp(second.hostAndPort())->id;
        QTRY_COMPARE(statusOf(manager, left), CameraStatus::Connected);
        QTRY_COMPARE(statusOf(manager, right), CameraStatus::Connected);
        QCOMPARE(listChanged.count(), 2);

        manager.addCamera("Intruder", first.hostAndPort(), 3);
        QCOMPARE(manager.cameraList()->count(), 2);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), left);
        QCOMPARE(errors.at(0).at(1).toString(), "Camera \"Intruder\" not added: " + first.hostAndPort()
                                                     + " is already the address of camera \"Left\"");
        manager.relocateCamera(right, first.hostAndPort());
        QCOMPARE(errors.count(), 2);
        QCOMPARE(errors.at(1).at(0).toString(), right);
        QCOMPARE(errors.at(1).at(1).toString(), "Camera \"Right\" not moved: " + first.hostAndPort()
                                                     + " is already the address of camera \"Left\"");
        QCOMPARE(manager.cameraList()->camera(right)->ip, second.hostAndPort());
        QCOMPARE(listChanged.count(), 2);

        // Each camera keeps its own replies: a change on the first reaches only its own state.
        first.setEndpointValue("video/iso", QJsonObject{{"iso", 3200}});
        QTRY_COMPARE(manager.cameraList()->state(left)->iso, 3200);
        QVERIFY(manager.cameraList()->state(right)->iso != 3200);

        // Once removed, its address is free: the other camera, gone from its own, turns up there.
        manager.removeCamera(left);
        QCOMPARE(listChanged.count(), 3);
        QCOMPARE(manager.cameraList()->camera(right)->mac, QString("7c:2e:0d:00:00:0b"));
        second.close();
        manager.refreshCamera(right);
        QTRY_COMPARE(statusOf(manager, right), CameraStatus::Error);
        arp->table.insert("7c:2e:0d:00:00:0b", first.hostAndPort());
        QTRY_COMPARE_WITH_TIMEOUT(manager.cameraList()->camera(right)->ip, first.hostAndPort(), 8000);
        QTRY_COMPARE(statusOf(manager, right), CameraStatus::Connected);
        QCOMPARE(errors.count(), 2);
    }

    void macIsLearntOnFirstPing()
    {
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        auto* arp = new FakeArpSource;
        arp->macs.insert(simulator.hostAndPort(), "7c:2e:0d:11:22:33");
        CameraManager manager(nullptr, arp);
        manager.addCamera("With MAC", simulator.hostAndPort(), 7);
        const QString id = onlyId(manager);
        QTRY_COMPARE(manager.cameraList()->camera(id)->mac, QString("7c:2e:0d:11:22:33"));
        QFile saved(manager.configPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(saved.readAll())["cameras"][0]["mac"].toString(),
                 QString("7c:2e:0d:11:22:33"));
    }

    void relocationByMac()
    {
        LogCapture log;
        CameraSimulator moved;
        QVERIFY(moved.listen());
        auto* arp = new FakeArpSource;
        CameraManager manager(nullptr, arp);
        const QString oldAddress = deadAddress();
        const QString heldAddress = deadAddress();
        const QString lostAddress = deadAddress();
        QJsonArray cameras;
        cameras.append(QJsonObject{{"id", "cam-a"}, {"name", "Moved"}, {"ip", oldAddress}, {"index", 1},
                                   {"mac", "7c:2e:0d:00:00:0a"}});
        cameras.append(QJsonObject{{"id", "cam-b"}, {"name", "Held"}, {"ip", heldAddress}, {"index", 2},
                                   {"mac", "7c:2e:0d:00:00:0b"}, {"disconnected", true}});
        cameras.append(QJsonObject{{"id", "cam-c"}, {"name", "Lost"}, {"ip", lostAddress}, {"index", 3},
                                   {"mac", "7c:2e:0d:00:00:0c"}});
        arp->table.insert("7c:2e:0d:00:00:0a", moved.hostAndPort());
        // A manually disconnected camera is never moved, even when its MAC shows up elsewhere.
        arp->table.insert("7c:2e:0d:00:00:0b", moved.hostAndPort());
        QElapsedTimer sinceLoad;
        sinceLoad.start();
        manager.cameraList()->fromJsonArray(cameras);
        manager.syncAfterExternalLoad();

        QTRY_COMPARE(statusOf(manager, "cam-a"), CameraStatus::Error);
        QTRY_COMPARE_WITH_TIMEOUT(manager.cameraList()->camera("cam-a")->ip, moved.hostAndPort(), 8000);
        QTRY_COMPARE(statusOf(manager, "cam-a"), CameraStatus::Connected);
        QTRY_COMPARE(moved.eventClientCount(), 1);
        QCOMPARE(log.lines.filter("relocating"),
                 QStringList{"INFO Camera \"Moved\" found at \"" + moved.hostAndPort() + "\" (was \"" + oldAddress
                             + "\" ) - relocating"});
        QCOMPARE(manager.cameraList()->camera("cam-b")->ip, heldAddress);
        QCOMPARE(manager.cameraList()->camera("cam-c")->ip, lostAddress);

        // The lost camera keeps asking for table reads on every poll; they start ten seconds apart.
        const qint64 untilSecondPoll = 2 * CameraManager::pollIntervalMs + 800 - sinceLoad.elapsed();
        if (untilSecondPoll > 0)
            QTest::qWait(int(untilSecondPoll));
        QVERIFY(sinceLoad.elapsed() < CameraManager::arpReadSpacingMs);
        QCOMPARE(arp->tableReads, 1);
        QTRY_COMPARE_WITH_TIMEOUT(arp->tableReads, 2, 9000);
        QVERIFY(sinceLoad.elapsed() >= CameraManager::arpReadSpacingMs);
    }
};

QTEST_GUILESS_MAIN(TestCameraManager)
#include "tst_cameramanager.moc"
