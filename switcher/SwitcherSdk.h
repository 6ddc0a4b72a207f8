#pragma once

#ifdef KOVRA_SWITCHER_SDK

// The vendor's own declarations, from the folder named at configure time, so that every call
// of the hardware path is checked against the real interfaces.
#include <BMDSwitcherAPI.h>
#include <CoreFoundation/CoreFoundation.h>

// Names and texts cross the SDK as platform strings.
using BMDSwitcherString = CFStringRef;

#else

// The interfaces the switcher manager is written against, in the SDK's COM style. A build
// without the vendor's SDK never loads anything of the vendor's: only implementations in this
// process (the tests' stand-in switcher) are ever called through these declarations.

#include <cstdint>
#include <cstring>

using HRESULT = int32_t;
using ULONG = uint32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = int32_t(0x80004005u);
constexpr HRESULT E_NOINTERFACE = int32_t(0x80004002u);
constexpr HRESULT E_POINTER = int32_t(0x80004003u);

struct BMDInterfaceId {
    uint8_t bytes[16];
    bool operator==(const BMDInterfaceId& other) const { return std::memcmp(bytes, other.bytes, 16) == 0; }
};
using REFIID = const BMDInterfaceId&;

// The SDK's 32-bit four-character codes, first character in the most significant byte.
constexpr uint32_t fourCharCode(const char (&code)[5])
{
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16)
        | (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

using BMDSwitcherInputId = int64_t;
// Text handed out by the SDK; valid until the object that returned it is released.
using BMDSwitcherString = const char*;

enum BMDSwitcherConnectToFailure : uint32_t {
    bmdSwitcherConnectToFailureNoResponse = fourCharCode("cfnr"),
    bmdSwitcherConnectToFailureIncompatibleFirmware = fourCharCode("cfif"),
    bmdSwitcherConnectToFailureCorruptData = fourCharCode("cfcd"),
    bmdSwitcherConnectToFailureStateSync = fourCharCode("cfss"),
    bmdSwitcherConnectToFailureStateSyncTimedOut = fourCharCode("cfst"),
};

enum BMDSwitcherEventType : uint32_t {
    bmdSwitcherEventTypeDisconnected = fourCharCode("sedi"),
};

enum BMDSwitcherMixEffectBlockEventType : uint32_t {
    bmdSwitcherMixEffectBlockEventTypeProgramInputChanged = fourCharCode("pgiC"),
    bmdSwitcherMixEffectBlockEventTypePreviewInputChanged = fourCharCode("pviC"),
};

enum BMDSwitcherInputEventType : uint32_t {
    bmdSwitcherInputEventTypeIsProgramTalliedChanged = fourCharCode("iprt"),
    bmdSwitcherInputEventTypeIsPreviewTalliedChanged = fourCharCode("ipgt"),
};

// Bit 0: program tally, bit 1: preview tally.
using BMDSwitcherTallyConfiguration = uint32_t;

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

class IBMDSwitcherCallback : public IUnknown {
public:
    virtual HRESULT Notify(BMDSwitcherEventType eventType) = 0;
};

class IBMDSwitcherMixEffectBlockCallback : public IUnknown {
public:
    virtual HRESULT Notify(BMDSwitcherMixEffectBlockEventType eventType) = 0;
};

class IBMDSwitcherInputCallback : public IUnknown {
public:
    virtual HRESULT Notify(BMDSwitcherInputEventType eventType) = 0;
};

class IBMDSwitcherInput : public IUnknown {
public:
    virtual HRESULT GetInputId(BMDSwitcherInputId* inputId) = 0;
    virtual HRESULT GetShortName(BMDSwitcherString* name) = 0;
    virtual HRESULT GetLongName(BMDSwitcherString* name) = 0;
    virtual HRESULT IsProgramTallied(bool* tallied) = 0;
    virtual HRESULT IsPreviewTallied(bool* tallied) = 0;
    virtual HRESULT AddCallback(IBMDSwitcherInputCallback* callback) = 0;
    virtual HRESULT RemoveCallback(IBMDSwitcherInputCallback* callback) = 0;
};

class IBMDSwitcherInputIterator : public IUnknown {
public:
    // S_OK with an added reference while there is a next input, E_FAIL after the last.
    virtual HRESULT Next(IBMDSwitcherInput** input) = 0;
};

class IBMDSwitcherMixEffectBlock : public IUnknown {
public:
    virtual HRESULT GetProgramInput(BMDSwitcherInputId* inputId) = 0;
    virtual HRESULT SetProgramInput(BMDSwitcherInputId inputId) = 0;
    virtual HRESULT GetPreviewInput(BMDSwitcherInputId* inputId) = 0;
    virtual HRESULT SetPreviewInput(BMDSwitcherInputId inputId) = 0;
    virtual HRESULT GetTallyConfiguration(BMDSwitcherTallyConfiguration* configuration) = 0;
    virtual HRESULT SetTallyConfiguration(BMDSwitcherTallyConfiguration configuration) = 0;
    virtual HRESULT AddCallback(IBMDSwitcherMixEffectBlockCallback* callback) = 0;
    virtual HRESULT RemoveCallback(IBMDSwitcherMixEffectBlockCallback* callback) = 0;
};

class IBMDSwitcherMixEffectBlockIterator : public IUnknown {
public:
    virtual HRESULT Next(IBMDSwitcherMixEffectBlock** block) = 0;
};

class IBMDSwitcher : public IUnknown {
public:
    virtual HRESULT GetProductName(BMDSwitcherString* name) = 0;
    // iid names the iterator wanted: IID_IBMDSwitcherInputIterator or IID_IBMDSwitcherMixEffectBlockIterator.
    virtual HRESULT CreateIterator(REFIID iid, void** iterator) = 0;
    virtual HRESULT AddCallback(IBMDSwitcherCallback* callback) = 0;
    virtual HRESULT RemoveCallback(IBMDSwitcherCallback* callback) = 0;
};

class IBMDSwitcherDiscovery : public IUnknown {
public:
    // Blocks until connected or failed; on success *switcher holds an added reference.
    virtual HRESULT ConnectTo(BMDSwitcherString address, IBMDSwitcher** switcher,
                              BMDSwitcherConnectToFailure* failReason) = 0;
};

inline constexpr BMDInterfaceId IID_IUnknown = {{0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr BMDInterfaceId IID_IBMDSwitcherCallback = {
    {0x4B, 0x4F, 0x56, 0x52, 0x53, 0x57, 0x43, 0x42, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
inline constexpr BMDInterfaceId IID_IBMDSwitcherMixEffectBlockCallback = {
    {0x4B, 0x4F, 0x56, 0x52, 0x53, 0x57, 0x43, 0x42, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}};
inline constexpr BMDInterfaceId IID_IBMDSwitcherInputCallback = {
    {0x4B, 0x4F, 0x56, 0x52, 0x53, 0x57, 0x43, 0x42, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03}};
inline constexpr BMDInterfaceId IID_IBMDSwitcherInputIterator = {
    {0x4B, 0x4F, 0x56, 0x52, 0x53, 0x57, 0x43, 0x42, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04}};
inline constexpr BMDInterfaceId IID_IBMDSwitcherMixEffectBlockIterator = {
    {0x4B, 0x4F, 0x56, 0x52, 0x53, 0x57, 0x43, 0x42, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05}};

#endif

// Loads the SDK bundle once per process; null where the bundle is missing, and always null in
// a build without the SDK.
IBMDSwitcherDiscovery* CreateBMDSwitcherDiscoveryInstance();
