// A whole command line, with an environment of its own, through the program's entry: the
// switch parse, the split and macro expansion of /START, and the hand-off of the arguments.
// Then the same text, cut to the field's size, as a start folder through the macro expansion
// alone, which meets it there unsplit and at full length.
//
// Input, as UTF-16LE units: an environment block first, entries NAME=value each ended by a
// NUL and the block by a second NUL; then the command line, up to a NUL or the end. Without a
// double NUL the whole input is the command line. The entries =W=, =S= and =C= give the
// Windows, system and current directory.
#include "FuzzSupport.h"
#include "LayerControl.h"

#include <stdlib.h>
#include <wchar.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR argumentText, int);

namespace {

const wchar_t kSyntaxCaption[] = L"VeltrinExplorer Command Line Syntax";

size_t FindBlockEnd(const Units& input)
{
    for (size_t index = 0; index + 1 < input.length; ++index) {
        if (input.data[index] == L'\0' && input.data[index + 1] == L'\0') {
            return index;
        }
    }
    return input.length;
}

void ApplyEntry(const Field& entry)
{
    size_t equals = 1;
    while (equals < entry.length && entry.text[equals] != L'=') {
        ++equals;
    }
    if (equals >= entry.length) {
        return;
    }
    const wchar_t* value = entry.text + equals + 1;
    const size_t valueLength = entry.length - equals - 1;
    if (entry.text[0] != L'=') {
        compat::SetVariable(entry.text, equals, value, valueLength);
    } else if (equals == 2) {
        switch (entry.text[1]) {
        case L'W':
            compat::SetDirectory(compat::Directory::Windows, value, valueLength);
            break;
        case L'S':
            compat::SetDirectory(compat::Directory::System, value, valueLength);
            break;
        case L'C':
            compat::SetDirectory(compat::Directory::Current, value, valueLength);
            break;
        }
    }
}

// An argument is absent (the shared empty string), the start folder, or a terminated piece
// of the command line itself.
void CheckArgument(const wchar_t* argument, const wchar_t* line, size_t lineUnits, bool mayBeFolder)
{
    if (argument == SharedEmptyString) {
        return;
    }
    if (mayBeFolder && argument == LaunchSettings.startFolder) {
        return;
    }
    Require(PointsInto(argument, line, lineUnits));
    Require(IsTerminatedWithin(argument, static_cast<size_t>(line + lineUnits - argument)));
}

void CheckSettings()
{
    Require(IsTerminatedWithin(LaunchSettings.title, kLabelUnits));
    Require(IsTerminatedWithin(LaunchSettings.cancelLabel, kLabelUnits));
    Require(IsTerminatedWithin(LaunchSettings.startFolder, kPathUnits));
    Require(IsTerminatedWithin(LaunchSettings.selectName, kPathUnits));
    Require(LaunchSettings.previousSelection[0] == L'\0');
    Require(SameText(LaunchSettings.title, L"Veltrin Explorer"));
    Require(SameText(LaunchSettings.cancelLabel, L"Exit"));
    Require((LaunchSettings.windowFlags &
             ~(WF_MAXIMIZE | WF_HIDEADDRESS | WF_HIDEFILENAME | WF_MAXBUTTON)) == 0);
    Require(LaunchSettings.navFlags == 0 || LaunchSettings.navFlags == NF_NOCHANGEDIR);
    Require(LaunchSettings.tailoringDone == 0 && LaunchSettings.firstFolderChange == 1);
}

void CheckExpansion(const Field& text)
{
    const size_t length = text.length < kPathUnits - 1 ? text.length : kPathUnits - 1;
    wchar_t* const folder = LaunchSettings.startFolder;
    for (size_t index = 0; index < length; ++index) {
        folder[index] = text.text[index];
    }
    folder[length] = L'\0';
    const wchar_t* const firstPercent = wcschr(folder, L'%');
    const bool hasMacro = firstPercent != nullptr && wcschr(firstPercent + 1, L'%') != nullptr;

    GuardAllFieldsBut(folder, kPathUnits);
    wchar_t* const result = ExpandFolderMacros();
    LiftGuards();

    Require(result == folder);
    Require(IsTerminatedWithin(folder, kPathUnits));
    // Text without a macro is never altered.
    Require(hasMacro || (SameUnits(folder, text.text, length) && folder[length] == L'\0'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Units input = BeginInput(data, size);

    const size_t blockEnd = FindBlockEnd(input);
    if (blockEnd < input.length) {
        while (input.position < blockEnd) {
            ApplyEntry(NextField(input));
        }
        input.position = blockEnd + 2;
    }
    const Field lineField = NextField(input);
    const size_t lineUnits = lineField.length + 1;
    wchar_t* line = CopyExactly(lineField.text, lineField.length);

    size_t firstUnit = 0;
    while (line[firstUnit] == L' ') {
        ++firstUnit;
    }
    const bool textBeforeFirstSwitch = line[firstUnit] != L'\0' && line[firstUnit] != L'/';

    GuardUnits(LaunchSettings.previousSelection, kPathUnits);
    Require(wWinMain(nullptr, nullptr, line, 1) == 0);
    LiftGuards();

    const compat::BrowserCall& call = compat::BrowserCalls();
    const int syntaxMessages = compat::MessageBoxCount(kSyntaxCaption);
    Require(compat::OleInitializeCount() == 1 && compat::OleUninitializeCount() == 1);
    Require(compat::MessageBoxTotal() == syntaxMessages);
    Require(syntaxMessages + call.count == 1);
    Require(!textBeforeFirstSwitch || syntaxMessages == 1);
    Require(SharedEmptyString[0] == L'\0');
    CheckSettings();
    if (call.count == 1) {
        CheckArgument(call.folder, line, lineUnits, true);
        CheckArgument(call.filter, line, lineUnits, false);
        CheckArgument(call.title, line, lineUnits, false);
        CheckArgument(call.cancel, line, lineUnits, false);
    }

    CheckExpansion(lineField);

    free(line);
    FreeUnits(input);
    return 0;
}
