#pragma once

#include <QAbstractHttpServer>
#include <QHttpServerResponder>

#include <functional>

// Hands every plain request to one handler and lets WebSocket upgrades through to
// the built-in WebSocket server. In Qt 6.4 an upgrade is accepted only when
// handleRequest claims it without answering, which QHttpServer's missing-handler
// route cannot do.
class SimulatorHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    using Handler = std::function<void(const QHttpServerRequest&, QHttpServerResponder&&)>;

    explicit SimulatorHttpServer(Handler handler, QObject* parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Handler m_handler;
};
