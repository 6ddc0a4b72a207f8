#include "CameraSimulator.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTcpSocket>
#include <QWebSocket>

#include <memory>

namespace {

// Tests elsewhere free ports on 127.0.0.1 and keep knocking on them; a simulated camera that
// happened to get such a port would count their requests and connections as its own.
const QHostAddress ownAddress(QStringLiteral("127.0.0.3"));

struct Reply {
    int status = 0;
    QByteArray body;
    QByteArray server;
    QJsonObject object() const { return QJsonDocument::fromJson(body).object(); }
};

QJsonObject parse(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
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
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                reply->rawHeader("Server")};
    }

    Reply send(const QByteArray& method, const QString& endpoint, const QByteArray& body = {})
    {
        return sendTo(camera->hostAndPort(), method, endpoint, body);
    }

    QJsonObject get(const QString& endpoint) { return send("GET", endpoint).object(); }

    static QList<QJsonObject> messages(const QSignalSpy& spy)
    {
        QList<QJsonObject> result;
        for (const QList<QVariant>& args : spy)
            result.append(parse(args.first().toString().toUtf8()));
        return result;
    }

    // Opens the event channel and checks the greeting every client gets first.
    void openEvents(QWebSocket& socket, QSignalSpy& received)
    {
        socket.open(QUrl(QStringLiteral("ws://%1/control/api/v1/event/websocket").arg(camera->hostAndPort())));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(messages(received).first(), parse(R"({"type":"event","data":{"action":"websocketOpened"}})"));
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

    void eventChannelUpgrades_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QByteArray>("statusLine");
        const QString events = QStringLiteral("/control/api/v1/event/websocket");
        QTest::newRow("event channel") << "URSA Broadcast G2" << events << false << QByteArray("HTTP/1.1 101 ");
        QTest::newRow("wrong path in the API") << "URSA Broadcast G2" << "/control/api/v1/events" << false
                                               << QByteArray("HTTP/1.1 404 ");
        QTest::newRow("outside the API") << "URSA Broadcast G2" << "/websocket" << false << QByteArray("HTTP/1.1 404 ");
        QTest::newRow("refused channel") << "URSA Broadcast G2" << events << true << QByteArray("HTTP/1.1 501 ");
        QTest::newRow("not a camera") << "HyperDeck Studio HD Plus" << events << false << QByteArray("HTTP/1.1 404 ");
    }

    void eventChannelUpgrades()
    {
        QFETCH(QString, product);
        QFETCH(QString, path);
        QFETCH(bool, refused);
        QFETCH(QByteArray, statusLine);
        CameraSimulator device(product);
        QVERIFY(device.listen(ownAddress));
        if (refused)
            device.refuseEndpoint("event/websocket", CameraSimulator::Refusal::NotImplemented);
        QTcpSocket socket;
        socket.connectToHost(device.address(), device.port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write("GET " + path.toUtf8() + " HTTP/1.1\r\nHost: " + device.hostAndPort().toUtf8()
                     + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                       "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        QTRY_VERIFY(socket.canReadLine());
        QVERIFY2(socket.readLine().startsWith(statusLine), qPrintable(path));
        QTRY_COMPARE(device.eventClientCount(), statusLine.contains(" 101 ") ? 1 : 0);
    }

    void putIsMergedAndReadBack()
    {
        QCOMPARE(send("PUT", "lens/iris", R"({"normalised":0.7})").status, 204);
        const QJsonObject iris = get("lens/iris");
        QCOMPARE(iris.value("normalised").toDouble(), 0.7);
        QCOMPARE(iris.value("apertureStop").toDouble(), 4.0);
        QCOMPARE(send("PUT", "lens/iris", "not json").status, 400);
        QCOMPARE(send("PUT", "camera/power", R"({"source":"Battery"})").status, 405);
        QCOMPARE(send("PUT", "no/such/endpoint", "{}").status, 404);
        QCOMPARE(camera->requests().last().method, QByteArray("PUT"));

        QCOMPARE(send("PUT", "system/format", R"({"recordResolution":{"width":1920,"height":1080},"frameRate":"50","codec":"ProRes:HQ"})")
                     .status,
                 204);
        QCOMPARE(get("system/videoFormat").value("width").toInt(), 1920);
        QCOMPARE(get("system/videoFormat").value("name").toString(), QStringLiteral("1080p50"));
        QCOMPARE(get("system/codecFormat").value("codec").toString(), QStringLiteral("ProRes:HQ"));
        QCOMPARE(get("system/format").value("sensorResolution")["width"].toInt(), 3840);
    }

    void recordingRunsTheTimecode()
    {
        QCOMPARE(send("PUT", "transports/0", R"({"timecode":"10:00:00:00"})").status, 204);
        QCOMPARE(send("PUT", "transports/0/record", R"({"recording":true})").status, 204);
        QVERIFY(get("transports/0").value("recording").toBool());
        QTRY_VERIFY(get("transports/0").value("timecode").toString() > QStringLiteral("10:00:00:05"));
        QCOMPARE(send("PUT", "transports/0/stop", "{}").status, 204);
        const QString stopped = get("transports/0").value("timecode").toString();
        QVERIFY(!camera->isRecording());
        QTest::qWait(120);
        QCOMPARE(get("transports/0").value("timecode").toString(), stopped);
        QCOMPARE(send("PUT", "transports/0", R"({"timecode":"25:00:00:00"})").status, 400);
    }

    void presetsAreSavedRecalledAndDeleted()
    {
        send("PUT", "video/iso", R"({"iso":3200})");
        QCOMPARE(send("PUT", "presets/Stage%20Left.cset").status, 204);
        QVERIFY(get("presets").value("presets").toArray().contains(QStringLiteral("Stage Left.cset")));
        send("PUT", "video/iso", R"({"iso":400})");

        QCOMPARE(send("PUT", "presets/active", R"({"preset":"Stage Left.cset"})").status, 204);
        QCOMPARE(get("video/iso").value("iso").toInt(), 3200);
        QCOMPARE(get("presets/active").value("preset").toString(), QStringLiteral("Stage Left.cset"));
        QCOMPARE(send("PUT", "presets/active", R"({"preset":"Missing.cset"})").status, 404);

        QCOMPARE(send("DELETE", "presets/Stage%20Left.cset").status, 204);
        QVERIFY(!camera->presetNames().contains(QStringLiteral("Stage Left.cset")));
        QCOMPARE(camera->activePreset(), QStringLiteral("default"));
        QCOMPARE(send("DELETE", "presets/Stage%20Left.cset").status, 404);
    }

    void putPushesBothEventForms()
    {
        QWebSocket plain;
        QSignalSpy plainReceived(&plain, &QWebSocket::textMessageReceived);
        openEvents(plain, plainReceived);
        QWebSocket subscriber;
        QSignalSpy received(&subscriber, &QWebSocket::textMessageReceived);
        openEvents(subscriber, received);
        subscriber.sendTextMessage(
            R"({"type":"request","data":{"action":"subscribe","properties":["/lens/focus","/lens/zoom"]},"id":7})");
        QTRY_COMPARE(received.size(), 2);
        const QJsonObject response = messages(received).at(1);
        QCOMPARE(response.value("type").toString(), QStringLiteral("response"));
        QCOMPARE(response.value("id").toInt(), 7);
        QVERIFY(response["data"]["success"].toBool());
        QCOMPARE(camera->subscribeRequests().size(), 1);

        send("PUT", "lens/zoom", R"({"normalised":0.8})");
        QTRY_COMPARE(plainReceived.size(), 2);
        const QJsonObject lens = messages(plainReceived).at(1).value("lens").toObject();
        QCOMPARE(lens.value("zoomNormalized").toDouble(), 0.8);
        QVERIFY(!lens.contains("normalised"));
        QTRY_COMPARE(received.size(), 4);
        const QJsonObject changed = messages(received).at(3).value("data").toObject();
        QCOMPARE(changed.value("action").toString(), QStringLiteral("propertyValueChanged"));
        QCOMPARE(changed.value("property").toString(), QStringLiteral("/lens/zoom"));
        QCOMPARE(changed["value"]["normalised"].toDouble(), 0.8);

        // Not subscribed to ISO: only the category form reaches the subscriber.
        send("PUT", "video/iso", R"({"iso":1600})");
        QTRY_COMPARE(plainReceived.size(), 3);
        QCOMPARE(messages(plainReceived).at(2), parse(R"({"video":{"iso":1600}})"));
        QTest::qWait(50);
        QCOMPARE(received.size(), 5);

        // Broken text goes out as it is; dropping the clients closes their sockets.
        camera->pushRawEvent("{\"lens\": ");
        QTRY_COMPARE(plainReceived.size(), 4);
        QCOMPARE(plainReceived.at(3).first().toString(), QStringLiteral("{\"lens\": "));
        QSignalSpy gone(&plain, &QWebSocket::disconnected);
        camera->dropEventClients();
        QTRY_COMPARE(gone.size(), 1);
        QTRY_COMPARE(camera->eventClientCount(), 0);
    }

    void refusals_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("status");
        QTest::newRow("404") << int(CameraSimulator::Refusal::NotFound) << 404;
        QTest::newRow("405") << int(CameraSimulator::Refusal::MethodNotAllowed) << 405;
        QTest::newRow("501") << int(CameraSimulator::Refusal::NotImplemented) << 501;
        QTest::newRow("json error") << int(CameraSimulator::Refusal::JsonError) << 200;
    }

    void refusals()
    {
        QFETCH(int, how);
        QFETCH(int, status);
        camera->refuseEndpoint("video/ndFilter", CameraSimulator::Refusal(how));
        const Reply reply = send("GET", "video/ndFilter");
        QCOMPARE(reply.status, status);
        QVERIFY(reply.object().contains("error"));
        camera->acceptEndpoint("video/ndFilter");
        QCOMPARE(send("GET", "video/ndFilter").status, 200);
    }

    void deviceFaults()
    {
        QCOMPARE(send("GET", "camera/id").server, QByteArray("BlackmagicDesign/8.6"));
        camera->setNotACamera(true);
        camera->setProduct("HyperDeck Studio HD Plus", "9.0");
        const Reply id = send("GET", "camera/id");
        QCOMPARE(id.status, 404);
        QCOMPARE(id.server, QByteArray("BlackmagicDesign/9.0"));
        QCOMPARE(get("system/product").value("productName").toString(), QStringLiteral("HyperDeck Studio HD Plus"));
        camera->setServerHeader(QByteArray());
        QCOMPARE(send("GET", "camera/id").server, QByteArray());

        camera->setMalformedJson("lens/focus", true);
        const Reply broken = send("GET", "lens/focus");
        QCOMPARE(broken.status, 200);
        QJsonParseError error;
        QJsonDocument::fromJson(broken.body, &error);
        QVERIFY(error.error != QJsonParseError::NoError);
    }

    void slowAndSilentCameras()
    {
        camera->setResponseDelay(300);
        int mostUnanswered = 0;
        connect(camera.get(), &CameraSimulator::requestReceived, this,
                [&] { mostUnanswered = qMax(mostUnanswered, camera->unansweredRequests()); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(send("GET", "lens/focus").status, 200);
        QVERIFY(clock.elapsed() >= 290);
        QCOMPARE(mostUnanswered, 1);
        QCOMPARE(camera->unansweredRequests(), 0);
        camera->setResponseDelay(0);

        // No time-out decides here: the request is held until the test lets it go.
        camera->setBlackHole(true);
        QSignalSpy requested(camera.get(), &CameraSimulator::requestReceived);
        QNetworkRequest request(QUrl(QStringLiteral("http://%1/control/api/v1/lens/focus").arg(camera->hostAndPort())));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        std::unique_ptr<QNetworkReply> holding(network.get(request));
        QVERIFY(requested.wait(10000));
        QCOMPARE(requested.first().first().value<SimulatedRequest>().headers.value("content-type"),
                 QByteArray("application/json"));
        QCOMPARE(camera->unansweredRequests(), 1);
        // A later request is answered once the hole closes; the held one never is.
        camera->setBlackHole(false);
        QCOMPARE(send("GET", "lens/iris").status, 200);
        QVERIFY(!holding->isFinished());
        QCOMPARE(camera->unansweredRequests(), 1);
        holding->abort();
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

    void countsConnectionsAndSharesTheLoop()
    {
        QList<QTcpSocket*> sockets;
        for (int i = 0; i < 5; ++i) {
            sockets.append(new QTcpSocket(this));
            sockets.last()->connectToHost(camera->address(), camera->port());
        }
        QTRY_COMPARE(camera->openConnections(), 5);
        qDeleteAll(sockets);
        QTRY_COMPARE(camera->openConnections(), 0);
        QCOMPARE(camera->maxOpenConnections(), 5);

        CameraSimulator second(QStringLiteral("PYXIS 6K"));
        QVERIFY(second.listen(QHostAddress("127.0.0.4")));
        QCOMPARE(get("system/product").value("productName").toString(), QStringLiteral("URSA Broadcast G2"));
        QCOMPARE(sendTo(second.hostAndPort(), "GET", "system/product").object().value("productName").toString(),
                 QStringLiteral("PYXIS 6K"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot listen on .*already in use")));
        QVERIFY(!CameraSimulator().listen(camera->address(), camera->port()));
    }
};

QTEST_GUILESS_MAIN(TestCamsim)
#include "tst_camsim.moc"
