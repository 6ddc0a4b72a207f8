#include "MidiDecoder.h"

#include <QTest>

class TestMidiDecoder : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<QString>("event");

        QTest::newRow("single status byte") << QByteArray("90") << "none";
        QTest::newRow("note on") << QByteArray("913C7F") << "noteOn 1 60 127";
        QTest::newRow("note on, velocity 0, is a release") << QByteArray("903C00") << "noteOff 0 60 0";
        QTest::newRow("note off drops its velocity") << QByteArray("8F4540") << "noteOff 15 69 0";
        QTest::newRow("note on of two bytes") << QByteArray("903C") << "none";
        QTest::newRow("control change") << QByteArray("B20764") << "cc 2 7 100";
        QTest::newRow("control change of two bytes") << QByteArray("B207") << "none";
        QTest::newRow("program change, channel 16") << QByteArray("CF7F") << "program 15 127 0";
        QTest::newRow("pitch bend") << QByteArray("E00040") << "none";
        QTest::newRow("data byte without status") << QByteArray("3C40") << "none";
        QTest::newRow("short sysex") << QByteArray("F07F0102F7") << "none";
        QTest::newRow("go with a cue list") << QByteArray("F07F01020101312E350031F7") << "go 1 [1.5]";
        QTest::newRow("all-call go without cue") << QByteArray("F07F7F020101F7") << "go 127 [0]";
        QTest::newRow("go whose cue is spaces") << QByteArray("F07F050201012020F7") << "go 5 [0]";
        QTest::newRow("go cue trimmed") << QByteArray("F07F000201012031303120F7") << "go 0 [101]";
        QTest::newRow("go without end byte") << QByteArray("F07F0202410132") << "go 2 [2]";
        QTest::newRow("stop") << QByteArray("F07F0102010231F7") << "none";
        QTest::newRow("not universal real-time") << QByteArray("F07E0102010131F7") << "none";
        QTest::newRow("not show control") << QByteArray("F07F0106010131F7") << "none";
    }

    void decode()
    {
        QFETCH(QByteArray, hex);
        QFETCH(QString, event);
        const QByteArray bytes = QByteArray::fromHex(hex);
        const MidiEvent e = decodeMidiMessage(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()));
        const QStringList kinds = {"none", "cc", "noteOn", "noteOff", "program", "go"};
        const QString text = e.kind == MidiEvent::Kind::None ? "none"
            : e.kind == MidiEvent::Kind::MscGo            ? QString("go %1 [%2]").arg(e.channel).arg(e.cue)
                                                          : QString("%1 %2 %3 %4").arg(kinds.at(int(e.kind))).arg(e.channel).arg(e.number).arg(e.value);
        QCOMPARE(text, event);
    }
};

QTEST_GUILESS_MAIN(TestMidiDecoder)
#include "tst_mididecoder.moc"
