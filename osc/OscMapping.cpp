#include "OscMapping.h"

#include <algorithm>

OscMapping::OscMapping(QObject* parent)
    : QObject(parent)
{
    loadDefaults();
}

void OscMapping::loadDefaults()
{
    m_entries.clear();
    const QString put = QStringLiteral("PUT");
    const QStringList wheel = {"red", "green", "blue", "luma"};

    addMapping("/camera/{id}/focus", "lens/focus", put, {"focus"});
    addMapping("/camera/{id}/autofocus", "lens/focus/doAutoFocus", put, {}, true, "{}");
    addMapping("/camera/{id}/iris", "lens/iris", put, {"apertureStop"});
    addMapping("/camera/{id}/iris/normalized", "lens/iris", put, {"normalised"});
    addMapping("/camera/{id}/zoom", "lens/zoom", put, {"normalised"});
    addMapping("/camera/{id}/zoom/speed", "lens/zoom", put, {"speed"});
    addMapping("/camera/{id}/iso", "video/iso", put, {"iso"});
    addMapping("/camera/{id}/gain", "video/gain", put, {"gain"});
    addMapping("/camera/{id}/wb", "video/whiteBalance", put, {"whiteBalance"});
    addMapping("/camera/{id}/tint", "video/whiteBalanceTint", put, {"whiteBalanceTint"});
    addMapping("/camera/{id}/shutter/angle", "video/shutter", put, {"shutterAngle"});
    addMapping("/camera/{id}/shutter/speed", "video/shutter", put, {"shutterSpeed"});
    addMapping("/camera/{id}/nd", "video/ndFilter", put, {"stop"});
    addMapping("/camera/{id}/autoexposure", "video/autoExposure", put, {"mode"});
    addMapping("/camera/{id}/cc/lift", "colorCorrection/lift", put, wheel);
    addMapping("/camera/{id}/cc/gamma", "colorCorrection/gamma", put, wheel);
    addMapping("/camera/{id}/cc/gain", "colorCorrection/gain", put, wheel);
    addMapping("/camera/{id}/cc/offset", "colorCorrection/offset", put, wheel);
    addMapping("/camera/{id}/cc/contrast", "colorCorrection/contrast", put, {"pivot", "adjust"});
    addMapping("/camera/{id}/cc/saturation", "colorCorrection/color", put, {"saturation"});
    addMapping("/camera/{id}/cc/hue", "colorCorrection/color", put, {"hue"});
    addMapping("/camera/{id}/cc/lumacontribution", "colorCorrection/lumaContribution", put, {"lumaContribution"});
    addMapping("/camera/{id}/record/start", "transports/0/record", put, {}, true, R"({"recording":true})");
    addMapping("/camera/{id}/record/stop", "transports/0/stop", put, {}, true, "{}");
    for (const QString channel : {"0", "1"}) {
        const QString address = "/camera/{id}/audio/channel/" + channel + "/";
        const QString endpoint = "audio/channel/" + channel + "/";
        addMapping(address + "level", endpoint + "level", put, {"gain"});
        addMapping(address + "input", endpoint + "input", put, {"input"});
        addOnOffMapping(address + "phantom", endpoint + "phantomPower");
        addOnOffMapping(address + "padding", endpoint + "padding");
        addOnOffMapping(address + "lowCut", endpoint + "lowCutFilter");
    }
    addMapping("/camera/{id}/preset/recall", "presets/active", put, {"preset"});
}

void OscMapping::addMapping(const QString& pattern, const QString& endpoint, const QString& method,
                            const QStringList& jsonKeys, bool isTrigger, const QString& fixedBody)
{
    m_entries.append(OscMapEntry{pattern, patternToRegex(pattern), endpoint, method, jsonKeys, isTrigger, fixedBody});
}

void OscMapping::addOnOffMapping(const QString& pattern, const QString& endpoint)
{
    addMapping(pattern, endpoint, QStringLiteral("PUT"), {QStringLiteral("enabled")});
    m_entries.last().isOnOff = true;
}

const OscMapEntry* OscMapping::findMapping(const QString& address, int& cameraIndex) const
{
    for (const OscMapEntry& entry : m_entries) {
        const QRegularExpressionMatch match = entry.regex.match(address);
        if (!match.hasMatch())
            continue;
        // Digits only: the lax conversion would take "-0" (every camera), "+3" or " 3".
        const QString text = match.captured(QStringLiteral("id"));
        const bool digits = std::all_of(text.cbegin(), text.cend(),
                                        [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
        bool ok = false;
        const int index = digits ? text.toInt(&ok, 10) : -1;
        cameraIndex = ok ? index : -1;
        return &entry;
    }
    return nullptr;
}

QRegularExpression OscMapping::patternToRegex(const QString& pattern) const
{
    QString expression = pattern;
    expression.replace(QStringLiteral("{id}"), QStringLiteral("(?<id>[^/]+)"));
    return QRegularExpression('^' + expression + '$');
}
