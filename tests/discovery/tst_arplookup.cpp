#include "ArpLookup.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Table = QHash<QString, QString>;

namespace {
// As printed by net-tools' arp -an on Linux, then by the BSD/macOS one.
const QByteArray arpOutput = "? (192.0.2.10) at 7c:2e:0d:01:02:03 [ether] on eth0\n"
                             "? (192.0.2.11) at <incomplete> on eth0\n"
                             "? (192.0.2.12) at 7C:2E:D:1:2:4 [ether] on eth0\n"
                             "? (192.0.2.13) at 7c:2e:0d:01:02:03 [ether] on eth1\n"
                             "? (198.51.100.7) at 0:1b:2c:d:4e:5f on en0 ifscope [ethernet]\n"
                             "? (198.51.100.8) at (incomplete) on en0 ifscope [ethernet]\n";
const QByteArray kernelTable = "IP address       HW type     Flags       HW address            Mask     Device\n"
                               "192.0.2.20       0x1         0x2         7c:2e:0d:aa:bb:cc     *        eth0\n"
                               "192.0.2.21       0x1         0x0         00:00:00:00:00:00     *        eth0\n"
                               "192.0.2.22       0x1         0x2         7c:2e:0d:aa:bb:cc     *        eth1\n"
                               "192.0.2.23       0x1         0x6         7c:2e:0d:aa:bb:dd     *        eth0\n";

bool write(const QString& path, const QByteArray& text, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return !executable || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
}

class TestArpLookup : public QObject {
    Q_OBJECT

private slots:
    void normalizeMac()
    {
        QCOMPARE(ArpLookup::normalizeMac("0:1B:2c:D:4e:5F"), QString("00:1b:2c:0d:4e:5f"));
        QCOMPARE(ArpLookup::normalizeMac("00-1b-2c-0d-4e-5f"), QString("00:1b:2c:0d:4e:5f"));
        for (const char* bad : {"001b.2c0d.4e5f", "00:1b:2c:0d:4e", "00:1b:2c:0d:4e:5f:11", "000:1b:2c:0d:4e:5f", "00::2c:0d:4e:5f"})
            QVERIFY2(ArpLookup::normalizeMac(bad).isEmpty(), bad);
    }

    // The kernel's table where it exists, without starting the tool; the tool's otherwise.
    void lookups_data()
    {
        QTest::addColumn<bool>("hasKernelTable");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<Table>("table");
        QTest::newRow("arp tool") << false << "192.0.2.12" << "7c:2e:0d:01:02:04"
                                  << Table{{"7c:2e:0d:01:02:03", "192.0.2.10"}, {"7c:2e:0d:01:02:04", "192.0.2.12"},
                                           {"00:1b:2c:0d:4e:5f", "198.51.100.7"}};
        QTest::newRow("kernel table") << true << "192.0.2.23" << "7c:2e:0d:aa:bb:dd"
                                      << Table{{"7c:2e:0d:aa:bb:cc", "192.0.2.20"}, {"7c:2e:0d:aa:bb:dd", "192.0.2.23"}};
    }
    void lookups()
    {
        QFETCH(bool, hasKernelTable);
        QFETCH(QString, ip);
        QFETCH(QString, mac);
        QFETCH(Table, table);
        QTemporaryDir dir;
        const QString ran = dir.filePath("tool-ran");
        QVERIFY(write(dir.filePath("arp"), "#!/bin/sh\ntouch '" + ran.toUtf8() + "'\nprintf '%s' '" + arpOutput
                      + "' | { [ \"$1\" = -an ] && cat || grep -F \"($2)\"; }\n", true));
        QVERIFY(!hasKernelTable || write(dir.filePath("proc-arp"), kernelTable));
        SystemArpSource source(nullptr, dir.filePath("arp"), dir.filePath("proc-arp"));
        QCOMPARE(source.macForIp(ip), mac);
        QCOMPARE(source.macForIp("192.0.2.21"), QString());
        QCOMPARE(source.ipForMac(mac.toUpper().replace(':', '-')), ip);
        QCOMPARE(source.ipForMac(mac.left(14)), QString());

        QSignalSpy read(&source, &ArpSource::tableRead);
        source.startTableRead();
        QVERIFY(source.isReading());
        source.startTableRead();
        QVERIFY(read.wait(5000));
        QCOMPARE(read.count(), 1);
        QCOMPARE(read.at(0).at(0).value<Table>(), table);
        QVERIFY(!source.isReading());
        QCOMPARE(QFile::exists(ran), !hasKernelTable);
    }

    void hangingToolIsKilledAndItsOutputKept()
    {
        QTemporaryDir dir;
        QVERIFY(write(dir.filePath("arp"), "#!/bin/sh\necho '? (192.0.2.30) at 7c:2e:0d:00:00:01 [ether] on eth0'\nexec sleep 30\n", true));
        SystemArpSource source(nullptr, dir.filePath("arp"), dir.filePath("no-proc-table"));
        QSignalSpy read(&source, &ArpSource::tableRead);
        source.startTableRead();
        QVERIFY(read.wait(9000));
        QCOMPARE(read.at(0).at(0).value<Table>(), (Table{{"7c:2e:0d:00:00:01", "192.0.2.30"}}));

        // A single lookup gives up on the tool rather than hold its caller.
        QElapsedTimer lookup;
        lookup.start();
        QCOMPARE(source.macForIp("192.0.2.30"), QString());
        QVERIFY2(lookup.elapsed() < 3000, qPrintable(QString("%1 ms").arg(lookup.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestArpLookup)
#include "tst_arplookup.moc"
