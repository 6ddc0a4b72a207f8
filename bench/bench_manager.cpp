// Sweep cost of the camera manager: 16 simulated cameras (served by a separate kovra-camsim
// process, so that only the manager's own work lands in this process's CPU time) connected
// and swept every 3 s. Prints GETs answered per second, CPU time per sweep of one camera and
// the peak resident memory. Then one camera that answers every request 600 ms late: how
// many of each sweep's GETs it answers.
#include "BenchHome.h"
#include "CameraApi.h"
#include "CameraManager.h"
#include "CamsimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

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

// Replies to the sweeps of one camera answering delayMs late, over the given time.
bool slowCamera(QCoreApplication& app, int delayMs, int seconds)
{
    CamsimProcess simulator;
    QString error;
    if (!simulator.start(1, delayMs, nullptr, &error)) {
        std::fprintf(stderr, "bench_manager: %s\n", qPrintable(error));
        return false;
    }
    CameraManager manager;
    // One sweep asks for 60 endpoints; the next starts only after the last reply, so
    // the completions fall into consecutive groups of 60.
    constexpr int sweepSize = 60;
    std::vector<int> answeredPerSweep;
    int inSweep = 0;
    int answered = 0;
    QObject::connect(manager.api(), &CameraApi::getFinished, &app,
                     [&](const QString&, const QString&, const QJsonObject& response) {
                         answered += response.isEmpty() ? 0 : 1;
                         if (++inSweep == sweepSize) {
                             answeredPerSweep.push_back(answered);
                             inSweep = answered = 0;
                         }
                     });
    QElapsedTimer clock;
    clock.start();
    manager.addCamera(QStringLiteral("Slow"), simulator.addresses().first(), 1);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("camera answering in %d ms, %d s:\n", delayMs, seconds);
    std::printf("  whole sweeps:             %zu (%d replies of a sweep still coming)\n", answeredPerSweep.size(),
                inSweep);
    if (!answeredPerSweep.empty()) {
        std::printf("  replies per sweep:        min %d, max %d of %d\n",
                    *std::min_element(answeredPerSweep.begin(), answeredPerSweep.end()),
                    *std::max_element(answeredPerSweep.begin(), answeredPerSweep.end()), sweepSize);
        std::printf("  time per sweep:           %.1f s\n", clock.elapsed() / 1000.0 / (double(answeredPerSweep.size()) + inSweep / double(sweepSize)));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const BenchHome home;
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int cameraCount = 16;
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    const int slowSeconds = argc > 2 ? QByteArray(argv[2]).toInt() : 40;

    int connected = 0;
    {
        CamsimProcess simulator;
        QString error;
        if (!simulator.start(cameraCount, 0, nullptr, &error)) {
            std::fprintf(stderr, "bench_manager: %s\n", qPrintable(error));
            return 1;
        }
        const QStringList addresses = simulator.addresses();

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

        for (const Camera& camera : manager.cameraList()->allCameras())
            connected += camera.status == CameraStatus::Connected ? 1 : 0;

        std::printf("cameras connected:          %d of %d\n", connected, cameraCount);
        std::printf("run time:                   %.1f s\n", elapsed);
        std::printf("GETs answered per second:   %.0f\n", answered / elapsed);
        std::printf("sweeps of one camera:       %ld\n", sweeps);
        std::printf("manager CPU per sweep:      %.3f ms (%.2f s CPU in all; goal: no more than 12.3 ms)\n",
                    sweeps ? cpu * 1000.0 / sweeps : 0.0, cpu);
        std::printf("peak resident memory:       %.1f MiB\n", peakResidentKiB() / 1024.0);
    }
    if (slowSeconds > 0 && !slowCamera(app, 600, slowSeconds))
        return 1;
    return connected == cameraCount ? 0 : 1;
}
