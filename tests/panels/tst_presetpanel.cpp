#include "CameraApi.h"
#include "PanelFixture.h"
#include "PresetPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

#include <optional>

namespace {

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

// Types the text as key presses, letters beyond ASCII included.
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QList<QByteArray> writes(const CameraSimulator* simulator)
{
    QList<QByteArray> result;
    for (const SimulatedRequest& request : simulator->requests()) {
        if (request.method != "GET")
            result << request.method + ' ' + request.endpoint.toUtf8();
    }
    return result;
}

}

// The Presets tab over one simulated camera.
class TestPresetPanel : public QObject {
    Q_OBJECT

    std::optional<PanelFixture> f;
    std::unique_ptr<PresetPanel> panel;
    CameraSimulator* simulator = nullptr;
    QListWidget* list = nullptr;
    QLabel* active = nullptr;

    QPushButton* button(const QString& text)
    {
        for (QPushButton* candidate : panel->findChildren<QPushButton*>()) {
            if (candidate->text() == text)
                return candidate;
        }
        return nullptr;
    }
    void select(const QString& shown)
    {
        const QList<QListWidgetItem*> items = list->findItems(shown, Qt::MatchStartsWith);
        QVERIFY(!items.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
    }

private slots:
    // A camera that is not swept (disconnected by hand), so that every preset request the
    // simulator sees comes from the panel.
    void init()
    {
        f.emplace();
        simulator = f->simulator();
        QVERIFY(simulator);
        f->loadCameras({PanelFixture::storedCamera("cam", "Cam 1", simulator->hostAndPort(), 1)});
        panel = std::make_unique<PresetPanel>(f->manager.get(), nullptr, &f->boxes);
        panel->resize(900, 600);
        panel->show();
        list = panel->findChild<QListWidget*>("presetList");
        active = panel->findChild<QLabel*>("activeLabel");
        panel->setCurrentCamera("cam");
        QTRY_COMPARE(texts(list), (QStringList{"Wide", "Interview"}));
        QTRY_COMPARE(active->text(), "Active: (none)");
        QVERIFY(!button("Recall")->isEnabled());
    }

    void cleanup()
    {
        panel.reset();
        f.reset();
    }

    void endpoints_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("slash") << "../system/format.cset" << "presets/..%2Fsystem%2Fformat.cset";
        QTest::newRow("percent, query, fragment, non-ASCII") << "Take #2? 100% Bühne.cset"
                                                             << "presets/Take%20%232%3F%20100%25%20B%C3%BChne.cset";
        QTest::newRow("parent folder") << ".." << "";
        QTest::newRow("this folder") << "." << "";
    }

    // What goes on the wire is one segment below presets/, whatever the name holds; names
    // that no URL keeps in the folder are not addressed at all.
    void endpoints()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, endpoint);
        QCOMPARE(PresetPanel::presetEndpoint(fileName), endpoint);
    }

    void save_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("blank") << "Stage Left" << "Stage Left.cset";
        QTest::newRow("suffix kept") << "Show.CSET" << "Show.CSET";
        QTest::newRow("query, fragment, percent, non-ASCII") << "Take #2? 100% Bühne" << "Take #2? 100% Bühne.cset";
    }

    // Return in the name field stores the preset on the camera under exactly that name; the
    // list re-read shows it.
    void save()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        auto* name = panel->findChild<QLineEdit*>("presetNameEdit");
        type(name, typed);
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(name->text().isEmpty());
        QTRY_COMPARE(simulator->presetNames(), (QStringList{"Wide.cset", "Interview.cset", stored}));
        QCOMPARE(writes(simulator), QList<QByteArray>{"PUT presets/" + stored.toUtf8()});
        QCOMPARE(simulator->requests().last().headers.value("content-type"), "application/octet-stream");
        QTRY_COMPARE(texts(list), (QStringList{"Wide", "Interview", PresetPanel::displayName(stored)}));
    }

    void failedSaveIsNotReread()
    {
        simulator->refuseEndpoint("presets/Broken.cset", CameraSimulator::Refusal::NotImplemented);
        QSignalSpy written(f->manager->api(), &CameraApi::putFinished);
        QSignalSpy requests(simulator, &CameraSimulator::requestReceived);
        auto* name = panel->findChild<QLineEdit*>("presetNameEdit");
        QTest::keyClicks(name, "Broken");
        QTest::mouseClick(button("Save"), Qt::LeftButton);
        QVERIFY(written.wait());
        QCOMPARE(written.first().at(2).toBool(), false);
        requests.clear();
        QVERIFY(!requests.wait(800));
    }

    // The selection survives a re-read that brings a changed list.
    void selectionKept()
    {
        select("Interview");
        QVERIFY(button("Recall")->isEnabled());
        simulator->setEndpointValue("presets", QJsonObject{{"presets", QJsonArray{"Close.cset", "Interview.cset"}}});
        QTest::mouseClick(button("Refresh"), Qt::LeftButton);
        QTRY_COMPARE(texts(list), (QStringList{"Close", "Interview"}));
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), "Interview.cset");
        QVERIFY(button("Delete")->isEnabled());
    }

    void questionsDefaultToNo_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QByteArray>("write");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("delete") << "Delete" << "Delete preset \"Interview\"? This cannot be undone."
                                << QByteArray("DELETE presets/Interview.cset") << QStringList{"Wide"};
        QTest::newRow("update") << "Update" << "Overwrite \"Interview\" with current camera settings?"
                                << QByteArray("PUT presets/Interview.cset") << QStringList{"Wide", "Interview"};
    }

    // Nothing reaches the camera unless the question is answered Yes.
    void questionsDefaultToNo()
    {
        QFETCH(QString, button);
        QFETCH(QString, question);
        QFETCH(QByteArray, write);
        QFETCH(QStringList, after);
        select("Interview");
        QSignalSpy requests(simulator, &CameraSimulator::requestReceived);
        QTest::mouseClick(this->button(button), Qt::LeftButton);
        QCOMPARE(f->boxes.shown.size(), 1);
        QCOMPARE(f->boxes.shown.first().text, question);
        QVERIFY(!requests.wait(500));

        f->boxes.answers = {true};
        QTest::mouseClick(this->button(button), Qt::LeftButton);
        QTRY_COMPARE(writes(simulator), QList<QByteArray>{write});
        QTRY_COMPARE(texts(list), after);
        QCOMPARE(f->boxes.titles().first(), button == "Delete" ? "Delete Preset" : "Overwrite Preset");
    }

    // Recalled here by double click, or from elsewhere (a MIDI trigger or OSC goes through
    // the manager), the preset shows as active once the camera confirms it.
    void activeMarking()
    {
        QListWidgetItem* interview = list->findItems("Interview", Qt::MatchExactly).value(0);
        QVERIFY(interview);
        // A widget's double click arrives as press, release, then the double click itself.
        const QPoint centre = list->visualItemRect(interview).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTRY_COMPARE(active->text(), "Active: Interview");
        QCOMPARE(simulator->requestBodies("PUT", "presets/active"), QList<QByteArray>{R"({"preset":"Interview.cset"})"});
        QCOMPARE(texts(list), (QStringList{"Wide", "Interview  ◀"}));
        QVERIFY(list->item(1)->font().weight() > list->item(0)->font().weight());

        f->manager->sendCommand("cam", "presets/active", QJsonObject{{"preset", "Wide.cset"}});
        QTRY_COMPARE(active->text(), "Active: Wide");
        QCOMPARE(texts(list), (QStringList{"Wide  ◀", "Interview"}));

        simulator->setEndpointValue("presets/active", QJsonObject{{"preset", "default"}});
        QTest::mouseClick(button("Refresh"), Qt::LeftButton);
        QTRY_COMPARE(active->text(), "Active: (none)");
        QCOMPARE(texts(list), (QStringList{"Wide", "Interview"}));
    }
};

QTEST_MAIN(TestPresetPanel)
#include "tst_presetpanel.moc"
