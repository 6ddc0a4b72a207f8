#include "AppCore.h"
#include "CameraManager.h"
#include "CameraScanner.h"
#include "CoreTestSupport.h"
#include "Startup.h"
#include "TestNetwork.h"

#include <QSignalSpy>
#include <QTest>

// A configured camera that comes back under another address is moved there when the
// network browse finds it, recognised by the MAC address learnt while it was connected.
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

    void foundCameraWithAKnownMacIsRelocated()
    {
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

        QVERIFY(network.startCameraAt(second, QStringLiteral(KOVRA_CAMSIM_PATH)));
        QVERIFY(network.announceFromCamera());
        QVERIFY(network.forgetNeighbour(first));
        shown.clear();
        // What the browse does for a camera that announces itself.
        core.scanner()->probeHost(second);

        QTRY_COMPARE_WITH_TIMEOUT(camera().ip, second, 10000);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().first().toString(), QString("Relocated Cam roaming: %1 → %2").arg(first, second));
        QCOMPARE(shown.first().at(1).toInt(), 5000);
        QCOMPARE(suggested.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QVERIFY(core.saveAllToAppData());
        QCOMPARE(home.readConfig()["cameras"].toArray().first()["ip"].toString(), second);
    }
};

QTEST_GUILESS_MAIN(TestCoreRelocation)
#include "tst_corerelocation.moc"
