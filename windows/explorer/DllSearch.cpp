// Where the process looks for the DLLs it loads by name: the system folder, never the
// program's own folder, which may well be a Downloads folder with planted files beside the exe.
#include "LaunchSettings.h"

#if defined(__MINGW32__)
// The exe's own imports are resolved before any of its code runs, so their search order can
// only come from this record, which the loader reads from the image. These headers still call
// the dependent-load flags Reserved1. A Visual C++ build gets the record from its runtime and
// the flags from /DEPENDENTLOADFLAG.
constexpr IMAGE_LOAD_CONFIG_DIRECTORY MakeLoadConfiguration()
{
    IMAGE_LOAD_CONFIG_DIRECTORY configuration{};
    configuration.Size = sizeof configuration;
    configuration.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return configuration;
}

extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = MakeLoadConfiguration();
#endif

void RestrictDllSearch()
{
    // Windows 7 without its 2011 loader update lacks the call; there the current folder at
    // least leaves the search.
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories == nullptr ||
        !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}
