#pragma once

#include <QAbstractHttpServer>
#include <QHttpServerResponder>

#include <functional>

// Hands every plain request to one handler and lets the WebSocket upgrades that the
// filter accepts through to the built-in WebSocket server; the handler answers the
// others like plain requests. In Qt 6.4 an upgrade is accepted only when handleRequest
// claims it without answering, which QHttpServer's missing-handler route cannot do, and
// an upgrade is refused only when handleRequest does not claim it.
class SimulatorHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    using Handler = std::function<void(const QHttpServerRequest&, QHttpServerResponder&&)>;
    using UpgradeFilter = std::function<bool(const QHttpServerRequest&)>;

    SimulatorHttpServer(Handler handler, UpgradeFilter acceptUpgrade, QObject* parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Handler m_handler;
    UpgradeFilter m_acceptUpgrade;
};
