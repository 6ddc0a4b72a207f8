#include "CameraApi.h"
#include "CameraSimulator.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

class TestCameraApi : public QObject {
    Q_OBJECT

    std::unique_ptr<CameraSimulator> camera;
    std::unique_ptr<CameraApi> api;
    QString ip;
    // What the requests produced, in the order the signals came.
    QStringList order;
    QList<int> failedStatus;
    QJsonObject response;
    QList<QPair<bool, QString>> putResults;

    QStringList arrivals() const
    {
        QStringList result;
        for (const SimulatedRequest& request : camera->requests())
            result << request.method + ' ' + request.endpoint + (request.body.isEmpty() ? "" : ' ' + request.body);
        return result;
    }

private slots:
    void init()
    {
        camera = std::make_unique<CameraSimulator>();
        QVERIFY(camera->listen());
        ip = camera->hostAndPort();
        api = std::make_unique<CameraApi>();
        order.clear();
        failedStatus.clear();
        response = {};
        putResults.clear();
        connect(api.get(), &CameraApi::getFailed, this, [this](const QString&, const QString&, int status) {
            order << "getFailed";
            failedStatus << status;
        });
        connect(api.get(), &CameraApi::getFinished, this, [this](const QString&, const QString&, const QJsonObject& reply) {
            order << "getFinished";
            response = reply;
        });
        connect(api.get(), &CameraApi::putFinished, this, [this](const QString&, const QString&, bool ok, const QString& error) {
            order << "putFinished";
            putResults << qMakePair(ok, error);
        });
    }

    void cleanup()
    {
        api.reset();
        camera.reset();
    }

    void requestsArriveWithTheirMethodsHeadersAndBodies()
    {
        // One substitution, so a "%1" inside an endpoint stays as it is.
        QCOMPARE(api->buildUrl("cam.local", "presets/%1 %2.cset"), QString("http://cam.local/control/api/v1/presets/%1 %2.cset"));
        QSignalSpy gets(api.get(), &CameraApi::getFinished);
        api->get(ip, "lens/iris");
        QVERIFY(gets.wait());
        QCOMPARE(gets.first().at(0).toString(), ip);
        QCOMPARE(gets.first().at(1).toString(), QString("lens/iris"));
        QCOMPARE(response, camera->endpointValue("lens/iris").toObject());

        api->put(ip, "lens/focus", QJsonObject{{"focus", 0.25}});
        api->putRaw(ip, "video/iso", "{ \"iso\" : 1600 }");
        api->post(ip, "presets/Saved.cset", QJsonObject{{"preset", "Saved.cset"}});
        api->putBinary(ip, "presets/New.cset");
        api->del(ip, "presets/New.cset");
        QTRY_COMPARE(putResults.size(), 5);
        for (const auto& [ok, error] : std::as_const(putResults))
            QVERIFY2(ok, qPrintable(error));
        QCOMPARE(arrivals(), QStringList({"GET lens/iris", R"(PUT lens/focus {"focus":0.25})", R"(PUT video/iso { "iso" : 1600 })",
                                          R"(POST presets/Saved.cset {"preset":"Saved.cset"})", "PUT presets/New.cset",
                                          "DELETE presets/New.cset"}));
        QList<QByteArray> types;
        for (const SimulatedRequest& request : camera->requests())
            types << request.headers.value("content-type");
        QCOMPARE(types, QList<QByteArray>({"application/json", "application/json", "application/json", "application/json",
                                           "application/octet-stream", {}}));
        QCOMPARE(camera->endpointValue("video/iso")["iso"].toInt(), 1600);
    }

    void getOutcomes_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("failedStatus");   // -1: no getFailed
        QTest::addColumn<QString>("responseKey"); // empty: the reply reads as empty
        QTest::newRow("404") << "404" << 404 << "";
        QTest::newRow("405") << "405" << 405 << "";
        QTest::newRow("501") << "501" << 501 << "";
        QTest::newRow("JSON error") << "error" << -1 << "error";
        QTest::newRow("malformed") << "malformed" << -1 << "";
        QTest::newRow("array") << "array" << -1 << "items";
        QTest::newRow("time-out") << "black hole" << 0 << "";
    }

    void getOutcomes()
    {
        QFETCH(QString, fault);
        QFETCH(int, failedStatus);
        QFETCH(QString, responseKey);
        const QHash<QString, CameraSimulator::Refusal> refusals{{"404", CameraSimulator::Refusal::NotFound},
                                                                {"405", CameraSimulator::Refusal::MethodNotAllowed},
                                                                {"501", CameraSimulator::Refusal::NotImplemented},
                                                                {"error", CameraSimulator::Refusal::JsonError}};
        if (refusals.contains(fault))
            camera->refuseEndpoint("video/shutter", refusals.value(fault));
        camera->setMalformedJson("video/shutter", fault == "malformed");
        camera->setBlackHole(fault == "black hole");
        api->setTimeouts(300, 300);
        api->get(ip, fault == "array" ? "audio/channel/0/supportedInputs" : "video/shutter");
        QTRY_VERIFY(order.contains("getFinished"));
        QCOMPARE(order, failedStatus < 0 ? QStringList({"getFinished"}) : QStringList({"getFailed", "getFinished"}));
        QCOMPARE(this->failedStatus, failedStatus < 0 ? QList<int>() : QList<int>({failedStatus}));
        QCOMPARE(response.keys(), responseKey.isEmpty() ? QStringList() : QStringList({responseKey}));
    }

    void aStreamOfValuesKeepsOneOutstanding()
    {
        camera->setResponseDelay(100);
        int mostUnanswered = 0;
        connect(camera.get(), &CameraSimulator::requestReceived, this,
                [&] { mostUnanswered = qMax(mostUnanswered, camera->unansweredRequests()); });
        int sent = 0;
        QTimer fader;
        connect(&fader, &QTimer::timeout, this, [&] {
            api->put(ip, "lens/focus", QJsonObject{{"focus", sent}});
            if (++sent == 200)
                fader.stop();
        });
        QElapsedTimer clock;
        clock.start();
        fader.start(5);
        QTRY_COMPARE_WITH_TIMEOUT(sent, 200, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(camera->requestBodies("PUT", "lens/focus").value(-1 + camera->requestCount("PUT")),
                                  QByteArray(R"({"focus":199})"), 3000);
        const qint64 elapsedMs = clock.elapsed();
        QTRY_COMPARE(camera->unansweredRequests(), 0);
        const int putCount = camera->requestCount("PUT", "lens/focus");
        // Never two at once, each answered after 100 ms at the earliest: one PUT per 100 ms,
        // however long a loaded machine took to deliver the 200 values.
        QVERIFY2(putCount <= elapsedMs / 100 + 2, qPrintable(QStringLiteral("%1 PUTs in %2 ms").arg(putCount).arg(elapsedMs)));
        QCOMPARE(mostUnanswered, 1);
        QTRY_COMPARE(putResults.size(), putCount);
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
        const int delayMs = 100;
        camera->setResponseDelay(delayMs);
        const auto focus = [&](double value) { api->put(ip, "lens/focus", QJsonObject{{"focus", value}}); };
        focus(0.1);    // sent at once
        focus(0.2);    // waits for 0.1's answer
        if (raw)
            api->putRaw(ip, endpoint, R"({"recording":true})");
        else
            api->put(ip, endpoint, QJsonObject{{"preset", "Wide.cset"}});
        focus(0.3);    // newer than the action: must not join 0.2 ahead of it
        api->put(ip, "video/iso", QJsonObject{{"iso", 800}});
        QTRY_COMPARE_WITH_TIMEOUT(camera->requestCount("PUT"), 5, 3000);

        const QStringList order = arrivals();
        const QString action = "PUT " + endpoint + ' ' + (raw ? R"({"recording":true})" : R"({"preset":"Wide.cset"})");
        QCOMPARE(order.mid(0, 3), QStringList({R"(PUT lens/focus {"focus":0.1})", R"(PUT lens/focus {"focus":0.2})", action}));
        QCOMPARE(QSet<QString>(order.begin() + 3, order.end()),
                 QSet<QString>({R"(PUT lens/focus {"focus":0.3})", R"(PUT video/iso {"iso":800})"}));
        // The action went out alone, after the value before it was answered, and what came
        // after it waited for its answer.
        const QList<SimulatedRequest> received = camera->requests();
        QVERIFY(received[1].received.msecsTo(received[2].received) >= delayMs - 10);
        QVERIFY(received[2].received.msecsTo(received[3].received) >= delayMs - 10);
    }

    void commandsGoAheadOfReads()
    {
        camera->setResponseDelay(50);
        for (const QString endpoint : {"lens/iris", "lens/zoom", "video/iso", "video/gain", "video/shutter", "video/ndFilter"})
            api->get(ip, endpoint);
        api->ping(ip);
        api->put(ip, "lens/focus", QJsonObject{{"focus", 0.5}});
        QTRY_COMPARE_WITH_TIMEOUT(camera->requests().size(), 9, 3000);
        QStringList order;
        for (const SimulatedRequest& request : camera->requests())
            order << request.method + ' ' + request.endpoint;
        // Two reads were on their way; the command and the probe took the two slots they
        // freed (the two of a pair may arrive either way round), and the probe's second
        // half went ahead of the reads still waiting.
        QCOMPARE(QSet<QString>(order.begin(), order.begin() + 2), QSet<QString>({"GET lens/iris", "GET lens/zoom"}));
        QCOMPARE(QSet<QString>(order.begin() + 2, order.begin() + 4), QSet<QString>({"PUT lens/focus", "GET system/product"}));
        QVERIFY2(order.indexOf("GET camera/id") <= 5, qPrintable(order.join(", ")));
        order.removeAll("GET camera/id");
        QCOMPARE(order.mid(4), QStringList({"GET video/iso", "GET video/gain", "GET video/shutter", "GET video/ndFilter"}));
    }

    void aSilentCameraHoldsBackNoOther()
    {
        CameraSimulator other;
        QVERIFY(other.listen());
        camera->setBlackHole(true);
        api->setTimeouts(1000, 1000);
        api->put(ip, "lens/focus", QJsonObject{{"focus", 0.1}});
        for (const QString endpoint : {"lens/iris", "lens/zoom", "video/iso", "video/gain"})
            api->get(ip, endpoint);
        api->put(ip, "lens/focus", QJsonObject{{"focus", 0.2}});
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5; ++i)
            api->put(other.hostAndPort(), "lens/focus", QJsonObject{{"focus", i / 10.0}});
        api->get(other.hostAndPort(), "lens/iris");
        QTRY_COMPARE(other.requests().size(), 3);
        QVERIFY(clock.elapsed() < 900);
        QCOMPARE(other.requestBodies("PUT", "lens/focus").last(), QByteArray(R"({"focus":0.4})"));

        // The first value and a read fill the silent camera's two slots; once they time out the
        // waiting value goes, and the reads behind them fail without being sent.
        QCOMPARE(camera->requests().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(camera->requestBodies("PUT", "lens/focus").size(), 2, 3000);
        QVERIFY(clock.elapsed() >= 900);
        QCOMPARE(camera->requestBodies("PUT", "lens/focus").last(), QByteArray(R"({"focus":0.2})"));
        QTRY_COMPARE(order.count("getFinished"), 5);
        QCOMPARE(failedStatus, QList<int>({0, 0, 0, 0}));
        QCOMPARE(camera->requestCount("GET"), 1);
        // The value that timed out reports the failure with its reason.
        QVERIFY(std::any_of(putResults.cbegin(), putResults.cend(), [](const auto& r) { return !r.first && !r.second.isEmpty(); }));
    }

    void pingClassifiesDevices_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("productRefusal"); // -1: answered, -2: nothing listens
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
        QTest::newRow("lower-case recorder, id fails") << "hyperdeck studio HD" << answered << notImplemented << true
                                                       << "hyperdeck studio HD" << false;
        QTest::newRow("camera name, id fails") << "PYXIS 6K" << answered << notImplemented << true << "PYXIS 6K" << true;
        QTest::newRow("product fails") << "URSA Broadcast G2" << notImplemented << answered << false << "" << false;
        QTest::newRow("closed port") << "URSA Broadcast G2" << -2 << answered << false << "" << false;
    }

    void pingClassifiesDevices()
    {
        QFETCH(QString, product);
        QFETCH(int, productRefusal);
        QFETCH(int, idRefusal);
        QFETCH(bool, reachable);
        camera->setProduct(product, "8.6");
        if (productRefusal == -2)
            camera->close();
        else if (productRefusal >= 0)
            camera->refuseEndpoint("system/product", CameraSimulator::Refusal(productRefusal));
        if (idRefusal >= 0)
            camera->refuseEndpoint("camera/id", CameraSimulator::Refusal(idRefusal));
        QSignalSpy results(api.get(), &CameraApi::pingResult);
        api->ping(ip);
        QVERIFY(results.wait());
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.first().at(0).toString(), ip);
        QCOMPARE(results.first().at(1).toBool(), reachable);
        const QJsonObject info = results.first().at(2).toJsonObject();
        if (!reachable) {
            QVERIFY(info.isEmpty());
            QCOMPARE(camera->requestCount("GET", "camera/id"), 0);
            return;
        }
        QTEST(info.value("model").toString(), "model");
        QCOMPARE(info.value("firmware").toString(), productRefusal < 0 ? QString("8.6") : QString());
        QTEST(info.value("isCamera").toBool(), "isCamera");
        const QList<SimulatedRequest> received = camera->requests();
        QCOMPARE(received.size(), 2);
        QCOMPARE(received[0].headers.value("content-type"), QByteArray("application/json"));
        QVERIFY(!received[1].headers.contains("content-type"));
    }

    void offlineSendsAndEmitsNothing()
    {
        QSignalSpy pings(api.get(), &CameraApi::pingResult);
        api->setOffline(true);
        api->get(ip, "lens/focus");
        api->put(ip, "lens/focus", QJsonObject{{"focus", 0.3}});
        api->putRaw(ip, "lens/focus", "{}");
        api->post(ip, "presets", {});
        api->putBinary(ip, "presets/x.cset");
        api->del(ip, "presets/x.cset");
        api->ping(ip);
        // One request after going online again; anything sent while offline would arrive first.
        api->setOffline(false);
        api->get(ip, "video/iso");
        QTRY_VERIFY(!order.isEmpty());
        QTest::qWait(100);
        QCOMPARE(order, QStringList{"getFinished"});
        QCOMPARE(pings.size(), 0);
        QCOMPARE(arrivals(), QStringList{"GET video/iso"});
    }
};

QTEST_GUILESS_MAIN(TestCameraApi)
#include "tst_cameraapi.moc"
