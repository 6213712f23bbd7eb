#include "FakeAutomation.h"

#include <oleauto.h>

#include <atomic>
#include <thread>

namespace {

std::string Describe(const VARIANT& value)
{
    switch (value.vt) {
    case VT_I4:
        return "VT_I4 " + std::to_string(value.lVal);
    case VT_BSTR:
        return "VT_BSTR";
    case VT_BOOL:
        return value.boolVal == VARIANT_TRUE ? "VT_BOOL true" : "VT_BOOL false";
    default:
        return "VT " + std::to_string(value.vt);
    }
}

std::string DescribeInterface(REFIID riid)
{
    if (riid == __uuidof(IUIAutomationSelectionItemPattern)) {
        return "SelectionItem";
    }
    if (riid == __uuidof(IUIAutomationItemContainerPattern)) {
        return "ItemContainer";
    }
    if (riid == __uuidof(IUIAutomationVirtualizedItemPattern)) {
        return "VirtualizedItem";
    }
    if (riid == __uuidof(IUIAutomationSelectionPattern)) {
        return "Selection";
    }
    return "other";
}

CapturedValue Capture(const VARIANT& value)
{
    CapturedValue captured;
    captured.seen = true;
    captured.type = value.vt;
    if (value.vt == VT_BSTR && value.bstrVal != nullptr) {
        captured.string = value.bstrVal;
        captured.text.assign(value.bstrVal, SysStringLen(value.bstrVal));
        captured.byteLength = SysStringByteLen(value.bstrVal);
    }
    return captured;
}

} // namespace

void EventLog::Add(const std::string& entry)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(entry);
    }
    changed_.notify_all();
}

std::vector<std::string> EventLog::Entries() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

bool EventLog::WaitFor(const std::string& entry, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        for (const std::string& recorded : entries_) {
            if (recorded == entry) {
                return true;
            }
        }
        return false;
    });
}

// The reference count and name every fake shares; its final release is logged, and so is a
// release past zero. The world owns the memory, so a release too many cannot free it twice.
class TrackedObject {
public:
    TrackedObject(FakeAutomationWorld& world, std::string name)
        : world_(world), name_(std::move(name))
    {
    }
    virtual ~TrackedObject() = default;
    TrackedObject(const TrackedObject&) = delete;
    TrackedObject& operator=(const TrackedObject&) = delete;

    const std::string& Name() const { return name_; }
    LONG References() const { return references_; }
    virtual const void* Identity() const = 0;

protected:
    ULONG AddReference() { return static_cast<ULONG>(++references_); }
    ULONG DropReference()
    {
        const LONG left = --references_;
        if (left == 0) {
            world_.Log().Add("release " + name_);
        } else if (left < 0) {
            world_.Log().Add("over-release " + name_);
        }
        return static_cast<ULONG>(left < 0 ? 0 : left);
    }

    FakeAutomationWorld& world_;

private:
    std::string name_;
    std::atomic<LONG> references_{1};
};

template <class Fake, class... More>
Fake* FakeAutomationWorld::Make(const std::string& name, More... more)
{
    auto object = std::make_unique<Fake>(*this, name, more...);
    Fake* handedOut = object.get();
    std::lock_guard<std::mutex> lock(mutex_);
    objects_.push_back(std::move(object));
    return handedOut;
}

namespace {

template <class Interface> class FakeObject : public Interface, public TrackedObject {
public:
    using TrackedObject::TrackedObject;

    const void* Identity() const override { return static_cast<const Interface*>(this); }

    IFACEMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddReference();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return DropReference(); }
};

using FakeCondition = FakeObject<IUIAutomationCondition>;

class FakeVirtualizedItem : public FakeObject<IUIAutomationVirtualizedItemPattern> {
public:
    using FakeObject::FakeObject;

    IFACEMETHODIMP Realize() override
    {
        world_.Log().Add("Realize " + Name());
        return world_.Scenario().realizeResult;
    }
};

class FakeSelectionItem : public FakeObject<IUIAutomationSelectionItemPattern> {
public:
    using FakeObject::FakeObject;

    IFACEMETHODIMP Select() override
    {
        world_.Log().Add("Select " + Name());
        return S_OK;
    }

    // Not used by the worker.
    IFACEMETHODIMP AddToSelection() override { return E_NOTIMPL; }
    IFACEMETHODIMP RemoveFromSelection() override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsSelected(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentSelectionContainer(IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP get_CachedIsSelected(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedSelectionContainer(IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
};

class FakeElement : public FakeObject<IUIAutomationElement> {
public:
    using FakeObject::FakeObject;

    IFACEMETHODIMP FindFirst(TreeScope scope, IUIAutomationCondition* condition,
                             IUIAutomationElement** found) override;
    IFACEMETHODIMP FindAll(TreeScope scope, IUIAutomationCondition* condition,
                           IUIAutomationElementArray** found) override;
    IFACEMETHODIMP GetCurrentPatternAs(PATTERNID pattern, REFIID riid, void** object) override;

    // Not used by the worker.
    IFACEMETHODIMP SetFocus() override { return E_NOTIMPL; }
    IFACEMETHODIMP GetRuntimeId(SAFEARRAY**) override { return E_NOTIMPL; }
    IFACEMETHODIMP FindFirstBuildCache(enum TreeScope, IUIAutomationCondition*,
                                       IUIAutomationCacheRequest*, IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP FindAllBuildCache(enum TreeScope, IUIAutomationCondition*,
                                     IUIAutomationCacheRequest*,
                                     IUIAutomationElementArray**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP BuildUpdatedCache(IUIAutomationCacheRequest*, IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetCurrentPropertyValue(PROPERTYID, VARIANT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCurrentPropertyValueEx(PROPERTYID, WINBOOL, VARIANT*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetCachedPropertyValue(PROPERTYID, VARIANT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCachedPropertyValueEx(PROPERTYID, WINBOOL, VARIANT*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetCachedPatternAs(PATTERNID, REFIID, void**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCurrentPattern(PATTERNID, IUnknown**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCachedPattern(PATTERNID, IUnknown**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCachedParent(IUIAutomationElement**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCachedChildren(IUIAutomationElementArray**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentProcessId(int*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentControlType(CONTROLTYPEID*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentLocalizedControlType(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentName(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentAcceleratorKey(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentAccessKey(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentHasKeyboardFocus(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsKeyboardFocusable(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsEnabled(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentAutomationId(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentClassName(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentHelpText(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentCulture(int*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsControlElement(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsContentElement(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsPassword(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentNativeWindowHandle(UIA_HWND*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentItemType(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsOffscreen(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentOrientation(enum OrientationType*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentFrameworkId(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsRequiredForForm(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentItemStatus(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentBoundingRectangle(RECT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentLabeledBy(IUIAutomationElement**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentAriaRole(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentAriaProperties(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsDataValidForForm(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentControllerFor(IUIAutomationElementArray**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP get_CurrentDescribedBy(IUIAutomationElementArray**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP get_CurrentFlowsTo(IUIAutomationElementArray**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentProviderDescription(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedProcessId(int*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedControlType(CONTROLTYPEID*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedLocalizedControlType(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedName(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedAcceleratorKey(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedAccessKey(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedHasKeyboardFocus(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsKeyboardFocusable(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsEnabled(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedAutomationId(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedClassName(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedHelpText(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedCulture(int*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsControlElement(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsContentElement(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsPassword(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedNativeWindowHandle(UIA_HWND*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedItemType(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsOffscreen(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedOrientation(enum OrientationType*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedFrameworkId(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsRequiredForForm(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedItemStatus(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedBoundingRectangle(RECT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedLabeledBy(IUIAutomationElement**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedAriaRole(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedAriaProperties(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsDataValidForForm(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedControllerFor(IUIAutomationElementArray**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP get_CachedDescribedBy(IUIAutomationElementArray**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedFlowsTo(IUIAutomationElementArray**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedProviderDescription(BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetClickablePoint(POINT*, WINBOOL*) override { return E_NOTIMPL; }
};

// The direct children that FindAll matched ("item", then "second item"), or the list's selection.
class FakeElementArray : public FakeObject<IUIAutomationElementArray> {
public:
    FakeElementArray(FakeAutomationWorld& world, const std::string& name, int length)
        : FakeObject(world, name), length_(length)
    {
    }

    IFACEMETHODIMP get_Length(int* length) override
    {
        *length = length_;
        return S_OK;
    }
    IFACEMETHODIMP GetElement(int index, IUIAutomationElement** element) override
    {
        const bool inRange = index >= 0 && index < length_;
        *element =
            inRange ? world_.Make<FakeElement>(index == 0 ? "item" : "second item") : nullptr;
        world_.Log().Add("GetElement " + Name() + " " + std::to_string(index) + " -> " +
                         (inRange ? world_.NameOf(*element) : "none"));
        return inRange ? S_OK : E_INVALIDARG;
    }

private:
    int length_;
};

class FakeSelection : public FakeObject<IUIAutomationSelectionPattern> {
public:
    using FakeObject::FakeObject;

    IFACEMETHODIMP GetCurrentSelection(IUIAutomationElementArray** elements) override
    {
        const ListSelection selection = world_.Scenario().listSelection;
        const bool firstAsk = world_.CountListSelectionAsk() == 1;
        const bool selected = selection == ListSelection::Selected ||
                              (selection == ListSelection::SelectedAfterFirstAsk && !firstAsk);
        const int length = selected ? 1 : 0;
        *elements = world_.Make<FakeElementArray>("selected", length);
        world_.Log().Add("GetCurrentSelection " + Name() + " -> " + std::to_string(length) +
                         " selected");
        return S_OK;
    }

    // Not used by the worker.
    IFACEMETHODIMP get_CurrentCanSelectMultiple(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CurrentIsSelectionRequired(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCachedSelection(IUIAutomationElementArray**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedCanSelectMultiple(WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_CachedIsSelectionRequired(WINBOOL*) override { return E_NOTIMPL; }
};

class FakeItemContainer : public FakeObject<IUIAutomationItemContainerPattern> {
public:
    using FakeObject::FakeObject;

    IFACEMETHODIMP FindItemByProperty(IUIAutomationElement* start, PROPERTYID property,
                                      VARIANT value, IUIAutomationElement** found) override
    {
        if (property == UIA_NamePropertyId) {
            world_.RecordContainerSearchValue(value);
        }
        const AutomationScenario& scenario = world_.Scenario();
        const std::string startName = start ? world_.NameOf(start) : "none";
        const SelectedRowSearch rowSearch = scenario.selectedRowSearch;
        const bool bySelection = property == UIA_SelectionItemIsSelectedPropertyId;
        const bool refused = bySelection && rowSearch == SelectedRowSearch::Refused;
        std::string result;
        if (property == UIA_NamePropertyId && startName == "none" &&
            world_.CountLook() >= scenario.entryListedAtLook && scenario.containerFinds) {
            result = "found";
        } else if (property == UIA_NamePropertyId && startName == "found" &&
                   scenario.containerFindsSecond) {
            result = "second found";
        } else if (bySelection && (rowSearch == SelectedRowSearch::Finds ||
                                   (rowSearch == SelectedRowSearch::FindsAfterFirstAsk &&
                                    world_.CountSelectedRowSearch() > 1))) {
            result = "selected row";
        }
        *found = result.empty() ? nullptr : world_.Make<FakeElement>(result);
        world_.Log().Add("FindItemByProperty " + Name() + " start=" + startName + " " +
                         std::to_string(property) + " " + Describe(value) + " -> " +
                         (refused          ? "E_INVALIDARG"
                          : result.empty() ? "none"
                                           : result));
        return refused ? E_INVALIDARG : S_OK;
    }
};

IFACEMETHODIMP FakeElement::FindFirst(TreeScope scope, IUIAutomationCondition* condition,
                                      IUIAutomationElement** found)
{
    const std::string conditionName = world_.NameOf(condition);
    const AutomationScenario& scenario = world_.Scenario();
    const DialogLists lists = scenario.lists;
    std::string result;
    if (Name() == "window" && conditionName == "items view condition" &&
        (lists == DialogLists::ItemsView || lists == DialogLists::ItemsViewAfterAnotherList)) {
        result = "list";
    } else if (Name() == "window" && conditionName == "list condition" &&
               lists != DialogLists::None) {
        result = lists == DialogLists::ItemsViewAfterAnotherList ? "other list" : "list";
    }
    *found = result.empty() ? nullptr : world_.Make<FakeElement>(result);
    world_.Log().Add("FindFirst " + Name() + " scope=" + std::to_string(scope) + " " +
                     conditionName + " -> " + (result.empty() ? "none" : result));
    return S_OK;
}

IFACEMETHODIMP FakeElement::FindAll(TreeScope scope, IUIAutomationCondition* condition,
                                    IUIAutomationElementArray** found)
{
    const std::string conditionName = world_.NameOf(condition);
    const AutomationScenario& scenario = world_.Scenario();
    int matches = 0;
    if (Name() == "list" && conditionName == "combined condition" &&
        world_.Looks() + 1 >= scenario.entryListedAtLook) {
        matches = (scenario.directItem ? 1 : 0) + (scenario.secondDirectItem ? 1 : 0);
    }
    // Like the real one, an empty array when nothing matches.
    *found = world_.Make<FakeElementArray>("matches", matches);
    world_.Log().Add("FindAll " + Name() + " scope=" + std::to_string(scope) + " " + conditionName +
                     " -> " + std::to_string(matches) + " matches");
    return S_OK;
}

IFACEMETHODIMP FakeElement::GetCurrentPatternAs(PATTERNID pattern, REFIID riid, void** object)
{
    const AutomationScenario& scenario = world_.Scenario();
    const std::string wanted = DescribeInterface(riid);
    IUnknown* result = nullptr;
    if (pattern == UIA_SelectionItemPatternId && wanted == "SelectionItem" &&
        ((Name() == "item" && scenario.itemSelection) ||
         (Name() == "found" && scenario.foundSelection))) {
        result = world_.Make<FakeSelectionItem>(Name() + " selection");
    } else if (pattern == UIA_ItemContainerPatternId && wanted == "ItemContainer" &&
               Name() == "list" && scenario.container) {
        result = world_.Make<FakeItemContainer>("container");
    } else if (pattern == UIA_SelectionPatternId && wanted == "Selection" && Name() == "list" &&
               scenario.listSelection != ListSelection::NoPattern) {
        result = world_.Make<FakeSelection>("list selection");
    } else if (pattern == UIA_VirtualizedItemPatternId && wanted == "VirtualizedItem" &&
               Name() == "found" && scenario.virtualized) {
        result = world_.Make<FakeVirtualizedItem>("virtualized");
    }
    *object = result;
    world_.Log().Add("GetCurrentPatternAs " + Name() + " " + std::to_string(pattern) + " " +
                     wanted + " -> " + (result ? world_.NameOf(result) : "none"));
    return S_OK;
}

class FakeAutomation : public FakeObject<IUIAutomation> {
public:
    using FakeObject::FakeObject;

    IFACEMETHODIMP ElementFromHandle(UIA_HWND window, IUIAutomationElement** element) override
    {
        world_.RecordRequestedWindow(static_cast<HWND>(window));
        const bool found = world_.Scenario().windowElement;
        *element = found ? world_.Make<FakeElement>("window") : nullptr;
        world_.Log().Add(std::string("ElementFromHandle -> ") + (found ? "window" : "none"));
        return found ? S_OK : E_FAIL;
    }

    IFACEMETHODIMP CreatePropertyCondition(PROPERTYID property, VARIANT value,
                                           IUIAutomationCondition** condition) override
    {
        const AutomationScenario& scenario = world_.Scenario();
        std::string name = "other condition";
        bool allowed = true;
        if (property == UIA_ControlTypePropertyId && value.vt == VT_I4 &&
            value.lVal == UIA_ListControlTypeId) {
            name = "list condition";
            allowed = scenario.listCondition;
        } else if (property == UIA_ControlTypePropertyId && value.vt == VT_I4 &&
                   value.lVal == UIA_ListItemControlTypeId) {
            name = "item type condition";
            allowed = scenario.itemTypeCondition;
        } else if (property == UIA_NamePropertyId) {
            world_.RecordNameConditionValue(value);
            name = "name condition";
            allowed = scenario.nameCondition;
        } else if (property == UIA_ClassNamePropertyId && value.vt == VT_BSTR &&
                   value.bstrVal != nullptr && std::wstring(value.bstrVal) == L"UIItemsView") {
            name = "class condition";
        }
        *condition = allowed ? world_.Make<FakeCondition>(name) : nullptr;
        world_.Log().Add("CreatePropertyCondition " + std::to_string(property) + " " +
                         Describe(value) + " -> " + (allowed ? name : "none"));
        return allowed ? S_OK : E_FAIL;
    }

    IFACEMETHODIMP CreateAndCondition(IUIAutomationCondition* first, IUIAutomationCondition* second,
                                      IUIAutomationCondition** condition) override
    {
        const std::string name = world_.NameOf(first) == "list condition" ? "items view condition"
                                                                          : "combined condition";
        // Like the real one, no condition comes of a missing operand.
        const bool allowed =
            (world_.Scenario().combinedCondition || name != "combined condition") &&
            first != nullptr && second != nullptr;
        *condition = allowed ? world_.Make<FakeCondition>(name) : nullptr;
        world_.Log().Add("CreateAndCondition " + world_.NameOf(first) + ", " +
                         world_.NameOf(second) + " -> " + (allowed ? name : "none"));
        return allowed ? S_OK : E_FAIL;
    }

    // Not used by the worker.
    IFACEMETHODIMP CompareElements(IUIAutomationElement*, IUIAutomationElement*, WINBOOL*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CompareRuntimeIds(SAFEARRAY*, SAFEARRAY*, WINBOOL*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetRootElement(IUIAutomationElement**) override { return E_NOTIMPL; }
    IFACEMETHODIMP ElementFromPoint(POINT, IUIAutomationElement**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetFocusedElement(IUIAutomationElement**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetRootElementBuildCache(IUIAutomationCacheRequest*,
                                            IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP ElementFromHandleBuildCache(UIA_HWND, IUIAutomationCacheRequest*,
                                               IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP ElementFromPointBuildCache(POINT, IUIAutomationCacheRequest*,
                                              IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetFocusedElementBuildCache(IUIAutomationCacheRequest*,
                                               IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateTreeWalker(IUIAutomationCondition*, IUIAutomationTreeWalker**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP get_ControlViewWalker(IUIAutomationTreeWalker**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_ContentViewWalker(IUIAutomationTreeWalker**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_RawViewWalker(IUIAutomationTreeWalker**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_RawViewCondition(IUIAutomationCondition**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_ControlViewCondition(IUIAutomationCondition**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_ContentViewCondition(IUIAutomationCondition**) override { return E_NOTIMPL; }
    IFACEMETHODIMP CreateCacheRequest(IUIAutomationCacheRequest**) override { return E_NOTIMPL; }
    IFACEMETHODIMP CreateTrueCondition(IUIAutomationCondition**) override { return E_NOTIMPL; }
    IFACEMETHODIMP CreateFalseCondition(IUIAutomationCondition**) override { return E_NOTIMPL; }
    IFACEMETHODIMP CreatePropertyConditionEx(PROPERTYID, VARIANT, enum PropertyConditionFlags,
                                             IUIAutomationCondition**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateAndConditionFromArray(SAFEARRAY*, IUIAutomationCondition**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateAndConditionFromNativeArray(IUIAutomationCondition**, int,
                                                     IUIAutomationCondition**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateOrCondition(IUIAutomationCondition*, IUIAutomationCondition*,
                                     IUIAutomationCondition**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateOrConditionFromArray(SAFEARRAY*, IUIAutomationCondition**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateOrConditionFromNativeArray(IUIAutomationCondition**, int,
                                                    IUIAutomationCondition**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateNotCondition(IUIAutomationCondition*, IUIAutomationCondition**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP AddAutomationEventHandler(EVENTID, IUIAutomationElement*, enum TreeScope,
                                             IUIAutomationCacheRequest*,
                                             IUIAutomationEventHandler*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP RemoveAutomationEventHandler(EVENTID, IUIAutomationElement*,
                                                IUIAutomationEventHandler*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP AddPropertyChangedEventHandlerNativeArray(
        IUIAutomationElement*, enum TreeScope, IUIAutomationCacheRequest*,
        IUIAutomationPropertyChangedEventHandler*, PROPERTYID*, int) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP AddPropertyChangedEventHandler(IUIAutomationElement*, enum TreeScope,
                                                  IUIAutomationCacheRequest*,
                                                  IUIAutomationPropertyChangedEventHandler*,
                                                  SAFEARRAY*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP
    RemovePropertyChangedEventHandler(IUIAutomationElement*,
                                      IUIAutomationPropertyChangedEventHandler*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP
    AddStructureChangedEventHandler(IUIAutomationElement*, enum TreeScope,
                                    IUIAutomationCacheRequest*,
                                    IUIAutomationStructureChangedEventHandler*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP
    RemoveStructureChangedEventHandler(IUIAutomationElement*,
                                       IUIAutomationStructureChangedEventHandler*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP AddFocusChangedEventHandler(IUIAutomationCacheRequest*,
                                               IUIAutomationFocusChangedEventHandler*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP RemoveFocusChangedEventHandler(IUIAutomationFocusChangedEventHandler*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP RemoveAllEventHandlers() override { return E_NOTIMPL; }
    IFACEMETHODIMP IntNativeArrayToSafeArray(int*, int, SAFEARRAY**) override { return E_NOTIMPL; }
    IFACEMETHODIMP IntSafeArrayToNativeArray(SAFEARRAY*, int**, int*) override { return E_NOTIMPL; }
    IFACEMETHODIMP RectToVariant(RECT, VARIANT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP VariantToRect(VARIANT, RECT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP SafeArrayToRectNativeArray(SAFEARRAY*, RECT**, int*) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CreateProxyFactoryEntry(IUIAutomationProxyFactory*,
                                           IUIAutomationProxyFactoryEntry**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP get_ProxyFactoryMapping(IUIAutomationProxyFactoryMapping**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP GetPropertyProgrammaticName(PROPERTYID, BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetPatternProgrammaticName(PATTERNID, BSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP PollForPotentialSupportedPatterns(IUIAutomationElement*, SAFEARRAY**,
                                                     SAFEARRAY**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP PollForPotentialSupportedProperties(IUIAutomationElement*, SAFEARRAY**,
                                                       SAFEARRAY**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP CheckNotSupported(VARIANT, WINBOOL*) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_ReservedNotSupportedValue(IUnknown**) override { return E_NOTIMPL; }
    IFACEMETHODIMP get_ReservedMixedAttributeValue(IUnknown**) override { return E_NOTIMPL; }
    IFACEMETHODIMP ElementFromIAccessible(IAccessible*, int, IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP ElementFromIAccessibleBuildCache(IAccessible*, int, IUIAutomationCacheRequest*,
                                                    IUIAutomationElement**) override
    {
        return E_NOTIMPL;
    }
};

} // namespace

FakeAutomationWorld::FakeAutomationWorld(const AutomationScenario& scenario) : scenario_(scenario)
{
}

FakeAutomationWorld::~FakeAutomationWorld() = default;

HRESULT FakeAutomationWorld::CreateAutomation(REFIID riid, void** object)
{
    *object = nullptr;
    switch (scenario_.creation) {
    case AutomationCreation::Fails:
        log_.Add("create automation fails");
        return E_FAIL;
    case AutomationCreation::DeliversNothing:
        log_.Add("create automation delivers nothing");
        return S_OK;
    case AutomationCreation::Delivers:
        break;
    }
    log_.Add("create automation");
    FakeAutomation* automation = Make<FakeAutomation>("automation");
    const HRESULT result = automation->QueryInterface(riid, object);
    automation->Release();
    return result;
}

std::vector<std::string> FakeAutomationWorld::UnbalancedObjects() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> unbalanced;
    for (const auto& object : objects_) {
        if (object->References() != 0) {
            unbalanced.push_back(object->Name() + " holds " + std::to_string(object->References()));
        }
    }
    return unbalanced;
}

HWND FakeAutomationWorld::RequestedWindow() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requestedWindow_;
}

CapturedValue FakeAutomationWorld::NameConditionValue() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return nameConditionValue_;
}

CapturedValue FakeAutomationWorld::ContainerSearchValue() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return containerSearchValue_;
}

std::string FakeAutomationWorld::NameOf(const void* object) const
{
    if (object == nullptr) {
        return "null";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& candidate : objects_) {
        if (candidate->Identity() == object) {
            return candidate->Name();
        }
    }
    return "unknown";
}

void FakeAutomationWorld::RecordRequestedWindow(HWND window)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requestedWindow_ = window;
}

void FakeAutomationWorld::RecordNameConditionValue(const VARIANT& value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    nameConditionValue_ = Capture(value);
}

void FakeAutomationWorld::RecordContainerSearchValue(const VARIANT& value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    containerSearchValue_ = Capture(value);
}

namespace {

std::mutex servedWorldMutex;
FakeAutomationWorld* servedWorld = nullptr;

class AutomationClassFactory : public StaticComObject<IClassFactory> {
public:
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        std::lock_guard<std::mutex> lock(servedWorldMutex);
        if (servedWorld == nullptr) {
            return REGDB_E_CLASSNOTREG;
        }
        return servedWorld->CreateAutomation(riid, object);
    }
    IFACEMETHODIMP LockServer(BOOL) override { return S_OK; }
};

AutomationClassFactory automationClassFactory;

} // namespace

struct AutomationClassRegistration::Holder {
    std::mutex mutex;
    std::condition_variable changed;
    bool registered = false;
    bool stopping = false;
    std::thread thread;
};

AutomationClassRegistration::AutomationClassRegistration() : holder_(std::make_unique<Holder>())
{
    Holder& holder = *holder_;
    HRESULT& result = result_;
    holder.thread = std::thread([&holder, &result] {
        const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        DWORD cookie = 0;
        const HRESULT registered =
            FAILED(joined)
                ? joined
                : CoRegisterClassObject(CLSID_CUIAutomation, &automationClassFactory,
                                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        std::unique_lock<std::mutex> lock(holder.mutex);
        result = registered;
        holder.registered = true;
        holder.changed.notify_all();
        holder.changed.wait(lock, [&holder] { return holder.stopping; });
        if (SUCCEEDED(registered)) {
            CoRevokeClassObject(cookie);
        }
        if (SUCCEEDED(joined)) {
            CoUninitialize();
        }
    });
    std::unique_lock<std::mutex> lock(holder.mutex);
    holder.changed.wait(lock, [&holder] { return holder.registered; });
}

AutomationClassRegistration::~AutomationClassRegistration()
{
    {
        std::lock_guard<std::mutex> lock(holder_->mutex);
        holder_->stopping = true;
    }
    holder_->changed.notify_all();
    holder_->thread.join();
}

void AutomationClassRegistration::Serve(FakeAutomationWorld* world)
{
    std::lock_guard<std::mutex> lock(servedWorldMutex);
    servedWorld = world;
}
