// Sweep cost of the camera manager: 16 simulated cameras (served by a separate kovra-camsim
// process, so that only the manager's own work lands in this process's CPU time) connected
// and swept every 3 s. Prints GETs answered per second, CPU time per sweep of one camera and
// the peak resident memory.
#include "CameraApi.h"
#include "CameraManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

int main(int argc, char** argv)
{
    // Keep cameras.json out of the user's data folder.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int cameraCount = 16;
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;

    QStringList arguments;
    QStringList addresses;
    for (int i = 0; i < cameraCount; ++i) {
        const QString address = QStringLiteral("127.0.0.1:%1").arg(freePort());
        addresses << address;
        arguments << QStringLiteral("--camera") << address;
    }
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kovra-camsim"), arguments);
    int ready = 0;
    while (ready < cameraCount && simulator.waitForReadyRead(10000)) {
        while (simulator.canReadLine()) {
            if (simulator.readLine().startsWith("camsim: "))
                ++ready;
        }
    }
    if (ready < cameraCount) {
        std::fprintf(stderr, "bench_manager: the simulator did not start (%d of %d cameras)\n", ready, cameraCount);
        return 1;
    }
    // Its request log is not needed here.
    QObject::connect(&simulator, &QProcess::readyReadStandardOutput, &simulator, [&simulator] { simulator.readAll(); });

    CameraManager manager;
    long answered = 0;
    long sweeps = 0;
    QObject::connect(manager.api(), &CameraApi::getFinished, &app,
                     [&](const QString&, const QString& endpoint, const QJsonObject& response) {
                         if (response.isEmpty())
                             return;
                         ++answered;
                         if (endpoint == QLatin1String("lens/iris"))
                             ++sweeps;
                     });
    const double cpuBefore = cpuSeconds();
    for (int i = 0; i < cameraCount; ++i)
        manager.addCamera(QStringLiteral("Camera %1").arg(i + 1), addresses[i], i + 1);

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double elapsed = clock.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;

    int connected = 0;
    for (const Camera& camera : manager.cameraList()->allCameras())
        connected += camera.status == CameraStatus::Connected ? 1 : 0;
    simulator.terminate();
    simulator.waitForFinished(3000);

    std::printf("cameras connected:          %d of %d\n", connected, cameraCount);
    std::printf("run time:                   %.1f s\n", elapsed);
    std::printf("GETs answered per second:   %.0f\n", answered / elapsed);
    std::printf("sweeps of one camera:       %ld\n", sweeps);
    std::printf("manager CPU per sweep:      %.3f ms (%.2f s CPU in all)\n", sweeps ? cpu * 1000.0 / sweeps : 0.0, cpu);
    std::printf("peak resident memory:       %.1f MiB\n", peakResidentKiB() / 1024.0);
    return connected == cameraCount ? 0 : 1;
}
