// Cost of folding one full state sweep of a camera into its state record.
#include "CameraStateIngest.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>

#include <benchmark/benchmark.h>

#include <tuple>

namespace {

QJsonObject wheel(double value)
{
    return {{"red", value}, {"green", value}, {"blue", value}, {"luma", value}};
}

QJsonObject enabled(bool on)
{
    return {{"enabled", on}};
}

QJsonObject resolution(int width, int height)
{
    return {{"width", width}, {"height", height}};
}

// The replies of the 60 endpoints a sweep requests, in sweep order, as a camera answers them.
QList<QPair<QString, QJsonObject>> sweepReplies()
{
    QList<QPair<QString, QJsonObject>> replies = {
        {"lens/iris", {{"apertureStop", 4.0}, {"normalised", 0.4}, {"apertureNumber", 400}}},
        {"lens/focus", {{"focus", 0.52}}},
        {"lens/zoom", {{"focalLength", 24}, {"normalised", 0.3}}},
        {"video/iso", {{"iso", 800}}},
        {"video/gain", {{"gain", 0}}},
        {"video/whiteBalance", {{"whiteBalance", 5600}}},
        {"video/whiteBalanceTint", {{"whiteBalanceTint", 0}}},
        {"video/shutter", {{"shutterAngle", 18000}, {"shutterSpeed", 50}}},
        {"video/ndFilter", {{"stop", 2.0}}},
        {"video/autoExposure", {{"mode", "Off"}, {"type", "Shutter"}}},
        {"colorCorrection/lift", wheel(0.0)},
        {"colorCorrection/gamma", wheel(0.0)},
        {"colorCorrection/gain", wheel(1.0)},
        {"colorCorrection/offset", wheel(0.0)},
        {"colorCorrection/contrast", {{"pivot", 0.5}, {"adjust", 1.0}}},
        {"colorCorrection/color", {{"hue", 0.0}, {"saturation", 1.0}}},
        {"colorCorrection/lumaContribution", {{"lumaContribution", 1.0}}},
        {"transports/0", {{"recording", false}, {"timecode", "01:00:00:00"}}},
        {"presets", {{"presets", QJsonArray{"Wide.cset", "Interview.cset", "Stage.cset"}}}},
        {"presets/active", {{"preset", "Wide.cset"}}},
    };
    const QJsonArray inputs{
        QJsonObject{{"input", "None"}, {"available", true}},
        QJsonObject{{"input", "Camera - Left"}, {"available", true}},
        QJsonObject{{"input", "Camera - Right"}, {"available", true}},
        QJsonObject{{"input", "XLR1 - Line"}, {"available", true}},
        QJsonObject{{"input", "XLR1 - Mic"}, {"available", true}},
        QJsonObject{{"input", "XLR2 - Line"}, {"available", true}},
        QJsonObject{{"input", "XLR2 - Mic"}, {"available", true}},
    };
    for (int channel = 0; channel < 2; ++channel) {
        const QString prefix = QStringLiteral("audio/channel/%1/").arg(channel);
        replies.append({prefix + "level", {{"gain", -6.0}, {"normalised", 0.45}}});
        replies.append({prefix + "input", {{"input", "XLR1 - Mic"}}});
        replies.append({prefix + "phantomPower", enabled(true)});
        replies.append({prefix + "padding", enabled(false)});
        replies.append({prefix + "lowCutFilter", enabled(false)});
        replies.append({prefix + "supportedInputs", {{"items", inputs}}});
        replies.append({prefix + "input/description",
                        {{"input", "XLR1 - Mic"},
                         {"description", QJsonObject{{"gainRange", QJsonObject{{"Min", -12.0}, {"Max", 60.0}}}}}}});
    }
    const QJsonArray codecs{"BRaw:Q5", "BRaw:3_1", "ProRes:HQ", "ProRes:422"};
    const QJsonArray frameRates{"23.98", "24", "25", "29.97", "30", "50"};
    QJsonArray formats;
    for (const auto& [width, height, name] : {std::tuple{3840, 2160, "Ultra HD"}, std::tuple{4096, 2160, "4K DCI"},
                                              std::tuple{1920, 1080, "HD"}}) {
        formats.append(QJsonObject{{"recordResolution", resolution(width, height)},
                                   {"sensorResolution", resolution(width, height)},
                                   {"resolutionDescriptor", name},
                                   {"codecs", codecs},
                                   {"frameRates", frameRates},
                                   {"minOffSpeedFrameRate", 5},
                                   {"maxOffSpeedFrameRate", 60}});
    }
    replies.append({
        {"system/codecFormat", {{"codec", "BRaw:Q5"}, {"container", "BRAW"}}},
        {"system/videoFormat",
         {{"name", "2160p25"}, {"frameRate", "25"}, {"width", 3840}, {"height", 2160}, {"interlaced", false}}},
        {"system/format",
         {{"codec", "BRaw:Q5"}, {"frameRate", "25"}, {"offSpeedEnabled", false}, {"offSpeedFrameRate", 60},
          {"minOffSpeedFrameRate", 5}, {"maxOffSpeedFrameRate", 60}, {"recordResolution", resolution(3840, 2160)},
          {"sensorResolution", resolution(3840, 2160)}}},
        {"system/supportedFormats", {{"supportedFormats", formats}}},
        {"media/active", {{"workingsetIndex", 0}, {"deviceName", "CFast 1"}}},
        {"camera/tallyStatus", {{"status", "None"}, {"programTally", false}, {"previewTally", false}}},
        {"camera/programFeedDisplay", enabled(false)},
        {"camera/colorBars", enabled(false)},
        {"camera/power", {{"source", "AC"}, {"milliVolt", 12000}}},
        {"camera/timingReferenceLock", {{"locked", true}}},
    });
    for (const char* output : {"HDMI", "MainSDI"}) {
        for (const char* overlay : {"cleanFeed", "displayLUT", "falseColor", "focusAssist", "frameGuide", "safeArea",
                                    "zebra", "frameGrids"})
            replies.append({QStringLiteral("monitoring/%1/%2").arg(QLatin1String(output), QLatin1String(overlay)),
                            enabled(false)});
    }
    return replies;
}

void fullSweep(benchmark::State& bench)
{
    const QList<QPair<QString, QJsonObject>> replies = sweepReplies();
    if (replies.size() != 60) {
        bench.SkipWithError("the sweep must hold 60 replies");
        return;
    }
    CameraState state;
    for (auto _ : bench) {
        for (const auto& [endpoint, json] : replies)
            CameraStateIngest::applyReply(state, endpoint, json);
        benchmark::DoNotOptimize(state);
    }
    bench.SetItemsProcessed(bench.iterations() * replies.size());
    bench.SetLabel("items are replies");
}

}

BENCHMARK(fullSweep);
BENCHMARK_MAIN();
