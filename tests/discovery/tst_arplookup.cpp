#include "ArpLookup.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Table = QHash<QString, QString>;

namespace {
// As printed by net-tools' arp -an on Linux.
const char* linuxArpOutput =
    "? (192.0.2.10) at 7c:2e:0d:01:02:03 [ether] on eth0\n"
    "? (192.0.2.11) at <incomplete> on eth0\n"
    "? (192.0.2.12) at 7C:2E:D:1:2:4 [ether] on eth0\n"
    "? (192.0.2.13) at 7c:2e:0d:01:02:03 [ether] on eth1\n"
    "gateway (192.0.2.1) at 00:1b:2c:0d:4e:5f [ether] on eth0\n";

// As printed by the BSD/macOS arp -an.
const char* bsdArpOutput =
    "? (198.51.100.7) at 0:1b:2c:d:4e:5f on en0 ifscope [ethernet]\n"
    "? (198.51.100.8) at (incomplete) on en0 ifscope [ethernet]\n";

const char* procNetArp =
    "IP address       HW type     Flags       HW address            Mask     Device\n"
    "192.0.2.20       0x1         0x2         7c:2e:0d:aa:bb:cc     *        eth0\n"
    "192.0.2.21       0x1         0x0         00:00:00:00:00:00     *        eth0\n"
    "192.0.2.22       0x1         0x2         7c:2e:0d:aa:bb:cc     *        eth1\n"
    "192.0.2.23       0x1         0x6         7c:2e:0d:aa:bb:dd     *        eth0\n";

bool writeExecutable(const QString& path, const QByteArray& script)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}
}

class TestArpLookup : public QObject {
    Q_OBJECT

private slots:
    void normalizeMac_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("canonical");
        QTest::newRow("unpadded mixed case") << "0:1B:2c:D:4e:5F" << "00:1b:2c:0d:4e:5f";
        QTest::newRow("dashes") << "00-1b-2c-0d-4e-5f" << "00:1b:2c:0d:4e:5f";
        QTest::newRow("already canonical") << "7c:2e:0d:01:02:03" << "7c:2e:0d:01:02:03";
        QTest::newRow("dotted") << "001b.2c0d.4e5f" << "";
        QTest::newRow("five groups") << "00:1b:2c:0d:4e" << "";
        QTest::newRow("seven groups") << "00:1b:2c:0d:4e:5f:11" << "";
        QTest::newRow("long group") << "000:1b:2c:0d:4e:5f" << "";
        QTest::newRow("empty group") << "00::2c:0d:4e:5f" << "";
        QTest::newRow("empty") << "" << "";
    }

    void normalizeMac()
    {
        QFETCH(QString, text);
        QFETCH(QString, canonical);
        QCOMPARE(ArpLookup::normalizeMac(text), canonical);
    }

    void parseTables_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("kernelTable");
        QTest::addColumn<Table>("expected");
        QTest::newRow("linux arp -an") << QString(linuxArpOutput) << false
                                       << Table{{"7c:2e:0d:01:02:03", "192.0.2.10"},
                                                {"7c:2e:0d:01:02:04", "192.0.2.12"},
                                                {"00:1b:2c:0d:4e:5f", "192.0.2.1"}};
        QTest::newRow("bsd arp -an") << QString(bsdArpOutput) << false
                                     << Table{{"00:1b:2c:0d:4e:5f", "198.51.100.7"}};
        QTest::newRow("proc net arp") << QString(procNetArp) << true
                                      << Table{{"7c:2e:0d:aa:bb:cc", "192.0.2.20"},
                                               {"7c:2e:0d:aa:bb:dd", "192.0.2.23"}};
        QTest::newRow("empty arp") << QString() << false << Table{};
        QTest::newRow("header only") << QString("IP address HW type Flags HW address Mask Device\n") << true << Table{};
    }

    void parseTables()
    {
        QFETCH(QString, text);
        QFETCH(bool, kernelTable);
        QFETCH(Table, expected);
        QCOMPARE(kernelTable ? ArpLookup::parseProcTable(text) : ArpLookup::parseTable(text), expected);
    }

    void tableArguments()
    {
        QCOMPARE(ArpLookup::tableArguments(), QStringList{"-an"});
    }

    void lookupsThroughTheTool()
    {
        QTemporaryDir dir;
        const QString tool = dir.filePath("arp");
        QVERIFY(writeExecutable(tool, QByteArray("#!/bin/sh\n"
            "if [ \"$1\" = \"-an\" ]; then printf '%s' '") + linuxArpOutput + "'; exit 0; fi\n"
            "echo 'Address HWtype HWaddress Flags Mask Iface'\n"
            "[ \"$2\" = 192.0.2.10 ] && echo '192.0.2.10 ether 7C:2E:0D:01:02:03 C eth0'\n"
            "exit 0\n"));
        SystemArpSource source(nullptr, tool, dir.filePath("no-proc-table"));
        QCOMPARE(source.macForIp("192.0.2.10"), QString("7c:2e:0d:01:02:03"));
        QCOMPARE(source.macForIp("192.0.2.99"), QString());
        QCOMPARE(source.ipForMac("7C-2E-0D-01-02-04"), QString("192.0.2.12"));
        QCOMPARE(source.ipForMac("7c:2e:0d:01:02"), QString());

        QSignalSpy read(&source, &ArpSource::tableRead);
        source.startTableRead();
        QVERIFY(source.isReading());
        source.startTableRead();
        QVERIFY(read.wait(5000));
        QCOMPARE(read.count(), 1);
        QCOMPARE(read.at(0).at(0).value<Table>(), ArpLookup::parseTable(linuxArpOutput));
        QVERIFY(!source.isReading());
    }

    void kernelTableFirst_data()
    {
        QTest::addColumn<bool>("toolPresent");
        QTest::newRow("tool missing") << false;
        QTest::newRow("tool present but never started") << true;
    }

    void kernelTableFirst()
    {
        QFETCH(bool, toolPresent);
        QTemporaryDir dir;
        const QString proc = dir.filePath("arp-table");
        QVERIFY(writeText(proc, procNetArp));
        const QString tool = dir.filePath("arp");
        const QString ran = dir.filePath("tool-ran");
        if (toolPresent)
            QVERIFY(writeExecutable(tool, ("#!/bin/sh\ntouch '" + ran + "'\nprintf '%s' '" + linuxArpOutput + "'\n").toUtf8()));
        SystemArpSource source(nullptr, tool, proc);
        QCOMPARE(source.macForIp("192.0.2.23"), QString("7c:2e:0d:aa:bb:dd"));
        QCOMPARE(source.macForIp("192.0.2.21"), QString());
        QCOMPARE(source.ipForMac("7c:2e:0d:aa:bb:cc"), QString("192.0.2.20"));
        QCOMPARE(source.ipForMac("7c:2e:0d:01:02:03"), QString());

        QSignalSpy read(&source, &ArpSource::tableRead);
        source.startTableRead();
        QVERIFY(source.isReading());
        QVERIFY(read.wait(5000));
        QCOMPARE(read.count(), 1);
        QCOMPARE(read.at(0).at(0).value<Table>(), ArpLookup::parseProcTable(procNetArp));
        QVERIFY(!source.isReading());
        QVERIFY(!QFile::exists(ran));
    }

    void hangingToolIsKilledAndItsOutputKept()
    {
        QTemporaryDir dir;
        const QString tool = dir.filePath("arp");
        QVERIFY(writeExecutable(tool, "#!/bin/sh\necho '? (192.0.2.30) at 7c:2e:0d:00:00:01 [ether] on eth0'\nexec sleep 30\n"));
        SystemArpSource source(nullptr, tool, dir.filePath("no-proc-table"));
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
