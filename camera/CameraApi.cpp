#include "CameraApi.h"

#include "CameraReply.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

constexpr const char* jsonType = "application/json";

int httpStatusOf(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

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

void CameraApi::get(const QString& ip, const QString& endpoint)
{
    if (m_offline)
        return;
    QNetworkReply* reply = m_network->get(request(ip, endpoint, m_readTimeoutMs, jsonType));
    connect(reply, &QNetworkReply::finished, this, [this, reply, ip, endpoint] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError) {
            emit getFailed(ip, endpoint, httpStatusOf(reply));
            emit getFinished(ip, endpoint, QJsonObject());
            return;
        }
        emit getFinished(ip, endpoint, CameraReply::parseBody(reply->readAll()));
    });
}

void CameraApi::put(const QString& ip, const QString& endpoint, const QJsonObject& body)
{
    putRaw(ip, endpoint, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void CameraApi::putRaw(const QString& ip, const QString& endpoint, const QByteArray& body)
{
    if (m_offline)
        return;
    finishWrite(m_network->put(request(ip, endpoint, m_writeTimeoutMs, jsonType), body), ip, endpoint);
}

void CameraApi::post(const QString& ip, const QString& endpoint, const QJsonObject& body)
{
    if (m_offline)
        return;
    finishWrite(m_network->post(request(ip, endpoint, m_writeTimeoutMs, jsonType),
                                QJsonDocument(body).toJson(QJsonDocument::Compact)),
                ip, endpoint);
}

void CameraApi::putBinary(const QString& ip, const QString& endpoint)
{
    if (m_offline)
        return;
    finishWrite(m_network->put(request(ip, endpoint, m_writeTimeoutMs, "application/octet-stream"), QByteArray()),
                ip, endpoint);
}

void CameraApi::del(const QString& ip, const QString& endpoint)
{
    if (m_offline)
        return;
    finishWrite(m_network->deleteResource(request(ip, endpoint, m_writeTimeoutMs, nullptr)), ip, endpoint);
}

void CameraApi::finishWrite(QNetworkReply* reply, const QString& ip, const QString& endpoint)
{
    connect(reply, &QNetworkReply::finished, this, [this, reply, ip, endpoint] {
        reply->deleteLater();
        const bool success = reply->error() == QNetworkReply::NoError;
        emit putFinished(ip, endpoint, success, success ? QString() : reply->errorString());
    });
}

void CameraApi::ping(const QString& ip)
{
    if (m_offline)
        return;
    QNetworkReply* reply = m_network->get(request(ip, QStringLiteral("system/product"), m_readTimeoutMs, jsonType));
    connect(reply, &QNetworkReply::finished, this, [this, reply, ip] {
        reply->deleteLater();
        const bool failed = reply->error() != QNetworkReply::NoError;
        // A device that answers 404 here is reachable, it just lacks the endpoint.
        if (failed && httpStatusOf(reply) != 404) {
            emit pingResult(ip, false, QJsonObject());
            return;
        }
        const QJsonObject product = failed ? QJsonObject() : CameraReply::parseBody(reply->readAll());
        QJsonObject result;
        result.insert(QStringLiteral("model"), product.value(QLatin1String("productName")).toString());
        result.insert(QStringLiteral("firmware"), product.value(QLatin1String("softwareVersion")).toString());
        pingCameraId(ip, result);
    });
}

void CameraApi::pingCameraId(const QString& ip, QJsonObject result)
{
    QNetworkReply* reply = m_network->get(request(ip, QStringLiteral("camera/id"), m_readTimeoutMs, nullptr));
    connect(reply, &QNetworkReply::finished, this, [this, reply, ip, result]() mutable {
        reply->deleteLater();
        bool isCamera = true;
        if (reply->error() != QNetworkReply::NoError) {
            isCamera = httpStatusOf(reply) == 404
                ? false
                : productLooksLikeCamera(result.value(QLatin1String("model")).toString());
        }
        result.insert(QStringLiteral("isCamera"), isCamera);
        emit pingResult(ip, true, result);
    });
}
