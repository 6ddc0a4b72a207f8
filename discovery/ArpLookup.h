#pragma once

#include "ArpSource.h"

#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>

// Reading the operating system's ARP table: the kernel's /proc/net/arp where it exists (no
// process to start), otherwise the "arp" tool.
namespace ArpLookup {

QString normalizeMac(const QString& text);
QStringList tableArguments();
// Rows of "arp -an": "? (192.0.2.10) at 7c:2e:d:1:2:3 [ether] on eth0".
QHash<QString, QString> parseTable(const QString& text);
// The kernel's table: "IP address  HW type  Flags  HW address  Mask  Device".
QHash<QString, QString> parseProcTable(const QString& text);
// Both block for at most 2 s in all.
QString macForIp(const QString& ip);
QString ipForMac(const QString& mac);

}

// The platform's ARP table as the camera manager's source. The program and the kernel
// table path are parameters so that both sources can be exercised.
class SystemArpSource : public ArpSource {
    Q_OBJECT
public:
    explicit SystemArpSource(QObject* parent = nullptr, const QString& arpProgram = QStringLiteral("arp"),
                             const QString& procTablePath = QStringLiteral("/proc/net/arp"));

    QString macForIp(const QString& ip) override;
    QString ipForMac(const QString& mac);
    void startTableRead() override;
    bool isReading() const override;

private:
    void finishRead(QProcess* process, bool started);

    QString m_arpProgram;
    QString m_procTablePath;
    QPointer<QProcess> m_process;
    bool m_kernelTableQueued = false;
};
