#include "LaunchSettings.h"
#include "SettingsMarker.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Sets, or with a null value removes, a variable of the runtime's environment for one test and
// puts back what was there before.
class ScopedVariable {
public:
    ScopedVariable(const std::wstring& name, const wchar_t* value) : name_(name)
    {
        const wchar_t* previous = _wgetenv(name.c_str());
        if (previous != nullptr) {
            previous_ = std::make_unique<std::wstring>(previous);
        }
        Set(value);
    }
    ~ScopedVariable() { Set(previous_ ? previous_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    // The runtime removes a variable that is given an empty value.
    void Set(const wchar_t* value) { _wputenv_s(name_.c_str(), value != nullptr ? value : L""); }

    std::wstring name_;
    std::unique_ptr<std::wstring> previous_;
};

class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const wchar_t* directory)
    {
        GetCurrentDirectoryW(kPathUnits, previous_);
        SetCurrentDirectoryW(directory);
    }
    ~ScopedCurrentDirectory() { SetCurrentDirectoryW(previous_); }
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    wchar_t previous_[kPathUnits] = L"";
};

std::wstring WindowsDirectory()
{
    wchar_t directory[kPathUnits] = L"";
    GetWindowsDirectoryW(directory, kPathUnits);
    return directory;
}

std::wstring SystemDirectory()
{
    wchar_t directory[kPathUnits] = L"";
    GetSystemDirectoryW(directory, kPathUnits);
    return directory;
}

std::wstring Repeated(wchar_t unit, size_t count)
{
    return std::wstring(count, unit);
}

class FolderMacros : public testing::Test {
protected:
    void SetUp() override { MarkLaunchSettings(); }

    void TearDown() override
    {
        EXPECT_EQ(L"", ChangedOutside({SpanOf(LaunchSettings.startFolder)}));
        EXPECT_EQ(0u, LaunchSettings.windowFlags);
    }

    // Expands folder in startFolder and returns the result; folder must fit the field.
    std::wstring Expand(const std::wstring& folder)
    {
        EXPECT_LT(folder.size(), static_cast<size_t>(kPathUnits));
        CopyBounded(LaunchSettings.startFolder, folder.c_str(), kPathUnits);
        EXPECT_EQ(LaunchSettings.startFolder, ExpandFolderMacros());
        EXPECT_TRUE(TerminatedWithin(LaunchSettings.startFolder));
        return LaunchSettings.startFolder;
    }
};

// The variables behind the built-in names.
const wchar_t kKorvuFile[] = L"KORVUFILE";
const wchar_t kQorCache[] = L"QORCACHE";
const wchar_t kQorLocalDir[] = L"QORLOCALDIR";

// The variables behind the built-in names, and those named like them, start unset whatever
// the caller's environment holds.
struct CleanEnvironment {
    ScopedVariable korvu{L"KORVU", nullptr};
    ScopedVariable korvuFile{kKorvuFile, nullptr};
    ScopedVariable qorCache{kQorCache, nullptr};
    ScopedVariable qorLocalDir{kQorLocalDir, nullptr};
    ScopedVariable windowsDirectory{L"WindowsDirectory", nullptr};
    ScopedVariable currentDirectory{L"CurrentDirectory", nullptr};
};

TEST_F(FolderMacros, AnEmptyFolderStaysEmpty)
{
    EXPECT_EQ(L"", Expand(L""));
}

TEST_F(FolderMacros, TextWithoutMacrosIsUnchanged)
{
    for (const wchar_t* folder : {L"C:\\Data\\", L"\\\\server\\share\\", L"C:\\50%\\", L"%abc",
                                  L"abc%", L"\\\\double\\\\inside\\"}) {
        EXPECT_EQ(folder, Expand(folder));
    }
}

TEST_F(FolderMacros, DirectoryNamesAreAskedOfWindows)
{
    CleanEnvironment clean;
    ScopedCurrentDirectory root(L"C:\\");
    const std::wstring windows = WindowsDirectory();
    ASSERT_NE(L'\\', windows.back());
    EXPECT_EQ(windows + L"\\", Expand(L"%WindowsDirectory%\\"));
    EXPECT_EQ(windows + L"\\", Expand(L"%windowsdirectory%\\"));
    EXPECT_EQ(windows + L"\\", Expand(L"%WINDOWSDIRECTORY%\\"));
    EXPECT_EQ(SystemDirectory() + L"\\x\\", Expand(L"%SystemDirectory%\\x\\"));
    EXPECT_EQ(SystemDirectory() + L"\\", Expand(L"%systemdirectory%\\"));
    // C:\ already ends in a backslash, so the one after the macro is dropped.
    EXPECT_EQ(L"C:\\sub\\", Expand(L"%CurrentDirectory%\\sub\\"));
    EXPECT_EQ(L"C:\\sub\\", Expand(L"%currentDIRECTORY%\\sub\\"));
}

TEST_F(FolderMacros, AVariableOfTheMacrosOwnNameIsUsed)
{
    CleanEnvironment clean;
    ScopedVariable temp(L"TEMP", L"C:\\Tmp");
    EXPECT_EQ(L"C:\\Tmp\\x\\", Expand(L"%TEMP%\\x\\"));
    EXPECT_EQ(L"C:\\Tmp\\x\\", Expand(L"%temp%\\x\\"));
}

TEST_F(FolderMacros, AVariableNamedLikeABuiltInWins)
{
    CleanEnvironment clean;
    ScopedVariable windowsVariable(L"WindowsDirectory", L"W:\\mine");
    ScopedVariable korvu(L"KORVU", L"K:\\own");
    ScopedVariable korvuFile(kKorvuFile, L"D:\\cfg\\main.ini");
    EXPECT_EQ(L"W:\\mine\\", Expand(L"%WindowsDirectory%\\"));
    EXPECT_EQ(L"K:\\own\\", Expand(L"%KORVU%\\"));
}

TEST_F(FolderMacros, KorvuNamesTheFolderOfKorvuFile)
{
    CleanEnvironment clean;
    struct {
        const wchar_t* file;
        const wchar_t* expected;
    } const cases[] = {
        {L"D:\\cfg\\main.ini", L"D:\\cfg\\"},
        {L"plain", L"plain\\"},
        {L"D:\\", L"D:\\"},
        {L"\\\\srv\\share\\deep\\k.cfg", L"\\\\srv\\share\\deep\\"},
    };
    for (const auto& example : cases) {
        ScopedVariable korvuFile(kKorvuFile, example.file);
        EXPECT_EQ(example.expected, Expand(L"%KORVU%\\")) << testing::PrintToString(example.file);
        EXPECT_EQ(example.expected, Expand(L"%korvu%\\")) << testing::PrintToString(example.file);
    }
}

TEST_F(FolderMacros, CacheAndLocalNamesReadTheirVariables)
{
    CleanEnvironment clean;
    ScopedVariable cache(kQorCache, L"E:\\cache\\");
    ScopedVariable local(kQorLocalDir, L"L:\\local");
    EXPECT_EQ(L"E:\\cache\\logs\\", Expand(L"%QORCACHEDIR%\\logs\\"));
    EXPECT_EQ(L"E:\\cache\\logs\\", Expand(L"%QorPermCache%\\logs\\"));
    EXPECT_EQ(L"L:\\local\\x", Expand(L"%QORLOCAL%\\x"));
}

TEST_F(FolderMacros, UnrecognisedMacrosRemain)
{
    CleanEnvironment clean;
    for (const wchar_t* folder :
         {L"%NOSUCHNAME%\\x\\", L"%KORVU%\\", L"%QORCACHEDIR%\\", L"%QORPERMCACHE%",
          L"%QORLOCAL%\\", L"%%", L"x%%y", L"a%NOSUCH%b%c", L"%Windows Directory%"}) {
        EXPECT_EQ(folder, Expand(folder));
    }
}

TEST_F(FolderMacros, AdjacentMacrosExpandOneAfterTheOther)
{
    ScopedVariable first(L"VELTRIN_MACRO_A", L"a");
    ScopedVariable second(L"VELTRIN_MACRO_B", L"b");
    EXPECT_EQ(L"ab\\", Expand(L"%VELTRIN_MACRO_A%%VELTRIN_MACRO_B%\\"));
    EXPECT_EQ(L"x\\a\\y\\b", Expand(L"x\\%VELTRIN_MACRO_A%\\y\\%VELTRIN_MACRO_B%"));
    // The '%' that closes a macro never opens the next one.
    EXPECT_EQ(L"aVELTRIN_MACRO_B%", Expand(L"%VELTRIN_MACRO_A%VELTRIN_MACRO_B%"));
}

TEST_F(FolderMacros, ReplacementsAreNeverScannedAgain)
{
    ScopedVariable inner(L"VELTRIN_MACRO_INNER", L"expanded");
    ScopedVariable outer(L"VELTRIN_MACRO_OUTER", L"%VELTRIN_MACRO_INNER%");
    EXPECT_EQ(L"%VELTRIN_MACRO_INNER%\\", Expand(L"%VELTRIN_MACRO_OUTER%\\"));
    // A '%' inside a value never pairs with one of the text that follows.
    ScopedVariable open(L"VELTRIN_MACRO_OPEN", L"%VELTRIN_MACRO_INNER");
    EXPECT_EQ(L"%VELTRIN_MACRO_INNER%", Expand(L"%VELTRIN_MACRO_OPEN%%"));
    ScopedVariable percent(L"VELTRIN_MACRO_PERCENT", L"50%");
    EXPECT_EQ(L"50%expanded", Expand(L"%VELTRIN_MACRO_PERCENT%%VELTRIN_MACRO_INNER%"));
}

TEST_F(FolderMacros, OnlyOneBackslashIsDroppedWhereReplacementAndRestMeet)
{
    CleanEnvironment clean;
    ScopedVariable cache(kQorCache, L"E:\\cache\\");
    EXPECT_EQ(L"E:\\cache\\\\logs", Expand(L"%QORCACHEDIR%\\\\logs"));
    EXPECT_EQ(L"E:\\cache\\logs", Expand(L"%QORCACHEDIR%\\logs"));
    // Literal text is never touched.
    EXPECT_EQ(L"\\\\E:\\cache\\x", Expand(L"\\\\%QORCACHEDIR%\\x"));
}

TEST_F(FolderMacros, ALongMacroNameIsLookedUpByIts131FirstUnits)
{
    const std::wstring name = Repeated(L'N', 200);
    EXPECT_EQ(L"%" + Repeated(L'N', 131) + L"%\\", Expand(L"%" + name + L"%\\"));
    ScopedVariable cut(Repeated(L'N', 131), L"found");
    EXPECT_EQ(L"found\\", Expand(L"%" + name + L"%\\"));
}

TEST_F(FolderMacros, AnOverLongExpansionKeepsItsFirst259Units)
{
    const std::wstring value = Repeated(L'v', 200) + L"\\" + Repeated(L'w', 399);
    ScopedVariable longValue(L"VELTRIN_MACRO_LONG", value.c_str());
    EXPECT_EQ(value.substr(0, 259), Expand(L"%VELTRIN_MACRO_LONG%\\tail"));
    EXPECT_EQ((L"C:\\" + value).substr(0, 259), Expand(L"C:\\%VELTRIN_MACRO_LONG%"));

    ScopedVariable shorter(L"VELTRIN_MACRO_SHORT", Repeated(L's', 200).c_str());
    const std::wstring tail = Repeated(L't', 100);
    EXPECT_EQ((Repeated(L's', 200) + tail).substr(0, 259), Expand(L"%VELTRIN_MACRO_SHORT%" + tail));
    EXPECT_EQ(Repeated(L's', 200) + Repeated(L's', 59),
              Expand(L"%VELTRIN_MACRO_SHORT%%VELTRIN_MACRO_SHORT%x"));
}

// The value buffer keeps 519 units of KORVUFILE: a backslash beyond them is not seen.
TEST_F(FolderMacros, KorvuFileIsCutTo519UnitsBeforeItsLastBackslashIsFound)
{
    CleanEnvironment clean;
    const std::wstring head = Repeated(L'a', 100);
    struct {
        std::wstring file;
        std::wstring expected;
    } const cases[] = {
        // The last backslash is unit 519: kept.
        {head + L"\\" + Repeated(L'b', 417) + L"\\x", (head + L"\\" + Repeated(L'b', 417))},
        // The last backslash is unit 520: cut away, so the one before it counts.
        {head + L"\\" + Repeated(L'b', 418) + L"\\", head},
        {head + L"\\" + Repeated(L'b', 500) + L"\\c", head},
    };
    for (const auto& example : cases) {
        ScopedVariable korvuFile(kKorvuFile, example.file.c_str());
        EXPECT_EQ(example.expected.substr(0, 259), Expand(L"%KORVU%"));
    }
}

TEST_F(FolderMacros, AnUnrecognisedMacroIsCutToTheRoomLeft)
{
    const std::wstring fill = Repeated(L'f', 254);
    ScopedVariable filler(L"VELTRIN_MACRO_FILL", fill.c_str());
    EXPECT_EQ(fill + L"%NOS%", Expand(L"%VELTRIN_MACRO_FILL%%NOSUCH%"));
    EXPECT_EQ(fill + L"%NOS%", Expand(L"%VELTRIN_MACRO_FILL%%NOSUCH%more"));
}

TEST_F(FolderMacros, AnUnrecognisedMacroAddsNothingWithoutRoomForBothPercents)
{
    const std::wstring fill257 = Repeated(L'f', 257);
    ScopedVariable filler257(L"VELTRIN_MACRO_FILL", fill257.c_str());
    EXPECT_EQ(fill257 + L"%%", Expand(L"%VELTRIN_MACRO_FILL%%NOSUCH%"));

    const std::wstring fill258 = Repeated(L'f', 258);
    ScopedVariable filler258(L"VELTRIN_MACRO_FILL", fill258.c_str());
    EXPECT_EQ(fill258 + L"x", Expand(L"%VELTRIN_MACRO_FILL%%NOSUCH%xyz"));

    const std::wstring fill259 = Repeated(L'f', 259);
    ScopedVariable filler259(L"VELTRIN_MACRO_FILL", fill259.c_str());
    EXPECT_EQ(fill259, Expand(L"%VELTRIN_MACRO_FILL%%NOSUCH%xyz"));
}

TEST_F(FolderMacros, ADirectoryThatDoesNotFitAddsNothing)
{
    CleanEnvironment clean;
    const std::wstring windows = WindowsDirectory();
    // Room for the directory and its terminator exactly.
    const std::wstring fits = Repeated(L'f', 259 - windows.size());
    ScopedVariable filler(L"VELTRIN_MACRO_FILL", fits.c_str());
    EXPECT_EQ(fits + windows, Expand(L"%VELTRIN_MACRO_FILL%%WindowsDirectory%xy"));

    const std::wstring tooLong = fits + L"f";
    ScopedCurrentDirectory longer(SystemDirectory().c_str());
    ScopedVariable longerFill(L"VELTRIN_MACRO_FILL", tooLong.c_str());
    for (const wchar_t* macro :
         {L"%WindowsDirectory%", L"%SystemDirectory%", L"%CurrentDirectory%"}) {
        const std::wstring expanded = Expand(std::wstring(L"%VELTRIN_MACRO_FILL%") + macro + L"xy");
        EXPECT_EQ((tooLong + L"xy").substr(0, 259), expanded) << testing::PrintToString(macro);
    }
}

// Variables that are set but empty can only come from the environment a process starts with,
// since the runtime removes a variable given an empty value. The test runs itself again with
// such an environment and does its checks there.
const wchar_t kChildMarker[] = L"VELTRIN_EMPTY_VARIABLES_CHILD";

bool RunAsChildWithEmptyVariables(const std::string& testName)
{
    std::vector<wchar_t> block;
    const wchar_t* inherited = GetEnvironmentStringsW();
    for (const wchar_t* entry = inherited; *entry != L'\0'; entry += wcslen(entry) + 1) {
        block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    }
    FreeEnvironmentStringsW(const_cast<wchar_t*>(inherited));
    for (const std::wstring& entry :
         {std::wstring(kChildMarker) + L"=1", std::wstring(L"QORCACHE="),
          std::wstring(L"KORVUFILE="), std::wstring(L"QORLOCAL="),
          std::wstring(L"VELTRIN_MACRO_EMPTY=")}) {
        block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    }
    block.push_back(L'\0');

    wchar_t executable[kPathUnits] = L"";
    GetModuleFileNameW(nullptr, executable, kPathUnits);
    std::wstring commandLine = L"\"" + std::wstring(executable) +
                               L"\" --gtest_filter=FolderMacros." +
                               std::wstring(testName.begin(), testName.end());
    // The child writes its results where this process does.
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(executable, &commandLine[0], nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &process)) {
        return false;
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode == 0;
}

TEST_F(FolderMacros, SetButEmptyVariables)
{
    if (_wgetenv(kChildMarker) == nullptr) {
        EXPECT_TRUE(RunAsChildWithEmptyVariables(
            testing::UnitTest::GetInstance()->current_test_info()->name()));
        return;
    }
    ASSERT_NE(nullptr, _wgetenv(kQorCache));
    ASSERT_STREQ(L"", _wgetenv(kQorCache));

    // For a built-in name an empty variable counts as set: the replacement is empty, and the
    // backslash after it goes when the output already ends in one.
    EXPECT_EQ(L"C:\\x\\", Expand(L"C:\\%QORCACHEDIR%\\x\\"));
    EXPECT_EQ(L"C:\\x\\", Expand(L"C:\\%QORPERMCACHE%\\x\\"));
    EXPECT_EQ(L"C:\\x\\", Expand(L"C:\\%KORVU%\\x\\"));
    // An empty output does not end in a backslash.
    EXPECT_EQ(L"\\x", Expand(L"%QORCACHEDIR%\\x"));
    EXPECT_EQ(L"C:x", Expand(L"C:%KORVU%x"));

    // An empty variable of the macro's own name does not apply: the built-in name still does,
    // and an unrecognised macro remains.
    {
        ScopedVariable local(kQorLocalDir, L"L:\\local");
        EXPECT_EQ(L"L:\\local\\x", Expand(L"%QORLOCAL%\\x"));
    }
    EXPECT_EQ(L"%QORLOCAL%\\x", Expand(L"%QORLOCAL%\\x"));
    EXPECT_EQ(L"%VELTRIN_MACRO_EMPTY%\\x", Expand(L"%VELTRIN_MACRO_EMPTY%\\x"));
}

} // namespace
