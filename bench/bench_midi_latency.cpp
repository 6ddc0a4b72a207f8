// Control Change to camera latency through the real MIDI path: a virtual desk port on a
// JACK server of the benchmark's own, the listener thread, the bridge with its 16 ms
// coalescing, the camera manager and simulated cameras served by kovra-camsim processes,
// which stamp each PUT on the shared monotonic clock. Two parts:
// - single CCs to one camera, each waiting for its PUT, spaced at random so that they fall
//   at every phase of the flush timer;
// - a fader streaming CCs to 8 cameras, one of which answers every request 40 ms late.
#include "BenchHome.h"
#include "BenchEvents.h"
#include "CameraManager.h"
#include "CamsimProcess.h"
#include "JackServer.h"
#include "MidiBridge.h"
#include "MidiInput.h"
#include "MidiListener.h"
#include "MidiMapping.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int cameraCount = 8;
constexpr int streamRate = 500;       // CCs per second, about what a fader moved fast sends
constexpr int streamLength = 2500;    // five seconds

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size() - 1) + 0.5))];
}

// The focus value a PUT carries; the mapping sends the CC value itself.
int focusValue(const QByteArray& body)
{
    return int(std::lround(QJsonDocument::fromJson(body).object().value("focus").toDouble(-1)));
}

struct Rig {
    CameraManager manager;
    MidiMapping mapping;
    MidiBridge bridge{&manager, &mapping};
    MidiListener listener;
    bool opened = false;
    bool failed = false;
    explicit Rig(const QStringList& addresses)
    {
        for (int i = 0; i < addresses.size(); ++i)
            manager.addCamera(QStringLiteral("Camera %1").arg(i + 1), addresses[i], i + 1);
        MidiMapEntry focus;
        focus.cc = 7;
        focus.parameter = QStringLiteral("lens/focus:focus");
        focus.min = 0;
        focus.max = 127;
        mapping.addMapping(focus);
        QObject::connect(&listener, &MidiListener::ccChanged, &bridge, &MidiBridge::onCcChanged);
        QObject::connect(&listener, &MidiListener::portOpened, &listener, [this] { opened = true; });
        QObject::connect(&listener, &MidiListener::portError, &listener, [this](const QString& text) {
            std::fprintf(stderr, "bench_midi_latency: %s\n", qPrintable(text));
            failed = true;
        });
    }
    bool connected()
    {
        for (const Camera& camera : manager.cameraList()->allCameras()) {
            if (camera.status != CameraStatus::Connected)
                return false;
        }
        return true;
    }
    // Opens the desk's port; false when it is not listed or cannot be opened.
    bool open()
    {
        const QStringList ports = MidiListener::availablePorts();
        int index = -1;
        for (int i = 0; i < ports.size(); ++i) {
            if (ports[i].endsWith(QLatin1String("Bench Out")))
                index = i;
        }
        if (index < 0) {
            std::fprintf(stderr, "bench_midi_latency: the desk port is not listed (%s)\n", qPrintable(ports.join(", ")));
            return false;
        }
        listener.openPort(index);
        runEventsUntil([this] { return opened || failed; }, 5000);
        return opened && runEventsUntil([this] { return connected(); }, 10000);
    }
};

bool singleCcs(QCoreApplication& app, RtMidiOut& desk, int sampleCount)
{
    std::atomic<int> expectedValue{-1};
    std::atomic<qint64> sentUs{0};
    QString error;
    std::vector<double> samples;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.setInterval(2000);
    int lost = 0;
    int sent = 0;
    const auto sendNext = [&] {
        if (sent == sampleCount) {
            app.quit();
            return;
        }
        // Values alternate between halves of the range, so each PUT names its own send.
        const int value = (sent % 2) * 64 + (sent / 2) % 64;
        ++sent;
        std::vector<unsigned char> message = {0xB0, 7, (unsigned char)value};
        expectedValue = value;
        sentUs = CamsimProcess::nowUs();
        desk.sendMessage(&message);
        giveUp.start();
    };
    const auto scheduleNext = [&] { QTimer::singleShot(1 + QRandomGenerator::global()->bounded(25), &app, sendNext); };
    const auto onRequest = [&](const CamsimProcess::Request& request) {
        if (request.method != "PUT" || request.endpoint != QLatin1String("lens/focus"))
            return;
        if (focusValue(request.body) != expectedValue.load())
            return;
        expectedValue = -1;
        const double latency = (request.atUs - sentUs.load()) / 1000.0;
        QMetaObject::invokeMethod(&app, [&, latency] {
            samples.push_back(latency);
            giveUp.stop();
            scheduleNext();
        }, Qt::QueuedConnection);
    };
    CamsimProcess simulator;
    if (!simulator.start(1, 0, onRequest, &error)) {
        std::fprintf(stderr, "bench_midi_latency: %s\n", qPrintable(error));
        return false;
    }
    Rig rig(simulator.addresses());
    if (!rig.open())
        return false;
    QObject::connect(&giveUp, &QTimer::timeout, &app, [&] {
        ++lost;
        expectedValue = -1;
        scheduleNext();
    });
    scheduleNext();
    app.exec();
    rig.listener.closePort();
    if (samples.empty())
        return false;
    double total = 0;
    for (double sample : samples)
        total += sample;
    std::printf("Single CCs to one camera, CC to PUT at the camera\n");
    std::printf("  samples:  %zu (lost %d)\n", samples.size(), lost);
    std::printf("  min:      %.2f ms\n", percentile(samples, 0.0));
    std::printf("  mean:     %.2f ms\n", total / double(samples.size()));
    std::printf("  p50:      %.2f ms\n", percentile(samples, 0.50));
    std::printf("  p99:      %.2f ms\n", percentile(samples, 0.99));
    std::printf("  max:      %.2f ms\n", percentile(samples, 1.0));
    std::printf("  floor:    2 ms poll + 16 ms flush interval (+ one JACK period) in the worst phase\n");
    return lost == 0;
}

// Send i carries the CC value i % 128. A camera's PUTs carry values in the order they were
// sent, so each PUT stands for the first send of its value after the one its camera's
// previous PUT stood for.
struct FaderCamera {
    int lastSend = -1;
    std::vector<double> carried;
    std::vector<double> oldest;
    int unmatched = 0;
};

bool faderToEightCameras(RtMidiOut& desk, int slowDelayMs)
{
    std::vector<std::atomic<qint64>> sentAt(streamLength);
    std::mutex lock;
    std::map<QString, FaderCamera> cameras;
    const auto onRequest = [&](const CamsimProcess::Request& request) {
        if (request.method != "PUT" || request.endpoint != QLatin1String("lens/focus"))
            return;
        const int value = focusValue(request.body);
        std::lock_guard<std::mutex> guard(lock);
        FaderCamera& camera = cameras[request.camera];
        const int first = camera.lastSend + 1;
        const int send = first + ((value - first % 128) % 128 + 128) % 128;
        if (value < 0 || send >= streamLength || sentAt[send].load() == 0 || sentAt[send].load() > request.atUs) {
            ++camera.unmatched;
            return;
        }
        camera.carried.push_back((request.atUs - sentAt[send].load()) / 1000.0);
        camera.oldest.push_back((request.atUs - sentAt[first].load()) / 1000.0);
        camera.lastSend = send;
    };
    CamsimProcess fast;
    CamsimProcess slow;
    QString error;
    if (!fast.start(cameraCount - 1, 0, onRequest, &error) || !slow.start(1, slowDelayMs, onRequest, &error)) {
        std::fprintf(stderr, "bench_midi_latency: %s\n", qPrintable(error));
        return false;
    }
    Rig rig(fast.addresses() + slow.addresses());
    if (!rig.open())
        return false;

    std::atomic<bool> done{false};
    std::thread sender([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < streamLength; ++i) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(qint64(i) * 1000000 / streamRate));
            std::vector<unsigned char> message = {0xB0, 7, (unsigned char)(i % 128)};
            sentAt[i].store(CamsimProcess::nowUs());
            desk.sendMessage(&message);
        }
        done = true;
    });
    runEventsUntil([&] { return done.load(); }, 60000);
    runEventsUntil([] { return false; }, 1500);
    sender.join();
    rig.listener.closePort();

    std::lock_guard<std::mutex> guard(lock);
    const QString slowAddress = slow.addresses().first();
    std::vector<double> othersCarried;
    std::vector<double> othersOldest;
    int lastArrived = 0;
    int unmatched = 0;
    for (const auto& [address, camera] : cameras) {
        lastArrived += camera.lastSend == streamLength - 1 ? 1 : 0;
        unmatched += camera.unmatched;
        if (address == slowAddress)
            continue;
        othersCarried.insert(othersCarried.end(), camera.carried.begin(), camera.carried.end());
        othersOldest.insert(othersOldest.end(), camera.oldest.begin(), camera.oldest.end());
    }
    const FaderCamera& slowCamera = cameras[slowAddress];
    std::printf("A fader streaming %d CCs/s for %d s to %d cameras, one answering %d ms late\n", streamRate,
                streamLength / streamRate, cameraCount, slowDelayMs);
    const auto line = [](const char* label, const std::vector<double>& values) {
        std::printf("    %-34s: p50 %7.2f ms, p99 %7.2f ms, max %7.2f ms\n", label, percentile(values, 0.5),
                    percentile(values, 0.99), percentile(values, 1.0));
    };
    std::printf("  the 7 others: %zu focus PUTs\n", othersCarried.size());
    line("from the send of the value carried", othersCarried);
    line("from the oldest CC folded in", othersOldest);
    std::printf("  the slow one: %zu focus PUTs\n", slowCamera.carried.size());
    line("from the send of the value carried", slowCamera.carried);
    line("from the oldest CC folded in", slowCamera.oldest);
    const size_t half = slowCamera.oldest.size() / 2;
    std::printf("    growth, oldest CC: first half p99 %.2f ms, second half p99 %.2f ms\n",
                percentile({slowCamera.oldest.begin(), slowCamera.oldest.begin() + long(half)}, 0.99),
                percentile({slowCamera.oldest.begin() + long(half), slowCamera.oldest.end()}, 0.99));
    std::printf("  cameras whose last PUT carried the last value: %d of %d\n", lastArrived, cameraCount);
    if (unmatched)
        std::printf("  PUTs that matched no send (late by more than 128 CCs): %d\n", unmatched);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const BenchHome home;
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int sampleCount = argc > 1 ? QByteArray(argv[1]).toInt() : 500;
    const int slowDelayMs = argc > 2 ? QByteArray(argv[2]).toInt() : 40;

    JackServer jack;
    QString error;
    if (!jack.start(&error)) {
        std::fprintf(stderr, "bench_midi_latency: %s\n", qPrintable(error));
        return 1;
    }
    RtMidiOut desk(openMidiInput()->getCurrentApi(), "Kovra Bench Desk");
    desk.openVirtualPort("Bench Out");
    std::printf("MIDI through JACK (dummy driver, 256 frames at 48 kHz = 5.3 ms period)\n");
    const bool single = singleCcs(app, desk, sampleCount);
    const bool fader = faderToEightCameras(desk, slowDelayMs);
    return single && fader ? 0 : 1;
}
