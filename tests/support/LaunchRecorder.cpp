// Stand-in "open" command for test file types: appends its argument, one line, UTF-8, to the
// file named by VELTRIN_LAUNCH_LOG.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv)
{
    wchar_t logPath[MAX_PATH];
    if (argc < 2 || GetEnvironmentVariableW(L"VELTRIN_LAUNCH_LOG", logPath, MAX_PATH) == 0) {
        return 1;
    }
    std::wstring line = argv[1];
    line += L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &utf8[0], bytes,
                        nullptr, nullptr);

    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(log, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(log);
    return 0;
}
