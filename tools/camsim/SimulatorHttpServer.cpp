#include "SimulatorHttpServer.h"

#include <QHttpServerRequest>

#include <algorithm>

namespace {

// Header names keep the client's spelling here, so compare them without case.
bool isWebSocketUpgrade(const QHttpServerRequest& request)
{
    const auto headers = request.headers();
    return std::any_of(headers.cbegin(), headers.cend(), [](const QPair<QByteArray, QByteArray>& header) {
        return header.first.compare("upgrade", Qt::CaseInsensitive) == 0
            && header.second.compare("websocket", Qt::CaseInsensitive) == 0;
    });
}

} // namespace

SimulatorHttpServer::SimulatorHttpServer(Handler handler, QObject* parent)
    : QAbstractHttpServer(parent)
    , m_handler(std::move(handler))
{
}

bool SimulatorHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (isWebSocketUpgrade(request))
        return true; // claimed but unanswered: Qt hands the socket to its WebSocket server
    m_handler(request, makeResponder(request, socket));
    return true;
}

void SimulatorHttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // Reached only for upgrades that are not WebSocket handshakes.
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotImplemented);
}
