// Control Change to camera latency through the real MIDI path: a virtual desk port on a
// JACK server of the benchmark's own, the listener thread, the bridge with its 16 ms
// coalescing, the camera manager and a simulated camera. Each sample is the time from
// sendMessage to the simulator receiving the PUT; sends are spaced at random so that
// they fall at every phase of the flush timer. Prints p50, p99 and max.
#include "CameraManager.h"
#include "CameraSimulator.h"
#include "JackServer.h"
#include "MidiBridge.h"
#include "MidiInput.h"
#include "MidiListener.h"
#include "MidiMapping.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double percentile(const std::vector<double>& sorted, double fraction)
{
    const size_t index = std::min(sorted.size() - 1, size_t(fraction * double(sorted.size() - 1) + 0.5));
    return sorted[index];
}

} // namespace

int main(int argc, char** argv)
{
    // Keep cameras.json out of the user's data folder.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int sampleCount = argc > 1 ? QByteArray(argv[1]).toInt() : 500;

    JackServer jack;
    QString error;
    if (!jack.start(&error)) {
        std::fprintf(stderr, "bench_midi_latency: %s\n", qPrintable(error));
        return 1;
    }
    RtMidiOut desk(openMidiInput()->getCurrentApi(), "Kovra Bench Desk");
    desk.openVirtualPort("Bench Out");

    CameraSimulator simulator;
    if (!simulator.listen()) {
        std::fprintf(stderr, "bench_midi_latency: no loopback port for the simulator\n");
        return 1;
    }
    CameraManager manager;
    manager.addCamera(QStringLiteral("Bench"), simulator.hostAndPort(), 1);
    MidiMapping mapping;
    MidiMapEntry focus;
    focus.cc = 7;
    focus.parameter = QStringLiteral("lens/focus:focus");
    focus.min = 0;
    focus.max = 127;
    mapping.addMapping(focus);
    MidiBridge bridge(&manager, &mapping);
    MidiListener listener;
    QObject::connect(&listener, &MidiListener::ccChanged, &bridge, &MidiBridge::onCcChanged);

    const QStringList ports = MidiListener::availablePorts();
    int index = -1;
    for (int i = 0; i < ports.size(); ++i) {
        if (ports[i].endsWith(QLatin1String("Bench Out")))
            index = i;
    }
    if (index < 0) {
        std::fprintf(stderr, "bench_midi_latency: the desk port is not listed (%s)\n", qPrintable(ports.join(", ")));
        return 1;
    }

    std::vector<double> samples;
    int lost = 0;
    int sent = 0;
    int expectedValue = -1;
    QElapsedTimer sinceSend;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.setInterval(2000);

    const auto sendNext = [&] {
        if (sent == sampleCount) {
            app.quit();
            return;
        }
        // Values alternate between halves of the range, so each PUT names its own send.
        expectedValue = (sent % 2) * 64 + (sent / 2) % 64;
        ++sent;
        std::vector<unsigned char> message = {0xB0, 7, (unsigned char)expectedValue};
        sinceSend.start();
        desk.sendMessage(&message);
        giveUp.start();
    };
    const auto scheduleNext = [&] { QTimer::singleShot(1 + QRandomGenerator::global()->bounded(25), &app, sendNext); };

    QObject::connect(&simulator, &CameraSimulator::requestReceived, &app, [&](const SimulatedRequest& request) {
        if (request.method != "PUT" || request.endpoint != QLatin1String("lens/focus") || expectedValue < 0)
            return;
        if (request.body != QStringLiteral("{\"focus\":%1}").arg(expectedValue).toUtf8())
            return;
        samples.push_back(sinceSend.nsecsElapsed() / 1e6);
        expectedValue = -1;
        giveUp.stop();
        scheduleNext();
    });
    QObject::connect(&giveUp, &QTimer::timeout, &app, [&] {
        ++lost;
        expectedValue = -1;
        scheduleNext();
    });
    QObject::connect(&listener, &MidiListener::portOpened, &app, [&] { scheduleNext(); });
    QObject::connect(&listener, &MidiListener::portError, &app, [&](const QString& text) {
        std::fprintf(stderr, "bench_midi_latency: %s\n", qPrintable(text));
        app.exit(1);
    });
    listener.openPort(index);
    if (app.exec() != 0 || samples.empty())
        return 1;

    std::sort(samples.begin(), samples.end());
    double total = 0;
    for (double sample : samples)
        total += sample;
    std::printf("CC to PUT at the camera, through JACK (dummy driver, 256 frames at 48 kHz = 5.3 ms period)\n");
    std::printf("samples:  %zu (lost %d)\n", samples.size(), lost);
    std::printf("min:      %.2f ms\n", samples.front());
    std::printf("mean:     %.2f ms\n", total / double(samples.size()));
    std::printf("p50:      %.2f ms\n", percentile(samples, 0.50));
    std::printf("p99:      %.2f ms\n", percentile(samples, 0.99));
    std::printf("max:      %.2f ms\n", samples.back());
    std::printf("floor:    2 ms poll + 16 ms flush interval (+ one JACK period) in the worst phase\n");
    return lost == 0 ? 0 : 1;
}
