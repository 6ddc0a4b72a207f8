#include "CameraScanner.h"

#include "CameraApi.h"
#include "DiscoveryLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QUrl>

#include <utility>

namespace {
const QString blackmagicService = QStringLiteral("_blackmagic._tcp");
const QString httpService = QStringLiteral("_http._tcp");
const char* const probeHostnameProperty = "probeHostname";

void lookUpWithQHostInfo(const QString& hostName, QObject* context, std::function<void(const QHostInfo&)> done)
{
    QHostInfo::lookupHost(hostName, context, std::move(done));
}
}

CameraScanner::CameraScanner(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_environment(QProcessEnvironment::systemEnvironment())
    , m_hostLookup(lookUpWithQHostInfo)
{
    qRegisterMetaType<DiscoveredCamera>();
    connect(m_network, &QNetworkAccessManager::finished, this, &CameraScanner::onReplyFinished);
    m_mdnsTimer.setSingleShot(true);
    connect(&m_mdnsTimer, &QTimer::timeout, this, &CameraScanner::onMdnsBrowseTimeout);
}

CameraScanner::~CameraScanner()
{
    stop();
}

QStringList CameraScanner::subnetProbeAddresses(const QHostAddress& address, int prefixLength)
{
    bool isIpv4 = false;
    const quint32 host = address.toIPv4Address(&isIpv4);
    // Anything but an IPv4 address with a real prefix length names no subnet to probe.
    if (!isIpv4 || prefixLength < 0 || prefixLength > 32)
        return {};
    const quint32 mask = prefixLength == 0 ? 0 : ~quint32(0) << (32 - prefixLength);
    const qint64 network = host & mask;
    const qint64 broadcast = host | ~mask;
    const qint64 first = network + 1;
    const qint64 last = qMin(broadcast - 1, network + maxSubnetAddresses);
    QStringList hosts;
    for (qint64 n = first; n <= last; ++n)
        hosts.append(QHostAddress(quint32(n)).toString());
    return hosts;
}

void CameraScanner::scanInterface(const QHostAddress& address, int prefixLength)
{
    if (isScanning())
        return;
    m_foundIps.clear();
    m_seenInstances.clear();
    emit statusMessage(QStringLiteral("Browsing for Blackmagic devices via mDNS..."));
    scanMdns();
    scanSubnet(address, prefixLength);
}

void CameraScanner::scanSubnet(const QHostAddress& address, int prefixLength)
{
    if (m_scanning)
        return;
    m_scanning = true;
    m_probesDone = 0;
    m_pendingHosts = subnetProbeAddresses(address, prefixLength);
    m_probeTotal = int(m_pendingHosts.size());
    emit statusMessage(QStringLiteral("HTTP probing %1 addresses on subnet...").arg(m_probeTotal));
    pumpProbes();
    if (m_probeTotal == 0) {
        m_scanning = false;
        if (!m_mdnsActive)
            emit scanFinished();
    }
}

void CameraScanner::pumpProbes()
{
    while (m_activeReplies.size() < maxProbesInFlight && !m_pendingHosts.isEmpty())
        m_activeReplies.append(sendProbe(m_pendingHosts.takeFirst(), subnetProbeTimeoutMs));
}

QNetworkReply* CameraScanner::sendProbe(const QString& host, int timeoutMs)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://%1/control/api/v1/system/product").arg(host)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(timeoutMs);
    // A probe asks the probed address and no other: a redirect is that address's answer.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return m_network->get(request);
}

void CameraScanner::onReplyFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    // Replies taken by stop() are no longer part of any scan.
    if (!m_activeReplies.removeOne(reply))
        return;
    pumpProbes();

    const bool subnetProbe = !reply->property(probeHostnameProperty).isValid();
    if (subnetProbe) {
        ++m_probesDone;
        emit scanProgress(m_probesDone, m_probeTotal);
        if (!m_scanning)
            return;
    }

    const bool answered = reply->error() == QNetworkReply::NoError
        || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 404;
    if (answered) {
        const QJsonObject product = reply->error() == QNetworkReply::NoError
            ? QJsonDocument::fromJson(reply->readAll()).object()
            : QJsonObject();
        const bool blackmagicServer = reply->rawHeader("Server").toLower().contains("blackmagicdesign");
        if (!product.isEmpty() || blackmagicServer) {
            DiscoveredCamera camera;
            camera.ip = reply->request().url().host();
            camera.hostname = reply->property(probeHostnameProperty).toString();
            camera.productName = product.value(QLatin1String("productName")).toString();
            if (camera.productName.isEmpty())
                camera.productName = QStringLiteral("Blackmagic device");
            camera.softwareVersion = product.value(QLatin1String("softwareVersion")).toString();
            camera.isCamera = CameraApi::productLooksLikeCamera(camera.productName);
            if (!camera.ip.isEmpty() && !m_foundIps.contains(camera.ip)) {
                m_foundIps.insert(camera.ip);
                emit cameraFound(camera);
            }
        }
    }

    if (subnetProbe)
        finishSubnetIfDone();
}

void CameraScanner::finishSubnetIfDone()
{
    if (!m_scanning || m_probesDone < m_probeTotal)
        return;
    m_scanning = false;
    if (!m_mdnsActive)
        emit scanFinished();
}

void CameraScanner::scanMdns()
{
    if (m_mdnsActive)
        return;
    m_mdnsActive = true;
    m_browseTool = MdnsBrowseTool::find(m_environment);
    if (m_browseTool.kind() == MdnsBrowseTool::Kind::Missing) {
        qCDebug(lcDiscovery) << "Neither dns-sd nor avahi-browse found; the mDNS browse stays empty";
    } else {
        m_blackmagicBrowse = startBrowse(m_browseTool.program(), m_browseTool.arguments(blackmagicService));
        connect(m_blackmagicBrowse, &QProcess::readyReadStandardOutput, this, &CameraScanner::onMdnsBrowseReadyRead);
        m_httpBrowse = startBrowse(m_browseTool.program(), m_browseTool.arguments(httpService));
        connect(m_httpBrowse, &QProcess::readyReadStandardOutput, this, &CameraScanner::onMdnsHttpBrowseReadyRead);
        m_blackmagicBrowse->start();
        m_httpBrowse->start();
    }
    m_mdnsTimer.start(browseDurationMs);
}

QProcess* CameraScanner::startBrowse(const QString& program, const QStringList& arguments)
{
    auto* process = new QProcess(this);
    process->setProcessEnvironment(m_environment);
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardErrorFile(QProcess::nullDevice());
    return process;
}

void CameraScanner::onMdnsBrowseReadyRead()
{
    readBrowseLines(m_blackmagicBrowse, blackmagicService);
}

void CameraScanner::onMdnsHttpBrowseReadyRead()
{
    readBrowseLines(m_httpBrowse, httpService);
}

void CameraScanner::readBrowseLines(QProcess*& browse, const QString& serviceType)
{
    // A receiver of the status message may stop the browse while lines are still buffered.
    QProcess* const process = browse;
    while (process && browse == process && process->canReadLine())
        parseMdnsLine(QString::fromUtf8(process->readLine()).trimmed(), serviceType);
}

void CameraScanner::parseMdnsLine(const QString& line, const QString& serviceType)
{
    handleInstance(m_browseTool.instanceName(line, serviceType));
}

void CameraScanner::handleInstance(const QString& name)
{
    if (name.isEmpty() || m_seenInstances.contains(name))
        return;
    m_seenInstances.insert(name);
    emit statusMessage(QStringLiteral("mDNS: found %1").arg(name));
    QString host = name;
    host.replace(QLatin1Char(' '), QLatin1Char('-'));
    probeHost(host + QStringLiteral(".local"));
}

void CameraScanner::probeHost(const QString& hostname)
{
    const int generation = m_lookupGeneration;
    m_hostLookup(hostname, this, [this, hostname, generation](const QHostInfo& info) {
        if (generation == m_lookupGeneration)
            onHostResolved(hostname, info);
    });
}

void CameraScanner::onHostResolved(const QString& hostname, const QHostInfo& info)
{
    if (info.error() != QHostInfo::NoError)
        return;
    // The record and the camera list hold IPv4 text; ".local" names often resolve to an
    // IPv6 link-local address first, which a plain URL host cannot carry.
    QString ip;
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            ip = address.toString();
            break;
        }
    }
    if (ip.isEmpty() || m_foundIps.contains(ip))
        return;
    QNetworkReply* reply = sendProbe(ip, mdnsProbeTimeoutMs);
    reply->setProperty(probeHostnameProperty, hostname);
    m_activeReplies.append(reply);
}

void CameraScanner::onMdnsBrowseTimeout()
{
    endBrowseProcesses();
    m_mdnsActive = false;
    emit statusMessage(m_seenInstances.isEmpty()
                           ? QStringLiteral("mDNS: no Blackmagic services found")
                           : QStringLiteral("mDNS: found %1 service(s)").arg(m_seenInstances.size()));
    if (!m_scanning)
        emit scanFinished();
}

void CameraScanner::endBrowseProcesses()
{
    for (QProcess** browse : {&m_blackmagicBrowse, &m_httpBrowse}) {
        QProcess* process = std::exchange(*browse, nullptr);
        if (!process)
            continue;
        disconnect(process, nullptr, this, nullptr);
        process->kill();
        process->waitForFinished(1000);
        // Later, because this may run inside one of the process's own signals.
        process->deleteLater();
    }
}

void CameraScanner::stop()
{
    m_mdnsTimer.stop();
    endBrowseProcesses();
    m_mdnsActive = false;
    m_pendingHosts.clear();
    ++m_lookupGeneration;
    // Deleting a reply ends its transfer. An explicit abort would collide with a failure the
    // network thread has already posted, and draw a framework warning for each such probe.
    const QList<QNetworkReply*> replies = std::exchange(m_activeReplies, {});
    for (QNetworkReply* reply : replies)
        reply->deleteLater();
    m_scanning = false;
    emit scanFinished();
}
