#pragma once

#include <QJsonObject>
#include <QList>
#include <QWidget>

class CameraFollower;
class CameraManager;
class InstCombo;
class InstValue;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;

// The Video tab: frame rate, ISO and gain, ND, white balance and tint, exposure, iris and
// shutter, focus and zoom of the selected camera.
class VideoPanel : public QWidget {
    Q_OBJECT
public:
    static const QList<int>& isoValues();
    static const QList<double>& irisStops();
    static const QList<int>& shutterSpeeds();
    static const QList<int>& wbPresets();

    VideoPanel(CameraManager* manager, QWidget* parent = nullptr);

    void setCurrentCamera(const QString& cameraId);
    void applyCapabilities();

public slots:
    void updateFromState(const QString& cameraId);

private slots:
    void onFrameRateChanged(int index);
    void onIsoChanged(int index);
    void onGainChanged(int value);
    void onNdChanged(int index);
    void onWbChanged(int value);
    void onTintChanged(int value);
    void onExposureModeChanged(int index);
    void onExposureIrisChanged(int index);
    void onShutterChanged(int index);
    void onFocusChanged(int value);
    void onAutoFocus();
    void onZoomChanged(int value);
    void onWbPreset(int kelvin);

private:
    void buildTopRow(QVBoxLayout* page);
    void buildWhiteBalance(QVBoxLayout* page);
    void buildExposure(QVBoxLayout* page);
    void buildLens(QVBoxLayout* page);
    void populateFrameRates();
    void sendFrameRateChange();
    void updateWbPresets(int kelvin);
    void updateExposureVisibility();

    CameraFollower* m_follower;

    InstCombo* m_frameRate;
    InstCombo* m_iso;
    QSlider* m_gain;
    InstValue* m_gainValue;
    InstCombo* m_nd;
    QSlider* m_wb;
    InstValue* m_wbValue;
    QList<QPushButton*> m_wbPresetButtons;
    QSlider* m_tint;
    InstValue* m_tintValue;
    InstCombo* m_exposureMode;
    QLabel* m_irisLabel;
    InstCombo* m_iris;
    QLabel* m_shutterLabel;
    InstCombo* m_shutter;
    QPushButton* m_autoFocus;
    QSlider* m_focus;
    InstValue* m_focusValue;
    QSlider* m_zoom;
    InstValue* m_zoomValue;
};
