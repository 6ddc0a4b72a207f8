#include "MdnsBrowseTool.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(MdnsBrowseTool::Kind)

namespace {
bool writeFile(const QString& path, bool executable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\nexit 0\n") < 0)
        return false;
    file.close();
    return file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          : QFile::ReadOwner | QFile::WriteOwner);
}

QProcessEnvironment pathOf(const QStringList& folders)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), folders.join(QLatin1Char(':')));
    return environment;
}
}

class TestMdnsBrowseTool : public QObject {
    Q_OBJECT

private:
    QTemporaryDir both, avahiOnly, notExecutable, empty;

private slots:
    void initTestCase()
    {
        QVERIFY(writeFile(both.filePath("dns-sd"), true));
        QVERIFY(writeFile(both.filePath("avahi-browse"), true));
        QVERIFY(writeFile(avahiOnly.filePath("avahi-browse"), true));
        QVERIFY(writeFile(notExecutable.filePath("dns-sd"), false));
    }

    void find_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<MdnsBrowseTool::Kind>("kind");
        QTest::addColumn<QString>("program");
        QTest::newRow("dns-sd preferred") << QStringList{avahiOnly.path(), both.path()}
                                          << MdnsBrowseTool::Kind::DnsSd << both.filePath("dns-sd");
        QTest::newRow("avahi where dns-sd is missing") << QStringList{empty.path(), avahiOnly.path()}
                                                       << MdnsBrowseTool::Kind::AvahiBrowse
                                                       << avahiOnly.filePath("avahi-browse");
        QTest::newRow("not executable") << QStringList{notExecutable.path()} << MdnsBrowseTool::Kind::Missing << "";
        QTest::newRow("neither") << QStringList{empty.path()} << MdnsBrowseTool::Kind::Missing << "";
        QTest::newRow("no PATH at all") << QStringList{} << MdnsBrowseTool::Kind::Missing << "";
    }

    void find()
    {
        QFETCH(QStringList, path);
        QFETCH(MdnsBrowseTool::Kind, kind);
        QFETCH(QString, program);
        const MdnsBrowseTool tool = MdnsBrowseTool::find(pathOf(path));
        QCOMPARE(tool.kind(), kind);
        QCOMPARE(tool.program(), program);
        QCOMPARE(tool.arguments("_http._tcp").isEmpty(), kind == MdnsBrowseTool::Kind::Missing);
    }

    void instanceName_data()
    {
        QTest::addColumn<bool>("avahi");
        QTest::addColumn<QString>("serviceType");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        const QString bm = QStringLiteral("_blackmagic._tcp");
        const QString http = QStringLiteral("_http._tcp");
        QTest::newRow("dns-sd add") << false << bm
            << " 2:30:00.101  Add        3   4 local.               _blackmagic._tcp.    URSA Broadcast G2"
            << "URSA Broadcast G2";
        QTest::newRow("dns-sd http add") << false << http
            << "14:02:11.124  Add        2   4 local.               _http._tcp.          Studio Camera 4K Pro  "
            << "Studio Camera 4K Pro";
        QTest::newRow("dns-sd removal") << false << bm
            << " 2:30:09.000  Rmv        0   4 local.               _blackmagic._tcp.    URSA Broadcast G2" << "";
        QTest::newRow("dns-sd other type") << false << bm
            << " 2:30:00.101  Add        3   4 local.               _http._tcp.          Printer" << "";
        QTest::newRow("dns-sd banner") << false << bm << "Browsing for _blackmagic._tcp.local." << "";
        QTest::newRow("dns-sd header") << false << bm
            << "Timestamp     A/R    Flags  if Domain               Service Type         Instance Name" << "";
        QTest::newRow("dns-sd type without dot") << false << bm << "Add _blackmagic._tcp" << "";
        QTest::newRow("avahi add") << true << bm << "+;eth0;IPv4;URSA\\032Broadcast\\032G2;_blackmagic._tcp;local"
                                   << "URSA Broadcast G2";
        QTest::newRow("avahi escapes") << true << http
            << "+;lo;IPv6;Caf\\195\\169\\032Cam\\.2\\059\\\\x;_http._tcp;local" << "Café Cam.2;\\x";
        QTest::newRow("avahi removal") << true << bm << "-;eth0;IPv4;URSA\\032Broadcast\\032G2;_blackmagic._tcp;local"
                                       << "";
        QTest::newRow("avahi resolved") << true << bm
            << "=;eth0;IPv4;URSA\\032Broadcast\\032G2;_blackmagic._tcp;local;URSA-Broadcast-G2.local;192.0.2.5;80;"
            << "";
        QTest::newRow("avahi other type") << true << bm << "+;eth0;IPv4;Printer;_http._tcp;local" << "";
        QTest::newRow("avahi short") << true << bm << "+;eth0;IPv4;URSA" << "";
        QTest::newRow("avahi daemon missing") << true << bm << "Failed to create client object: Daemon not running"
                                              << "";
        QTest::newRow("dns-sd line to avahi") << true << bm
            << " 2:30:00.101  Add        3   4 local.               _blackmagic._tcp.    URSA Broadcast G2" << "";
    }

    void instanceName()
    {
        QFETCH(bool, avahi);
        QFETCH(QString, serviceType);
        QFETCH(QString, line);
        QFETCH(QString, name);
        const MdnsBrowseTool tool = MdnsBrowseTool::find(pathOf({avahi ? avahiOnly.path() : both.path()}));
        QCOMPARE(tool.instanceName(line, serviceType), name);
    }

    void missingToolReadsNothing()
    {
        const MdnsBrowseTool tool = MdnsBrowseTool::find(pathOf({empty.path()}));
        QCOMPARE(tool.instanceName("+;eth0;IPv4;URSA;_blackmagic._tcp;local", "_blackmagic._tcp"), QString());
    }

    void unescapeAvahiLabel_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "Camera_1-A" << "Camera_1-A";
        QTest::newRow("trailing backslash") << "Cam\\" << "Cam\\";
        QTest::newRow("short decimal") << "Cam\\03" << "Cam03";
        QTest::newRow("over 255") << "A\\999" << "A999";
    }

    void unescapeAvahiLabel()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QCOMPARE(MdnsBrowseTool::unescapeAvahiLabel(label), text);
    }
};

QTEST_GUILESS_MAIN(TestMdnsBrowseTool)
#include "tst_mdnsbrowsetool.moc"
