#pragma once

#include <QString>

class OscListener;

namespace OscListenerControl {

// Gives the listener a new port and bind address. A running listener reads both while it
// binds, so it is stopped first (waiting at most OscListener::stopWaitMs) and started again;
// one that is not running only stores them. False, with nothing changed, when it did not stop.
bool restart(OscListener* listener, int port, const QString& bindAddress);

}
