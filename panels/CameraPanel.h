#pragma once

#include "Camera.h"
#include "DiscoveredCamera.h"

#include <QString>
#include <QWidget>

class CameraManager;
class CameraScanner;
class LocalNetwork;
class ModalBoxes;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class InstCombo;

// The Cameras tab: the configured cameras with their live status and inline editing, the
// form that adds a camera by hand, and the network scan that finds cameras, adds them or
// re-links a known camera that came back under another address.
class CameraPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxNameLength = 64;
    static constexpr int minIndex = 1;
    static constexpr int maxIndex = 99;

    // The network and the boxes default to the system's and the standard ones.
    explicit CameraPanel(CameraManager* manager, QWidget* parent = nullptr, LocalNetwork* network = nullptr,
                         ModalBoxes* boxes = nullptr);
    ~CameraPanel() override;

    // Whether the text is a camera address: an IPv4 address or a one-label ".local" host
    // name, either optionally followed by ":port".
    static bool isCameraAddress(const QString& text);

signals:
    // The operator moved the table's current cell to another camera's row.
    void cameraActivated(const QString& cameraId);

public slots:
    void setCurrentCamera(const QString& cameraId);
    void applyLook();
    void addDiscovered(const DiscoveredCamera& record);
    void onCameraListChanged();
    void onCameraStatusChanged(const QString& cameraId);
    void onAddCamera();
    void onRemoveCamera();
    void onDisconnectToggle();
    void onRefreshSelected();
    void onRefreshAll();
    void onScanNetwork();
    void onAddDiscovered();
    void onCameraEdited(int row);

private:
    enum Column { LampColumn, IndexColumn, NameColumn, AddressColumn, MacColumn, ModelColumn, FirmwareColumn,
                  StatusColumn, ColumnCount };

    QWidget* buildCameraSection();
    QWidget* buildAddSection();
    QWidget* buildDiscoverySection();

    void refreshCameraTable();
    void fillRow(int row, const Camera& camera);
    void setCell(int row, int column, const QString& text);
    int rowForCameraId(const QString& cameraId) const;
    QString cameraIdAt(int row) const;
    void setRowStatus(int row, CameraStatus status);
    void populateNetworkInterfaces();
    void onCurrentCellChanged(int row, int previousRow);
    void updateToggleText(const QString& cameraId);
    void onScanFinished();
    int nextIndex() const;
    // Warns and returns false for text that is no camera address and for an address that a
    // camera other than `exceptId` already uses.
    bool acceptAddress(const QString& address, const QString& exceptId);

    CameraManager* m_manager;
    LocalNetwork* m_network;
    ModalBoxes* m_boxes;
    CameraScanner* m_scanner;
    bool m_refreshing = false;
    bool m_storingEdit = false;

    QPushButton* m_toggleButton;
    QPushButton* m_refreshButton;
    QPushButton* m_reconnectAllButton;
    QPushButton* m_removeButton;
    QTableWidget* m_table;

    QLineEdit* m_nameEdit;
    QLineEdit* m_addressEdit;
    QSpinBox* m_indexSpin;
    QPushButton* m_addButton;

    InstCombo* m_interfaceCombo;
    QPushButton* m_scanButton;
    QProgressBar* m_progress;
    QLabel* m_scanStatus;
    QListWidget* m_results;
    QPushButton* m_addDiscoveredButton;
};
