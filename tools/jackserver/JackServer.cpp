#include "JackServer.h"

#include <QCoreApplication>
#include <QDir>

#include <signal.h>
#include <sys/prctl.h>

namespace {
constexpr int readyTimeoutSeconds = 10;
constexpr int lockTimeoutMs = 180000;
}

JackServer::JackServer()
    : m_lock(QDir::tempPath() + QStringLiteral("/kovra-jack.lock"))
    , m_name(QStringLiteral("kovra-test-%1").arg(QCoreApplication::applicationPid()))
{
}

JackServer::~JackServer()
{
    stop();
}

bool JackServer::start(QString* error)
{
    // Held for as long as the server runs; only a dead holder's lock is taken over.
    m_lock.setStaleLockTime(0);
    if (!m_lock.tryLock(lockTimeoutMs)) {
        *error = QStringLiteral("another process kept the JACK lock %1 for %2 s")
                     .arg(m_lock.fileName()).arg(lockTimeoutMs / 1000);
        return false;
    }
    qputenv("JACK_DEFAULT_SERVER", m_name.toUtf8());
    // No client may start a server of its own behind the test's back.
    qputenv("JACK_NO_START_SERVER", "1");
    if (!launch(error)) {
        stop();
        return false;
    }
    return true;
}

bool JackServer::launch(QString* error)
{
    // Unread output would fill the pipe and stall the server in a long run.
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.setStandardErrorFile(QProcess::nullDevice());
    // A test that crashes must not leave its server behind.
    m_server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // The server gives up on a client that answers its notices later than the client time-out;
    // on a loaded machine without real-time threads the default half second is too short.
    m_server.start(QStringLiteral("jackd"), {"--no-realtime", "-n", m_name, "-t", "5000", "-d", "dummy", "-r", "48000", "-p", "256"});
    if (!m_server.waitForStarted(5000)) {
        *error = QStringLiteral("jackd did not start: %1").arg(m_server.errorString());
        return false;
    }
    QProcess waiter;
    waiter.setProcessChannelMode(QProcess::MergedChannels);
    waiter.start(QStringLiteral("jack_wait"),
                 {"--wait", "--server", m_name, "--timeout", QString::number(readyTimeoutSeconds)});
    const bool ready = waiter.waitForFinished((readyTimeoutSeconds + 5) * 1000) && waiter.exitCode() == 0
        && waiter.readAll().toLower().contains("server is available");
    if (!ready) {
        *error = m_server.state() == QProcess::NotRunning
            ? QStringLiteral("jackd %1 exited with code %2").arg(m_name).arg(m_server.exitCode())
            : QStringLiteral("jackd %1 does not accept clients").arg(m_name);
        return false;
    }
    return true;
}

void JackServer::terminate()
{
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(2000);
    }
}

void JackServer::stop()
{
    if (m_server.state() != QProcess::NotRunning) {
        terminate();
        // A server that dies instead of ending (clients that leave while it shuts down can kill
        // it with SIGPIPE) keeps its slot in the machine's JACK registry, and with eight such
        // slots taken no server starts on the machine at all. A server of the same name takes
        // the slot over; without clients it ends cleanly and gives it back.
        QString error;
        if (m_server.exitStatus() == QProcess::CrashExit && launch(&error))
            terminate();
    }
    if (m_lock.isLocked())
        m_lock.unlock();
}
