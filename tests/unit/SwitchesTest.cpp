#include "ExpectedMessages.h"
#include "LaunchSettings.h"
#include "MessageBoxCatcher.h"
#include "SettingsMarker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ParsedLine {
    bool malformed;
    std::wstring folder;
    std::wstring filter;
    std::wstring title;
    std::wstring cancel;
};

class Switches : public testing::Test {
protected:
    void SetUp() override { MarkLaunchSettings(); }

    void TearDown() override
    {
        EXPECT_EQ(L"", ChangedOutside({SpanOf(LaunchSettings.startFolder),
                                       SpanOf(LaunchSettings.selectName),
                                       SpanOf(LaunchSettings.navFlags)}));
        EXPECT_TRUE(TerminatedWithin(LaunchSettings.startFolder));
        EXPECT_TRUE(TerminatedWithin(LaunchSettings.selectName));
        // The syntax message is the entry's to show, after the parse.
        EXPECT_TRUE(catcher_.Seen().empty());
    }

    // Parses a writable copy of the line, then hands the arguments on as the entry does.
    ParsedLine Parse(const std::wstring& line)
    {
        text_.assign(line.begin(), line.end());
        text_.push_back(L'\0');
        const bool malformed = ParseCommandLine(text_.data(), arguments_);
        return {malformed, StripEnclosingQuotes(arguments_.folder),
                StripEnclosingQuotes(arguments_.filter), StripEnclosingQuotes(arguments_.title),
                StripEnclosingQuotes(arguments_.cancel)};
    }

    bool PointsIntoLine(const wchar_t* argument) const
    {
        return argument >= text_.data() && argument < text_.data() + text_.size();
    }

    std::wstring StartFolder() const { return LaunchSettings.startFolder; }
    std::wstring SelectName() const { return LaunchSettings.selectName; }

    MessageBoxCatcher catcher_;
    std::vector<wchar_t> text_;
    CommandArguments arguments_ = {};
};

TEST_F(Switches, AnEmptyOrBlankLineIsValidAndGivesNothing)
{
    for (const wchar_t* line : {L"", L"   "}) {
        const ParsedLine parsed = Parse(line);
        EXPECT_FALSE(parsed.malformed) << testing::PrintToString(line);
        EXPECT_EQ(SharedEmptyString, arguments_.folder);
        EXPECT_EQ(SharedEmptyString, arguments_.filter);
        EXPECT_EQ(SharedEmptyString, arguments_.title);
        EXPECT_EQ(SharedEmptyString, arguments_.cancel);
        EXPECT_EQ(0u, LaunchSettings.windowFlags);
        EXPECT_EQ(0u, LaunchSettings.navFlags);
        EXPECT_EQ(L"", StartFolder());
        EXPECT_EQ(L"", SelectName());
    }
}

struct FlagCase {
    const wchar_t* line;
    bool malformed;
    DWORD windowFlags;
    DWORD navFlags;
};

void PrintTo(const FlagCase& example, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(example.line));
}

class SwitchFlags : public Switches, public testing::WithParamInterface<FlagCase> {};

TEST_P(SwitchFlags, SetTheirBitsByCaseInsensitivePrefix)
{
    const FlagCase& expected = GetParam();
    const ParsedLine parsed = Parse(expected.line);
    EXPECT_EQ(expected.malformed, parsed.malformed);
    EXPECT_EQ(expected.windowFlags, LaunchSettings.windowFlags);
    EXPECT_EQ(expected.navFlags, LaunchSettings.navFlags);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SwitchFlags,
    testing::Values(
        FlagCase{L"/MAX", false, WF_MAXIMIZE, 0}, FlagCase{L"/max", false, WF_MAXIMIZE, 0},
        FlagCase{L"/MAXIMIZE", false, WF_MAXIMIZE, 0}, FlagCase{L"/MAXWELL", false, WF_MAXIMIZE, 0},
        FlagCase{L"/MAXBTN", false, WF_MAXBUTTON, 0}, FlagCase{L"/maxbtn", false, WF_MAXBUTTON, 0},
        FlagCase{L"/MAXBTNX", false, WF_MAXBUTTON, 0},
        FlagCase{L"/MAXBTN /MAX", false, WF_MAXBUTTON | WF_MAXIMIZE, 0},
        FlagCase{L"/NOADDRESS", false, WF_HIDEADDRESS, 0},
        FlagCase{L"/NOADDR", false, WF_HIDEADDRESS, 0}, FlagCase{L"/NOADD", true, 0, 0},
        FlagCase{L"/NOFILEPROMPT", false, WF_HIDEFILENAME, 0},
        FlagCase{L"/NOFILEPROMP", true, 0, 0}, FlagCase{L"/nochangedir", false, 0, NF_NOCHANGEDIR},
        FlagCase{L"/NOCHANGEDI", true, 0, 0},
        FlagCase{L"  /MAX  /NOADDRESS /NOFILEPROMPT /NOCHANGEDIR /MAXBTN", false,
                 WF_MAXIMIZE | WF_HIDEADDRESS | WF_HIDEFILENAME | WF_MAXBUTTON, NF_NOCHANGEDIR},
        FlagCase{L"/MAX/NOADDRESS", false, WF_MAXIMIZE | WF_HIDEADDRESS, 0},
        FlagCase{L"abc /MAX", true, WF_MAXIMIZE, 0}, FlagCase{L"abc", true, 0, 0},
        FlagCase{L"\t/MAX", true, WF_MAXIMIZE, 0}, FlagCase{L"/", true, 0, 0},
        FlagCase{L"/UNKNOWN /MAX", true, WF_MAXIMIZE, 0}, FlagCase{L"/START", true, 0, 0},
        FlagCase{L"/START C:\\Data", true, 0, 0}, FlagCase{L"/FILTER:Text | *.txt", true, 0, 0},
        FlagCase{L"/TITLE", true, 0, 0}, FlagCase{L"/CANCEL", true, 0, 0}));

TEST_F(Switches, WindowBitsAlreadySetAreKeptAndNavigationBitsStartAtZero)
{
    LaunchSettings.windowFlags = WF_HIDEFILENAME;
    LaunchSettings.navFlags = NF_NOCHANGEDIR;
    Parse(L"/MAX");
    EXPECT_EQ(WF_HIDEFILENAME | WF_MAXIMIZE, LaunchSettings.windowFlags);
    EXPECT_EQ(0u, LaunchSettings.navFlags);
}

TEST_F(Switches, ValuesPointIntoTheLine)
{
    const ParsedLine parsed = Parse(L"/FILTER,Text | *.txt /TITLE,My Title /CANCEL,Quit");
    EXPECT_FALSE(parsed.malformed);
    EXPECT_TRUE(PointsIntoLine(arguments_.filter));
    EXPECT_TRUE(PointsIntoLine(arguments_.title));
    EXPECT_TRUE(PointsIntoLine(arguments_.cancel));
    EXPECT_EQ(SharedEmptyString, arguments_.folder);
}

struct ValueCase {
    const wchar_t* line;
    bool malformed;
    const wchar_t* filter;
    const wchar_t* title;
    const wchar_t* cancel;
    DWORD windowFlags;
};

void PrintTo(const ValueCase& example, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(example.line));
}

class ValueSwitches : public Switches, public testing::WithParamInterface<ValueCase> {};

TEST_P(ValueSwitches, RunToTheNextSwitchAndLoseOnePairOfQuotes)
{
    const ValueCase& expected = GetParam();
    const ParsedLine parsed = Parse(expected.line);
    EXPECT_EQ(expected.malformed, parsed.malformed);
    EXPECT_EQ(expected.filter, parsed.filter);
    EXPECT_EQ(expected.title, parsed.title);
    EXPECT_EQ(expected.cancel, parsed.cancel);
    EXPECT_EQ(expected.windowFlags, LaunchSettings.windowFlags);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ValueSwitches,
    testing::Values(
        ValueCase{L"/FILTER,Text | *.txt /TITLE,My Title /CANCEL,Quit now /MAX", false,
                  L"Text | *.txt", L"My Title", L"Quit now", WF_MAXIMIZE},
        ValueCase{L"/title,t /filter,f | *.f /cancel,c", false, L"f | *.f", L"t", L"c", 0},
        ValueCase{L"/TITLE,first /TITLE,second /CANCEL,a /CANCEL,b", false, L"", L"second", L"b",
                  0},
        // The unit in front of an unspaced '/' is lost.
        ValueCase{L"/TITLE,abc/MAX", false, L"", L"ab", L"", WF_MAXIMIZE},
        ValueCase{L"/TITLE,\"My Title\"  /CANCEL,\"  spaced  \" /FILTER,\"Images | *.png\"", false,
                  L"Images | *.png", L"My Title", L"  spaced  ", 0},
        ValueCase{L"/TITLE,\"half", false, L"", L"\"half", L"", 0},
        ValueCase{L"/TITLE,", false, L"", L"", L"", 0},
        // A '/' inside quotes still starts a switch.
        ValueCase{L"/TITLE,\"a/b\"", true, L"", L"", L"", 0}));

struct StartCase {
    const wchar_t* line;
    bool malformed;
    const wchar_t* startFolder;
    const wchar_t* selectName;
    DWORD windowFlags;
};

void PrintTo(const StartCase& example, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(example.line));
}

class StartSwitch : public Switches, public testing::WithParamInterface<StartCase> {};

TEST_P(StartSwitch, SplitsThePathIntoFolderAndName)
{
    const StartCase& expected = GetParam();
    const ParsedLine parsed = Parse(expected.line);
    EXPECT_EQ(expected.malformed, parsed.malformed);
    EXPECT_EQ(expected.startFolder, StartFolder());
    EXPECT_EQ(expected.selectName, SelectName());
    EXPECT_EQ(expected.startFolder, parsed.folder);
    EXPECT_EQ(LaunchSettings.startFolder, arguments_.folder);
    EXPECT_EQ(expected.windowFlags, LaunchSettings.windowFlags);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StartSwitch,
    testing::Values(
        StartCase{L"/START,C:\\Data\\notes.txt", false, L"C:\\Data\\", L"notes.txt", 0},
        StartCase{L"/start,C:\\Data\\notes.txt", false, L"C:\\Data\\", L"notes.txt", 0},
        StartCase{L"/START,C:\\Data", false, L"C:\\Data\\", L"", 0},
        StartCase{L"/START,C:\\Data\\", false, L"C:\\Data\\", L"", 0},
        StartCase{L"/START,C:\\my.dir\\sub", false, L"C:\\my.dir\\", L"sub", 0},
        StartCase{L"/START,\"C:\\My Documents\"", false, L"C:\\My Documents\\", L"", 0},
        StartCase{L"/START,\"C:\\My Documents\" /MAX", false, L"C:\\My Documents\\", L"",
                  WF_MAXIMIZE},
        StartCase{L"/START,\"C:\\My Documents\\a b.txt\"trailing /MAX", false,
                  L"C:\\My Documents\\", L"a b.txt", WF_MAXIMIZE},
        StartCase{L"/START,C:\\My Documents", false, L"C:\\My\\", L"", 0},
        StartCase{L"/START,C:\\My Documents /MAX", false, L"C:\\My\\", L"", WF_MAXIMIZE},
        StartCase{L"/START,C:\\x/MAX", false, L"C:\\x/MAX\\", L"", WF_MAXIMIZE},
        StartCase{L"/START,C:\\Data\\.hidden", false, L"C:\\Data\\", L"", 0},
        StartCase{L"/START,notes.txt", false, L"", L"notes.txt", 0},
        StartCase{L"/START,x", false, L"", L"x", 0},
        StartCase{L"/START,\"\"", false, L"", L"\"", 0},
        StartCase{L"/START,\\\\server\\share", false, L"\\\\server\\share\\", L"", 0},
        StartCase{L"/START,C:\\A\\one.txt /START,C:\\B", false, L"C:\\B\\", L"one.txt", 0},
        StartCase{L"/START,C:\\A\\one.txt /START,C:\\B\\two.txt", false, L"C:\\B\\", L"two.txt", 0},
        StartCase{L"/START,C:\\Data\\a.txt /TITLE,t", false, L"C:\\Data\\", L"a.txt", 0}));

TEST_F(Switches, ASlashInTheStartPathIsReadAsAnotherSwitch)
{
    const ParsedLine parsed = Parse(L"/START,C:/Data");
    EXPECT_TRUE(parsed.malformed);
}

TEST_F(Switches, AnEmptyStartValueLeavesFolderAndNameEmpty)
{
    for (const wchar_t* line : {L"/START,", L"/START, /MAX"}) {
        const ParsedLine parsed = Parse(line);
        EXPECT_FALSE(parsed.malformed) << testing::PrintToString(line);
        EXPECT_EQ(L"", parsed.folder) << testing::PrintToString(line);
        EXPECT_TRUE(PointsIntoLine(arguments_.folder));
        EXPECT_EQ(L"", StartFolder());
        EXPECT_EQ(L"", SelectName());
    }
}

TEST_F(Switches, AStartValueBeginningWithABlankIsHandedOnUnsplit)
{
    const ParsedLine parsed = Parse(L"/START, C:\\Data\\a.txt /MAX");
    EXPECT_FALSE(parsed.malformed);
    EXPECT_EQ(L" C:\\Data\\a.txt", parsed.folder);
    EXPECT_TRUE(PointsIntoLine(arguments_.folder));
    EXPECT_EQ(L"", StartFolder());
    EXPECT_EQ(L"", SelectName());
    EXPECT_EQ(WF_MAXIMIZE, LaunchSettings.windowFlags);
}

TEST_F(Switches, TheStartFolderIsExpandedButTheNameIsNot)
{
    wchar_t windows[kPathUnits] = L"";
    ASSERT_NE(0u, GetWindowsDirectoryW(windows, kPathUnits));
    const ParsedLine parsed = Parse(L"/START,%WindowsDirectory%\\%notes%.txt /NOADDRESS");
    EXPECT_FALSE(parsed.malformed);
    EXPECT_EQ(std::wstring(windows) + L"\\", StartFolder());
    EXPECT_EQ(L"%notes%.txt", SelectName());
    EXPECT_EQ(WF_HIDEADDRESS, LaunchSettings.windowFlags);
}

std::wstring Repeated(wchar_t unit, size_t count)
{
    return std::wstring(count, unit);
}

// A path of 259 units without any '.' has no room left for the folder backslash: its last
// component becomes the name to select.
TEST_F(Switches, AFullLengthFolderPathKeepsItsLastComponentAsTheName)
{
    const std::wstring folder = L"C:\\" + Repeated(L'a', 100) + L"\\";
    const std::wstring last = Repeated(L'b', 155);
    ASSERT_EQ(259u, (folder + last).size());
    for (const std::wstring& tail : {std::wstring(), Repeated(L'c', 40) + L" /MAX"}) {
        const ParsedLine parsed = Parse(L"/START," + folder + last + tail);
        EXPECT_FALSE(parsed.malformed);
        EXPECT_EQ(folder, StartFolder());
        EXPECT_EQ(last, SelectName());
    }
}

TEST_F(Switches, A258UnitFolderPathStillGetsItsBackslash)
{
    const std::wstring path = L"C:\\" + Repeated(L'a', 100) + L"\\" + Repeated(L'b', 154);
    ASSERT_EQ(258u, path.size());
    Parse(L"/START," + path);
    EXPECT_EQ(path + L"\\", StartFolder());
    EXPECT_EQ(L"", SelectName());
}

TEST_F(Switches, PiecesLongerThan255UnitsAreKeptWhole)
{
    const std::wstring directory = L"\\" + Repeated(L'd', 252) + L".e\\";
    ASSERT_EQ(256u, directory.size());
    Parse(L"/START,C:" + directory + L"x");
    EXPECT_EQ(L"C:" + directory, StartFolder());
    EXPECT_EQ(L"x", SelectName());

    const std::wstring undotted = L"C:\\" + Repeated(L'd', 254);
    Parse(L"/START," + undotted);
    EXPECT_EQ(undotted + L"\\", StartFolder());
    EXPECT_EQ(L"", SelectName());

    const std::wstring longName = Repeated(L'f', 256) + L".t";
    Parse(L"/START," + longName);
    EXPECT_EQ(L"", StartFolder());
    EXPECT_EQ(longName, SelectName());

    const std::wstring longExtension = L"x." + Repeated(L'e', 256);
    Parse(L"/START," + longExtension);
    EXPECT_EQ(longExtension, SelectName());
}

TEST(SyntaxMessage, ShowsTheSwitchSyntaxWithAnOkButtonOnly)
{
    MessageBoxCatcher catcher;
    ShowSyntaxMessage();
    const std::vector<SeenMessageBox> seen = catcher.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(kSyntaxCaption, seen[0].caption);
    EXPECT_EQ(kSyntaxText, seen[0].text);
    EXPECT_EQ(385u, seen[0].text.size());
    EXPECT_TRUE(seen[0].okButtonOnly);
}

} // namespace
