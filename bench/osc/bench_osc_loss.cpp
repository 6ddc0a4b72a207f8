// Loss: bursts of 100,000 datagrams from one sender, counted at messageReceived. Once as
// fast as the sender can go, once paced at 20,000 messages per second.
#include "BenchEvents.h"
#include "OscBenchSupport.h"
#include "OscListener.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <atomic>

namespace {
constexpr int burst = 100000;

struct Result {
    double sendRate;
    int received;
};

// ratePerSecond 0 sends unpaced.
Result run(int ratePerSecond)
{
    OscListener listener;
    QSignalSpy started(&listener, &OscListener::started);
    const int port = freeUdpPort();
    listener.setPort(port);
    int received = 0;
    QObject::connect(&listener, &OscListener::messageReceived, [&] { ++received; });
    listener.start();
    started.wait(5000);

    std::atomic<bool> done{false};
    double sendSeconds = 0;
    std::thread sender([&] {
        FocusSender desk(port);
        const auto start = BenchClock::now();
        for (int i = 0; i < burst; ++i) {
            // Paced in 1 ms ticks, sleeping between them as a desk on another machine would not
            // compete for this machine's cores.
            if (ratePerSecond > 0 && i % (ratePerSecond / 1000) == 0)
                std::this_thread::sleep_until(start + std::chrono::microseconds(qint64(i) * 1000000 / ratePerSecond));
            desk.send(i);
        }
        sendSeconds = secondsSince(start);
        done = true;
    });
    auto lastProgress = BenchClock::now();
    int lastCount = 0;
    runEventsUntil([&] {
        if (received != lastCount) {
            lastCount = received;
            lastProgress = BenchClock::now();
        }
        return lastCount >= burst || (done && secondsSince(lastProgress) > 1.0);
    }, 120000);
    sender.join();
    listener.stopListening();
    listener.wait(OscListener::stopWaitMs);
    return {burst / sendSeconds, received};
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("OSC loss, bursts of %d datagrams from one sender into OscListener\n", burst);
    for (int rate : {0, 20000}) {
        const Result result = run(rate);
        std::printf("  %-22s sent at %8.0f messages/s: %6d received, %6d lost (%.2f %%)\n",
                    rate ? "paced 20,000/s" : "unpaced", result.sendRate, result.received, burst - result.received,
                    100.0 * (burst - result.received) / burst);
    }
    return 0;
}
