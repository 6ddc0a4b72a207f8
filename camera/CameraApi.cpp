#include "CameraApi.h"

#include "CameraReply.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrl>

#include <utility>

namespace {

constexpr const char* jsonType = "application/json";

} // namespace

CameraApi::CameraApi(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

QString CameraApi::buildUrl(const QString& ip, const QString& endpoint) const
{
    // One multi-argument substitution, so a "%1" inside the endpoint stays as it is.
    return QStringLiteral("http://%1/control/api/v1/%2").arg(ip, endpoint);
}

bool CameraApi::productLooksLikeCamera(const QString& productName)
{
    static const char* const otherFamilies[] = {
        "HyperDeck", "Web Presenter", "ATEM", "Video Assist", "Cloud", "Converter", "Teranex",
        "UltraStudio", "DeckLink", "MultiView", "Smart Video", "Streaming", "Duplicator", "Videohub",
    };
    for (const char* family : otherFamilies) {
        if (productName.contains(QLatin1String(family), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

void CameraApi::setTimeouts(int readTimeoutMs, int writeTimeoutMs)
{
    m_readTimeoutMs = readTimeoutMs;
    m_writeTimeoutMs = writeTimeoutMs;
}

QNetworkRequest CameraApi::request(const QString& ip, const QString& endpoint, int timeoutMs,
                                   const char* contentType) const
{
    QNetworkRequest request(QUrl(buildUrl(ip, endpoint)));
    request.setTransferTimeout(timeoutMs);
    if (contentType)
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray(contentType));
    return request;
}

void CameraApi::submit(const QString& ip, CameraRequest request)
{
    CameraRequestQueue*& queue = m_queues[ip];
    if (!queue)
        queue = new CameraRequestQueue(m_network, this);
    queue->submit(std::move(request));
}

void CameraApi::get(const QString& ip, const QString& endpoint)
{
    if (m_offline)
        return;
    CameraRequest read;
    read.method = "GET";
    read.request = request(ip, endpoint, m_readTimeoutMs, jsonType);
    read.finished = [this, ip, endpoint](const CameraResponse& response) {
        if (response.failed) {
            emit getFailed(ip, endpoint, response.httpStatus);
            emit getFinished(ip, endpoint, QJsonObject());
            return;
        }
        emit getFinished(ip, endpoint, CameraReply::parseBody(response.body));
    };
    submit(ip, std::move(read));
}

void CameraApi::put(const QString& ip, const QString& endpoint, const QJsonObject& body)
{
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
    // A recall changes many settings at once, so it keeps its place among the writes around it.
    if (endpoint == QLatin1String("presets/active"))
        write(ip, endpoint, CameraRequest::Kind::Action, "PUT", bytes, jsonType);
    else
        write(ip, endpoint, CameraRequest::Kind::Setting, "PUT", bytes, jsonType, endpoint + ':' + body.keys().join(','));
}

void CameraApi::putRaw(const QString& ip, const QString& endpoint, const QByteArray& body)
{
    // Bytes that were not built here may mean anything: kept in order, never replaced.
    write(ip, endpoint, CameraRequest::Kind::Action, "PUT", body, jsonType);
}

void CameraApi::post(const QString& ip, const QString& endpoint, const QJsonObject& body)
{
    write(ip, endpoint, CameraRequest::Kind::Action, "POST", QJsonDocument(body).toJson(QJsonDocument::Compact),
          jsonType);
}

void CameraApi::putBinary(const QString& ip, const QString& endpoint)
{
    write(ip, endpoint, CameraRequest::Kind::Action, "PUT", QByteArray(), "application/octet-stream");
}

void CameraApi::del(const QString& ip, const QString& endpoint)
{
    write(ip, endpoint, CameraRequest::Kind::Action, "DELETE", QByteArray(), nullptr);
}

void CameraApi::write(const QString& ip, const QString& endpoint, CameraRequest::Kind kind, const QByteArray& method,
                      const QByteArray& body, const char* contentType, const QString& key)
{
    if (m_offline)
        return;
    CameraRequest command;
    command.kind = kind;
    command.method = method;
    command.request = request(ip, endpoint, m_writeTimeoutMs, contentType);
    command.body = body;
    command.key = key;
    command.finished = [this, ip, endpoint](const CameraResponse& response) {
        emit putFinished(ip, endpoint, !response.failed, response.errorText);
    };
    submit(ip, std::move(command));
}

void CameraApi::ping(const QString& ip)
{
    if (m_offline)
        return;
    CameraRequest probe;
    probe.kind = CameraRequest::Kind::Probe;
    probe.method = "GET";
    probe.request = request(ip, QStringLiteral("system/product"), m_readTimeoutMs, jsonType);
    probe.finished = [this, ip](const CameraResponse& response) {
        // A device that answers 404 here is reachable, it just lacks the endpoint.
        if (response.failed && response.httpStatus != 404) {
            emit pingResult(ip, false, QJsonObject());
            return;
        }
        const QJsonObject product = response.failed ? QJsonObject() : CameraReply::parseBody(response.body);
        QJsonObject result;
        result.insert(QStringLiteral("model"), product.value(QLatin1String("productName")).toString());
        result.insert(QStringLiteral("firmware"), product.value(QLatin1String("softwareVersion")).toString());
        pingCameraId(ip, result);
    };
    submit(ip, std::move(probe));
}

void CameraApi::pingCameraId(const QString& ip, QJsonObject result)
{
    CameraRequest probe;
    probe.kind = CameraRequest::Kind::Probe;
    probe.method = "GET";
    probe.request = request(ip, QStringLiteral("camera/id"), m_readTimeoutMs, nullptr);
    probe.finished = [this, ip, result](const CameraResponse& response) mutable {
        bool isCamera = true;
        if (response.failed) {
            isCamera = response.httpStatus == 404
                ? false
                : productLooksLikeCamera(result.value(QLatin1String("model")).toString());
        }
        result.insert(QStringLiteral("isCamera"), isCamera);
        emit pingResult(ip, true, result);
    };
    submit(ip, std::move(probe));
}
