// Confirming a choice launches what the file-name box names, typed or selected, with "open",
// and the dialog stays up for the next one.
#include "ExplorerSession.h"
#include "RecordedLaunches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace WindowDriver;

namespace {

class Launching : public testing::Test {
protected:
    static void TypeAndConfirm(HWND browser, const std::wstring& text)
    {
        TypeText(GetDlgItem(browser, kFileNameEditId), text);
        EXPECT_TRUE(WaitUntil([&] { return FileNameBoxText(browser) == text; }, kWindowTimeoutMs));
        PressButton(browser, IDOK);
    }

    // Nothing more is launched, the dialog stays up, and "Exit" ends the program.
    void ExpectNoMoreLaunchesAndExit(const ExplorerSession& session, HWND browser,
                                     size_t launched) const
    {
        Sleep(kQuietPeriodMs);
        EXPECT_EQ(launched, launches_.fileType.Launches().size());
        EXPECT_EQ(browser, session.FindBrowser()) << "the dialog closed after a launch";
        EXPECT_TRUE(session.ExitThroughCancel(browser));
    }

    RecordedLaunches launches_;
    TempFolder folder_;
    const std::wstring first_ = folder_.AddFile(L"first.vxrec");
    const std::wstring second_ = folder_.AddFile(L"second.vxrec");
};

TEST_F(Launching, EachConfirmedSelectionIsLaunchedAndTheDialogStays)
{
    ExplorerSession session(L"/START," + folder_.Path());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    const std::vector<std::wstring> bothFiles = {L"first.vxrec", L"second.vxrec"};
    ASSERT_EQ(bothFiles, WaitForListItems(browser, bothFiles));

    ASSERT_TRUE(SelectListItem(browser, 0));
    PressButton(browser, IDOK);
    EXPECT_EQ(std::vector<std::wstring>{first_},
              launches_.fileType.WaitForLaunches(1, kWindowTimeoutMs));
    EXPECT_EQ(browser, session.FindBrowser());

    ASSERT_TRUE(SelectListItem(browser, 1));
    EXPECT_TRUE(
        WaitUntil([&] { return FileNameBoxText(browser) == L"second.vxrec"; }, kWindowTimeoutMs));
    PressKey(FileList(browser), VK_RETURN);
    EXPECT_EQ((std::vector<std::wstring>{first_, second_}),
              launches_.fileType.WaitForLaunches(2, kWindowTimeoutMs));

    EXPECT_TRUE(IsVisible(GetDlgItem(browser, IDCANCEL)));
    ExpectNoMoreLaunchesAndExit(session, browser, 2);
}

// The file-name box names the choice, also when it differs from the view's selection.
TEST_F(Launching, ANameTypedIntoTheFileNameBoxIsLaunchedAlsoOverASelection)
{
    ExplorerSession session(L"/START," + folder_.Path());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    ASSERT_EQ(2u, WaitForListItems(browser, {L"first.vxrec", L"second.vxrec"}).size());
    ASSERT_EQ(-1, ListViewSelection(FileList(browser)));

    TypeAndConfirm(browser, L"second.vxrec");
    EXPECT_EQ(std::vector<std::wstring>{second_},
              launches_.fileType.WaitForLaunches(1, kWindowTimeoutMs));
    ASSERT_TRUE(SelectListItem(browser, 0));
    TypeAndConfirm(browser, L"second.vxrec");
    EXPECT_EQ((std::vector<std::wstring>{second_, second_}),
              launches_.fileType.WaitForLaunches(2, kWindowTimeoutMs));
    ExpectNoMoreLaunchesAndExit(session, browser, 2);
}

// The lock keeps confirming in the start folder too: a path typed into another folder, whole or
// relative, opens nothing, while a name or a whole path in the start folder opens.
TEST_F(Launching, UnderTheFolderLockOnlyTypedFilesOfTheStartFolderAreLaunched)
{
    TempFolder elsewhere;
    const std::wstring letter = elsewhere.AddFile(L"letter.vxrec");
    const std::wstring elsewhereName =
        elsewhere.Path().substr(elsewhere.Path().rfind(L'\\', elsewhere.Path().size() - 2) + 1);
    ExplorerSession session(L"/NOCHANGEDIR /START," + folder_.Path());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    ASSERT_EQ(2u, WaitForListItems(browser, {L"first.vxrec", L"second.vxrec"}).size());

    for (const std::wstring& typed : {letter, L"..\\" + elsewhereName + L"letter.vxrec"}) {
        TypeAndConfirm(browser, typed);
    }
    Sleep(kQuietPeriodMs);
    EXPECT_TRUE(launches_.fileType.Launches().empty());
    TypeAndConfirm(browser, L"first.vxrec");
    EXPECT_EQ(std::vector<std::wstring>{first_},
              launches_.fileType.WaitForLaunches(1, kWindowTimeoutMs));
    TypeAndConfirm(browser, second_);
    EXPECT_EQ((std::vector<std::wstring>{first_, second_}),
              launches_.fileType.WaitForLaunches(2, kWindowTimeoutMs));
    ExpectNoMoreLaunchesAndExit(session, browser, 2);
}

TEST_F(Launching, AStartPathWithAFileNameOpensItsFolderWithTheNameInTheFileNameBox)
{
    ExplorerSession session(L"/START," + second_);
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    EXPECT_EQ(L"second.vxrec", FileNameBoxText(browser));
    const std::vector<std::wstring> bothFiles = {L"first.vxrec", L"second.vxrec"};
    EXPECT_EQ(bothFiles, WaitForListItems(browser, bothFiles));
    EXPECT_TRUE(launches_.fileType.Launches().empty());
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

} // namespace
