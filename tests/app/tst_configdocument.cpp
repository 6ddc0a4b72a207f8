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

    void settingsRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("oscPort");
        QTest::addColumn<int>("oscOutPort");
        QTest::addColumn<QString>("warning");
        const auto document = [](const QByteArray& version, const QByteArray& settings) {
            const QByteArray versionField = version.isEmpty() ? QByteArray() : "\"version\": " + version + ",";
            return "{" + versionField + "\"settings\": {" + settings + "}}";
        };
        const QByteArray oldPorts = R"("oscPort": 8000, "oscOutPort": 9000)";
        QTest::newRow("no version") << document("", oldPorts) << 58000 << 58001 << "";
        QTest::newRow("version 1, other ports") << document("1", R"("oscPort": 8001, "oscOutPort": 9001)") << 8001 << 9001 << "";
        QTest::newRow("version as text") << document("\"2\"", oldPorts) << 58000 << 58001 << "";
        QTest::newRow("version 2.5") << document("2.5", oldPorts) << 8000 << 9000 << "";
        QTest::newRow("version 2") << document("2", oldPorts) << 8000 << 9000 << "";
        const QString port = "\"oscPort\" is not a port number (1-65535) - using 4444";
        QTest::newRow("port as text") << document("2", R"("oscPort": "9000")") << 4444 << 58001 << port;
        QTest::newRow("port too large") << document("2", R"("oscPort": 65536)") << 4444 << 58001 << port;
        QTest::newRow("fractional port") << document("2", R"("oscPort": 9000.5)") << 4444 << 58001 << port;
        QTest::newRow("address as number") << document("2", R"("oscOutIp": 127)") << 4444 << 58001
                                           << "\"oscOutIp\" is not a text - using 127.0.0.1";
        QTest::newRow("flag as text") << document("2", R"("oscOutEnabled": "yes")") << 4444 << 58001
                                      << "\"oscOutEnabled\" is not true or false - using false";
        QTest::newRow("MIDI port below -1") << document("2", R"("midiPort": -7)") << 4444 << 58001
                                            << "\"midiPort\" is not a MIDI port number - using -1";
        QTest::newRow("name as object") << document("2", R"("midiPortName": {})") << 4444 << 58001
                                        << "\"midiPortName\" is not a text - using none";
    }

    // Old documents move the ports of old versions; unusable values read as their defaults,
    // 4444 standing for the running port, the default when importing.
    void settingsRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, warning);
        const ConfigDocument document = readObject(json, 4444);
        QCOMPARE(document.warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        ConfigSettings expected;
        QFETCH(int, oscPort);
        QFETCH(int, oscOutPort);
        expected.oscPort = oscPort;
        expected.oscOutPort = oscOutPort;
        QVERIFY(document.settings == expected);
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
