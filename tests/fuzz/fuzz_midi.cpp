// Input: one MIDI message as RtMidi delivered it.
#include "MidiDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const MidiEvent event = decodeMidiMessage(data, size);
    switch (event.kind) {
    case MidiEvent::Kind::MscGo:
        if (event.channel < 0 || event.channel > 255 || event.cue.isEmpty() || event.cue != event.cue.trimmed())
            __builtin_trap();
        break;
    case MidiEvent::Kind::None:
        break;
    default:
        if (event.channel < 0 || event.channel > 15 || event.number < 0 || event.number > 255)
            __builtin_trap();
        break;
    }
    return 0;
}
