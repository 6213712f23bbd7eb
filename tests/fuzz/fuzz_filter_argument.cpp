// A /FILTER value through the filter parser. Input: UTF-16LE units up to a NUL or the end.
#include "FuzzSupport.h"
#include "LayerControl.h"

#include <stdlib.h>
#include <wchar.h>

namespace {

const wchar_t kFilterCaption[] = L"VeltrinExplorer Bad /FILTER Argument";
const wchar_t kUntouched[] = L"untouched";

bool IsBlank(wchar_t unit)
{
    return unit == L' ' || unit == L'\t';
}

// A field lies inside the argument, is terminated there, holds no bar, and has lost its
// leading spaces and trailing blanks.
void CheckField(const wchar_t* field, const wchar_t* argument, size_t argumentUnits)
{
    Require(PointsInto(field, argument, argumentUnits));
    Require(IsTerminatedWithin(field, static_cast<size_t>(argument + argumentUnits - field)));
    const size_t length = wcslen(field);
    Require(wcschr(field, L'|') == nullptr);
    Require(length == 0 || (field[0] != L' ' && !IsBlank(field[length - 1])));
}

bool IsInsideEntry(const wchar_t* unit, const COMDLG_FILTERSPEC* table, int count)
{
    for (int index = 0; index < count; ++index) {
        const wchar_t* const fields[] = {table[index].pszName, table[index].pszSpec};
        for (const wchar_t* field : fields) {
            if (unit >= field && unit < field + wcslen(field)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Units input = BeginInput(data, size);
    const Field value = NextField(input);
    const size_t argumentUnits = value.length + 1;
    wchar_t* argument = CopyExactly(value.text, value.length);

    COMDLG_FILTERSPEC* table = NewFilterTable();
    for (int index = 0; index < kMaxFilterPairs; ++index) {
        table[index] = {kUntouched, kUntouched};
    }

    const int count = ParseFilterArgument(argument, table);

    const int messages = compat::MessageBoxCount(kFilterCaption);
    Require(count >= 0 && count <= kMaxFilterPairs);
    Require(compat::MessageBoxTotal() == messages && messages <= 1);
    Require(messages == 0 || count < kMaxFilterPairs);
    Require(value.length > 0 || (count == 0 && messages == 0));

    const wchar_t* previousEnd = argument;
    for (int index = 0; index < count; ++index) {
        CheckField(table[index].pszName, argument, argumentUnits);
        CheckField(table[index].pszSpec, argument, argumentUnits);
        // Pairs keep the order of the argument and never overlap.
        Require(table[index].pszName >= previousEnd);
        Require(table[index].pszSpec > table[index].pszName + wcslen(table[index].pszName));
        previousEnd = table[index].pszSpec + wcslen(table[index].pszSpec);
    }
    for (int index = count; index < kMaxFilterPairs; ++index) {
        Require(table[index].pszName == kUntouched && table[index].pszSpec == kUntouched);
    }

    // The parse only cuts: a bar or a blank may become a NUL, nothing else changes.
    Require(argument[value.length] == L'\0');
    for (size_t index = 0; index < value.length; ++index) {
        const wchar_t before = value.text[index];
        Require(argument[index] == before ||
                (argument[index] == L'\0' && (before == L'|' || IsBlank(before))));
    }
    // A parse that ended without a message and without a full table kept every unit that is
    // not a bar or a blank inside some pair.
    if (messages == 0 && count < kMaxFilterPairs) {
        for (size_t index = 0; index < value.length; ++index) {
            Require(value.text[index] == L'|' || IsBlank(value.text[index]) ||
                    IsInsideEntry(argument + index, table, count));
        }
    }

    free(table);
    free(argument);
    FreeUnits(input);
    return 0;
}
