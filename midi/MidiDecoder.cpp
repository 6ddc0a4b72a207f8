#include "MidiDecoder.h"

namespace {

constexpr unsigned char sysExStart = 0xF0;
constexpr unsigned char sysExEnd = 0xF7;
constexpr unsigned char universalRealTime = 0x7F;
constexpr unsigned char showControl = 0x02;
constexpr unsigned char showControlGo = 0x01;

MidiEvent decodeShowControl(const unsigned char* bytes, std::size_t size)
{
    MidiEvent event;
    if (bytes[1] != universalRealTime || bytes[3] != showControl || bytes[5] != showControlGo)
        return event;
    QString cue;
    // The cue number ends at the separator before the cue list, or with the message.
    for (std::size_t i = 6; i < size && bytes[i] != 0x00 && bytes[i] != sysExEnd; ++i)
        cue += QChar(char16_t(bytes[i]));
    cue = cue.trimmed();
    event.kind = MidiEvent::Kind::MscGo;
    event.channel = bytes[2];
    event.cue = cue.isEmpty() ? QStringLiteral("0") : cue;
    return event;
}

} // namespace

MidiEvent decodeMidiMessage(const unsigned char* bytes, std::size_t size)
{
    MidiEvent event;
    if (size < 2)
        return event;
    if (size >= 7 && bytes[0] == sysExStart)
        return decodeShowControl(bytes, size);

    event.channel = bytes[0] & 0x0F;
    event.number = bytes[1];
    switch (bytes[0] >> 4) {
    case 0x9:
        if (size < 3)
            return {};
        event.value = bytes[2];
        event.kind = event.value > 0 ? MidiEvent::Kind::NoteOn : MidiEvent::Kind::NoteOff;
        break;
    case 0x8:
        if (size < 3)
            return {};
        event.kind = MidiEvent::Kind::NoteOff;
        break;
    case 0xB:
        if (size < 3)
            return {};
        event.value = bytes[2];
        event.kind = MidiEvent::Kind::ControlChange;
        break;
    case 0xC:
        event.kind = MidiEvent::Kind::ProgramChange;
        break;
    default:
        return {};
    }
    return event;
}
