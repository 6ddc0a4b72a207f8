#include "ConfigDocument.h"

#include <QJsonDocument>
#include <QTest>

namespace {
ConfigDocument readObject(const QByteArray& json, int defaultOscPort = 58000)
{
    return ConfigFile::read(json, defaultOscPort).value_or(ConfigDocument{});
}
}

class TestConfigDocument : public QObject {
    Q_OBJECT

private slots:
    void everyValueSurvivesARoundTrip()
    {
        ConfigSettings settings;
        settings.oscPort = 9123;
        settings.oscListenInterface = "127.0.0.1";
        settings.oscOutIp = "192.0.2.7";
        settings.oscOutPort = 9124;
        settings.oscOutEnabled = true;
        settings.oscSendInterface = "192.0.2.1";
        settings.midiPort = 2;
        settings.midiPortName = "Desk:Out 1";
        const QJsonArray cameras{QJsonObject{{"id", "a1"}, {"name", "Jib"}, {"ip", "10.0.0.5"}, {"index", 3},
                                             {"mac", "7c:2e:0d:01:02:03"}, {"disconnected", true}}};
        const QJsonObject midi{{"mappings", QJsonArray{QJsonObject{{"cc", 7}}}}, {"triggers", QJsonArray{}}};

        const ConfigDocument document = readObject(ConfigFile::write(cameras, midi, settings, ConfigFile::Scope::AppData));
        QVERIFY(document.warnings.isEmpty());
        QCOMPARE(document.cameras, cameras);
        QCOMPARE(document.midi, midi);
        QVERIFY(document.settings == settings);

        // An export carries the OSC settings, never this machine's MIDI port.
        const QJsonObject exported = QJsonDocument::fromJson(ConfigFile::write(cameras, midi, settings, ConfigFile::Scope::Export))
                                         .object().value("settings").toObject();
        QCOMPARE(exported.keys(), (QStringList{"oscListenInterface", "oscOutEnabled", "oscOutIp", "oscOutPort",
                                               "oscPort", "oscSendInterface"}));
    }

    void oldPortsMoveOnlyInVersionOne_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<int>("oscPort");
        QTest::addColumn<int>("expectedPort");
        QTest::addColumn<int>("expectedOutPort");
        QTest::newRow("no version") << QByteArray() << 8000 << 58000 << 58001;
        QTest::newRow("version 1, other ports") << QByteArray("1") << 8001 << 8001 << 9001;
        QTest::newRow("version as text") << QByteArray("\"2\"") << 8000 << 58000 << 58001;
        QTest::newRow("version 2.5") << QByteArray("2.5") << 8000 << 8000 << 9000;
        QTest::newRow("version 2") << QByteArray("2") << 8000 << 8000 << 9000;
    }

    void oldPortsMoveOnlyInVersionOne()
    {
        QFETCH(QByteArray, version);
        QFETCH(int, oscPort);
        const QByteArray json = "{" + (version.isEmpty() ? QByteArray() : "\"version\": " + version + ",")
            + QString("\"settings\": {\"oscPort\": %1, \"oscOutPort\": %2}}").arg(oscPort).arg(oscPort + 1000).toUtf8();
        const ConfigDocument document = readObject(json);
        QTEST(document.settings.oscPort, "expectedPort");
        QTEST(document.settings.oscOutPort, "expectedOutPort");
    }

    void unusableValuesReadAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("warning");
        const QString port = "\"oscPort\" is not a port number (1-65535) - using 4444";
        QTest::newRow("port as text") << QByteArray(R"("oscPort": "9000")") << port;
        QTest::newRow("port too large") << QByteArray(R"("oscPort": 65536)") << port;
        QTest::newRow("fractional port") << QByteArray(R"("oscPort": 9000.5)") << port;
        QTest::newRow("address as number") << QByteArray(R"("oscOutIp": 127)") << "\"oscOutIp\" is not a text - using 127.0.0.1";
        QTest::newRow("flag as text") << QByteArray(R"("oscOutEnabled": "yes")") << "\"oscOutEnabled\" is not true or false - using false";
        QTest::newRow("MIDI port below -1") << QByteArray(R"("midiPort": -7)") << "\"midiPort\" is not a MIDI port number - using -1";
        QTest::newRow("name as object") << QByteArray(R"("midiPortName": {})") << "\"midiPortName\" is not a text - using none";
    }

    // 4444 stands for the running port, the default when importing.
    void unusableValuesReadAsDefaults()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, warning);
        const ConfigDocument document = readObject("{\"version\": 2, \"settings\": {" + settings + "}}", 4444);
        QCOMPARE(document.warnings, QStringList{warning});
        ConfigSettings defaults;
        defaults.oscPort = 4444;
        QVERIFY(document.settings == defaults);
    }

    void wrongShapesLeaveSectionsEmpty()
    {
        const ConfigDocument document = readObject(R"({"cameras": {"id": "x"}, "midi": [1, 2], "settings": ["oscPort", 1]})");
        QVERIFY(document.cameras.isEmpty() && document.midi.isEmpty() && !document.hasSettings);
        const ConfigDocument mixed = readObject(
            R"({"cameras": [1, "cam", null, [], {}, {"id": ""}, {"id": 5}, {"id": "ok", "ip": "10.0.0.9"}]})");
        QCOMPARE(mixed.cameras, (QJsonArray{QJsonObject{{"id", "ok"}, {"ip", "10.0.0.9"}}}));
        QCOMPARE(mixed.warnings, QStringList{"7 camera entries without an id were left out"});
    }
};

QTEST_GUILESS_MAIN(TestConfigDocument)
#include "tst_configdocument.moc"
