// A start folder, a filter value and a folder listing through the choice of the initial file
// name.
//
// Input, as UTF-16LE units, in fields ended by NUL: the start folder, the filter value, then
// the listing in the order the system returns it, each entry one unit of attribute bits
// followed by the name. Bit 15 of that unit is dropped, so that 0x8000 stands for none.
#include "FuzzSupport.h"
#include "LayerControl.h"

#include <stdlib.h>
#include <wchar.h>

namespace {

struct ListedEntry {
    const wchar_t* name;
    DWORD attributes;
};

bool IsAcceptable(DWORD attributes)
{
    return (attributes &
            (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

int BuildListing(Units& input, ListedEntry* listing)
{
    int count = 0;
    while (input.position < input.length && count < compat::kMaxListingEntries) {
        const Field field = NextField(input);
        if (field.length < 2) {
            continue;
        }
        const DWORD attributes = field.text[0] & 0x7FFFu;
        if (compat::AddListingEntry(field.text + 1, field.length - 1, attributes)) {
            // The layer keeps its own copy; this one, ended by the field's NUL, lives as long
            // as the input.
            listing[count++] = {field.text + 1, attributes};
        }
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Units input = BeginInput(data, size);
    const Field folderField = NextField(input);
    const Field filterField = NextField(input);
    wchar_t* folder = CopyExactly(folderField.text, folderField.length);
    wchar_t* filter = CopyExactly(filterField.text, filterField.length);

    COMDLG_FILTERSPEC* table = NewFilterTable();
    const int count = ParseFilterArgument(filter, table);
    wchar_t* specsBefore[kMaxFilterPairs];
    for (int index = 0; index < count; ++index) {
        specsBefore[index] = CopyExactly(table[index].pszSpec, wcslen(table[index].pszSpec));
    }
    const int messagesBefore = compat::MessageBoxTotal();

    compat::SetListingFolder(folderField.text, folderField.length);
    ListedEntry listing[compat::kMaxListingEntries];
    const int listed = BuildListing(input, listing);
    int firstAcceptable = -1;
    for (int index = listed - 1; index >= 0; --index) {
        firstAcceptable = IsAcceptable(listing[index].attributes) ? index : firstAcceptable;
    }

    GuardAllFieldsBut(LaunchSettings.selectName, kPathUnits);
    const bool found = ChooseInitialFileName(folder, table, count);
    LiftGuards();

    const wchar_t* const selectName = LaunchSettings.selectName;
    Require(compat::OpenSearchCount() == 0);
    Require(compat::MessageBoxTotal() == messagesBefore);
    Require(IsTerminatedWithin(selectName, kPathUnits));
    Require(SameUnits(folder, folderField.text, folderField.length) &&
            folder[folderField.length] == L'\0');
    for (int index = 0; index < count; ++index) {
        Require(SameText(table[index].pszSpec, specsBefore[index]));
        free(specsBefore[index]);
    }
    if (found) {
        bool chosenIsAcceptable = false;
        for (int index = 0; index < listed; ++index) {
            chosenIsAcceptable = chosenIsAcceptable || (SameText(selectName, listing[index].name) &&
                                                        IsAcceptable(listing[index].attributes));
        }
        Require(chosenIsAcceptable);
        // Without patterns only the walk through the whole folder can choose.
        Require(count > 0 || SameText(selectName, listing[firstAcceptable].name));
    } else {
        // The walk through the whole folder misses a visible file only when its search path
        // does not fit.
        const bool walkFits = folderField.length > 0 && folderField.length + 2 < kPathUnits;
        Require(!walkFits || firstAcceptable < 0);
        Require(selectName[0] == L'\0');
    }

    free(table);
    free(filter);
    free(folder);
    FreeUnits(input);
    return 0;
}
