#include "CameraStateIngest.h"

#include <QJsonDocument>
#include <QTest>

#include <climits>

namespace {

QJsonObject object(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

// "endpoint {json}" applied as one reply, "event {json}" as one message of the event channel.
void applyStep(CameraState& state, const QString& step)
{
    const int space = step.indexOf(QLatin1Char(' '));
    const QJsonObject body = object(step.mid(space + 1).toUtf8());
    if (step.left(space) == QLatin1String("event"))
        CameraStateIngest::applyEvent(state, body);
    else
        CameraStateIngest::applyReply(state, step.left(space), body);
}

// Every field by name, so that a test can say which fields a reply changed and check
// that no other field moved.
QVariantMap snapshot(const CameraState& s)
{
#define FIELD(name) {#name, QVariant::fromValue(s.name)}
    QVariantMap m{FIELD(focus), FIELD(irisApertureStop), FIELD(irisNormalised), FIELD(zoomFocalLength),
                  FIELD(zoomNormalised), FIELD(iso), FIELD(gain), FIELD(whiteBalance), FIELD(whiteBalanceTint),
                  FIELD(shutterAngle), FIELD(shutterSpeed), FIELD(ndFilterStop), FIELD(autoExposureMode),
                  FIELD(autoExposureType), FIELD(contrastPivot), FIELD(contrastAdjust), FIELD(hue),
                  FIELD(saturation), FIELD(lumaContribution), FIELD(recording), FIELD(timecode), FIELD(codec),
                  FIELD(container), FIELD(videoFormatName), FIELD(videoFrameRate), FIELD(videoWidth),
                  FIELD(videoHeight), FIELD(interlaced), FIELD(formatCodec), FIELD(formatFrameRate),
                  FIELD(recordWidth), FIELD(recordHeight), FIELD(sensorWidth), FIELD(sensorHeight),
                  FIELD(offSpeedEnabled), FIELD(offSpeedFrameRate), FIELD(minOffSpeedFrameRate),
                  FIELD(maxOffSpeedFrameRate), FIELD(workingsetIndex), FIELD(mediaDeviceName), FIELD(tallyStatus),
                  FIELD(programFeedDisplay), FIELD(colorBars), FIELD(powerSource), FIELD(powerMilliVolt),
                  FIELD(timingReferenceLocked), FIELD(livestreamStatus), FIELD(livestreamBitrate),
                  FIELD(livestreamDuration), FIELD(livestreamCache), FIELD(livestreamPlatform), FIELD(presets),
                  FIELD(activePreset)};
#undef FIELD
    const auto wheel = [&m](const QString& name, const ColorWheel& w) {
        m.insert({{name + ".red", w.red}, {name + ".green", w.green}, {name + ".blue", w.blue}, {name + ".luma", w.luma}});
    };
    wheel("lift", s.lift);
    wheel("gamma", s.gamma);
    wheel("colorGain", s.colorGain);
    wheel("offset", s.offset);
    for (int i = 0; i < 2; ++i) {
        const AudioChannelState& a = s.audio[std::size_t(i)];
        const QString p = QStringLiteral("audio[%1].").arg(i);
        m.insert({{p + "gain", a.gain}, {p + "normalised", a.normalised}, {p + "gainMin", a.gainMin},
                  {p + "gainMax", a.gainMax}, {p + "input", a.input}, {p + "phantomPower", a.phantomPower},
                  {p + "supportedInputs", a.supportedInputs}});
    }
    for (int i = 0; i < 3; ++i) {
        const MonitoringFlags& f = s.monitoring[std::size_t(i)];
        const QString p = QStringLiteral("monitoring[%1].").arg(i);
        m.insert({{p + "displayLUT", f.displayLUT}, {p + "safeArea", f.safeArea}, {p + "zebra", f.zebra},
                  {p + "frameGrids", f.frameGrids}});
    }
    QStringList formats;
    for (const SupportedFormat& f : s.supportedFormats)
        formats << QStringLiteral("%1: %2x%3 of %4x%5, %6, %7, %8-%9")
                       .arg(f.description, QString::number(f.recordWidth), QString::number(f.recordHeight),
                            QString::number(f.sensorWidth), QString::number(f.sensorHeight), f.codecs.join(' '),
                            f.frameRates.join(' '), QString::number(f.minOffSpeedFrameRate),
                            QString::number(f.maxOffSpeedFrameRate));
    m.insert("supportedFormats", formats);
    return m;
}

// Empty when `after` equals `expected` with `changes` applied; otherwise the first field that differs.
QString difference(QVariantMap expected, const QVariantMap& changes, const QVariantMap& after)
{
    expected.insert(changes);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (after.value(it.key()) != it.value())
            return QStringLiteral("%1 is %2, expected %3").arg(it.key(), after.value(it.key()).toString(), it.value().toString());
    }
    return {};
}

void row(const char* name, const QStringList& setup, const QString& step, const QVariantMap& changes)
{
    QTest::newRow(name) << setup << step << changes;
}

} // namespace

class TestCameraState : public QObject {
    Q_OBJECT

private slots:
    void message_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QVariantMap>("changes");
        const QStringList none;
        row("iris", none, R"(lens/iris {"apertureStop":2.8,"normalised":0.2})",
            {{"irisApertureStop", 2.8}, {"irisNormalised", 0.2}});
        row("iris normalised only", none, R"(lens/iris {"normalised":0.9})", {{"irisNormalised", 0.9}});
        row("colour gain red only", none, R"(colorCorrection/gain {"red":1.5})", {{"colorGain.red", 1.5}});
        row("livestream", none, R"(livestreams/0 {"status":"Streaming","bitrate":6000,"duration":90,"cache":3})",
            {{"livestreamStatus", "Streaming"}, {"livestreamBitrate", 6000}, {"livestreamDuration", 90}, {"livestreamCache", 3}});

        // Missing keys: "if present" keeps the value, the unconditional reads empty it.
        row("missing key keeps focus", {R"(lens/focus {"focus":0.2})"}, "lens/focus {}", {});
        row("active preset missing empties it", {R"(presets/active {"preset":"A"})"}, R"(presets/active {"other":1})",
            {{"activePreset", ""}});
        row("presets missing clears", {R"(presets {"presets":["A"]})"}, "presets {}", {{"presets", QStringList{}}});
        row("preset that is not text", none, R"(presets {"presets":["A",5]})", {{"presets", QStringList{"A", ""}}});

        // A present value of the wrong type reads as the type's empty value.
        row("int from text", none, R"(video/iso {"iso":"1600"})", {{"iso", 0}});
        row("int from fraction", none, R"(video/iso {"iso":1600.5})", {{"iso", 0}});
        row("int from whole double", none, R"(video/iso {"iso":1600.0})", {{"iso", 1600}});
        row("int above range", none, R"(video/iso {"iso":2147483648})", {{"iso", 0}});
        row("int at range end", none, R"(video/iso {"iso":-2147483648})", {{"iso", INT_MIN}});
        row("double from bool", none, R"(lens/focus {"focus":true})", {{"focus", 0.0}});
        row("text from number", none, R"(video/autoExposure {"mode":3,"type":["Iris"]})",
            {{"autoExposureMode", ""}, {"autoExposureType", ""}});
        row("bool from number", {R"(camera/colorBars {"enabled":true})"}, R"(camera/colorBars {"enabled":1})",
            {{"colorBars", false}});

        row("audio level", none, R"(audio/channel/1/level {"gain":-12.5,"normalised":0.3})",
            {{"audio[1].gain", -12.5}, {"audio[1].normalised", 0.3}});
        row("audio channel x is 0", none, R"(audio/channel/x/level {"gain":3})", {{"audio[0].gain", 3.0}});
        row("audio channel 2", none, R"(audio/channel/2/level {"gain":3})", {});
        row("audio channel -1", none, R"(audio/channel/-1/level {"gain":3})", {});
        row("audio huge channel", none, R"(audio/channel/99999999999999999999/level {"gain":3})", {});
        row("audio row with extra segment", none, R"(audio/channel/0/level/x {"gain":3})", {});
        row("gain range", none, R"(audio/channel/1/input/description {"description":{"gainRange":{"Min":-12,"Max":60}}})",
            {{"audio[1].gainMin", -12.0}, {"audio[1].gainMax", 60.0}});
        row("supported inputs", none,
            R"(audio/channel/0/supportedInputs {"items":[{"input":"None","available":true},{"input":"XLR1","available":false},)"
            R"({"input":"Camera - Left","available":true},"junk",{"available":"yes","input":"X"}]})",
            {{"audio[0].supportedInputs", QStringList{"None", "Camera - Left"}}});
        row("supported inputs items not a list", {R"(audio/channel/1/supportedInputs {"items":[{"input":"A","available":true}]})"},
            R"(audio/channel/1/supportedInputs {"items":{"input":"B","available":true}})", {{"audio[1].supportedInputs", QStringList{}}});

        row("format", none,
            R"(system/format {"codec":"ProRes:HQ","frameRate":"25","offSpeedEnabled":true,"offSpeedFrameRate":50,)"
            R"("minOffSpeedFrameRate":5,"maxOffSpeedFrameRate":60,)"
            R"("recordResolution":{"width":1920,"height":1080},"sensorResolution":{"width":4096,"height":2304}})",
            {{"formatCodec", "ProRes:HQ"}, {"codec", "ProRes:HQ"}, {"formatFrameRate", "25"}, {"videoFrameRate", "25"},
             {"offSpeedEnabled", true}, {"offSpeedFrameRate", 50.0}, {"minOffSpeedFrameRate", 5.0},
             {"maxOffSpeedFrameRate", 60.0}, {"recordWidth", 1920}, {"recordHeight", 1080}, {"videoWidth", 1920},
             {"videoHeight", 1080}, {"sensorWidth", 4096}, {"sensorHeight", 2304}, {"videoFormatName", "1920x1080p25"}});
        row("format frame rate joins earlier width", {R"(system/videoFormat {"name":"2160p25","width":3840,"height":2160})"},
            R"(system/format {"frameRate":"24"})",
            {{"formatFrameRate", "24"}, {"videoFrameRate", "24"}, {"videoFormatName", "3840x2160p24"}});
        row("format resolution not an object", {R"(system/format {"recordResolution":{"width":1920,"height":1080}})"},
            R"(system/format {"recordResolution":[1920,1080]})",
            {{"recordWidth", 0}, {"recordHeight", 0}, {"videoWidth", 0}, {"videoHeight", 0}});

        row("supported formats", none,
            R"(system/supportedFormats {"supportedFormats":[)"
            R"({"recordResolution":{"width":4096,"height":2160},"sensorResolution":{"width":4096,"height":2304},)"
            R"("resolutionDescriptor":"4K DCI","codecs":["BRaw:Q5","ProRes:HQ"],"frameRates":["24","25"],)"
            R"("minOffSpeedFrameRate":5,"maxOffSpeedFrameRate":60},{"resolutionDescriptor":"HD"}]})",
            {{"supportedFormats", QStringList{"4K DCI: 4096x2160 of 4096x2304, BRaw:Q5 ProRes:HQ, 24 25, 5-60",
                                              "HD: 0x0 of 0x0, , , 0-0"}}});
        row("supported formats not a list", {R"(system/supportedFormats {"supportedFormats":[{"resolutionDescriptor":"HD"}]})"},
            R"(system/supportedFormats {"supportedFormats":"none"})", {{"supportedFormats", QStringList{}}});

        row("monitoring SDI LUT", none, R"(monitoring/MainSDI/displayLUT {"enabled":true})", {{"monitoring[1].displayLUT", true}});
        row("monitoring front safe area", none, R"(monitoring/FrontUSBC/safeArea {"enabled":true})", {{"monitoring[2].safeArea", true}});
        row("monitoring enabled missing", {R"(monitoring/HDMI/frameGrids {"enabled":true})"}, "monitoring/HDMI/frameGrids {}",
            {{"monitoring[0].frameGrids", false}});
        row("monitoring four segments", none, R"(monitoring/HDMI/zebra/extra {"enabled":true})", {});
        row("monitoring output case", none, R"(monitoring/hdmi/zebra {"enabled":true})", {});
        row("endpoint case", none, R"(Lens/focus {"focus":0.1})", {});

        row("event: lens", none, R"(event {"lens":{"focus":0.3,"apertureStop":2.8,"normalised":0.1,"zoomNormalized":0.9}})",
            {{"focus", 0.3}, {"irisApertureStop", 2.8}, {"irisNormalised", 0.1}, {"zoomNormalised", 0.9}});
        row("event: lens partial", none, R"(event {"lens":{"focalLength":50,"zoomNormalized":0.2}})", {{"zoomNormalised", 0.2}});
        row("event: video", none, R"(event {"video":{"iso":3200,"whiteBalance":4300,"gain":12,"shutterSpeed":100}})",
            {{"iso", 3200}, {"whiteBalance", 4300}, {"gain", 12}});
        row("event: wrong types", none, R"(event {"video":{"iso":400.5,"gain":"6"},"lens":{"focus":"near"}})",
            {{"iso", 0}, {"gain", 0}, {"focus", 0.0}});
        row("event: lens not an object", none, R"(event {"lens":[{"focus":0.1}],"video":7})", {});
        row("event: other categories", none, R"(event {"audio":{"gain":3},"focus":0.1,"iso":100})", {});
    }

    void message()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, step);
        QFETCH(QVariantMap, changes);
        CameraState state;
        for (const QString& earlier : setup)
            applyStep(state, earlier);
        const QVariantMap before = snapshot(state);
        applyStep(state, step);
        QCOMPARE(difference(before, changes, snapshot(state)), QString());
    }
};

QTEST_GUILESS_MAIN(TestCameraState)
#include "tst_camerastate.moc"
