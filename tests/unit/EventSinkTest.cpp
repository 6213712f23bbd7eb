// The dialog's event sink, called directly with recording dialogs, items and item arrays.
// Selection workers are observed where they first touch COM: each asks for UI Automation, which
// a counting class factory registered in the multithreaded apartment answers.
#include "EventSink.h"
#include "FakeFileDialog.h"
#include "TempFolder.h"
#include "RecordingFileType.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <uiautomation.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <tuple>

using Microsoft::WRL::ComPtr;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr SFGAOF kKindMask = SFGAO_FOLDER | SFGAO_STREAM;
const std::wstring kKindMaskCall = L"GetAttributes(" + Hex(kKindMask) + L")";
const std::wstring kNormalDisplayCall = L"GetDisplayName(" + Hex(SIGDN_NORMALDISPLAY) + L")";
constexpr DWORD kWaitMs = 5000;
constexpr DWORD kWorkerGraceMs = 100;
constexpr DWORD kLaunchGraceMs = 300;

// Counts selection workers: registers, from a thread of the multithreaded apartment, a class
// factory for UI Automation that counts each creation and refuses it, so the worker ends at once.
class WorkerStartCounter {
public:
    WorkerStartCounter()
        : factory_([this](REFIID, void**) {
              ++starts_;
              return E_FAIL;
          }),
          ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), apartment_([this] { Serve(); })
    {
        WaitForSingleObject(ready_, kWaitMs);
    }
    ~WorkerStartCounter()
    {
        SetEvent(stop_);
        apartment_.join();
        CloseHandle(stop_);
        CloseHandle(ready_);
    }
    WorkerStartCounter(const WorkerStartCounter&) = delete;
    WorkerStartCounter& operator=(const WorkerStartCounter&) = delete;

    HRESULT Registration() const { return registration_; }

    // Waits until `expected` workers have started (or a timeout), then a little longer, so
    // that a worker too many is counted as well.
    int SettledCount(int expected) const
    {
        const ULONGLONG deadline = GetTickCount64() + kWaitMs;
        while (starts_ < expected && GetTickCount64() < deadline) {
            Sleep(10);
        }
        Sleep(kWorkerGraceMs);
        return starts_;
    }

private:
    void Serve()
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        DWORD cookie = 0;
        registration_ = CoRegisterClassObject(CLSID_CUIAutomation, &factory_, CLSCTX_INPROC_SERVER,
                                              REGCLS_MULTIPLEUSE, &cookie);
        SetEvent(ready_);
        WaitForSingleObject(stop_, INFINITE);
        if (SUCCEEDED(registration_)) {
            CoRevokeClassObject(cookie);
        }
        CoUninitialize();
    }

    std::atomic<int> starts_{0};
    FakeClassFactory factory_;
    HRESULT registration_ = E_PENDING;
    HANDLE ready_;
    HANDLE stop_;
    std::thread apartment_;
};

class EventSinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr)); }

    void TearDown() override { OleUninitialize(); }

    IFileDialog* Dialog() { return static_cast<IFileOpenDialog*>(&dialog_); }

    // No window bears this caption, so the tailoring finds a window only through the dialog.
    FreshLaunchSettings settings_{L"Veltrin sink test: no such window"};
    CFileOpenBasketPickerCallback sink_;
    FakeFileDialog dialog_;
};

class WorkerTest : public EventSinkTest {
protected:
    void SetUp() override
    {
        EventSinkTest::SetUp();
        ASSERT_HRESULT_SUCCEEDED(workers_.Registration());
    }

    WorkerStartCounter workers_;
};

TEST_F(EventSinkTest, QueryInterfaceHandsOutBothInterfacesAndNothingElse)
{
    IFileDialogEvents* events = &sink_;
    IFileDialogControlEvents* controls = &sink_;
    struct Query {
        const char* label;
        IUnknown* through;
        const IID* id;
        void* expected;
    };
    const Query queries[] = {
        {"events through events", events, &IID_IFileDialogEvents, events},
        {"unknown through events", events, &IID_IUnknown, events},
        {"controls through events", events, &IID_IFileDialogControlEvents, controls},
        {"controls through controls", controls, &IID_IFileDialogControlEvents, controls},
        {"unknown through controls", controls, &IID_IUnknown, events},
        {"events through controls", controls, &IID_IFileDialogEvents, events},
        {"dialog", events, &IID_IFileDialog, nullptr},
        {"window", controls, &IID_IOleWindow, nullptr},
        {"shell item", events, &IID_IShellItem, nullptr},
        {"customize", controls, &IID_IFileDialogCustomize, nullptr},
    };
    ASSERT_NE(static_cast<void*>(events), static_cast<void*>(controls));
    for (const Query& query : queries) {
        SCOPED_TRACE(query.label);
        void* pointer = &sink_;
        const HRESULT result = query.through->QueryInterface(*query.id, &pointer);
        EXPECT_EQ(query.expected != nullptr ? S_OK : E_NOINTERFACE, result);
        EXPECT_EQ(query.expected, pointer);
    }
}

TEST_F(EventSinkTest, AddRefAndReleaseReturnConstantsAndKeepTheObject)
{
    IFileDialogEvents* events = &sink_;
    IFileDialogControlEvents* controls = &sink_;
    for (IUnknown* through : {static_cast<IUnknown*>(events), static_cast<IUnknown*>(controls)}) {
        EXPECT_EQ(3u, through->AddRef());
        EXPECT_EQ(3u, through->AddRef());
        EXPECT_EQ(2u, through->Release());
        EXPECT_EQ(2u, through->Release());
        EXPECT_EQ(2u, through->Release());
    }
    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, controls->QueryInterface(IID_PPV_ARGS(&unknown)));
    EXPECT_EQ(static_cast<IUnknown*>(events), unknown);
}

TEST_F(EventSinkTest, UnhandledEventsTouchNeitherArgumentsNorState)
{
    CopyBounded(LaunchSettings.selectName, L"start.vxdat", kPathUnits);
    LaunchSettings.navFlags = NF_NOCHANGEDIR;
    LaunchSettingsRecord before;
    memcpy(&before, &LaunchSettings, sizeof(before));
    FakeShellItem item(0, L"item.vxdat");
    const auto unchangedShare = static_cast<FDE_SHAREVIOLATION_RESPONSE>(0x7777);
    const auto unchangedOverwrite = static_cast<FDE_OVERWRITE_RESPONSE>(0x6666);
    FDE_SHAREVIOLATION_RESPONSE share = unchangedShare;
    FDE_OVERWRITE_RESPONSE overwrite = unchangedOverwrite;

    EXPECT_EQ(E_NOTIMPL, sink_.OnShareViolation(Dialog(), &item, &share));
    EXPECT_EQ(E_NOTIMPL, sink_.OnOverwrite(Dialog(), &item, &overwrite));
    EXPECT_EQ(E_NOTIMPL, sink_.OnTypeChange(Dialog()));
    EXPECT_EQ(E_NOTIMPL, sink_.OnItemSelected(&dialog_, IDC_EXITBUTTON, 1));
    EXPECT_EQ(E_NOTIMPL, sink_.OnCheckButtonToggled(&dialog_, IDC_EXITBUTTON, TRUE));
    EXPECT_EQ(E_NOTIMPL, sink_.OnControlActivating(&dialog_, IDC_EXITBUTTON));

    EXPECT_EQ(unchangedShare, share);
    EXPECT_EQ(unchangedOverwrite, overwrite);
    EXPECT_THAT(dialog_.Calls(), IsEmpty());
    EXPECT_THAT(item.Calls(), IsEmpty());
    EXPECT_EQ(1u, dialog_.References());
    EXPECT_EQ(1u, item.References());
    EXPECT_EQ(0, memcmp(&before, &LaunchSettings, sizeof(before)));
}

TEST_F(EventSinkTest, FolderLockLetsOnlyTheFirstNavigationThrough)
{
    struct LockCase {
        const char* label;
        DWORD navFlags;
        LONG firstFolderChange;
        std::vector<HRESULT> expected;
    };
    const LockCase cases[] = {
        {"no lock", 0, 1, {E_NOTIMPL, E_NOTIMPL, E_NOTIMPL}},
        {"places hidden, no lock", 0x60000, 1, {E_NOTIMPL, E_NOTIMPL, E_NOTIMPL}},
        {"lock bit alone", NF_FOLDERLOCK, 1, {E_NOTIMPL, E_ACCESSDENIED, E_ACCESSDENIED}},
        {"/NOCHANGEDIR", NF_NOCHANGEDIR, 1, {E_NOTIMPL, E_ACCESSDENIED, E_ACCESSDENIED}},
        {"first change already gone", NF_FOLDERLOCK, 0, {E_ACCESSDENIED, E_ACCESSDENIED}},
    };
    for (const LockCase& lockCase : cases) {
        SCOPED_TRACE(lockCase.label);
        LaunchSettings.navFlags = lockCase.navFlags;
        LaunchSettings.firstFolderChange = lockCase.firstFolderChange;
        FakeShellItem target(SFGAO_FOLDER, L"elsewhere");
        std::vector<HRESULT> results;
        for (size_t call = 0; call < lockCase.expected.size(); ++call) {
            results.push_back(sink_.OnFolderChanging(Dialog(), &target));
        }
        EXPECT_EQ(lockCase.expected, results);
        EXPECT_EQ(0, LaunchSettings.firstFolderChange);
        EXPECT_THAT(target.Calls(), IsEmpty());
    }
    EXPECT_THAT(dialog_.Calls(), IsEmpty());
}

// A hidden top-level window that the fake dialog can report as its own.
class ScratchWindow {
public:
    ScratchWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"Veltrin sink test window", WS_POPUP, 0, 0, 100,
                                  100, nullptr, nullptr, nullptr, nullptr))
    {
    }
    ~ScratchWindow() { DestroyWindow(window_); }
    ScratchWindow(const ScratchWindow&) = delete;
    ScratchWindow& operator=(const ScratchWindow&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_;
};

// A dialog that has its window: only then may a worker search it.
class WindowedWorkerTest : public WorkerTest {
protected:
    void SetUp() override
    {
        WorkerTest::SetUp();
        dialog_.SetWindow(window_.Get());
    }

    ScratchWindow window_;
};

TEST_F(WorkerTest, FirstFolderChangeTailorsOnceEvenWhenItFindsNoWindow)
{
    CopyBounded(LaunchSettings.selectName, L"start.vxdat", kPathUnits);

    EXPECT_EQ(E_NOTIMPL, sink_.OnFolderChange(Dialog()));
    EXPECT_EQ(1, LaunchSettings.tailoringDone);
    EXPECT_THAT(dialog_.Calls(), ElementsAre(L"QueryInterface(IOleWindow)"));

    ScratchWindow window;
    ASSERT_NE(nullptr, window.Get());
    dialog_.SetWindow(window.Get());
    dialog_.ClearCalls();
    EXPECT_EQ(E_NOTIMPL, sink_.OnFolderChange(Dialog()));
    EXPECT_THAT(dialog_.Calls(), IsEmpty());
    EXPECT_EQ(0, workers_.SettledCount(0));
}

TEST_F(WorkerTest, FirstFolderChangeWithAWindowStartsOneWorkerForTheStartName)
{
    CopyBounded(LaunchSettings.selectName, L"start.vxdat", kPathUnits);
    ScratchWindow window;
    ASSERT_NE(nullptr, window.Get());
    dialog_.SetWindow(window.Get());

    EXPECT_EQ(E_NOTIMPL, sink_.OnFolderChange(Dialog()));
    EXPECT_EQ(1, workers_.SettledCount(1));
    EXPECT_EQ(1, LaunchSettings.tailoringDone);

    dialog_.ClearCalls();
    EXPECT_EQ(E_NOTIMPL, sink_.OnFolderChange(Dialog()));
    EXPECT_THAT(dialog_.Calls(), IsEmpty());
    EXPECT_EQ(1, workers_.SettledCount(1));
    EXPECT_EQ(1u, dialog_.References());
}

TEST_F(WorkerTest, FolderChangeAfterTailoringDoesNothing)
{
    CopyBounded(LaunchSettings.selectName, L"start.vxdat", kPathUnits);
    LaunchSettings.tailoringDone = 1;
    ScratchWindow window;
    dialog_.SetWindow(window.Get());

    EXPECT_EQ(E_NOTIMPL, sink_.OnFolderChange(Dialog()));
    EXPECT_THAT(dialog_.Calls(), IsEmpty());
    EXPECT_EQ(0, workers_.SettledCount(0));
}

enum class NameDelivery { Name, Failure, NoString };

struct SelectionCase {
    const char* label;
    bool hasSelection;
    SFGAOF attributes;
    HRESULT attributesResult;
    NameDelivery delivery;
    std::wstring displayName;
    const wchar_t* selectBefore;
    const wchar_t* previousBefore;
    std::wstring expectedSelect;
    int expectedWorkers;
    std::vector<std::wstring> expectedDialogCalls;
    std::vector<std::wstring> expectedItemCalls;
};

void PrintTo(const SelectionCase& selectionCase, std::ostream* out)
{
    *out << selectionCase.label;
}

class SelectionTest : public WindowedWorkerTest,
                      public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionTest, TakesTheNameOfNonFolderItemsAndStartsAWorkerForANewName)
{
    const SelectionCase& selection = GetParam();
    FakeShellItem item(selection.attributes, selection.displayName);
    item.SetAttributesResult(selection.attributesResult);
    if (selection.delivery == NameDelivery::Failure) {
        item.FailDisplayName();
    } else if (selection.delivery == NameDelivery::NoString) {
        item.DeliverNoDisplayName();
    }
    if (selection.hasSelection) {
        dialog_.SetCurrentSelection(&item);
    }
    CopyBounded(LaunchSettings.selectName, selection.selectBefore, kPathUnits);
    CopyBounded(LaunchSettings.previousSelection, selection.previousBefore, kPathUnits);

    EXPECT_EQ(S_OK, sink_.OnSelectionChange(Dialog()));

    EXPECT_EQ(selection.expectedSelect, LaunchSettings.selectName);
    EXPECT_EQ(selection.expectedSelect, LaunchSettings.previousSelection);
    EXPECT_EQ(selection.expectedWorkers, workers_.SettledCount(selection.expectedWorkers));
    EXPECT_EQ(selection.expectedDialogCalls, dialog_.Calls());
    EXPECT_EQ(selection.expectedItemCalls, item.Calls());
    EXPECT_EQ(1u, item.References());
    EXPECT_EQ(1u, dialog_.References());
}

const std::wstring k300Units(300, L'n');
const std::wstring k259Units(259, L'n');
const std::vector<std::wstring> kLabelOnly = {L"GetCurrentSelection()", L"SetOkButtonLabel(Open)"};
const std::vector<std::wstring> kLabelAndWindow = {
    L"GetCurrentSelection()", L"SetOkButtonLabel(Open)", L"QueryInterface(IOleWindow)",
    L"GetWindow", L"Release"};
const std::vector<std::wstring> kWorkerStarted = {
    L"GetCurrentSelection()", L"SetOkButtonLabel(Open)", L"QueryInterface(IOleWindow)",
    L"GetWindow", L"Release",
    // Before a worker starts, the view is asked whether the move left a selection.
    L"QueryInterface(IFileOpenDialog)", L"GetSelectedItems()", L"Release"};
const std::vector<std::wstring> kFolderItemCalls = {kKindMaskCall};
const std::vector<std::wstring> kFileItemCalls = {kKindMaskCall, kNormalDisplayCall};

INSTANTIATE_TEST_SUITE_P(
    CurrentItems, SelectionTest,
    ::testing::Values(
        SelectionCase{"PlainFolder", true, SFGAO_FOLDER, S_OK, NameDelivery::Name, L"Folder", L"",
                      L"", L"", 0, kLabelOnly, kFolderItemCalls},
        SelectionCase{"PlainFolderReportedWithSFalse", true, SFGAO_FOLDER, S_FALSE,
                      NameDelivery::Name, L"Folder", L"", L"", L"", 0, kLabelOnly,
                      kFolderItemCalls},
        SelectionCase{
            "FileSystemFolder", true, SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER, S_OK,
            NameDelivery::Name, L"Folder", L"", L"", L"", 0, kLabelOnly, kFolderItemCalls},
        SelectionCase{"File", true, SFGAO_STREAM | SFGAO_FILESYSTEM, S_OK, NameDelivery::Name,
                      L"report.vxdat", L"", L"", L"report.vxdat", 1, kWorkerStarted,
                      kFileItemCalls},
        SelectionCase{"ItemWithoutKindBits", true, 0, S_OK, NameDelivery::Name, L"printer", L"",
                      L"", L"printer", 1, kWorkerStarted, kFileItemCalls},
        SelectionCase{"ContainerFile", true, SFGAO_FOLDER | SFGAO_STREAM, S_OK, NameDelivery::Name,
                      L"archive.zip", L"", L"", L"archive.zip", 1, kWorkerStarted, kFileItemCalls},
        SelectionCase{"FailedAttributes", true, SFGAO_FOLDER, E_FAIL, NameDelivery::Name,
                      L"unknown.vxdat", L"", L"", L"unknown.vxdat", 1, kWorkerStarted,
                      kFileItemCalls},
        SelectionCase{"NoCurrentItemFirstTime",
                      false,
                      0,
                      S_OK,
                      NameDelivery::Name,
                      L"",
                      L"start.vxdat",
                      L"",
                      L"start.vxdat",
                      1,
                      {L"GetCurrentSelection()", L"QueryInterface(IOleWindow)", L"GetWindow",
                       L"Release", L"QueryInterface(IFileOpenDialog)", L"GetSelectedItems()",
                       L"Release"},
                      {}},
        SelectionCase{"NoCurrentItemAgain",
                      false,
                      0,
                      S_OK,
                      NameDelivery::Name,
                      L"",
                      L"start.vxdat",
                      L"start.vxdat",
                      L"start.vxdat",
                      0,
                      {L"GetCurrentSelection()"},
                      {}},
        SelectionCase{"FolderWithStartName", true, SFGAO_FOLDER, S_OK, NameDelivery::Name,
                      L"Folder", L"start.vxdat", L"", L"start.vxdat", 1, kWorkerStarted,
                      kFolderItemCalls},
        SelectionCase{"SameNameAsBefore", true, 0, S_OK, NameDelivery::Name, L"report.vxdat",
                      L"start.vxdat", L"report.vxdat", L"report.vxdat", 0, kLabelOnly,
                      kFileItemCalls},
        SelectionCase{"NameDiffersOnlyInCase", true, 0, S_OK, NameDelivery::Name, L"Report.vxdat",
                      L"report.vxdat", L"report.vxdat", L"Report.vxdat", 1, kWorkerStarted,
                      kFileItemCalls},
        SelectionCase{"FailedDisplayName", true, 0, S_OK, NameDelivery::Failure, L"",
                      L"start.vxdat", L"start.vxdat", L"start.vxdat", 0, kLabelOnly,
                      kFileItemCalls},
        SelectionCase{"FailedDisplayNameFirstTime", true, 0, S_OK, NameDelivery::Failure, L"",
                      L"start.vxdat", L"", L"start.vxdat", 1, kWorkerStarted, kFileItemCalls},
        SelectionCase{"DisplayNameWithoutString", true, 0, S_OK, NameDelivery::NoString, L"",
                      L"start.vxdat", L"start.vxdat", L"", 0, kLabelAndWindow, kFileItemCalls},
        SelectionCase{"LongDisplayName", true, 0, S_OK, NameDelivery::Name, k300Units, L"", L"",
                      k259Units, 1, kWorkerStarted, kFileItemCalls}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) {
        return std::string(info.param.label);
    });

TEST_F(WindowedWorkerTest, ComingBackToTheLastNameStartsNoWorkerButANewNameInBetweenDoes)
{
    FakeShellItem fileA(0, L"a.vxdat");
    FakeShellItem fileB(0, L"b.vxdat");
    FakeShellItem folder(SFGAO_FOLDER, L"Folder");
    struct Step {
        FakeShellItem* item;
        int expectedWorkers;
    };
    const Step steps[] = {{&fileA, 1}, {&folder, 1}, {&fileA, 1}, {&fileB, 2}, {&fileA, 3}};
    int stepNumber = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(stepNumber++);
        dialog_.SetCurrentSelection(step.item);
        EXPECT_EQ(S_OK, sink_.OnSelectionChange(Dialog()));
        EXPECT_EQ(step.expectedWorkers, workers_.SettledCount(step.expectedWorkers));
    }
    EXPECT_STREQ(L"a.vxdat", LaunchSettings.selectName);
    EXPECT_STREQ(L"a.vxdat", LaunchSettings.previousSelection);
}

// The dialog answers from its view what a worker would search the list for at length.
TEST_F(WindowedWorkerTest, MoveThatLeavesASelectionInTheViewStartsNoWorker)
{
    enum class View { Selected, Empty, NoArray, CountFails, SelectedItemsFail, NoOpenDialog };
    // Where the dialog cannot tell, a worker starts as for an empty view.
    const std::tuple<const char*, View, int> cases[] = {
        {"a file selected", View::Selected, 0},
        {"nothing selected", View::Empty, 1},
        {"no array", View::NoArray, 1},
        {"GetCount fails", View::CountFails, 1},
        {"GetSelectedItems fails", View::SelectedItemsFail, 1},
        {"no IFileOpenDialog", View::NoOpenDialog, 1},
    };
    FakeShellItem file(0, L"report.vxdat");
    int started = 0;
    for (const auto& [label, view, workers] : cases) {
        SCOPED_TRACE(label);
        FakeFileDialog dialog;
        dialog.SetWindow(window_.Get());
        dialog.SetCurrentSelection(&file);
        FakeShellItemArray items(view == View::Empty ? std::vector<ComPtr<IShellItem>>{}
                                                     : std::vector<ComPtr<IShellItem>>{&file});
        dialog.SetSelectedItems(view == View::NoArray ? nullptr : &items);
        if (view == View::CountFails) {
            items.FailCount();
        } else if (view == View::SelectedItemsFail) {
            dialog.FailCall(L"GetSelectedItems");
        } else if (view == View::NoOpenDialog) {
            dialog.Withhold(IID_IFileOpenDialog);
        }
        LaunchSettings.previousSelection[0] = L'\0';

        EXPECT_EQ(S_OK, sink_.OnSelectionChange(static_cast<IFileOpenDialog*>(&dialog)));

        EXPECT_STREQ(L"report.vxdat", LaunchSettings.previousSelection);
        started += workers;
        EXPECT_EQ(started, workers_.SettledCount(started));
        EXPECT_EQ(1u, dialog.References());
        EXPECT_EQ(1u, items.References());
    }
}

TEST_F(EventSinkTest, OnlyTheExitButtonClosesTheDialog)
{
    struct ClickCase {
        const char* label;
        DWORD controlId;
        bool dialogWithheld;
        std::vector<std::wstring> expectedCalls;
    };
    const ClickCase cases[] = {
        {"exit button",
         IDC_EXITBUTTON,
         false,
         {L"QueryInterface(IFileDialog)", L"Close(0x00000000)", L"Release"}},
        {"exit button, no dialog interface",
         IDC_EXITBUTTON,
         true,
         {L"QueryInterface(IFileDialog)"}},
        {"no control", 0, false, {}},
        {"OK id", IDOK, false, {}},
        {"cancel id", IDCANCEL, false, {}},
        {"below the exit button", IDC_EXITBUTTON - 1, false, {}},
        {"above the exit button", IDC_EXITBUTTON + 1, false, {}},
        {"largest id", MAXDWORD, false, {}},
    };
    for (const ClickCase& click : cases) {
        SCOPED_TRACE(click.label);
        FakeFileDialog dialog;
        if (click.dialogWithheld) {
            dialog.Withhold(IID_IFileDialog);
        }
        EXPECT_EQ(S_OK, sink_.OnButtonClicked(&dialog, click.controlId));
        EXPECT_EQ(click.expectedCalls, dialog.Calls());
        EXPECT_EQ(1u, dialog.References());
    }
}

// Real files of a recorded type behind real shell items; launches end up in the recorder's log.
class LaunchTest : public EventSinkTest {
protected:
    void SetUp() override
    {
        EventSinkTest::SetUp();
        for (const wchar_t* name : {L"c.vxsink", L"a.vxsink", L"b.vxsink"}) {
            paths_.push_back(folder_.AddFile(name));
            realItems_.push_back(RealItem(paths_.back()));
        }
    }

    static ComPtr<IShellItem> RealItem(const std::wstring& path)
    {
        ComPtr<IShellItem> item;
        EXPECT_HRESULT_SUCCEEDED(
            SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item)));
        return item;
    }

    // Each launch has to be logged before the next item is handed out, so that the log shows
    // the launch order rather than the order in which the launched processes got to run.
    void LaunchOneAtATime(FakeShellItemArray& items, const std::vector<bool>& launchable)
    {
        const size_t loggedBefore = recorder_.Launches().size();
        items.BeforeHandingOut([this, launchable, loggedBefore](DWORD index) {
            const size_t launchedBefore = static_cast<size_t>(
                std::count(launchable.begin(),
                           launchable.begin() + std::min<size_t>(index, launchable.size()), true));
            recorder_.WaitForLaunches(loggedBefore + launchedBefore, kWaitMs);
        });
    }

    // The launches once `expected` have arrived and a grace period has passed without more.
    std::vector<std::wstring> SettledLaunches(size_t expected)
    {
        recorder_.WaitForLaunches(expected, kWaitMs);
        Sleep(kLaunchGraceMs);
        return recorder_.Launches();
    }

    // The real items' reference counts, read through the count Release reports.
    std::vector<ULONG> ItemReferences() const
    {
        std::vector<ULONG> references;
        for (const ComPtr<IShellItem>& item : realItems_) {
            item->AddRef();
            references.push_back(item->Release());
        }
        return references;
    }

    TempFolder folder_;
    RecordingFileType recorder_{L".vxsink", folder_.Path() + L"launches.log"};
    std::vector<std::wstring> paths_;
    std::vector<ComPtr<IShellItem>> realItems_;
};

TEST_F(LaunchTest, LaunchesTheConfirmedItemsInArrayOrderAndKeepsTheDialogOpen)
{
    FakeShellItemArray items(realItems_);
    LaunchOneAtATime(items, {true, true, true});
    dialog_.SetResults(&items);
    const std::vector<ULONG> referencesBefore = ItemReferences();

    EXPECT_EQ(S_FALSE, sink_.OnFileOk(Dialog()));

    EXPECT_EQ(paths_, SettledLaunches(3));
    EXPECT_THAT(dialog_.Calls(), ElementsAre(L"QueryInterface(IFileOpenDialog)", L"GetResults()",
                                             L"GetSelectedItems()", L"Release"));
    EXPECT_THAT(items.Calls(),
                ElementsAre(L"GetCount", L"GetItemAt(0)", L"GetItemAt(1)", L"GetItemAt(2)"));
    EXPECT_EQ(1u, items.References());
    EXPECT_EQ(1u, dialog_.References());
    EXPECT_EQ(referencesBefore, ItemReferences());
}

TEST_F(LaunchTest, ItemWithoutIdListIsSkippedAndLaterItemsStillLaunch)
{
    FakeShellItem unlaunchable(0, L"nowhere.vxsink");
    FakeShellItemArray items({realItems_[0], &unlaunchable, realItems_[2]});
    LaunchOneAtATime(items, {true, false, true});
    dialog_.SetResults(&items);
    const ULONG referencesBefore = unlaunchable.References();

    EXPECT_EQ(S_FALSE, sink_.OnFileOk(Dialog()));

    EXPECT_THAT(SettledLaunches(2), ElementsAre(paths_[0], paths_[2]));
    EXPECT_THAT(items.Calls(),
                ElementsAre(L"GetCount", L"GetItemAt(0)", L"GetItemAt(1)", L"GetItemAt(2)"));
    EXPECT_EQ(referencesBefore, unlaunchable.References());
}

TEST_F(LaunchTest, FailedGetItemAtStopsTheLaunches)
{
    FakeShellItemArray items(realItems_);
    items.FailItemsFrom(1);
    LaunchOneAtATime(items, {true, true, true});
    dialog_.SetResults(&items);

    EXPECT_EQ(S_FALSE, sink_.OnFileOk(Dialog()));

    EXPECT_THAT(SettledLaunches(1), ElementsAre(paths_[0]));
    EXPECT_THAT(items.Calls(), ElementsAre(L"GetCount", L"GetItemAt(0)", L"GetItemAt(1)"));
    EXPECT_EQ(1u, items.References());
}

// The dialog resolves the confirmed choice, also a name typed over the selection; the view's
// selection stands in only when the dialog resolves none.
TEST_F(LaunchTest, TheDialogsResultsAreLaunchedAndTheSelectionWhenItHasNone)
{
    enum class Results { Given, Fail, NoArray };
    const std::vector<std::wstring> expectedCalls = {
        L"QueryInterface(IFileOpenDialog)", L"GetResults()", L"GetSelectedItems()", L"Release"};
    const std::tuple<Results, size_t> cases[] = {
        {Results::Given, 1},
        {Results::Fail, 0},
        {Results::NoArray, 0},
    };
    std::vector<std::wstring> expectedLaunches;
    for (const auto& [results, launched] : cases) {
        SCOPED_TRACE(static_cast<int>(results));
        FakeFileDialog dialog;
        FakeShellItemArray selection({realItems_[0]});
        FakeShellItemArray resolved({realItems_[1]});
        dialog.SetSelectedItems(&selection);
        dialog.SetResults(results == Results::NoArray ? nullptr : &resolved);
        if (results == Results::Fail) {
            dialog.FailCall(L"GetResults");
        }

        EXPECT_EQ(S_FALSE, sink_.OnFileOk(static_cast<IFileOpenDialog*>(&dialog)));

        expectedLaunches.push_back(paths_[launched]);
        EXPECT_EQ(expectedLaunches, SettledLaunches(expectedLaunches.size()));
        EXPECT_EQ(expectedCalls, dialog.Calls());
        EXPECT_EQ(1u, dialog.References());
    }
}

// Windows' dialog resolves a picked shortcut to its target; the user picked the shortcut, with
// its arguments and settings. Under the folder lock a typed path elsewhere opens nothing.
TEST_F(LaunchTest, EachConfirmedItemIsLaunchedAsPickedAndTheLockKeepsToTheFolder)
{
    // Items 0 to 2: the folder's files; 3: a file elsewhere; 4: a shortcut in the folder to it.
    TempFolder elsewhere;
    paths_.push_back(elsewhere.AddFile(L"elsewhere.vxsink"));
    realItems_.push_back(RealItem(paths_.back()));
    paths_.push_back(folder_.AddFile(L"link.vxsink"));
    FakeShortcut shortcut(RealItem(paths_.back()).Get(), realItems_[3].Get());
    realItems_.push_back(&shortcut);
    const ComPtr<IShellItem> folderItem = RealItem(folder_.Path());
    enum class Lock { None, Folder, NoFolder };
    // Per result, the item launched for it, -1 for none.
    const std::tuple<const char*, Lock, std::vector<int>, std::vector<int>, std::vector<int>>
        cases[] = {
            {"picked shortcut", Lock::None, {4}, {3}, {4}},
            {"shortcut and file", Lock::None, {1, 4}, {1, 3}, {1, 4}},
            {"results in another order", Lock::None, {4, 1}, {1, 3}, {1, 4}},
            {"name typed over a shortcut", Lock::None, {4}, {0}, {0}},
            {"typed path elsewhere", Lock::None, {}, {3, 2}, {3, 2}},
            {"locked: typed path elsewhere", Lock::Folder, {}, {3, 2}, {-1, 2}},
            {"locked: shortcut out of the folder", Lock::Folder, {4}, {3}, {4}},
            {"locked, folder unknown", Lock::NoFolder, {0}, {0}, {-1}},
        };
    const auto itemsAt = [this](const std::vector<int>& indices) {
        std::vector<ComPtr<IShellItem>> chosen;
        for (int index : indices) {
            chosen.push_back(realItems_[index]);
        }
        return chosen;
    };
    for (const auto& [label, lock, selected, resolved, launched] : cases) {
        SCOPED_TRACE(label);
        FakeShellItemArray selection(itemsAt(selected));
        FakeShellItemArray results(itemsAt(resolved));
        std::vector<std::wstring> expectedLaunches = recorder_.Launches();
        std::vector<bool> launchable;
        for (int index : launched) {
            launchable.push_back(index >= 0);
            if (index >= 0) {
                expectedLaunches.push_back(paths_[index]);
            }
        }
        LaunchOneAtATime(results, launchable);
        FakeFileDialog dialog;
        dialog.SetSelectedItems(&selection);
        dialog.SetResults(&results);
        dialog.SetFolderItem(lock == Lock::Folder ? folderItem.Get() : nullptr);
        LaunchSettings.navFlags = lock == Lock::None ? 0 : NF_NOCHANGEDIR;

        EXPECT_EQ(S_FALSE, sink_.OnFileOk(static_cast<IFileOpenDialog*>(&dialog)));

        EXPECT_EQ(expectedLaunches, SettledLaunches(expectedLaunches.size()));
        EXPECT_EQ(1u, dialog.References());
        EXPECT_EQ(1u, selection.References());
        EXPECT_EQ(1u, results.References());
    }
    realItems_.pop_back();
    EXPECT_EQ(1u, shortcut.References());
}

TEST_F(LaunchTest, NothingIsLaunchedWhenTheItemsCannotBeHad)
{
    struct FailureCase {
        const char* label;
        std::vector<std::wstring> failingDialogCalls;
        const IID* withheld;
        bool countFails;
        std::vector<std::wstring> expectedDialogCalls;
        std::vector<std::wstring> expectedArrayCalls;
    };
    const FailureCase cases[] = {
        {"no open dialog interface",
         {},
         &IID_IFileOpenDialog,
         false,
         {L"QueryInterface(IFileOpenDialog)"},
         {}},
        {"neither results nor a selection",
         {L"GetResults", L"GetSelectedItems"},
         nullptr,
         false,
         {L"QueryInterface(IFileOpenDialog)", L"GetResults()", L"GetSelectedItems()", L"Release"},
         {}},
        {"GetCount fails",
         {},
         nullptr,
         true,
         {L"QueryInterface(IFileOpenDialog)", L"GetResults()", L"GetSelectedItems()", L"Release"},
         {L"GetCount"}},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.label);
        FakeFileDialog dialog;
        FakeShellItemArray items(realItems_);
        dialog.SetResults(&items);
        dialog.SetSelectedItems(&items);
        for (const std::wstring& call : failure.failingDialogCalls) {
            dialog.FailCall(call);
        }
        if (failure.withheld != nullptr) {
            dialog.Withhold(*failure.withheld);
        }
        if (failure.countFails) {
            items.FailCount();
        }

        EXPECT_EQ(S_FALSE, sink_.OnFileOk(static_cast<IFileOpenDialog*>(&dialog)));

        EXPECT_EQ(failure.expectedDialogCalls, dialog.Calls());
        EXPECT_EQ(failure.expectedArrayCalls, items.Calls());
        EXPECT_EQ(1u, dialog.References());
        EXPECT_EQ(1u, items.References());
    }
    EXPECT_THAT(SettledLaunches(0), IsEmpty());
}

} // namespace
