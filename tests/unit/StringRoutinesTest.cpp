#include "LaunchSettings.h"

#include <gtest/gtest.h>

#include <string>

TEST(CopyBounded, CopiesAtMostCountMinusOneUnitsAndTerminates)
{
    wchar_t buffer[6] = L"zzzzz";
    CopyBounded(buffer, L"abcdefgh", 4);
    EXPECT_EQ(std::wstring(L"abc"), buffer);
    EXPECT_EQ(L'z', buffer[4]);
}
