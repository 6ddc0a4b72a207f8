#pragma once

#include <QString>

#include <cstddef>

// One MIDI message reduced to what the program acts on.
struct MidiEvent {
    enum class Kind { None, ControlChange, NoteOn, NoteOff, ProgramChange, MscGo };

    Kind kind = Kind::None;
    int channel = 0;     // 0-15; for MscGo the device id 0-127
    int number = 0;      // controller, note or program
    int value = 0;       // controller value or Note On velocity
    QString cue;         // MscGo only, trimmed; "0" when the GO names no cue
};

// Pure: no state, so running status and split messages are not handled (RtMidi delivers
// whole messages with their status byte).
MidiEvent decodeMidiMessage(const unsigned char* bytes, std::size_t size);
