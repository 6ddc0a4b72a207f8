// Decode throughput: messages per second through OscListener into messageReceived, beside
// a bare receive loop of the OSC library on the same machine. The sender keeps a bounded
// number of datagrams in flight so that neither receiver is measured on lost datagrams; it
// sleeps while the window is full rather than spinning, so that it leaves the receiver the
// cores it would not take from a desk on another machine either.
#include "BenchEvents.h"
#include "OscBenchSupport.h"
#include "OscListener.h"

#include <oscpack/osc/OscPacketListener.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

#include <atomic>

namespace {
constexpr int messageCount = 200000;
constexpr int window = 128;

// Sends messageCount messages; returns once all were sent.
void sendWindowed(int port, const std::atomic<int>& received, std::atomic<bool>& done)
{
    FocusSender sender(port);
    for (int i = 0; i < messageCount; ++i) {
        const auto waitStart = BenchClock::now();
        // A lost datagram would hold the window shut; give up waiting after a moment.
        while (i - received.load() >= window && secondsSince(waitStart) < 0.05)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        sender.send(i);
    }
    done = true;
}

class CountingListener : public osc::OscPacketListener {
public:
    std::atomic<int> count{0};
    double sum = 0;

protected:
    void ProcessMessage(const osc::ReceivedMessage& message, const IpEndpointName&) override
    {
        for (auto it = message.ArgumentsBegin(); it != message.ArgumentsEnd(); ++it)
            sum += it->AsFloat();
        count.fetch_add(1);
    }
};

struct Result {
    int received;
    double seconds;
    double rate() const { return received / seconds; }
};

Result runListener()
{
    OscListener listener;
    QSignalSpy started(&listener, &OscListener::started);
    const int port = freeUdpPort();
    listener.setPort(port);
    std::atomic<int> received{0};
    std::atomic<bool> done{false};
    QObject::connect(&listener, &OscListener::messageReceived,
                     [&](const QString&, const QVariantList&) { received.fetch_add(1); });
    listener.start();
    started.wait(5000);

    const auto start = BenchClock::now();
    std::thread sender(sendWindowed, port, std::cref(received), std::ref(done));
    auto lastProgress = BenchClock::now();
    int lastCount = 0;
    runEventsUntil([&] {
        if (received.load() != lastCount) {
            lastCount = received.load();
            lastProgress = BenchClock::now();
        }
        return lastCount >= messageCount || (done && secondsSince(lastProgress) > 1.0);
    }, 120000);
    const double seconds = std::chrono::duration<double>(lastProgress - start).count();
    sender.join();
    listener.stopListening();
    listener.wait(OscListener::stopWaitMs);
    return {received.load(), seconds};
}

Result runBareLoop()
{
    const int port = freeUdpPort();
    CountingListener counter;
    UdpListeningReceiveSocket socket(IpEndpointName(IpEndpointName::ANY_ADDRESS, port), &counter);
    std::thread loop([&] { socket.Run(); });
    std::atomic<bool> done{false};

    const auto start = BenchClock::now();
    std::thread sender(sendWindowed, port, std::cref(counter.count), std::ref(done));
    auto lastProgress = BenchClock::now();
    int lastCount = 0;
    while (counter.count.load() < messageCount) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (counter.count.load() != lastCount) {
            lastCount = counter.count.load();
            lastProgress = BenchClock::now();
        } else if (done && secondsSince(lastProgress) > 1.0) {
            break;
        }
    }
    const double seconds = std::chrono::duration<double>(lastProgress - start).count();
    sender.join();
    socket.AsynchronousBreak();
    loop.join();
    return {counter.count.load(), seconds};
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Result bare = runBareLoop();
    const Result listener = runListener();
    std::printf("OSC decode throughput, %d messages of /camera/1/focus f, at most %d in flight\n", messageCount, window);
    std::printf("  bare receive loop : %9.0f messages/s (%d received in %.3f s)\n", bare.rate(), bare.received,
                bare.seconds);
    std::printf("  OscListener       : %9.0f messages/s (%d received in %.3f s)\n", listener.rate(), listener.received,
                listener.seconds);
    std::printf("  ratio listener/bare: %.2f\n", listener.rate() / bare.rate());
    return 0;
}
