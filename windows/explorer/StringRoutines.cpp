// The string routines every concern shares.
#include "LaunchSettings.h"

#include <string.h>
#include <wchar.h>

void CopyBounded(wchar_t* destination, const wchar_t* source, int count)
{
    if (destination == source || count <= 0 || destination == nullptr) {
        return;
    }
    int copied = 0;
    if (source != nullptr) {
        for (; copied < count - 1 && source[copied] != L'\0'; ++copied) {
            destination[copied] = source[copied];
        }
    }
    destination[copied] = L'\0';
}

wchar_t* TrimTrailingBlanks(wchar_t* text)
{
    if (text == nullptr) {
        return text;
    }
    size_t length = wcslen(text);
    while (length > 0 && (text[length - 1] == L' ' || text[length - 1] == L'\t')) {
        text[--length] = L'\0';
    }
    return text;
}

wchar_t* StripEnclosingQuotes(wchar_t* text)
{
    if (text == nullptr || text[0] == L'\0') {
        return text;
    }
    TrimTrailingBlanks(text);
    size_t length = wcslen(text);
    if (length > 0 && text[0] == L'"' && text[length - 1] == L'"') {
        // A lone quote counts as both the opening and the closing one.
        size_t inner = length >= 2 ? length - 2 : 0;
        memmove(text, text + 1, inner * sizeof(wchar_t));
        text[inner] = L'\0';
    }
    return text;
}
