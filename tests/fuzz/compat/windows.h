// The Windows types, constants and functions that the program's text routines use, for the
// native sanitizer build. wchar_t is a 16-bit UTF-16 unit there, as on Windows (-fshort-wchar).
#pragma once

#include <stddef.h>
#include <stdint.h>

// The calling conventions of 32-bit Windows mean nothing on this target.
#define __stdcall
#define WINAPI

typedef uint8_t BYTE;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int BOOL;
typedef int32_t HRESULT;
typedef void* LPVOID;
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;

#define MAX_PATH 260
#define FALSE 0
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define MB_OK 0x00000000u
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    wchar_t cFileName[MAX_PATH];
    wchar_t cAlternateFileName[14];
};

HANDLE FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* findData);
BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* findData);
BOOL FindClose(HANDLE search);
UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size);
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
