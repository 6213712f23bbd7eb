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

// The file-name box names the choice, also when it differs from the view's selection.
TEST_F(Launching, ANameTypedIntoTheFileNameBoxIsLaunchedAlsoOverASelection)
{
    ExplorerSession session(L"/START," + folder_.Path());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    ASSERT_EQ(2u, WaitForListItems(browser, {L"first.vxrec", L"second.vxrec"}).size());
    ASSERT_EQ(-1, ListViewSelection(FileList(browser)));
    const auto typeAndConfirm = [&] {
        TypeText(GetDlgItem(browser, kFileNameEditId), L"second.vxrec");
        EXPECT_TRUE(WaitUntil([&] { return FileNameBoxText(browser) == L"second.vxrec"; },
                              kWindowTimeoutMs));
        PressButton(browser, IDOK);
    };

    typeAndConfirm();
    EXPECT_EQ(std::vector<std::wstring>{second_},
              launches_.fileType.WaitForLaunches(1, kWindowTimeoutMs));
    ASSERT_TRUE(SelectListItem(browser, 0));
    typeAndConfirm();
    EXPECT_EQ((std::vector<std::wstring>{second_, second_}),
              launches_.fileType.WaitForLaunches(2, kWindowTimeoutMs));
    Sleep(kQuietPeriodMs);
    EXPECT_EQ(2u, launches_.fileType.Launches().size());
    EXPECT_EQ(browser, session.FindBrowser());
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
