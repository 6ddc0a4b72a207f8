#pragma once

#include <QString>

// Text an operator types or a device announces, made fit to be stored and shown on one line.
namespace PanelText {

// Control and line-break characters become spaces, the ends are trimmed and the text is cut
// to at most maxLength UTF-16 units without splitting a character.
QString singleLine(const QString& text, int maxLength);

}
