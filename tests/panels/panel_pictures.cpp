// kovra-panel-pictures DIR: pictures of the Cameras, Presets, Video, Color, Audio, System and
// MIDI tabs at 1200 px, with three simulated cameras and a few other states, in both
// appearances. Made without a display.
#include "AudioPanel.h"
#include "CameraPanel.h"
#include "CameraScanner.h"
#include "ColorPanel.h"
#include "Inst.h"
#include "MidiBridge.h"
#include "MidiListener.h"
#include "MidiMapping.h"
#include "MidiPanel.h"
#include "PanelFixture.h"
#include "PresetPanel.h"
#include "Startup.h"
#include "SystemPanel.h"
#include "VideoPanel.h"
#include "WindowStartup.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
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

bool save(QWidget* panel, const QString& path, int height = 760)
{
    Inst::applyTo(panel);
    panel->show();
    panel->resize(1200, height);
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

    // The camera-following tabs show the first camera while it records.
    VideoPanel videoPanel(fixture.manager.get());
    ColorPanel colorPanel(fixture.manager.get());
    AudioPanel audioPanel(fixture.manager.get());
    SystemPanel systemPanel(fixture.manager.get());
    fixture.manager->sendCommand("cam-0", "transports/0/record", QJsonObject{{"recording", true}});
    if (!waitFor([&] { return fixture.simulators.front()->isRecording(); })) {
        err << "kovra-panel-pictures: the first camera did not start recording\n";
        return 1;
    }
    fixture.manager->fetchState("cam-0");
    if (!waitFor([&] { return list->state("cam-0")->recording; })) {
        err << "kovra-panel-pictures: the recording state did not arrive\n";
        return 1;
    }
    videoPanel.setCurrentCamera("cam-0");
    colorPanel.setCurrentCamera("cam-0");
    audioPanel.setCurrentCamera("cam-0");
    systemPanel.setCurrentCamera("cam-0");

    // Two mappings and two triggers, and a third trigger, new, being learnt.
    MidiListener midiListener;
    MidiMapping midiMapping;
    MidiBridge midiBridge(fixture.manager.get(), &midiMapping);
    MidiPanel midiPanel(&midiListener, &midiMapping, &midiBridge, fixture.manager.get(), nullptr, &fixture.boxes);
    midiMapping.addMapping({0, 1, QString(), "lens/iris:normalised", 0.0, 1.0, MidiMapEntry::Linear});
    midiMapping.addMapping({2, 7, "cam-1", "colorCorrection/color:saturation", 0.0, 2.0, MidiMapEntry::Log});
    midiMapping.addTrigger({MidiTriggerEntry::ProgramChange, 0, 12, QString(), "preset/recall", "Wide.cset", "cam-0"});
    midiMapping.addTrigger({MidiTriggerEntry::MscGo, 127, 60, "101.2", "preset/recall", "Interview.cset", QString()});
    midiMapping.addTrigger({MidiTriggerEntry::NoteOn, -1, -1, QString(), "preset/recall", QString(), QString()});
    midiPanel.findChild<QTableWidget*>("midiTriggers")->setCurrentCell(2, 0);
    for (QPushButton* button : midiPanel.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Learn") && button->toolTip().contains(QStringLiteral("trigger")))
            button->click();
    }

    QTextStream out(stdout);
    for (Inst::Appearance appearance : {Inst::Dark, Inst::Light}) {
        Inst::setAppearance(appearance);
        Inst::setDark(Inst::wantsDark());
        cameraPanel.applyLook();
        midiPanel.applyLook();
        const struct {
            QWidget* panel;
            const char* name;
            int height;
        } tabs[] = {{&cameraPanel, "cameras", 760}, {&presetPanel, "presets", 760}, {&videoPanel, "video", 900},
                    {&colorPanel, "color", 900},     {&audioPanel, "audio", 900},     {&systemPanel, "system", 1000},
                    {&midiPanel, "midi", 1100}};
        for (const auto& tab : tabs) {
            const QString path =
                QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(tab.name, Inst::appearanceName(appearance)));
            if (!save(tab.panel, path, tab.height)) {
                err << "kovra-panel-pictures: cannot write " << path << "\n";
                return 1;
            }
            out << path << "\n";
        }
    }
    return 0;
}
