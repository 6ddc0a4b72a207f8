#include "CameraSimulator.h"
#include "ModelProfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

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

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated cameras speaking the camera REST API and event WebSocket."));
    parser.addHelpOption();
    const QCommandLineOption cameraOption(
        QStringLiteral("camera"),
        QStringLiteral("Serve a camera at ADDRESS:PORT (port 0: a free one, printed), optionally with a product name "
                       "(repeatable). "
                       "Without it: three cameras on 127.0.0.1:9001, :9002 and :9003."),
        QStringLiteral("ADDRESS:PORT[=PRODUCT NAME]"));
    const QCommandLineOption delayOption(QStringLiteral("delay"), QStringLiteral("Answer every request after MS milliseconds."),
                                         QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption clockOption(
        QStringLiteral("clock"),
        QStringLiteral("Begin each request line with the monotonic clock at its arrival, in microseconds."));
    parser.addOption(cameraOption);
    parser.addOption(delayOption);
    parser.addOption(clockOption);
    parser.process(app);

    QTextStream err(stderr);
    bool delayOk = false;
    const int delay = parser.value(delayOption).toInt(&delayOk);
    if (!delayOk || delay < 0) {
        err << "camsim: --delay needs a number of milliseconds, not " << parser.value(delayOption) << Qt::endl;
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
        // Recorders, switchers and converters have no camera endpoints.
        simulator->setNotACamera(!ModelProfile::forProduct(option.product).isCamera);
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
    return app.exec();
}
