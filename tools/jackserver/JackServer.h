#pragma once

#include <QLockFile>
#include <QProcess>
#include <QString>

// A JACK 2 server of this process's own on the dummy driver, for tests and benchmarks of the
// real MIDI path on machines without sound hardware. Its name is unique to the process and is
// exported as JACK_DEFAULT_SERVER, so every JACK client the process makes reaches it and
// parallel runs never share one. The server ends with this object, or with the process.
// JACK 2 clients opened at the same moment on two different servers often fail, so one lock
// for the whole machine lets a single process at a time run its server.
class JackServer {
public:
    JackServer();
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Starts the server and returns once it accepts clients; on failure says why in error.
    bool start(QString* error);
    void stop();
    QString name() const { return m_name; }

private:
    bool launch(QString* error);
    void terminate();

    QLockFile m_lock;
    QProcess m_server;
    QString m_name;
};
