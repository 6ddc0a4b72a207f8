#include "MdnsBrowseTool.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(MdnsBrowseTool::Kind)

using Kind = MdnsBrowseTool::Kind;

// Which tool is used and the lines of it the scanner's own tests do not show.
class TestMdnsBrowseTool : public QObject {
    Q_OBJECT

private:
    QTemporaryDir both, avahiOnly, notExecutable, empty;

    static MdnsBrowseTool findIn(const QStringList& folders)
    {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), folders.join(QLatin1Char(':')));
        return MdnsBrowseTool::find(environment);
    }

private slots:
    void initTestCase()
    {
        for (const QString& path : {both.filePath("dns-sd"), both.filePath("avahi-browse"),
                                    avahiOnly.filePath("avahi-browse"), notExecutable.filePath("dns-sd")}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions(path.startsWith(notExecutable.path()) ? QFile::ReadOwner
                                                                               : QFile::ReadOwner | QFile::ExeOwner));
        }
    }

    void find_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("program");
        QTest::newRow("dns-sd preferred") << QStringList{avahiOnly.path(), both.path()} << Kind::DnsSd << both.filePath("dns-sd");
        QTest::newRow("avahi where dns-sd is missing") << QStringList{empty.path(), avahiOnly.path()}
                                                       << Kind::AvahiBrowse << avahiOnly.filePath("avahi-browse");
        QTest::newRow("not executable") << QStringList{notExecutable.path()} << Kind::Missing << "";
        QTest::newRow("no PATH at all") << QStringList{} << Kind::Missing << "";
    }
    void find()
    {
        QFETCH(QStringList, path);
        QFETCH(Kind, kind);
        QFETCH(QString, program);
        const MdnsBrowseTool tool = findIn(path);
        QCOMPARE(tool.kind(), kind);
        QCOMPARE(tool.program(), program);
    }

    void instanceName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::newRow("dns-sd type without dot") << both.path() << "Add _blackmagic._tcp" << "";
        QTest::newRow("avahi escapes") << avahiOnly.path()
            << "+;lo;IPv6;Caf\\195\\169\\032Cam\\.2\\059\\\\x\\03\\999\\;_blackmagic._tcp;local" << "Café Cam.2;\\x03999\\";
        QTest::newRow("avahi removal") << avahiOnly.path() << "-;eth0;IPv4;URSA;_blackmagic._tcp;local" << "";
        QTest::newRow("avahi other type") << avahiOnly.path() << "+;eth0;IPv4;Printer;_http._tcp;local" << "";
        QTest::newRow("avahi short") << avahiOnly.path() << "+;eth0;IPv4;URSA" << "";
        QTest::newRow("dns-sd line to avahi") << avahiOnly.path()
            << " 2:30:00.101  Add        3   4 local.               _blackmagic._tcp.    URSA" << "";
        QTest::newRow("no tool") << empty.path() << "+;eth0;IPv4;URSA;_blackmagic._tcp;local" << "";
    }
    void instanceName()
    {
        QFETCH(QString, folder);
        QFETCH(QString, line);
        QFETCH(QString, name);
        QCOMPARE(findIn({folder}).instanceName(line, "_blackmagic._tcp"), name);
    }
};

QTEST_GUILESS_MAIN(TestMdnsBrowseTool)
#include "tst_mdnsbrowsetool.moc"
