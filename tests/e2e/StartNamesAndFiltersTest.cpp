// What the dialog starts with: the file types of /FILTER, the folder named by /START with its
// macros, and the file name put into the file-name box.
#include "CaseName.h"
#include "ExpectedMessages.h"
#include "ExplorerSession.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace WindowDriver;

namespace {

std::vector<std::wstring> FileTypes(HWND browser)
{
    return ComboBoxItemTexts(GetDlgItem(browser, kFileTypesComboId));
}

TEST(FileTypes, FilterFillsTheFileTypeList)
{
    ExplorerSession session(L"/FILTER,\"Text files | *.txt | All | *.*\"");
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    EXPECT_TRUE(IsVisible(GetDlgItem(browser, kFileTypesComboId)));
    EXPECT_EQ((std::vector<std::wstring>{L"Text files", L"All"}), FileTypes(browser));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

TEST(FileTypes, AnUnfinishedFilterIsReportedThenTheCompletePairsAreOffered)
{
    ExplorerSession session(L"/FILTER,\"Text | *.txt | Docs\"");
    HWND box = session.WaitForMessageBox(kFilterCaption);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(kFilterText, ControlText(box, kMessageBoxTextId));
    EXPECT_EQ(nullptr, session.FindBrowser()) << "the dialog came up before the message";

    PressButton(box, IDOK);
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    EXPECT_EQ(std::vector<std::wstring>{L"Text"}, FileTypes(browser));
    EXPECT_EQ(nullptr, session.WaitForMessageBox(kFilterCaption, 0)) << "the message came twice";
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

TEST(StartFolder, WindowsDirectoryMacroWithAFileName)
{
    ExplorerSession session(L"/START,%WindowsDirectory%\\notepad.exe /NOADDRESS");
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    EXPECT_EQ(L"notepad.exe", FileNameBoxText(browser));
    const auto listed = [&](const wchar_t* name) {
        const std::vector<std::wstring> items = ListViewItemTexts(FileList(browser));
        return std::find(items.begin(), items.end(), name) != items.end();
    };
    EXPECT_TRUE(
        WaitUntil([&] { return listed(L"notepad.exe") && listed(L"system32"); }, kWindowTimeoutMs));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

TEST(StartFolder, MacroFromTheProgramsEnvironment)
{
    TempFolder folder;
    folder.AddFile(L"macro.dat");
    const std::wstring withoutBackslash = folder.Path().substr(0, folder.Path().size() - 1);
    ExplorerSession session(L"/START,%VXTESTDIR%\\", {{L"VXTESTDIR", withoutBackslash}});
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    EXPECT_EQ(L"macro.dat", FileNameBoxText(browser));
    EXPECT_EQ(std::vector<std::wstring>{L"macro.dat"}, WaitForListItems(browser, {L"macro.dat"}));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

struct FolderFile {
    const wchar_t* name;
    DWORD attributes;
};

struct InitialNameCase {
    const char* name;
    std::vector<FolderFile> files;
    const wchar_t* switches;
    std::wstring expectedName;
};

class InitialName : public testing::TestWithParam<InitialNameCase> {};

TEST_P(InitialName, IsTheFirstVisibleFileChosenByTheFilter)
{
    TempFolder folder;
    for (const FolderFile& file : GetParam().files) {
        if ((file.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            folder.AddSubfolder(file.name);
        } else {
            folder.AddFile(file.name, file.attributes);
        }
    }
    ExplorerSession session(L"/START," + folder.Path() + L" " + GetParam().switches);
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    EXPECT_EQ(GetParam().expectedName, FileNameBoxText(browser));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

constexpr DWORD kNormal = FILE_ATTRIBUTE_NORMAL;
constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD kSystem = FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;

INSTANTIATE_TEST_SUITE_P(
    Folders, InitialName,
    testing::Values(
        InitialNameCase{"FilterPicksItsType",
                        {{L"a.log", kNormal}, {L"b.txt", kNormal}},
                        L"/FILTER,\"Text | *.txt\"",
                        L"b.txt"},
        InitialNameCase{"NotAFileTheFilterHides",
                        {{L"report.docx", kNormal}, {L"notes.txt", kNormal}},
                        L"/FILTER,\"Documents | *.doc;*.txt\"",
                        L"notes.txt"},
        InitialNameCase{
            "WithoutFilterTheFirstFile", {{L"a.log", kNormal}, {L"b.txt", kNormal}}, L"", L"a.log"},
        InitialNameCase{"PatternsInSpecOrder",
                        {{L"a.txt", kNormal}, {L"z.doc", kNormal}},
                        L"/FILTER,\"Some | *.doc;*.txt\"",
                        L"z.doc"},
        InitialNameCase{
            "HiddenSystemAndFoldersSkipped",
            {{L"a.txt", kHidden}, {L"b.txt", kSystem}, {L"c", kFolder}, {L"d.log", kNormal}},
            L"",
            L"d.log"},
        InitialNameCase{"HiddenFirstMatchFallsBackToAnyType",
                        {{L"a.txt", kHidden}, {L"b.log", kNormal}, {L"c.txt", kNormal}},
                        L"/FILTER,\"Text | *.txt\"",
                        L"b.log"}),
    CaseName());

} // namespace
