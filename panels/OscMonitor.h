#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantList>
#include <QWidget>

class InstCombo;
class InstToggle;
class OscListener;
class OscSender;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The OSC tab: where OSC is received (interface and port of the listener) and where feedback
// goes (interface, destination and switch of the sender), the messages as they arrive, and
// the reference of the addresses the program understands.
class OscMonitor : public QWidget {
    Q_OBJECT
public:
    static constexpr int defaultMaxLines = 500;
    static constexpr int flushIntervalMs = 50;

    // Neither the listener nor the sender is owned.
    OscMonitor(OscListener* listener, OscSender* sender, int listenPort, QWidget* parent = nullptr);

    // Shows loaded settings without restarting the listener; the switch, when it changes,
    // hands the outbound values to the sender.
    void setOscSettings(int listenPort, const QString& listenInterface, const QString& outIp, int outPort,
                        bool outEnabled, const QString& sendInterface);
    // Adds a line while the tab is shown and not paused; lines reach the view within
    // flushIntervalMs, in batches.
    void logMessage(const QString& address, const QVariantList& args);

    bool isPaused() const { return m_paused; }

public slots:
    void onListenPortChanged();
    void onOutSettingsChanged();
    void onTogglePause();
    void onClear();

signals:
    void listenPortChanged(int port);

private:
    QWidget* buildSettings();
    QWidget* buildMonitor();
    QWidget* buildReference();
    void fillInterfaces(InstCombo* combo);
    void flushLines();

    OscListener* m_listener;
    OscSender* m_sender;
    bool m_paused = false;
    QStringList m_pendingLines;
    QTimer m_flushTimer;

    InstCombo* m_inInterface;
    QSpinBox* m_inPort;
    InstCombo* m_outInterface;
    QSpinBox* m_outPort;
    QLineEdit* m_destination;
    InstToggle* m_enable;
    QSpinBox* m_maxLines;
    QPushButton* m_pauseButton;
    QPushButton* m_clearButton;
    QPlainTextEdit* m_log;
};
