#include "SimulatedState.h"

#include <QJsonArray>

#include <cmath>

namespace {

QJsonObject resolution(int width, int height)
{
    return QJsonObject{{QStringLiteral("width"), width}, {QStringLiteral("height"), height}};
}

QJsonObject wheel(double value)
{
    return QJsonObject{{QStringLiteral("red"), value}, {QStringLiteral("green"), value},
                       {QStringLiteral("blue"), value}, {QStringLiteral("luma"), value}};
}

QJsonObject enabled(bool on)
{
    return QJsonObject{{QStringLiteral("enabled"), on}};
}

QJsonObject supportedFormat(int width, int height, const QString& descriptor,
                            const QJsonArray& codecs, const ModelProfile& profile)
{
    return QJsonObject{
        {QStringLiteral("recordResolution"), resolution(width, height)},
        {QStringLiteral("sensorResolution"), resolution(width, height)},
        {QStringLiteral("resolutionDescriptor"), descriptor},
        {QStringLiteral("codecs"), codecs},
        {QStringLiteral("frameRates"),
         QJsonArray{QStringLiteral("23.98"), QStringLiteral("24"), QStringLiteral("25"),
                    QStringLiteral("29.97"), QStringLiteral("30"), QStringLiteral("50")}},
        {QStringLiteral("minOffSpeedFrameRate"), profile.offSpeed ? 5 : 0},
        {QStringLiteral("maxOffSpeedFrameRate"), profile.offSpeed ? 60 : 0},
    };
}

void addAudioChannel(EndpointValues& values, int channel, const ModelProfile& profile)
{
    const QString prefix = QStringLiteral("audio/channel/%1/").arg(channel);
    const QString input = channel == 0 ? QStringLiteral("XLR1 - Mic") : QStringLiteral("Camera - Right");
    values[prefix + QLatin1String("level")] =
        QJsonObject{{QStringLiteral("gain"), 0.0}, {QStringLiteral("normalised"), 0.5}};
    values[prefix + QLatin1String("input")] = QJsonObject{{QStringLiteral("input"), input}};
    if (profile.phantomPower)
        values[prefix + QLatin1String("phantomPower")] = enabled(false);
    values[prefix + QLatin1String("padding")] = enabled(false);
    values[prefix + QLatin1String("lowCutFilter")] = enabled(false);
    QJsonArray inputs;
    const QStringList names = {QStringLiteral("None"), QStringLiteral("Camera - Left"),
                               QStringLiteral("Camera - Right"), QStringLiteral("XLR1 - Line"),
                               QStringLiteral("XLR1 - Mic"), QStringLiteral("XLR2 - Line"),
                               QStringLiteral("XLR2 - Mic")};
    for (const QString& name : names) {
        const bool available = profile.phantomPower || !name.startsWith(QLatin1String("XLR"));
        inputs.append(QJsonObject{{QStringLiteral("input"), name}, {QStringLiteral("available"), available}});
    }
    values[prefix + QLatin1String("supportedInputs")] = inputs;
    values[prefix + QLatin1String("input/description")] = QJsonObject{
        {QStringLiteral("input"), input},
        {QStringLiteral("description"),
         QJsonObject{{QStringLiteral("gainRange"),
                      QJsonObject{{QStringLiteral("Min"), -12.0}, {QStringLiteral("Max"), 60.0}}},
                     {QStringLiteral("capabilities"),
                      QJsonObject{{QStringLiteral("phantomPower"), profile.phantomPower},
                                  {QStringLiteral("padding"), true},
                                  {QStringLiteral("lowCutFilter"), true}}}}},
    };
}

} // namespace

EndpointValues defaultEndpointValues(const ModelProfile& profile)
{
    EndpointValues v;
    if (!profile.isCamera)
        return v;
    v[QStringLiteral("lens/iris")] = QJsonObject{{QStringLiteral("apertureStop"), 4.0},
                                                 {QStringLiteral("normalised"), 0.4},
                                                 {QStringLiteral("apertureNumber"), 400}};
    v[QStringLiteral("lens/focus")] = QJsonObject{{QStringLiteral("focus"), 0.5}};
    v[QStringLiteral("lens/zoom")] = QJsonObject{{QStringLiteral("focalLength"), 24},
                                                 {QStringLiteral("normalised"), 0.3}};

    v[QStringLiteral("video/iso")] = QJsonObject{{QStringLiteral("iso"), 800}};
    v[QStringLiteral("video/gain")] = QJsonObject{{QStringLiteral("gain"), 0}};
    v[QStringLiteral("video/whiteBalance")] = QJsonObject{{QStringLiteral("whiteBalance"), 5600}};
    v[QStringLiteral("video/whiteBalanceTint")] = QJsonObject{{QStringLiteral("whiteBalanceTint"), 0}};
    v[QStringLiteral("video/shutter")] = QJsonObject{{QStringLiteral("shutterAngle"), 18000},
                                                     {QStringLiteral("shutterSpeed"), 50}};
    if (profile.ndFilter)
        v[QStringLiteral("video/ndFilter")] = QJsonObject{{QStringLiteral("stop"), 0.0}};
    v[QStringLiteral("video/autoExposure")] = QJsonObject{{QStringLiteral("mode"), QStringLiteral("Off")},
                                                          {QStringLiteral("type"), QStringLiteral("Shutter")}};

    v[QStringLiteral("colorCorrection/lift")] = wheel(0.0);
    v[QStringLiteral("colorCorrection/gamma")] = wheel(0.0);
    v[QStringLiteral("colorCorrection/gain")] = wheel(1.0);
    v[QStringLiteral("colorCorrection/offset")] = wheel(0.0);
    v[QStringLiteral("colorCorrection/contrast")] = QJsonObject{{QStringLiteral("pivot"), 0.5},
                                                                {QStringLiteral("adjust"), 1.0}};
    v[QStringLiteral("colorCorrection/color")] = QJsonObject{{QStringLiteral("hue"), 0.0},
                                                             {QStringLiteral("saturation"), 1.0}};
    v[QStringLiteral("colorCorrection/lumaContribution")] =
        QJsonObject{{QStringLiteral("lumaContribution"), 1.0}};

    addAudioChannel(v, 0, profile);
    addAudioChannel(v, 1, profile);

    const QString codec = profile.formatChoice ? QStringLiteral("BRaw:Q5") : QStringLiteral("ProRes:HQ");
    const QString container = profile.formatChoice ? QStringLiteral("BRAW") : QStringLiteral("MOV");
    v[QStringLiteral("system/codecFormat")] = QJsonObject{{QStringLiteral("codec"), codec},
                                                          {QStringLiteral("container"), container}};
    v[QStringLiteral("system/videoFormat")] = QJsonObject{
        {QStringLiteral("name"), QStringLiteral("2160p25")}, {QStringLiteral("frameRate"), QStringLiteral("25")},
        {QStringLiteral("width"), 3840}, {QStringLiteral("height"), 2160}, {QStringLiteral("interlaced"), false}};
    v[QStringLiteral("system/format")] = QJsonObject{
        {QStringLiteral("codec"), codec},
        {QStringLiteral("frameRate"), QStringLiteral("25")},
        {QStringLiteral("offSpeedEnabled"), false},
        {QStringLiteral("offSpeedFrameRate"), profile.offSpeed ? 60 : 0},
        {QStringLiteral("minOffSpeedFrameRate"), profile.offSpeed ? 5 : 0},
        {QStringLiteral("maxOffSpeedFrameRate"), profile.offSpeed ? 60 : 0},
        {QStringLiteral("recordResolution"), resolution(3840, 2160)},
        {QStringLiteral("sensorResolution"), resolution(3840, 2160)},
    };
    const QJsonArray codecs = profile.formatChoice
        ? QJsonArray{QStringLiteral("BRaw:Q5"), QStringLiteral("BRaw:3_1"), QStringLiteral("ProRes:HQ"),
                     QStringLiteral("ProRes:422")}
        : QJsonArray{QStringLiteral("ProRes:HQ")};
    QJsonArray formats{supportedFormat(3840, 2160, QStringLiteral("Ultra HD"), codecs, profile),
                       supportedFormat(1920, 1080, QStringLiteral("HD"), codecs, profile)};
    if (profile.formatChoice) {
        QJsonObject dci = supportedFormat(4096, 2160, QStringLiteral("4K DCI"), codecs, profile);
        dci[QStringLiteral("sensorResolution")] = resolution(4096, 2304);
        formats.insert(1, dci);
    }
    v[QStringLiteral("system/supportedFormats")] = QJsonObject{{QStringLiteral("supportedFormats"), formats}};
    if (profile.storage)
        v[QStringLiteral("media/active")] = QJsonObject{{QStringLiteral("workingsetIndex"), 0},
                                                        {QStringLiteral("deviceName"), QStringLiteral("CFast 1")}};

    v[QStringLiteral("transports/0")] = QJsonObject{{QStringLiteral("recording"), false},
                                                    {QStringLiteral("timecode"), QStringLiteral("01:00:00:00")}};

    v[QStringLiteral("camera/tallyStatus")] = QJsonObject{{QStringLiteral("status"), QStringLiteral("None")},
                                                          {QStringLiteral("programTally"), false},
                                                          {QStringLiteral("previewTally"), false}};
    v[QStringLiteral("camera/programFeedDisplay")] = enabled(false);
    v[QStringLiteral("camera/colorBars")] = enabled(false);
    v[QStringLiteral("camera/power")] = QJsonObject{{QStringLiteral("source"), QStringLiteral("AC")},
                                                    {QStringLiteral("milliVolt"), 12000}};
    v[QStringLiteral("camera/timingReferenceLock")] = QJsonObject{{QStringLiteral("locked"), true}};

    const QStringList outputs = {QStringLiteral("HDMI"), QStringLiteral("MainSDI"), QStringLiteral("FrontUSBC")};
    const QStringList overlays = {QStringLiteral("cleanFeed"), QStringLiteral("displayLUT"),
                                  QStringLiteral("falseColor"), QStringLiteral("focusAssist"),
                                  QStringLiteral("frameGuide"), QStringLiteral("safeArea"),
                                  QStringLiteral("zebra"), QStringLiteral("frameGrids")};
    for (const QString& output : outputs) {
        for (const QString& overlay : overlays)
            v[QStringLiteral("monitoring/%1/%2").arg(output, overlay)] = enabled(false);
    }

    v[QStringLiteral("livestreams/0")] = QJsonObject{{QStringLiteral("status"), QStringLiteral("Idle")},
                                                     {QStringLiteral("bitrate"), 0},
                                                     {QStringLiteral("duration"), 0},
                                                     {QStringLiteral("cache"), 0}};
    v[QStringLiteral("livestreams/0/activePlatform")] = QJsonObject{
        {QStringLiteral("platform"), QStringLiteral("YouTube")}, {QStringLiteral("server"), QStringLiteral("Primary")},
        {QStringLiteral("url"), QStringLiteral("rtmp://a.rtmp.youtube.com/live2")},
        {QStringLiteral("quality"), QStringLiteral("Streaming High")}};
    return v;
}

bool isPresetCovered(const QString& endpoint)
{
    return endpoint.startsWith(QLatin1String("video/")) || endpoint.startsWith(QLatin1String("colorCorrection/"))
        || endpoint == QLatin1String("lens/iris") || endpoint == QLatin1String("lens/focus")
        || (endpoint.startsWith(QLatin1String("audio/channel/")) && !endpoint.endsWith(QLatin1String("supportedInputs"))
            && !endpoint.endsWith(QLatin1String("description")));
}

bool isReadOnlyEndpoint(const QString& endpoint)
{
    return endpoint == QLatin1String("system/product") || endpoint == QLatin1String("camera/id")
        || endpoint == QLatin1String("system/supportedFormats") || endpoint == QLatin1String("camera/tallyStatus")
        || endpoint == QLatin1String("camera/power") || endpoint == QLatin1String("camera/timingReferenceLock")
        || endpoint == QLatin1String("media/active") || endpoint.endsWith(QLatin1String("/supportedInputs"))
        || endpoint.endsWith(QLatin1String("/input/description")) || endpoint == QLatin1String("livestreams/0");
}

QJsonObject mergedObject(const QJsonObject& target, const QJsonObject& update)
{
    QJsonObject result = target;
    for (auto it = update.begin(); it != update.end(); ++it) {
        const QJsonValue existing = result.value(it.key());
        if (existing.isObject() && it.value().isObject())
            result[it.key()] = mergedObject(existing.toObject(), it.value().toObject());
        else
            result[it.key()] = it.value();
    }
    return result;
}

QString timecodeText(qint64 frames, int framesPerSecond)
{
    const qint64 perDay = qint64(framesPerSecond) * 86400;
    frames = ((frames % perDay) + perDay) % perDay;
    const qint64 seconds = frames / framesPerSecond;
    return QStringLiteral("%1:%2:%3:%4")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(frames % framesPerSecond, 2, 10, QLatin1Char('0'));
}

qint64 timecodeFrames(const QString& text, int framesPerSecond)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 4)
        return -1;
    qint64 fields[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        fields[i] = parts[i].toLongLong(&ok);
        if (!ok || fields[i] < 0)
            return -1;
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59 || fields[3] >= framesPerSecond)
        return -1;
    return ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * framesPerSecond + fields[3];
}

int timecodeBase(const QString& frameRate)
{
    bool ok = false;
    const double rate = frameRate.toDouble(&ok);
    if (!ok || !std::isfinite(rate) || rate < 1 || rate > 1000)
        return 25;
    return int(std::lround(rate));
}
