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

    // Every row of the address table, and how argument types become JSON.
    void bodiesAsTheCameraReceivesThem_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QByteArray>("body");

        const auto row = [](const char* name, const QString& address, const QVariantList& args,
                            const QString& endpoint, const QByteArray& body) {
            QTest::newRow(name) << "/camera/1/" + address << args << endpoint << body;
        };
        row("focus", "focus", {0.25}, "lens/focus", R"({"focus":0.25})");
        row("autofocus ignores arguments", "autofocus", {1, 2.0}, "lens/focus/doAutoFocus", "{}");
        row("iris", "iris", {2.8}, "lens/iris", R"({"apertureStop":2.8})");
        row("iris normalized", "iris/normalized", {0.5}, "lens/iris", R"({"normalised":0.5})");
        row("zoom", "zoom", {0.6}, "lens/zoom", R"({"normalised":0.6})");
        row("zoom speed", "zoom/speed", {-0.5}, "lens/zoom", R"({"speed":-0.5})");
        row("iso int", "iso", {400}, "video/iso", R"({"iso":400})");
        row("iso float", "iso", {400.5}, "video/iso", R"({"iso":400.5})");
        row("iso string", "iso", {QString("400")}, "video/iso", R"({"iso":"400"})");
        row("iso boolean", "iso", {true}, "video/iso", R"({"iso":true})");
        row("gain", "gain", {6}, "video/gain", R"({"gain":6})");
        row("white balance kept whole", "wb", {qlonglong(6000000000LL)}, "video/whiteBalance",
            R"({"whiteBalance":6000000000})");
        row("tint", "tint", {-10}, "video/whiteBalanceTint", R"({"whiteBalanceTint":-10})");
        row("shutter angle", "shutter/angle", {18000}, "video/shutter", R"({"shutterAngle":18000})");
        row("shutter speed", "shutter/speed", {50}, "video/shutter", R"({"shutterSpeed":50})");
        row("nd", "nd", {1.5}, "video/ndFilter", R"({"stop":1.5})");
        row("nd without argument", "nd", {}, "video/ndFilter", "{}");
        row("auto exposure", "autoexposure", {QString("Continuous")}, "video/autoExposure", R"({"mode":"Continuous"})");
        row("lift", "cc/lift", {0.1, 0.2, 0.3, 0.4}, "colorCorrection/lift",
            R"({"blue":0.3,"green":0.2,"luma":0.4,"red":0.1})");
        row("gamma", "cc/gamma", {0.5, 0.6, 0.7, 0.8}, "colorCorrection/gamma",
            R"({"blue":0.7,"green":0.6,"luma":0.8,"red":0.5})");
        row("gain two of four", "cc/gain", {1.5, 0.5}, "colorCorrection/gain", R"({"green":0.5,"red":1.5})");
        row("offset", "cc/offset", {-0.1, -0.2, -0.3, -0.4}, "colorCorrection/offset",
            R"({"blue":-0.3,"green":-0.2,"luma":-0.4,"red":-0.1})");
        row("contrast with a surplus argument", "cc/contrast", {0.5, 1.2, 9.0}, "colorCorrection/contrast",
            R"({"adjust":1.2,"pivot":0.5})");
        row("saturation", "cc/saturation", {1.5}, "colorCorrection/color", R"({"saturation":1.5})");
        row("hue", "cc/hue", {-0.25}, "colorCorrection/color", R"({"hue":-0.25})");
        row("luma contribution", "cc/lumacontribution", {0.75}, "colorCorrection/lumaContribution",
            R"({"lumaContribution":0.75})");
        row("record start", "record/start", {}, "transports/0/record", R"({"recording":true})");
        row("record stop", "record/stop", {}, "transports/0/stop", "{}");
        row("channel 0 level", "audio/channel/0/level", {-3.5}, "audio/channel/0/level", R"({"gain":-3.5})");
        row("channel 0 input", "audio/channel/0/input", {QString("XLR1 - Line")}, "audio/channel/0/input",
            R"({"input":"XLR1 - Line"})");
        row("channel 0 phantom from 1", "audio/channel/0/phantom", {1}, "audio/channel/0/phantomPower",
            R"({"enabled":true})");
        row("channel 0 padding from 0", "audio/channel/0/padding", {0}, "audio/channel/0/padding",
            R"({"enabled":false})");
        row("channel 0 low cut from T", "audio/channel/0/lowCut", {true}, "audio/channel/0/lowCutFilter",
            R"({"enabled":true})");
        row("channel 1 level", "audio/channel/1/level", {6.5}, "audio/channel/1/level", R"({"gain":6.5})");
        row("channel 1 input", "audio/channel/1/input", {QString("Camera - Left")}, "audio/channel/1/input",
            R"({"input":"Camera - Left"})");
        row("channel 1 phantom from 0.5", "audio/channel/1/phantom", {0.5}, "audio/channel/1/phantomPower",
            R"({"enabled":true})");
        row("channel 1 padding from F", "audio/channel/1/padding", {false}, "audio/channel/1/padding",
            R"({"enabled":false})");
        row("channel 1 low cut from a 64-bit int", "audio/channel/1/lowCut", {qlonglong(2)},
            "audio/channel/1/lowCutFilter", R"({"enabled":true})");
        row("preset", "preset/recall", {QString("Wide shot.cset")}, "presets/active", R"({"preset":"Wide shot.cset"})");
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

        // A fader sweep within one interval leaves the bridge as one command with its last position.
        // The interval is held open here so that every message is in before it closes.
        rig.bridge.setRateLimitMs(3600 * 1000);
        QSignalSpy received(&listener, &OscListener::messageReceived);
        for (int step = 1; step <= 200; ++step) {
            sendDatagram(port, oscPacket([step](osc::OutboundPacketStream& p) {
                p << osc::BeginMessage("/camera/4/focus") << float(step) / 200.0f << osc::EndMessage;
            }));
        }
        QTRY_COMPARE(received.count(), 200);
        rig.bridge.flushPending();
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "lens/focus"), QList<QByteArray>{R"({"focus":1})"});
        listener.stopListening();
        QVERIFY(listener.wait(OscListener::stopWaitMs));
    }
};

QTEST_GUILESS_MAIN(TestOscBridge)
#include "tst_oscbridge.moc"
