// Controls the native stand-ins for the Windows runtime and platform: the environment, the
// three directories, one folder's listing, and a record of what the program showed and handed
// on. Texts are given with their length, need no terminator, and are copied into heap blocks
// of exactly their size, so that the sanitizer sees every read past their end.
#pragma once

#include <windows.h>

namespace compat {

enum class Directory { Windows, System, Current };

// The arguments of the last call of RunBrowserDialog and the number of calls.
struct BrowserCall {
    int count;
    wchar_t* folder;
    wchar_t* filter;
    wchar_t* title;
    wchar_t* cancel;
};

constexpr int kMaxVariables = 64;
constexpr int kMaxListingEntries = 64;

// Back to an empty environment and listing, the default directories and nothing recorded.
void Reset();

// Sets or replaces a variable (names match without regard to ASCII case); false when the
// name is empty or holds '=', or the environment is full.
bool SetVariable(const wchar_t* name, size_t nameLength, const wchar_t* value, size_t valueLength);
void SetDirectory(Directory which, const wchar_t* path, size_t length);

// The folder whose listing FindFirstFileW answers; any other folder does not exist.
void SetListingFolder(const wchar_t* folder, size_t length);
// Appends an entry in listing order; false when the name is empty, holds a NUL, does not fit
// WIN32_FIND_DATAW.cFileName, or the listing is full.
bool AddListingEntry(const wchar_t* name, size_t length, DWORD attributes);

int OpenSearchCount();
int MessageBoxCount(const wchar_t* caption);
int MessageBoxTotal();
int OleInitializeCount();
int OleUninitializeCount();
const BrowserCall& BrowserCalls();

} // namespace compat
