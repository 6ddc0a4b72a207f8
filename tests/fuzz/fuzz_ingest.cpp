// Input: the endpoint up to the first newline, then the reply body as a camera sent it.
#include "CameraReply.h"
#include "CameraStateIngest.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf('\n');
    const QString endpoint = QString::fromUtf8(newline < 0 ? input : input.left(newline));
    const QByteArray body = newline < 0 ? QByteArray() : input.mid(newline + 1);

    const QJsonObject reply = CameraReply::parseBody(body);
    CameraState state;
    CameraStateIngest::applyReply(state, endpoint, reply);
    CameraStateIngest::applyEvent(state, reply);
    return 0;
}
