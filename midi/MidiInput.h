#pragma once

#include <RtMidi.h>

#include <atomic>
#include <memory>

// An RtMidi input client (client name "RtMidi Input Client", queue limit 100) on the first
// MIDI system that is really there, in RtMidi's order of compiled APIs: the first one that
// offers input ports, else the first one that works at all. Hosts without an ALSA sequencer
// still reach JACK this way. Throws an RtMidiError saying that no MIDI system is available,
// and naming the systems tried, when none works. What the MIDI libraries print about their
// attempts goes to the log as debug lines instead of standard error.
std::unique_ptr<RtMidiIn> openMidiInput();

// Notices that the JACK server went away, which RtMidi's own JACK client does not report.
// Without JACK support, or when no JACK client can be opened, it never reports anything.
class JackServerWatch {
public:
    JackServerWatch();
    ~JackServerWatch();
    JackServerWatch(const JackServerWatch&) = delete;
    JackServerWatch& operator=(const JackServerWatch&) = delete;

    bool serverGone() const { return m_gone.load(); }
    // Returns once the server has run `cycles` more whole cycles, or after timeoutMs.
    void awaitCycles(int cycles, int timeoutMs) const;

private:
    void* m_client = nullptr;
    std::atomic<bool> m_gone{false};
};
