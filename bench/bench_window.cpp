// Responsiveness of the window's GUI thread while a desk sends 1,000 OSC messages per second
// with the OSC tab shown, and 8 simulated cameras (a separate kovra-camsim process, so that
// their work lands outside this process) are connected, swept and driven by those messages.
// Prints the lateness of a 1 ms timer (p50, p99, max), the GUI thread's share of one CPU,
// what arrived, and the machine's load before and after.
#include "BenchHome.h"
#include "AppCore.h"
#include "CameraManager.h"
#include "InstTabs.h"
#include "MainWindow.h"
#include "OscListener.h"
#include "Startup.h"
#include "WindowStartup.h"

#include "osc/OscBenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

constexpr int cameraCount = 8;
constexpr int messagesPerSecond = 1000;

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

QByteArray loadAverage()
{
    QFile file("/proc/loadavg");
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("unknown");
}

// A desk moving the focus of every camera in turn, one message each millisecond.
void sendDesk(int port, const std::atomic<bool>& running, std::atomic<long>& sent)
{
    UdpTransmitSocket socket(IpEndpointName("127.0.0.1", port));
    char buffer[128];
    std::vector<std::string> addresses;
    for (int n = 1; n <= cameraCount; ++n)
        addresses.push_back("/camera/" + std::to_string(n) + "/focus");
    auto next = std::chrono::steady_clock::now();
    for (long i = 0; running; ++i) {
        osc::OutboundPacketStream packet(buffer, sizeof buffer);
        packet << osc::BeginMessage(addresses[i % cameraCount].c_str()) << float((i % 1000) / 1000.0)
               << osc::EndMessage;
        socket.Send(packet.Data(), packet.Size());
        ++sent;
        next += std::chrono::microseconds(1000000 / messagesPerSecond);
        std::this_thread::sleep_until(next);
    }
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

}

int main(int argc, char** argv)
{
    const BenchHome home;
    QApplication app(argc, argv);
    Startup::setApplicationIdentity();
    Startup::installApplicationFonts();
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    // The OSC tab unless another is named, to compare.
    const QString shownTab = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("OSC");
    const QByteArray loadBefore = loadAverage();

    QStringList arguments;
    for (int i = 0; i < cameraCount; ++i)
        arguments << QStringLiteral("--camera") << QStringLiteral("127.0.0.1:0");
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kovra-camsim"), arguments);
    QStringList addresses;
    while (addresses.size() < cameraCount && simulator.waitForReadyRead(10000)) {
        while (simulator.canReadLine()) {
            const QString line = QString::fromUtf8(simulator.readLine()).trimmed();
            if (line.startsWith("camsim: "))
                addresses << line.section("http://", 1);
        }
    }
    if (addresses.size() < cameraCount) {
        std::fprintf(stderr, "bench_window: the simulator did not start (%lld of %d cameras)\n",
                     qsizetype(addresses.size()), cameraCount);
        return 1;
    }
    QObject::connect(&simulator, &QProcess::readyReadStandardOutput, &simulator, [&simulator] { simulator.readAll(); });

    // Feedback goes to a port that is bound but never read, as to a desk that ignores it.
    QUdpSocket feedbackSink;
    feedbackSink.bind(QHostAddress::LocalHost, 0);
    const int oscPort = freeUdpPort();
    QJsonArray cameras;
    for (int i = 0; i < cameraCount; ++i)
        cameras.append(QJsonObject{{"id", QStringLiteral("cam-%1").arg(i + 1)}, {"name", QStringLiteral("Cam %1").arg(i + 1)},
                                   {"ip", addresses[i]}, {"index", i + 1}});
    const QJsonObject settings{{"oscPort", oscPort}, {"oscListenInterface", "127.0.0.1"}, {"oscOutIp", "127.0.0.1"},
                               {"oscOutPort", feedbackSink.localPort()}, {"oscOutEnabled", true},
                               {"oscSendInterface", "127.0.0.1"}};
    const QString dataFolder = home.path() + "/KovraControl/Kovra Control";
    QDir().mkpath(dataFolder);
    QFile config(dataFolder + "/config.json");
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write(QJsonDocument(QJsonObject{{"version", 2}, {"cameras", cameras}, {"settings", settings}}).toJson());
    config.close();

    MainWindow window(nullptr, false);
    window.show();
    for (int i = 0; i < window.tabs()->count(); ++i) {
        if (window.tabs()->tabButton(i)->text() == shownTab)
            window.tabs()->setCurrentIndex(i);
    }
    CameraList* list = window.core()->cameraManager()->cameraList();
    QElapsedTimer waited;
    waited.start();
    const auto connectedCount = [list] {
        const QList<Camera> all = list->allCameras();
        return std::count_if(all.begin(), all.end(), [](const Camera& c) { return c.status == CameraStatus::Connected; });
    };
    while (connectedCount() < cameraCount && waited.elapsed() < 20000)
        QTest::qWait(50);

    long received = 0;
    QObject::connect(window.core()->oscListener(), &OscListener::messageReceived, &app, [&received] { ++received; });
    std::atomic<bool> running{true};
    std::atomic<long> sent{0};
    std::thread desk(sendDesk, oscPort, std::cref(running), std::ref(sent));
    QTest::qWait(2000);

    std::vector<double> lateness;
    QElapsedTimer clock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    qint64 previous = 0;
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateness.push_back(std::max<double>(0, (now - previous) / 1e6 - 1.0));
        previous = now;
    });
    const long sentBefore = sent;
    const long receivedBefore = received;
    const double cpuBefore = threadCpuSeconds();
    clock.start();
    probe.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const double cpu = threadCpuSeconds() - cpuBefore;
    running = false;
    desk.join();

    const long arrived = received - receivedBefore;
    const int connected = int(connectedCount());
    simulator.terminate();
    simulator.waitForFinished(3000);

    std::printf("machine:                    %d cores, load average before %s, after %s\n", QThread::idealThreadCount(),
                loadBefore.constData(), loadAverage().constData());
    std::printf("cameras connected:          %d of %d\n", connected, cameraCount);
    std::printf("run time:                   %.1f s, %s tab shown\n", elapsed, qPrintable(shownTab));
    std::printf("OSC messages sent/received: %ld / %ld (%.0f per second received)\n", sent - sentBefore, arrived,
                arrived / elapsed);
    std::printf("1 ms timer lateness:        p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu ticks)\n",
                percentile(lateness, 0.5), percentile(lateness, 0.99),
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()), lateness.size());
    std::printf("GUI thread CPU:             %.1f %% of one core\n", 100.0 * cpu / elapsed);
    window.close();
    return connected == cameraCount ? 0 : 1;
}
