#include "CameraSimulator.h"
#include "CoreTestSupport.h"

#include <QDate>
#include <QProcess>
#include <QTest>

#include <csignal>

// The real kovra-control binary in a home of the run's own: its command line, the session
// banners of its log, and the bridge without a window, driven from outside.
class TestProgram : public QObject {
    Q_OBJECT

    static QProcessEnvironment environment(const QString& home, const QString& platform = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            environment.remove(name);
        environment.insert("HOME", home);
        if (!platform.isEmpty())
            environment.insert("QT_QPA_PLATFORM", platform);
        return environment;
    }

    static QByteArray todaysLog(const QString& home)
    {
        return TestHome::readAt(home + "/.local/state/KovraControl/kovra-" + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
    }

    static bool quit(QProcess& program)
    {
        ::kill(pid_t(program.processId()), SIGTERM);
        return program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    }

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        const QString usage = "Usage: kovra-control [--headless] [--verbose] [--help] [--version]\n";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "  --version   show the version and exit\n";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Kovra Control 1.1.0\n";
        QTest::newRow("headless, other case") << QStringList{"--headless", "--Verbose"} << 2
                                              << "kovra-control: unknown argument \"--Verbose\"\n" + usage;
        QTest::newRow("window, unknown option") << QStringList{"-platform", "offscreen", "--verbose=1"} << 2
                                                << "kovra-control: unknown argument \"--verbose=1\"\n" + usage;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QTemporaryDir home;
        QProcess program;
        program.setProcessEnvironment(environment(home.path()));
        program.start(KOVRA_CONTROL_BINARY, arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), exitCode);
        const QByteArray printed = exitCode == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
        QVERIFY2(QString::fromUtf8(printed).endsWith(output), printed.constData());
    }

    void windowSessionBanners_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("debugLines");
        QTest::newRow("plain") << QStringList{} << false;
        QTest::newRow("verbose") << QStringList{"--verbose"} << true;
    }

    // Qt's own debug lines are switched on: only --verbose lets them into the log.
    void windowSessionBanners()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir home;
        QProcess program;
        QProcessEnvironment env = environment(home.path(), "offscreen");
        env.insert("QT_LOGGING_RULES", "qt.qpa.*.debug=true");
        program.setProcessEnvironment(env);
        program.start(KOVRA_CONTROL_BINARY, arguments);
        QTRY_VERIFY_WITH_TIMEOUT(todaysLog(home.path()).contains(" INFO === Kovra Control session started ==="), 10000);
        QVERIFY(!todaysLog(home.path()).contains("session ended"));
        QVERIFY(quit(program));
        QVERIFY(todaysLog(home.path()).endsWith(" INFO === Kovra Control session ended ===\n"));
        QTEST(todaysLog(home.path()).contains(" DEBUG "), "debugLines");
    }

    // Statuses go to the standard error and the log once each; OSC reaches the camera; the
    // configuration is saved on the way out.
    void bridgesWithoutAWindow()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        QTemporaryDir home;
        const QString data = home.path() + "/.local/share/KovraControl/Kovra Control";
        QVERIFY(QDir().mkpath(data));
        const int port = freeUdpPort();
        TestHome::writeAt(data + "/config.json", configDocument({cameraEntry("cam", camera.hostAndPort(), 1)}, oscSettings(port)));

        QProcess program;
        program.setProcessEnvironment(environment(home.path()));
        QByteArray errors;
        connect(&program, &QProcess::readyReadStandardError, this, [&] { errors += program.readAllStandardError(); });
        program.start(KOVRA_CONTROL_BINARY, {"--headless"});
        const QByteArray listening = QString("INFO OSC: in %1\n").arg(port).toUtf8();
        QTRY_VERIFY2_WITH_TIMEOUT(errors.contains(listening) && errors.contains("INFO Cameras: 1/1 connected\n"),
                                  errors.constData(), 15000);
        QVERIFY(errors.contains("INFO SW: Virtual Switcher\n"));
        QCOMPARE(QProcess::execute("oscsend", {"127.0.0.1", QString::number(port), "/camera/1/iris/normalized", "f", "0.25"}), 0);
        QTRY_COMPARE(camera.requestBodies("PUT", "lens/iris"), QList<QByteArray>{R"({"normalised":0.25})"});
        QCOMPARE(errors.count(listening), 1);
        QCOMPARE(errors.count("INFO Cameras: 1/1 connected\n"), 1);

        QVERIFY(quit(program));
        // Written by the program: the file of the test carried no MIDI section.
        const QJsonObject saved = QJsonDocument::fromJson(TestHome::readAt(data + "/config.json")).object();
        QVERIFY(saved.contains("midi"));
        QCOMPARE(saved["cameras"][0]["id"].toString(), QString("cam"));
        QCOMPARE(saved["settings"]["oscPort"].toInt(), port);
        QVERIFY(todaysLog(home.path()).contains(" " + listening));
        QVERIFY(todaysLog(home.path()).endsWith(" INFO === Kovra Control session ended ===\n"));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
