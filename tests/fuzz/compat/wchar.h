// The wide string routines of the Windows runtime, for 16-bit wchar_t. The C library's wchar.h
// is deliberately not included: its routines work on 32-bit units.
#pragma once

#include <stddef.h>

extern "C" {
size_t wcslen(const wchar_t* text);
wchar_t* wcschr(const wchar_t* text, wchar_t unit);
wchar_t* wcsrchr(const wchar_t* text, wchar_t unit);
}

int _wcsicmp(const wchar_t* left, const wchar_t* right);
int _wcsnicmp(const wchar_t* left, const wchar_t* right, size_t count);
