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
        QTest::newRow("minus zero") << "/camera/-0/focus" << "/camera/{id}/focus" << -1;
        QTest::newRow("minus sign") << "/camera/-2/focus" << "/camera/{id}/focus" << -1;
        QTest::newRow("plus sign") << "/camera/+3/focus" << "/camera/{id}/focus" << -1;
        QTest::newRow("leading blank") << "/camera/ 3/focus" << "/camera/{id}/focus" << -1;
        QTest::newRow("trailing blank") << "/camera/3 /focus" << "/camera/{id}/focus" << -1;
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
