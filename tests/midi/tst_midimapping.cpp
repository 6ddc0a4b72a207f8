#include "MidiMapping.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
using T = MidiTriggerEntry;

MidiMapEntry mapping(int channel, int cc, const QString& parameter)
{
    return {channel, cc, {}, parameter, 0.0, 1.0, MidiMapEntry::Linear};
}

T trigger(T::Type type, int channel, const QString& argument, const QString& cue = {})
{
    return {type, channel, 60, cue, "preset/recall", argument, {}};
}

// A table with one of everything, values away from the defaults, as the file stores it.
const QByteArray stored = R"({"mappings": [
    {"channel": 3, "cc": 74, "cameraId": "cam-a", "parameter": "video/iso:iso", "min": 100, "max": 25600, "scale": "log"},
    {"channel": 15, "cc": 0, "cameraId": "", "parameter": "video/whiteBalanceTint:whiteBalanceTint", "min": 50, "max": -50,
     "scale": "linear"}],
  "triggers": [
    {"type": "note_on", "channel": 9, "noteOrPgm": 36, "action": "preset/recall", "argument": "Wide shot.cset", "cameraId": ""},
    {"type": "program_change", "channel": 1, "noteOrPgm": 0, "action": "preset/recall", "argument": "Close.cset", "cameraId": "cam-a"},
    {"type": "msc_go", "channel": 127, "noteOrPgm": 60, "mscCue": "101.2", "action": "preset/recall", "argument": "Finale.cset",
     "cameraId": ""}]})";

QJsonObject storedJson()
{
    return QJsonDocument::fromJson(stored).object();
}
}

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
        table.updateMapping(1, mapping(0, 2, "lens/iris:normalised"));
        table.removeMapping(0);
        QCOMPARE(changed.count(), 5);
        QCOMPARE(table.entries(), QList<MidiMapEntry>{mapping(0, 2, "lens/iris:normalised")});
        // Out of range: nothing changes and nothing is announced.
        table.removeMapping(1);
        table.removeMapping(-1);
        table.updateMapping(1, mapping(9, 9, "x"));
        table.removeTrigger(1);
        table.updateTrigger(-1, MidiTriggerEntry());
        QCOMPARE(changed.count(), 5);
        QCOMPARE(table.count() + table.triggerCount(), 2);
        table.clear();
        QCOMPARE(table.count() + table.triggerCount(), 0);
        QCOMPARE(changed.count(), 6);
    }

    // The first matching entry wins; a Show Control device of 127 is every device.
    void lookups()
    {
        MidiMapping table;
        table.addMapping(mapping(0, 7, "lens/focus:focus"));
        table.addMapping(mapping(0, 7, "lens/zoom:normalised"));
        table.addMapping(mapping(1, 7, "video/iso:iso"));
        QCOMPARE(table.findMapping(0, 7)->parameter, QString("lens/focus:focus"));
        QCOMPARE(table.findMapping(1, 7)->parameter, QString("video/iso:iso"));
        QVERIFY(!table.findMapping(2, 7) && !table.findMapping(0, 8));

        for (const T& entry : {trigger(T::NoteOn, 0, "first"), trigger(T::NoteOn, 0, "second"), trigger(T::ProgramChange, 0, "program"),
                               trigger(T::NoteOn, 3, "note", "7"), trigger(T::MscGo, 127, "any device", "5"), trigger(T::MscGo, 3, "device 3", "7"),
                               trigger(T::MscGo, 1, "device 1", "9"), trigger(T::MscGo, 2, "device 2", "9")})
            table.addTrigger(entry);
        const auto found = [](const T* entry) { return entry ? entry->argument : QString(); };
        QCOMPARE(found(table.findTrigger(T::NoteOn, 0, 60)), QString("first"));
        QCOMPARE(found(table.findTrigger(T::ProgramChange, 0, 60)), QString("program"));
        QCOMPARE(found(table.findTrigger(T::NoteOn, 1, 60)) + found(table.findTrigger(T::NoteOn, 0, 61)), QString());
        QCOMPARE(found(table.findTriggerMsc(9, "5")), QString("any device"));
        QCOMPARE(found(table.findTriggerMsc(127, "5")), QString("any device"));
        QCOMPARE(found(table.findTriggerMsc(3, "7")), QString("device 3"));
        QCOMPARE(found(table.findTriggerMsc(127, "7")), QString("device 3"));
        QCOMPARE(found(table.findTriggerMsc(4, "7")) + found(table.findTriggerMsc(3, "7.0")), QString());
        QCOMPARE(found(table.findTriggerMsc(127, "9")), QString("device 1"));
    }

    // The stored form is kept exactly, through JSON and through a file that is replaced whole.
    void storedFormRoundTrip()
    {
        MidiMapping table;
        table.addTrigger(MidiTriggerEntry());
        QSignalSpy changed(&table, &MidiMapping::mappingChanged);
        table.fromJson(storedJson());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(table.toJson(), storedJson());

        QTemporaryDir folder;
        const QString path = folder.filePath("midi_mappings.json");
        MidiMapping smaller;
        smaller.addMapping(mapping(1, 1, "lens/focus:focus"));
        QVERIFY(smaller.save(path));
        QVERIFY(table.save(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().contains("\n    \""), "written indented");
        file.close();
        QVERIFY(smaller.load(path));
        QCOMPARE(smaller.toJson(), storedJson());

        // Files it cannot read or write change nothing.
        QVERIFY(!table.load(folder.filePath("absent.json")));
        QVERIFY(!table.save(folder.filePath("no/such/folder/midi_mappings.json")));
        for (const QByteArray& content : {QByteArray(R"([{"mappings": []}])"), QByteArray(R"({"mappings": [)"), QByteArray()}) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
            file.close();
            QVERIFY(!table.load(path));
        }
        QCOMPARE(changed.count(), 1);
        QCOMPARE(table.toJson(), storedJson());
    }

    // What a hand-edited or older file holds: names exactly as written, the number under its
    // former name, and the default for anything mistyped.
    void fieldsAsRead_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QJsonValue>("value");

        const auto row = [](const char* list, const char* entry, const char* field, const QJsonValue& value) {
            QTest::addRow("%s %s", list, entry) << list << QByteArray(entry) << field << value;
        };
        row("triggers", R"({"type": "msc_go"})", "type", "msc_go");
        row("triggers", R"({"type": "program_change"})", "type", "program_change");
        row("triggers", R"({"type": "MSC_GO"})", "type", "note_on");
        row("triggers", R"({"type": 2})", "type", "note_on");
        row("triggers", R"({"noteOrCc": 64})", "noteOrPgm", 64);
        row("triggers", R"({"noteOrCc": 0})", "noteOrPgm", 0);
        row("triggers", R"({"noteOrPgm": 12, "noteOrCc": 64})", "noteOrPgm", 12);
        row("triggers", R"({"noteOrPgm": "12", "noteOrCc": 64})", "noteOrPgm", 60);
        row("triggers", R"({"noteOrPgm": 12.5})", "noteOrPgm", 60);
        row("triggers", R"({"channel": {}, "argument": false})", "argument", "");
        row("mappings", R"({"scale": "Log"})", "scale", "linear");
        row("mappings", R"({"channel": "3"})", "channel", 0);
        row("mappings", R"({"min": "0.5", "max": "2"})", "max", 1);
        row("mappings", "7", "parameter", "");
    }

    void fieldsAsRead()
    {
        QFETCH(QString, list);
        QFETCH(QByteArray, entry);
        QFETCH(QString, field);
        QFETCH(QJsonValue, value);
        MidiMapping table;
        table.fromJson(QJsonDocument::fromJson("{\"" + list.toUtf8() + "\": [" + entry + "]}").object());
        QCOMPARE(table.toJson()[list][0][field], value);
    }
};

QTEST_GUILESS_MAIN(TestMidiMapping)
#include "tst_midimapping.moc"
