#pragma once

#include "Camera.h"
#include "SwitcherSdk.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class CameraApi;

struct SwitcherInput {
    qint64 inputId = 0;
    QString shortName;
    QString longName;
    QString cameraIp;
    bool programTally = false;
    bool previewTally = false;
};

// Program, preview and tally of a vision mixer: a hardware switcher reached through the
// vendor's SDK, or a virtual one whose inputs are the configured cameras. The camera that
// goes to program shows the program feed.
class SwitcherManager : public QObject {
    Q_OBJECT
public:
    enum ConnectionState { Disconnected = 0, Connecting = 1, Connected = 2 };
    using DiscoveryFactory = std::function<IBMDSwitcherDiscovery*()>;

    static QString runtimeMissingReason();
    static QString connectFailureReason(uint32_t failureCode, const QString& address);

    // The factory is where the SDK comes from; tests pass a stand-in switcher there.
    explicit SwitcherManager(QObject* parent = nullptr,
                             DiscoveryFactory discoveryFactory = CreateBMDSwitcherDiscoveryInstance);
    ~SwitcherManager() override;

    void setApi(CameraApi* api) { m_api = api; }

    bool isSDKAvailable() const;
    void connectTo(const QString& address);
    void disconnect();
    bool isConnected() const { return m_connectionState == Connected; }

    void startVirtual();
    void stopVirtual();
    void setVirtualInputs(const QList<Camera>& cameras);
    void updateVirtualTally();

    void setProgramInput(qint64 inputId);
    void setPreviewInput(qint64 inputId);
    void cut();
    void setTallyEnabled(bool program, bool preview);

    int connectionState() const { return m_connectionState; }
    QString address() const { return m_address; }
    QString productName() const { return m_productName; }
    QList<SwitcherInput> inputs() const { return m_inputs; }
    qint64 programInput() const { return m_programInput; }
    qint64 previewInput() const { return m_previewInput; }
    bool programTallyEnabled() const { return m_programTallyEnabled; }
    bool previewTallyEnabled() const { return m_previewTallyEnabled; }
    bool isVirtual() const { return m_virtualMode; }

    // The COM side shared by the callbacks: one interface, a reference count starting at 1.
    template <typename Interface, const BMDInterfaceId& interfaceId>
    class SdkCallback : public Interface {
    public:
        HRESULT QueryInterface(REFIID iid, void** object) override
        {
            if (!object)
                return E_POINTER;
            if (iid == interfaceId || iid == IID_IUnknown) {
                AddRef();
                *object = static_cast<Interface*>(this);
                return S_OK;
            }
            *object = nullptr;
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return ++m_references; }
        ULONG Release() override
        {
            const ULONG left = --m_references;
            if (left == 0)
                delete this;
            return left;
        }

    private:
        std::atomic<ULONG> m_references{1};
    };

    // SDK callbacks: each holds the manager and only posts queued calls to it.
    class SwitcherCallback : public SdkCallback<IBMDSwitcherCallback, IID_IBMDSwitcherCallback> {
    public:
        explicit SwitcherCallback(SwitcherManager* manager) : m_manager(manager) {}
        HRESULT Notify(BMDSwitcherEventType eventType) override;

    private:
        SwitcherManager* m_manager;
    };

    class MixEffectCallback
        : public SdkCallback<IBMDSwitcherMixEffectBlockCallback, IID_IBMDSwitcherMixEffectBlockCallback> {
    public:
        MixEffectCallback(SwitcherManager* manager, IBMDSwitcherMixEffectBlock* block)
            : m_manager(manager), m_block(block) {}
        HRESULT Notify(BMDSwitcherMixEffectBlockEventType eventType) override;

    private:
        SwitcherManager* m_manager;
        IBMDSwitcherMixEffectBlock* m_block;
    };

    class InputCallback : public SdkCallback<IBMDSwitcherInputCallback, IID_IBMDSwitcherInputCallback> {
    public:
        InputCallback(SwitcherManager* manager, qint64 inputId) : m_manager(manager), m_inputId(inputId) {}
        HRESULT Notify(BMDSwitcherInputEventType eventType) override;

    private:
        SwitcherManager* m_manager;
        qint64 m_inputId;
    };

signals:
    void connected(const QString& productName);
    void disconnected();
    void connectionFailed(const QString& reason);
    void programInputChanged(qint64 inputId);
    void previewInputChanged(qint64 inputId);
    void inputTallyChanged(qint64 inputId, bool program, bool preview);
    void inputsEnumerated();
    void stateUpdated();

public slots:
    void onMixEffectProgramChanged(qint64 inputId);
    void onMixEffectPreviewChanged(qint64 inputId);
    void onInputTallyChanged(qint64 inputId);
    void onSwitcherDisconnected();

private:
    void onConnectFinished(IBMDSwitcher* switcher, uint32_t failureCode, bool runtimeMissing);
    void enumerateInputs();
    void setupCallbacks();
    void teardownCallbacks();
    void sendProgramFeedDisplay(qint64 oldProgram, qint64 newProgram);
    void resetState();

    DiscoveryFactory m_discoveryFactory;
    CameraApi* m_api = nullptr;

    int m_connectionState = Disconnected;
    QString m_address;
    QString m_productName;
    QList<SwitcherInput> m_inputs;
    QHash<qint64, int> m_inputIndex;
    qint64 m_programInput = -1;
    qint64 m_previewInput = -1;
    bool m_programTallyEnabled = true;
    bool m_previewTallyEnabled = true;
    bool m_virtualMode = false;

    IBMDSwitcher* m_switcher = nullptr;
    IBMDSwitcherMixEffectBlock* m_mixEffectBlock = nullptr;
    SwitcherCallback* m_switcherCallback = nullptr;
    MixEffectCallback* m_mixEffectCallback = nullptr;
    QList<QPair<IBMDSwitcherInput*, InputCallback*>> m_inputCallbacks;
    // Bumped on every disconnect, so that a connection finishing late is dropped.
    quint64 m_connectGeneration = 0;
};
