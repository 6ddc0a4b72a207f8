#include "MidiDecoder.h"

#include <QTest>

namespace {
QString describe(const MidiEvent& event)
{
    switch (event.kind) {
    case MidiEvent::Kind::ControlChange:
        return QString("cc %1 %2 %3").arg(event.channel).arg(event.number).arg(event.value);
    case MidiEvent::Kind::NoteOn:
        return QString("noteOn %1 %2 %3").arg(event.channel).arg(event.number).arg(event.value);
    case MidiEvent::Kind::NoteOff:
        return QString("noteOff %1 %2").arg(event.channel).arg(event.number);
    case MidiEvent::Kind::ProgramChange:
        return QString("program %1 %2").arg(event.channel).arg(event.number);
    case MidiEvent::Kind::MscGo:
        return QString("go %1 [%2]").arg(event.channel).arg(event.cue);
    case MidiEvent::Kind::None:
        break;
    }
    return QStringLiteral("none");
}
}

class TestMidiDecoder : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<QString>("event");

        QTest::newRow("empty") << QByteArray("") << "none";
        QTest::newRow("single status byte") << QByteArray("90") << "none";
        QTest::newRow("note on") << QByteArray("913C7F") << "noteOn 1 60 127";
        QTest::newRow("note on, velocity 0, is a release") << QByteArray("903C00") << "noteOff 0 60";
        QTest::newRow("note off drops its velocity") << QByteArray("8F4540") << "noteOff 15 69";
        QTest::newRow("note on of two bytes") << QByteArray("903C") << "none";
        QTest::newRow("note off of two bytes") << QByteArray("803C") << "none";
        QTest::newRow("control change") << QByteArray("B20764") << "cc 2 7 100";
        QTest::newRow("control change of two bytes") << QByteArray("B207") << "none";
        QTest::newRow("program change") << QByteArray("C50A") << "program 5 10";
        QTest::newRow("program change, channel 16") << QByteArray("CF7F") << "program 15 127";
        QTest::newRow("poly pressure") << QByteArray("A03C40") << "none";
        QTest::newRow("channel pressure") << QByteArray("D040") << "none";
        QTest::newRow("pitch bend") << QByteArray("E00040") << "none";
        QTest::newRow("data byte without status") << QByteArray("3C40") << "none";
        QTest::newRow("song position") << QByteArray("F20000") << "none";
        QTest::newRow("short sysex") << QByteArray("F07F0102F7") << "none";

        QTest::newRow("go with a cue list") << QByteArray("F07F0102010131 2E35 0031F7").replace(" ", "")
                                            << "go 1 [1.5]";
        QTest::newRow("all-call go without cue") << QByteArray("F07F7F020101F7") << "go 127 [0]";
        QTest::newRow("go whose cue is spaces") << QByteArray("F07F0502010120 20F7").replace(" ", "")
                                                << "go 5 [0]";
        QTest::newRow("go cue trimmed") << QByteArray("F07F000201012031303120F7") << "go 0 [101]";
        QTest::newRow("go with any command format") << QByteArray("F07F0302410137F7") << "go 3 [7]";
        QTest::newRow("go without end byte") << QByteArray("F07F0202010132") << "go 2 [2]";
        QTest::newRow("go cue of raw bytes") << QByteArray("F07F020201014AE9F7")
                                             << QString("go 2 [J") + QChar(0xE9) + "]";
        QTest::newRow("stop") << QByteArray("F07F0102010231F7") << "none";
        QTest::newRow("not universal real-time") << QByteArray("F07E0102010131F7") << "none";
        QTest::newRow("not show control") << QByteArray("F07F0106010131F7") << "none";
    }

    void decode()
    {
        QFETCH(QByteArray, hex);
        QFETCH(QString, event);
        const QByteArray bytes = QByteArray::fromHex(hex);
        QCOMPARE(describe(decodeMidiMessage(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                            std::size_t(bytes.size()))),
                 event);
    }
};

QTEST_GUILESS_MAIN(TestMidiDecoder)
#include "tst_mididecoder.moc"
