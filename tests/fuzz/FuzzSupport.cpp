#include "FuzzSupport.h"

#include "LayerControl.h"

#include <sanitizer/asan_interface.h>
#include <stdlib.h>
#include <string.h>

Units BeginInput(const uint8_t* bytes, size_t size)
{
    ResetState();
    const size_t length = size / 2;
    wchar_t* data = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    Require(data != nullptr);
    for (size_t index = 0; index < length; ++index) {
        data[index] = static_cast<wchar_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
    }
    data[length] = L'\0';
    return {data, length, 0};
}

void FreeUnits(Units& units)
{
    free(units.data);
    units = {nullptr, 0, 0};
}

Field NextField(Units& units)
{
    const size_t start = units.position < units.length ? units.position : units.length;
    size_t end = start;
    while (end < units.length && units.data[end] != L'\0') {
        ++end;
    }
    units.position = end + 1;
    return {units.data + start, end - start};
}

wchar_t* CopyExactly(const wchar_t* text, size_t length)
{
    wchar_t* copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    Require(copy != nullptr);
    memcpy(copy, text, length * sizeof(wchar_t));
    copy[length] = L'\0';
    return copy;
}

COMDLG_FILTERSPEC* NewFilterTable()
{
    void* table = malloc(kMaxFilterPairs * sizeof(COMDLG_FILTERSPEC));
    Require(table != nullptr);
    return static_cast<COMDLG_FILTERSPEC*>(table);
}

void ResetState()
{
    LiftGuards();
    compat::Reset();
    LaunchSettings = LaunchSettingsRecord{};
    LaunchSettings.firstFolderChange = 1;
}

void GuardUnits(wchar_t* field, size_t units)
{
    ASAN_POISON_MEMORY_REGION(field, units * sizeof(wchar_t));
}

void GuardAllFieldsBut(wchar_t* field, size_t units)
{
    char* const begin = reinterpret_cast<char*>(&LaunchSettings);
    char* const fieldBegin = reinterpret_cast<char*>(field);
    char* const fieldEnd = reinterpret_cast<char*>(field + units);
    ASAN_POISON_MEMORY_REGION(begin, static_cast<size_t>(fieldBegin - begin));
    ASAN_POISON_MEMORY_REGION(fieldEnd,
                              static_cast<size_t>(begin + sizeof(LaunchSettings) - fieldEnd));
}

void LiftGuards()
{
    ASAN_UNPOISON_MEMORY_REGION(&LaunchSettings, sizeof(LaunchSettings));
}

void Require(bool holds)
{
    if (!holds) {
        __builtin_trap();
    }
}

bool IsTerminatedWithin(const wchar_t* text, size_t units)
{
    for (size_t index = 0; index < units; ++index) {
        if (text[index] == L'\0') {
            return true;
        }
    }
    return false;
}

bool PointsInto(const wchar_t* pointer, const wchar_t* buffer, size_t units)
{
    const uintptr_t address = reinterpret_cast<uintptr_t>(pointer);
    const uintptr_t begin = reinterpret_cast<uintptr_t>(buffer);
    return address >= begin && address < begin + units * sizeof(wchar_t);
}

bool SameText(const wchar_t* left, const wchar_t* right)
{
    for (; *left == *right; ++left, ++right) {
        if (*left == L'\0') {
            return true;
        }
    }
    return false;
}

bool SameUnits(const wchar_t* left, const wchar_t* right, size_t length)
{
    return memcmp(left, right, length * sizeof(wchar_t)) == 0;
}
