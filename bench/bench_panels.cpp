// The camera panels under load: the cost of one state update of the selected camera through
// the Video, Color, Audio and System panels (routed as the window routes it, with the Video
// tab on screen), and the commands a continuous slider drag sends at several movement rates.
#include "BenchHome.h"
#include "AudioPanel.h"
#include "CameraManager.h"
#include "CameraSimulator.h"
#include "ColorPanel.h"
#include "InstTabs.h"
#include "SystemPanel.h"
#include "VideoPanel.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures {
    double median;
    double p99;
    double max;
};

Figures figuresOf(std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double fraction) { return micros[size_t(fraction * double(micros.size() - 1))]; };
    return {at(0.5), at(0.99), micros.back()};
}

// Two sets of values, so that every update changes what the controls show.
void vary(CameraState& state, int round)
{
    const bool odd = round % 2;
    state.focus = odd ? 0.25 : 0.75;
    state.zoomNormalised = odd ? 0.4 : 0.6;
    state.iso = odd ? 400 : 1600;
    state.gain = odd ? 6 : 12;
    state.whiteBalance = odd ? 3200 : 5600;
    state.irisApertureStop = odd ? 2.8 : 5.6;
    state.lift.red = odd ? 0.1 : -0.1;
    state.colorGain.green = odd ? 1.2 : 0.8;
    state.hue = odd ? 0.05 : -0.05;
    state.audio[0].gain = odd ? -3.0 : 1.5;
    state.audio[1].phantomPower = odd;
    state.monitoring[0].zebra = odd;
    state.timecode = QString("01:00:%1:%2").arg(round / 25 % 60, 2, 10, QChar('0')).arg(round % 25, 2, 10, QChar('0'));
}

struct DragRun {
    int moves = 0;
    int sends = 0;
    bool latestSent = false;
    qint64 pauseToCameraMs = -1;
};

DragRun drag(QSlider* slider, CameraSimulator& camera, int intervalMs, int durationMs)
{
    camera.clearRequests();
    DragRun run;
    QElapsedTimer clock;
    QDateTime lastMove;
    QTimer steps;
    steps.setTimerType(Qt::PreciseTimer);
    steps.setInterval(intervalMs);
    QObject::connect(&steps, &QTimer::timeout, [&] {
        slider->setValue(slider->value() >= 990 ? 10 : slider->value() + 7);
        lastMove = QDateTime::currentDateTime();
        ++run.moves;
        if (clock.elapsed() >= durationMs)
            steps.stop();
    });
    clock.start();
    steps.start();
    // The drag ends by itself; then the last pause lets the final command out.
    if (!QTest::qWaitFor([&] { return !steps.isActive(); }, durationMs + 5000))
        steps.stop();
    QTest::qWait(400);

    const QList<SimulatedRequest> requests = camera.requests();
    QJsonObject last;
    for (const SimulatedRequest& request : requests) {
        if (request.method == "PUT" && request.endpoint == QLatin1String("lens/focus")) {
            ++run.sends;
            last = QJsonDocument::fromJson(request.body).object();
            run.pauseToCameraMs = lastMove.msecsTo(request.received);
        }
    }
    run.latestSent = qRound(last.value("focus").toDouble() * 1000) == slider->value();
    return run;
}

}

int main(int argc, char** argv)
{
    const BenchHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int updates = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;

    CameraSimulator camera;
    camera.listen();
    CameraManager manager;
    manager.addCamera("Bench", camera.hostAndPort(), 1);
    const QString cameraId = manager.cameraList()->cameraByIp(camera.hostAndPort())->id;
    if (!QTest::qWaitFor([&] { return !manager.cameraList()->state(cameraId)->supportedFormats.isEmpty(); }, 10000)) {
        std::fprintf(stderr, "bench_panels: the simulated camera did not answer\n");
        return 1;
    }

    InstTabs tabs;
    auto* video = new VideoPanel(&manager);
    auto* color = new ColorPanel(&manager);
    auto* audio = new AudioPanel(&manager);
    auto* system = new SystemPanel(&manager);
    tabs.addTab(video, "Video");
    tabs.addTab(color, "Color");
    tabs.addTab(audio, "Audio");
    tabs.addTab(system, "System");
    tabs.resize(1200, 1000);
    tabs.show();
    QObject::connect(&manager, &CameraManager::cameraStateUpdated, &tabs, [&](const QString& id) {
        video->updateFromState(id);
        color->updateFromState(id);
        audio->updateFromState(id);
        system->updateFromState(id);
    });
    video->setCurrentCamera(cameraId);
    color->setCurrentCamera(cameraId);
    audio->setCurrentCamera(cameraId);
    system->setCurrentCamera(cameraId);
    QTest::qWait(200);

    CameraState* state = manager.cameraList()->state(cameraId);
    std::vector<double> call;
    std::vector<double> withRepaint;
    call.reserve(size_t(updates));
    withRepaint.reserve(size_t(updates));
    QElapsedTimer clock;
    for (int round = 0; round < updates; ++round) {
        vary(*state, round);
        clock.start();
        emit manager.cameraStateUpdated(cameraId);
        const qint64 routed = clock.nsecsElapsed();
        QCoreApplication::processEvents();
        const qint64 painted = clock.nsecsElapsed();
        call.push_back(double(routed) / 1000.0);
        withRepaint.push_back(double(painted) / 1000.0);
    }
    const Figures routedFigures = figuresOf(call);
    const Figures paintedFigures = figuresOf(withRepaint);
    std::printf("state update of the selected camera through four panels (%d updates, microseconds)\n", updates);
    std::printf("  %-44s median %8.1f  p99 %8.1f  max %8.1f\n", "updateFromState of all four", routedFigures.median,
                routedFigures.p99, routedFigures.max);
    std::printf("  %-44s median %8.1f  p99 %8.1f  max %8.1f\n", "the same and the Video tab repainted",
                paintedFigures.median, paintedFigures.p99, paintedFigures.max);

    auto* focus = video->findChild<QSlider*>("focus");
    std::printf("\ncontinuous focus drag, 2 s per row (50 ms trailing debounce, one pending command)\n");
    std::printf("  %-12s %8s %8s %10s %14s %20s\n", "move every", "moves", "sends", "sends/s", "latest sent",
                "last move to camera");
    for (int interval : {8, 16, 33, 45, 60, 100}) {
        const DragRun run = drag(focus, camera, interval, 2000);
        std::printf("  %9d ms %8d %8d %10.1f %14s %17lld ms\n", interval, run.moves, run.sends, run.sends / 2.0,
                    run.latestSent ? "yes" : "NO", static_cast<long long>(run.pauseToCameraMs));
    }
    return 0;
}
