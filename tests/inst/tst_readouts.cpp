#include "Inst.h"
#include "InstLed.h"
#include "InstReadout.h"
#include "InstValue.h"

#include <QHash>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QTest>

namespace {

constexpr int kHeight = 40;

// Where the middle of a segment of the cell starting at cellX lands in the widget.
QPoint segmentCentre(qreal cellX, char segment)
{
    const qreal h = kHeight, w = 0.56 * h, i = 0.066 * h, pad = 0.06 * h;
    const QHash<char, QPointF> at = {{'a', {w / 2, i}},          {'b', {w - i, 0.25 * h + i / 2}},
                                     {'c', {w - i, 0.75 * h - i / 2}}, {'d', {w / 2, h - i}},
                                     {'e', {i, 0.75 * h - i / 2}},     {'f', {i, 0.25 * h + i / 2}},
                                     {'g', {w / 2, 0.5 * h}}};
    return QPoint(int(pad + cellX + at[segment].x()), int(pad + at[segment].y()));
}

QImage render(InstLed& led)
{
    led.resize(led.sizeHint());
    QImage image(led.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    led.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image.convertToFormat(QImage::Format_ARGB32);
}

}

// The seven-segment LED and the value fields built on it.
class TestReadouts : public QObject {
    Q_OBJECT

private slots:
    void init() { Inst::setDark(true); }

    void canShow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("letters") << "12a" << false;
        QTest::newRow("minus sign") << QString(QChar(0x2212)) + "3.5" << true;
        QTest::newRow("timecode") << "00:01:02:03" << true;
        QTest::newRow("leading blanks") << "  7" << true;
        QTest::newRow("plus") << "+3" << false;
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << true;
        QTest::newRow("superscript two") << QString::fromUtf8("\u00b2") << false;
    }

    void canShow()
    {
        QFETCH(QString, text);
        QTEST(InstLed::canShow(text), "shown");
    }

    void segments_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tone");
        QTest::addColumn<bool>("dim");
        QTest::addColumn<QString>("lit");
        QTest::addColumn<QString>("colour");
        const int go = InstLed::Go;
        QTest::newRow("8") << "8" << go << false << "abcdefg" << "#38e07a";
        QTest::newRow("2") << "2" << go << false << "abdeg" << "#38e07a";
        QTest::newRow("minus sign") << QString(QChar(0x2212)) << go << false << "g" << "#38e07a";
        QTest::newRow("arabic-indic three") << QString::fromUtf8("\u0663") << go << false << "abcdg" << "#38e07a";
        QTest::newRow("4 warn") << "4" << int(InstLed::Warn) << false << "bcfg" << "#ff9f0a";
        QTest::newRow("0 bad") << "0" << int(InstLed::Bad) << false << "abcdef" << "#ff453a";
        QTest::newRow("1 dimmed") << "1" << go << true << "bc" << "#38e07a";
    }

    // Lit segments in the tone's colour, the others as a faint ghost.
    void segments()
    {
        QFETCH(QString, text);
        QFETCH(int, tone);
        QFETCH(bool, dim);
        QFETCH(QString, lit);
        QFETCH(QString, colour);
        InstLed led(kHeight);
        led.setText(text);
        led.setTone(InstLed::Tone(tone));
        led.setDim(dim);
        const QImage image = render(led);
        // A lit centre shows the core over its own glow: alpha L over 0.2 L.
        const qreal l = dim ? 0.3 : 1.0;
        const int litAlpha = qRound(255 * (l + 0.2 * l * (1 - l)));
        for (char segment : QByteArray("abcdefg")) {
            const QColor pixel = image.pixelColor(segmentCentre(0, segment));
            const int alpha = lit.contains(QLatin1Char(segment)) ? litAlpha : 15;
            QVERIFY2(qAbs(pixel.alpha() - alpha) <= 2, qPrintable(QString("%1: alpha %2").arg(segment).arg(pixel.alpha())));
            if (alpha == 255)
                QCOMPARE(pixel.name(), colour);
        }
    }

    // A blank takes a cell and draws nothing; dots and colons take narrow cells.
    void blanksDotsAndColons()
    {
        InstLed led(kHeight);
        led.setText(" 8.:");
        const QImage image = render(led);
        const qreal h = kHeight, cell = 0.63 * h, dot = 2 * cell, colon = dot + 0.37 * h;
        for (char segment : QByteArray("abcdefg")) {
            QCOMPARE(image.pixelColor(segmentCentre(0, segment)).alpha(), 0);
            QVERIFY(image.pixelColor(segmentCentre(cell, segment)).alpha() >= 253);
        }
        const auto alphaAt = [&](qreal x, qreal y) { return image.pixelColor(int(0.06 * h + x + 0.15 * h), int(0.06 * h + y)).alpha(); };
        QVERIFY(alphaAt(dot, 0.9 * h) >= 253);
        QCOMPARE(alphaAt(dot, 0.5 * h), 0);
        QVERIFY(alphaAt(colon, 0.33 * h) >= 253 && alphaAt(colon, 0.67 * h) >= 253);
        QCOMPARE(alphaAt(colon, 0.5 * h), 0);
    }

    // The width follows the text, or stays at the reserve's so that a changing value never
    // moves its neighbours.
    void reserveHoldsTheWidth()
    {
        QWidget holder;
        auto* row = new QHBoxLayout(&holder);
        auto* led = new InstLed(22);
        row->addWidget(led);
        row->addStretch(1);
        led->setText("1");
        holder.show();
        led->setText("1234");
        // 4 cells of 12.32, 3 gaps of 1.54, 2 pads of 1.32
        QTRY_COMPARE(led->width(), 57);
        led->setReserve("00000");
        const int reserved = led->sizeHint().width();
        QTRY_COMPARE(led->width(), reserved);
        led->setText("7");
        QCOMPARE(led->sizeHint().width(), reserved);
    }

    void valueSplitsNumberAndUnit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("number");    // on the LED; none: the text goes out as words
        QTest::addColumn<QString>("rest");      // the unit beside the LED, or the words
        QTest::newRow("number and unit") << "5600 K" << "5600" << "K";
        QTest::newRow("number alone") << "800" << "800" << "";
        QTest::newRow("negative") << "-12 dB" << "-12" << "dB";
        QTest::newRow("leading plus") << "+3.5 dB" << "3.5" << "dB";
        QTest::newRow("two pluses") << "++3" << "" << "++3";
        QTest::newRow("trimmed") << "  48.0  fps " << "48.0" << "fps";
        QTest::newRow("percent") << "62%" << "62" << "%";
        QTest::newRow("degrees") << QString::fromUtf8("45\u00b0") << "45" << QString::fromUtf8("\u00b0");
        QTest::newRow("timecode") << "00:01:02:03" << "00:01:02:03" << "";
        QTest::newRow("fraction") << "1/50" << "" << "1/50";
        QTest::newRow("f-stop, trimmed") << " f/2.8 " << "" << "f/2.8";
        QTest::newRow("no digit") << "-.:" << "" << "-.:";
        QTest::newRow("minus inside") << "12-3" << "" << "12-3";
        QTest::newRow("blank") << "   " << "" << "";
    }

    void valueSplitsNumberAndUnit()
    {
        QFETCH(QString, text);
        QFETCH(QString, number);
        QFETCH(QString, rest);
        QWidget window;
        auto* value = new InstValue(20, &window);
        value->setText("-12 dB");
        value->setText(text);
        const bool led = !number.isEmpty();
        QCOMPARE(value->led()->isVisibleTo(&window), led);
        QCOMPARE(value->wordsLabel()->isVisibleTo(&window), !led);
        QCOMPARE(value->unitLabel()->isVisibleTo(&window), led && !rest.isEmpty());
        if (led)
            QCOMPARE(QStringList({value->led()->text(), value->unitLabel()->text()}), QStringList({number, rest}));
        else
            QCOMPARE(value->wordsLabel()->text(), rest);
    }

    void readoutValueAndIdle()
    {
        QWidget window;
        auto* readout = new InstReadout("ISO", &window);
        readout->setValue("AUTO", "K");
        QVERIFY(!readout->led()->isVisibleTo(&window));
        QCOMPARE(readout->wordsLabel()->text(), QStringLiteral("AUTO"));
        QVERIFY(readout->unitLabel()->isVisibleTo(&window));
        readout->setIdle("--");
        QVERIFY(readout->led()->isVisibleTo(&window) && readout->led()->isDim());
        QVERIFY(!readout->wordsLabel()->isVisibleTo(&window));
        readout->setValue("800");
        QVERIFY(!readout->led()->isDim() && !readout->unitLabel()->isVisibleTo(&window));
    }

    // Only a readout with a neighbour to its right draws a divider.
    void readoutBarDividers()
    {
        InstReadoutBar bar;
        InstReadout* first = bar.addReadout("ISO");
        InstReadout* second = bar.addReadout("WB", 2);
        bar.resize(400, 80);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const QImage image = bar.grab().toImage();
        const auto rightEdge = [](const InstReadout* r) { return r->geometry().topRight() + QPoint(0, r->height() / 2); };
        QCOMPARE(image.pixelColor(rightEdge(first)).name(), Inst::tokens().bezel.name());
        QVERIFY(image.pixelColor(rightEdge(second)).name() != Inst::tokens().bezel.name());
        QVERIFY(second->width() > first->width());
    }
};

QTEST_MAIN(TestReadouts)
#include "tst_readouts.moc"
