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

SimulatorHttpServer::SimulatorHttpServer(Handler handler, UpgradeFilter acceptUpgrade, QObject* parent)
    : QAbstractHttpServer(parent)
    , m_handler(std::move(handler))
    , m_acceptUpgrade(std::move(acceptUpgrade))
{
}

bool SimulatorHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // Claimed but unanswered, Qt hands the socket to its WebSocket server; a WebSocket upgrade
    // that is not claimed goes to missingHandler, and Qt closes the connection after it.
    if (isWebSocketUpgrade(request))
        return m_acceptUpgrade(request);
    m_handler(request, makeResponder(request, socket));
    return true;
}

void SimulatorHttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    m_handler(request, makeResponder(request, socket));
}
