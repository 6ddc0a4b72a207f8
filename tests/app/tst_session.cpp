#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The real program, started with a home of its own, writes the session banners into that day's log.
class TestSession : public QObject {
    Q_OBJECT

private:
    static QString readLog(const QString& home)
    {
        QFile file(home + "/.local/state/KovraControl/kovra-" + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void bannersAtStartAndQuit_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("debugLines");
        QTest::newRow("plain") << QStringList{} << false;
        QTest::newRow("verbose") << QStringList{"--verbose"} << true;
    }

    void bannersAtStartAndQuit()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, debugLines);
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
        environment.insert("XDG_DATA_HOME", home.path() + "/.local/share");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("QT_LOGGING_RULES", "qt.qpa.*.debug=true");

        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(KOVRA_CONTROL_BINARY, arguments);
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(readLog(home.path()).contains(" INFO === Kovra Control session started ==="), 10000);
        QVERIFY(!readLog(home.path()).contains("session ended"));

        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        const QString log = readLog(home.path());
        QVERIFY(log.endsWith(" INFO === Kovra Control session ended ===\n"));
        QCOMPARE(log.contains(" DEBUG "), debugLines);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
