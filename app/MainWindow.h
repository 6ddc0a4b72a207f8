#pragma once

#include <QMainWindow>

class AppCore;

// The application's one window, on top of the core that does the work. Offline windows
// (used by tests) send nothing, read and write no settings or files and start nothing.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(QWidget* parent, bool offline);

    bool isOffline() const { return m_offline; }
    AppCore* core() const { return m_core; }

    QString appDataConfigPath() const;
    void saveAllToAppData();
    void loadAllFromAppData();
    bool saveConfigToFile(const QString& path);
    bool loadConfigFromFile(const QString& path);
    void loadSettings();

public slots:
    void autoSave();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_offline;
    AppCore* m_core;
};
