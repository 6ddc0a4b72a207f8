#pragma once

#include "ArpLookup.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

#include <unistd.h>

// A network namespace of the test's own, joined to this host by a veth pair on a private
// /24; the namespace and both interfaces disappear with the object, whatever the outcome.
// The names carry the process id, so parallel tests never share one.
class TestNetwork {
public:
    TestNetwork()
    {
        ip({"netns", "del", m_namespace});
        m_ready = ip({"netns", "add", m_namespace})
            && ip({"link", "add", m_hostSide, "type", "veth", "peer", "name", m_cameraSide, "netns", m_namespace})
            && ip({"addr", "add", hostAddress() + "/24", "dev", m_hostSide}) && ip({"link", "set", m_hostSide, "up"})
            && inside({"ip", "link", "set", "lo", "up"}) && inside({"ip", "link", "set", m_cameraSide, "up"});
    }
    ~TestNetwork()
    {
        stopCamera();
        ip({"netns", "del", m_namespace});
        ip({"link", "del", m_hostSide});
    }

    bool isReady() const { return m_ready; }
    QString hostAddress() const { return address(1); }
    QString address(int host) const { return QStringLiteral("10.251.%1.%2").arg(::getpid() % 250).arg(host); }
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
        m_camera->start("ip", {"netns", "exec", m_namespace, simulatorPath, "--camera", address + ":80=URSA Broadcast G2"});
        while (m_camera->waitForReadyRead(5000)) {
            if (m_camera->readAll().contains("camsim: URSA Broadcast G2 at http://"))
                return true;
        }
        return false;
    }
    void stopCamera()
    {
        if (m_camera) {
            m_camera->kill();
            m_camera->waitForFinished();
            m_camera.reset();
        }
    }
    // What a camera does when it boots: its first packet tells the host's ARP table where it is.
    // The connection is refused; the ARP exchange before it is what matters.
    void announceFromCamera() { inside({"bash", "-c", "exec 3<>/dev/tcp/" + hostAddress() + "/9"}); }
    // The host's entry for an address nobody answers at any more ages out within a minute or so;
    // drop it now so the table does not list the camera's MAC twice meanwhile.
    bool forgetNeighbour(const QString& address) { return ip({"neigh", "del", address, "dev", m_hostSide}); }

private:
    static bool run(const QStringList& command, QString* output = nullptr)
    {
        QProcess process;
        process.start(command.first(), command.mid(1));
        const bool finished = process.waitForFinished(10000);
        if (output)
            *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    static bool ip(const QStringList& arguments) { return run(QStringList{"ip"} + arguments); }
    bool inside(const QStringList& command, QString* output = nullptr) const
    {
        return run(QStringList{"ip", "netns", "exec", m_namespace} + command, output);
    }

    const QString m_pid = QString::number(::getpid());
    const QString m_namespace = "kovra-test-" + m_pid;
    const QString m_hostSide = "kvh" + m_pid;
    const QString m_cameraSide = "kvn" + m_pid;
    bool m_ready = false;
    std::unique_ptr<QProcess> m_camera;
};
