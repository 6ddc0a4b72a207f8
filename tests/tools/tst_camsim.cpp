#include "CameraSimulator.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <memory>
#include <vector>

namespace {

// Tests elsewhere free ports on 127.0.0.1 and keep knocking on them; a simulated camera that
// happened to get such a port would count their requests and connections as its own.
const QHostAddress ownAddress(QStringLiteral("127.0.0.3"));

struct Reply {
    int status = 0;
    QByteArray body;
    QJsonObject object() const { return QJsonDocument::fromJson(body).object(); }
};

const QJsonObject parse(const QVariant& text)
{
    return QJsonDocument::fromJson(text.toString().toUtf8()).object();
}

// The simulator program, started with the given options on a free port of its own.
struct SimulatorProcess {
    QProcess process;
    QString hostAndPort;

    bool start(QStringList options)
    {
        if (!options.contains("--camera"))
            options << "--camera" << ownAddress.toString() + ":0";
        process.start(QStringLiteral(KOVRA_CAMSIM_PATH), options);
        // It names the address of each camera once it listens: "camsim: PRODUCT at http://ADDRESS:PORT".
        while (process.waitForReadyRead(10000)) {
            if (!process.canReadLine())
                continue;
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            hostAndPort = line.mid(line.indexOf("http://") + 7);
            return line.contains("http://");
        }
        return false;
    }
    ~SimulatorProcess()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

} // namespace

class TestCamsim : public QObject {
    Q_OBJECT

    QNetworkAccessManager network;
    std::unique_ptr<CameraSimulator> camera;

    Reply sendTo(const QString& hostAndPort, const QByteArray& method, const QString& endpoint, const QByteArray& body = {},
                 int timeoutMs = 5000)
    {
        QNetworkRequest request(QUrl(QStringLiteral("http://%1/control/api/v1/%2").arg(hostAndPort, endpoint)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        request.setTransferTimeout(timeoutMs);
        std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, method, body));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(timeoutMs + 2000);
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    }

    int send(const QByteArray& method, const QString& endpoint, const QByteArray& body = {})
    {
        return sendTo(camera->hostAndPort(), method, endpoint, body).status;
    }

    QJsonValue value(const QString& endpoint, const QString& key)
    {
        return sendTo(camera->hostAndPort(), "GET", endpoint).object().value(key);
    }

private slots:
    void init()
    {
        camera = std::make_unique<CameraSimulator>();
        QVERIFY(camera->listen(ownAddress));
    }

    void cleanup() { camera.reset(); }

    void productsAnswerOnlyWhatTheyHave_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<int>("status");
        QTest::newRow("micro studio camera: no ND") << "Micro Studio Camera 4K G2" << "video/ndFilter" << 404;
        QTest::newRow("micro studio camera: no phantom power") << "Blackmagic Micro Studio Camera 4K G2"
                                                               << "audio/channel/0/phantomPower" << 404;
        QTest::newRow("studio camera pro: ND") << "Studio Camera 4K Pro G2" << "video/ndFilter" << 200;
        QTest::newRow("PYXIS: no ND") << "PYXIS 6K" << "video/ndFilter" << 404;
        QTest::newRow("PYXIS: media") << "PYXIS 6K" << "media/active" << 200;
        QTest::newRow("recorder: no camera id") << "HyperDeck Studio HD Plus" << "camera/id" << 404;
        QTest::newRow("recorder: no lens") << "HyperDeck Studio HD Plus" << "lens/focus" << 404;
        QTest::newRow("switcher: no transport") << "ATEM Mini Pro" << "transports/0" << 404;
    }

    void productsAnswerOnlyWhatTheyHave()
    {
        QFETCH(QString, product);
        QFETCH(QString, endpoint);
        CameraSimulator device(product);
        QVERIFY(device.listen(ownAddress));
        QTEST(sendTo(device.hostAndPort(), "GET", endpoint).status, "status");
    }

    void writesAreCheckedMergedAndReadBack()
    {
        QCOMPARE(send("PUT", "lens/iris", R"({"normalised":0.7})"), 204);
        QCOMPARE(value("lens/iris", "normalised").toDouble(), 0.7);
        QCOMPARE(value("lens/iris", "apertureStop").toDouble(), 4.0);
        QCOMPARE(send("PUT", "lens/iris", "not json"), 400);
        QCOMPARE(send("PUT", "camera/power", R"({"source":"Battery"})"), 405);
        QCOMPARE(send("PUT", "no/such/endpoint", "{}"), 404);

        QCOMPARE(send("PUT", "system/format",
                      R"({"recordResolution":{"width":1920,"height":1080},"frameRate":"50","codec":"ProRes:HQ"})"),
                 204);
        QCOMPARE(value("system/videoFormat", "name").toString(), QStringLiteral("1080p50"));
        QCOMPARE(value("system/codecFormat", "codec").toString(), QStringLiteral("ProRes:HQ"));
        QCOMPARE(value("system/format", "sensorResolution")["width"].toInt(), 3840);
    }

    void recordingRunsTheTimecode()
    {
        QCOMPARE(send("PUT", "transports/0", R"({"timecode":"10:00:00:00"})"), 204);
        QCOMPARE(send("PUT", "transports/0/record", R"({"recording":true})"), 204);
        QVERIFY(value("transports/0", "recording").toBool());
        QTRY_VERIFY(value("transports/0", "timecode").toString() > QStringLiteral("10:00:00:05"));
        QCOMPARE(send("PUT", "transports/0/stop", "{}"), 204);
        const QString stopped = value("transports/0", "timecode").toString();
        QVERIFY(!camera->isRecording());
        QVERIFY(!QTest::qWaitFor([&] { return value("transports/0", "timecode").toString() != stopped; }, 120));
        QCOMPARE(send("PUT", "transports/0", R"({"timecode":"25:00:00:00"})"), 400);
    }

    void presetsAreSavedRecalledAndDeleted()
    {
        send("PUT", "video/iso", R"({"iso":3200})");
        QCOMPARE(send("PUT", "presets/Stage%20Left.cset"), 204);
        QVERIFY(value("presets", "presets").toArray().contains(QStringLiteral("Stage Left.cset")));
        send("PUT", "video/iso", R"({"iso":400})");

        QCOMPARE(send("PUT", "presets/active", R"({"preset":"Stage Left.cset"})"), 204);
        QCOMPARE(value("video/iso", "iso").toInt(), 3200);
        QCOMPARE(value("presets/active", "preset").toString(), QStringLiteral("Stage Left.cset"));
        QCOMPARE(send("PUT", "presets/active", R"({"preset":"Missing.cset"})"), 404);

        QCOMPARE(send("DELETE", "presets/Stage%20Left.cset"), 204);
        QVERIFY(!camera->presetNames().contains(QStringLiteral("Stage Left.cset")));
        QCOMPARE(camera->activePreset(), QStringLiteral("default"));
        QCOMPARE(send("DELETE", "presets/Stage%20Left.cset"), 404);
    }

    void changesReachEventClientsInTheFormsTheyAskedFor()
    {
        QWebSocket socket;
        QSignalSpy received(&socket, &QWebSocket::textMessageReceived);
        socket.open(QUrl(QStringLiteral("ws://%1/control/api/v1/event/websocket").arg(camera->hostAndPort())));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(parse(received.at(0).at(0))["data"]["action"].toString(), QStringLiteral("websocketOpened"));
        socket.sendTextMessage(R"({"type":"request","data":{"action":"subscribe","properties":["/lens/zoom"]},"id":7})");
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(parse(received.at(1).at(0))["id"].toInt(), 7);
        QVERIFY(parse(received.at(1).at(0))["data"]["success"].toBool());

        // Every change goes out in its category; a subscribed one also as a property change.
        send("PUT", "lens/zoom", R"({"normalised":0.8})");
        send("PUT", "video/iso", R"({"iso":1600})");
        // Sent last and over the same socket, so it arrives after anything the ISO change sent.
        camera->pushRawEvent("end");
        QTRY_COMPARE(received.last().at(0).toString(), QStringLiteral("end"));
        QCOMPARE(received.size(), 6);
        QCOMPARE(parse(received.at(2).at(0))["lens"]["zoomNormalized"].toDouble(), 0.8);
        QVERIFY(!parse(received.at(2).at(0))["lens"].toObject().contains("normalised"));
        const QJsonObject changed = parse(received.at(3).at(0))["data"].toObject();
        QCOMPARE(changed["action"].toString() + ' ' + changed["property"].toString(), "propertyValueChanged /lens/zoom");
        QCOMPARE(changed["value"]["normalised"].toDouble(), 0.8);
        QCOMPARE(parse(received.at(4).at(0)), QJsonDocument::fromJson(R"({"video":{"iso":1600}})").object());
    }

    void countsOpenConnections()
    {
        std::vector<std::unique_ptr<QTcpSocket>> sockets(5);
        for (auto& socket : sockets) {
            socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(camera->address(), camera->port());
        }
        QTRY_COMPARE(camera->openConnections(), 5);
        sockets.clear();
        QTRY_COMPARE(camera->openConnections(), 0);
    }

    void commandLineFaultModes_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<int>("status");    // 0: no answer
        QTest::addColumn<QString>("body");  // "json", "error", "broken", or empty for none
        QTest::newRow("refused with a status") << QStringList{"--refuse", "video/iso=405"} << "video/iso" << 405 << "";
        QTest::newRow("JSON error body") << QStringList{"--refuse", "video/iso=error"} << "video/iso" << 200 << "error";
        QTest::newRow("malformed JSON") << QStringList{"--malformed", "lens/focus"} << "lens/focus" << 200 << "broken";
        QTest::newRow("slow endpoint") << QStringList{"--slow", "lens/iris=400"} << "lens/iris" << 200 << "json";
        QTest::newRow("black hole") << QStringList{"--black-hole-after", "0"} << "lens/focus" << 0 << "";
        QTest::newRow("recorder") << QStringList{"--camera", ownAddress.toString() + ":0=HyperDeck Studio HD Plus"}
                                  << "lens/focus" << 404 << "";
    }

    void commandLineFaultModes()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, endpoint);
        QFETCH(int, status);
        QFETCH(QString, body);
        SimulatorProcess simulator;
        QVERIFY2(simulator.start(options), qPrintable(simulator.process.readAllStandardError()));
        QElapsedTimer clock;
        clock.start();
        const Reply reply = sendTo(simulator.hostAndPort, "GET", endpoint, {}, status == 0 ? 1000 : 5000);
        QCOMPARE(reply.status, status);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(reply.body, &error);
        if (body == "broken")
            QVERIFY(error.error != QJsonParseError::NoError);
        else if (!body.isEmpty())
            QCOMPARE(document.object().contains("error"), body == "error");
        if (options.contains("--slow"))
            QVERIFY(clock.elapsed() >= 400);
    }

    void commandLineDropsEventClients()
    {
        SimulatorProcess simulator;
        QVERIFY(simulator.start({"--drop-events-every", "100"}));
        QWebSocket socket;
        QSignalSpy connected(&socket, &QWebSocket::connected);
        QSignalSpy dropped(&socket, &QWebSocket::disconnected);
        socket.open(QUrl(QStringLiteral("ws://%1/control/api/v1/event/websocket").arg(simulator.hostAndPort)));
        QVERIFY(connected.wait(5000));
        QVERIFY(dropped.wait(5000));
    }
};

QTEST_GUILESS_MAIN(TestCamsim)
#include "tst_camsim.moc"
