#include "FileLogger.h"
#include "Startup.h"
#include "WheelGuard.h"
#include "WindowStartup.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {
void sendWheel(QWidget* target, int delta)
{
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}
}

// What the program sets up before its window: the log's message handler, the wheel guard,
// the fonts and the icon.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void messageHandlerMapsLevels()
    {
        FileLogger::instance()->setVerbose(true);
        QSignalSpy logged(FileLogger::instance(), &FileLogger::logged);
        const QtMessageHandler previous = qInstallMessageHandler(Startup::logMessageHandler);
        qDebug("debug text");
        qInfo("info text");
        qWarning() << "quoted" << QString("name");
        qCritical("critical text");
        qInstallMessageHandler(previous);
        QStringList lines;
        for (const QList<QVariant>& line : logged)
            lines << line.at(0).toString() + ' ' + line.at(1).toString();
        QCOMPARE(lines, (QStringList{"DEBUG debug text", "INFO info text", "WARN quoted \"name\"", "ERROR critical text"}));
    }

    // Over a page, the wheel scrolls the page instead of moving the slider or pull-down
    // under the pointer; a parentless pull-down swallows it.
    void wheelScrollsThePage()
    {
        WheelGuard guard;
        qApp->installEventFilter(&guard);
        QScrollArea area;
        area.resize(300, 200);
        auto* slider = new QSlider(Qt::Vertical);
        slider->setRange(0, 100);
        slider->setValue(50);
        slider->setMinimumHeight(2000);
        area.setWidget(slider);
        area.show();
        QComboBox combo;
        combo.addItems({"one", "two", "three"});
        combo.setCurrentIndex(1);
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area) && QTest::qWaitForWindowExposed(&combo));
        sendWheel(slider, -120);
        sendWheel(&combo, -120);
        sendWheel(&combo, -120);
        QCOMPARE(slider->value(), 50);
        QVERIFY(area.verticalScrollBar()->value() > 0);
        QCOMPARE(combo.currentIndex(), 1);
        qApp->removeEventFilter(&guard);
        // Without the guard the same wheel moves the slider, so the check above means something.
        sendWheel(slider, -120);
        QVERIFY(slider->value() != 50);
    }

    void fontsAndIcon()
    {
        Startup::setWindowIcon();
        Startup::installApplicationFonts();
        QCOMPARE(QFontInfo(QApplication::font()).family(), QString("IBM Plex Sans"));
        QVERIFY(!QApplication::windowIcon().pixmap(128).isNull());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
