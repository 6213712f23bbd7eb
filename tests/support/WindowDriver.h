// Drives the windows of another process from the outside, as a user would: launch a program,
// wait for its window, read what its controls show, type, press buttons and close it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace WindowDriver {

using EnvironmentAdditions = std::vector<std::pair<std::wstring, std::wstring>>;

// Starts program with the given argument text (the part after the program's name) and this
// process's environment, with the additions set or replaced. Returns the process handle, or
// nullptr when the process could not be created; processId receives its id.
HANDLE LaunchProgram(const std::wstring& program, const std::wstring& arguments,
                     const EnvironmentAdditions& environmentAdditions, DWORD* processId);

// A launched program that is killed at the end of the holder's scope unless it has ended.
class LaunchedProgram {
public:
    LaunchedProgram(const std::wstring& program, const std::wstring& arguments,
                    const EnvironmentAdditions& environmentAdditions = {});
    ~LaunchedProgram();
    LaunchedProgram(const LaunchedProgram&) = delete;
    LaunchedProgram& operator=(const LaunchedProgram&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD ProcessId() const { return processId_; }
    bool IsRunning() const;
    // True and the exit code when the process ends within timeoutMs.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

// True when the process ends within timeoutMs; exitCode (optional) receives its exit code.
bool WaitForProcessExit(HANDLE process, DWORD timeoutMs, DWORD* exitCode);
void KillProcess(HANDLE process);

// A visible top-level window of this class whose caption equals title (any caption when title
// is null), belonging to processId (any process when 0); nullptr when there is none.
HWND FindTopWindow(const wchar_t* className, const wchar_t* title, DWORD processId);
// Polls FindTopWindow until it finds a window or timeoutMs pass.
HWND WaitForTopWindow(const wchar_t* className, const wchar_t* title, DWORD processId,
                      DWORD timeoutMs);
// Polls until condition() holds or timeoutMs pass; returns its last result.
template <typename Condition> bool WaitUntil(Condition condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) {
            return condition();
        }
        Sleep(30);
    }
    return true;
}

DWORD WindowProcessId(HWND window);
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND parent, int controlId);
std::wstring ClassName(HWND window);
LONG WindowStyle(HWND window);
bool IsVisible(HWND window);
bool IsEnabled(HWND window);

// Every descendant of parent, in the order EnumChildWindows reports them.
std::vector<HWND> Descendants(HWND parent);
// The first descendant of this class (any class when null) and control id (any id when -1).
HWND FindDescendant(HWND parent, const wchar_t* className, int controlId);

// The texts of a list view's items, in item order, read from the list's own process.
std::vector<std::wstring> ListViewItemTexts(HWND list);
// The index of the first selected list-view item, -1 when none is selected.
int ListViewSelection(HWND list);
// The texts of a combo box's list, in item order.
std::vector<std::wstring> ComboBoxItemTexts(HWND comboBox);
// True when window answers messages within timeoutMs.
bool IsResponsive(HWND window, UINT timeoutMs);

// Clears an edit control and types text into it as posted keystrokes.
void TypeText(HWND edit, const std::wstring& text);
// Presses the button with this id on dialog, also when the button is hidden or disabled.
void PressButton(HWND dialog, int controlId);
// Posts a key press (down and up) to window.
void PressKey(HWND window, WORD virtualKey);
void PostCloseMessage(HWND window);
void PostSystemClose(HWND window);

} // namespace WindowDriver
