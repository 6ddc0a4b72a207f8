#include "OscBridge.h"
#include "OscListener.h"
#include "OscTestSupport.h"
#include "SimulatedCameras.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {
struct Rig : SimulatedCameras {
    OscBridge bridge{&manager};
    using SimulatedCameras::SimulatedCameras;
};
}

class TestOscBridge : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Every row of the address table, and how argument types become JSON.
    void everyAddressAsTheCameraReceivesIt_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("sent");

        const auto row = [](const char* address, const QVariantList& args, const char* sent) {
            QTest::addRow("%s %s", address, sent) << QString("/camera/1/") + address << args << QString(sent);
        };
        row("focus", {0.25}, R"(lens/focus {"focus":0.25})");
        row("autofocus", {1, 2.0}, "lens/focus/doAutoFocus {}");
        row("iris", {2.8}, R"(lens/iris {"apertureStop":2.8})");
        row("iris/normalized", {0.5}, R"(lens/iris {"normalised":0.5})");
        row("zoom", {0.6}, R"(lens/zoom {"normalised":0.6})");
        row("zoom/speed", {-0.5}, R"(lens/zoom {"speed":-0.5})");
        row("iso", {400}, R"(video/iso {"iso":400})");
        row("iso", {400.5}, R"(video/iso {"iso":400.5})");
        row("iso", {QString("400")}, R"(video/iso {"iso":"400"})");
        row("iso", {true}, R"(video/iso {"iso":true})");
        row("gain", {6}, R"(video/gain {"gain":6})");
        row("wb", {qlonglong(6000000000LL)}, R"(video/whiteBalance {"whiteBalance":6000000000})");
        row("tint", {-10}, R"(video/whiteBalanceTint {"whiteBalanceTint":-10})");
        row("shutter/angle", {18000}, R"(video/shutter {"shutterAngle":18000})");
        row("shutter/speed", {50}, R"(video/shutter {"shutterSpeed":50})");
        row("nd", {1.5}, R"(video/ndFilter {"stop":1.5})");
        row("nd", {}, "video/ndFilter {}");
        row("autoexposure", {QString("Continuous")}, R"(video/autoExposure {"mode":"Continuous"})");
        row("cc/lift", {0.1, 0.2, 0.3, 0.4}, R"(colorCorrection/lift {"blue":0.3,"green":0.2,"luma":0.4,"red":0.1})");
        row("cc/gamma", {0.5, 0.6, 0.7, 0.8}, R"(colorCorrection/gamma {"blue":0.7,"green":0.6,"luma":0.8,"red":0.5})");
        row("cc/gain", {1.5, 0.5}, R"(colorCorrection/gain {"green":0.5,"red":1.5})");
        row("cc/offset", {-0.1, -0.2, -0.3, -0.4}, R"(colorCorrection/offset {"blue":-0.3,"green":-0.2,"luma":-0.4,"red":-0.1})");
        row("cc/contrast", {0.5, 1.2, 9.0}, R"(colorCorrection/contrast {"adjust":1.2,"pivot":0.5})");
        row("cc/saturation", {1.5}, R"(colorCorrection/color {"saturation":1.5})");
        row("cc/hue", {-0.25}, R"(colorCorrection/color {"hue":-0.25})");
        row("cc/lumacontribution", {0.75}, R"(colorCorrection/lumaContribution {"lumaContribution":0.75})");
        row("record/start", {}, R"(transports/0/record {"recording":true})");
        row("record/stop", {}, "transports/0/stop {}");
        row("audio/channel/0/level", {-3.5}, R"(audio/channel/0/level {"gain":-3.5})");
        row("audio/channel/0/input", {QString("XLR1 - Line")}, R"(audio/channel/0/input {"input":"XLR1 - Line"})");
        row("audio/channel/0/phantom", {1}, R"(audio/channel/0/phantomPower {"enabled":true})");
        row("audio/channel/0/padding", {0}, R"(audio/channel/0/padding {"enabled":false})");
        row("audio/channel/0/lowCut", {true}, R"(audio/channel/0/lowCutFilter {"enabled":true})");
        row("audio/channel/1/level", {6.5}, R"(audio/channel/1/level {"gain":6.5})");
        row("audio/channel/1/phantom", {0.5}, R"(audio/channel/1/phantomPower {"enabled":true})");
        row("audio/channel/1/padding", {false}, R"(audio/channel/1/padding {"enabled":false})");
        row("audio/channel/1/lowCut", {qlonglong(2)}, R"(audio/channel/1/lowCutFilter {"enabled":true})");
        row("preset/recall", {QString("Wide shot.cset")}, R"(presets/active {"preset":"Wide shot.cset"})");
    }

    void everyAddressAsTheCameraReceivesIt()
    {
        QFETCH(QString, address);
        QFETCH(QVariantList, args);
        QFETCH(QString, sent);
        Rig rig({1});
        rig.bridge.onOscMessage(address, args);
        QTRY_COMPARE(rig.puts(0), QStringList{sent});
    }

    void recallsAndTriggersKeepTheirPlaceAmongValues()
    {
        Rig rig({1});
        QTRY_COMPARE(rig.manager.cameraList()->allCameras().first().status, CameraStatus::Connected);
        rig.cameras[0]->setResponseDelay(30);
        // Within one interval: a value before the recall goes first; one after it, last.
        rig.bridge.onOscMessage("/camera/1/focus", {0.2});
        rig.bridge.onOscMessage("/camera/1/iris", {4.0});
        rig.bridge.onOscMessage("/camera/1/preset/recall", {"Wide.cset"});
        rig.bridge.onOscMessage("/camera/1/focus", {0.3});
        rig.bridge.onOscMessage("/camera/1/record/start", {});
        rig.bridge.flushPending();
        QTRY_COMPARE(rig.puts(0).size(), 4);
        QCOMPARE(rig.puts(0), QStringList({R"(lens/iris {"apertureStop":4})", R"(presets/active {"preset":"Wide.cset"})",
                                           R"(lens/focus {"focus":0.3})", R"(transports/0/record {"recording":true})"}));
    }

    // Index 0 is every camera, another index one camera. An index in any other form, or one
    // no camera has, is ignored with one warning per address; an unknown address silently.
    void camerasByIndex()
    {
        LogCapture log("kovra.osc");
        Rig rig({3, 1, 2});
        for (int repeat = 0; repeat < 2; ++repeat) {
            for (const char* index : {"9", "-0", "+3", "4294967296", "abc"})
                rig.bridge.onOscMessage(QString("/camera/%1/focus").arg(index), {0.5});
            rig.bridge.onOscMessage("/camera/1/focus/extra", {0.5});
        }
        rig.bridge.onOscMessage("/camera/0/record/start", {});
        rig.bridge.onOscMessage("/camera/02/gain", {6});
        Rig(QList<int>()).bridge.onOscMessage("/camera/0/iso", {100});
        const QString record = R"(transports/0/record {"recording":true})";
        QTRY_COMPARE(rig.puts(2).size(), 2);
        QVERIFY(rig.puts(2).contains(record) && rig.puts(2).contains(R"(video/gain {"gain":6})"));
        QTRY_COMPARE(rig.puts(0), QStringList{record});
        QTRY_COMPARE(rig.puts(1), QStringList{record});
        QVERIFY(rig.cameras[0]->isRecording());
        QStringList warnings;
        for (const auto& [address, index] : {std::pair{"/camera/9/focus", 9}, {"/camera/-0/focus", -1}, {"/camera/+3/focus", -1},
                                             {"/camera/4294967296/focus", -1}, {"/camera/abc/focus", -1}, {"/camera/0/iso", 0}})
            warnings << QString(R"(OSC: "%1" names camera index %2 but no camera has that index - ignored)").arg(address).arg(index);
        QCOMPARE(log.taken(), warnings);

        // A desk that keeps naming new cameras is not remembered without end.
        for (int index = 1000; index < 1000 + 2 * OscBridge::warnedAddressLimit; ++index)
            rig.bridge.onOscMessage(QString("/camera/%1/focus").arg(index), {0.5});
        QVERIFY(log.taken().size() <= OscBridge::warnedAddressLimit + 1);
        QCOMPARE(log.taken().last(), "OSC: further addresses that name no camera are ignored without a warning");
    }

    // Within one interval the latest value of each control wins, so a fader sweep leaves the
    // bridge as one command; controls sharing an endpoint stay apart.
    void fromTheDeskToTheCamera()
    {
        Rig rig({4});
        OscListener listener;
        QSignalSpy started(&listener, &OscListener::started);
        QSignalSpy received(&listener, &OscListener::messageReceived);
        const quint16 port = freeUdpPort();
        listener.setPort(port);
        connect(&listener, &OscListener::messageReceived, &rig.bridge, &OscBridge::onOscMessage);
        listener.start();
        QVERIFY(started.wait(5000));

        // The interval is held open so that every message is in before it closes.
        rig.bridge.setRateLimitMs(3600 * 1000);
        const auto send = [port](const char* address, float value) {
            sendDatagram(port, oscPacket([=](osc::OutboundPacketStream& p) { p << osc::BeginMessage(address) << value << osc::EndMessage; }));
        };
        for (int step = 1; step <= 200; ++step)
            send("/camera/4/focus", float(step) / 200.0f);
        send("/camera/4/zoom", 0.5f);
        send("/camera/4/zoom/speed", -0.5f);
        send("/camera/4/cc/hue", 0.25f);
        send("/camera/4/zoom", 0.75f);
        send("/camera/4/cc/saturation", 1.5f);
        QTRY_COMPARE(received.count(), 205);
        rig.bridge.flushPending();
        QTRY_COMPARE(rig.puts(0).size(), 5);
        QStringList sent = rig.puts(0);
        sent.sort();
        QCOMPARE(sent, (QStringList{R"(colorCorrection/color {"hue":0.25})", R"(colorCorrection/color {"saturation":1.5})",
                                    R"(lens/focus {"focus":1})", R"(lens/zoom {"normalised":0.75})", R"(lens/zoom {"speed":-0.5})"}));
    }
};

QTEST_GUILESS_MAIN(TestOscBridge)
#include "tst_oscbridge.moc"
