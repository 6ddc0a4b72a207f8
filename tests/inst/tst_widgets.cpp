#include "Inst.h"
#include "InstChecks.h"
#include "InstChip.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "InstModuleHeader.h"
#include "InstTabs.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

// The painted controls of the instrument look, on real widgets.
class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    void init() { Inst::setDark(true); }

    void chipTones_data()
    {
        QTest::addColumn<int>("tone");
        QTest::addColumn<QString>("colour");
        QTest::newRow("go") << int(InstChip::Go) << "#38e07a";
        QTest::newRow("warn") << int(InstChip::Warn) << "#ff9f0a";
        QTest::newRow("unknown") << 7 << "#8c96a3";
    }

    // A pill of the tone at 0.18 of its alpha, rounded off at the corners.
    void chipTones()
    {
        QFETCH(int, tone);
        QFETCH(QString, colour);
        InstChip chip("CHIP", InstChip::Tone(tone));
        chip.resize(chip.sizeHint());
        QImage image(chip.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        chip.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        const QColor face = image.convertToFormat(QImage::Format_ARGB32).pixelColor(6, image.height() / 2);
        const QColor expected(colour);
        QVERIFY2(qAbs(face.alpha() - 46) <= 2, qPrintable(QString::number(face.alpha())));
        QVERIFY(qAbs(face.red() - expected.red()) <= 6 && qAbs(face.green() - expected.green()) <= 6
                && qAbs(face.blue() - expected.blue()) <= 6);
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
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
        QTest::newRow("hyphen without spaces") << "Wi-Fi" << "Wi-Fi" << "";
    }

    void statusSplits()
    {
        QFETCH(QString, text);
        QFETCH(QString, detail);
        QWidget window;
        auto* status = new InstStatus(&window);
        status->setText("Before - detail");
        status->setText(text);
        QTEST(status->mainChip()->text(), "main");
        QCOMPARE(status->detailChip()->text(), detail);
        QCOMPARE(status->detailChip()->isVisibleTo(&window), !detail.isEmpty());
    }

    // Exactly one tab is checked whatever is clicked or asked for, and each change is told once.
    void exactlyOneTabChecked()
    {
        InstTabs tabs;
        QSignalSpy changed(&tabs, &InstTabs::currentChanged);
        for (const char* title : {"CAMERAS", "VIDEO", "COLOR"})
            tabs.addTab(new QLabel(title), title);
        QCOMPARE(tabs.addTab(nullptr, "NONE"), -1);
        tabs.show();
        const auto checked = [&] {
            QList<int> list;
            for (int n = 0; n < tabs.count(); ++n)
                if (tabs.tabButton(n)->isChecked())
                    list << n;
            return list;
        };
        tabs.setCurrentIndex(2);
        QVERIFY(tabs.page(2)->isVisible() && !tabs.page(0)->isVisible());
        QTest::mouseClick(tabs.tabButton(2), Qt::LeftButton);
        QCOMPARE(checked(), QList<int>{2});
        QTest::mouseClick(tabs.tabButton(1), Qt::LeftButton);
        for (int index : {-1, 3, 1})
            tabs.setCurrentIndex(index);
        QCOMPARE(tabs.currentIndex(), 1);
        QCOMPARE(checked(), QList<int>{1});
        QList<int> reported;
        for (const QList<QVariant>& call : changed)
            reported << call.first().toInt();
        QCOMPARE(reported, (QList<int>{0, 2, 1}));
    }

    // Left clicks on another segment choose and report it; the chosen one shows the accent.
    void appearanceSelector()
    {
        InstAppearanceSelector selector;
        selector.resize(selector.sizeHint());
        QList<Inst::Appearance> reported;
        selector.setChangeCallback([&](Inst::Appearance a) { reported << a; });
        selector.setAppearance(Inst::Dark);
        selector.show();
        QVERIFY(QTest::qWaitForWindowExposed(&selector));
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(36, 10));
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(36, 10));
        QTest::mouseClick(&selector, Qt::RightButton, {}, QPoint(12, 10));
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(0, 10));
        QCOMPARE(selector.appearance(), Inst::Light);
        const QImage image = selector.grab().toImage();
        QCOMPARE(image.pixelColor(29, 5).name(), Inst::tokens().accent.name());
        QVERIFY(image.pixelColor(6, 5).name() != Inst::tokens().accent.name());
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(12, 10));
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(60, 10));
        QCOMPARE(reported, (QList<Inst::Appearance>{Inst::Light, Inst::System, Inst::Dark}));
    }

    // Notices sit between the information text and the appearance selector.
    void headerNotices()
    {
        InstModuleHeader header("KOVRA CONTROL");
        auto* notice = new QLabel("MIDI LEARN");
        header.addNotice(notice);
        header.setInfo("3 cameras");
        header.resize(600, 40);
        header.show();
        QVERIFY(QTest::qWaitForWindowExposed(&header));
        QVERIFY(header.infoLabel()->geometry().right() < notice->geometry().left());
        QVERIFY(notice->geometry().right() < header.appearanceSelector()->geometry().left());
    }

    // The whole row is the hit area, text included; the knob and the box show the state.
    void toggleAndCheck()
    {
        InstToggle toggle("Tally");
        InstCheck check("Zebra");
        for (QCheckBox* box : {static_cast<QCheckBox*>(&toggle), static_cast<QCheckBox*>(&check)}) {
            box->resize(box->sizeHint());
            box->show();
            QVERIFY(QTest::qWaitForWindowExposed(box));
        }
        const int mid = toggle.height() / 2;
        QCOMPARE(toggle.grab().toImage().pixelColor(10, mid), QColor(Qt::white));
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(toggle.width() - 4, mid));
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(check.width() - 3, check.height() / 2));
        QVERIFY(toggle.isChecked() && check.isChecked());
        const QImage knob = toggle.grab().toImage();
        QCOMPARE(knob.pixelColor(24, mid), QColor(Qt::white));
        QCOMPARE(knob.pixelColor(5, mid).name(), Inst::tokens().accent.name());
        QCOMPARE(check.grab().toImage().pixelColor(8, (check.height() - 14) / 2 + 2).name(), Inst::tokens().accent.name());
    }

    // Wide enough for its widest item, so that choosing another never moves the layout; in
    // a table cell without a box.
    void comboFitsItsWidestItem()
    {
        InstCombo combo;
        combo.addItems({"24 fps", "23.976 fps", "25"});
        const QSize hint = combo.sizeHint();
        QVERIFY(hint.width() > QFontMetricsF(combo.font()).horizontalAdvance("23.976 fps") + 30);
        combo.setCurrentIndex(2);
        QCOMPARE(combo.sizeHint(), hint);
        combo.resize(hint);
        QCOMPARE(combo.grab().toImage().pixelColor(hint.width() / 2, 0).name(), Inst::tokens().bezel.name());
        combo.setInTable(true);
        QVERIFY(combo.grab().toImage().pixelColor(hint.width() / 2, 0).name() != Inst::tokens().bezel.name());
    }

    void activeSectionOutline()
    {
        InstSection section("LENS");
        section.contentLayout()->addWidget(new QLabel("content"));
        section.resize(300, 120);
        QCOMPARE(section.grab().toImage().pixelColor(150, 0).name(), Inst::tokens().bezel.name());
        QCOMPARE(section.grab().toImage().pixelColor(150, 3).name(), Inst::tokens().deck.name());
        section.setActive(true);
        QCOMPARE(section.grab().toImage().pixelColor(150, 0).name(), Inst::tokens().accent.name());
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
