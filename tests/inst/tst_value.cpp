#include "Inst.h"
#include "InstReadout.h"
#include "InstValue.h"

#include <QLabel>
#include <QTest>

class TestValue : public QObject {
    Q_OBJECT

private slots:
    void split_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("unit");
        QTest::newRow("number and unit") << "5600 K" << "5600" << "K";
        QTest::newRow("unit attached") << "5600K" << "5600" << "K";
        QTest::newRow("negative") << "-12 dB" << "-12" << "dB";
        QTest::newRow("leading plus") << "+3.5 dB" << "3.5" << "dB";
        QTest::newRow("two pluses") << "++3" << "" << "++3";
        QTest::newRow("trimmed") << "  48.0  fps " << "48.0" << "fps";
        QTest::newRow("number alone") << "800" << "800" << "";
        QTest::newRow("percent") << "62%" << "62" << "%";
        QTest::newRow("degrees") << QString::fromUtf8("45\u00b0") << "45" << QString::fromUtf8("\u00b0");
        QTest::newRow("timecode") << "00:01:02:03" << "00:01:02:03" << "";
        QTest::newRow("starts with a dot") << ".5 stop" << ".5" << "stop";
        QTest::newRow("fraction") << "1/50" << "" << "1/50";
        QTest::newRow("f-stop") << "f/2.8" << "" << "f/2.8";
        QTest::newRow("words") << "ISO 800" << "" << "ISO 800";
        QTest::newRow("no digit") << "-.:" << "" << "-.:";
        QTest::newRow("minus alone") << "-" << "" << "-";
        QTest::newRow("double minus") << "--5" << "" << "--5";
        QTest::newRow("minus inside") << "12-3" << "" << "12-3";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("blank") << "   " << "" << "";
    }

    void split()
    {
        QFETCH(QString, text);
        QFETCH(QString, number);
        QFETCH(QString, unit);
        QString gotNumber = "stale";
        QString gotUnit = "stale";
        const bool found = InstValue::split(text, &gotNumber, &gotUnit);
        QCOMPARE(gotNumber, number);
        QCOMPARE(gotUnit, unit);
        QCOMPARE(found, !number.isEmpty());
    }

    void setTextShowsLedOrWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("led");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("unitVisible");
        QTest::newRow("number with unit") << "5600 K" << true << "5600" << true;
        QTest::newRow("number alone") << "800" << true << "800" << false;
        QTest::newRow("words") << " f/2.8 " << false << "f/2.8" << false;
    }

    void setTextShowsLedOrWords()
    {
        QFETCH(QString, text);
        QFETCH(bool, led);
        QFETCH(QString, shown);
        QFETCH(bool, unitVisible);
        QWidget window;
        auto* value = new InstValue(20, &window);
        value->setText("-12 dB");
        value->setText(text);
        QCOMPARE(value->led()->isVisibleTo(&window), led);
        QCOMPARE(value->wordsLabel()->isVisibleTo(&window), !led);
        QCOMPARE(value->unitLabel()->isVisibleTo(&window), unitVisible);
        QCOMPARE(led ? value->led()->text() : value->wordsLabel()->text(), shown);
    }

    void reserveAndTone()
    {
        InstValue value(20);
        value.setReserve("-12 dB");
        QCOMPARE(value.led()->reserve(), QStringLiteral("-12"));
        value.setTone(InstLed::Bad);
        QCOMPARE(value.led()->tone(), InstLed::Bad);
        QCOMPARE(value.unitLabel()->property("tone").toByteArray(), QByteArray("muted"));
    }

    void readoutValueAndIdle()
    {
        QWidget window;
        auto* readout = new InstReadout("ISO", &window);
        readout->setValue("800");
        QVERIFY(readout->led()->isVisibleTo(&window));
        QVERIFY(!readout->led()->isDim());
        QVERIFY(!readout->wordsLabel()->isVisibleTo(&window));
        QVERIFY(!readout->unitLabel()->isVisibleTo(&window));

        readout->setValue("AUTO", "K");
        QVERIFY(!readout->led()->isVisibleTo(&window));
        QCOMPARE(readout->wordsLabel()->text(), QStringLiteral("AUTO"));
        QVERIFY(readout->unitLabel()->isVisibleTo(&window));
        QCOMPARE(readout->unitLabel()->text(), QStringLiteral("K"));

        readout->setIdle("--");
        QVERIFY(readout->led()->isVisibleTo(&window));
        QVERIFY(readout->led()->isDim());
        QCOMPARE(readout->led()->text(), QStringLiteral("--"));
        readout->setValue("5600", "K");
        QVERIFY(!readout->led()->isDim());

        readout->setWordsTone("bad");
        QCOMPARE(readout->wordsLabel()->property("tone").toByteArray(), QByteArray("bad"));
    }

    void readoutBarDividers()
    {
        InstReadoutBar bar;
        InstReadout* first = bar.addReadout("ISO");
        InstReadout* second = bar.addReadout("WB", 2);
        bar.resize(400, 80);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        Inst::setDark(true);
        const QColor bezel = Inst::tokens().bezel;
        const QImage image = bar.grab().toImage();
        // Only the readout with a neighbour to its right draws a divider.
        const QPoint firstEdge = first->geometry().topRight() + QPoint(0, first->height() / 2);
        const QPoint secondEdge = second->geometry().topRight() + QPoint(0, second->height() / 2);
        QCOMPARE(image.pixelColor(firstEdge).name(), bezel.name());
        QVERIFY(image.pixelColor(secondEdge).name() != bezel.name());
        QVERIFY(second->width() > first->width());
    }
};

QTEST_MAIN(TestValue)
#include "tst_value.moc"
