#include "OscReceiveSocket.h"

#include <oscpack/ip/IpEndpointName.h>
#include <oscpack/ip/PacketListener.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

OscWakeUp::OscWakeUp()
{
    // Without a pipe (no descriptors left) the loops still see a stop within one poll period.
    if (::pipe(m_pipe) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    for (int end : m_pipe) {
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
}

OscWakeUp::~OscWakeUp()
{
    if (m_pipe[0] >= 0) {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
}

void OscWakeUp::signal()
{
    if (m_pipe[1] < 0)
        return;
    const char byte = 1;
    // A full pipe is signalled already.
    [[maybe_unused]] const ssize_t written = ::write(m_pipe[1], &byte, 1);
}

void OscWakeUp::clear()
{
    if (m_pipe[0] < 0)
        return;
    char bytes[64];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
}

OscReceiveSocket::~OscReceiveSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void OscReceiveSocket::bind(const IpEndpointName& local)
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (m_fd < 0)
        throw std::runtime_error("unable to create udp socket");
    ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
    // Room for a desk's burst while this thread waits for a core; the system may grant less.
    const int receiveBufferBytes = 4 << 20;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr =
        local.address == IpEndpointName::ANY_ADDRESS ? htonl(INADDR_ANY) : htonl(uint32_t(local.address));
    address.sin_port = local.port == IpEndpointName::ANY_PORT ? 0 : htons(uint16_t(local.port));
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("unable to bind udp socket");
}

void OscReceiveSocket::run(PacketListener& listener, const OscWakeUp& wakeUp, const std::atomic<int>& running)
{
    m_buffer.resize(maxDatagram);
    pollfd watched[2] = {{m_fd, POLLIN, 0}, {wakeUp.fd(), POLLIN, 0}};
    while (running.load()) {
        if (::poll(watched, 2, pollPeriodMs) < 0 && errno != EINTR)
            throw std::runtime_error("unable to wait for udp datagrams");
        if (watched[1].revents != 0)
            return;
        while (running.load()) {
            sockaddr_in from = {};
            socklen_t fromSize = sizeof from;
            const ssize_t size = ::recvfrom(m_fd, m_buffer.data(), m_buffer.size(), MSG_DONTWAIT,
                                            reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (size < 0)
                break;
            listener.ProcessPacket(m_buffer.data(), int(size),
                                   IpEndpointName(ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)));
        }
    }
}
