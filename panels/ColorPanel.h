#pragma once

#include <QWidget>

#include <array>

class CameraFollower;
class CameraManager;
class InstSection;
class QSlider;
struct ColorWheel;

// The Color tab: lift, gamma, gain and offset wheels, contrast, hue and saturation of the
// selected camera, and a reset of all of them.
class ColorPanel : public QWidget {
    Q_OBJECT
public:
    ColorPanel(CameraManager* manager, QWidget* parent = nullptr);

    void setCurrentCamera(const QString& cameraId);

public slots:
    void updateFromState(const QString& cameraId);

private slots:
    void onLiftChanged();
    void onGammaChanged();
    void onGainChanged();
    void onOffsetChanged();
    void onContrastChanged();
    void onHueChanged(int value);
    void onSaturationChanged(int value);
    void onReset();

private:
    // Red, green, blue and luma, each in thousandths.
    using Wheel = std::array<QSlider*, 4>;

    InstSection* createChannelGroup(const QString& title, Wheel& wheel, int minimum, int maximum, int initial,
                                    void (ColorPanel::*changed)());
    void sendChannel(const QString& endpoint, const Wheel& wheel, double divisor);
    static void showWheel(const Wheel& wheel, const ColorWheel& values);

    CameraFollower* m_follower;
    Wheel m_lift{};
    Wheel m_gamma{};
    Wheel m_gain{};
    Wheel m_offset{};
    QSlider* m_pivot;
    QSlider* m_adjust;
    QSlider* m_hue;
    QSlider* m_saturation;
};
