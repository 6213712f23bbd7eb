// Native stand-ins for the Windows runtime and platform calls of the program's text routines,
// with the behaviour the program relies on from the real ones.
#include "LayerControl.h"

#include "LaunchSettings.h"
#include "res/resource.h"

#include <errno.h>
#include <ole2.h>
#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

wchar_t* CopyText(const wchar_t* text, size_t length)
{
    wchar_t* copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    if (copy == nullptr) {
        __builtin_trap();
    }
    memcpy(copy, text, length * sizeof(wchar_t));
    copy[length] = L'\0';
    return copy;
}

void Replace(wchar_t*& slot, const wchar_t* text, size_t length)
{
    free(slot);
    slot = CopyText(text, length);
}

// The runtime's case folding in the "C" locale: ASCII letters only.
wchar_t FoldCase(wchar_t unit)
{
    return unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
}

bool IsSeparator(wchar_t unit)
{
    return unit == L'\\' || unit == L'/';
}

bool SameText(const wchar_t* left, const wchar_t* right)
{
    for (; *left == *right; ++left, ++right) {
        if (*left == L'\0') {
            return true;
        }
    }
    return false;
}

struct Variable {
    wchar_t* name;
    wchar_t* value;
};

struct Entry {
    wchar_t* name;
    DWORD attributes;
};

struct Search {
    wchar_t* pattern;
    int next;
};

constexpr int kMaxSearches = 16;
constexpr int kMaxCaptions = 8;

struct CaptionCount {
    wchar_t* caption;
    int count;
};

struct LayerState {
    Variable variables[compat::kMaxVariables];
    int variableCount;
    wchar_t* directories[3];
    wchar_t* listingFolder;
    Entry entries[compat::kMaxListingEntries];
    int entryCount;
    Search* searches[kMaxSearches];
    CaptionCount captions[kMaxCaptions];
    int oleInitializeCalls;
    int oleUninitializeCalls;
    compat::BrowserCall browser;
};

LayerState state;

void SetDefaultDirectories()
{
    const wchar_t* const defaults[3] = {L"C:\\windows", L"C:\\windows\\system32",
                                        L"C:\\users\\public"};
    for (int which = 0; which < 3; ++which) {
        state.directories[which] = CopyText(defaults[which], wcslen(defaults[which]));
    }
}

// Folder texts name the same folder when they differ only in ASCII case, in '/' for '\', in
// runs of separators and in trailing separators.
wchar_t* CanonicalFolder(const wchar_t* folder, size_t length)
{
    wchar_t* canonical = CopyText(folder, length);
    size_t kept = 0;
    for (size_t index = 0; index < length; ++index) {
        const wchar_t unit = IsSeparator(folder[index]) ? L'\\' : FoldCase(folder[index]);
        if (unit == L'\\' && kept > 0 && canonical[kept - 1] == L'\\') {
            continue;
        }
        canonical[kept++] = unit;
    }
    while (kept > 0 && canonical[kept - 1] == L'\\') {
        --kept;
    }
    canonical[kept] = L'\0';
    return canonical;
}

bool IsListingFolder(const wchar_t* folder, size_t length)
{
    if (state.listingFolder == nullptr) {
        return false;
    }
    wchar_t* asked = CanonicalFolder(folder, length);
    wchar_t* listed = CanonicalFolder(state.listingFolder, wcslen(state.listingFolder));
    const bool same = _wcsicmp(asked, listed) == 0;
    free(asked);
    free(listed);
    return same;
}

// '*' matches any run of units, '?' exactly one; other units match without regard to ASCII
// case. Backtracks only to the last '*', which keeps the match linear for every pattern.
bool MatchesPattern(const wchar_t* name, const wchar_t* pattern)
{
    const wchar_t* lastStar = nullptr;
    const wchar_t* resumeName = nullptr;
    while (*name != L'\0') {
        if (*pattern == L'*') {
            lastStar = pattern++;
            resumeName = name;
        } else if (*pattern != L'\0' &&
                   (*pattern == L'?' || FoldCase(*pattern) == FoldCase(*name))) {
            ++pattern;
            ++name;
        } else if (lastStar != nullptr) {
            pattern = lastStar + 1;
            name = ++resumeName;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') {
        ++pattern;
    }
    return *pattern == L'\0';
}

int FindOpenSearch(HANDLE handle)
{
    for (int slot = 0; slot < kMaxSearches; ++slot) {
        if (state.searches[slot] != nullptr && state.searches[slot] == handle) {
            return slot;
        }
    }
    // A handle that is not open: closed twice, never opened, or INVALID_HANDLE_VALUE.
    __builtin_trap();
}

bool NextMatch(Search& search, WIN32_FIND_DATAW* findData)
{
    for (; search.next < state.entryCount; ++search.next) {
        const Entry& entry = state.entries[search.next];
        if (MatchesPattern(entry.name, search.pattern)) {
            memset(findData, 0, sizeof(*findData));
            findData->dwFileAttributes = entry.attributes;
            memcpy(findData->cFileName, entry.name, (wcslen(entry.name) + 1) * sizeof(wchar_t));
            ++search.next;
            return true;
        }
    }
    return false;
}

UINT AnswerDirectory(compat::Directory which, wchar_t* buffer, UINT size)
{
    const wchar_t* directory = state.directories[static_cast<int>(which)];
    const UINT length = static_cast<UINT>(wcslen(directory));
    // Too small: the size needed, terminator included, and the buffer stays as it was.
    if (buffer == nullptr || size < length + 1) {
        return length + 1;
    }
    memcpy(buffer, directory, (length + 1) * sizeof(wchar_t));
    return length;
}

} // namespace

namespace compat {

void Reset()
{
    for (int index = 0; index < state.variableCount; ++index) {
        free(state.variables[index].name);
        free(state.variables[index].value);
    }
    for (int index = 0; index < state.entryCount; ++index) {
        free(state.entries[index].name);
    }
    for (Search* search : state.searches) {
        if (search != nullptr) {
            free(search->pattern);
            free(search);
        }
    }
    for (CaptionCount& caption : state.captions) {
        free(caption.caption);
    }
    for (wchar_t* directory : state.directories) {
        free(directory);
    }
    free(state.listingFolder);
    state = LayerState{};
    SetDefaultDirectories();
}

bool SetVariable(const wchar_t* name, size_t nameLength, const wchar_t* value, size_t valueLength)
{
    if (nameLength == 0) {
        return false;
    }
    for (size_t index = 0; index < nameLength; ++index) {
        if (name[index] == L'=' || name[index] == L'\0') {
            return false;
        }
    }
    for (int index = 0; index < state.variableCount; ++index) {
        Variable& variable = state.variables[index];
        if (wcslen(variable.name) == nameLength &&
            _wcsnicmp(variable.name, name, nameLength) == 0) {
            Replace(variable.value, value, valueLength);
            return true;
        }
    }
    if (state.variableCount == kMaxVariables) {
        return false;
    }
    Variable& added = state.variables[state.variableCount++];
    added.name = CopyText(name, nameLength);
    added.value = CopyText(value, valueLength);
    return true;
}

void SetDirectory(Directory which, const wchar_t* path, size_t length)
{
    Replace(state.directories[static_cast<int>(which)], path, length);
}

void SetListingFolder(const wchar_t* folder, size_t length)
{
    Replace(state.listingFolder, folder, length);
}

bool AddListingEntry(const wchar_t* name, size_t length, DWORD attributes)
{
    if (length == 0 || length >= MAX_PATH || state.entryCount == kMaxListingEntries) {
        return false;
    }
    for (size_t index = 0; index < length; ++index) {
        if (name[index] == L'\0') {
            return false;
        }
    }
    state.entries[state.entryCount++] = {CopyText(name, length), attributes};
    return true;
}

int OpenSearchCount()
{
    int open = 0;
    for (Search* search : state.searches) {
        open += search != nullptr ? 1 : 0;
    }
    return open;
}

int MessageBoxCount(const wchar_t* caption)
{
    for (const CaptionCount& shown : state.captions) {
        if (shown.caption != nullptr && SameText(shown.caption, caption)) {
            return shown.count;
        }
    }
    return 0;
}

int MessageBoxTotal()
{
    int total = 0;
    for (const CaptionCount& shown : state.captions) {
        total += shown.count;
    }
    return total;
}

int OleInitializeCount()
{
    return state.oleInitializeCalls;
}

int OleUninitializeCount()
{
    return state.oleUninitializeCalls;
}

const BrowserCall& BrowserCalls()
{
    return state.browser;
}

} // namespace compat

extern "C" {

__attribute__((visibility("hidden"))) size_t wcslen(const wchar_t* text)
{
    size_t length = 0;
    while (text[length] != L'\0') {
        ++length;
    }
    return length;
}

__attribute__((visibility("hidden"))) wchar_t* wcschr(const wchar_t* text, wchar_t unit)
{
    for (;; ++text) {
        if (*text == unit) {
            return const_cast<wchar_t*>(text);
        }
        if (*text == L'\0') {
            return nullptr;
        }
    }
}

__attribute__((visibility("hidden"))) wchar_t* wcsrchr(const wchar_t* text, wchar_t unit)
{
    const wchar_t* last = nullptr;
    for (;; ++text) {
        if (*text == unit) {
            last = text;
        }
        if (*text == L'\0') {
            return const_cast<wchar_t*>(last);
        }
    }
}

} // extern "C"

int _wcsnicmp(const wchar_t* left, const wchar_t* right, size_t count)
{
    for (size_t index = 0; index < count; ++index) {
        const int difference = FoldCase(left[index]) - FoldCase(right[index]);
        if (difference != 0 || left[index] == L'\0') {
            return difference;
        }
    }
    return 0;
}

int _wcsicmp(const wchar_t* left, const wchar_t* right)
{
    return _wcsnicmp(left, right, static_cast<size_t>(-1));
}

namespace {

struct PathPiece {
    wchar_t* buffer;
    size_t units;
    const wchar_t* from;
    const wchar_t* to;
};

} // namespace

// A piece that does not fit its buffer empties every buffer.
errno_t _wsplitpath_s(const wchar_t* path, wchar_t* drive, size_t driveUnits, wchar_t* directory,
                      size_t directoryUnits, wchar_t* fileName, size_t fileNameUnits,
                      wchar_t* extension, size_t extensionUnits)
{
    if (path == nullptr) {
        return EINVAL;
    }
    const wchar_t* rest = path;
    if (rest[0] != L'\0' && rest[1] == L':') {
        rest += 2;
    }
    const wchar_t* directoryEnd = rest;
    for (const wchar_t* unit = rest; *unit != L'\0'; ++unit) {
        if (IsSeparator(*unit)) {
            directoryEnd = unit + 1;
        }
    }
    const wchar_t* end = directoryEnd + wcslen(directoryEnd);
    const wchar_t* lastDot = wcsrchr(directoryEnd, L'.');
    const wchar_t* nameEnd = lastDot != nullptr ? lastDot : end;

    PathPiece pieces[] = {{drive, driveUnits, path, rest},
                          {directory, directoryUnits, rest, directoryEnd},
                          {fileName, fileNameUnits, directoryEnd, nameEnd},
                          {extension, extensionUnits, nameEnd, end}};
    bool fits = true;
    for (const PathPiece& piece : pieces) {
        fits = fits && (piece.buffer == nullptr ||
                        static_cast<size_t>(piece.to - piece.from) < piece.units);
    }
    for (PathPiece& piece : pieces) {
        if (piece.buffer == nullptr || piece.units == 0) {
            continue;
        }
        const size_t length = fits ? static_cast<size_t>(piece.to - piece.from) : 0;
        memcpy(piece.buffer, piece.from, length * sizeof(wchar_t));
        piece.buffer[length] = L'\0';
    }
    return fits ? 0 : ERANGE;
}

// Each buffer is taken to hold its _MAX_ size, so a longer piece empties them all.
void _wsplitpath(const wchar_t* path, wchar_t* drive, wchar_t* directory, wchar_t* fileName,
                 wchar_t* extension)
{
    _wsplitpath_s(path, drive, _MAX_DRIVE, directory, _MAX_DIR, fileName, _MAX_FNAME, extension,
                  _MAX_EXT);
}

wchar_t* _wgetenv(const wchar_t* name)
{
    const size_t length = wcslen(name);
    for (int index = 0; index < state.variableCount; ++index) {
        const Variable& variable = state.variables[index];
        if (wcslen(variable.name) == length && _wcsnicmp(variable.name, name, length) == 0) {
            return variable.value;
        }
    }
    return nullptr;
}

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size)
{
    return AnswerDirectory(compat::Directory::Windows, buffer, size);
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size)
{
    return AnswerDirectory(compat::Directory::System, buffer, size);
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    return AnswerDirectory(compat::Directory::Current, buffer, size);
}

// The folder is the text up to the last separator; trailing blanks and dots of the pattern
// are dropped, as Windows drops them from the last component of every path.
HANDLE FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* findData)
{
    size_t length = wcslen(fileName);
    size_t patternStart = length;
    while (patternStart > 0 && !IsSeparator(fileName[patternStart - 1])) {
        --patternStart;
    }
    while (length > patternStart &&
           (fileName[length - 1] == L' ' || fileName[length - 1] == L'.')) {
        --length;
    }
    if (length == patternStart || !IsListingFolder(fileName, patternStart)) {
        return INVALID_HANDLE_VALUE;
    }
    int slot = 0;
    while (slot < kMaxSearches && state.searches[slot] != nullptr) {
        ++slot;
    }
    if (slot == kMaxSearches) {
        // More searches open at once than any routine of the program keeps.
        __builtin_trap();
    }
    Search* search = static_cast<Search*>(malloc(sizeof(Search)));
    *search = {CopyText(fileName + patternStart, length - patternStart), 0};
    if (!NextMatch(*search, findData)) {
        free(search->pattern);
        free(search);
        return INVALID_HANDLE_VALUE;
    }
    state.searches[slot] = search;
    return search;
}

BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* findData)
{
    return NextMatch(*state.searches[FindOpenSearch(handle)], findData) ? 1 : 0;
}

BOOL FindClose(HANDLE handle)
{
    const int slot = FindOpenSearch(handle);
    free(state.searches[slot]->pattern);
    free(state.searches[slot]);
    state.searches[slot] = nullptr;
    return 1;
}

// "*.*" matches every name; otherwise the pattern, its leading blanks dropped, is matched as a
// search matches a name. The program hands over single patterns, never a list of them.
BOOL PathMatchSpecW(LPCWSTR file, LPCWSTR spec)
{
    if (SameText(spec, L"*.*")) {
        return 1;
    }
    while (*spec == L' ') {
        ++spec;
    }
    return MatchesPattern(file, spec) ? 1 : 0;
}

int MessageBoxW(HWND, LPCWSTR, LPCWSTR caption, UINT)
{
    for (CaptionCount& shown : state.captions) {
        if (shown.caption == nullptr) {
            shown.caption = CopyText(caption, wcslen(caption));
        }
        if (SameText(shown.caption, caption)) {
            ++shown.count;
            return 1;
        }
    }
    __builtin_trap();
}

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int bufferMax)
{
    const wchar_t* text = id == IDS_DEFAULT_TITLE    ? L"Veltrin Explorer"
                          : id == IDS_DEFAULT_CANCEL ? L"Exit"
                                                     : L"";
    if (bufferMax <= 0) {
        return 0;
    }
    int copied = 0;
    for (; copied < bufferMax - 1 && text[copied] != L'\0'; ++copied) {
        buffer[copied] = text[copied];
    }
    buffer[copied] = L'\0';
    return copied;
}

HRESULT OleInitialize(LPVOID)
{
    ++state.oleInitializeCalls;
    return 0;
}

void OleUninitialize()
{
    ++state.oleUninitializeCalls;
}

// Natively there is no DLL search to restrict.
void RestrictDllSearch()
{
}

void RunBrowserDialog(wchar_t* folderArgument, wchar_t* filterArgument, wchar_t* titleArgument,
                      wchar_t* cancelArgument)
{
    compat::BrowserCall& call = state.browser;
    ++call.count;
    call.folder = folderArgument;
    call.filter = filterArgument;
    call.title = titleArgument;
    call.cancel = cancelArgument;
}
