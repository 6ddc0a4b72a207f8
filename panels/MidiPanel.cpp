#include "MidiPanel.h"

#include "AppCore.h"
#include "CameraManager.h"
#include "Inst.h"
#include "InstChip.h"     // InstDot
#include "InstCombo.h"
#include "InstFrames.h"
#include "MidiBridge.h"
#include "MidiListener.h"
#include "ModalBoxes.h"
#include "PanelPage.h"
#include "PanelTable.h"
#include "PanelsLog.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const mappingRowProperty = "ccMappingRow";
const char* const triggerRowProperty = "triggerRow";
const QString placeholder = QStringLiteral("—");
const QString recallAction = QStringLiteral("preset/recall");

const char* const referenceText = QT_TRANSLATE_NOOP("MidiPanel",
    "<b>CC Mappings:</b> Map any MIDI CC to camera parameters.<br>"
    "• CC value 0–127 maps linearly (or logarithmically) to the parameter range<br>"
    "• Example: CC1 ch1 → lens/focus (0.0–1.0)<br>"
    "• Use <i>Learn</i> to capture a CC from your controller<br><br>"
    "<b>Triggers:</b> Assign Note On, Program Change, or MSC GO to discrete actions.<br>"
    "• <b>Note On</b> → fires the action instantly when the note is pressed<br>"
    "• <b>Program Change</b> → fires when the matching program number is received<br>"
    "• <b>MSC GO</b> → fires on MIDI Show Control GO command (SysEx) matching device ID and cue number<br>"
    "• Use <i>Learn</i> to capture notes, program changes, or MSC cues from your controller<br><br>"
    "<b>Supported trigger actions:</b><br>"
    "• <b>Recall Preset</b> — select a camera, then pick a preset from the dropdown<br><br>"
    "<b>Camera targeting:</b><br>"
    "• <b>All</b> — broadcasts the command to every connected camera<br>"
    "• Select a specific camera name to target only that camera");

// A number typed into a cell: empty, an integer within the allowed range, or refused.
struct Typed {
    bool empty = true;
    bool valid = true;
    int value = 0;
};

Typed typedNumber(const QLineEdit* edit, int low, int high)
{
    const QString text = edit->text().trimmed();
    if (text.isEmpty())
        return {};
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return {false, false, 0};
    return {false, true, value};
}

QString numberOrEmpty(int value)
{
    return value < 0 ? QString() : QString::number(value);
}

// "Ch / ID": the device id for MSC GO, otherwise the channel counted from 1.
QString triggerChannelText(const MidiTriggerEntry& entry)
{
    if (entry.channel < 0)
        return QString();
    return QString::number(entry.type == MidiTriggerEntry::MscGo ? entry.channel : entry.channel + 1);
}

// "Note / Cue": the cue for MSC GO, otherwise the note or program number.
QString triggerNumberText(const MidiTriggerEntry& entry)
{
    return entry.type == MidiTriggerEntry::MscGo ? entry.mscCue : numberOrEmpty(entry.noteOrPgm);
}

// Whether the operator moved the box away from what it showed for the stored value; the
// box rounds to its decimals and range, which alone must not rewrite a stored number.
bool changedFrom(const QDoubleSpinBox* box, double stored)
{
    const double shown = QString::number(stored, 'f', box->decimals()).toDouble();
    return box->value() != qBound(box->minimum(), shown, box->maximum());
}

QString parameterLabel(const QString& parameter)
{
    return QString(parameter).replace(QLatin1Char(':'), QStringLiteral(" → "));
}

QString presetLabel(const QString& name)
{
    return name.endsWith(QLatin1String(".cset"), Qt::CaseInsensitive) ? name.chopped(5) : name;
}

template <typename Widget>
Widget* cell(const QTableWidget* view, int row, int column)
{
    return qobject_cast<Widget*>(view->cellWidget(row, column));
}

bool holdsCell(const QTableWidget* view, int row, const QObject* widget)
{
    for (int column = 0; column < view->columnCount(); ++column) {
        if (view->cellWidget(row, column) == widget)
            return true;
    }
    return false;
}

// The cell whose widget has the keyboard focus, or an invalid cell.
QPoint focusedCell(const QTableWidget* view)
{
    for (const QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        if (widget->parentWidget() == view->viewport()) {
            const QModelIndex index = view->indexAt(widget->geometry().center());
            return index.isValid() ? QPoint(index.column(), index.row()) : QPoint(-1, -1);
        }
    }
    return {-1, -1};
}

void setWidths(QTableWidget* view, const QList<int>& widths, int stretchColumn)
{
    QHeaderView* header = view->horizontalHeader();
    header->setStretchLastSection(false);
    for (int column = 0; column < widths.size(); ++column) {
        if (column == stretchColumn) {
            header->setSectionResizeMode(column, QHeaderView::Stretch);
            continue;
        }
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        PanelTable::fitColumn(view, column, widths[column]);
    }
}

QPushButton* headerButton(const QString& text)
{
    auto* button = new QPushButton(text);
    Inst::style(button, Inst::Plain);
    return button;
}

} // namespace

MidiPanel::MidiPanel(MidiListener* listener, MidiMapping* mapping, MidiBridge* bridge, CameraManager* cameraManager,
                     QWidget* parent, ModalBoxes* boxes)
    : QWidget(parent)
    , m_listener(listener)
    , m_mapping(mapping)
    , m_bridge(bridge)
    , m_cameraManager(cameraManager)
    , m_boxes(ModalBoxes::orStandard(boxes))
    , m_pulseTimer(new QTimer(this))
    , m_activityTimer(new QTimer(this))
{
    QVBoxLayout* page = PanelPage::install(this);

    auto* device = new InstBezel(tr("MIDI Input Device"));
    device->row()->setSpacing(10);
    m_portCombo = new InstCombo(device);
    m_portCombo->setObjectName(QStringLiteral("midiPort"));
    m_portCombo->setMinimumWidth(250);
    m_refreshButton = new QPushButton(tr("Refresh"), device);
    m_refreshButton->setObjectName(QStringLiteral("midiRefresh"));
    Inst::style(m_refreshButton, Inst::Plain);
    m_activityDot = new InstDot(10, device);
    m_activityDot->setObjectName(QStringLiteral("midiActivity"));
    m_statusLabel = PanelPage::rowLabel(tr("No device selected"), device);
    m_statusLabel->setObjectName(QStringLiteral("midiStatus"));
    device->row()->addWidget(m_portCombo);
    device->row()->addWidget(m_refreshButton);
    device->row()->addWidget(m_activityDot);
    device->row()->addStretch(1);
    device->row()->addWidget(m_statusLabel);
    page->addWidget(device);

    page->addWidget(buildTableSection(m_mappings, tr("CC Mappings"),
                                      tr("Select a row, click Learn, then move a MIDI fader/knob"),
                                      {QString(), tr("Ch"), tr("CC#"), tr("Camera"), tr("Parameter"), tr("Min"),
                                       tr("Max"), tr("Scale")},
                                      this),
                    1);
    m_mappings.view->setObjectName(QStringLiteral("midiMappings"));
    // Narrower camera, number and scale columns leave the parameter room for nearly every
    // name at the window's usual width: hue and saturation of one endpoint differ only in
    // the name's end.
    setWidths(m_mappings.view, {30, 70, 70, 220, 0, 120, 120, 120}, MapParameter);

    page->addWidget(buildTableSection(m_triggers, tr("MIDI Triggers"),
                                      tr("Select a trigger row, click Learn, then press a MIDI note, send a Program "
                                         "Change, or send an MSC GO cue"),
                                      {QString(), tr("Type"), tr("Ch / ID"), tr("Note / Cue"), tr("Action"),
                                       tr("Camera"), tr("Preset")},
                                      this),
                    1);
    m_triggers.view->setObjectName(QStringLiteral("midiTriggers"));
    m_triggers.view->horizontalHeader()->setMinimumSectionSize(30);
    setWidths(m_triggers.view, {30, 160, 80, 110, 190, 240, 0}, TrigPreset);

    auto* reference = new InstSection(tr("MIDI Control Reference"));
    auto* referenceLabel = new QLabel(tr(referenceText), reference->content());
    referenceLabel->setObjectName(QStringLiteral("midiReference"));
    referenceLabel->setTextFormat(Qt::RichText);
    referenceLabel->setWordWrap(true);
    referenceLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    referenceLabel->setFont(Inst::sans(11.5));
    Inst::setTone(referenceLabel, "sec");
    reference->contentLayout()->addWidget(referenceLabel);
    page->addWidget(reference);

    // Every choice counts, also of the item shown: "(None)" after a refresh closes the port.
    connect(m_portCombo, &QComboBox::activated, this, &MidiPanel::onPortSelected);
    connect(m_refreshButton, &QPushButton::clicked, this, &MidiPanel::refreshPortList);
    connect(m_mappings.add, &QPushButton::clicked, this, &MidiPanel::onAddMapping);
    connect(m_mappings.remove, &QPushButton::clicked, this, &MidiPanel::onRemoveMapping);
    connect(m_mappings.learn, &QPushButton::toggled, this, &MidiPanel::onLearnToggled);
    connect(m_triggers.add, &QPushButton::clicked, this, &MidiPanel::onAddTrigger);
    connect(m_triggers.remove, &QPushButton::clicked, this, &MidiPanel::onRemoveTrigger);
    connect(m_triggers.learn, &QPushButton::toggled, this, &MidiPanel::onTriggerLearnToggled);

    m_pulseTimer->setInterval(learnPulseMs);
    connect(m_pulseTimer, &QTimer::timeout, this, &MidiPanel::onLearnPulse);
    m_activityTimer->setSingleShot(true);
    connect(m_activityTimer, &QTimer::timeout, this, [this] { m_activityDot->setColor(Inst::tokens().mut); });

    connect(m_mapping, &MidiMapping::mappingChanged, this, &MidiPanel::refreshTable);
    connect(m_mapping, &MidiMapping::mappingChanged, this, &MidiPanel::refreshTriggerTable);
    connect(m_cameraManager, &CameraManager::cameraListChanged, this, &MidiPanel::refreshTable);
    connect(m_cameraManager, &CameraManager::cameraListChanged, this, &MidiPanel::refreshTriggerTable);
    connect(m_cameraManager, &CameraManager::cameraStateUpdated, this, &MidiPanel::onCameraStateUpdated);
    connect(m_listener, &MidiListener::portOpened, this, &MidiPanel::onPortOpened);
    connect(m_listener, &MidiListener::portError, this,
            [this](const QString& message) { setStatus(tr("Error: %1").arg(message)); });
    // The learn handlers stay connected and act only while their table learns.
    connect(m_listener, &MidiListener::ccChanged, this, &MidiPanel::onCcActivity);
    connect(m_listener, &MidiListener::ccChanged, this, &MidiPanel::onCcForLearn);
    connect(m_listener, &MidiListener::noteOn, this, &MidiPanel::onNoteForLearn);
    connect(m_listener, &MidiListener::programChange, this, &MidiPanel::onPgmForLearn);
    connect(m_listener, &MidiListener::mscGo, this, &MidiPanel::onMscForLearn);
    connect(m_bridge, &MidiBridge::triggerFired, this, &MidiPanel::onTriggerFired);

    applyLook();
    refreshPortList();
    refreshTable();
    refreshTriggerTable();
}

QWidget* MidiPanel::buildTableSection(Table& table, const QString& title, const QString& learnTip,
                                      const QStringList& headers, QWidget* parent)
{
    auto* section = new InstSection(title, parent);
    table.add = headerButton(tr("Add"));
    table.remove = headerButton(tr("Remove"));
    table.learn = headerButton(tr("Learn"));
    table.learn->setCheckable(true);
    table.learn->setToolTip(learnTip);
    table.remove->setEnabled(false);
    for (QPushButton* button : {table.add, table.remove, table.learn})
        section->addHeaderWidget(button);

    table.view = new QTableWidget(section->content());
    PanelTable::applyLook(table.view);
    PanelTable::setHeaders(table.view, headers);
    table.view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.view->setMinimumHeight(110);
    section->contentLayout()->addWidget(table.view);
    QPushButton* remove = table.remove;
    connect(table.view, &QTableWidget::currentCellChanged, this, [remove](int row) { remove->setEnabled(row >= 0); });
    return section;
}

QWidget* MidiPanel::rowButton(Table& table, int row)
{
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* button = new QPushButton(QStringLiteral("▶"), holder);
    Inst::style(button, Inst::Help);
    button->setFont(Inst::sans(7));
    layout->addWidget(button, 0, Qt::AlignCenter);
    QTableWidget* view = table.view;
    connect(button, &QPushButton::clicked, this, [view, row] {
        if (view->selectionModel()->isRowSelected(row, QModelIndex()))
            view->selectionModel()->clear();
        else
            view->setCurrentCell(row, 0);
    });
    return holder;
}

// Ports

void MidiPanel::refreshPortList()
{
    const QSignalBlocker blocker(m_portCombo);
    m_portCombo->clear();
    m_portCombo->addItem(tr("(None)"));
    m_portCombo->addItems(MidiListener::availablePorts());
}

void MidiPanel::selectPortByName(const QString& name)
{
    if (name.isEmpty())
        return;
    // Kept as the choice even while that port is absent, so that saving the configuration
    // does not forget the desk; it opens once it is there and chosen or the program restarts.
    m_chosenPort = name;
    m_noneChosen = false;
    const int index = m_portCombo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index <= 0)
        return;
    m_portCombo->setCurrentIndex(index);
    onPortSelected(index);
}

QString MidiPanel::currentPortName() const
{
    return m_chosenPort;
}

void MidiPanel::routePortChoice(AppCore* core)
{
    core->setMidiPortRoute({[this](const QString& name) { selectPortByName(name); },
                            [this] { return currentPortName(); }});
    // A core that outlives the panel goes back to choosing by itself.
    connect(this, &QObject::destroyed, core, [core] { core->setMidiPortRoute({}); });
}

void MidiPanel::onPortSelected(int index)
{
    if (index > 0) {
        m_chosenPort = m_portCombo->itemText(index);
        m_noneChosen = false;
        m_listener->openPort(index - 1);
    } else if (index == 0) {
        m_chosenPort.clear();
        m_noneChosen = true;
        m_listener->closePort();
        setStatus(tr("No device selected"));
    }
}

void MidiPanel::onPortOpened(const QString& name)
{
    // A port passed over on the way to "(None)" reports its opening after it was closed.
    if (m_noneChosen)
        return;
    // The port that really opened is the one to save, however it was chosen.
    m_chosenPort = name;
    setStatus(tr("Connected: %1").arg(name));
}

// Tables

void MidiPanel::rebuild(Table& table, int rows, const std::function<void(int)>& fillRow)
{
    QTableWidget* view = table.view;
    // The operator's place survives the rebuild: the current row, the focused cell, and
    // text typed but not yet committed, whose commit may still be on its way. Rows only
    // keep their meaning while their number stays the same.
    const QPoint focused = focusedCell(view);
    const int current = view->currentRow();
    QHash<QPoint, QString> typed;
    if (view->rowCount() == rows) {
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < view->columnCount(); ++column) {
                if (const auto* edit = cell<QLineEdit>(view, row, column); edit && edit->isModified())
                    typed.insert(QPoint(column, row), edit->text());
            }
        }
    }
    table.guard = true;
    view->setRowCount(0);
    view->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        view->setCellWidget(row, 0, rowButton(table, row));
        fillRow(row);
    }
    for (auto it = typed.cbegin(); it != typed.cend(); ++it) {
        if (auto* edit = cell<QLineEdit>(view, it.key().y(), it.key().x())) {
            edit->setText(it.value());
            edit->setModified(true);
        }
    }
    table.guard = false;

    if (table.learning && table.learnRow >= rows)
        table.learn->setChecked(false);
    const int select = table.learning ? table.learnRow : current;
    if (select >= 0 && select < rows)
        view->setCurrentCell(select, 0);
    if (QWidget* widget = view->cellWidget(focused.y(), focused.x()); widget && widget->focusPolicy() != Qt::NoFocus)
        widget->setFocus();
    table.remove->setEnabled(view->currentRow() >= 0);
}

void MidiPanel::refreshTable()
{
    if (m_mappings.guard)
        return;
    const QList<MidiMapEntry> entries = m_mapping->entries();
    rebuild(m_mappings, int(entries.size()), [this, &entries](int row) { fillMappingRow(row, entries[row]); });
}

void MidiPanel::refreshTriggerTable()
{
    if (m_triggers.guard)
        return;
    const QList<MidiTriggerEntry> triggers = m_mapping->triggers();
    rebuild(m_triggers, int(triggers.size()), [this, &triggers](int row) { fillTriggerRow(row, triggers[row]); });
}

namespace {

QLineEdit* cellEdit(const char* rowProperty, int row, const QString& text, QObject* filter)
{
    auto* edit = new QLineEdit(text);
    edit->setFrame(false);
    edit->setPlaceholderText(placeholder);
    edit->setProperty(rowProperty, row);
    edit->installEventFilter(filter);
    return edit;
}

InstCombo* tableCombo()
{
    auto* combo = new InstCombo;
    combo->setInTable(true);
    combo->setPlaceholderText(placeholder);
    return combo;
}

QDoubleSpinBox* numberBox(double value)
{
    auto* box = new QDoubleSpinBox;
    box->setFrame(false);
    box->setRange(-100000, 100000);
    box->setDecimals(2);
    box->setValue(value);
    return box;
}

// Selects the item whose data is `data`; a value the list does not offer is added as it
// stands, so that showing a row never changes what it stores. Empty data selects nothing.
void selectOrAppend(QComboBox* combo, const QString& data, const QString& label)
{
    int index = combo->findData(data);
    if (index < 0 && !data.isEmpty()) {
        combo->addItem(label, data);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

} // namespace

InstCombo* MidiPanel::cameraCombo(const QString& cameraId, bool allWithoutId) const
{
    InstCombo* combo = tableCombo();
    combo->addItem(tr("All"), QString());
    for (const Camera& camera : m_cameraManager->cameraList()->allCameras())
        combo->addItem(camera.name, camera.id);
    // An id that names no camera shows no selection, and is kept by a commit.
    if (!cameraId.isEmpty())
        combo->setCurrentIndex(combo->findData(cameraId));
    else
        combo->setCurrentIndex(allWithoutId ? 0 : -1);
    return combo;
}

void MidiPanel::fillMappingRow(int row, const MidiMapEntry& entry)
{
    QTableWidget* view = m_mappings.view;
    auto* parameter = tableCombo();
    for (const QString& name : MidiMapping::availableParameters())
        parameter->addItem(parameterLabel(name), name);
    selectOrAppend(parameter, entry.parameter, parameterLabel(entry.parameter));
    if (parameter->currentIndex() < 0)
        parameter->setCurrentIndex(0);
    auto* scale = tableCombo();
    scale->addItems({tr("Linear"), tr("Log")});
    scale->setCurrentIndex(entry.scale == MidiMapEntry::Log ? 1 : 0);
    QDoubleSpinBox* min = numberBox(entry.min);
    QDoubleSpinBox* max = numberBox(entry.max);

    view->setCellWidget(row, MapChannel, cellEdit(mappingRowProperty, row, QString::number(entry.channel + 1), this));
    view->setCellWidget(row, MapCc, cellEdit(mappingRowProperty, row, QString::number(entry.cc), this));
    view->setCellWidget(row, MapCamera, cameraCombo(entry.cameraId, true));
    view->setCellWidget(row, MapParameter, parameter);
    view->setCellWidget(row, MapMin, min);
    view->setCellWidget(row, MapMax, max);
    view->setCellWidget(row, MapScale, scale);

    const auto commit = [this, row] { onMappingCellEdited(row); };
    for (int column : {MapCamera, MapParameter, MapScale})
        connect(cell<QComboBox>(view, row, column), &QComboBox::currentIndexChanged, this, commit);
    for (QDoubleSpinBox* box : {min, max})
        connect(box, &QDoubleSpinBox::valueChanged, this, commit);
}

void MidiPanel::fillTriggerRow(int row, const MidiTriggerEntry& entry)
{
    QTableWidget* view = m_triggers.view;
    const bool msc = entry.type == MidiTriggerEntry::MscGo;

    auto* type = tableCombo();
    type->addItems({tr("Note On"), tr("Pgm Change"), tr("MSC GO")});
    type->setCurrentIndex(int(entry.type));

    QLineEdit* channel = cellEdit(triggerRowProperty, row, triggerChannelText(entry), this);
    QLineEdit* number = cellEdit(triggerRowProperty, row, triggerNumberText(entry), this);
    if (msc) {
        channel->setToolTip(tr("MSC Device ID (0-127, 127 = all-call)"));
        number->setToolTip(tr("MSC Cue Number (supports decimals, e.g. 1, 1.5, 101.2)"));
    }

    auto* action = tableCombo();
    for (const QString& name : MidiMapping::availableActions())
        action->addItem(name == recallAction ? tr("Recall Preset") : name, name);
    selectOrAppend(action, entry.action, entry.action);

    auto* preset = tableCombo();
    for (const QString& name : presetCandidates(entry.cameraId))
        preset->addItem(presetLabel(name), name);
    selectOrAppend(preset, entry.argument, presetLabel(entry.argument));

    view->setCellWidget(row, TrigType, type);
    view->setCellWidget(row, TrigChannel, channel);
    view->setCellWidget(row, TrigNumber, number);
    view->setCellWidget(row, TrigAction, action);
    view->setCellWidget(row, TrigCamera, cameraCombo(entry.cameraId, !entry.argument.isEmpty()));
    view->setCellWidget(row, TrigPreset, preset);

    const auto commit = [this, row] { onTriggerCellEdited(row); };
    for (int column : {TrigType, TrigAction, TrigCamera, TrigPreset})
        connect(cell<QComboBox>(view, row, column), &QComboBox::currentIndexChanged, this, commit);
}

QStringList MidiPanel::presetCandidates(const QString& cameraId) const
{
    CameraList* list = m_cameraManager->cameraList();
    if (!cameraId.isEmpty()) {
        const CameraState* state = list->state(cameraId);
        return state ? state->presets : QStringList();
    }
    QStringList names;
    for (const Camera& camera : list->allCameras()) {
        if (const CameraState* state = list->state(camera.id)) {
            for (const QString& name : state->presets) {
                if (!names.contains(name))
                    names << name;
            }
        }
    }
    return names;
}

// Adding and removing

void MidiPanel::onAddMapping()
{
    m_mapping->addMapping({0, m_mapping->count(), QString(), QStringLiteral("lens/iris:normalised"), 0.0, 1.0,
                           MidiMapEntry::Linear});
    // The new row is the one Learn or Remove acts on next.
    m_mappings.view->setCurrentCell(m_mapping->count() - 1, 0);
}

void MidiPanel::onRemoveMapping()
{
    removeCurrentRow(m_mappings, [this](int row) { m_mapping->removeMapping(row); });
}

void MidiPanel::onAddTrigger()
{
    // Matches nothing until learnt or typed.
    m_mapping->addTrigger({MidiTriggerEntry::NoteOn, -1, -1, QString(), recallAction, QString(), QString()});
    m_triggers.view->setCurrentCell(m_mapping->triggerCount() - 1, 0);
}

void MidiPanel::onRemoveTrigger()
{
    removeCurrentRow(m_triggers, [this](int row) { m_mapping->removeTrigger(row); });
}

void MidiPanel::removeCurrentRow(Table& table, const std::function<void(int)>& remove)
{
    const int row = table.view->currentRow();
    if (row < 0)
        return;
    table.learn->setChecked(false);
    remove(row);
    // A second click must not take the next row with it.
    table.view->selectionModel()->clear();
}

// Committing edits

bool MidiPanel::eventFilter(QObject* watched, QEvent* event)
{
    const bool commits = event->type() == QEvent::FocusOut
        || (event->type() == QEvent::KeyPress
            && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return
                || static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter));
    if (commits) {
        // Only a field still in its table commits; one a rebuild replaced has nothing to say.
        const QVariant mappingRow = watched->property(mappingRowProperty);
        const QVariant triggerRow = watched->property(triggerRowProperty);
        if (mappingRow.isValid() && holdsCell(m_mappings.view, mappingRow.toInt(), watched)) {
            const int row = mappingRow.toInt();
            QMetaObject::invokeMethod(this, [this, row] { onMappingCellEdited(row); }, Qt::QueuedConnection);
        } else if (triggerRow.isValid() && holdsCell(m_triggers.view, triggerRow.toInt(), watched)) {
            const int row = triggerRow.toInt();
            QMetaObject::invokeMethod(this, [this, row] { onTriggerCellEdited(row); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MidiPanel::onMappingCellEdited(int row)
{
    if (m_mappings.guard || row < 0 || row >= m_mapping->count())
        return;
    QTableWidget* view = m_mappings.view;
    auto* channelEdit = cell<QLineEdit>(view, row, MapChannel);
    auto* ccEdit = cell<QLineEdit>(view, row, MapCc);
    auto* cameraBox = cell<QComboBox>(view, row, MapCamera);
    auto* parameterBox = cell<QComboBox>(view, row, MapParameter);
    auto* minBox = cell<QDoubleSpinBox>(view, row, MapMin);
    auto* maxBox = cell<QDoubleSpinBox>(view, row, MapMax);
    auto* scaleBox = cell<QComboBox>(view, row, MapScale);
    if (!channelEdit || !ccEdit || !cameraBox || !parameterBox || !minBox || !maxBox || !scaleBox)
        return;

    const MidiMapEntry stored = m_mapping->entries().at(row);
    MidiMapEntry entry = stored;
    const Typed channel = typedNumber(channelEdit, 1, 16);
    if (!channel.valid) {
        channelEdit->setText(QString::number(stored.channel + 1));
        warnLater(tr("Invalid Channel"), tr("MIDI channel must be 1–16."));
        return;
    }
    const Typed cc = typedNumber(ccEdit, 0, 127);
    if (!cc.valid) {
        ccEdit->setText(QString::number(stored.cc));
        warnLater(tr("Invalid CC#"), tr("CC number must be 0–127."));
        return;
    }
    if (!channel.empty)
        entry.channel = channel.value - 1;
    if (!cc.empty)
        entry.cc = cc.value;
    if (cameraBox->currentIndex() >= 0)
        entry.cameraId = cameraBox->currentData().toString();
    if (parameterBox->currentIndex() >= 0)
        entry.parameter = parameterBox->currentData().toString();
    if (changedFrom(minBox, stored.min))
        entry.min = minBox->value();
    if (changedFrom(maxBox, stored.max))
        entry.max = maxBox->value();
    entry.scale = scaleBox->currentIndex() == 1 ? MidiMapEntry::Log : MidiMapEntry::Linear;

    if (entry != stored) {
        m_mappings.guard = true;
        m_mapping->updateMapping(row, entry);
        m_mappings.guard = false;
    }
    // An emptied field keeps the stored number; show it again.
    channelEdit->setText(QString::number(entry.channel + 1));
    ccEdit->setText(QString::number(entry.cc));
}

void MidiPanel::onTriggerCellEdited(int row)
{
    if (m_triggers.guard || row < 0 || row >= m_mapping->triggerCount())
        return;
    QTableWidget* view = m_triggers.view;
    auto* typeBox = cell<QComboBox>(view, row, TrigType);
    auto* channelEdit = cell<QLineEdit>(view, row, TrigChannel);
    auto* numberEdit = cell<QLineEdit>(view, row, TrigNumber);
    auto* actionBox = cell<QComboBox>(view, row, TrigAction);
    auto* cameraBox = cell<QComboBox>(view, row, TrigCamera);
    auto* presetBox = cell<QComboBox>(view, row, TrigPreset);
    if (!typeBox || !channelEdit || !numberEdit || !actionBox || !cameraBox || !presetBox)
        return;

    const MidiTriggerEntry stored = m_mapping->triggers().at(row);
    MidiTriggerEntry entry = stored;
    // The fields show the stored type's meaning: a change of type alone converts nothing.
    const bool msc = stored.type == MidiTriggerEntry::MscGo;
    const Typed channel = typedNumber(channelEdit, msc ? 0 : 1, msc ? 127 : 16);
    if (!channel.valid) {
        // The stored value goes back, as in the mapping table: an emptied field would
        // otherwise store "none" with its next commit.
        channelEdit->setText(triggerChannelText(stored));
        if (msc)
            warnLater(tr("Invalid Device ID"), tr("MSC Device ID must be 0–127."));
        else
            warnLater(tr("Invalid Channel"), tr("MIDI channel must be 1–16."));
        return;
    }
    entry.channel = channel.empty ? -1 : msc ? channel.value : channel.value - 1;
    if (msc) {
        // Received cues arrive trimmed; a stray space would make the trigger unreachable.
        entry.mscCue = numberEdit->text().trimmed();
    } else {
        const Typed number = typedNumber(numberEdit, 0, 127);
        if (!number.valid) {
            numberEdit->setText(triggerNumberText(stored));
            warnLater(tr("Invalid Value"), tr("Note / Program number must be 0–127."));
            return;
        }
        entry.noteOrPgm = number.empty ? -1 : number.value;
    }
    // Taken: a rebuild must not carry this text over as if it were still to come.
    channelEdit->setModified(false);
    numberEdit->setModified(false);
    switch (typeBox->currentIndex()) {
    case 1: entry.type = MidiTriggerEntry::ProgramChange; break;
    case 2: entry.type = MidiTriggerEntry::MscGo; break;
    default: entry.type = MidiTriggerEntry::NoteOn; break;
    }
    if (actionBox->currentIndex() >= 0)
        entry.action = actionBox->currentData().toString();
    if (cameraBox->currentIndex() >= 0)
        entry.cameraId = cameraBox->currentData().toString();
    if (presetBox->currentIndex() >= 0)
        entry.argument = presetBox->currentData().toString();

    if (entry == stored)
        return;
    m_triggers.guard = true;
    m_mapping->updateTrigger(row, entry);
    m_triggers.guard = false;
    // The number fields follow a change of type; the preset list a change of camera.
    refreshTriggerTable();
}

void MidiPanel::warnLater(const QString& title, const QString& text)
{
    QMetaObject::invokeMethod(this, [this, title, text] { m_boxes->warning(this, title, text); }, Qt::QueuedConnection);
}

// Learning

void MidiPanel::onLearnToggled(bool on)
{
    setLearning(m_mappings, on, tr("Learning... move a MIDI control"));
}

void MidiPanel::onTriggerLearnToggled(bool on)
{
    setLearning(m_triggers,
                on, tr("Learning trigger... press a MIDI note, send a Program Change, or send an MSC GO"));
}

void MidiPanel::setLearning(Table& table, bool on, const QString& prompt)
{
    if (on) {
        int row = table.view->currentRow();
        if (row < 0 && table.view->rowCount() > 0)
            row = 0;
        if (row < 0) {
            const QSignalBlocker blocker(table.learn);
            table.learn->setChecked(false);
            return;
        }
        table.learning = true;
        table.learnRow = row;
        Inst::setAlarm(table.learn, true);
        setStatus(prompt);
        startLearnPulse(table, row);
        return;
    }
    if (!table.learning)
        return;
    table.learning = false;
    table.learnRow = -1;
    Inst::setAlarm(table.learn, false);
    setStatus(QString());
    stopLearnPulse();
}

void MidiPanel::finishLearning(Table& table, const QString& result)
{
    table.learn->setChecked(false);
    setStatus(result);
    qCInfo(lcPanels) << "MIDI learn:" << result;
}

void MidiPanel::onCcForLearn(int channel, int cc, int)
{
    if (!m_mappings.learning)
        return;
    const int row = m_mappings.learnRow;
    if (row >= m_mapping->count()) {
        m_mappings.learn->setChecked(false);
        return;
    }
    MidiMapEntry entry = m_mapping->entries().at(row);
    entry.channel = channel;
    entry.cc = cc;
    finishLearning(m_mappings, tr("Learned: Ch %1, CC %2").arg(channel + 1).arg(cc));
    writeLater([this, row, entry] { m_mapping->updateMapping(row, entry); });
}

void MidiPanel::onNoteForLearn(int channel, int note, int)
{
    learnTrigger(tr("Learned trigger: Ch %1, Note %2").arg(channel + 1).arg(note), [=](MidiTriggerEntry& entry) {
        entry.type = MidiTriggerEntry::NoteOn;
        entry.channel = channel;
        entry.noteOrPgm = note;
    });
}

void MidiPanel::onPgmForLearn(int channel, int program)
{
    learnTrigger(tr("Learned trigger: Ch %1, Program %2").arg(channel + 1).arg(program), [=](MidiTriggerEntry& entry) {
        entry.type = MidiTriggerEntry::ProgramChange;
        entry.channel = channel;
        entry.noteOrPgm = program;
    });
}

void MidiPanel::onMscForLearn(int deviceId, const QString& cue)
{
    learnTrigger(tr("Learned trigger: MSC GO, Device %1, Cue %2").arg(deviceId).arg(cue), [&](MidiTriggerEntry& entry) {
        entry.type = MidiTriggerEntry::MscGo;
        entry.channel = deviceId;
        entry.mscCue = cue;
    });
}

void MidiPanel::learnTrigger(const QString& result, const std::function<void(MidiTriggerEntry&)>& learn)
{
    if (!m_triggers.learning)
        return;
    const int row = m_triggers.learnRow;
    if (row >= m_mapping->triggerCount()) {
        m_triggers.learn->setChecked(false);
        return;
    }
    MidiTriggerEntry entry = m_mapping->triggers().at(row);
    learn(entry);
    finishLearning(m_triggers, result);
    writeLater([this, row, entry] { m_mapping->updateTrigger(row, entry); });
}

void MidiPanel::writeLater(const std::function<void()>& write)
{
    QMetaObject::invokeMethod(this, write, Qt::QueuedConnection);
}

void MidiPanel::startLearnPulse(Table& table, int row)
{
    table.view->setCurrentCell(row, 0);
    m_pulseBright = true;
    Inst::setTablePulse(table.view, "bright");
    m_pulseTimer->start();
}

void MidiPanel::onLearnPulse()
{
    m_pulseBright = !m_pulseBright;
    for (Table* table : {&m_mappings, &m_triggers}) {
        if (!table->learning)
            continue;
        if (table->view->currentRow() != table->learnRow)
            table->view->setCurrentCell(table->learnRow, 0);
        Inst::setTablePulse(table->view, m_pulseBright ? "bright" : "dim");
    }
}

void MidiPanel::stopLearnPulse()
{
    // Both tables may learn at once; only the one that stopped loses its pulse.
    for (Table* table : {&m_mappings, &m_triggers}) {
        if (!table->learning)
            Inst::setTablePulse(table->view, "");
    }
    if (!m_mappings.learning && !m_triggers.learning)
        m_pulseTimer->stop();
}

// Activity

void MidiPanel::onCcActivity(int, int, int)
{
    flashActivity(Inst::tokens().led, ccActivityMs);
}

void MidiPanel::onTriggerFired(const QString& action, const QString& argument)
{
    flashActivity(Inst::tokens().accent, triggerActivityMs);
    setStatus(tr("Trigger: %1 → %2").arg(action, argument));
}

void MidiPanel::flashActivity(const QColor& colour, int milliseconds)
{
    m_activityDot->setColor(colour);
    m_activityTimer->start(milliseconds);
}

void MidiPanel::onCameraStateUpdated(const QString& cameraId)
{
    const CameraState* state = m_cameraManager->cameraList()->state(cameraId);
    if (!state || m_presetCache.value(cameraId) == state->presets)
        return;
    m_presetCache.insert(cameraId, state->presets);
    refreshTriggerTable();
}

void MidiPanel::applyLook()
{
    m_activityDot->setColor(Inst::tokens().mut);
}

void MidiPanel::setStatus(const QString& text)
{
    m_statusLabel->setText(text);
}
