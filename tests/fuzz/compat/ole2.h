// OLE start-up and shut-down, for the native sanitizer build.
#pragma once

#include <windows.h>

HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
