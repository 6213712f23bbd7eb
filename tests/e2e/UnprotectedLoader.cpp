// Loads each DLL named on its command line by name, with the search order a program gets when
// it does nothing about it.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    for (int index = 1; index < argc; ++index) {
        LoadLibraryW(argv[index]);
    }
    return 0;
}
