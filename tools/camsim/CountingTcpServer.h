#pragma once

#include <QSet>
#include <QTcpServer>

// A TCP server that knows how many of its connections are open at once, so that a
// test can check how hard a client hits the device.
class CountingTcpServer : public QTcpServer {
    Q_OBJECT
public:
    explicit CountingTcpServer(QObject* parent = nullptr);

    int openConnections() const { return int(m_open.size()); }
    int maxOpenConnections() const { return m_maxOpen; }
    void resetMaxOpenConnections() { m_maxOpen = openConnections(); }
    // Ends every open connection at once.
    void abortConnections();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    void forget(QObject* socket);

    QSet<QObject*> m_open;
    int m_maxOpen = 0;
};
