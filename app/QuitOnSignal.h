#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a normal quit of the event loop, so that a program
// stopped from a terminal or by the session manager still saves and closes its log.
class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);

private:
    QSocketNotifier* m_notifier = nullptr;
};
