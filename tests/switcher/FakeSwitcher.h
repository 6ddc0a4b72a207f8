#pragma once

// A switcher standing in for the vendor's SDK at the loader seam. The fakes belong to the
// test (their own reference is the first one), count every reference the manager takes,
// and keep each callback handed to them so that its reference count can be checked later.

#include "SwitcherSdk.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

template <typename Interface>
class FakeObject : public Interface {
public:
    HRESULT QueryInterface(REFIID, void** object) override
    {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }

    std::atomic<int> references{1};
};

// Holds two references of its own to every callback, so that one release too many by the
// manager shows as a count instead of a freed object.
template <typename Callback>
struct CallbackHolder {
    std::vector<Callback*> attached;
    std::vector<Callback*> detached;

    HRESULT add(Callback* callback)
    {
        callback->AddRef();
        callback->AddRef();
        attached.push_back(callback);
        return S_OK;
    }
    HRESULT remove(Callback* callback)
    {
        for (auto it = attached.begin(); it != attached.end(); ++it) {
            if (*it == callback) {
                attached.erase(it);
                detached.push_back(callback);
                return S_OK;
            }
        }
        return E_FAIL;
    }
    // The count left after dropping one of the holder's references: 1 when the manager
    // released its own reference exactly once.
    std::vector<ULONG> releaseDetached()
    {
        std::vector<ULONG> left;
        for (Callback* callback : detached) {
            const ULONG count = callback->Release();
            left.push_back(count);
            if (count == 1)
                callback->Release();
        }
        detached.clear();
        return left;
    }
};

class FakeInput : public FakeObject<IBMDSwitcherInput> {
public:
    FakeInput(BMDSwitcherInputId id, std::string shortName, std::string longName)
        : id(id), shortName(std::move(shortName)), longName(std::move(longName)) {}

    HRESULT GetInputId(BMDSwitcherInputId* out) override { *out = id; return S_OK; }
    HRESULT GetShortName(BMDSwitcherString* out) override { *out = shortName.c_str(); return S_OK; }
    HRESULT GetLongName(BMDSwitcherString* out) override { *out = longName.c_str(); return S_OK; }
    HRESULT IsProgramTallied(bool* out) override { *out = programTallied; return S_OK; }
    HRESULT IsPreviewTallied(bool* out) override { *out = previewTallied; return S_OK; }
    HRESULT AddCallback(IBMDSwitcherInputCallback* callback) override { return callbacks.add(callback); }
    HRESULT RemoveCallback(IBMDSwitcherInputCallback* callback) override { return callbacks.remove(callback); }

    BMDSwitcherInputId id;
    std::string shortName;
    std::string longName;
    std::atomic<bool> programTallied{false};
    std::atomic<bool> previewTallied{false};
    CallbackHolder<IBMDSwitcherInputCallback> callbacks;
};

class FakeMixEffectBlock : public FakeObject<IBMDSwitcherMixEffectBlock> {
public:
    HRESULT GetProgramInput(BMDSwitcherInputId* out) override { *out = program; return S_OK; }
    HRESULT SetProgramInput(BMDSwitcherInputId id) override
    {
        requestedProgram.push_back(id);
        return refuseSets ? E_FAIL : S_OK;
    }
    HRESULT GetPreviewInput(BMDSwitcherInputId* out) override { *out = preview; return S_OK; }
    HRESULT SetPreviewInput(BMDSwitcherInputId id) override
    {
        requestedPreview.push_back(id);
        return refuseSets ? E_FAIL : S_OK;
    }
    HRESULT GetTallyConfiguration(BMDSwitcherTallyConfiguration* out) override { *out = tally; return S_OK; }
    HRESULT SetTallyConfiguration(BMDSwitcherTallyConfiguration value) override
    {
        if (refuseSets)
            return E_FAIL;
        tally = value;
        return S_OK;
    }
    HRESULT AddCallback(IBMDSwitcherMixEffectBlockCallback* callback) override { return callbacks.add(callback); }
    HRESULT RemoveCallback(IBMDSwitcherMixEffectBlockCallback* callback) override { return callbacks.remove(callback); }

    std::atomic<BMDSwitcherInputId> program{-1};
    std::atomic<BMDSwitcherInputId> preview{-1};
    BMDSwitcherTallyConfiguration tally = 0x3;
    bool refuseSets = false;
    std::vector<BMDSwitcherInputId> requestedProgram;
    std::vector<BMDSwitcherInputId> requestedPreview;
    CallbackHolder<IBMDSwitcherMixEffectBlockCallback> callbacks;
};

// Hands out the given objects one by one, each with an added reference.
template <typename Iterator, typename Item>
class FakeIterator : public FakeObject<Iterator> {
public:
    explicit FakeIterator(std::vector<Item*> items) : m_items(std::move(items)) {}
    HRESULT Next(Item** out) override
    {
        if (m_next >= m_items.size()) {
            *out = nullptr;
            return E_FAIL;
        }
        *out = m_items[m_next++];
        (*out)->AddRef();
        return S_OK;
    }

private:
    std::vector<Item*> m_items;
    size_t m_next = 0;
};

class FakeSwitcher : public FakeObject<IBMDSwitcher> {
public:
    using InputIterator = FakeIterator<IBMDSwitcherInputIterator, IBMDSwitcherInput>;
    using BlockIterator = FakeIterator<IBMDSwitcherMixEffectBlockIterator, IBMDSwitcherMixEffectBlock>;

    HRESULT GetProductName(BMDSwitcherString* out) override { *out = productName.c_str(); return S_OK; }
    HRESULT CreateIterator(REFIID iid, void** out) override
    {
        if (iid == IID_IBMDSwitcherInputIterator) {
            std::vector<IBMDSwitcherInput*> items;
            for (auto& input : inputs)
                items.push_back(input.get());
            inputIterators.push_back(std::make_unique<InputIterator>(items));
            *out = static_cast<IBMDSwitcherInputIterator*>(inputIterators.back().get());
            return S_OK;
        }
        if (iid == IID_IBMDSwitcherMixEffectBlockIterator) {
            std::vector<IBMDSwitcherMixEffectBlock*> items;
            if (block)
                items.push_back(block.get());
            blockIterators.push_back(std::make_unique<BlockIterator>(items));
            *out = static_cast<IBMDSwitcherMixEffectBlockIterator*>(blockIterators.back().get());
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT AddCallback(IBMDSwitcherCallback* callback) override { return callbacks.add(callback); }
    HRESULT RemoveCallback(IBMDSwitcherCallback* callback) override { return callbacks.remove(callback); }

    std::string productName = "ATEM Television Studio HD8";
    std::vector<std::unique_ptr<FakeInput>> inputs;
    std::unique_ptr<FakeMixEffectBlock> block = std::make_unique<FakeMixEffectBlock>();
    std::vector<std::unique_ptr<InputIterator>> inputIterators;
    std::vector<std::unique_ptr<BlockIterator>> blockIterators;
    CallbackHolder<IBMDSwitcherCallback> callbacks;
};

class FakeDiscovery : public FakeObject<IBMDSwitcherDiscovery> {
public:
    HRESULT ConnectTo(BMDSwitcherString address, IBMDSwitcher** out, BMDSwitcherConnectToFailure* failure) override
    {
        requestedAddress = address;
        if (failureCode != 0) {
            *failure = BMDSwitcherConnectToFailure(failureCode);
            *out = nullptr;
            return E_FAIL;
        }
        switcher->AddRef();
        *out = switcher;
        return S_OK;
    }

    FakeSwitcher* switcher = nullptr;
    uint32_t failureCode = 0;
    std::string requestedAddress;
};
