#pragma once

#include "CameraCapabilities.h"

#include <QJsonObject>
#include <QObject>
#include <QScopedValueRollback>
#include <QString>
#include <QTimer>

#include <optional>

class CameraManager;
struct CameraState;

// A panel's link to the selected camera. It sends the panel's commands, gathers slider
// movements into one pending command sent 50 ms after the last movement, and after each
// command holds back the camera's state until the panel fetches it afresh (800 ms), so that
// the camera's echo of older values never pulls a control back while the operator moves it.
class CameraFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int guardMs = 3000;
    static constexpr int refreshMs = 800;
    static constexpr int debounceMs = 50;

    explicit CameraFollower(CameraManager* manager, QObject* parent = nullptr);

    const QString& cameraId() const { return m_cameraId; }

    // Follows another camera (empty: none) and lifts the guard. A slider command still
    // pending belongs to the camera it was made for: it goes there now, never to the new one.
    void follow(const QString& cameraId);

    // Operator input counts only with a camera selected and while no state is being shown.
    bool acceptsInput() const { return !m_filling && !m_cameraId.isEmpty(); }

    // The state to show for an update of `cameraId`, or null: another camera's, held back
    // after a command or while a slider command is pending, or not in the list.
    const CameraState* stateToShow(const QString& cameraId) const;
    // The current camera's state whether held back or not, for building commands from it.
    const CameraState* currentState() const;
    // What the current camera's model can do; none without a camera.
    std::optional<CameraCapabilities> capabilities() const;

    // While one lives, the panel is writing state into its controls and their signals send nothing.
    class Filling {
    public:
        explicit Filling(CameraFollower& follower)
            : m_rollback(follower.m_filling, true)
        {
        }

    private:
        QScopedValueRollback<bool> m_rollback;
    };

    // Both do nothing unless input is accepted.
    void send(const QString& endpoint, const QJsonObject& body);
    // Replaces the pending command (even one for another endpoint) and restarts its 50 ms wait.
    void sendLater(const QString& endpoint, const QJsonObject& body);
    // Sends the pending command, if any, to its camera.
    void flush();

    bool isGuarded() const;
    bool hasPending() const { return !m_pendingEndpoint.isEmpty(); }

    // Lifts the guard and asks the manager for the current camera's state now.
    void refreshNow();

signals:
    // A command went to the current camera.
    void commandSent();
    // The current camera's connection changed, and with it possibly its model.
    void currentStatusChanged();

private:
    void guard();

    CameraManager* m_manager;
    QString m_cameraId;
    bool m_filling = false;
    bool m_recentlySent = false;
    QTimer m_guardTimer;
    QTimer m_refreshTimer;
    QTimer m_debounceTimer;
    QString m_pendingCameraId;
    QString m_pendingEndpoint;
    QJsonObject m_pendingBody;
};
