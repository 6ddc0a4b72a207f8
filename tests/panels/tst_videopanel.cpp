#include "PanelFixture.h"
#include "VideoPanel.h"

#include <QDateTime>
#include <QTimer>

using Rig = PanelOnRig<VideoPanel>;

// The Video tab over a simulated camera: what its controls send, what it shows of the
// camera's state, and how it keeps the camera's echo from pulling a control back.
class TestVideoPanel : public QObject {
    Q_OBJECT

private slots:
    // A drag sends one command, with the final value, 50 ms after the slider stops.
    void sliderCommandWaitsForTheSliderToStop()
    {
        Rig rig;
        QVERIFY(rig.start());
        auto* gain = rig.control<QSlider>("gain");
        int sentDuringDrag = -1;
        QDateTime dragEnded;
        QTimer steps;
        connect(&steps, &QTimer::timeout, [&] {
            gain->setValue(gain->value() + 2);
            if (gain->value() >= 20) {
                steps.stop();
                dragEnded = QDateTime::currentDateTime();
                sentDuringDrag = rig.camera(0).requestCount("PUT", "video/gain");
            }
        });
        steps.start(30);
        QTRY_COMPARE(rig.puts(0, "video/gain"), (QList<QJsonObject>{{{"gain", 20}}}));
        QCOMPARE(sentDuringDrag, 0);
        for (const SimulatedRequest& request : rig.camera(0).requests())
            QVERIFY(request.method != "PUT" || dragEnded.msecsTo(request.received) >= 50);

        // A movement of another slider replaces the pending command.
        rig.control<QSlider>("whiteBalance")->setValue(3200);
        rig.control<QSlider>("tint")->setValue(10);
        QTRY_COMPARE(rig.puts(0, "video/whiteBalanceTint"), (QList<QJsonObject>{{{"whiteBalanceTint", 10}}}));
        QCOMPARE(rig.camera(0).requestCount("PUT", "video/whiteBalance"), 0);

        // A command still pending when another camera is selected goes to its own camera.
        const QString second = rig.addCamera();
        QVERIFY(rig.waitForSweep(1));
        rig.control<QSlider>("focus")->setValue(800);
        rig.panel.setCurrentCamera(second);
        QTRY_COMPARE(rig.puts(0, "lens/focus"), (QList<QJsonObject>{{{"focus", 0.8}}}));
        QCOMPARE(rig.control<QSlider>("focus")->value(), 500);
        rig.control<QSlider>("zoom")->setValue(600);
        QTRY_COMPARE(rig.puts(1, "lens/zoom"), (QList<QJsonObject>{{{"normalised", 0.6}}}));
        QCOMPARE(rig.camera(1).requestCount("PUT", "lens/focus") + rig.camera(0).requestCount("PUT", "lens/zoom"), 0);
    }

    // After a command the camera's echo of older values is not shown; the panel's own fetch
    // 800 ms later, well before the manager's next sweep, brings what the camera then holds.
    // A slider whose command is still pending keeps the operator's value over an echo.
    void echoIsIgnoredUntilThePanelFetchesStateItself()
    {
        Rig rig;
        QVERIFY(rig.start());
        // Right after a sweep of the manager's own, so that the next one is 2 s away or more.
        QVERIFY(rig.waitForSweep(0, rig.sweepRequests(0)));
        auto* iso = rig.control<QComboBox>("iso");
        auto* focus = rig.control<QSlider>("focus");
        const QDateTime commanded = QDateTime::currentDateTime();
        QTest::keyClick(iso, Qt::Key_Up);
        QCOMPARE(iso->currentText(), "400");
        QTimer::singleShot(500, [&] {
            rig.camera(0).setEndpointValue("video/iso", QJsonObject{{"iso", 3200}});
            rig.camera(0).pushRawEvent(R"({"video":{"iso":3200}})");
        });
        const CameraState* state = rig.manager->cameraList()->state(rig.id(0));
        QString isoOnEcho;
        int focusOnEcho = -1;
        connect(rig.manager.get(), &CameraManager::cameraStateUpdated, [&] {
            if (state->iso == 3200 && isoOnEcho.isEmpty())
                isoOnEcho = iso->currentText();
            if (state->focus == 0.2)
                focusOnEcho = focus->value();
        });
        QTRY_COMPARE(isoOnEcho, "400");
        QTRY_COMPARE(iso->currentText(), "3200");
        qint64 fetchedAfter = -1;
        for (const SimulatedRequest& request : rig.camera(0).requests()) {
            const qint64 after = commanded.msecsTo(request.received);
            if (fetchedAfter < 0 && after >= 0 && request.method == "GET" && request.endpoint == "video/iso")
                fetchedAfter = after;
        }
        QVERIFY2(fetchedAfter >= 790 && fetchedAfter < 1500, qPrintable(QString::number(fetchedAfter)));

        focus->setValue(700);
        rig.camera(0).pushRawEvent(R"({"lens":{"focus":0.2}})");
        QTRY_COMPARE(focusOnEcho, 700);
        QTRY_COMPARE(rig.puts(0, "lens/focus"), (QList<QJsonObject>{{{"focus", 0.7}}}));
    }

    void stateIsShown_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QJsonObject>("value");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("irisEnabled");
        QTest::addColumn<bool>("shutterEnabled");
        const QString exposure = "video/autoExposure";
        QTest::newRow("iris 5.0 is nearest f/4.8") << "lens/iris" << QJsonObject{{"apertureStop", 5.0}} << "iris" << "f/4.8" << true << true;
        QTest::newRow("iris 3.0 is nearest f/2.8") << "lens/iris" << QJsonObject{{"apertureStop", 3.0}} << "iris" << "f/2.8" << true << true;
        QTest::newRow("type Iris") << exposure << QJsonObject{{"mode", "Continuous"}, {"type", "Iris"}} << "exposureMode"
                                   << "Shutter + Iris" << false << false;
        QTest::newRow("type Shutter") << exposure << QJsonObject{{"mode", "Continuous"}, {"type", "Shutter"}}
                                      << "exposureMode" << "Shutter" << true << false;
        QTest::newRow("both") << exposure << QJsonObject{{"mode", "Continuous"}, {"type", "Iris,Shutter"}} << "exposureMode"
                              << "Iris + Shutter" << false << false;
        QTest::newRow("mode Off wins") << exposure << QJsonObject{{"mode", "Off"}, {"type", "Iris"}} << "exposureMode"
                                       << "Manual" << true << true;
        QTest::newRow("unknown type") << exposure << QJsonObject{{"mode", "Continuous"}, {"type", "Gain"}}
                                      << "exposureMode" << "Manual" << true << true;
        QTest::newRow("nd 4 stops") << "video/ndFilter" << QJsonObject{{"stop", 4.0}} << "nd" << "4 stops" << true << true;
        QTest::newRow("unlisted iso keeps the choice") << "video/iso" << QJsonObject{{"iso", 640}} << "iso" << "800" << true << true;
    }

    void stateIsShown()
    {
        QFETCH(QString, endpoint);
        QFETCH(QJsonObject, value);
        QFETCH(QString, control);
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.setAndSweep(0, endpoint, value));
        QTEST(rig.control<QComboBox>(control)->currentText(), "shown");
        QTEST(rig.control<QComboBox>("iris")->isEnabled(), "irisEnabled");
        QTEST(rig.control<QComboBox>("shutter")->isEnabled(), "shutterEnabled");
    }

    void controlsSendCommands_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QJsonObject>("body");
        QTest::newRow("iso") << "iso" << 1 << "video/iso" << QJsonObject{{"iso", 1600}};
        QTest::newRow("nd") << "nd" << 1 << "video/ndFilter" << QJsonObject{{"stop", 2.0}};
        QTest::newRow("exposure Shutter") << "exposureMode" << 1 << "video/autoExposure"
                                          << QJsonObject{{"mode", "Continuous"}, {"type", "Shutter"}};
        QTest::newRow("exposure Iris") << "exposureMode" << 2 << "video/autoExposure"
                                       << QJsonObject{{"mode", "Continuous"}, {"type", "Iris"}};
        QTest::newRow("iris") << "iris" << 1 << "lens/iris" << QJsonObject{{"apertureStop", 4.8}};
        QTest::newRow("shutter") << "shutter" << 1 << "video/shutter" << QJsonObject{{"shutterSpeed", 60}};
        QTest::newRow("zoom") << "zoom" << 1 << "lens/zoom" << QJsonObject{{"normalised", 0.301}};
        QTest::newRow("auto focus") << "autoFocus" << 0 << "lens/focus/doAutoFocus" << QJsonObject();
        QTest::newRow("white balance preset") << "wbPreset3200" << 0 << "video/whiteBalance" << QJsonObject{{"whiteBalance", 3200}};
    }

    void controlsSendCommands()
    {
        QFETCH(QString, control);
        QFETCH(int, presses);
        QFETCH(QString, endpoint);
        Rig rig;
        QVERIFY(rig.start());
        rig.operate(control, presses);
        QTRY_COMPARE(rig.puts(0, endpoint).size(), qMax(presses, 1));
        QTEST(rig.puts(0, endpoint).last(), "body");
    }

    // The rates of every format, in numeric order; a choice goes out as a whole format.
    void frameRatesAreSortedAndSentAsAWholeFormat()
    {
        Rig rig;
        QVERIFY(rig.start());
        const QJsonObject resolution{{"width", 1920}, {"height", 1080}};
        const auto format = [&](const QStringList& rates) {
            return QJsonObject{{"recordResolution", resolution}, {"frameRates", QJsonArray::fromStringList(rates)}};
        };
        rig.camera(0).setEndpointValue("system/format", QJsonObject{{"codec", "ProRes:HQ"},
                                                                    {"frameRate", "25"},
                                                                    {"offSpeedEnabled", false},
                                                                    {"offSpeedFrameRate", 0},
                                                                    {"recordResolution", resolution},
                                                                    {"sensorResolution", QJsonObject{{"width", 0}, {"height", 0}}}});
        QVERIFY(rig.setAndSweep(0, "system/supportedFormats",
                                QJsonObject{{"supportedFormats", QJsonArray{format({"60", "23.98", "120"}), format({"59.94", "24"})}}}));
        auto* rates = rig.control<QComboBox>("frameRate");
        QCOMPARE(itemTexts(rates), (QStringList{"23.98 fps", "24 fps", "59.94 fps", "60 fps", "120 fps"}));
        rates->setCurrentIndex(1);
        QTRY_COMPARE(rig.puts(0, "system/format"),
                     (QList<QJsonObject>{{{"recordResolution", resolution},
                                          {"sensorResolution", resolution},
                                          {"codec", "ProRes:HQ"},
                                          {"frameRate", "24"},
                                          {"offSpeedEnabled", false},
                                          {"offSpeedFrameRate", 60}}}));
    }

    void ndFollowsTheModel_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("with ND") << "URSA Broadcast G2" << true;
        QTest::newRow("without ND") << "Studio Camera 4K Plus" << false;
    }

    // Selected before its model is known, every control is on until the camera answers.
    void ndFollowsTheModel()
    {
        QFETCH(QString, product);
        QFETCH(bool, enabled);
        Rig rig;
        rig.panel.setCurrentCamera(rig.addCamera(product));
        auto* nd = rig.control<QComboBox>("nd");
        QVERIFY(nd->isEnabled());
        QVERIFY(rig.waitForConnection(0));
        QTRY_COMPARE(nd->isEnabled(), enabled);
    }
};

QTEST_MAIN(TestVideoPanel)
#include "tst_videopanel.moc"
