#include "CameraStateIngest.h"

#include <QJsonDocument>
#include <QTest>

#include <climits>

namespace {

QJsonObject object(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

// "endpoint {json}" applied as one reply.
void applyStep(CameraState& state, const QString& step)
{
    const int space = step.indexOf(QLatin1Char(' '));
    CameraStateIngest::applyReply(state, step.left(space), object(step.mid(space + 1).toUtf8()));
}

void addWheel(QVariantMap& map, const QString& name, const ColorWheel& wheel)
{
    map[name + ".red"] = wheel.red;
    map[name + ".green"] = wheel.green;
    map[name + ".blue"] = wheel.blue;
    map[name + ".luma"] = wheel.luma;
}

// Every field by name, so that a test can say which fields a reply changed and
// check that no other field moved.
QVariantMap snapshot(const CameraState& s)
{
    QVariantMap m{
        {"focus", s.focus}, {"irisApertureStop", s.irisApertureStop}, {"irisNormalised", s.irisNormalised},
        {"zoomFocalLength", s.zoomFocalLength}, {"zoomNormalised", s.zoomNormalised}, {"iso", s.iso},
        {"gain", s.gain}, {"whiteBalance", s.whiteBalance}, {"whiteBalanceTint", s.whiteBalanceTint},
        {"shutterAngle", s.shutterAngle}, {"shutterSpeed", s.shutterSpeed}, {"ndFilterStop", s.ndFilterStop},
        {"autoExposureMode", s.autoExposureMode}, {"autoExposureType", s.autoExposureType},
        {"contrastPivot", s.contrastPivot}, {"contrastAdjust", s.contrastAdjust}, {"hue", s.hue},
        {"saturation", s.saturation}, {"lumaContribution", s.lumaContribution}, {"recording", s.recording},
        {"timecode", s.timecode}, {"codec", s.codec}, {"container", s.container},
        {"videoFormatName", s.videoFormatName}, {"videoFrameRate", s.videoFrameRate}, {"videoWidth", s.videoWidth},
        {"videoHeight", s.videoHeight}, {"interlaced", s.interlaced}, {"formatCodec", s.formatCodec},
        {"formatFrameRate", s.formatFrameRate}, {"recordWidth", s.recordWidth}, {"recordHeight", s.recordHeight},
        {"sensorWidth", s.sensorWidth}, {"sensorHeight", s.sensorHeight}, {"offSpeedEnabled", s.offSpeedEnabled},
        {"offSpeedFrameRate", s.offSpeedFrameRate}, {"minOffSpeedFrameRate", s.minOffSpeedFrameRate},
        {"maxOffSpeedFrameRate", s.maxOffSpeedFrameRate}, {"workingsetIndex", s.workingsetIndex},
        {"mediaDeviceName", s.mediaDeviceName}, {"supportedFormats.count", int(s.supportedFormats.size())},
        {"tallyStatus", s.tallyStatus}, {"programFeedDisplay", s.programFeedDisplay}, {"colorBars", s.colorBars},
        {"powerSource", s.powerSource}, {"powerMilliVolt", s.powerMilliVolt},
        {"timingReferenceLocked", s.timingReferenceLocked}, {"livestreamStatus", s.livestreamStatus},
        {"livestreamBitrate", s.livestreamBitrate}, {"livestreamDuration", s.livestreamDuration},
        {"livestreamCache", s.livestreamCache}, {"livestreamPlatform", s.livestreamPlatform},
        {"livestreamServer", s.livestreamServer}, {"livestreamUrl", s.livestreamUrl},
        {"livestreamQuality", s.livestreamQuality}, {"presets", s.presets}, {"activePreset", s.activePreset},
    };
    addWheel(m, "lift", s.lift);
    addWheel(m, "gamma", s.gamma);
    addWheel(m, "colorGain", s.colorGain);
    addWheel(m, "offset", s.offset);
    for (int i = 0; i < 2; ++i) {
        const AudioChannelState& a = s.audio[std::size_t(i)];
        const QString p = QStringLiteral("audio[%1].").arg(i);
        m[p + "gain"] = a.gain;
        m[p + "normalised"] = a.normalised;
        m[p + "gainMin"] = a.gainMin;
        m[p + "gainMax"] = a.gainMax;
        m[p + "input"] = a.input;
        m[p + "phantomPower"] = a.phantomPower;
        m[p + "padding"] = a.padding;
        m[p + "lowCutFilter"] = a.lowCutFilter;
        m[p + "supportedInputs"] = a.supportedInputs;
    }
    for (int i = 0; i < 3; ++i) {
        const MonitoringFlags& f = s.monitoring[std::size_t(i)];
        const QString p = QStringLiteral("monitoring[%1].").arg(i);
        m[p + "cleanFeed"] = f.cleanFeed;
        m[p + "displayLUT"] = f.displayLUT;
        m[p + "falseColor"] = f.falseColor;
        m[p + "focusAssist"] = f.focusAssist;
        m[p + "frameGuide"] = f.frameGuide;
        m[p + "safeArea"] = f.safeArea;
        m[p + "zebra"] = f.zebra;
        m[p + "frameGrids"] = f.frameGrids;
    }
    return m;
}

// Empty when `after` equals `before` with `changes` applied; otherwise the first
// field that differs, with what it holds and what was expected.
QString difference(const QVariantMap& before, const QVariantMap& changes, const QVariantMap& after)
{
    QVariantMap expected = before;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (!expected.contains(it.key()))
            return "unknown field " + it.key();
        expected[it.key()] = it.value();
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QVariant actual = after.value(it.key());
        if (actual != it.value())
            return QStringLiteral("%1 is %2, expected %3").arg(it.key(), actual.toString(), it.value().toString());
    }
    return {};
}

} // namespace

class TestCameraState : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        const CameraState s;
        QCOMPARE(s.focus, 0.5);
        QCOMPARE(s.irisApertureStop, 5.6);
        QCOMPARE(s.iso, 800);
        QCOMPARE(s.whiteBalance, 5600);
        QCOMPARE(s.shutterAngle, 18000);
        QCOMPARE(s.shutterSpeed, 50);
        QCOMPARE(s.autoExposureMode, QStringLiteral("Off"));
        QCOMPARE(s.autoExposureType, QStringLiteral("Shutter"));
        for (double component : {s.colorGain.red, s.colorGain.green, s.colorGain.blue, s.colorGain.luma})
            QCOMPARE(component, 1.0);
        QCOMPARE(s.lift.red, 0.0);
        for (const AudioChannelState& channel : s.audio) {
            QCOMPARE(channel.normalised, 0.5);
            QCOMPARE(channel.gainMin, -126.0);
            QCOMPARE(channel.gainMax, 6.0);
        }
        QCOMPARE(s.monitoring.size(), std::size_t(3));
        QVERIFY(!s.monitoring[2].zebra);
    }

    void reply_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QVariantMap>("changes");
        const QStringList none;

        QTest::newRow("focus") << none << "lens/focus" << QByteArray(R"({"focus":0.25})")
                               << QVariantMap{{"focus", 0.25}};
        QTest::newRow("iris") << none << "lens/iris" << QByteArray(R"({"apertureStop":2.8,"normalised":0.2})")
                              << QVariantMap{{"irisApertureStop", 2.8}, {"irisNormalised", 0.2}};
        QTest::newRow("iris normalised only") << none << "lens/iris" << QByteArray(R"({"normalised":0.9})")
                                              << QVariantMap{{"irisNormalised", 0.9}};
        QTest::newRow("zoom") << none << "lens/zoom" << QByteArray(R"({"focalLength":35,"normalised":0.7})")
                              << QVariantMap{{"zoomFocalLength", 35.0}, {"zoomNormalised", 0.7}};
        QTest::newRow("iso") << none << "video/iso" << QByteArray(R"({"iso":1600})") << QVariantMap{{"iso", 1600}};
        QTest::newRow("gain") << none << "video/gain" << QByteArray(R"({"gain":-6})") << QVariantMap{{"gain", -6}};
        QTest::newRow("white balance") << none << "video/whiteBalance" << QByteArray(R"({"whiteBalance":3200})")
                                       << QVariantMap{{"whiteBalance", 3200}};
        QTest::newRow("tint") << none << "video/whiteBalanceTint" << QByteArray(R"({"whiteBalanceTint":-12})")
                              << QVariantMap{{"whiteBalanceTint", -12}};
        QTest::newRow("shutter") << none << "video/shutter" << QByteArray(R"({"shutterAngle":17280,"shutterSpeed":60})")
                                 << QVariantMap{{"shutterAngle", 17280}, {"shutterSpeed", 60}};
        QTest::newRow("nd") << none << "video/ndFilter" << QByteArray(R"({"stop":2})")
                            << QVariantMap{{"ndFilterStop", 2.0}};
        QTest::newRow("auto exposure") << none << "video/autoExposure" << QByteArray(R"({"mode":"Continuous","type":"Iris"})")
                                       << QVariantMap{{"autoExposureMode", "Continuous"}, {"autoExposureType", "Iris"}};
        QTest::newRow("lift") << none << "colorCorrection/lift"
                              << QByteArray(R"({"red":0.1,"green":-0.1,"blue":0.2,"luma":-0.2})")
                              << QVariantMap{{"lift.red", 0.1}, {"lift.green", -0.1}, {"lift.blue", 0.2}, {"lift.luma", -0.2}};
        QTest::newRow("gamma") << none << "colorCorrection/gamma" << QByteArray(R"({"luma":0.3})")
                               << QVariantMap{{"gamma.luma", 0.3}};
        QTest::newRow("colour gain red only") << none << "colorCorrection/gain" << QByteArray(R"({"red":1.5})")
                                              << QVariantMap{{"colorGain.red", 1.5}};
        QTest::newRow("offset") << none << "colorCorrection/offset" << QByteArray(R"({"blue":-1})")
                                << QVariantMap{{"offset.blue", -1.0}};
        QTest::newRow("contrast") << none << "colorCorrection/contrast" << QByteArray(R"({"pivot":0.4,"adjust":1.2})")
                                  << QVariantMap{{"contrastPivot", 0.4}, {"contrastAdjust", 1.2}};
        QTest::newRow("color") << none << "colorCorrection/color" << QByteArray(R"({"hue":-0.5,"saturation":1.4})")
                               << QVariantMap{{"hue", -0.5}, {"saturation", 1.4}};
        QTest::newRow("luma contribution") << none << "colorCorrection/lumaContribution"
                                           << QByteArray(R"({"lumaContribution":0.8})")
                                           << QVariantMap{{"lumaContribution", 0.8}};
        QTest::newRow("transport") << none << "transports/0" << QByteArray(R"({"recording":true,"timecode":"01:02:03:04"})")
                                   << QVariantMap{{"recording", true}, {"timecode", "01:02:03:04"}};
        QTest::newRow("codec format") << none << "system/codecFormat" << QByteArray(R"({"codec":"BRaw:Q5","container":"BRAW"})")
                                      << QVariantMap{{"codec", "BRaw:Q5"}, {"container", "BRAW"}};
        QTest::newRow("video format") << none << "system/videoFormat"
                                      << QByteArray(R"({"name":"1080i50","frameRate":"50","width":1920,"height":1080,"interlaced":true})")
                                      << QVariantMap{{"videoFormatName", "1080i50"}, {"videoFrameRate", "50"},
                                                     {"videoWidth", 1920}, {"videoHeight", 1080}, {"interlaced", true}};
        QTest::newRow("media") << none << "media/active" << QByteArray(R"({"deviceName":"CFast 1","workingsetIndex":2})")
                               << QVariantMap{{"mediaDeviceName", "CFast 1"}, {"workingsetIndex", 2}};
        QTest::newRow("tally") << none << "camera/tallyStatus" << QByteArray(R"({"status":"Program","programTally":true})")
                               << QVariantMap{{"tallyStatus", "Program"}};
        QTest::newRow("program feed") << none << "camera/programFeedDisplay" << QByteArray(R"({"enabled":true})")
                                      << QVariantMap{{"programFeedDisplay", true}};
        QTest::newRow("colour bars") << none << "camera/colorBars" << QByteArray(R"({"enabled":true})")
                                     << QVariantMap{{"colorBars", true}};
        QTest::newRow("power") << none << "camera/power" << QByteArray(R"({"source":"Battery","milliVolt":14400})")
                               << QVariantMap{{"powerSource", "Battery"}, {"powerMilliVolt", 14400}};
        QTest::newRow("timing reference") << none << "camera/timingReferenceLock" << QByteArray(R"({"locked":true})")
                                          << QVariantMap{{"timingReferenceLocked", true}};
        QTest::newRow("livestream") << none << "livestreams/0"
                                    << QByteArray(R"({"status":"Streaming","bitrate":6000,"duration":90,"cache":3})")
                                    << QVariantMap{{"livestreamStatus", "Streaming"}, {"livestreamBitrate", 6000},
                                                   {"livestreamDuration", 90}, {"livestreamCache", 3}};
        QTest::newRow("livestream platform") << none << "livestreams/0/activePlatform"
                                             << QByteArray("{\"platform\":\"YouTube\",\"server\":\"Primary\",\"url\":\"rtmp://x\",\"quality\":\"High\"}")
                                             << QVariantMap{{"livestreamPlatform", "YouTube"}, {"livestreamServer", "Primary"},
                                                            {"livestreamUrl", "rtmp://x"}, {"livestreamQuality", "High"}};

        // Missing keys: "if present" keeps the value, the unconditional reads empty it.
        QTest::newRow("missing key keeps focus") << QStringList{R"(lens/focus {"focus":0.2})"} << "lens/focus"
                                                 << QByteArray("{}") << QVariantMap{};
        QTest::newRow("active preset") << none << "presets/active" << QByteArray(R"({"preset":"Stage.cset"})")
                                       << QVariantMap{{"activePreset", "Stage.cset"}};
        QTest::newRow("active preset missing empties it") << QStringList{R"(presets/active {"preset":"A"})"}
                                                          << "presets/active" << QByteArray(R"({"other":1})")
                                                          << QVariantMap{{"activePreset", ""}};
        QTest::newRow("presets replaced") << QStringList{R"(presets {"presets":["A","B"]})"} << "presets"
                                          << QByteArray(R"({"presets":["C"]})") << QVariantMap{{"presets", QStringList{"C"}}};
        QTest::newRow("presets missing clears") << QStringList{R"(presets {"presets":["A"]})"} << "presets"
                                                << QByteArray("{}") << QVariantMap{{"presets", QStringList{}}};
        QTest::newRow("preset that is not text") << none << "presets" << QByteArray(R"({"presets":["A",5]})")
                                                 << QVariantMap{{"presets", QStringList{"A", ""}}};

        // Type rules: a present value of the wrong type reads as the type's empty value.
        QTest::newRow("int from text") << none << "video/iso" << QByteArray(R"({"iso":"1600"})") << QVariantMap{{"iso", 0}};
        QTest::newRow("int from fraction") << none << "video/iso" << QByteArray(R"({"iso":1600.5})") << QVariantMap{{"iso", 0}};
        QTest::newRow("int from whole double") << none << "video/iso" << QByteArray(R"({"iso":1600.0})")
                                               << QVariantMap{{"iso", 1600}};
        QTest::newRow("int above range") << none << "video/iso" << QByteArray(R"({"iso":2147483648})") << QVariantMap{{"iso", 0}};
        QTest::newRow("int at range end") << none << "video/iso" << QByteArray(R"({"iso":-2147483648})")
                                          << QVariantMap{{"iso", INT_MIN}};
        QTest::newRow("int huge") << QStringList{R"(camera/power {"milliVolt":12000})"} << "camera/power"
                                  << QByteArray(R"({"milliVolt":1e300})") << QVariantMap{{"powerMilliVolt", 0}};
        QTest::newRow("int null") << none << "video/whiteBalance" << QByteArray(R"({"whiteBalance":null})")
                                  << QVariantMap{{"whiteBalance", 0}};
        QTest::newRow("double from bool") << none << "lens/focus" << QByteArray(R"({"focus":true})") << QVariantMap{{"focus", 0.0}};
        QTest::newRow("double from huge") << none << "lens/focus" << QByteArray(R"({"focus":1e300})") << QVariantMap{{"focus", 1e300}};
        QTest::newRow("text from number") << none << "video/autoExposure" << QByteArray(R"({"mode":3,"type":["Iris"]})")
                                          << QVariantMap{{"autoExposureMode", ""}, {"autoExposureType", ""}};
        QTest::newRow("bool from number") << QStringList{R"(camera/colorBars {"enabled":true})"} << "camera/colorBars"
                                          << QByteArray(R"({"enabled":1})") << QVariantMap{{"colorBars", false}};
        QTest::newRow("object where number belongs") << none << "lens/zoom" << QByteArray(R"({"normalised":{"x":1}})")
                                                     << QVariantMap{{"zoomNormalised", 0.0}};

        QTest::newRow("audio level") << none << "audio/channel/1/level" << QByteArray(R"({"gain":-12.5,"normalised":0.3})")
                                     << QVariantMap{{"audio[1].gain", -12.5}, {"audio[1].normalised", 0.3}};
        QTest::newRow("audio input") << none << "audio/channel/0/input" << QByteArray(R"({"input":"XLR1 - Mic"})")
                                     << QVariantMap{{"audio[0].input", "XLR1 - Mic"}};
        QTest::newRow("phantom power") << none << "audio/channel/1/phantomPower" << QByteArray(R"({"enabled":true})")
                                       << QVariantMap{{"audio[1].phantomPower", true}};
        QTest::newRow("padding") << none << "audio/channel/0/padding" << QByteArray(R"({"enabled":true})")
                                 << QVariantMap{{"audio[0].padding", true}};
        QTest::newRow("low cut") << none << "audio/channel/1/lowCutFilter" << QByteArray(R"({"enabled":true})")
                                 << QVariantMap{{"audio[1].lowCutFilter", true}};
        QTest::newRow("audio channel x is 0") << none << "audio/channel/x/level" << QByteArray(R"({"gain":3})")
                                              << QVariantMap{{"audio[0].gain", 3.0}};
        QTest::newRow("audio channel 2") << none << "audio/channel/2/level" << QByteArray(R"({"gain":3})") << QVariantMap{};
        QTest::newRow("audio channel -1") << none << "audio/channel/-1/level" << QByteArray(R"({"gain":3})") << QVariantMap{};
        QTest::newRow("audio huge channel") << none << "audio/channel/99999999999999999999/level"
                                            << QByteArray(R"({"gain":3})") << QVariantMap{};
        QTest::newRow("audio channel 1 with sign") << none << "audio/channel/+1/level" << QByteArray(R"({"gain":3})")
                                                   << QVariantMap{{"audio[1].gain", 3.0}};
        QTest::newRow("audio path too short") << none << "audio/channel/0" << QByteArray(R"({"gain":3})") << QVariantMap{};
        QTest::newRow("audio row with extra segment") << none << "audio/channel/0/level/x" << QByteArray(R"({"gain":3})")
                                                      << QVariantMap{};
        QTest::newRow("audio unknown row") << none << "audio/channel/0/volume" << QByteArray(R"({"gain":3})") << QVariantMap{};

        QTest::newRow("gain range") << none << "audio/channel/1/input/description"
                                    << QByteArray(R"({"input":"XLR2 - Mic","description":{"gainRange":{"Min":-12,"Max":60}}})")
                                    << QVariantMap{{"audio[1].gainMin", -12.0}, {"audio[1].gainMax", 60.0}};
        QTest::newRow("gain range missing max reads 0") << none << "audio/channel/0/input/description"
                                                        << QByteArray(R"({"description":{"gainRange":{"Min":-20}}})")
                                                        << QVariantMap{{"audio[0].gainMin", -20.0}, {"audio[0].gainMax", 0.0}};
        QTest::newRow("gain range empty") << none << "audio/channel/0/input/description"
                                          << QByteArray(R"({"description":{"gainRange":{}}})") << QVariantMap{};
        QTest::newRow("description not an object") << none << "audio/channel/0/input/description"
                                                   << QByteArray(R"({"description":[{"gainRange":{"Min":1}}]})") << QVariantMap{};

        QTest::newRow("supported inputs") << none << "audio/channel/0/supportedInputs"
                                          << QByteArray(R"({"items":[{"input":"None","available":true},{"input":"XLR1 - Mic","available":false},)"
                                                        R"({"input":"Camera - Left","available":true},"junk",{"available":"yes","input":"X"}]})")
                                          << QVariantMap{{"audio[0].supportedInputs", QStringList{"None", "Camera - Left"}}};
        const QStringList oneInput{R"(audio/channel/1/supportedInputs {"items":[{"input":"A","available":true}]})"};
        QTest::newRow("supported inputs without items") << oneInput << "audio/channel/1/supportedInputs"
                                                        << QByteArray("{}") << QVariantMap{};
        QTest::newRow("supported inputs items not a list") << oneInput << "audio/channel/1/supportedInputs"
                                                           << QByteArray(R"({"items":{"input":"B","available":true}})")
                                                           << QVariantMap{{"audio[1].supportedInputs", QStringList{}}};

        QTest::newRow("format")
            << none << "system/format"
            << QByteArray(R"({"codec":"ProRes:HQ","frameRate":"25","offSpeedEnabled":true,"offSpeedFrameRate":50,)"
                          R"("minOffSpeedFrameRate":5,"maxOffSpeedFrameRate":60,)"
                          R"("recordResolution":{"width":1920,"height":1080},"sensorResolution":{"width":4096,"height":2304}})")
            << QVariantMap{{"formatCodec", "ProRes:HQ"}, {"codec", "ProRes:HQ"}, {"formatFrameRate", "25"},
                           {"videoFrameRate", "25"}, {"offSpeedEnabled", true}, {"offSpeedFrameRate", 50.0},
                           {"minOffSpeedFrameRate", 5.0}, {"maxOffSpeedFrameRate", 60.0}, {"recordWidth", 1920},
                           {"recordHeight", 1080}, {"videoWidth", 1920}, {"videoHeight", 1080}, {"sensorWidth", 4096},
                           {"sensorHeight", 2304}, {"videoFormatName", "1920x1080p25"}};
        QTest::newRow("format without frame rate keeps name")
            << QStringList{R"(system/videoFormat {"name":"HD"})"} << "system/format"
            << QByteArray(R"({"recordResolution":{"width":1920,"height":1080}})")
            << QVariantMap{{"recordWidth", 1920}, {"recordHeight", 1080}, {"videoWidth", 1920}, {"videoHeight", 1080}};
        QTest::newRow("format frame rate joins earlier width")
            << QStringList{R"(system/videoFormat {"name":"2160p25","width":3840,"height":2160})"} << "system/format"
            << QByteArray(R"({"frameRate":"24"})")
            << QVariantMap{{"formatFrameRate", "24"}, {"videoFrameRate", "24"}, {"videoFormatName", "3840x2160p24"}};
        QTest::newRow("format resolution not an object")
            << QStringList{R"(system/format {"recordResolution":{"width":1920,"height":1080}})"} << "system/format"
            << QByteArray(R"({"recordResolution":[1920,1080]})")
            << QVariantMap{{"recordWidth", 0}, {"recordHeight", 0}, {"videoWidth", 0}, {"videoHeight", 0}};

        QTest::newRow("monitoring HDMI zebra") << none << "monitoring/HDMI/zebra" << QByteArray(R"({"enabled":true})")
                                               << QVariantMap{{"monitoring[0].zebra", true}};
        QTest::newRow("monitoring SDI LUT") << none << "monitoring/MainSDI/displayLUT" << QByteArray(R"({"enabled":true})")
                                            << QVariantMap{{"monitoring[1].displayLUT", true}};
        QTest::newRow("monitoring front safe area") << none << "monitoring/FrontUSBC/safeArea"
                                                    << QByteArray(R"({"enabled":true})")
                                                    << QVariantMap{{"monitoring[2].safeArea", true}};
        QTest::newRow("monitoring enabled missing") << QStringList{R"(monitoring/HDMI/frameGrids {"enabled":true})"}
                                                    << "monitoring/HDMI/frameGrids" << QByteArray("{}")
                                                    << QVariantMap{{"monitoring[0].frameGrids", false}};
        QTest::newRow("monitoring four segments") << none << "monitoring/HDMI/zebra/extra"
                                                  << QByteArray(R"({"enabled":true})") << QVariantMap{};
        QTest::newRow("monitoring unknown output") << none << "monitoring/VGA/zebra" << QByteArray(R"({"enabled":true})")
                                                   << QVariantMap{};
        QTest::newRow("monitoring unknown overlay") << none << "monitoring/HDMI/peaking" << QByteArray(R"({"enabled":true})")
                                                    << QVariantMap{};
        QTest::newRow("monitoring output case") << none << "monitoring/hdmi/zebra" << QByteArray(R"({"enabled":true})")
                                                << QVariantMap{};

        QTest::newRow("endpoint case") << none << "Lens/focus" << QByteArray(R"({"focus":0.1})") << QVariantMap{};
        QTest::newRow("unknown endpoint") << none << "system/product" << QByteArray(R"({"productName":"X"})")
                                          << QVariantMap{};
    }

    void reply()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, endpoint);
        QFETCH(QByteArray, reply);
        QFETCH(QVariantMap, changes);

        CameraState state;
        for (const QString& step : setup)
            applyStep(state, step);
        const QVariantMap before = snapshot(state);
        CameraStateIngest::applyReply(state, endpoint, object(reply));
        QCOMPARE(difference(before, changes, snapshot(state)), QString());
    }

    void supportedFormats()
    {
        CameraState state;
        applyStep(state, R"(system/supportedFormats {"supportedFormats":[)"
                         R"({"recordResolution":{"width":4096,"height":2160},"sensorResolution":{"width":4096,"height":2304},)"
                         R"("resolutionDescriptor":"4K DCI","codecs":["BRaw:Q5","ProRes:HQ"],"frameRates":["24","25"],)"
                         R"("minOffSpeedFrameRate":5,"maxOffSpeedFrameRate":60},)"
                         R"({"resolutionDescriptor":"HD"}]})");
        QCOMPARE(state.supportedFormats.size(), 2);
        const SupportedFormat& dci = state.supportedFormats.at(0);
        QCOMPARE(dci.recordWidth, 4096);
        QCOMPARE(dci.recordHeight, 2160);
        QCOMPARE(dci.sensorWidth, 4096);
        QCOMPARE(dci.sensorHeight, 2304);
        QCOMPARE(dci.description, QStringLiteral("4K DCI"));
        QCOMPARE(dci.codecs, (QStringList{"BRaw:Q5", "ProRes:HQ"}));
        QCOMPARE(dci.frameRates, (QStringList{"24", "25"}));
        QCOMPARE(dci.minOffSpeedFrameRate, 5.0);
        QCOMPARE(dci.maxOffSpeedFrameRate, 60.0);
        const SupportedFormat& hd = state.supportedFormats.at(1);
        QCOMPARE(hd.description, QStringLiteral("HD"));
        QCOMPARE(hd.recordWidth, 0);
        QVERIFY(hd.codecs.isEmpty());

        applyStep(state, R"(system/supportedFormats {"supportedFormats":[{"resolutionDescriptor":"Ultra HD"}]})");
        QCOMPARE(state.supportedFormats.size(), 1);
        QCOMPARE(state.supportedFormats.at(0).description, QStringLiteral("Ultra HD"));

        applyStep(state, R"(system/supportedFormats {"supportedFormats":"none"})");
        QVERIFY(state.supportedFormats.isEmpty());
    }

    void event_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QVariantMap>("changes");

        QTest::newRow("lens") << QByteArray(R"({"lens":{"focus":0.3,"apertureStop":2.8,"normalised":0.1,"zoomNormalized":0.9}})")
                              << QVariantMap{{"focus", 0.3}, {"irisApertureStop", 2.8}, {"irisNormalised", 0.1},
                                             {"zoomNormalised", 0.9}};
        QTest::newRow("lens partial") << QByteArray(R"({"lens":{"focalLength":50,"zoomNormalized":0.2}})")
                                      << QVariantMap{{"zoomNormalised", 0.2}};
        QTest::newRow("video") << QByteArray(R"({"video":{"iso":3200,"whiteBalance":4300,"gain":12,"shutterSpeed":100}})")
                               << QVariantMap{{"iso", 3200}, {"whiteBalance", 4300}, {"gain", 12}};
        QTest::newRow("both") << QByteArray(R"({"video":{"iso":400},"lens":{"focus":0.7}})")
                              << QVariantMap{{"iso", 400}, {"focus", 0.7}};
        QTest::newRow("wrong types") << QByteArray(R"({"video":{"iso":400.5,"gain":"6"},"lens":{"focus":"near"}})")
                                     << QVariantMap{{"iso", 0}, {"gain", 0}, {"focus", 0.0}};
        QTest::newRow("lens not an object") << QByteArray(R"({"lens":[{"focus":0.1}],"video":7})") << QVariantMap{};
        QTest::newRow("other categories") << QByteArray(R"({"audio":{"gain":3},"focus":0.1,"iso":100})") << QVariantMap{};
    }

    void event()
    {
        QFETCH(QByteArray, message);
        QFETCH(QVariantMap, changes);

        CameraState state;
        const QVariantMap before = snapshot(state);
        CameraStateIngest::applyEvent(state, object(message));
        QCOMPARE(difference(before, changes, snapshot(state)), QString());
    }
};

QTEST_GUILESS_MAIN(TestCameraState)
#include "tst_camerastate.moc"
