// Confirming a choice launches what the file-name box names, typed or selected, with "open",
// and the dialog stays up for the next one.
#include "CaseName.h"
#include "ExplorerSession.h"
#include "RecordedLaunches.h"

#include <gtest/gtest.h>

#include <algorithm>
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

struct ChoiceCase {
    const char* name;
    std::vector<int> selected;
    const wchar_t* typed;
    std::vector<int> expectedLaunches;
};

class ConfirmedChoice : public Launching, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(ConfirmedChoice, IsWhatOpens)
{
    ExplorerSession session(L"/START," + folder_.Path());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    ASSERT_EQ(2u, WaitForListItems(browser, {L"first.vxrec", L"second.vxrec"}).size());
    ASSERT_EQ(-1, ListViewSelection(FileList(browser)));
    for (int index : GetParam().selected) {
        ASSERT_TRUE(AddToListViewSelection(FileList(browser), index));
    }
    if (GetParam().typed != nullptr) {
        TypeText(GetDlgItem(browser, kFileNameEditId), GetParam().typed);
        ASSERT_TRUE(WaitUntil([&] { return FileNameBoxText(browser) == GetParam().typed; },
                              kWindowTimeoutMs));
    }
    PressButton(browser, IDOK);

    std::vector<std::wstring> expected;
    for (int index : GetParam().expectedLaunches) {
        expected.push_back(index == 0 ? first_ : second_);
    }
    // Several launched programs log in the order they get to run.
    std::vector<std::wstring> launched =
        launches_.fileType.WaitForLaunches(expected.size(), kWindowTimeoutMs);
    std::sort(launched.begin(), launched.end());
    EXPECT_EQ(expected, launched);
    Sleep(kQuietPeriodMs);
    EXPECT_EQ(expected.size(), launches_.fileType.Launches().size());
    EXPECT_EQ(browser, session.FindBrowser());
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ConfirmedChoice,
    testing::Values(ChoiceCase{"NameTypedWithNothingSelected", {}, L"second.vxrec", {1}},
                    ChoiceCase{"NameTypedOverASelection", {0}, L"second.vxrec", {1}},
                    ChoiceCase{"TwoFilesSelected", {0, 1}, nullptr, {0, 1}}),
    CaseName());

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
