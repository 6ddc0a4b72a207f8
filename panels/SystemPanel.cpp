#include "SystemPanel.h"

#include "CameraFollower.h"
#include "CameraManager.h"
#include "Inst.h"
#include "InstChecks.h"
#include "InstChip.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "InstValue.h"
#include "PanelPage.h"
#include "PanelsLog.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr const char* outputNames[SystemPanel::outputCount] = {"HDMI", "MainSDI"};
constexpr const char* outputTitles[SystemPanel::outputCount] = {"HDMI", "Main SDI"};
constexpr const char* overlayNames[SystemPanel::overlayCount] = {
    "cleanFeed", "displayLUT", "falseColor", "focusAssist", "frameGuide", "safeArea", "zebra", "frameGrids"};
constexpr const char* overlayTitles[SystemPanel::overlayCount] = {
    "Clean Feed", "Display LUT", "False Color", "Focus Assist", "Frame Guide", "Safe Area", "Zebra", "Frame Grids"};
// In the order of the names above.
constexpr bool MonitoringFlags::*overlayFlags[SystemPanel::overlayCount] = {
    &MonitoringFlags::cleanFeed, &MonitoringFlags::displayLUT, &MonitoringFlags::falseColor,
    &MonitoringFlags::focusAssist, &MonitoringFlags::frameGuide, &MonitoringFlags::safeArea,
    &MonitoringFlags::zebra, &MonitoringFlags::frameGrids};

const QString noValue = QStringLiteral("\u2014");
const QString stoppedTimecode = QStringLiteral("00:00:00:00");

QLabel* valueLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setFont(Inst::mono(12.5, QFont::Medium));
    return label;
}

QLabel* warningLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setFont(Inst::sans(11.5));
    Inst::setTone(label, "warn");
    return label;
}

QString sizeKey(int width, int height)
{
    return QString("%1x%2").arg(width).arg(height);
}

QString sizeText(int width, int height)
{
    return QString("%1 \u00d7 %2").arg(width).arg(height);
}

}

const char* SystemPanel::outputName(int output)
{
    return outputNames[output];
}

const char* SystemPanel::overlayName(int overlay)
{
    return overlayNames[overlay];
}

SystemPanel::SystemPanel(CameraManager* manager, QWidget* parent)
    : QWidget(parent)
    , m_follower(new CameraFollower(manager, this))
    , m_blinkTimer(this)
{
    QVBoxLayout* page = PanelPage::install(this);
    PanelPage::keepRowHeights(page);
    page->addWidget(buildCamera());
    page->addWidget(buildOverlays());
    page->addWidget(buildRecording());
    page->addStretch(1);

    m_blinkTimer.setObjectName("blinkTimer");
    m_blinkTimer.setInterval(600);
    connect(&m_blinkTimer, &QTimer::timeout, this, &SystemPanel::onBlink);
    connect(m_follower, &CameraFollower::commandSent, this, [this] { showStatus("Sending\u2026", "info"); });
    connect(m_follower, &CameraFollower::currentStatusChanged, this, &SystemPanel::applyCapabilities);
    connect(manager, &CameraManager::connectionError, this, &SystemPanel::onConnectionError);
}

InstSection* SystemPanel::buildCamera()
{
    auto* section = new InstSection("Camera");
    QVBoxLayout* column = section->contentLayout();
    column->setSpacing(10);

    auto* toggles = new QHBoxLayout;
    toggles->setSpacing(24);
    m_programFeed = new InstToggle("Program Feed Display");
    m_programFeed->setObjectName("programFeed");
    m_colorBars = new InstToggle("Color Bars");
    m_colorBars->setObjectName("colorBars");
    toggles->addWidget(m_programFeed);
    toggles->addWidget(m_colorBars);
    toggles->addStretch(1);
    column->addLayout(toggles);
    column->addWidget(warningLabel("\u26a0 Enabling Program Feed Display or Color Bars will replace the live camera "
                                   "image on all video outputs."));

    auto* power = new QHBoxLayout;
    power->setSpacing(10);
    power->addWidget(Inst::caption("Power"));
    m_power = valueLabel(noValue);
    m_power->setObjectName("power");
    power->addWidget(m_power);
    power->addStretch(1);
    column->addLayout(power);

    connect(m_programFeed, &QCheckBox::toggled, this, &SystemPanel::onProgramFeedToggled);
    connect(m_colorBars, &QCheckBox::toggled, this, &SystemPanel::onColorBarsToggled);
    return section;
}

InstSection* SystemPanel::buildOverlays()
{
    auto* section = new InstSection("Monitoring Overlays");
    // The table and its note keep the note's width, so the check boxes stay near their names.
    auto* block = new QWidget;
    block->setFixedWidth(470);
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(0, 1);
    for (int output = 0; output < outputCount; ++output) {
        QLabel* title = Inst::caption(outputTitles[output]);
        title->setMinimumWidth(84);
        title->setAlignment(Qt::AlignCenter);
        grid->addWidget(title, 0, output + 1);
    }
    for (int overlay = 0; overlay < overlayCount; ++overlay) {
        grid->addWidget(PanelPage::rowLabel(overlayTitles[overlay]), overlay + 1, 0);
        for (int output = 0; output < outputCount; ++output) {
            auto* check = new InstCheck(QString());
            check->setObjectName(QString("%1/%2").arg(outputNames[output], overlayNames[overlay]));
            check->setAccessibleName(QString("%1, %2").arg(outputTitles[output], overlayTitles[overlay]));
            grid->addWidget(check, overlay + 1, output + 1, Qt::AlignCenter);
            connect(check, &QCheckBox::toggled, this, &SystemPanel::onMonitorFeatureToggled);
            m_overlays[output][overlay] = check;
        }
    }
    column->addLayout(grid);
    column->addWidget(warningLabel("\u26a0 When Clean Feed is enabled on an output, all other overlays (LUT, False "
                                   "Color, Focus Assist, etc.) are hidden on that output regardless of their "
                                   "individual settings."));
    // In a row of its own: a column would measure the wrapped note at the column's width.
    auto* row = new QHBoxLayout;
    row->addWidget(block);
    row->addStretch(1);
    section->contentLayout()->addLayout(row);
    return section;
}

InstSection* SystemPanel::buildRecording()
{
    auto* section = new InstSection("Recording");
    QVBoxLayout* column = section->contentLayout();
    column->setSpacing(10);

    auto* transport = new QHBoxLayout;
    transport->setSpacing(12);
    auto* screen = new InstScreen;
    auto* display = new QHBoxLayout(screen);
    display->setContentsMargins(16, 10, 16, 10);
    display->setSpacing(10);
    m_lamp = new InstDot(8);
    m_lamp->setObjectName("recordLamp");
    m_lamp->hide();
    m_transport = new InstChip(QString("Stopped").toUpper(), InstChip::Idle);
    m_transport->setObjectName("transport");
    m_transport->setAccessibleName("Stopped");
    m_timecode = PanelPage::valueField(stoppedTimecode, stoppedTimecode, nullptr, 56);
    m_timecode->setObjectName("timecode");
    display->addWidget(m_lamp, 0, Qt::AlignVCenter);
    display->addWidget(m_transport, 0, Qt::AlignVCenter);
    display->addStretch(1);
    display->addWidget(Inst::caption("Timecode"), 0, Qt::AlignVCenter);
    display->addWidget(m_timecode, 0, Qt::AlignVCenter);
    transport->addWidget(screen, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(8);
    auto* record = new QPushButton("Record");
    record->setObjectName("record");
    Inst::style(record, Inst::Alarm);
    record->setMinimumWidth(150);
    auto* stop = new QPushButton("Stop");
    stop->setObjectName("stop");
    Inst::style(stop, Inst::Plain);
    stop->setMinimumWidth(150);
    buttons->addWidget(record);
    buttons->addWidget(stop);
    transport->addLayout(buttons);
    column->addLayout(transport);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(2, 1);
    m_resolution = new InstCombo;
    m_resolution->setObjectName("resolution");
    m_resolution->setMinimumWidth(230);
    m_codec = new InstCombo;
    m_codec->setObjectName("codec");
    m_container = new InstCombo;
    m_container->setObjectName("container");
    m_offSpeed = new InstCheck("Off-speed (overcrank/undercrank)");
    m_offSpeed->setObjectName("offSpeed");
    m_offSpeedRate = new QDoubleSpinBox;
    m_offSpeedRate->setObjectName("offSpeedRate");
    m_offSpeedRate->setRange(1.0, 120.0);
    m_offSpeedRate->setDecimals(2);
    m_offSpeedRate->setSuffix(" fps");
    m_offSpeedRate->setMinimumWidth(130);
    m_offSpeedRate->setEnabled(false);
    // Each change sends a whole format; a typed rate goes out once, when confirmed.
    m_offSpeedRate->setKeyboardTracking(false);
    m_range = valueLabel(noValue);
    m_range->setObjectName("range");
    m_storage = valueLabel(noValue);
    m_storage->setObjectName("storage");

    int row = 0;
    const auto addRow = [&](const QString& label, QWidget* field) {
        grid->addWidget(PanelPage::rowLabel(label), row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    addRow("Resolution", m_resolution);
    addRow("Codec", m_codec);
    addRow("Container", m_container);
    grid->addWidget(m_offSpeed, row++, 0, 1, 3);
    addRow("Sensor Frame Rate", m_offSpeedRate);
    addRow("Range", m_range);
    addRow("Active Storage", m_storage);
    column->addLayout(grid);

    auto* refreshRow = new QHBoxLayout;
    refreshRow->setSpacing(12);
    auto* refresh = new QPushButton("Refresh System Settings");
    refresh->setObjectName("refresh");
    Inst::style(refresh, Inst::Plain);
    m_status = new QLabel;
    m_status->setObjectName("status");
    refreshRow->addWidget(refresh);
    refreshRow->addWidget(m_status, 1);
    column->addLayout(refreshRow);

    connect(record, &QPushButton::clicked, this, &SystemPanel::onRecord);
    connect(stop, &QPushButton::clicked, this, &SystemPanel::onStop);
    connect(refresh, &QPushButton::clicked, this, [this] {
        showStatus("Refreshing\u2026", "muted");
        m_follower->refreshNow();
    });
    connect(m_resolution, &QComboBox::currentIndexChanged, this, &SystemPanel::onResolutionChanged);
    connect(m_codec, &QComboBox::currentIndexChanged, this, &SystemPanel::onCodecChanged);
    connect(m_container, &QComboBox::currentIndexChanged, this, &SystemPanel::onContainerChanged);
    connect(m_offSpeed, &QCheckBox::toggled, this, &SystemPanel::onOffSpeedToggled);
    connect(m_offSpeedRate, &QDoubleSpinBox::valueChanged, this, &SystemPanel::onOffSpeedRateChanged);
    return section;
}

QString SystemPanel::codecDisplayName(const QString& codec)
{
    QString name = codec;
    name.replace(QLatin1Char(':'), QLatin1Char(' '));
    if (name.startsWith(QLatin1String("BRaw")))
        name.replace(0, 4, QStringLiteral("BRAW"));
    static const QRegularExpression ratio(QStringLiteral("(\\d+)_(\\d+)$"));
    name.replace(ratio, QStringLiteral("\\1:\\2"));
    return name;
}

void SystemPanel::setCurrentCamera(const QString& cameraId)
{
    m_follower->follow(cameraId);
    showStatus(QString(), nullptr);
    applyCapabilities();
    updateFromState(cameraId);
}

void SystemPanel::applyCapabilities()
{
    const auto capabilities = m_follower->capabilities();
    if (!capabilities)
        return;
    m_codec->setEnabled(capabilities->canChangeFormat);
    m_container->setEnabled(capabilities->canChangeFormat);
    m_offSpeed->setEnabled(capabilities->hasOffSpeed);
    if (!capabilities->hasOffSpeed)
        m_offSpeedRate->setEnabled(false);
    m_storage->setEnabled(capabilities->hasStorage);
}

void SystemPanel::updateFromState(const QString& cameraId)
{
    const CameraState* state = m_follower->stateToShow(cameraId);
    if (!state)
        return;
    const CameraFollower::Filling filling(*m_follower);

    m_programFeed->setChecked(state->programFeedDisplay);
    m_colorBars->setChecked(state->colorBars);
    if (!state->powerSource.isEmpty())
        m_power->setText(QString("%1  \u2022  %2 V").arg(state->powerSource).arg(state->powerMilliVolt / 1000.0, 0, 'f', 1));
    for (int output = 0; output < outputCount; ++output) {
        for (int overlay = 0; overlay < overlayCount; ++overlay)
            m_overlays[output][overlay]->setChecked(state->monitoring[output].*overlayFlags[overlay]);
    }

    if (!state->supportedFormats.isEmpty())
        populateCombosFromSupported();
    if (!state->codec.isEmpty() && !PanelPage::selectData(m_codec, state->codec) && m_codec->count() == 0)
        PanelPage::refill(m_codec, {{codecDisplayName(state->codec), state->codec}});
    if (!state->container.isEmpty() && !PanelPage::selectText(m_container, state->container)) {
        const QSignalBlocker blocker(m_container);
        m_container->addItem(state->container);
        m_container->setCurrentIndex(m_container->count() - 1);
    }
    if (state->videoWidth >= 1 && state->videoHeight >= 1)
        PanelPage::selectData(m_resolution, sizeKey(state->videoWidth, state->videoHeight));

    m_offSpeed->setChecked(state->offSpeedEnabled);
    m_offSpeedRate->setEnabled(state->offSpeedEnabled && m_offSpeed->isEnabled());
    if (state->minOffSpeedFrameRate > 0 && state->maxOffSpeedFrameRate > 0) {
        m_offSpeedRate->setRange(state->minOffSpeedFrameRate, state->maxOffSpeedFrameRate);
        m_range->setText(QString("%1 \u2013 %2 fps")
                             .arg(state->minOffSpeedFrameRate, 0, 'f', 2)
                             .arg(state->maxOffSpeedFrameRate, 0, 'f', 2));
    }
    if (state->offSpeedFrameRate > 0)
        m_offSpeedRate->setValue(state->offSpeedFrameRate);

    m_storage->setText(state->mediaDeviceName.isEmpty() ? QStringLiteral("No media") : state->mediaDeviceName);
    m_timecode->setText(state->timecode.isEmpty() ? stoppedTimecode : state->timecode);
    setRecording(state->recording);
    showStatus(QString(), nullptr);
}

void SystemPanel::populateCombosFromSupported()
{
    const CameraState* state = m_follower->currentState();
    if (!state || m_resolution->count() > 0)
        return;

    PanelPage::ComboItems resolutions;
    QSet<QString> sizes;
    QStringList codecs;
    for (const SupportedFormat& format : state->supportedFormats) {
        const QString key = sizeKey(format.recordWidth, format.recordHeight);
        if (!sizes.contains(key)) {
            sizes.insert(key);
            QString text = sizeText(format.recordWidth, format.recordHeight);
            if (!format.description.isEmpty())
                text += QString("  (%1)").arg(format.description);
            resolutions.append({text, key});
        }
        for (const QString& codec : format.codecs) {
            if (!codecs.contains(codec))
                codecs.append(codec);
        }
    }
    const struct {
        int width;
        int height;
        const char* name;
    } standardSizes[] = {{3840, 2160, "Ultra HD"}, {1920, 1080, "Full HD"}};
    for (const auto& size : standardSizes) {
        const QString key = sizeKey(size.width, size.height);
        if (!sizes.contains(key))
            resolutions.append({QString("%1  (%2)").arg(sizeText(size.width, size.height), size.name), key});
    }
    for (const char* codec : {"ProRes:HQ", "ProRes:422", "ProRes:LT", "ProRes:Proxy"}) {
        if (!codecs.contains(QLatin1String(codec)))
            codecs.append(QLatin1String(codec));
    }
    PanelPage::ComboItems codecItems;
    for (const QString& codec : std::as_const(codecs))
        codecItems.append({codecDisplayName(codec), codec});

    PanelPage::refill(m_resolution, resolutions);
    PanelPage::refill(m_codec, codecItems);
}

void SystemPanel::sendFullFormat()
{
    const CameraState* state = m_follower->currentState();
    if (!state || !m_follower->acceptsInput())
        return;

    int width = state->recordWidth;
    int height = state->recordHeight;
    const QStringList parts = m_resolution->currentData().toString().split(QLatin1Char('x'));
    if (parts.size() == 2) {
        width = parts.at(0).toInt();
        height = parts.at(1).toInt();
    }
    int sensorWidth = state->sensorWidth >= 1 ? state->sensorWidth : width;
    int sensorHeight = state->sensorHeight >= 1 ? state->sensorHeight : height;
    for (const SupportedFormat& format : state->supportedFormats) {
        if (format.recordWidth == width && format.recordHeight == height) {
            if (format.sensorWidth != 0 && format.sensorHeight != 0) {
                sensorWidth = format.sensorWidth;
                sensorHeight = format.sensorHeight;
            }
            break;
        }
    }
    // A camera whose formats never arrived still has its current codec.
    QString codec = m_codec->currentData().toString();
    if (codec.isEmpty())
        codec = state->formatCodec.isEmpty() ? state->codec : state->formatCodec;
    int offSpeedRate = 60;
    if (m_offSpeed->isChecked())
        offSpeedRate = PanelPage::truncated(m_offSpeedRate->value());
    else if (state->offSpeedFrameRate > 0)
        offSpeedRate = PanelPage::truncated(state->offSpeedFrameRate);

    const QJsonObject body{
        {"recordResolution", QJsonObject{{"width", width}, {"height", height}}},
        {"sensorResolution", QJsonObject{{"width", sensorWidth}, {"height", sensorHeight}}},
        {"codec", codec},
        {"frameRate", state->videoFrameRate.isEmpty() ? state->formatFrameRate : state->videoFrameRate},
        {"offSpeedEnabled", m_offSpeed->isChecked()},
        {"offSpeedFrameRate", offSpeedRate},
    };
    qCDebug(lcPanels) << "System PUT system/format (full):" << body;
    m_follower->send("system/format", body);
}

void SystemPanel::onProgramFeedToggled(bool on)
{
    sendCameraSwitch("camera/programFeedDisplay", on);
}

void SystemPanel::onColorBarsToggled(bool on)
{
    sendCameraSwitch("camera/colorBars", on);
}

void SystemPanel::sendCameraSwitch(const QString& endpoint, bool on)
{
    if (!m_follower->acceptsInput())
        return;
    const QJsonObject body{{"enabled", on}};
    qCDebug(lcPanels).noquote() << QString("Camera PUT %1:").arg(endpoint) << body;
    m_follower->send(endpoint, body);
}

void SystemPanel::onMonitorFeatureToggled()
{
    if (!m_follower->acceptsInput())
        return;
    for (int output = 0; output < outputCount; ++output) {
        for (int overlay = 0; overlay < overlayCount; ++overlay) {
            InstCheck* check = m_overlays[output][overlay];
            if (check == sender()) {
                sendMonitorFeature(output, overlay, check->isChecked());
                return;
            }
        }
    }
}

void SystemPanel::sendMonitorFeature(int output, int overlay, bool on)
{
    const QString endpoint = QString("monitoring/%1/%2").arg(outputNames[output], overlayNames[overlay]);
    const QJsonObject body{{"enabled", on}};
    qCDebug(lcPanels) << "Monitor PUT" << endpoint << body;
    m_follower->send(endpoint, body);
}

void SystemPanel::onRecord()
{
    m_follower->send("transports/0/record", {{"recording", true}});
}

void SystemPanel::onStop()
{
    m_follower->send("transports/0/stop", QJsonObject());
}

void SystemPanel::onResolutionChanged(int index)
{
    if (index >= 0)
        sendFullFormat();
}

void SystemPanel::onCodecChanged(int index)
{
    if (index >= 0)
        sendFullFormat();
}

void SystemPanel::onContainerChanged(int index)
{
    if (index >= 0)
        sendFullFormat();
}

void SystemPanel::onOffSpeedToggled(bool on)
{
    if (!m_follower->acceptsInput())
        return;
    m_offSpeedRate->setEnabled(on);
    sendFullFormat();
}

void SystemPanel::onOffSpeedRateChanged(double)
{
    if (m_offSpeed->isChecked())
        sendFullFormat();
}

void SystemPanel::setRecording(bool on)
{
    m_transport->setText(on ? QStringLiteral("REC") : QString("Stopped").toUpper());
    m_transport->setTone(on ? InstChip::Bad : InstChip::Idle);
    m_transport->setAccessibleName(on ? QStringLiteral("Recording") : QStringLiteral("Stopped"));
    m_lamp->setVisible(on);
    if (!on) {
        m_blinkTimer.stop();
    } else if (!m_blinkTimer.isActive()) {
        m_blinkOn = true;
        m_lamp->setColor(Inst::tokens().red);
        m_blinkTimer.start();
    }
}

void SystemPanel::onBlink()
{
    m_blinkOn = !m_blinkOn;
    QColor red = Inst::tokens().red;
    if (!m_blinkOn)
        red.setAlphaF(red.alphaF() * 0.35f);
    m_lamp->setColor(red);
}

void SystemPanel::showStatus(const QString& text, const char* tone)
{
    m_status->setText(text);
    Inst::setTone(m_status, tone);
}

void SystemPanel::onConnectionError(const QString& cameraId, const QString& error)
{
    if (cameraId.isEmpty() || cameraId != m_follower->cameraId())
        return;
    showStatus(QString("\u26a0 %1").arg(error), "bad");
    qCWarning(lcPanels) << "System PUT error for" << cameraId << ":" << error;
}
