#include "MidiInput.h"

#include "MidiLog.h"

#include <QString>

#include <vector>

namespace {
const std::string clientName = "RtMidi Input Client";
constexpr unsigned int queueLimit = 100;
}

std::unique_ptr<RtMidiIn> openMidiInput()
{
    try {
        return std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, clientName, queueLimit);
    } catch (const RtMidiError& defaultFailure) {
        qCDebug(lcMidi) << "Default MIDI API unavailable:" << QString::fromStdString(defaultFailure.getMessage());
        std::vector<RtMidi::Api> apis;
        RtMidi::getCompiledApi(apis);
        for (RtMidi::Api api : apis) {
            try {
                return std::make_unique<RtMidiIn>(api, clientName, queueLimit);
            } catch (const RtMidiError& failure) {
                qCDebug(lcMidi) << "MIDI API" << QString::fromStdString(RtMidi::getApiName(api)) << "unavailable:"
                                << QString::fromStdString(failure.getMessage());
            }
        }
        throw;
    }
}
