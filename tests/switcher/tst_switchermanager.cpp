#include "CameraApi.h"
#include "CameraSimulator.h"
#include "FakeSwitcher.h"
#include "SwitcherManager.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <thread>

namespace {

Camera camera(const QString& name, const QString& ip, int oscIndex)
{
    Camera c;
    c.id = name;
    c.name = name;
    c.ip = ip;
    c.oscIndex = oscIndex;
    return c;
}

QList<SimulatedRequest> feedRequests(const CameraSimulator& simulator)
{
    QList<SimulatedRequest> result;
    for (const SimulatedRequest& request : simulator.requests()) {
        if (request.endpoint == QLatin1String("camera/programFeedDisplay"))
            result << request;
    }
    return result;
}

// Runs one SDK notification on a thread of its own, as the SDK does.
template <typename Callback, typename Event>
void notifyFromSdkThread(Callback* callback, Event event)
{
    std::thread([callback, event] { callback->Notify(event); }).join();
}

struct Tally {
    qint64 id;
    bool program;
    bool preview;
    bool operator==(const Tally& other) const
    {
        return id == other.id && program == other.program && preview == other.preview;
    }
};

QList<Tally> tallies(const QList<SwitcherInput>& inputs)
{
    QList<Tally> result;
    for (const SwitcherInput& input : inputs)
        result << Tally{input.inputId, input.programTally, input.previewTally};
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Tally)

class TestSwitcherManager : public QObject {
    Q_OBJECT

private:
    // Three simulated cameras and a virtual switcher built from them.
    struct VirtualRig {
        CameraSimulator first{QStringLiteral("URSA Broadcast G2")};
        CameraSimulator second{QStringLiteral("Studio Camera 4K Pro G2")};
        CameraSimulator third{QStringLiteral("PYXIS 6K")};
        CameraApi api;
        SwitcherManager switcher;
        QList<Camera> cameras;

        bool start()
        {
            if (!first.listen() || !second.listen() || !third.listen())
                return false;
            cameras = {camera("One", first.hostAndPort(), 1), camera("Two", second.hostAndPort(), 2),
                       camera("Three", third.hostAndPort(), 3)};
            switcher.setApi(&api);
            switcher.startVirtual();
            switcher.setVirtualInputs(cameras);
            return true;
        }
    };

private slots:
    void withoutTheRuntimeOnlyTheVirtualSwitcherExists()
    {
        SwitcherManager manager;
        QVERIFY(!manager.isSDKAvailable());
        QSignalSpy failed(&manager, &SwitcherManager::connectionFailed);
        QSignalSpy updated(&manager, &SwitcherManager::stateUpdated);
        manager.connectTo(QStringLiteral("10.1.1.20"));
        QCOMPARE(manager.connectionState(), int(SwitcherManager::Connecting));
        QVERIFY(failed.wait());
        QCOMPARE(failed.first().first().toString(), SwitcherManager::runtimeMissingReason());
#ifndef KOVRA_SWITCHER_SDK
        // Nothing installed on the machine is reached without the SDK's own declarations.
        QCOMPARE(failed.first().first().toString(),
                 QStringLiteral("ATEM switchers are not supported by this build.\nIt was built without the ATEM switcher SDK."));
#endif
        QCOMPARE(manager.connectionState(), int(SwitcherManager::Disconnected));
        QCOMPARE(updated.size(), 1); // the connecting step only
    }

    void virtualSwitcherStartsOnTheFirstCamera()
    {
        VirtualRig rig;
        QSignalSpy tallyChanged(&rig.switcher, &SwitcherManager::inputTallyChanged);
        QVERIFY(rig.start());
        QVERIFY(rig.switcher.isConnected());
        QCOMPARE(rig.switcher.productName(), QStringLiteral("Virtual Switcher"));
        QCOMPARE(rig.switcher.programInput(), 1);
        QCOMPARE(rig.switcher.previewInput(), -1);
        const QList<SwitcherInput> inputs = rig.switcher.inputs();
        QCOMPARE(inputs.size(), 3);
        QCOMPARE(inputs[1].shortName, QStringLiteral("CAM2"));
        QCOMPARE(inputs[1].longName, QStringLiteral("Two"));
        QCOMPARE(inputs[1].cameraIp, rig.second.hostAndPort());
        QCOMPARE(tallies(inputs), (QList<Tally>{{1, true, false}, {2, false, false}, {3, false, false}}));
        QCOMPARE(tallyChanged.size(), 1);
        QCOMPARE(tallyChanged.first().first().toLongLong(), 1);
    }

    void programChangesSwitchTheFeedDisplayOffThenOn()
    {
        VirtualRig rig;
        QVERIFY(rig.start());
        QSignalSpy programChanged(&rig.switcher, &SwitcherManager::programInputChanged);
        rig.switcher.setProgramInput(2);
        QTRY_COMPARE(feedRequests(rig.second).size(), 1);
        QTRY_COMPARE(feedRequests(rig.first).size(), 1);
        const SimulatedRequest off = feedRequests(rig.first).first();
        const SimulatedRequest on = feedRequests(rig.second).first();
        QCOMPARE(off.method, QByteArray("PUT"));
        QCOMPARE(off.body, QByteArray(R"({"enabled":false})"));
        QCOMPARE(on.body, QByteArray(R"({"enabled":true})"));
        QVERIFY(off.received <= on.received);
        QCOMPARE(rig.second.endpointValue(QStringLiteral("camera/programFeedDisplay")).toObject().value("enabled"), true);
        QCOMPARE(programChanged.size(), 1);
        QCOMPARE(tallies(rig.switcher.inputs()), (QList<Tally>{{1, false, false}, {2, true, false}, {3, false, false}}));

        // Program unchanged: no request. The next real change proves nothing else was sent.
        rig.switcher.setProgramInput(2);
        rig.switcher.setProgramInput(3);
        QTRY_COMPARE(feedRequests(rig.third).size(), 1);
        QTRY_COMPARE(feedRequests(rig.second).size(), 2);
        QCOMPARE(feedRequests(rig.second).last().body, QByteArray(R"({"enabled":false})"));
        QCOMPARE(feedRequests(rig.first).size(), 1);
        QCOMPARE(programChanged.size(), 3);
    }

    void cutSwapsProgramAndPreview()
    {
        VirtualRig rig;
        QVERIFY(rig.start());
        rig.switcher.cut();
        QCOMPARE(rig.switcher.programInput(), 1);
        QCOMPARE(rig.switcher.previewInput(), -1);

        rig.switcher.setPreviewInput(3);
        QCOMPARE(tallies(rig.switcher.inputs()), (QList<Tally>{{1, true, false}, {2, false, false}, {3, false, true}}));
        rig.switcher.cut();
        QCOMPARE(rig.switcher.programInput(), 3);
        QCOMPARE(rig.switcher.previewInput(), 1);
        QCOMPARE(tallies(rig.switcher.inputs()), (QList<Tally>{{1, false, true}, {2, false, false}, {3, true, false}}));
        QTRY_COMPARE(feedRequests(rig.third).size(), 1);
        QTRY_COMPARE(feedRequests(rig.first).size(), 1);
        QCOMPARE(feedRequests(rig.first).first().body, QByteArray(R"({"enabled":false})"));
        QCOMPARE(feedRequests(rig.third).first().body, QByteArray(R"({"enabled":true})"));

        rig.switcher.setTallyEnabled(false, true);
        QCOMPARE(tallies(rig.switcher.inputs()), (QList<Tally>{{1, false, true}, {2, false, false}, {3, false, false}}));
    }

    void removingTheProgramCameraMovesProgramWithoutRequests()
    {
        VirtualRig rig;
        QVERIFY(rig.start());
        rig.switcher.setProgramInput(2);
        QTRY_COMPARE(feedRequests(rig.second).size(), 1);
        QTRY_COMPARE(feedRequests(rig.first).size(), 1);

        QSignalSpy programChanged(&rig.switcher, &SwitcherManager::programInputChanged);
        rig.switcher.setVirtualInputs({rig.cameras[0], rig.cameras[2]});
        QCOMPARE(rig.switcher.programInput(), 1);
        QCOMPARE(programChanged.size(), 0);
        QCOMPARE(tallies(rig.switcher.inputs()), (QList<Tally>{{1, true, false}, {3, false, false}}));
        // A later change shows nothing was sent for the move.
        rig.switcher.setProgramInput(3);
        QTRY_COMPARE(feedRequests(rig.third).size(), 1);
        QTRY_COMPARE(feedRequests(rig.first).size(), 2);
        QCOMPARE(feedRequests(rig.first).last().body, QByteArray(R"({"enabled":false})"));
        QCOMPARE(feedRequests(rig.second).size(), 1);

        QSignalSpy disconnected(&rig.switcher, &SwitcherManager::disconnected);
        rig.switcher.stopVirtual();
        QCOMPARE(disconnected.size(), 1);
        QVERIFY(!rig.switcher.isVirtual());
        QVERIFY(rig.switcher.inputs().isEmpty());
        QCOMPARE(rig.switcher.programInput(), -1);
    }

    void connectFailuresCarryTheirReason_data()
    {
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("reason");
        QTest::newRow("cfnr") << uint(fourCharCode("cfnr")) << "No response from switcher at 10.1.1.20";
        QTest::newRow("cfif") << uint(fourCharCode("cfif")) << "Incompatible firmware on switcher";
        QTest::newRow("cfcd") << uint(fourCharCode("cfcd")) << "Corrupt data from switcher";
        QTest::newRow("cfss") << uint(fourCharCode("cfss")) << "State sync failed";
        QTest::newRow("cfst") << uint(fourCharCode("cfst")) << "State sync timed out";
        QTest::newRow("other") << uint(fourCharCode("zzzz")) << QStringLiteral("Connection failed (reason %1)").arg(fourCharCode("zzzz"));
    }
    void connectFailuresCarryTheirReason()
    {
        QFETCH(uint, code);
        QFETCH(QString, reason);
        FakeDiscovery discovery;
        discovery.failureCode = code;
        SwitcherManager manager(nullptr, [&discovery] { discovery.AddRef(); return &discovery; });
        QSignalSpy failed(&manager, &SwitcherManager::connectionFailed);
        QSignalSpy updated(&manager, &SwitcherManager::stateUpdated);
        manager.connectTo(QStringLiteral("10.1.1.20"));
        QVERIFY(failed.wait());
        QCOMPARE(failed.first().first().toString(), reason);
        QCOMPARE(discovery.requestedAddress, std::string("10.1.1.20"));
        QCOMPARE(manager.connectionState(), int(SwitcherManager::Disconnected));
        QCOMPARE(updated.size(), 2);
        QCOMPARE(discovery.references.load(), 1);
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
        QSignalSpy enumerated(manager.get(), &SwitcherManager::inputsEnumerated);
        manager->connectTo(QStringLiteral("10.1.1.20"));
        QVERIFY(!manager->isVirtual());
        QVERIFY(connected.wait());
        QCOMPARE(connected.first().first().toString(), QStringLiteral("ATEM Television Studio HD8"));
        QCOMPARE(enumerated.size(), 1);
        QCOMPARE(manager->address(), QStringLiteral("10.1.1.20"));
        QCOMPARE(manager->programInput(), 1);
        QCOMPARE(manager->previewInput(), 2);
        QVERIFY(manager->programTallyEnabled());
        QVERIFY(!manager->previewTallyEnabled());
        const QList<SwitcherInput> inputs = manager->inputs();
        QCOMPARE(inputs.size(), 3);
        QCOMPARE(inputs[2].inputId, 1000);
        QCOMPARE(inputs[2].shortName, QStringLiteral("BARS"));
        QCOMPARE(inputs[2].longName, QStringLiteral("Color Bars"));
        QVERIFY(inputs[2].cameraIp.isEmpty());
        QCOMPARE(tallies(inputs), (QList<Tally>{{1, true, false}, {2, false, true}, {1000, false, false}}));

        // Notifications arrive on an SDK thread; the manager handles them on its own.
        QThread* handledOn = nullptr;
        connect(manager.get(), &SwitcherManager::programInputChanged, this, [&handledOn] { handledOn = QThread::currentThread(); });
        QSignalSpy programChanged(manager.get(), &SwitcherManager::programInputChanged);
        QSignalSpy previewChanged(manager.get(), &SwitcherManager::previewInputChanged);
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
        QCOMPARE(programChanged.size(), 1);
        QCOMPARE(programChanged.first().first().toLongLong(), 2);
        QCOMPARE(handledOn, QThread::currentThread());
        QCOMPARE(previewChanged.first().first().toLongLong(), 1000);
        QCOMPARE(manager->previewInput(), 1000);
        QCOMPARE(tallyChanged.first().at(0).toLongLong(), 2);
        QCOMPARE(tallyChanged.first().at(1).toBool(), true);
        QCOMPARE(tallyChanged.first().at(2).toBool(), false);

        // Requests go to the switcher; its notifications, not the request, change the state.
        manager->setProgramInput(1000);
        QCOMPARE(switcher.block->requestedProgram, std::vector<BMDSwitcherInputId>{1000});
        QCOMPARE(manager->programInput(), 2);
        manager->setTallyEnabled(true, true);
        QCOMPARE(switcher.block->tally, 0x3u);
        QVERIFY(manager->previewTallyEnabled());
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
        QCOMPARE(manager->connectionState(), int(SwitcherManager::Disconnected));
        QVERIFY(manager->inputs().isEmpty());
        QCOMPARE(manager->programInput(), -1);
        QVERIFY(switcher.callbacks.attached.empty());
        QVERIFY(switcher.block->callbacks.attached.empty());
        QCOMPARE(switcher.callbacks.releaseDetached(), std::vector<ULONG>{1});
        QCOMPARE(switcher.block->callbacks.releaseDetached(), std::vector<ULONG>{1});
        for (auto& input : switcher.inputs) {
            QVERIFY(input->callbacks.attached.empty());
            QCOMPARE(input->callbacks.releaseDetached(), std::vector<ULONG>{1});
            QCOMPARE(input->references.load(), 1);
        }
        QCOMPARE(switcher.references.load(), 1);
        QCOMPARE(switcher.block->references.load(), 1);
        QCOMPARE(discovery.references.load(), 1);
        for (auto& iterator : switcher.inputIterators)
            QCOMPARE(iterator->references.load(), 0);
        for (auto& iterator : switcher.blockIterators)
            QCOMPARE(iterator->references.load(), 0);
        manager.reset();
        QCOMPARE(switcher.references.load(), 1);
    }

    void callbacksFollowTheComRules()
    {
        SwitcherManager manager;
        auto* callback = new SwitcherManager::InputCallback(&manager, 4);
        void* object = nullptr;
        QCOMPARE(callback->QueryInterface(IID_IBMDSwitcherInputCallback, &object), S_OK);
        QCOMPARE(object, static_cast<void*>(static_cast<IBMDSwitcherInputCallback*>(callback)));
        QCOMPARE(callback->QueryInterface(IID_IBMDSwitcherCallback, &object), E_NOINTERFACE);
        QCOMPARE(object, nullptr);
        QCOMPARE(callback->QueryInterface(IID_IBMDSwitcherInputCallback, nullptr), E_POINTER);
        QCOMPARE(callback->AddRef(), 3u);
        QCOMPARE(callback->Release(), 2u);
        QCOMPARE(callback->Notify(BMDSwitcherInputEventType(0)), S_OK);
        QCOMPARE(callback->Release(), 1u);
        QCOMPARE(callback->Release(), 0u);

        auto* mixEffect = new SwitcherManager::MixEffectCallback(&manager, nullptr);
        QCOMPARE(mixEffect->QueryInterface(IID_IBMDSwitcherMixEffectBlockCallback, &object), S_OK);
        QCOMPARE(mixEffect->QueryInterface(IID_IBMDSwitcherInputCallback, &object), E_NOINTERFACE);
        QCOMPARE(mixEffect->Release(), 1u);
        QCOMPARE(mixEffect->Release(), 0u);
    }
};

QTEST_GUILESS_MAIN(TestSwitcherManager)
#include "tst_switchermanager.moc"
