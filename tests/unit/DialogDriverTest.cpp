// RunBrowserDialog against a recording dialog that the program's own CoCreateInstance receives
// through a class factory registered in the test's apartment.
#include "FakeAutomation.h"
#include "FakeFileDialog.h"
#include "TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

using Microsoft::WRL::ComPtr;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// What a freshly created dialog reports: must-exist checks and no directory change.
constexpr FILEOPENDIALOGOPTIONS kDialogDefaults =
    FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR;
const wchar_t kFilterMessageCaption[] = L"VeltrinExplorer Bad /FILTER Argument";
const wchar_t kMissingFolder[] = L"C:\\veltrin-no-such-folder\\";

// Presses OK on every message box with the given caption that appears while it lives, so a
// box the program should not show fails the test instead of blocking it.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(const wchar_t* caption)
        : caption_(caption), watcher_([this] { Watch(); })
    {
    }
    ~MessageBoxWatcher()
    {
        stop_ = true;
        watcher_.join();
    }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    int Dismissed() const { return dismissed_; }

private:
    void Watch()
    {
        while (!stop_) {
            HWND box = FindWindowW(L"#32770", caption_.c_str());
            if (box == nullptr) {
                Sleep(10);
                continue;
            }
            // Counted before the press: the caller may look as soon as the box is gone.
            ++dismissed_;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
            while (IsWindow(box)) {
                Sleep(10);
            }
        }
    }

    std::wstring caption_;
    std::atomic<bool> stop_{false};
    std::atomic<int> dismissed_{0};
    std::thread watcher_;
};

// The calls strictly between the first call starting with `after` and the next one starting
// with `before`.
std::vector<std::wstring> CallsBetween(const std::vector<std::wstring>& calls,
                                       const std::wstring& after, const std::wstring& before)
{
    auto startsWith = [](const std::wstring& prefix) {
        return [prefix](const std::wstring& call) {
            return call.compare(0, prefix.size(), prefix) == 0;
        };
    };
    auto first = std::find_if(calls.begin(), calls.end(), startsWith(after));
    if (first == calls.end()) {
        return {L"(no " + after + L")"};
    }
    auto last = std::find_if(first + 1, calls.end(), startsWith(before));
    return std::vector<std::wstring>(first + 1, last);
}

std::wstring WithoutTrailingBackslash(std::wstring path)
{
    if (!path.empty() && path.back() == L'\\') {
        path.pop_back();
    }
    return path;
}

// Writable copy of an argument; nullptr stays nullptr.
class Argument {
public:
    explicit Argument(const wchar_t* text) : isNull_(text == nullptr)
    {
        const std::wstring value = text != nullptr ? text : L"";
        text_.assign(value.c_str(), value.c_str() + value.size() + 1);
    }
    wchar_t* Get() { return isNull_ ? nullptr : text_.data(); }
    // The buffer as it is now, up to the first NUL.
    std::wstring Text() const { return text_.data(); }

private:
    bool isNull_;
    std::vector<wchar_t> text_;
};

// Every call of a run with file types, a parsable start folder (C:\windows\) and the name
// given.vxdat, where nothing fails that would shorten it.
std::vector<std::wstring> CompleteRun(const std::wstring& fileTypes, const std::wstring& cancel,
                                      const std::wstring& title)
{
    return {L"SetFileTypes(" + fileTypes + L")",
            L"Advise(sink)",
            L"GetOptions()",
            L"SetOptions(" + Hex(kDialogDefaults | 0x40000280) + L")",
            L"QueryInterface(IFileDialog2)",
            L"SetCancelButtonLabel(" + cancel + L")",
            L"Release",
            L"SetTitle(" + title + L")",
            L"SetOkButtonLabel(Open)",
            L"SetFolder(C:\\windows)",
            L"SetFileName(given.vxdat)",
            L"Show(no owner)",
            L"Unadvise(4711)",
            L"Release"};
}

class RunBrowserDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
        dialog_.SetInitialOptions(kDialogDefaults);
        ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(CLSID_FileOpenDialog, &factory_,
                                                       CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                                       &registration_));
    }

    void TearDown() override
    {
        CoRevokeClassObject(registration_);
        OleUninitialize();
    }

    // Runs the driver; the filter buffer is returned as the driver left it.
    std::wstring Run(const wchar_t* folder, const wchar_t* filter, const wchar_t* title,
                     const wchar_t* cancel)
    {
        Argument folderArgument(folder);
        Argument filterArgument(filter);
        Argument titleArgument(title);
        Argument cancelArgument(cancel);
        RunBrowserDialog(folderArgument.Get(), filterArgument.Get(), titleArgument.Get(),
                         cancelArgument.Get());
        return filterArgument.Text();
    }

    FreshLaunchSettings settings_{L"Veltrin Explorer"};
    FakeFileDialog dialog_;
    HRESULT creationResult_ = S_OK;
    FakeClassFactory factory_{[this](REFIID riid, void** ppv) {
        return SUCCEEDED(creationResult_) ? dialog_.HandOut(riid, ppv) : creationResult_;
    }};

private:
    DWORD registration_ = 0;
};

TEST_F(RunBrowserDialogTest, ConfiguresShowsAndReleasesTheDialogInOrder)
{
    CopyBounded(LaunchSettings.selectName, L"given.vxdat", kPathUnits);

    const std::wstring filterAfter =
        Run(L"C:\\windows\\", L"Text files | *.txt | Everything | *.*", L"", L"");

    EXPECT_EQ(CompleteRun(L"Text files|*.txt, Everything|*.*", L"Exit", L"Veltrin Explorer"),
              dialog_.Calls());
    EXPECT_EQ(1u, dialog_.References());
    EXPECT_EQ(nullptr, dialog_.AdvisedSink());
    // The filter table points into the argument, which the parser cut in place.
    EXPECT_EQ(L"Text files", filterAfter);
}

TEST_F(RunBrowserDialogTest, IgnoredFailuresDoNotShortenTheSequence)
{
    for (const wchar_t* method :
         {L"SetFileTypes", L"SetOptions", L"SetCancelButtonLabel", L"SetTitle", L"SetOkButtonLabel",
          L"SetFolder", L"SetFileName", L"Show", L"Unadvise"}) {
        dialog_.FailCall(method);
    }
    CopyBounded(LaunchSettings.selectName, L"given.vxdat", kPathUnits);

    Run(L"C:\\windows\\", L"Text files | *.txt", L"Browse", L"Leave");

    EXPECT_EQ(CompleteRun(L"Text files|*.txt", L"Leave", L"Browse"), dialog_.Calls());
    EXPECT_EQ(1u, dialog_.References());
}

TEST_F(RunBrowserDialogTest, ShowReachesTheAdvisedSinkOnBothOfItsInterfaces)
{
    LaunchSettings.navFlags = NF_FOLDERLOCK;
    std::vector<HRESULT> folderChanges;
    HRESULT click = E_UNEXPECTED;
    dialog_.OnShow([&](FakeFileDialog& dialog) {
        IFileDialogEvents* sink = dialog.AdvisedSink();
        ASSERT_NE(nullptr, sink);
        IFileDialog* asDialog = static_cast<IFileOpenDialog*>(&dialog);
        folderChanges.push_back(sink->OnFolderChanging(asDialog, nullptr));
        folderChanges.push_back(sink->OnFolderChanging(asDialog, nullptr));
        ComPtr<IFileDialogControlEvents> controls;
        ASSERT_HRESULT_SUCCEEDED(sink->QueryInterface(IID_PPV_ARGS(&controls)));
        click = controls->OnButtonClicked(&dialog, IDC_EXITBUTTON);
    });

    Run(kMissingFolder, nullptr, nullptr, nullptr);

    EXPECT_THAT(folderChanges, ElementsAre(E_NOTIMPL, E_ACCESSDENIED));
    EXPECT_EQ(S_OK, click);
    EXPECT_THAT(CallsBetween(dialog_.Calls(), L"Show(", L"Unadvise("),
                ElementsAre(L"QueryInterface(IFileDialog)", L"Close(0x00000000)", L"Release"));
    EXPECT_EQ(1u, dialog_.References());
}

struct CreationFailure {
    HRESULT result;
    const wchar_t* filter;
};

class CreationFailureTest : public RunBrowserDialogTest,
                            public ::testing::WithParamInterface<CreationFailure> {};

TEST_P(CreationFailureTest, EndsBeforeParsingAnythingOrShowingAnyMessage)
{
    creationResult_ = GetParam().result;
    std::wstring filterAfter;
    int messages = -1;
    {
        MessageBoxWatcher watcher(kFilterMessageCaption);
        filterAfter = Run(L"C:\\windows\\", GetParam().filter, L"Browse", L"Leave");
        messages = watcher.Dismissed();
    }

    EXPECT_EQ(0, messages);
    EXPECT_EQ(GetParam().filter, filterAfter);
    EXPECT_THAT(dialog_.Calls(), IsEmpty());
    EXPECT_EQ(1u, dialog_.References());
    EXPECT_STREQ(L"Veltrin Explorer", LaunchSettings.title);
    EXPECT_STREQ(L"Exit", LaunchSettings.cancelLabel);
}

INSTANTIATE_TEST_SUITE_P(CreationFails, CreationFailureTest,
                         ::testing::Values(CreationFailure{REGDB_E_CLASSNOTREG,
                                                           L"Text files without a spec"},
                                           CreationFailure{E_FAIL, L"Text files without a spec"},
                                           CreationFailure{E_OUTOFMEMORY, L"Text files | *.txt"}));

struct AdviseFailure {
    const wchar_t* filter;
    int expectedMessages;
    std::vector<std::wstring> expectedCalls;
};

class AdviseFailureTest : public RunBrowserDialogTest,
                          public ::testing::WithParamInterface<AdviseFailure> {};

TEST_P(AdviseFailureTest, ReleasesTheDialogWithoutConfiguringOrShowingIt)
{
    dialog_.FailCall(L"Advise");
    int messages = -1;
    {
        MessageBoxWatcher watcher(kFilterMessageCaption);
        Run(L"C:\\windows\\", GetParam().filter, L"Browse", L"Leave");
        messages = watcher.Dismissed();
    }

    EXPECT_EQ(GetParam().expectedMessages, messages);
    EXPECT_EQ(GetParam().expectedCalls, dialog_.Calls());
    EXPECT_EQ(1u, dialog_.References());
    EXPECT_STREQ(L"Veltrin Explorer", LaunchSettings.title);
}

INSTANTIATE_TEST_SUITE_P(
    AdviseFails, AdviseFailureTest,
    ::testing::Values(AdviseFailure{L"Text files without a spec", 1, {L"Advise(sink)", L"Release"}},
                      AdviseFailure{
                          L"Text files | *.txt",
                          0,
                          {L"SetFileTypes(Text files|*.txt)", L"Advise(sink)", L"Release"}}));

TEST_F(RunBrowserDialogTest, FailedGetOptionsSkipsOnlySetOptions)
{
    dialog_.FailCall(L"GetOptions");

    Run(kMissingFolder, nullptr, nullptr, nullptr);

    EXPECT_THAT(CallsBetween(dialog_.Calls(), L"Advise(", L"SetTitle("),
                ElementsAre(L"GetOptions()", L"QueryInterface(IFileDialog2)",
                            L"SetCancelButtonLabel(Exit)", L"Release"));
    EXPECT_THAT(CallsBetween(dialog_.Calls(), L"SetTitle(", L"Release"),
                ElementsAre(L"SetOkButtonLabel(Open)", L"Show(no owner)", L"Unadvise(4711)"));
}

struct OptionsCase {
    DWORD navFlags;
    FILEOPENDIALOGOPTIONS expectedOptions;
};

class OptionsTest : public RunBrowserDialogTest,
                    public ::testing::WithParamInterface<OptionsCase> {};

TEST_P(OptionsTest, AddsBrowsingOptionsAndHidesPlacesOnlyForItsOwnBit)
{
    LaunchSettings.navFlags = GetParam().navFlags;

    Run(kMissingFolder, nullptr, nullptr, nullptr);

    EXPECT_THAT(CallsBetween(dialog_.Calls(), L"GetOptions(", L"QueryInterface("),
                ElementsAre(L"SetOptions(" + Hex(GetParam().expectedOptions) + L")"));
}

INSTANTIATE_TEST_SUITE_P(
    NavigationFlags, OptionsTest,
    ::testing::Values(OptionsCase{0, kDialogDefaults | 0x40000280},
                      OptionsCase{NF_FOLDERLOCK, kDialogDefaults | 0x40000280},
                      OptionsCase{0x20000, kDialogDefaults | 0x40000280},
                      OptionsCase{0x40000, kDialogDefaults | 0x40000280 | 0x60000},
                      OptionsCase{NF_NOCHANGEDIR, kDialogDefaults | 0x40000280 | 0x60000}));

struct LabelCase {
    const char* label;
    const wchar_t* title;
    const wchar_t* cancel;
    std::wstring expectedTitle;
    std::wstring expectedCancel;
};

void PrintTo(const LabelCase& labelCase, std::ostream* out)
{
    *out << labelCase.label;
}

std::wstring Digits(size_t count)
{
    std::wstring text;
    for (size_t index = 0; index < count; ++index) {
        text += static_cast<wchar_t>(L'0' + index % 10);
    }
    return text;
}

const std::wstring k150Units = Digits(150);
const std::wstring k100Units = Digits(100);
const std::wstring k99Units = Digits(99);

class LabelTest : public RunBrowserDialogTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(LabelTest, ReplacesTheDefaultsWithBoundedCopies)
{
    Run(kMissingFolder, nullptr, GetParam().title, GetParam().cancel);

    EXPECT_EQ(GetParam().expectedTitle, LaunchSettings.title);
    EXPECT_EQ(GetParam().expectedCancel, LaunchSettings.cancelLabel);
    EXPECT_THAT(
        CallsBetween(dialog_.Calls(), L"QueryInterface(IFileDialog2)", L"SetOkButtonLabel("),
        ElementsAre(L"SetCancelButtonLabel(" + GetParam().expectedCancel + L")", L"Release",
                    L"SetTitle(" + GetParam().expectedTitle + L")"));
}

INSTANTIATE_TEST_SUITE_P(
    TitleAndCancel, LabelTest,
    ::testing::Values(
        LabelCase{"Absent", nullptr, nullptr, L"Veltrin Explorer", L"Exit"},
        LabelCase{"Empty", L"", L"", L"Veltrin Explorer", L"Exit"},
        LabelCase{"Given", L"Browse here", L"Leave", L"Browse here", L"Leave"},
        LabelCase{"NinetyNineUnits", k99Units.c_str(), k99Units.c_str(), k99Units, k99Units},
        LabelCase{"HundredUnits", k100Units.c_str(), k100Units.c_str(), k99Units, k99Units},
        LabelCase{"HundredFiftyUnits", k150Units.c_str(), L"Leave", k99Units, L"Leave"}),
    [](const ::testing::TestParamInfo<LabelCase>& info) { return std::string(info.param.label); });

struct InterfaceCase {
    const char* label;
    std::vector<IID> withheld;
    std::vector<std::wstring> expectedCalls;
};

void PrintTo(const InterfaceCase& interfaceCase, std::ostream* out)
{
    *out << interfaceCase.label;
}

class CancelInterfaceTest : public RunBrowserDialogTest,
                            public ::testing::WithParamInterface<InterfaceCase> {};

TEST_P(CancelInterfaceTest, RelabelsCancelOrAddsAnExitButtonOrNeither)
{
    for (const IID& withheld : GetParam().withheld) {
        dialog_.Withhold(withheld);
    }

    Run(kMissingFolder, nullptr, nullptr, L"Leave");

    EXPECT_EQ(GetParam().expectedCalls,
              CallsBetween(dialog_.Calls(), L"SetOptions(", L"SetTitle("));
    EXPECT_STREQ(L"Leave", LaunchSettings.cancelLabel);
    EXPECT_EQ(1u, dialog_.References());
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, CancelInterfaceTest,
    ::testing::Values(
        InterfaceCase{
            "CancelLabel",
            {},
            {L"QueryInterface(IFileDialog2)", L"SetCancelButtonLabel(Leave)", L"Release"}},
        InterfaceCase{"ExitButton",
                      {IID_IFileDialog2},
                      {L"QueryInterface(IFileDialog2)", L"QueryInterface(IFileDialogCustomize)",
                       L"AddPushButton(602, Exit)", L"Release"}},
        InterfaceCase{"Neither",
                      {IID_IFileDialog2, IID_IFileDialogCustomize},
                      {L"QueryInterface(IFileDialog2)", L"QueryInterface(IFileDialogCustomize)"}}),
    [](const ::testing::TestParamInfo<InterfaceCase>& info) {
        return std::string(info.param.label);
    });

struct StartCase {
    const char* label;
    bool missingFolder;
    std::vector<std::wstring> files;
    const wchar_t* givenName;
    const wchar_t* filter;
    // Empty: no SetFileName.
    std::wstring expectedFileName;
};

void PrintTo(const StartCase& startCase, std::ostream* out)
{
    *out << startCase.label;
}

class StartTest : public RunBrowserDialogTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartTest, SetsTheFolderWhenItParsesAndTheGivenOrChosenName)
{
    const StartCase& start = GetParam();
    TempFolder scratch;
    for (const std::wstring& file : start.files) {
        scratch.AddFile(file);
    }
    const std::wstring folder = start.missingFolder ? kMissingFolder : scratch.Path();
    CopyBounded(LaunchSettings.selectName, start.givenName, kPathUnits);

    Run(folder.c_str(), start.filter, nullptr, nullptr);

    std::vector<std::wstring> expected;
    if (!start.missingFolder) {
        expected.push_back(L"SetFolder(" + WithoutTrailingBackslash(folder) + L")");
    }
    if (!start.expectedFileName.empty()) {
        expected.push_back(L"SetFileName(" + start.expectedFileName + L")");
        EXPECT_EQ(start.expectedFileName, LaunchSettings.selectName);
    }
    expected.push_back(L"Show(no owner)");
    EXPECT_EQ(expected, CallsBetween(dialog_.Calls(), L"SetOkButtonLabel(", L"Unadvise("));
}

INSTANTIATE_TEST_SUITE_P(
    FolderAndName, StartTest,
    ::testing::Values(
        StartCase{"GivenNameWithoutSearch",
                  false,
                  {L"other.vxdat"},
                  L"given.vxdat",
                  nullptr,
                  L"given.vxdat"},
        StartCase{"FilterMatch", false, {L"a.txt", L"b.vxdat"}, L"", L"Data | *.vxdat", L"b.vxdat"},
        StartCase{"AnyVisibleFile", false, {L"a.txt"}, L"", nullptr, L"a.txt"},
        StartCase{"EmptyFolder", false, {}, L"", nullptr, L""},
        StartCase{"MissingFolder", true, {}, L"", nullptr, L""},
        StartCase{"MissingFolderGivenName", true, {}, L"given.vxdat", nullptr, L"given.vxdat"}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.label); });

const wchar_t kAdvancedExplorerKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

bool WriteHideFileExt(DWORD hide)
{
    return RegSetKeyValueW(HKEY_CURRENT_USER, kAdvancedExplorerKey, L"HideFileExt", REG_DWORD,
                           &hide, sizeof(hide)) == ERROR_SUCCESS;
}

// Whether the shell hides known extensions, for the object's lifetime; the previous state
// comes back at its end.
class ExtensionSetting {
public:
    explicit ExtensionSetting(DWORD hide)
    {
        DWORD size = sizeof(previous_);
        hadValue_ = RegGetValueW(HKEY_CURRENT_USER, kAdvancedExplorerKey, L"HideFileExt",
                                 RRF_RT_REG_DWORD, nullptr, &previous_, &size) == ERROR_SUCCESS;
        applied_ = WriteHideFileExt(hide);
    }
    ~ExtensionSetting()
    {
        if (hadValue_) {
            WriteHideFileExt(previous_);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kAdvancedExplorerKey, L"HideFileExt");
        }
    }
    bool Applied() const { return applied_; }

private:
    DWORD previous_ = 0;
    bool hadValue_ = false;
    bool applied_ = false;
};

struct ListedNameCase {
    const char* label;
    DWORD hideExtensions;
    bool fileExists;
    // Empty: the name is chosen from the folder.
    const wchar_t* givenName;
    const wchar_t* expectedWorkerName;
};

class ListedNameTest : public RunBrowserDialogTest,
                       public ::testing::WithParamInterface<ListedNameCase> {};

// Under the real shell: the file-name box gets the file-system name, while the worker that the
// first folder change starts looks for the name the list shows.
TEST_P(ListedNameTest, WorkerLooksForTheShellsDisplayName)
{
    const ListedNameCase& row = GetParam();
    ExtensionSetting extensions(row.hideExtensions);
    ASSERT_TRUE(extensions.Applied());
    TempFolder scratch;
    if (row.fileExists) {
        scratch.AddFile(L"start.txt");
    }
    CopyBounded(LaunchSettings.selectName, row.givenName, kPathUnits);
    AutomationClassRegistration registration;
    ASSERT_EQ(S_OK, registration.Result());
    auto world = std::make_unique<FakeAutomationWorld>(AutomationScenario{});
    AutomationClassRegistration::Serve(world.get());
    const HWND window = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 100, 100, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    dialog_.SetWindow(window);
    dialog_.OnShow([](FakeFileDialog& dialog) {
        dialog.AdvisedSink()->OnFolderChange(static_cast<IFileOpenDialog*>(&dialog));
    });

    Run(scratch.Path().c_str(), nullptr, nullptr, nullptr);
    const bool workerDone = world->Log().WaitFor("release automation", std::chrono::seconds(5));
    AutomationClassRegistration::Serve(nullptr);
    DestroyWindow(window);

    EXPECT_THAT(CallsBetween(dialog_.Calls(), L"SetFolder(", L"Show("),
                ElementsAre(L"SetFileName(start.txt)"));
    if (!workerDone) {
        // A worker that never finished may still call into its fakes.
        world.release();
        FAIL() << "no selection worker ran";
    }
    EXPECT_EQ(row.expectedWorkerName, world->NameConditionValue().text);
}

INSTANTIATE_TEST_SUITE_P(
    ShellNames, ListedNameTest,
    ::testing::Values(ListedNameCase{"ExtensionsShown", 0, true, L"start.txt", L"start.txt"},
                      ListedNameCase{"ExtensionsHidden", 1, true, L"start.txt", L"start"},
                      ListedNameCase{"ChosenNameExtensionsHidden", 1, true, L"", L"start"},
                      ListedNameCase{"MissingFileKeepsTheGivenName", 1, false, L"start.txt",
                                     L"start.txt"}),
    [](const ::testing::TestParamInfo<ListedNameCase>& info) {
        return std::string(info.param.label);
    });

} // namespace
