#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

class IpEndpointName;
class PacketListener;

// A pipe that a receive loop watches beside its socket, so that another thread can end the
// loop's wait at once. Signalled until cleared. The loops also wake every pollPeriodMs, so
// a stop is seen even if the pipe could not be made.
class OscWakeUp {
public:
    OscWakeUp();
    ~OscWakeUp();
    OscWakeUp(const OscWakeUp&) = delete;
    OscWakeUp& operator=(const OscWakeUp&) = delete;

    void signal();    // from any thread
    void clear();
    int fd() const { return m_pipe[0]; }

private:
    int m_pipe[2] = {-1, -1};
};

// A bound UDP socket and the loop that reads it. The OSC library's own loop reads into a
// buffer of 4098 bytes and cuts every longer datagram; this one reads any datagram whole,
// and drains the socket before it waits again.
class OscReceiveSocket {
public:
    static constexpr std::size_t maxDatagram = 65536;
    static constexpr int pollPeriodMs = 100;

    OscReceiveSocket() = default;
    ~OscReceiveSocket();
    OscReceiveSocket(const OscReceiveSocket&) = delete;
    OscReceiveSocket& operator=(const OscReceiveSocket&) = delete;

    // Throws std::runtime_error when the endpoint cannot be bound.
    void bind(const IpEndpointName& local);
    // Hands every datagram to the listener until the wake-up is signalled or running is 0.
    void run(PacketListener& listener, const OscWakeUp& wakeUp, const std::atomic<int>& running);

private:
    int m_fd = -1;
    std::vector<char> m_buffer;
};
