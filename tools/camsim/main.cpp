#include "CameraSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

struct CameraOption {
    QHostAddress address;
    quint16 port = 0;
    QString product;
};

const QStringList defaultProducts = {QStringLiteral("URSA Broadcast G2"), QStringLiteral("Studio Camera 4K Pro G2"),
                                     QStringLiteral("Pocket Cinema Camera 6K G2")};

// Every fault mode of the simulated cameras, as given on the command line.
struct Faults {
    QList<QPair<QString, CameraSimulator::Refusal>> refusals;
    QList<QPair<QString, int>> slowEndpoints;
    QStringList malformed;
    int blackHoleAfterMs = -1;
    int dropEventsEveryMs = 0;
};

// "ENDPOINT=VALUE" split at the last "=", so that the endpoint may hold one itself.
bool splitAssignment(const QString& text, QString* endpoint, QString* value)
{
    const qsizetype equals = text.lastIndexOf(QLatin1Char('='));
    if (equals <= 0)
        return false;
    *endpoint = text.left(equals).trimmed();
    *value = text.mid(equals + 1).trimmed();
    return !endpoint->isEmpty() && !value->isEmpty();
}

bool parseRefusal(const QString& text, QPair<QString, CameraSimulator::Refusal>* refusal)
{
    QString how;
    if (!splitAssignment(text, &refusal->first, &how))
        return false;
    if (how == QLatin1String("404"))
        refusal->second = CameraSimulator::Refusal::NotFound;
    else if (how == QLatin1String("405"))
        refusal->second = CameraSimulator::Refusal::MethodNotAllowed;
    else if (how == QLatin1String("501"))
        refusal->second = CameraSimulator::Refusal::NotImplemented;
    else if (how == QLatin1String("error"))
        refusal->second = CameraSimulator::Refusal::JsonError;
    else
        return false;
    return true;
}

bool parseMilliseconds(const QString& text, int* milliseconds)
{
    bool ok = false;
    *milliseconds = text.toInt(&ok);
    return ok && *milliseconds >= 0;
}

// "ADDRESS:PORT[=PRODUCT NAME]"
bool parseCamera(const QString& text, CameraOption* option)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString endpoint = equals < 0 ? text : text.left(equals);
    option->product = equals < 0 ? defaultProducts.first() : text.mid(equals + 1).trimmed();
    const qsizetype colon = endpoint.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0 || option->product.isEmpty())
        return false;
    bool ok = false;
    const uint port = endpoint.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535)
        return false;
    option->port = quint16(port);
    return option->address.setAddress(endpoint.left(colon));
}

void applyFaults(CameraSimulator& simulator, const Faults& faults)
{
    for (const auto& [endpoint, how] : faults.refusals)
        simulator.refuseEndpoint(endpoint, how);
    for (const auto& [endpoint, milliseconds] : faults.slowEndpoints)
        simulator.setEndpointDelay(endpoint, milliseconds);
    for (const QString& endpoint : faults.malformed)
        simulator.setMalformedJson(endpoint, true);
    if (faults.blackHoleAfterMs == 0)
        simulator.setBlackHole(true);
}

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the event loop reads the byte and quits.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

bool installQuitHandlers(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kovra-camsim"));
    // Every refused event channel would draw one of these; the refusal itself is the point.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated cameras speaking the camera REST API and event WebSocket.\n"
        "The fault options apply to every simulated camera."));
    parser.addHelpOption();
    const QCommandLineOption cameraOption(
        QStringLiteral("camera"),
        QStringLiteral("Serve a camera at ADDRESS:PORT (port 0: a free one, printed), optionally with a product name "
                       "(repeatable). A recorder or switcher product answers no camera endpoint. "
                       "Without it: three cameras on 127.0.0.1:9001, :9002 and :9003."),
        QStringLiteral("ADDRESS:PORT[=PRODUCT NAME]"));
    const QCommandLineOption delayOption(QStringLiteral("delay"), QStringLiteral("Answer every request after MS milliseconds."),
                                         QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption slowOption(QStringLiteral("slow"),
                                        QStringLiteral("Answer requests of ENDPOINT after MS milliseconds (repeatable)."),
                                        QStringLiteral("ENDPOINT=MS"));
    const QCommandLineOption refuseOption(
        QStringLiteral("refuse"),
        QStringLiteral("Refuse ENDPOINT with HOW: 404, 405 or 501 as the HTTP status, or \"error\" for a JSON error "
                       "body (repeatable). \"event/websocket\" refuses the event channel."),
        QStringLiteral("ENDPOINT=HOW"));
    const QCommandLineOption malformedOption(QStringLiteral("malformed"),
                                             QStringLiteral("Answer GET of ENDPOINT with broken JSON (repeatable)."),
                                             QStringLiteral("ENDPOINT"));
    const QCommandLineOption blackHoleOption(
        QStringLiteral("black-hole-after"),
        QStringLiteral("After MS milliseconds, read requests but never answer them (0: from the start)."),
        QStringLiteral("MS"));
    const QCommandLineOption dropEventsOption(QStringLiteral("drop-events-every"),
                                              QStringLiteral("Drop every event WebSocket client each MS milliseconds."),
                                              QStringLiteral("MS"));
    const QCommandLineOption clockOption(
        QStringLiteral("clock"),
        QStringLiteral("Begin each request line with the monotonic clock at its arrival, in microseconds."));
    for (const QCommandLineOption& option : {cameraOption, delayOption, slowOption, refuseOption, malformedOption,
                                             blackHoleOption, dropEventsOption, clockOption})
        parser.addOption(option);
    parser.process(app);

    QTextStream err(stderr);
    bool delayOk = false;
    const int delay = parser.value(delayOption).toInt(&delayOk);
    if (!delayOk || delay < 0) {
        err << "camsim: --delay needs a number of milliseconds, not " << parser.value(delayOption) << Qt::endl;
        return 2;
    }

    Faults faults;
    for (const QString& text : parser.values(refuseOption)) {
        QPair<QString, CameraSimulator::Refusal> refusal;
        if (!parseRefusal(text, &refusal)) {
            err << "camsim: cannot read --refuse " << text << " (expected ENDPOINT=404, 405, 501 or error)" << Qt::endl;
            return 2;
        }
        faults.refusals << refusal;
    }
    for (const QString& text : parser.values(slowOption)) {
        QString endpoint;
        QString value;
        int milliseconds = 0;
        if (!splitAssignment(text, &endpoint, &value) || !parseMilliseconds(value, &milliseconds)) {
            err << "camsim: cannot read --slow " << text << " (expected ENDPOINT=MS)" << Qt::endl;
            return 2;
        }
        faults.slowEndpoints << qMakePair(endpoint, milliseconds);
    }
    faults.malformed = parser.values(malformedOption);
    if (parser.isSet(blackHoleOption) && !parseMilliseconds(parser.value(blackHoleOption), &faults.blackHoleAfterMs)) {
        err << "camsim: --black-hole-after needs a number of milliseconds" << Qt::endl;
        return 2;
    }
    if (parser.isSet(dropEventsOption)
        && (!parseMilliseconds(parser.value(dropEventsOption), &faults.dropEventsEveryMs) || faults.dropEventsEveryMs < 1)) {
        err << "camsim: --drop-events-every needs a positive number of milliseconds" << Qt::endl;
        return 2;
    }

    std::vector<CameraOption> cameras;
    for (const QString& text : parser.values(cameraOption)) {
        CameraOption option;
        if (!parseCamera(text, &option)) {
            err << "camsim: cannot read --camera " << text << " (expected ADDRESS:PORT[=PRODUCT NAME])" << Qt::endl;
            return 2;
        }
        cameras.push_back(option);
    }
    if (cameras.empty()) {
        for (int i = 0; i < defaultProducts.size(); ++i)
            cameras.push_back({QHostAddress(QHostAddress::LocalHost), quint16(9001 + i), defaultProducts[i]});
    }

    if (!installQuitHandlers(app)) {
        err << "camsim: cannot install the signal handlers" << Qt::endl;
        return 1;
    }

    QTextStream out(stdout);
    std::vector<std::unique_ptr<CameraSimulator>> simulators;
    for (const CameraOption& option : cameras) {
        auto simulator = std::make_unique<CameraSimulator>(option.product);
        simulator->setResponseDelay(delay);
        applyFaults(*simulator, faults);
        if (!simulator->listen(option.address, option.port)) {
            err << "camsim: cannot listen on " << option.address.toString() << ":" << option.port << Qt::endl;
            return 1;
        }
        out << "camsim: " << option.product << " at http://" << simulator->hostAndPort() << Qt::endl;
        const QString where = simulator->hostAndPort();
        const bool clock = parser.isSet(clockOption);
        QObject::connect(simulator.get(), &CameraSimulator::requestReceived, &app,
                         [&out, where, clock](const SimulatedRequest& request) {
                             // The same clock in every process, so a benchmark can set it against its own sends.
                             if (clock)
                                 out << std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now().time_since_epoch()).count() << ' ';
                             out << where << ' ' << request.method << ' ' << request.endpoint;
                             if (!request.body.isEmpty())
                                 out << ' ' << request.body.left(200);
                             out << Qt::endl;
                         });
        simulators.push_back(std::move(simulator));
    }
    if (faults.blackHoleAfterMs >= 0) {
        QTimer::singleShot(faults.blackHoleAfterMs, &app, [&simulators] {
            for (const auto& simulator : simulators)
                simulator->setBlackHole(true);
        });
    }
    if (faults.dropEventsEveryMs > 0) {
        auto* dropper = new QTimer(&app);
        QObject::connect(dropper, &QTimer::timeout, &app, [&simulators] {
            for (const auto& simulator : simulators)
                simulator->dropEventClients();
        });
        dropper->start(faults.dropEventsEveryMs);
    }
    return app.exec();
}
