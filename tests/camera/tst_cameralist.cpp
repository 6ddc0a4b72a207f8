#include "CameraList.h"
#include "LogCapture.h"

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
}

class TestCameraList : public QObject {
    Q_OBJECT

private slots:
    void editingAndLookups()
    {
        CameraList list;
        QSignalSpy changed(&list, &CameraList::changed);
        Camera withMac = makeCamera("m", "Mac", 5);
        withMac.mac = "7c:2e:0d:01:02:03";
        withMac.status = CameraStatus::Connected;
        for (const Camera& camera : {withMac, makeCamera("one", "A", 1), makeCamera("three", "C", 3)})
            list.addCamera(camera);
        QList<int> order;
        for (const Camera& camera : list.allCameras())
            order << camera.oscIndex;
        QCOMPARE(order, (QList<int>{1, 3, 5}));

        QCOMPARE(list.cameraByIp("10.0.0.5")->id, QString("m"));
        QCOMPARE(list.cameraByMac("7c:2e:0d:01:02:03")->id, QString("m"));
        QVERIFY(!list.cameraByMac("7C:2E:0D:01:02:03"));
        QVERIFY(!list.cameraByMac(QString()));

        list.updateCamera("one", "Renamed", "192.0.2.9", 7);
        QCOMPARE(changed.count(), 4);
        list.updateCamera("unknown", "X", "Y", 1);
        QCOMPARE(changed.count(), 4);
        QCOMPARE(list.cameraByIndex(7)->name + ' ' + list.cameraByIndex(7)->ip, QString("Renamed 192.0.2.9"));

        // Adding an id again replaces the record, status and all.
        list.addCamera(makeCamera("m", "Second", 2));
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.camera("m")->status, CameraStatus::Disconnected);
        list.removeCamera("m");
        QVERIFY(!list.camera("m"));
        QVERIFY(!list.state("m"));
    }

    void sharedIndexPicksSmallestIdAndWarnsOnce()
    {
        LogCapture log("kovra.camera");
        CameraList list;
        for (const Camera& camera : {makeCamera("f2", "Second", 3), makeCamera("b7", "First", 3),
                                     makeCamera("c1", "Third", 3), makeCamera("zz", "Other", 4)})
            list.addCamera(camera);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(list.cameraByIndex(3)->id, QString("b7"));
        QCOMPARE(list.cameraByIndex(4)->id, QString("zz"));
        // The set of reported numbers is process-wide: a second list does not warn again.
        CameraList other;
        other.addCamera(makeCamera("x", "X", 3));
        other.addCamera(makeCamera("y", "Y", 3));
        QCOMPARE(other.cameraByIndex(3)->id, QString("x"));
        QCOMPARE(log.warnings().size(), 1);
        QVERIFY(log.warnings().first().startsWith("Cameras \""));
        QVERIFY(log.warnings().first().endsWith("share OSC index 3 - give each camera its own index"));
    }

    void saveLoadRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("cameras.json");
        CameraList list;
        Camera a = makeCamera("a", "Ünïcode “A”", 1);
        a.mac = "7c:2e:0d:aa:bb:cc";
        a.model = "URSA Broadcast G2";
        a.status = CameraStatus::Connected;
        Camera b = makeCamera("b", "B", 2);
        b.manuallyDisconnected = true;
        list.addCamera(a);
        list.addCamera(b);
        QVERIFY(list.save(path));
        QVERIFY(!list.save(dir.filePath("no/such/folder/cameras.json")));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Only what is set is written: "disconnected" and "mac" appear when they apply.
        QHash<QString, QStringList> keys;
        for (const QJsonValue& saved : QJsonDocument::fromJson(file.readAll())["cameras"].toArray())
            keys.insert(saved["id"].toString(), saved.toObject().keys());
        QCOMPARE(keys.value("a"), (QStringList{"id", "index", "ip", "mac", "name"}));
        QCOMPARE(keys.value("b"), (QStringList{"disconnected", "id", "index", "ip", "name"}));

        CameraList loaded;
        QSignalSpy changed(&loaded, &CameraList::changed);
        QVERIFY(loaded.load(path));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(loaded.count(), 2);
        const Camera* back = loaded.camera("a");
        QCOMPARE(QStringList({back->name, back->mac, QString::number(back->oscIndex)}), QStringList({a.name, a.mac, "1"}));
        QCOMPARE(back->status, CameraStatus::Disconnected);
        QVERIFY(loaded.camera("b")->manuallyDisconnected);
        QVERIFY(loaded.state("b"));
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("content");   // empty: no file at all
        QTest::addColumn<bool>("loads");
        QTest::addColumn<int>("count");
        QTest::newRow("missing") << QByteArray() << false << 1;
        QTest::newRow("array") << QByteArray(R"([{"id": "x"}])") << false << 1;
        QTest::newRow("garbage") << QByteArray(R"({"cameras": [ {)") << false << 1;
        QTest::newRow("cameras not a list") << QByteArray(R"({"cameras": 42})") << true << 0;
        // Odd values read as empty ones; two entries without an id share the empty id.
        QTest::newRow("odd entries") << QByteArray(R"({"cameras": [{"id": "x", "name": 5, "index": "seven", "disconnected": "yes"},)"
                                                   R"( "not an object", {"ip": "10.1.1.1", "index": 3.0}]})")
                                     << true << 2;
    }

    void load()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath("cameras.json");
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        CameraList list;
        list.addCamera(makeCamera("keep", "Keep", 1));
        QTEST(list.load(path), "loads");
        QTEST(int(list.count()), "count");
        if (const Camera* odd = list.camera("x")) {
            QCOMPARE(QStringList({odd->name, QString::number(odd->oscIndex), QString::number(odd->manuallyDisconnected)}),
                     QStringList({"", "0", "0"}));
            QCOMPARE(list.cameraByIp("10.1.1.1")->oscIndex, 3);
        }
    }
};

QTEST_GUILESS_MAIN(TestCameraList)
#include "tst_cameralist.moc"
