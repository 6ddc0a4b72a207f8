#include "Inst.h"
#include "InstTabs.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

QList<int> checkedTabs(const InstTabs& tabs)
{
    QList<int> checked;
    for (int n = 0; n < tabs.count(); ++n) {
        if (tabs.tabButton(n)->isChecked())
            checked << n;
    }
    return checked;
}

}

class TestTabs : public QObject {
    Q_OBJECT

private slots:
    void exactlyOneTabChecked()
    {
        InstTabs tabs;
        QSignalSpy changed(&tabs, &InstTabs::currentChanged);
        QCOMPARE(tabs.addTab(new QLabel("one"), "CAMERAS"), 0);
        QCOMPARE(tabs.addTab(new QLabel("two"), "VIDEO"), 1);
        QCOMPARE(tabs.addTab(new QLabel("three"), "COLOR"), 2);
        QCOMPARE(tabs.addTab(nullptr, "NONE"), -1);
        QCOMPARE(tabs.count(), 3);
        tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tabs));
        QCOMPARE(tabs.currentIndex(), 0);
        QCOMPARE(checkedTabs(tabs), QList<int>{0});

        tabs.setCurrentIndex(2);
        QCOMPARE(tabs.currentIndex(), 2);
        QCOMPARE(checkedTabs(tabs), QList<int>{2});
        QVERIFY(tabs.page(2)->isVisible());
        QVERIFY(!tabs.page(0)->isVisible());

        // Clicking the current tab again must not leave no tab checked.
        QTest::mouseClick(tabs.tabButton(2), Qt::LeftButton);
        QCOMPARE(checkedTabs(tabs), QList<int>{2});

        QTest::mouseClick(tabs.tabButton(1), Qt::LeftButton);
        QCOMPARE(tabs.currentIndex(), 1);
        QCOMPARE(checkedTabs(tabs), QList<int>{1});

        for (int bad : {-1, 3, 99}) {
            tabs.setCurrentIndex(bad);
            QCOMPARE(tabs.currentIndex(), 1);
            QCOMPARE(checkedTabs(tabs), QList<int>{1});
        }
        tabs.setCurrentIndex(1);

        QList<int> reported;
        for (const QList<QVariant>& call : changed)
            reported << call.first().toInt();
        QCOMPARE(reported, (QList<int>{0, 2, 1}));
    }

    void tabButtonsAreTagged()
    {
        InstTabs tabs;
        tabs.addTab(new QLabel("page"), "LOG");
        QPushButton* button = tabs.tabButton(0);
        QCOMPARE(button->text(), QStringLiteral("LOG"));
        QCOMPARE(button->property("inst").toByteArray(), QByteArray("tab"));
        QVERIFY(button->isCheckable());
        QCOMPARE(button->font().family(), Inst::mono(10.5).family());
        QCOMPARE(button->font().pointSizeF(), 10.5);
        QCOMPARE(button->font().weight(), QFont::Weight(600));
        QVERIFY(qAbs(button->font().letterSpacing() - 1.2) <= 1.0 / 64); // stored in 1/64 px
    }
};

QTEST_MAIN(TestTabs)
#include "tst_tabs.moc"
