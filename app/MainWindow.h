#pragma once

#include <QMainWindow>

// The application's one window. Offline windows (used by tests) send nothing to cameras.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(QWidget* parent, bool offline);

    bool isOffline() const { return m_offline; }

private:
    bool m_offline;
};
