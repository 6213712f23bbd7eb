#include "WindowDriver.h"

#include <commctrl.h>
#include <wchar.h>

namespace WindowDriver {

namespace {

constexpr UINT kMessageTimeoutMs = 2000;

std::wstring VariableName(const wchar_t* entry)
{
    // Entries such as "=C:=C:\dir" begin with '='; the name's own '=' comes after it.
    const wchar_t* equals = wcschr(entry + 1, L'=');
    return equals != nullptr ? std::wstring(entry, equals) : std::wstring(entry);
}

// This process's environment block with the additions replacing variables of the same name.
std::wstring BuildEnvironmentBlock(const EnvironmentAdditions& additions)
{
    std::wstring block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; entry != nullptr && *entry != L'\0';
         entry += wcslen(entry) + 1) {
        const std::wstring name = VariableName(entry);
        bool replaced = false;
        for (const auto& addition : additions) {
            replaced = replaced || _wcsicmp(name.c_str(), addition.first.c_str()) == 0;
        }
        if (!replaced) {
            block.append(entry);
            block.push_back(L'\0');
        }
    }
    FreeEnvironmentStringsW(current);
    for (const auto& addition : additions) {
        block.append(addition.first + L"=" + addition.second);
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

struct TopWindowSearch {
    const wchar_t* className;
    const wchar_t* title;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<TopWindowSearch*>(parameter);
    if (!IsWindowVisible(window) || ClassName(window) != search->className) {
        return TRUE;
    }
    if (search->processId != 0 && WindowProcessId(window) != search->processId) {
        return TRUE;
    }
    if (search->title != nullptr && WindowText(window) != search->title) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectDescendant(HWND window, LPARAM parameter)
{
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

} // namespace

HANDLE LaunchProgram(const std::wstring& program, const std::wstring& arguments,
                     const EnvironmentAdditions& environmentAdditions, DWORD* processId)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    std::wstring environment = BuildEnvironmentBlock(environmentAdditions);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, &environment[0], nullptr, &startup, &created)) {
        return nullptr;
    }
    CloseHandle(created.hThread);
    if (processId != nullptr) {
        *processId = created.dwProcessId;
    }
    return created.hProcess;
}

bool WaitForProcessExit(HANDLE process, DWORD timeoutMs, DWORD* exitCode)
{
    if (process == nullptr || WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    if (exitCode != nullptr) {
        *exitCode = code;
    }
    return true;
}

void KillProcess(HANDLE process)
{
    if (process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
}

LaunchedProgram::LaunchedProgram(const std::wstring& program, const std::wstring& arguments,
                                 const EnvironmentAdditions& environmentAdditions)
{
    // In the body: a member initializer would run before processId_ takes its default.
    process_ = LaunchProgram(program, arguments, environmentAdditions, &processId_);
}

LaunchedProgram::~LaunchedProgram()
{
    if (process_ != nullptr) {
        KillProcess(process_);
        CloseHandle(process_);
    }
}

bool LaunchedProgram::IsRunning() const
{
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool LaunchedProgram::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const
{
    return WaitForProcessExit(process_, timeoutMs, exitCode);
}

HWND FindTopWindow(const wchar_t* className, const wchar_t* title, DWORD processId)
{
    TopWindowSearch search = {className, title, processId, nullptr};
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(const wchar_t* className, const wchar_t* title, DWORD processId,
                      DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(className, title, processId)) != nullptr; },
              timeoutMs);
    return found;
}

DWORD WindowProcessId(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

// WM_GETTEXT is marshalled across processes, so this reads what the control itself reports.
std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length)) {
        return std::wstring();
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
        return std::wstring();
    }
    text.resize(copied);
    return text;
}

std::wstring ControlText(HWND parent, int controlId)
{
    HWND control = GetDlgItem(parent, controlId);
    return control != nullptr ? WindowText(control) : std::wstring();
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256];
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

LONG WindowStyle(HWND window)
{
    return GetWindowLongW(window, GWL_STYLE);
}

bool IsVisible(HWND window)
{
    return IsWindowVisible(window) != FALSE;
}

bool IsEnabled(HWND window)
{
    return IsWindowEnabled(window) != FALSE;
}

std::vector<HWND> Descendants(HWND parent)
{
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectDescendant, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindDescendant(HWND parent, const wchar_t* className, int controlId)
{
    for (HWND window : Descendants(parent)) {
        if ((className == nullptr || ClassName(window) == className) &&
            (controlId == -1 || GetDlgCtrlID(window) == controlId)) {
            return window;
        }
    }
    return nullptr;
}

// LVM_GETITEMTEXTW is not marshalled between processes, so the item record and the text buffer
// are placed in the list's own process.
std::vector<std::wstring> ListViewItemTexts(HWND list)
{
    constexpr int kTextUnits = MAX_PATH;
    std::vector<std::wstring> texts;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                 WindowProcessId(list));
    if (process == nullptr) {
        return texts;
    }
    const SIZE_T bytes = sizeof(LVITEMW) + kTextUnits * sizeof(wchar_t);
    auto* remote = static_cast<BYTE*>(
        VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD_PTR count = 0;
    if (remote != nullptr && SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG,
                                                 kMessageTimeoutMs, &count)) {
        for (DWORD_PTR index = 0; index < count; ++index) {
            LVITEMW item = {};
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            item.cchTextMax = kTextUnits;
            wchar_t text[kTextUnits] = {};
            DWORD_PTR length = 0;
            if (!WriteProcessMemory(process, remote, &item, sizeof(item), nullptr) ||
                !SendMessageTimeoutW(list, LVM_GETITEMTEXTW, index,
                                     reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                                     kMessageTimeoutMs, &length) ||
                !ReadProcessMemory(process, item.pszText, text, sizeof(text), nullptr)) {
                break;
            }
            texts.emplace_back(text, length < kTextUnits ? length : kTextUnits - 1);
        }
    }
    if (remote != nullptr) {
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return texts;
}

int ListViewSelection(HWND list)
{
    DWORD_PTR index = static_cast<DWORD_PTR>(-1);
    SendMessageTimeoutW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED,
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &index);
    return static_cast<int>(index);
}

// CB_GETLBTEXT is marshalled between processes like WM_GETTEXT.
std::vector<std::wstring> ComboBoxItemTexts(HWND comboBox)
{
    std::vector<std::wstring> texts;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(comboBox, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &count) ||
        static_cast<LRESULT>(count) == CB_ERR) {
        return texts;
    }
    for (DWORD_PTR index = 0; index < count; ++index) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(comboBox, CB_GETLBTEXTLEN, index, 0, SMTO_ABORTIFHUNG,
                            kMessageTimeoutMs, &length);
        std::wstring text(length + 1, L'\0');
        SendMessageTimeoutW(comboBox, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]),
                            SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length);
        text.resize(static_cast<LRESULT>(length) == CB_ERR ? 0 : length);
        texts.push_back(text);
    }
    return texts;
}

bool IsResponsive(HWND window, UINT timeoutMs)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &ignored) != 0;
}

void TypeText(HWND edit, const std::wstring& text)
{
    PostMessageW(edit, EM_SETSEL, 0, -1);
    PostMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (wchar_t unit : text) {
        PostMessageW(edit, WM_CHAR, unit, 1);
    }
}

void PressButton(HWND dialog, int controlId)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, controlId)));
}

void PressKey(HWND window, WORD virtualKey)
{
    const LPARAM scanCode = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(window, WM_KEYDOWN, virtualKey, scanCode | 1);
    PostMessageW(window, WM_KEYUP, virtualKey, scanCode | 1 | (3u << 30));
}

void PostCloseMessage(HWND window)
{
    PostMessageW(window, WM_CLOSE, 0, 0);
}

void PostSystemClose(HWND window)
{
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

} // namespace WindowDriver
