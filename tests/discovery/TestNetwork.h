#pragma once

#include "ArpLookup.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

#include <unistd.h>

namespace TestNetworkDetail {

inline bool run(const QString& program, const QStringList& arguments, QString* output = nullptr)
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

} // namespace TestNetworkDetail

// A network namespace of the test's own, joined to this host by a veth pair on a private
// /24; the namespace and both interfaces disappear with the object, whatever the outcome.
// The names carry the process id, so parallel tests never share one.
class TestNetwork {
public:
    TestNetwork()
        : m_pid(QString::number(::getpid()))
        , m_namespace(QStringLiteral("kovra-test-") + m_pid)
        , m_hostSide(QStringLiteral("kvh") + m_pid)
        , m_cameraSide(QStringLiteral("kvn") + m_pid)
        , m_prefix(QStringLiteral("10.251.%1.").arg(::getpid() % 250))
    {
        TestNetworkDetail::run(QStringLiteral("ip"), {"netns", "del", m_namespace});
        m_ready = ip({"netns", "add", m_namespace})
            && ip({"link", "add", m_hostSide, "type", "veth", "peer", "name", m_cameraSide, "netns", m_namespace})
            && ip({"addr", "add", hostAddress() + "/24", "dev", m_hostSide})
            && ip({"link", "set", m_hostSide, "up"}) && inside({"ip", "link", "set", "lo", "up"})
            && inside({"ip", "link", "set", m_cameraSide, "up"});
    }
    ~TestNetwork()
    {
        stopCamera();
        TestNetworkDetail::run(QStringLiteral("ip"), {"netns", "del", m_namespace});
        TestNetworkDetail::run(QStringLiteral("ip"), {"link", "del", m_hostSide});
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
    bool ip(const QStringList& arguments) const { return TestNetworkDetail::run(QStringLiteral("ip"), arguments); }
    bool inside(const QStringList& command, QString* output = nullptr) const
    {
        return TestNetworkDetail::run(QStringLiteral("ip"), QStringList{"netns", "exec", m_namespace} + command, output);
    }

    QString m_pid;
    QString m_namespace;
    QString m_hostSide;
    QString m_cameraSide;
    QString m_prefix;
    bool m_ready = false;
    std::unique_ptr<QProcess> m_camera;
};
