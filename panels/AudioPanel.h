#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <array>

class CameraFollower;
class CameraManager;
class InstCombo;
class InstSection;
class InstToggle;
class QDoubleSpinBox;

// The Audio tab: input, gain, phantom power, padding and low cut of the selected camera's
// two audio channels. Every change is sent at once.
class AudioPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int channelCount = 2;

    AudioPanel(CameraManager* manager, QWidget* parent = nullptr);

    void setCurrentCamera(const QString& cameraId);
    void applyCapabilities();

public slots:
    void updateFromState(const QString& cameraId);

private slots:
    void onGainChanged(int channel);
    void onInputChanged(int channel);
    void onPhantomChanged(int channel);
    void onPaddingChanged(int channel);
    void onLowCutChanged(int channel);
    void adjustGain(int channel, double delta);

private:
    struct Channel {
        InstCombo* input = nullptr;
        QDoubleSpinBox* gain = nullptr;
        InstToggle* phantom = nullptr;
        InstToggle* padding = nullptr;
        InstToggle* lowCut = nullptr;
    };

    InstSection* buildChannel(int channel);
    void populateInputs(int channel, const QList<QString>& inputs);
    void sendEnabled(int channel, const char* row, bool on);

    CameraFollower* m_follower;
    std::array<Channel, channelCount> m_channels;
};
