#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The pieces of process start-up that need no window, shared by both ways of running.
namespace Startup {

void setApplicationIdentity();
// Routes the framework's messages into the file logger.
void logMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
bool wantsVerbose(const QStringList& arguments);
// Opens the log file, installs the message handler and honours "--verbose".
void openLog(const QStringList& arguments);
// Every log line from INFO up is printed on standard error as well, as "LEVEL message".
void echoLogToStandardError();

}
