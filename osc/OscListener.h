#pragma once

#include "OscReceiveSocket.h"

#include <QMutex>
#include <QString>
#include <QThread>
#include <QVariantList>

#include <atomic>
#include <vector>

// Receives OSC over UDP on a thread of its own and hands every decoded message to the
// thread the listener lives in. A busy port is retried for as long as the thread runs.
// Messages cross in batches, one wake-up for all that arrived since the last, and are
// emitted there one by one in arrival order.
class OscListener : public QThread {
    Q_OBJECT
public:
    static constexpr int defaultPort = 58000;
    static constexpr int stopWaitMs = 2000;

    explicit OscListener(QObject* parent = nullptr);
    ~OscListener() override;

    // Take effect at the next bind; change them only while the thread is stopped.
    void setPort(int port) { m_port = port; }
    int port() const { return m_port; }
    void setBindAddress(const QString& address) { m_bindAddress = address; }
    QString bindAddress() const { return m_bindAddress; }

    // Marks the listener running before the thread exists, so that a stop issued right
    // after start is never undone by the new thread.
    void start(Priority priority = InheritPriority);
    // Returns at once; wait() for the thread afterwards.
    void stopListening();

signals:
    void messageReceived(const QString& address, const QVariantList& args);
    void listenError(const QString& errorMsg);
    void started(int port);

protected:
    void run() override;

private:
    friend class OscHandler;
    struct Message {
        QString address;
        QVariantList args;
    };

    // Listener thread.
    void postMessage(QString address, QVariantList args);
    void sleepBeforeRetry(int delayMs);
    // Thread of residence.
    void deliverMessages();

    int m_port = defaultPort;
    QString m_bindAddress;
    std::atomic<int> m_running{0};
    // Ends the receive loop's or the retry's wait; cleared by start.
    OscWakeUp m_wakeUp;

    QMutex m_incomingLock;
    std::vector<Message> m_incoming;      // filled by the listener thread, under the lock
    std::vector<Message> m_delivering;    // emptied by deliverMessages
    std::size_t m_nextDelivery = 0;
};
