#include "Inst.h"
#include "InstLed.h"

#include <QHBoxLayout>
#include <QImage>
#include <QTest>

namespace {

constexpr int kHeight = 40;

// Where the middle of a segment of the cell starting at cellX lands in the widget.
QPoint segmentCentre(qreal cellX, char segment)
{
    const qreal h = kHeight;
    const qreal w = 0.56 * h;
    const qreal i = 0.066 * h;
    const qreal pad = 0.06 * h;
    QPointF p;
    switch (segment) {
    case 'a': p = {w / 2, i}; break;
    case 'b': p = {w - i, 0.25 * h + i / 2}; break;
    case 'c': p = {w - i, 0.75 * h - i / 2}; break;
    case 'd': p = {w / 2, h - i}; break;
    case 'e': p = {i, 0.75 * h - i / 2}; break;
    case 'f': p = {i, 0.25 * h + i / 2}; break;
    case 'g': p = {w / 2, 0.5 * h}; break;
    }
    return QPoint(int(pad + cellX + p.x()), int(pad + p.y()));
}

QImage render(InstLed& led)
{
    led.resize(led.sizeHint());
    QImage image(led.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    led.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A lit centre shows the core over its own glow: alpha L over 0.2 L.
int litAlpha(qreal lit)
{
    return qRound(255 * (lit + 0.2 * lit * (1 - lit)));
}

}

class TestLed : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        Inst::setDark(true);
    }

    void canShow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("12a") << "12a" << false;
        QTest::newRow("N/A") << "N/A" << false;
        QTest::newRow("minus sign 3.5") << QString(QChar(0x2212)) + "3.5" << true;
        QTest::newRow("timecode") << "00:01:02:03" << true;
        QTest::newRow("two spaces and 7") << "  7" << true;
        QTest::newRow("hyphen") << "-12" << true;
        QTest::newRow("plus") << "+3" << false;
        QTest::newRow("comma") << "1,5" << false;
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << true;
        QTest::newRow("superscript two") << QString::fromUtf8("\u00b2") << false;
    }

    void canShow()
    {
        QFETCH(QString, text);
        QFETCH(bool, shown);
        QCOMPARE(InstLed::canShow(text), shown);
    }

    void widths_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("width");
        QTest::addColumn<QSize>("hint");
        QTest::newRow("12.5 at 22") << 22 << "12.5" << 48.18 << QSize(51, 25);
        QTest::newRow("empty") << 22 << "" << 0.0 << QSize(3, 25);
        QTest::newRow("one digit") << 10 << "8" << 5.6 << QSize(7, 12);
        QTest::newRow("colon") << 20 << ":" << 6.0 << QSize(9, 23);
        QTest::newRow("space takes a cell") << 22 << " 7" << 2 * 0.56 * 22 + 0.07 * 22 << QSize(29, 25);
    }

    void widths()
    {
        QFETCH(int, height);
        QFETCH(QString, text);
        QFETCH(double, width);
        QFETCH(QSize, hint);
        InstLed led(height);
        QVERIFY(qAbs(led.widthOf(text) - width) < 1e-9);
        led.setText(text);
        QCOMPARE(led.sizeHint(), hint);
        QCOMPARE(led.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    }

    void reserveHoldsTheWidth()
    {
        QWidget holder;
        auto* row = new QHBoxLayout(&holder);
        auto* led = new InstLed(22);
        row->addWidget(led);
        row->addStretch(1);
        led->setText("1");
        holder.show();
        QTRY_COMPARE(led->width(), led->sizeHint().width());

        led->setText("1234");
        // 4 x 12.32 + 3 x 1.54 + 2 x 1.32 = 56.54
        QCOMPARE(led->sizeHint(), QSize(57, 25));
        QTRY_COMPARE(led->width(), 57);

        led->setReserve("00000");
        const QSize reserved = led->sizeHint();
        QCOMPARE(reserved.width(), int(std::ceil(led->widthOf("00000") + 2.64)));
        QTRY_COMPARE(led->width(), reserved.width());
        led->setText("7");
        QCOMPARE(led->sizeHint(), reserved);
        QCOMPARE(led->text(), QStringLiteral("7"));
    }

    void litAndGhostSegments_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("lit");
        QTest::newRow("8") << "8" << "abcdefg";
        QTest::newRow("1") << "1" << "bc";
        QTest::newRow("0") << "0" << "abcdef";
        QTest::newRow("2") << "2" << "abdeg";
        QTest::newRow("4") << "4" << "bcfg";
        QTest::newRow("7") << "7" << "abc";
        QTest::newRow("9") << "9" << "abcdfg";
        QTest::newRow("hyphen") << "-" << "g";
        QTest::newRow("minus sign") << QString(QChar(0x2212)) << "g";
        QTest::newRow("letter A") << "A" << "";
        QTest::newRow("arabic-indic three") << QString::fromUtf8("\u0663") << "abcdg";
    }

    void litAndGhostSegments()
    {
        QFETCH(QString, text);
        QFETCH(QString, lit);
        InstLed led(kHeight);
        led.setText(text);
        const QImage image = render(led);
        const QColor green = Inst::tokens().led;
        for (char segment : QByteArray("abcdefg")) {
            const QColor pixel = image.pixelColor(segmentCentre(0, segment));
            if (lit.contains(QLatin1Char(segment))) {
                QVERIFY2(qAbs(pixel.alpha() - 255) <= 2, qPrintable(QString("%1 alpha %2").arg(segment).arg(pixel.alpha())));
                QCOMPARE(pixel.name(), green.name());
            } else {
                QVERIFY2(qAbs(pixel.alpha() - 15) <= 2, qPrintable(QString("ghost %1 alpha %2").arg(segment).arg(pixel.alpha())));
            }
        }
    }

    void dimmedSegments()
    {
        InstLed led(kHeight);
        led.setText("1");
        led.setDim(true);
        QVERIFY(led.isDim());
        const QImage image = render(led);
        for (char segment : QByteArray("bc"))
            QVERIFY(qAbs(image.pixelColor(segmentCentre(0, segment)).alpha() - litAlpha(0.3)) <= 2);
        for (char segment : QByteArray("adefg"))
            QVERIFY(qAbs(image.pixelColor(segmentCentre(0, segment)).alpha() - 15) <= 2);
    }

    void spaceDrawsNothing()
    {
        InstLed led(kHeight);
        led.setText(" 8");
        const QImage image = render(led);
        for (char segment : QByteArray("abcdefg"))
            QCOMPARE(image.pixelColor(segmentCentre(0, segment)).alpha(), 0);
        const qreal secondCell = 0.56 * kHeight + 0.07 * kHeight;
        for (char segment : QByteArray("abcdefg"))
            QVERIFY(image.pixelColor(segmentCentre(secondCell, segment)).alpha() >= 253);
    }

    void dotsAndColons()
    {
        InstLed led(kHeight);
        led.setText("8.:");
        const QImage image = render(led);
        const qreal pad = 0.06 * kHeight;
        const qreal dotCell = 0.56 * kHeight + 0.07 * kHeight;
        const qreal colonCell = dotCell + 0.3 * kHeight + 0.07 * kHeight;
        const qreal middle = 0.15 * kHeight;
        auto alphaAt = [&](qreal cell, qreal y) { return image.pixelColor(int(pad + cell + middle), int(pad + y)).alpha(); };
        QVERIFY(alphaAt(dotCell, 0.9 * kHeight) >= 253);
        QCOMPARE(alphaAt(dotCell, 0.5 * kHeight), 0);
        QVERIFY(alphaAt(colonCell, 0.33 * kHeight) >= 253);
        QVERIFY(alphaAt(colonCell, 0.67 * kHeight) >= 253);
        QCOMPARE(alphaAt(colonCell, 0.5 * kHeight), 0);
    }

    void tonesAndAppearance_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("tone");
        QTest::addColumn<QString>("colour");
        QTest::newRow("dark go") << true << int(InstLed::Go) << "#38e07a";
        QTest::newRow("dark warn") << true << int(InstLed::Warn) << "#ff9f0a";
        QTest::newRow("dark bad") << true << int(InstLed::Bad) << "#ff453a";
        QTest::newRow("light go") << false << int(InstLed::Go) << "#1a854d";
        QTest::newRow("light bad") << false << int(InstLed::Bad) << "#ff3b30";
    }

    void tonesAndAppearance()
    {
        QFETCH(bool, dark);
        QFETCH(int, tone);
        QFETCH(QString, colour);
        InstLed led(kHeight);
        led.setText("8");
        led.setTone(InstLed::Tone(tone));
        Inst::setDark(dark);
        const QImage image = render(led);
        QCOMPARE(image.pixelColor(segmentCentre(0, 'g')).name(), colour);
    }
};

QTEST_MAIN(TestLed)
#include "tst_led.moc"
