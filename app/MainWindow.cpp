#include "MainWindow.h"

#include "AppCore.h"
#include "CameraManager.h"
#include "AudioPanel.h"
#include "CameraPanel.h"
#include "ColorPanel.h"
#include "FileLogger.h"
#include "InstChip.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "InstModuleHeader.h"
#include "InstTabs.h"
#include "LogPanel.h"
#include "MidiPanel.h"
#include "ModalBoxes.h"
#include "OscListener.h"
#include "OscMonitor.h"
#include "OscSender.h"
#include "PresetPanel.h"
#include "SystemPanel.h"
#include "Updater.h"
#include "VideoPanel.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyleHints>
#include <QTimer>
#include <QVBoxLayout>

#include <type_traits>
#include <utility>

namespace {

const QSize defaultSize(1200, 1100);
const QString configFilter = QStringLiteral("Kovra Config (*.kovra)");

// What a panel takes part in follows from what it offers.
template <typename P, typename = void>
struct FollowsCamera : std::false_type {};
template <typename P>
struct FollowsCamera<P, std::void_t<decltype(std::declval<P&>().setCurrentCamera(QString()))>> : std::true_type {};

template <typename P, typename = void>
struct FollowsState : std::false_type {};
template <typename P>
struct FollowsState<P, std::void_t<decltype(std::declval<P&>().updateFromState(QString()))>> : std::true_type {};

template <typename P, typename = void>
struct FollowsLook : std::false_type {};
template <typename P>
struct FollowsLook<P, std::void_t<decltype(std::declval<P&>().applyLook())>> : std::true_type {};

QLabel* statusLabel(const QString& text, QWidget* parent, const char* objectName)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    label->setFont(Inst::mono(11.5));
    Inst::setTone(label, "muted");
    return label;
}

}

MainWindow::MainWindow(QWidget* parent, bool offline, ModalBoxes* boxes)
    : QMainWindow(parent)
    , m_offline(offline)
    , m_boxes(ModalBoxes::orStandard(boxes))
    , m_core(new AppCore(offline, this))
{
    setupUi();
    setupMenus();
    setupStatusBar();
    applyLook();
    connectCore();

    setWindowTitle(QStringLiteral("Kovra Control"));
    setMinimumSize(1020, 560);
    if (m_offline) {
        resize(defaultSize);
        return;
    }
    m_statusTimer->start();
    m_core->start();
    restoreWindow();
}

MainWindow::~MainWindow() = default;

template <typename Panel>
Panel* MainWindow::addPanel(Panel* panel, const QString& title)
{
    m_tabs->addTab(panel, title);
    if constexpr (FollowsCamera<Panel>::value)
        m_cameraFollowers.append([panel](const QString& cameraId) { panel->setCurrentCamera(cameraId); });
    if constexpr (FollowsState<Panel>::value)
        m_stateFollowers.append([panel](const QString& cameraId) { panel->updateFromState(cameraId); });
    if constexpr (FollowsLook<Panel>::value)
        m_lookFollowers.append([panel] { panel->applyLook(); });
    return panel;
}

void MainWindow::setupTabs()
{
    // One line per tab, in the order of the tab strip.
    CameraManager* manager = m_core->cameraManager();
    m_cameraPanel = addPanel(new CameraPanel(manager, m_tabs, nullptr, m_boxes), QStringLiteral("Cameras"));
    addPanel(new VideoPanel(manager, m_tabs), QStringLiteral("Video"));
    addPanel(new ColorPanel(manager, m_tabs), QStringLiteral("Color"));
    addPanel(new AudioPanel(manager, m_tabs), QStringLiteral("Audio"));
    addPanel(new SystemPanel(manager, m_tabs), QStringLiteral("System"));
    addPanel(new PresetPanel(manager, m_tabs, m_boxes), QStringLiteral("Presets"));
    m_midiPanel = addPanel(new MidiPanel(m_core->midiListener(), m_core->midiMapping(), m_core->midiBridge(), manager,
                                         m_tabs, m_boxes),
                           QStringLiteral("MIDI"));
    m_oscMonitor = addPanel(new OscMonitor(m_core->oscListener(), m_core->oscSender(), m_core->oscPort(), m_tabs),
                            QStringLiteral("OSC"));
    m_logPanel = addPanel(new LogPanel(m_tabs), QStringLiteral("Log"));
}

void MainWindow::setupUi()
{
    Inst::registerFonts();
    if (!m_offline)
        Inst::setAppearance(Inst::appearanceFromName(QSettings().value("app.appearance", "dark").toString()));

    auto* central = new QWidget(this);
    auto* stack = new QVBoxLayout(central);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    m_header = new InstModuleHeader(QStringLiteral("Kovra Control"), central);
    m_header->setInfo(QStringLiteral("v%1").arg(QCoreApplication::applicationVersion()));
    m_videoWarning = new InstChip(QString(), InstChip::Bad, m_header);
    m_videoWarning->setObjectName(QStringLiteral("videoWarning"));
    m_videoWarning->hide();
    m_header->addNotice(m_videoWarning);
    m_header->appearanceSelector()->setAppearance(Inst::appearance());
    m_header->appearanceSelector()->setChangeCallback([this](Inst::Appearance chosen) { onAppearanceChosen(chosen); });
    m_blinkTimer = new QTimer(this);
    m_blinkTimer->setInterval(blinkIntervalMs);
    connect(m_blinkTimer, &QTimer::timeout, this, &MainWindow::onBlink);
    stack->addWidget(m_header);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 10, 10, 10);
    body->setSpacing(10);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);

    auto* cameraBezel = new InstBezel(QStringLiteral("Camera"), central);
    m_cameraSelector = new InstCombo(cameraBezel);
    m_cameraSelector->setObjectName(QStringLiteral("cameraSelector"));
    m_cameraSelector->setMinimumWidth(360);
    cameraBezel->row()->addWidget(m_cameraSelector);
    top->addWidget(cameraBezel);

    auto* connectionBezel = new InstBezel(QStringLiteral("Connection"), central);
    connectionBezel->row()->setSpacing(8);
    m_connectionDot = new InstDot(8, connectionBezel);
    m_connectionLabel = new QLabel(connectionBezel);
    m_connectionLabel->setObjectName(QStringLiteral("connectionLabel"));
    m_connectionLabel->setFont(Inst::sans(12.5, QFont::Medium));
    m_refreshAllButton = new QPushButton(QStringLiteral("Refresh All"), connectionBezel);
    m_refreshAllButton->setObjectName(QStringLiteral("refreshAllButton"));
    Inst::style(m_refreshAllButton, Inst::Plain);
    connectionBezel->row()->addWidget(m_connectionDot);
    connectionBezel->row()->addWidget(m_connectionLabel);
    connectionBezel->row()->addStretch(1);
    connectionBezel->row()->addSpacing(4);
    connectionBezel->row()->addWidget(m_refreshAllButton);
    top->addWidget(connectionBezel, 1);
    body->addLayout(top);

    m_tabs = new InstTabs(central);
    setupTabs();
    body->addWidget(m_tabs, 1);
    stack->addLayout(body, 1);
    setCentralWidget(central);

    connect(m_cameraSelector, &QComboBox::currentIndexChanged, this, &MainWindow::onCameraSelected);
    connect(m_cameraPanel, &CameraPanel::cameraActivated, this, &MainWindow::selectCamera);
    // The panel's own "Reconnect All", which also keeps the cleared manual disconnections.
    connect(m_refreshAllButton, &QPushButton::clicked, m_cameraPanel, &CameraPanel::onRefreshAll);
    onCameraListChanged();
}

void MainWindow::setupMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Save Config..."), QKeySequence::Save, this, &MainWindow::onSaveConfig);
    file->addAction(QStringLiteral("&Load Config..."), QKeySequence::Open, this, &MainWindow::onLoadConfig);
    file->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, this, &MainWindow::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    m_verboseAction = view->addAction(QStringLiteral("&Verbose Logging"));
    m_verboseAction->setCheckable(true);
    m_verboseAction->setChecked(FileLogger::instance()->isVerbose());
    connect(m_verboseAction, &QAction::toggled, m_logPanel, &LogPanel::setVerbose);
    connect(m_logPanel, &LogPanel::verboseChanged, m_verboseAction, &QAction::setChecked);
    view->addAction(QStringLiteral("Open &Log File"), m_logPanel, &LogPanel::openLogFile);
    view->addAction(QStringLiteral("Show Log &Folder"), m_logPanel, &LogPanel::showLogFolder);

    QMenu* camera = menuBar()->addMenu(QStringLiteral("&Camera"));
    camera->addAction(QStringLiteral("&Add Camera..."), this, [this] { m_tabs->setCurrentIndex(0); });
    camera->addAction(QStringLiteral("&Refresh All"), m_cameraPanel, &CameraPanel::onRefreshAll);

    if (!m_updater && !m_offline)
        m_updater = std::make_unique<Updater>();
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    m_updateAction = help->addAction(QStringLiteral("Check for Updates…"), this, [this] {
        if (m_updater)
            m_updater->checkForUpdates();
    });
    m_updateAction->setMenuRole(QAction::ApplicationSpecificRole);
    m_updateAction->setEnabled(m_updater && m_updater->isAvailable());
    QAction* about = help->addAction(QStringLiteral("About Kovra Control"), this, &MainWindow::showAbout);
    about->setMenuRole(QAction::AboutRole);
}

void MainWindow::setupStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setFont(Inst::mono(11.5));
    bar->setSizeGripEnabled(false);
    m_oscLabel = statusLabel(QStringLiteral("OSC: starting..."), bar, "oscLabel");
    m_camerasLabel = statusLabel(QStringLiteral("Cameras: 0"), bar, "camerasLabel");
    m_midiLabel = statusLabel(QStringLiteral("MIDI: —"), bar, "midiLabel");
    m_switcherLabel = statusLabel(QStringLiteral("SW: —"), bar, "switcherLabel");
    m_rateLabel = statusLabel(QStringLiteral("0 msg/s"), bar, "rateLabel");
    // Transient messages get a label of their own beside the others: the status bar's message
    // area would hide the OSC, camera, MIDI and switcher read-outs for as long as it shows.
    m_messageLabel = statusLabel(QString(), bar, "messageLabel");
    Inst::setTone(m_messageLabel, "sec");
    m_messageTimer = new QTimer(this);
    m_messageTimer->setSingleShot(true);
    connect(m_messageTimer, &QTimer::timeout, m_messageLabel, &QLabel::clear);
    for (QLabel* label : {m_oscLabel, m_camerasLabel, m_midiLabel, m_switcherLabel})
        bar->addWidget(label);
    bar->addWidget(m_messageLabel, 1);
    bar->addPermanentWidget(m_rateLabel);

    m_statusTimer = new QTimer(this);
    m_statusTimer->setObjectName(QStringLiteral("statusTimer"));
    m_statusTimer->setInterval(statusIntervalMs);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::updateStatusBar);
}

void MainWindow::connectCore()
{
    connect(m_core->oscListener(), &OscListener::messageReceived, this, &MainWindow::onOscMessage);
    connect(m_core, &AppCore::oscStatusChanged, m_oscLabel, &QLabel::setText);
    connect(m_core, &AppCore::camerasStatusChanged, m_camerasLabel, &QLabel::setText);
    connect(m_core, &AppCore::midiStatusChanged, m_midiLabel, &QLabel::setText);
    connect(m_core, &AppCore::switcherStatusChanged, m_switcherLabel, &QLabel::setText);
    connect(m_core, &AppCore::statusMessage, this, &MainWindow::showStatusMessage);
    connect(m_core, &AppCore::logLine, m_logPanel, &LogPanel::log);
    connect(m_core, &AppCore::cameraSuggested, m_cameraPanel, &CameraPanel::addDiscovered);
    connect(m_core, &AppCore::configurationApplied, this, [this] {
        const OscSender* sender = m_core->oscSender();
        m_oscMonitor->setOscSettings(m_core->oscPort(), m_core->oscListener()->bindAddress(), sender->destinationIp(),
                                     sender->destinationPort(), sender->isEnabled(), sender->localInterface());
        onCameraListChanged();
    });
    connect(m_oscMonitor, &OscMonitor::listenPortChanged, m_core, &AppCore::setOscPort);
    // The saved MIDI port is chosen through the MIDI tab, which shows the choice.
    m_midiPanel->routePortChoice(m_core);

    CameraManager* manager = m_core->cameraManager();
    connect(manager, &CameraManager::cameraStateUpdated, this, &MainWindow::onCameraStateUpdated);
    connect(manager, &CameraManager::cameraListChanged, this, &MainWindow::onCameraListChanged);
    connect(manager, &CameraManager::cameraStatusChanged, this, &MainWindow::onCameraStatusChanged);

#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    connect(QGuiApplication::styleHints(), &QStyleHints::colorSchemeChanged, this, &MainWindow::applyLook);
#endif
}

void MainWindow::restoreWindow()
{
    const QSettings settings;
    if (settings.contains("geometry")) {
        restoreGeometry(settings.value("geometry").toByteArray());
        restoreState(settings.value("windowState").toByteArray());
    } else {
        resize(defaultSize);
        m_tabs->setCurrentIndex(0);
    }
}

void MainWindow::applyLook()
{
    Inst::setDark(Inst::wantsDark());
    Inst::applyTo(centralWidget());
    Inst::applyTo(statusBar());
    // Here the menu bar is part of the window, so it wears the look too.
    Inst::applyTo(menuBar());
    updateConnectionIndicator();
    for (const auto& follower : std::as_const(m_lookFollowers))
        follower();
}

void MainWindow::onAppearanceChosen(Inst::Appearance appearance)
{
    if (!m_offline)
        QSettings().setValue("app.appearance", Inst::appearanceName(appearance));
    Inst::setAppearance(appearance);
    applyLook();
}

void MainWindow::changeEvent(QEvent* event)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    // Without a colour-scheme signal, the platform theme's change is the cue.
    if (event->type() == QEvent::ThemeChange)
        applyLook();
#endif
    QMainWindow::changeEvent(event);
}

QString MainWindow::currentCameraId() const
{
    return m_cameraSelector->currentData().toString();
}

void MainWindow::onCameraListChanged()
{
    const QString remembered = currentCameraId();
    {
        const QSignalBlocker blocker(m_cameraSelector);
        m_cameraSelector->clear();
        const QList<Camera> cameras = m_core->cameraManager()->cameraList()->allCameras();
        if (cameras.isEmpty())
            m_cameraSelector->addItem(QStringLiteral("(No cameras configured)"));
        for (const Camera& camera : cameras)
            m_cameraSelector->addItem(QStringLiteral("[%1] %2  (%3) ").arg(camera.oscIndex).arg(camera.name, camera.ip),
                                      camera.id);
        int index = remembered.isEmpty() ? -1 : m_cameraSelector->findData(remembered);
        if (index < 0 && !m_offline) {
            const QString last = QSettings().value("lastCameraId").toString();
            if (!last.isEmpty())
                index = m_cameraSelector->findData(last);
        }
        if (index >= 0)
            m_cameraSelector->setCurrentIndex(index);
    }
    onCameraSelected(m_cameraSelector->currentIndex());
}

void MainWindow::onCameraStatusChanged(const QString& cameraId)
{
    if (cameraId == currentCameraId())
        updateConnectionIndicator();
}

void MainWindow::onCameraSelected(int index)
{
    const QString cameraId = m_cameraSelector->itemData(index).toString();
    updateConnectionIndicator();
    for (const auto& follower : std::as_const(m_cameraFollowers))
        follower(cameraId);
    updateVideoWarning();
    emit cameraSelected(cameraId);
}

void MainWindow::selectCamera(const QString& cameraId)
{
    const int index = m_cameraSelector->findData(cameraId, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        m_cameraSelector->setCurrentIndex(index);
}

void MainWindow::onCameraStateUpdated(const QString& cameraId)
{
    // Feedback to the desk is batched by the core; here the panels follow the selected camera.
    if (cameraId != currentCameraId())
        return;
    for (const auto& follower : std::as_const(m_stateFollowers))
        follower(cameraId);
    updateVideoWarning();
}

void MainWindow::updateConnectionIndicator()
{
    const Inst::Tokens& t = Inst::tokens();
    const Camera* camera = m_core->cameraManager()->cameraList()->camera(currentCameraId());
    QColor dot = t.mut;
    QString text;
    const char* tone = "muted";
    if (!camera) {
        text = QStringLiteral("No camera selected");
    } else {
        switch (camera->status) {
        case CameraStatus::Connecting:
            dot = t.accent;
            text = QStringLiteral("Connecting to %1…").arg(camera->ip);
            tone = "info";
            break;
        case CameraStatus::Connected:
            dot = t.led;
            text = camera->model.isEmpty() ? QStringLiteral("Connected") : camera->model;
            if (!camera->model.isEmpty() && !camera->firmware.isEmpty())
                text += QStringLiteral("  •  FW %1").arg(camera->firmware);
            text += QStringLiteral("  •  %1").arg(camera->ip);
            tone = "go";
            break;
        case CameraStatus::Error:
            dot = t.red;
            text = QStringLiteral("Connection failed — %1").arg(camera->ip);
            tone = "bad";
            break;
        case CameraStatus::NotACamera:
            dot = t.red;
            text = QStringLiteral("Not a camera — %1 at %2").arg(camera->model, camera->ip);
            tone = "bad";
            break;
        case CameraStatus::Disconnected:
            text = QStringLiteral("Disconnected — %1").arg(camera->ip);
            break;
        }
    }
    m_connectionDot->setColor(dot);
    m_connectionLabel->setText(text);
    Inst::setTone(m_connectionLabel, tone);
}

void MainWindow::updateVideoWarning()
{
    const CameraState* state = m_core->cameraManager()->cameraList()->state(currentCameraId());
    QStringList active;
    if (state && state->colorBars)
        active << QStringLiteral("COLOR BARS");
    if (state && state->programFeedDisplay)
        active << QStringLiteral("PROGRAM FEED");
    if (active.isEmpty()) {
        m_videoWarning->hide();
        m_blinkTimer->stop();
        m_videoWarning->setGraphicsEffect(nullptr);
        return;
    }
    m_videoWarning->setText(QStringLiteral("⚠ %1 ACTIVE").arg(active.join(QStringLiteral(" + "))));
    m_videoWarning->show();
    if (!m_blinkTimer->isActive())
        m_blinkTimer->start();
}

void MainWindow::onBlink()
{
    m_blinkOn = !m_blinkOn;
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_videoWarning->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(m_videoWarning);
        m_videoWarning->setGraphicsEffect(effect);
    }
    effect->setOpacity(m_blinkOn ? 1.0 : 0.45);
}

void MainWindow::showStatusMessage(const QString& text, int timeoutMs)
{
    m_messageLabel->setText(text);
    if (timeoutMs > 0)
        m_messageTimer->start(timeoutMs);
    else
        m_messageTimer->stop();
}

QString MainWindow::statusMessage() const
{
    return m_messageLabel->text();
}

void MainWindow::updateStatusBar()
{
    m_rateLabel->setText(QStringLiteral("%1 msg/s").arg(std::exchange(m_oscMessageCount, 0)));
}

void MainWindow::onOscMessage(const QString& address, const QVariantList& args)
{
    ++m_oscMessageCount;
    m_oscMonitor->logMessage(address, args);
}

void MainWindow::showAbout()
{
    const QString text =
        QStringLiteral("<h2>Kovra Control</h2><p>Version %1</p><p>Blackmagic camera control for live entertainment.</p>"
                       "<p>Drives Blackmagic cameras over their network REST API, from the desk via OSC and MIDI.</p>"
                       "<p style='color: gray; font-size: 11px;'>Made by the Kovra Control developers. "
                       "Not affiliated with Blackmagic Design.</p>")
            .arg(QCoreApplication::applicationVersion());
    m_boxes->about(this, QStringLiteral("About Kovra Control"), text, QStringLiteral(":/icons/KovraControl.png"));
}

void MainWindow::onSaveConfig()
{
    const QString path = m_boxes->saveFileName(this, QStringLiteral("Save Config"),
                                               QDir::homePath() + QStringLiteral("/Kovra Config.kovra"), configFilter);
    if (path.isEmpty())
        return;
    if (m_core->saveConfigToFile(path))
        showStatusMessage(QStringLiteral("Config saved to %1").arg(path), 5000);
    else
        m_boxes->warning(this, QStringLiteral("Save Error"), QStringLiteral("Failed to save config to %1").arg(path));
}

void MainWindow::onLoadConfig()
{
    const QString path = m_boxes->openFileName(this, QStringLiteral("Load Config"), QDir::homePath(), configFilter);
    if (path.isEmpty())
        return;
    if (m_core->loadConfigFromFile(path))
        showStatusMessage(QStringLiteral("Config loaded from %1").arg(path), 5000);
    else
        m_boxes->warning(this, QStringLiteral("Load Error"), QStringLiteral("Failed to load config from %1").arg(path));
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
        settings.setValue("lastCameraId", currentCameraId());
    }
    QMainWindow::closeEvent(event);
}
