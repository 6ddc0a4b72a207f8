#include "ArpLookup.h"
#include "CameraManager.h"
#include "TestNetwork.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

namespace {

struct LogCapture {
    static inline QStringList lines;
    static inline QtMessageHandler previous = nullptr;
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (context.category && QByteArray(context.category) == "kovra.camera")
            lines << message;
        else
            previous(type, context, message);
    }
    LogCapture()
    {
        lines.clear();
        previous = qInstallMessageHandler(handler);
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
};

} // namespace

class TestRelocation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        if (::geteuid() != 0)
            QSKIP("network namespaces need root");
    }

    void findsAMovedCameraByItsMac()
    {
        TestNetwork network;
        QVERIFY2(network.isReady(), "could not create the test's network namespace");
        const QString first = network.address(2);
        const QString second = network.address(3);
        QVERIFY(network.startCameraAt(first, QStringLiteral(KOVRA_CAMSIM_PATH)));

        LogCapture log;
        CameraManager manager(nullptr, new SystemArpSource);
        QFile::remove(manager.configPath());
        manager.addCamera(QStringLiteral("Roaming"), first, 1);
        const QString id = manager.cameraList()->allCameras().first().id;
        const auto camera = [&] { return *manager.cameraList()->camera(id); };
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QCOMPARE(camera().mac, network.cameraMac());
        QVERIFY(!camera().mac.isEmpty());
        {
            QFile saved(manager.configPath());
            QVERIFY(saved.open(QIODevice::ReadOnly));
            const QJsonObject entry = QJsonDocument::fromJson(saved.readAll()).object()["cameras"].toArray().first().toObject();
            QCOMPARE(entry.value("mac").toString(), network.cameraMac());
        }

        // Power cycle: the camera comes back under another address.
        QVERIFY(network.startCameraAt(second, QStringLiteral(KOVRA_CAMSIM_PATH)));
        QVERIFY(network.announceFromCamera());
        QVERIFY(network.forgetNeighbour(first));

        QTRY_COMPARE_WITH_TIMEOUT(camera().ip, second, 40000);
        QTRY_COMPARE_WITH_TIMEOUT(camera().status, CameraStatus::Connected, 10000);
        QCOMPARE(log.lines.filter("relocating"),
                 QStringList{"Camera \"Roaming\" found at \"" + second + "\" (was \"" + first + "\" ) - relocating"});
        QFile saved(manager.configPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QJsonObject entry = QJsonDocument::fromJson(saved.readAll()).object()["cameras"].toArray().first().toObject();
        QCOMPARE(entry.value("ip").toString(), second);
        QCOMPARE(entry.value("mac").toString(), network.cameraMac());
    }
};

QTEST_GUILESS_MAIN(TestRelocation)
#include "tst_relocation.moc"
