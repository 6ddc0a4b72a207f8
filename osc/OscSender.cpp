#include "OscSender.h"

#include "CameraState.h"

#include <oscpack/ip/IpEndpointName.h>
#include <oscpack/ip/UdpSocket.h>
#include <oscpack/osc/OscOutboundPacketStream.h>

#include <exception>

namespace {
constexpr std::size_t packetBufferSize = 4096;
}

OscSender::OscSender(QObject* parent)
    : QObject(parent)
{
}

OscSender::~OscSender() = default;

void OscSender::setDestination(const QString& address, int port)
{
    if (address == m_destinationIp && port == m_destinationPort)
        return;
    m_destinationIp = address;
    m_destinationPort = port;
    m_socket.reset();
    if (m_enabled)
        rebuildSocket();
}

void OscSender::setLocalInterface(const QString& address)
{
    if (address == m_localInterface)
        return;
    m_localInterface = address;
    m_socket.reset();
    if (m_enabled)
        rebuildSocket();
}

void OscSender::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (m_enabled && !m_socket)
        rebuildSocket();
    else if (!m_enabled && m_socket)
        m_socket.reset();
}

void OscSender::rebuildSocket()
{
    m_socket.reset();
    try {
        auto socket = std::make_unique<UdpSocket>();
        if (!m_localInterface.isEmpty())
            socket->Bind(IpEndpointName(m_localInterface.toUtf8().constData(), 0));
        socket->Connect(IpEndpointName(m_destinationIp.toUtf8().constData(), m_destinationPort));
        m_socket = std::move(socket);
    } catch (const std::exception&) {
        // Feedback is best effort: no socket means nothing leaves until the next change.
    }
}

template <typename Value>
bool OscSender::send(const QString& address, const Value& value)
{
    try {
        char buffer[packetBufferSize];
        osc::OutboundPacketStream packet(buffer, sizeof buffer);
        packet << osc::BeginMessage(address.toUtf8().constData()) << value << osc::EndMessage;
        m_socket->Send(packet.Data(), packet.Size());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void OscSender::sendFloat(const QString& address, float value)
{
    if (m_enabled && m_socket)
        send(address, value);
}

void OscSender::sendInt(const QString& address, int value)
{
    if (m_enabled && m_socket)
        send(address, osc::int32(value));
}

void OscSender::sendString(const QString& address, const QString& value)
{
    if (m_enabled && m_socket)
        send(address, value.toUtf8().constData());
}

void OscSender::sendState(int oscIndex, const CameraState& state)
{
    if (!m_enabled || !m_socket)
        return;
    const QString prefix = QStringLiteral("/camera/%1").arg(oscIndex);
    const auto f = [&](const QString& address, double value) { return send(address, float(value)); };
    const auto i = [&](const QString& address, int value) { return send(address, osc::int32(value)); };

    const bool cameraSent = f(prefix + "/focus/value", state.focus)
        && f(prefix + "/iris/value", state.irisApertureStop)
        && f(prefix + "/iris/normalized/value", state.irisNormalised)
        && f(prefix + "/zoom/value", state.zoomNormalised)
        && i(prefix + "/iso/value", state.iso)
        && i(prefix + "/wb/value", state.whiteBalance)
        && i(prefix + "/tint/value", state.whiteBalanceTint)
        && i(prefix + "/gain/value", state.gain)
        && i(prefix + "/shutter/angle/value", state.shutterAngle)
        && f(prefix + "/nd/value", state.ndFilterStop)
        && i(prefix + "/record/status", state.recording ? 1 : 0);
    if (!cameraSent)
        return;
    for (int channel = 0; channel < int(state.audio.size()); ++channel) {
        const AudioChannelState& audio = state.audio[channel];
        const QString channelPrefix = prefix + QStringLiteral("/audio/channel/%1").arg(channel);
        const QByteArray input = audio.input.toUtf8();
        const bool channelSent = f(channelPrefix + "/gain/value", audio.gain)
            && send(channelPrefix + "/input/value", input.constData())
            && i(channelPrefix + "/phantomPower/value", audio.phantomPower ? 1 : 0)
            && i(channelPrefix + "/padding/value", audio.padding ? 1 : 0)
            && i(channelPrefix + "/lowCutFilter/value", audio.lowCutFilter ? 1 : 0);
        if (!channelSent)
            return;
    }
}
