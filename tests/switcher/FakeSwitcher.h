#pragma once

// A switcher standing in for the vendor's SDK at the loader seam. The fakes belong to the
// test (their own reference is the first one) and count every reference the manager takes.

#include "SwitcherSdk.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <vector>

struct Counted {
    virtual ~Counted() = default;
    std::atomic<int> references{1};
};

template <typename Interface>
class FakeObject : public Interface, public Counted {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
};

// Takes two references to every callback, so that one release too many by the manager
// shows as a count instead of a freed object.
template <typename Callback>
struct Callbacks {
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
        attached.erase(std::find(attached.begin(), attached.end(), callback));
        detached.push_back(callback);
        return S_OK;
    }
    // True when the manager released its own reference exactly once.
    bool releasedOnce()
    {
        bool once = !detached.empty();
        for (Callback* callback : std::exchange(detached, {})) {
            const ULONG left = callback->Release();
            once = once && left == 1;
            if (left == 1)
                callback->Release();
        }
        return once && attached.empty();
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
    std::string shortName, longName;
    std::atomic<bool> programTallied{false}, previewTallied{false};
    Callbacks<IBMDSwitcherInputCallback> callbacks;
};

class FakeMixEffectBlock : public FakeObject<IBMDSwitcherMixEffectBlock> {
public:
    HRESULT GetProgramInput(BMDSwitcherInputId* out) override { *out = program; return S_OK; }
    HRESULT SetProgramInput(BMDSwitcherInputId id) override { requestedProgram.push_back(id); return result(); }
    HRESULT GetPreviewInput(BMDSwitcherInputId* out) override { *out = preview; return S_OK; }
    HRESULT SetPreviewInput(BMDSwitcherInputId) override { return result(); }
    HRESULT GetTallyConfiguration(BMDSwitcherTallyConfiguration* out) override { *out = tally; return S_OK; }
    HRESULT SetTallyConfiguration(BMDSwitcherTallyConfiguration value) override
    {
        tally = refuseSets ? tally : value;
        return result();
    }
    HRESULT AddCallback(IBMDSwitcherMixEffectBlockCallback* callback) override { return callbacks.add(callback); }
    HRESULT RemoveCallback(IBMDSwitcherMixEffectBlockCallback* callback) override { return callbacks.remove(callback); }

    std::atomic<BMDSwitcherInputId> program{-1}, preview{-1};
    BMDSwitcherTallyConfiguration tally = 0x3;
    bool refuseSets = false;
    std::vector<BMDSwitcherInputId> requestedProgram;
    Callbacks<IBMDSwitcherMixEffectBlockCallback> callbacks;

private:
    HRESULT result() const { return refuseSets ? E_FAIL : S_OK; }
};

// Hands out the given objects one by one, each with an added reference.
template <typename Iterator, typename Item>
class FakeIterator : public FakeObject<Iterator> {
public:
    explicit FakeIterator(std::vector<Item*> items) : m_items(std::move(items)) {}
    HRESULT Next(Item** out) override
    {
        *out = m_next < m_items.size() ? m_items[m_next++] : nullptr;
        return *out ? ((*out)->AddRef(), S_OK) : E_FAIL;
    }

private:
    std::vector<Item*> m_items;
    size_t m_next = 0;
};

class FakeSwitcher : public FakeObject<IBMDSwitcher> {
public:
    HRESULT GetProductName(BMDSwitcherString* out) override { *out = "ATEM Television Studio HD8"; return S_OK; }
    HRESULT CreateIterator(REFIID iid, void** out) override
    {
        if (iid == IID_IBMDSwitcherInputIterator) {
            std::vector<IBMDSwitcherInput*> items;
            for (auto& input : inputs)
                items.push_back(input.get());
            *out = static_cast<IBMDSwitcherInputIterator*>(keep(new FakeIterator<IBMDSwitcherInputIterator, IBMDSwitcherInput>(items)));
        } else {
            *out = static_cast<IBMDSwitcherMixEffectBlockIterator*>(keep(
                new FakeIterator<IBMDSwitcherMixEffectBlockIterator, IBMDSwitcherMixEffectBlock>({block.get()})));
        }
        return S_OK;
    }
    HRESULT AddCallback(IBMDSwitcherCallback* callback) override { return callbacks.add(callback); }
    HRESULT RemoveCallback(IBMDSwitcherCallback* callback) override { return callbacks.remove(callback); }

    std::vector<std::unique_ptr<FakeInput>> inputs;
    std::unique_ptr<FakeMixEffectBlock> block = std::make_unique<FakeMixEffectBlock>();
    std::vector<std::unique_ptr<Counted>> iterators;
    Callbacks<IBMDSwitcherCallback> callbacks;

private:
    template <typename T>
    T* keep(T* iterator)
    {
        iterators.emplace_back(iterator);
        return iterator;
    }
};

class FakeDiscovery : public FakeObject<IBMDSwitcherDiscovery> {
public:
    HRESULT ConnectTo(BMDSwitcherString address, IBMDSwitcher** out, BMDSwitcherConnectToFailure* failure) override
    {
        if (answer.valid())
            answer.wait();
        requestedAddress = address;
        *failure = BMDSwitcherConnectToFailure(failureCode);
        *out = failureCode ? nullptr : switcher;
        const HRESULT result = *out ? ((*out)->AddRef(), S_OK) : E_FAIL;
        answered = true;
        return result;
    }

    FakeSwitcher* switcher = nullptr;
    uint32_t failureCode = 0;
    std::string requestedAddress;
    std::shared_future<void> answer; // when set, the switcher answers only once it is ready
    std::atomic<bool> answered{false};
};
