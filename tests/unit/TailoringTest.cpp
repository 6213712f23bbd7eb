#include "EventSink.h"
#include "FakeAutomation.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const wchar_t kTitle[] = L"Veltrin Tailoring Check";
constexpr LONG kMaximizeBox = WS_SYSMENU | WS_MAXIMIZEBOX;

// Classes whose names begin like the handled ones without being equal to them.
const wchar_t kComboLookalikeClass[] = L"ComboBoxFrame";
const wchar_t kRebarLookalikeClass[] = L"ReBarWindow32Frame";

HWND AddChild(HWND parent, const wchar_t* className, int id, const wchar_t* text, DWORD style = 0)
{
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 120, 24, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

// A top-level window of the dialog class, destroyed with its children at the end. It starts
// hidden: without a window manager, Wine takes two seconds to destroy a shown one.
class TestDialog {
public:
    explicit TestDialog(const wchar_t* title)
        : window_(CreateWindowExW(0, WC_DIALOG, title, WS_POPUP | WS_CAPTION, 20, 20, 640, 480,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr))
    {
    }
    ~TestDialog()
    {
        if (IsWindow(window_)) {
            DestroyWindow(window_);
        }
    }
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND Window() const { return window_; }
    LONG Style() const { return GetWindowLongW(window_, GWL_STYLE); }

private:
    HWND window_;
};

enum Part {
    OpenButton,
    AddressBar,
    RebarHost,
    Rebar,
    RebarLookalike,
    FolderBox,
    FileNameLabel,
    FileNameBox,
    TypeCombo,
    ComboEx,
    ComboExInner,
    ComboLookalike,
    WineFileNameBox,
    Bystander,
    PartCount
};

const char* const kPartNames[PartCount] = {
    "Open button",     "address bar 40965", "rebar host",         "nested rebar", "rebar lookalike",
    "folder box 1001", "label 1090",        "file name box 1148", "combo box",    "combo box ex",
    "combo inner box", "combo lookalike",   "edit 1152",          "bystander",
};

// The controls of the shell's Open dialog that the tailoring looks for, plus bystanders.
class FileDialogLookalike : public TestDialog {
public:
    explicit FileDialogLookalike(const wchar_t* title) : TestDialog(title)
    {
        const HWND window = Window();
        parts_[OpenButton] = AddChild(window, L"Button", IDOK, L"Open", WS_TABSTOP);
        parts_[AddressBar] = AddChild(window, L"Static", 40965, L"C:\\");
        parts_[RebarHost] = AddChild(window, L"Static", 500, L"");
        parts_[Rebar] = AddChild(parts_[RebarHost], REBARCLASSNAMEW, 501, L"");
        parts_[RebarLookalike] = AddChild(window, kRebarLookalikeClass, 502, L"");
        parts_[FolderBox] = AddChild(window, L"Static", 1001, L"Folder");
        parts_[FileNameLabel] = AddChild(window, L"Static", 1090, L"File name:");
        parts_[FileNameBox] = AddChild(window, L"Edit", 1148, L"");
        parts_[TypeCombo] = AddChild(window, L"ComboBox", 1136, L"", CBS_DROPDOWNLIST);
        parts_[ComboEx] = AddChild(window, WC_COMBOBOXEXW, 1200, L"", CBS_DROPDOWNLIST);
        parts_[ComboExInner] = FindWindowExW(parts_[ComboEx], nullptr, L"ComboBox", nullptr);
        parts_[ComboLookalike] = AddChild(window, kComboLookalikeClass, 1201, L"");
        parts_[WineFileNameBox] = AddChild(window, L"Edit", 1152, L"");
        parts_[Bystander] = AddChild(window, L"Edit", 1153, L"");
    }

    HWND Get(Part part) const { return parts_[part]; }

private:
    std::array<HWND, PartCount> parts_{};
};

enum class Fate { Untouched, Hidden, Disabled, HiddenAndDisabled, Destroyed };

std::string Describe(Fate fate)
{
    switch (fate) {
    case Fate::Untouched:
        return "untouched";
    case Fate::Hidden:
        return "hidden";
    case Fate::Disabled:
        return "disabled";
    case Fate::HiddenAndDisabled:
        return "hidden and disabled";
    case Fate::Destroyed:
        return "destroyed";
    }
    return "?";
}

Fate FateOf(HWND window)
{
    if (!IsWindow(window)) {
        return Fate::Destroyed;
    }
    // The window's own flag: whether its parent shows does not matter here.
    const bool shown = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
    const bool enabled = IsWindowEnabled(window) != FALSE;
    if (shown) {
        return enabled ? Fate::Untouched : Fate::Disabled;
    }
    return enabled ? Fate::Hidden : Fate::HiddenAndDisabled;
}

using Fates = std::vector<std::pair<Part, Fate>>;

void ExpectFates(const FileDialogLookalike& dialog, const Fates& changed)
{
    for (int part = 0; part < PartCount; ++part) {
        Fate expected = Fate::Untouched;
        for (const auto& [changedPart, fate] : changed) {
            if (changedPart == part) {
                expected = fate;
            }
        }
        EXPECT_EQ(Describe(expected), Describe(FateOf(dialog.Get(static_cast<Part>(part)))))
            << kPartNames[part];
    }
}

enum class WindowAnswer { Gives, Unsupported, Fails };

// The dialog object as the tailoring sees it: only its window is ever asked for.
class FakeDialog : public IFileDialog, public IOleWindow {
public:
    FakeDialog(WindowAnswer answer, HWND window) : answer_(answer), window_(window) {}

    LONG References() const { return references_; }

    IFACEMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IModalWindow || riid == IID_IFileDialog) {
            *object = static_cast<IFileDialog*>(this);
        } else if (riid == IID_IOleWindow && answer_ != WindowAnswer::Unsupported) {
            *object = static_cast<IOleWindow*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references_); }
    IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references_); }

    IFACEMETHODIMP GetWindow(HWND* window) override
    {
        if (answer_ != WindowAnswer::Gives) {
            return E_FAIL;
        }
        *window = window_;
        return S_OK;
    }
    IFACEMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // Not used by the tailoring.
    IFACEMETHODIMP Show(HWND) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetFileTypes(UINT, const COMDLG_FILTERSPEC*) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetFileTypeIndex(UINT) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetFileTypeIndex(UINT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP Advise(IFileDialogEvents*, DWORD*) override { return E_NOTIMPL; }
    IFACEMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetOptions(FILEOPENDIALOGOPTIONS) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetOptions(FILEOPENDIALOGOPTIONS*) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetDefaultFolder(IShellItem*) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetFolder(IShellItem*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetFolder(IShellItem**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetCurrentSelection(IShellItem**) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetFileName(LPCWSTR) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetFileName(LPWSTR*) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetTitle(LPCWSTR) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetOkButtonLabel(LPCWSTR) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetFileNameLabel(LPCWSTR) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetResult(IShellItem**) override { return E_NOTIMPL; }
    IFACEMETHODIMP AddPlace(IShellItem*, FDAP) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetDefaultExtension(LPCWSTR) override { return E_NOTIMPL; }
    IFACEMETHODIMP Close(HRESULT) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetClientGuid(REFGUID) override { return E_NOTIMPL; }
    IFACEMETHODIMP ClearClientData() override { return E_NOTIMPL; }
    IFACEMETHODIMP SetFilter(IShellItemFilter*) override { return E_NOTIMPL; }

private:
    WindowAnswer answer_;
    HWND window_;
    LONG references_ = 1;
};

class TailoringTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const INITCOMMONCONTROLSEX classes = {sizeof(classes),
                                              ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
        InitCommonControlsEx(&classes);
        for (const wchar_t* name : {kComboLookalikeClass, kRebarLookalikeClass}) {
            WNDCLASSW lookalike = {};
            lookalike.lpfnWndProc = DefWindowProcW;
            lookalike.hInstance = GetModuleHandleW(nullptr);
            lookalike.lpszClassName = name;
            RegisterClassW(&lookalike);
        }
        registration = new AutomationClassRegistration();
    }

    static void TearDownTestSuite()
    {
        delete registration;
        registration = nullptr;
        for (const wchar_t* name : {kComboLookalikeClass, kRebarLookalikeClass}) {
            UnregisterClassW(name, GetModuleHandleW(nullptr));
        }
    }

    void SetUp() override
    {
        ASSERT_EQ(S_OK, registration->Result());
        savedSettings = LaunchSettings;
        LaunchSettings = LaunchSettingsRecord{};
        wcscpy(LaunchSettings.title, kTitle);
        // The worker a name starts finds no window element and ends at once.
        AutomationScenario scenario;
        scenario.windowElement = false;
        world = std::make_unique<FakeAutomationWorld>(scenario);
        AutomationClassRegistration::Serve(world.get());
    }

    void TearDown() override
    {
        AutomationClassRegistration::Serve(nullptr);
        LaunchSettings = savedSettings;
        if (workerStillRunning) {
            // A worker that never finished may still call into its fakes.
            world.release();
        }
    }

    void SetOptions(DWORD windowFlags, DWORD navFlags)
    {
        LaunchSettings.windowFlags = windowFlags;
        LaunchSettings.navFlags = navFlags;
    }

    // Waits for the worker that the tailoring started to be done with its automation object.
    void AwaitWorker()
    {
        workerStillRunning = !world->Log().WaitFor("release automation", 5s);
        ASSERT_FALSE(workerStillRunning) << "no selection worker ran";
    }

    // No worker reports itself in this time, or none was started.
    void ExpectNoWorker()
    {
        EXPECT_FALSE(world->Log().WaitFor("create automation", 300ms));
        EXPECT_TRUE(world->Log().Entries().empty());
    }

    static AutomationClassRegistration* registration;
    std::unique_ptr<FakeAutomationWorld> world;
    LaunchSettingsRecord savedSettings{};
    bool workerStillRunning = false;
};

AutomationClassRegistration* TailoringTest::registration = nullptr;

struct OptionCase {
    const char* name;
    DWORD windowFlags;
    DWORD navFlags;
    Fates changed;
    bool gainsMaximizeBox;
    bool maximized;
};

class TailoringOptionTest : public TailoringTest,
                            public ::testing::WithParamInterface<OptionCase> {};

TEST_P(TailoringOptionTest, ReshapesTheDialogWindowAsTheOptionsSay)
{
    const OptionCase& row = GetParam();
    FileDialogLookalike dialog(kTitle);
    const LONG styleBefore = dialog.Style();
    SetOptions(row.windowFlags, row.navFlags);
    FakeDialog fake(WindowAnswer::Gives, dialog.Window());

    TailorDialogWindow(&fake);

    Fates changed = row.changed;
    changed.emplace_back(OpenButton, Fate::Hidden);
    ExpectFates(dialog, changed);
    const LONG expectedStyle = styleBefore | (row.gainsMaximizeBox ? kMaximizeBox : 0) |
                               (row.maximized ? WS_MAXIMIZE | WS_VISIBLE : 0);
    EXPECT_EQ(expectedStyle, dialog.Style());
    EXPECT_EQ(row.maximized, IsZoomed(dialog.Window()) != FALSE);
    EXPECT_EQ(1, fake.References());
}

const Fates kAddressRemoved = {{AddressBar, Fate::Destroyed}, {Rebar, Fate::Destroyed}};
const Fates kFileNameHidden = {{FileNameLabel, Fate::Hidden},   {FileNameBox, Fate::Hidden},
                               {WineFileNameBox, Fate::Hidden}, {TypeCombo, Fate::Hidden},
                               {ComboEx, Fate::Hidden},         {ComboExInner, Fate::Hidden}};

Fates Both(Fates first, const Fates& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

INSTANTIATE_TEST_SUITE_P(
    Options, TailoringOptionTest,
    ::testing::Values(
        OptionCase{"NoOption", 0, 0, {}, false, false},
        OptionCase{"MaximizeBox", WF_MAXBUTTON, 0, {}, true, false},
        OptionCase{"Maximized", WF_MAXIMIZE, 0, {}, true, true},
        OptionCase{"AddressRemoved", WF_HIDEADDRESS, 0, kAddressRemoved, false, false},
        OptionCase{"FileNameHidden", WF_HIDEFILENAME, 0, kFileNameHidden, false, false},
        OptionCase{"FileNameHiddenWithLock", WF_HIDEFILENAME, NF_FOLDERLOCK,
                   Both(kFileNameHidden, {{FolderBox, Fate::Disabled}}), false, false},
        OptionCase{"FileNameHiddenWithNoChangeDir", WF_HIDEFILENAME, NF_NOCHANGEDIR,
                   Both(kFileNameHidden, {{FolderBox, Fate::Disabled}}), false, false},
        OptionCase{"LockAlone", 0, NF_NOCHANGEDIR, {}, false, false},
        OptionCase{"LockWithAddressRemoved", WF_HIDEADDRESS, NF_NOCHANGEDIR, kAddressRemoved, false,
                   false},
        OptionCase{"Everything", WF_MAXIMIZE | WF_MAXBUTTON | WF_HIDEADDRESS | WF_HIDEFILENAME,
                   NF_NOCHANGEDIR, Both(kAddressRemoved, kFileNameHidden), true, true}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return info.param.name; });

struct TabControl {
    int id;
    const wchar_t* text;
};

struct TabOrderCase {
    const char* name;
    std::vector<TabControl> controls;
    std::set<size_t> hidden;
};

std::vector<TabControl> FillersThenOpen(int fillers)
{
    std::vector<TabControl> controls = {{100, L"Start"}};
    for (int filler = 0; filler < fillers; ++filler) {
        controls.push_back({101 + filler, L"Filler"});
    }
    controls.push_back({200, L"Open"});
    return controls;
}

class TabOrderTest : public TailoringTest, public ::testing::WithParamInterface<TabOrderCase> {};

// Without an IDOK child the Open button is looked for by its text along the tab order.
TEST_P(TabOrderTest, HidesAtMostTheFirstControlReadingExactlyOpen)
{
    const TabOrderCase& row = GetParam();
    TestDialog dialog(kTitle);
    std::vector<HWND> controls;
    for (const TabControl& control : row.controls) {
        controls.push_back(
            AddChild(dialog.Window(), L"Button", control.id, control.text, WS_TABSTOP));
    }
    FakeDialog fake(WindowAnswer::Gives, dialog.Window());

    TailorDialogWindow(&fake);

    for (size_t index = 0; index < controls.size(); ++index) {
        const Fate expected = row.hidden.count(index) != 0 ? Fate::Hidden : Fate::Untouched;
        EXPECT_EQ(Describe(expected), Describe(FateOf(controls[index])))
            << "control " << index << " (id " << row.controls[index].id << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walk, TabOrderTest,
    ::testing::Values(
        TabOrderCase{
            "OnlyTheFirstExactOpen",
            {{100, L"Name"}, {101, L"&Open"}, {102, L"open"}, {103, L"Open"}, {104, L"Open"}},
            {3}},
        TabOrderCase{
            "ControlWithoutIdIsPassed", {{100, L"Name"}, {0, L"Open"}, {101, L"Open"}}, {2}},
        TabOrderCase{"OpenAtTheLastOfTheSteps", FillersThenOpen(28), {29}},
        TabOrderCase{"OpenBeyondTheSteps", FillersThenOpen(29), {}},
        TabOrderCase{
            "NoOpenUntilTheOrderWraps", {{100, L"Name"}, {101, L"Cancel"}, {102, L"Help"}}, {}},
        TabOrderCase{"IdokChildWhateverItsTextEndsTheSearch",
                     {{IDOK, L"Cancel"}, {100, L"Name"}, {101, L"Open"}},
                     {0}}),
    [](const ::testing::TestParamInfo<TabOrderCase>& info) { return info.param.name; });

// Another window may carry the same caption; only the dialog's own window is reshaped, and
// the worker is sent to it.
TEST_F(TailoringTest, OnlyTheDialogsOwnWindowChangesWhenAnotherSharesItsTitle)
{
    FileDialogLookalike first(kTitle);
    FileDialogLookalike second(kTitle);
    const HWND foundByTitle = FindWindowW(L"#32770", kTitle);
    ASSERT_TRUE(foundByTitle == first.Window() || foundByTitle == second.Window());
    const FileDialogLookalike& stranger = foundByTitle == first.Window() ? first : second;
    const FileDialogLookalike& own = foundByTitle == first.Window() ? second : first;
    const LONG strangerStyle = stranger.Style();
    const LONG ownStyle = own.Style();
    SetOptions(WF_MAXBUTTON | WF_HIDEADDRESS | WF_HIDEFILENAME, 0);
    wcscpy(LaunchSettings.selectName, L"notes.txt");
    FakeDialog fake(WindowAnswer::Gives, own.Window());

    TailorDialogWindow(&fake);
    AwaitWorker();

    ExpectFates(own, Both(Both(kAddressRemoved, kFileNameHidden), {{OpenButton, Fate::Hidden}}));
    EXPECT_EQ(ownStyle | kMaximizeBox, own.Style());
    ExpectFates(stranger, {});
    EXPECT_EQ(strangerStyle, stranger.Style());
    EXPECT_EQ(own.Window(), world->RequestedWindow());
}

class WindowByTitleTest : public TailoringTest,
                          public ::testing::WithParamInterface<WindowAnswer> {};

// A dialog object that names no window leaves the choice to the search by title.
TEST_P(WindowByTitleTest, TheWindowFoundByTitleIsTailored)
{
    FileDialogLookalike dialog(kTitle);
    SetOptions(WF_HIDEFILENAME, 0);
    wcscpy(LaunchSettings.selectName, L"notes.txt");
    FakeDialog fake(GetParam(), nullptr);

    TailorDialogWindow(&fake);
    AwaitWorker();

    ExpectFates(dialog, Both(kFileNameHidden, {{OpenButton, Fate::Hidden}}));
    EXPECT_EQ(dialog.Window(), world->RequestedWindow());
    EXPECT_EQ(1, fake.References());
}

INSTANTIATE_TEST_SUITE_P(DialogObject, WindowByTitleTest,
                         ::testing::Values(WindowAnswer::Unsupported, WindowAnswer::Fails),
                         [](const ::testing::TestParamInfo<WindowAnswer>& info) {
                             return std::string(info.param == WindowAnswer::Unsupported
                                                    ? "WithoutWindowInterface"
                                                    : "WindowRequestFails");
                         });

TEST_F(TailoringTest, WithoutAnyWindowNothingChangesAndNoWorkerStarts)
{
    FileDialogLookalike unrelated(L"Some Other Caption");
    const LONG styleBefore = unrelated.Style();
    SetOptions(WF_MAXIMIZE | WF_MAXBUTTON | WF_HIDEADDRESS | WF_HIDEFILENAME, NF_NOCHANGEDIR);
    wcscpy(LaunchSettings.selectName, L"notes.txt");
    FakeDialog fake(WindowAnswer::Unsupported, nullptr);

    TailorDialogWindow(&fake);

    ExpectFates(unrelated, {});
    EXPECT_EQ(styleBefore, unrelated.Style());
    ExpectNoWorker();
}

TEST_F(TailoringTest, WorkerStartsForTheDialogWindowOnlyWithAName)
{
    FileDialogLookalike dialog(kTitle);
    FakeDialog fake(WindowAnswer::Gives, dialog.Window());

    TailorDialogWindow(&fake);
    ExpectNoWorker();

    wcscpy(LaunchSettings.selectName, L"notes.txt");
    TailorDialogWindow(&fake);
    AwaitWorker();

    EXPECT_EQ(dialog.Window(), world->RequestedWindow());
    EXPECT_EQ((std::vector<std::string>{"create automation", "ElementFromHandle -> none",
                                        "release automation"}),
              world->Log().Entries());
}

} // namespace
