#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <vector>

class CameraManager;
class OscMapping;
class QTimer;

// Turns OSC messages into camera commands. Messages for the same control and camera
// collapse in a pending map, flushed every rate-limit interval, so the latest value wins.
class OscBridge : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultRateLimitMs = 16;
    // Addresses naming no camera are warned about once each, up to this many: the desk's
    // datagrams must not grow the program's memory without end.
    static constexpr int warnedAddressLimit = 256;

    explicit OscBridge(CameraManager* cameraManager, QObject* parent = nullptr);

    OscMapping* mapping() const { return m_mapping; }
    void setRateLimitMs(int milliseconds);
    int rateLimitMs() const { return m_rateLimitMs; }

    // onOff: the keys take booleans, so numbers become false (0) or true (anything else).
    QJsonObject buildBody(const QStringList& keys, const QVariantList& args, bool onOff = false) const;

public slots:
    void onOscMessage(const QString& address, const QVariantList& args);
    void flushPending();

private:
    struct PendingCommand {
        QString cameraId;
        QString endpoint;
        QJsonObject body;
        QByteArray rawBody;    // non-empty only for trigger rows
    };

    CameraManager* m_cameraManager;
    OscMapping* m_mapping;
    // Pending commands in the order of their latest update, so that a flush sends a preset
    // recall or a trigger after the values that came before it and before the ones after
    // it. A replaced command leaves an empty place behind.
    std::vector<std::optional<PendingCommand>> m_pending;
    QHash<QString, std::size_t> m_pendingPlace;
    QTimer* m_flushTimer;
    int m_rateLimitMs = defaultRateLimitMs;
};
