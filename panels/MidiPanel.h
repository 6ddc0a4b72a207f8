#pragma once

#include "MidiMapping.h"

#include <QHash>
#include <QStringList>
#include <QWidget>

#include <functional>

class AppCore;
class CameraManager;
class InstCombo;
class InstDot;
class MidiBridge;
class MidiListener;
class ModalBoxes;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

// The MIDI tab: the input port, the CC mappings and triggers of the mapping table in two
// tables whose every cell is a widget, learning from the controller, and MIDI activity.
// Every edit goes straight into the mapping table; the tables are rebuilt whenever it changes.
class MidiPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int learnPulseMs = 600;
    static constexpr int ccActivityMs = 100;
    static constexpr int triggerActivityMs = 300;

    enum MappingColumn { MapRowButton, MapChannel, MapCc, MapCamera, MapParameter, MapMin, MapMax, MapScale };
    enum TriggerColumn { TrigRowButton, TrigType, TrigChannel, TrigNumber, TrigAction, TrigCamera, TrigPreset };

    MidiPanel(MidiListener* listener, MidiMapping* mapping, MidiBridge* bridge, CameraManager* cameraManager,
              QWidget* parent = nullptr, ModalBoxes* boxes = nullptr);

    void refreshPortList();
    // Selects and opens the port whose name is exactly `name`.
    void selectPortByName(const QString& name);
    // The port last chosen, by the operator or by name; empty once "(None)" is chosen. A
    // refreshed list shows "(None)" while the port stays open and stays the choice.
    QString currentPortName() const;
    // The core then chooses the saved port through this panel and saves this panel's choice.
    void routePortChoice(AppCore* core);
    void refreshTable();
    void refreshTriggerTable();
    void applyLook();

public slots:
    void onPortSelected(int index);
    void onPortOpened(const QString& name);
    void onAddMapping();
    void onRemoveMapping();
    void onLearnToggled(bool on);
    void onAddTrigger();
    void onRemoveTrigger();
    void onTriggerLearnToggled(bool on);
    void onCcForLearn(int channel, int cc, int value);
    void onNoteForLearn(int channel, int note, int velocity);
    void onPgmForLearn(int channel, int program);
    void onMscForLearn(int deviceId, const QString& cue);
    void onMappingCellEdited(int row);
    void onTriggerCellEdited(int row);
    void onCcActivity(int channel, int cc, int value);
    void onTriggerFired(const QString& action, const QString& argument);
    void onCameraStateUpdated(const QString& cameraId);
    void onLearnPulse();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One of the two tables with its buttons, its learn state and its rebuild guard.
    struct Table {
        QTableWidget* view = nullptr;
        QPushButton* add = nullptr;
        QPushButton* remove = nullptr;
        QPushButton* learn = nullptr;
        bool learning = false;
        int learnRow = -1;
        // Set while the panel rebuilds or writes this table, so that the resulting
        // mappingChanged does not rebuild it again.
        bool guard = false;
    };

    QWidget* buildTableSection(Table& table, const QString& title, const QString& learnTip,
                               const QStringList& headers, QWidget* parent);
    QWidget* rowButton(Table& table, int row);
    void removeCurrentRow(Table& table, const std::function<void(int)>& remove);
    void setLearning(Table& table, bool on, const QString& prompt);
    // Ends learning: the button is released (which clears the prompt) and `result` shown.
    void finishLearning(Table& table, const QString& result);
    // Writes the first trigger event into the row being learnt, then ends learning.
    void learnTrigger(const QString& result, const std::function<void(MidiTriggerEntry&)>& learn);
    // A learnt entry is written once every receiver of the learning event has seen it, so
    // that learning a control never also runs it, whatever order the receivers were wired in.
    void writeLater(const std::function<void()>& write);
    void startLearnPulse(Table& table, int row);
    void stopLearnPulse();
    void rebuild(Table& table, int rows, const std::function<void(int)>& fillRow);
    void fillMappingRow(int row, const MidiMapEntry& entry);
    void fillTriggerRow(int row, const MidiTriggerEntry& entry);
    InstCombo* cameraCombo(const QString& cameraId, bool allWithoutId) const;
    QStringList presetCandidates(const QString& cameraId) const;
    void flashActivity(const QColor& colour, int milliseconds);
    // Warning boxes open from the event loop, after the edit handler has returned.
    void warnLater(const QString& title, const QString& text);
    void setStatus(const QString& text);

    MidiListener* m_listener;
    MidiMapping* m_mapping;
    MidiBridge* m_bridge;
    CameraManager* m_cameraManager;
    ModalBoxes* m_boxes;

    InstCombo* m_portCombo = nullptr;
    QPushButton* m_refreshButton = nullptr;
    InstDot* m_activityDot = nullptr;
    QLabel* m_statusLabel = nullptr;
    Table m_mappings;
    Table m_triggers;

    QTimer* m_pulseTimer;
    bool m_pulseBright = false;
    QTimer* m_activityTimer;
    // Each camera's preset list as last seen, so that only a change rebuilds the triggers.
    QHash<QString, QStringList> m_presetCache;
    QString m_chosenPort;
    bool m_noneChosen = false;
};
