#include "ArpLookup.h"
#include "CameraManager.h"

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

bool run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A network namespace of the test's own, joined to this host by a veth pair on a private
// /24; the namespace and both interfaces disappear with the object, whatever the outcome.
class TestNetwork {
public:
    TestNetwork()
        : m_pid(QString::number(::getpid()))
        , m_namespace(QStringLiteral("kovra-test-") + m_pid)
        , m_hostSide(QStringLiteral("kvh") + m_pid)
        , m_cameraSide(QStringLiteral("kvn") + m_pid)
        , m_prefix(QStringLiteral("10.251.%1.").arg(::getpid() % 250))
    {
        run(QStringLiteral("ip"), {"netns", "del", m_namespace});
        m_ready = ip({"netns", "add", m_namespace})
            && ip({"link", "add", m_hostSide, "type", "veth", "peer", "name", m_cameraSide, "netns", m_namespace})
            && ip({"addr", "add", hostAddress() + "/24", "dev", m_hostSide})
            && ip({"link", "set", m_hostSide, "up"}) && inside({"ip", "link", "set", "lo", "up"})
            && inside({"ip", "link", "set", m_cameraSide, "up"});
    }
    ~TestNetwork()
    {
        stopCamera();
        run(QStringLiteral("ip"), {"netns", "del", m_namespace});
        run(QStringLiteral("ip"), {"link", "del", m_hostSide});
    }

    bool isReady() const { return m_ready; }
    QString hostAddress() const { return m_prefix + QLatin1Char('1'); }
    QString address(int host) const { return m_prefix + QString::number(host); }
    QString cameraMac() const
    {
        QString mac;
        inside({"cat", "/sys/class/net/" + m_cameraSide + "/address"}, &mac);
        return ArpLookup::normalizeMac(mac);
    }

    // Gives the namespace side this address (and no other) and serves a simulated camera on it.
    bool startCameraAt(const QString& address, const QString& simulatorPath)
    {
        stopCamera();
        inside({"ip", "addr", "flush", "dev", m_cameraSide});
        if (!inside({"ip", "addr", "add", address + "/24", "dev", m_cameraSide}))
            return false;
        m_camera = std::make_unique<QProcess>();
        m_camera->start(QStringLiteral("ip"), {"netns", "exec", m_namespace, simulatorPath, "--camera",
                                                address + ":80=URSA Broadcast G2"});
        if (!m_camera->waitForStarted())
            return false;
        while (m_camera->waitForReadyRead(5000)) {
            if (m_camera->readAll().contains("camsim: URSA Broadcast G2 at http://"))
                return true;
        }
        return false;
    }
    void stopCamera()
    {
        if (!m_camera)
            return;
        m_camera->terminate();
        if (!m_camera->waitForFinished(3000)) {
            m_camera->kill();
            m_camera->waitForFinished();
        }
        m_camera.reset();
    }
    // What a camera does when it boots: its first packet tells the host's ARP table where it is.
    bool announceFromCamera()
    {
        // The connection is refused; the ARP exchange before it is what matters.
        inside({"bash", "-c", "exec 3<>/dev/tcp/" + hostAddress() + "/9"});
        return true;
    }
    // The host's entry for an address nobody answers at any more ages out within a minute or so;
    // drop it now so the table does not list the camera's MAC twice meanwhile.
    bool forgetNeighbour(const QString& address)
    {
        return ip({"neigh", "del", address, "dev", m_hostSide});
    }

private:
    bool ip(const QStringList& arguments) const { return run(QStringLiteral("ip"), arguments); }
    bool inside(const QStringList& command, QString* output = nullptr) const
    {
        return run(QStringLiteral("ip"), QStringList{"netns", "exec", m_namespace} + command, output);
    }

    QString m_pid;
    QString m_namespace;
    QString m_hostSide;
    QString m_cameraSide;
    QString m_prefix;
    bool m_ready = false;
    std::unique_ptr<QProcess> m_camera;
};

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
