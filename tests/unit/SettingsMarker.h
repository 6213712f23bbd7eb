// Fills LaunchSettings with a marker before a routine runs, so that a test can tell afterwards
// that nothing outside the fields the routine may write has changed.
#pragma once

#include "LaunchSettings.h"

#include <cstddef>
#include <initializer_list>
#include <string>

struct FieldSpan {
    const void* begin;
    size_t bytes;
};

template <typename Field> FieldSpan SpanOf(const Field& field)
{
    return {&field, sizeof field};
}

// Every byte of the record becomes the marker; windowFlags is then cleared, since the switch
// parser only ever adds bits to it.
void MarkLaunchSettings();

// The offsets of the record's bytes that lie outside every writable span and no longer hold
// the marker, as text for a readable failure ("" when there are none).
std::wstring ChangedOutside(std::initializer_list<FieldSpan> writable);

// The field holds a terminator within its own units.
bool TerminatedWithin(const wchar_t (&field)[kPathUnits]);
