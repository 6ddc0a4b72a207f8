#include "PresetPanel.h"

#include "CameraApi.h"
#include "CameraManager.h"
#include "Inst.h"
#include "InstFrames.h"
#include "ModalBoxes.h"
#include "PanelPage.h"
#include "PanelText.h"
#include "PanelsLog.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString presetSuffix = QStringLiteral(".cset");
constexpr int rereadAfterWriteMs = 300;
constexpr int rereadAfterConnectMs = 500;

QPushButton* headerButton(const QString& text, const QString& toolTip, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setToolTip(toolTip);
    Inst::style(button, Inst::Plain);
    return button;
}

}

PresetPanel::PresetPanel(CameraManager* manager, QWidget* parent, ModalBoxes* boxes)
    : QWidget(parent)
    , m_manager(manager)
    , m_boxes(ModalBoxes::orStandard(boxes))
{
    QVBoxLayout* page = PanelPage::install(this);

    auto* presets = new InstSection(QStringLiteral("Presets"), this);
    m_recallButton = headerButton(QStringLiteral("Recall"), QStringLiteral("Load the selected preset on the camera"), presets);
    m_updateButton = headerButton(QStringLiteral("Update"),
                                  QStringLiteral("Overwrite the selected preset with current camera settings"), presets);
    m_deleteButton = headerButton(QStringLiteral("Delete"), QStringLiteral("Delete the selected preset"), presets);
    m_refreshButton = headerButton(QStringLiteral("Refresh"), QStringLiteral("Refresh the preset list from the camera"),
                                   presets);
    for (QPushButton* button : {m_recallButton, m_updateButton, m_deleteButton, m_refreshButton})
        presets->addHeaderWidget(button);
    connect(m_recallButton, &QPushButton::clicked, this, &PresetPanel::onRecall);
    connect(m_updateButton, &QPushButton::clicked, this, &PresetPanel::onOverwrite);
    connect(m_deleteButton, &QPushButton::clicked, this, &PresetPanel::onDelete);
    connect(m_refreshButton, &QPushButton::clicked, this, &PresetPanel::onRefresh);

    m_activeLabel = new QLabel(QStringLiteral("Active: —"), presets);
    m_activeLabel->setObjectName(QStringLiteral("activeLabel"));
    m_activeLabel->setFont(Inst::sans(12.5, QFont::DemiBold));
    Inst::setTone(m_activeLabel, "info");
    m_list = new QListWidget(presets);
    m_list->setObjectName(QStringLiteral("presetList"));
    m_list->setFont(Inst::sans(13, QFont::Medium));
    connect(m_list, &QListWidget::currentRowChanged, this, &PresetPanel::onPresetSelectionChanged);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &PresetPanel::onRecall);
    presets->contentLayout()->setSpacing(8);
    presets->contentLayout()->addWidget(m_activeLabel);
    presets->contentLayout()->addWidget(m_list, 1);
    page->addWidget(presets, 1);

    auto* save = new InstSection(QStringLiteral("Save New Preset"), this);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_nameEdit = new QLineEdit(save);
    m_nameEdit->setObjectName(QStringLiteral("presetNameEdit"));
    m_nameEdit->setPlaceholderText(QStringLiteral("New preset name..."));
    m_nameEdit->setMaxLength(maxNameLength);
    m_saveButton = headerButton(QStringLiteral("Save"), QStringLiteral("Save current camera settings as a new preset"), save);
    connect(m_saveButton, &QPushButton::clicked, this, &PresetPanel::onSave);
    connect(m_nameEdit, &QLineEdit::returnPressed, this, &PresetPanel::onSave);
    row->addWidget(Inst::caption(QStringLiteral("Name"), save));
    row->addWidget(m_nameEdit, 1);
    row->addWidget(m_saveButton);
    auto* note = new QLabel(
        QStringLiteral("Presets are saved and recalled directly on the camera. They include: exposure (ISO/gain, "
                       "shutter, white balance, tint, ND filter), audio (input, gain, phantom power, padding, low "
                       "cut), color correction (lift, gamma, gain, offset, contrast, saturation, hue), lens (iris, "
                       "focus), and transport settings."),
        save);
    note->setWordWrap(true);
    note->setFont(Inst::sans(11.5));
    Inst::setTone(note, "muted");
    save->contentLayout()->setSpacing(8);
    save->contentLayout()->addLayout(row);
    save->contentLayout()->addWidget(note);
    page->addWidget(save);

    connect(m_manager->api(), &CameraApi::getFinished, this, &PresetPanel::onGetFinished);
    connect(m_manager->api(), &CameraApi::putFinished, this, &PresetPanel::onPutFinished);
    connect(m_manager, &CameraManager::cameraStatusChanged, this, &PresetPanel::onCameraStatusChanged);
    updateButtonStates();
}

QString PresetPanel::presetFileName(const QString& name)
{
    return name.endsWith(presetSuffix, Qt::CaseInsensitive) ? name : name + presetSuffix;
}

QString PresetPanel::displayName(const QString& fileName)
{
    return fileName.endsWith(presetSuffix, Qt::CaseInsensitive) ? fileName.chopped(presetSuffix.size()) : fileName;
}

QString PresetPanel::presetEndpoint(const QString& fileName)
{
    // URLs turn "%2E" back into ".", so "." and ".." would climb out of the preset folder
    // however they are written.
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return QString();
    return QStringLiteral("presets/") + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

void PresetPanel::setCurrentCamera(const QString& cameraId)
{
    m_cameraId = cameraId;
    m_activeFileName.clear();
    m_activeLabel->setText(QStringLiteral("Active: —"));
    m_list->clear();
    const Camera* camera = m_manager->cameraList()->camera(cameraId);
    m_lastStatus = camera ? camera->status : CameraStatus::Disconnected;
    refreshPresets(cameraId);
}

void PresetPanel::refreshPresets(const QString& cameraId)
{
    const Camera* camera = cameraId.isEmpty() ? nullptr : m_manager->cameraList()->camera(cameraId);
    if (!camera)
        return;
    m_manager->api()->get(camera->ip, QStringLiteral("presets"));
    m_manager->api()->get(camera->ip, QStringLiteral("presets/active"));
}

void PresetPanel::onRefresh()
{
    refreshPresets(m_cameraId);
}

QString PresetPanel::currentAddress() const
{
    const Camera* camera = m_cameraId.isEmpty() ? nullptr : m_manager->cameraList()->camera(m_cameraId);
    return camera ? camera->ip : QString();
}

QString PresetPanel::currentFileName() const
{
    const QListWidgetItem* item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void PresetPanel::onGetFinished(const QString& cameraIp, const QString& endpoint, const QJsonObject& response)
{
    if (response.isEmpty() || cameraIp != currentAddress())
        return;
    if (endpoint == QLatin1String("presets")) {
        QStringList fileNames;
        for (const QJsonValue& name : response.value(QLatin1String("presets")).toArray()) {
            if (name.isString())
                fileNames << name.toString();
        }
        showPresetList(fileNames);
    } else if (endpoint == QLatin1String("presets/active")) {
        showActive(response.value(QLatin1String("preset")).toString());
    }
}

void PresetPanel::showPresetList(const QStringList& fileNames)
{
    QStringList shown;
    for (int i = 0; i < m_list->count(); ++i)
        shown << m_list->item(i)->data(Qt::UserRole).toString();
    // The camera is asked every few seconds; an unchanged list keeps its scroll position.
    if (shown != fileNames) {
        const QString selected = currentFileName();
        m_list->clear();
        for (const QString& fileName : fileNames) {
            auto* item = new QListWidgetItem(displayName(fileName), m_list);
            item->setData(Qt::UserRole, fileName);
            if (fileName == selected)
                m_list->setCurrentItem(item);
        }
    }
    markActive();
    updateButtonStates();
}

void PresetPanel::showActive(const QString& fileName)
{
    m_activeFileName = fileName;
    m_activeLabel->setText(fileName.isEmpty() || fileName == QLatin1String("default")
                               ? QStringLiteral("Active: (none)")
                               : QStringLiteral("Active: %1").arg(displayName(fileName)));
    markActive();
}

void PresetPanel::markActive()
{
    const bool none = m_activeFileName.isEmpty() || m_activeFileName == QLatin1String("default");
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem* item = m_list->item(i);
        const QString fileName = item->data(Qt::UserRole).toString();
        const bool active = !none && fileName == m_activeFileName;
        QFont font = m_list->font();
        font.setWeight(active ? QFont::Bold : QFont::Medium);
        item->setFont(font);
        item->setText(active ? displayName(fileName) + QStringLiteral("  ◀") : displayName(fileName));
    }
}

void PresetPanel::onPresetSelectionChanged()
{
    updateButtonStates();
}

void PresetPanel::updateButtonStates()
{
    const bool selected = m_list->currentItem() != nullptr;
    for (QPushButton* button : {m_recallButton, m_updateButton, m_deleteButton})
        button->setEnabled(selected);
}

void PresetPanel::onRecall()
{
    const QString fileName = currentFileName();
    if (fileName.isEmpty() || m_cameraId.isEmpty())
        return;
    m_manager->sendCommand(m_cameraId, QStringLiteral("presets/active"), QJsonObject{{QStringLiteral("preset"), fileName}});
}

void PresetPanel::onSave()
{
    const QString name = PanelText::singleLine(m_nameEdit->text(), maxNameLength);
    const QString address = currentAddress();
    if (name.isEmpty() || address.isEmpty())
        return;
    const QString endpoint = presetEndpoint(presetFileName(name));
    if (endpoint.isEmpty())
        return;
    m_manager->api()->putBinary(address, endpoint);
    m_nameEdit->clear();
}

PresetPanel::Target PresetPanel::selectedTarget() const
{
    Target target{currentFileName(), currentAddress(), QString()};
    target.endpoint = presetEndpoint(target.fileName);
    if (target.endpoint.isEmpty() && !target.fileName.isEmpty())
        qCWarning(lcPanels) << "Preset" << target.fileName << "cannot be addressed on the camera";
    return target;
}

void PresetPanel::onOverwrite()
{
    // The question runs an event loop of its own, in which the list may be re-read: what it
    // is about is taken first.
    const Target target = selectedTarget();
    if (target.endpoint.isEmpty() || target.address.isEmpty())
        return;
    if (m_boxes->question(this, QStringLiteral("Overwrite Preset"),
                          QStringLiteral("Overwrite \"%1\" with current camera settings?")
                              .arg(displayName(target.fileName))))
        m_manager->api()->putBinary(target.address, target.endpoint);
}

void PresetPanel::onDelete()
{
    const Target target = selectedTarget();
    if (target.endpoint.isEmpty() || target.address.isEmpty())
        return;
    if (m_boxes->question(this, QStringLiteral("Delete Preset"),
                          QStringLiteral("Delete preset \"%1\"? This cannot be undone.").arg(displayName(target.fileName))))
        m_manager->api()->del(target.address, target.endpoint);
}

void PresetPanel::onPutFinished(const QString& cameraIp, const QString& endpoint, bool success, const QString&)
{
    if (success && cameraIp == currentAddress() && endpoint.startsWith(QLatin1String("presets")))
        QTimer::singleShot(rereadAfterWriteMs, this, &PresetPanel::onRefresh);
}

void PresetPanel::onCameraStatusChanged(const QString& cameraId)
{
    if (cameraId != m_cameraId)
        return;
    const Camera* camera = m_manager->cameraList()->camera(cameraId);
    const CameraStatus status = camera ? camera->status : CameraStatus::Disconnected;
    if (status == CameraStatus::Connected && m_lastStatus != CameraStatus::Connected)
        QTimer::singleShot(rereadAfterConnectMs, this, &PresetPanel::onRefresh);
    m_lastStatus = status;
}
