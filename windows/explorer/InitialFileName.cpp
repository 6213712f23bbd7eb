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

// The first entry of the search in selectName for which counts() holds.
template <typename Predicate> bool FindFirstEntryWhere(WIN32_FIND_DATAW& entry, Predicate counts)
{
    HANDLE search = FindFirstFileW(LaunchSettings.selectName, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool found = counts(entry);
    while (!found && FindNextFileW(search, &entry)) {
        found = counts(entry);
    }
    FindClose(search);
    return found;
}

// A wildcard search also matches each entry's 8.3 short name, so *.doc finds report.docx;
// the dialog's filter matches long names only, and an entry it would hide is passed over. Of
// the rest only the first entry counts.
bool FirstListedMatchIsAcceptable(const wchar_t* pattern, WIN32_FIND_DATAW& entry)
{
    return FindFirstEntryWhere(entry,
                               [pattern](const WIN32_FIND_DATAW& found) {
                                   return PathMatchSpecW(found.cFileName, pattern) != FALSE;
                               }) &&
           IsAcceptable(entry);
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
            if (ComposeSearchPath(folder, pattern, length) &&
                FirstListedMatchIsAcceptable(LaunchSettings.selectName + wcslen(folder), entry)) {
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
                FindFirstEntryWhere(entry, IsAcceptable);
    }

    if (found) {
        CopyBounded(selectName, entry.cFileName, kPathUnits);
    } else {
        // Left empty, so that no worker goes looking for a search path.
        selectName[0] = L'\0';
    }
    return found;
}
