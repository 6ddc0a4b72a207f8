#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>

class CameraFollower;
class CameraManager;
class InstCheck;
class InstChip;
class InstCombo;
class InstDot;
class InstSection;
class InstToggle;
class InstValue;
class QDoubleSpinBox;
class QLabel;
class QVBoxLayout;

// The System tab: program-feed display and colour bars, power, the monitoring overlays of
// the HDMI and main SDI outputs, recording with its timecode, and the recording format.
class SystemPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int outputCount = 2;
    static constexpr int overlayCount = 8;
    static const char* outputName(int output);
    static const char* overlayName(int overlay);

    SystemPanel(CameraManager* manager, QWidget* parent = nullptr);

    void setCurrentCamera(const QString& cameraId);
    void applyCapabilities();
    // "ProRes:HQ" as "ProRes HQ", "BRaw:3_1" as "BRAW 3:1".
    static QString codecDisplayName(const QString& codec);

public slots:
    void updateFromState(const QString& cameraId);

private slots:
    void onProgramFeedToggled(bool on);
    void onColorBarsToggled(bool on);
    void onMonitorFeatureToggled();
    void onRecord();
    void onStop();
    void onResolutionChanged(int index);
    void onCodecChanged(int index);
    void onContainerChanged(int index);
    void onOffSpeedToggled(bool on);
    void onOffSpeedRateChanged(double rate);

private:
    InstSection* buildCamera();
    InstSection* buildOverlays();
    InstSection* buildRecording();
    void sendCameraSwitch(const QString& endpoint, bool on);
    void sendMonitorFeature(int output, int overlay, bool on);
    void sendFullFormat();
    void setRecording(bool on);
    void populateCombosFromSupported();
    void showStatus(const QString& text, const char* tone);
    void onConnectionError(const QString& cameraId, const QString& error);
    void onBlink();

    CameraFollower* m_follower;

    InstToggle* m_programFeed;
    InstToggle* m_colorBars;
    QLabel* m_power;
    std::array<std::array<InstCheck*, overlayCount>, outputCount> m_overlays{};
    InstDot* m_lamp;
    InstChip* m_transport;
    InstValue* m_timecode;
    InstCombo* m_resolution;
    InstCombo* m_codec;
    InstCombo* m_container;
    InstCheck* m_offSpeed;
    QDoubleSpinBox* m_offSpeedRate;
    QLabel* m_range;
    QLabel* m_storage;
    QLabel* m_status;
    QTimer m_blinkTimer;
    bool m_blinkOn = false;
};
