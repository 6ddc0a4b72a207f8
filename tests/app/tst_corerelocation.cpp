#include "AppCore.h"
#include "CameraManager.h"
#include "CameraScanner.h"
#include "CoreTestSupport.h"
#include "Startup.h"
#include "TestNetwork.h"

#include <QSignalSpy>
#include <QTest>

// A configured camera that comes back under another address is moved there when the
// network browse finds it, recognised by the MAC address learnt while it was connected;
// one the operator switched off stays where it was.
class TestCoreRelocation : public QObject {
    Q_OBJECT

    QTemporaryDir m_settingsHome;

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("network namespaces need root");
        qputenv("XDG_CONFIG_HOME", m_settingsHome.path().toUtf8());
        Startup::setApplicationIdentity();
    }

    void foundCameraWithAKnownMac_data()
    {
        QTest::addColumn<bool>("switchedOff");
        QTest::newRow("connected") << false;
        QTest::newRow("switched off by the operator") << true;
    }

    void foundCameraWithAKnownMac()
    {
        QFETCH(bool, switchedOff);
        TestNetwork network;
        QVERIFY2(network.isReady(), "could not create the test's network namespace");
        const QString first = network.address(2);
        const QString second = network.address(3);
        QVERIFY(network.startCameraAt(first, QStringLiteral(KOVRA_CAMSIM_PATH)));

        TestHome home;
        home.write("config.json", configDocument({cameraEntry("roaming", first, 1)}, oscSettings(freeUdpPort())));
        AppCore core(false);
        QSignalSpy shown(&core, &AppCore::statusMessage);
        QSignalSpy suggested(&core, &AppCore::cameraSuggested);
        core.start();
        const auto camera = [&] { return *core.cameraManager()->cameraList()->camera("roaming"); };
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QCOMPARE(camera().mac, network.cameraMac());
        if (switchedOff)
            core.cameraManager()->disconnectCamera("roaming");

        QVERIFY(network.startCameraAt(second, QStringLiteral(KOVRA_CAMSIM_PATH)));
        QVERIFY(network.announceFromCamera());
        QVERIFY(network.forgetNeighbour(first));
        shown.clear();
        // What the browse does for a camera that announces itself.
        QSignalSpy found(core.scanner(), &CameraScanner::cameraFound);
        core.scanner()->probeHost(second);
        QVERIFY(found.wait(10000));
        QCOMPARE(suggested.size(), 0);
        if (switchedOff) {
            QCOMPARE(camera().ip, first);
            QCOMPARE(shown.size(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(camera().ip, second, 10000);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().first().toString(), QString("Relocated Cam roaming: %1 → %2").arg(first, second));
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QVERIFY(core.saveAllToAppData());
        QCOMPARE(home.readConfig()["cameras"][0]["ip"].toString(), second);
    }
};

QTEST_GUILESS_MAIN(TestCoreRelocation)
#include "tst_corerelocation.moc"
