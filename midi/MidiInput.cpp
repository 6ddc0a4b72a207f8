#include "MidiInput.h"

#include "MidiLog.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QThread>
#include <QStringList>

#ifdef KOVRA_MIDI_ALSA
#include <alsa/asoundlib.h>
#endif
#ifdef KOVRA_MIDI_JACK
#include <jack/jack.h>
#endif

#include <pthread.h>

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {
const std::string clientName = "RtMidi Input Client";
constexpr unsigned int queueLimit = 100;

void logLibraryText(const char* library, const QString& text)
{
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.trimmed().isEmpty())
            qCDebug(lcMidi) << library << line.trimmed();
    }
}

#ifdef KOVRA_MIDI_ALSA
void alsaMessage(const char* file, int line, const char* function, int, const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    logLibraryText("ALSA:", QStringLiteral("%1:%2 (%3) %4").arg(QString::fromUtf8(file)).arg(line)
                                .arg(QString::fromUtf8(function), QString::fromUtf8(text)));
}
#endif

#ifdef KOVRA_MIDI_JACK
void jackMessage(const char* text)
{
    // JACK reports from its own threads, some of which it is cancelling, and may hold its locks
    // meanwhile: writing the log must not be where the cancellation strikes.
    int cancelState = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
    logLibraryText("JACK:", QString::fromUtf8(text));
    pthread_setcancelstate(cancelState, nullptr);
}

void onJackShutdown(void* gone)
{
    static_cast<std::atomic<bool>*>(gone)->store(true);
}
#endif

// The MIDI libraries print every failed attempt to standard error; these go to the log instead.
void routeLibraryMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
#ifdef KOVRA_MIDI_ALSA
        snd_lib_error_set_handler(alsaMessage);
#endif
#ifdef KOVRA_MIDI_JACK
        jack_set_error_function(jackMessage);
        jack_set_info_function(jackMessage);
#endif
    });
}

// RtMidi prints its own errors to std::cerr while it builds a client, before any error
// callback can be set. The stream is the process's, so clients are built one at a time.
class CerrToLog {
public:
    CerrToLog() : m_previous(std::cerr.rdbuf(m_text.rdbuf())) {}
    ~CerrToLog()
    {
        std::cerr.rdbuf(m_previous);
        logLibraryText("RtMidi:", QString::fromStdString(m_text.str()));
    }
    CerrToLog(const CerrToLog&) = delete;
    CerrToLog& operator=(const CerrToLog&) = delete;

private:
    std::ostringstream m_text;
    std::streambuf* m_previous;
};

// Once set, RtMidi calls this instead of printing; errors still end the call as RtMidi's
// own would. A warning (such as JACK's "server not running?") is noted where asked.
void onRtMidiError(RtMidiError::Type type, const std::string& text, void* warning)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        throw RtMidiError(text, type);
    logLibraryText("RtMidi:", QString::fromStdString(text));
    if (warning)
        *static_cast<std::string*>(warning) = text;
}

QString systemName(RtMidi::Api api)
{
    switch (api) {
    case RtMidi::LINUX_ALSA: return QStringLiteral("ALSA sequencer");
    case RtMidi::UNIX_JACK: return QStringLiteral("JACK server");
    default: return QString::fromStdString(RtMidi::getApiDisplayName(api));
    }
}

// A client on the API, or null with the reason when the system is not there.
std::unique_ptr<RtMidiIn> tryApi(RtMidi::Api api, unsigned int* portCount, std::string* failure)
{
    std::unique_ptr<RtMidiIn> input;
    try {
        CerrToLog toLog;
        input = std::make_unique<RtMidiIn>(api, clientName, queueLimit);
    } catch (const RtMidiError& error) {
        *failure = error.getMessage();
        return nullptr;
    }
    std::string warning;
    input->setErrorCallback(onRtMidiError, &warning);
    try {
        // Where the system is missing, this is where RtMidi warns (JACK connects here again).
        *portCount = input->getPortCount();
    } catch (const RtMidiError& error) {
        warning = error.getMessage();
    }
    input->setErrorCallback(onRtMidiError, nullptr);
    if (!warning.empty()) {
        *failure = warning;
        return nullptr;
    }
    return input;
}
}

std::unique_ptr<RtMidiIn> openMidiInput()
{
    static QMutex creation;
    QMutexLocker lock(&creation);
    routeLibraryMessages();

    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::unique_ptr<RtMidiIn> withoutPorts;
    QStringList tried;
    for (RtMidi::Api api : apis) {
        if (api == RtMidi::RTMIDI_DUMMY)
            continue;
        unsigned int portCount = 0;
        std::string failure;
        std::unique_ptr<RtMidiIn> input = tryApi(api, &portCount, &failure);
        if (!input) {
            qCDebug(lcMidi) << "MIDI system" << systemName(api) << "unavailable:" << QString::fromStdString(failure);
            tried << systemName(api);
            continue;
        }
        if (portCount > 0)
            return input;
        if (!withoutPorts)
            withoutPorts = std::move(input);
    }
    if (withoutPorts)
        return withoutPorts;
    const QString text = QStringLiteral("No MIDI system available (tried: %1)")
                             .arg(tried.isEmpty() ? QStringLiteral("none compiled in") : tried.join(QStringLiteral(", ")));
    throw RtMidiError(text.toStdString(), RtMidiError::NO_DEVICES_FOUND);
}

JackServerWatch::JackServerWatch()
{
#ifdef KOVRA_MIDI_JACK
    routeLibraryMessages();
    jack_client_t* client = jack_client_open("Kovra MIDI watch", JackNoStartServer, nullptr);
    if (!client)
        return;
    // Never activated: it takes no part in the server's graph, whose changes would hold up
    // the connection of the port being opened. The shutdown notice reaches it all the same.
    jack_on_shutdown(client, onJackShutdown, &m_gone);
    m_client = client;
#endif
}

void JackServerWatch::awaitCycles(int cycles, int timeoutMs) const
{
#ifdef KOVRA_MIDI_JACK
    auto* client = static_cast<jack_client_t*>(m_client);
    if (!client)
        return;
    const auto startOfCycle = [client] {
        jack_nframes_t frames = 0;
        jack_time_t now = 0, next = 0;
        float period = 0;
        return jack_get_cycle_times(client, &frames, &now, &next, &period) == 0 ? frames : 0;
    };
    const jack_nframes_t first = startOfCycle();
    const jack_nframes_t wanted = jack_nframes_t(cycles) * jack_get_buffer_size(client);
    QElapsedTimer waited;
    waited.start();
    while (jack_nframes_t(startOfCycle() - first) < wanted && !m_gone.load() && waited.elapsed() < timeoutMs)
        QThread::msleep(1);
#else
    Q_UNUSED(cycles);
    Q_UNUSED(timeoutMs);
#endif
}

JackServerWatch::~JackServerWatch()
{
#ifdef KOVRA_MIDI_JACK
    if (m_client)
        jack_client_close(static_cast<jack_client_t*>(m_client));
#endif
}
