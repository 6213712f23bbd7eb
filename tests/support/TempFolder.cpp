#include "TempFolder.h"

namespace {

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + name;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path + L"\\");
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (unsigned attempt = GetTickCount(); path_.empty(); ++attempt) {
        const std::wstring candidate =
            std::wstring(temp) + L"veltrin-test-" + std::to_wstring(attempt % 1000000) + L"\\";
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
        }
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(path_);
}

std::wstring TempFolder::AddFile(const std::wstring& name, DWORD attributes) const
{
    const std::wstring path = path_ + name;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return path;
}

std::wstring TempFolder::AddSubfolder(const std::wstring& name) const
{
    const std::wstring path = path_ + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}
