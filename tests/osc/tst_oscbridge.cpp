#include "CameraManager.h"
#include "CameraSimulator.h"
#include "OscBridge.h"
#include "OscListener.h"
#include "OscMapping.h"
#include "OscTestSupport.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <vector>

namespace {
QJsonObject json(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

// Camera manager with simulated cameras at the given OSC indexes, and a bridge on top.
struct Rig {
    CameraManager manager;
    std::vector<std::unique_ptr<CameraSimulator>> cameras;
    OscBridge bridge{&manager};

    explicit Rig(const QList<int>& indexes)
    {
        for (int index : indexes) {
            auto simulator = std::make_unique<CameraSimulator>();
            simulator->listen();
            manager.addCamera(QString("Camera %1").arg(index), simulator->hostAndPort(), index);
            cameras.push_back(std::move(simulator));
        }
    }
    CameraSimulator& camera(int position) { return *cameras.at(position); }
};
}

class TestOscBridge : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void lastValueInAnIntervalWins()
    {
        Rig rig({1});
        rig.bridge.onOscMessage("/camera/1/focus", {0.2});
        rig.bridge.onOscMessage("/camera/1/focus", {0.3});
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/focus").size(), 1);

        // Anything flushed later than the focus command arrives after it was taken out.
        rig.bridge.onOscMessage("/camera/1/iso", {800});
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "video/iso").size(), 1);
        QCOMPARE(rig.camera(0).requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":0.3})"});
    }

    void controlsSharingAnEndpointStayApart()
    {
        Rig rig({1});
        rig.bridge.onOscMessage("/camera/1/zoom", {0.4});
        rig.bridge.onOscMessage("/camera/1/zoom/speed", {-0.5});
        rig.bridge.onOscMessage("/camera/1/zoom", {0.6});
        rig.bridge.onOscMessage("/camera/1/cc/saturation", {1.5});
        rig.bridge.onOscMessage("/camera/1/cc/hue", {-0.25});
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/zoom").size(), 2);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "colorCorrection/color").size(), 2);

        QList<QJsonObject> zoom;
        for (const QByteArray& body : rig.camera(0).requestBodies("PUT", "lens/zoom"))
            zoom << json(body);
        QVERIFY(zoom.contains(QJsonObject{{"normalised", 0.6}}));
        QVERIFY(zoom.contains(QJsonObject{{"speed", -0.5}}));
        QList<QJsonObject> color;
        for (const QByteArray& body : rig.camera(0).requestBodies("PUT", "colorCorrection/color"))
            color << json(body);
        QVERIFY(color.contains(QJsonObject{{"saturation", 1.5}}));
        QVERIFY(color.contains(QJsonObject{{"hue", -0.25}}));
    }

    void bodiesAsTheCameraReceivesThem_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("int") << "/camera/1/iso" << QVariantList{400} << "video/iso" << QByteArray(R"({"iso":400})");
        QTest::newRow("string") << "/camera/1/iso" << QVariantList{QString("400")} << "video/iso"
                                << QByteArray(R"({"iso":"400"})");
        QTest::newRow("fraction") << "/camera/1/iris" << QVariantList{2.8} << "lens/iris"
                                  << QByteArray(R"({"apertureStop":2.8})");
        QTest::newRow("64-bit int kept whole") << "/camera/1/wb" << QVariantList{qlonglong(6000000000LL)}
                                               << "video/whiteBalance" << QByteArray(R"({"whiteBalance":6000000000})");
        QTest::newRow("four floats") << "/camera/1/cc/lift" << QVariantList{0.1, 0.2, 0.3, 0.4}
                                     << "colorCorrection/lift"
                                     << QByteArray(R"({"blue":0.3,"green":0.2,"luma":0.4,"red":0.1})");
        QTest::newRow("two of four") << "/camera/1/cc/gain" << QVariantList{1.5, 0.5} << "colorCorrection/gain"
                                     << QByteArray(R"({"green":0.5,"red":1.5})");
        QTest::newRow("surplus argument") << "/camera/1/cc/contrast" << QVariantList{0.5, 1.2, 9.0}
                                          << "colorCorrection/contrast" << QByteArray(R"({"adjust":1.2,"pivot":0.5})");
        QTest::newRow("no argument") << "/camera/1/nd" << QVariantList{} << "video/ndFilter" << QByteArray("{}");
        QTest::newRow("autofocus ignores arguments") << "/camera/1/autofocus" << QVariantList{1, 2.0}
                                                     << "lens/focus/doAutoFocus" << QByteArray("{}");
        QTest::newRow("record start") << "/camera/1/record/start" << QVariantList{} << "transports/0/record"
                                      << QByteArray(R"({"recording":true})");
        QTest::newRow("record stop") << "/camera/1/record/stop" << QVariantList{} << "transports/0/stop"
                                     << QByteArray("{}");
        QTest::newRow("preset") << "/camera/1/preset/recall" << QVariantList{QString("Wide shot.cset")}
                                << "presets/active" << QByteArray(R"({"preset":"Wide shot.cset"})");
        QTest::newRow("audio phantom") << "/camera/1/audio/channel/1/phantom" << QVariantList{1}
                                       << "audio/channel/1/phantomPower" << QByteArray(R"({"enabled":1})");
    }

    void bodiesAsTheCameraReceivesThem()
    {
        QFETCH(QString, address);
        QFETCH(QVariantList, args);
        QFETCH(QString, endpoint);
        QFETCH(QByteArray, body);

        Rig rig({1});
        rig.bridge.onOscMessage(address, args);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", endpoint).size(), 1);
        QCOMPARE(rig.camera(0).requestBodies("PUT", endpoint).first(), body);
        QCOMPARE(rig.camera(0).requestCount("PUT"), 1);
    }

    void recallsAndTriggersKeepTheirPlaceAmongValues()
    {
        Rig rig({1});
        CameraSimulator& camera = rig.camera(0);
        QTRY_COMPARE(rig.manager.cameraList()->allCameras().first().status, CameraStatus::Connected);
        camera.setResponseDelay(30);
        // Within one interval: a value before the recall goes first; one after it, last.
        rig.bridge.onOscMessage("/camera/1/focus", {0.2});
        rig.bridge.onOscMessage("/camera/1/iris", {4.0});
        rig.bridge.onOscMessage("/camera/1/preset/recall", {"Wide.cset"});
        rig.bridge.onOscMessage("/camera/1/focus", {0.3});
        rig.bridge.onOscMessage("/camera/1/record/start", {});
        rig.bridge.flushPending();
        QTRY_COMPARE(camera.requestCount("PUT"), 4);
        QStringList order;
        for (const SimulatedRequest& request : camera.requests()) {
            if (request.method == "PUT")
                order << request.endpoint + ' ' + request.body;
        }
        QCOMPARE(order, QStringList({R"(lens/iris {"apertureStop":4})", R"(presets/active {"preset":"Wide.cset"})",
                                     R"(lens/focus {"focus":0.3})", R"(transports/0/record {"recording":true})"}));
    }

    void indexZeroAddressesEveryCamera()
    {
        Rig rig({3, 1, 2});
        rig.bridge.onOscMessage("/camera/0/record/start", {});
        rig.bridge.onOscMessage("/camera/0/focus", {0.7});
        for (int position = 0; position < 3; ++position) {
            CameraSimulator& camera = rig.camera(position);
            QTRY_COMPARE(camera.requestBodies("PUT", "transports/0/record"), QList<QByteArray>{R"({"recording":true})"});
            QTRY_COMPARE(camera.requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":0.7})"});
            QVERIFY(camera.isRecording());
        }
    }

    void oneCameraByIndex()
    {
        Rig rig({1, 2});
        rig.bridge.onOscMessage("/camera/2/gain", {6});
        QTRY_COMPARE(rig.camera(1).requestBodies("PUT", "video/gain").size(), 1);
        rig.bridge.onOscMessage("/camera/1/tint", {-10});
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "video/whiteBalanceTint").size(), 1);
        QCOMPARE(rig.camera(0).requestCount("PUT"), 1);
        QCOMPARE(rig.camera(1).requestCount("PUT"), 1);
    }

    void addressesNamingNoCameraWarnOnce()
    {
        OscLogCapture log;
        Rig rig({1});
        for (int repeat = 0; repeat < 3; ++repeat) {
            rig.bridge.onOscMessage("/camera/9/focus", {0.5});
            rig.bridge.onOscMessage("/camera/abc/focus", {0.5});
            rig.bridge.onOscMessage("/ping", {});
        }
        rig.bridge.onOscMessage("/camera/8/focus", {0.5});
        Rig empty({});
        empty.bridge.onOscMessage("/camera/0/iso", {100});
        QCOMPARE(log.taken(), (QStringList{
            R"(WARN OSC: "/camera/9/focus" names camera index 9 but no camera has that index - ignored)",
            R"(WARN OSC: "/camera/abc/focus" names camera index -1 but no camera has that index - ignored)",
            R"(WARN OSC: "/camera/8/focus" names camera index 8 but no camera has that index - ignored)",
            R"(WARN OSC: "/camera/0/iso" names camera index 0 but no camera has that index - ignored)"}));

        // Nothing was queued for the camera that exists.
        rig.bridge.onOscMessage("/camera/1/iso", {200});
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "video/iso").size(), 1);
        QCOMPARE(rig.camera(0).requestCount("PUT"), 1);
    }

    void rateLimitHasAFloor()
    {
        Rig rig({});
        QCOMPARE(rig.bridge.rateLimitMs(), 16);
        rig.bridge.setRateLimitMs(0);
        QCOMPARE(rig.bridge.rateLimitMs(), 1);
        rig.bridge.setRateLimitMs(40);
        QCOMPARE(rig.bridge.rateLimitMs(), 40);
    }

    void fromTheDeskToTheCamera()
    {
        Rig rig({4});
        OscListener listener;
        QSignalSpy started(&listener, &OscListener::started);
        const quint16 port = freeUdpPort();
        listener.setPort(port);
        connect(&listener, &OscListener::messageReceived, &rig.bridge, &OscBridge::onOscMessage);
        listener.start();
        QVERIFY(started.wait(5000));

        // A fader sweep: the camera must end on the last position the desk sent.
        for (int step = 1; step <= 200; ++step) {
            sendDatagram(port, oscPacket([step](osc::OutboundPacketStream& p) {
                p << osc::BeginMessage("/camera/4/focus") << float(step) / 200.0f << osc::EndMessage;
            }));
        }
        QTRY_VERIFY(!rig.camera(0).requestBodies("PUT", "lens/focus").isEmpty()
                    && rig.camera(0).requestBodies("PUT", "lens/focus").last() == R"({"focus":1})");
        QVERIFY(rig.camera(0).requestBodies("PUT", "lens/focus").size() <= 200);
        listener.stopListening();
        QVERIFY(listener.wait(OscListener::stopWaitMs));
    }
};

QTEST_GUILESS_MAIN(TestOscBridge)
#include "tst_oscbridge.moc"
