#include "CommandLine.h"
#include "FileLogger.h"
#include "HeadlessBridge.h"
#include "MainWindow.h"
#include "QuitOnSignal.h"
#include "Startup.h"
#include "WheelGuard.h"
#include "WindowStartup.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

int refuse(const QString& argument)
{
    std::fprintf(stderr, "kovra-control: unknown argument \"%s\"\n%s\n", argument.toLocal8Bit().constData(),
                 qPrintable(CommandLine::usage()));
    return 2;
}

int runHeadless(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Startup::setApplicationIdentity();
    Startup::openLog(app.arguments());
    Startup::echoLogToStandardError();
    new QuitOnSignal(&app);

    HeadlessBridge bridge;
    bridge.start();
    const int exitCode = app.exec();
    bridge.shutdown();
    FileLogger::instance()->close();
    return exitCode;
}

int runWindow(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The toolkit has taken its own options ("-platform", "-style", ...) out by now.
    const CommandLine options = CommandLine::parse(app.arguments());
    if (!options.refused.isEmpty())
        return refuse(options.refused);
    Startup::setApplicationIdentity();
    Startup::setWindowIcon();
    Startup::installApplicationFonts();
    Startup::openLog(app.arguments());

    auto* guard = new WheelGuard(&app);
    app.installEventFilter(guard);
    new QuitOnSignal(&app);

    auto window = std::make_unique<MainWindow>(nullptr, false);
    window->show();
    const int exitCode = app.exec();

    FileLogger::instance()->close();
    window.reset();
    return exitCode;
}

}

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine options = CommandLine::parse(arguments);
    Startup::setApplicationIdentity();
    if (options.help) {
        std::printf("%s", qPrintable(CommandLine::helpText()));
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", qPrintable(CommandLine::versionText()));
        return 0;
    }
    if (!options.headless)
        return runWindow(argc, argv);
    if (!options.refused.isEmpty())
        return refuse(options.refused);
    return runHeadless(argc, argv);
}
