#include "LaunchSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A writable copy of text followed by a run of markers, so that a test sees every unit written.
std::vector<wchar_t> Writable(const std::wstring& text, size_t spareUnits = 4)
{
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');
    buffer.insert(buffer.end(), spareUnits, L'#');
    return buffer;
}

std::wstring Spare(const std::vector<wchar_t>& buffer, size_t from)
{
    return std::wstring(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end());
}

TEST(CopyBounded, CopiesAtMostCountMinusOneUnitsAndTerminates)
{
    wchar_t buffer[6] = L"zzzzz";
    CopyBounded(buffer, L"abcdefgh", 4);
    EXPECT_EQ(std::wstring(L"abc"), buffer);
    EXPECT_EQ(L'z', buffer[4]);
}

TEST(CopyBounded, CopiesAShorterSourceWholeAndWritesNothingBehindItsTerminator)
{
    wchar_t buffer[8] = L"zzzzzzz";
    CopyBounded(buffer, L"ab", 8);
    EXPECT_EQ(std::wstring(L"ab"), buffer);
    EXPECT_EQ(std::wstring(L"zzzz"), buffer + 3);
}

TEST(CopyBounded, ASourceOfExactlyCountMinusOneUnitsFitsWhole)
{
    wchar_t buffer[5] = L"zzzz";
    CopyBounded(buffer, L"abcd", 5);
    EXPECT_EQ(std::wstring(L"abcd"), buffer);
}

TEST(CopyBounded, ACountOfOneLeavesTheDestinationEmpty)
{
    wchar_t buffer[3] = L"zz";
    CopyBounded(buffer, L"abc", 1);
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_EQ(L'z', buffer[1]);
}

TEST(CopyBounded, WritesNothingForACountOfZeroOrLess)
{
    for (int count : {0, -1, -260}) {
        wchar_t buffer[4] = L"zzz";
        CopyBounded(buffer, L"abc", count);
        EXPECT_EQ(std::wstring(L"zzz"), buffer) << "count " << count;
    }
}

TEST(CopyBounded, WritesNothingWhenSourceAndDestinationAreTheSame)
{
    wchar_t buffer[6] = L"abcde";
    CopyBounded(buffer, buffer, 3);
    EXPECT_EQ(std::wstring(L"abcde"), buffer);
}

TEST(CopyBounded, ANullSourceEmptiesTheDestinationOnly)
{
    wchar_t buffer[4] = L"zzz";
    CopyBounded(buffer, nullptr, 4);
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_EQ(std::wstring(L"zz"), buffer + 1);
}

TEST(CopyBounded, ANullDestinationIsLeftAlone)
{
    // Reaching the next line without a fault is the whole contract here.
    CopyBounded(nullptr, L"abc", 4);
    wchar_t buffer[4] = L"zzz";
    CopyBounded(buffer, L"ok", 4);
    EXPECT_EQ(std::wstring(L"ok"), buffer);
}

struct TrimCase {
    const wchar_t* input;
    const wchar_t* expected;
};

void PrintTo(const TrimCase& example, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(example.input));
}

class TrimTrailingBlanksCases : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimTrailingBlanksCases, CutsTrailingSpacesAndTabsWithTerminators)
{
    const std::wstring input = GetParam().input;
    std::vector<wchar_t> buffer = Writable(input);
    wchar_t* result = TrimTrailingBlanks(buffer.data());
    EXPECT_EQ(buffer.data(), result);
    const std::wstring expected = GetParam().expected;
    EXPECT_EQ(expected, result);
    // Each cut unit is overwritten, so the cut text holds only terminators up to the old end.
    for (size_t unit = expected.size(); unit < input.size(); ++unit) {
        EXPECT_EQ(L'\0', buffer[unit]) << "unit " << unit;
    }
    EXPECT_EQ(L"####", Spare(buffer, input.size() + 1));
}

INSTANTIATE_TEST_SUITE_P(Texts, TrimTrailingBlanksCases,
                         testing::Values(TrimCase{L"", L""}, TrimCase{L"abc", L"abc"},
                                         TrimCase{L"abc   ", L"abc"}, TrimCase{L"abc\t", L"abc"},
                                         TrimCase{L"abc \t \t", L"abc"}, TrimCase{L"   ", L""},
                                         TrimCase{L"\t", L""}, TrimCase{L"  a b  ", L"  a b"},
                                         TrimCase{L"\ta\t", L"\ta"}, TrimCase{L"a\n", L"a\n"},
                                         TrimCase{L"a\r ", L"a\r"}));

TEST(TrimTrailingBlanks, ReturnsANullPointerUnchanged)
{
    EXPECT_EQ(nullptr, TrimTrailingBlanks(nullptr));
}

class StripEnclosingQuotesCases : public testing::TestWithParam<TrimCase> {};

TEST_P(StripEnclosingQuotesCases, TrimsAndRemovesOnePairOfEnclosingQuotes)
{
    const std::wstring input = GetParam().input;
    std::vector<wchar_t> buffer = Writable(input);
    wchar_t* result = StripEnclosingQuotes(buffer.data());
    EXPECT_EQ(buffer.data(), result);
    EXPECT_EQ(std::wstring(GetParam().expected), result);
    EXPECT_EQ(L"####", Spare(buffer, input.size() + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StripEnclosingQuotesCases,
    testing::Values(
        TrimCase{L"", L""}, TrimCase{L"plain", L"plain"}, TrimCase{L"plain  \t", L"plain"},
        TrimCase{L"\"quoted\"", L"quoted"}, TrimCase{L"\"My Title\"  ", L"My Title"},
        TrimCase{L"\"  inner blanks \"", L"  inner blanks "}, TrimCase{L"\"tabbed\"\t", L"tabbed"},
        TrimCase{L"\"\"", L""}, TrimCase{L"\"", L""}, TrimCase{L"\"open only", L"\"open only"},
        TrimCase{L"\"open only  ", L"\"open only"}, TrimCase{L"close only\"", L"close only\""},
        TrimCase{L"\"\"twice\"\"", L"\"twice\""}, TrimCase{L"\"a\"b\"", L"a\"b"},
        TrimCase{L" \"lead\"", L" \"lead\""}, TrimCase{L"\t\"lead\"", L"\t\"lead\""}));

TEST(StripEnclosingQuotes, ReturnsANullPointerUnchanged)
{
    EXPECT_EQ(nullptr, StripEnclosingQuotes(nullptr));
}

TEST(StripEnclosingQuotes, LeavesTheSharedEmptyStringAlone)
{
    EXPECT_EQ(SharedEmptyString, StripEnclosingQuotes(SharedEmptyString));
    EXPECT_EQ(L'\0', SharedEmptyString[0]);
}

} // namespace
