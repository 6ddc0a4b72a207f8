#include "CamsimProcess.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// "<microseconds> <address:port> <METHOD> <endpoint>[ <body>]"
bool parseLine(const QByteArray& line, CamsimProcess::Request* request)
{
    const QList<QByteArray> parts = line.trimmed().split(' ');
    if (parts.size() < 4)
        return false;
    bool ok = false;
    request->atUs = parts[0].toLongLong(&ok);
    if (!ok)
        return false;
    request->camera = QString::fromLatin1(parts[1]);
    request->method = parts[2];
    request->endpoint = QString::fromUtf8(parts[3]);
    const int bodyStart = int(parts[0].size() + parts[1].size() + parts[2].size() + parts[3].size() + 4);
    request->body = bodyStart < line.trimmed().size() ? line.trimmed().mid(bodyStart) : QByteArray();
    return true;
}

} // namespace

CamsimProcess::~CamsimProcess()
{
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
}

bool CamsimProcess::start(int cameraCount, int delayMs, Callback onRequest, QString* error)
{
    m_onRequest = std::move(onRequest);
    QStringList arguments = {QStringLiteral("--clock"), QStringLiteral("--delay"), QString::number(delayMs)};
    for (int i = 0; i < cameraCount; ++i) {
        m_addresses << QStringLiteral("127.0.0.1:%1").arg(freePort());
        arguments << QStringLiteral("--camera") << m_addresses.last();
    }
    m_reader = std::thread(&CamsimProcess::run, this, arguments, cameraCount);
    while (m_state.load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (m_state.load() < 0 && error)
        *error = m_error;
    return m_state.load() > 0;
}

void CamsimProcess::run(QStringList arguments, int cameraCount)
{
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kovra-camsim"), arguments);
    int ready = 0;
    while (ready < cameraCount && simulator.waitForReadyRead(10000)) {
        while (simulator.canReadLine()) {
            if (simulator.readLine().startsWith("camsim: "))
                ++ready;
        }
    }
    if (ready < cameraCount) {
        m_error = QStringLiteral("the simulator did not start (%1 of %2 cameras)").arg(ready).arg(cameraCount);
        m_state = -1;
        return;
    }
    m_state = 1;
    Request request;
    while (!m_stop.load()) {
        simulator.waitForReadyRead(50);
        while (simulator.canReadLine()) {
            if (parseLine(simulator.readLine(), &request) && m_onRequest)
                m_onRequest(request);
        }
    }
    simulator.terminate();
    simulator.waitForFinished(3000);
}
