#include "OscListenerControl.h"

#include "AppLog.h"
#include "OscListener.h"

namespace OscListenerControl {

bool restart(OscListener* listener, int port, const QString& bindAddress)
{
    const bool wasRunning = listener->isRunning();
    if (wasRunning) {
        listener->stopListening();
        if (!listener->wait(OscListener::stopWaitMs)) {
            qCWarning(lcApp) << "OSC: the listener did not stop; it keeps port" << listener->port();
            return false;
        }
    }
    listener->setBindAddress(bindAddress);
    listener->setPort(port);
    if (wasRunning)
        listener->start();
    return true;
}

}
