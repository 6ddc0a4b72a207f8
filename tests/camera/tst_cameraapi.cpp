#include "CameraApi.h"
#include "CameraSimulator.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

class TestCameraApi : public QObject {
    Q_OBJECT

    std::unique_ptr<CameraSimulator> camera;
    std::unique_ptr<CameraApi> api;
    QString ip;
    // What the requests produced, in the order the signals came: "failed STATUS", "finished KEYS",
    // "written" or "not written: ERROR".
    QStringList outcomes;
    QJsonObject response;

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
        outcomes.clear();
        connect(api.get(), &CameraApi::getFailed, this,
                [this](const QString&, const QString&, int status) { outcomes << QStringLiteral("failed %1").arg(status); });
        connect(api.get(), &CameraApi::getFinished, this, [this](const QString&, const QString&, const QJsonObject& reply) {
            outcomes << "finished " + reply.keys().join(',');
            response = reply;
        });
        connect(api.get(), &CameraApi::putFinished, this, [this](const QString&, const QString&, bool ok, const QString& error) {
            outcomes << (ok ? QStringLiteral("written") : "not written: " + error);
        });
    }

    void cleanup()
    {
        api.reset();
        camera.reset();
    }

    void requestsArriveWithTheirMethodsHeadersAndBodiesUnlessOffline()
    {
        // One substitution, so a "%1" inside an endpoint stays as it is.
        QCOMPARE(api->buildUrl("cam.local", "presets/%1 %2.cset"), QString("http://cam.local/control/api/v1/presets/%1 %2.cset"));
        // Offline, nothing is sent and nothing reported; anything sent would arrive first.
        QSignalSpy pings(api.get(), &CameraApi::pingResult);
        api->setOffline(true);
        api->get(ip, "lens/focus");
        api->put(ip, "lens/focus", QJsonObject{{"focus", 0.3}});
        api->putRaw(ip, "lens/focus", "{}");
        api->post(ip, "presets", {});
        api->putBinary(ip, "presets/x.cset");
        api->del(ip, "presets/x.cset");
        api->ping(ip);
        api->setOffline(false);

        QSignalSpy gets(api.get(), &CameraApi::getFinished);
        api->get(ip, "lens/iris");
        QVERIFY(gets.wait());
        QCOMPARE(gets.first().mid(0, 2), (QVariantList{ip, "lens/iris"}));
        QCOMPARE(response, camera->endpointValue("lens/iris").toObject());

        api->put(ip, "lens/focus", QJsonObject{{"focus", 0.25}});
        api->putRaw(ip, "video/iso", "{ \"iso\" : 1600 }");
        api->post(ip, "presets/Saved.cset", QJsonObject{{"preset", "Saved.cset"}});
        api->putBinary(ip, "presets/New.cset");
        api->del(ip, "presets/New.cset");
        QTRY_COMPARE(outcomes.mid(1), QStringList(5, "written"));
        QCOMPARE(arrivals(), QStringList({"GET lens/iris", R"(PUT lens/focus {"focus":0.25})", R"(PUT video/iso { "iso" : 1600 })",
                                          R"(POST presets/Saved.cset {"preset":"Saved.cset"})", "PUT presets/New.cset",
                                          "DELETE presets/New.cset"}));
        QList<QByteArray> types;
        for (const SimulatedRequest& request : camera->requests())
            types << request.headers.value("content-type");
        QCOMPARE(types, QList<QByteArray>({"application/json", "application/json", "application/json", "application/json",
                                           "application/octet-stream", {}}));
        QCOMPARE(camera->endpointValue("video/iso")["iso"].toInt(), 1600);
        QCOMPARE(pings.size(), 0);
    }

    void getOutcomes_data()
    {
        QTest::addColumn<int>("refusal");   // -1: none
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("expected");
        using Refusal = CameraSimulator::Refusal;
        QTest::newRow("404") << int(Refusal::NotFound) << "" << QStringList{"failed 404", "finished "};
        QTest::newRow("405") << int(Refusal::MethodNotAllowed) << "" << QStringList{"failed 405", "finished "};
        QTest::newRow("501") << int(Refusal::NotImplemented) << "" << QStringList{"failed 501", "finished "};
        QTest::newRow("JSON error") << int(Refusal::JsonError) << "" << QStringList{"finished error"};
        QTest::newRow("malformed") << -1 << "malformed" << QStringList{"finished "};
        QTest::newRow("array") << -1 << "array" << QStringList{"finished items"};
        QTest::newRow("time-out") << -1 << "black hole" << QStringList{"failed 0", "finished "};
    }

    void getOutcomes()
    {
        QFETCH(int, refusal);
        QFETCH(QString, fault);
        if (refusal >= 0)
            camera->refuseEndpoint("video/shutter", CameraSimulator::Refusal(refusal));
        camera->setMalformedJson("video/shutter", fault == "malformed");
        camera->setBlackHole(fault == "black hole");
        api->setTimeouts(300, 300);
        api->get(ip, fault == "array" ? "audio/channel/0/supportedInputs" : "video/shutter");
        QTRY_VERIFY(!outcomes.filter("finished").isEmpty());
        QTEST(outcomes, "expected");
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
        QTRY_COMPARE(outcomes, QStringList(putCount, "written"));
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
        QStringList order = arrivals();
        // Two reads were on their way; the command and the probe took the two slots they
        // freed (the two of a pair may arrive either way round), and the probe's second
        // half went ahead of the reads still waiting.
        QCOMPARE(QSet<QString>(order.begin(), order.begin() + 2), QSet<QString>({"GET lens/iris", "GET lens/zoom"}));
        QCOMPARE(QSet<QString>(order.begin() + 2, order.begin() + 4),
                 QSet<QString>({R"(PUT lens/focus {"focus":0.5})", "GET system/product"}));
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
        QTRY_COMPARE(outcomes.filter("finished").size(), 5);
        QCOMPARE(outcomes.filter("failed"), QStringList(4, "failed 0"));
        QCOMPARE(camera->requestCount("GET"), 1);
        // The value that timed out reports the failure with its reason.
        QVERIFY(!outcomes.filter(QRegularExpression("^not written: .")).isEmpty());
    }

    void pingClassifiesDevices_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("productRefusal"); // -1: answered, -2: nothing listens
        QTest::addColumn<int>("idRefusal");      // -1: answered
        QTest::addColumn<QString>("found");      // "MODEL, FIRMWARE, camera", or empty: unreachable
        const int answered = -1;
        const int notFound = int(CameraSimulator::Refusal::NotFound);
        const int notImplemented = int(CameraSimulator::Refusal::NotImplemented);
        QTest::newRow("camera") << "URSA Broadcast G2" << answered << answered << "URSA Broadcast G2, 8.6, camera";
        QTest::newRow("no camera/id") << "URSA Broadcast G2" << answered << notFound << "URSA Broadcast G2, 8.6, not a camera";
        QTest::newRow("neither endpoint") << "URSA Broadcast G2" << notFound << notFound << ", , not a camera";
        QTest::newRow("ATEM, id fails") << "ATEM Mini Extreme" << answered << notImplemented
                                        << "ATEM Mini Extreme, 8.6, not a camera";
        QTest::newRow("lower-case recorder, id fails") << "hyperdeck studio HD" << answered << notImplemented
                                                       << "hyperdeck studio HD, 8.6, not a camera";
        QTest::newRow("camera name, id fails") << "PYXIS 6K" << answered << notImplemented << "PYXIS 6K, 8.6, camera";
        QTest::newRow("product fails") << "URSA Broadcast G2" << notImplemented << answered << "";
        QTest::newRow("closed port") << "URSA Broadcast G2" << -2 << answered << "";
    }

    void pingClassifiesDevices()
    {
        QFETCH(QString, product);
        QFETCH(int, productRefusal);
        QFETCH(int, idRefusal);
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
        const QJsonObject info = results.first().at(2).toJsonObject();
        const QStringList found{info["model"].toString(), info["firmware"].toString(),
                                info["isCamera"].toBool() ? "camera" : "not a camera"};
        QTEST(results.first().at(1).toBool() ? found.join(", ") : QString(), "found");
        if (!results.first().at(1).toBool()) {
            QVERIFY(info.isEmpty());
            QCOMPARE(camera->requestCount("GET", "camera/id"), 0);
            return;
        }
        const QList<SimulatedRequest> received = camera->requests();
        QCOMPARE(received.size(), 2);
        QCOMPARE(received[0].headers.value("content-type"), QByteArray("application/json"));
        QVERIFY(!received[1].headers.contains("content-type"));
    }
};

QTEST_GUILESS_MAIN(TestCameraApi)
#include "tst_cameraapi.moc"
