#include "CameraStateIngest.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

namespace {

double number(const QJsonValue& value)
{
    return value.isDouble() ? value.toDouble() : 0.0;
}

// A count or setting the camera reports as a whole number; anything else would be a
// guess, so a fraction or a value beyond int reads as 0.
int integer(const QJsonValue& value)
{
    if (!value.isDouble())
        return 0;
    const double d = value.toDouble();
    if (d < double(INT_MIN) || d > double(INT_MAX) || std::trunc(d) != d)
        return 0;
    return int(d);
}

bool flag(const QJsonValue& value)
{
    return value.isBool() && value.toBool();
}

QString text(const QJsonValue& value)
{
    return value.isString() ? value.toString() : QString();
}

QStringList texts(const QJsonValue& value)
{
    QStringList result;
    const QJsonArray array = value.toArray();
    result.reserve(array.size());
    for (const QJsonValue& element : array)
        result.append(text(element));
    return result;
}

void readIfPresent(const QJsonObject& json, const char* key, double& field)
{
    const auto it = json.constFind(QLatin1String(key));
    if (it != json.constEnd())
        field = number(*it);
}

void readIfPresent(const QJsonObject& json, const char* key, int& field)
{
    const auto it = json.constFind(QLatin1String(key));
    if (it != json.constEnd())
        field = integer(*it);
}

void readIfPresent(const QJsonObject& json, const char* key, bool& field)
{
    const auto it = json.constFind(QLatin1String(key));
    if (it != json.constEnd())
        field = flag(*it);
}

void readIfPresent(const QJsonObject& json, const char* key, QString& field)
{
    const auto it = json.constFind(QLatin1String(key));
    if (it != json.constEnd())
        field = text(*it);
}

void readWheel(const QJsonObject& json, ColorWheel& wheel)
{
    readIfPresent(json, "red", wheel.red);
    readIfPresent(json, "green", wheel.green);
    readIfPresent(json, "blue", wheel.blue);
    readIfPresent(json, "luma", wheel.luma);
}

// Reads a {"width": w, "height": h} object when the reply has `key`.
void readResolution(const QJsonObject& json, const char* key, int& width, int& height)
{
    const auto it = json.constFind(QLatin1String(key));
    if (it == json.constEnd())
        return;
    const QJsonObject resolution = it->toObject();
    width = integer(resolution.value(QLatin1String("width")));
    height = integer(resolution.value(QLatin1String("height")));
}

void applyFormat(CameraState& state, const QJsonObject& json)
{
    readIfPresent(json, "codec", state.formatCodec);
    readIfPresent(json, "frameRate", state.formatFrameRate);
    readIfPresent(json, "offSpeedEnabled", state.offSpeedEnabled);
    readIfPresent(json, "offSpeedFrameRate", state.offSpeedFrameRate);
    readIfPresent(json, "minOffSpeedFrameRate", state.minOffSpeedFrameRate);
    readIfPresent(json, "maxOffSpeedFrameRate", state.maxOffSpeedFrameRate);
    readResolution(json, "recordResolution", state.recordWidth, state.recordHeight);
    readResolution(json, "sensorResolution", state.sensorWidth, state.sensorHeight);

    // The recording format is also the current video format.
    readIfPresent(json, "codec", state.codec);
    readIfPresent(json, "frameRate", state.videoFrameRate);
    readResolution(json, "recordResolution", state.videoWidth, state.videoHeight);
    if (state.videoWidth >= 1 && !state.videoFrameRate.isEmpty()) {
        state.videoFormatName = QStringLiteral("%1x%2p%3")
                                    .arg(state.videoWidth)
                                    .arg(state.videoHeight)
                                    .arg(state.videoFrameRate);
    }
}

void applySupportedFormats(CameraState& state, const QJsonObject& json)
{
    state.supportedFormats.clear();
    const QJsonArray formats = json.value(QLatin1String("supportedFormats")).toArray();
    for (const QJsonValue& element : formats) {
        const QJsonObject entry = element.toObject();
        SupportedFormat format;
        readResolution(entry, "recordResolution", format.recordWidth, format.recordHeight);
        readResolution(entry, "sensorResolution", format.sensorWidth, format.sensorHeight);
        format.description = text(entry.value(QLatin1String("resolutionDescriptor")));
        format.codecs = texts(entry.value(QLatin1String("codecs")));
        format.frameRates = texts(entry.value(QLatin1String("frameRates")));
        format.minOffSpeedFrameRate = number(entry.value(QLatin1String("minOffSpeedFrameRate")));
        format.maxOffSpeedFrameRate = number(entry.value(QLatin1String("maxOffSpeedFrameRate")));
        state.supportedFormats.append(format);
    }
}

void applyPresets(CameraState& state, const QJsonObject& json)
{
    state.presets = texts(json.value(QLatin1String("presets")));
}

using ReplyReader = void (*)(CameraState&, const QJsonObject&);

const QHash<QString, ReplyReader>& fixedEndpoints()
{
    static const QHash<QString, ReplyReader> table = {
        {QStringLiteral("lens/focus"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "focus", s.focus); }},
        {QStringLiteral("lens/iris"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "apertureStop", s.irisApertureStop);
             readIfPresent(j, "normalised", s.irisNormalised);
         }},
        {QStringLiteral("lens/zoom"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "focalLength", s.zoomFocalLength);
             readIfPresent(j, "normalised", s.zoomNormalised);
         }},
        {QStringLiteral("video/iso"), [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "iso", s.iso); }},
        {QStringLiteral("video/gain"), [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "gain", s.gain); }},
        {QStringLiteral("video/whiteBalance"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "whiteBalance", s.whiteBalance); }},
        {QStringLiteral("video/whiteBalanceTint"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "whiteBalanceTint", s.whiteBalanceTint); }},
        {QStringLiteral("video/shutter"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "shutterAngle", s.shutterAngle);
             readIfPresent(j, "shutterSpeed", s.shutterSpeed);
         }},
        {QStringLiteral("video/ndFilter"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "stop", s.ndFilterStop); }},
        {QStringLiteral("video/autoExposure"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "mode", s.autoExposureMode);
             readIfPresent(j, "type", s.autoExposureType);
         }},
        {QStringLiteral("colorCorrection/lift"), [](CameraState& s, const QJsonObject& j) { readWheel(j, s.lift); }},
        {QStringLiteral("colorCorrection/gamma"), [](CameraState& s, const QJsonObject& j) { readWheel(j, s.gamma); }},
        {QStringLiteral("colorCorrection/gain"),
         [](CameraState& s, const QJsonObject& j) { readWheel(j, s.colorGain); }},
        {QStringLiteral("colorCorrection/offset"),
         [](CameraState& s, const QJsonObject& j) { readWheel(j, s.offset); }},
        {QStringLiteral("colorCorrection/contrast"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "pivot", s.contrastPivot);
             readIfPresent(j, "adjust", s.contrastAdjust);
         }},
        {QStringLiteral("colorCorrection/color"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "hue", s.hue);
             readIfPresent(j, "saturation", s.saturation);
         }},
        {QStringLiteral("colorCorrection/lumaContribution"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "lumaContribution", s.lumaContribution); }},
        {QStringLiteral("transports/0"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "recording", s.recording);
             readIfPresent(j, "timecode", s.timecode);
         }},
        {QStringLiteral("presets"), applyPresets},
        {QStringLiteral("presets/active"),
         [](CameraState& s, const QJsonObject& j) { s.activePreset = text(j.value(QLatin1String("preset"))); }},
        {QStringLiteral("system/codecFormat"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "codec", s.codec);
             readIfPresent(j, "container", s.container);
         }},
        {QStringLiteral("system/videoFormat"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "name", s.videoFormatName);
             readIfPresent(j, "frameRate", s.videoFrameRate);
             readIfPresent(j, "width", s.videoWidth);
             readIfPresent(j, "height", s.videoHeight);
             readIfPresent(j, "interlaced", s.interlaced);
         }},
        {QStringLiteral("system/format"), applyFormat},
        {QStringLiteral("system/supportedFormats"), applySupportedFormats},
        {QStringLiteral("media/active"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "deviceName", s.mediaDeviceName);
             readIfPresent(j, "workingsetIndex", s.workingsetIndex);
         }},
        {QStringLiteral("camera/tallyStatus"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "status", s.tallyStatus); }},
        {QStringLiteral("camera/programFeedDisplay"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "enabled", s.programFeedDisplay); }},
        {QStringLiteral("camera/colorBars"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "enabled", s.colorBars); }},
        {QStringLiteral("camera/power"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "source", s.powerSource);
             readIfPresent(j, "milliVolt", s.powerMilliVolt);
         }},
        {QStringLiteral("camera/timingReferenceLock"),
         [](CameraState& s, const QJsonObject& j) { readIfPresent(j, "locked", s.timingReferenceLocked); }},
        {QStringLiteral("livestreams/0"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "status", s.livestreamStatus);
             readIfPresent(j, "bitrate", s.livestreamBitrate);
             readIfPresent(j, "duration", s.livestreamDuration);
             readIfPresent(j, "cache", s.livestreamCache);
         }},
        {QStringLiteral("livestreams/0/activePlatform"),
         [](CameraState& s, const QJsonObject& j) {
             readIfPresent(j, "platform", s.livestreamPlatform);
             readIfPresent(j, "server", s.livestreamServer);
             readIfPresent(j, "url", s.livestreamUrl);
             readIfPresent(j, "quality", s.livestreamQuality);
         }},
    };
    return table;
}

const QLatin1String audioPrefix("audio/channel/");
const QLatin1String monitoringPrefix("monitoring/");

// A segment that is not a number names channel 0; a number too long for any
// integer is still a number, and no channel.
qlonglong channelIndex(const QString& segment)
{
    bool ok = false;
    const qlonglong index = segment.toLongLong(&ok);
    if (ok)
        return index;
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    return digits.match(segment).hasMatch() ? -1 : 0;
}

// audio/channel/N/<row>: the row is the whole rest of the path, so a longer path
// than the row names reads nothing.
void applyAudio(CameraState& state, const QString& endpoint, const QJsonObject& json)
{
    const QStringList parts = endpoint.split(QLatin1Char('/'));
    if (parts.size() < 4)
        return;
    const qlonglong channel = channelIndex(parts.at(2));
    if (channel < 0 || channel >= qlonglong(state.audio.size()))
        return;
    AudioChannelState& audio = state.audio[std::size_t(channel)];
    const QString row = parts.mid(3).join(QLatin1Char('/'));

    if (row == QLatin1String("level")) {
        readIfPresent(json, "gain", audio.gain);
        readIfPresent(json, "normalised", audio.normalised);
    } else if (row == QLatin1String("input")) {
        readIfPresent(json, "input", audio.input);
    } else if (row == QLatin1String("input/description")) {
        const QJsonObject range = json.value(QLatin1String("description")).toObject()
                                      .value(QLatin1String("gainRange")).toObject();
        if (!range.isEmpty()) {
            audio.gainMin = number(range.value(QLatin1String("Min")));
            audio.gainMax = number(range.value(QLatin1String("Max")));
        }
    } else if (row == QLatin1String("phantomPower")) {
        readIfPresent(json, "enabled", audio.phantomPower);
    } else if (row == QLatin1String("padding")) {
        readIfPresent(json, "enabled", audio.padding);
    } else if (row == QLatin1String("lowCutFilter")) {
        readIfPresent(json, "enabled", audio.lowCutFilter);
    } else if (row == QLatin1String("supportedInputs")) {
        const auto items = json.constFind(QLatin1String("items"));
        if (items == json.constEnd())
            return;
        audio.supportedInputs.clear();
        const QJsonArray inputs = items->toArray();
        for (const QJsonValue& element : inputs) {
            const QJsonObject input = element.toObject();
            if (flag(input.value(QLatin1String("available"))))
                audio.supportedInputs.append(text(input.value(QLatin1String("input"))));
        }
    }
}

struct Overlay {
    QLatin1String name;
    bool MonitoringFlags::*flag;
};

const Overlay overlays[] = {
    {QLatin1String("cleanFeed"), &MonitoringFlags::cleanFeed},
    {QLatin1String("displayLUT"), &MonitoringFlags::displayLUT},
    {QLatin1String("falseColor"), &MonitoringFlags::falseColor},
    {QLatin1String("focusAssist"), &MonitoringFlags::focusAssist},
    {QLatin1String("frameGuide"), &MonitoringFlags::frameGuide},
    {QLatin1String("safeArea"), &MonitoringFlags::safeArea},
    {QLatin1String("zebra"), &MonitoringFlags::zebra},
    {QLatin1String("frameGrids"), &MonitoringFlags::frameGrids},
};

const QLatin1String monitoringOutputs[] = {
    QLatin1String("HDMI"), QLatin1String("MainSDI"), QLatin1String("FrontUSBC"),
};

void applyMonitoring(CameraState& state, const QString& endpoint, const QJsonObject& json)
{
    const QStringList parts = endpoint.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return;
    const auto output = std::find(std::begin(monitoringOutputs), std::end(monitoringOutputs), parts.at(1));
    const auto overlay = std::find_if(std::begin(overlays), std::end(overlays),
                                      [&](const Overlay& o) { return o.name == parts.at(2); });
    if (output == std::end(monitoringOutputs) || overlay == std::end(overlays))
        return;
    MonitoringFlags& flags = state.monitoring[std::size_t(output - std::begin(monitoringOutputs))];
    flags.*(overlay->flag) = flag(json.value(QLatin1String("enabled")));
}

}

namespace CameraStateIngest {

void applyReply(CameraState& state, const QString& endpoint, const QJsonObject& json)
{
    const auto& table = fixedEndpoints();
    const auto it = table.constFind(endpoint);
    if (it != table.constEnd())
        (*it)(state, json);
    else if (endpoint.startsWith(audioPrefix))
        applyAudio(state, endpoint, json);
    else if (endpoint.startsWith(monitoringPrefix))
        applyMonitoring(state, endpoint, json);
}

void applyEvent(CameraState& state, const QJsonObject& message)
{
    const QJsonObject lens = message.value(QLatin1String("lens")).toObject();
    readIfPresent(lens, "focus", state.focus);
    readIfPresent(lens, "apertureStop", state.irisApertureStop);
    readIfPresent(lens, "normalised", state.irisNormalised);
    readIfPresent(lens, "zoomNormalized", state.zoomNormalised);

    const QJsonObject video = message.value(QLatin1String("video")).toObject();
    readIfPresent(video, "iso", state.iso);
    readIfPresent(video, "whiteBalance", state.whiteBalance);
    readIfPresent(video, "gain", state.gain);
}

}
