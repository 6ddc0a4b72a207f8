#include "AudioPanel.h"
#include "PanelFixture.h"

#include <QDoubleSpinBox>
#include <QSignalSpy>

using Rig = PanelOnRig<AudioPanel>;

// The Audio tab over a simulated camera.
class TestAudioPanel : public QObject {
    Q_OBJECT

private slots:
    // The ceiling is the one the camera reports for the input; a typed gain goes out once,
    // when it is confirmed.
    void gainSteppedAndTyped()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.camera(0).setEndpointValue("audio/channel/0/level", QJsonObject{{"gain", 2.8}, {"normalised", 0.9}});
        QVERIFY(rig.setAndSweep(0, "audio/channel/0/input/description",
                                QJsonObject{{"description", QJsonObject{{"gainRange", QJsonObject{{"Min", -12.0}, {"Max", 3.0}}}}}}));
        auto* gain = rig.control<QDoubleSpinBox>("gain0");
        QCOMPARE(gain->value(), 2.8);

        rig.operate("gainUp0");
        QTRY_COMPARE(rig.puts(0, "audio/channel/0/level"), (QList<QJsonObject>{{{"gain", 3.0}}}));
        rig.operate("gainUp0");
        rig.operate("padding0");
        QTRY_COMPARE(rig.puts(0, "audio/channel/0/padding").size(), 1);
        QCOMPARE(rig.camera(0).requestCount("PUT", "audio/channel/0/level"), 1);

        gain->selectAll();
        QTest::keyClicks(gain, "-10.5");
        QTest::keyClick(gain, Qt::Key_Return);
        QTRY_COMPARE(rig.puts(0, "audio/channel/0/level"), (QList<QJsonObject>{{{"gain", 3.0}}, {{"gain", -10.5}}}));
    }

    void controlsSendCommands_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QJsonObject>("body");

        QTest::newRow("phantom") << "phantom0" << "audio/channel/0/phantomPower" << QJsonObject{{"enabled", true}};
        QTest::newRow("low cut") << "lowCut1" << "audio/channel/1/lowCutFilter" << QJsonObject{{"enabled", true}};
        QTest::newRow("input") << "input1" << "audio/channel/1/input" << QJsonObject{{"input", "XLR1 - Line"}};
        QTest::newRow("step down") << "gainDown1" << "audio/channel/1/level" << QJsonObject{{"gain", -0.5}};
    }

    void controlsSendCommands()
    {
        QFETCH(QString, control);
        QFETCH(QString, endpoint);
        Rig rig;
        QVERIFY(rig.start());
        rig.operate(control);
        QTRY_COMPARE(rig.puts(0, endpoint).size(), 1);
        QTEST(rig.puts(0, endpoint).first(), "body");
    }

    // An identical list from the camera is left alone, so no choice is sent back; another
    // camera's inputs are not shown before it has answered.
    void inputLists()
    {
        Rig rig;
        QVERIFY(rig.start());
        auto* input = rig.control<QComboBox>("input0");
        QCOMPARE(input->count(), 7);
        QCOMPARE(input->currentText(), "XLR1 - Mic");
        QSignalSpy removed(input->model(), &QAbstractItemModel::rowsRemoved);
        QVERIFY(rig.setAndSweep(0, "audio/channel/0/level", QJsonObject{{"gain", 1.0}}));
        QCOMPARE(rig.control<QDoubleSpinBox>("gain0")->value(), 1.0);
        QCOMPARE(removed.count() + rig.camera(0).requestCount("PUT"), 0);

        const QString silent = rig.addCamera();
        rig.camera(1).setBlackHole(true);
        rig.panel.setCurrentCamera(silent);
        QCOMPARE(input->count() + rig.control<QComboBox>("input1")->count(), 0);
    }
};

QTEST_MAIN(TestAudioPanel)
#include "tst_audiopanel.moc"
