#include "AppCore.h"

#include "AppLog.h"
#include "ArpLookup.h"
#include "CameraApi.h"
#include "CameraManager.h"
#include "CameraScanner.h"
#include "MidiBridge.h"
#include "MidiListener.h"
#include "MidiMapping.h"
#include "OscBridge.h"
#include "OscListener.h"
#include "OscListenerControl.h"
#include "OscSender.h"
#include "SwitcherManager.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

namespace {

QString dataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder;
}

// The platform settings store keeps no types on every platform ("58000", "true"); give
// numbers and flags back their JSON types so that one reader checks every source alike.
QJsonObject settingsStoreValues()
{
    const QSettings store;
    QJsonObject values;
    for (const char* key : {"oscPort", "oscOutPort", "midiPort"}) {
        if (!store.contains(key))
            continue;
        const QVariant value = store.value(key);
        bool isNumber = false;
        const int number = value.toInt(&isNumber);
        values.insert(key, isNumber ? QJsonValue(number) : QJsonValue(value.toString()));
    }
    for (const char* key : {"oscListenInterface", "oscOutIp", "oscSendInterface", "midiPortName"}) {
        if (store.contains(key))
            values.insert(key, store.value(key).toString());
    }
    if (store.contains("oscOutEnabled")) {
        const QString flag = store.value("oscOutEnabled").toString();
        values.insert("oscOutEnabled",
                      flag == QLatin1String("true") || flag == QLatin1String("false") ? QJsonValue(flag == QLatin1String("true"))
                                                                                   : QJsonValue(flag));
    }
    return values;
}

void logReadWarnings(const QString& path, const QStringList& warnings)
{
    for (const QString& warning : warnings)
        qCWarning(lcApp).noquote() << "Config:" << QFileInfo(path).fileName() + ":" << warning;
}

}

AppCore::AppCore(bool offline, QObject* parent)
    : QObject(parent)
    , m_offline(offline)
    , m_arp(offline ? nullptr : new SystemArpSource(this))
    , m_cameraManager(new CameraManager(this, m_arp))
    , m_oscListener(new OscListener(this))
    , m_oscSender(new OscSender(this))
    , m_oscBridge(new OscBridge(m_cameraManager, this))
    , m_midiListener(new MidiListener(this))
    , m_midiMapping(new MidiMapping(this))
    , m_midiBridge(new MidiBridge(m_cameraManager, m_midiMapping, this))
    , m_switcher(new SwitcherManager(this))
{
    if (m_offline)
        m_cameraManager->api()->setOffline(true);
    m_switcher->setApi(m_cameraManager->api());

    m_autoSaveTimer.setInterval(autoSaveIntervalMs);
    m_readinessTimer.setInterval(readinessDelayMs);
    m_readinessTimer.setSingleShot(true);
    m_feedbackTimer.setInterval(feedbackBatchMs);
    m_feedbackTimer.setSingleShot(true);
    connect(&m_autoSaveTimer, &QTimer::timeout, this, &AppCore::autoSave);
    connect(&m_readinessTimer, &QTimer::timeout, this, &AppCore::reportReadiness);
    connect(&m_feedbackTimer, &QTimer::timeout, this, &AppCore::flushFeedback);
    connectComponents();
}

AppCore::~AppCore()
{
    // Browse processes and probes end before the components they report to.
    delete m_scanner;
}

void AppCore::connectComponents()
{
    connect(m_oscListener, &OscListener::messageReceived, m_oscBridge, &OscBridge::onOscMessage);
    connect(m_oscListener, &OscListener::listenError, this, [this](const QString& message) {
        setStatus(m_oscStatus, QStringLiteral("OSC: ERROR"), &AppCore::oscStatusChanged);
        emit statusMessage(QStringLiteral("OSC: %1").arg(message), 10000);
        qCWarning(lcApp) << "OSC listen error:" << message;
    });
    connect(m_oscListener, &OscListener::started, this, [this](int port) {
        setStatus(m_oscStatus, QStringLiteral("OSC: in %1").arg(port), &AppCore::oscStatusChanged);
    });

    connect(m_midiListener, &MidiListener::ccChanged, m_midiBridge, &MidiBridge::onCcChanged);
    connect(m_midiListener, &MidiListener::noteOn, m_midiBridge, &MidiBridge::onNoteOn);
    connect(m_midiListener, &MidiListener::noteOff, m_midiBridge, &MidiBridge::onNoteOff);
    connect(m_midiListener, &MidiListener::programChange, m_midiBridge, &MidiBridge::onProgramChange);
    connect(m_midiListener, &MidiListener::mscGo, m_midiBridge, &MidiBridge::onMscGo);
    connect(m_midiListener, &MidiListener::portOpened, this, [this](const QString& name) {
        m_midiPortName = name;
        setStatus(m_midiStatus, QStringLiteral("MIDI: %1").arg(name), &AppCore::midiStatusChanged);
    });
    connect(m_midiListener, &MidiListener::portError, this, [this](const QString& message) {
        setStatus(m_midiStatus, QStringLiteral("MIDI: error"), &AppCore::midiStatusChanged);
        qCDebug(lcApp) << "MIDI error:" << message;
    });

    connect(m_switcher, &SwitcherManager::connected, this, [this](const QString& productName) {
        setStatus(m_switcherStatus, QStringLiteral("SW: %1").arg(productName), &AppCore::switcherStatusChanged);
    });
    connect(m_switcher, &SwitcherManager::disconnected, this, [this] {
        setStatus(m_switcherStatus, QStringLiteral("SW: off"), &AppCore::switcherStatusChanged);
    });
    connect(m_switcher, &SwitcherManager::connectionFailed, this, [this](const QString& reason) {
        setStatus(m_switcherStatus, QStringLiteral("SW: error"), &AppCore::switcherStatusChanged);
        emit logLine(QStringLiteral("ERROR"), QStringLiteral("Switcher connection failed: %1").arg(reason));
    });

    connect(m_cameraManager, &CameraManager::cameraListChanged, this, [this] {
        if (m_switcher->isVirtual())
            m_switcher->setVirtualInputs(m_cameraManager->cameraList()->allCameras());
        updateCamerasStatus(true);
    });
    connect(m_cameraManager, &CameraManager::cameraStatusChanged, this, [this] { updateCamerasStatus(false); });
    connect(m_cameraManager, &CameraManager::cameraStateUpdated, this, &AppCore::scheduleFeedback);
    connect(m_cameraManager, &CameraManager::connectionError, this, [this](const QString& cameraId, const QString& error) {
        const Camera* camera = m_cameraManager->cameraList()->camera(cameraId);
        emit logLine(QStringLiteral("ERROR"), QStringLiteral("[%1] %2").arg(camera ? camera->name : cameraId, error));
    });
    CameraApi* api = m_cameraManager->api();
    connect(api, &CameraApi::putFinished, this,
            [this](const QString& ip, const QString& endpoint, bool ok, const QString& error) {
                if (!ok)
                    emit logLine(QStringLiteral("ERROR"), QStringLiteral("PUT %1/%2: %3").arg(ip, endpoint, error));
            });
    connect(api, &CameraApi::getFinished, this, [this](const QString& ip, const QString& endpoint, const QJsonObject& json) {
        if (json.isEmpty())
            logEmptyReply(ip, endpoint);
    });
}

void AppCore::start()
{
    if (m_offline || m_started)
        return;
    m_started = true;

    loadAllFromAppData();
    updateCamerasStatus(true);
    m_oscListener->setPort(m_oscPort);
    m_oscListener->start();

    m_switcher->startVirtual();
    m_switcher->setVirtualInputs(m_cameraManager->cameraList()->allCameras());

    m_scanner = new CameraScanner(this);
    connect(m_scanner, &CameraScanner::cameraFound, this, &AppCore::onAutoDiscoveredCamera);
    QTimer::singleShot(mdnsBrowseDelayMs, m_scanner, &CameraScanner::scanMdns);

    m_autoSaveTimer.start();
    if (const int count = m_cameraManager->cameraList()->count())
        emit statusMessage(QStringLiteral("Connecting to %1 camera(s)...").arg(count), 15000);
    m_readinessTimer.start();
}

void AppCore::setStatus(QString& current, const QString& text, void (AppCore::*changed)(const QString&))
{
    if (current == text)
        return;
    current = text;
    emit(this->*changed)(text);
}

void AppCore::updateCamerasStatus(bool listChanged)
{
    const QList<Camera> cameras = m_cameraManager->cameraList()->allCameras();
    if (listChanged) {
        setStatus(m_camerasStatus, QStringLiteral("Cameras: %1").arg(cameras.size()), &AppCore::camerasStatusChanged);
        return;
    }
    const auto connected = std::count_if(cameras.begin(), cameras.end(),
                                         [](const Camera& camera) { return camera.status == CameraStatus::Connected; });
    setStatus(m_camerasStatus, QStringLiteral("Cameras: %1/%2 connected").arg(connected).arg(cameras.size()),
              &AppCore::camerasStatusChanged);
}

void AppCore::scheduleFeedback(const QString& cameraId)
{
    if (!m_oscSender->isEnabled())
        return;
    m_pendingFeedback.insert(cameraId);
    if (!m_feedbackTimer.isActive())
        m_feedbackTimer.start();
}

void AppCore::flushFeedback()
{
    const QSet<QString> due = std::exchange(m_pendingFeedback, {});
    if (!m_oscSender->isEnabled())
        return;
    CameraList* list = m_cameraManager->cameraList();
    for (const QString& cameraId : due) {
        const Camera* camera = list->camera(cameraId);
        const CameraState* state = list->state(cameraId);
        if (camera && state)
            m_oscSender->sendState(camera->oscIndex, *state);
    }
}

void AppCore::reportReadiness()
{
    int counted = 0;
    int connected = 0;
    QStringList missing;
    for (const Camera& camera : m_cameraManager->cameraList()->allCameras()) {
        if (camera.manuallyDisconnected)
            continue;
        ++counted;
        if (camera.status == CameraStatus::Connected)
            ++connected;
        else if (!camera.mac.isEmpty())
            missing << camera.name;
    }
    if (!missing.isEmpty())
        emit statusMessage(QStringLiteral("%1 not found at saved IP — try scanning the network on the Cameras tab to relocate")
                               .arg(missing.join(QStringLiteral(", "))),
                           15000);
    else if (counted > 0)
        emit statusMessage(QStringLiteral("Ready — %1 of %2 camera(s) connected").arg(connected).arg(counted), 5000);
}

void AppCore::logEmptyReply(const QString& ip, const QString& endpoint)
{
    // A camera that stops answering would otherwise add a line per endpoint every sweep.
    const QString key = ip + QLatin1Char('/') + endpoint;
    if (m_reportedEmptyReplies.contains(key))
        return;
    m_reportedEmptyReplies.insert(key);
    emit logLine(QStringLiteral("WARN"), QStringLiteral("GET %1: no reply (further failures not logged)").arg(key));
}

void AppCore::onAutoDiscoveredCamera(const DiscoveredCamera& found)
{
    CameraList* list = m_cameraManager->cameraList();
    if (!found.isCamera || list->cameraByIp(found.ip))
        return;
    const QString mac = m_arp ? m_arp->macForIp(found.ip) : QString();
    if (const Camera* known = list->cameraByMac(mac)) {
        if (known->manuallyDisconnected)
            return;
        const QString cameraId = known->id;
        emit statusMessage(QStringLiteral("Relocated %1: %2 → %3").arg(known->name, known->ip, found.ip), 5000);
        m_cameraManager->relocateCamera(cameraId, found.ip);
        return;
    }
    emit cameraSuggested(found);
    emit statusMessage(QStringLiteral("Found %1 (%2) - add it on the Cameras tab")
                           .arg(found.hostname.isEmpty() ? found.productName : found.hostname, found.ip),
                       8000);
}

bool AppCore::selectMidiPortByName(const QString& name)
{
    // Kept as the choice even when absent, so that the desk is found again once it is
    // plugged in and the program restarted, instead of being forgotten at the next save.
    m_midiPortName = name;
    const int index = MidiListener::availablePorts().indexOf(name);
    if (index < 0)
        qCWarning(lcApp) << "MIDI: port" << name << "is not present";
    if (m_midiPortRoute.select)
        m_midiPortRoute.select(name);
    else if (index >= 0)
        m_midiListener->openPort(index);
    return index >= 0;
}

QString AppCore::midiPortName() const
{
    return m_midiPortRoute.currentName ? m_midiPortRoute.currentName() : m_midiPortName;
}

QString AppCore::appDataConfigPath() const
{
    return dataFolder() + QStringLiteral("/config.json");
}

ConfigSettings AppCore::currentSettings() const
{
    ConfigSettings settings;
    settings.oscPort = m_oscPort;
    settings.oscListenInterface = m_oscListener->bindAddress();
    settings.oscOutIp = m_oscSender->destinationIp();
    settings.oscOutPort = m_oscSender->destinationPort();
    settings.oscOutEnabled = m_oscSender->isEnabled();
    settings.oscSendInterface = m_oscSender->localInterface();
    settings.midiPort = m_midiListener->currentPort();
    settings.midiPortName = midiPortName();
    return settings;
}

QByteArray AppCore::currentDocument(ConfigFile::Scope scope) const
{
    return ConfigFile::write(m_cameraManager->cameraList()->toJsonArray(), m_midiMapping->toJson(), currentSettings(),
                             scope);
}

bool AppCore::saveAllToAppData()
{
    if (m_offline)
        return false;
    const QString path = appDataConfigPath();
    const QString backup = path + QStringLiteral(".bak");
    if (QFileInfo(path).isFile()) {
        QFile::remove(backup);
        if (!QFile::copy(path, backup))
            qCWarning(lcApp) << "Config: cannot copy" << path << "to" << backup;
    }
    return writeDocument(path, ConfigFile::Scope::AppData);
}

bool AppCore::writeDocument(const QString& path, ConfigFile::Scope scope) const
{
    // Replaces the file only once the whole document is written: a full disk or a crash
    // leaves the previous one in place, and the caller learns that nothing was saved.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcApp) << "Config: cannot open" << path << "for writing:" << file.errorString();
        return false;
    }
    file.write(currentDocument(scope));
    if (!file.commit()) {
        qCWarning(lcApp) << "Config: write failed:" << file.errorString();
        return false;
    }
    return true;
}

void AppCore::autoSave()
{
    if (!m_offline)
        saveAllToAppData();
}

std::optional<ConfigDocument> AppCore::readDocumentFile(const QString& path, int defaultOscPort) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcApp) << "Config: cannot read" << path << ":" << file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.read(ConfigFile::maxDocumentBytes + 1);
    if (bytes.size() > ConfigFile::maxDocumentBytes) {
        qCWarning(lcApp) << "Config:" << path << "is larger than" << ConfigFile::maxDocumentBytes << "bytes - not read";
        return std::nullopt;
    }
    QString error;
    std::optional<ConfigDocument> document = ConfigFile::read(bytes, defaultOscPort, &error);
    if (!document)
        qCWarning(lcApp) << "Config:" << path << "is not a configuration:" << error;
    else
        logReadWarnings(path, document->warnings);
    return document;
}

QString AppCore::moveAside(const QString& path) const
{
    const QString stem = path + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    return QDir().rename(path, aside) ? aside : QString();
}

void AppCore::loadAllFromAppData()
{
    if (m_offline)
        return;
    const QString path = appDataConfigPath();
    std::optional<ConfigDocument> document;
    if (QFileInfo::exists(path)) {
        document = readDocumentFile(path, ConfigSettings::defaultOscPort);
        if (!document) {
            // Replacing it at the next save, and its backup at the one after, would lose the
            // whole show over one typo; keep it for the operator to mend instead.
            const QString aside = moveAside(path);
            if (aside.isEmpty())
                qCWarning(lcApp) << "Config: cannot move the unreadable" << path << "aside";
            else
                qCWarning(lcApp) << "Config: unreadable" << path << "moved aside to" << aside;
            const QString backup = path + QStringLiteral(".bak");
            if (QFileInfo::exists(backup))
                document = readDocumentFile(backup, ConfigSettings::defaultOscPort);
            const QString kept = aside.isEmpty() ? path : QFileInfo(aside).fileName();
            emit statusMessage(document ? QStringLiteral("config.json could not be read (kept as %1) - loaded its backup").arg(kept)
                                        : QStringLiteral("config.json could not be read (kept as %1)").arg(kept),
                               15000);
        }
    }

    if (document) {
        applyDocument(*document);
        // Without settings the listen port is the default one: 8000 is the old port that
        // version 2 moved away from.
        if (document->hasSettings)
            applyStartupSettings(document->settings);
        else
            m_oscPort = ConfigSettings::defaultOscPort;
    } else {
        loadSettings();
        m_cameraManager->loadConfig();
        const QString mappings = dataFolder() + QStringLiteral("/midi_mappings.json");
        if (QFileInfo::exists(mappings))
            m_midiMapping->load(mappings);
    }
    emit configurationApplied();
}

void AppCore::loadSettings()
{
    if (m_offline)
        return;
    QStringList warnings;
    const ConfigSettings settings = ConfigFile::readSettings(settingsStoreValues(), false, ConfigSettings::defaultOscPort,
                                                             &warnings);
    for (const QString& warning : warnings)
        qCWarning(lcApp).noquote() << "Settings:" << warning;
    applyStartupSettings(settings);
}

void AppCore::applyDocument(const ConfigDocument& document)
{
    if (!document.cameras.isEmpty()) {
        m_cameraManager->cameraList()->fromJsonArray(document.cameras);
        m_cameraManager->syncAfterExternalLoad();
    }
    if (!document.midi.isEmpty())
        m_midiMapping->fromJson(document.midi);
}

void AppCore::applyStartupSettings(const ConfigSettings& settings)
{
    m_oscPort = settings.oscPort;
    m_oscListener->setBindAddress(resolveListenInterface(settings.oscListenInterface));
    applyFeedbackSettings(settings);
    if (!settings.midiPortName.isEmpty())
        selectMidiPortByName(settings.midiPortName);
    else if (settings.midiPort >= 0)
        m_midiListener->openPort(settings.midiPort);
}

void AppCore::applyFeedbackSettings(const ConfigSettings& settings)
{
    m_oscSender->setLocalInterface(settings.oscSendInterface);
    m_oscSender->setDestination(settings.oscOutIp, settings.oscOutPort);
    m_oscSender->setEnabled(settings.oscOutEnabled);
}

bool AppCore::saveConfigToFile(const QString& path)
{
    if (m_offline)
        return false;
    return writeDocument(path, ConfigFile::Scope::Export);
}

bool AppCore::loadConfigFromFile(const QString& path)
{
    if (m_offline)
        return false;
    // Everything is read and checked before anything changes: a refused file changes nothing.
    const std::optional<ConfigDocument> document = readDocumentFile(path, m_oscPort);
    if (!document)
        return false;
    applyDocument(*document);
    if (document->hasSettings) {
        const ConfigSettings& settings = document->settings;
        const QString bindAddress = resolveListenInterface(settings.oscListenInterface);
        if (settings.oscPort != m_oscPort || bindAddress != m_oscListener->bindAddress()) {
            m_oscPort = settings.oscPort;
            OscListenerControl::restart(m_oscListener, m_oscPort, bindAddress);
        }
        applyFeedbackSettings(settings);
    }
    emit configurationApplied();
    saveAllToAppData();
    return true;
}

QString AppCore::resolveListenInterface(const QString& saved)
{
    if (!saved.isEmpty()) {
        const QList<QHostAddress> present = QNetworkInterface::allAddresses();
        if (std::any_of(present.begin(), present.end(), [&](const QHostAddress& address) { return address.toString() == saved; }))
            return saved;
    }
    QString chosen;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning)
            || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                chosen = entry.ip().toString();
                break;
            }
        }
        if (!chosen.isEmpty())
            break;
    }
    if (saved.isEmpty())
        qCInfo(lcApp) << "OSC: no listen interface saved - using" << chosen;
    else
        qCWarning(lcApp) << "OSC: saved listen interface" << saved << "is not present - using" << chosen;
    return chosen;
}
