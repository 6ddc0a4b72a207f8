#pragma once

#include "Inst.h"

#include <QList>
#include <QMainWindow>
#include <QVariantList>

#include <functional>
#include <memory>

class AppCore;
class CameraPanel;
class InstBezel;
class InstChip;
class InstCombo;
class InstDot;
class InstModuleHeader;
class InstTabs;
class LogPanel;
class MidiPanel;
class ModalBoxes;
class OscMonitor;
class QAction;
class QLabel;
class QPushButton;
class QTimer;
class Updater;

// The application's one window, on top of the core that does the work: the header, the camera
// selector with its connection read-out, the operator panels as tabs, the menus and the status
// bar. Offline windows (used by tests) send nothing, read and write no settings or files and
// start nothing. Modal boxes go through `boxes` (the standard ones when none is given).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int statusIntervalMs = 1000;
    static constexpr int blinkIntervalMs = 600;

    MainWindow(QWidget* parent, bool offline, ModalBoxes* boxes = nullptr);
    ~MainWindow() override;

    bool isOffline() const { return m_offline; }
    AppCore* core() const { return m_core; }
    InstTabs* tabs() const { return m_tabs; }
    // The selected camera's id, empty when none is selected.
    QString currentCameraId() const;
    // The transient message now shown in the status bar, empty when none.
    QString statusMessage() const;

    QString appDataConfigPath() const;
    void saveAllToAppData();
    void loadAllFromAppData();
    bool saveConfigToFile(const QString& path);
    bool loadConfigFromFile(const QString& path);
    void loadSettings();

public slots:
    void autoSave();
    void applyLook();
    void updateStatusBar();
    void onOscMessage(const QString& address, const QVariantList& args);
    void onCameraListChanged();
    void onCameraStatusChanged(const QString& cameraId);
    void onCameraStateUpdated(const QString& cameraId);
    void onCameraSelected(int index);
    void updateConnectionIndicator();
    void updateVideoWarning();
    void onSaveConfig();
    // Shown for timeoutMs (0: until the next message).
    void showStatusMessage(const QString& text, int timeoutMs);
    void onLoadConfig();

signals:
    // After every selection of a camera, also when a rebuilt list keeps the same one.
    void cameraSelected(const QString& cameraId);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setupUi();
    void setupTabs();
    void setupMenus();
    void setupStatusBar();
    void connectCore();
    void restoreWindow();
    template <typename Panel>
    Panel* addPanel(Panel* panel, const QString& title);
    void onAppearanceChosen(Inst::Appearance appearance);
    void onBlink();
    void showAbout();
    void selectCamera(const QString& cameraId);

    bool m_offline;
    ModalBoxes* m_boxes;
    AppCore* m_core;
    std::unique_ptr<Updater> m_updater;

    InstModuleHeader* m_header = nullptr;
    InstChip* m_videoWarning = nullptr;
    QTimer* m_blinkTimer = nullptr;
    bool m_blinkOn = true;
    InstCombo* m_cameraSelector = nullptr;
    InstDot* m_connectionDot = nullptr;
    QLabel* m_connectionLabel = nullptr;
    QPushButton* m_refreshAllButton = nullptr;
    InstTabs* m_tabs = nullptr;
    CameraPanel* m_cameraPanel = nullptr;
    MidiPanel* m_midiPanel = nullptr;
    OscMonitor* m_oscMonitor = nullptr;
    LogPanel* m_logPanel = nullptr;

    QLabel* m_oscLabel = nullptr;
    QLabel* m_camerasLabel = nullptr;
    QLabel* m_midiLabel = nullptr;
    QLabel* m_switcherLabel = nullptr;
    QLabel* m_rateLabel = nullptr;
    QLabel* m_messageLabel = nullptr;
    QTimer* m_messageTimer = nullptr;
    int m_oscMessageCount = 0;
    QTimer* m_statusTimer = nullptr;
    QAction* m_verboseAction = nullptr;
    QAction* m_updateAction = nullptr;

    // What the tabs take part in, in tab order: following the selected camera, its state
    // updates, and changes of appearance.
    QList<std::function<void(const QString&)>> m_cameraFollowers;
    QList<std::function<void(const QString&)>> m_stateFollowers;
    QList<std::function<void()>> m_lookFollowers;
};
