#include "CountingTcpServer.h"

#include <QTcpSocket>

CountingTcpServer::CountingTcpServer(QObject* parent)
    : QTcpServer(parent)
{
}

void CountingTcpServer::incomingConnection(qintptr socketDescriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    m_open.insert(socket);
    m_maxOpen = qMax(m_maxOpen, openConnections());
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
    connect(socket, &QObject::destroyed, this, [this](QObject* gone) { forget(gone); });
    addPendingConnection(socket);
}

void CountingTcpServer::forget(QObject* socket)
{
    m_open.remove(socket);
}

void CountingTcpServer::abortConnections()
{
    const QList<QTcpSocket*> sockets = findChildren<QTcpSocket*>();
    for (QTcpSocket* socket : sockets)
        socket->abort();
}
