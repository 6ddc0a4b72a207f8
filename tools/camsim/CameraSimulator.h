#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// One request as the simulated camera received it.
struct SimulatedRequest {
    QByteArray method;                        // "GET", "PUT", "POST", "DELETE"
    QString endpoint;                         // path below /control/api/v1/, e.g. "lens/focus"
    QByteArray body;
    QHash<QByteArray, QByteArray> headers;    // names in lower case
    QDateTime received;
};

// A simulated camera: the REST control API and the event WebSocket of one device,
// served on one loopback address and port, with a realistic state and fault modes.
class CameraSimulator : public QObject {
    Q_OBJECT
public:
    enum class Refusal { NotFound, MethodNotAllowed, NotImplemented, JsonError };

    explicit CameraSimulator(const QString& productName = QStringLiteral("URSA Broadcast G2"),
                             QObject* parent = nullptr);
    ~CameraSimulator() override;

    // Port 0 picks a free port. Returns false when the address cannot be bound.
    bool listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    void close();
    QHostAddress address() const;
    quint16 port() const;
    // "address:port", usable as a camera's address in URLs.
    QString hostAndPort() const;

    QString productName() const;
    void setProduct(const QString& productName, const QString& softwareVersion);

    // The body a GET of the endpoint answers with; PUTs change it.
    QJsonValue endpointValue(const QString& endpoint) const;
    void setEndpointValue(const QString& endpoint, const QJsonValue& value);

    QList<SimulatedRequest> requests() const;
    int requestCount(const QByteArray& method, const QString& endpoint) const;
    int requestCount(const QByteArray& method) const;
    // Bodies of the requests with this method and endpoint, oldest first.
    QList<QByteArray> requestBodies(const QByteArray& method, const QString& endpoint) const;
    void clearRequests();
    int openConnections() const;
    int maxOpenConnections() const;
    // Requests received whose answer the response delay or the black hole still holds
    // back. Unlike open connections, which a client may keep alive or close late, this
    // falls the moment the answer leaves.
    int unansweredRequests() const;

    // Fault modes. Refusing "event/websocket" answers the event channel's upgrade with the status.
    void refuseEndpoint(const QString& endpoint, Refusal how);
    void acceptEndpoint(const QString& endpoint);
    void setResponseDelay(int milliseconds);
    // For this endpoint only, in place of the response delay.
    void setEndpointDelay(const QString& endpoint, int milliseconds);
    void setBlackHole(bool on);                 // requests are read but never answered
    void setMalformedJson(const QString& endpoint, bool on);
    void setNotACamera(bool on);                // "camera/id" answers 404
    // The "Server" header of every answer; empty sends none. By default "BlackmagicDesign/"
    // and the software version.
    void setServerHeader(const QByteArray& value);
    QByteArray serverHeader() const;

    // Event channel.
    int eventClientCount() const;
    QList<QJsonObject> subscribeRequests() const;
    void dropEventClients();
    void pushRawEvent(const QByteArray& text);

    QStringList presetNames() const;
    QString activePreset() const;
    bool isRecording() const;
    // Starts counting the connections open at once afresh from the present count.
    void resetMaxOpenConnections();

signals:
    void requestReceived(const SimulatedRequest& request);
    void eventClientConnected();
    void eventClientDisconnected();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
