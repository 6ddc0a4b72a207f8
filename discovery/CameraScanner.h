#pragma once

#include "DiscoveredCamera.h"
#include "MdnsBrowseTool.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QProcess;

// Finds Blackmagic devices two ways at once: an mDNS browse for their service
// announcements and an HTTP probe of every address of an IPv4 subnet. Each address
// that answers like a device is reported once until the next full scan.
class CameraScanner : public QObject {
    Q_OBJECT
public:
    static constexpr int maxProbesInFlight = 48;
    static constexpr int subnetProbeTimeoutMs = 1500;
    static constexpr int mdnsProbeTimeoutMs = 3000;
    static constexpr int browseDurationMs = 4000;
    static constexpr int maxSubnetAddresses = 1024;

    // Resolves a host name and calls done with the result, unless context is gone.
    using HostLookup = std::function<void(const QString& hostName, QObject* context,
                                          std::function<void(const QHostInfo&)> done)>;

    explicit CameraScanner(QObject* parent = nullptr);
    ~CameraScanner() override;

    // The addresses a subnet scan probes, in ascending order.
    static QStringList subnetProbeAddresses(const QHostAddress& address, int prefixLength);

    void scanInterface(const QHostAddress& address, int prefixLength);
    void scanMdns();
    void scanSubnet(const QHostAddress& address, int prefixLength);
    void stop();
    bool isScanning() const { return m_scanning || m_mdnsActive; }

    // Where the browse tool is looked up and run; the system environment by default.
    void setProcessEnvironment(const QProcessEnvironment& environment) { m_environment = environment; }
    // How ".local" names are resolved; QHostInfo by default.
    void setHostLookup(HostLookup lookup) { m_hostLookup = std::move(lookup); }

public slots:
    void probeHost(const QString& hostname);

signals:
    void cameraFound(const DiscoveredCamera& camera);
    void scanProgress(int current, int total);
    void scanFinished();
    void statusMessage(const QString& message);

private slots:
    void onReplyFinished(QNetworkReply* reply);
    void onMdnsBrowseReadyRead();
    void onMdnsHttpBrowseReadyRead();
    void onMdnsBrowseTimeout();

private:
    QProcess* startBrowse(const QString& program, const QStringList& arguments);
    void readBrowseLines(QProcess*& browse, const QString& serviceType);
    void parseMdnsLine(const QString& line, const QString& serviceType);
    void handleInstance(const QString& name);
    void onHostResolved(const QString& hostname, const QHostInfo& info);
    void endBrowseProcesses();
    void pumpProbes();
    QNetworkReply* sendProbe(const QString& host, int timeoutMs);
    void finishSubnetIfDone();

    QStringList m_pendingHosts;
    QNetworkAccessManager* m_network;
    int m_probeTotal = 0;
    int m_probesDone = 0;
    bool m_scanning = false;
    QList<QNetworkReply*> m_activeReplies;
    QProcess* m_blackmagicBrowse = nullptr;
    QProcess* m_httpBrowse = nullptr;
    QTimer m_mdnsTimer;
    bool m_mdnsActive = false;
    QSet<QString> m_seenInstances;
    QSet<QString> m_foundIps;

    QProcessEnvironment m_environment;
    HostLookup m_hostLookup;
    MdnsBrowseTool m_browseTool;
    // Lookups started before the last stop() are not followed up.
    int m_lookupGeneration = 0;
};
