#include "CameraReply.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace CameraReply {

QJsonObject parseBody(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isArray())
        return QJsonObject{{QStringLiteral("items"), document.array()}};
    return document.object();
}

}
