// Stands in for a system DLL planted beside a program: when its code runs in a process, it
// leaves an empty file named after itself plus ".ran" in its folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t marker[MAX_PATH + 4];
        const DWORD length = GetModuleFileNameW(instance, marker, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcpyW(marker + length, L".ran");
            CloseHandle(CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
    return TRUE;
}
