#include "OscMapping.h"

#include <QTest>

class TestOscMapping : public QObject {
    Q_OBJECT

private slots:
    void matching_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("pattern");    // empty: no row matches
        QTest::addColumn<int>("index");

        QTest::newRow("one camera") << "/camera/1/focus" << "/camera/{id}/focus" << 1;
        QTest::newRow("every camera") << "/camera/0/focus" << "/camera/{id}/focus" << 0;
        QTest::newRow("leading zero") << "/camera/01/iso" << "/camera/{id}/iso" << 1;
        QTest::newRow("not a number") << "/camera/abc/focus" << "/camera/{id}/focus" << -1;
        QTest::newRow("beyond int") << "/camera/4294967296/focus" << "/camera/{id}/focus" << -1;
        QTest::newRow("longer row wins by anchoring") << "/camera/2/iris/normalized" << "/camera/{id}/iris/normalized"
                                                      << 2;
        QTest::newRow("zoom speed") << "/camera/3/zoom/speed" << "/camera/{id}/zoom/speed" << 3;
        QTest::newRow("audio channel 1") << "/camera/7/audio/channel/1/lowCut"
                                         << "/camera/{id}/audio/channel/1/lowCut" << 7;
        QTest::newRow("trailing part") << "/camera/1/focus/extra" << QString() << -7;
        QTest::newRow("case differs") << "/camera/1/Focus" << QString() << -7;
        QTest::newRow("empty index") << "/camera//focus" << QString() << -7;
        QTest::newRow("index with a slash") << "/camera/1/2/focus" << QString() << -7;
        QTest::newRow("no audio channel 2") << "/camera/1/audio/channel/2/level" << QString() << -7;
        QTest::newRow("unknown") << "/ping" << QString() << -7;
    }

    void matching()
    {
        QFETCH(QString, address);
        QFETCH(QString, pattern);
        QFETCH(int, index);

        OscMapping mapping;
        int found = -7;    // an untouched index stays what the caller set
        const OscMapEntry* entry = mapping.findMapping(address, found);
        QCOMPARE(entry ? entry->pattern : QString(), pattern);
        QCOMPARE(found, index);
    }

    void rows_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<bool>("trigger");
        QTest::addColumn<QString>("fixedBody");

        QTest::newRow("iris") << "/camera/1/iris" << "lens/iris" << QStringList{"apertureStop"} << false << "";
        QTest::newRow("iris normalized, key with s") << "/camera/1/iris/normalized" << "lens/iris"
                                                    << QStringList{"normalised"} << false << "";
        QTest::newRow("zoom position") << "/camera/1/zoom" << "lens/zoom" << QStringList{"normalised"} << false << "";
        QTest::newRow("zoom speed") << "/camera/1/zoom/speed" << "lens/zoom" << QStringList{"speed"} << false << "";
        QTest::newRow("white balance") << "/camera/1/wb" << "video/whiteBalance" << QStringList{"whiteBalance"}
                                       << false << "";
        QTest::newRow("shutter speed") << "/camera/1/shutter/speed" << "video/shutter"
                                       << QStringList{"shutterSpeed"} << false << "";
        QTest::newRow("lift") << "/camera/1/cc/lift" << "colorCorrection/lift"
                              << QStringList{"red", "green", "blue", "luma"} << false << "";
        QTest::newRow("contrast") << "/camera/1/cc/contrast" << "colorCorrection/contrast"
                                  << QStringList{"pivot", "adjust"} << false << "";
        QTest::newRow("hue") << "/camera/1/cc/hue" << "colorCorrection/color" << QStringList{"hue"} << false << "";
        QTest::newRow("autofocus") << "/camera/1/autofocus" << "lens/focus/doAutoFocus" << QStringList() << true
                                   << "{}";
        QTest::newRow("record start") << "/camera/1/record/start" << "transports/0/record" << QStringList() << true
                                      << R"({"recording":true})";
        QTest::newRow("record stop") << "/camera/1/record/stop" << "transports/0/stop" << QStringList() << true
                                     << "{}";
        QTest::newRow("phantom") << "/camera/1/audio/channel/0/phantom" << "audio/channel/0/phantomPower"
                                 << QStringList{"enabled"} << false << "";
        QTest::newRow("low cut") << "/camera/1/audio/channel/1/lowCut" << "audio/channel/1/lowCutFilter"
                                 << QStringList{"enabled"} << false << "";
        QTest::newRow("audio level") << "/camera/1/audio/channel/1/level" << "audio/channel/1/level"
                                     << QStringList{"gain"} << false << "";
        QTest::newRow("preset") << "/camera/1/preset/recall" << "presets/active" << QStringList{"preset"} << false
                                << "";
    }

    void rows()
    {
        QFETCH(QString, address);
        QFETCH(QString, endpoint);
        QFETCH(QStringList, keys);
        QFETCH(bool, trigger);
        QFETCH(QString, fixedBody);

        OscMapping mapping;
        int index = -1;
        const OscMapEntry* entry = mapping.findMapping(address, index);
        QVERIFY(entry);
        QCOMPARE(entry->endpoint, endpoint);
        QCOMPARE(entry->jsonKeys, keys);
        QCOMPARE(entry->isTrigger, trigger);
        QCOMPARE(entry->fixedBody, fixedBody);
        QCOMPARE(entry->method, QString("PUT"));
    }

    void tableIsCompleteAndLoadsAgainUnchanged()
    {
        OscMapping mapping;
        QCOMPARE(mapping.entries().size(), 35);
        QCOMPARE(mapping.entries().first().pattern, QString("/camera/{id}/focus"));
        QCOMPARE(mapping.entries().last().pattern, QString("/camera/{id}/preset/recall"));
        for (const OscMapEntry& entry : mapping.entries()) {
            QVERIFY2(entry.regex.isValid(), qPrintable(entry.pattern));
            QCOMPARE(entry.isTrigger, entry.jsonKeys.isEmpty());
        }
        mapping.addMapping("/extra/{id}", "lens/focus", "PUT", {"focus"});
        mapping.loadDefaults();
        QCOMPARE(mapping.entries().size(), 35);
    }

    void addedRowsComeAfterAndBrokenPatternsNeverMatch()
    {
        OscMapping mapping;
        mapping.addMapping("/camera/{id}/focus", "lens/zoom", "PUT", {"normalised"});
        mapping.addMapping("/broken/{id}/(", "lens/focus", "PUT", {"focus"});
        int index = -1;
        QCOMPARE(mapping.findMapping("/camera/4/focus", index)->endpoint, QString("lens/focus"));
        index = 5;
        QVERIFY(!mapping.findMapping("/broken/1/(", index));
        QCOMPARE(index, 5);
    }
};

QTEST_GUILESS_MAIN(TestOscMapping)
#include "tst_oscmapping.moc"
