#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

struct ColorWheel {
    double red = 0;
    double green = 0;
    double blue = 0;
    double luma = 0;
};

struct AudioChannelState {
    double gain = 0;
    double normalised = 0.5;
    double gainMin = -126.0;
    double gainMax = 6.0;
    QString input;
    bool phantomPower = false;
    bool padding = false;
    bool lowCutFilter = false;
    QStringList supportedInputs;
};

// Overlays of one monitoring output.
struct MonitoringFlags {
    bool cleanFeed = false;
    bool displayLUT = false;
    bool falseColor = false;
    bool focusAssist = false;
    bool frameGuide = false;
    bool safeArea = false;
    bool zebra = false;
    bool frameGrids = false;
};

// A recording format the camera offers.
struct SupportedFormat {
    int recordWidth = 0;
    int recordHeight = 0;
    int sensorWidth = 0;
    int sensorHeight = 0;
    QString description;
    QStringList codecs;
    QStringList frameRates;
    double minOffSpeedFrameRate = 0;
    double maxOffSpeedFrameRate = 0;
};

// Last known settings of one camera, read back from its replies and events.
struct CameraState {
    double focus = 0.5;
    double irisApertureStop = 5.6;
    double irisNormalised = 0.5;
    double zoomFocalLength = 0;
    double zoomNormalised = 0.5;
    int iso = 800;
    int gain = 0;
    int whiteBalance = 5600;
    int whiteBalanceTint = 0;
    int shutterAngle = 18000;   // hundredths of a degree, as the camera reports it
    int shutterSpeed = 50;      // N of 1/N s
    double ndFilterStop = 0;
    QString autoExposureMode = QStringLiteral("Off");
    QString autoExposureType = QStringLiteral("Shutter");

    ColorWheel lift;
    ColorWheel gamma;
    ColorWheel colorGain{1.0, 1.0, 1.0, 1.0};
    ColorWheel offset;
    double contrastPivot = 0.5;
    double contrastAdjust = 1.0;
    double hue = 0;
    double saturation = 1.0;
    double lumaContribution = 1.0;

    std::array<AudioChannelState, 2> audio;

    bool recording = false;
    QString timecode;

    QString codec;
    QString container;
    QString videoFormatName;
    QString videoFrameRate;
    int videoWidth = 0;
    int videoHeight = 0;
    bool interlaced = false;

    QString formatCodec;
    QString formatFrameRate;
    int recordWidth = 0;
    int recordHeight = 0;
    int sensorWidth = 0;
    int sensorHeight = 0;
    bool offSpeedEnabled = false;
    double offSpeedFrameRate = 0;
    double minOffSpeedFrameRate = 0;
    double maxOffSpeedFrameRate = 0;

    int workingsetIndex = 0;
    QString mediaDeviceName;
    QList<SupportedFormat> supportedFormats;

    QString tallyStatus;
    bool programFeedDisplay = false;
    bool colorBars = false;
    QString powerSource;
    int powerMilliVolt = 0;
    bool timingReferenceLocked = false;

    // Indexed 0 "HDMI", 1 "MainSDI", 2 "FrontUSBC".
    std::array<MonitoringFlags, 3> monitoring;

    QString livestreamStatus;
    int livestreamBitrate = 0;
    int livestreamDuration = 0;
    int livestreamCache = 0;
    QString livestreamPlatform;
    QString livestreamServer;
    QString livestreamUrl;
    QString livestreamQuality;

    QStringList presets;
    QString activePreset;
};
