// End-to-end latency: a 1 kHz stream of /camera/0/focus floats through OscListener, the
// bridge and the camera manager to 8 simulated cameras, which run on a thread of their
// own. Each float carries its sequence number. Two figures per PUT: from the send of the
// datagram whose value it carries, and from the send of the oldest datagram it stands for
// (the first one after the value of that camera's previous PUT), which bears the flush wait.
#include "CameraManager.h"
#include "CameraSimulator.h"
#include "OscBenchSupport.h"
#include "OscBridge.h"
#include "OscListener.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <map>
#include <atomic>
#include <memory>
#include <vector>

namespace {
constexpr int cameraCount = 8;
constexpr int streamRate = 1000;
constexpr int streamLength = 5000;    // five seconds
}

int main(int argc, char** argv)
{
    // The camera manager saves its camera list; keep it out of the user's folders.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("HOME", home.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);

    const auto epoch = BenchClock::now();
    std::vector<std::atomic<qint64>> sentAt(streamLength);
    QMutex latencyLock;
    std::vector<double> latenciesMs;
    std::vector<double> oldestMs;
    std::map<const CameraSimulator*, int> lastSequence;    // touched on the simulator thread only

    QThread simulatorThread;
    simulatorThread.start();
    QObject simulatorContext;
    simulatorContext.moveToThread(&simulatorThread);
    std::vector<std::unique_ptr<CameraSimulator>> simulators;
    QStringList addresses;
    QMetaObject::invokeMethod(&simulatorContext, [&] {
        for (int i = 0; i < cameraCount; ++i) {
            auto simulator = std::make_unique<CameraSimulator>();
            simulator->listen();
            addresses << simulator->hostAndPort();
            QObject::connect(simulator.get(), &CameraSimulator::requestReceived, simulator.get(),
                             [&, simulator = simulator.get()](const SimulatedRequest& request) {
                const qint64 now = std::chrono::duration_cast<std::chrono::microseconds>(BenchClock::now() - epoch).count();
                if (request.method != "PUT" || request.endpoint != "lens/focus")
                    return;
                const int sequence = QJsonDocument::fromJson(request.body).object().value("focus").toInt(-1);
                if (sequence < 0 || sequence >= streamLength)
                    return;
                const auto previous = lastSequence.find(simulator);
                const int oldest = previous == lastSequence.end() ? sequence : std::min(previous->second + 1, sequence);
                lastSequence[simulator] = sequence;
                QMutexLocker lock(&latencyLock);
                latenciesMs.push_back((now - sentAt[sequence].load()) / 1000.0);
                oldestMs.push_back((now - sentAt[oldest].load()) / 1000.0);
            }, Qt::DirectConnection);
            simulators.push_back(std::move(simulator));
        }
    }, Qt::BlockingQueuedConnection);

    CameraManager manager;
    for (int i = 0; i < cameraCount; ++i)
        manager.addCamera(QString("Camera %1").arg(i + 1), addresses.at(i), i + 1);
    OscBridge bridge(&manager);
    OscListener listener;
    QSignalSpy started(&listener, &OscListener::started);
    const int port = freeUdpPort();
    listener.setPort(port);
    QObject::connect(&listener, &OscListener::messageReceived, &bridge, &OscBridge::onOscMessage);
    listener.start();
    started.wait(5000);

    std::atomic<bool> done{false};
    std::thread sender([&] {
        FocusSender desk(port, "/camera/0/focus");
        const auto start = BenchClock::now();
        for (int i = 0; i < streamLength; ++i) {
            const auto due = start + std::chrono::microseconds(qint64(i) * 1000000 / streamRate);
            while (BenchClock::now() < due)
                std::this_thread::yield();
            sentAt[i].store(std::chrono::duration_cast<std::chrono::microseconds>(BenchClock::now() - epoch).count());
            desk.send(i);
        }
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const auto drainStart = BenchClock::now();
    while (secondsSince(drainStart) < 1.0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    sender.join();
    listener.stopListening();
    listener.wait(OscListener::stopWaitMs);

    QMetaObject::invokeMethod(&simulatorContext, [&] { simulators.clear(); }, Qt::BlockingQueuedConnection);
    simulatorThread.quit();
    simulatorThread.wait();

    std::sort(latenciesMs.begin(), latenciesMs.end());
    std::sort(oldestMs.begin(), oldestMs.end());
    const auto at = [](const std::vector<double>& sorted, double fraction) {
        return sorted.empty() ? 0.0 : sorted[std::min(sorted.size() - 1, size_t(fraction * sorted.size()))];
    };
    std::printf("OSC end-to-end latency, %d messages at %d/s to /camera/0/focus, %d simulated cameras, flush every %d ms\n",
                streamLength, streamRate, cameraCount, bridge.rateLimitMs());
    std::printf("  focus PUTs received: %zu (%.1f per camera per second)\n", latenciesMs.size(),
                latenciesMs.size() / double(cameraCount) / (double(streamLength) / streamRate));
    std::printf("  from the send of the value carried : p50 %6.2f ms, p99 %6.2f ms, max %6.2f ms\n",
                at(latenciesMs, 0.50), at(latenciesMs, 0.99), at(latenciesMs, 1.0));
    std::printf("  from the oldest datagram folded in : p50 %6.2f ms, p99 %6.2f ms, max %6.2f ms\n",
                at(oldestMs, 0.50), at(oldestMs, 0.99), at(oldestMs, 1.0));
    return 0;
}
