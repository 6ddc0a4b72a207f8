// Input: a configuration document (config.json or an imported ".kovra" file) as read from disk.
#include "CameraList.h"
#include "ConfigDocument.h"
#include "MidiMapping.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<ConfigDocument> document = ConfigFile::read(bytes, 4444);
    if (!document)
        return 0;
    const ConfigSettings& settings = document->settings;
    if (settings.oscPort < 1 || settings.oscPort > 65535 || settings.oscOutPort < 1 || settings.oscOutPort > 65535
        || settings.midiPort < -1)
        __builtin_trap();
    for (const QJsonValue& camera : document->cameras) {
        if (camera.toObject().value("id").toString().isEmpty())
            __builtin_trap();
    }

    // What was read is what is written back, and reads the same again.
    const QByteArray written = ConfigFile::write(document->cameras, document->midi, settings, ConfigFile::Scope::AppData);
    const std::optional<ConfigDocument> again = ConfigFile::read(written, 4444);
    if (!again || !(again->settings == settings) || again->cameras != document->cameras
        || again->midi != document->midi || !again->warnings.isEmpty())
        __builtin_trap();

    // The components take what the reader passes on.
    CameraList cameras;
    cameras.fromJsonArray(document->cameras);
    MidiMapping mapping;
    mapping.fromJson(document->midi);
    return 0;
}
