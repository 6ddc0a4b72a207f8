#pragma once

#include <QString>
#include <QStringList>

// What the program was asked to do. Options match exactly, as typed: "--Verbose" is not "--verbose".
struct CommandLine {
    bool headless = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    QString refused;          // the first argument not understood; empty when all were

    // arguments[0] is the program itself.
    static CommandLine parse(const QStringList& arguments);
    static QString usage();
    static QString helpText();
    static QString versionText();
};
