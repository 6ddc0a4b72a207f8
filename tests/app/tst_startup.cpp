#include "AppCore.h"
#include "CameraManager.h"
#include "CoreTestSupport.h"
#include "FileLogger.h"
#include "MainWindow.h"
#include "Startup.h"
#include "WheelGuard.h"
#include "WindowStartup.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

namespace {
void sendWheel(QWidget* target, int delta)
{
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}
}

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void verboseSwitch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("verbose");
        QTest::newRow("alone") << QStringList{"kovra-control", "--verbose"} << true;
        QTest::newRow("among others") << QStringList{"kovra-control", "-platform", "offscreen", "--verbose", "x"} << true;
        QTest::newRow("absent") << QStringList{"kovra-control"} << false;
        QTest::newRow("capitalised") << QStringList{"kovra-control", "--Verbose"} << false;
        QTest::newRow("upper case") << QStringList{"kovra-control", "--VERBOSE"} << false;
        QTest::newRow("single dash") << QStringList{"kovra-control", "-verbose"} << false;
        QTest::newRow("with a value") << QStringList{"kovra-control", "--verbose=1"} << false;
        QTest::newRow("bare word") << QStringList{"kovra-control", "verbose"} << false;
    }

    void verboseSwitch()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, verbose);
        QCOMPARE(Startup::wantsVerbose(arguments), verbose);
    }

    void messageHandlerMapsLevels()
    {
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        FileLogger* logger = FileLogger::instance();
        QVERIFY(logger->open());
        logger->setVerbose(true);
        const QtMessageHandler previous = qInstallMessageHandler(Startup::logMessageHandler);
        qDebug("debug text");
        qInfo("info text");
        qWarning() << "quoted" << QString("name");
        qCritical("critical text");
        qInstallMessageHandler(previous);
        logger->close();

        QFile file(logger->logFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QVERIFY(lines[1].endsWith(" DEBUG debug text"));
        QVERIFY(lines[2].endsWith(" INFO info text"));
        QVERIFY(lines[3].endsWith(" WARN quoted \"name\""));
        QVERIFY(lines[4].endsWith(" ERROR critical text"));
    }

    void wheelOverSliderScrollsTheArea()
    {
        auto* guard = new WheelGuard(qApp);
        qApp->installEventFilter(guard);

        // The slider sits directly on the viewport, whose wheel events scroll the area.
        QScrollArea area;
        area.resize(300, 200);
        auto* slider = new QSlider(Qt::Vertical);
        slider->setRange(0, 100);
        slider->setValue(50);
        slider->setMinimumHeight(2000);
        area.setWidget(slider);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));

        QCOMPARE(area.verticalScrollBar()->value(), 0);
        sendWheel(slider, -120);
        QCOMPARE(slider->value(), 50);
        QVERIFY(area.verticalScrollBar()->value() > 0);

        qApp->removeEventFilter(guard);
        delete guard;
        // Without the guard the same wheel moves the slider, so the check above means something.
        sendWheel(slider, -120);
        QVERIFY(slider->value() != 50);
    }

    void wheelOverParentlessComboIsSwallowed()
    {
        WheelGuard guard;
        qApp->installEventFilter(&guard);
        QComboBox combo;
        combo.addItems({"one", "two", "three"});
        combo.setCurrentIndex(1);
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        sendWheel(&combo, -120);
        sendWheel(&combo, 120);
        sendWheel(&combo, 120);
        QCOMPARE(combo.currentIndex(), 1);
        qApp->removeEventFilter(&guard);
    }

    void identityFontsAndIcon()
    {
        Startup::setApplicationIdentity();
        Startup::setWindowIcon();
        Startup::installApplicationFonts();
        QCOMPARE(QCoreApplication::applicationName(), QString("Kovra Control"));
        QCOMPARE(QCoreApplication::applicationVersion(), QString("1.1.0"));
        QCOMPARE(QCoreApplication::organizationName(), QString("KovraControl"));
        QCOMPARE(QApplication::font().family(), QString("IBM Plex Sans"));
        QCOMPARE(QApplication::font().pointSize(), 13);
        QCOMPARE(QFontInfo(QApplication::font()).family(), QString("IBM Plex Sans"));

        const QImage icon(":/icons/KovraControl.png");
        QVERIFY(!icon.isNull());
        QVERIFY(icon.width() >= 128);
        // A drawn icon, not a blank square: several distinct colours.
        QSet<QRgb> colours;
        for (int y = 0; y < icon.height(); y += 8)
            for (int x = 0; x < icon.width(); x += 8)
                colours.insert(icon.pixel(x, y));
        QVERIFY(colours.size() > 10);
        QVERIFY(!QApplication::windowIcon().isNull());
    }

    void offlineWindow()
    {
        MainWindow window(nullptr, true);
        QCOMPARE(window.windowTitle(), QString("Kovra Control"));
        QCOMPARE(window.minimumSize(), QSize(1020, 560));
        QCOMPARE(window.size(), QSize(1200, 1100));
        QVERIFY(window.isOffline());
        QVERIFY(window.core()->isOffline());
    }

    void closingSavesTheConfiguration()
    {
        QTemporaryDir settingsHome;
        qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
        Startup::setApplicationIdentity();
        TestHome home;
        home.write("config.json", configDocument({cameraEntry("first", "192.0.2.20", 1)}, oscSettings(freeUdpPort())));

        MainWindow window(nullptr, false);
        QVERIFY(!window.isOffline());
        QCOMPARE(window.size(), QSize(1200, 1100));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.core()->cameraManager()->addCamera("Second", "192.0.2.21", 2);
        QVERIFY(window.close());

        QCOMPARE(home.readConfig()["cameras"].toArray().size(), 2);
        QVERIFY(QSettings().contains("geometry"));
        QVERIFY(QSettings().contains("windowState"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
