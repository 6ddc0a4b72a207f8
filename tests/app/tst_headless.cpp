#include "CameraSimulator.h"
#include "CoreTestSupport.h"

#include <QDate>
#include <QProcess>
#include <QTest>

#include <csignal>

// The real program: its command line, and the bridge without a window, driven from outside.
class TestHeadless : public QObject {
    Q_OBJECT

    // A home of the run's own and no display of any kind.
    static QProcessEnvironment environment(const QString& home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            environment.remove(name);
        environment.insert("HOME", home);
        return environment;
    }

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << QStringList{"--help"} << 0
                              << "Usage: kovra-control [--headless] [--verbose] [--help] [--version]\n"
                                 "  --headless  run the desk-to-camera bridge without a window, from the same config.json\n"
                                 "  --verbose   write DEBUG lines to the log as well\n"
                                 "  --help      show this help and exit\n"
                                 "  --version   show the version and exit\n";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Kovra Control 1.1.0\n";
        const QString usage = "Usage: kovra-control [--headless] [--verbose] [--help] [--version]\n";
        QTest::newRow("headless, other case") << QStringList{"--headless", "--Verbose"} << 2
                                              << "kovra-control: unknown argument \"--Verbose\"\n" + usage;
        QTest::newRow("headless, stray word") << QStringList{"verbose", "--headless"} << 2
                                              << "kovra-control: unknown argument \"verbose\"\n" + usage;
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
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        const QByteArray printed = exitCode == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
        QVERIFY2(QString::fromUtf8(printed).endsWith(output), printed.constData());
    }

    void bridgesWithoutAWindow()
    {
        CameraSimulator camera;
        QVERIFY(camera.listen());
        QTemporaryDir home;
        const QString data = home.path() + "/.local/share/KovraControl/Kovra Control";
        QVERIFY(QDir().mkpath(data));
        const int port = freeUdpPort();
        {
            QFile config(data + "/config.json");
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write(configDocument({cameraEntry("cam", camera.hostAndPort(), 1)}, oscSettings(port)));
        }

        QProcess program;
        program.setProcessEnvironment(environment(home.path()));
        QByteArray errors;
        connect(&program, &QProcess::readyReadStandardError, this, [&] { errors += program.readAllStandardError(); });
        program.start(KOVRA_CONTROL_BINARY, {"--headless"});
        QVERIFY(program.waitForStarted());
        const QByteArray listening = QString("INFO OSC: in %1\n").arg(port).toUtf8();
        QTRY_VERIFY2_WITH_TIMEOUT(errors.contains(listening) && errors.contains("INFO Cameras: 1/1 connected\n"),
                                  errors.constData(), 15000);
        QVERIFY(errors.contains("INFO SW: Virtual Switcher\n"));

        QCOMPARE(QProcess::execute("oscsend", {"127.0.0.1", QString::number(port), "/camera/1/iris/normalized", "f", "0.25"}), 0);
        QTRY_COMPARE(camera.requestBodies("PUT", "lens/iris"), QList<QByteArray>{R"({"normalised":0.25})"});
        QCOMPARE(errors.count(listening), 1);
        QCOMPARE(errors.count("INFO Cameras: 1/1 connected\n"), 1);

        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QFile config(data + "/config.json");
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QJsonObject saved = QJsonDocument::fromJson(config.readAll()).object();
        QCOMPARE(saved["cameras"].toArray().first()["id"].toString(), QString("cam"));
        QCOMPARE(saved["settings"].toObject()["oscPort"].toInt(), port);

        QFile log(home.path() + "/.local/state/KovraControl/kovra-" + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray logged = log.readAll();
        QVERIFY2(logged.contains(" " + listening), logged.constData());
        QVERIFY(logged.endsWith(" INFO === Kovra Control session ended ===\n"));
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
