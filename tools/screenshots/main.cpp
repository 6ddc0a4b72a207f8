// kovra-screenshots DIR: the window as an operator sees it, every tab in the dark and the light
// appearance, and the video warning, as PNG files in DIR. Meant for a real X server (Xvfb with a
// window manager, see `make screenshots`) in the demo's home, so that the real fonts and the
// window frame are in the pictures.
#include "AppCore.h"
#include "CameraManager.h"
#include "InstModuleHeader.h"
#include "InstTabs.h"
#include "MainWindow.h"
#include "Startup.h"
#include "WindowStartup.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonObject>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTextStream>
#include <QUdpSocket>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

QTextStream err(stderr);
QTextStream out(stdout);

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(50);
    return done();
}

QByteArray padded(QByteArray bytes)
{
    bytes.append('\0');
    while (bytes.size() % 4)
        bytes.append('\0');
    return bytes;
}

// One OSC message with a single float argument, as a desk would send it.
QByteArray oscFloat(const QByteArray& address, float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray argument(4, '\0');
    qToBigEndian(bits, argument.data());
    return padded(address) + padded(",f") + argument;
}

bool save(MainWindow& window, const QString& path)
{
    QTest::qWait(400);
    // With a window manager the frame belongs in the picture; the root window holds both.
    const QRect frame = window.frameGeometry();
    const QPixmap picture = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.isNull() || !picture.save(path)) {
        err << "kovra-screenshots: cannot write " << path << Qt::endl;
        return false;
    }
    out << path << Qt::endl;
    return true;
}

}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        err << "usage: kovra-screenshots DIR (run it through `make screenshots`)" << Qt::endl;
        return 2;
    }
    Startup::setApplicationIdentity();
    Startup::setWindowIcon();
    Startup::installApplicationFonts();
    Startup::openLog(app.arguments());
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        err << "kovra-screenshots: cannot create " << folder.path() << Qt::endl;
        return 1;
    }

    MainWindow window(nullptr, false);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        err << "kovra-screenshots: the window was not shown" << Qt::endl;
        return 1;
    }
    // The window manager frames the window a moment after it is mapped.
    waitFor([&] { return window.frameGeometry() != window.geometry(); }, 3000);

    CameraList* cameras = window.core()->cameraManager()->cameraList();
    const auto allConnected = [cameras] {
        const QList<Camera> list = cameras->allCameras();
        return !list.isEmpty() && std::all_of(list.begin(), list.end(), [](const Camera& camera) {
            return camera.status == CameraStatus::Connected;
        });
    };
    if (!waitFor(allConnected, 20000)) {
        err << "kovra-screenshots: the demo cameras did not connect" << Qt::endl;
        return 1;
    }

    InstTabs* tabs = window.tabs();
    InstAppearanceSelector* selector = window.findChild<InstAppearanceSelector*>();
    QUdpSocket desk;
    for (const auto& [segment, appearance] : {std::pair{2, QStringLiteral("dark")}, std::pair{1, QStringLiteral("light")}}) {
        // The operator's way: a click on the header's appearance selector.
        QTest::mouseClick(selector, Qt::LeftButton, {}, InstAppearanceSelector::segmentRect(segment).center().toPoint());
        for (int index = 0; index < tabs->count(); ++index) {
            QTest::mouseClick(tabs->tabButton(index), Qt::LeftButton);
            const QString title = tabs->tabButton(index)->text().toLower();
            if (title == QLatin1String("osc")) {
                for (int n = 0; n < 12; ++n) {
                    desk.writeDatagram(oscFloat(QByteArray("/camera/%1/focus").replace("%1", QByteArray::number(n % 3 + 1)),
                                                0.3f + 0.04f * n),
                                       QHostAddress::LocalHost, quint16(window.core()->oscPort()));
                    QTest::qWait(30);
                }
            }
            if (!save(window, folder.filePath(QStringLiteral("%1-%2-%3.png").arg(index + 1, 2, 10, QLatin1Char('0'))
                                                  .arg(title, appearance))))
                return 1;
        }
        // The status bar at twice the size, to read its small print.
        const QPixmap bar = window.statusBar()->grab();
        const QString barPath = folder.filePath(QStringLiteral("statusbar-%1.png").arg(appearance));
        if (!bar.scaled(bar.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(barPath))
            return 1;
        out << barPath << Qt::endl;
    }

    // The header's warning while a camera shows colour bars and the program feed.
    tabs->setCurrentIndex(0);
    CameraManager* manager = window.core()->cameraManager();
    const QString selected = window.currentCameraId();
    manager->sendCommand(selected, QStringLiteral("camera/colorBars"), QJsonObject{{"enabled", true}});
    manager->sendCommand(selected, QStringLiteral("camera/programFeedDisplay"), QJsonObject{{"enabled", true}});
    const CameraState* state = cameras->state(selected);
    if (!waitFor([state] { return state && state->colorBars && state->programFeedDisplay; }, 10000)) {
        err << "kovra-screenshots: the camera did not report colour bars and program feed" << Qt::endl;
        return 1;
    }
    if (!save(window, folder.filePath(QStringLiteral("warning-light.png"))))
        return 1;
    window.close();
    return 0;
}
