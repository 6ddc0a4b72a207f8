#include "ArpSource.h"
#include "CameraApi.h"
#include "CameraManager.h"
#include "CameraMonitor.h"
#include "CameraSimulator.h"
#include "LogCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

namespace {
// A camera's complete state sweep.
QStringList expectedSweep()
{
    QStringList sweep = {"lens/iris", "lens/focus", "lens/zoom", "video/iso", "video/gain", "video/whiteBalance",
                         "video/whiteBalanceTint", "video/shutter", "video/ndFilter", "video/autoExposure",
                         "colorCorrection/lift", "colorCorrection/gamma", "colorCorrection/gain",
                         "colorCorrection/offset", "colorCorrection/contrast", "colorCorrection/color",
                         "colorCorrection/lumaContribution", "transports/0", "presets", "presets/active",
                         "system/codecFormat", "system/videoFormat", "system/format", "system/supportedFormats",
                         "media/active", "camera/tallyStatus", "camera/programFeedDisplay", "camera/colorBars",
                         "camera/power", "camera/timingReferenceLock"};
    for (const QString channel : {"0", "1"}) {
        for (const QString row : {"level", "input", "phantomPower", "padding", "lowCutFilter", "supportedInputs",
                                  "input/description"})
            sweep << "audio/channel/" + channel + "/" + row;
    }
    for (const QString output : {"HDMI", "MainSDI"}) {
        for (const QString overlay : {"cleanFeed", "displayLUT", "falseColor", "focusAssist", "frameGuide",
                                      "safeArea", "zebra", "frameGrids"})
            sweep << "monitoring/" + output + "/" + overlay;
    }
    sweep.sort();
    return sweep;
}

// The client spreads a sweep over several connections, so requests may arrive out of order:
// compare what was asked for, each exactly once, not the order of arrival.
QStringList sorted(QStringList endpoints)
{
    endpoints.sort();
    return endpoints;
}

// The state reads the camera received: every GET but the ping's two and the event channel's.
QList<SimulatedRequest> sweepRequests(const CameraSimulator& simulator)
{
    QList<SimulatedRequest> sweep = simulator.requests();
    const QStringList others{"system/product", "camera/id", "event/websocket"};
    sweep.removeIf([&others](const SimulatedRequest& r) { return r.method != "GET" || others.contains(r.endpoint); });
    return sweep;
}

QStringList sweepGets(const CameraSimulator& simulator)
{
    QStringList endpoints;
    for (const SimulatedRequest& request : sweepRequests(simulator))
        endpoints << request.endpoint;
    return endpoints;
}


// A port where nothing answers: bound, then closed again. Away from the simulated cameras'
// 127.0.0.1, so that no camera of an earlier test can ever turn up there.
QString deadAddress()
{
    QTcpServer server;
    server.listen(QHostAddress("127.0.0.2"), 0);
    return QString("127.0.0.2:%1").arg(server.serverPort());
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

    std::unique_ptr<CameraSimulator> camera;
    FakeArpSource* arp = nullptr;   // owned by the manager
    std::optional<LogCapture> log;    // the camera library's lines of the running test
    std::unique_ptr<CameraManager> manager;

    CameraStatus status(const QString& id) const
    {
        const Camera* listed = manager->cameraList()->camera(id);
        return listed ? listed->status : CameraStatus::Disconnected;
    }

    // Adds the simulated camera and returns its id.
    QString addCamera(const QString& name, int oscIndex = 1)
    {
        manager->addCamera(name, camera->hostAndPort(), oscIndex);
        return manager->cameraList()->cameraByIp(camera->hostAndPort())->id;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }


    void init()
    {
        log.emplace("kovra.camera");
        camera = std::make_unique<CameraSimulator>();
        QVERIFY(camera->listen());
        arp = new FakeArpSource;
        QFile::remove(CameraManager(nullptr).configPath());
        manager = std::make_unique<CameraManager>(nullptr, arp);
    }

    void cleanup()
    {
        manager.reset();
        camera.reset();
        log.reset();
    }

    void connectSweepCommandAndDisconnect()
    {
        arp->macs.insert(camera->hostAndPort(), "7c:2e:0d:11:22:33");
        camera->setEndpointValue("video/iso", QJsonObject{{"iso", 1600}});
        camera->setEndpointValue("audio/channel/1/input", QJsonObject{{"input", "XLR2 - Mic"}});
        manager->monitor()->setReconnectInterval(200);
        QSignalSpy listChanged(manager.get(), &CameraManager::cameraListChanged);
        const QString id = addCamera("Stage left");
        QCOMPARE(status(id), CameraStatus::Connecting);
        QCOMPARE(listChanged.count(), 1);
        QTRY_COMPARE(status(id), CameraStatus::Connected);
        QCOMPARE(manager->cameraList()->camera(id)->model, camera->productName());
        QCOMPARE(camera->requests().at(0).endpoint + ' ' + camera->requests().at(1).endpoint, "system/product camera/id");
        QTRY_COMPARE(sweepGets(*camera).size(), 60);
        QCOMPARE(sorted(sweepGets(*camera)), expectedSweep());
        QTRY_COMPARE(camera->eventClientCount(), 1);

        // The camera's own replies, parsed and read, land in the fields the operator sees.
        const CameraState& state = *manager->cameraList()->state(id);
        const auto seen = [&state] {
            return QStringList{state.audio[1].input, QString::number(state.iso), QString::number(state.zoomFocalLength),
                               QString::number(state.audio[1].gainMax), QString::number(state.audio[0].supportedInputs.size()),
                               state.supportedFormats.value(1).description, state.videoFormatName,
                               QString::number(state.powerMilliVolt), QString::number(state.timingReferenceLocked),
                               state.presets.join(',')};
        };
        QTRY_COMPARE(seen(), (QStringList{"XLR2 - Mic", "1600", "24", "60", "7", "4K DCI", "3840x2160p25", "12000", "1",
                                          camera->presetNames().join(',')}));

        // The MAC is learnt on the first ping and saved with the camera.
        QFile file(manager->configPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject saved = QJsonDocument::fromJson(file.readAll())["cameras"][0].toObject();
        QCOMPARE(QStringList({saved["name"].toString(), QString::number(saved["index"].toInt()), saved["mac"].toString()}),
                 QStringList({"Stage left", "1", "7c:2e:0d:11:22:33"}));

        manager->sendCommand("no-such-camera", "lens/focus", {{"focus", 0.1}});
        manager->sendCommandRaw("no-such-camera", "lens/focus", "{}");
        manager->sendCommand(id, "lens/focus", {{"focus", 0.25}});
        QTRY_COMPARE(camera->requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":0.25})"});
        QTRY_COMPARE(state.focus, 0.25);

        // The next poll sweeps again once every reply of the first sweep has been handled.
        QTRY_COMPARE_WITH_TIMEOUT(sweepGets(*camera).size(), 120, 5000);
        QCOMPARE(sorted(sweepGets(*camera).mid(60)), expectedSweep());
        // The simulated camera answers every endpoint of the sweep.
        QCOMPARE(log->levelled().filter("does not implement"), QStringList());

        QSignalSpy errors(manager.get(), &CameraManager::connectionError);
        camera->refuseEndpoint("video/iso", CameraSimulator::Refusal::MethodNotAllowed);
        manager->sendCommand(id, "video/iso", {{"iso", 1600}});
        QVERIFY(errors.wait());
        QCOMPARE(errors.at(0).at(0).toString(), id);
        QCOMPARE(camera->requestCount("PUT"), 2);

        // The event channel is an extra: losing it leaves a camera whose replies still come connected.
        QList<CameraStatus> statuses;
        connect(manager.get(), &CameraManager::cameraStatusChanged, this, [&] { statuses << status(id); });
        QSignalSpy reconnected(camera.get(), &CameraSimulator::eventClientConnected);
        camera->dropEventClients();
        QVERIFY(reconnected.wait());
        QCOMPARE(statuses, QList<CameraStatus>());

        // Disconnected by hand, it is left alone until reconnected by hand.
        manager->disconnectCamera(id);
        QVERIFY(manager->isManuallyDisconnected(id));
        QCOMPARE(status(id), CameraStatus::Disconnected);
        QTRY_COMPARE(camera->eventClientCount(), 0);
        QSignalSpy requests(camera.get(), &CameraSimulator::requestReceived);
        while (requests.wait(300)) // what was in flight at the disconnection lands first
            requests.clear();
        manager->fetchState(id);
        QVERIFY(!requests.wait(CameraManager::pollIntervalMs * 2));
        manager->refreshCamera(id);
        QVERIFY(!manager->isManuallyDisconnected(id));
        QTRY_COMPARE(status(id), CameraStatus::Connected);
        QTRY_COMPARE(camera->eventClientCount(), 1);

        // Its product endpoint fails, so a ping finds it unreachable while its socket stays open;
        // the socket, lost and found again, then moves it.
        camera->refuseEndpoint("system/product", CameraSimulator::Refusal::NotImplemented);
        manager->refreshCamera(id);
        QTRY_COMPARE(status(id), CameraStatus::Error);
        statuses.clear();
        camera->dropEventClients();
        QTRY_VERIFY(statuses.contains(CameraStatus::Connected));
        QVERIFY(statuses.indexOf(CameraStatus::Disconnected) >= 0);
        QVERIFY(statuses.indexOf(CameraStatus::Disconnected) < statuses.indexOf(CameraStatus::Connected));
    }

    void aSweepWaitsForTheLastReplyOfTheOneBefore()
    {
        // One read answered late, yet within the read time-out: the sweep spans a poll tick.
        const int delayMs = 4000;
        camera->setEndpointDelay("lens/iris", delayMs);
        int mostUnanswered = 0;
        connect(camera.get(), &CameraSimulator::requestReceived, this,
                [&] { mostUnanswered = qMax(mostUnanswered, camera->unansweredRequests()); });
        QSignalSpy failures(manager->api(), &CameraApi::getFailed);
        const QString id = addCamera("Slow");
        QTRY_VERIFY_WITH_TIMEOUT(sweepGets(*camera).size() > 60, 15000);

        const QList<SimulatedRequest> sweep = sweepRequests(*camera);
        QCOMPARE(sorted(sweepGets(*camera).mid(0, 60)), expectedSweep());
        QCOMPARE(failures.count(), 0);
        QCOMPARE(status(id), CameraStatus::Connected);
        QVERIFY(mostUnanswered <= CameraRequestQueue::maxInFlight);
        // The next sweep began only after the late reply had been sent.
        const auto iris = std::find_if(sweep.cbegin(), sweep.cend(), [](const auto& r) { return r.endpoint == "lens/iris"; });
        QVERIFY2(iris->received.msecsTo(sweep[60].received) >= delayMs - 50,
                 qPrintable(QString("after %1 ms").arg(iris->received.msecsTo(sweep[60].received))));
    }

    void refusalsLeaveTheCameraConnected()
    {
        camera->refuseEndpoint("video/ndFilter", CameraSimulator::Refusal::NotFound);
        camera->refuseEndpoint("video/shutter", CameraSimulator::Refusal::MethodNotAllowed);
        camera->refuseEndpoint("camera/power", CameraSimulator::Refusal::NotImplemented);
        camera->refuseEndpoint("media/active", CameraSimulator::Refusal::JsonError);
        // Some cameras have no presets yet: the list is asked for all the same.
        camera->refuseEndpoint("presets", CameraSimulator::Refusal::NotFound);
        camera->refuseEndpoint("event/websocket", CameraSimulator::Refusal::NotFound);
        manager->monitor()->setReconnectInterval(200);
        QSignalSpy statusChanged(manager.get(), &CameraManager::cameraStatusChanged);
        const QString id = addCamera("Refuser", 2);
        QTRY_COMPARE(sweepGets(*camera).size(), 60);
        // Refused reads leave the next sweep; the monitor keeps retrying the event channel on its own.
        QTRY_COMPARE_WITH_TIMEOUT(sweepGets(*camera).size(), 60 + 56, 5000);
        QStringList expected = expectedSweep();
        for (const QString dropped : {"video/ndFilter", "video/shutter", "camera/power", "media/active"})
            expected.removeAll(dropped);
        QCOMPARE(sorted(sweepGets(*camera).mid(60)), expected);
        QTRY_VERIFY(manager->monitor()->failureCount(id) >= 4);
        QCOMPARE(statusChanged.count(), 1);
        QCOMPARE(status(id), CameraStatus::Connected);
        QCOMPARE(camera->requestCount("GET", "system/product"), 1);

        const QStringList unsupported = sorted(log->levelled().filter("does not implement"));
        QCOMPARE(unsupported.size(), 4);
        QCOMPARE(unsupported.first(), "INFO Camera \"" + camera->hostAndPort()
                                          + "\" does not implement \"camera/power\" ( \"HTTP 501\" ) - no longer polled");
        QVERIFY(unsupported.filter("\"video/ndFilter\"").first().contains("( \"HTTP 404\" )"));

        // A successful ping restores the whole sweep.
        camera->clearRequests();
        manager->refreshCamera(id);
        QTRY_VERIFY_WITH_TIMEOUT(sweepGets(*camera).size() >= 60, 8000);
        QCOMPARE(sorted(sweepGets(*camera).mid(0, 60)), expectedSweep());
    }

    void deviceThatIsNotACamera()
    {
        camera->setProduct("HyperDeck Studio HD Plus", "9.0");
        camera->setNotACamera(true);
        const QString id = addCamera("Deck", 3);
        QTRY_COMPARE(status(id), CameraStatus::NotACamera);
        QCOMPARE(manager->cameraList()->camera(id)->model, QString("HyperDeck Studio HD Plus"));
        QVERIFY(!QTest::qWaitFor(
            [&] { return camera->requestCount("GET", "system/product") > 1 || !sweepGets(*camera).isEmpty(); },
            CameraManager::pollIntervalMs * 2 + 300));
        QCOMPARE(camera->eventClientCount(), 0);

        // Reconnecting by hand pings again; the warning is not repeated.
        manager->refreshCamera(id);
        QTRY_COMPARE(camera->requestCount("GET", "camera/id"), 2);
        QVERIFY(!QTest::qWaitFor([&] { return log->levelled().filter("Not a camera:").size() > 1; }, 200));
        QCOMPARE(log->levelled().filter("Not a camera:"), QStringList{"WARN Not a camera: \"Deck\" at \"" + camera->hostAndPort()
                                                               + "\" - Kovra Control cannot control this device"});
    }

    void silentCameraIsDisconnectedThenInError()
    {
        const QString id = addCamera("Quiet", 4);
        QTRY_COMPARE(status(id), CameraStatus::Connected);
        QTRY_COMPARE(sweepGets(*camera).size(), 60);
        // Restarted just after the manager notes each reply, so it never runs ahead of the silence.
        QElapsedTimer sinceLastReply;
        sinceLastReply.start();
        connect(manager.get(), &CameraManager::cameraStateUpdated, this, [&sinceLastReply] { sinceLastReply.restart(); });
        camera->setBlackHole(true);

        QTRY_COMPARE_WITH_TIMEOUT(status(id), CameraStatus::Disconnected, 16000);
        QVERIFY2(sinceLastReply.elapsed() >= 10000, qPrintable(QString("after %1 ms").arg(sinceLastReply.elapsed())));
        QCOMPARE(log->levelled().filter("stopped answering"),
                 QStringList{"WARN Camera \"Quiet\" at \"" + camera->hostAndPort() + "\" stopped answering - reconnecting"});
        // The ping waits at most for one read's time-out, then spends its own.
        QTRY_COMPARE_WITH_TIMEOUT(status(id), CameraStatus::Error, 2 * CameraApi::defaultReadTimeoutMs + 1000);
        QTRY_COMPARE(camera->eventClientCount(), 0);
    }

    void oneCameraPerAddress()
    {
        CameraSimulator second;
        QVERIFY(second.listen());
        arp->macs.insert(second.hostAndPort(), "7c:2e:0d:00:00:0b");
        QSignalSpy errors(manager.get(), &CameraManager::connectionError);
        QSignalSpy listChanged(manager.get(), &CameraManager::cameraListChanged);
        const QString first = camera->hostAndPort();
        const QString left = addCamera("Left", 1);
        manager->addCamera("Right", second.hostAndPort(), 2);
        const QString right = manager->cameraList()->cameraByIp(second.hostAndPort())->id;
        QTRY_COMPARE(status(left), CameraStatus::Connected);
        QTRY_COMPARE(status(right), CameraStatus::Connected);
        QCOMPARE(listChanged.count(), 2);

        manager->addCamera("Intruder", first, 3);
        QCOMPARE(manager->cameraList()->count(), 2);
        manager->relocateCamera(right, first);
        QCOMPARE(manager->cameraList()->camera(right)->ip, second.hostAndPort());
        QCOMPARE(listChanged.count(), 2);
        QCOMPARE(errors.count(), 2);
        QCOMPARE(errors.at(0), (QList<QVariant>{left, "Camera \"Intruder\" not added: " + first
                                                          + " is already the address of camera \"Left\""}));
        QCOMPARE(errors.at(1), (QList<QVariant>{right, "Camera \"Right\" not moved: " + first
                                                           + " is already the address of camera \"Left\""}));

        // Each camera keeps its own replies: a change on the first reaches only its own state.
        camera->setEndpointValue("video/iso", QJsonObject{{"iso", 3200}});
        QTRY_COMPARE(manager->cameraList()->state(left)->iso, 3200);
        QVERIFY(manager->cameraList()->state(right)->iso != 3200);

        // Once removed, its address is free: the other camera, gone from its own, turns up there.
        manager->removeCamera(left);
        QCOMPARE(listChanged.count(), 3);
        second.close();
        manager->refreshCamera(right);
        QTRY_COMPARE(status(right), CameraStatus::Error);
        arp->table.insert("7c:2e:0d:00:00:0b", first);
        QTRY_COMPARE_WITH_TIMEOUT(manager->cameraList()->camera(right)->ip, first, 8000);
        QTRY_COMPARE(status(right), CameraStatus::Connected);
        QCOMPARE(errors.count(), 2);
    }

    void relocationByMac()
    {
        // "Moved" turns up where the simulated camera listens; "Held", manually disconnected, is never
        // moved even though its MAC shows up there too; "Lost" is found nowhere.
        QJsonArray cameras;
        for (const QString name : {"Moved", "Held", "Lost"}) {
            const QString mac = "7c:2e:0d:00:00:0" + QString::number(cameras.size());
            cameras.append(QJsonObject{{"id", name}, {"name", name}, {"ip", deadAddress()}, {"index", cameras.size() + 1},
                                       {"mac", mac}, {"disconnected", name == "Held"}});
            if (name != "Lost")
                arp->table.insert(mac, camera->hostAndPort());
        }
        QElapsedTimer sinceLoad;
        sinceLoad.start();
        manager->cameraList()->fromJsonArray(cameras);
        manager->syncAfterExternalLoad();

        QTRY_COMPARE(status("Moved"), CameraStatus::Error);
        QTRY_COMPARE_WITH_TIMEOUT(manager->cameraList()->camera("Moved")->ip, camera->hostAndPort(), 8000);
        QTRY_COMPARE(status("Moved"), CameraStatus::Connected);
        QTRY_COMPARE(camera->eventClientCount(), 1);
        QCOMPARE(log->levelled().filter("relocating"),
                 QStringList{"INFO Camera \"Moved\" found at \"" + camera->hostAndPort() + "\" (was \""
                             + cameras.at(0)["ip"].toString() + "\" ) - relocating"});
        QCOMPARE(manager->cameraList()->camera("Held")->ip, cameras.at(1)["ip"].toString());
        QCOMPARE(manager->cameraList()->camera("Lost")->ip, cameras.at(2)["ip"].toString());

        // The lost camera keeps asking for table reads on every poll; they start ten seconds apart.
        const qint64 untilSecondPoll = 2 * CameraManager::pollIntervalMs + 800 - sinceLoad.elapsed();
        QVERIFY(!QTest::qWaitFor([&] { return arp->tableReads > 1; }, int(qMax<qint64>(untilSecondPoll, 0))));
        QVERIFY(sinceLoad.elapsed() < CameraManager::arpReadSpacingMs);
        QCOMPARE(arp->tableReads, 1);
        QTRY_COMPARE_WITH_TIMEOUT(arp->tableReads, 2, 9000);
        QVERIFY(sinceLoad.elapsed() >= CameraManager::arpReadSpacingMs);
    }
};

QTEST_GUILESS_MAIN(TestCameraManager)
#include "tst_cameramanager.moc"
