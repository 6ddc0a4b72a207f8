#include "AppCore.h"
#include "CoreTestSupport.h"
#include "Inst.h"
#include "InstChip.h"
#include "JackServer.h"
#include "MidiBridge.h"
#include "MidiDesk.h"
#include "MidiPanel.h"
#include "PanelFixture.h"
#include "Startup.h"

#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>

using Trigger = MidiTriggerEntry;

namespace {

template <typename Widget = QLineEdit>
Widget* cell(QTableWidget* table, int row, int column)
{
    return qobject_cast<Widget*>(table->cellWidget(row, column));
}

// As the operator types into a cell: replace the text, press Return.
void typeInto(QTableWidget* table, int row, int column, const QString& text)
{
    QLineEdit* edit = cell(table, row, column);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Simulated cameras behind a real manager, the MIDI parts wired as the window wires them,
// and the panel over them with scripted boxes.
struct Rig : PanelFixture {
    QStringList ids;    // in OSC index order, as the panel lists them
    MidiListener listener;
    MidiMapping mapping;
    MidiBridge bridge{manager.get(), &mapping};
    MidiPanel panel{&listener, &mapping, &bridge, manager.get(), nullptr, &boxes};
    QTableWidget* mappings = panel.findChild<QTableWidget*>("midiMappings");
    QTableWidget* triggers = panel.findChild<QTableWidget*>("midiTriggers");
    QLabel* status = panel.findChild<QLabel*>("midiStatus");

    explicit Rig(int cameras = 1)
    {
        QObject::connect(&listener, &MidiListener::ccChanged, &bridge, &MidiBridge::onCcChanged);
        QObject::connect(&listener, &MidiListener::noteOn, &bridge, &MidiBridge::onNoteOn);
        QObject::connect(&listener, &MidiListener::programChange, &bridge, &MidiBridge::onProgramChange);
        QObject::connect(&listener, &MidiListener::mscGo, &bridge, &MidiBridge::onMscGo);
        for (int i = 0; i < cameras; ++i)
            ids << addCamera();
        panel.resize(1200, 900);
        panel.show();
    }

    QPushButton* button(QTableWidget* table, const QString& text)
    {
        const auto buttons = table->parentWidget()->parentWidget()->findChildren<QPushButton*>();
        return *std::find_if(buttons.begin(), buttons.end(), [&](QPushButton* b) { return b->text() == text; });
    }

    void clickRow(QTableWidget* table, int row) { QTest::mouseClick(table->cellWidget(row, 0)->findChild<QPushButton*>(), Qt::LeftButton); }

    void map(int channel, int cc, const QString& parameter = "lens/iris:normalised")
    {
        mapping.addMapping({channel, cc, {}, parameter, 0.0, 1.0, MidiMapEntry::Linear});
    }

    void trigger(Trigger::Type type, int channel, int number, const QString& preset, const QString& cameraId = {},
                 const QString& cue = {})
    {
        mapping.addTrigger({type, channel, number, cue, "preset/recall", preset, cameraId});
    }

    // Gives simulated camera i these presets and waits until its state record holds them.
    bool presets(int i, const QStringList& names)
    {
        return waitForConnection(i) && setAndSweep(i, "presets", QJsonObject{{"presets", QJsonArray::fromStringList(names)}});
    }

    QString stored(bool ofTrigger) const
    {
        if (!ofTrigger)
            return QString("ch %1 cc %2").arg(mapping.entries()[0].channel).arg(mapping.entries()[0].cc);
        const Trigger t = mapping.triggers()[0];
        return QString("type %1 ch %2 number %3 cue %4").arg(t.type).arg(t.channel).arg(t.noteOrPgm).arg(t.mscCue);
    }
};

} // namespace

// The MIDI tab; the desk is a virtual port on a JACK server of the test's own.
class TestMidiPanel : public QObject {
    Q_OBJECT

    std::unique_ptr<JackServer> m_jack;
    std::unique_ptr<RtMidiOut> m_desk;

    void send(const QByteArray& hex) { MidiDesk::send(*m_desk, hex); }

    // The desk tests share one JACK server and desk port, started by the first of them: the
    // other tests run without a server, as most machines do.
    bool openDesk(Rig& rig)
    {
        if (!m_desk) {
            m_jack = std::make_unique<JackServer>();
            QString error;
            if (!m_jack->start(&error)) {
                qWarning("%s", qPrintable(error));
                return false;
            }
            try {
                m_desk = MidiDesk::open("Kovra Panel Desk", "Desk Out");
            } catch (const RtMidiError& failure) {
                qWarning("%s", failure.what());
                return false;
            }
            rig.panel.findChild<QPushButton*>("midiRefresh")->click();
        }
        const QString name = MidiListener::availablePorts().value(MidiDesk::portIndex("Desk Out"));
        rig.panel.selectPortByName(name);
        if (!QTest::qWaitFor([&] { return rig.status->text() == "Connected: " + name; }) || rig.panel.currentPortName() != name)
            return false;
        // The first moments of a new connection may lose what the desk sends; a test starts
        // once a message (a CC nothing is mapped to) has come through.
        QSignalSpy heard(&rig.listener, &MidiListener::ccChanged);
        return QTest::qWaitFor([&] { send("BF7F00"); return heard.wait(50); }, 5000);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void cleanupTestCase()
    {
        m_desk.reset();
        m_jack.reset();
    }

    void typedValues_data()
    {
        QTest::addColumn<int>("type");       // -1: the mapping table
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("box");    // title: text

        const int map = -1, note = Trigger::NoteOn, msc = Trigger::MscGo;
        const int ch = MidiPanel::MapChannel, cc = MidiPanel::MapCc;
        const int id = MidiPanel::TrigChannel, num = MidiPanel::TrigNumber;
        const QString channel = "Invalid Channel: MIDI channel must be 1–16.";
        // Stored before each row: mapping channel 4, CC 10; trigger channel or device 2, note 60, cue 7.
        QTest::newRow("Ch 16 stores 15") << map << ch << "16" << "ch 15 cc 10" << "";
        QTest::newRow("Ch 0 refused") << map << ch << "0" << "ch 4 cc 10" << channel;
        QTest::newRow("Ch 17 refused") << map << ch << "17" << "ch 4 cc 10" << channel;
        QTest::newRow("Ch emptied keeps") << map << ch << "" << "ch 4 cc 10" << "";
        QTest::newRow("CC 127") << map << cc << " 127 " << "ch 4 cc 127" << "";
        QTest::newRow("CC 128 refused") << map << cc << "128" << "ch 4 cc 10" << "Invalid CC#: CC number must be 0–127.";
        QTest::newRow("trigger Ch 16") << note << id << "16" << "type 0 ch 15 number 60 cue 7" << "";
        QTest::newRow("trigger Ch cleared") << note << id << "" << "type 0 ch -1 number 60 cue 7" << "";
        QTest::newRow("trigger Ch 0 refused") << note << id << "0" << "type 0 ch 2 number 60 cue 7" << channel;
        QTest::newRow("note cleared") << note << num << "" << "type 0 ch 2 number -1 cue 7" << "";
        QTest::newRow("note 128 refused") << note << num << "128" << "type 0 ch 2 number 60 cue 7"
                                          << "Invalid Value: Note / Program number must be 0–127.";
        QTest::newRow("device 128 refused") << msc << id << "128" << "type 2 ch 2 number 60 cue 7"
                                            << "Invalid Device ID: MSC Device ID must be 0–127.";
        QTest::newRow("cue trimmed") << msc << num << " 101.2 " << "type 2 ch 2 number 60 cue 101.2" << "";
    }

    void typedValues()
    {
        QFETCH(int, type);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, box);
        Rig rig;
        rig.map(4, 10);
        rig.trigger(Trigger::Type(std::max(type, 0)), 2, 60, "Wide.cset", {}, "7");
        QTableWidget* table = type < 0 ? rig.mappings : rig.triggers;
        const QString before = cell(table, 0, column)->text();
        typeInto(table, 0, column, typed);
        QTRY_COMPARE(rig.stored(type >= 0), stored);
        if (!box.isEmpty()) {
            QTRY_COMPARE(rig.boxes.shown.size(), 1);
            QCOMPARE(rig.boxes.shown[0].title + ": " + rig.boxes.shown[0].text, box);
            // Refused: the field shows the stored value again, so leaving it stores nothing.
            QCOMPARE(cell(table, 0, column)->text(), before);
            QFocusEvent leave(QEvent::FocusOut);
            QCoreApplication::sendEvent(cell(table, 0, column), &leave);
        }
        // A second box or write would come from the posted commit.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(rig.stored(type >= 0), stored);
        QCOMPARE(rig.boxes.shown.size(), box.isEmpty() ? 0 : 1);
    }

    // Pull-downs and number boxes commit at once, under the guard (the row is not rebuilt
    // under the operator's hands); what a row cannot show survives an edit of another cell.
    void pullDownsAndHiddenValues()
    {
        Rig rig(2);
        rig.map(0, 1);
        rig.mapping.addMapping({0, 1, "removed-camera", "lens/focus", 0.125, 250000, MidiMapEntry::Linear});
        rig.trigger(Trigger::NoteOn, 0, 60, "Wide.cset", "removed-camera");
        auto* camera = cell<QComboBox>(rig.mappings, 0, MidiPanel::MapCamera);
        QCOMPARE(itemTexts(camera), (QStringList{"All", "Camera 1", "Camera 2"}));
        QTest::keyClick(camera, Qt::Key_Down);
        QTest::keyClick(cell<QComboBox>(rig.mappings, 0, MidiPanel::MapParameter), Qt::Key_Down);
        auto* max = cell<QDoubleSpinBox>(rig.mappings, 0, MidiPanel::MapMax);
        max->selectAll();
        QTest::keyClicks(max, "22.5");
        QTest::keyClick(cell<QComboBox>(rig.mappings, 0, MidiPanel::MapScale), Qt::Key_Down);
        const MidiMapEntry entry = rig.mapping.entries()[0];
        QCOMPARE(QString("%1 %2 %3 %4").arg(entry.cameraId, entry.parameter).arg(entry.max).arg(entry.scale),
                 rig.ids[0] + " lens/zoom:normalised 22.5 1");
        QCOMPARE(cell<QDoubleSpinBox>(rig.mappings, 0, MidiPanel::MapMax), max);

        QCOMPARE(cell<QComboBox>(rig.mappings, 1, MidiPanel::MapCamera)->currentIndex(), -1);
        QCOMPARE(cell<QComboBox>(rig.mappings, 1, MidiPanel::MapParameter)->currentText(), "lens/focus");
        // Two commits queued at once: the first one's rebuild keeps the second one's text.
        typeInto(rig.mappings, 1, MidiPanel::MapCc, "9");
        typeInto(rig.triggers, 0, MidiPanel::TrigNumber, "61");
        QTRY_COMPARE(rig.mapping.triggers()[0].noteOrPgm, 61);
        const MidiMapEntry kept = rig.mapping.entries()[1];
        QCOMPARE(QString("%1 %2 %3 %4 %5").arg(kept.cc).arg(kept.cameraId, kept.parameter).arg(kept.min).arg(kept.max),
                 "9 removed-camera lens/focus 0.125 250000");
        QCOMPARE(rig.mapping.triggers()[0].cameraId, "removed-camera");
    }

    void rowsAreAddedEditedAndRemoved()
    {
        Rig rig;
        // Learning on an empty table releases at once.
        QTest::mouseClick(rig.button(rig.mappings, "Learn"), Qt::LeftButton);
        QVERIFY(!rig.button(rig.mappings, "Learn")->isChecked() && !rig.mappings->property("pulse").isValid());
        QPushButton* remove = rig.button(rig.mappings, "Remove");
        QVERIFY(!remove->isEnabled());
        QTest::mouseClick(rig.button(rig.mappings, "Add"), Qt::LeftButton);
        QTest::mouseClick(rig.button(rig.mappings, "Add"), Qt::LeftButton);
        const MidiMapEntry second = rig.mapping.entries()[1];
        QCOMPARE(QString("%1 %2 [%3]").arg(second.cc).arg(second.parameter, second.cameraId), "1 lens/iris:normalised []");
        QCOMPARE(rig.mappings->currentRow(), 1);
        QVERIFY(remove->isEnabled());
        rig.clickRow(rig.mappings, 1);   // already selected: cleared
        QCOMPARE(rig.mappings->currentRow(), -1);
        QVERIFY(!remove->isEnabled());
        rig.clickRow(rig.mappings, 0);
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(rig.mapping.count(), 1);
        QVERIFY(!remove->isEnabled());

        QTest::mouseClick(rig.button(rig.triggers, "Add"), Qt::LeftButton);
        QCOMPARE(rig.stored(true), "type 0 ch -1 number -1 cue ");
        QCOMPARE(cell<QComboBox>(rig.triggers, 0, MidiPanel::TrigAction)->currentText(), "Recall Preset");
        QCOMPARE(cell<QComboBox>(rig.triggers, 0, MidiPanel::TrigCamera)->currentIndex(), -1);

        // Leaving a field commits it; the rebuilt row keeps the focus where the operator clicked.
        QVERIFY(QTest::qWaitForWindowActive(&rig.panel));
        QTest::mouseClick(cell(rig.triggers, 0, MidiPanel::TrigChannel), Qt::LeftButton);
        QTest::keyClicks(cell(rig.triggers, 0, MidiPanel::TrigChannel), "3");
        QTest::mouseClick(cell(rig.triggers, 0, MidiPanel::TrigNumber), Qt::LeftButton);
        QTRY_COMPARE(rig.mapping.triggers()[0].channel, 2);
        QTRY_VERIFY(cell(rig.triggers, 0, MidiPanel::TrigNumber)->hasFocus());
        // A change of type rebuilds the row and keeps the stored number as the device id.
        QTest::keyClick(cell<QComboBox>(rig.triggers, 0, MidiPanel::TrigType), Qt::Key_Down);
        QTest::keyClick(cell<QComboBox>(rig.triggers, 0, MidiPanel::TrigType), Qt::Key_Down);
        QTRY_COMPARE(rig.stored(true), "type 2 ch 2 number -1 cue ");
        QCOMPARE(cell(rig.triggers, 0, MidiPanel::TrigChannel)->text(), "2");
        QCOMPARE(cell(rig.triggers, 0, MidiPanel::TrigChannel)->toolTip(), "MSC Device ID (0-127, 127 = all-call)");
    }

    void presetPullDowns()
    {
        Rig rig(2);
        QVERIFY(rig.presets(0, {"Wide.cset", "Close.CSET", "Plain"}));
        QVERIFY(rig.presets(1, {"Wide.cset", "Night.cset"}));
        rig.trigger(Trigger::NoteOn, 0, 60, "Close.CSET", rig.ids[0]);
        rig.trigger(Trigger::NoteOn, 0, 61, "Gone.cset");
        rig.trigger(Trigger::NoteOn, 0, 62, "");
        auto presetBox = [&](int row) { return cell<QComboBox>(rig.triggers, row, MidiPanel::TrigPreset); };
        auto cameraBox = [&](int row) { return cell<QComboBox>(rig.triggers, row, MidiPanel::TrigCamera); };

        QCOMPARE(itemTexts(presetBox(0)), (QStringList{"Wide", "Close", "Plain"}));
        QCOMPARE(itemTexts(presetBox(0), Qt::UserRole), (QStringList{"Wide.cset", "Close.CSET", "Plain"}));
        QCOMPARE(presetBox(0)->currentText(), "Close");
        // Every camera's presets without repeats; a stored name no camera has is kept.
        QCOMPARE(itemTexts(presetBox(1)), (QStringList{"Wide", "Close", "Plain", "Night", "Gone"}));
        QCOMPARE(presetBox(1)->currentData().toString(), "Gone.cset");
        QCOMPARE(cameraBox(1)->currentText(), "All");
        QCOMPARE(presetBox(2)->currentIndex(), -1);
        QTest::keyClick(presetBox(2), Qt::Key_Down);
        QCOMPARE(rig.mapping.triggers()[2].argument, "Wide.cset");
        QCOMPARE(cameraBox(2)->currentText(), "All");

        // A changed list on the camera reaches the pull-down with the next state update.
        QVERIFY(rig.presets(0, {"Wide.cset", "Stage.cset"}));
        QTRY_COMPARE(itemTexts(presetBox(0)), (QStringList{"Wide", "Stage", "Close"}));
    }

    // At the window's usual width no caption is cut short and no table scrolls sideways.
    void fitsTheWindowWidth()
    {
        Rig rig;
        rig.map(0, 1, "colorCorrection/color:saturation");
        rig.trigger(Trigger::MscGo, 127, 0, "Interview.cset", {}, "101.2");
        Inst::applyTo(&rig.panel);
        QCoreApplication::processEvents();
        for (QTableWidget* table : {rig.mappings, rig.triggers}) {
            QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
            for (int column = 0; column < table->columnCount(); ++column) {
                const QString caption = table->horizontalHeaderItem(column)->text();
                QVERIFY2(QFontMetrics(table->horizontalHeader()->font()).horizontalAdvance(caption) + 10
                             <= table->horizontalHeader()->sectionSize(column),
                         qPrintable(caption));
            }
        }
    }

    // The core loads and saves what the panel edits, and chooses the saved port through it.
    void editsPersistThroughTheCore()
    {
        Startup::setApplicationIdentity();
        const QJsonObject midi{{"mappings", QJsonArray{QJsonObject{{"channel", 0}, {"cc", 1}, {"parameter", "lens/iris:normalised"}}}}};
        QJsonObject settings = oscSettings(freeUdpPort());
        settings.insert("midiPortName", "Desk not plugged in");
        AppCore core(false);
        TestHome::writeAt(core.appDataConfigPath(), configDocument({}, settings, midi));
        ScriptedBoxes boxes;
        MidiPanel panel(core.midiListener(), core.midiMapping(), core.midiBridge(), core.cameraManager(), nullptr, &boxes);
        panel.routePortChoice(&core);
        core.start();
        QCOMPARE(panel.currentPortName(), "Desk not plugged in");
        typeInto(panel.findChild<QTableWidget*>("midiMappings"), 0, MidiPanel::MapCc, "9");
        QTRY_COMPARE(core.midiMapping()->entries()[0].cc, 9);
        QVERIFY(core.saveAllToAppData());
        const QJsonDocument document = QJsonDocument::fromJson(TestHome::readAt(core.appDataConfigPath()));
        QCOMPARE(document["midi"]["mappings"][0]["cc"].toInt(), 9);
        QCOMPARE(document["settings"]["midiPortName"].toString(), "Desk not plugged in");
    }

    void portsAndRefresh()
    {
        Rig rig;
        QVERIFY(openDesk(rig));
        auto* ports = rig.panel.findChild<QComboBox*>("midiPort");
        const QString desk = rig.panel.currentPortName();
        QTest::mouseClick(rig.panel.findChild<QPushButton*>("midiRefresh"), Qt::LeftButton);
        QCOMPARE(itemTexts(ports), QStringList{"(None)"} + MidiListener::availablePorts());
        QCOMPARE(ports->currentText(), "(None)");
        // The open port stays open, and stays the one to save: its CCs still light the lamp.
        QCOMPARE(rig.panel.currentPortName(), desk);
        auto* lamp = rig.panel.findChild<InstDot*>("midiActivity");
        send("B00101");
        QTRY_COMPARE(lamp->color(), Inst::tokens().led);
        QTRY_COMPARE(lamp->color(), Inst::tokens().mut);

        // Choosing "(None)", though it is shown already, closes the port and forgets it.
        QTest::keyClick(ports, Qt::Key_Down);
        QTest::keyClick(ports, Qt::Key_Up);
        QTRY_VERIFY(rig.listener.isFinished());
        QCOMPARE(rig.panel.currentPortName(), QString());
        QCOMPARE(rig.status->text(), "No device selected");

        // A saved desk that is not plugged in is kept as the choice, and nothing opens.
        rig.panel.selectPortByName("Unplugged Desk");
        QCOMPARE(rig.panel.currentPortName(), "Unplugged Desk");
        QVERIFY(rig.listener.isFinished());
    }

    void learnAMappingFromTheDesk()
    {
        Rig rig;
        QVERIFY(openDesk(rig));
        rig.map(0, 1);
        rig.map(0, 2);
        rig.clickRow(rig.mappings, 1);
        QPushButton* learn = rig.button(rig.mappings, "Learn");
        QTest::mouseClick(learn, Qt::LeftButton);
        QCOMPARE(rig.status->text(), "Learning... move a MIDI control");
        QCOMPARE(learn->property("instState").toString(), "alarm");
        QCOMPARE(rig.mappings->property("pulse").toString(), "bright");
        QTRY_COMPARE(rig.mappings->property("pulse").toString(), "dim");

        // A fader moving on channel 3 sends a stream; its first message is learnt.
        for (const char* message : {"B20710", "B20720", "B20730"})
            send(message);
        QTRY_COMPARE(rig.status->text(), "Learned: Ch 3, CC 7");
        QTRY_COMPARE(rig.mapping.entries()[1].cc, 7);
        QCOMPARE(rig.mapping.entries()[1].channel, 2);
        QCOMPARE(rig.stored(false), "ch 0 cc 1");
        QVERIFY(!learn->isChecked() && !rig.mappings->property("pulse").isValid());

        // From now on the fader drives the camera.
        send("B2077F");
        QTRY_VERIFY(rig.camera(0).requestBodies("PUT", "lens/iris").contains(R"({"normalised":1})"));
    }

    void learnATriggerFromTheDesk_data()
    {
        QTest::addColumn<QByteArray>("event");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("learnt");
        QTest::newRow("note on") << QByteArray("913C7F") << 0 << "Learned trigger: Ch 2, Note 60";
        QTest::newRow("program change") << QByteArray("C50A") << 1 << "Learned trigger: Ch 6, Program 10";
        QTest::newRow("msc go") << QByteArray("F07F0102010131 2E35 0031F7") << 2 << "Learned trigger: MSC GO, Device 1, Cue 1.5";
    }

    void learnATriggerFromTheDesk()
    {
        QFETCH(QByteArray, event);
        QFETCH(int, type);
        QFETCH(QString, learnt);
        Rig rig;
        QVERIFY(openDesk(rig));
        rig.trigger(Trigger::NoteOn, -1, -1, "Interview.cset", rig.ids[0]);
        QPushButton* learn = rig.button(rig.triggers, "Learn");
        QTest::mouseClick(learn, Qt::LeftButton);   // no row selected: the first is learnt
        QCOMPARE(rig.status->text(), "Learning trigger... press a MIDI note, send a Program Change, or send an MSC GO");
        send(event);
        QTRY_COMPARE(rig.status->text(), learnt);
        QVERIFY(!learn->isChecked());
        QTRY_COMPARE(int(rig.mapping.triggers()[0].type), type);

        // Learning did not fire it (the status would say so); the next press does.
        QSignalSpy fired(&rig.bridge, &MidiBridge::triggerFired);
        send(event);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":"Interview.cset"})"});
        QCOMPARE(fired.size(), 1);
        QCOMPARE(rig.status->text(), "Trigger: preset/recall → Interview.cset");
        QCOMPARE(rig.panel.findChild<InstDot*>("midiActivity")->color(), Inst::tokens().accent);
    }

    // A cleared "Ch / ID" stores -1, and the desk's note no longer recalls anything.
    void aTriggerWithoutChannelNoLongerFires()
    {
        Rig rig;
        QVERIFY(openDesk(rig));
        rig.trigger(Trigger::NoteOn, 0, 60, "Wide.cset");
        rig.trigger(Trigger::NoteOn, 0, 62, "Interview.cset");
        typeInto(rig.triggers, 0, MidiPanel::TrigChannel, "");
        QTRY_COMPARE(rig.mapping.triggers()[0].channel, -1);
        // The second note shows that the first has been handled by the time it fires.
        QSignalSpy fired(&rig.bridge, &MidiBridge::triggerFired);
        send("903C7F");
        send("903E7F");
        QVERIFY(fired.wait());
        QCOMPARE(fired.size(), 1);
        QTRY_COMPARE(rig.camera(0).requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":"Interview.cset"})"});
    }
};

QTEST_MAIN(TestMidiPanel)
#include "tst_midipanel.moc"
