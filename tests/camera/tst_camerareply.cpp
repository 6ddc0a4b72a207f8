#include "CameraReply.h"
#include "CameraSimulator.h"
#include "CameraStateIngest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QWebSocket>

namespace {

QStringList sweepEndpoints()
{
    QStringList endpoints = {
        "lens/iris", "lens/focus", "lens/zoom", "video/iso", "video/gain", "video/whiteBalance",
        "video/whiteBalanceTint", "video/shutter", "video/ndFilter", "video/autoExposure", "colorCorrection/lift",
        "colorCorrection/gamma", "colorCorrection/gain", "colorCorrection/offset", "colorCorrection/contrast",
        "colorCorrection/color", "colorCorrection/lumaContribution", "transports/0", "presets", "presets/active",
    };
    for (int channel = 0; channel < 2; ++channel) {
        for (const char* row : {"level", "input", "phantomPower", "padding", "lowCutFilter", "supportedInputs",
                                "input/description"})
            endpoints << QStringLiteral("audio/channel/%1/%2").arg(channel).arg(QLatin1String(row));
    }
    endpoints << "system/codecFormat" << "system/videoFormat" << "system/format" << "system/supportedFormats"
              << "media/active" << "camera/tallyStatus" << "camera/programFeedDisplay" << "camera/colorBars"
              << "camera/power" << "camera/timingReferenceLock";
    for (const char* output : {"HDMI", "MainSDI"}) {
        for (const char* overlay : {"cleanFeed", "displayLUT", "falseColor", "focusAssist", "frameGuide", "safeArea",
                                    "zebra", "frameGrids"})
            endpoints << QStringLiteral("monitoring/%1/%2").arg(QLatin1String(output), QLatin1String(overlay));
    }
    return endpoints;
}

} // namespace

class TestCameraReply : public QObject {
    Q_OBJECT

private:
    QNetworkAccessManager network;

    QByteArray get(const CameraSimulator& camera, const QString& endpoint)
    {
        QNetworkRequest request(QUrl(QStringLiteral("http://%1/control/api/v1/%2").arg(camera.hostAndPort(), endpoint)));
        request.setTransferTimeout(5000);
        QNetworkReply* reply = network.get(request);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(7000);
        const QByteArray body = reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
        reply->deleteLater();
        return body;
    }

private slots:
    void parseBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QJsonObject>("expected");

        QTest::newRow("object") << QByteArray(R"({"iso":800})") << QJsonObject{{"iso", 800}};
        QTest::newRow("array wrapped") << QByteArray(R"([{"input":"None","available":true}])")
                                       << QJsonObject{{"items", QJsonArray{QJsonObject{{"input", "None"}, {"available", true}}}}};
        QTest::newRow("empty array") << QByteArray("[]") << QJsonObject{{"items", QJsonArray{}}};
        QTest::newRow("empty body") << QByteArray() << QJsonObject{};
        QTest::newRow("invalid") << QByteArray(R"({"iso":)") << QJsonObject{};
        QTest::newRow("trailing garbage") << QByteArray(R"({"iso":800}<html>)") << QJsonObject{};
        QTest::newRow("html error page") << QByteArray("<html><body>Not Found</body></html>") << QJsonObject{};
        QTest::newRow("number") << QByteArray("42") << QJsonObject{};
        QTest::newRow("text") << QByteArray(R"("ok")") << QJsonObject{};
        QTest::newRow("null") << QByteArray("null") << QJsonObject{};
    }

    void parseBody()
    {
        QFETCH(QByteArray, body);
        QTEST(CameraReply::parseBody(body), "expected");
    }

    // The bodies a camera really sends, read over HTTP and parsed and ingested as the
    // manager will, land in the fields the operator sees.
    void sweepOfSimulatedCamera()
    {
        CameraSimulator camera(QStringLiteral("URSA Broadcast G2"));
        QVERIFY(camera.listen());
        camera.setEndpointValue("video/iso", QJsonObject{{"iso", 1600}});
        camera.setEndpointValue("monitoring/MainSDI/focusAssist", QJsonObject{{"enabled", true}});
        camera.setEndpointValue("audio/channel/1/input", QJsonObject{{"input", "XLR2 - Mic"}});

        CameraState state;
        const QStringList endpoints = sweepEndpoints();
        QCOMPARE(endpoints.size(), 60);
        for (const QString& endpoint : endpoints) {
            const QJsonObject reply = CameraReply::parseBody(get(camera, endpoint));
            QVERIFY2(!reply.isEmpty(), qPrintable(endpoint));
            CameraStateIngest::applyReply(state, endpoint, reply);
        }

        QCOMPARE(state.irisApertureStop, 4.0);
        QCOMPARE(state.irisNormalised, 0.4);
        QCOMPARE(state.zoomFocalLength, 24.0);
        QCOMPARE(state.zoomNormalised, 0.3);
        QCOMPARE(state.iso, 1600);
        QCOMPARE(state.audio[0].input, QStringLiteral("XLR1 - Mic"));
        QCOMPARE(state.audio[1].input, QStringLiteral("XLR2 - Mic"));
        QCOMPARE(state.audio[0].supportedInputs.size(), 7);
        QCOMPARE(state.audio[1].supportedInputs.first(), QStringLiteral("None"));
        QCOMPARE(state.audio[1].gainMin, -12.0);
        QCOMPARE(state.audio[1].gainMax, 60.0);
        QCOMPARE(state.codec, QStringLiteral("BRaw:Q5"));
        QCOMPARE(state.container, QStringLiteral("BRAW"));
        QCOMPARE(state.videoFormatName, QStringLiteral("3840x2160p25"));
        QCOMPARE(state.supportedFormats.size(), 3);
        QCOMPARE(state.supportedFormats.at(1).description, QStringLiteral("4K DCI"));
        QCOMPARE(state.supportedFormats.at(1).sensorHeight, 2304);
        QCOMPARE(state.maxOffSpeedFrameRate, 60.0);
        QCOMPARE(state.mediaDeviceName, QStringLiteral("CFast 1"));
        QCOMPARE(state.powerSource, QStringLiteral("AC"));
        QCOMPARE(state.powerMilliVolt, 12000);
        QVERIFY(state.timingReferenceLocked);
        QCOMPARE(state.tallyStatus, QStringLiteral("None"));
        QCOMPARE(state.presets, camera.presetNames());
        QCOMPARE(state.activePreset, camera.activePreset());
        QVERIFY(state.monitoring[1].focusAssist);
        QVERIFY(!state.monitoring[0].focusAssist);
    }

    void eventOfSimulatedCamera()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        QWebSocket socket;
        QSignalSpy messages(&socket, &QWebSocket::textMessageReceived);
        socket.open(QUrl(QStringLiteral("ws://%1/control/api/v1/event/websocket").arg(camera.hostAndPort())));
        QVERIFY(messages.wait(5000)); // the channel's greeting

        camera.setEndpointValue("lens/zoom", QJsonObject{{"focalLength", 50}, {"normalised", 0.8}});
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 2, 5000);

        CameraState state;
        CameraStateIngest::applyEvent(state, QJsonDocument::fromJson(messages.at(1).at(0).toString().toUtf8()).object());
        QCOMPARE(state.zoomNormalised, 0.8);
        QCOMPARE(state.irisNormalised, 0.5);
    }
};

QTEST_GUILESS_MAIN(TestCameraReply)
#include "tst_camerareply.moc"
