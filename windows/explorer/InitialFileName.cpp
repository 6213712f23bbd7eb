// The file the dialog starts with when the command line named none.
#include "LaunchSettings.h"

#include <shlwapi.h>
#include <wchar.h>

namespace {

bool IsAcceptable(const WIN32_FIND_DATAW& entry)
{
    return (entry.dwFileAttributes &
            (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Composes folder + the first pieceLength units of piece in selectName; false when the
// whole path does not fit, which counts as a failed search.
bool ComposeSearchPath(const wchar_t* folder, const wchar_t* piece, size_t pieceLength)
{
    wchar_t* const path = LaunchSettings.selectName;
    const size_t folderLength = wcslen(folder);
    if (folderLength + pieceLength >= static_cast<size_t>(kPathUnits)) {
        return false;
    }
    CopyBounded(path, folder, kPathUnits);
    CopyBounded(path + folderLength, piece, static_cast<int>(pieceLength) + 1);
    return true;
}

// A wildcard search also matches each entry's 8.3 short name, so *.doc finds report.docx; the
// dialog's filter matches long names only. So with a pattern: the first entry of the search in
// selectName whose long name matches it. Without one: the search's first acceptable entry.
bool FindFirstEntry(WIN32_FIND_DATAW& entry, const wchar_t* pattern)
{
    HANDLE search = FindFirstFileW(LaunchSettings.selectName, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool found = false;
    do {
        found = pattern != nullptr ? PathMatchSpecW(entry.cFileName, pattern) != FALSE
                                   : IsAcceptable(entry);
    } while (!found && FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

bool MatchPatterns(const wchar_t* folder, const COMDLG_FILTERSPEC* table, int count,
                   WIN32_FIND_DATAW& entry)
{
    for (int index = 0; index < count; ++index) {
        const wchar_t* pattern = table[index].pszSpec;
        for (;;) {
            const wchar_t* semicolon = wcschr(pattern, L';');
            const size_t length =
                semicolon != nullptr ? static_cast<size_t>(semicolon - pattern) : wcslen(pattern);
            // Of the entries the dialog's filter would show, only the first counts.
            if (ComposeSearchPath(folder, pattern, length) &&
                FindFirstEntry(entry, LaunchSettings.selectName + wcslen(folder)) &&
                IsAcceptable(entry)) {
                return true;
            }
            if (semicolon == nullptr) {
                break;
            }
            pattern = semicolon + 1;
        }
    }
    return false;
}

} // namespace

bool ChooseInitialFileName(const wchar_t* folderArgument, COMDLG_FILTERSPEC* table, int count)
{
    wchar_t* const selectName = LaunchSettings.selectName;
    // Without a start folder the dialog shows a folder of its own choosing: a name found in
    // the current directory would not be on screen.
    if (folderArgument[0] == L'\0') {
        selectName[0] = L'\0';
        return false;
    }

    WIN32_FIND_DATAW entry;
    bool found = MatchPatterns(folderArgument, table, count, entry);
    if (!found) {
        const wchar_t kEverything[] = L"\\*";
        found = ComposeSearchPath(folderArgument, kEverything, wcslen(kEverything)) &&
                FindFirstEntry(entry, nullptr);
    }

    if (found) {
        CopyBounded(selectName, entry.cFileName, kPathUnits);
    } else {
        // Left empty, so that no worker goes looking for a search path.
        selectName[0] = L'\0';
    }
    return found;
}
