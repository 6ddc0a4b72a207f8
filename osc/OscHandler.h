#pragma once

#include <oscpack/osc/OscPacketListener.h>

class OscListener;

// Decodes datagrams for an OscListener: every message becomes an address and a list of
// variants, posted to the listener's thread of residence. Never lets an exception out,
// since it runs inside the library's receive loop.
class OscHandler : public osc::OscPacketListener {
public:
    explicit OscHandler(OscListener* listener);

    void ProcessPacket(const char* data, int size, const IpEndpointName& remoteEndpoint) override;

protected:
    void ProcessMessage(const osc::ReceivedMessage& message, const IpEndpointName& remoteEndpoint) override;

private:
    OscListener* m_listener;
};
