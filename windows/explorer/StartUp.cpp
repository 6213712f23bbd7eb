// Program entry and the switch parser.
#include "LaunchSettings.h"

#include "res/resource.h"

#include <ole2.h>
#include <stdlib.h>
#include <wchar.h>

// Zero-filled at load, so its two kilobytes take no room in the exe; the one field that starts
// otherwise is set by the runtime's start-up code, before anything reads it.
LaunchSettingsRecord LaunchSettings;
static const LONG kFirstFolderChangeArmed = LaunchSettings.firstFolderChange = 1;

// Absent values point here; every routine returns at once on an empty string, so it is never
// written.
wchar_t* const SharedEmptyString = const_cast<wchar_t*>(L"");

namespace {

enum class Switch {
    Start,
    Filter,
    Title,
    Cancel,
    MaxButton,
    Maximize,
    NoChangeDir,
    NoFilePrompt,
    NoAddress
};

struct SwitchName {
    const wchar_t* name;
    size_t comparedUnits;
    Switch which;
};

// Prefix tests in this order: "/MAXBTN" must be tried before "/MAX".
const SwitchName kSwitches[] = {
    {L"/START,", 7, Switch::Start},
    {L"/FILTER,", 8, Switch::Filter},
    {L"/TITLE,", 7, Switch::Title},
    {L"/CANCEL,", 8, Switch::Cancel},
    {L"/MAXBTN", 7, Switch::MaxButton},
    {L"/MAX", 4, Switch::Maximize},
    {L"/NOCHANGEDIR", 12, Switch::NoChangeDir},
    {L"/NOFILEPROMPT", 13, Switch::NoFilePrompt},
    {L"/NOADDRESS", 7, Switch::NoAddress},
};

const SwitchName* FindSwitch(const wchar_t* text)
{
    for (const SwitchName& candidate : kSwitches) {
        if (_wcsnicmp(text, candidate.name, candidate.comparedUnits) == 0) {
            return &candidate;
        }
    }
    return nullptr;
}

// Splits a /START value into startFolder and selectName. The value may run on into the
// following switches, which are still intact at this point; the copy is cut at the first
// blank (or the closing quote) after its first unit.
void ProcessStartValue(const wchar_t* value)
{
    const bool quoted = value[0] == L'"';
    wchar_t path[kPathUnits];
    CopyBounded(path, quoted ? value + 1 : value, kPathUnits);

    if (path[0] != L'\0') {
        const wchar_t end = quoted ? L'"' : L' ';
        for (wchar_t* unit = path + 1; *unit != L'\0'; ++unit) {
            if (*unit == end) {
                *unit = L'\0';
                break;
            }
        }
    }

    // A path without any '.' names a folder. A 259-unit one has no room for the backslash:
    // it then keeps its last component as the name to select rather than losing a unit.
    const size_t length = wcslen(path);
    if (wcschr(path, L'.') == nullptr && length >= 2 && path[length - 1] != L'\\' &&
        length + 1 < kPathUnits) {
        path[length] = L'\\';
        path[length + 1] = L'\0';
    }

    // Every piece can be as long as the path itself, so each gets the path's size; the bounded
    // split is told those sizes, where the plain one would give up on a piece over 255 units.
    wchar_t drive[_MAX_DRIVE];
    wchar_t directory[kPathUnits];
    wchar_t fileName[kPathUnits];
    wchar_t extension[kPathUnits];
    _wsplitpath_s(path, drive, _MAX_DRIVE, directory, kPathUnits, fileName, kPathUnits, extension,
                  kPathUnits);

    CopyBounded(LaunchSettings.startFolder, drive, kPathUnits);
    const size_t driveLength = wcslen(LaunchSettings.startFolder);
    CopyBounded(LaunchSettings.startFolder + driveLength, directory,
                kPathUnits - static_cast<int>(driveLength));
    ExpandFolderMacros();

    if (fileName[0] != L'\0') {
        CopyBounded(LaunchSettings.selectName, fileName, kPathUnits);
        const size_t nameLength = wcslen(LaunchSettings.selectName);
        CopyBounded(LaunchSettings.selectName + nameLength, extension,
                    kPathUnits - static_cast<int>(nameLength));
    }
}

} // namespace

bool ParseCommandLine(wchar_t* argumentText, CommandArguments& arguments)
{
    arguments = {SharedEmptyString, SharedEmptyString, SharedEmptyString, SharedEmptyString};
    LaunchSettings.selectName[0] = L'\0';
    LaunchSettings.startFolder[0] = L'\0';
    LaunchSettings.navFlags = 0;
    bool malformed = false;

    const wchar_t* first = argumentText;
    while (*first == L' ') {
        ++first;
    }
    if (*first != L'\0' && *first != L'/') {
        malformed = true;
    }

    for (wchar_t* slash = wcschr(argumentText, L'/'); slash != nullptr;
         slash = wcschr(slash + 1, L'/')) {
        // Ends the previous switch's value; normally that unit is the separating blank.
        if (slash != argumentText) {
            slash[-1] = L'\0';
        }
        const SwitchName* found = FindSwitch(slash);
        if (found == nullptr) {
            malformed = true;
            continue;
        }
        wchar_t* value = slash + found->comparedUnits;
        switch (found->which) {
        case Switch::Start:
            arguments.folder = value;
            if (static_cast<unsigned>(value[0]) > 0x20) {
                ProcessStartValue(value);
                arguments.folder = LaunchSettings.startFolder;
            }
            break;
        case Switch::Filter:
            arguments.filter = value;
            break;
        case Switch::Title:
            arguments.title = value;
            break;
        case Switch::Cancel:
            arguments.cancel = value;
            break;
        case Switch::MaxButton:
            LaunchSettings.windowFlags |= WF_MAXBUTTON;
            break;
        case Switch::Maximize:
            LaunchSettings.windowFlags |= WF_MAXIMIZE;
            break;
        case Switch::NoChangeDir:
            LaunchSettings.navFlags |= NF_NOCHANGEDIR;
            break;
        case Switch::NoFilePrompt:
            LaunchSettings.windowFlags |= WF_HIDEFILENAME;
            break;
        case Switch::NoAddress:
            LaunchSettings.windowFlags |= WF_HIDEADDRESS;
            break;
        }
    }
    return malformed;
}

void ShowSyntaxMessage()
{
    MessageBoxW(nullptr,
                L"Command Line Switches:\n"
                L"\n"
                L"\t/START,folder-or-fspec\n"
                L"\t/FILTER,\"descr | spec {... | descr | spec}\"\n"
                L"\t/TITLE,title\n"
                L"\t/CANCEL,cancel-button-label (default='Exit')\n"
                L"\t/MAX{IMIZE}\n"
                L"\t/MAXBTN\n"
                L"\t/NOADDRESS\n"
                L"\t/NOCHANGEDIR\n"
                L"\t/NOFILEPROMPT\n"
                L"\n"
                L"Example:\n"
                L"\n"
                L"\t/START,\\\\myserver\\myshare\n"
                L"\t/FILTER,\"Images | *.png;*.jpg | Documents | *.doc;*.docx;*.pdf\"\n"
                L"\n"
                L"Note:\t\n"
                L"\tQuote entire filter; no spaces within filter spec fields.",
                L"VeltrinExplorer Command Line Syntax", MB_OK);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR argumentText, int)
{
    RestrictDllSearch();
    LoadStringW(instance, IDS_DEFAULT_TITLE, LaunchSettings.title, kLabelUnits);
    LoadStringW(instance, IDS_DEFAULT_CANCEL, LaunchSettings.cancelLabel, kLabelUnits);

    if (FAILED(OleInitialize(nullptr))) {
        return 0;
    }

    CommandArguments arguments;
    if (ParseCommandLine(argumentText, arguments)) {
        ShowSyntaxMessage();
    } else {
        // Values can overlap in the command line, so the order of the stripping shows; one
        // statement each keeps it fixed rather than left to the compiler's argument order.
        StripEnclosingQuotes(arguments.folder);
        StripEnclosingQuotes(arguments.filter);
        StripEnclosingQuotes(arguments.title);
        StripEnclosingQuotes(arguments.cancel);
        RunBrowserDialog(arguments.folder, arguments.filter, arguments.title, arguments.cancel);
    }

    OleUninitialize();
    return 0;
}
