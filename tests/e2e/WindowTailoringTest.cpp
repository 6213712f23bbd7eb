// The one-time reshaping of the dialog window by the switches, the folder lock, and a dialog
// that keeps working when the list selection cannot be automated.
#include "CaseName.h"
#include "ExplorerSession.h"
#include "RecordedLaunches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace WindowDriver;

namespace {

constexpr LONG kMaximizeBoxStyle = WS_MAXIMIZEBOX | WS_SYSMENU;

struct MaximizeCase {
    const char* name;
    const wchar_t* arguments;
    bool maximizeBox;
    bool maximized;
};

class MaximizeSwitches : public testing::TestWithParam<MaximizeCase> {};

TEST_P(MaximizeSwitches, ShapeTheWindow)
{
    ExplorerSession session(GetParam().arguments);
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    const LONG style = WindowStyle(browser);
    EXPECT_EQ(GetParam().maximizeBox ? kMaximizeBoxStyle : WS_SYSMENU, style & kMaximizeBoxStyle);
    EXPECT_EQ(GetParam().maximized, IsZoomed(browser) != FALSE);
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

INSTANTIATE_TEST_SUITE_P(Switches, MaximizeSwitches,
                         testing::Values(MaximizeCase{"Plain", L"", false, false},
                                         MaximizeCase{"MaxButton", L"/MAXBTN", true, false},
                                         MaximizeCase{"Max", L"/MAX", true, true},
                                         MaximizeCase{"MaximizeWithMaxButton", L"/maximize /MAXBTN",
                                                      true, true}),
                         CaseName());

bool AnyComboBoxVisible(HWND browser)
{
    for (HWND window : Descendants(browser)) {
        if (ClassName(window) == L"ComboBox" && IsVisible(window)) {
            return true;
        }
    }
    return false;
}

TEST(FileNamePrompt, NoFilePromptHidesTheBoxItsLabelAndEveryComboBox)
{
    // With a filter the file-type combo box is on screen, so there is a combo box to hide.
    const std::wstring filter = L"/FILTER,\"Text | *.txt | All | *.*\"";
    ExplorerSession plain(filter);
    HWND plainBrowser = plain.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, plainBrowser);
    EXPECT_TRUE(IsVisible(GetDlgItem(plainBrowser, kFileNameLabelId)));
    EXPECT_TRUE(IsVisible(GetDlgItem(plainBrowser, kFileNameEditId)));
    EXPECT_TRUE(AnyComboBoxVisible(plainBrowser));
    EXPECT_TRUE(plain.ExitThroughCancel(plainBrowser));

    ExplorerSession trimmed(filter + L" /NOFILEPROMPT");
    HWND trimmedBrowser = trimmed.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, trimmedBrowser);
    ASSERT_NE(nullptr, GetDlgItem(trimmedBrowser, kFileNameLabelId));
    EXPECT_FALSE(IsVisible(GetDlgItem(trimmedBrowser, kFileNameLabelId)));
    ASSERT_NE(nullptr, GetDlgItem(trimmedBrowser, kFileNameEditId));
    EXPECT_FALSE(IsVisible(GetDlgItem(trimmedBrowser, kFileNameEditId)));
    ASSERT_NE(nullptr, FindDescendant(trimmedBrowser, L"ComboBox", -1));
    EXPECT_FALSE(AnyComboBoxVisible(trimmedBrowser));
    EXPECT_TRUE(trimmed.ExitThroughCancel(trimmedBrowser));
}

TEST(FileNamePrompt, TwoInstancesWithTheSameTitleTailorOnlyTheirOwnWindow)
{
    ExplorerSession plain(L"");
    HWND plainBrowser = plain.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, plainBrowser);

    ExplorerSession trimmed(L"/NOFILEPROMPT");
    HWND trimmedBrowser = trimmed.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, trimmedBrowser);
    ASSERT_NE(plainBrowser, trimmedBrowser);
    ASSERT_EQ(WindowText(plainBrowser), WindowText(trimmedBrowser));

    EXPECT_FALSE(IsVisible(GetDlgItem(trimmedBrowser, kFileNameLabelId)));
    EXPECT_TRUE(IsVisible(GetDlgItem(plainBrowser, kFileNameLabelId)))
        << "the second instance hid the first one's label";
    EXPECT_TRUE(trimmed.ExitThroughCancel(trimmedBrowser));
    EXPECT_TRUE(plain.ExitThroughCancel(plainBrowser));
}

class TrimmedDialog : public testing::TestWithParam<const wchar_t*> {
protected:
    RecordedLaunches launches_;
    TempFolder folder_;
    const std::wstring file_ = folder_.AddFile(L"only.vxrec");
};

TEST_P(TrimmedDialog, StillLaunchesTheConfirmedFile)
{
    ExplorerSession session(L"/START," + folder_.Path() + L" " + GetParam());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    ASSERT_EQ(std::vector<std::wstring>{L"only.vxrec"}, WaitForListItems(browser, {L"only.vxrec"}));
    ASSERT_TRUE(SelectListItem(browser, 0));
    PressButton(browser, IDOK);
    EXPECT_EQ(std::vector<std::wstring>{file_},
              launches_.fileType.WaitForLaunches(1, kWindowTimeoutMs));
    EXPECT_EQ(browser, session.FindBrowser());
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

INSTANTIATE_TEST_SUITE_P(Switches, TrimmedDialog,
                         testing::Values(L"/NOADDRESS", L"/NOCHANGEDIR",
                                         L"/NOADDRESS /NOCHANGEDIR /NOFILEPROMPT"));

struct LockCase {
    const char* name;
    const wchar_t* arguments;
    std::vector<std::wstring> listAfterOpeningSubfolder;
};

class FolderLock : public testing::TestWithParam<LockCase> {};

TEST_P(FolderLock, DecidesWhetherOpeningASubfolderNavigates)
{
    TempFolder folder;
    folder.AddSubfolder(L"inner");
    folder.AddFile(L"inner\\deep.txt");
    folder.AddFile(L"top.txt");
    ExplorerSession session(L"/START," + folder.Path() + L" " + GetParam().arguments);
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    const std::vector<std::wstring> startItems = {L"inner", L"top.txt"};
    ASSERT_EQ(startItems, WaitForListItems(browser, startItems));

    // A folder name confirmed in the file-name box makes the dialog browse into it.
    TypeText(GetDlgItem(browser, kFileNameEditId), L"inner");
    ASSERT_TRUE(WaitUntil([&] { return FileNameBoxText(browser) == L"inner"; }, kWindowTimeoutMs));
    PressButton(browser, IDOK);
    // A navigation empties the list first and fills it again.
    const std::vector<std::wstring>& expected = GetParam().listAfterOpeningSubfolder;
    WaitUntil([&] { return ListViewItemTexts(FileList(browser)) != startItems; }, kQuietPeriodMs);
    WaitUntil([&] { return ListViewItemTexts(FileList(browser)) == expected; }, kWindowTimeoutMs);
    EXPECT_EQ(expected, ListViewItemTexts(FileList(browser)));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

INSTANTIATE_TEST_SUITE_P(Switches, FolderLock,
                         testing::Values(LockCase{"Unlocked", L"", {L"deep.txt"}},
                                         LockCase{
                                             "Locked", L"/NOCHANGEDIR", {L"inner", L"top.txt"}}),
                         CaseName());

TEST(SelectionWorker, WithoutUiAutomationTheDialogKeepsWorking)
{
    TempFolder folder;
    folder.AddFile(L"alpha.txt");
    folder.AddFile(L"beta.txt");
    ExplorerSession session(L"/START," + folder.Path() + L"beta.txt");
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    EXPECT_EQ(L"beta.txt", FileNameBoxText(browser));

    Sleep(kQuietPeriodMs);
    EXPECT_TRUE(session.IsRunning());
    EXPECT_TRUE(IsResponsive(browser, 2000));
    ASSERT_EQ(2u, WaitForListItems(browser, {L"alpha.txt", L"beta.txt"}).size());
    ASSERT_TRUE(SelectListItem(browser, 0));
    EXPECT_TRUE(
        WaitUntil([&] { return FileNameBoxText(browser) == L"alpha.txt"; }, kWindowTimeoutMs));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

} // namespace
