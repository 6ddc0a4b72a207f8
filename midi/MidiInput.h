#pragma once

#include <RtMidi.h>

#include <memory>

// An RtMidi input client (client name "RtMidi Input Client", queue limit 100) on the first
// API that can be initialised: the default one first, then every compiled API in RtMidi's
// order. Hosts without an ALSA sequencer still reach JACK this way.
// Throws the default API's RtMidiError when none can be initialised.
std::unique_ptr<RtMidiIn> openMidiInput();
