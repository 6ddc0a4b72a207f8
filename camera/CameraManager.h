#pragma once

#include "CameraCapabilities.h"
#include "CameraList.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

class ArpSource;
class CameraApi;
class CameraMonitor;

// The hub of the camera side: connects, sweeps, detects silence, reconnects, relocates
// and commands the configured cameras. All other parts reach cameras through it.
class CameraManager : public QObject {
    Q_OBJECT
public:
    static constexpr int pollIntervalMs = 3000;
    static constexpr qint64 silenceLimitMs = 10000;
    static constexpr qint64 arpReadSpacingMs = 10000;

    // The ARP source is optional; without one, MAC addresses are neither learnt nor used.
    explicit CameraManager(QObject* parent = nullptr, ArpSource* arp = nullptr);

    CameraList* cameraList() const { return m_list; }
    CameraApi* api() const { return m_api; }
    CameraMonitor* monitor() const { return m_monitor; }

    CameraCapabilities capabilities(const QString& cameraId) const;

    // Refused, with connectionError naming the camera there, when another camera already
    // uses the address; relocateCamera likewise.
    void addCamera(const QString& name, const QString& ip, int oscIndex);
    void removeCamera(const QString& cameraId);
    void disconnectCamera(const QString& cameraId);
    bool isManuallyDisconnected(const QString& cameraId) const;
    void refreshCamera(const QString& cameraId);
    void refreshAll();
    void fetchState(const QString& cameraId);

    void sendCommand(const QString& cameraId, const QString& endpoint, const QJsonObject& body);
    void sendCommandRaw(const QString& cameraId, const QString& endpoint, const QByteArray& body);

    void saveConfig();
    void loadConfig();
    QString configPath() const;
    void syncAfterExternalLoad();

    void relocateCamera(const QString& cameraId, const QString& newIp);
    void updateStateFromJson(const QString& cameraId, const QString& endpoint, const QJsonObject& json);

signals:
    void cameraStatusChanged(const QString& cameraId);
    void cameraStateUpdated(const QString& cameraId);
    void connectionError(const QString& cameraId, const QString& error);
    void cameraListChanged();

public slots:
    void onMonitorStateChanged(const QString& cameraId, const QString& category, const QJsonObject& data);

private slots:
    void onPingResult(const QString& ip, bool reachable, const QJsonObject& info);
    void onGetFinished(const QString& ip, const QString& endpoint, const QJsonObject& response);
    void onGetFailed(const QString& ip, const QString& endpoint, int httpStatus);
    void onPutFinished(const QString& ip, const QString& endpoint, bool success, const QString& error);
    void onConnectionLost(const QString& cameraId);
    void onConnectionEstablished(const QString& cameraId);
    void pollCameraStates();
    void onArpTable(const QHash<QString, QString>& table);

private:
    // The configured camera the address index names for an address, or null.
    const Camera* cameraAt(const QString& ip) const;
    void fetchFullState(const QString& cameraId);
    void markUnsupported(const QString& ip, const QString& endpoint, const QString& reason);
    void notePendingReply(const QString& ip);
    void handleRelocationProbe(const QString& ip, bool reachable, const QJsonObject& info);
    void startArpLookup();

    CameraList* m_list;
    CameraApi* m_api;
    CameraMonitor* m_monitor;
    QPointer<ArpSource> m_arp;
    QTimer m_pollTimer;

    QHash<QString, QString> m_addressToId;
    QHash<QString, QSet<QString>> m_unsupportedEndpoints;
    QHash<QString, int> m_pendingReplies;
    QHash<QString, qint64> m_lastReply;
    QHash<QString, QString> m_relocationProbes;
    qint64 m_lastArpLookupMs = 0;
};
