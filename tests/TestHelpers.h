#pragma once

#include <QHostAddress>
#include <QSignalSpy>
#include <QStringList>
#include <QUdpSocket>

// A UDP port on loopback that was free a moment ago.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// The first argument of every signal a spy caught, as text.
inline QStringList texts(const QSignalSpy& spy)
{
    QStringList list;
    for (const QList<QVariant>& arguments : spy)
        list << arguments.first().toString();
    return list;
}
