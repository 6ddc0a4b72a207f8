// End-to-end latency: a 1 kHz stream of /camera/0/focus floats through OscListener, the
// bridge and the camera manager to 8 simulated cameras served by kovra-camsim processes of
// their own. Each float carries its sequence number; the simulator stamps each PUT on the
// shared monotonic clock. Two cases: 8 cameras that answer at once, and the same with one
// camera answering every request 40 ms late. Per PUT, two figures: from the send of the
// datagram whose value it carries, and from the send of the oldest datagram it stands for
// (the first one after the value of that camera's previous PUT), which bears the waits.
#include "BenchEvents.h"
#include "CameraManager.h"
#include "CamsimProcess.h"
#include "OscBenchSupport.h"
#include "OscBridge.h"
#include "OscListener.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {
constexpr int cameraCount = 8;
constexpr int streamRate = 1000;
constexpr int streamLength = 5000;    // five seconds

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double at(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

struct Samples {
    std::vector<double> carried;
    std::vector<double> oldest;
    void append(const Samples& other)
    {
        carried.insert(carried.end(), other.carried.begin(), other.carried.end());
        oldest.insert(oldest.end(), other.oldest.begin(), other.oldest.end());
    }
};

struct CameraRecord {
    Samples samples;
    int lastSequence = -1;
};

void printSamples(const char* label, const Samples& samples, int cameras)
{
    std::printf("  %s: %zu focus PUTs (%.1f per camera per second)\n", label, samples.carried.size(),
                double(samples.carried.size()) / cameras / (double(streamLength) / streamRate));
    std::printf("    from the send of the value carried : p50 %7.2f ms, p99 %7.2f ms, max %7.2f ms\n",
                at(samples.carried, 0.50), at(samples.carried, 0.99), at(samples.carried, 1.0));
    std::printf("    from the oldest datagram folded in : p50 %7.2f ms, p99 %7.2f ms, max %7.2f ms\n",
                at(samples.oldest, 0.50), at(samples.oldest, 0.99), at(samples.oldest, 1.0));
}

// slowDelayMs 0: every camera answers at once.
bool runCase(int slowDelayMs)
{
    std::vector<std::atomic<qint64>> sentAt(streamLength);
    std::mutex lock;
    std::map<QString, CameraRecord> records;
    const auto onRequest = [&](const CamsimProcess::Request& request) {
        if (request.method != "PUT" || request.endpoint != QLatin1String("lens/focus"))
            return;
        const int sequence = QJsonDocument::fromJson(request.body).object().value("focus").toInt(-1);
        if (sequence < 0 || sequence >= streamLength)
            return;
        std::lock_guard<std::mutex> guard(lock);
        CameraRecord& record = records[request.camera];
        const int oldest = record.lastSequence < 0 ? sequence : std::min(record.lastSequence + 1, sequence);
        record.lastSequence = sequence;
        record.samples.carried.push_back((request.atUs - sentAt[sequence].load()) / 1000.0);
        record.samples.oldest.push_back((request.atUs - sentAt[oldest].load()) / 1000.0);
    };

    const int fastCount = slowDelayMs > 0 ? cameraCount - 1 : cameraCount;
    CamsimProcess fast;
    CamsimProcess slow;
    QString error;
    if (!fast.start(fastCount, 0, onRequest, &error)
        || (slowDelayMs > 0 && !slow.start(1, slowDelayMs, onRequest, &error))) {
        std::fprintf(stderr, "bench_osc_latency: %s\n", qPrintable(error));
        return false;
    }
    const QStringList addresses = fast.addresses() + slow.addresses();
    const QString slowAddress = slowDelayMs > 0 ? slow.addresses().first() : QString();

    CameraManager manager;
    for (int i = 0; i < cameraCount; ++i)
        manager.addCamera(QString("Camera %1").arg(i + 1), addresses.at(i), i + 1);
    const auto allConnected = [&] {
        for (const Camera& camera : manager.cameraList()->allCameras()) {
            if (camera.status != CameraStatus::Connected)
                return false;
        }
        return true;
    };
    runEventsUntil(allConnected, 10000);
    OscBridge bridge(&manager);
    OscListener listener;
    QSignalSpy started(&listener, &OscListener::started);
    const int port = freeUdpPort();
    listener.setPort(port);
    QObject::connect(&listener, &OscListener::messageReceived, &bridge, &OscBridge::onOscMessage);
    listener.start();
    started.wait(5000);

    std::atomic<bool> done{false};
    const double cpuBefore = cpuSeconds();
    std::thread sender([&] {
        FocusSender desk(port, "/camera/0/focus");
        const auto start = BenchClock::now();
        for (int i = 0; i < streamLength; ++i) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(qint64(i) * 1000000 / streamRate));
            sentAt[i].store(CamsimProcess::nowUs());
            desk.send(i);
        }
        done = true;
    });
    runEventsUntil([&] { return done.load(); }, 60000);
    const double cpu = cpuSeconds() - cpuBefore;
    runEventsUntil([] { return false; }, 1500);
    sender.join();
    listener.stopListening();
    listener.wait(OscListener::stopWaitMs);

    std::lock_guard<std::mutex> guard(lock);
    Samples others;
    int lastArrived = 0;
    for (const auto& [address, record] : records) {
        lastArrived += record.lastSequence == streamLength - 1 ? 1 : 0;
        if (address != slowAddress)
            others.append(record.samples);
    }
    if (slowDelayMs > 0)
        std::printf("One camera answering %d ms late, 7 answering at once:\n", slowDelayMs);
    else
        std::printf("8 cameras answering at once:\n");
    printSamples(slowDelayMs > 0 ? "the 7 others" : "all 8 cameras", others, fastCount);
    if (slowDelayMs > 0) {
        const Samples& slowSamples = records[slowAddress].samples;
        printSamples("the slow one", slowSamples, 1);
        const size_t half = slowSamples.carried.size() / 2;
        const std::vector<double> first(slowSamples.oldest.begin(), slowSamples.oldest.begin() + long(half));
        const std::vector<double> second(slowSamples.oldest.begin() + long(half), slowSamples.oldest.end());
        std::printf("    growth, oldest datagram: first half p99 %.2f ms, second half p99 %.2f ms\n", at(first, 0.99),
                    at(second, 0.99));
    }
    std::printf("  cameras whose last PUT carried the last value: %d of %d\n", lastArrived, cameraCount);
    std::printf("  CPU of this process while streaming: %.0f %% of one core\n",
                100.0 * cpu / (double(streamLength) / streamRate));
    return true;
}
}

int main(int argc, char** argv)
{
    // The camera manager saves its camera list; keep it out of the user's folders.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("HOME", home.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    const int slowDelayMs = argc > 1 ? QByteArray(argv[1]).toInt() : 40;

    std::printf("OSC end-to-end latency, %d messages at %d/s to /camera/0/focus, %d simulated cameras, flush every %d ms\n",
                streamLength, streamRate, cameraCount, OscBridge::defaultRateLimitMs);
    std::printf("goals: p99 <= 20 ms and max <= 40 ms from the value carried; a slow camera within its answer time\n"
                "       + 16 ms + one outstanding request, without growth, and the last value always arriving\n");
    if (!runCase(0) || !runCase(slowDelayMs))
        return 1;
    return 0;
}
