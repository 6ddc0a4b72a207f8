#pragma once

#include <QMutex>
#include <QString>
#include <QThread>
#include <QVariantList>

#include <atomic>

class SocketReceiveMultiplexer;

// Receives OSC over UDP on a thread of its own and hands every decoded message to the
// thread the listener lives in. A busy port is retried for as long as the thread runs.
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
    void postMessage(const QString& address, const QVariantList& args);
    // Publishes the bound receive loop unless a stop came first; false means leave the thread.
    bool publishLoop(SocketReceiveMultiplexer* loop);
    void withdrawLoop();
    void sleepBeforeRetry(int delayMs);
    void breakActiveLoop();

    int m_port = defaultPort;
    QString m_bindAddress;
    std::atomic<int> m_running{0};
    // The receive loop of the bound socket. Written under m_loopLock, so that a stop never
    // breaks a loop the thread is deleting.
    std::atomic<SocketReceiveMultiplexer*> m_activeLoop{nullptr};
    QMutex m_loopLock;
};
