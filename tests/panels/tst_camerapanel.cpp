#include "CameraApi.h"
#include "CameraPanel.h"
#include "CameraScanner.h"
#include "Inst.h"
#include "InstChip.h"
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

QTableWidget* table(QWidget* panel) { return panel->findChild<QTableWidget*>("cameraTable"); }
QPushButton* button(QWidget* panel, const char* name) { return panel->findChild<QPushButton*>(name); }

// Opens the cell's editor with a double click, replaces its text by typing (or pasting, for
// what a keyboard cannot type) and presses Return; Escape when the editor refuses to commit.
void editCell(QTableWidget* table, int row, int column, const QString& text, bool paste = false)
{
    const QPoint centre = table->visualRect(table->model()->index(row, column)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centre);
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(row, column)));
    QVERIFY2(editor, "no editor opened");
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    if (paste) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    } else {
        QTest::keyClicks(editor, text);
    }
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits on its next event-loop turn.
    QCoreApplication::processEvents();
    if (table->indexWidget(table->model()->index(row, column)) == editor)
        QTest::keyClick(editor, Qt::Key_Escape);
}

int rowOf(QTableWidget* table, const QString& cameraId)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, Name)->data(Qt::UserRole) == cameraId)
            return row;
    }
    return -1;
}

InstChip* chipAt(QTableWidget* table, int row) { return table->cellWidget(row, 7)->findChild<InstChip*>(); }
InstDot* lampAt(QTableWidget* table, int row) { return table->cellWidget(row, 0)->findChild<InstDot*>(); }

}

class TestCameraPanel : public QObject {
    Q_OBJECT

    std::optional<PanelFixture> f;
    std::unique_ptr<CameraPanel> panel;

    CameraPanel* makePanel()
    {
        panel = std::make_unique<CameraPanel>(f->manager.get(), nullptr, &f->network, &f->boxes);
        panel->resize(1200, 800);
        panel->show();
        return panel.get();
    }
    const Camera* camera(const QString& id) { return f->manager->cameraList()->camera(id); }

private slots:
    void init() { f.emplace(); }
    void cleanup()
    {
        panel.reset();
        f.reset();
    }

    void proposesNextIndex_data()
    {
        QTest::addColumn<QList<int>>("indices");
        QTest::addColumn<int>("proposed");
        QTest::newRow("no cameras") << QList<int>{} << 1;
        QTest::newRow("1, 2, 5") << QList<int>{1, 2, 5} << 6;
        QTest::newRow("99 is the last") << QList<int>{98, 99} << 99;
    }

    void proposesNextIndex()
    {
        QFETCH(QList<int>, indices);
        QFETCH(int, proposed);
        makePanel();
        QJsonArray cameras;
        for (int index : indices)
            cameras.append(PanelFixture::camera(QString::number(index), "Cam", "127.0.0.1:" + QString::number(index), index));
        f->loadCameras(cameras);
        QCOMPARE(panel->findChild<QSpinBox*>("indexSpin")->value(), proposed);
    }

    void inlineEdits_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QStringList>("boxes");
        const QString ip = "127.0.0.1:1";
        QTest::newRow("name trimmed") << int(Name) << "  Stage Left  " << false << "Stage Left" << 3 << ip << QStringList();
        QTest::newRow("name of spaces") << int(Name) << "   " << false << "Cam A" << 3 << ip << QStringList();
        QTest::newRow("name emptied") << int(Name) << "" << false << "Cam A" << 3 << ip << QStringList();
        QTest::newRow("name with control characters")
            << int(Name) << "Jib\tLeft\x07\x1b" << true << "Jib Left" << 3 << ip << QStringList();
        QTest::newRow("name of 10,000 characters")
            << int(Name) << QString(10000, 'x') << true << QString(64, 'x') << 3 << ip << QStringList();
        QTest::newRow("index 0") << int(Index) << "0" << false << "Cam A" << 1 << ip << QStringList();
        QTest::newRow("index letters") << int(Index) << "abc" << false << "Cam A" << 1 << ip << QStringList();
        QTest::newRow("index 100000") << int(Index) << "100000" << false << "Cam A" << 99 << ip << QStringList();
        QTest::newRow("index with spaces") << int(Index) << " 7 " << false << "Cam A" << 7 << ip << QStringList();
        QTest::newRow("index emptied") << int(Index) << "" << false << "Cam A" << 3 << ip << QStringList();
        QTest::newRow("not an address") << int(Address) << "not an address" << false << "Cam A" << 3 << ip << QStringList();
        QTest::newRow("octet above 255") << int(Address) << "300.1.1.1" << false << "Cam A" << 3 << ip << QStringList();
        QTest::newRow("port above 65535") << int(Address) << "127.0.0.1:70000" << false << "Cam A" << 3 << ip << QStringList();
        QTest::newRow("another camera's address")
            << int(Address) << "127.0.0.1:2" << false << "Cam A" << 3 << ip << QStringList{"Address In Use"};
        QTest::newRow("address emptied") << int(Address) << "" << false << "Cam A" << 3 << ip << QStringList();
        QTest::newRow("new address") << int(Address) << "127.0.0.1:5" << false << "Cam A" << 3 << "127.0.0.1:5"
                                     << QStringList();
    }

    // Every edit ends with cameras.json and the row showing the same, storable values.
    void inlineEdits()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(bool, paste);
        QFETCH(QString, name);
        QFETCH(int, index);
        QFETCH(QString, ip);
        QFETCH(QStringList, boxes);
        makePanel();
        f->loadCameras({PanelFixture::camera("a", "Cam A", "127.0.0.1:1", 3),
                        PanelFixture::camera("b", "Cam B", "127.0.0.1:2", 4)});
        editCell(table(panel.get()), 0, column, typed, paste);

        const QJsonObject saved = f->saved().value("a");
        QCOMPARE(saved.value("name").toString(), name);
        QCOMPARE(saved.value("index").toInt(), index);
        QCOMPARE(saved.value("ip").toString(), ip);
        QCOMPARE(camera("a")->name, name);
        QCOMPARE(f->boxes.titles(), boxes);
        QTableWidget* cameras = table(panel.get());
        QTRY_COMPARE(cameras->item(rowOf(cameras, "a"), Name)->text(), name);
        QTRY_COMPARE(cameras->item(rowOf(cameras, "a"), Index)->text(), QString::number(index));
        QTRY_COMPARE(cameras->item(rowOf(cameras, "a"), Address)->text(), ip);
    }

    // A disconnected camera moves to the edited address and connects there; once connected,
    // its address can no longer be edited.
    void addressEditRelocates()
    {
        CameraSimulator* simulator = f->simulator();
        QVERIFY(simulator);
        makePanel();
        f->loadCameras({PanelFixture::camera("a", "Cam A", "127.0.0.1:1", 3)});
        QTableWidget* cameras = table(panel.get());
        editCell(cameras, 0, Address, simulator->hostAndPort());

        QTRY_COMPARE(camera("a")->status, CameraStatus::Connected);
        QCOMPARE(simulator->requestCount("GET", "system/product"), 1);
        const QJsonObject saved = f->saved().value("a");
        QCOMPARE(saved.value("ip").toString(), simulator->hostAndPort());
        QCOMPARE(saved.value("name").toString(), "Cam A");
        QCOMPARE(saved.value("index").toInt(), 3);
        QVERIFY(!saved.contains("disconnected"));
        QCOMPARE(chipAt(cameras, 0)->text(), "CONNECTED");

        const QPoint centre = cameras->visualRect(cameras->model()->index(0, Address)).center();
        QTest::mouseDClick(cameras->viewport(), Qt::LeftButton, {}, centre);
        QTest::keyClick(cameras, Qt::Key_F2);
        QVERIFY(!cameras->indexWidget(cameras->model()->index(0, Address)));
        QCOMPARE(cameras->item(0, Address)->foreground().color(), Inst::tokens().sec);
    }

    void addForm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("added") << "Cam 9" << "127.0.0.1:9" << QStringList();
        QTest::newRow("no name") << "" << "127.0.0.1:9" << QStringList();
        QTest::newRow("no address") << "Cam 9" << "" << QStringList();
        QTest::newRow("unfinished address") << "Cam 9" << "127.0.0." << QStringList{"Invalid Address"};
        QTest::newRow("octet above 255") << "Cam 9" << "300.1.1.1" << QStringList{"Invalid Address"};
        QTest::newRow("blanks are not typed") << "Cam 9" << "cam one" << QStringList{"Invalid Address"};
        QTest::newRow("address in use") << "Cam 9" << "127.0.0.1:2" << QStringList{"Address In Use"};
    }

    void addForm()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QStringList, boxes);
        makePanel();
        f->loadCameras({PanelFixture::camera("b", "Cam B", "127.0.0.1:2", 4)});
        auto* nameEdit = panel->findChild<QLineEdit*>("nameEdit");
        auto* addressEdit = panel->findChild<QLineEdit*>("addressEdit");
        QTest::keyClicks(nameEdit, name);
        QTest::keyClicks(addressEdit, address);
        QTest::mouseClick(button(panel.get(), "addCameraButton"), Qt::LeftButton);

        QCOMPARE(f->boxes.titles(), boxes);
        const bool added = QTest::currentDataTag() == QByteArray("added");
        QCOMPARE(f->saved().size(), added ? 2 : 1);
        if (!added)
            return;
        const Camera* created = f->manager->cameraList()->cameraByIp(address);
        QVERIFY(created);
        QCOMPARE(created->name, name);
        QCOMPARE(created->oscIndex, 5);
        QVERIFY(nameEdit->text().isEmpty() && addressEdit->text().isEmpty());
        QCOMPARE(panel->findChild<QSpinBox*>("indexSpin")->value(), 6);
        QCOMPARE(table(panel.get())->rowCount(), 2);
    }

    void rowButtons()
    {
        CameraSimulator* simulator = f->simulator();
        QVERIFY(simulator);
        makePanel();
        QSignalSpy activated(panel.get(), &CameraPanel::cameraActivated);
        f->loadCameras({PanelFixture::camera("a", "Cam A", simulator->hostAndPort(), 1, false),
                        PanelFixture::camera("b", "Cam B", "127.0.0.1:2", 2)});
        QTRY_COMPARE(camera("a")->status, CameraStatus::Connected);
        QTableWidget* cameras = table(panel.get());
        QPushButton* toggle = button(panel.get(), "disconnectButton");
        QVERIFY(!toggle->isEnabled());

        panel->setCurrentCamera("b");
        QCOMPARE(cameras->currentRow(), 1);
        QCOMPARE(toggle->text(), "Connect");
        QVERIFY(activated.isEmpty());
        QTest::mouseClick(cameras->viewport(), Qt::LeftButton, {}, cameras->visualRect(cameras->model()->index(0, Name)).center());
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.first().first().toString(), "a");
        QVERIFY(toggle->isEnabled());
        QCOMPARE(toggle->text(), "Disconnect");

        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(camera("a")->status, CameraStatus::Disconnected);
        QCOMPARE(chipAt(cameras, 0)->text(), "DISCONNECTED");
        QCOMPARE(toggle->text(), "Connect");
        QVERIFY(f->saved().value("a").value("disconnected").toBool());

        // Connecting again is kept in cameras.json, so a restart does not drop the camera.
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), "Disconnect");
        QVERIFY(!f->saved().value("a").contains("disconnected"));
        QTRY_COMPARE(chipAt(cameras, 0)->text(), "CONNECTED");

        QTest::mouseClick(button(panel.get(), "removeSelectedButton"), Qt::LeftButton);
        QCOMPARE(f->saved().keys(), QStringList{"b"});
        QCOMPARE(cameras->rowCount(), 1);
        QVERIFY(!toggle->isEnabled());
        QCOMPARE(activated.size(), 1);
    }

    // Lamp and chip per status, in the colours of the appearance in force.
    void statusLook()
    {
        CameraSimulator* connected = f->simulator();
        CameraSimulator* other = f->simulator("HyperDeck Studio HD Plus");
        CameraSimulator* silent = f->simulator();
        QVERIFY(connected && other && silent);
        other->setNotACamera(true);
        silent->setBlackHole(true);
        makePanel();
        f->loadCameras({PanelFixture::camera("1", "Connected", connected->hostAndPort(), 1, false),
                        PanelFixture::camera("2", "Other", other->hostAndPort(), 2, false),
                        PanelFixture::camera("3", "Refused", "127.0.0.1:1", 3, false),
                        PanelFixture::camera("4", "Off", "127.0.0.1:4", 4, true)});
        f->manager->api()->setTimeouts(60000, 60000);
        f->manager->addCamera("Silent", silent->hostAndPort(), 5);
        QTRY_COMPARE(camera("2")->status, CameraStatus::NotACamera);
        QTRY_COMPARE(camera("1")->status, CameraStatus::Connected);
        QTRY_COMPARE(camera("3")->status, CameraStatus::Error);

        for (bool dark : {true, false}) {
            Inst::setDark(dark);
            panel->applyLook();
            const Inst::Tokens& t = Inst::tokens();
            const QList<std::tuple<QString, QColor, InstChip::Tone>> expected = {
                {"CONNECTED", t.led, InstChip::Go}, {"NOT A CAMERA", t.red, InstChip::Bad},
                {"ERROR", t.red, InstChip::Bad}, {"DISCONNECTED", t.mut, InstChip::Idle},
                {"CONNECTING…", t.amber, InstChip::Warn}};
            QTableWidget* cameras = table(panel.get());
            for (int row = 0; row < expected.size(); ++row) {
                const auto& [text, lamp, tone] = expected.at(row);
                QCOMPARE(chipAt(cameras, row)->text(), text);
                QCOMPARE(chipAt(cameras, row)->tone(), tone);
                QCOMPARE(lampAt(cameras, row)->color(), lamp);
            }
        }
        Inst::setDark(true);
    }

    void interfaceList_data()
    {
        QTest::addColumn<QList<InterfaceAddress>>("interfaces");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("selected");
        QTest::newRow("show network first")
            << QList<InterfaceAddress>{ScriptedNetwork::wired("en0", "192.168.1.20", 24),
                                       ScriptedNetwork::wired("en7", "10.13.0.5", 16)}
            << QStringList{"192.168.  1. 20/24 — en0", " 10. 13.  0.  5/16 — en7"} << " 10. 13.  0.  5/16 — en7";
        QTest::newRow("aligned octets")
            << QList<InterfaceAddress>{ScriptedNetwork::wired("en0", "192.168.1.5", 24)}
            << QStringList{"192.168.  1.  5/24 — en0"} << "192.168.  1.  5/24 — en0";
        QTest::newRow("smallest en name")
            << QList<InterfaceAddress>{ScriptedNetwork::wired("vlan2", "172.16.0.2", 24),
                                       ScriptedNetwork::wired("en7", "192.168.2.2", 24),
                                       ScriptedNetwork::wired("en0", "192.168.3.3", 24)}
            << QStringList{"172. 16.  0.  2/24 — vlan2", "192.168.  2.  2/24 — en7", "192.168.  3.  3/24 — en0"}
            << "192.168.  3.  3/24 — en0";
        InterfaceAddress down = ScriptedNetwork::wired("eth1", "10.0.1.1", 24);
        down.running = false;
        InterfaceAddress loopback = ScriptedNetwork::wired("lo", "127.0.0.1", 8);
        loopback.loopback = true;
        InterfaceAddress ipv6 = ScriptedNetwork::wired("eth0", "fe80::1", 64);
        QTest::newRow("Linux names")
            << QList<InterfaceAddress>{loopback, ScriptedNetwork::wired("docker0", "172.17.0.1", 16), ipv6,
                                       ScriptedNetwork::wired("eth0", "10.0.0.2", 24), down,
                                       ScriptedNetwork::wired("wlp2s0", "192.168.8.3", 24),
                                       ScriptedNetwork::wired("enp3s0", "192.168.9.4", 24)}
            << QStringList{" 10.  0.  0.  2/24 — eth0", "192.168.  8.  3/24 — wlp2s0", "192.168.  9.  4/24 — enp3s0"}
            << "192.168.  9.  4/24 — enp3s0";
        QTest::newRow("none") << QList<InterfaceAddress>{loopback} << QStringList() << "";
    }

    void interfaceList()
    {
        QFETCH(QList<InterfaceAddress>, interfaces);
        QFETCH(QStringList, items);
        QFETCH(QString, selected);
        f->network.interfaces = interfaces;
        makePanel();
        auto* combo = panel->findChild<QComboBox*>("interfaceCombo");
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        QCOMPARE(texts, items);
        QCOMPARE(combo->currentText(), selected);
    }

    // Two devices on a loopback subnet, found by the real scanner: the camera can be added,
    // the other device is listed but cannot be chosen.
    void scanOverLoopback()
    {
        QVERIFY(f->simulator("URSA Broadcast G2", QHostAddress("127.15.0.23"), 80));
        QVERIFY(f->simulator("HyperDeck Studio HD Plus", QHostAddress("127.15.0.77"), 80));
        f->network.interfaces = {ScriptedNetwork::wired("eth0", "127.15.0.1", 24)};
        f->network.macs.insert("127.15.0.23", "7c:2e:0d:00:00:23");
        makePanel();
        QTemporaryDir noTools;
        QProcessEnvironment environment;
        environment.insert("PATH", noTools.path());
        panel->findChild<CameraScanner*>()->setProcessEnvironment(environment);
        QPushButton* scan = button(panel.get(), "scanButton");
        auto* progress = panel->findChild<QProgressBar*>("scanProgress");
        auto* status = panel->findChild<QLabel*>("scanStatus");
        auto* results = panel->findChild<QListWidget*>("discoveredList");
        QCOMPARE(status->text(), "Select an interface and click Scan");

        QSignalSpy finished(panel->findChild<CameraScanner*>(), &CameraScanner::scanFinished);
        QTest::mouseClick(scan, Qt::LeftButton);
        QCOMPARE(scan->text(), "Stop Scan");
        QVERIFY(progress->isVisible());
        QVERIFY(finished.wait(20000));
        QCOMPARE(scan->text(), "Scan Network");
        QVERIFY(!progress->isVisible());
        QCOMPARE(progress->maximum(), 254);
        QCOMPARE(status->text(), "Scan complete — found 2 camera(s)");
        QCOMPARE(results->count(), 2);
        QListWidgetItem* cameraItem = results->findItems("127.15.0.23", Qt::MatchStartsWith).value(0);
        QListWidgetItem* otherItem = results->findItems("127.15.0.77", Qt::MatchStartsWith).value(0);
        QVERIFY(cameraItem && otherItem);
        QCOMPARE(cameraItem->text(), "127.15.0.23  —  URSA Broadcast G2 [8.6]  MAC: 7c:2e:0d:00:00:23");
        QCOMPARE(otherItem->text(), "127.15.0.77  —  HyperDeck Studio HD Plus [8.6]  —  not a camera");
        QVERIFY(!(otherItem->flags() & (Qt::ItemIsEnabled | Qt::ItemIsSelectable)));
        QCOMPARE(otherItem->toolTip(),
                 "This is a HyperDeck Studio HD Plus, not a camera — Kovra Control cannot control it.");

        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualItemRect(otherItem).center());
        QVERIFY(!button(panel.get(), "addDiscoveredButton")->isEnabled());
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualItemRect(cameraItem).center());
        QTest::mouseClick(button(panel.get(), "addDiscoveredButton"), Qt::LeftButton);
        const Camera* added = f->manager->cameraList()->cameraByIp("127.15.0.23");
        QVERIFY(added);
        QCOMPARE(added->name, "URSA Broadcast G2");
        QCOMPARE(added->oscIndex, 1);
        QCOMPARE(results->count(), 1);

        // A second click while the scan runs stops it.
        QTest::mouseClick(scan, Qt::LeftButton);
        QTest::mouseClick(scan, Qt::LeftButton);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(scan->text(), "Scan Network");
        QCOMPARE(status->text(), "No cameras found");
        QVERIFY(!panel->findChild<CameraScanner*>()->isScanning());
    }

    void addDiscoveredCamera_data()
    {
        QTest::addColumn<QString>("hostname");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("name");
        QTest::newRow("host name") << "Studio-Camera-4K.local" << "Studio Camera 4K Pro" << "Studio Camera 4K";
        QTest::newRow("product name") << "" << "Studio Camera 4K Pro" << "Studio Camera 4K Pro";
        QTest::newRow("neither") << "" << "" << "Cam 5";
    }

    void addDiscoveredCamera()
    {
        QFETCH(QString, hostname);
        QFETCH(QString, product);
        QFETCH(QString, name);
        makePanel();
        f->loadCameras({PanelFixture::camera("b", "Cam B", "127.0.0.1:2", 4)});
        panel->addDiscovered({"127.0.0.1:2", "Cam-B.local", "URSA Broadcast G2", "8.6", true});
        panel->addDiscovered({"127.15.1.9", hostname, product, "8.6", true});
        auto* results = panel->findChild<QListWidget*>("discoveredList");
        QCOMPARE(results->count(), 1);
        results->setCurrentRow(0);
        QTest::mouseClick(button(panel.get(), "addDiscoveredButton"), Qt::LeftButton);
        const Camera* added = f->manager->cameraList()->cameraByIp("127.15.1.9");
        QVERIFY(added);
        QCOMPARE(added->name, name);
        QCOMPARE(added->oscIndex, 5);
        QCOMPARE(f->saved().value(added->id).value("name").toString(), name);
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
        const QString mac = "7c:2e:0d:1a:2b:3c";
        const QString found = "127.15.2.7";
        makePanel();
        QJsonObject stored = PanelFixture::camera("a", "Cam A", "127.15.2.1", 3);
        stored.insert("mac", mac);
        f->loadCameras({stored});
        panel->addDiscovered({found, QString(), "URSA Broadcast G2", "8.6", true});
        auto* results = panel->findChild<QListWidget*>("discoveredList");
        QCOMPARE(results->item(0)->text(), found + "  —  URSA Broadcast G2 [8.6]");
        // Not in the ARP table when it was found; asked again on adding.
        f->network.macs.insert(found, mac);
        if (alreadyThere)
            f->manager->relocateCamera("a", found);

        QSignalSpy listChanged(f->manager.get(), &CameraManager::cameraListChanged);
        results->setCurrentRow(0);
        QTest::mouseClick(button(panel.get(), "addDiscoveredButton"), Qt::LeftButton);
        QCOMPARE(f->boxes.shown.size(), 1);
        QCOMPARE(f->boxes.shown.first().title, "Camera Relinked");
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
