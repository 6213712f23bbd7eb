// What the text routines rely on from the runtime and platform calls. Built twice: natively
// against the stand-ins of the sanitizer build, and for Windows against the real runtime, so
// that the stand-ins cannot drift from the real behaviour.
#include <windows.h>
#include <shlwapi.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#ifndef _WIN32
#include "LayerControl.h"
#endif

namespace {

int passedChecks = 0;
int failedChecks = 0;

void PrintText(const wchar_t* text)
{
    if (text == nullptr) {
        printf("(null)");
        return;
    }
    printf("\"");
    for (; *text != L'\0'; ++text) {
        if (*text >= 0x20 && *text < 0x7F) {
            printf("%c", static_cast<char>(*text));
        } else {
            printf("\\u%04X", static_cast<unsigned>(*text));
        }
    }
    printf("\"");
}

void Check(bool holds, const char* what, const wchar_t* subject)
{
    if (holds) {
        ++passedChecks;
        return;
    }
    ++failedChecks;
    printf("FAILED %s for ", what);
    PrintText(subject);
    printf("\n");
}

bool SameText(const wchar_t* left, const wchar_t* right)
{
    if (left == nullptr || right == nullptr) {
        return left == right;
    }
    for (; *left == *right; ++left, ++right) {
        if (*left == L'\0') {
            return true;
        }
    }
    return false;
}

void CheckText(const wchar_t* actual, const wchar_t* expected, const char* what,
               const wchar_t* subject)
{
    Check(SameText(actual, expected), what, subject);
    if (!SameText(actual, expected)) {
        printf("    got ");
        PrintText(actual);
        printf(", expected ");
        PrintText(expected);
        printf("\n");
    }
}

int Sign(int value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

struct SplitCase {
    const wchar_t* path;
    const wchar_t* drive;
    const wchar_t* directory;
    const wchar_t* fileName;
    const wchar_t* extension;
};

const SplitCase kSplitCases[] = {
    {L"C:\\Data\\notes.txt", L"C:", L"\\Data\\", L"notes", L".txt"},
    {L"C:/Data/notes.txt", L"C:", L"/Data/", L"notes", L".txt"},
    {L"C:\\Data/sub\\x.y", L"C:", L"\\Data/sub\\", L"x", L".y"},
    {L"C:\\my.dir\\sub", L"C:", L"\\my.dir\\", L"sub", L""},
    {L"C:\\my.dir\\sub\\", L"C:", L"\\my.dir\\sub\\", L"", L""},
    {L"C:\\dir\\.profile", L"C:", L"\\dir\\", L"", L".profile"},
    {L"C:\\dir\\archive.tar.gz", L"C:", L"\\dir\\", L"archive.tar", L".gz"},
    {L"C:\\dir\\name.", L"C:", L"\\dir\\", L"name", L"."},
    {L"\\\\server\\share\\file.txt", L"", L"\\\\server\\share\\", L"file", L".txt"},
    {L"notes.txt", L"", L"", L"notes", L".txt"},
    {L"%WindowsDirectory%\\notepad.exe", L"", L"%WindowsDirectory%\\", L"notepad", L".exe"},
    {L"C:", L"C:", L"", L"", L""},
    {L"C:notes", L"C:", L"", L"notes", L""},
    {L"x", L"", L"", L"x", L""},
    {L"", L"", L"", L"", L""},
    {L"a b\\c d.e f", L"", L"a b\\", L"c d", L".e f"},
};

void TestSplitPath()
{
    for (const SplitCase& example : kSplitCases) {
        wchar_t drive[_MAX_DRIVE];
        wchar_t directory[MAX_PATH];
        wchar_t fileName[MAX_PATH];
        wchar_t extension[MAX_PATH];
        _wsplitpath(example.path, drive, directory, fileName, extension);
        CheckText(drive, example.drive, "_wsplitpath drive", example.path);
        CheckText(directory, example.directory, "_wsplitpath directory", example.path);
        CheckText(fileName, example.fileName, "_wsplitpath file name", example.path);
        CheckText(extension, example.extension, "_wsplitpath extension", example.path);
    }
    wchar_t directory[MAX_PATH];
    _wsplitpath(L"C:\\Data\\notes.txt", nullptr, directory, nullptr, nullptr);
    CheckText(directory, L"\\Data\\", "_wsplitpath with absent pieces", L"C:\\Data\\notes.txt");
}

// A path of drive, a directory piece of directoryUnits units and a file name of nameUnits
// units with the extension ".x"; pieceUnits is the size given for each of the three pieces,
// 0 for the plain _wsplitpath.
struct LongSplitCase {
    int directoryUnits;
    int nameUnits;
    size_t pieceUnits;
    bool fits;
};

const LongSplitCase kLongSplitCases[] = {
    {255, 10, 0, true},  {256, 10, 0, false}, {10, 255, 0, true},   {10, 256, 0, false},
    {258, 1, 260, true}, {5, 259, 260, true}, {5, 259, 256, false}, {259, 1, 259, false},
};

void MakeLongPath(wchar_t* path, int directoryUnits, int nameUnits)
{
    int used = 0;
    path[used++] = L'C';
    path[used++] = L':';
    path[used++] = L'\\';
    for (int index = 0; index < directoryUnits - 2; ++index) {
        path[used++] = L'd';
    }
    path[used++] = L'\\';
    for (int index = 0; index < nameUnits; ++index) {
        path[used++] = L'n';
    }
    path[used++] = L'.';
    path[used++] = L'x';
    path[used] = L'\0';
}

// A piece longer than its buffer empties every piece.
void TestSplitPathBounds()
{
    for (const LongSplitCase& example : kLongSplitCases) {
        wchar_t path[600];
        MakeLongPath(path, example.directoryUnits, example.nameUnits);
        wchar_t drive[_MAX_DRIVE] = L"Z";
        wchar_t directory[600] = L"Z";
        wchar_t fileName[600] = L"Z";
        wchar_t extension[600] = L"Z";
        bool reportedRight = true;
        if (example.pieceUnits == 0) {
            _wsplitpath(path, drive, directory, fileName, extension);
        } else {
            const errno_t result =
                _wsplitpath_s(path, drive, _MAX_DRIVE, directory, example.pieceUnits, fileName,
                              example.pieceUnits, extension, example.pieceUnits);
            reportedRight = result == (example.fits ? 0 : ERANGE);
        }
        const bool split = wcslen(drive) == 2 &&
                           wcslen(directory) == static_cast<size_t>(example.directoryUnits) &&
                           wcslen(fileName) == static_cast<size_t>(example.nameUnits) &&
                           wcslen(extension) == 2;
        const bool emptied = drive[0] == L'\0' && directory[0] == L'\0' && fileName[0] == L'\0' &&
                             extension[0] == L'\0';
        Check(reportedRight && (example.fits ? split : emptied),
              example.fits ? "long pieces that fit" : "a piece too long empties all", path);
    }
}

// count < 0 stands for _wcsicmp.
struct CompareCase {
    const wchar_t* left;
    const wchar_t* right;
    int count;
    int sign;
};

const CompareCase kCompareCases[] = {
    {L"abc", L"ABC", 3, 0},
    {L"/start,C:\\", L"/START,", 7, 0},
    {L"/MaxBtn", L"/MAXBTN", 7, 0},
    {L"/MAXBTN", L"/MAX", 4, 0},
    {L"/MAX", L"/MAXBTN", 7, -1},
    {L"/NOADDR", L"/NOADDRESS", 7, 0},
    {L"abc", L"abd", 2, 0},
    {L"abc", L"abd", 3, -1},
    {L"abd", L"ABC", 3, 1},
    {L"ab", L"abc", 3, -1},
    {L"ab", L"ab", 5, 0},
    {L"a", L"b", 0, 0},
    {L"@", L"`", 1, -1},
    {L"[", L"{", 1, -1},
    {L"windowsdirectory", L"WindowsDirectory", -1, 0},
    {L"QORCACHEDIR", L"qorcachedir", -1, 0},
    {L"QORCACHE", L"QORCACHEDIR", -1, -1},
    {L"KORVUX", L"KORVU", -1, 1},
    // Letters are folded to lower case, which puts '_' before every letter.
    {L"_", L"A", -1, -1},
    {L"Z", L"_", -1, 1},
    {L"", L"", -1, 0},
    {L"", L"a", -1, -1},
};

void TestCaseInsensitiveComparison()
{
    for (const CompareCase& example : kCompareCases) {
        const int result = example.count < 0 ? _wcsicmp(example.left, example.right)
                                             : _wcsnicmp(example.left, example.right,
                                                         static_cast<size_t>(example.count));
        Check(Sign(result) == example.sign, example.count < 0 ? "_wcsicmp sign" : "_wcsnicmp sign",
              example.left);
    }
}

// position -1 stands for a null result.
struct SearchCase {
    const wchar_t* text;
    wchar_t unit;
    int first;
    int last;
};

const SearchCase kSearchCases[] = {
    {L"a/b/c", L'/', 1, 3},       {L"%A%%B%", L'%', 0, 5}, {L"abc", L'x', -1, -1},
    {L"abc", L'\0', 3, 3},        {L"", L'a', -1, -1},     {L"", L'\0', 0, 0},
    {L"C:\\Data\\", L'\\', 2, 7},
};

void TestUnitSearch()
{
    for (const SearchCase& example : kSearchCases) {
        const wchar_t* first = wcschr(example.text, example.unit);
        const wchar_t* last = wcsrchr(example.text, example.unit);
        Check(example.first < 0 ? first == nullptr : first == example.text + example.first,
              "wcschr", example.text);
        Check(example.last < 0 ? last == nullptr : last == example.text + example.last, "wcsrchr",
              example.text);
    }
    Check(wcslen(L"") == 0 && wcslen(L"C:\\Data\\") == 8, "wcslen", L"C:\\Data\\");
}

enum class DirectoryCall { Windows, System, Current };

UINT AskDirectory(DirectoryCall call, wchar_t* buffer, UINT size)
{
    switch (call) {
    case DirectoryCall::Windows:
        return GetWindowsDirectoryW(buffer, size);
    case DirectoryCall::System:
        return GetSystemDirectoryW(buffer, size);
    case DirectoryCall::Current:
        return GetCurrentDirectoryW(size, buffer);
    }
    return 0;
}

bool IsUntouched(const wchar_t* buffer, size_t size)
{
    for (size_t index = 0; index < size; ++index) {
        if (buffer[index] != L'Z') {
            return false;
        }
    }
    return true;
}

void TestDirectorySizeContract()
{
    const DirectoryCall calls[] = {DirectoryCall::Windows, DirectoryCall::System,
                                   DirectoryCall::Current};
    const wchar_t* const names[] = {L"GetWindowsDirectoryW", L"GetSystemDirectoryW",
                                    L"GetCurrentDirectoryW"};
    for (int index = 0; index < 3; ++index) {
        wchar_t full[MAX_PATH];
        const UINT length = AskDirectory(calls[index], full, MAX_PATH);
        Check(length > 0 && length < MAX_PATH && wcslen(full) == length,
              "length of the whole result", names[index]);
        if (length == 0 || length >= MAX_PATH) {
            continue;
        }

        wchar_t exact[MAX_PATH];
        Check(AskDirectory(calls[index], exact, length + 1) == length && SameText(exact, full),
              "a buffer of exactly the size needed", names[index]);

        wchar_t tooSmall[MAX_PATH];
        for (wchar_t& unit : tooSmall) {
            unit = L'Z';
        }
        Check(AskDirectory(calls[index], tooSmall, length) == length + 1,
              "size needed, terminator included, from a buffer one unit short", names[index]);
        Check(IsUntouched(tooSmall, MAX_PATH), "one unit short leaves the buffer unchanged",
              names[index]);
        Check(AskDirectory(calls[index], tooSmall, 1) == length + 1 &&
                  IsUntouched(tooSmall, MAX_PATH),
              "a one-unit buffer", names[index]);
        Check(AskDirectory(calls[index], nullptr, 0) == length + 1, "no buffer", names[index]);
    }
}

constexpr int kMaxNames = 16;

const wchar_t* const kFixtureFiles[] = {L"a.txt", L"b.TXT", L"notes.doc", L"abc", L"axc",
                                        L"ac",    L"abbc",  L"readme",    L"x y"};

struct MatchCase {
    const wchar_t* pattern;
    const wchar_t* names[kMaxNames];
};

// Every non-root folder lists itself and its parent, as directories.
const MatchCase kMatchCases[] = {
    {L"\\*.txt", {L"a.txt", L"b.TXT"}},
    {L"\\*.TXT", {L"a.txt", L"b.TXT"}},
    {L"\\*.txt ", {L"a.txt", L"b.TXT"}},
    {L"\\*.txt. .", {L"a.txt", L"b.TXT"}},
    {L"\\readme.", {L"readme"}},
    {L"\\a?c", {L"abc", L"axc"}},
    {L"\\*c", {L"notes.doc", L"abc", L"axc", L"ac", L"abbc"}},
    {L"\\a*", {L"a.txt", L"abc", L"axc", L"ac", L"abbc"}},
    {L"\\x y", {L"x y"}},
    {L"\\ x y", {}},
    {L"\\*.xyz", {}},
    {L"\\nosuchfolder\\*", {}},
    {L"\\*",
     {L".", L"..", L"a.txt", L"b.TXT", L"notes.doc", L"abc", L"axc", L"ac", L"abbc", L"readme",
      L"x y"}},
    {L"\\\\*",
     {L".", L"..", L"a.txt", L"b.TXT", L"notes.doc", L"abc", L"axc", L"ac", L"abbc", L"readme",
      L"x y"}},
};

#ifdef _WIN32

wchar_t fixtureFolder[MAX_PATH];

void JoinPath(wchar_t* path, const wchar_t* folder, const wchar_t* name)
{
    _snwprintf(path, MAX_PATH, L"%ls\\%ls", folder, name);
    path[MAX_PATH - 1] = L'\0';
}

bool CreateFixture()
{
    wchar_t temporary[MAX_PATH];
    GetTempPathW(MAX_PATH, temporary);
    _snwprintf(fixtureFolder, MAX_PATH, L"%lsveltrin-runtime-%lu", temporary,
               GetCurrentProcessId());
    if (!CreateDirectoryW(fixtureFolder, nullptr)) {
        return false;
    }
    for (const wchar_t* name : kFixtureFiles) {
        wchar_t path[MAX_PATH];
        JoinPath(path, fixtureFolder, name);
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        CloseHandle(file);
    }
    return true;
}

void RemoveFixture()
{
    for (const wchar_t* name : kFixtureFiles) {
        wchar_t path[MAX_PATH];
        JoinPath(path, fixtureFolder, name);
        DeleteFileW(path);
    }
    RemoveDirectoryW(fixtureFolder);
}

void SetProbeVariable(bool set)
{
    _wputenv(set ? L"VeltrinProbe=C:\\Tmp" : L"VeltrinProbe=");
}

#else

const wchar_t fixtureFolder[] = L"C:\\fixture";

bool CreateFixture()
{
    compat::SetListingFolder(fixtureFolder, wcslen(fixtureFolder));
    compat::AddListingEntry(L".", 1, FILE_ATTRIBUTE_DIRECTORY);
    compat::AddListingEntry(L"..", 2, FILE_ATTRIBUTE_DIRECTORY);
    for (const wchar_t* name : kFixtureFiles) {
        compat::AddListingEntry(name, wcslen(name), FILE_ATTRIBUTE_ARCHIVE);
    }
    return true;
}

void RemoveFixture()
{
    compat::Reset();
}

void SetProbeVariable(bool set)
{
    if (set) {
        compat::SetVariable(L"VeltrinProbe", 12, L"C:\\Tmp", 6);
    } else {
        compat::Reset();
    }
}

#endif

bool IsDotEntry(const wchar_t* name)
{
    return SameText(name, L".") || SameText(name, L"..");
}

void TestFindMatching()
{
    if (!CreateFixture()) {
        Check(false, "creating the listing", fixtureFolder);
        RemoveFixture();
        return;
    }
    for (const MatchCase& example : kMatchCases) {
        wchar_t path[MAX_PATH];
        int used = 0;
        const wchar_t* const parts[] = {fixtureFolder, example.pattern};
        for (const wchar_t* part : parts) {
            for (; *part != L'\0' && used < MAX_PATH - 1; ++part) {
                path[used++] = *part;
            }
        }
        path[used] = L'\0';

        int expected = 0;
        while (expected < kMaxNames && example.names[expected] != nullptr) {
            ++expected;
        }
        bool seen[kMaxNames] = {};
        int found = 0;
        bool attributesRight = true;
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW(path, &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                ++found;
                for (int index = 0; index < expected; ++index) {
                    if (SameText(entry.cFileName, example.names[index])) {
                        seen[index] = true;
                    }
                }
                const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                attributesRight = attributesRight && isDirectory == IsDotEntry(entry.cFileName);
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        bool allSeen = found == expected;
        for (int index = 0; index < expected; ++index) {
            allSeen = allSeen && seen[index];
        }
        Check(allSeen, "names found by", example.pattern);
        Check(attributesRight, "directory attribute of the entries found by", example.pattern);
    }
    RemoveFixture();
}

struct SpecCase {
    const wchar_t* name;
    const wchar_t* spec;
    bool matches;
};

// Long names only; a pattern's leading blanks are dropped, its trailing ones kept.
const SpecCase kSpecCases[] = {
    {L"b.doc", L"*.DOC", true},   {L"report.docx", L"*.doc", false},
    {L"b.txt", L" b.txt", true},  {L" b.txt", L" b.txt", false},
    {L" b.txt", L" *.txt", true}, {L"a.txt", L"*.txt ", false},
    {L"readme", L"*.*", true},    {L"abc", L"a?c", true},
    {L"a.txt", L"", false},
};

void TestPathMatchSpec()
{
    for (const SpecCase& example : kSpecCases) {
        Check((PathMatchSpecW(example.name, example.spec) != FALSE) == example.matches,
              example.matches ? "PathMatchSpecW matches" : "PathMatchSpecW does not match",
              example.spec);
    }
}

void TestEnvironment()
{
    SetProbeVariable(true);
    CheckText(_wgetenv(L"VeltrinProbe"), L"C:\\Tmp", "_wgetenv", L"VeltrinProbe");
    CheckText(_wgetenv(L"VELTRINPROBE"), L"C:\\Tmp", "_wgetenv ignores case", L"VELTRINPROBE");
    Check(_wgetenv(L"VeltrinProb") == nullptr, "_wgetenv of a prefix", L"VeltrinProb");
    Check(_wgetenv(L"VeltrinProbeX") == nullptr, "_wgetenv of a longer name", L"VeltrinProbeX");
    Check(_wgetenv(L"") == nullptr, "_wgetenv of the empty name", L"");
    SetProbeVariable(false);
    Check(_wgetenv(L"VeltrinProbe") == nullptr, "_wgetenv after removal", L"VeltrinProbe");
}

} // namespace

int main()
{
#ifndef _WIN32
    compat::Reset();
#endif
    TestSplitPath();
    TestSplitPathBounds();
    TestCaseInsensitiveComparison();
    TestUnitSearch();
    TestDirectorySizeContract();
    TestFindMatching();
    TestPathMatchSpec();
    TestEnvironment();
    printf("%d passed, %d failed\n", passedChecks, failedChecks);
    return failedChecks == 0 ? 0 : 1;
}
