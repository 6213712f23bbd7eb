// A stand-in for the UI Automation client: fake automation object, elements, conditions and
// patterns that answer as a scenario says and record every call and final release in order.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <uiautomation.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Ordered record of what the code under test did; written from any thread.
class EventLog {
public:
    void Add(const std::string& entry);
    std::vector<std::string> Entries() const;
    // True once an entry equal to `entry` has been recorded, false when the wait times out.
    bool WaitFor(const std::string& entry, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> entries_;
};

// COM identity for an object that lives as long as the test program: its reference count
// means nothing.
template <class Interface> class StaticComObject : public Interface {
public:
    IFACEMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
};

enum class AutomationCreation { Delivers, Fails, DeliversNothing };

// What the list's Selection pattern reports; the user's click can come after the first ask.
enum class ListSelection { NoPattern, Empty, Selected, SelectedAfterFirstAsk };

// What the list's item container answers when searched for a selected row, which it finds also
// out of view; Windows refuses a property it cannot search by with E_INVALIDARG.
enum class SelectedRowSearch { FindsNone, Finds, FindsAfterFirstAsk, Refused };

// The Lists below the dialog window: Windows' file list is the one of class "UIItemsView".
enum class DialogLists { ItemsView, ItemsViewAfterAnotherList, ListWithoutClass, None };

// What the fake automation offers; every step succeeds unless switched off here.
struct AutomationScenario {
    AutomationCreation creation = AutomationCreation::Delivers;
    bool windowElement = true;
    bool listCondition = true;
    DialogLists lists = DialogLists::ItemsView;
    bool itemTypeCondition = true;
    bool nameCondition = true;
    bool combinedCondition = true;
    bool directItem = true;
    bool secondDirectItem = false; // another direct child shows the same name
    bool itemSelection = true;
    bool container = true;
    bool containerFinds = true;
    bool containerFindsSecond = false; // searched again after the first, it finds another
    // Looks before this one find no entry of the name; a look that misses ends with the
    // container's search by name, which the fake counts.
    int entryListedAtLook = 1;
    bool virtualized = true;
    HRESULT realizeResult = S_OK;
    bool foundSelection = true;
    ListSelection listSelection = ListSelection::NoPattern;
    SelectedRowSearch selectedRowSearch = SelectedRowSearch::FindsNone;
};

// A string VARIANT as a fake received it, copied out while the caller still owns it.
struct CapturedValue {
    bool seen = false;
    VARTYPE type = VT_EMPTY;
    std::wstring text;
    UINT byteLength = 0;
    BSTR string = nullptr;
};

class TrackedObject;

class FakeAutomationWorld {
public:
    explicit FakeAutomationWorld(const AutomationScenario& scenario);
    ~FakeAutomationWorld();
    FakeAutomationWorld(const FakeAutomationWorld&) = delete;
    FakeAutomationWorld& operator=(const FakeAutomationWorld&) = delete;

    EventLog& Log() { return log_; }
    const AutomationScenario& Scenario() const { return scenario_; }

    // What the class factory hands out for one CoCreateInstance.
    HRESULT CreateAutomation(REFIID riid, void** object);

    // Fakes whose references are not back to zero, or were released once too often.
    std::vector<std::string> UnbalancedObjects() const;
    HWND RequestedWindow() const;
    CapturedValue NameConditionValue() const;
    CapturedValue ContainerSearchValue() const;

    // Used by the fakes themselves.
    template <class Fake, class... More> Fake* Make(const std::string& name, More... more);
    std::string NameOf(const void* object) const;
    void RecordRequestedWindow(HWND window);
    void RecordNameConditionValue(const VARIANT& value);
    void RecordContainerSearchValue(const VARIANT& value);
    int CountListSelectionAsk() { return ++listSelectionAsks_; }
    int CountSelectedRowSearch() { return ++selectedRowSearches_; }
    int CountLook() { return ++looks_; }
    int Looks() const { return looks_; }

private:
    AutomationScenario scenario_;
    EventLog log_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<TrackedObject>> objects_;
    HWND requestedWindow_ = nullptr;
    CapturedValue nameConditionValue_;
    CapturedValue containerSearchValue_;
    std::atomic<int> listSelectionAsks_{0};
    std::atomic<int> selectedRowSearches_{0};
    std::atomic<int> looks_{0};
};

// Lets CoCreateInstance of CLSID_CUIAutomation, made in the multithreaded apartment, reach
// the world being served. The class is registered from a thread of its own that stays in
// that apartment, so workers leaving it never tear it down.
class AutomationClassRegistration {
public:
    AutomationClassRegistration();
    ~AutomationClassRegistration();
    AutomationClassRegistration(const AutomationClassRegistration&) = delete;
    AutomationClassRegistration& operator=(const AutomationClassRegistration&) = delete;

    HRESULT Result() const { return result_; }
    // Without a world the class answers as if it were not registered.
    static void Serve(FakeAutomationWorld* world);

private:
    struct Holder;
    std::unique_ptr<Holder> holder_;
    HRESULT result_ = E_FAIL;
};
