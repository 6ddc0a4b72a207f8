#pragma once

#include "Camera.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QWidget>

class CameraManager;
class ModalBoxes;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The Presets tab: the presets stored on the selected camera, which one is active, and
// recalling, overwriting, deleting and saving them. The presets live only on the camera.
class PresetPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxNameLength = 64;

    explicit PresetPanel(CameraManager* manager, QWidget* parent = nullptr, ModalBoxes* boxes = nullptr);

    // "Wide" -> "Wide.cset"; a name ending in ".cset" in any case stays as it is.
    static QString presetFileName(const QString& name);
    // The file name without a final ".cset" in any case.
    static QString displayName(const QString& fileName);
    // "presets/" and the file name percent-encoded, so that it stays one path segment of
    // the preset folder whatever it holds; empty for a name no request can carry that way.
    static QString presetEndpoint(const QString& fileName);

    void setCurrentCamera(const QString& cameraId);
    void refreshPresets(const QString& cameraId);

public slots:
    void onRecall();
    void onOverwrite();
    void onDelete();
    void onRefresh();
    void onSave();
    void onPresetSelectionChanged();
    void updateButtonStates();

private slots:
    void onGetFinished(const QString& cameraIp, const QString& endpoint, const QJsonObject& response);
    void onPutFinished(const QString& cameraIp, const QString& endpoint, bool success, const QString& error);
    void onCameraStatusChanged(const QString& cameraId);

private:
    // The selected preset, the camera's address and the preset's endpoint.
    struct Target {
        QString fileName;
        QString address;
        QString endpoint;
    };

    Target selectedTarget() const;
    QString currentAddress() const;
    QString currentFileName() const;
    void showPresetList(const QStringList& fileNames);
    void showActive(const QString& fileName);
    void markActive();

    CameraManager* m_manager;
    ModalBoxes* m_boxes;
    QString m_cameraId;
    QString m_activeFileName;
    CameraStatus m_lastStatus = CameraStatus::Disconnected;

    QPushButton* m_recallButton;
    QPushButton* m_updateButton;
    QPushButton* m_deleteButton;
    QPushButton* m_refreshButton;
    QLabel* m_activeLabel;
    QListWidget* m_list;
    QLineEdit* m_nameEdit;
    QPushButton* m_saveButton;
};
