#include "RecordingFileType.h"

#include <fstream>
#include <sstream>

namespace {

void SetDefaultValue(const std::wstring& key, const std::wstring& value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
}

std::wstring FromUtf8(const std::string& text)
{
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    return wide;
}

} // namespace

std::wstring ExecutableDirectory()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

RecordingFileType::RecordingFileType(const std::wstring& extension, const std::wstring& logPath)
    : extension_(extension), progId_(L"VeltrinTest" + extension.substr(1)), logPath_(logPath)
{
    DeleteFileW(logPath_.c_str());
    SetEnvironmentVariableW(L"VELTRIN_LAUNCH_LOG", logPath_.c_str());
    SetDefaultValue(extension_, progId_);
    SetDefaultValue(progId_ + L"\\shell\\open\\command",
                    L"\"" + ExecutableDirectory() + L"launch-recorder.exe\" \"%1\"");
}

RecordingFileType::~RecordingFileType()
{
    RegDeleteTreeW(HKEY_CLASSES_ROOT, progId_.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, extension_.c_str());
    DeleteFileW(logPath_.c_str());
    SetEnvironmentVariableW(L"VELTRIN_LAUNCH_LOG", nullptr);
}

std::vector<std::wstring> RecordingFileType::Launches() const
{
    std::vector<std::wstring> launches;
    std::ifstream log(logPath_.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(log, line)) {
        launches.push_back(FromUtf8(line));
    }
    return launches;
}

std::vector<std::wstring> RecordingFileType::WaitForLaunches(size_t count, DWORD timeoutMs) const
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::vector<std::wstring> launches = Launches();
    while (launches.size() < count && GetTickCount64() < deadline) {
        Sleep(50);
        launches = Launches();
    }
    return launches;
}
