#include "MainWindow.h"

MainWindow::MainWindow(QWidget* parent, bool offline)
    : QMainWindow(parent)
    , m_offline(offline)
{
    setWindowTitle("Kovra Control");
    setMinimumSize(1020, 560);
}
