#include "ColorPanel.h"
#include "PanelFixture.h"

#include <QDateTime>

using Rig = PanelOnRig<ColorPanel>;

// The Color tab over a simulated camera.
class TestColorPanel : public QObject {
    Q_OBJECT

private slots:
    void wheelSliderSendsAllFourChannels_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QJsonObject>("held");
        QTest::addColumn<QString>("slider");
        QTest::addColumn<int>("value");
        QTest::addColumn<QJsonObject>("sent");

        QTest::newRow("lift red") << "colorCorrection/lift"
                                  << QJsonObject{{"red", 0}, {"green", 0.1}, {"blue", -0.2}, {"luma", 0.3}}
                                  << "liftRed" << 250
                                  << QJsonObject{{"red", 0.25}, {"green", 0.1}, {"blue", -0.2}, {"luma", 0.3}};
        // 1.005 x 1000 is 1004.999...: the neighbours must go back as the camera holds them.
        QTest::newRow("gain keeps thousandths") << "colorCorrection/gain"
                                                << QJsonObject{{"red", 1}, {"green", 1.005}, {"blue", 1.001}, {"luma", 1}}
                                                << "gainRed" << 1500
                                                << QJsonObject{{"red", 1.5}, {"green", 1.005}, {"blue", 1.001}, {"luma", 1}};
    }

    void wheelSliderSendsAllFourChannels()
    {
        QFETCH(QString, endpoint);
        QFETCH(QJsonObject, held);
        QFETCH(QString, slider);
        QFETCH(int, value);
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.setAndSweep(0, endpoint, held));
        rig.control<QSlider>(slider)->setValue(value);
        QTRY_COMPARE(rig.puts(0, endpoint).size(), 1);
        QTEST(rig.puts(0, endpoint).first(), "sent");
    }

    // Six requests in flight at once, in any order; a sweep answered within the guard time
    // leaves the sliders alone, and the panel's own fetch after it brings what the camera holds.
    void resetSendsSixCommandsThenHoldsBackState()
    {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.setAndSweep(0, "colorCorrection/lift",
                                QJsonObject{{"red", 0.5}, {"green", 0.5}, {"blue", 0.5}, {"luma", 0.5}}));
        auto* liftRed = rig.control<QSlider>("liftRed");
        QCOMPARE(liftRed->value(), 500);

        const QDateTime clicked = QDateTime::currentDateTime();
        rig.operate("reset");
        const QJsonObject zero{{"red", 0}, {"green", 0}, {"blue", 0}, {"luma", 0}};
        const QList<QPair<QString, QJsonObject>> expected = {
            {"colorCorrection/lift", zero},
            {"colorCorrection/gamma", zero},
            {"colorCorrection/gain", {{"red", 1}, {"green", 1}, {"blue", 1}, {"luma", 1}}},
            {"colorCorrection/offset", zero},
            {"colorCorrection/contrast", {{"pivot", 0.5}, {"adjust", 1.0}}},
            {"colorCorrection/color", {{"hue", 0}, {"saturation", 1.0}}},
        };
        for (const auto& [endpoint, body] : expected)
            QTRY_COMPARE(rig.puts(0, endpoint), QList<QJsonObject>{body});
        QCOMPARE(rig.camera(0).requestCount("PUT"), 6);

        QVERIFY(rig.setAndSweep(0, "colorCorrection/lift",
                                QJsonObject{{"red", 0.25}, {"green", 0}, {"blue", 0}, {"luma", 0}}));
        if (clicked.msecsTo(QDateTime::currentDateTime()) < 800)
            QCOMPARE(liftRed->value(), 500);
        QTRY_COMPARE(liftRed->value(), 250);
        QVERIFY(clicked.msecsTo(QDateTime::currentDateTime()) >= 800);
    }
};

QTEST_MAIN(TestColorPanel)
#include "tst_colorpanel.moc"
