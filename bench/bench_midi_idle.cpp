// CPU used by an idle MIDI listener thread: a port open on a JACK server of the benchmark's
// own, no traffic, for 10 seconds (or the seconds given). Prints the listener thread's CPU
// time and wake-ups, and the whole process's CPU time (which includes RtMidi's JACK client
// thread) for comparison.
#include "JackServer.h"
#include "MidiInput.h"
#include "MidiListener.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace {

struct ThreadUsage {
    double cpuSeconds = 0;
    long wakeUps = 0;
};

QString threadFolder(const QByteArray& name)
{
    const QString tasks = QStringLiteral("/proc/self/task");
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + '/' + tid + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return tasks + '/' + tid;
    }
    return {};
}

ThreadUsage threadUsage(const QString& folder)
{
    ThreadUsage usage;
    QFile stat(folder + QStringLiteral("/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // Fields after the parenthesised name: state is field 3, utime 14 and stime 15.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            usage.cpuSeconds = double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    QFile status(folder + QStringLiteral("/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                usage.wakeUps = line.mid(line.indexOf(':') + 1).trimmed().toLong();
        }
    }
    return usage;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;

    JackServer jack;
    QString error;
    if (!jack.start(&error)) {
        std::fprintf(stderr, "bench_midi_idle: %s\n", qPrintable(error));
        return 1;
    }
    RtMidiOut desk(openMidiInput()->getCurrentApi(), "Kovra Bench Desk");
    desk.openVirtualPort("Bench Out");
    const QStringList ports = MidiListener::availablePorts();
    const int index = int(ports.indexOf(QRegularExpression(QStringLiteral(".*Bench Out$"))));
    if (index < 0) {
        std::fprintf(stderr, "bench_midi_idle: the desk port is not listed\n");
        return 1;
    }

    MidiListener listener;
    QString folder;
    ThreadUsage before;
    double processBefore = 0;
    QElapsedTimer clock;
    QObject::connect(&listener, &MidiListener::portError, &app, [&](const QString& text) {
        std::fprintf(stderr, "bench_midi_idle: %s\n", qPrintable(text));
        app.exit(1);
    });
    QObject::connect(&listener, &MidiListener::portOpened, &app, [&] {
        folder = threadFolder("MidiListener");
        before = threadUsage(folder);
        processBefore = processCpuSeconds();
        clock.start();
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    });
    listener.openPort(index);
    if (app.exec() != 0)
        return 1;
    if (folder.isEmpty()) {
        std::fprintf(stderr, "bench_midi_idle: the listener thread was not found\n");
        return 1;
    }
    const ThreadUsage after = threadUsage(folder);
    const double elapsed = clock.elapsed() / 1000.0;
    const double threadCpu = after.cpuSeconds - before.cpuSeconds;
    const double processCpu = processCpuSeconds() - processBefore;
    std::printf("idle listener, port open, %.1f s\n", elapsed);
    std::printf("listener thread CPU:   %.2f s (%.2f %% of one core; clock ticks of %.0f ms)\n", threadCpu,
                100.0 * threadCpu / elapsed, 1000.0 / double(sysconf(_SC_CLK_TCK)));
    std::printf("listener wake-ups:     %.0f per second (2 ms poll)\n", double(after.wakeUps - before.wakeUps) / elapsed);
    std::printf("whole process CPU:     %.2f s (%.2f %% of one core, RtMidi's JACK thread included)\n", processCpu,
                100.0 * processCpu / elapsed);
    return 0;
}
