#include "CameraPanel.h"

#include "CameraManager.h"
#include "CameraScanner.h"
#include "Inst.h"
#include "InstChip.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "LocalNetwork.h"
#include "ModalBoxes.h"
#include "PanelPage.h"
#include "PanelTable.h"
#include "PanelText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// A dotted quad or a one-label ".local" name; a port may follow, as for cameras reached
// through port forwarding or simulated on one machine.
const QRegularExpression& addressPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^((\d{1,3}\.){3}\d{1,3}|[a-zA-Z0-9\-]+\.local)(:\d{1,5})?$)"));
    return pattern;
}

// Accepts only what isCameraAddress accepts; a quad with an octet above 255 or a port out of
// range stays intermediate, so neither the form nor a table cell can commit it.
class CameraAddressValidator : public QRegularExpressionValidator {
public:
    explicit CameraAddressValidator(QObject* parent)
        : QRegularExpressionValidator(addressPattern(), parent)
    {
    }

    State validate(QString& input, int& position) const override
    {
        const State state = QRegularExpressionValidator::validate(input, position);
        if (state == Acceptable && !CameraPanel::isCameraAddress(input))
            return Intermediate;
        return state;
    }
};

// The table's editors: the address cell takes only camera addresses, the name cell no more
// than a name's length.
class CameraCellDelegate : public QStyledItemDelegate {
public:
    CameraCellDelegate(int nameColumn, int addressColumn, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_nameColumn(nameColumn)
        , m_addressColumn(addressColumn)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            if (index.column() == m_addressColumn)
                line->setValidator(new CameraAddressValidator(line));
            else if (index.column() == m_nameColumn)
                line->setMaxLength(CameraPanel::maxNameLength);
        }
        return editor;
    }

private:
    int m_nameColumn;
    int m_addressColumn;
};

enum ResultRole { AddressRole = Qt::UserRole, HostnameRole, ProductRole, MacRole, IsCameraRole };

// Interface names that carry a show network: BSD/macOS wired ("en0") and VLAN interfaces,
// Linux wired ("eth0", "enp3s0", "eno1") and wireless ("wlan0", "wlp2s0") ones.
bool isScannableInterface(const QString& name)
{
    const QString lower = name.toLower();
    for (const char* prefix : {"en", "vlan", "eth", "wl"}) {
        if (lower.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

// Each octet right-aligned to three places, so that the monospace pull-down lines them up.
QString alignedAddress(const QHostAddress& address)
{
    const quint32 value = address.toIPv4Address();
    QStringList octets;
    for (int shift = 24; shift >= 0; shift -= 8)
        octets << QStringLiteral("%1").arg((value >> shift) & 0xff, 3);
    return octets.join(QLatin1Char('.'));
}

QString orDash(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("—") : text;
}

struct StatusLook {
    QColor lamp;
    QString text;
    InstChip::Tone tone;
};

StatusLook statusLook(CameraStatus status)
{
    const Inst::Tokens& t = Inst::tokens();
    switch (status) {
    case CameraStatus::Connecting: return {t.amber, QStringLiteral("Connecting…"), InstChip::Warn};
    case CameraStatus::Connected: return {t.led, QStringLiteral("Connected"), InstChip::Go};
    case CameraStatus::Error: return {t.red, QStringLiteral("Error"), InstChip::Bad};
    case CameraStatus::NotACamera: return {t.red, QStringLiteral("Not a camera"), InstChip::Bad};
    case CameraStatus::Disconnected: break;
    }
    return {t.mut, QStringLiteral("Disconnected"), InstChip::Idle};
}

QPushButton* plainButton(const QString& text, QWidget* parent, const char* objectName)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    Inst::style(button, Inst::Plain);
    return button;
}

}

CameraPanel::CameraPanel(CameraManager* manager, QWidget* parent, LocalNetwork* network, ModalBoxes* boxes)
    : QWidget(parent)
    , m_manager(manager)
    , m_network(LocalNetwork::orStandard(network))
    , m_boxes(ModalBoxes::orStandard(boxes))
    , m_scanner(new CameraScanner(this))
{
    QVBoxLayout* page = PanelPage::install(this);
    page->addWidget(buildCameraSection(), 1);
    page->addWidget(buildAddSection());
    page->addWidget(buildDiscoverySection());

    connect(m_manager, &CameraManager::cameraListChanged, this, &CameraPanel::onCameraListChanged);
    connect(m_manager, &CameraManager::cameraStatusChanged, this, &CameraPanel::onCameraStatusChanged);
    connect(m_scanner, &CameraScanner::cameraFound, this, &CameraPanel::addDiscovered);
    connect(m_scanner, &CameraScanner::scanProgress, this, [this](int current, int total) {
        m_progress->setMaximum(total);
        m_progress->setValue(current);
    });
    connect(m_scanner, &CameraScanner::statusMessage, m_scanStatus, &QLabel::setText);
    connect(m_scanner, &CameraScanner::scanFinished, this, &CameraPanel::onScanFinished);
    connect(m_table, &QTableWidget::cellChanged, this, [this](int row) { onCameraEdited(row); });
    connect(m_table, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow) { onCurrentCellChanged(row, previousRow); });
    connect(m_results, &QListWidget::currentRowChanged, this,
            [this](int row) { m_addDiscoveredButton->setEnabled(row >= 0); });

    populateNetworkInterfaces();
    refreshCameraTable();
}

CameraPanel::~CameraPanel()
{
    // The scanner announces its end while it is destroyed, after this panel's widgets are gone.
    m_scanner->disconnect(this);
}

bool CameraPanel::isCameraAddress(const QString& text)
{
    const QRegularExpressionMatch match = addressPattern().match(text);
    if (!match.hasMatch())
        return false;
    const QString port = match.captured(3);
    if (!port.isEmpty()) {
        const int number = port.mid(1).toInt();
        if (number < 1 || number > 65535)
            return false;
    }
    if (match.captured(1).endsWith(QLatin1String(".local")))
        return true;
    const QStringList octets = match.captured(1).split(QLatin1Char('.'));
    for (const QString& octet : octets) {
        if (octet.toInt() > 255)
            return false;
    }
    return true;
}

QWidget* CameraPanel::buildCameraSection()
{
    auto* section = new InstSection(QStringLiteral("Connected Cameras"), this);
    m_toggleButton = plainButton(QStringLiteral("Disconnect"), section, "disconnectButton");
    m_refreshButton = plainButton(QStringLiteral("Refresh Selected"), section, "refreshSelectedButton");
    m_reconnectAllButton = plainButton(QStringLiteral("Reconnect All"), section, "reconnectAllButton");
    m_removeButton = plainButton(QStringLiteral("Remove Selected"), section, "removeSelectedButton");
    auto* gap = new QWidget(section);
    gap->setFixedWidth(14);
    for (QWidget* widget : {static_cast<QWidget*>(m_toggleButton), static_cast<QWidget*>(m_refreshButton),
                            static_cast<QWidget*>(m_reconnectAllButton), gap, static_cast<QWidget*>(m_removeButton)})
        section->addHeaderWidget(widget);
    for (QPushButton* button : {m_toggleButton, m_refreshButton, m_removeButton})
        button->setEnabled(false);
    connect(m_toggleButton, &QPushButton::clicked, this, &CameraPanel::onDisconnectToggle);
    connect(m_refreshButton, &QPushButton::clicked, this, &CameraPanel::onRefreshSelected);
    connect(m_reconnectAllButton, &QPushButton::clicked, this, &CameraPanel::onRefreshAll);
    connect(m_removeButton, &QPushButton::clicked, this, &CameraPanel::onRemoveCamera);

    m_table = new QTableWidget(0, ColumnCount, section);
    m_table->setObjectName(QStringLiteral("cameraTable"));
    PanelTable::applyLook(m_table);
    PanelTable::setHeaders(m_table, {QString(), QStringLiteral("Index"), QStringLiteral("Name"),
                                     QStringLiteral("IP / Hostname"), QStringLiteral("MAC Address"),
                                     QStringLiteral("Model"), QStringLiteral("Firmware"), QStringLiteral("Status")});
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->setMinimumHeight(150);
    m_table->setItemDelegate(new CameraCellDelegate(NameColumn, AddressColumn, m_table));
    QHeaderView* header = m_table->horizontalHeader();
    header->setMinimumSectionSize(26);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(LampColumn, QHeaderView::Fixed);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(ModelColumn, QHeaderView::Stretch);
    m_table->setColumnWidth(LampColumn, 26);
    PanelTable::fitColumn(m_table, IndexColumn, 64, QStringLiteral("99"));
    PanelTable::fitColumn(m_table, AddressColumn, 130, QStringLiteral("255.255.255.255"));
    PanelTable::fitColumn(m_table, MacColumn, 156, QStringLiteral("00:00:00:00:00:00"));
    PanelTable::fitColumn(m_table, FirmwareColumn, 90, QStringLiteral("10.10.1"));
    int widestChip = 0;
    for (CameraStatus status : {CameraStatus::Disconnected, CameraStatus::Connecting, CameraStatus::Connected,
                                CameraStatus::Error, CameraStatus::NotACamera})
        widestChip = qMax(widestChip, InstChip(statusLook(status).text.toUpper(), InstChip::Idle).sizeHint().width());
    m_table->setColumnWidth(StatusColumn, qMax(124, widestChip + 10));
    section->contentLayout()->addWidget(m_table);
    return section;
}

QWidget* CameraPanel::buildAddSection()
{
    auto* section = new InstSection(QStringLiteral("Add Camera"), this);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);

    m_nameEdit = new QLineEdit(section);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_nameEdit->setPlaceholderText(QStringLiteral("e.g. Cam 1"));
    m_nameEdit->setMinimumWidth(120);
    m_nameEdit->setMaxLength(maxNameLength);

    m_addressEdit = new QLineEdit(section);
    m_addressEdit->setObjectName(QStringLiteral("addressEdit"));
    m_addressEdit->setPlaceholderText(QStringLiteral("e.g. 192.168.1.100"));
    m_addressEdit->setMinimumWidth(140);
    m_addressEdit->setValidator(new CameraAddressValidator(m_addressEdit));

    m_indexSpin = new QSpinBox(section);
    m_indexSpin->setObjectName(QStringLiteral("indexSpin"));
    m_indexSpin->setRange(minIndex, maxIndex);
    m_indexSpin->setMinimumWidth(70);
    m_indexSpin->setToolTip(QStringLiteral("Camera index for OSC addressing (/camera/{index}/...)"));

    m_addButton = plainButton(QStringLiteral("Add Camera"), section, "addCameraButton");
    connect(m_addButton, &QPushButton::clicked, this, &CameraPanel::onAddCamera);
    connect(m_nameEdit, &QLineEdit::returnPressed, this, &CameraPanel::onAddCamera);
    connect(m_addressEdit, &QLineEdit::returnPressed, this, &CameraPanel::onAddCamera);

    row->addWidget(Inst::caption(QStringLiteral("Name"), section));
    row->addWidget(m_nameEdit, 2);
    row->addSpacing(6);
    row->addWidget(Inst::caption(QStringLiteral("IP"), section));
    row->addWidget(m_addressEdit, 2);
    row->addSpacing(6);
    row->addWidget(Inst::caption(QStringLiteral("Index"), section));
    row->addWidget(m_indexSpin);
    row->addSpacing(6);
    row->addWidget(m_addButton);
    row->addStretch(1);
    section->contentLayout()->addLayout(row);
    return section;
}

QWidget* CameraPanel::buildDiscoverySection()
{
    auto* section = new InstSection(QStringLiteral("Discover Cameras on Network"), this);
    QVBoxLayout* column = section->contentLayout();
    column->setSpacing(8);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_interfaceCombo = new InstCombo(section);
    m_interfaceCombo->setObjectName(QStringLiteral("interfaceCombo"));
    m_interfaceCombo->setMinimumWidth(200);
    m_scanButton = new QPushButton(QStringLiteral("Scan Network"), section);
    m_scanButton->setObjectName(QStringLiteral("scanButton"));
    Inst::style(m_scanButton, Inst::Primary);
    // Wide enough for both of its texts, so that the row does not shift when a scan starts.
    m_scanButton->setMinimumWidth(m_scanButton->sizeHint().width());
    connect(m_scanButton, &QPushButton::clicked, this, &CameraPanel::onScanNetwork);
    m_progress = new QProgressBar(section);
    m_progress->setObjectName(QStringLiteral("scanProgress"));
    m_progress->hide();
    row->addWidget(Inst::caption(QStringLiteral("Interface"), section));
    row->addWidget(m_interfaceCombo);
    row->addWidget(m_scanButton);
    row->addWidget(m_progress, 1);
    row->addStretch(0);
    column->addLayout(row);

    m_scanStatus = new QLabel(QStringLiteral("Select an interface and click Scan"), section);
    m_scanStatus->setObjectName(QStringLiteral("scanStatus"));
    m_scanStatus->setWordWrap(true);
    m_scanStatus->setFont(Inst::sans(11.5));
    Inst::setTone(m_scanStatus, "muted");
    column->addWidget(m_scanStatus);

    m_results = new QListWidget(section);
    m_results->setObjectName(QStringLiteral("discoveredList"));
    m_results->setMaximumHeight(100);
    column->addWidget(m_results);

    m_addDiscoveredButton = plainButton(QStringLiteral("Add Selected Camera"), section, "addDiscoveredButton");
    m_addDiscoveredButton->setEnabled(false);
    connect(m_addDiscoveredButton, &QPushButton::clicked, this, &CameraPanel::onAddDiscovered);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_addDiscoveredButton);
    buttonRow->addStretch(1);
    column->addLayout(buttonRow);
    return section;
}

void CameraPanel::setCurrentCamera(const QString& cameraId)
{
    const int row = rowForCameraId(cameraId);
    if (row < 0)
        return;
    // The window asked for this camera; telling it back would only echo.
    const QScopedValueRollback<bool> guard(m_refreshing, true);
    m_table->setCurrentCell(row, NameColumn);
}

void CameraPanel::applyLook()
{
    refreshCameraTable();
}

void CameraPanel::onCameraListChanged()
{
    // An edit is stored while the view is still committing it; moving rows or the current
    // cell now would close the editor under the view's feet.
    if (m_storingEdit)
        QTimer::singleShot(0, this, &CameraPanel::refreshCameraTable);
    else
        refreshCameraTable();
}

void CameraPanel::refreshCameraTable()
{
    const QString remembered = cameraIdAt(m_table->currentRow());
    {
        const QScopedValueRollback<bool> guard(m_refreshing, true);
        // Rows are rewritten in place, which keeps the scroll position and the current cell.
        const QList<Camera> cameras = m_manager->cameraList()->allCameras();
        m_table->setRowCount(int(cameras.size()));
        for (int row = 0; row < cameras.size(); ++row)
            fillRow(row, cameras.at(row));
        const int row = rowForCameraId(remembered);
        if (row >= 0)
            m_table->setCurrentCell(row, m_table->currentColumn() >= 0 ? m_table->currentColumn() : int(NameColumn));
        else
            m_table->setCurrentCell(-1, -1);
    }
    m_indexSpin->setValue(nextIndex());
}

void CameraPanel::fillRow(int row, const Camera& camera)
{
    const Inst::Tokens& t = Inst::tokens();
    if (!m_table->cellWidget(row, LampColumn)) {
        auto* lampCell = new QWidget;
        auto* lampLayout = new QHBoxLayout(lampCell);
        lampLayout->setContentsMargins(0, 0, 0, 0);
        lampLayout->addWidget(new InstDot(8), 0, Qt::AlignCenter);
        m_table->setCellWidget(row, LampColumn, lampCell);

        auto* statusCell = new QWidget;
        auto* statusLayout = new QHBoxLayout(statusCell);
        statusLayout->setContentsMargins(0, 0, 0, 0);
        statusLayout->addWidget(new InstChip(QString(), InstChip::Idle), 0, Qt::AlignLeft | Qt::AlignVCenter);
        m_table->setCellWidget(row, StatusColumn, statusCell);
    }
    setCell(row, LampColumn, QString());
    setCell(row, IndexColumn, QString::number(camera.oscIndex));
    setCell(row, NameColumn, camera.name);
    QTableWidgetItem* name = m_table->item(row, NameColumn);
    name->setData(Qt::UserRole, camera.id);
    name->setFont(Inst::sans(12.5, QFont::Medium));
    setCell(row, AddressColumn, camera.ip);
    setCell(row, MacColumn, orDash(camera.mac));
    setCell(row, ModelColumn, orDash(camera.model));
    setCell(row, FirmwareColumn, orDash(camera.firmware));
    setCell(row, StatusColumn, QString());
    m_table->item(row, ModelColumn)->setFont(Inst::sans(12.5));
    for (int column : {MacColumn, ModelColumn, FirmwareColumn})
        m_table->item(row, column)->setForeground(t.sec);

    const Qt::ItemFlags readOnly = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    for (int column : {LampColumn, MacColumn, ModelColumn, FirmwareColumn, StatusColumn})
        m_table->item(row, column)->setFlags(readOnly);
    for (int column : {IndexColumn, NameColumn})
        m_table->item(row, column)->setFlags(readOnly | Qt::ItemIsEditable);
    setRowStatus(row, camera.status);
}

void CameraPanel::setCell(int row, int column, const QString& text)
{
    if (QTableWidgetItem* item = m_table->item(row, column))
        item->setText(text);
    else
        m_table->setItem(row, column, new QTableWidgetItem(text));
}

int CameraPanel::rowForCameraId(const QString& cameraId) const
{
    if (cameraId.isEmpty())
        return -1;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (cameraIdAt(row) == cameraId)
            return row;
    }
    return -1;
}

QString CameraPanel::cameraIdAt(int row) const
{
    const QTableWidgetItem* item = row >= 0 ? m_table->item(row, NameColumn) : nullptr;
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void CameraPanel::setRowStatus(int row, CameraStatus status)
{
    const StatusLook look = statusLook(status);
    if (QWidget* cell = m_table->cellWidget(row, LampColumn)) {
        if (auto* lamp = cell->findChild<InstDot*>())
            lamp->setColor(look.lamp);
    }
    if (QWidget* cell = m_table->cellWidget(row, StatusColumn)) {
        if (auto* chip = cell->findChild<InstChip*>()) {
            chip->setText(look.text.toUpper());
            chip->setTone(look.tone);
        }
    }
    // A connected camera keeps its address: moving it is relocation, done while it is away.
    if (QTableWidgetItem* address = m_table->item(row, AddressColumn)) {
        const QScopedValueRollback<bool> guard(m_refreshing, true);
        const bool connected = status == CameraStatus::Connected;
        address->setFlags(connected ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                    : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        address->setForeground(connected ? QBrush(Inst::tokens().sec) : QBrush());
    }
}

void CameraPanel::onCameraStatusChanged(const QString& cameraId)
{
    const int row = rowForCameraId(cameraId);
    const Camera* camera = m_manager->cameraList()->camera(cameraId);
    if (row < 0 || !camera)
        return;
    {
        const QScopedValueRollback<bool> guard(m_refreshing, true);
        if (m_table->item(row, AddressColumn)->text() != camera->ip)
            setCell(row, AddressColumn, camera->ip);
        setRowStatus(row, camera->status);
        if (m_table->item(row, MacColumn)->text() != orDash(camera->mac))
            setCell(row, MacColumn, orDash(camera->mac));
        setCell(row, ModelColumn, orDash(camera->model));
        setCell(row, FirmwareColumn, orDash(camera->firmware));
    }
    if (row == m_table->currentRow())
        updateToggleText(cameraId);
}

void CameraPanel::onCurrentCellChanged(int row, int previousRow)
{
    const bool valid = row >= 0 && row < m_table->rowCount();
    for (QPushButton* button : {m_toggleButton, m_refreshButton, m_removeButton})
        button->setEnabled(valid);
    if (!valid)
        return;
    const QString cameraId = cameraIdAt(row);
    updateToggleText(cameraId);
    if (!m_refreshing && row != previousRow)
        emit cameraActivated(cameraId);
}

void CameraPanel::updateToggleText(const QString& cameraId)
{
    m_toggleButton->setText(m_manager->isManuallyDisconnected(cameraId) ? QStringLiteral("Connect")
                                                                         : QStringLiteral("Disconnect"));
}

void CameraPanel::onCameraEdited(int row)
{
    if (m_refreshing || row < 0 || row >= m_table->rowCount())
        return;
    const QString cameraId = cameraIdAt(row);
    const Camera* stored = m_manager->cameraList()->camera(cameraId);
    if (!stored)
        return;
    const Camera before = *stored;

    // An emptied cell, or one the operator left as it was, keeps the stored value, even one
    // outside the range that an edit is held to.
    int index = before.oscIndex;
    const QString indexText = m_table->item(row, IndexColumn)->text().trimmed();
    if (!indexText.isEmpty() && indexText != QString::number(before.oscIndex)) {
        bool isNumber = false;
        index = indexText.toInt(&isNumber);
        index = qBound(minIndex, isNumber ? index : 0, maxIndex);
    }
    QString name = PanelText::singleLine(m_table->item(row, NameColumn)->text(), maxNameLength);
    if (name.isEmpty())
        name = before.name;
    QString address = m_table->item(row, AddressColumn)->text().trimmed();
    if (address.isEmpty() || before.status == CameraStatus::Connected
        || (address != before.ip && !acceptAddress(address, cameraId)))
        address = before.ip;

    if (name == before.name && index == before.oscIndex && address == before.ip) {
        // Nothing to store: show what is stored, not what was typed.
        const QScopedValueRollback<bool> guard(m_refreshing, true);
        setCell(row, IndexColumn, QString::number(before.oscIndex));
        setCell(row, NameColumn, before.name);
        setCell(row, AddressColumn, before.ip);
        return;
    }
    const QScopedValueRollback<bool> storing(m_storingEdit, true);
    m_manager->cameraList()->updateCamera(cameraId, name, before.ip, index);
    m_manager->saveConfig();
    if (address != before.ip)
        m_manager->relocateCamera(cameraId, address);
}

bool CameraPanel::acceptAddress(const QString& address, const QString& exceptId)
{
    if (!isCameraAddress(address)) {
        m_boxes->warning(this, QStringLiteral("Invalid Address"),
                         QStringLiteral("%1 is not an IPv4 address or a .local host name.").arg(address));
        return false;
    }
    const Camera* holder = m_manager->cameraList()->cameraByIp(address);
    if (!holder || holder->id == exceptId)
        return true;
    m_boxes->warning(this, QStringLiteral("Address In Use"),
                     QStringLiteral("%1 is already the address of \"%2\".").arg(address, holder->name));
    return false;
}

int CameraPanel::nextIndex() const
{
    int highest = 0;
    for (const Camera& camera : m_manager->cameraList()->allCameras())
        highest = qMax(highest, camera.oscIndex);
    return qBound(minIndex, highest + 1, maxIndex);
}

void CameraPanel::onAddCamera()
{
    const QString name = PanelText::singleLine(m_nameEdit->text(), maxNameLength);
    const QString address = m_addressEdit->text().trimmed();
    if (name.isEmpty() || address.isEmpty())
        return;
    if (!acceptAddress(address, QString()))
        return;
    m_manager->addCamera(name, address, m_indexSpin->value());
    m_nameEdit->clear();
    m_addressEdit->clear();
}

void CameraPanel::onRemoveCamera()
{
    const QString cameraId = cameraIdAt(m_table->currentRow());
    if (!cameraId.isEmpty())
        m_manager->removeCamera(cameraId);
}

void CameraPanel::onDisconnectToggle()
{
    const QString cameraId = cameraIdAt(m_table->currentRow());
    if (cameraId.isEmpty())
        return;
    if (m_manager->isManuallyDisconnected(cameraId)) {
        m_manager->refreshCamera(cameraId);
        // The cleared flag is part of the camera file; without a save a restart would find
        // the camera disconnected again.
        m_manager->saveConfig();
        m_toggleButton->setText(QStringLiteral("Disconnect"));
    } else {
        m_manager->disconnectCamera(cameraId);
        m_toggleButton->setText(QStringLiteral("Connect"));
    }
}

void CameraPanel::onRefreshSelected()
{
    const QString cameraId = cameraIdAt(m_table->currentRow());
    if (cameraId.isEmpty())
        return;
    m_manager->refreshCamera(cameraId);
    m_manager->saveConfig();
    updateToggleText(cameraId);
}

void CameraPanel::onRefreshAll()
{
    m_manager->refreshAll();
    m_manager->saveConfig();
    const QString cameraId = cameraIdAt(m_table->currentRow());
    if (!cameraId.isEmpty())
        updateToggleText(cameraId);
}

void CameraPanel::populateNetworkInterfaces()
{
    PanelPage::ComboItems items;
    QStringList names;
    QStringList addresses;
    for (const InterfaceAddress& entry : m_network->interfaceAddresses()) {
        if (!entry.up || !entry.running || entry.loopback
            || entry.address.protocol() != QAbstractSocket::IPv4Protocol || !isScannableInterface(entry.name))
            continue;
        const QString shownName = entry.humanReadableName.isEmpty() ? entry.name : entry.humanReadableName;
        items.append({QStringLiteral("%1/%2 — %3")
                          .arg(alignedAddress(entry.address), QString::number(entry.prefixLength), shownName),
                      QVariantList{entry.address.toIPv4Address(), entry.prefixLength}});
        names << entry.name.toLower();
        addresses << entry.address.toString();
    }
    PanelPage::refill(m_interfaceCombo, items);

    int chosen = -1;
    for (int i = 0; i < addresses.size() && chosen < 0; ++i) {
        if (addresses.at(i).contains(QLatin1String(".13.")))
            chosen = i;
    }
    if (chosen < 0) {
        for (int i = 0; i < names.size(); ++i) {
            if (names.at(i).startsWith(QLatin1String("en")) && (chosen < 0 || names.at(i) < names.at(chosen)))
                chosen = i;
        }
    }
    if (chosen >= 0)
        PanelPage::selectData(m_interfaceCombo, items.at(chosen).second);
}

void CameraPanel::onScanNetwork()
{
    if (m_scanner->isScanning()) {
        m_scanner->stop();
        return;
    }
    const QVariantList data = m_interfaceCombo->currentData().toList();
    if (data.size() != 2)
        return;
    m_results->clear();
    m_progress->setValue(0);
    m_progress->show();
    m_scanButton->setText(QStringLiteral("Stop Scan"));
    m_scanStatus->setText(QStringLiteral("Scanning via mDNS + HTTP probe..."));
    m_scanner->scanInterface(QHostAddress(data.at(0).toUInt()), data.at(1).toInt());
}

void CameraPanel::onScanFinished()
{
    m_scanButton->setText(QStringLiteral("Scan Network"));
    m_scanButton->setEnabled(true);
    m_progress->hide();
    m_scanStatus->setText(m_results->count() > 0
                              ? QStringLiteral("Scan complete — found %1 camera(s)").arg(m_results->count())
                              : QStringLiteral("No cameras found"));
}

void CameraPanel::addDiscovered(const DiscoveredCamera& record)
{
    if (m_manager->cameraList()->cameraByIp(record.ip))
        return;
    // The window's own discovery may report a device a scan already listed.
    for (int i = 0; i < m_results->count(); ++i) {
        if (m_results->item(i)->data(AddressRole).toString() == record.ip)
            return;
    }
    const QString mac = m_network->macForIp(record.ip);
    QString text = record.hostname.isEmpty()
        ? QStringLiteral("%1  —  %2 [%3]").arg(record.ip, record.productName, record.softwareVersion)
        : QStringLiteral("%1 (%2)  —  %3 [%4]").arg(record.hostname, record.ip, record.productName,
                                                     record.softwareVersion);
    if (!mac.isEmpty())
        text += QStringLiteral("  MAC: %1").arg(mac);
    if (!record.isCamera)
        text += QStringLiteral("  —  not a camera");

    auto* item = new QListWidgetItem(text);
    item->setData(AddressRole, record.ip);
    item->setData(HostnameRole, record.hostname);
    item->setData(ProductRole, record.productName);
    item->setData(MacRole, mac);
    item->setData(IsCameraRole, record.isCamera);
    if (!record.isCamera) {
        item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        item->setToolTip(
            QStringLiteral("This is a %1, not a camera — Kovra Control cannot control it.").arg(record.productName));
    }
    m_results->addItem(item);

    int cameras = 0;
    for (int i = 0; i < m_results->count(); ++i)
        cameras += m_results->item(i)->data(IsCameraRole).toBool() ? 1 : 0;
    const int others = m_results->count() - cameras;
    m_scanStatus->setText(others > 0
                              ? QStringLiteral("Found %1 camera(s), %2 other Blackmagic device(s)").arg(cameras).arg(others)
                              : QStringLiteral("Found %1 camera(s)").arg(cameras));
}

void CameraPanel::onAddDiscovered()
{
    QListWidgetItem* item = m_results->currentItem();
    if (!item)
        return;
    const QString address = item->data(AddressRole).toString();
    const QString product = item->data(ProductRole).toString();
    if (!item->data(IsCameraRole).toBool()) {
        m_boxes->information(
            this, QStringLiteral("Not a Camera"),
            QStringLiteral("%1 at %2 is not a camera. Kovra Control can only control Blackmagic cameras.")
                .arg(product, address));
        return;
    }
    QString mac = item->data(MacRole).toString();
    if (mac.isEmpty())
        mac = m_network->macForIp(address);
    if (const Camera* known = mac.isEmpty() ? nullptr : m_manager->cameraList()->cameraByMac(mac)) {
        const Camera camera = *known;
        if (camera.ip != address)
            m_manager->relocateCamera(camera.id, address);
        m_boxes->information(this, QStringLiteral("Camera Relinked"),
                             QStringLiteral("This camera (MAC %1) is already saved as \"%2\" in slot %3.\n\n"
                                            "IP updated to %4 and reconnecting.")
                                 .arg(mac, camera.name, QString::number(camera.oscIndex), address));
        delete item;
        return;
    }
    if (!acceptAddress(address, QString()))
        return;

    QString hostname = item->data(HostnameRole).toString();
    if (hostname.endsWith(QLatin1String(".local"), Qt::CaseInsensitive))
        hostname.chop(6);
    hostname.replace(QLatin1Char('-'), QLatin1Char(' '));
    const int index = nextIndex();
    QString name = PanelText::singleLine(hostname, maxNameLength);
    if (name.isEmpty())
        name = PanelText::singleLine(product, maxNameLength);
    if (name.isEmpty())
        name = QStringLiteral("Cam %1").arg(index);
    m_manager->addCamera(name, address, index);
    delete item;
}
