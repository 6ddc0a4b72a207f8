#include "ColorPanel.h"

#include "CameraFollower.h"
#include "CameraState.h"
#include "Inst.h"
#include "InstFrames.h"
#include "PanelPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

struct ChannelLook {
    const char* letter;
    const char* name;
    const char* tone;
    const char* tint;
};

// Blue keeps the accent colour of an untinted slider.
constexpr ChannelLook channelLooks[4] = {
    {"R", "Red", "bad", "red"},
    {"G", "Green", "go", "green"},
    {"B", "Blue", "info", nullptr},
    {"L", "Luma", nullptr, "luma"},
};

QSlider* newSlider(const QString& name, int minimum, int maximum, int initial)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setRange(minimum, maximum);
    slider->setValue(initial);
    return slider;
}

QGridLayout* sectionGrid(InstSection* section, int labelWidth)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, labelWidth);
    section->contentLayout()->addLayout(grid);
    return grid;
}

QHBoxLayout* sideBySide(QVBoxLayout* page, QWidget* left, QWidget* right)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addWidget(left, 1);
    row->addWidget(right, 1);
    page->addLayout(row);
    return row;
}

QJsonObject wheelBody(double red, double green, double blue, double luma)
{
    return {{"red", red}, {"green", green}, {"blue", blue}, {"luma", luma}};
}

}

ColorPanel::ColorPanel(CameraManager* manager, QWidget* parent)
    : QWidget(parent)
    , m_follower(new CameraFollower(manager, this))
{
    QVBoxLayout* page = PanelPage::install(this);
    PanelPage::keepRowHeights(page);
    sideBySide(page, createChannelGroup("Lift", m_lift, -1000, 1000, 0, &ColorPanel::onLiftChanged),
               createChannelGroup("Gamma", m_gamma, -4000, 4000, 0, &ColorPanel::onGammaChanged));
    sideBySide(page, createChannelGroup("Gain", m_gain, 0, 16000, 1000, &ColorPanel::onGainChanged),
               createChannelGroup("Offset", m_offset, -8000, 8000, 0, &ColorPanel::onOffsetChanged));

    auto* contrast = new InstSection("Contrast");
    // One label width for both sections, so that their sliders start together.
    QLabel* saturationLabel = PanelPage::rowLabel("Saturation");
    const int labelWidth = saturationLabel->sizeHint().width();
    QGridLayout* contrastGrid = sectionGrid(contrast, labelWidth);
    m_pivot = newSlider("pivot", 0, 1000, 500);
    m_adjust = newSlider("adjust", 0, 2000, 1000);
    contrastGrid->addWidget(PanelPage::rowLabel("Pivot"), 0, 0);
    contrastGrid->addWidget(m_pivot, 0, 1);
    contrastGrid->addWidget(PanelPage::rowLabel("Adjust"), 1, 0);
    contrastGrid->addWidget(m_adjust, 1, 1);

    auto* color = new InstSection("Hue / Saturation");
    QGridLayout* colorGrid = sectionGrid(color, labelWidth);
    m_hue = newSlider("hue", -1000, 1000, 0);
    m_saturation = newSlider("saturation", 0, 2000, 1000);
    colorGrid->addWidget(PanelPage::rowLabel("Hue"), 0, 0);
    colorGrid->addWidget(m_hue, 0, 1);
    colorGrid->addWidget(saturationLabel, 1, 0);
    colorGrid->addWidget(m_saturation, 1, 1);
    sideBySide(page, contrast, color);

    auto* reset = new QPushButton("Reset Color Correction");
    reset->setObjectName("reset");
    Inst::style(reset, Inst::Plain);
    auto* resetRow = new QHBoxLayout;
    resetRow->addWidget(reset);
    resetRow->addStretch(1);
    page->addLayout(resetRow);
    page->addStretch(1);

    connect(m_pivot, &QSlider::valueChanged, this, &ColorPanel::onContrastChanged);
    connect(m_adjust, &QSlider::valueChanged, this, &ColorPanel::onContrastChanged);
    connect(m_hue, &QSlider::valueChanged, this, &ColorPanel::onHueChanged);
    connect(m_saturation, &QSlider::valueChanged, this, &ColorPanel::onSaturationChanged);
    connect(reset, &QPushButton::clicked, this, &ColorPanel::onReset);
}

InstSection* ColorPanel::createChannelGroup(const QString& title, Wheel& wheel, int minimum, int maximum,
                                            int initial, void (ColorPanel::*changed)())
{
    auto* section = new InstSection(title);
    QGridLayout* grid = sectionGrid(section, 0);
    for (int channel = 0; channel < 4; ++channel) {
        const ChannelLook& look = channelLooks[channel];
        auto* letter = new QLabel(look.letter);
        letter->setFont(Inst::mono(12.5, QFont::DemiBold));
        letter->setFixedWidth(14);
        if (look.tone)
            Inst::setTone(letter, look.tone);
        QSlider* slider = newSlider(title.toLower() + look.name, minimum, maximum, initial);
        if (look.tint)
            slider->setProperty("tint", QByteArray(look.tint));
        grid->addWidget(letter, channel, 0);
        grid->addWidget(slider, channel, 1);
        connect(slider, &QSlider::valueChanged, this, changed);
        wheel[channel] = slider;
    }
    return section;
}

void ColorPanel::setCurrentCamera(const QString& cameraId)
{
    m_follower->follow(cameraId);
    updateFromState(cameraId);
}

void ColorPanel::showWheel(const Wheel& wheel, const ColorWheel& values)
{
    wheel[0]->setValue(PanelPage::thousandths(values.red));
    wheel[1]->setValue(PanelPage::thousandths(values.green));
    wheel[2]->setValue(PanelPage::thousandths(values.blue));
    wheel[3]->setValue(PanelPage::thousandths(values.luma));
}

void ColorPanel::updateFromState(const QString& cameraId)
{
    const CameraState* state = m_follower->stateToShow(cameraId);
    if (!state)
        return;
    const CameraFollower::Filling filling(*m_follower);
    showWheel(m_lift, state->lift);
    showWheel(m_gamma, state->gamma);
    showWheel(m_gain, state->colorGain);
    showWheel(m_offset, state->offset);
    m_pivot->setValue(PanelPage::thousandths(state->contrastPivot));
    m_adjust->setValue(PanelPage::thousandths(state->contrastAdjust));
    m_hue->setValue(PanelPage::thousandths(state->hue));
    m_saturation->setValue(PanelPage::thousandths(state->saturation));
}

void ColorPanel::sendChannel(const QString& endpoint, const Wheel& wheel, double divisor)
{
    m_follower->sendLater(endpoint, wheelBody(wheel[0]->value() / divisor, wheel[1]->value() / divisor,
                                              wheel[2]->value() / divisor, wheel[3]->value() / divisor));
}

void ColorPanel::onLiftChanged()
{
    sendChannel("colorCorrection/lift", m_lift, 1000.0);
}

void ColorPanel::onGammaChanged()
{
    sendChannel("colorCorrection/gamma", m_gamma, 1000.0);
}

void ColorPanel::onGainChanged()
{
    sendChannel("colorCorrection/gain", m_gain, 1000.0);
}

void ColorPanel::onOffsetChanged()
{
    sendChannel("colorCorrection/offset", m_offset, 1000.0);
}

void ColorPanel::onContrastChanged()
{
    m_follower->sendLater("colorCorrection/contrast",
                          {{"pivot", m_pivot->value() / 1000.0}, {"adjust", m_adjust->value() / 1000.0}});
}

void ColorPanel::onHueChanged(int value)
{
    m_follower->sendLater("colorCorrection/color", {{"hue", value / 1000.0}});
}

void ColorPanel::onSaturationChanged(int value)
{
    m_follower->sendLater("colorCorrection/color", {{"saturation", value / 1000.0}});
}

void ColorPanel::onReset()
{
    const QJsonObject zero = wheelBody(0, 0, 0, 0);
    m_follower->send("colorCorrection/lift", zero);
    m_follower->send("colorCorrection/gamma", zero);
    m_follower->send("colorCorrection/gain", wheelBody(1, 1, 1, 1));
    m_follower->send("colorCorrection/offset", zero);
    m_follower->send("colorCorrection/contrast", {{"pivot", 0.5}, {"adjust", 1.0}});
    m_follower->send("colorCorrection/color", {{"hue", 0}, {"saturation", 1.0}});
}
