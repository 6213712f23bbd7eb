// Expansion of %NAME% macros in the start folder.
#include "LaunchSettings.h"

#include <stdlib.h>
#include <wchar.h>

namespace {

constexpr int kMacroNameUnits = 132;
constexpr int kMacroValueUnits = 520;

// The part of startFolder written so far. room counts the units left, terminator included,
// and never drops below 1, so the output always stays terminated inside the field.
struct Output {
    wchar_t* position;
    int room;
};

void Append(Output& output, const wchar_t* piece, int bound)
{
    if (bound <= 0) {
        return;
    }
    CopyBounded(output.position, piece, bound);
    const int written = static_cast<int>(wcslen(output.position));
    output.position += written;
    output.room -= written;
}

enum class DirectoryQuery { Windows, System, Current };

// A failed call or one whose result does not fit adds nothing.
void AppendDirectory(Output& output, DirectoryQuery query)
{
    const UINT room = static_cast<UINT>(output.room);
    UINT length = 0;
    switch (query) {
    case DirectoryQuery::Windows:
        length = GetWindowsDirectoryW(output.position, room);
        break;
    case DirectoryQuery::System:
        length = GetSystemDirectoryW(output.position, room);
        break;
    case DirectoryQuery::Current:
        length = GetCurrentDirectoryW(room, output.position);
        break;
    }
    if (length == 0 || length >= room) {
        output.position[0] = L'\0';
        return;
    }
    output.position += length;
    output.room -= static_cast<int>(length);
}

// Appends the value of a built-in variable; false when it is not set.
bool AppendVariable(Output& output, const wchar_t* variable)
{
    const wchar_t* value = _wgetenv(variable);
    if (value == nullptr) {
        return false;
    }
    Append(output, value, output.room);
    return true;
}

bool AppendFolderOfKorvuFile(Output& output)
{
    const wchar_t* file = _wgetenv(L"KORVUFILE");
    if (file == nullptr) {
        return false;
    }
    wchar_t value[kMacroValueUnits];
    CopyBounded(value, file, kMacroValueUnits);
    wchar_t* lastBackslash = wcsrchr(value, L'\\');
    if (lastBackslash != nullptr) {
        *lastBackslash = L'\0';
    }
    Append(output, value, output.room);
    return true;
}

bool AppendBuiltIn(Output& output, const wchar_t* name)
{
    if (_wcsicmp(name, L"KORVU") == 0 && AppendFolderOfKorvuFile(output)) {
        return true;
    }
    if ((_wcsicmp(name, L"QORPERMCACHE") == 0 || _wcsicmp(name, L"QORCACHEDIR") == 0) &&
        AppendVariable(output, L"QORCACHE")) {
        return true;
    }
    if (_wcsicmp(name, L"QORLOCAL") == 0 && AppendVariable(output, L"QORLOCALDIR")) {
        return true;
    }
    if (_wcsicmp(name, L"WindowsDirectory") == 0) {
        AppendDirectory(output, DirectoryQuery::Windows);
        return true;
    }
    if (_wcsicmp(name, L"SystemDirectory") == 0) {
        AppendDirectory(output, DirectoryQuery::System);
        return true;
    }
    if (_wcsicmp(name, L"CurrentDirectory") == 0) {
        AppendDirectory(output, DirectoryQuery::Current);
        return true;
    }
    return false;
}

void AppendMacro(Output& output, const wchar_t* macroName)
{
    wchar_t name[kMacroNameUnits];
    CopyBounded(name, macroName, kMacroNameUnits);

    // A variable of the macro's own name wins, unless it is empty.
    const wchar_t* environmentValue = _wgetenv(name);
    if (environmentValue != nullptr) {
        wchar_t value[kMacroValueUnits];
        CopyBounded(value, environmentValue, kMacroValueUnits);
        if (value[0] != L'\0') {
            Append(output, value, output.room);
            return;
        }
    }
    if (AppendBuiltIn(output, name)) {
        return;
    }

    // Unrecognised: the macro stays, its name cut so that both '%' and the terminator fit.
    if (output.room < 3) {
        return;
    }
    const int nameBound = output.room - 2;
    Append(output, L"%", output.room);
    Append(output, name, nameBound);
    Append(output, L"%", output.room);
}

} // namespace

wchar_t* ExpandFolderMacros()
{
    wchar_t* const folder = LaunchSettings.startFolder;
    wchar_t work[kPathUnits];
    CopyBounded(work, folder, kPathUnits);
    if (work[0] == L'\0') {
        folder[0] = L'\0';
        return folder;
    }

    Output output = {folder, kPathUnits};
    wchar_t* scan = work;
    for (;;) {
        wchar_t* opening = wcschr(scan, L'%');
        wchar_t* closing = opening != nullptr ? wcschr(opening + 1, L'%') : nullptr;
        if (closing == nullptr) {
            break;
        }
        *opening = L'\0';
        *closing = L'\0';
        wchar_t* rest = closing + 1;

        Append(output, scan, output.room);
        AppendMacro(output, opening + 1);

        // Only the one backslash where output and rest meet is dropped.
        if (output.position != folder && output.position[-1] == L'\\' && *rest == L'\\') {
            ++rest;
        }
        scan = rest;
    }
    Append(output, scan, output.room);
    return folder;
}
