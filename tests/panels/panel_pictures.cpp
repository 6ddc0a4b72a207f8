// kovra-panel-pictures DIR: pictures of the Cameras and Presets tabs at 1200 px, with three
// simulated cameras and a few other states, in both appearances. Made without a display.
#include "CameraPanel.h"
#include "CameraScanner.h"
#include "Inst.h"
#include "PanelFixture.h"
#include "PresetPanel.h"
#include "Startup.h"
#include "WindowStartup.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTextStream>

namespace {

bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(20);
    return done();
}

bool save(QWidget* panel, const QString& path)
{
    Inst::applyTo(panel);
    panel->show();
    panel->resize(1200, 760);
    QCoreApplication::processEvents();
    return panel->grab().save(path);
}

}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Startup::setApplicationIdentity();
    Startup::installApplicationFonts();
    QTextStream err(stderr);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("panel-pictures");
    if (!QDir().mkpath(folder)) {
        err << "kovra-panel-pictures: cannot create " << folder << "\n";
        return 1;
    }

    PanelFixture fixture;
    QJsonArray cameras;
    const QStringList products = {"URSA Broadcast G2", "Studio Camera 4K Pro G2", "Pocket Cinema Camera 6K G2"};
    for (int n = 0; n < products.size(); ++n) {
        CameraSimulator* simulator = fixture.simulator(products.at(n));
        if (!simulator)
            return 1;
        QJsonObject camera = PanelFixture::camera(QStringLiteral("cam-%1").arg(n), QStringLiteral("Cam %1").arg(n + 1),
                                                  simulator->hostAndPort(), n + 1, false);
        camera.insert("mac", QStringLiteral("7c:2e:0d:1a:2b:%1").arg(n + 10));
        cameras.append(camera);
    }
    cameras.append(PanelFixture::camera("cam-error", "Jib", "127.0.0.1:1", 7, false));
    cameras.append(PanelFixture::camera("cam-off", "Wide Shot", "192.168.13.44", 12, true));
    // The pictures show a scan in progress, over a loopback subnet where nothing answers.
    fixture.network.interfaces = {ScriptedNetwork::wired("eth0", "127.16.13.1", 24),
                                  ScriptedNetwork::wired("wlp2s0", "10.0.0.7", 16)};
    fixture.network.macs.insert("192.168.13.61", "7c:2e:0d:44:55:66");

    CameraPanel cameraPanel(fixture.manager.get(), nullptr, &fixture.network, &fixture.boxes);
    PresetPanel presetPanel(fixture.manager.get(), nullptr, &fixture.boxes);
    fixture.loadCameras(cameras);
    CameraList* list = fixture.manager->cameraList();
    if (!waitFor([&] {
            return list->camera("cam-2")->status == CameraStatus::Connected
                && list->camera("cam-error")->status == CameraStatus::Error;
        })) {
        err << "kovra-panel-pictures: the simulated cameras did not connect\n";
        return 1;
    }
    QTemporaryDir noBrowseTools;
    QProcessEnvironment environment;
    environment.insert("PATH", noBrowseTools.path());
    cameraPanel.findChild<CameraScanner*>()->setProcessEnvironment(environment);
    cameraPanel.onScanNetwork();
    auto* progress = cameraPanel.findChild<QProgressBar*>("scanProgress");
    if (!waitFor([&] { return progress->value() == 254; })) {
        err << "kovra-panel-pictures: the scan did not progress\n";
        return 1;
    }
    cameraPanel.addDiscovered({"192.168.13.61", "Studio-Camera-4K.local", "Studio Camera 4K Pro G2", "8.6", true});
    cameraPanel.addDiscovered({"192.168.13.70", QString(), "HyperDeck Studio HD Plus", "8.1", false});
    cameraPanel.setCurrentCamera("cam-1");

    presetPanel.setCurrentCamera("cam-0");
    auto* presets = presetPanel.findChild<QListWidget*>("presetList");
    fixture.manager->sendCommand("cam-0", "presets/active", QJsonObject{{"preset", "Interview.cset"}});
    if (!waitFor([&] { return presets->count() == 2 && presets->item(1)->text().endsWith(QStringLiteral("◀")); })) {
        err << "kovra-panel-pictures: the preset list did not arrive\n";
        return 1;
    }
    presets->setCurrentRow(0);

    QTextStream out(stdout);
    for (Inst::Appearance appearance : {Inst::Dark, Inst::Light}) {
        Inst::setAppearance(appearance);
        Inst::setDark(Inst::wantsDark());
        cameraPanel.applyLook();
        for (auto [panel, name] : {std::pair<QWidget*, const char*>{&cameraPanel, "cameras"}, {&presetPanel, "presets"}}) {
            const QString path =
                QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(name, Inst::appearanceName(appearance)));
            if (!save(panel, path)) {
                err << "kovra-panel-pictures: cannot write " << path << "\n";
                return 1;
            }
            out << path << "\n";
        }
    }
    return 0;
}
