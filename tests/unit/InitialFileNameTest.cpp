#include "LaunchSettings.h"
#include "SettingsMarker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The names a search returns, in the order the file system gives them.
std::vector<std::wstring> Listing(const std::wstring& searchPath)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(searchPath.c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(entry.cFileName);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return names;
}

DWORD Attributes(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str());
}

// The long-path form also reaches a folder whose path is near the length limit.
std::wstring LongForm(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

class InitialFileName : public testing::Test {
protected:
    void SetUp() override
    {
        MarkLaunchSettings();
        LaunchSettings.selectName[0] = L'\0';
        wchar_t temp[kPathUnits] = L"";
        GetTempPathW(kPathUnits, temp);
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = std::wstring(temp) + L"veltrin-initial-" +
                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::wstring(test.begin(), test.end()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        created_.push_back(folder_);
    }

    // Removes what the test made, newest first; folders are the paths ending in a backslash.
    void TearDown() override
    {
        for (auto path = created_.rbegin(); path != created_.rend(); ++path) {
            SetFileAttributesW(LongForm(*path).c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool removed = path->back() == L'\\' ? RemoveDirectoryW(LongForm(*path).c_str())
                                                       : DeleteFileW(LongForm(*path).c_str());
            EXPECT_TRUE(removed) << testing::PrintToString(*path);
        }
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, Attributes(folder_));
        EXPECT_EQ(L"", ChangedOutside({SpanOf(LaunchSettings.selectName)}));
        EXPECT_TRUE(TerminatedWithin(LaunchSettings.selectName));
    }

    void AddFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
    {
        const std::wstring path = folder_ + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << testing::PrintToString(name);
        CloseHandle(file);
        created_.push_back(path);
        if (attributes != FILE_ATTRIBUTE_NORMAL) {
            ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
            ASSERT_EQ(attributes, Attributes(path) & attributes);
        }
    }

    void AddSubfolder(const std::wstring& name)
    {
        const std::wstring path = folder_ + name + L"\\";
        ASSERT_TRUE(CreateDirectoryW(LongForm(path).c_str(), nullptr))
            << testing::PrintToString(name);
        created_.push_back(path);
    }

    // Runs the choice over a table made of the given specs; returns the name chosen, or "" when
    // none was, and checks that the specs read as before.
    std::wstring Choose(const std::vector<std::wstring>& specs, const std::wstring& folder)
    {
        std::vector<std::wstring> texts = specs;
        std::vector<COMDLG_FILTERSPEC> table;
        for (const std::wstring& spec : texts) {
            table.push_back({L"Type", spec.c_str()});
        }
        const bool chosen = ChooseInitialFileName(
            folder.c_str(), table.empty() ? nullptr : &table[0], static_cast<int>(table.size()));
        for (size_t index = 0; index < table.size(); ++index) {
            EXPECT_EQ(texts[index].c_str(), table[index].pszSpec);
            EXPECT_EQ(specs[index], table[index].pszSpec);
        }
        const std::wstring name = LaunchSettings.selectName;
        EXPECT_EQ(chosen, !name.empty()) << testing::PrintToString(name);
        return name;
    }

    std::wstring Choose(const std::vector<std::wstring>& specs) { return Choose(specs, folder_); }

    std::wstring folder_;
    std::vector<std::wstring> created_;
};

TEST_F(InitialFileName, TakesTheOnlyMatchingVisibleFile)
{
    AddFile(L"b.txt");
    AddFile(L"c.doc");
    EXPECT_EQ(L"b.txt", Choose({L"*.txt"}));
}

TEST_F(InitialFileName, TriesThePatternsOfASpecFromLeftToRight)
{
    AddFile(L"a.txt");
    AddFile(L"z.doc");
    EXPECT_EQ(L"z.doc", Choose({L"*.doc;*.txt"}));
    EXPECT_EQ(L"a.txt", Choose({L"*.txt;*.doc"}));
    EXPECT_EQ(L"a.txt", Choose({L"*.none;;*.txt;*.doc"}));
}

TEST_F(InitialFileName, TriesTheEntriesInTableOrder)
{
    AddFile(L"a.txt");
    AddFile(L"z.doc");
    EXPECT_EQ(L"z.doc", Choose({L"*.doc", L"*.txt"}));
    EXPECT_EQ(L"a.txt", Choose({L"*.none", L"*.txt", L"*.doc"}));
}

TEST_F(InitialFileName, AcceptsReadOnlyAndArchivedFiles)
{
    AddFile(L"r.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(L"r.txt", Choose({L"*.txt"}));
}

// Only the first entry a pattern returns is examined, even when a later one would do.
TEST_F(InitialFileName, AHiddenFirstMatchBlocksItsPattern)
{
    AddFile(L"m1.log");
    AddFile(L"m2.log");
    AddFile(L"x.txt");
    const std::vector<std::wstring> logs = Listing(folder_ + L"*.log");
    ASSERT_EQ(2u, logs.size());
    ASSERT_TRUE(SetFileAttributesW((folder_ + logs[0]).c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_EQ(logs, Listing(folder_ + L"*.log"));

    EXPECT_EQ(L"x.txt", Choose({L"*.log;*.txt"}));
    EXPECT_EQ(logs[1], Choose({L"*.log", L"*.none", logs[1]}));
}

TEST_F(InitialFileName, AFolderEntryListedFirstBlocksAPatternThatMatchesEveryName)
{
    AddFile(L"a.txt");
    AddFile(L"b.doc");
    std::vector<std::wstring> files;
    const std::vector<std::wstring> listing = Listing(folder_ + L"*");
    ASSERT_FALSE(listing.empty());
    ASSERT_TRUE(Attributes(folder_ + listing[0]) & FILE_ATTRIBUTE_DIRECTORY)
        << testing::PrintToString(listing[0]);
    for (const std::wstring& name : listing) {
        if (name == L"a.txt" || name == L"b.doc") {
            files.push_back(name);
        }
    }
    ASSERT_EQ(2u, files.size());
    // Walking on past the folder entry would find files[0].
    EXPECT_EQ(files[1], Choose({L"*;" + files[1]}));
}

TEST_F(InitialFileName, FallsBackToTheFirstVisibleFileOfAnyType)
{
    AddSubfolder(L"sub.txt");
    AddFile(L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    AddFile(L"system.txt", FILE_ATTRIBUTE_SYSTEM);
    AddFile(L"visible.dat");
    EXPECT_EQ(L"visible.dat", Choose({L"*.txt"}));
    EXPECT_EQ(L"visible.dat", Choose({L"*.none", L"sub.txt;hidden.txt;system.txt"}));
    EXPECT_EQ(L"visible.dat", Choose({}));
}

TEST_F(InitialFileName, ChoosesNothingInAFolderWithoutVisibleFiles)
{
    AddSubfolder(L"sub");
    AddSubfolder(L"other.txt");
    AddFile(L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    AddFile(L"system.dat", FILE_ATTRIBUTE_SYSTEM);
    AddFile(L"both.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(L"", Choose({L"*.txt"}));
    EXPECT_EQ(L"", Choose({}));
}

TEST_F(InitialFileName, ChoosesNothingInAnEmptyOrMissingFolder)
{
    EXPECT_EQ(L"", Choose({L"*.txt"}));
    EXPECT_EQ(L"", Choose({L"*.txt"}, folder_ + L"missing\\"));
}

// Without a start folder the dialog opens where it likes, so no name from the current
// directory is offered.
TEST_F(InitialFileName, AnEmptyStartFolderChoosesNothing)
{
    AddFile(L"a.txt");
    wchar_t previous[kPathUnits] = L"";
    GetCurrentDirectoryW(kPathUnits, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
    const std::wstring chosen = Choose({L"*.txt"}, L"");
    const std::wstring chosenWithoutFilter = Choose({}, L"");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(L"", chosen);
    EXPECT_EQ(L"", chosenWithoutFilter);
}

// The search keeps the blank; the dialog's filter drops it, and hides what it then misses.
TEST_F(InitialFileName, APatternAfterABlankKeepsTheBlank)
{
    AddFile(L"a.txt");
    AddFile(L" b.txt");
    AddFile(L"z.dat");
    EXPECT_EQ(L" b.txt", Choose({L"*.none; *.txt"}));
    EXPECT_EQ(L"z.dat", Choose({L"*.none; b.txt;*.dat"}));
}

// A wildcard search also matches 8.3 short names, which the dialog's filter never looks at.
TEST_F(InitialFileName, AnEntryFoundOnlyByItsShortNameIsPassedOver)
{
    AddFile(L"report.docx");
    AddFile(L"notes.txt");
    ASSERT_EQ(std::vector<std::wstring>{L"report.docx"}, Listing(folder_ + L"*.doc"));
    EXPECT_EQ(L"notes.txt", Choose({L"*.doc;*.txt"}));
    AddFile(L"letter.doc");
    EXPECT_EQ(L"letter.doc", Choose({L"*.doc;*.txt"}));
}

TEST_F(InitialFileName, TheFolderIsJoinedToThePatternWithoutASeparator)
{
    AddSubfolder(L"Data");
    AddFile(L"Data1.txt");
    AddFile(L"Data\\inner.txt");
    EXPECT_EQ(L"Data1.txt", Choose({L"*.txt"}, folder_ + L"Data"));
    EXPECT_EQ(L"inner.txt", Choose({L"*.txt"}, folder_ + L"Data\\"));
}

// A folder whose path takes 258 units, so that a one-unit pattern just fits the 260-unit field
// and a two-unit one does not; the fallback path never fits.
TEST_F(InitialFileName, ASearchPathThatDoesNotFitCountsAsFailed)
{
    const std::wstring name(257 - folder_.size(), L'L');
    AddSubfolder(name);
    AddFile(name + L"\\q");
    const std::wstring deep = folder_ + name + L"\\";
    ASSERT_EQ(258u, deep.size());

    EXPECT_EQ(L"q", Choose({L"q"}, deep));
    EXPECT_EQ(L"", Choose({L"qq"}, deep));
    EXPECT_EQ(L"", Choose({L"q*"}, deep));
    EXPECT_EQ(L"", Choose({}, deep));
}

} // namespace
