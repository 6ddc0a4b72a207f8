#include "CameraScanner.h"
#include "CameraSimulator.h"
#include "TestHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>
#include <optional>

namespace {
// A scanner and what it reports.
struct Scan {
    CameraScanner scanner;
    QSignalSpy cameras{&scanner, &CameraScanner::cameraFound};
    QSignalSpy progress{&scanner, &CameraScanner::scanProgress};
    QSignalSpy finished{&scanner, &CameraScanner::scanFinished};
    QSignalSpy status{&scanner, &CameraScanner::statusMessage};
};

QStringList found(const QSignalSpy& spy)
{
    QStringList lines;
    for (const QList<QVariant>& arguments : spy) {
        const auto camera = arguments.first().value<DiscoveredCamera>();
        lines << QStringLiteral("%1 %2 \"%3\" \"%4\" %5")
                     .arg(camera.ip, camera.hostname, camera.productName, camera.softwareVersion,
                          camera.isCamera ? "camera" : "other");
    }
    lines.sort();
    return lines;
}

// Stand-ins for the browse tools: they print what the real ones print, note their process
// id and keep browsing until they are killed. PATH holds only their folder.
const QByteArray dnsSdScript = R"(#!/bin/sh
[ "$1" = -B ] && [ "$3" = local. ] || exit 2
echo $$ >> "${0%/dns-sd}/pids"
echo "Browsing for $2"
echo "Timestamp     A/R    Flags  if Domain               Service Type         Instance Name"
case "$2" in
_blackmagic._tcp) for name in "URSA Broadcast G2" "URSA Broadcast G2" "HyperDeck Studio" "Silent Box"; do
  echo " 2:30:00.101  Add        3   2 local.               _blackmagic._tcp.    $name"; done
  echo " 2:30:00.104  Rmv        0   2 local.               _blackmagic._tcp.    Old Camera";;
_http._tcp) echo " 2:30:00.201  Add        3   2 local.               _http._tcp.          Studio Camera 4K";;
esac
exec /bin/sleep 30
)";

const QByteArray avahiScript = R"(#!/bin/sh
[ "$1 $2" = "--parsable --no-db-lookup" ] || exit 2
echo $$ >> "${0%/avahi-browse}/pids"
echo "Failed to resolve service 'Old Camera': Timeout reached" >&2
case "$3" in
_blackmagic._tcp) printf '%s\n' '+;lo;IPv4;URSA\032Broadcast\032G2;_blackmagic._tcp;local' \
  '+;lo;IPv6;URSA\032Broadcast\032G2;_blackmagic._tcp;local' '-;lo;IPv4;Old\032Camera;_blackmagic._tcp;local' \
  '+;lo;IPv4;Caf\195\169\032Cam\.2;_blackmagic._tcp;local';;
_http._tcp) printf '%s\n' '+;lo;IPv4;Studio\032Camera\0324K;_http._tcp;local' \
  '=;lo;IPv4;Studio\032Camera\0324K;_http._tcp;local;Studio-Camera-4K.local;127.0.0.24;80;';;
esac
exec /bin/sleep 30
)";
}

class TestCameraScanner : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_tools;
    std::unique_ptr<Scan> m_scan;
    std::map<QString, std::unique_ptr<CameraSimulator>> m_devices;

    // A device on port 80 of a loopback address, where the scanner looks for it.
    CameraSimulator* device(const QString& ip, const QString& product = QStringLiteral("URSA Broadcast G2"))
    {
        auto simulator = std::make_unique<CameraSimulator>(product);
        return simulator->listen(QHostAddress(ip), 80) ? (m_devices[ip] = std::move(simulator)).get() : nullptr;
    }
    int sum(int (CameraSimulator::*count)() const) const
    {
        int total = 0;
        for (const auto& [ip, simulator] : m_devices)
            total += (*simulator.*count)();
        return total;
    }
    bool installTool(const QString& name, const QByteArray& script)
    {
        QFile file(m_tools.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(script) == script.size()
            && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private slots:
    void initTestCase() { qRegisterMetaType<DiscoveredCamera>(); }

    // The browse tools are found only in the test's folder; ".local" names resolve on the next
    // turn of the event loop, the first to an IPv6 address that cannot be probed as text.
    void init()
    {
        for (const QString& file : QDir(m_tools.path()).entryList(QDir::Files))
            QFile::remove(m_tools.filePath(file));
        m_scan = std::make_unique<Scan>();
        QProcessEnvironment environment;
        environment.insert("PATH", m_tools.path());
        m_scan->scanner.setProcessEnvironment(environment);
        m_scan->scanner.setHostLookup([](const QString& name, QObject* context, std::function<void(const QHostInfo&)> done) {
            static const QHash<QString, QList<QHostAddress>> names{
                {"URSA-Broadcast-G2.local", {QHostAddress("fe80::1"), QHostAddress("127.0.0.23")}},
                {"HyperDeck-Studio.local", {QHostAddress("127.0.0.77")}},
                {"Studio-Camera-4K.local", {QHostAddress("127.0.0.24")}},
                {"Café-Cam.2.local", {QHostAddress("127.0.0.25")}}};
            QHostInfo info;
            info.setAddresses(names.value(name));
            if (!names.contains(name))
                info.setError(QHostInfo::HostNotFound);
            QTimer::singleShot(0, context, [done, info] { done(info); });
        });
    }
    void cleanup()
    {
        m_scan.reset();
        m_devices.clear();
    }

    void subnetScan_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("prefixLength");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("probed");
        QTest::addColumn<QStringList>("notProbed");
        QTest::newRow("/24") << "127.0.0.77" << 24 << 254 << QStringList{"127.0.0.1", "127.0.0.254"}
                             << QStringList{"127.0.0.0", "127.0.0.255"};
        QTest::newRow("/16 stops after 1024") << "127.1.99.9" << 16 << 1024 << QStringList{"127.1.0.1", "127.1.4.0"}
                                              << QStringList{"127.1.0.0", "127.1.4.1"};
        QTest::newRow("/30") << "127.0.9.6" << 30 << 2 << QStringList{"127.0.9.5", "127.0.9.6"}
                             << QStringList{"127.0.9.4", "127.0.9.7"};
        QTest::newRow("/31") << "127.0.9.6" << 31 << 0 << QStringList{} << QStringList{"127.0.9.6", "127.0.9.7"};
        QTest::newRow("prefix too long") << "127.0.9.6" << 33 << 0 << QStringList{} << QStringList{};
        QTest::newRow("IPv6") << "::1" << 64 << 0 << QStringList{} << QStringList{};
    }
    void subnetScan()
    {
        QFETCH(QString, address);
        QFETCH(int, prefixLength);
        QFETCH(int, total);
        QFETCH(QStringList, probed);
        QFETCH(QStringList, notProbed);
        for (const QString& ip : probed + notProbed)
            QVERIFY(device(ip));
        m_scan->scanner.scanSubnet(QHostAddress(address), prefixLength);
        // An empty subnet is done at once.
        QCOMPARE(m_scan->scanner.isScanning(), total > 0);
        QVERIFY(total == 0 || m_scan->finished.wait(60000));
        QCOMPARE(m_scan->finished.size(), 1);
        QCOMPARE(texts(m_scan->status), QStringList{QString("HTTP probing %1 addresses on subnet...").arg(total)});
        QCOMPARE(m_scan->progress.size(), total);
        for (int i = 0; i < total; ++i)
            QCOMPARE(m_scan->progress.at(i), (QVariantList{i + 1, total}));
        QStringList reported;
        for (const QList<QVariant>& arguments : m_scan->cameras)
            reported << arguments.first().value<DiscoveredCamera>().ip;
        reported.sort();
        QCOMPARE(reported, probed);
        for (const QString& ip : notProbed)
            QCOMPARE(m_devices[ip]->requests().size(), 0);
    }

    // Subnets that cannot be probed here on loopback.
    void subnetAddressesAtTheEdges()
    {
        QCOMPARE(CameraScanner::subnetProbeAddresses(QHostAddress("255.255.255.255"), 24).last(), "255.255.255.254");
        const QStringList everything = CameraScanner::subnetProbeAddresses(QHostAddress("203.0.113.5"), 0);
        QCOMPARE(QStringList({everything.first(), everything.last()}), QStringList({"0.0.0.1", "0.0.4.0"}));
    }

    void onlyBlackmagicDevicesAreReported()
    {
        QVERIFY(device("127.0.0.23"));
        QVERIFY(device("127.0.0.77", "HyperDeck Studio HD Plus"));
        m_devices["127.0.0.77"]->setProduct("HyperDeck Studio HD Plus", "8.1");
        // Status, server header and body of the answer, and whether that makes a device.
        using Refusal = std::optional<CameraSimulator::Refusal>;
        const struct { const char* ip; Refusal refusal; QByteArray server; bool malformed; } others[] = {
            {"127.0.0.101", CameraSimulator::Refusal::NotFound, "blackmagicdesign/2.0", false},  // yes
            {"127.0.0.102", CameraSimulator::Refusal::NotFound, "lighttpd/1.4.69", false},       // no
            {"127.0.0.103", std::nullopt, "", true},                                             // no
            {"127.0.0.104", std::nullopt, "BlackmagicDesign", true},                             // yes
            {"127.0.0.105", CameraSimulator::Refusal::NotImplemented, "BlackmagicDesign", false} // no
        };
        for (const auto& other : others) {
            CameraSimulator* simulator = device(other.ip);
            QVERIFY(simulator);
            if (other.refusal)
                simulator->refuseEndpoint("system/product", *other.refusal);
            simulator->setServerHeader(other.server);
            simulator->setMalformedJson("system/product", other.malformed);
        }
        m_scan->scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QVERIFY(m_scan->finished.wait(30000));
        QCOMPARE(found(m_scan->cameras), (QStringList{
            "127.0.0.101  \"Blackmagic device\" \"\" camera", "127.0.0.104  \"Blackmagic device\" \"\" camera",
            "127.0.0.23  \"URSA Broadcast G2\" \"8.6\" camera", "127.0.0.77  \"HyperDeck Studio HD Plus\" \"8.1\" other"}));
        for (const auto& [ip, simulator] : m_devices)
            QCOMPARE(simulator->requests().first().headers.value("content-type"), QByteArray("application/json"));
    }

    // Silent devices on the first 48 addresses hold every probe slot until the stop. The stopped
    // scan leaves nothing behind that would confuse the next one, which never has more than 48
    // probes in flight either.
    void atMost48ProbesInFlightAndStopEndsThem()
    {
        int mostAtOnce = 0;
        int swallowed = 0;    // what the silent devices kept; it stays counted as unanswered
        for (int host = 1; host <= 100; ++host) {
            CameraSimulator* simulator = device(QStringLiteral("127.0.0.%1").arg(host));
            QVERIFY(simulator);
            simulator->setBlackHole(host <= 48);
            simulator->setResponseDelay(200);
            // Held requests at the moment each arrives; nothing can be in flight unseen.
            connect(simulator, &CameraSimulator::requestReceived, this,
                    [&] { mostAtOnce = qMax(mostAtOnce, sum(&CameraSimulator::unansweredRequests) - swallowed); });
        }
        m_scan->scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QTRY_COMPARE(sum(&CameraSimulator::unansweredRequests), 48);
        m_scan->scanner.stop();
        QCOMPARE(m_scan->finished.size(), 1);
        QVERIFY(!m_scan->scanner.isScanning());
        QTRY_COMPARE(sum(&CameraSimulator::openConnections), 0);
        QCOMPARE(m_scan->progress.size() + m_scan->cameras.size(), 0);
        QCOMPARE(m_devices["127.0.0.49"]->requests().size(), 0);

        for (const auto& [ip, simulator] : m_devices)
            simulator->setBlackHole(false);
        swallowed = 48;
        mostAtOnce = 0;
        m_scan->scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
        QVERIFY(m_scan->finished.wait(30000));
        QCOMPARE(m_scan->progress.size(), 254);
        QCOMPARE(m_scan->cameras.size(), 100);
        QCOMPARE(mostAtOnce, 48);
    }

    void stopLeavesFailedProbesAlone()
    {
        // Nothing listens on the probed addresses: the network thread fails every probe at
        // once, so while the first failure is reported, others only wait for their turn.
        static QStringList warnings;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg)
                warnings << text;
        });
        CameraScanner& scanner = m_scan->scanner;
        connect(&scanner, &CameraScanner::scanProgress, &scanner, [&scanner](int done) {
            if (done == 1)
                scanner.stop();
        });
        // Whether a failure is still on its way at the stop depends on the threads' timing;
        // a few rounds make it all but certain that one is.
        for (int round = 0; round < 5; ++round) {
            scanner.scanSubnet(QHostAddress("127.0.0.1"), 24);
            QVERIFY(m_scan->finished.wait(10000));
        }
        // The failures already posted arrive after the stop; a last scan through
        // the same network thread ends after them.
        scanner.scanSubnet(QHostAddress("127.0.0.1"), 30);
        QVERIFY(m_scan->finished.wait(10000));
        qInstallMessageHandler(previous);
        QCOMPARE(warnings, QStringList());
    }

    void browse_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("cameras");
        QTest::addColumn<QString>("summary");
        const QString ursa = "127.0.0.23 URSA-Broadcast-G2.local \"URSA Broadcast G2\" \"8.6\" camera";
        const QString studio = "127.0.0.24 Studio-Camera-4K.local \"Studio Camera 4K Pro\" \"8.6\" camera";
        QTest::newRow("dns-sd") << "dns-sd" << dnsSdScript
            << QStringList{ursa, studio, "127.0.0.77 HyperDeck-Studio.local \"HyperDeck Studio\" \"8.6\" other"}
            << "mDNS: found 4 service(s)";
        QTest::newRow("avahi-browse") << "avahi-browse" << avahiScript
            << QStringList{ursa, studio, "127.0.0.25 Café-Cam.2.local \"Micro Studio Camera 4K G2\" \"8.6\" camera"}
            << "mDNS: found 3 service(s)";
        QTest::newRow("neither") << "" << QByteArray() << QStringList{} << "mDNS: no Blackmagic services found";
    }
    void browse()
    {
        QFETCH(QString, tool);
        QFETCH(QByteArray, script);
        QFETCH(QStringList, cameras);
        QFETCH(QString, summary);
        QVERIFY(device("127.0.0.23"));
        QVERIFY(device("127.0.0.24", "Studio Camera 4K Pro"));
        QVERIFY(device("127.0.0.25", "Micro Studio Camera 4K G2"));
        QVERIFY(device("127.0.0.77", "HyperDeck Studio"));
        QVERIFY(tool.isEmpty() || installTool(tool, script));
        m_scan->scanner.scanMdns();
        QVERIFY(m_scan->scanner.isScanning());
        QVERIFY(m_scan->finished.wait(10000));
        QCOMPARE(m_scan->finished.size(), 1);
        QCOMPARE(found(m_scan->cameras), cameras);
        QCOMPARE(texts(m_scan->status).last(), summary);
        // Both browses were started, and are gone.
        QFile pids(m_tools.filePath("pids"));
        const QList<QByteArray> browsers = pids.open(QIODevice::ReadOnly) ? pids.readAll().split('\n') : QList<QByteArray>{""};
        QCOMPARE(browsers.size(), tool.isEmpty() ? 1 : 3);
        for (const QByteArray& pid : browsers.mid(0, browsers.size() - 1))
            QVERIFY(!QFileInfo::exists("/proc/" + pid));
    }

    void fullScanReportsADeviceFoundBothWaysOnce()
    {
        QVERIFY(device("127.0.0.23"));
        QVERIFY(installTool("dns-sd", dnsSdScript));
        // Found by the browse and by the subnet probe (whichever answers first), reported once;
        // a second full scan starts afresh and reports it again.
        for (int scan = 1; scan <= 2; ++scan) {
            m_scan->scanner.scanInterface(QHostAddress("127.0.0.1"), 24);
            QVERIFY(m_scan->finished.wait(30000));
            // Only when both the subnet and the browse are done.
            QVERIFY(!m_scan->scanner.isScanning());
            QCOMPARE(m_scan->finished.size(), scan);
            QCOMPARE(m_scan->cameras.size(), scan);
        }
        QCOMPARE(texts(m_scan->status).mid(0, 2),
                 (QStringList{"Browsing for Blackmagic devices via mDNS...", "HTTP probing 254 addresses on subnet..."}));
    }

    void probeHostResolvesTheName()
    {
        QVERIFY(device("127.0.0.23"));
        CameraScanner scanner;
        QSignalSpy cameras(&scanner, &CameraScanner::cameraFound);
        scanner.probeHost("127.0.0.23");
        QVERIFY(cameras.wait(10000));
        QCOMPARE(found(cameras), QStringList{"127.0.0.23 127.0.0.23 \"URSA Broadcast G2\" \"8.6\" camera"});
    }

    void stopForgetsPendingLookups()
    {
        QVERIFY(device("127.0.0.23"));
        QList<std::function<void()>> held;
        m_scan->scanner.setHostLookup([&](const QString&, QObject*, std::function<void(const QHostInfo&)> done) {
            QHostInfo info;
            info.setAddresses({QHostAddress("127.0.0.23")});
            held << [done, info] { done(info); };
        });
        QSignalSpy requested(m_devices["127.0.0.23"].get(), &CameraSimulator::requestReceived);
        m_scan->scanner.probeHost("late.local");
        m_scan->scanner.probeHost("early.local");
        held.takeLast()();
        QVERIFY(requested.wait(5000));
        m_scan->scanner.stop();
        held.takeLast()();
        QVERIFY(!requested.wait(500));
        QCOMPARE(requested.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCameraScanner)
#include "tst_camerascanner.moc"
