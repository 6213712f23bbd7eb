// The dialog as the program shows it: caption, Cancel label, the hidden Open button, the ways
// to end it, and the syntax message that replaces it for a malformed command line.
#include "CaseName.h"
#include "ExpectedMessages.h"
#include "ExplorerSession.h"

#include <gtest/gtest.h>

#include <string>

using namespace WindowDriver;

namespace {

TEST(BrowserDialog, WithoutSwitchesShowsDefaultsHidesOpenAndExitsWithZero)
{
    ExplorerSession session(L"");
    ASSERT_TRUE(session.Started());
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    EXPECT_EQ(L"Veltrin Explorer", WindowText(browser));
    EXPECT_EQ(L"Exit", ControlText(browser, IDCANCEL));
    EXPECT_TRUE(IsVisible(GetDlgItem(browser, IDCANCEL)));
    EXPECT_TRUE(IsEnabled(GetDlgItem(browser, IDCANCEL)));

    Sleep(kQuietPeriodMs);
    EXPECT_FALSE(IsVisible(GetDlgItem(browser, IDOK))) << "the Open button came back";
    EXPECT_EQ(browser, session.FindBrowser()) << "the dialog did not stay up";
    EXPECT_TRUE(session.IsRunning());

    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

struct CaptionCase {
    const char* name;
    std::wstring arguments;
    std::wstring caption;
    std::wstring cancelLabel;
};

class CaptionAndCancelLabel : public testing::TestWithParam<CaptionCase> {};

TEST_P(CaptionAndCancelLabel, FollowTheSwitches)
{
    ExplorerSession session(GetParam().arguments);
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    EXPECT_EQ(GetParam().caption, WindowText(browser));
    EXPECT_EQ(GetParam().cancelLabel, ControlText(browser, IDCANCEL));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

const std::wstring kLongTitle = std::wstring(100, L'T') + std::wstring(50, L'u');

INSTANTIATE_TEST_SUITE_P(
    Switches, CaptionAndCancelLabel,
    testing::Values(
        CaptionCase{"TitleAndCancel", L"/TITLE,My Files /CANCEL,Leave", L"My Files", L"Leave"},
        CaptionCase{"LowerCaseCancel", L"/cancel,Done", L"Veltrin Explorer", L"Done"},
        CaptionCase{"QuotedTitleKeepsInnerBlanks", L"/TITLE,\"  Quoted  Title \"  /MAXBTN",
                    L"  Quoted  Title ", L"Exit"},
        CaptionCase{"SlashRightAfterValueCostsAUnit", L"/TITLE,abc/MAXBTN", L"ab", L"Exit"},
        CaptionCase{"EmptyQuotedTitleKeepsDefault", L"/TITLE,\"\"", L"Veltrin Explorer", L"Exit"},
        // The title's text runs on into the Cancel value: stripping the title first, then the
        // label, leaves the label's blank in both.
        CaptionCase{"OverlappingValuesStrippedInOrder", L"/TITLE,/CANCEL,\" \"", L"/CANCEL, ",
                    L" "},
        CaptionCase{"LongTitleCut", L"/TITLE," + kLongTitle, kLongTitle.substr(0, 99), L"Exit"}),
    CaseName());

struct CloseCase {
    const char* name;
    void (*close)(HWND);
};

class CloseBox : public testing::TestWithParam<CloseCase> {};

TEST_P(CloseBox, EndsTheProgramWithZero)
{
    ExplorerSession session(L"/TITLE,Closing");
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);

    GetParam().close(browser);
    DWORD exitCode = 1;
    ASSERT_TRUE(session.WaitForExit(kExitTimeoutMs, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

INSTANTIATE_TEST_SUITE_P(Messages, CloseBox,
                         testing::Values(CloseCase{"WmClose", PostCloseMessage},
                                         CloseCase{"SysCommandClose", PostSystemClose}),
                         CaseName());

class MalformedLine : public testing::TestWithParam<const wchar_t*> {};

TEST_P(MalformedLine, ShowsTheSyntaxMessageInsteadOfTheDialog)
{
    ExplorerSession session(GetParam());
    HWND box = session.WaitForMessageBox(kSyntaxCaption);
    ASSERT_NE(nullptr, box);

    EXPECT_EQ(kSyntaxText, ControlText(box, kMessageBoxTextId));
    EXPECT_EQ(385u, ControlText(box, kMessageBoxTextId).size());
    EXPECT_EQ(nullptr, session.FindBrowser());

    PressButton(box, IDOK);
    bool browserSeen = false;
    DWORD exitCode = 1;
    const bool ended = WaitUntil(
        [&] {
            browserSeen = browserSeen || session.FindBrowser() != nullptr;
            return session.WaitForExit(0, &exitCode);
        },
        kExitTimeoutMs);
    ASSERT_TRUE(ended);
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(browserSeen) << "a dialog followed the syntax message";
}

INSTANTIATE_TEST_SUITE_P(Lines, MalformedLine,
                         testing::Values(L"abc /MAX", L"/FILTER:\"x|y\"", L"/START C:\\",
                                         L"/TITLE,ok /BOGUS", L"/START,C:/windows"));

} // namespace
