#include "ExpectedMessages.h"
#include "LaunchSettings.h"
#include "MessageBoxCatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pair = std::pair<std::wstring, std::wstring>;

const wchar_t kUntouched[] = L"untouched";

struct ParseResult {
    int count;
    std::vector<Pair> pairs;
    std::vector<SeenMessageBox> boxes;
};

// Parses a writable copy of the argument while a catcher answers any message box, and checks
// that every stored entry points into that copy and that no entry past the count was written.
ParseResult ParseWithCatcher(const std::wstring& argument)
{
    std::vector<wchar_t> buffer(argument.begin(), argument.end());
    buffer.push_back(L'\0');
    COMDLG_FILTERSPEC table[kMaxFilterPairs];
    for (COMDLG_FILTERSPEC& entry : table) {
        entry = {kUntouched, kUntouched};
    }

    ParseResult result = {};
    {
        MessageBoxCatcher catcher;
        result.count = ParseFilterArgument(buffer.data(), table);
        result.boxes = catcher.Seen();
    }

    const auto inBuffer = [&buffer](const wchar_t* text) {
        return text >= buffer.data() && text < buffer.data() + buffer.size();
    };
    for (int index = 0; index < kMaxFilterPairs; ++index) {
        if (index < result.count) {
            EXPECT_TRUE(inBuffer(table[index].pszName)) << "entry " << index;
            EXPECT_TRUE(inBuffer(table[index].pszSpec)) << "entry " << index;
            result.pairs.emplace_back(table[index].pszName, table[index].pszSpec);
        } else {
            EXPECT_EQ(kUntouched, table[index].pszName) << "entry " << index;
            EXPECT_EQ(kUntouched, table[index].pszSpec) << "entry " << index;
        }
    }
    return result;
}

struct FilterCase {
    const wchar_t* argument;
    std::vector<Pair> pairs;
    bool messageBox;
};

void PrintTo(const FilterCase& example, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(example.argument));
}

class FilterArguments : public testing::TestWithParam<FilterCase> {};

TEST_P(FilterArguments, GiveTheirPairsAndAtMostOneMessage)
{
    const FilterCase& expected = GetParam();
    const ParseResult result = ParseWithCatcher(expected.argument);
    EXPECT_EQ(static_cast<int>(expected.pairs.size()), result.count);
    EXPECT_EQ(expected.pairs, result.pairs);
    ASSERT_EQ(expected.messageBox ? 1u : 0u, result.boxes.size());
    if (expected.messageBox) {
        EXPECT_EQ(kFilterCaption, result.boxes[0].caption);
        EXPECT_EQ(kFilterText, result.boxes[0].text);
        EXPECT_TRUE(result.boxes[0].okButtonOnly);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, FilterArguments,
    testing::Values(
        FilterCase{L"Text files | *.txt", {{L"Text files", L"*.txt"}}, false},
        FilterCase{L"Image files | *.png; *.ico;*.jpg | documents | *.doc;*.docx",
                   {{L"Image files", L"*.png; *.ico;*.jpg"}, {L"documents", L"*.doc;*.docx"}},
                   false},
        FilterCase{L"Text | *.txt |", {{L"Text", L"*.txt"}}, false},
        FilterCase{L"Text | *.txt | ", {{L"Text", L"*.txt"}}, true},
        FilterCase{L"Text | *.txt | Docs", {{L"Text", L"*.txt"}}, true},
        FilterCase{L"Docs", {}, true}, FilterCase{L"", {}, false}, FilterCase{L"   ", {}, true},
        FilterCase{L"Text |", {{L"Text", L""}}, false},
        FilterCase{L"| *.txt", {{L"", L"*.txt"}}, false},
        FilterCase{L"Text | *.txt || *.doc", {{L"Text", L"*.txt"}, {L"", L"*.doc"}}, false},
        FilterCase{L"\tText\t | \t*.txt\t", {{L"\tText", L"\t*.txt"}}, false},
        FilterCase{L"  Text  \t|   *.txt  ", {{L"Text", L"*.txt"}}, false},
        FilterCase{L"a|b|c|d", {{L"a", L"b"}, {L"c", L"d"}}, false},
        FilterCase{L"A | *.a | B | *.b | C", {{L"A", L"*.a"}, {L"B", L"*.b"}}, true},
        FilterCase{L"||", {{L"", L""}}, false}));

std::wstring Pairs(int count, const wchar_t* separator = L" | ")
{
    std::wstring argument;
    for (int index = 0; index < count; ++index) {
        if (index > 0) {
            argument += separator;
        }
        argument += L"Type" + std::to_wstring(index) + separator + L"*.t" + std::to_wstring(index);
    }
    return argument;
}

std::vector<Pair> ExpectedPairs(int count)
{
    std::vector<Pair> pairs;
    for (int index = 0; index < count; ++index) {
        pairs.emplace_back(L"Type" + std::to_wstring(index), L"*.t" + std::to_wstring(index));
    }
    return pairs;
}

TEST(FilterArgument, TakesTenPairsWithOrWithoutAFinalBar)
{
    for (const std::wstring& argument :
         {Pairs(10), Pairs(10) + L" |", Pairs(10) + L"|", Pairs(10) + L" |   "}) {
        const ParseResult result = ParseWithCatcher(argument);
        EXPECT_EQ(10, result.count) << testing::PrintToString(argument);
        EXPECT_EQ(ExpectedPairs(10), result.pairs);
        EXPECT_TRUE(result.boxes.empty()) << testing::PrintToString(argument);
    }
}

TEST(FilterArgument, IgnoresAnythingAfterTheTenthPairQuietly)
{
    for (const std::wstring& argument : {Pairs(11), Pairs(12) + L" |", Pairs(10) + L" | extra",
                                         Pairs(10) + L" |\textra", Pairs(10) + L" | \t"}) {
        const ParseResult result = ParseWithCatcher(argument);
        EXPECT_EQ(10, result.count) << testing::PrintToString(argument);
        EXPECT_EQ(ExpectedPairs(10), result.pairs);
        EXPECT_TRUE(result.boxes.empty()) << testing::PrintToString(argument);
    }
}

TEST(FilterArgument, NinePairsAndALoneDescriptionShowTheMessageOnce)
{
    const ParseResult result = ParseWithCatcher(Pairs(9) + L" | Lonely");
    EXPECT_EQ(9, result.count);
    EXPECT_EQ(ExpectedPairs(9), result.pairs);
    EXPECT_EQ(1u, result.boxes.size());
}

TEST(FilterArgument, ANullArgumentGivesNoPair)
{
    COMDLG_FILTERSPEC table[kMaxFilterPairs] = {};
    MessageBoxCatcher catcher;
    EXPECT_EQ(0, ParseFilterArgument(nullptr, table));
    EXPECT_TRUE(catcher.Seen().empty());
}

} // namespace
