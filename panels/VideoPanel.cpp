#include "VideoPanel.h"

#include "CameraFollower.h"
#include "CameraState.h"
#include "Inst.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "InstValue.h"
#include "PanelPage.h"
#include "PanelsLog.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QString thousandthsText(double value)
{
    return QString::number(value, 'f', 3);
}

// Equal stops under a relative tolerance, so that 2.0 read back as 1.9999999 still matches.
bool sameStop(double a, double b)
{
    return std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

void selectIndex(QComboBox* combo, int index)
{
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index);
}

InstCombo* newCombo(const char* name, int minimumWidth)
{
    auto* combo = new InstCombo;
    combo->setObjectName(name);
    if (minimumWidth > 0)
        combo->setMinimumWidth(minimumWidth);
    return combo;
}

QGridLayout* sliderGrid(InstSection* section)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    // Fixed end and value columns, so that the sliders of all sections line up.
    grid->setColumnMinimumWidth(0, 56);
    grid->setColumnMinimumWidth(2, 56);
    grid->setColumnMinimumWidth(3, 110);
    section->contentLayout()->addLayout(grid);
    return grid;
}

QLabel* endLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setFont(Inst::mono(11.5));
    Inst::setTone(label, "muted");
    return label;
}

// One row of a slider grid: what leads the row, the slider, its far-end label and its value.
QSlider* addSliderRow(QGridLayout* grid, int row, QWidget* lead, const QString& farEnd, int minimum, int maximum,
                      InstValue* value)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(minimum, maximum);
    grid->addWidget(lead, row, 0);
    grid->addWidget(slider, row, 1);
    if (!farEnd.isEmpty())
        grid->addWidget(endLabel(farEnd), row, 2);
    grid->addWidget(value, row, 3);
    return slider;
}

}

const QList<int>& VideoPanel::isoValues()
{
    static const QList<int> values = {100, 200, 400, 800, 1600, 3200, 6400, 12800, 25600};
    return values;
}

const QList<double>& VideoPanel::irisStops()
{
    static const QList<double> stops = {1.0, 1.2, 1.4, 1.7, 2.0, 2.4, 2.8, 3.3, 4.0, 4.8,
                                        5.6, 6.7, 8.0, 9.5, 11, 13, 16, 19, 22};
    return stops;
}

const QList<int>& VideoPanel::shutterSpeeds()
{
    static const QList<int> speeds = {24, 25, 30, 48, 50, 60, 96, 100, 120, 125, 250, 500, 1000, 2000};
    return speeds;
}

const QList<int>& VideoPanel::wbPresets()
{
    static const QList<int> presets = {3200, 4500, 5600, 6500};
    return presets;
}

VideoPanel::VideoPanel(CameraManager* manager, QWidget* parent)
    : QWidget(parent)
    , m_follower(new CameraFollower(manager, this))
{
    QVBoxLayout* page = PanelPage::install(this);
    PanelPage::keepRowHeights(page);
    buildTopRow(page);
    buildWhiteBalance(page);
    buildExposure(page);
    buildLens(page);
    page->addStretch(1);
    connect(m_follower, &CameraFollower::currentStatusChanged, this, &VideoPanel::applyCapabilities);
}

void VideoPanel::buildTopRow(QVBoxLayout* page)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(10);

    auto* rate = new InstBezel("Frame Rate");
    m_frameRate = newCombo("frameRate", 150);
    rate->row()->addWidget(m_frameRate);
    connect(m_frameRate, &QComboBox::currentIndexChanged, this, &VideoPanel::onFrameRateChanged);
    row->addWidget(rate);

    auto* isoGain = new InstBezel("ISO / Gain");
    isoGain->row()->addWidget(PanelPage::rowLabel("ISO"));
    m_iso = newCombo("iso", 0);
    for (int iso : isoValues())
        m_iso->addItem(QString::number(iso), iso);
    isoGain->row()->addWidget(m_iso);
    isoGain->row()->addSpacing(8);
    isoGain->row()->addWidget(PanelPage::rowLabel("Gain"));
    m_gain = new QSlider(Qt::Horizontal);
    m_gain->setObjectName("gain");
    m_gain->setRange(-12, 36);
    m_gain->setValue(0);
    isoGain->row()->addWidget(m_gain, 1);
    m_gainValue = PanelPage::valueField("-12 dB", "0 dB");
    isoGain->row()->addWidget(m_gainValue);
    connect(m_iso, &QComboBox::currentIndexChanged, this, &VideoPanel::onIsoChanged);
    connect(m_gain, &QSlider::valueChanged, this, &VideoPanel::onGainChanged);
    row->addWidget(isoGain, 1);

    auto* nd = new InstBezel("ND Filter");
    m_nd = newCombo("nd", 150);
    m_nd->addItem("Clear", 0.0);
    m_nd->addItem("2 stops", 2.0);
    m_nd->addItem("4 stops", 4.0);
    m_nd->addItem("6 stops", 6.0);
    nd->row()->addWidget(m_nd);
    connect(m_nd, &QComboBox::currentIndexChanged, this, &VideoPanel::onNdChanged);
    row->addWidget(nd);

    page->addLayout(row);
}

void VideoPanel::buildWhiteBalance(QVBoxLayout* page)
{
    auto* section = new InstSection("White Balance");
    auto* presets = new SegStrip;
    for (int kelvin : wbPresets()) {
        auto* button = new QPushButton(QString("%1K").arg(kelvin));
        Inst::style(button, Inst::Seg);
        button->setObjectName(QString("wbPreset%1").arg(kelvin));
        presets->layout()->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, kelvin] { onWbPreset(kelvin); });
        m_wbPresetButtons.append(button);
    }
    section->addHeaderWidget(presets);

    QGridLayout* grid = sliderGrid(section);
    m_wbValue = PanelPage::valueField("10000K", "5600K");
    m_wb = addSliderRow(grid, 0, endLabel("2500K"), "10000K", 2500, 10000, m_wbValue);
    m_wb->setObjectName("whiteBalance");
    m_wb->setSingleStep(50);
    m_wb->setPageStep(500);
    m_wb->setValue(5600);
    m_tintValue = PanelPage::valueField("-50", "0");
    m_tint = addSliderRow(grid, 1, PanelPage::rowLabel("Tint"), QString(), -50, 50, m_tintValue);
    m_tint->setObjectName("tint");
    m_tint->setValue(0);
    updateWbPresets(m_wb->value());
    connect(m_wb, &QSlider::valueChanged, this, &VideoPanel::onWbChanged);
    connect(m_tint, &QSlider::valueChanged, this, &VideoPanel::onTintChanged);
    page->addWidget(section);
}

void VideoPanel::buildExposure(QVBoxLayout* page)
{
    auto* section = new InstSection("Exposure");
    auto* row = new QHBoxLayout;
    row->setSpacing(10);

    m_exposureMode = newCombo("exposureMode", 180);
    m_exposureMode->view()->setMinimumWidth(180);
    m_exposureMode->addItems({"Manual", "Shutter", "Shutter + Iris", "Iris + Shutter"});
    row->addWidget(PanelPage::rowLabel("Mode"));
    row->addWidget(m_exposureMode);
    row->addSpacing(14);

    m_iris = newCombo("iris", 120);
    for (double stop : irisStops())
        m_iris->addItem(QString("f/%1").arg(stop, 0, 'f', 1), stop);
    m_irisLabel = PanelPage::rowLabel("Iris");
    row->addWidget(m_irisLabel);
    row->addWidget(m_iris);
    row->addSpacing(14);

    m_shutter = newCombo("shutter", 120);
    for (int speed : shutterSpeeds())
        m_shutter->addItem(QString("1/%1").arg(speed), speed);
    m_shutterLabel = PanelPage::rowLabel("Shutter");
    row->addWidget(m_shutterLabel);
    row->addWidget(m_shutter);
    row->addStretch(1);

    section->contentLayout()->addLayout(row);
    updateExposureVisibility();
    connect(m_exposureMode, &QComboBox::currentIndexChanged, this, &VideoPanel::onExposureModeChanged);
    connect(m_iris, &QComboBox::currentIndexChanged, this, &VideoPanel::onExposureIrisChanged);
    connect(m_shutter, &QComboBox::currentIndexChanged, this, &VideoPanel::onShutterChanged);
    page->addWidget(section);
}

void VideoPanel::buildLens(QVBoxLayout* page)
{
    auto* focus = new InstSection("Focus");
    m_autoFocus = new QPushButton("Auto Focus");
    m_autoFocus->setObjectName("autoFocus");
    Inst::style(m_autoFocus, Inst::Primary);
    Inst::setSmall(m_autoFocus);
    focus->addHeaderWidget(m_autoFocus);
    m_focusValue = PanelPage::valueField("0.000", "0.500");
    m_focus = addSliderRow(sliderGrid(focus), 0, endLabel("Near"), "Far", 0, 1000, m_focusValue);
    m_focus->setObjectName("focus");
    m_focus->setValue(500);
    connect(m_autoFocus, &QPushButton::clicked, this, &VideoPanel::onAutoFocus);
    connect(m_focus, &QSlider::valueChanged, this, &VideoPanel::onFocusChanged);
    page->addWidget(focus);

    auto* zoom = new InstSection("Zoom");
    m_zoomValue = PanelPage::valueField("0.000", "0.500");
    m_zoom = addSliderRow(sliderGrid(zoom), 0, endLabel("Wide"), "Tele", 0, 1000, m_zoomValue);
    m_zoom->setObjectName("zoom");
    m_zoom->setValue(500);
    connect(m_zoom, &QSlider::valueChanged, this, &VideoPanel::onZoomChanged);
    page->addWidget(zoom);
}

void VideoPanel::setCurrentCamera(const QString& cameraId)
{
    m_follower->follow(cameraId);
    applyCapabilities();
    updateFromState(cameraId);
}

void VideoPanel::applyCapabilities()
{
    if (const auto capabilities = m_follower->capabilities())
        m_nd->setEnabled(capabilities->hasNdFilter);
}

void VideoPanel::updateFromState(const QString& cameraId)
{
    const CameraState* state = m_follower->stateToShow(cameraId);
    if (!state)
        return;
    const CameraFollower::Filling filling(*m_follower);

    if (!state->supportedFormats.isEmpty())
        populateFrameRates();
    if (!state->videoFrameRate.isEmpty())
        PanelPage::selectData(m_frameRate, state->videoFrameRate);

    PanelPage::selectData(m_iso, state->iso);
    m_gain->setValue(state->gain);
    m_gainValue->setText(QString("%1 dB").arg(state->gain));
    m_wb->setValue(state->whiteBalance);
    m_wbValue->setText(QString("%1K").arg(state->whiteBalance));
    updateWbPresets(state->whiteBalance);
    m_tint->setValue(state->whiteBalanceTint);
    m_tintValue->setText(QString::number(state->whiteBalanceTint));

    PanelPage::selectData(m_shutter, state->shutterSpeed);
    for (int i = 0; i < m_nd->count(); ++i) {
        if (sameStop(m_nd->itemData(i).toDouble(), state->ndFilterStop)) {
            selectIndex(m_nd, i);
            break;
        }
    }

    int mode = 0;
    if (state->autoExposureMode != QLatin1String("Off")) {
        const QStringList types = {"Shutter", "Iris", "Iris,Shutter"};
        mode = int(types.indexOf(state->autoExposureType)) + 1;
    }
    selectIndex(m_exposureMode, mode);
    updateExposureVisibility();

    int nearest = 0;
    double nearestDistance = 9999;
    for (int i = 0; i < m_iris->count(); ++i) {
        const double distance = std::abs(m_iris->itemData(i).toDouble() - state->irisApertureStop);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = i;
        }
    }
    selectIndex(m_iris, nearest);

    m_focus->setValue(PanelPage::thousandths(state->focus));
    m_focusValue->setText(thousandthsText(state->focus));
    m_zoom->setValue(PanelPage::thousandths(state->zoomNormalised));
    m_zoomValue->setText(thousandthsText(state->zoomNormalised));
}

void VideoPanel::populateFrameRates()
{
    const CameraState* state = m_follower->currentState();
    if (!state || state->supportedFormats.isEmpty())
        return;
    QSet<QString> unique;
    for (const SupportedFormat& format : state->supportedFormats) {
        for (const QString& rate : format.frameRates)
            unique.insert(rate);
    }
    QStringList rates = unique.values();
    std::sort(rates.begin(), rates.end());
    std::stable_sort(rates.begin(), rates.end(),
                     [](const QString& a, const QString& b) { return a.toDouble() < b.toDouble(); });
    PanelPage::ComboItems items;
    for (const QString& rate : std::as_const(rates))
        items.append({QString("%1 fps").arg(rate), rate});
    PanelPage::refill(m_frameRate, items);
}

void VideoPanel::sendFrameRateChange()
{
    const CameraState* state = m_follower->currentState();
    if (!state)
        return;
    const int recordWidth = state->recordWidth > 0 ? state->recordWidth : state->videoWidth;
    const int recordHeight = state->recordHeight > 0 ? state->recordHeight : state->videoHeight;
    const QJsonObject body{
        {"recordResolution", QJsonObject{{"width", recordWidth}, {"height", recordHeight}}},
        {"sensorResolution",
         QJsonObject{{"width", state->sensorWidth > 0 ? state->sensorWidth : recordWidth},
                     {"height", state->sensorHeight > 0 ? state->sensorHeight : recordHeight}}},
        {"codec", state->formatCodec.isEmpty() ? state->codec : state->formatCodec},
        {"frameRate", m_frameRate->currentData().toString()},
        {"offSpeedEnabled", state->offSpeedEnabled},
        {"offSpeedFrameRate", state->offSpeedFrameRate > 0 ? PanelPage::truncated(state->offSpeedFrameRate) : 60},
    };
    qCDebug(lcPanels) << "Video PUT system/format (frame rate):" << body;
    m_follower->send("system/format", body);
}

void VideoPanel::updateWbPresets(int kelvin)
{
    for (int i = 0; i < m_wbPresetButtons.size(); ++i)
        m_wbPresetButtons.at(i)->setChecked(wbPresets().at(i) == kelvin);
}

void VideoPanel::updateExposureVisibility()
{
    const int mode = m_exposureMode->currentIndex();
    m_iris->setEnabled(mode < 2);
    m_shutter->setEnabled(mode == 0);
}

void VideoPanel::onFrameRateChanged(int index)
{
    if (index >= 0 && m_follower->acceptsInput())
        sendFrameRateChange();
}

void VideoPanel::onIsoChanged(int index)
{
    if (index >= 0)
        m_follower->send("video/iso", {{"iso", m_iso->itemData(index).toInt()}});
}

void VideoPanel::onGainChanged(int value)
{
    m_gainValue->setText(QString("%1 dB").arg(value));
    m_follower->sendLater("video/gain", {{"gain", value}});
}

void VideoPanel::onNdChanged(int index)
{
    if (index >= 0)
        m_follower->send("video/ndFilter", {{"stop", m_nd->itemData(index).toDouble()}});
}

void VideoPanel::onWbChanged(int value)
{
    m_wbValue->setText(QString("%1K").arg(value));
    updateWbPresets(value);
    m_follower->sendLater("video/whiteBalance", {{"whiteBalance", value}});
}

void VideoPanel::onTintChanged(int value)
{
    m_tintValue->setText(QString::number(value));
    m_follower->sendLater("video/whiteBalanceTint", {{"whiteBalanceTint", value}});
}

void VideoPanel::onExposureModeChanged(int index)
{
    updateExposureVisibility();
    switch (index) {
    case 0:
        m_follower->send("video/autoExposure", {{"mode", "Off"}});
        break;
    case 1:
        m_follower->send("video/autoExposure", {{"mode", "Continuous"}, {"type", "Shutter"}});
        break;
    case 2:
        m_follower->send("video/autoExposure", {{"mode", "Continuous"}, {"type", "Iris"}});
        break;
    case 3:
        m_follower->send("video/autoExposure", {{"mode", "Continuous"}, {"type", "Iris,Shutter"}});
        break;
    default:
        break;
    }
}

void VideoPanel::onExposureIrisChanged(int index)
{
    if (index >= 0)
        m_follower->send("lens/iris", {{"apertureStop", m_iris->itemData(index).toDouble()}});
}

void VideoPanel::onShutterChanged(int index)
{
    if (index >= 0)
        m_follower->send("video/shutter", {{"shutterSpeed", m_shutter->itemData(index).toInt()}});
}

void VideoPanel::onFocusChanged(int value)
{
    m_focusValue->setText(thousandthsText(value / 1000.0));
    m_follower->sendLater("lens/focus", {{"focus", value / 1000.0}});
}

void VideoPanel::onAutoFocus()
{
    m_follower->send("lens/focus/doAutoFocus", QJsonObject());
}

void VideoPanel::onZoomChanged(int value)
{
    m_zoomValue->setText(thousandthsText(value / 1000.0));
    m_follower->sendLater("lens/zoom", {{"normalised", value / 1000.0}});
}

void VideoPanel::onWbPreset(int kelvin)
{
    m_wb->setValue(kelvin);
    updateWbPresets(m_wb->value());
}
