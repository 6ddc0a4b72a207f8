#include "SwitcherManager.h"

#include "CameraApi.h"
#include "SwitcherLog.h"

#include <QJsonObject>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>

Q_LOGGING_CATEGORY(lcSwitcher, "kovra.switcher")

namespace {

constexpr int nameBufferSize = 512;

// The SDK's text through a fixed UTF-8 buffer, empty when the SDK has none.
QString sdkText(BMDSwitcherString text)
{
    if (!text)
        return QString();
    char buffer[nameBufferSize];
#ifdef KOVRA_SWITCHER_SDK
    if (!CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8))
        return QString();
#else
    qstrncpy(buffer, text, sizeof buffer);
#endif
    return QString::fromUtf8(buffer);
}

// Asks the discovery object to connect to the address, handed over as the SDK's string.
HRESULT connectDiscovery(IBMDSwitcherDiscovery* discovery, const QByteArray& utf8Address, IBMDSwitcher** switcher,
                         BMDSwitcherConnectToFailure* failure)
{
#ifdef KOVRA_SWITCHER_SDK
    const CFStringRef address = CFStringCreateWithCString(kCFAllocatorDefault, utf8Address.constData(),
                                                          kCFStringEncodingUTF8);
    const HRESULT result = discovery->ConnectTo(address, switcher, failure);
    CFRelease(address);
    return result;
#else
    return discovery->ConnectTo(utf8Address.constData(), switcher, failure);
#endif
}

} // namespace

QString SwitcherManager::runtimeMissingReason()
{
#ifdef KOVRA_SWITCHER_SDK
    return QStringLiteral("ATEM runtime not installed.\nInstall the ATEM Switcher Control software from Blackmagic Design.");
#else
    return QStringLiteral("ATEM switchers are not supported by this build.\nIt was built without the ATEM switcher SDK.");
#endif
}

QString SwitcherManager::connectFailureReason(uint32_t failureCode, const QString& address)
{
    switch (failureCode) {
    case bmdSwitcherConnectToFailureNoResponse: return QStringLiteral("No response from switcher at %1").arg(address);
    case bmdSwitcherConnectToFailureIncompatibleFirmware: return QStringLiteral("Incompatible firmware on switcher");
    case bmdSwitcherConnectToFailureCorruptData: return QStringLiteral("Corrupt data from switcher");
    case bmdSwitcherConnectToFailureStateSync: return QStringLiteral("State sync failed");
    case bmdSwitcherConnectToFailureStateSyncTimedOut: return QStringLiteral("State sync timed out");
    default: return QStringLiteral("Connection failed (reason %1)").arg(failureCode);
    }
}

SwitcherManager::SwitcherManager(QObject* parent, DiscoveryFactory discoveryFactory)
    : QObject(parent)
    , m_discoveryFactory(std::move(discoveryFactory))
{
}

SwitcherManager::~SwitcherManager()
{
    disconnect();
}

bool SwitcherManager::isSDKAvailable() const
{
    IBMDSwitcherDiscovery* discovery = m_discoveryFactory ? m_discoveryFactory() : nullptr;
    if (!discovery)
        return false;
    discovery->Release();
    return true;
}

void SwitcherManager::connectTo(const QString& address)
{
    // Out of virtual mode first, or disconnect() would later keep what this connection takes.
    stopVirtual();
    disconnect();
    m_address = address;
    m_connectionState = Connecting;
    emit stateUpdated();

    const quint64 generation = m_connectGeneration;
    const QByteArray utf8Address = address.toUtf8();
    const DiscoveryFactory factory = m_discoveryFactory;
    QPointer<SwitcherManager> self(this);
    QThreadPool::globalInstance()->start([self, generation, utf8Address, factory] {
        IBMDSwitcherDiscovery* discovery = factory ? factory() : nullptr;
        IBMDSwitcher* switcher = nullptr;
        BMDSwitcherConnectToFailure failure = BMDSwitcherConnectToFailure(0);
        bool connectedOk = false;
        if (discovery) {
            connectedOk = connectDiscovery(discovery, utf8Address, &switcher, &failure) == S_OK && switcher;
            discovery->Release();
        }
        const bool runtimeMissing = !discovery;
        const bool delivered = QMetaObject::invokeMethod(
            self.data(),
            [self, generation, switcher, failure, connectedOk, runtimeMissing] {
                // A disconnect or a newer connectTo made this outcome stale.
                if (!self || self->m_connectGeneration != generation) {
                    if (switcher)
                        switcher->Release();
                    return;
                }
                self->onConnectFinished(connectedOk ? switcher : nullptr, failure, runtimeMissing);
            },
            Qt::QueuedConnection);
        if (!delivered && switcher)
            switcher->Release();
    });
}

void SwitcherManager::onConnectFinished(IBMDSwitcher* switcher, uint32_t failureCode, bool runtimeMissing)
{
    if (runtimeMissing) {
        m_connectionState = Disconnected;
        emit connectionFailed(runtimeMissingReason());
        emit stateUpdated();
        return;
    }
    if (!switcher) {
        m_connectionState = Disconnected;
        emit connectionFailed(connectFailureReason(failureCode, m_address));
        emit stateUpdated();
        return;
    }
    m_switcher = switcher;
    m_connectionState = Connected;
    BMDSwitcherString name = nullptr;
    m_productName = m_switcher->GetProductName(&name) == S_OK ? sdkText(name) : QString();
    qCDebug(lcSwitcher) << "ATEM: Connected to" << m_productName << "at" << m_address;
    enumerateInputs();
    setupCallbacks();
    emit connected(m_productName);
    emit stateUpdated();
}

void SwitcherManager::enumerateInputs()
{
    m_inputs.clear();
    m_inputIndex.clear();
    if (!m_switcher)
        return;
    IBMDSwitcherInputIterator* inputs = nullptr;
    if (m_switcher->CreateIterator(IID_IBMDSwitcherInputIterator, reinterpret_cast<void**>(&inputs)) == S_OK && inputs) {
        IBMDSwitcherInput* input = nullptr;
        while (inputs->Next(&input) == S_OK && input) {
            SwitcherInput record;
            BMDSwitcherInputId id = 0;
            input->GetInputId(&id);
            record.inputId = id;
            BMDSwitcherString text = nullptr;
            record.shortName = input->GetShortName(&text) == S_OK ? sdkText(text) : QString();
            text = nullptr;
            record.longName = input->GetLongName(&text) == S_OK ? sdkText(text) : QString();
            bool tallied = false;
            record.programTally = input->IsProgramTallied(&tallied) == S_OK && tallied;
            tallied = false;
            record.previewTally = input->IsPreviewTallied(&tallied) == S_OK && tallied;
            auto* callback = new InputCallback(this, id);
            input->AddCallback(callback);
            m_inputCallbacks.append({input, callback});
            m_inputIndex.insert(id, int(m_inputs.size()));
            m_inputs.append(record);
            input = nullptr;
        }
        inputs->Release();
    }

    IBMDSwitcherMixEffectBlockIterator* blocks = nullptr;
    if (m_switcher->CreateIterator(IID_IBMDSwitcherMixEffectBlockIterator, reinterpret_cast<void**>(&blocks)) == S_OK
        && blocks) {
        IBMDSwitcherMixEffectBlock* block = nullptr;
        if (blocks->Next(&block) == S_OK && block)
            m_mixEffectBlock = block;
        blocks->Release();
    }
    if (m_mixEffectBlock) {
        BMDSwitcherInputId id = -1;
        m_programInput = m_mixEffectBlock->GetProgramInput(&id) == S_OK ? id : -1;
        id = -1;
        m_previewInput = m_mixEffectBlock->GetPreviewInput(&id) == S_OK ? id : -1;
        BMDSwitcherTallyConfiguration tally = 0;
        if (m_mixEffectBlock->GetTallyConfiguration(&tally) == S_OK) {
            m_programTallyEnabled = tally & 0x1;
            m_previewTallyEnabled = tally & 0x2;
        }
    }
    qCDebug(lcSwitcher) << "ATEM: Enumerated" << m_inputs.size() << "inputs" << "PGM=" << m_programInput
                        << "PVW=" << m_previewInput;
    emit inputsEnumerated();
}

void SwitcherManager::setupCallbacks()
{
    if (!m_switcher)
        return;
    m_switcherCallback = new SwitcherCallback(this);
    m_switcher->AddCallback(m_switcherCallback);
    if (m_mixEffectBlock) {
        m_mixEffectCallback = new MixEffectCallback(this, m_mixEffectBlock);
        m_mixEffectBlock->AddCallback(m_mixEffectCallback);
    }
}

void SwitcherManager::teardownCallbacks()
{
    if (m_mixEffectCallback) {
        if (m_mixEffectBlock)
            m_mixEffectBlock->RemoveCallback(m_mixEffectCallback);
        m_mixEffectCallback->Release();
        m_mixEffectCallback = nullptr;
    }
    for (const auto& [input, callback] : std::as_const(m_inputCallbacks)) {
        input->RemoveCallback(callback);
        callback->Release();
        input->Release();
    }
    m_inputCallbacks.clear();
    if (m_switcherCallback) {
        if (m_switcher)
            m_switcher->RemoveCallback(m_switcherCallback);
        m_switcherCallback->Release();
        m_switcherCallback = nullptr;
    }
}

void SwitcherManager::resetState()
{
    m_connectionState = Disconnected;
    m_address.clear();
    m_productName.clear();
    m_inputs.clear();
    m_inputIndex.clear();
    m_programInput = -1;
    m_previewInput = -1;
    m_programTallyEnabled = true;
    m_previewTallyEnabled = true;
    m_virtualMode = false;
}

void SwitcherManager::disconnect()
{
    if (m_virtualMode)
        return;
    ++m_connectGeneration;
    teardownCallbacks();
    if (m_mixEffectBlock) {
        m_mixEffectBlock->Release();
        m_mixEffectBlock = nullptr;
    }
    if (m_switcher) {
        m_switcher->Release();
        m_switcher = nullptr;
    }
    const bool wasConnected = m_connectionState == Connected;
    resetState();
    if (wasConnected) {
        emit disconnected();
        emit stateUpdated();
    }
}

void SwitcherManager::onMixEffectProgramChanged(qint64 inputId)
{
    m_programInput = inputId;
    qCDebug(lcSwitcher) << "ATEM: Program input changed to" << inputId;
    emit programInputChanged(inputId);
    emit stateUpdated();
}

void SwitcherManager::onMixEffectPreviewChanged(qint64 inputId)
{
    m_previewInput = inputId;
    qCDebug(lcSwitcher) << "ATEM: Preview input changed to" << inputId;
    emit previewInputChanged(inputId);
    emit stateUpdated();
}

void SwitcherManager::onInputTallyChanged(qint64 inputId)
{
    const auto position = m_inputIndex.constFind(inputId);
    if (position == m_inputIndex.cend() || *position < 0 || *position >= m_inputs.size())
        return;
    for (const auto& [input, callback] : std::as_const(m_inputCallbacks)) {
        BMDSwitcherInputId id = 0;
        if (input->GetInputId(&id) != S_OK || id != inputId)
            continue;
        SwitcherInput& record = m_inputs[*position];
        bool tallied = false;
        record.programTally = input->IsProgramTallied(&tallied) == S_OK && tallied;
        tallied = false;
        record.previewTally = input->IsPreviewTallied(&tallied) == S_OK && tallied;
        emit inputTallyChanged(inputId, record.programTally, record.previewTally);
        emit stateUpdated();
        return;
    }
}

void SwitcherManager::onSwitcherDisconnected()
{
    qCDebug(lcSwitcher) << "ATEM: Switcher disconnected";
    disconnect();
}

void SwitcherManager::startVirtual()
{
    if (m_virtualMode)
        return;
    disconnect();
    m_virtualMode = true;
    m_connectionState = Connected;
    m_productName = QStringLiteral("Virtual Switcher");
    m_programInput = -1;
    m_previewInput = -1;
    emit connected(m_productName);
    emit stateUpdated();
}

void SwitcherManager::stopVirtual()
{
    if (!m_virtualMode)
        return;
    resetState();
    emit disconnected();
    emit stateUpdated();
}

void SwitcherManager::setVirtualInputs(const QList<Camera>& cameras)
{
    if (!m_virtualMode)
        return;
    const qint64 program = m_programInput;
    const qint64 preview = m_previewInput;
    m_inputs.clear();
    m_inputIndex.clear();
    for (const Camera& camera : cameras) {
        SwitcherInput input;
        input.inputId = camera.oscIndex;
        input.shortName = QStringLiteral("CAM%1").arg(camera.oscIndex);
        input.longName = camera.name;
        input.cameraIp = camera.ip;
        m_inputIndex.insert(input.inputId, int(m_inputs.size()));
        m_inputs.append(input);
    }
    m_programInput = m_inputIndex.contains(program) ? program : (m_inputs.isEmpty() ? -1 : m_inputs.first().inputId);
    m_previewInput = m_inputIndex.contains(preview) ? preview : -1;
    updateVirtualTally();
    emit inputsEnumerated();
    emit stateUpdated();
}

void SwitcherManager::updateVirtualTally()
{
    if (!m_virtualMode)
        return;
    for (SwitcherInput& input : m_inputs) {
        const bool program = input.inputId == m_programInput && m_programTallyEnabled;
        const bool preview = input.inputId == m_previewInput && m_previewTallyEnabled;
        if (program == input.programTally && preview == input.previewTally)
            continue;
        input.programTally = program;
        input.previewTally = preview;
        emit inputTallyChanged(input.inputId, program, preview);
    }
}

void SwitcherManager::setProgramInput(qint64 inputId)
{
    if (m_virtualMode) {
        const qint64 old = m_programInput;
        m_programInput = inputId;
        updateVirtualTally();
        sendProgramFeedDisplay(old, inputId);
        emit programInputChanged(inputId);
        emit stateUpdated();
        return;
    }
    if (!m_mixEffectBlock || m_mixEffectBlock->SetProgramInput(inputId) != S_OK)
        qCWarning(lcSwitcher) << "ATEM: Failed to set program input to" << inputId;
}

void SwitcherManager::setPreviewInput(qint64 inputId)
{
    if (m_virtualMode) {
        m_previewInput = inputId;
        updateVirtualTally();
        emit previewInputChanged(inputId);
        emit stateUpdated();
        return;
    }
    if (!m_mixEffectBlock || m_mixEffectBlock->SetPreviewInput(inputId) != S_OK)
        qCWarning(lcSwitcher) << "ATEM: Failed to set preview input to" << inputId;
}

void SwitcherManager::cut()
{
    if (m_previewInput < 0)
        return;
    const qint64 program = m_programInput;
    setProgramInput(m_previewInput);
    setPreviewInput(program);
}

void SwitcherManager::setTallyEnabled(bool program, bool preview)
{
    if (m_virtualMode) {
        m_programTallyEnabled = program;
        m_previewTallyEnabled = preview;
        updateVirtualTally();
        emit stateUpdated();
        return;
    }
    if (!m_mixEffectBlock)
        return;
    const BMDSwitcherTallyConfiguration configuration = (program ? 0x1u : 0u) | (preview ? 0x2u : 0u);
    if (m_mixEffectBlock->SetTallyConfiguration(configuration) != S_OK) {
        qCWarning(lcSwitcher) << "ATEM: Failed to set tally config";
        return;
    }
    m_programTallyEnabled = program;
    m_previewTallyEnabled = preview;
    emit stateUpdated();
}

void SwitcherManager::sendProgramFeedDisplay(qint64 oldProgram, qint64 newProgram)
{
    if (oldProgram == newProgram || !m_api)
        return;
    const auto addressOf = [this](qint64 inputId) {
        const auto position = m_inputIndex.constFind(inputId);
        return inputId >= 0 && position != m_inputIndex.cend() ? m_inputs.value(*position).cameraIp : QString();
    };
    const QString leaving = addressOf(oldProgram);
    if (!leaving.isEmpty()) {
        m_api->put(leaving, QStringLiteral("camera/programFeedDisplay"), QJsonObject{{QStringLiteral("enabled"), false}});
        qCDebug(lcSwitcher) << "Switcher: programFeedDisplay OFF →" << leaving;
    }
    const QString entering = addressOf(newProgram);
    if (!entering.isEmpty()) {
        m_api->put(entering, QStringLiteral("camera/programFeedDisplay"), QJsonObject{{QStringLiteral("enabled"), true}});
        qCDebug(lcSwitcher) << "Switcher: programFeedDisplay ON →" << entering;
    }
}

HRESULT SwitcherManager::SwitcherCallback::Notify(BMDSwitcherEventType eventType)
{
    if (eventType == bmdSwitcherEventTypeDisconnected)
        QMetaObject::invokeMethod(m_manager, &SwitcherManager::onSwitcherDisconnected, Qt::QueuedConnection);
    return S_OK;
}

HRESULT SwitcherManager::MixEffectCallback::Notify(BMDSwitcherMixEffectBlockEventType eventType)
{
    BMDSwitcherInputId id = -1;
    if (eventType == bmdSwitcherMixEffectBlockEventTypeProgramInputChanged) {
        if (m_block->GetProgramInput(&id) == S_OK)
            QMetaObject::invokeMethod(m_manager, "onMixEffectProgramChanged", Qt::QueuedConnection, Q_ARG(qint64, id));
    } else if (eventType == bmdSwitcherMixEffectBlockEventTypePreviewInputChanged) {
        if (m_block->GetPreviewInput(&id) == S_OK)
            QMetaObject::invokeMethod(m_manager, "onMixEffectPreviewChanged", Qt::QueuedConnection, Q_ARG(qint64, id));
    }
    return S_OK;
}

HRESULT SwitcherManager::InputCallback::Notify(BMDSwitcherInputEventType eventType)
{
    if (eventType == bmdSwitcherInputEventTypeIsProgramTalliedChanged
        || eventType == bmdSwitcherInputEventTypeIsPreviewTalliedChanged)
        QMetaObject::invokeMethod(m_manager, "onInputTallyChanged", Qt::QueuedConnection, Q_ARG(qint64, m_inputId));
    return S_OK;
}
