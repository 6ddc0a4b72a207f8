// Feeds arbitrary datagrams to the listener's packet handler, as its receive loop would.
// Each input is placed flush against an inaccessible page, so that any read past the end
// of the datagram faults at once, even one made inside the uninstrumented OSC library.
#include "OscHandler.h"
#include "OscListener.h"

#include <oscpack/ip/IpEndpointName.h>

#include <QCoreApplication>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
constexpr std::size_t maxDatagram = 65536;

void quietOsc(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Harness {
    int argc = 1;
    char name[8] = "fuzzosc";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    OscListener listener;
    OscHandler handler{&listener};
    std::size_t decoded = 0;
    char* guardedEnd = nullptr;

    Harness()
    {
        qInstallMessageHandler(quietOsc);
        QObject::connect(&listener, &OscListener::messageReceived, [this](const QString& address, const QVariantList& args) {
            decoded += std::size_t(address.size());
            for (const QVariant& arg : args)
                decoded += std::size_t(arg.toString().size());
        });
        const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        const std::size_t span = (maxDatagram + page - 1) / page * page;
        void* region = mmap(nullptr, span + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region == MAP_FAILED)
            abort();
        guardedEnd = static_cast<char*>(region) + span;
        if (mprotect(guardedEnd, page, PROT_NONE) != 0)
            abort();
    }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness harness;
    if (size > maxDatagram)
        return 0;
    char* datagram = harness.guardedEnd - size;
    if (size > 0)
        std::memcpy(datagram, data, size);
    harness.handler.ProcessPacket(datagram, int(size), IpEndpointName());
    QCoreApplication::sendPostedEvents(&harness.listener, QEvent::MetaCall);
    return 0;
}
