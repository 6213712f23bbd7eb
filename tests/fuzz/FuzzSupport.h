// What the fuzz targets share: decoding the input into UTF-16 units, exactly-sized heap
// copies that the sanitizer watches, and the checks that stop the run when one fails.
#pragma once

#include "LaunchSettings.h"

#include <stddef.h>
#include <stdint.h>

// The input as UTF-16 little-endian units, an odd last byte ignored, and a read position.
struct Units {
    wchar_t* data;
    size_t length;
    size_t position;
};
// Resets the state (ResetState) and decodes the input, terminated by one more NUL.
Units BeginInput(const uint8_t* bytes, size_t size);
void FreeUnits(Units& units);

// The units from the read position up to the next NUL or the end; the position moves past it.
struct Field {
    const wchar_t* text;
    size_t length;
};
Field NextField(Units& units);

// A terminated copy in a heap block of exactly length + 1 units.
wchar_t* CopyExactly(const wchar_t* text, size_t length);

// A filter table of exactly kMaxFilterPairs entries, to be freed with free().
COMDLG_FILTERSPEC* NewFilterTable();

// LaunchSettings as at load, and the stand-ins for Windows emptied.
void ResetState();

// The fields of LaunchSettings share one object, so the sanitizer alone does not see a write
// that runs from one field into the next. These make every access to the given fields an
// error until the guard is lifted.
void GuardUnits(wchar_t* field, size_t units);
void GuardAllFieldsBut(wchar_t* field, size_t units);
void LiftGuards();

// Stops the run with a crash that libFuzzer records; an invariant of the program is broken.
void Require(bool holds);

bool IsTerminatedWithin(const wchar_t* text, size_t units);
bool PointsInto(const wchar_t* pointer, const wchar_t* buffer, size_t units);
bool SameText(const wchar_t* left, const wchar_t* right);
bool SameUnits(const wchar_t* left, const wchar_t* right, size_t length);
