// A file type registered under HKCR for the length of a test, whose "open" command is the
// launch recorder: every launch of such a file becomes a line in a log the test can read.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class RecordingFileType {
public:
    // extension with its dot, e.g. L".vxrec"; the log goes to logPath, which is emptied first.
    // The variable VELTRIN_LAUNCH_LOG is set in this process, so launched children inherit it.
    RecordingFileType(const std::wstring& extension, const std::wstring& logPath);
    ~RecordingFileType();
    RecordingFileType(const RecordingFileType&) = delete;
    RecordingFileType& operator=(const RecordingFileType&) = delete;

    // The launched paths so far, in the order the recorder saw them.
    std::vector<std::wstring> Launches() const;
    // Polls until at least count launches are logged or timeoutMs pass.
    std::vector<std::wstring> WaitForLaunches(size_t count, DWORD timeoutMs) const;

private:
    std::wstring extension_;
    std::wstring progId_;
    std::wstring logPath_;
};

// Directory of the running test executable, with a trailing backslash.
std::wstring ExecutableDirectory();
