#include "MainWindow.h"

#include "AppCore.h"
#include "FileLogger.h"

#include <QCloseEvent>
#include <QSettings>

MainWindow::MainWindow(QWidget* parent, bool offline)
    : QMainWindow(parent)
    , m_offline(offline)
    , m_core(new AppCore(offline, this))
{
    setWindowTitle("Kovra Control");
    setMinimumSize(1020, 560);
    if (m_offline) {
        resize(1200, 1100);
        return;
    }
    // The operator's log lines go straight to the log file until the Log tab shows them.
    connect(m_core, &AppCore::logLine, this,
            [](const QString& level, const QString& text) { FileLogger::instance()->write(level, text); });
    m_core->start();

    const QSettings settings;
    if (settings.contains("geometry")) {
        restoreGeometry(settings.value("geometry").toByteArray());
        restoreState(settings.value("windowState").toByteArray());
    } else {
        resize(1200, 1100);
    }
}

QString MainWindow::appDataConfigPath() const
{
    return m_core->appDataConfigPath();
}

void MainWindow::saveAllToAppData()
{
    m_core->saveAllToAppData();
}

void MainWindow::loadAllFromAppData()
{
    m_core->loadAllFromAppData();
}

bool MainWindow::saveConfigToFile(const QString& path)
{
    return m_core->saveConfigToFile(path);
}

bool MainWindow::loadConfigFromFile(const QString& path)
{
    return m_core->loadConfigFromFile(path);
}

void MainWindow::loadSettings()
{
    m_core->loadSettings();
}

void MainWindow::autoSave()
{
    m_core->autoSave();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_offline) {
        m_core->saveAllToAppData();
        QSettings settings;
        settings.setValue("geometry", saveGeometry());
        settings.setValue("windowState", saveState(0));
    }
    QMainWindow::closeEvent(event);
}
