// Input: one text message as the camera's event channel delivered it.
#include "CameraEvents.h"
#include "CameraStateIngest.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray message = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QJsonObject> object = CameraEvents::decode(message);
    if (!object)
        return 0;
    CameraEvents::categoryOf(*object);
    CameraState state;
    CameraStateIngest::applyEvent(state, *object);
    return 0;
}
