#pragma once

#include <cstddef>

// Whether every size and string in an OSC packet (a message, or a bundle with its nested
// elements) stays inside the packet. The OSC library trusts some of them, blob sizes in
// particular, and reads wherever they point, so a hostile datagram is checked here first.
bool isWellFormedOscPacket(const char* data, std::size_t size);
