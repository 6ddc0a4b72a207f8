#include "MidiMapping.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

MidiMapEntry mapping(int channel, int cc, const QString& parameter)
{
    MidiMapEntry entry;
    entry.channel = channel;
    entry.cc = cc;
    entry.parameter = parameter;
    return entry;
}

MidiTriggerEntry mscTrigger(int device, const QString& cue, const QString& argument)
{
    MidiTriggerEntry entry;
    entry.type = MidiTriggerEntry::MscGo;
    entry.channel = device;
    entry.mscCue = cue;
    entry.action = "preset/recall";
    entry.argument = argument;
    return entry;
}

// A table with one of everything, values away from the defaults.
void fill(MidiMapping& table)
{
    MidiMapEntry iso = mapping(3, 74, "video/iso:iso");
    iso.cameraId = "6f1c3c5e-2a7b-4c1e-9d1a-0b7c2f3e4d5a";
    iso.min = 100;
    iso.max = 25600;
    iso.scale = MidiMapEntry::Log;
    table.addMapping(iso);
    MidiMapEntry tint = mapping(15, 0, "video/whiteBalanceTint:whiteBalanceTint");
    tint.min = 50;
    tint.max = -50;
    table.addMapping(tint);

    MidiTriggerEntry note;
    note.channel = 9;
    note.noteOrPgm = 36;
    note.action = "preset/recall";
    note.argument = "Wide shot.cset";
    table.addTrigger(note);
    MidiTriggerEntry program;
    program.type = MidiTriggerEntry::ProgramChange;
    program.channel = 1;
    program.noteOrPgm = 0;
    program.action = "preset/recall";
    program.argument = "Close.cset";
    program.cameraId = "6f1c3c5e-2a7b-4c1e-9d1a-0b7c2f3e4d5a";
    table.addTrigger(program);
    table.addTrigger(mscTrigger(127, "101.2", "Finale.cset"));
}

void compareTables(const MidiMapping& actual, const MidiMapping& expected)
{
    QCOMPARE(actual.count(), expected.count());
    for (int i = 0; i < expected.count(); ++i)
        QVERIFY2(actual.entries()[i] == expected.entries()[i], qPrintable(QString("mapping %1").arg(i)));
    QCOMPARE(actual.triggerCount(), expected.triggerCount());
    for (int i = 0; i < expected.triggerCount(); ++i)
        QVERIFY2(actual.triggers()[i] == expected.triggers()[i], qPrintable(QString("trigger %1").arg(i)));
}

MidiTriggerEntry loadedTrigger(const QJsonObject& object)
{
    MidiMapping table;
    table.fromJson({{"triggers", QJsonArray{object}}});
    return table.triggers().value(0);
}

MidiMapEntry loadedMapping(const QJsonObject& object)
{
    MidiMapping table;
    table.fromJson({{"mappings", QJsonArray{object}}});
    return table.entries().value(0);
}

} // namespace

class TestMidiMapping : public QObject {
    Q_OBJECT
private slots:
    void editingAndSignals()
    {
        MidiMapping table;
        QSignalSpy changed(&table, &MidiMapping::mappingChanged);
        table.addMapping(mapping(0, 1, "lens/focus:focus"));
        table.addMapping(mapping(0, 2, "lens/zoom:normalised"));
        table.addTrigger(MidiTriggerEntry());
        QCOMPARE(changed.count(), 3);

        table.updateMapping(1, mapping(0, 2, "lens/iris:normalised"));
        QCOMPARE(table.entries()[1].parameter, QString("lens/iris:normalised"));
        table.removeMapping(0);
        QCOMPARE(table.count(), 1);
        QCOMPARE(changed.count(), 5);

        // Out of range: nothing changes and nothing is announced.
        table.removeMapping(1);
        table.removeMapping(-1);
        table.updateMapping(1, mapping(9, 9, "x"));
        table.removeTrigger(1);
        table.updateTrigger(-1, MidiTriggerEntry());
        QCOMPARE(changed.count(), 5);
        QCOMPARE(table.count(), 1);
        QCOMPARE(table.triggerCount(), 1);

        table.clear();
        QCOMPARE(table.count(), 0);
        QCOMPARE(table.triggerCount(), 0);
        QCOMPARE(changed.count(), 6);
    }

    void lookupsReturnTheFirstMatch()
    {
        MidiMapping table;
        table.addMapping(mapping(0, 7, "lens/focus:focus"));
        table.addMapping(mapping(0, 7, "lens/zoom:normalised"));
        table.addMapping(mapping(1, 7, "video/iso:iso"));
        QCOMPARE(table.findMapping(0, 7)->parameter, QString("lens/focus:focus"));
        QCOMPARE(table.findMapping(1, 7)->parameter, QString("video/iso:iso"));
        QVERIFY(!table.findMapping(2, 7));
        QVERIFY(!table.findMapping(0, 8));

        MidiTriggerEntry note;
        note.noteOrPgm = 60;
        note.argument = "first";
        table.addTrigger(note);
        note.argument = "second";
        table.addTrigger(note);
        MidiTriggerEntry program;
        program.type = MidiTriggerEntry::ProgramChange;
        program.noteOrPgm = 60;
        program.argument = "program";
        table.addTrigger(program);
        QCOMPARE(table.findTrigger(MidiTriggerEntry::NoteOn, 0, 60)->argument, QString("first"));
        QCOMPARE(table.findTrigger(MidiTriggerEntry::ProgramChange, 0, 60)->argument, QString("program"));
        QVERIFY(!table.findTrigger(MidiTriggerEntry::NoteOn, 1, 60));
        QVERIFY(!table.findTrigger(MidiTriggerEntry::NoteOn, 0, 61));
        QVERIFY(!table.findTrigger(MidiTriggerEntry::MscGo, 0, 60));
    }

    void showControlLookup_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<QString>("cue");
        QTest::addColumn<QString>("found");

        QTest::newRow("any-device trigger, device 9") << 9 << "5" << "any device";
        QTest::newRow("any-device trigger, all-call") << 127 << "5" << "any device";
        QTest::newRow("device trigger, its device") << 3 << "7" << "device 3";
        QTest::newRow("device trigger, all-call") << 127 << "7" << "device 3";
        QTest::newRow("device trigger, another device") << 4 << "7" << "";
        QTest::newRow("cues are text, not numbers") << 3 << "7.0" << "";
        QTest::newRow("cue 1.5") << 2 << "1.5" << "device 2, 1.5";
        QTest::newRow("cue 1.50 differs") << 2 << "1.50" << "";
        QTest::newRow("first in order wins") << 127 << "9" << "device 1, 9";
    }

    void showControlLookup()
    {
        QFETCH(int, device);
        QFETCH(QString, cue);
        QFETCH(QString, found);
        MidiMapping table;
        MidiTriggerEntry sameNumberNote;
        sameNumberNote.channel = 3;
        sameNumberNote.mscCue = "7";
        table.addTrigger(sameNumberNote);
        table.addTrigger(mscTrigger(127, "5", "any device"));
        table.addTrigger(mscTrigger(3, "7", "device 3"));
        table.addTrigger(mscTrigger(2, "1.5", "device 2, 1.5"));
        table.addTrigger(mscTrigger(1, "9", "device 1, 9"));
        table.addTrigger(mscTrigger(2, "9", "device 2, 9"));
        const MidiTriggerEntry* trigger = table.findTriggerMsc(device, cue);
        QCOMPARE(trigger ? trigger->argument : QString(), found);
    }

    void jsonRoundTrip()
    {
        MidiMapping original;
        fill(original);
        MidiMapping copy;
        QSignalSpy changed(&copy, &MidiMapping::mappingChanged);
        copy.fromJson(original.toJson());
        QCOMPARE(changed.count(), 1);
        compareTables(copy, original);
    }

    void jsonForm()
    {
        MidiMapping table;
        fill(table);
        const QJsonObject json = table.toJson();
        QCOMPARE(json.keys(), (QStringList{"mappings", "triggers"}));
        const QJsonObject iso = json["mappings"][0].toObject();
        QCOMPARE(iso, (QJsonObject{{"channel", 3}, {"cc", 74}, {"cameraId", "6f1c3c5e-2a7b-4c1e-9d1a-0b7c2f3e4d5a"},
                                   {"parameter", "video/iso:iso"}, {"min", 100}, {"max", 25600}, {"scale", "log"}}));
        QCOMPARE(json["mappings"][1]["scale"].toString(), QString("linear"));
        const QJsonArray triggers = json["triggers"].toArray();
        QCOMPARE(triggers[0].toObject(), (QJsonObject{{"type", "note_on"}, {"channel", 9}, {"noteOrPgm", 36},
                                                      {"action", "preset/recall"}, {"argument", "Wide shot.cset"},
                                                      {"cameraId", ""}}));
        QCOMPARE(triggers[1]["type"].toString(), QString("program_change"));
        QCOMPARE(triggers[2]["type"].toString(), QString("msc_go"));
        QCOMPARE(triggers[2]["mscCue"].toString(), QString("101.2"));
    }

    void triggerType_data()
    {
        QTest::addColumn<QJsonValue>("type");
        QTest::addColumn<int>("expected");
        QTest::newRow("note_on") << QJsonValue("note_on") << int(MidiTriggerEntry::NoteOn);
        QTest::newRow("program_change") << QJsonValue("program_change") << int(MidiTriggerEntry::ProgramChange);
        QTest::newRow("msc_go") << QJsonValue("msc_go") << int(MidiTriggerEntry::MscGo);
        QTest::newRow("MSC_GO") << QJsonValue("MSC_GO") << int(MidiTriggerEntry::NoteOn);
        QTest::newRow("Program_Change") << QJsonValue("Program_Change") << int(MidiTriggerEntry::NoteOn);
        QTest::newRow("padded") << QJsonValue(" msc_go") << int(MidiTriggerEntry::NoteOn);
        QTest::newRow("number") << QJsonValue(2) << int(MidiTriggerEntry::NoteOn);
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << int(MidiTriggerEntry::NoteOn);
    }

    void triggerType()
    {
        QFETCH(QJsonValue, type);
        QFETCH(int, expected);
        QJsonObject object{{"channel", 1}};
        if (!type.isUndefined())
            object["type"] = type;
        QCOMPARE(int(loadedTrigger(object).type), expected);
    }

    void triggerNumber_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<int>("number");
        QTest::newRow("noteOrPgm") << QJsonObject{{"noteOrPgm", 12}} << 12;
        QTest::newRow("legacy noteOrCc") << QJsonObject{{"noteOrCc", 64}} << 64;
        QTest::newRow("noteOrPgm wins") << QJsonObject{{"noteOrPgm", 12}, {"noteOrCc", 64}} << 12;
        QTest::newRow("neither") << QJsonObject{{"channel", 2}} << 60;
        QTest::newRow("mistyped noteOrPgm, no fallback") << QJsonObject{{"noteOrPgm", "12"}, {"noteOrCc", 64}} << 60;
        QTest::newRow("fraction") << QJsonObject{{"noteOrPgm", 12.5}} << 60;
        QTest::newRow("zero") << QJsonObject{{"noteOrCc", 0}} << 0;
    }

    void triggerNumber()
    {
        QFETCH(QJsonObject, object);
        QFETCH(int, number);
        QCOMPARE(loadedTrigger(object).noteOrPgm, number);
    }

    void mappingScale_data()
    {
        QTest::addColumn<QJsonValue>("scale");
        QTest::addColumn<int>("expected");
        QTest::newRow("log") << QJsonValue("log") << int(MidiMapEntry::Log);
        QTest::newRow("Log") << QJsonValue("Log") << int(MidiMapEntry::Linear);
        QTest::newRow("logarithmic") << QJsonValue("logarithmic") << int(MidiMapEntry::Linear);
        QTest::newRow("linear") << QJsonValue("linear") << int(MidiMapEntry::Linear);
        QTest::newRow("number") << QJsonValue(1) << int(MidiMapEntry::Linear);
    }

    void mappingScale()
    {
        QFETCH(QJsonValue, scale);
        QFETCH(int, expected);
        QCOMPARE(int(loadedMapping({{"scale", scale}}).scale), expected);
    }

    void mistypedValuesTakeTheDefaults()
    {
        const MidiMapEntry entry = loadedMapping(
            {{"channel", "3"}, {"cc", true}, {"cameraId", 5}, {"parameter", QJsonArray{}}, {"min", "0.5"}, {"max", "2"}});
        QVERIFY(entry == MidiMapEntry());
        const MidiTriggerEntry trigger = loadedTrigger({{"channel", QJsonObject{}}, {"mscCue", 5}, {"action", 1},
                                                        {"argument", false}, {"cameraId", 2}});
        QVERIFY(trigger == MidiTriggerEntry());

        MidiMapping table;
        table.fromJson({{"mappings", QJsonArray{7, "text"}}, {"triggers", "none"}});
        QCOMPARE(table.count(), 2);
        QVERIFY(table.entries()[1] == MidiMapEntry());
        QCOMPARE(table.triggerCount(), 0);
    }

    void emptyCueIsNotWritten()
    {
        MidiMapping table;
        table.addTrigger(MidiTriggerEntry());
        table.addTrigger(mscTrigger(1, "3", "x"));
        const QJsonArray triggers = table.toJson()["triggers"].toArray();
        QVERIFY(!triggers[0].toObject().contains("mscCue"));
        QCOMPARE(triggers[1]["mscCue"].toString(), QString("3"));
    }

    void fileRoundTrip()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath("midi_mappings.json");
        MidiMapping original;
        fill(original);
        QVERIFY(original.save(path));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains("\n    \""), "written indented");
        QCOMPARE(QJsonDocument::fromJson(text).object(), original.toJson());

        MidiMapping loaded;
        loaded.addMapping(mapping(5, 5, "replaced"));
        QSignalSpy changed(&loaded, &MidiMapping::mappingChanged);
        QVERIFY(loaded.load(path));
        QCOMPARE(changed.count(), 1);
        compareTables(loaded, original);

        // Saving again replaces the file rather than appending to it.
        MidiMapping smaller;
        smaller.addMapping(mapping(1, 1, "lens/focus:focus"));
        QVERIFY(smaller.save(path));
        QVERIFY(loaded.load(path));
        compareTables(loaded, smaller);
    }

    void loadRefusals_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("array") << QByteArray(R"([{"mappings": []}])");
        QTest::newRow("unparsable") << QByteArray(R"({"mappings": [)");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("number") << QByteArray("42");
    }

    void loadRefusals()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir folder;
        const QString path = folder.filePath("midi_mappings.json");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        MidiMapping table;
        fill(table);
        MidiMapping before;
        fill(before);
        QSignalSpy changed(&table, &MidiMapping::mappingChanged);
        QVERIFY(!table.load(path));
        QCOMPARE(changed.count(), 0);
        compareTables(table, before);
    }

    void missingOrUnwritableFiles()
    {
        QTemporaryDir folder;
        MidiMapping table;
        fill(table);
        QVERIFY(!table.load(folder.filePath("absent.json")));
        QCOMPARE(table.count(), 2);
        QVERIFY(!table.save(folder.filePath("no/such/folder/midi_mappings.json")));
    }
};

QTEST_GUILESS_MAIN(TestMidiMapping)
#include "tst_midimapping.moc"
