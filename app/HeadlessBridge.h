#pragma once

#include <QObject>

class AppCore;

// The desk-to-camera bridge without a window, for rack machines without a screen: the same
// core and config.json as the window, with every status change and operator message written
// to the log (and so, with Startup::echoLogToStandardError, to the terminal).
class HeadlessBridge : public QObject {
    Q_OBJECT
public:
    explicit HeadlessBridge(QObject* parent = nullptr);

    AppCore* core() const { return m_core; }
    void start();
    // Saves config.json; call when the event loop has ended.
    void shutdown();

private:
    AppCore* m_core;
};
