#include "OscListener.h"

#include "OscHandler.h"
#include "OscLog.h"

#include <oscpack/ip/IpEndpointName.h>

#include <QMutexLocker>

#include <poll.h>

#include <exception>
#include <iterator>

namespace {
constexpr int retryDelaysMs[] = {500, 1000, 2000, 3000, 5000};
constexpr int warnedAttempts = 5;
constexpr int errorAttempt = 4;
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
    m_wakeUp.clear();
    m_running.store(1);
    QThread::start(priority);
}

void OscListener::stopListening()
{
    m_running.store(0);
    m_wakeUp.signal();
}

void OscListener::postMessage(QString address, QVariantList args)
{
    bool first = false;
    {
        QMutexLocker lock(&m_incomingLock);
        first = m_incoming.empty();
        m_incoming.push_back({std::move(address), std::move(args)});
    }
    if (first)
        QMetaObject::invokeMethod(this, &OscListener::deliverMessages, Qt::QueuedConnection);
}

void OscListener::deliverMessages()
{
    {
        QMutexLocker lock(&m_incomingLock);
        if (m_nextDelivery == m_delivering.size()) {
            m_delivering.clear();
            m_nextDelivery = 0;
            m_delivering.swap(m_incoming);
        } else {
            std::move(m_incoming.begin(), m_incoming.end(), std::back_inserter(m_delivering));
            m_incoming.clear();
        }
    }
    // A receiver that runs a nested event loop comes back in here; taking the messages one
    // at a time from the member list keeps them in arrival order even then.
    while (m_nextDelivery < m_delivering.size()) {
        const Message message = std::move(m_delivering[m_nextDelivery++]);
        emit messageReceived(message.address, message.args);
    }
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
            OscReceiveSocket socket;
            socket.bind(local);
            QMetaObject::invokeMethod(this, [this, port] { emit started(port); }, Qt::QueuedConnection);
            socket.run(handler, m_wakeUp, m_running);
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
    // Wakes at once on a stop, or at the latest one poll period after it.
    pollfd wakeUp = {m_wakeUp.fd(), POLLIN, 0};
    for (int slept = 0; slept < delayMs && m_running.load(); slept += OscReceiveSocket::pollPeriodMs) {
        if (::poll(&wakeUp, 1, qMin(OscReceiveSocket::pollPeriodMs, delayMs - slept)) > 0)
            return;
    }
}
