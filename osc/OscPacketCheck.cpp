#include "OscPacketCheck.h"

#include <cstdint>
#include <cstring>

namespace {
std::size_t roundUp4(std::size_t value)
{
    return (value + 3) & ~std::size_t(3);
}

uint32_t bigEndian32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

// Offset just past the padded, NUL-terminated string at offset, or 0 when it runs off the end
// or its padding is not all NUL. The library finds a string's end by the last byte of each
// word, so a string with stray padding would end elsewhere for it than here.
std::size_t pastString(const char* data, std::size_t offset, std::size_t size)
{
    const void* nul = std::memchr(data + offset, '\0', size - offset);
    if (!nul)
        return 0;
    const std::size_t terminator = std::size_t(static_cast<const char*>(nul) - data);
    const std::size_t end = offset + roundUp4(terminator - offset + 1);
    if (end > size)
        return 0;
    for (std::size_t at = terminator; at < end; ++at) {
        if (data[at] != '\0')
            return 0;
    }
    return end;
}

bool isWellFormedMessage(const char* data, std::size_t size)
{
    std::size_t at = size ? pastString(data, 0, size) : 0;
    if (at == 0)
        return false;
    if (at == size)
        return true;    // no type tags at all: a message without arguments
    if (data[at] != ',')
        return false;
    const std::size_t tagsBegin = at + 1;
    at = pastString(data, at, size);
    if (at == 0)
        return false;
    for (const char* tag = data + tagsBegin; *tag; ++tag) {
        std::size_t length = 0;
        switch (*tag) {
        case 'i': case 'f': case 'c': case 'r': case 'm':
            length = 4;
            break;
        case 'h': case 't': case 'd':
            length = 8;
            break;
        case 'T': case 'F': case 'N': case 'I': case '[': case ']':
            break;
        case 's': case 'S':
            if (at >= size || (at = pastString(data, at, size)) == 0)
                return false;
            continue;
        case 'b':
            if (size - at < 4 || bigEndian32(data + at) > size - at - 4)
                return false;
            length = 4 + roundUp4(bigEndian32(data + at));
            break;
        default:
            return false;
        }
        if (length > size - at)
            return false;
        at += length;
    }
    return true;
}

bool isWellFormedElement(const char* data, std::size_t size);

bool isWellFormedBundle(const char* data, std::size_t size)
{
    if (size < 16 || std::memcmp(data, "#bundle\0", 8) != 0)
        return false;
    for (std::size_t at = 16; at < size;) {
        if (size - at < 4)
            return false;
        const uint32_t elementSize = bigEndian32(data + at);
        at += 4;
        if (elementSize % 4 != 0 || elementSize > size - at || !isWellFormedElement(data + at, elementSize))
            return false;
        at += elementSize;
    }
    return true;
}

bool isWellFormedElement(const char* data, std::size_t size)
{
    if (size > 0 && data[0] == '#')
        return isWellFormedBundle(data, size);
    return isWellFormedMessage(data, size);
}
}

bool isWellFormedOscPacket(const char* data, std::size_t size)
{
    return data && size % 4 == 0 && isWellFormedElement(data, size);
}
