#include "OscListener.h"

#include "OscHandler.h"
#include "OscLog.h"

#include <oscpack/ip/IpEndpointName.h>
#include <oscpack/ip/TimerListener.h>
#include <oscpack/ip/UdpSocket.h>

#include <QMutexLocker>

#include <exception>
#include <memory>

namespace {
constexpr int retryDelaysMs[] = {500, 1000, 2000, 3000, 5000};
constexpr int sleepStepMs = 100;
constexpr int warnedAttempts = 5;
constexpr int errorAttempt = 4;

// The library forgets a break requested just before its loop starts; this checks the
// running flag from inside the loop so that a stop always ends it within one period.
class StopWatcher : public TimerListener {
public:
    StopWatcher(const std::atomic<int>& running, SocketReceiveMultiplexer& loop)
        : m_running(running), m_loop(loop) {}
    void TimerExpired() override
    {
        if (!m_running.load())
            m_loop.Break();
    }

private:
    const std::atomic<int>& m_running;
    SocketReceiveMultiplexer& m_loop;
};
}

OscListener::OscListener(QObject* parent)
    : QThread(parent)
{
}

OscListener::~OscListener()
{
    stopListening();
    wait(stopWaitMs);
}

void OscListener::start(Priority priority)
{
    if (isRunning())
        return;
    m_running.store(1);
    QThread::start(priority);
}

void OscListener::stopListening()
{
    m_running.store(0);
    breakActiveLoop();
}

void OscListener::breakActiveLoop()
{
    QMutexLocker lock(&m_loopLock);
    if (SocketReceiveMultiplexer* loop = m_activeLoop.load())
        loop->AsynchronousBreak();
}

bool OscListener::publishLoop(SocketReceiveMultiplexer* loop)
{
    QMutexLocker lock(&m_loopLock);
    if (!m_running.load())
        return false;
    m_activeLoop.store(loop);
    return true;
}

void OscListener::withdrawLoop()
{
    QMutexLocker lock(&m_loopLock);
    m_activeLoop.store(nullptr);
}

void OscListener::postMessage(const QString& address, const QVariantList& args)
{
    QMetaObject::invokeMethod(
        this, [this, address, args] { emit messageReceived(address, args); }, Qt::QueuedConnection);
}

void OscListener::run()
{
    int attempt = 0;
    while (m_running.load()) {
        const int port = m_port;
        try {
            const IpEndpointName local = m_bindAddress.isEmpty()
                ? IpEndpointName(IpEndpointName::ANY_ADDRESS, port)
                : IpEndpointName(m_bindAddress.toUtf8().constData(), port);
            OscHandler handler(this);
            UdpSocket socket;
            SocketReceiveMultiplexer loop;
            socket.Bind(local);
            loop.AttachSocketListener(&socket, &handler);
            StopWatcher watcher(m_running, loop);
            loop.AttachPeriodicTimerListener(sleepStepMs, &watcher);
            if (publishLoop(&loop)) {
                QMetaObject::invokeMethod(this, [this, port] { emit started(port); }, Qt::QueuedConnection);
                try {
                    loop.Run();
                } catch (...) {
                    withdrawLoop();
                    throw;
                }
                withdrawLoop();
            }
            loop.DetachPeriodicTimerListener(&watcher);
            loop.DetachSocketListener(&socket, &handler);
            return;
        } catch (const std::exception& error) {
            const int delayMs = retryDelaysMs[qMin(attempt, errorAttempt)];
            if (attempt == errorAttempt) {
                const QString text = QString::fromLocal8Bit(error.what()).trimmed();
                QMetaObject::invokeMethod(this, [this, text] { emit listenError(text); }, Qt::QueuedConnection);
            }
            if (attempt < warnedAttempts)
                qCWarning(lcOsc) << "OSC: port" << port << "busy, retrying in" << delayMs << "ms (attempt"
                                 << attempt + 1 << ")";
            sleepBeforeRetry(delayMs);
            ++attempt;
        }
    }
}

void OscListener::sleepBeforeRetry(int delayMs)
{
    for (int slept = 0; slept < delayMs && m_running.load(); slept += sleepStepMs)
        QThread::msleep(sleepStepMs);
}
