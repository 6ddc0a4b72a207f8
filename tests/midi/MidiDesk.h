#pragma once

#include "MidiInput.h"
#include "MidiListener.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

// A desk's MIDI output for tests: a virtual port on the MIDI system the listener reaches
// (the test's own JACK server), and the listener's index of such a port.
namespace MidiDesk {

// Throws RtMidiError when no port can be made.
inline std::unique_ptr<RtMidiOut> open(const std::string& client, const std::string& port)
{
    auto desk = std::make_unique<RtMidiOut>(openMidiInput()->getCurrentApi(), client);
    desk->openVirtualPort(port);
    return desk;
}

// Sends one message given as hex digits (spaces allowed).
inline void send(RtMidiOut& desk, const QByteArray& hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    std::vector<unsigned char> message(bytes.begin(), bytes.end());
    desk.sendMessage(&message);
}

// Index in MidiListener::availablePorts() of the first port whose name ends in `name`, or -1.
inline int portIndex(const QString& name)
{
    const QStringList ports = MidiListener::availablePorts();
    for (int i = 0; i < ports.size(); ++i) {
        if (ports[i].endsWith(name))
            return i;
    }
    return -1;
}

}
