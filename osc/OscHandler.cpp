#include "OscHandler.h"

#include "OscListener.h"
#include "OscLog.h"
#include "OscPacketCheck.h"

#include <QString>
#include <QVariantList>

OscHandler::OscHandler(OscListener* listener)
    : m_listener(listener)
{
}

void OscHandler::ProcessPacket(const char* data, int size, const IpEndpointName& remoteEndpoint)
{
    if (!data || size < 1 || size % 4 != 0) {
        qCWarning(lcOsc) << "OSC: dropped malformed packet (size=" << size << ")";
        return;
    }
    try {
        if (!isWellFormedOscPacket(data, std::size_t(size))) {
            qCWarning(lcOsc) << "OSC: exception processing packet, dropped";
            return;
        }
        osc::OscPacketListener::ProcessPacket(data, size, remoteEndpoint);
    } catch (...) {
        qCWarning(lcOsc) << "OSC: exception processing packet, dropped";
    }
}

void OscHandler::ProcessMessage(const osc::ReceivedMessage& message, const IpEndpointName&)
{
    QString address = QString::fromUtf8(message.AddressPattern());
    QVariantList args;
    args.reserve(int(message.ArgumentCount()));
    try {
        for (auto it = message.ArgumentsBegin(); it != message.ArgumentsEnd(); ++it) {
            switch (it->TypeTag()) {
            case osc::INT32_TYPE_TAG:
                args.append(int(it->AsInt32()));
                break;
            case osc::INT64_TYPE_TAG:
                args.append(qlonglong(it->AsInt64()));
                break;
            case osc::FLOAT_TYPE_TAG:
                args.append(double(it->AsFloat()));
                break;
            case osc::DOUBLE_TYPE_TAG:
                args.append(it->AsDouble());
                break;
            case osc::STRING_TYPE_TAG:
                args.append(QString::fromUtf8(it->AsString()));
                break;
            case osc::TRUE_TYPE_TAG:
                args.append(true);
                break;
            case osc::FALSE_TYPE_TAG:
                args.append(false);
                break;
            default:
                break;
            }
        }
    } catch (const osc::Exception&) {
        return;
    }
    m_listener->postMessage(std::move(address), std::move(args));
}
