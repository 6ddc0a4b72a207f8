#include "CommandLine.h"

#include <QCoreApplication>

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine line;
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--headless"))
            line.headless = true;
        else if (argument == QLatin1String("--verbose"))
            line.verbose = true;
        else if (argument == QLatin1String("--help"))
            line.help = true;
        else if (argument == QLatin1String("--version"))
            line.version = true;
        else if (line.refused.isEmpty())
            line.refused = argument;
    }
    return line;
}

QString CommandLine::usage()
{
    return QStringLiteral("Usage: kovra-control [--headless] [--verbose] [--help] [--version]");
}

QString CommandLine::helpText()
{
    return usage() + QStringLiteral(
               "\n"
               "  --headless  run the desk-to-camera bridge without a window, from the same config.json\n"
               "  --verbose   write DEBUG lines to the log as well\n"
               "  --help      show this help and exit\n"
               "  --version   show the version and exit\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("Kovra Control %1").arg(QCoreApplication::applicationVersion());
}
