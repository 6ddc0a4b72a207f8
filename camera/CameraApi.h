#pragma once

#include "CameraRequestQueue.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

// The only place that speaks HTTP to cameras. Every completion names the camera's
// address and the endpoint, so one client serves all cameras. Each camera's requests
// pass through a queue of its own that paces them (see CameraRequestQueue).
class CameraApi : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultReadTimeoutMs = 5000;
    static constexpr int defaultWriteTimeoutMs = 10000;

    explicit CameraApi(QObject* parent = nullptr);

    QString buildUrl(const QString& ip, const QString& endpoint) const;
    static bool productLooksLikeCamera(const QString& productName);

    void get(const QString& ip, const QString& endpoint);
    void put(const QString& ip, const QString& endpoint, const QJsonObject& body);
    void putRaw(const QString& ip, const QString& endpoint, const QByteArray& body);
    void post(const QString& ip, const QString& endpoint, const QJsonObject& body);
    void putBinary(const QString& ip, const QString& endpoint);
    void del(const QString& ip, const QString& endpoint);
    void ping(const QString& ip);

    // While offline nothing is sent and no signal is emitted.
    bool isOffline() const { return m_offline; }
    void setOffline(bool offline) { m_offline = offline; }

    // Tests shorten the transfer time-outs with this; the application keeps the defaults.
    void setTimeouts(int readTimeoutMs, int writeTimeoutMs);

signals:
    void getFinished(const QString& cameraIp, const QString& endpoint, const QJsonObject& response);
    void getFailed(const QString& cameraIp, const QString& endpoint, int httpStatus);
    void putFinished(const QString& cameraIp, const QString& endpoint, bool success, const QString& error);
    void pingResult(const QString& cameraIp, bool reachable, const QJsonObject& systemInfo);

private:
    QNetworkRequest request(const QString& ip, const QString& endpoint, int timeoutMs, const char* contentType) const;
    void write(const QString& ip, const QString& endpoint, CameraRequest::Kind kind, const QByteArray& method,
               const QByteArray& body, const char* contentType, const QString& key = QString());
    void submit(const QString& ip, CameraRequest request);
    void pingCameraId(const QString& ip, QJsonObject result);

    QNetworkAccessManager* m_network;
    QHash<QString, CameraRequestQueue*> m_queues;    // by camera address; children of this client
    bool m_offline = false;
    int m_readTimeoutMs = defaultReadTimeoutMs;
    int m_writeTimeoutMs = defaultWriteTimeoutMs;
};
