#pragma once

#include "ConfigDocument.h"
#include "DiscoveredCamera.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class ArpSource;
class CameraManager;
class CameraScanner;
class MidiBridge;
class MidiListener;
class MidiMapping;
class OscBridge;
class OscListener;
class OscSender;
class SwitcherManager;

// The program without its window: every long-lived component, the connections between
// them, the start-up sequence and the configuration files. The window and the headless
// bridge both run on it; what an operator should see leaves as signals with its text.
class AppCore : public QObject {
    Q_OBJECT
public:
    static constexpr int initialOscPort = 8000;
    static constexpr int autoSaveIntervalMs = 30000;
    static constexpr int mdnsBrowseDelayMs = 2000;
    static constexpr int readinessDelayMs = 10000;
    static constexpr int feedbackBatchMs = 150;

    // Offline: the components exist, but nothing is sent, read, written or started.
    explicit AppCore(bool offline, QObject* parent = nullptr);
    ~AppCore() override;

    // Loads the configuration, starts the OSC listener, the virtual switcher, the network
    // browse and the timers. Connect to the signals first: start-up already reports.
    void start();
    bool isOffline() const { return m_offline; }

    CameraManager* cameraManager() const { return m_cameraManager; }
    OscListener* oscListener() const { return m_oscListener; }
    OscSender* oscSender() const { return m_oscSender; }
    OscBridge* oscBridge() const { return m_oscBridge; }
    MidiListener* midiListener() const { return m_midiListener; }
    MidiMapping* midiMapping() const { return m_midiMapping; }
    MidiBridge* midiBridge() const { return m_midiBridge; }
    SwitcherManager* switcher() const { return m_switcher; }
    // Exists from start() on, never offline.
    CameraScanner* scanner() const { return m_scanner; }

    int oscPort() const { return m_oscPort; }
    // For a listen port changed elsewhere (the OSC tab restarts the listener itself).
    void setOscPort(int port) { m_oscPort = port; }

    // Where the MIDI input is chosen by name and its name read back for saving. Without a
    // route the core looks the name up in the MIDI system's port list itself; the window
    // routes both through its MIDI panel, which shows the choice. Set before start().
    struct MidiPortRoute {
        std::function<void(const QString& name)> select;
        std::function<QString()> currentName;
    };
    void setMidiPortRoute(MidiPortRoute route) { m_midiPortRoute = std::move(route); }

    // The chosen MIDI input, as stored in the configuration.
    QString midiPortName() const;
    // Opens the input port with exactly this name; false when no such port exists now.
    bool selectMidiPortByName(const QString& name);

    QString appDataConfigPath() const;
    bool saveAllToAppData();
    void loadAllFromAppData();
    bool saveConfigToFile(const QString& path);
    bool loadConfigFromFile(const QString& path);
    // The platform settings, read only when no configuration document could be used.
    void loadSettings();
    void autoSave();

    // For tests, before start(); the program waits readinessDelayMs.
    void setReadinessDelayMs(int milliseconds) { m_readinessTimer.setInterval(milliseconds); }

    // The current status texts ("OSC: in 58000", "Cameras: 2/3 connected", "MIDI: ...", "SW: ...").
    QString oscStatus() const { return m_oscStatus; }
    QString camerasStatus() const { return m_camerasStatus; }
    QString midiStatus() const { return m_midiStatus; }
    QString switcherStatus() const { return m_switcherStatus; }

signals:
    // Each emitted only when its text changes.
    void oscStatusChanged(const QString& text);
    void camerasStatusChanged(const QString& text);
    void midiStatusChanged(const QString& text);
    void switcherStatusChanged(const QString& text);
    // A transient message for the status bar.
    void statusMessage(const QString& text, int timeoutMs);
    // A line for the operator's log ("INFO", "WARN", "ERROR").
    void logLine(const QString& level, const QString& text);
    // A camera found on the network that is not configured; statusMessage says so too.
    void cameraSuggested(const DiscoveredCamera& camera);
    // A configuration was loaded or imported: cameras and OSC settings may have changed.
    void configurationApplied();

public slots:
    // Relocates a known camera found under a new address, or suggests adding the device.
    void onAutoDiscoveredCamera(const DiscoveredCamera& found);

private:
    void connectComponents();
    void setStatus(QString& current, const QString& text, void (AppCore::*changed)(const QString&));
    void updateCamerasStatus(bool listChanged);
    void scheduleFeedback(const QString& cameraId);
    void flushFeedback();
    void reportReadiness();
    void logEmptyReply(const QString& ip, const QString& endpoint);

    ConfigSettings currentSettings() const;
    QByteArray currentDocument(ConfigFile::Scope scope) const;
    bool writeDocument(const QString& path, ConfigFile::Scope scope) const;
    std::optional<ConfigDocument> readDocumentFile(const QString& path, int defaultOscPort) const;
    QString moveAside(const QString& path) const;
    void applyDocument(const ConfigDocument& document);
    void applyStartupSettings(const ConfigSettings& settings);
    void applyFeedbackSettings(const ConfigSettings& settings);
    static QString resolveListenInterface(const QString& saved);

    bool m_offline;
    bool m_started = false;
    ArpSource* m_arp = nullptr;
    CameraManager* m_cameraManager;
    OscListener* m_oscListener;
    OscSender* m_oscSender;
    OscBridge* m_oscBridge;
    MidiListener* m_midiListener;
    MidiMapping* m_midiMapping;
    MidiBridge* m_midiBridge;
    SwitcherManager* m_switcher;
    CameraScanner* m_scanner = nullptr;

    int m_oscPort = initialOscPort;
    QString m_midiPortName;
    MidiPortRoute m_midiPortRoute;
    QTimer m_autoSaveTimer;
    QTimer m_readinessTimer;
    QTimer m_feedbackTimer;
    QSet<QString> m_pendingFeedback;
    QSet<QString> m_reportedEmptyReplies;

    QString m_oscStatus;
    QString m_camerasStatus;
    QString m_midiStatus;
    QString m_switcherStatus;
};
