#include "Inst.h"
#include "InstChip.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTest>

namespace {

QImage render(QWidget& widget)
{
    widget.resize(widget.sizeHint());
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image.convertToFormat(QImage::Format_ARGB32);
}

}

class TestChip : public QObject {
    Q_OBJECT

private slots:
    void tones_data()
    {
        QTest::addColumn<int>("tone");
        QTest::addColumn<QString>("dark");
        QTest::addColumn<QString>("light");
        QTest::newRow("go") << 0 << "#38e07a" << "#1a854d";
        QTest::newRow("info") << 1 << "#45c7f5" << "#0e85b8";
        QTest::newRow("warn") << 2 << "#ff9f0a" << "#cc7300";
        QTest::newRow("bad") << 3 << "#ff453a" << "#ff3b30";
        QTest::newRow("idle") << 4 << "#8c96a3" << "#575e6b";
        QTest::newRow("unknown 7") << 7 << "#8c96a3" << "#575e6b";
    }

    void tones()
    {
        QFETCH(int, tone);
        QFETCH(QString, dark);
        QFETCH(QString, light);
        InstChip chip("CHIP", InstChip::Tone(tone));
        for (bool isDark : {true, false}) {
            Inst::setDark(isDark);
            QCOMPARE(InstChip::toneColor(InstChip::Tone(tone)).name(), isDark ? dark : light);
            // Left of the text, inside the pill: the tone at 0.18 of its alpha.
            const QImage image = render(chip);
            const QColor face = image.pixelColor(6, image.height() / 2);
            QVERIFY2(qAbs(face.alpha() - 46) <= 2, qPrintable(QString::number(face.alpha())));
            const QColor expected(isDark ? dark : light);
            QVERIFY(qAbs(face.red() - expected.red()) <= 6);
            QVERIFY(qAbs(face.green() - expected.green()) <= 6);
            QVERIFY(qAbs(face.blue() - expected.blue()) <= 6);
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }
    }

    void sizeFollowsText()
    {
        InstChip chip("GO", InstChip::Go);
        QCOMPARE(chip.font().pointSizeF(), 11.0);
        QCOMPARE(chip.font().weight(), QFont::Weight(600));
        chip.setText("CONNECTED");
        const QFontMetricsF metrics(chip.font());
        QCOMPARE(chip.sizeHint(), QSize(int(std::ceil(metrics.horizontalAdvance("CONNECTED") + 16)),
                                        int(std::ceil(metrics.height() + 4))));
        chip.setTone(InstChip::Bad);
        QCOMPARE(chip.tone(), InstChip::Bad);
    }

    void statusSplits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("detail");
        QTest::newRow("two parts") << "Connected - 3 cameras" << "Connected" << "3 cameras";
        QTest::newRow("one part") << "Idle" << "Idle" << "";
        QTest::newRow("first separator only") << "A - B - C" << "A" << "B - C";
        QTest::newRow("empty detail") << "Idle - " << "Idle" << "";
        QTest::newRow("empty main") << " - 2 lost" << "" << "2 lost";
        QTest::newRow("hyphen without spaces") << "Wi-Fi" << "Wi-Fi" << "";
    }

    void statusSplits()
    {
        QFETCH(QString, text);
        QFETCH(QString, main);
        QFETCH(QString, detail);
        QWidget window;
        auto* status = new InstStatus(&window);
        status->setText("Before - detail");
        status->setText(text);
        QCOMPARE(status->mainChip()->text(), main);
        QCOMPARE(status->detailChip()->text(), detail);
        QCOMPARE(status->detailChip()->isVisibleTo(&window), !detail.isEmpty());
    }

    void statusTones()
    {
        InstStatus status;
        QCOMPARE(status.mainChip()->tone(), InstChip::Idle);
        QCOMPARE(status.detailChip()->tone(), InstChip::Info);
        status.setTone(InstChip::Go);
        status.setDetailTone(InstChip::Warn);
        QCOMPARE(status.mainChip()->tone(), InstChip::Go);
        QCOMPARE(status.detailChip()->tone(), InstChip::Warn);
    }

    void dotColour()
    {
        InstDot dot(10);
        QCOMPARE(dot.size(), QSize(10, 10));
        Inst::setDark(false);
        QCOMPARE(render(dot).pixelColor(5, 5).name(), QStringLiteral("#1a854d"));
        Inst::setDark(true);
        QCOMPARE(render(dot).pixelColor(5, 5).name(), QStringLiteral("#38e07a"));
        dot.setColor(QColor("#ff453a"));
        const QImage image = render(dot);
        QCOMPARE(image.pixelColor(5, 5).name(), QStringLiteral("#ff453a"));
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    }
};

QTEST_MAIN(TestChip)
#include "tst_chip.moc"
