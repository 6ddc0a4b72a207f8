#include "AppCore.h"
#include "CameraManager.h"
#include "CameraPanel.h"
#include "CameraSimulator.h"
#include "CoreTestSupport.h"
#include "InstChip.h"
#include "InstCombo.h"
#include "InstTabs.h"
#include "LogPanel.h"
#include "MainWindow.h"
#include "OscListener.h"
#include "ScriptedBoxes.h"
#include "Startup.h"

#include <QAction>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>

// The window over its core, two simulated cameras and one that refuses connections, in a
// home of the test's own; one window for the whole run, as the operator has it.
class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home;
    CameraSimulator ursa{"URSA Broadcast G2"};
    CameraSimulator studio{"Studio Camera 4K Pro G2"};
    ScriptedBoxes boxes;
    std::unique_ptr<MainWindow> window;
    int oscPort = 0;

    CameraManager* manager() const { return window->core()->cameraManager(); }
    InstCombo* selector() const { return window->findChild<InstCombo*>("cameraSelector"); }
    QString label(const char* name) const { return window->findChild<QLabel*>(name)->text(); }
    void trigger(const QString& text)
    {
        for (QAction* action : window->findChildren<QAction*>())
            if (action->text() == text)
                return action->trigger();
        QFAIL(qPrintable("no menu entry " + text));
    }

private slots:
    void initTestCase()
    {
        Startup::setApplicationIdentity();
        QSettings().clear();
        QSettings().setValue("lastCameraId", "a");
        QVERIFY(ursa.listen() && studio.listen());
        home = std::make_unique<TestHome>();
        oscPort = freeUdpPort();
        home->write("config.json",
                    configDocument({cameraEntry("a", ursa.hostAndPort(), 2), cameraEntry("b", studio.hostAndPort(), 1),
                                    cameraEntry("c", "127.0.0.1:1", 3)},
                                   oscSettings(oscPort)));
        window = std::make_unique<MainWindow>(nullptr, false, &boxes);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // Listed by OSC index; the last camera of the previous run is selected, and stays so
    // when the list changes; a row chosen on the Cameras tab selects that camera here.
    void selectorFollowsTheCameraList()
    {
        QStringList items;
        for (int i = 0; i < selector()->count(); ++i)
            items << selector()->itemText(i);
        QCOMPARE(items, QStringList({QString("[1] Cam b  (%1) ").arg(studio.hostAndPort()),
                                     QString("[2] Cam a  (%1) ").arg(ursa.hostAndPort()), "[3] Cam c  (127.0.0.1:1) "}));
        QCOMPARE(window->currentCameraId(), QString("a"));

        QSignalSpy selections(window.get(), &MainWindow::cameraSelected);
        QSignalSpy lists(manager(), &CameraManager::cameraListChanged);
        manager()->addCamera("Extra", "127.0.0.1:2", 7);
        QCOMPARE(selector()->count(), 4);
        QVERIFY(lists.size() >= 1);
        QCOMPARE(selections.size(), lists.size());
        for (const QList<QVariant>& selection : selections)
            QCOMPARE(selection.first().toString(), QString("a"));

        auto* table = window->findChild<QTableWidget*>("cameraTable");
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(2, 2)).center());
        QCOMPARE(window->currentCameraId(), QString("c"));
        selector()->setCurrentIndex(selector()->findData("a"));
    }

    // The message rate counts the datagrams of each tick, and starts again from nought.
    void statusBar()
    {
        QTRY_COMPARE(label("oscLabel"), QString("OSC: in %1").arg(oscPort));
        QTRY_COMPARE_WITH_TIMEOUT(label("camerasLabel"), QString("Cameras: 2/4 connected"), 10000);
        QCOMPARE(label("switcherLabel"), QString("SW: Virtual Switcher"));
        QSignalSpy ticks(window->findChild<QTimer*>("statusTimer"), &QTimer::timeout);
        QVERIFY(ticks.wait());
        QSignalSpy received(window->core()->oscListener(), &OscListener::messageReceived);
        QUdpSocket desk;
        for (int n = 0; n < 10; ++n)
            desk.writeDatagram(QByteArray("/status/test\0\0\0\0,\0\0\0", 20), QHostAddress::LocalHost, quint16(oscPort));
        QTRY_COMPARE(received.size(), 10);
        QVERIFY(ticks.wait());
        QCOMPARE(label("rateLabel"), QString("10 msg/s"));
        QVERIFY(ticks.wait());
        QCOMPARE(label("rateLabel"), QString("0 msg/s"));
    }

    // A blinking warning while the selected camera shows bars or the program feed.
    void videoWarning()
    {
        QTRY_COMPARE_WITH_TIMEOUT(manager()->cameraList()->camera("a")->status, CameraStatus::Connected, 10000);
        auto* chip = window->findChild<InstChip*>("videoWarning");
        QVERIFY(!chip->isVisible());
        manager()->sendCommand("a", "camera/colorBars", QJsonObject{{"enabled", true}});
        manager()->sendCommand("a", "camera/programFeedDisplay", QJsonObject{{"enabled", true}});
        QTRY_COMPARE_WITH_TIMEOUT(chip->text(), QString("⚠ COLOR BARS + PROGRAM FEED ACTIVE"), 10000);
        QVERIFY(chip->isVisible());
        QTRY_VERIFY(qobject_cast<QGraphicsOpacityEffect*>(chip->graphicsEffect()));
        selector()->setCurrentIndex(selector()->findData("b"));
        QVERIFY(!chip->isVisible() && !chip->graphicsEffect());
        selector()->setCurrentIndex(selector()->findData("a"));
        QVERIFY(chip->isVisible());
    }

    void foundCamerasReachTheCamerasTab()
    {
        window->showStatusMessage(QString(), 0);
        window->core()->onAutoDiscoveredCamera({studio.hostAndPort(), "studio.local", "Studio Camera 4K Pro G2", "8.6", true});
        window->core()->onAutoDiscoveredCamera({"127.0.0.8", "deck.local", "HyperDeck Studio", "8.6", false});
        QCOMPARE(window->statusMessage(), QString());
        window->core()->onAutoDiscoveredCamera({"127.0.0.9", "Booth-Cam.local", "URSA Broadcast G2", "8.6", true});
        QCOMPARE(window->statusMessage(), QString("Found Booth-Cam.local (127.0.0.9) - add it on the Cameras tab"));
        const QListWidget* results = window->findChild<CameraPanel*>()->findChild<QListWidget*>("discoveredList");
        QCOMPARE(results->count(), 1);
        QVERIFY(results->item(0)->text().startsWith("Booth-Cam.local (127.0.0.9)"));
    }

    void errorsReachTheLogTab()
    {
        ursa.refuseEndpoint("video/iso", CameraSimulator::Refusal::NotImplemented);
        manager()->sendCommand("a", "video/iso", QJsonObject{{"iso", 400}});
        auto* log = window->findChild<LogPanel*>();
        QTRY_VERIFY(!log->entries().isEmpty()
                    && log->entries().last().message.startsWith(QString("PUT %1/video/iso: ").arg(ursa.hostAndPort())));
        QCOMPARE(log->entries().last().level, QString("ERROR"));
    }

    // Saving and loading through the File menu's boxes; an imported listen port shows on
    // the OSC tab.
    void configurationFiles()
    {
        const QString exported = home->path() + "/show.kovra";
        boxes.fileNames = {exported, home->path()};
        trigger("&Save Config...");
        QCOMPARE(window->statusMessage(), QString("Config saved to %1").arg(exported));
        QVERIFY(QFile::exists(exported));
        trigger("&Save Config...");
        QCOMPARE(boxes.shown.last().title + ": " + boxes.shown.last().text,
                 QString("Save Error: Failed to save config to %1").arg(home->path()));

        const int newPort = freeUdpPort();
        const QString imported = home->path() + "/other.kovra";
        TestHome::writeAt(imported, configDocument({}, oscSettings(newPort)));
        boxes.fileNames = {imported, home->path() + "/missing.kovra"};
        trigger("&Load Config...");
        QCOMPARE(window->statusMessage(), QString("Config loaded from %1").arg(imported));
        QCOMPARE(window->findChild<QSpinBox*>("inboundPort")->value(), newPort);
        QCOMPARE(selector()->count(), 4);
        trigger("&Load Config...");
        QCOMPARE(boxes.shown.last().title, QString("Load Error"));
    }

    void menus()
    {
        trigger("About Kovra Control");
        QCOMPARE(boxes.shown.last().kind, QString("about"));
        QVERIFY(boxes.shown.last().text.contains("<p>Version 1.1.0</p>"));
        trigger("&Verbose Logging");
        QVERIFY(window->findChild<LogPanel*>()->isVerbose());
        window->findChild<LogPanel*>()->setVerbose(false);
        window->tabs()->setCurrentIndex(2);
        trigger("&Add Camera...");
        QCOMPARE(window->tabs()->currentIndex(), 0);
    }

    // Closing saves the cameras, the window's place and the selected camera.
    void cleanupTestCase()
    {
        selector()->setCurrentIndex(selector()->findData("b"));
        QVERIFY(window->close());
        QCOMPARE(QSettings().value("lastCameraId").toString(), QString("b"));
        QVERIFY(QSettings().contains("geometry"));
        QCOMPARE(home->readConfig()["cameras"].toArray().size(), 4);
        window.reset();
    }

    void connectionReadout_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tone");
        const int connected = int(CameraStatus::Connected);
        QTest::newRow("connecting") << int(CameraStatus::Connecting) << "" << "" << "Connecting to 10.0.0.7…" << "info";
        QTest::newRow("connected") << connected << "URSA Broadcast G2" << "8.6" << "URSA Broadcast G2  •  FW 8.6  •  10.0.0.7" << "go";
        QTest::newRow("connected, no model") << connected << "" << "8.6" << "Connected  •  10.0.0.7" << "go";
        QTest::newRow("error") << int(CameraStatus::Error) << "" << "" << "Connection failed — 10.0.0.7" << "bad";
        QTest::newRow("not a camera") << int(CameraStatus::NotACamera) << "HyperDeck Studio" << ""
                                      << "Not a camera — HyperDeck Studio at 10.0.0.7" << "bad";
        QTest::newRow("disconnected") << int(CameraStatus::Disconnected) << "" << "" << "Disconnected — 10.0.0.7" << "muted";
    }

    // Offline, so that nothing changes the camera's status but the test.
    void connectionReadout()
    {
        MainWindow offline(nullptr, true, &boxes);
        Camera camera;
        camera.id = "only";
        camera.ip = "10.0.0.7";
        QFETCH(int, status);
        camera.status = CameraStatus(status);
        QFETCH(QString, model);
        camera.model = model;
        QFETCH(QString, firmware);
        camera.firmware = firmware;
        offline.core()->cameraManager()->cameraList()->addCamera(camera);
        offline.onCameraListChanged();
        auto* readout = offline.findChild<QLabel*>("connectionLabel");
        QTEST(readout->text(), "text");
        QTEST(QString::fromUtf8(readout->property("tone").toByteArray()), "tone");
    }

    // An offline window (a second instance) reads, writes, asks, listens and browses nothing.
    void offlineWindowTouchesNothing()
    {
        QSettings().clear();
        QSettings().setValue("lastCameraId", "second");
        const TestHome offlineHome;
        offlineHome.write("config.json", configDocument({cameraEntry("saved", "192.0.2.17", 1)}, oscSettings(freeUdpPort())));
        const QByteArray document = offlineHome.read("config.json");
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        {
            MainWindow offline(nullptr, true, &boxes);
            offline.show();
            CameraList* list = offline.core()->cameraManager()->cameraList();
            QCOMPARE(list->count(), 0);
            for (const char* id : {"first", "second"}) {
                Camera camera;
                camera.id = id;
                camera.ip = simulator.hostAndPort();
                camera.oscIndex = list->count() + 1;
                list->addCamera(camera);
            }
            offline.onCameraListChanged();
            QCOMPARE(offline.currentCameraId(), QString("first"));
            QSignalSpy requests(&simulator, &CameraSimulator::requestReceived);
            offline.findChild<InstCombo*>("cameraSelector")->setCurrentIndex(1);
            QVERIFY(!requests.wait(300));
            QVERIFY(!offline.core()->oscListener()->isRunning() && !offline.core()->scanner());
            QVERIFY(!offline.core()->saveConfigToFile(offlineHome.path() + "/x.kovra"));
            QVERIFY(offline.close());
        }
        QCOMPARE(simulator.requests().size(), 0);
        QCOMPARE(QSettings().value("lastCameraId").toString(), QString("second"));
        QVERIFY(!QSettings().contains("geometry"));
        QCOMPARE(offlineHome.read("config.json"), document);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
