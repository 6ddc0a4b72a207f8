#include "CameraEvents.h"
#include "CameraMonitor.h"
#include "CameraSimulator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QWebSocket>

namespace {

QJsonObject parse(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}

// Messages of one camera that carry a category, in arrival order.
QList<QJsonObject> categorised(const QSignalSpy& spy)
{
    QList<QJsonObject> result;
    for (const QList<QVariant>& args : spy) {
        if (!args.at(1).toString().isEmpty())
            result << args.at(2).toJsonObject();
    }
    return result;
}

} // namespace

class TestCameraMonitor : public QObject {
    Q_OBJECT

private:
    QNetworkAccessManager network;

    void putToCamera(CameraSimulator& camera, const QString& endpoint, const QByteArray& body)
    {
        QNetworkRequest request(QUrl(QStringLiteral("http://%1/control/api/v1/%2").arg(camera.hostAndPort(), endpoint)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        QNetworkReply* reply = network.put(request, body);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait());
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        reply->deleteLater();
    }

private slots:
    void categoryIsTheFirstListedKeyPresent_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("category");
        QTest::newRow("video before lens in text") << R"({"video":{"iso":400},"lens":{"focus":0.2}})" << "lens";
        QTest::newRow("transport") << R"({"transport":{},"system":{}})" << "transport";
        QTest::newRow("colour") << R"({"colorCorrection":{}})" << "colorCorrection";
        QTest::newRow("none") << R"({"type":"event","data":{"action":"websocketOpened"}})" << "";
    }
    void categoryIsTheFirstListedKeyPresent()
    {
        QFETCH(QString, message);
        QFETCH(QString, category);
        const auto object = CameraEvents::decode(message.toUtf8());
        QVERIFY(object);
        QCOMPARE(CameraEvents::categoryOf(*object), category);
    }

    void propertyEventsBecomeCategoryMessages_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("focus normalised") << "/lens/focus" << R"({"normalised":0.3})" << R"({"lens":{"focus":0.3}})";
        QTest::newRow("focus") << "/lens/focus" << R"({"focus":0.4})" << R"({"lens":{"focus":0.4}})";
        QTest::newRow("iris") << "/lens/iris" << R"({"apertureStop":2.8,"normalised":0.2,"apertureNumber":280})"
                              << R"({"lens":{"apertureStop":2.8,"normalised":0.2}})";
        QTest::newRow("zoom") << "/lens/zoom" << R"({"focalLength":35,"normalised":0.6})" << R"({"lens":{"zoomNormalized":0.6}})";
        QTest::newRow("iso") << "/video/iso" << R"({"iso":1600})" << R"({"video":{"iso":1600}})";
        QTest::newRow("white balance") << "/video/whiteBalance" << R"({"whiteBalance":3200})" << R"({"video":{"whiteBalance":3200}})";
        QTest::newRow("gain") << "/video/gain" << R"({"gain":6})" << R"({"video":{"gain":6}})";
    }
    void propertyEventsBecomeCategoryMessages()
    {
        QFETCH(QString, property);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const QJsonObject message{
            {"type", "event"},
            {"data", QJsonObject{{"action", "propertyValueChanged"}, {"property", property},
                                 {"value", QJsonDocument::fromJson(value.toUtf8()).object()}}}};
        const auto decoded = CameraEvents::decode(QJsonDocument(message).toJson());
        QVERIFY(decoded);
        QCOMPARE(*decoded, QJsonDocument::fromJson(expected.toUtf8()).object());
    }

    void otherMessagesPassOrDrop()
    {
        QVERIFY(!CameraEvents::decode("not json"));
        QVERIFY(!CameraEvents::decode("[1,2,3]"));
        QVERIFY(!CameraEvents::decode("42"));
        const QByteArray unknownProperty =
            R"({"type":"event","data":{"action":"propertyValueChanged","property":"/audio/channel/0/level","value":{"gain":1}}})";
        QCOMPARE(*CameraEvents::decode(unknownProperty), QJsonDocument::fromJson(unknownProperty).object());
        const QByteArray wrongValueType =
            R"({"type":"event","data":{"action":"propertyValueChanged","property":"/lens/focus","value":[0.5]}})";
        QCOMPARE(*CameraEvents::decode(wrongValueType), QJsonDocument::fromJson(wrongValueType).object());
    }

    void subscribeRequestNamesTheFollowedProperties()
    {
        const QJsonObject request = QJsonDocument::fromJson(CameraEvents::subscribeRequest(7)).object();
        QCOMPARE(request.value("type").toString(), QStringLiteral("request"));
        QCOMPARE(request.value("id").toInt(), 7);
        const QJsonObject data = request.value("data").toObject();
        QCOMPARE(data.value("action").toString(), QStringLiteral("subscribe"));
        QCOMPARE(data.value("properties").toArray().size(), 6);
        QVERIFY(data.value("properties").toArray().contains(QStringLiteral("/video/whiteBalance")));
    }

    void subscribesAndFollowsChanges()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        CameraMonitor monitor;
        QSignalSpy established(&monitor, &CameraMonitor::connectionEstablished);
        QSignalSpy changes(&monitor, &CameraMonitor::stateChanged);
        monitor.subscribe(QStringLiteral("cam-1"), camera.hostAndPort());
        QVERIFY(established.wait());
        QCOMPARE(established.first().first().toString(), QStringLiteral("cam-1"));
        QTRY_COMPARE(camera.subscribeRequests().size(), 1);
        QCOMPARE(camera.subscribeRequests().first().value("data").toObject().value("properties").toArray().size(), 6);

        putToCamera(camera, QStringLiteral("lens/focus"), R"({"focus":0.25})");
        // The camera reports the change once in each of its two forms; both read the same.
        QTRY_COMPARE(categorised(changes).size(), 2);
        for (const QJsonObject& message : categorised(changes))
            QCOMPARE(message.value("lens").toObject().value("focus").toDouble(), 0.25);
        for (const QList<QVariant>& args : std::as_const(changes))
            QCOMPARE(args.first().toString(), QStringLiteral("cam-1"));

        changes.clear();
        putToCamera(camera, QStringLiteral("video/iso"), R"({"iso":3200})");
        QTRY_COMPARE(categorised(changes).size(), 2);
        QCOMPARE(changes.last().at(1).toString(), QStringLiteral("video"));
        QCOMPARE(categorised(changes).last(), parse(R"({"video":{"iso":3200}})"));
    }

    void malformedMessagesAreDropped()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        CameraMonitor monitor;
        QSignalSpy established(&monitor, &CameraMonitor::connectionEstablished);
        QSignalSpy changes(&monitor, &CameraMonitor::stateChanged);
        monitor.subscribe(QStringLiteral("cam-1"), camera.hostAndPort());
        QVERIFY(established.wait());
        QTRY_COMPARE(camera.subscribeRequests().size(), 1);
        QTRY_VERIFY(changes.size() >= 2); // websocketOpened and the subscribe response
        changes.clear();
        camera.pushRawEvent("{\"lens\": {\"focus\": ");
        camera.pushRawEvent("[{\"lens\": {}}]");
        camera.pushRawEvent(QByteArray(1 << 16, '['));
        camera.pushRawEvent(R"({"lens":{"focus":0.9}})");
        QTRY_COMPARE(changes.size(), 1);
        QCOMPARE(changes.first().at(2).toJsonObject(), parse(R"({"lens":{"focus":0.9}})"));
    }

    void subscribingTwiceKeepsOneSocket()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        CameraMonitor monitor;
        QSignalSpy established(&monitor, &CameraMonitor::connectionEstablished);
        QSignalSpy lost(&monitor, &CameraMonitor::connectionLost);
        monitor.subscribe(QStringLiteral("cam-1"), camera.hostAndPort());
        QVERIFY(established.wait());
        monitor.subscribe(QStringLiteral("cam-1"), camera.hostAndPort());
        QTRY_COMPARE(established.size(), 2);
        QTRY_COMPARE(camera.eventClientCount(), 1);
        QCOMPARE(lost.size(), 0);

        monitor.unsubscribe(QStringLiteral("cam-1"));
        QVERIFY(!monitor.isSubscribed(QStringLiteral("cam-1")));
        QTRY_COMPARE(camera.eventClientCount(), 0);
        QCOMPARE(lost.size(), 0);
    }

    void reconnectsAfterTheCameraDropsTheSocket()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        CameraMonitor monitor;
        monitor.setReconnectInterval(100);
        QSignalSpy established(&monitor, &CameraMonitor::connectionEstablished);
        QSignalSpy lost(&monitor, &CameraMonitor::connectionLost);
        monitor.subscribe(QStringLiteral("cam-1"), camera.hostAndPort());
        QVERIFY(established.wait());
        QTRY_COMPARE(camera.subscribeRequests().size(), 1);
        camera.dropEventClients();
        QVERIFY(lost.wait());
        QCOMPARE(lost.first().first().toString(), QStringLiteral("cam-1"));
        QTRY_COMPARE(established.size(), 2);
        QCOMPARE(monitor.failureCount(QStringLiteral("cam-1")), 0);
        QTRY_COMPARE(camera.eventClientCount(), 1);
        QTRY_COMPARE(camera.subscribeRequests().size(), 2);
    }

    void givesUpAfterElevenFailuresUntilSubscribedAgain()
    {
        // A port that refuses connections: bind one, note it, free it.
        QTcpServer placeholder;
        QVERIFY(placeholder.listen(QHostAddress::LocalHost));
        const QString address = QStringLiteral("127.0.0.1:%1").arg(placeholder.serverPort());
        placeholder.close();

        CameraMonitor monitor;
        monitor.setReconnectInterval(20);
        monitor.subscribe(QStringLiteral("cam-1"), address);
        QTRY_VERIFY(monitor.failureCount(QStringLiteral("cam-1")) >= CameraMonitor::maxFailures);
        const int settled = monitor.failureCount(QStringLiteral("cam-1"));
        // Each attempt costs one for the try and one for its error, so the count ends at 11 or 12.
        QVERIFY(settled <= CameraMonitor::maxFailures + 1);
        QWebSocket* lastSocket = monitor.socketOf(QStringLiteral("cam-1"));
        QTest::qWait(400); // twenty ticks in which nothing may happen
        QCOMPARE(monitor.failureCount(QStringLiteral("cam-1")), settled);
        QCOMPARE(monitor.socketOf(QStringLiteral("cam-1")), lastSocket);

        monitor.subscribe(QStringLiteral("cam-1"), address);
        QCOMPARE(monitor.failureCount(QStringLiteral("cam-1")), 0);
        QTRY_VERIFY(monitor.failureCount(QStringLiteral("cam-1")) > 0);
    }
};

QTEST_GUILESS_MAIN(TestCameraMonitor)
#include "tst_cameramonitor.moc"
