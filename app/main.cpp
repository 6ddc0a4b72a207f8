#include "FileLogger.h"
#include "MainWindow.h"
#include "QuitOnSignal.h"
#include "Startup.h"
#include "WheelGuard.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Startup::setApplicationIdentity();
    Startup::installApplicationFonts();

    FileLogger::instance()->open();
    qInstallMessageHandler(Startup::logMessageHandler);
    if (Startup::wantsVerbose(app.arguments()))
        FileLogger::instance()->setVerbose(true);

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
