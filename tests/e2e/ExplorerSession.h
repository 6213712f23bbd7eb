// One run of VeltrinExplorer.exe for a scenario: launched from the test's directory, found by
// its process id on screen, and killed when the scenario ends without having closed it.
#pragma once

#include "WindowDriver.h"

#include <string>
#include <vector>

constexpr DWORD kWindowTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 10000;
// How long a scenario watches for something that must not happen.
constexpr DWORD kQuietPeriodMs = 1500;

constexpr int kFileNameLabelId = 1090;
constexpr int kFileNameEditId = 1152;
constexpr int kFileTypesComboId = 1136;
constexpr int kMessageBoxTextId = 0xFFFF;

class ExplorerSession {
public:
    // Runs the built program, or the copy at programPath when one is given.
    explicit ExplorerSession(const std::wstring& arguments,
                             const WindowDriver::EnvironmentAdditions& environmentAdditions = {},
                             const std::wstring& programPath = L"");

    bool Started() const { return program_.Started(); }
    DWORD ProcessId() const { return program_.ProcessId(); }
    bool IsRunning() const { return program_.IsRunning(); }
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;

    // The program's browser dialog: a visible "#32770" window of this process that holds the
    // file view. nullptr when there is none now.
    HWND FindBrowser() const;
    // Waits for the browser and for its one-time tailoring, which hides the Open button.
    HWND WaitForTailoredBrowser() const;
    // A visible "#32770" window of this process with this caption that is not the browser.
    HWND WaitForMessageBox(const std::wstring& caption, DWORD timeoutMs = kWindowTimeoutMs) const;

    // Presses the browser's Cancel ("Exit") button and returns whether the program then ended
    // with exit code 0.
    bool ExitThroughCancel(HWND browser) const;

private:
    WindowDriver::LaunchedProgram program_;
};

// The file list of the browser and the text of its file-name box.
HWND FileList(HWND browser);
std::wstring FileNameBoxText(HWND browser);
// The list's item texts once they equal expected, or as they are when the wait times out: the
// view may fill its list after the dialog is on screen.
std::vector<std::wstring> WaitForListItems(HWND browser, const std::vector<std::wstring>& expected);
// Posts keys to the list until the item at index is the one selected; false on timeout.
bool SelectListItem(HWND browser, int index);
