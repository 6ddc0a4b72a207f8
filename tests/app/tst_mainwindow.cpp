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

namespace {

QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QString labelText(const QWidget* window, const char* name)
{
    return window->findChild<QLabel*>(name)->text();
}

QAction* menuAction(const QWidget* window, const QString& text)
{
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

}

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

private slots:
    void initTestCase()
    {
        Startup::setApplicationIdentity();
        QSettings().clear();
        QSettings().setValue("lastCameraId", "a");
        QVERIFY(ursa.listen());
        QVERIFY(studio.listen());
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

    void selectorFollowsTheCameraList()
    {
        QCOMPARE(itemTexts(selector()),
                 QStringList({QString("[1] Cam b  (%1) ").arg(studio.hostAndPort()),
                              QString("[2] Cam a  (%1) ").arg(ursa.hostAndPort()), "[3] Cam c  (127.0.0.1:1) "}));
        QCOMPARE(window->currentCameraId(), QString("a"));

        QSignalSpy indexChanges(selector(), &QComboBox::currentIndexChanged);
        QSignalSpy selections(window.get(), &MainWindow::cameraSelected);
        QSignalSpy lists(manager(), &CameraManager::cameraListChanged);
        manager()->addCamera("Extra", "127.0.0.1:2", 7);
        QCOMPARE(selector()->count(), 4);
        QCOMPARE(indexChanges.size(), 0);
        // One selection after each rebuild (the manager announces an added camera twice).
        QVERIFY(lists.size() >= 1);
        QCOMPARE(selections.size(), lists.size());
        for (const QList<QVariant>& selection : selections)
            QCOMPARE(selection.first().toString(), QString("a"));

        // Choosing a row on the Cameras tab selects that camera here.
        auto* table = window->findChild<QTableWidget*>("cameraTable");
        const QRect row = table->visualItemRect(table->item(2, 2));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(window->currentCameraId(), QString("c"));
        selector()->setCurrentIndex(selector()->findData("a"));
    }

    void statusBar()
    {
        QTRY_COMPARE(labelText(window.get(), "oscLabel"), QString("OSC: in %1").arg(oscPort));
        QTRY_COMPARE_WITH_TIMEOUT(labelText(window.get(), "camerasLabel"), QString("Cameras: 2/4 connected"), 10000);
        QCOMPARE(labelText(window.get(), "switcherLabel"), QString("SW: Virtual Switcher"));

        QSignalSpy ticks(window->findChild<QTimer*>("statusTimer"), &QTimer::timeout);
        QVERIFY(ticks.wait());
        QSignalSpy received(window->core()->oscListener(), &OscListener::messageReceived);
        QUdpSocket desk;
        for (int n = 0; n < 10; ++n)
            desk.writeDatagram(QByteArray("/status/test\0\0\0\0,\0\0\0", 20), QHostAddress::LocalHost, quint16(oscPort));
        QTRY_COMPARE(received.size(), 10);
        QVERIFY(ticks.wait());
        QCOMPARE(labelText(window.get(), "rateLabel"), QString("10 msg/s"));
        QVERIFY(ticks.wait());
        QCOMPARE(labelText(window.get(), "rateLabel"), QString("0 msg/s"));
    }

    void videoWarning()
    {
        QTRY_COMPARE_WITH_TIMEOUT(manager()->cameraList()->camera("a")->status, CameraStatus::Connected, 10000);
        auto* chip = window->findChild<InstChip*>("videoWarning");
        QVERIFY(!chip->isVisible());
        manager()->sendCommand("a", "camera/colorBars", QJsonObject{{"enabled", true}});
        manager()->sendCommand("a", "camera/programFeedDisplay", QJsonObject{{"enabled", true}});
        QTRY_VERIFY_WITH_TIMEOUT(chip->isVisible(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(chip->text(), QString("⚠ COLOR BARS + PROGRAM FEED ACTIVE"), 10000);
        QTRY_VERIFY(qobject_cast<QGraphicsOpacityEffect*>(chip->graphicsEffect()));

        selector()->setCurrentIndex(selector()->findData("b"));
        QVERIFY(!chip->isVisible());
        QVERIFY(!chip->graphicsEffect());
        selector()->setCurrentIndex(selector()->findData("a"));
        QVERIFY(chip->isVisible());
    }

    void foundCameras()
    {
        window->showStatusMessage(QString(), 0);
        window->core()->onAutoDiscoveredCamera({studio.hostAndPort(), "studio.local", "Studio Camera 4K Pro G2", "8.6", true});
        QCOMPARE(window->statusMessage(), QString());

        window->core()->onAutoDiscoveredCamera({"127.0.0.9", "Booth-Cam.local", "URSA Broadcast G2", "8.6", true});
        QCOMPARE(window->statusMessage(), QString("Found Booth-Cam.local (127.0.0.9) - add it on the Cameras tab"));
        const QListWidget* results = window->findChild<CameraPanel*>()->findChild<QListWidget*>();
        QVERIFY(results);
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

    void configurationFiles()
    {
        const QString exported = home->path() + "/show.kovra";
        boxes.fileNames = {exported, home->path()};
        window->onSaveConfig();
        QCOMPARE(window->statusMessage(), QString("Config saved to %1").arg(exported));
        QVERIFY(QFile::exists(exported));
        window->onSaveConfig();
        QCOMPARE(boxes.shown.last().title, QString("Save Error"));
        QCOMPARE(boxes.shown.last().text, QString("Failed to save config to %1").arg(home->path()));

        // An import with another listen port: the OSC tab shows it and the listener moves.
        const int newPort = freeUdpPort();
        const QString imported = home->path() + "/other.kovra";
        QFile file(imported);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(configDocument({}, oscSettings(newPort)));
        file.close();
        boxes.fileNames = {imported};
        window->onLoadConfig();
        QCOMPARE(boxes.shown.last().kind, QString("open"));
        QCOMPARE(window->statusMessage(), QString("Config loaded from %1").arg(imported));
        QCOMPARE(window->findChild<QSpinBox*>("inboundPort")->value(), newPort);
        QTRY_COMPARE(labelText(window.get(), "oscLabel"), QString("OSC: in %1").arg(newPort));
        QCOMPARE(selector()->count(), 4);

        boxes.fileNames = {home->path() + "/missing.kovra"};
        window->onLoadConfig();
        QCOMPARE(boxes.shown.last().title, QString("Load Error"));
    }

    void menus()
    {
        menuAction(window.get(), "About Kovra Control")->trigger();
        QCOMPARE(boxes.shown.last().kind, QString("about"));
        QCOMPARE(boxes.shown.last().title, QString("About Kovra Control"));
        QVERIFY(boxes.shown.last().text.contains("<p>Version 1.1.0</p>"));
        QVERIFY(!menuAction(window.get(), "Check for Updates…")->isEnabled());

        QAction* verbose = menuAction(window.get(), "&Verbose Logging");
        auto* log = window->findChild<LogPanel*>();
        verbose->trigger();
        QVERIFY(log->isVerbose());
        log->setVerbose(false);
        QVERIFY(!verbose->isChecked());

        window->tabs()->setCurrentIndex(2);
        menuAction(window.get(), "&Add Camera...")->trigger();
        QCOMPARE(window->tabs()->currentIndex(), 0);
    }

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
        QTest::newRow("connected") << connected << "URSA Broadcast G2" << "8.6"
                                   << "URSA Broadcast G2  •  FW 8.6  •  10.0.0.7" << "go";
        QTest::newRow("connected, no firmware") << connected << "URSA Broadcast G2" << ""
                                                << "URSA Broadcast G2  •  10.0.0.7" << "go";
        QTest::newRow("connected, no model") << connected << "" << "8.6" << "Connected  •  10.0.0.7" << "go";
        QTest::newRow("error") << int(CameraStatus::Error) << "" << "" << "Connection failed — 10.0.0.7" << "bad";
        QTest::newRow("not a camera") << int(CameraStatus::NotACamera) << "HyperDeck Studio" << ""
                                      << "Not a camera — HyperDeck Studio at 10.0.0.7" << "bad";
        QTest::newRow("disconnected") << int(CameraStatus::Disconnected) << "" << "" << "Disconnected — 10.0.0.7"
                                      << "muted";
    }

    // Offline, so that nothing changes the camera's status but the test.
    void connectionReadout()
    {
        QFETCH(int, status);
        QFETCH(QString, model);
        QFETCH(QString, firmware);
        QFETCH(QString, text);
        QFETCH(QString, tone);
        MainWindow offline(nullptr, true, &boxes);
        auto* label = offline.findChild<QLabel*>("connectionLabel");
        QCOMPARE(label->text(), QString("No camera selected"));
        QCOMPARE(offline.findChild<InstCombo*>("cameraSelector")->currentText(), QString("(No cameras configured)"));

        Camera camera;
        camera.id = "only";
        camera.name = "Only";
        camera.ip = "10.0.0.7";
        camera.oscIndex = 1;
        CameraList* list = offline.core()->cameraManager()->cameraList();
        list->addCamera(camera);
        offline.onCameraListChanged();
        Camera* stored = list->camera("only");
        stored->status = CameraStatus(status);
        stored->model = model;
        stored->firmware = firmware;
        offline.updateConnectionIndicator();
        QCOMPARE(label->text(), text);
        QCOMPARE(label->property("tone").toByteArray(), tone.toUtf8());
    }

    void offlineWindowTouchesNothing()
    {
        QSettings().clear();
        QSettings().setValue("app.appearance", "light");
        QSettings().setValue("lastCameraId", "second");
        QSettings().sync();
        Inst::setAppearance(Inst::Dark);
        const TestHome offlineHome;
        CameraSimulator simulator;
        QVERIFY(simulator.listen());
        {
            MainWindow offline(nullptr, true, &boxes);
            offline.show();
            CameraList* list = offline.core()->cameraManager()->cameraList();
            for (const char* id : {"first", "second"}) {
                Camera camera;
                camera.id = id;
                camera.name = id;
                camera.ip = simulator.hostAndPort();
                camera.oscIndex = list->count() + 1;
                list->addCamera(camera);
            }
            offline.onCameraListChanged();
            QCOMPARE(offline.currentCameraId(), QString("first"));
            QCOMPARE(Inst::appearance(), Inst::Dark);
            offline.findChild<InstCombo*>("cameraSelector")->setCurrentIndex(1);
            QTest::qWait(300);
            QVERIFY(offline.close());
        }
        QCOMPARE(simulator.requests().size(), 0);
        QCOMPARE(QSettings().value("lastCameraId").toString(), QString("second"));
        QVERIFY(!QSettings().contains("geometry"));
        QVERIFY(!QFile::exists(offlineHome.configPath()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
