#include "EventSink.h"
#include "FakeAutomation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <oleauto.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

using namespace std::chrono_literals;

const HWND kRequestWindow = reinterpret_cast<HWND>(0x0BADC0DE);

// A BSTR's block holds its byte length in the four bytes before the text; a 64-bit process
// pads the header to pointer size in front of it.
constexpr size_t kBstrHeader = sizeof(void*);

// Watches the task allocator: reports the frees of the request and of the name strings to the
// event log, so they can be ordered against the releases, and can make chosen allocations
// fail. The BSTR cache must be off (OANOCACHE) for string frees to reach the allocator.
class TaskMemoryWatch : public StaticComObject<IMallocSpy> {
public:
    void Watch(FakeAutomationWorld* world, HWND requestWindow, const std::wstring& name)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        world_ = world;
        requestWindow_ = requestWindow;
        name_ = name;
    }

    // Fails the `occurrence`-th allocation on `thread` whose size is within the bounds.
    void FailAllocation(DWORD thread, SIZE_T smallest, SIZE_T largest, int occurrence)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failThread_ = thread;
        failSmallest_ = smallest;
        failLargest_ = largest;
        failOccurrence_ = occurrence;
        failSeen_ = 0;
    }

    void Reset()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        world_ = nullptr;
        failThread_ = 0;
    }

    // Whether a freed BSTR reaches the allocator at all, which the cache would prevent.
    bool SeesStringFrees()
    {
        BSTR probe = SysAllocString(L"probe");
        {
            std::lock_guard<std::mutex> lock(mutex_);
            probe_ = BlockOf(probe);
            probeFreed_ = false;
        }
        SysFreeString(probe);
        std::lock_guard<std::mutex> lock(mutex_);
        probe_ = nullptr;
        return probeFreed_;
    }

    IFACEMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override
    {
        pendingSize = size;
        std::lock_guard<std::mutex> lock(mutex_);
        if (failThread_ == GetCurrentThreadId() && size >= failSmallest_ && size <= failLargest_ &&
            ++failSeen_ == failOccurrence_) {
            return 0;
        }
        return size;
    }
    IFACEMETHODIMP_(void*) PostAlloc(void* block) override
    {
        if (block != nullptr) {
            std::lock_guard<std::mutex> lock(mutex_);
            sizes_[block] = pendingSize;
            freed_.erase(block);
        }
        return block;
    }
    IFACEMETHODIMP_(void*) PreFree(void* block, BOOL) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (block != nullptr && block == probe_) {
            probeFreed_ = true;
        }
        const auto known = sizes_.find(block);
        std::string what;
        if (known != sizes_.end()) {
            what = Classify(block, known->second);
            sizes_.erase(known);
            if (!what.empty()) {
                freed_[block] = what;
            }
        } else if (freed_.count(block) != 0) {
            what = "again " + freed_[block];
        }
        if (!what.empty() && world_ != nullptr) {
            world_->Log().Add(what);
        }
        return block;
    }
    IFACEMETHODIMP_(void) PostFree(BOOL) override {}
    IFACEMETHODIMP_(SIZE_T) PreRealloc(void* block, SIZE_T size, void** newBlock, BOOL) override
    {
        *newBlock = block;
        pendingSize = size;
        std::lock_guard<std::mutex> lock(mutex_);
        sizes_.erase(block);
        return size;
    }
    IFACEMETHODIMP_(void*) PostRealloc(void* block, BOOL) override { return PostAlloc(block); }
    IFACEMETHODIMP_(void*) PreGetSize(void* block, BOOL) override { return block; }
    IFACEMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    IFACEMETHODIMP_(void*) PreDidAlloc(void* block, BOOL) override { return block; }
    IFACEMETHODIMP_(int) PostDidAlloc(void*, BOOL, int allocated) override { return allocated; }
    IFACEMETHODIMP_(void) PreHeapMinimize() override {}
    IFACEMETHODIMP_(void) PostHeapMinimize() override {}

private:
    static void* BlockOf(BSTR text) { return reinterpret_cast<BYTE*>(text) - kBstrHeader; }

    std::string Classify(void* block, SIZE_T size) const
    {
        if (world_ == nullptr) {
            return {};
        }
        const size_t units = name_.size();
        if (size == sizeof(SelectRequest)) {
            const auto* request = static_cast<const SelectRequest*>(block);
            if (request->dialogWindow == requestWindow_ && name_ == request->itemName) {
                return "free request";
            }
        }
        const DWORD byteLength = static_cast<DWORD>(units * sizeof(wchar_t));
        const BYTE* header = static_cast<const BYTE*>(block);
        if (size >= kBstrHeader + byteLength + sizeof(wchar_t) &&
            *reinterpret_cast<const DWORD*>(header + kBstrHeader - sizeof(DWORD)) == byteLength) {
            const auto* text = reinterpret_cast<const wchar_t*>(header + kBstrHeader);
            if (std::wstring(text, units) == name_ && text[units] == L'\0') {
                const BSTR value = world_->NameConditionValue().string;
                return value != nullptr && block == BlockOf(value) ? "free name value"
                                                                   : "free name string";
            }
        }
        return {};
    }

    static thread_local SIZE_T pendingSize;

    std::mutex mutex_;
    std::unordered_map<void*, SIZE_T> sizes_;
    // Watched blocks already freed, so that a second free shows as "again ...".
    std::unordered_map<void*, std::string> freed_;
    FakeAutomationWorld* world_ = nullptr;
    HWND requestWindow_ = nullptr;
    std::wstring name_;
    void* probe_ = nullptr;
    bool probeFreed_ = false;
    DWORD failThread_ = 0;
    SIZE_T failSmallest_ = 0;
    SIZE_T failLargest_ = 0;
    int failOccurrence_ = 0;
    int failSeen_ = 0;
};

thread_local SIZE_T TaskMemoryWatch::pendingSize = 0;

TaskMemoryWatch taskMemoryWatch;

// A search or combination made with a missing condition finds nothing, whether or not it is
// asked at all; such calls are left out before logs are compared.
std::vector<std::string> WithoutCallsOnMissingObjects(const std::vector<std::string>& entries)
{
    std::vector<std::string> kept;
    for (const std::string& entry : entries) {
        const std::string nothing = "-> none";
        const bool onMissing =
            entry.find(" null") != std::string::npos && entry.size() >= nothing.size() &&
            entry.compare(entry.size() - nothing.size(), nothing.size(), nothing) == 0;
        if (!onMissing) {
            kept.push_back(entry);
        }
    }
    return kept;
}

using Steps = std::vector<std::string>;

Steps Join(std::initializer_list<Steps> parts)
{
    Steps joined;
    for (const Steps& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

Steps ListSearched(const Steps& searches)
{
    return Join(
        {{"create automation", "ElementFromHandle -> window",
          "CreatePropertyCondition 30003 VT_I4 50008 -> list condition",
          "CreatePropertyCondition 30012 VT_BSTR -> class condition",
          "CreateAndCondition list condition, class condition -> items view condition"},
         searches,
         {"release items view condition", "release class condition", "release list condition"}});
}
const Steps kFindsList = ListSearched({"FindFirst window scope=4 items view condition -> list"});
Steps ItemsViewMissing(const std::string& firstList)
{
    return ListSearched({"FindFirst window scope=4 items view condition -> none",
                         "FindFirst window scope=4 list condition -> " + firstList});
}
const Steps kListHasNoSelectionPattern = {"GetCurrentPatternAs list 10001 Selection -> none"};

// The view reports only the rows in view: when `inView` found none, the container is searched
// for a selected row, and `selectedRow` is what that search gave.
Steps SelectionAsked(const std::string& selectedRow,
                     const Steps& inView = kListHasNoSelectionPattern)
{
    return Join({inView,
                 {"GetCurrentPatternAs list 10019 ItemContainer -> container",
                  "FindItemByProperty container start=none 30079 VT_BOOL true -> " + selectedRow},
                 selectedRow == "selected row" ? Steps{"release selected row"} : Steps{},
                 {"release container"}});
}
const Steps kNothingSelected = SelectionAsked("none");
const Steps kUpToList = Join({kFindsList, kNothingSelected});

Steps ListSelectionAsked(int selected, const std::string& selectedRow = "none")
{
    const Steps asked = {"GetCurrentPatternAs list 10001 Selection -> list selection",
                         "GetCurrentSelection list selection -> " + std::to_string(selected) +
                             " selected",
                         "release selected", "release list selection"};
    return selected > 0 ? asked : SelectionAsked(selectedRow, asked);
}

const Steps kConditionsMade = {
    "CreatePropertyCondition 30003 VT_I4 50007 -> item type condition",
    "CreatePropertyCondition 30005 VT_BSTR -> name condition",
    "CreateAndCondition item type condition, name condition -> combined condition",
};
const Steps kDirectSearchFindsItem = {"FindAll list scope=2 combined condition -> 1 matches",
                                      "GetElement matches 0 -> item", "release matches"};
const Steps kDirectSearchFindsNothing = {"FindAll list scope=2 combined condition -> 0 matches",
                                         "release matches"};
const Steps kContainerFindsOne = {
    "GetCurrentPatternAs list 10019 ItemContainer -> container",
    "FindItemByProperty container start=none 30005 VT_BSTR -> found",
    "FindItemByProperty container start=found 30005 VT_BSTR -> none",
};
const Steps kContainerFinds = Join({kContainerFindsOne, kNothingSelected});
const Steps kContainerFindsNothing = {
    "GetCurrentPatternAs list 10019 ItemContainer -> container",
    "FindItemByProperty container start=none 30005 VT_BSTR -> none", "release container"};
const Steps kLookMissedThenAsked =
    Join({kDirectSearchFindsNothing, kContainerFindsNothing, kNothingSelected});
const Steps kFoundRealizedAndSelected =
    Join({{"GetCurrentPatternAs found 10020 VirtualizedItem -> virtualized", "Realize virtualized",
           "GetCurrentPatternAs found 10010 SelectionItem -> found selection"},
          kNothingSelected,
          {"Select found selection", "release found selection", "release virtualized",
           "release found", "release container"}});
const Steps kSelectsItem = Join({kNothingSelected, {"Select item selection"}});
const Steps kNameReleased = {"free name value", "free name string"};
const Steps kConditionsReleased = {
    "release combined condition",
    "release name condition",
    "release item type condition",
};
const Steps kListWindowAutomationReleased = {
    "release list",
    "release window",
    "release automation",
    "free request",
};

// The direct search finds the one item; `listAsked` are the steps after the list is found,
// `atTheItem` those between the item's selection pattern and its release.
Steps DirectItemFound(const Steps& listAsked, const Steps& atTheItem,
                      const Steps& listFound = kFindsList)
{
    return Join({listFound, listAsked, kConditionsMade, kDirectSearchFindsItem,
                 Steps{"GetCurrentPatternAs item 10010 SelectionItem -> item selection"}, atTheItem,
                 Steps{"release item selection"}, kNameReleased, kConditionsReleased,
                 Steps{"release item"}, kListWindowAutomationReleased});
}

struct WorkerCase {
    const char* name;
    AutomationScenario scenario;
    Steps expected;
};

AutomationScenario Scenario(const std::function<void(AutomationScenario&)>& change)
{
    AutomationScenario scenario;
    change(scenario);
    return scenario;
}

std::string CaseName(const ::testing::TestParamInfo<WorkerCase>& info)
{
    return info.param.name;
}

class SelectionWorkerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registration = new AutomationClassRegistration();
        spyRegistration = CoRegisterMallocSpy(&taskMemoryWatch);
    }

    static void TearDownTestSuite()
    {
        // Refused while blocks allocated under the spy live on; the spy is static anyway.
        CoRevokeMallocSpy();
        delete registration;
        registration = nullptr;
    }

    void SetUp() override
    {
        ASSERT_EQ(S_OK, registration->Result());
        ASSERT_EQ(S_OK, spyRegistration);
        ASSERT_TRUE(taskMemoryWatch.SeesStringFrees())
            << "string frees are hidden by the BSTR cache; run with OANOCACHE=1";
        savedSettings = LaunchSettings;
    }

    void TearDown() override
    {
        taskMemoryWatch.Reset();
        AutomationClassRegistration::Serve(nullptr);
        LaunchSettings = savedSettings;
        if (workerStillRunning) {
            // A worker that never finished may still call into its fakes.
            world.release();
        }
    }

    void Prepare(const AutomationScenario& scenario, HWND window, const std::wstring& name)
    {
        world = std::make_unique<FakeAutomationWorld>(scenario);
        taskMemoryWatch.Watch(world.get(), window, name);
        AutomationClassRegistration::Serve(world.get());
    }

    // Runs one worker on a thread of the test, with a request made as the starter makes it;
    // `before` and `after` run on that thread around the worker.
    static unsigned RunWorker(
        const std::wstring& name, const std::function<void()>& before = [] {},
        const std::function<void()>& after = [] {})
    {
        unsigned result = 1;
        std::thread worker([&] {
            before();
            auto* request = static_cast<SelectRequest*>(CoTaskMemAlloc(sizeof(SelectRequest)));
            if (request != nullptr) {
                request->dialogWindow = kRequestWindow;
                name.copy(request->itemName, name.size());
                request->itemName[name.size()] = L'\0';
                request->fileNameBoxText[0] = L'\0';
                result = SelectItemThreadProc(request);
            }
            after();
        });
        worker.join();
        return result;
    }

    // For workers started by the program: waits until the request has been freed.
    void AwaitRequestFreed()
    {
        // Meanwhile answers the worker's reads of windows of this thread, as the dialog's does.
        MSG message;
        for (int wait = 0; wait < 500 && !world->Log().WaitFor("free request", 10ms); ++wait) {
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        }
        workerStillRunning = !world->Log().WaitFor("free request", 0ms);
        ASSERT_FALSE(workerStillRunning) << "the worker never freed its request";
    }

    static AutomationClassRegistration* registration;
    static HRESULT spyRegistration;
    std::unique_ptr<FakeAutomationWorld> world;
    LaunchSettingsRecord savedSettings{};
    bool workerStillRunning = false;
};

AutomationClassRegistration* SelectionWorkerTest::registration = nullptr;
HRESULT SelectionWorkerTest::spyRegistration = E_FAIL;

class WorkerPathTest : public SelectionWorkerTest,
                       public ::testing::WithParamInterface<WorkerCase> {};

TEST_P(WorkerPathTest, MakesTheseCallsAndReleasesEverythingBeforeFreeingTheRequest)
{
    const WorkerCase& row = GetParam();
    Prepare(row.scenario, kRequestWindow, L"report.txt");

    EXPECT_EQ(0u, RunWorker(L"report.txt"));

    EXPECT_THAT(WithoutCallsOnMissingObjects(world->Log().Entries()),
                ElementsAreArray(row.expected));
    EXPECT_THAT(world->UnbalancedObjects(), IsEmpty());
    if (row.scenario.creation == AutomationCreation::Delivers) {
        EXPECT_EQ(kRequestWindow, world->RequestedWindow());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Branches, WorkerPathTest,
    ::testing::Values(
        WorkerCase{"DirectChildSelected", AutomationScenario{},
                   DirectItemFound(kNothingSelected, kSelectsItem)},
        // A combo box's open drop-down comes before the file list in the dialog's tree.
        WorkerCase{"ItemsViewChosenOverAnEarlierList", Scenario([](AutomationScenario& s) {
                       s.lists = DialogLists::ItemsViewAfterAnotherList;
                   }),
                   DirectItemFound(kNothingSelected, kSelectsItem)},
        WorkerCase{"FirstListTakenWithoutItemsView",
                   Scenario([](AutomationScenario& s) { s.lists = DialogLists::ListWithoutClass; }),
                   DirectItemFound(kNothingSelected, kSelectsItem, ItemsViewMissing("list"))},
        // A long folder is listed in batches after the dialog reports the folder change.
        WorkerCase{"EntryListedAtTheThirdLookIsSelectedThen", Scenario([](AutomationScenario& s) {
                       s.directItem = false;
                       s.entryListedAtLook = 3;
                   }),
                   Join({kUpToList, kConditionsMade, kLookMissedThenAsked, kLookMissedThenAsked,
                         kDirectSearchFindsNothing, kContainerFinds, kFoundRealizedAndSelected,
                         kNameReleased, kConditionsReleased, kListWindowAutomationReleased})},
        WorkerCase{"SelectionMadeBetweenLooksIsKept", Scenario([](AutomationScenario& s) {
                       s.entryListedAtLook = 2;
                       s.listSelection = ListSelection::SelectedAfterFirstAsk;
                   }),
                   Join({kFindsList, ListSelectionAsked(0), kConditionsMade,
                         kDirectSearchFindsNothing, kContainerFindsNothing, ListSelectionAsked(1),
                         kNameReleased, kConditionsReleased, kListWindowAutomationReleased})},
        // A worker never changes a selection, be it the user's or an earlier worker's.
        WorkerCase{
            "SelectionPresentEndsTheWorkerBeforeAnySearch",
            Scenario([](AutomationScenario& s) { s.listSelection = ListSelection::Selected; }),
            Join({kFindsList, ListSelectionAsked(1), kListWindowAutomationReleased})},
        WorkerCase{"EmptySelectionSelectsAsBefore",
                   Scenario([](AutomationScenario& s) { s.listSelection = ListSelection::Empty; }),
                   DirectItemFound(ListSelectionAsked(0),
                                   Join({ListSelectionAsked(0), {"Select item selection"}}))},
        // The user clicks while the worker searches.
        WorkerCase{"SelectionMadeDuringDirectSearchIsKept", Scenario([](AutomationScenario& s) {
                       s.listSelection = ListSelection::SelectedAfterFirstAsk;
                   }),
                   DirectItemFound(ListSelectionAsked(0), ListSelectionAsked(1))},
        WorkerCase{"SelectionMadeDuringContainerSearchIsKeptAndNothingRealized",
                   Scenario([](AutomationScenario& s) {
                       s.directItem = false;
                       s.listSelection = ListSelection::SelectedAfterFirstAsk;
                   }),
                   Join({kFindsList, ListSelectionAsked(0), kConditionsMade,
                         kDirectSearchFindsNothing, kContainerFindsOne, ListSelectionAsked(1),
                         Steps{"release found", "release container"}, kNameReleased,
                         kConditionsReleased, kListWindowAutomationReleased})},
        // The view reports only the rows in view; the user's pick may have been scrolled away.
        WorkerCase{"SelectedRowOutOfViewEndsTheWorkerBeforeAnySearch",
                   Scenario([](AutomationScenario& s) {
                       s.listSelection = ListSelection::Empty;
                       s.selectedRowSearch = SelectedRowSearch::Finds;
                   }),
                   Join({kFindsList, ListSelectionAsked(0, "selected row"),
                         kListWindowAutomationReleased})},
        WorkerCase{"RowSelectedOutOfViewDuringDirectSearchIsKept",
                   Scenario([](AutomationScenario& s) {
                       s.selectedRowSearch = SelectedRowSearch::FindsAfterFirstAsk;
                   }),
                   DirectItemFound(kNothingSelected, SelectionAsked("selected row"))},
        WorkerCase{
            "RowSelectedOutOfViewDuringContainerSearchIsKeptAndNothingRealized",
            Scenario([](AutomationScenario& s) {
                s.directItem = false;
                s.selectedRowSearch = SelectedRowSearch::FindsAfterFirstAsk;
            }),
            Join({kUpToList, kConditionsMade, kDirectSearchFindsNothing, kContainerFindsOne,
                  SelectionAsked("selected row"), Steps{"release found", "release container"},
                  kNameReleased, kConditionsReleased, kListWindowAutomationReleased})},
        WorkerCase{
            "ContainerRefusingTheSelectedRowSearchSelectsAsBefore",
            Scenario([](AutomationScenario& s) {
                s.selectedRowSearch = SelectedRowSearch::Refused;
            }),
            DirectItemFound(SelectionAsked("E_INVALIDARG"),
                            Join({SelectionAsked("E_INVALIDARG"), {"Select item selection"}}))},
        // Hidden extensions: setup.exe and setup.ini both show as "setup".
        WorkerCase{
            "NameSharedByDirectChildrenSelectsNeither",
            Scenario([](AutomationScenario& s) { s.secondDirectItem = true; }),
            Join({kUpToList,
                  kConditionsMade,
                  {"FindAll list scope=2 combined condition -> 2 matches", "release matches"},
                  kNameReleased,
                  kConditionsReleased,
                  kListWindowAutomationReleased})},
        WorkerCase{"NameFoundTwiceByContainerRealizesAndSelectsNothing",
                   Scenario([](AutomationScenario& s) {
                       s.directItem = false;
                       s.containerFindsSecond = true;
                   }),
                   Join({kUpToList,
                         kConditionsMade,
                         kDirectSearchFindsNothing,
                         {"GetCurrentPatternAs list 10019 ItemContainer -> container",
                          "FindItemByProperty container start=none 30005 VT_BSTR -> found",
                          "FindItemByProperty container start=found 30005 VT_BSTR -> second found",
                          "release second found", "release found", "release container"},
                         kNameReleased,
                         kConditionsReleased,
                         kListWindowAutomationReleased})},
        WorkerCase{"DirectChildWithoutSelectionTriesNoContainer",
                   Scenario([](AutomationScenario& s) { s.itemSelection = false; }),
                   Join({kUpToList,
                         kConditionsMade,
                         kDirectSearchFindsItem,
                         {"GetCurrentPatternAs item 10010 SelectionItem -> none"},
                         kNameReleased,
                         kConditionsReleased,
                         {"release item"},
                         kListWindowAutomationReleased})},
        WorkerCase{"ContainerFindsRealizesAndSelects",
                   Scenario([](AutomationScenario& s) { s.directItem = false; }),
                   Join({kUpToList, kConditionsMade, kDirectSearchFindsNothing, kContainerFinds,
                         kFoundRealizedAndSelected, kNameReleased, kConditionsReleased,
                         kListWindowAutomationReleased})},
        WorkerCase{"RealizeReportingFalseStillSelects", Scenario([](AutomationScenario& s) {
                       s.directItem = false;
                       s.realizeResult = S_FALSE;
                   }),
                   Join({kUpToList, kConditionsMade, kDirectSearchFindsNothing, kContainerFinds,
                         kFoundRealizedAndSelected, kNameReleased, kConditionsReleased,
                         kListWindowAutomationReleased})},
        WorkerCase{"RealizeFailsSelectsNothing", Scenario([](AutomationScenario& s) {
                       s.directItem = false;
                       s.realizeResult = E_FAIL;
                   }),
                   Join({kUpToList,
                         kConditionsMade,
                         kDirectSearchFindsNothing,
                         kContainerFinds,
                         {"GetCurrentPatternAs found 10020 VirtualizedItem -> virtualized",
                          "Realize virtualized", "release virtualized", "release found",
                          "release container"},
                         kNameReleased,
                         kConditionsReleased,
                         kListWindowAutomationReleased})},
        WorkerCase{
            "FoundWithoutSelectionSelectsNothing", Scenario([](AutomationScenario& s) {
                s.directItem = false;
                s.foundSelection = false;
            }),
            Join({kUpToList,
                  kConditionsMade,
                  kDirectSearchFindsNothing,
                  kContainerFinds,
                  {"GetCurrentPatternAs found 10020 VirtualizedItem -> virtualized",
                   "Realize virtualized", "GetCurrentPatternAs found 10010 SelectionItem -> none",
                   "release virtualized", "release found", "release container"},
                  kNameReleased,
                  kConditionsReleased,
                  kListWindowAutomationReleased})},
        WorkerCase{"FoundWithoutVirtualizedPatternSelectsNothing",
                   Scenario([](AutomationScenario& s) {
                       s.directItem = false;
                       s.virtualized = false;
                   }),
                   Join({kUpToList,
                         kConditionsMade,
                         kDirectSearchFindsNothing,
                         kContainerFinds,
                         {"GetCurrentPatternAs found 10020 VirtualizedItem -> none",
                          "release found", "release container"},
                         kNameReleased,
                         kConditionsReleased,
                         kListWindowAutomationReleased})},
        WorkerCase{"AutomationNotCreated",
                   Scenario([](AutomationScenario& s) { s.creation = AutomationCreation::Fails; }),
                   {"create automation fails", "free request"}},
        WorkerCase{
            "AutomationCreatedWithoutObject",
            Scenario(
                [](AutomationScenario& s) { s.creation = AutomationCreation::DeliversNothing; }),
            {"create automation delivers nothing", "free request"}},
        WorkerCase{"NoWindowElement",
                   Scenario([](AutomationScenario& s) { s.windowElement = false; }),
                   {"create automation", "ElementFromHandle -> none", "release automation",
                    "free request"}},
        WorkerCase{"NoList", Scenario([](AutomationScenario& s) { s.lists = DialogLists::None; }),
                   Join({ItemsViewMissing("none"),
                         {"release window", "release automation", "free request"}})},
        WorkerCase{"ListConditionFails",
                   Scenario([](AutomationScenario& s) { s.listCondition = false; }),
                   {"create automation", "ElementFromHandle -> window",
                    "CreatePropertyCondition 30003 VT_I4 50008 -> none", "release window",
                    "release automation", "free request"}},
        WorkerCase{"ItemTypeConditionFailsSoContainerDecides",
                   Scenario([](AutomationScenario& s) { s.itemTypeCondition = false; }),
                   Join({kUpToList,
                         {"CreatePropertyCondition 30003 VT_I4 50007 -> none",
                          "CreatePropertyCondition 30005 VT_BSTR -> name condition"},
                         kContainerFinds,
                         kFoundRealizedAndSelected,
                         kNameReleased,
                         {"release name condition"},
                         kListWindowAutomationReleased})},
        WorkerCase{"NameConditionFailsSoContainerDecides",
                   Scenario([](AutomationScenario& s) { s.nameCondition = false; }),
                   Join({kUpToList,
                         {"CreatePropertyCondition 30003 VT_I4 50007 -> item type condition",
                          "CreatePropertyCondition 30005 VT_BSTR -> none"},
                         kContainerFinds,
                         kFoundRealizedAndSelected,
                         kNameReleased,
                         {"release item type condition"},
                         kListWindowAutomationReleased})},
        WorkerCase{"CombinedConditionFailsSoContainerDecides",
                   Scenario([](AutomationScenario& s) { s.combinedCondition = false; }),
                   Join({kUpToList,
                         {"CreatePropertyCondition 30003 VT_I4 50007 -> item type condition",
                          "CreatePropertyCondition 30005 VT_BSTR -> name condition",
                          "CreateAndCondition item type condition, name condition -> none"},
                         kContainerFinds,
                         kFoundRealizedAndSelected,
                         kNameReleased,
                         {"release name condition", "release item type condition"},
                         kListWindowAutomationReleased})}),
    CaseName);

// The list is searched for once; the entry, in a list without an item container, never shows.
TEST_F(SelectionWorkerTest, EntryNeverListedIsLookedForSevenTimesOverFiveToEightSeconds)
{
    Prepare(Scenario([](AutomationScenario& s) {
                s.directItem = false;
                s.container = false;
            }),
            kRequestWindow, L"report.txt");
    const Steps noContainer = {"GetCurrentPatternAs list 10019 ItemContainer -> none"};
    const Steps look = Join({kDirectSearchFindsNothing, noContainer});
    const Steps asked = Join({kListHasNoSelectionPattern, noContainer});
    Steps expected = Join({kFindsList, asked, kConditionsMade, look});
    for (int later = 0; later < 6; ++later) {
        expected = Join({expected, asked, look});
    }

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, RunWorker(L"report.txt"));
    const auto took = std::chrono::steady_clock::now() - started;

    EXPECT_THAT(world->Log().Entries(),
                ElementsAreArray(Join({expected, kNameReleased, kConditionsReleased,
                                       kListWindowAutomationReleased})));
    EXPECT_GE(took, 5s);
    EXPECT_LT(took, 8s);
}

// The name string, the name condition's value and the container search all carry exactly the
// request's name, at its full length.
TEST_F(SelectionWorkerTest, LongestNameReachesEverySearchWhole)
{
    const std::wstring name(kPathUnits - 1, L'n');
    Prepare(Scenario([](AutomationScenario& s) { s.directItem = false; }), kRequestWindow, name);

    EXPECT_EQ(0u, RunWorker(name));

    const CapturedValue condition = world->NameConditionValue();
    ASSERT_TRUE(condition.seen);
    EXPECT_EQ(VT_BSTR, condition.type);
    EXPECT_EQ(name, condition.text);
    EXPECT_EQ(name.size() * sizeof(wchar_t), condition.byteLength);
    const CapturedValue search = world->ContainerSearchValue();
    ASSERT_TRUE(search.seen);
    EXPECT_EQ(VT_BSTR, search.type);
    EXPECT_EQ(condition.string, search.string) << "the container is asked with the same value";
    EXPECT_EQ(name, search.text);
    // The spy reports "free name string" only for a string of exactly the name's length.
    EXPECT_THAT(world->Log().Entries(), ::testing::Contains("free name string"));
    EXPECT_THAT(world->UnbalancedObjects(), IsEmpty());
}

struct AllocationFailureCase {
    const char* name;
    int failingOccurrence;
    Steps expected;
};

class NameAllocationFailureTest : public SelectionWorkerTest,
                                  public ::testing::WithParamInterface<AllocationFailureCase> {};

// Without the name string or its copy the attempt ends like any other failure.
TEST_P(NameAllocationFailureTest, EndsTheAttemptReleasingWhatIsHeld)
{
    const std::wstring name(200, L'q');
    const SIZE_T stringBlock = kBstrHeader + name.size() * sizeof(wchar_t) + sizeof(wchar_t);
    Prepare(AutomationScenario{}, kRequestWindow, name);

    const unsigned result = RunWorker(name, [&] {
        taskMemoryWatch.FailAllocation(GetCurrentThreadId(), stringBlock, stringBlock + 31,
                                       GetParam().failingOccurrence);
    });

    EXPECT_EQ(0u, result);
    EXPECT_THAT(world->Log().Entries(), ElementsAreArray(GetParam().expected));
    EXPECT_THAT(world->UnbalancedObjects(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    NameStrings, NameAllocationFailureTest,
    ::testing::Values(
        AllocationFailureCase{"NameString", 1, Join({kUpToList, kListWindowAutomationReleased})},
        AllocationFailureCase{
            "NameCopy", 2, Join({kUpToList, {"free name string"}, kListWindowAutomationReleased})}),
    [](const ::testing::TestParamInfo<AllocationFailureCase>& info) { return info.param.name; });

// A thread already in a single-threaded apartment cannot join the multithreaded one.
TEST_F(SelectionWorkerTest, WithoutComTheRequestIsStillFreedAndComIsNotLeft)
{
    Prepare(AutomationScenario{}, kRequestWindow, L"report.txt");
    HRESULT entered = E_FAIL;
    HRESULT enteredAgain = E_FAIL;

    const unsigned result = RunWorker(
        L"report.txt", [&] { entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); },
        [&] {
            // S_FALSE only while the apartment this thread entered is still there.
            enteredAgain = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            CoUninitialize();
            CoUninitialize();
        });

    ASSERT_EQ(S_OK, entered);
    EXPECT_EQ(0u, result);
    EXPECT_EQ(S_FALSE, enteredAgain) << "the worker left an apartment it never joined";
    EXPECT_THAT(world->Log().Entries(), ElementsAreArray(Steps{"free request"}));
}

class StartSelectWorkerTest : public SelectionWorkerTest {};

TEST_F(StartSelectWorkerTest, WorkerGetsTheWindowAndTheNameAndFreesItsRequest)
{
    wcscpy(LaunchSettings.selectName, L"notes.txt");
    Prepare(AutomationScenario{}, kRequestWindow, L"notes.txt");

    StartSelectWorker(kRequestWindow);
    AwaitRequestFreed();

    EXPECT_EQ(kRequestWindow, world->RequestedWindow());
    EXPECT_EQ(L"notes.txt", world->NameConditionValue().text);
    EXPECT_THAT(world->Log().Entries(), ::testing::Contains("Select item selection"));
    EXPECT_THAT(world->UnbalancedObjects(), IsEmpty());
}

TEST_F(StartSelectWorkerTest, NameWithoutTerminatorIsCutToItsFirst259Units)
{
    std::fill(std::begin(LaunchSettings.selectName), std::end(LaunchSettings.selectName), L'x');
    // The field that follows must not leak into the name.
    wcscpy(LaunchSettings.previousSelection, L"spill");
    const std::wstring expected(kPathUnits - 1, L'x');
    Prepare(Scenario([](AutomationScenario& s) { s.directItem = false; }), kRequestWindow,
            expected);

    StartSelectWorker(kRequestWindow);
    AwaitRequestFreed();

    const CapturedValue condition = world->NameConditionValue();
    EXPECT_EQ(expected, condition.text);
    EXPECT_EQ(expected.size() * sizeof(wchar_t), condition.byteLength);
    EXPECT_EQ(expected, world->ContainerSearchValue().text);
    EXPECT_THAT(world->UnbalancedObjects(), IsEmpty());
}

// The box shows the start name until the user types or picks another there, which selecting
// the entry would replace.
TEST_F(StartSelectWorkerTest, NameTypedIntoTheFileNameBoxSinceTheStartIsNeverReplaced)
{
    const std::tuple<const char*, const wchar_t*, int, bool, const wchar_t*, int, int> cases[] = {
        // label, box class, id, entry a direct child, box text when the worker reads it,
        // Realize calls, Select calls
        {"combo box unchanged", L"ComboBox", kFileNameBoxId, false, L"report.txt", 1, 1},
        {"Wine's Edit unchanged", L"Edit", kWineFileNameEditId, true, L"report.txt", 0, 1},
        {"typed before Select", L"ComboBox", kFileNameBoxId, true, L"report.doc", 0, 0},
        {"typed before Realize", L"Edit", kWineFileNameEditId, false, L"report.doc", 0, 0},
        {"no box", L"Edit", IDOK, true, L"report.doc", 0, 1},
    };
    wcscpy(LaunchSettings.selectName, L"report.txt");
    for (const auto& [label, boxClass, id, direct, typed, realizes, selects] : cases) {
        SCOPED_TRACE(label);
        const HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr,
                                            nullptr, nullptr, nullptr);
        const HWND box =
            CreateWindowExW(0, boxClass, L"", WS_CHILD | CBS_DROPDOWN, 0, 0, 200, 100, dialog,
                            reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
        SetWindowTextW(box, L"report.txt");
        Prepare(Scenario([direct = direct](AutomationScenario& s) { s.directItem = direct; }),
                dialog, L"report.txt");

        StartSelectWorker(dialog);
        // The worker's reads wait for this thread, so they see the box as typed in now.
        SetWindowTextW(box, typed);
        AwaitRequestFreed();
        DestroyWindow(dialog);

        const Steps entries = world->Log().Entries();
        EXPECT_THAT(entries, ::testing::Contains("Realize virtualized").Times(realizes));
        EXPECT_THAT(entries, ::testing::Contains(::testing::StartsWith("Select ")).Times(selects));
    }
}

struct NoWorkerCase {
    const char* name;
    HWND window;
    bool requestMemory;
};

class NoWorkerTest : public StartSelectWorkerTest,
                     public ::testing::WithParamInterface<NoWorkerCase> {};

TEST_P(NoWorkerTest, IsStarted)
{
    wcscpy(LaunchSettings.selectName, L"notes.txt");
    Prepare(AutomationScenario{}, kRequestWindow, L"notes.txt");
    if (!GetParam().requestMemory) {
        taskMemoryWatch.FailAllocation(GetCurrentThreadId(), sizeof(SelectRequest),
                                       sizeof(SelectRequest), 1);
    }

    StartSelectWorker(GetParam().window);

    // A worker, had one started, would have asked for the automation object by now.
    EXPECT_FALSE(world->Log().WaitFor("create automation", 300ms));
    EXPECT_THAT(world->Log().Entries(), IsEmpty());
}

// Without the dialog's window a worker would search from the desktop, in other programs too.
INSTANTIATE_TEST_SUITE_P(StartSelectWorker, NoWorkerTest,
                         ::testing::Values(NoWorkerCase{"WithoutRequestMemory", kRequestWindow,
                                                        false},
                                           NoWorkerCase{"WithoutDialogWindow", nullptr, true}),
                         [](const ::testing::TestParamInfo<NoWorkerCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
