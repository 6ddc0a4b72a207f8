#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The pieces of process start-up that do not need the event loop.
namespace Startup {

void setApplicationIdentity();
void installApplicationFonts();
// Routes the framework's messages into the file logger.
void logMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
bool wantsVerbose(const QStringList& arguments);

}
