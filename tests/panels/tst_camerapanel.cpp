#include "CameraPanel.h"
#include "CameraScanner.h"
#include "Inst.h"
#include "InstChip.h"
#include "LocalNetwork.h"
#include "PanelFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <optional>

Q_DECLARE_METATYPE(QList<InterfaceAddress>)

namespace {

enum Column { Index = 1, Name = 2, Address = 3 };

// This computer's network as a test describes it.
class ScriptedNetwork : public LocalNetwork {
public:
    QList<InterfaceAddress> interfaces;
    QHash<QString, QString> macs;

    QList<InterfaceAddress> interfaceAddresses() override { return interfaces; }
    QString macForIp(const QString& ip) override { return macs.value(ip); }

    static InterfaceAddress wired(const QString& name, const QString& address, int prefixLength)
    {
        InterfaceAddress entry;
        entry.name = entry.humanReadableName = name;
        entry.address = QHostAddress(address);
        entry.prefixLength = prefixLength;
        entry.up = entry.running = true;
        return entry;
    }
};

// The panel's rig, with a scripted network and the cameras as cameras.json holds them.
struct Rig : PanelFixture {
    ScriptedNetwork network;

    QHash<QString, QJsonObject> saved() const
    {
        QFile file(manager->configPath());
        QHash<QString, QJsonObject> cameras;
        if (file.open(QIODevice::ReadOnly))
            for (const QJsonValue& camera : QJsonDocument::fromJson(file.readAll())["cameras"].toArray())
                cameras.insert(camera["id"].toString(), camera.toObject());
        return cameras;
    }
};

// Opens the cell's editor with a double click, replaces its text (typed, or pasted where no
// keyboard would type it) and presses Return; Escape when the editor refuses to commit.
void editCell(QTableWidget* table, int row, int column, const QString& text)
{
    const QModelIndex cell = table->model()->index(row, column);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(cell));
    QVERIFY2(editor, "no editor opened");
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    const bool typeable = text.size() < 100
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
    if (typeable) {
        QTest::keyClicks(editor, text);
    } else {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    }
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits on its next event-loop turn.
    QCoreApplication::processEvents();
    if (table->indexWidget(cell) == editor)
        QTest::keyClick(editor, Qt::Key_Escape);
}

// Name, index and address of a camera's row, or of its object in cameras.json.
QString shown(QTableWidget* table, const QString& cameraId)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, Name)->data(Qt::UserRole) == cameraId)
            return QStringList{table->item(row, Name)->text(), table->item(row, Index)->text(),
                               table->item(row, Address)->text()}.join(", ");
    }
    return QString();
}
QString shown(const QJsonObject& camera)
{
    return QString("%1, %2, %3").arg(camera["name"].toString()).arg(camera["index"].toInt()).arg(camera["ip"].toString());
}

QString chipText(QTableWidget* table, int row) { return table->cellWidget(row, 7)->findChild<InstChip*>()->text(); }

}

// The Cameras tab over a manager with cameras.json in the test's own folder.
class TestCameraPanel : public QObject {
    Q_OBJECT

    std::optional<Rig> f;
    std::unique_ptr<CameraPanel> panel;
    QTableWidget* cameras = nullptr;

    void makePanel(const QJsonArray& stored = {})
    {
        panel = std::make_unique<CameraPanel>(f->manager.get(), nullptr, &f->network, &f->boxes);
        panel->resize(1200, 800);
        panel->show();
        cameras = panel->findChild<QTableWidget*>("cameraTable");
        if (!stored.isEmpty())
            f->loadCameras(stored);
    }
    template <typename T = QPushButton>
    T* child(const char* name) { return panel->findChild<T*>(name); }
    const Camera* camera(const QString& id) { return f->manager->cameraList()->camera(id); }

private slots:
    void init() { f.emplace(); }
    void cleanup()
    {
        panel.reset();
        f.reset();
    }

    void inlineEdits_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");    // name, index, address
        QTest::addColumn<QString>("warning");
        const QString kept = "Cam A, 3, 127.0.0.1:1";
        QTest::newRow("name trimmed") << int(Name) << "  Stage Left  " << "Stage Left, 3, 127.0.0.1:1" << "";
        QTest::newRow("name of spaces") << int(Name) << "   " << kept << "";
        QTest::newRow("name with control characters") << int(Name) << "Jib\tLeft\x07\n" << "Jib Left, 3, 127.0.0.1:1" << "";
        QTest::newRow("name of 10,000 characters") << int(Name) << QString(10000, 'x')
                                                   << QString(64, 'x') + ", 3, 127.0.0.1:1" << "";
        QTest::newRow("index 0") << int(Index) << "0" << "Cam A, 1, 127.0.0.1:1" << "";
        QTest::newRow("index letters") << int(Index) << "abc" << "Cam A, 1, 127.0.0.1:1" << "";
        QTest::newRow("index 100000") << int(Index) << "100000" << "Cam A, 99, 127.0.0.1:1" << "";
        QTest::newRow("index with spaces") << int(Index) << " 7 " << "Cam A, 7, 127.0.0.1:1" << "";
        QTest::newRow("index emptied") << int(Index) << "" << kept << "";
        QTest::newRow("not an address") << int(Address) << "not an address" << kept << "";
        QTest::newRow("octet above 255") << int(Address) << "300.1.1.1" << kept << "";
        QTest::newRow("port above 65535") << int(Address) << "127.0.0.1:70000" << kept << "";
        QTest::newRow("another camera's address") << int(Address) << "127.0.0.1:2" << kept << "Address In Use";
        QTest::newRow("address emptied") << int(Address) << "" << kept << "";
        QTest::newRow("new address") << int(Address) << "127.0.0.1:5" << "Cam A, 3, 127.0.0.1:5" << "";
    }

    // Every edit ends with cameras.json and the row showing the same, storable values.
    void inlineEdits()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, warning);
        makePanel({Rig::storedCamera("a", "Cam A", "127.0.0.1:1", 3), Rig::storedCamera("b", "Cam B", "127.0.0.1:2", 4)});
        editCell(cameras, 0, column, typed);
        QCOMPARE(shown(f->saved().value("a")), stored);
        QCOMPARE(f->boxes.titles(), warning.isEmpty() ? QStringList() : QStringList{warning});
        QTRY_COMPARE(shown(cameras, "a"), stored);
    }

    // A disconnected camera moves to the edited address and connects there; once connected,
    // its address can no longer be edited. What the row's buttons change is kept in cameras.json.
    void addressEditAndRowButtons()
    {
        CameraSimulator* simulator = f->simulator();
        QVERIFY(simulator);
        makePanel({Rig::storedCamera("a", "Cam A", "127.0.0.1:1", 3), Rig::storedCamera("b", "Cam B", "127.0.0.1:2", 4)});
        QPushButton* toggle = child("disconnectButton");
        QVERIFY(!toggle->isEnabled());
        editCell(cameras, 0, Address, simulator->hostAndPort());
        QTRY_COMPARE(camera("a")->status, CameraStatus::Connected);
        QCOMPARE(simulator->requestCount("GET", "system/product"), 1);
        QCOMPARE(f->saved().value("a"), Rig::storedCamera("a", "Cam A", simulator->hostAndPort(), 3, false));
        QCOMPARE(chipText(cameras, 0), "CONNECTED");
        const QModelIndex cell = cameras->model()->index(0, Address);
        QTest::mouseDClick(cameras->viewport(), Qt::LeftButton, {}, cameras->visualRect(cell).center());
        QTest::keyClick(cameras, Qt::Key_F2);
        QVERIFY(!cameras->indexWidget(cell));
        QCOMPARE(cameras->item(0, Address)->foreground().color(), Inst::tokens().sec);

        QSignalSpy activated(panel.get(), &CameraPanel::cameraActivated);
        panel->setCurrentCamera("b");
        QCOMPARE(cameras->currentRow(), 1);
        QCOMPARE(toggle->text(), "Connect");
        QTest::mouseClick(cameras->viewport(), Qt::LeftButton, {}, cameras->visualRect(cameras->model()->index(0, Name)).center());
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.first().first().toString(), "a");
        QCOMPARE(toggle->text(), "Disconnect");

        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(chipText(cameras, 0), "DISCONNECTED");
        QCOMPARE(toggle->text(), "Connect");
        QVERIFY(f->saved().value("a").value("disconnected").toBool());
        // Connecting again is kept in cameras.json, so a restart does not drop the camera.
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), "Disconnect");
        QVERIFY(!f->saved().value("a").contains("disconnected"));
        QTRY_COMPARE(chipText(cameras, 0), "CONNECTED");

        QTest::mouseClick(child("removeSelectedButton"), Qt::LeftButton);
        QCOMPARE(f->saved().keys(), QStringList{"b"});
        QVERIFY(cameras->rowCount() == 1 && !toggle->isEnabled() && activated.size() == 1);
    }

    void addForm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("added");    // as the camera list then holds it
        QTest::newRow("added") << "Cam 9" << "127.0.0.1:9" << "" << "Cam 9, 6";
        QTest::newRow("no name") << "" << "127.0.0.1:9" << "" << "";
        QTest::newRow("no address") << "Cam 9" << "" << "" << "";
        QTest::newRow("unfinished address") << "Cam 9" << "127.0.0." << "Invalid Address" << "";
        QTest::newRow("octet above 255") << "Cam 9" << "300.1.1.1" << "Invalid Address" << "";
        QTest::newRow("blanks are not typed") << "Cam 9" << "cam one" << "Invalid Address" << "";
        QTest::newRow("address in use") << "Cam 9" << "127.0.0.1:2" << "Address In Use" << "Cam B, 2";
    }

    // The form proposes the index after the highest one in use, and is emptied once it added.
    void addForm()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QString, warning);
        QFETCH(QString, added);
        makePanel();
        auto* index = child<QSpinBox>("indexSpin");
        QCOMPARE(index->value(), 1);
        f->loadCameras({Rig::storedCamera("a", "Cam A", "127.0.0.1:1", 1), Rig::storedCamera("b", "Cam B", "127.0.0.1:2", 2),
                        Rig::storedCamera("c", "Cam C", "127.0.0.1:3", 5)});
        QCOMPARE(index->value(), 6);
        QTest::keyClicks(child<QLineEdit>("nameEdit"), name);
        QTest::keyClicks(child<QLineEdit>("addressEdit"), address);
        QTest::mouseClick(child("addCameraButton"), Qt::LeftButton);

        QCOMPARE(f->boxes.titles(), warning.isEmpty() ? QStringList() : QStringList{warning});
        const Camera* created = f->manager->cameraList()->cameraByIp(address);
        QCOMPARE(created ? QString("%1, %2").arg(created->name).arg(created->oscIndex) : QString(), added);
        const bool isNew = !added.isEmpty() && added.startsWith(name);
        QCOMPARE(f->saved().size(), isNew ? 4 : 3);
        if (isNew)
            QVERIFY(child<QLineEdit>("nameEdit")->text().isEmpty() && child<QLineEdit>("addressEdit")->text().isEmpty()
                    && index->value() == 7);
    }

    void interfaceList_data()
    {
        QTest::addColumn<QList<InterfaceAddress>>("interfaces");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("selected");
        const auto wired = &ScriptedNetwork::wired;
        QTest::newRow("show network first")
            << QList<InterfaceAddress>{wired("en0", "192.168.1.5", 24), wired("en7", "10.13.0.5", 16)}
            << QStringList{"192.168.  1.  5/24 — en0", " 10. 13.  0.  5/16 — en7"} << " 10. 13.  0.  5/16 — en7";
        QTest::newRow("smallest en name")
            << QList<InterfaceAddress>{wired("vlan2", "172.16.0.2", 24), wired("en7", "192.168.2.2", 24),
                                       wired("en0", "192.168.3.3", 24)}
            << QStringList{"172. 16.  0.  2/24 — vlan2", "192.168.  2.  2/24 — en7", "192.168.  3.  3/24 — en0"}
            << "192.168.  3.  3/24 — en0";
        InterfaceAddress down = wired("eth1", "10.0.1.1", 24);
        down.running = false;
        InterfaceAddress loopback = wired("lo", "127.0.0.1", 8);
        loopback.loopback = true;
        QTest::newRow("Linux names")
            << QList<InterfaceAddress>{loopback, wired("docker0", "172.17.0.1", 16), wired("eth0", "fe80::1", 64),
                                       wired("eth0", "10.0.0.2", 24), down, wired("wlp2s0", "192.168.8.3", 24)}
            << QStringList{" 10.  0.  0.  2/24 — eth0", "192.168.  8.  3/24 — wlp2s0"} << " 10.  0.  0.  2/24 — eth0";
    }

    void interfaceList()
    {
        QFETCH(QList<InterfaceAddress>, interfaces);
        QFETCH(QStringList, items);
        f->network.interfaces = interfaces;
        makePanel();
        QCOMPARE(itemTexts(child<QComboBox>("interfaceCombo")), items);
        QTEST(child<QComboBox>("interfaceCombo")->currentText(), "selected");
    }

    // Two devices on a loopback subnet, found by the real scanner: the camera can be added,
    // the other device is listed but cannot be chosen. A second click stops a running scan.
    void scanOverLoopback()
    {
        QVERIFY(f->simulator("URSA Broadcast G2", QHostAddress("127.15.0.23"), 80));
        QVERIFY(f->simulator("HyperDeck Studio HD Plus", QHostAddress("127.15.0.77"), 80));
        f->network.interfaces = {ScriptedNetwork::wired("eth0", "127.15.0.1", 24)};
        f->network.macs.insert("127.15.0.23", "7c:2e:0d:00:00:23");
        makePanel();
        auto* scanner = panel->findChild<CameraScanner*>();
        QTemporaryDir noBrowseTools;
        QProcessEnvironment environment;
        environment.insert("PATH", noBrowseTools.path());
        scanner->setProcessEnvironment(environment);
        QPushButton* scan = child("scanButton");
        auto* status = child<QLabel>("scanStatus");
        auto* results = child<QListWidget>("discoveredList");

        QSignalSpy finished(scanner, &CameraScanner::scanFinished);
        QTest::mouseClick(scan, Qt::LeftButton);
        QCOMPARE(scan->text(), "Stop Scan");
        QVERIFY(child<QProgressBar>("scanProgress")->isVisible());
        QVERIFY(finished.wait(20000));
        QCOMPARE(scan->text(), "Scan Network");
        QVERIFY(!child<QProgressBar>("scanProgress")->isVisible());
        QCOMPARE(status->text(), "Scan complete — found 2 camera(s)");
        results->sortItems();
        QCOMPARE(results->item(0)->text(), "127.15.0.23  —  URSA Broadcast G2 [8.6]  MAC: 7c:2e:0d:00:00:23");
        QListWidgetItem* other = results->item(1);
        QCOMPARE(other->text(), "127.15.0.77  —  HyperDeck Studio HD Plus [8.6]  —  not a camera");
        QVERIFY(!(other->flags() & (Qt::ItemIsEnabled | Qt::ItemIsSelectable)));
        QCOMPARE(other->toolTip(), "This is a HyperDeck Studio HD Plus, not a camera — Kovra Control cannot control it.");

        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualItemRect(other).center());
        QVERIFY(!child("addDiscoveredButton")->isEnabled());
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualItemRect(results->item(0)).center());
        QTest::mouseClick(child("addDiscoveredButton"), Qt::LeftButton);
        const Camera* added = f->manager->cameraList()->cameraByIp("127.15.0.23");
        QVERIFY(added);
        QCOMPARE(added->name, "URSA Broadcast G2");
        QCOMPARE(results->count(), 1);

        QTest::mouseClick(scan, Qt::LeftButton);
        QTest::mouseClick(scan, Qt::LeftButton);
        QCOMPARE(finished.size(), 2);
        QVERIFY(!scanner->isScanning());
        QCOMPARE(scan->text(), "Scan Network");
        QCOMPARE(status->text(), "No cameras found");
    }

    // A found camera is named after its host name, cut to a name's length, in the next slot;
    // one already configured is not listed.
    void discoveredHostName()
    {
        makePanel({Rig::storedCamera("b", "Cam B", "127.0.0.1:2", 4)});
        panel->addDiscovered({"127.0.0.1:2", "Cam-B.local", "URSA Broadcast G2", "8.6", true});
        panel->addDiscovered({"127.15.1.9", "Studio-Camera-4K.local", "Studio Camera 4K Pro", "8.6", true});
        panel->addDiscovered({"127.15.1.10", QString(70, 'x') + ".local", "Studio Camera 4K Pro", "8.6", true});
        auto* results = child<QListWidget>("discoveredList");
        QCOMPARE(results->count(), 2);
        for (int row : {0, 0}) {
            results->setCurrentRow(row);
            QTest::mouseClick(child("addDiscoveredButton"), Qt::LeftButton);
        }
        const Camera* added = f->manager->cameraList()->cameraByIp("127.15.1.9");
        QVERIFY(added);
        QCOMPARE(f->saved().value(added->id).value("name").toString(), "Studio Camera 4K");
        QCOMPARE(added->oscIndex, 5);
        QCOMPARE(f->manager->cameraList()->cameraByIp("127.15.1.10")->name, QString(CameraPanel::maxNameLength, 'x'));
    }

    // A found camera whose MAC belongs to a stored camera re-links that camera, wherever it
    // now is, and adds nothing.
    void relinkByMac_data()
    {
        QTest::addColumn<bool>("alreadyThere");
        QTest::newRow("moved") << false;
        QTest::newRow("same address") << true;
    }

    void relinkByMac()
    {
        QFETCH(bool, alreadyThere);
        const QString found = "127.15.2.7";
        QJsonObject stored = Rig::storedCamera("a", "Cam A", "127.15.2.1", 3);
        stored.insert("mac", "7c:2e:0d:1a:2b:3c");
        makePanel({stored});
        panel->addDiscovered({found, QString(), "URSA Broadcast G2", "8.6", true});
        auto* results = child<QListWidget>("discoveredList");
        QCOMPARE(results->item(0)->text(), found + "  —  URSA Broadcast G2 [8.6]");
        // Not in the ARP table when it was found; asked again on adding.
        f->network.macs.insert(found, "7c:2e:0d:1a:2b:3c");
        if (alreadyThere)
            f->manager->relocateCamera("a", found);

        QSignalSpy listChanged(f->manager.get(), &CameraManager::cameraListChanged);
        results->setCurrentRow(0);
        QTest::mouseClick(child("addDiscoveredButton"), Qt::LeftButton);
        QCOMPARE(f->boxes.titles(), QStringList{"Camera Relinked"});
        QCOMPARE(f->boxes.shown.first().text, "This camera (MAC 7c:2e:0d:1a:2b:3c) is already saved as \"Cam A\" in "
                                              "slot 3.\n\nIP updated to 127.15.2.7 and reconnecting.");
        QCOMPARE(listChanged.size(), alreadyThere ? 0 : 1);
        QCOMPARE(f->saved().keys(), QStringList{"a"});
        QCOMPARE(f->saved().value("a").value("ip").toString(), found);
        QCOMPARE(results->count(), 0);
    }
};

QTEST_MAIN(TestCameraPanel)
#include "tst_camerapanel.moc"
