#include "CameraApi.h"
#include "CameraSimulator.h"
#include "FakeSwitcher.h"
#include "SwitcherManager.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <thread>

namespace {

// Program and preview tally of every input, as "1:P 2:- 3:V".
QString tallies(const SwitcherManager& switcher)
{
    QStringList result;
    for (const SwitcherInput& input : switcher.inputs())
        result << QString("%1:%2").arg(input.inputId).arg(input.programTally ? "P" : input.previewTally ? "V" : "-");
    return result.join(' ');
}

// Runs one SDK notification on a thread of its own, as the SDK does.
template <typename Callback, typename Event>
void notifyFromSdkThread(Callback* callback, Event event)
{
    std::thread([callback, event] { callback->Notify(event); }).join();
}

} // namespace

class TestSwitcherManager : public QObject {
    Q_OBJECT

private:
    CameraSimulator m_cameras[3] = {CameraSimulator("URSA Broadcast G2"), CameraSimulator("Studio Camera 4K Pro G2"),
                                    CameraSimulator("PYXIS 6K")};
    QList<Camera> m_list;
    CameraApi m_api;
    std::unique_ptr<SwitcherManager> m_virtual;

    // The program feed display requests a camera received, as method and body.
    QStringList feed(int camera) const
    {
        QStringList result;
        for (const SimulatedRequest& request : m_cameras[camera].requests()) {
            if (request.endpoint == QLatin1String("camera/programFeedDisplay"))
                result << QString::fromUtf8(request.method + ' ' + request.body);
        }
        return result;
    }
    const QString on = R"(PUT {"enabled":true})", off = R"(PUT {"enabled":false})";

private slots:
    void initTestCase()
    {
        for (int n = 0; n < 3; ++n) {
            QVERIFY(m_cameras[n].listen());
            Camera camera;
            camera.id = camera.name = QStringLiteral("Camera %1").arg(n + 1);
            camera.ip = m_cameras[n].hostAndPort();
            camera.oscIndex = n + 1;
            m_list << camera;
        }
    }
    // A virtual switcher whose inputs are the three simulated cameras.
    void init()
    {
        for (CameraSimulator& camera : m_cameras)
            camera.clearRequests();
        m_virtual = std::make_unique<SwitcherManager>();
        m_virtual->setApi(&m_api);
        m_virtual->startVirtual();
        m_virtual->setVirtualInputs(m_list);
    }

    // A program change switches the old camera's feed display off, then the new one's on;
    // nothing else sends a request.
    void virtualSwitcherCutsAndFollowsTheCameras()
    {
        QVERIFY(m_virtual->isConnected());
        QCOMPARE(m_virtual->productName(), QStringLiteral("Virtual Switcher"));
        const SwitcherInput second = m_virtual->inputs().at(1);
        QCOMPARE(QStringList({second.shortName, second.longName, second.cameraIp}),
                 QStringList({"CAM2", "Camera 2", m_cameras[1].hostAndPort()}));
        QCOMPARE(tallies(*m_virtual), "1:P 2:- 3:-");
        m_virtual->cut(); // nothing on preview: nothing to cut
        QCOMPARE(tallies(*m_virtual), "1:P 2:- 3:-");

        QSignalSpy tallyChanged(m_virtual.get(), &SwitcherManager::inputTallyChanged);
        m_virtual->setPreviewInput(3);
        QCOMPARE(tallies(*m_virtual), "1:P 2:- 3:V");
        m_virtual->cut();
        QCOMPARE(tallies(*m_virtual), "1:V 2:- 3:P");
        QCOMPARE(tallyChanged.size(), 5); // 3, then 1 and 3 twice: never input 2, whose tally stays off
        QTRY_COMPARE(feed(2), QStringList{on});
        QTRY_COMPARE(feed(0), QStringList{off});
        QVERIFY(m_cameras[0].requests().last().received <= m_cameras[2].requests().last().received);

        // Program unchanged: no request. The next real change proves nothing else was sent.
        m_virtual->setProgramInput(3);
        m_virtual->setProgramInput(2);
        QTRY_COMPARE(feed(1), QStringList{on});
        QTRY_COMPARE(feed(2), (QStringList{on, off}));
        QCOMPARE(feed(0), QStringList{off});
        QCOMPARE(tallies(*m_virtual), "1:V 2:P 3:-");

        // Removing the program camera moves program to the first camera, without a request.
        QSignalSpy programChanged(m_virtual.get(), &SwitcherManager::programInputChanged);
        m_virtual->setVirtualInputs({m_list[0], m_list[2]});
        QCOMPARE(tallies(*m_virtual), "1:P 3:-");
        QCOMPARE(programChanged.size(), 0);
        m_virtual->setProgramInput(3);
        QTRY_COMPARE(feed(2), (QStringList{on, off, on}));
        QTRY_COMPARE(feed(0), (QStringList{off, off}));
        QCOMPARE(feed(1), QStringList{on});
        m_virtual->setTallyEnabled(false, true);
        QCOMPARE(tallies(*m_virtual), "1:V 3:-");

        m_virtual->stopVirtual();
        QVERIFY(!m_virtual->isConnected());
        QVERIFY(m_virtual->inputs().isEmpty());
    }

    void connectFailuresCarryTheirReason_data()
    {
        QTest::addColumn<uint>("code");    // 0: the switcher runtime itself is missing
        QTest::addColumn<QString>("reason");
#ifndef KOVRA_SWITCHER_SDK
        // Nothing installed on the machine is reached without the SDK's own declarations.
        QTest::newRow("built without the SDK") << 0u
            << "ATEM switchers are not supported by this build.\nIt was built without the ATEM switcher SDK.";
#endif
        QTest::newRow("cfnr") << uint(fourCharCode("cfnr")) << "No response from switcher at 10.1.1.20";
        QTest::newRow("cfif") << uint(fourCharCode("cfif")) << "Incompatible firmware on switcher";
        QTest::newRow("cfcd") << uint(fourCharCode("cfcd")) << "Corrupt data from switcher";
        QTest::newRow("cfss") << uint(fourCharCode("cfss")) << "State sync failed";
        QTest::newRow("cfst") << uint(fourCharCode("cfst")) << "State sync timed out";
        QTest::newRow("other") << uint(fourCharCode("zzzz")) << QString("Connection failed (reason %1)").arg(fourCharCode("zzzz"));
    }
    void connectFailuresCarryTheirReason()
    {
        QFETCH(uint, code);
        QFETCH(QString, reason);
        FakeDiscovery discovery;
        discovery.failureCode = code;
        const SwitcherManager::DiscoveryFactory fake = [&discovery] { discovery.AddRef(); return &discovery; };
        SwitcherManager manager(nullptr, code ? fake : CreateBMDSwitcherDiscoveryInstance);
        QCOMPARE(manager.isSDKAvailable(), code != 0);
        QSignalSpy failed(&manager, &SwitcherManager::connectionFailed);
        QSignalSpy updated(&manager, &SwitcherManager::stateUpdated);
        manager.connectTo(QStringLiteral("10.1.1.20"));
        QCOMPARE(manager.connectionState(), int(SwitcherManager::Connecting));
        QVERIFY(failed.wait());
        // A view refreshing on updates must not keep showing "connecting".
        QCOMPARE(updated.size(), 2);
        QCOMPARE(failed.first().first().toString(), reason);
        QCOMPARE(discovery.requestedAddress, std::string(code ? "10.1.1.20" : ""));
        QCOMPARE(manager.connectionState(), int(SwitcherManager::Disconnected));
        QCOMPARE(discovery.references.load(), 1);
    }

    void aConnectionAnsweredAfterDisconnectIsDropped()
    {
        FakeSwitcher switcher;
        FakeDiscovery discovery;
        discovery.switcher = &switcher;
        std::promise<void> ready;
        discovery.answer = ready.get_future().share();
        SwitcherManager manager(nullptr, [&discovery] { discovery.AddRef(); return &discovery; });
        QSignalSpy connected(&manager, &SwitcherManager::connected);
        manager.connectTo(QStringLiteral("10.1.1.20"));
        manager.disconnect();
        ready.set_value();
        // The reference the late answer carries is given back, and nothing else happens.
        QTRY_VERIFY(discovery.answered);
        QTRY_COMPARE(switcher.references.load(), 1);
        QCOMPARE(connected.size(), 0);
        QCOMPARE(manager.connectionState(), int(SwitcherManager::Disconnected));
    }

    void hardwareSwitcherIsEnumeratedAndFollowed()
    {
        FakeSwitcher switcher;
        switcher.inputs.push_back(std::make_unique<FakeInput>(1, "CAM1", "Camera 1"));
        switcher.inputs.push_back(std::make_unique<FakeInput>(2, "CAM2", "Camera 2"));
        switcher.inputs.push_back(std::make_unique<FakeInput>(1000, "BARS", "Color Bars"));
        switcher.inputs[0]->programTallied = true;
        switcher.inputs[1]->previewTallied = true;
        switcher.block->program = 1;
        switcher.block->preview = 2;
        switcher.block->tally = 0x1;
        FakeDiscovery discovery;
        discovery.switcher = &switcher;
        auto manager = std::make_unique<SwitcherManager>(nullptr, [&discovery] { discovery.AddRef(); return &discovery; });
        QVERIFY(manager->isSDKAvailable());
        // Connecting leaves the virtual switcher, so that a later disconnect gives everything back.
        manager->startVirtual();
        QSignalSpy connected(manager.get(), &SwitcherManager::connected);
        manager->connectTo(QStringLiteral("10.1.1.20"));
        QVERIFY(!manager->isVirtual());
        QVERIFY(connected.wait());
        QCOMPARE(connected.first().first().toString(), QStringLiteral("ATEM Television Studio HD8"));
        QCOMPARE(manager->address(), QStringLiteral("10.1.1.20"));
        QCOMPARE(QList<qint64>({manager->programInput(), manager->previewInput()}), QList<qint64>({1, 2}));
        QVERIFY(manager->programTallyEnabled() && !manager->previewTallyEnabled());
        const SwitcherInput bars = manager->inputs().at(2);
        QCOMPARE(QStringList({bars.shortName, bars.longName, bars.cameraIp}), QStringList({"BARS", "Color Bars", ""}));
        QCOMPARE(tallies(*manager), "1:P 2:V 1000:-");

        // Notifications arrive on an SDK thread; the manager handles them on its own.
        QThread* handledOn = nullptr;
        connect(manager.get(), &SwitcherManager::programInputChanged, this, [&handledOn] { handledOn = QThread::currentThread(); });
        QSignalSpy tallyChanged(manager.get(), &SwitcherManager::inputTallyChanged);
        switcher.block->program = 2;
        notifyFromSdkThread(switcher.block->callbacks.attached.front(), bmdSwitcherMixEffectBlockEventTypeProgramInputChanged);
        switcher.block->preview = 1000;
        notifyFromSdkThread(switcher.block->callbacks.attached.front(), bmdSwitcherMixEffectBlockEventTypePreviewInputChanged);
        switcher.inputs[1]->programTallied = true;
        switcher.inputs[1]->previewTallied = false;
        notifyFromSdkThread(switcher.inputs[1]->callbacks.attached.front(), bmdSwitcherInputEventTypeIsProgramTalliedChanged);
        notifyFromSdkThread(switcher.inputs[1]->callbacks.attached.front(), BMDSwitcherInputEventType(fourCharCode("xxxx")));
        QTRY_COMPARE(tallyChanged.size(), 1);
        QCOMPARE(tallyChanged.first(), (QVariantList{qint64(2), true, false}));
        QCOMPARE(QList<qint64>({manager->programInput(), manager->previewInput()}), QList<qint64>({2, 1000}));
        QCOMPARE(handledOn, QThread::currentThread());

        // Requests go to the switcher; its notifications, not the request, change the state.
        manager->setProgramInput(1000);
        QCOMPARE(switcher.block->requestedProgram, std::vector<BMDSwitcherInputId>{1000});
        QCOMPARE(manager->programInput(), 2);
        manager->setTallyEnabled(true, true);
        QCOMPARE(switcher.block->tally, 0x3u);
        switcher.block->refuseSets = true;
        QTest::ignoreMessage(QtWarningMsg, "ATEM: Failed to set preview input to 1");
        manager->setPreviewInput(1);
        QTest::ignoreMessage(QtWarningMsg, "ATEM: Failed to set tally config");
        manager->setTallyEnabled(false, false);
        QVERIFY(manager->programTallyEnabled());

        // The switcher goes away: everything the manager took is given back exactly once.
        QSignalSpy disconnected(manager.get(), &SwitcherManager::disconnected);
        notifyFromSdkThread(switcher.callbacks.attached.front(), bmdSwitcherEventTypeDisconnected);
        QVERIFY(disconnected.wait());
        QVERIFY(manager->inputs().isEmpty());
        QVERIFY(switcher.callbacks.releasedOnce());
        QVERIFY(switcher.block->callbacks.releasedOnce());
        for (auto& input : switcher.inputs) {
            QVERIFY(input->callbacks.releasedOnce());
            QCOMPARE(input->references.load(), 1);
        }
        QCOMPARE(switcher.block->references.load(), 1);
        QCOMPARE(discovery.references.load(), 1);
        for (auto& iterator : switcher.iterators)
            QCOMPARE(iterator->references.load(), 0);
        manager.reset();
        QCOMPARE(switcher.references.load(), 1);
    }

    void callbacksFollowTheComRules()
    {
        auto* callback = new SwitcherManager::InputCallback(m_virtual.get(), 4);
        void* object = nullptr;
        QCOMPARE(callback->QueryInterface(IID_IBMDSwitcherInputCallback, &object), S_OK);
        QCOMPARE(object, static_cast<void*>(static_cast<IBMDSwitcherInputCallback*>(callback)));
        QCOMPARE(callback->QueryInterface(IID_IBMDSwitcherCallback, &object), E_NOINTERFACE);
        QCOMPARE(object, nullptr);
        QCOMPARE(callback->QueryInterface(IID_IBMDSwitcherInputCallback, nullptr), E_POINTER);
        QCOMPARE(callback->Release(), 1u);
        QCOMPARE(callback->Release(), 0u);
    }
};

QTEST_GUILESS_MAIN(TestSwitcherManager)
#include "tst_switchermanager.moc"
