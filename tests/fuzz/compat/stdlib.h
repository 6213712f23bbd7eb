// The C library's stdlib.h plus the Windows runtime's wide environment and path routines. The
// C library's own wide routines assume a 32-bit wchar_t, so none of them may be used here.
#pragma once

#include_next <stdlib.h>

#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

typedef int errno_t;

wchar_t* _wgetenv(const wchar_t* name);
void _wsplitpath(const wchar_t* path, wchar_t* drive, wchar_t* directory, wchar_t* fileName,
                 wchar_t* extension);
errno_t _wsplitpath_s(const wchar_t* path, wchar_t* drive, size_t driveUnits, wchar_t* directory,
                      size_t directoryUnits, wchar_t* fileName, size_t fileNameUnits,
                      wchar_t* extension, size_t extensionUnits);
