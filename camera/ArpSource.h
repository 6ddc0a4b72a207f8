#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// Where the camera manager learns hardware addresses: the operating system's ARP table.
// The manager only sees this interface, so its relocation logic runs without the platform.
class ArpSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Blocking single lookup (bounded by the implementation); empty when unknown.
    virtual QString macForIp(const QString& ip) = 0;
    // Starts one asynchronous read of the whole table; tableRead reports it.
    virtual void startTableRead() = 0;
    virtual bool isReading() const = 0;

signals:
    // Canonical MAC -> IPv4 address.
    void tableRead(const QHash<QString, QString>& table);
};
