// A folder under the temporary directory that exists for one test, removed with all it holds.
#pragma once

#include <windows.h>

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path with a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Creates an empty file and returns its full path.
    std::wstring AddFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;
    std::wstring AddSubfolder(const std::wstring& name) const;

private:
    std::wstring path_;
};
