// The /FILTER value: "descr | spec | descr | spec ...", cut in place into file-type pairs.
#include "LaunchSettings.h"

#include <wchar.h>

namespace {

// Only spaces are skipped in front of a field; a tab there belongs to the field.
wchar_t* SkipSpaces(wchar_t* text)
{
    while (*text == L' ') {
        ++text;
    }
    return text;
}

void ShowFilterSyntaxMessage()
{
    MessageBoxW(nullptr,
                L"Filter syntax:\n"
                L"\n"
                L"\tdescr | spec { ... | descr | spec}\n"
                L"\n"
                L"Example:\n"
                L"\n"
                L"\tImage files | *.png; *.ico;*.jpg | documents | *.doc;*.docx\n"
                L"\n"
                L"Note: Do not embed spaces within the spec field!",
                L"VeltrinExplorer Bad /FILTER Argument", MB_OK);
}

} // namespace

int ParseFilterArgument(wchar_t* filterArgument, COMDLG_FILTERSPEC table[kMaxFilterPairs])
{
    if (filterArgument == nullptr) {
        return 0;
    }
    int count = 0;
    for (wchar_t* field = filterArgument; field != nullptr && *field != L'\0';) {
        field = SkipSpaces(field);
        // With the table full the rest is ignored quietly, whatever it holds.
        if (count == kMaxFilterPairs) {
            break;
        }
        wchar_t* descriptionEnd = wcschr(field, L'|');
        if (descriptionEnd == nullptr) {
            ShowFilterSyntaxMessage();
            break;
        }
        *descriptionEnd = L'\0';
        wchar_t* spec = descriptionEnd + 1;
        wchar_t* next = wcschr(spec, L'|');
        if (next != nullptr) {
            *next++ = L'\0';
        }
        table[count].pszName = TrimTrailingBlanks(SkipSpaces(field));
        table[count].pszSpec = TrimTrailingBlanks(SkipSpaces(spec));
        ++count;
        field = next;
    }
    return count;
}
