#include "ArpLookup.h"
#include "CameraManager.h"
#include "TestNetwork.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

class TestRelocation : public QObject {
    Q_OBJECT

private slots:
    void findsAMovedCameraByItsMac()
    {
        QStandardPaths::setTestModeEnabled(true);
        if (::geteuid() != 0)
            QSKIP("network namespaces need root");
        TestNetwork network;
        QVERIFY2(network.isReady(), "could not create the test's network namespace");
        const QString first = network.address(2);
        const QString second = network.address(3);
        QVERIFY(network.startCameraAt(first, QStringLiteral(KOVRA_CAMSIM_PATH)));

        CameraManager manager(nullptr, new SystemArpSource);
        QFile::remove(manager.configPath());
        manager.addCamera(QStringLiteral("Roaming"), first, 1);
        const QString id = manager.cameraList()->allCameras().first().id;
        const auto camera = [&] { return *manager.cameraList()->camera(id); };
        const auto saved = [&] {
            QFile file(manager.configPath());
            file.open(QIODevice::ReadOnly);
            return QJsonDocument::fromJson(file.readAll()).object()["cameras"].toArray().first().toObject();
        };
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QVERIFY(!network.cameraMac().isEmpty());
        QCOMPARE(camera().mac, network.cameraMac());
        QCOMPARE(saved().value("mac").toString(), network.cameraMac());

        // Power cycle: the camera comes back under another address.
        QVERIFY(network.startCameraAt(second, QStringLiteral(KOVRA_CAMSIM_PATH)));
        network.announceFromCamera();
        QVERIFY(network.forgetNeighbour(first));
        QTest::ignoreMessage(QtInfoMsg, qPrintable("Camera \"Roaming\" found at \"" + second + "\" (was \"" + first
                                                   + "\" ) - relocating"));
        QTRY_COMPARE_WITH_TIMEOUT(camera().ip, second, 40000);
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QCOMPARE(saved().value("ip").toString(), second);
        QCOMPARE(saved().value("mac").toString(), network.cameraMac());
    }
};

QTEST_GUILESS_MAIN(TestRelocation)
#include "tst_relocation.moc"
