#include "CameraList.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
Camera makeCamera(const QString& id, const QString& name, int oscIndex)
{
    Camera camera;
    camera.id = id;
    camera.name = name;
    camera.ip = "10.0.0." + QString::number(oscIndex);
    camera.oscIndex = oscIndex;
    return camera;
}

int warningCount = 0;
QString lastWarning;
QtMessageHandler previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.contains("share OSC index")) {
        ++warningCount;
        lastWarning = message;
        return;
    }
    previousHandler(type, context, message);
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
}

class TestCameraList : public QObject {
    Q_OBJECT

private slots:
    void addRemoveUpdateSignals()
    {
        CameraList list;
        QSignalSpy added(&list, &CameraList::cameraAdded);
        QSignalSpy removed(&list, &CameraList::cameraRemoved);
        QSignalSpy changed(&list, &CameraList::changed);

        list.addCamera(makeCamera("a", "A", 1));
        QCOMPARE(added.count(), 1);
        QCOMPARE(changed.count(), 1);
        QVERIFY(list.camera("a"));
        QVERIFY(list.state("a"));

        list.updateCamera("a", "Renamed", "192.0.2.9", 7);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(list.camera("a")->name, QString("Renamed"));
        QCOMPARE(list.camera("a")->ip, QString("192.0.2.9"));
        QCOMPARE(list.camera("a")->oscIndex, 7);

        list.updateCamera("unknown", "X", "Y", 1);
        QCOMPARE(changed.count(), 2);

        list.removeCamera("unknown");
        QCOMPARE(removed.count(), 1);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(list.count(), 1);

        list.removeCamera("a");
        QCOMPARE(removed.count(), 2);
        QVERIFY(!list.camera("a"));
        QVERIFY(!list.state("a"));
    }

    void addingAnExistingIdReplacesTheRecord()
    {
        CameraList list;
        Camera first = makeCamera("a", "First", 1);
        first.status = CameraStatus::Connected;
        list.addCamera(first);
        list.addCamera(makeCamera("a", "Second", 2));
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.camera("a")->name, QString("Second"));
        QCOMPARE(list.camera("a")->status, CameraStatus::Disconnected);
    }

    void lookups()
    {
        CameraList list;
        Camera withMac = makeCamera("m", "Mac", 4);
        withMac.mac = "7c:2e:0d:01:02:03";
        list.addCamera(withMac);
        list.addCamera(makeCamera("n", "NoMac", 5));

        QCOMPARE(list.cameraByIp("10.0.0.4")->id, QString("m"));
        QVERIFY(!list.cameraByIp("10.0.0.40"));
        QCOMPARE(list.cameraByMac("7c:2e:0d:01:02:03")->id, QString("m"));
        QVERIFY(!list.cameraByMac("7C:2E:0D:01:02:03"));
        QVERIFY(!list.cameraByMac(QString()));
        QVERIFY(!list.cameraByIndex(9));
    }

    void sortedByOscIndex()
    {
        CameraList list;
        list.addCamera(makeCamera("five", "E", 5));
        list.addCamera(makeCamera("one", "A", 1));
        list.addCamera(makeCamera("three", "C", 3));
        QList<int> order;
        for (const Camera& camera : list.allCameras())
            order.append(camera.oscIndex);
        QCOMPARE(order, (QList<int>{1, 3, 5}));
    }

    void sharedIndexPicksSmallestIdAndWarnsOnce()
    {
        previousHandler = qInstallMessageHandler(countWarnings);
        CameraList list;
        list.addCamera(makeCamera("f2", "Second", 3));
        list.addCamera(makeCamera("b7", "First", 3));
        list.addCamera(makeCamera("c1", "Third", 3));
        list.addCamera(makeCamera("zz", "Other", 4));

        for (int i = 0; i < 5; ++i)
            QCOMPARE(list.cameraByIndex(3)->id, QString("b7"));
        QCOMPARE(list.cameraByIndex(4)->id, QString("zz"));
        qInstallMessageHandler(previousHandler);

        QCOMPARE(warningCount, 1);
        QVERIFY(lastWarning.startsWith("Cameras \""));
        QVERIFY(lastWarning.endsWith("share OSC index 3 - give each camera its own index"));

        // The set of reported numbers is process-wide: a second list does not warn again.
        previousHandler = qInstallMessageHandler(countWarnings);
        CameraList other;
        other.addCamera(makeCamera("x", "X", 3));
        other.addCamera(makeCamera("y", "Y", 3));
        QCOMPARE(other.cameraByIndex(3)->id, QString("x"));
        qInstallMessageHandler(previousHandler);
        QCOMPARE(warningCount, 1);
    }

    void jsonKeys_data()
    {
        QTest::addColumn<bool>("disconnected");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("plain") << false << QString() << QStringList{"id", "index", "ip", "name"};
        QTest::newRow("disconnected") << true << QString() << QStringList{"disconnected", "id", "index", "ip", "name"};
        QTest::newRow("with mac") << false << QString("aa:bb:cc:dd:ee:ff") << QStringList{"id", "index", "ip", "mac", "name"};
    }

    void jsonKeys()
    {
        QFETCH(bool, disconnected);
        QFETCH(QString, mac);
        QFETCH(QStringList, keys);
        CameraList list;
        Camera camera = makeCamera("id-1", "Cam", 2);
        camera.manuallyDisconnected = disconnected;
        camera.mac = mac;
        camera.model = "URSA Broadcast G2";
        camera.firmware = "8.6";
        camera.status = CameraStatus::Connected;
        list.addCamera(camera);
        const QJsonObject object = list.toJsonArray().first().toObject();
        QCOMPARE(object.keys(), keys);
        QCOMPARE(object.value("index").toInt(), 2);
        if (disconnected)
            QCOMPARE(object.value("disconnected").toBool(), true);
    }

    void saveLoadRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("cameras.json");
        CameraList list;
        Camera a = makeCamera("a", "Ünïcode “A”", 1);
        a.mac = "7c:2e:0d:aa:bb:cc";
        Camera b = makeCamera("b", "B", 2);
        b.manuallyDisconnected = true;
        list.addCamera(a);
        list.addCamera(b);
        QVERIFY(list.save(path));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.contains("\n    "));
        QCOMPARE(QJsonDocument::fromJson(bytes).object().keys(), QStringList{"cameras"});

        CameraList loaded;
        QSignalSpy changed(&loaded, &CameraList::changed);
        QSignalSpy added(&loaded, &CameraList::cameraAdded);
        QVERIFY(loaded.load(path));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(added.count(), 0);
        QCOMPARE(loaded.count(), 2);
        QCOMPARE(loaded.camera("a")->name, a.name);
        QCOMPARE(loaded.camera("a")->mac, a.mac);
        QCOMPARE(loaded.camera("a")->status, CameraStatus::Disconnected);
        QVERIFY(loaded.camera("b")->manuallyDisconnected);
        QVERIFY(loaded.state("b"));
    }

    void tolerantReading()
    {
        CameraList list;
        const QJsonArray array = QJsonDocument::fromJson(R"([
            {"id": "x", "name": 5, "index": "seven", "disconnected": "yes", "extra": 1},
            "not an object",
            {"ip": "10.1.1.1", "index": 3.0}
        ])").array();
        list.fromJsonArray(array);
        QCOMPARE(list.count(), 2);
        const Camera* x = list.camera("x");
        QVERIFY(x);
        QCOMPARE(x->name, QString());
        QCOMPARE(x->oscIndex, 0);
        QVERIFY(!x->manuallyDisconnected);
        // Two entries without an id read as the same empty id: the later one wins.
        QVERIFY(list.camera(QString()));
        const Camera* byIp = list.cameraByIp("10.1.1.1");
        QVERIFY(byIp);
        QCOMPARE(byIp->oscIndex, 3);
    }

    void loadRefusals()
    {
        QTemporaryDir dir;
        CameraList list;
        list.addCamera(makeCamera("keep", "Keep", 1));

        const QString arrayFile = dir.filePath("array.json");
        QVERIFY(writeFile(arrayFile, R"([{"id": "x"}])"));
        QVERIFY(!list.load(arrayFile));
        QVERIFY(!list.load(dir.filePath("missing.json")));
        const QString garbage = dir.filePath("garbage.json");
        QVERIFY(writeFile(garbage, "{\"cameras\": [ {"));
        QVERIFY(!list.load(garbage));
        QVERIFY(list.camera("keep"));

        const QString numberFile = dir.filePath("number.json");
        QVERIFY(writeFile(numberFile, R"({"cameras": 42})"));
        QVERIFY(list.load(numberFile));
        QCOMPARE(list.count(), 0);
    }

    void saveFailsWhenTheFolderIsMissing()
    {
        QTemporaryDir dir;
        CameraList list;
        list.addCamera(makeCamera("a", "A", 1));
        QVERIFY(!list.save(dir.filePath("no/such/folder/cameras.json")));
        QVERIFY(!QFile::exists(dir.filePath("no/such/folder/cameras.json")));
    }
};

QTEST_GUILESS_MAIN(TestCameraList)
#include "tst_cameralist.moc"
