#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

// Simulated cameras served by a kovra-camsim process of their own, so that a benchmark's
// CPU time and event loop hold only the program's own work. The simulator stamps each
// request with the monotonic clock at its arrival; its lines are read on a thread of their
// own, where the callback runs.
class CamsimProcess {
public:
    struct Request {
        qint64 atUs = 0;    // steady clock, microseconds; see nowUs()
        QString camera;     // "address:port"
        QByteArray method;
        QString endpoint;
        QByteArray body;
    };
    using Callback = std::function<void(const Request&)>;

    CamsimProcess() = default;
    ~CamsimProcess();
    CamsimProcess(const CamsimProcess&) = delete;
    CamsimProcess& operator=(const CamsimProcess&) = delete;

    // Starts cameraCount cameras on free loopback ports, each answering delayMs late, and
    // returns once all of them listen. On failure the text says why.
    bool start(int cameraCount, int delayMs, Callback onRequest, QString* error);
    QStringList addresses() const { return m_addresses; }

    static qint64 nowUs()
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    void run(QStringList arguments, int cameraCount);

    Callback m_onRequest;
    QStringList m_addresses;
    QString m_error;
    std::atomic<int> m_state{0};    // 0 starting, 1 ready, -1 failed
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
};
