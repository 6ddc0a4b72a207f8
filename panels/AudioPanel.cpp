#include "AudioPanel.h"

#include "CameraFollower.h"
#include "CameraState.h"
#include "Inst.h"
#include "InstChecks.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "PanelPage.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString channelEndpoint(int channel, const char* row)
{
    return QString("audio/channel/%1/%2").arg(channel).arg(QLatin1String(row));
}

QPushButton* stepButton(const QString& text, const QString& tip)
{
    auto* button = new QPushButton(text);
    Inst::style(button, Inst::Plain);
    button->setToolTip(tip);
    return button;
}

}

AudioPanel::AudioPanel(CameraManager* manager, QWidget* parent)
    : QWidget(parent)
    , m_follower(new CameraFollower(manager, this))
{
    QVBoxLayout* page = PanelPage::install(this);
    PanelPage::keepRowHeights(page);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    for (int channel = 0; channel < channelCount; ++channel)
        row->addWidget(buildChannel(channel), 1);
    page->addLayout(row);
    page->addStretch(1);
    connect(m_follower, &CameraFollower::currentStatusChanged, this, &AudioPanel::applyCapabilities);
}

InstSection* AudioPanel::buildChannel(int channel)
{
    auto* section = new InstSection(QString("Channel %1").arg(channel + 1));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    section->contentLayout()->addLayout(grid);
    Channel& c = m_channels[channel];
    const QString suffix = QString::number(channel);

    c.input = new InstCombo;
    c.input->setObjectName("input" + suffix);
    grid->addWidget(PanelPage::rowLabel("Input"), 0, 0);
    grid->addWidget(c.input, 0, 1);

    auto* gainRow = new QHBoxLayout;
    gainRow->setSpacing(6);
    auto* down = stepButton("-0.5 dB", "Decrease gain by 0.5 dB");
    down->setObjectName("gainDown" + suffix);
    c.gain = new QDoubleSpinBox;
    c.gain->setObjectName("gain" + suffix);
    c.gain->setRange(-126.0, 6.0);
    c.gain->setDecimals(1);
    c.gain->setSingleStep(0.5);
    c.gain->setSuffix(" dB");
    c.gain->setMinimumWidth(120);
    // A typed level goes out once, when the operator confirms it, not once per keystroke.
    c.gain->setKeyboardTracking(false);
    auto* up = stepButton("+0.5 dB", "Increase gain by 0.5 dB");
    up->setObjectName("gainUp" + suffix);
    gainRow->addWidget(down);
    gainRow->addWidget(c.gain);
    gainRow->addWidget(up);
    gainRow->addStretch(1);
    grid->addWidget(PanelPage::rowLabel("Gain"), 1, 0);
    grid->addLayout(gainRow, 1, 1);

    auto* toggles = new QHBoxLayout;
    toggles->setSpacing(18);
    c.phantom = new InstToggle("Phantom +48V");
    c.phantom->setObjectName("phantom" + suffix);
    c.padding = new InstToggle("Padding");
    c.padding->setObjectName("padding" + suffix);
    c.lowCut = new InstToggle("Low Cut");
    c.lowCut->setObjectName("lowCut" + suffix);
    for (InstToggle* toggle : {c.phantom, c.padding, c.lowCut})
        toggles->addWidget(toggle);
    toggles->addStretch(1);
    grid->addLayout(toggles, 2, 0, 1, 2);

    connect(c.input, &QComboBox::currentIndexChanged, this, [this, channel] { onInputChanged(channel); });
    connect(c.gain, &QDoubleSpinBox::valueChanged, this, [this, channel] { onGainChanged(channel); });
    connect(down, &QPushButton::clicked, this, [this, channel] { adjustGain(channel, -0.5); });
    connect(up, &QPushButton::clicked, this, [this, channel] { adjustGain(channel, 0.5); });
    connect(c.phantom, &QCheckBox::toggled, this, [this, channel] { onPhantomChanged(channel); });
    connect(c.padding, &QCheckBox::toggled, this, [this, channel] { onPaddingChanged(channel); });
    connect(c.lowCut, &QCheckBox::toggled, this, [this, channel] { onLowCutChanged(channel); });
    return section;
}

void AudioPanel::setCurrentCamera(const QString& cameraId)
{
    m_follower->follow(cameraId);
    for (Channel& channel : m_channels) {
        const QSignalBlocker blocker(channel.input);
        channel.input->clear();
    }
    applyCapabilities();
    updateFromState(cameraId);
}

void AudioPanel::applyCapabilities()
{
    const auto capabilities = m_follower->capabilities();
    if (!capabilities)
        return;
    for (Channel& channel : m_channels)
        channel.phantom->setEnabled(capabilities->hasPhantomPower);
}

void AudioPanel::updateFromState(const QString& cameraId)
{
    const CameraState* state = m_follower->stateToShow(cameraId);
    if (!state)
        return;
    const CameraFollower::Filling filling(*m_follower);
    for (int i = 0; i < channelCount; ++i) {
        const AudioChannelState& audio = state->audio[i];
        Channel& channel = m_channels[i];
        if (!audio.supportedInputs.isEmpty())
            populateInputs(i, audio.supportedInputs);
        if (audio.gainMin < audio.gainMax)
            channel.gain->setRange(audio.gainMin, audio.gainMax);
        channel.gain->setValue(audio.gain);
        if (!PanelPage::selectText(channel.input, audio.input) && !audio.input.isEmpty()
            && channel.input->count() == 0)
            PanelPage::refill(channel.input, {{audio.input, QVariant()}});
        channel.phantom->setChecked(audio.phantomPower);
        channel.padding->setChecked(audio.padding);
        channel.lowCut->setChecked(audio.lowCutFilter);
    }
}

void AudioPanel::populateInputs(int channel, const QList<QString>& inputs)
{
    if (inputs.isEmpty())
        return;
    PanelPage::ComboItems items;
    for (const QString& input : inputs)
        items.append({input, QVariant()});
    PanelPage::refill(m_channels[channel].input, items);
}

void AudioPanel::onGainChanged(int channel)
{
    m_follower->send(channelEndpoint(channel, "level"), {{"gain", m_channels[channel].gain->value()}});
}

void AudioPanel::onInputChanged(int channel)
{
    const QString input = m_channels[channel].input->currentText();
    if (!input.isEmpty())
        m_follower->send(channelEndpoint(channel, "input"), {{"input", input}});
}

void AudioPanel::sendEnabled(int channel, const char* row, bool on)
{
    m_follower->send(channelEndpoint(channel, row), {{"enabled", on}});
}

void AudioPanel::onPhantomChanged(int channel)
{
    sendEnabled(channel, "phantomPower", m_channels[channel].phantom->isChecked());
}

void AudioPanel::onPaddingChanged(int channel)
{
    sendEnabled(channel, "padding", m_channels[channel].padding->isChecked());
}

void AudioPanel::onLowCutChanged(int channel)
{
    sendEnabled(channel, "lowCutFilter", m_channels[channel].lowCut->isChecked());
}

void AudioPanel::adjustGain(int channel, double delta)
{
    if (!m_follower->acceptsInput())
        return;
    QDoubleSpinBox* gain = m_channels[channel].gain;
    gain->setValue(std::clamp(gain->value() + delta, gain->minimum(), gain->maximum()));
}
