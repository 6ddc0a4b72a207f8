#include "Inst.h"
#include "InstChecks.h"
#include "InstCombo.h"
#include "InstFrames.h"

#include <QBoxLayout>
#include <QFontMetricsF>
#include <QLabel>
#include <QTest>

namespace {

int advance(const QWidget& widget, const QString& text)
{
    return int(std::ceil(QFontMetricsF(widget.font()).horizontalAdvance(text)));
}

}

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        Inst::setDark(true);
    }

    void toggleSizeAndKnob()
    {
        InstToggle toggle("Tally");
        const QFontMetricsF metrics(toggle.font());
        QCOMPARE(toggle.font().pointSizeF(), 12.5);
        QCOMPARE(toggle.sizeHint(), QSize(int(std::ceil(metrics.horizontalAdvance("Tally") + 45)),
                                          std::max(20, int(std::ceil(metrics.height())))));
        toggle.resize(toggle.sizeHint());
        toggle.show();
        QVERIFY(QTest::qWaitForWindowExposed(&toggle));
        const int mid = toggle.height() / 2;

        QImage image = toggle.grab().toImage();
        QCOMPARE(image.pixelColor(10, mid), QColor(Qt::white));
        QCOMPARE(image.pixelColor(28, mid).name(), Inst::tokens().bezel.name());

        // The whole row is the hit area, text included.
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(toggle.width() - 4, mid));
        QVERIFY(toggle.isChecked());
        image = toggle.grab().toImage();
        QCOMPARE(image.pixelColor(24, mid), QColor(Qt::white));
        QCOMPARE(image.pixelColor(5, mid).name(), Inst::tokens().accent.name());
    }

    void checkSize()
    {
        InstCheck check("Zebra");
        const QFontMetricsF metrics(check.font());
        const int height = int(std::ceil(metrics.height()));
        QCOMPARE(check.sizeHint(), QSize(advance(check, "Zebra") + 26, height < 20 ? 19 : height));
        check.resize(check.sizeHint());
        check.show();
        QVERIFY(QTest::qWaitForWindowExposed(&check));
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(check.width() - 3, check.height() / 2));
        QVERIFY(check.isChecked());
        const QImage image = check.grab().toImage();
        // Along the box's top edge, clear of the tick.
        QCOMPARE(image.pixelColor(8, (check.height() - 14) / 2 + 2).name(), Inst::tokens().accent.name());
    }

    void checkRowColumns()
    {
        InstCheckRow row("Zebra", "95", "exposure stripes");
        QCOMPARE(row.accessibleName(), QStringLiteral("Zebra 95 exposure stripes"));
        row.setColumns(120, 60);
        QCOMPARE(row.nameWidth(), 120);
        QCOMPARE(row.valueWidth(), 60);
        QCOMPARE(row.sizeHint(), QSize(advance(row, "exposure stripes") + 120 + 60 + 63, 24));
    }

    void comboSizeAndForms()
    {
        InstCombo combo;
        combo.addItems({"24 fps", "23.976 fps", "25"});
        QCOMPARE(combo.maxVisibleItems(), 12);
        QCOMPARE(combo.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(combo.font().pointSizeF(), 12.5);
        QCOMPARE(combo.sizeHint(), QSize(advance(combo, "23.976 fps") + 43, 28));

        combo.resize(combo.sizeHint());
        QImage image = combo.grab().toImage();
        QCOMPARE(image.pixelColor(combo.width() / 2, 0).name(), Inst::tokens().bezel.name());
        QCOMPARE(image.pixelColor(combo.width() / 2, combo.height() / 2 + 9).name(), Inst::tokens().canvas.name());

        // In a table cell there is no box until the pull-down has focus.
        combo.setInTable(true);
        QVERIFY(combo.isInTable());
        image = combo.grab().toImage();
        QVERIFY(image.pixelColor(combo.width() / 2, 0).name() != Inst::tokens().bezel.name());
    }

    void sectionAndBezel()
    {
        InstSection section("LENS");
        QCOMPARE(section.content()->objectName(), QStringLiteral("instSectionContent"));
        section.contentLayout()->addWidget(new QLabel("content"));
        section.resize(300, 120);
        QImage image = section.grab().toImage();
        QCOMPARE(image.pixelColor(150, 0).name(), Inst::tokens().bezel.name());
        QCOMPARE(image.pixelColor(150, 3).name(), Inst::tokens().deck.name());
        section.setActive(true);
        QVERIFY(section.isActive());
        image = section.grab().toImage();
        QCOMPARE(image.pixelColor(150, 0).name(), Inst::tokens().accent.name());

        InstBezel bezel("WHITE BALANCE");
        QCOMPARE(bezel.captionLabel()->text(), QStringLiteral("WHITE BALANCE"));
        bezel.show();
        QVERIFY(bezel.captionLabel()->isVisible());
        bezel.setRowOnly();
        QVERIFY(!bezel.captionLabel()->isVisible());
        QCOMPARE(bezel.row()->spacing(), 12);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
