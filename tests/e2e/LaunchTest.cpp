// Confirming a choice launches the selected files with "open" and the dialog stays up for the
// next one; a name that is only typed is no selection.
#include "ExplorerSession.h"
#include "RecordedLaunches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace WindowDriver;

namespace {

class Launching : public testing::Test {
protected:
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

    Sleep(kQuietPeriodMs);
    EXPECT_EQ(2u, launches_.fileType.Launches().size());
    EXPECT_EQ(browser, session.FindBrowser()) << "the dialog closed after a launch";
    EXPECT_TRUE(IsVisible(GetDlgItem(browser, IDCANCEL)));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

TEST_F(Launching, ANameOnlyTypedIntoTheFileNameBoxLaunchesNothing)
{
    ExplorerSession session(L"/START," + folder_.Path());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    ASSERT_EQ(2u, WaitForListItems(browser, {L"first.vxrec", L"second.vxrec"}).size());
    ASSERT_EQ(-1, ListViewSelection(FileList(browser)));

    TypeText(GetDlgItem(browser, kFileNameEditId), L"second.vxrec");
    ASSERT_TRUE(
        WaitUntil([&] { return FileNameBoxText(browser) == L"second.vxrec"; }, kWindowTimeoutMs));
    PressButton(browser, IDOK);
    Sleep(kQuietPeriodMs);
    EXPECT_TRUE(launches_.fileType.Launches().empty());
    EXPECT_EQ(browser, session.FindBrowser());

    // The same dialog launches once an item is selected.
    ASSERT_TRUE(SelectListItem(browser, 1));
    PressButton(browser, IDOK);
    EXPECT_EQ(std::vector<std::wstring>{second_},
              launches_.fileType.WaitForLaunches(1, kWindowTimeoutMs));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
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
