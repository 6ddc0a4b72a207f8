#include "CameraScanner.h"
#include "CameraSimulator.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {
// Devices on port 80 of loopback addresses, where the scanner looks for them.
class Devices {
public:
    CameraSimulator* add(const QString& ip, const QString& product = QStringLiteral("URSA Broadcast G2"))
    {
        auto simulator = std::make_unique<CameraSimulator>(product);
        if (!simulator->listen(QHostAddress(ip), 80))
            return nullptr;
        return (m_at[ip] = std::move(simulator)).get();
    }
    CameraSimulator* at(const QString& ip) const { return m_at.at(ip).get(); }
    int unansweredRequests() const
    {
        int sum = 0;
        for (const auto& [ip, simulator] : m_at)
            sum += simulator->unansweredRequests();
        return sum;
    }
    int openConnections() const
    {
        int sum = 0;
        for (const auto& [ip, simulator] : m_at)
            sum += simulator->openConnections();
        return sum;
    }
    const std::map<QString, std::unique_ptr<CameraSimulator>>& all() const { return m_at; }

private:
    std::map<QString, std::unique_ptr<CameraSimulator>> m_at;
};

// Stands in for the resolution of ".local" names, answering on the next event-loop turn.
struct FakeResolver {
    QHash<QString, QList<QHostAddress>> names;
    QStringList asked;

    CameraScanner::HostLookup lookup()
    {
        return [this](const QString& name, QObject* context, std::function<void(const QHostInfo&)> done) {
            asked << name;
            QHostInfo info;
            info.setHostName(name);
            if (names.contains(name)) {
                info.setAddresses(names.value(name));
            } else {
                info.setError(QHostInfo::HostNotFound);
                info.setErrorString(QStringLiteral("Host not found"));
            }
            QTimer::singleShot(0, context, [done, info] { done(info); });
        };
    }
};

QString describe(const DiscoveredCamera& camera)
{
    return QStringLiteral("%1 %2 \"%3\" \"%4\" %5")
        .arg(camera.ip, camera.hostname.isEmpty() ? QStringLiteral("-") : camera.hostname, camera.productName,
             camera.softwareVersion, camera.isCamera ? QStringLiteral("camera") : QStringLiteral("other"));
}

QStringList found(const QSignalSpy& spy)
{
    QStringList lines;
    for (const QList<QVariant>& arguments : spy)
        lines << describe(arguments.first().value<DiscoveredCamera>());
    lines.sort();
    return lines;
}

QStringList texts(const QSignalSpy& spy)
{
    QStringList lines;
    for (const QList<QVariant>& arguments : spy)
        lines << arguments.first().toString();
    return lines;
}

bool writeScript(const QString& path, const QByteArray& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Both stand-ins print what the real tools print, note their process id and then keep
// browsing until they are killed. PATH holds only their folder, so they use built-ins.
const QByteArray dnsSdScript = R"(#!/bin/sh
[ "$1" = "-B" ] && [ "$3" = "local." ] || exit 2
echo $$ >> "$STANDIN_PIDS"
echo "Browsing for $2"
echo "DATE: ---Sun 07 Dec 2025---"
echo " 2:30:00.000  ...STARTING..."
echo "Timestamp     A/R    Flags  if Domain               Service Type         Instance Name"
case "$2" in
_blackmagic._tcp)
echo " 2:30:00.101  Add        3   2 local.               _blackmagic._tcp.    URSA Broadcast G2"
echo " 2:30:00.102  Add        3   5 local.               _blackmagic._tcp.    URSA Broadcast G2"
echo " 2:30:00.103  Add        3   2 local.               _blackmagic._tcp.    HyperDeck Studio"
echo " 2:30:00.104  Rmv        0   2 local.               _blackmagic._tcp.    Old Camera"
echo " 2:30:00.105  Add        2   2 local.               _blackmagic._tcp.    Silent Box"
;;
_http._tcp)
echo " 2:30:00.201  Add        3   2 local.               _http._tcp.          Studio Camera 4K"
echo " 2:30:00.202  Add        3   2 local.               _http._tcp.          Office Printer"
echo " 2:30:00.203  Add        2   2 local.               _http._tcp.          URSA Broadcast G2"
;;
esac
exec /bin/sleep 30
)";

const QByteArray avahiScript = R"(#!/bin/sh
parsable=; raw=
for argument; do
  case "$argument" in -p|--parsable) parsable=1;; -k|--no-db-lookup) raw=1;; esac
  type=$argument
done
[ -n "$parsable" ] && [ -n "$raw" ] || exit 2
echo $$ >> "$STANDIN_PIDS"
echo "Failed to resolve service 'Old Camera': Timeout reached" >&2
case "$type" in
_blackmagic._tcp)
printf '%s\n' '+;lo;IPv4;URSA\032Broadcast\032G2;_blackmagic._tcp;local'
printf '%s\n' '+;lo;IPv6;URSA\032Broadcast\032G2;_blackmagic._tcp;local'
printf '%s\n' '-;lo;IPv4;Old\032Camera;_blackmagic._tcp;local'
printf '%s\n' '+;lo;IPv4;Caf\195\169\032Cam\.2;_blackmagic._tcp;local'
;;
_http._tcp)
printf '%s\n' '+;lo;IPv4;Studio\032Camera\0324K;_http._tcp;local'
printf '%s\n' '=;lo;IPv4;Studio\032Camera\0324K;_http._tcp;local;Studio-Camera-4K.local;127.0.0.24;80;'
;;
esac
exec /bin/sleep 30
)";

const QByteArray wrongToolScript = R"(#!/bin/sh
printf '%s\n' '+;lo;IPv4;Wrong\032Tool;_blackmagic._tcp;local'
exec /bin/sleep 30
)";

QProcessEnvironment pathOnly(const QString& folder)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), folder);
    environment.insert(QStringLiteral("STANDIN_PIDS"), folder + QStringLiteral("/pids"));
    return environment;
}

bool processGone(const QString& pid)
{
    return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid.trimmed()));
}
}

class TestCameraScanner : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<DiscoveredCamera>();
    }

    void subnetProbeAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("prefixLength");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("/24") << "192.168.1.77" << 24 << 254 << "192.168.1.1" << "192.168.1.254";
        QTest::newRow("/22") << "10.0.5.9" << 22 << 1022 << "10.0.4.1" << "10.0.7.254";
        QTest::newRow("/16 bounded") << "192.168.200.3" << 16 << 1024 << "192.168.0.1" << "192.168.4.0";
        QTest::newRow("/0 bounded") << "203.0.113.5" << 0 << 1024 << "0.0.0.1" << "0.0.4.0";
        QTest::newRow("/30") << "198.51.100.6" << 30 << 2 << "198.51.100.5" << "198.51.100.6";
        QTest::newRow("/31") << "198.51.100.6" << 31 << 0 << "" << "";
        QTest::newRow("/32") << "198.51.100.6" << 32 << 0 << "" << "";
        QTest::newRow("top of the range") << "255.255.255.255" << 24 << 254 << "255.255.255.1" << "255.255.255.254";
        QTest::newRow("prefix too long") << "192.168.1.77" << 33 << 0 << "" << "";
        QTest::newRow("negative prefix") << "192.168.1.77" << -1 << 0 << "" << "";
        QTest::newRow("IPv6") << "fe80::1" << 64 << 0 << "" << "";
    }

    void subnetProbeAddresses()
    {
        QFETCH(QString, address);
        QFETCH(int, prefixLength);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const QStringList hosts = CameraScanner::subnetProbeAddresses(QHostAddress(address), prefixLength);
        QCOMPARE(hosts.size(), count);
        if (count == 0)
            return;
        QCOMPARE(hosts.first(), first);
        QCOMPARE(hosts.last(), last);
        for (int i = 1; i < hosts.size(); ++i)
            QCOMPARE(QHostAddress(hosts[i]).toIPv4Address(), QHostAddress(hosts[i - 1]).toIPv4Address() + 1);
    }

    void subnetScanReportsEachDeviceOnce()
    {
        Devices devices;
        QVERIFY(devices.add("127.0.0.23"));
        QVERIFY(devices.add("127.0.0.77", "HyperDeck Studio HD Plus"));
        devices.at("127.0.0.77")->setProduct("HyperDeck Studio HD Plus", "8.1");
        // Answers 404 but names itself in the Server header, in lower case.
        QVERIFY(devices.add("127.0.0.101"));
        devices.at("127.0.0.101")->refuseEndpoint("system/product", CameraSimulator::Refusal::NotFound);
        devices.at("127.0.0.101")->setServerHeader("blackmagicdesign/2.0");
        // A 404 from anything else is not a device.
        QVERIFY(devices.add("127.0.0.102"));
        devices.at("127.0.0.102")->refuseEndpoint("system/product", CameraSimulator::Refusal::NotFound);
        devices.at("127.0.0.102")->setServerHeader("lighttpd/1.4.69");
        // An unreadable body counts only with the Server header.
        QVERIFY(devices.add("127.0.0.103"));
        devices.at("127.0.0.103")->setMalformedJson("system/product", true);
        devices.at("127.0.0.103")->setServerHeader(QByteArray());
        QVERIFY(devices.add("127.0.0.104"));
        devices.at("127.0.0.104")->setMalformedJson("system/product", true);
        devices.at("127.0.0.104")->setServerHeader("BlackmagicDesign");
        // Other error statuses are not devices, whatever the header says.
        QVERIFY(devices.add("127.0.0.105"));
        devices.at("127.0.0.105")->refuseEndpoint("system/product", CameraSimulator::Refusal::NotImplemented);
        devices.at("127.0.0.105")->setServerHeader("BlackmagicDesign");

        CameraScanner scanner;
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        QSignalSpy progress(&scanner, &CameraScanner::scanProgress);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        QSignalSpy status(&scanner, &CameraScanner::statusMessage);
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QVERIFY(scanner.isScanning());
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.size(), 1);
        QVERIFY(!scanner.isScanning());

        QCOMPARE(found(cameras), (QStringList{
            "127.0.0.101 - \"Blackmagic device\" \"\" camera",
            "127.0.0.104 - \"Blackmagic device\" \"\" camera",
            "127.0.0.23 - \"URSA Broadcast G2\" \"8.6\" camera",
            "127.0.0.77 - \"HyperDeck Studio HD Plus\" \"8.1\" other",
        }));
        QCOMPARE(progress.size(), 254);
        for (int i = 0; i < progress.size(); ++i)
            QCOMPARE(progress.at(i), (QVariantList{i + 1, 254}));
        QCOMPARE(texts(status), QStringList{"HTTP probing 254 addresses on subnet..."});
        for (const auto& [ip, simulator] : devices.all()) {
            QCOMPARE(simulator->requestCount("GET", "system/product"), 1);
            QCOMPARE(simulator->requests().first().headers.value("content-type"), QByteArray("application/json"));
        }

        // Without a full scan in between, a second probe reports nothing again.
        scanner.scanSubnet(QHostAddress("127.0.0.200"), 24);
        QVERIFY(finished.wait(30000));
        QCOMPARE(cameras.size(), 4);
        QCOMPARE(devices.at("127.0.0.23")->requestCount("GET", "system/product"), 2);
    }

    void atMost48ProbesInFlight()
    {
        Devices devices;
        for (int host = 101; host <= 200; ++host) {
            CameraSimulator* simulator = devices.add(QStringLiteral("127.0.0.%1").arg(host));
            QVERIFY(simulator);
            simulator->setResponseDelay(200);
        }
        // Held requests at the moment each arrives; nothing can be in flight unseen.
        int mostAtOnce = 0;
        for (const auto& [ip, simulator] : devices.all()) {
            connect(simulator.get(), &CameraSimulator::requestReceived, this,
                    [&] { mostAtOnce = qMax(mostAtOnce, devices.unansweredRequests()); });
        }
        CameraScanner scanner;
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QVERIFY(finished.wait(30000));
        QCOMPARE(cameras.size(), 100);
        QCOMPARE(mostAtOnce, 48);
    }

    void largeSubnets_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("prefixLength");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("probed");
        QTest::addColumn<QStringList>("notProbed");
        QTest::newRow("/22 without network and broadcast address")
            << "127.0.5.9" << 22 << 1022 << QStringList{"127.0.4.1", "127.0.7.254"}
            << QStringList{"127.0.4.0", "127.0.7.255"};
        QTest::newRow("/16 stops after 1024 addresses")
            << "127.1.99.9" << 16 << 1024 << QStringList{"127.1.0.1", "127.1.4.0"}
            << QStringList{"127.1.0.0", "127.1.4.1"};
    }

    void largeSubnets()
    {
        QFETCH(QString, address);
        QFETCH(int, prefixLength);
        QFETCH(int, total);
        QFETCH(QStringList, probed);
        QFETCH(QStringList, notProbed);
        Devices devices;
        for (const QString& ip : probed + notProbed)
            QVERIFY(devices.add(ip));

        CameraScanner scanner;
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        QSignalSpy progress(&scanner, &CameraScanner::scanProgress);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        scanner.scanSubnet(QHostAddress(address), prefixLength);
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(progress.size(), total);
        QCOMPARE(progress.last(), (QVariantList{total, total}));
        QStringList reported;
        for (const QList<QVariant>& arguments : cameras)
            reported << arguments.first().value<DiscoveredCamera>().ip;
        QCOMPARE(reported, probed);
        for (const QString& ip : notProbed)
            QCOMPARE(devices.at(ip)->requests().size(), 0);
    }

    void tinySubnetsFinishAtOnce_data()
    {
        QTest::addColumn<int>("prefixLength");
        QTest::newRow("/31") << 31;
        QTest::newRow("/32") << 32;
    }

    void tinySubnetsFinishAtOnce()
    {
        QFETCH(int, prefixLength);
        CameraScanner scanner;
        QSignalSpy progress(&scanner, &CameraScanner::scanProgress);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        QSignalSpy status(&scanner, &CameraScanner::statusMessage);
        scanner.scanSubnet(QHostAddress("127.0.0.9"), prefixLength);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!scanner.isScanning());
        QCOMPARE(progress.size(), 0);
        QCOMPARE(texts(status), QStringList{"HTTP probing 0 addresses on subnet..."});
    }

    void stopMidScan()
    {
        // Silent devices on the first 48 addresses hold every probe slot.
        Devices devices;
        for (int host = 1; host <= 48; ++host) {
            CameraSimulator* simulator = devices.add(QStringLiteral("127.0.0.%1").arg(host));
            QVERIFY(simulator);
            simulator->setBlackHole(true);
        }
        QVERIFY(devices.add("127.0.0.200"));

        CameraScanner scanner;
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        QSignalSpy progress(&scanner, &CameraScanner::scanProgress);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QTRY_COMPARE(devices.unansweredRequests(), 48);
        scanner.stop();
        QCOMPARE(finished.size(), 1);
        QVERIFY(!scanner.isScanning());
        QTRY_COMPARE(devices.openConnections(), 0);
        QCOMPARE(progress.size(), 0);
        QCOMPARE(cameras.size(), 0);
        QCOMPARE(devices.at("127.0.0.200")->requests().size(), 0);

        // The stopped scan leaves nothing behind that would confuse the next one.
        for (const auto& [ip, simulator] : devices.all())
            simulator->setBlackHole(false);
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.size(), 2);
        QCOMPARE(progress.size(), 254);
        QCOMPARE(cameras.size(), 49);

        scanner.stop();
        QCOMPARE(finished.size(), 3);
    }

    void stopLeavesFailedProbesAlone()
    {
        // Devices that refuse the probe: while the first refusal is reported, others have
        // already failed and only wait for their turn.
        Devices devices;
        for (int host = 1; host <= 40; ++host) {
            CameraSimulator* simulator = devices.add(QStringLiteral("127.0.0.%1").arg(host));
            QVERIFY(simulator);
            simulator->refuseEndpoint("system/product", CameraSimulator::Refusal::NotImplemented);
        }
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg)
                warnings << text;
        });
        CameraScanner scanner;
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        connect(&scanner, &CameraScanner::scanProgress, &scanner, [&scanner](int done) {
            if (done == 1)
                scanner.stop();
        });
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QVERIFY(finished.wait(10000));
        // The reports of refusals already read arrive after the stop; a second scan through
        // the same network thread ends after them.
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 30);
        QVERIFY(finished.wait(10000));
        qInstallMessageHandler(previous);
        QCOMPARE(warnings, QStringList());
    }

    void browseWithDnsSd()
    {
        Devices devices;
        QVERIFY(devices.add("127.0.0.23"));
        QVERIFY(devices.add("127.0.0.77", "HyperDeck Studio"));
        QVERIFY(devices.add("127.0.0.24", "Studio Camera 4K Pro"));
        QTemporaryDir tools;
        QVERIFY(writeScript(tools.filePath("dns-sd"), dnsSdScript));
        QVERIFY(writeScript(tools.filePath("avahi-browse"), wrongToolScript));
        FakeResolver resolver;
        // The IPv6 address that ".local" names often resolve to first cannot be probed as text.
        resolver.names = {{"URSA-Broadcast-G2.local", {QHostAddress("fe80::1"), QHostAddress("127.0.0.23")}},
                          {"HyperDeck-Studio.local", {QHostAddress("127.0.0.77")}},
                          {"Silent-Box.local", {QHostAddress("127.0.0.88")}},
                          {"Studio-Camera-4K.local", {QHostAddress("127.0.0.24")}}};

        CameraScanner scanner;
        scanner.setProcessEnvironment(pathOnly(tools.path()));
        scanner.setHostLookup(resolver.lookup());
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        QSignalSpy status(&scanner, &CameraScanner::statusMessage);
        scanner.scanMdns();
        QVERIFY(scanner.isScanning());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QVERIFY(!scanner.isScanning());

        QCOMPARE(found(cameras), (QStringList{
            "127.0.0.23 URSA-Broadcast-G2.local \"URSA Broadcast G2\" \"8.6\" camera",
            "127.0.0.24 Studio-Camera-4K.local \"Studio Camera 4K Pro\" \"8.6\" camera",
            "127.0.0.77 HyperDeck-Studio.local \"HyperDeck Studio\" \"8.6\" other",
        }));
        QStringList asked = resolver.asked;
        asked.sort();
        QCOMPARE(asked, (QStringList{"HyperDeck-Studio.local", "Office-Printer.local", "Silent-Box.local",
                                     "Studio-Camera-4K.local", "URSA-Broadcast-G2.local"}));
        QStringList messages = texts(status);
        QCOMPARE(messages.takeLast(), QString("mDNS: found 5 service(s)"));
        messages.sort();
        QCOMPARE(messages, (QStringList{"mDNS: found HyperDeck Studio", "mDNS: found Office Printer",
                                        "mDNS: found Silent Box", "mDNS: found Studio Camera 4K",
                                        "mDNS: found URSA Broadcast G2"}));

        QFile pids(tools.filePath("pids"));
        QVERIFY(pids.open(QIODevice::ReadOnly));
        const QList<QByteArray> browsers = pids.readAll().split('\n');
        QCOMPARE(browsers.size(), 3);
        QVERIFY(processGone(browsers[0]));
        QVERIFY(processGone(browsers[1]));
    }

    void browseWithAvahi()
    {
        Devices devices;
        QVERIFY(devices.add("127.0.0.23"));
        QVERIFY(devices.add("127.0.0.24", "Studio Camera 4K Pro"));
        QVERIFY(devices.add("127.0.0.25", "Micro Studio Camera 4K G2"));
        QTemporaryDir tools;
        QVERIFY(writeScript(tools.filePath("avahi-browse"), avahiScript));
        FakeResolver resolver;
        resolver.names = {{"URSA-Broadcast-G2.local", {QHostAddress("127.0.0.23")}},
                          {"Café-Cam.2.local", {QHostAddress("127.0.0.25")}},
                          {"Studio-Camera-4K.local", {QHostAddress("127.0.0.24")}}};

        CameraScanner scanner;
        scanner.setProcessEnvironment(pathOnly(tools.path()));
        scanner.setHostLookup(resolver.lookup());
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        QSignalSpy status(&scanner, &CameraScanner::statusMessage);
        scanner.scanMdns();
        QVERIFY(finished.wait(10000));

        QCOMPARE(found(cameras), (QStringList{
            "127.0.0.23 URSA-Broadcast-G2.local \"URSA Broadcast G2\" \"8.6\" camera",
            "127.0.0.24 Studio-Camera-4K.local \"Studio Camera 4K Pro\" \"8.6\" camera",
            "127.0.0.25 Café-Cam.2.local \"Micro Studio Camera 4K G2\" \"8.6\" camera",
        }));
        QCOMPARE(resolver.asked.size(), 3);
        QCOMPARE(texts(status).last(), QString("mDNS: found 3 service(s)"));
        QFile pids(tools.filePath("pids"));
        QVERIFY(pids.open(QIODevice::ReadOnly));
        const QList<QByteArray> browsers = pids.readAll().split('\n');
        QCOMPARE(browsers.size(), 3);
        QVERIFY(processGone(browsers[0]));
        QVERIFY(processGone(browsers[1]));
    }

    void fullScanWithoutABrowser()
    {
        QTemporaryDir noTools;
        CameraScanner scanner;
        scanner.setProcessEnvironment(pathOnly(noTools.path()));
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);
        QSignalSpy status(&scanner, &CameraScanner::statusMessage);
        scanner.scanInterface(QHostAddress("127.0.0.9"), 32);
        // The empty subnet is done at once, but the browse still runs its course.
        QCOMPARE(finished.size(), 0);
        QVERIFY(scanner.isScanning());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(texts(status), (QStringList{"Browsing for Blackmagic devices via mDNS...",
                                             "HTTP probing 0 addresses on subnet...",
                                             "mDNS: no Blackmagic services found"}));
    }

    void deviceFoundBothWaysIsReportedOnce()
    {
        Devices devices;
        QVERIFY(devices.add("127.0.0.23"));
        QTemporaryDir tools;
        QVERIFY(writeScript(tools.filePath("dns-sd"), dnsSdScript));
        FakeResolver resolver;
        resolver.names = {{"URSA-Broadcast-G2.local", {QHostAddress("127.0.0.23")}}};
        CameraScanner scanner;
        scanner.setProcessEnvironment(pathOnly(tools.path()));
        scanner.setHostLookup(resolver.lookup());
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        QSignalSpy finished(&scanner, &CameraScanner::scanFinished);

        scanner.scanMdns();
        QVERIFY(finished.wait(10000));
        QCOMPARE(found(cameras), QStringList{"127.0.0.23 URSA-Broadcast-G2.local \"URSA Broadcast G2\" \"8.6\" camera"});
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QVERIFY(finished.wait(30000));
        QCOMPARE(cameras.size(), 1);
        QCOMPARE(devices.at("127.0.0.23")->requestCount("GET", "system/product"), 2);

        // A full scan starts afresh and finds the device again, once, whichever way first.
        cameras.clear();
        finished.clear();
        scanner.scanInterface(QHostAddress("127.0.0.1"), 24);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(cameras.size(), 1);
        QCOMPARE(cameras.first().first().value<DiscoveredCamera>().ip, QString("127.0.0.23"));
    }

    void probeHostResolvesAndProbes()
    {
        Devices devices;
        QVERIFY(devices.add("127.0.0.23"));
        CameraScanner scanner;
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        scanner.probeHost("127.0.0.23");
        QVERIFY(cameras.wait(10000));
        QCOMPARE(found(cameras), QStringList{"127.0.0.23 127.0.0.23 \"URSA Broadcast G2\" \"8.6\" camera"});
        QCOMPARE(devices.at("127.0.0.23")->requests().first().headers.value("content-type"),
                 QByteArray("application/json"));
    }

    void stopForgetsPendingLookups()
    {
        Devices devices;
        QVERIFY(devices.add("127.0.0.23"));
        QList<std::function<void()>> held;
        CameraScanner scanner;
        scanner.setHostLookup([&](const QString& name, QObject*, std::function<void(const QHostInfo&)> done) {
            QHostInfo info;
            info.setHostName(name);
            info.setAddresses({QHostAddress("127.0.0.23")});
            held << [done, info] { done(info); };
        });
        QSignalSpy requested(devices.at("127.0.0.23"), &CameraSimulator::requestReceived);
        scanner.probeHost("late.local");
        scanner.probeHost("early.local");
        held.takeLast()();
        QVERIFY(requested.wait(5000));
        scanner.stop();
        held.takeLast()();
        QVERIFY(!requested.wait(500));
        QCOMPARE(requested.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCameraScanner)
#include "tst_camerascanner.moc"
