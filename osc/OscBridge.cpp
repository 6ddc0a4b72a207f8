#include "OscBridge.h"

#include "CameraManager.h"
#include "OscLog.h"
#include "OscMapping.h"

#include <QSet>
#include <QTimer>

#include <utility>

namespace {
// Addresses already warned about, for the whole process: a desk repeats a wrong address
// at fader rate, and one line says enough.
QSet<QString>& warnedAddresses()
{
    static QSet<QString> addresses;
    return addresses;
}
}

OscBridge::OscBridge(CameraManager* cameraManager, QObject* parent)
    : QObject(parent)
    , m_cameraManager(cameraManager)
    , m_mapping(new OscMapping(this))
    , m_flushTimer(new QTimer(this))
{
    m_flushTimer->setInterval(m_rateLimitMs);
    connect(m_flushTimer, &QTimer::timeout, this, &OscBridge::flushPending);
    m_flushTimer->start();
}

void OscBridge::setRateLimitMs(int milliseconds)
{
    m_rateLimitMs = qMax(milliseconds, 1);
    m_flushTimer->setInterval(m_rateLimitMs);
}

void OscBridge::onOscMessage(const QString& address, const QVariantList& args)
{
    int index = -1;
    const OscMapEntry* entry = m_mapping->findMapping(address, index);
    if (!entry)
        return;

    CameraList* cameras = m_cameraManager->cameraList();
    QStringList targets;
    if (index == 0) {
        for (const Camera& camera : cameras->allCameras())
            targets << camera.id;
    } else if (index > 0) {
        if (const Camera* camera = cameras->cameraByIndex(index))
            targets << camera->id;
    }
    if (targets.isEmpty()) {
        QSet<QString>& warned = warnedAddresses();
        if (!warned.contains(address) && warned.size() < warnedAddressLimit) {
            warned.insert(address);
            qCWarning(lcOsc) << "OSC:" << address << "names camera index" << index
                             << "but no camera has that index - ignored";
            if (warned.size() == warnedAddressLimit)
                qCWarning(lcOsc) << "OSC: further addresses that name no camera are ignored without a warning";
        }
        return;
    }

    PendingCommand command;
    command.endpoint = entry->endpoint;
    if (!entry->isTrigger)
        command.body = buildBody(entry->jsonKeys, args, entry->isOnOff);
    else
        command.rawBody = entry->fixedBody.isEmpty() ? QByteArrayLiteral("{}") : entry->fixedBody.toUtf8();

    const QString keySuffix = ':' + entry->endpoint + ':' + entry->jsonKeys.join(',');
    for (const QString& id : std::as_const(targets)) {
        command.cameraId = id;
        const QString key = id + keySuffix;
        const auto replaced = m_pendingPlace.constFind(key);
        if (replaced != m_pendingPlace.constEnd())
            m_pending[replaced.value()].reset();
        m_pendingPlace.insert(key, m_pending.size());
        m_pending.push_back(command);
    }
}

void OscBridge::flushPending()
{
    if (m_pendingPlace.isEmpty())
        return;
    m_pendingPlace.clear();
    const std::vector<std::optional<PendingCommand>> due = std::exchange(m_pending, {});
    for (const std::optional<PendingCommand>& command : due) {
        if (!command)
            continue;
        if (!command->rawBody.isEmpty())
            m_cameraManager->sendCommandRaw(command->cameraId, command->endpoint, command->rawBody);
        else
            m_cameraManager->sendCommand(command->cameraId, command->endpoint, command->body);
    }
}

QJsonObject OscBridge::buildBody(const QStringList& keys, const QVariantList& args, bool onOff) const
{
    QJsonObject body;
    for (int i = 0; i < keys.size() && i < args.size(); ++i) {
        const QVariant& arg = args.at(i);
        switch (arg.typeId()) {
        case QMetaType::Bool:
            body[keys.at(i)] = arg.toBool();
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            body[keys.at(i)] = onOff ? QJsonValue(arg.toDouble() != 0.0) : QJsonValue(arg.toDouble());
            break;
        case QMetaType::Int:
            body[keys.at(i)] = onOff ? QJsonValue(arg.toInt() != 0) : QJsonValue(arg.toInt());
            break;
        case QMetaType::LongLong:
            // Kept whole: cutting a 64-bit value to 32 bits would send a different number.
            body[keys.at(i)] = onOff ? QJsonValue(arg.toLongLong() != 0) : QJsonValue(qint64(arg.toLongLong()));
            break;
        default:
            body[keys.at(i)] = arg.toString();
            break;
        }
    }
    return body;
}
