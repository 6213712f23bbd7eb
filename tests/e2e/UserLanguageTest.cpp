// The Cancel label in the user's language. Wine gives a process the language that LANG names in
// its Unix environment, which a Windows program cannot set for its child, so CTest runs this
// program once per language.
#include "ExplorerSession.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

using namespace WindowDriver;

namespace {

// The default label of this run's language; nothing, which no button shows, for any other.
std::wstring DefaultCancelLabel()
{
    const wchar_t* const labels[][2] = {{L"de_DE.UTF-8", L"Beenden"},
                                        {L"fr_FR.UTF-8", L"Quitter"},
                                        {L"ja_JP.UTF-8", L"終了"},
                                        {L"el_GR.UTF-8", L"Exit"}};
    wchar_t lang[64] = L"";
    GetEnvironmentVariableW(L"LANG", lang, 64);
    for (const auto& label : labels) {
        if (wcscmp(label[0], lang) == 0) {
            return label[1];
        }
    }
    return L"";
}

void ExpectTitleAndCancelLabel(const std::wstring& arguments, const std::wstring& cancelLabel)
{
    ExplorerSession session(arguments);
    HWND browser = session.WaitForTailoredBrowser();
    ASSERT_NE(nullptr, browser);
    EXPECT_EQ(L"Veltrin Explorer", WindowText(browser));
    EXPECT_EQ(cancelLabel, ControlText(browser, IDCANCEL));
    EXPECT_TRUE(session.ExitThroughCancel(browser));
}

TEST(UserLanguage, ChoosesTheDefaultCancelLabel)
{
    ExpectTitleAndCancelLabel(L"", DefaultCancelLabel());
}

TEST(UserLanguage, LeavesTheCancelSwitchAsGiven)
{
    ExpectTitleAndCancelLabel(L"/CANCEL,Done", L"Done");
}

} // namespace
