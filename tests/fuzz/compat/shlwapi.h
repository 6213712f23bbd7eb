// The shell's file-name match, for the native sanitizer build.
#pragma once

#include <windows.h>

BOOL PathMatchSpecW(LPCWSTR file, LPCWSTR spec);
