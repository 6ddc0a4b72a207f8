#include "Inst.h"
#include "InstModuleHeader.h"

#include <QLabel>
#include <QTest>
#include <QToolTip>

class TestHeader : public QObject {
    Q_OBJECT

private slots:
    void selectorGeometry()
    {
        InstAppearanceSelector selector;
        QCOMPARE(selector.sizeHint(), QSize(72, 20));
        QCOMPARE(selector.accessibleName(), QStringLiteral("Appearance"));
        QCOMPARE(selector.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(InstAppearanceSelector::segmentRect(0), QRectF(1.5, 0, 23, 20));
        QCOMPARE(InstAppearanceSelector::segmentRect(1), QRectF(24.5, 0, 23, 20));
        QCOMPARE(InstAppearanceSelector::segmentRect(2), QRectF(47.5, 0, 23, 20));
        QCOMPARE(InstAppearanceSelector::segmentAt(QPointF(1, 10)), -1);
        QCOMPARE(InstAppearanceSelector::segmentAt(QPointF(71, 10)), -1);
    }

    void clicksChooseAndReport()
    {
        InstAppearanceSelector selector;
        selector.resize(selector.sizeHint());
        QList<Inst::Appearance> reported;
        selector.setChangeCallback([&](Inst::Appearance a) { reported << a; });
        selector.setAppearance(Inst::Dark);
        QVERIFY(reported.isEmpty());
        selector.show();
        QVERIFY(QTest::qWaitForWindowExposed(&selector));

        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(36, 10));
        QCOMPARE(selector.appearance(), Inst::Light);
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(36, 10));
        QTest::mouseClick(&selector, Qt::RightButton, {}, QPoint(12, 10));
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(0, 10));
        QCOMPARE(selector.appearance(), Inst::Light);
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(12, 10));
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(60, 10));
        QCOMPARE(reported, (QList<Inst::Appearance>{Inst::Light, Inst::System, Inst::Dark}));
    }

    void selectedSegmentIsPainted()
    {
        Inst::setDark(true);
        InstAppearanceSelector selector;
        selector.resize(selector.sizeHint());
        selector.setAppearance(Inst::Light);
        const QImage image = selector.grab().toImage();
        // The corner of the chosen segment carries the accent face; icons sit in the middle.
        QCOMPARE(image.pixelColor(29, 5).name(), Inst::tokens().accent.name());
        QVERIFY(image.pixelColor(6, 5).name() != Inst::tokens().accent.name());
    }

    void tooltipsPerSegment()
    {
        InstAppearanceSelector selector;
        selector.resize(selector.sizeHint());
        selector.show();
        QVERIFY(QTest::qWaitForWindowExposed(&selector));
        const QStringList expected{"System default", "Light", "Dark"};
        for (int n = 0; n < 3; ++n) {
            const QPoint at = InstAppearanceSelector::segmentRect(n).center().toPoint();
            QHelpEvent help(QEvent::ToolTip, at, selector.mapToGlobal(at));
            QApplication::sendEvent(&selector, &help);
            QTRY_COMPARE(QToolTip::text(), expected.at(n));
        }
    }

    void headerParts()
    {
        InstModuleHeader header("KOVRA CONTROL");
        auto* notice = new QLabel("MIDI LEARN");
        header.addNotice(notice);
        header.addNotice(nullptr);
        header.setInfo("3 cameras");
        header.resize(600, 40);
        header.show();
        QVERIFY(QTest::qWaitForWindowExposed(&header));
        QCOMPARE(header.infoLabel()->text(), QStringLiteral("3 cameras"));
        QCOMPARE(header.titleLabel()->property("tone").toByteArray(), QByteArray("sec"));
        QCOMPARE(header.infoLabel()->property("tone").toByteArray(), QByteArray("muted"));
        QCOMPARE(header.titleLabel()->font().letterSpacing(), 2.0);
        // Notices sit between the information text and the selector.
        QVERIFY(header.infoLabel()->geometry().right() < notice->geometry().left());
        QVERIFY(notice->geometry().right() < header.appearanceSelector()->geometry().left());

        Inst::setDark(true);
        const QImage image = header.grab().toImage();
        QCOMPARE(image.pixelColor(300, header.height() - 1).name(), Inst::tokens().bezel.name());
    }
};

QTEST_MAIN(TestHeader)
#include "tst_header.moc"
