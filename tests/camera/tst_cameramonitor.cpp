#include "CameraEvents.h"
#include "CameraMonitor.h"
#include "CameraSimulator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QWebSocket>

namespace {

QJsonObject parse(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

QByteArray propertyEvent(const char* property, const char* value)
{
    return QByteArray(R"({"type":"event","data":{"action":"propertyValueChanged","property":")") + property
           + R"(","value":)" + value + "}}";
}

} // namespace

class TestCameraMonitor : public QObject {
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("decoded");   // empty: dropped; "same": passed on as it came
        QTest::addColumn<QString>("category");
        QTest::newRow("lens listed before video") << QByteArray(R"({"video":{"iso":400},"lens":{"focus":0.2}})")
                                                  << QByteArray("same") << "lens";
        QTest::newRow("no category") << QByteArray(R"({"type":"event","data":{"action":"websocketOpened"}})")
                                     << QByteArray("same") << "";
        QTest::newRow("focus normalised") << propertyEvent("/lens/focus", R"({"normalised":0.3})")
                                          << QByteArray(R"({"lens":{"focus":0.3}})") << "lens";
        QTest::newRow("iris") << propertyEvent("/lens/iris", R"({"apertureStop":2.8,"normalised":0.2,"apertureNumber":280})")
                              << QByteArray(R"({"lens":{"apertureStop":2.8,"normalised":0.2}})") << "lens";
        QTest::newRow("zoom") << propertyEvent("/lens/zoom", R"({"focalLength":35,"normalised":0.6})")
                              << QByteArray(R"({"lens":{"zoomNormalized":0.6}})") << "lens";
        QTest::newRow("iso") << propertyEvent("/video/iso", R"({"iso":1600})") << QByteArray(R"({"video":{"iso":1600}})")
                             << "video";
        QTest::newRow("unknown property") << propertyEvent("/audio/channel/0/level", R"({"gain":1})") << QByteArray("same")
                                          << "";
        QTest::newRow("value not an object") << propertyEvent("/lens/focus", "[0.5]") << QByteArray("same") << "";
        QTest::newRow("not JSON") << QByteArray("not json") << QByteArray() << "";
        QTest::newRow("array") << QByteArray("[1,2,3]") << QByteArray() << "";
    }

    void decode()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, decoded);
        const auto object = CameraEvents::decode(message);
        QCOMPARE(bool(object), !decoded.isEmpty());
        if (!object)
            return;
        QCOMPARE(*object, parse(decoded == "same" ? message : decoded));
        QTEST(CameraEvents::categoryOf(*object), "category");
    }

    void followsACameraThroughDrops()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        CameraMonitor monitor;
        monitor.setReconnectInterval(100);
        QSignalSpy established(&monitor, &CameraMonitor::connectionEstablished);
        QSignalSpy lost(&monitor, &CameraMonitor::connectionLost);
        QSignalSpy changes(&monitor, &CameraMonitor::stateChanged);
        monitor.subscribe("cam-1", camera.hostAndPort());
        QVERIFY(established.wait());
        QCOMPARE(established.first().first().toString(), QStringLiteral("cam-1"));
        QTRY_COMPARE(camera.subscribeRequests().size(), 1);
        const QJsonArray properties = camera.subscribeRequests().first().value("data")["properties"].toArray();
        QCOMPARE(properties.size(), 6);
        QVERIFY(properties.contains(QStringLiteral("/video/whiteBalance")));

        // The camera reports a change once in each of its two forms; both read the same.
        QTRY_VERIFY(changes.size() >= 2);   // websocketOpened and the subscribe response
        changes.clear();
        camera.setEndpointValue("lens/focus", QJsonObject{{"focus", 0.25}});
        QTRY_COMPARE(changes.size(), 2);
        const QVariantList lensEvent{"cam-1", "lens", parse(R"({"lens":{"focus":0.25}})")};
        QCOMPARE(changes, (QList<QVariantList>{lensEvent, lensEvent}));

        // Broken messages are dropped; the next good one still arrives.
        changes.clear();
        camera.pushRawEvent("{\"lens\": {\"focus\": ");
        camera.pushRawEvent("[{\"lens\": {}}]");
        camera.pushRawEvent(QByteArray(1 << 16, '['));
        camera.pushRawEvent(R"({"video":{"iso":3200}})");
        QTRY_COMPARE(changes.size(), 1);
        QCOMPARE(changes.first().at(2).toJsonObject(), parse(R"({"video":{"iso":3200}})"));

        // Subscribing again keeps the one socket.
        monitor.subscribe("cam-1", camera.hostAndPort());
        QTRY_COMPARE(established.size(), 2);
        QTRY_COMPARE(camera.eventClientCount(), 1);
        QCOMPARE(lost.size(), 0);

        camera.dropEventClients();
        QVERIFY(lost.wait());
        QCOMPARE(lost.first().first().toString(), QStringLiteral("cam-1"));
        QTRY_COMPARE(established.size(), 3);
        QCOMPARE(monitor.failureCount("cam-1"), 0);
        QTRY_COMPARE(camera.subscribeRequests().size(), 3);

        monitor.unsubscribe("cam-1");
        QVERIFY(!monitor.isSubscribed("cam-1"));
        QTRY_COMPARE(camera.eventClientCount(), 0);
        QCOMPARE(lost.size(), 1);
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
        monitor.subscribe("cam-1", address);
        QTRY_VERIFY(monitor.failureCount("cam-1") >= CameraMonitor::maxFailures);
        const int settled = monitor.failureCount("cam-1");
        // Each attempt costs one for the try and one for its error, so the count ends at 11 or 12.
        QVERIFY(settled <= CameraMonitor::maxFailures + 1);
        QWebSocket* lastSocket = monitor.socketOf("cam-1");
        // Twenty ticks in which nothing may happen.
        QVERIFY(!QTest::qWaitFor(
            [&] { return monitor.failureCount("cam-1") != settled || monitor.socketOf("cam-1") != lastSocket; }, 400));

        monitor.subscribe("cam-1", address);
        QCOMPARE(monitor.failureCount("cam-1"), 0);
        QTRY_VERIFY(monitor.failureCount("cam-1") > 0);
    }
};

QTEST_GUILESS_MAIN(TestCameraMonitor)
#include "tst_cameramonitor.moc"
