#include "Startup.h"
#include "FileLogger.h"

#include <QCoreApplication>

#include <cstdio>

namespace Startup {

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName("Kovra Control");
    QCoreApplication::setApplicationVersion("1.1.0");
    QCoreApplication::setOrganizationName("KovraControl");
}

void logMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    const char* level = nullptr;
    switch (type) {
    case QtDebugMsg: level = "DEBUG"; break;
    case QtInfoMsg: level = "INFO"; break;
    case QtWarningMsg: level = "WARN"; break;
    case QtCriticalMsg:
    case QtFatalMsg: level = "ERROR"; break;
    }
    if (level)
        FileLogger::instance()->write(QString::fromLatin1(level), message);
}

bool wantsVerbose(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--verbose"), Qt::CaseSensitive);
}

void openLog(const QStringList& arguments)
{
    FileLogger::instance()->open();
    qInstallMessageHandler(logMessageHandler);
    if (wantsVerbose(arguments))
        FileLogger::instance()->setVerbose(true);
}

void echoLogToStandardError()
{
    // Direct: the logger emits under its lock, which also keeps lines from several threads whole.
    QObject::connect(
        FileLogger::instance(), &FileLogger::logged, FileLogger::instance(),
        [](const QString& level, const QString& message) {
            if (level == QLatin1String("DEBUG"))
                return;
            std::fprintf(stderr, "%s %s\n", qPrintable(level), message.toLocal8Bit().constData());
            std::fflush(stderr);
        },
        Qt::DirectConnection);
}

}
