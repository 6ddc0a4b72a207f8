#include "InstChip.h"
#include "InstFrames.h"
#include "PanelFixture.h"
#include "SystemPanel.h"

#include <QDoubleSpinBox>
#include <QTimer>

using Rig = PanelOnRig<SystemPanel>;

namespace {
QJsonObject size(int width, int height)
{
    return {{"width", width}, {"height", height}};
}

QJsonObject format(int width, int height, const QString& description)
{
    return {{"recordResolution", size(width, height)},
            {"sensorResolution", size(width + 256, height + 144)},
            {"resolutionDescriptor", description},
            {"codecs", QJsonArray{"BRaw:3_1", "BRaw:Q5"}},
            {"frameRates", QJsonArray{"25"}}};
}
}

// The System tab over a simulated camera.
class TestSystemPanel : public QObject {
    Q_OBJECT

private slots:
    void resolutionListIsBuiltOnceFromTheFirstFormats()
    {
        Rig rig;
        rig.addCamera();
        rig.camera(0).refuseEndpoint("system/supportedFormats", CameraSimulator::Refusal::NotFound);
        QVERIFY(rig.waitForConnection(0));
        rig.panel.setCurrentCamera(rig.id(0));
        auto* resolution = rig.control<QComboBox>("resolution");
        QTRY_VERIFY(!rig.control<QComboBox>("codec")->currentText().isEmpty());
        QCOMPARE(resolution->count(), 0);

        rig.camera(0).acceptEndpoint("system/supportedFormats");
        rig.manager->refreshCamera(rig.id(0));
        QVERIFY(rig.setAndSweep(0, "system/supportedFormats",
                                QJsonObject{{"supportedFormats", QJsonArray{format(3840, 2160, "UHD"),
                                                                            format(3840, 2160, "UHD 2"),
                                                                            format(4096, 2160, "")}}}));
        const QStringList built = {"3840 \u00d7 2160  (UHD)", "4096 \u00d7 2160", "1920 \u00d7 1080  (Full HD)"};
        QCOMPARE(itemTexts(resolution), built);
        QCOMPARE(itemTexts(rig.control<QComboBox>("codec")),
                 (QStringList{"BRAW 3:1", "BRAW Q5", "ProRes HQ", "ProRes 422", "ProRes LT", "ProRes Proxy"}));

        rig.addCamera();
        QVERIFY(rig.waitForSweep(1));
        rig.panel.setCurrentCamera(rig.id(1));
        QCOMPARE(itemTexts(resolution), built);
    }

    void fullFormatBody_data()
    {
        QTest::addColumn<QString>("resolutionData");
        QTest::addColumn<QJsonObject>("record");
        QTest::addColumn<QJsonObject>("sensor");

        QTest::newRow("listed size") << "4096x2160" << size(4096, 2160) << size(4352, 2304);
        QTest::newRow("unlisted size keeps the sensor window") << "1920x1080" << size(1920, 1080) << size(4096, 2304);
        QTest::newRow("malformed data") << "4096x2160x1" << size(3840, 2160) << size(4096, 2304);
    }

    void fullFormatBody()
    {
        QFETCH(QString, resolutionData);
        QFETCH(QJsonObject, record);
        QFETCH(QJsonObject, sensor);
        Rig rig;
        rig.addCamera();
        rig.camera(0).setEndpointValue("system/supportedFormats",
                                       QJsonObject{{"supportedFormats", QJsonArray{format(4096, 2160, "DCI")}}});
        rig.camera(0).setEndpointValue("system/format",
                                       QJsonObject{{"codec", "BRaw:3_1"},
                                                   {"frameRate", "25"},
                                                   {"offSpeedEnabled", false},
                                                   {"recordResolution", size(3840, 2160)},
                                                   {"sensorResolution", size(4096, 2304)}});
        QVERIFY(rig.waitForSweep(0));
        rig.panel.setCurrentCamera(rig.id(0));

        auto* resolution = rig.control<QComboBox>("resolution");
        const int index = resolution->findData(resolutionData.section('x', 0, 1));
        QVERIFY(index >= 0);
        resolution->setItemData(index, resolutionData);
        resolution->setCurrentIndex(index);
        QTRY_COMPARE(rig.puts(0, "system/format").size(), 1);
        QCOMPARE(rig.puts(0, "system/format").first(),
                 (QJsonObject{{"recordResolution", record},
                              {"sensorResolution", sensor},
                              {"codec", "BRaw:3_1"},
                              {"frameRate", "25"},
                              {"offSpeedEnabled", false},
                              {"offSpeedFrameRate", 60}}));
    }

    void offSpeedRateCountsOnlyWhileOffSpeedIsOn()
    {
        Rig rig;
        QVERIFY(rig.start());
        auto* rate = rig.control<QDoubleSpinBox>("offSpeedRate");
        QVERIFY(!rate->isEnabled());
        rate->setValue(48);
        rig.operate("offSpeed");
        QVERIFY(rate->isEnabled());
        QTRY_COMPARE(rig.puts(0, "system/format").size(), 1);
        QCOMPARE(rig.puts(0, "system/format").first()["offSpeedFrameRate"], QJsonValue(48));
        QCOMPARE(rig.puts(0, "system/format").first()["offSpeedEnabled"], QJsonValue(true));
    }

    void zebraOfMainSdi()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.operate("MainSDI/zebra");
        QTRY_COMPARE(rig.puts(0, "monitoring/MainSDI/zebra"), (QList<QJsonObject>{{{"enabled", true}}}));
        QCOMPARE(rig.camera(0).requestCount("PUT", "monitoring/HDMI/zebra"), 0);
    }

    void recordLampBlinksOnlyWhileRecording()
    {
        Rig rig;
        QVERIFY(rig.start());
        auto* lamp = rig.control<InstDot>("recordLamp");
        auto* transport = rig.control<InstChip>("transport");
        auto* blink = rig.control<QTimer>("blinkTimer");
        QVERIFY(lamp->isHidden());

        rig.operate("record");
        QTRY_COMPARE(transport->text(), "REC");
        QVERIFY(!lamp->isHidden());
        QTRY_VERIFY(lamp->color().alphaF() < 0.5);
        QTRY_COMPARE(lamp->color().alphaF(), 1.0f);

        rig.operate("stop");
        QTRY_COMPARE(transport->text(), "STOPPED");
        QVERIFY(lamp->isHidden());
        QVERIFY(!blink->isActive());
    }
};

QTEST_MAIN(TestSystemPanel)
#include "tst_systempanel.moc"
