#include "CameraApi.h"
#include "CameraSimulator.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// What one request produced, in the order the signals came.
struct Outcome {
    QStringList order;
    QList<int> failedStatus;
    QJsonObject response;
    bool putSuccess = false;
    QString putError;
};

void record(CameraApi& api, Outcome& outcome)
{
    QObject::connect(&api, &CameraApi::getFailed, &api,
                     [&outcome](const QString&, const QString&, int status) {
                         outcome.order << QStringLiteral("getFailed");
                         outcome.failedStatus << status;
                     });
    QObject::connect(&api, &CameraApi::getFinished, &api,
                     [&outcome](const QString&, const QString&, const QJsonObject& response) {
                         outcome.order << QStringLiteral("getFinished");
                         outcome.response = response;
                     });
    QObject::connect(&api, &CameraApi::putFinished, &api,
                     [&outcome](const QString&, const QString&, bool success, const QString& error) {
                         outcome.order << QStringLiteral("putFinished");
                         outcome.putSuccess = success;
                         outcome.putError = error;
                     });
}

} // namespace

class TestCameraApi : public QObject {
    Q_OBJECT

private slots:
    void buildsUrlsInOneSubstitution()
    {
        CameraApi api;
        QCOMPARE(api.buildUrl(QStringLiteral("10.0.0.5"), QStringLiteral("lens/focus")),
                 QStringLiteral("http://10.0.0.5/control/api/v1/lens/focus"));
        QCOMPARE(api.buildUrl(QStringLiteral("cam.local"), QStringLiteral("presets/%1 %2.cset")),
                 QStringLiteral("http://cam.local/control/api/v1/presets/%1 %2.cset"));
    }

    void classifiesProductNames_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<bool>("camera");
        QTest::newRow("URSA") << "URSA Broadcast G2" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("ATEM") << "ATEM Mini Pro" << false;
        QTest::newRow("lower-case hyperdeck") << "hyperdeck studio HD" << false;
        QTest::newRow("Web Presenter") << "Blackmagic Web Presenter 4K" << false;
        QTest::newRow("Videohub") << "Smart Videohub 12G" << false;
        QTest::newRow("Streaming") << "Blackmagic Streaming Encoder" << false;
        QTest::newRow("Micro Studio") << "Micro Studio Camera 4K G2" << true;
    }
    void classifiesProductNames()
    {
        QFETCH(QString, product);
        QFETCH(bool, camera);
        QCOMPARE(CameraApi::productLooksLikeCamera(product), camera);
    }

    void requestsArriveWithTheirMethodsHeadersAndBodies()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        CameraApi api;
        QSignalSpy puts(&api, &CameraApi::putFinished);
        QSignalSpy gets(&api, &CameraApi::getFinished);
        const QString ip = camera.hostAndPort();

        api.get(ip, QStringLiteral("lens/iris"));
        QVERIFY(gets.wait());
        QCOMPARE(gets.first().at(0).toString(), ip);
        QCOMPARE(gets.first().at(1).toString(), QStringLiteral("lens/iris"));
        QCOMPARE(gets.first().at(2).toJsonObject(), camera.endpointValue(QStringLiteral("lens/iris")).toObject());

        api.put(ip, QStringLiteral("lens/focus"), QJsonObject{{QStringLiteral("focus"), 0.25}});
        QTRY_COMPARE(puts.size(), 1);
        api.putRaw(ip, QStringLiteral("video/iso"), QByteArrayLiteral("{ \"iso\" : 1600 }"));
        QTRY_COMPARE(puts.size(), 2);
        api.post(ip, QStringLiteral("presets/Saved.cset"), QJsonObject{{QStringLiteral("preset"), QStringLiteral("Saved.cset")}});
        QTRY_COMPARE(puts.size(), 3);
        api.putBinary(ip, QStringLiteral("presets/New.cset"));
        QTRY_COMPARE(puts.size(), 4);
        api.del(ip, QStringLiteral("presets/New.cset"));
        QTRY_COMPARE(puts.size(), 5);
        for (const QList<QVariant>& put : std::as_const(puts))
            QVERIFY2(put.at(2).toBool(), qPrintable(put.at(1).toString() + QLatin1Char(' ') + put.at(3).toString()));

        const QList<SimulatedRequest> received = camera.requests();
        QCOMPARE(received.size(), 6);
        const struct {
            const char* method;
            const char* endpoint;
            QByteArray body;
            QByteArray contentType;
        } expected[] = {
            {"GET", "lens/iris", {}, "application/json"},
            {"PUT", "lens/focus", R"({"focus":0.25})", "application/json"},
            {"PUT", "video/iso", R"({ "iso" : 1600 })", "application/json"},
            {"POST", "presets/Saved.cset", R"({"preset":"Saved.cset"})", "application/json"},
            {"PUT", "presets/New.cset", {}, "application/octet-stream"},
            {"DELETE", "presets/New.cset", {}, {}},
        };
        for (int i = 0; i < received.size(); ++i) {
            QCOMPARE(received[i].method, QByteArray(expected[i].method));
            QCOMPARE(received[i].endpoint, QString::fromLatin1(expected[i].endpoint));
            QCOMPARE(received[i].body, expected[i].body);
            QCOMPARE(received[i].headers.value("content-type"), expected[i].contentType);
        }
        QCOMPARE(camera.endpointValue(QStringLiteral("video/iso")).toObject().value("iso").toInt(), 1600);
    }

    void wrapsArraysAndEmptiesNonObjects()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        const QJsonArray inputs{QJsonObject{{QStringLiteral("input"), QStringLiteral("Mic")}, {QStringLiteral("available"), true}}};
        camera.setEndpointValue(QStringLiteral("audio/channel/0/supportedInputs"), inputs);
        camera.setMalformedJson(QStringLiteral("lens/zoom"), true);
        CameraApi api;
        Outcome outcome;
        record(api, outcome);

        api.get(camera.hostAndPort(), QStringLiteral("audio/channel/0/supportedInputs"));
        QTRY_COMPARE(outcome.order.size(), 1);
        QCOMPARE(outcome.response, QJsonObject({{QStringLiteral("items"), inputs}}));

        api.get(camera.hostAndPort(), QStringLiteral("lens/zoom"));
        QTRY_COMPARE(outcome.order.size(), 2);
        QCOMPARE(outcome.order, QStringList({"getFinished", "getFinished"}));
        QVERIFY(outcome.response.isEmpty());
    }

    void failedGetsCarryTheStatusBeforeTheEmptyReply_data()
    {
        QTest::addColumn<int>("refusal");
        QTest::addColumn<int>("status");
        QTest::newRow("404") << int(CameraSimulator::Refusal::NotFound) << 404;
        QTest::newRow("405") << int(CameraSimulator::Refusal::MethodNotAllowed) << 405;
        QTest::newRow("501") << int(CameraSimulator::Refusal::NotImplemented) << 501;
    }
    void failedGetsCarryTheStatusBeforeTheEmptyReply()
    {
        QFETCH(int, refusal);
        QFETCH(int, status);
        CameraSimulator camera;
        QVERIFY(camera.listen());
        camera.refuseEndpoint(QStringLiteral("video/shutter"), CameraSimulator::Refusal(refusal));
        CameraApi api;
        Outcome outcome;
        record(api, outcome);
        api.get(camera.hostAndPort(), QStringLiteral("video/shutter"));
        QTRY_COMPARE(outcome.order.size(), 2);
        QCOMPARE(outcome.order, QStringList({"getFailed", "getFinished"}));
        QCOMPARE(outcome.failedStatus, QList<int>{status});
        QVERIFY(outcome.response.isEmpty());
    }

    void jsonErrorRepliesAreOrdinaryObjects()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        camera.refuseEndpoint(QStringLiteral("video/ndFilter"), CameraSimulator::Refusal::JsonError);
        CameraApi api;
        Outcome outcome;
        record(api, outcome);
        api.get(camera.hostAndPort(), QStringLiteral("video/ndFilter"));
        QTRY_COMPARE(outcome.order.size(), 1);
        QVERIFY(outcome.response.contains(QStringLiteral("error")));
    }

    void timeoutsAreTransportFailures()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        camera.setBlackHole(true);
        CameraApi api;
        api.setTimeouts(300, 300);
        Outcome outcome;
        record(api, outcome);
        api.get(camera.hostAndPort(), QStringLiteral("lens/focus"));
        api.put(camera.hostAndPort(), QStringLiteral("lens/focus"), QJsonObject{{QStringLiteral("focus"), 0.1}});
        QTRY_COMPARE_WITH_TIMEOUT(outcome.order.size(), 3, 5000);
        QCOMPARE(outcome.order.count(QStringLiteral("putFinished")), 1);
        QVERIFY(!outcome.putSuccess);
        QVERIFY(!outcome.putError.isEmpty());
        outcome.order.removeAll(QStringLiteral("putFinished"));
        QCOMPARE(outcome.order, QStringList({"getFailed", "getFinished"}));
        QCOMPARE(outcome.failedStatus, QList<int>{0});
        QVERIFY(outcome.response.isEmpty());
    }

    void aStreamOfValuesKeepsOneOutstanding()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        camera.setResponseDelay(100);
        int mostUnanswered = 0;
        connect(&camera, &CameraSimulator::requestReceived, this,
                [&] { mostUnanswered = qMax(mostUnanswered, camera.unansweredRequests()); });
        CameraApi api;
        QSignalSpy puts(&api, &CameraApi::putFinished);
        int sent = 0;
        QTimer fader;
        connect(&fader, &QTimer::timeout, this, [&] {
            api.put(camera.hostAndPort(), QStringLiteral("lens/focus"), QJsonObject{{QStringLiteral("focus"), sent}});
            if (++sent == 200)
                fader.stop();
        });
        QElapsedTimer clock;
        clock.start();
        fader.start(5);
        QTRY_COMPARE_WITH_TIMEOUT(sent, 200, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(camera.requestBodies("PUT", QStringLiteral("lens/focus")).value(-1 + camera.requestCount("PUT")),
                                  QByteArray(R"({"focus":199})"), 3000);
        const qint64 elapsedMs = clock.elapsed();
        QTRY_COMPARE(camera.unansweredRequests(), 0);
        const int putCount = camera.requestCount("PUT", QStringLiteral("lens/focus"));
        // Never two at once, each answered after 100 ms at the earliest: one PUT per 100 ms,
        // however long a loaded machine took to deliver the 200 values.
        QVERIFY2(putCount <= elapsedMs / 100 + 2, qPrintable(QStringLiteral("%1 PUTs in %2 ms").arg(putCount).arg(elapsedMs)));
        QCOMPARE(mostUnanswered, 1);
        QTRY_COMPARE(puts.size(), putCount);
    }

    void commandsKeepTheirOrderAroundActions_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<bool>("raw");
        QTest::newRow("preset recall") << "presets/active" << false;
        QTest::newRow("trigger") << "transports/0/record" << true;
    }

    void commandsKeepTheirOrderAroundActions()
    {
        QFETCH(QString, endpoint);
        QFETCH(bool, raw);
        CameraSimulator camera;
        QVERIFY(camera.listen());
        const int delayMs = 100;
        camera.setResponseDelay(delayMs);
        CameraApi api;
        const QString ip = camera.hostAndPort();
        const auto focus = [&](double value) { api.put(ip, "lens/focus", QJsonObject{{"focus", value}}); };
        focus(0.1);    // sent at once
        focus(0.2);    // waits for 0.1's answer
        if (raw)
            api.putRaw(ip, endpoint, R"({"recording":true})");
        else
            api.put(ip, endpoint, QJsonObject{{"preset", "Wide.cset"}});
        focus(0.3);    // newer than the action: must not join 0.2 ahead of it
        api.put(ip, "video/iso", QJsonObject{{"iso", 800}});
        QTRY_COMPARE_WITH_TIMEOUT(camera.requestCount("PUT"), 5, 3000);

        const QList<SimulatedRequest> received = camera.requests();
        QStringList order;
        for (const SimulatedRequest& request : received)
            order << request.endpoint + ' ' + request.body;
        const QString action = endpoint + ' ' + (raw ? R"({"recording":true})" : R"({"preset":"Wide.cset"})");
        QCOMPARE(order.mid(0, 3), QStringList({R"(lens/focus {"focus":0.1})", R"(lens/focus {"focus":0.2})", action}));
        QCOMPARE(order.mid(3).size(), 2);
        QVERIFY(order.mid(3).contains(R"(lens/focus {"focus":0.3})"));
        QVERIFY(order.mid(3).contains(R"(video/iso {"iso":800})"));
        // The action went out alone, after the value before it was answered, and what came
        // after it waited for its answer.
        QVERIFY(received[1].received.msecsTo(received[2].received) >= delayMs - 10);
        QVERIFY(received[2].received.msecsTo(received[3].received) >= delayMs - 10);
    }

    void commandsGoAheadOfReads()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        camera.setResponseDelay(50);
        CameraApi api;
        const QString ip = camera.hostAndPort();
        const QStringList reads = {"lens/iris", "lens/zoom", "video/iso", "video/gain", "video/shutter", "video/ndFilter"};
        for (const QString& endpoint : reads)
            api.get(ip, endpoint);
        api.ping(ip);
        api.put(ip, "lens/focus", QJsonObject{{"focus", 0.5}});
        QTRY_COMPARE_WITH_TIMEOUT(camera.requests().size(), 9, 3000);
        QStringList order;
        for (const SimulatedRequest& request : camera.requests())
            order << request.method + ' ' + request.endpoint;
        // Two reads were on their way; the command and the probe took the two slots they
        // freed (the two of a pair may arrive either way round), and the probe's second
        // half went ahead of the reads still waiting.
        QCOMPARE(QSet<QString>(order.begin(), order.begin() + 2), QSet<QString>({"GET lens/iris", "GET lens/zoom"}));
        QCOMPARE(QSet<QString>(order.begin() + 2, order.begin() + 4),
                 QSet<QString>({"PUT lens/focus", "GET system/product"}));
        QVERIFY2(order.indexOf("GET camera/id") <= 5, qPrintable(order.join(", ")));
        order.removeAll("GET camera/id");
        QCOMPARE(order.mid(4), QStringList({"GET video/iso", "GET video/gain", "GET video/shutter", "GET video/ndFilter"}));
    }

    void aSilentCameraHoldsBackNoOther()
    {
        CameraSimulator silent;
        CameraSimulator other;
        QVERIFY(silent.listen());
        QVERIFY(other.listen());
        silent.setBlackHole(true);
        CameraApi api;
        api.setTimeouts(1000, 1000);
        Outcome outcome;
        record(api, outcome);
        api.put(silent.hostAndPort(), "lens/focus", QJsonObject{{"focus", 0.1}});
        for (const QString endpoint : {"lens/iris", "lens/zoom", "video/iso", "video/gain"})
            api.get(silent.hostAndPort(), endpoint);
        api.put(silent.hostAndPort(), "lens/focus", QJsonObject{{"focus", 0.2}});
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5; ++i)
            api.put(other.hostAndPort(), "lens/focus", QJsonObject{{"focus", i / 10.0}});
        api.get(other.hostAndPort(), "lens/iris");
        QTRY_COMPARE(other.requests().size(), 3);
        QVERIFY(clock.elapsed() < 900);
        QCOMPARE(other.requestBodies("PUT", "lens/focus").last(), QByteArray(R"({"focus":0.4})"));

        // The first value and a read fill the silent camera's two slots; once they time out the
        // waiting value goes, and the reads behind them fail without being sent.
        QCOMPARE(silent.requests().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(silent.requestBodies("PUT", "lens/focus").size(), 2, 3000);
        QVERIFY(clock.elapsed() >= 900);
        QCOMPARE(silent.requestBodies("PUT", "lens/focus").last(), QByteArray(R"({"focus":0.2})"));
        QTRY_COMPARE(outcome.order.count("getFinished"), 5);
        QCOMPARE(outcome.failedStatus, QList<int>({0, 0, 0, 0}));
        QCOMPARE(silent.requestCount("GET"), 1);
    }

    void pingClassifiesDevices_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("productRefusal"); // -1: answered
        QTest::addColumn<int>("idRefusal");      // -1: answered
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("isCamera");
        const int answered = -1;
        const int notFound = int(CameraSimulator::Refusal::NotFound);
        const int notImplemented = int(CameraSimulator::Refusal::NotImplemented);
        QTest::newRow("camera") << "URSA Broadcast G2" << answered << answered << true << "URSA Broadcast G2" << true;
        QTest::newRow("no camera/id") << "URSA Broadcast G2" << answered << notFound << true << "URSA Broadcast G2" << false;
        QTest::newRow("neither endpoint") << "URSA Broadcast G2" << notFound << notFound << true << "" << false;
        QTest::newRow("ATEM, id fails") << "ATEM Mini Extreme" << answered << notImplemented << true << "ATEM Mini Extreme" << false;
        QTest::newRow("camera name, id fails") << "PYXIS 6K" << answered << notImplemented << true << "PYXIS 6K" << true;
        QTest::newRow("product fails") << "URSA Broadcast G2" << notImplemented << answered << false << "" << false;
    }
    void pingClassifiesDevices()
    {
        QFETCH(QString, product);
        QFETCH(int, productRefusal);
        QFETCH(int, idRefusal);
        QFETCH(bool, reachable);
        QFETCH(QString, model);
        QFETCH(bool, isCamera);
        CameraSimulator camera(product);
        QVERIFY(camera.listen());
        if (productRefusal >= 0)
            camera.refuseEndpoint(QStringLiteral("system/product"), CameraSimulator::Refusal(productRefusal));
        if (idRefusal >= 0)
            camera.refuseEndpoint(QStringLiteral("camera/id"), CameraSimulator::Refusal(idRefusal));
        CameraApi api;
        QSignalSpy results(&api, &CameraApi::pingResult);
        api.ping(camera.hostAndPort());
        QVERIFY(results.wait());
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.first().at(0).toString(), camera.hostAndPort());
        QCOMPARE(results.first().at(1).toBool(), reachable);
        const QJsonObject info = results.first().at(2).toJsonObject();
        if (!reachable) {
            QVERIFY(info.isEmpty());
            QCOMPARE(camera.requestCount("GET", QStringLiteral("camera/id")), 0);
            return;
        }
        QCOMPARE(info.value("model").toString(), model);
        QCOMPARE(info.value("firmware").isString(), true);
        QCOMPARE(info.value("isCamera").toBool(), isCamera);
        const QList<SimulatedRequest> received = camera.requests();
        QCOMPARE(received.size(), 2);
        QCOMPARE(received[0].headers.value("content-type"), QByteArray("application/json"));
        QVERIFY(!received[1].headers.contains("content-type"));
    }

    void pingOfAClosedPortIsUnreachable()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        const QString ip = camera.hostAndPort();
        camera.close();
        CameraApi api;
        QSignalSpy results(&api, &CameraApi::pingResult);
        api.ping(ip);
        QVERIFY(results.wait());
        QCOMPARE(results.first().at(1).toBool(), false);
    }

    void offlineSendsAndEmitsNothing()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        CameraApi api;
        QSignalSpy gets(&api, &CameraApi::getFinished);
        QSignalSpy failures(&api, &CameraApi::getFailed);
        QSignalSpy puts(&api, &CameraApi::putFinished);
        QSignalSpy pings(&api, &CameraApi::pingResult);
        const QString ip = camera.hostAndPort();
        api.setOffline(true);
        api.get(ip, QStringLiteral("lens/focus"));
        api.put(ip, QStringLiteral("lens/focus"), QJsonObject{{QStringLiteral("focus"), 0.3}});
        api.putRaw(ip, QStringLiteral("lens/focus"), "{}");
        api.post(ip, QStringLiteral("presets"), {});
        api.putBinary(ip, QStringLiteral("presets/x.cset"));
        api.del(ip, QStringLiteral("presets/x.cset"));
        api.ping(ip);
        // One request after going online again; anything sent while offline would arrive first.
        api.setOffline(false);
        api.get(ip, QStringLiteral("video/iso"));
        QVERIFY(gets.wait());
        QCOMPARE(gets.size(), 1);
        QCOMPARE(gets.first().at(1).toString(), QStringLiteral("video/iso"));
        QCOMPARE(failures.size(), 0);
        QCOMPARE(puts.size(), 0);
        QCOMPARE(pings.size(), 0);
        QCOMPARE(camera.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCameraApi)
#include "tst_cameraapi.moc"
