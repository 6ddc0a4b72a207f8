#include "Startup.h"
#include "FileLogger.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>

namespace Startup {

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName("Kovra Control");
    QCoreApplication::setApplicationVersion("1.1.0");
    QCoreApplication::setOrganizationName("KovraControl");
    QApplication::setWindowIcon(QIcon(":/icons/KovraControl.png"));
}

void installApplicationFonts()
{
    // A font that cannot be registered is skipped; the request below still names the family.
    for (const char* weight : {"Regular", "Medium", "SemiBold", "Bold"})
        QFontDatabase::addApplicationFont(QString(":/fonts/IBMPlexSans-%1.otf").arg(weight));
    QFont font("IBM Plex Sans");
    font.setPointSize(13);
    QApplication::setFont(font);
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

}
