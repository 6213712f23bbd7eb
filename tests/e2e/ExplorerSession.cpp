#include "ExplorerSession.h"

#include "RecordingFileType.h"

#include <commctrl.h>

using namespace WindowDriver;

namespace {

const wchar_t kDialogClass[] = L"#32770";

bool HoldsFileView(HWND dialog)
{
    return FindDescendant(dialog, L"SysListView32", -1) != nullptr;
}

struct ProcessDialogs {
    DWORD processId;
    std::vector<HWND> dialogs;
};

BOOL CALLBACK CollectProcessDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<ProcessDialogs*>(parameter);
    if (WindowProcessId(window) == search->processId && IsVisible(window) &&
        ClassName(window) == kDialogClass) {
        search->dialogs.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> VisibleDialogs(DWORD processId)
{
    ProcessDialogs search = {processId, {}};
    EnumWindows(CollectProcessDialog, reinterpret_cast<LPARAM>(&search));
    return search.dialogs;
}

} // namespace

ExplorerSession::ExplorerSession(const std::wstring& arguments,
                                 const EnvironmentAdditions& environmentAdditions,
                                 const std::wstring& programPath)
    : program_(programPath.empty() ? ExecutableDirectory() + L"VeltrinExplorer.exe" : programPath,
               arguments, environmentAdditions)
{
}

bool ExplorerSession::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const
{
    return program_.WaitForExit(timeoutMs, exitCode);
}

HWND ExplorerSession::FindBrowser() const
{
    for (HWND dialog : VisibleDialogs(ProcessId())) {
        if (HoldsFileView(dialog)) {
            return dialog;
        }
    }
    return nullptr;
}

HWND ExplorerSession::WaitForTailoredBrowser() const
{
    HWND browser = nullptr;
    const bool tailored = WaitUntil(
        [&] {
            browser = FindBrowser();
            HWND openButton = browser != nullptr ? GetDlgItem(browser, IDOK) : nullptr;
            return openButton != nullptr && !IsVisible(openButton);
        },
        kWindowTimeoutMs);
    // Once the dialog answers a message, the event that tailored it has returned.
    return tailored && IsResponsive(browser, kWindowTimeoutMs) ? browser : nullptr;
}

HWND ExplorerSession::WaitForMessageBox(const std::wstring& caption, DWORD timeoutMs) const
{
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : VisibleDialogs(ProcessId())) {
                if (!HoldsFileView(dialog) && WindowText(dialog) == caption) {
                    box = dialog;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return box;
}

bool ExplorerSession::ExitThroughCancel(HWND browser) const
{
    PressButton(browser, IDCANCEL);
    DWORD exitCode = 1;
    return WaitForExit(kExitTimeoutMs, &exitCode) && exitCode == 0;
}

HWND FileList(HWND browser)
{
    return FindDescendant(browser, L"SysListView32", -1);
}

std::wstring FileNameBoxText(HWND browser)
{
    return ControlText(browser, kFileNameEditId);
}

std::vector<std::wstring> WaitForListItems(HWND browser, const std::vector<std::wstring>& expected)
{
    std::vector<std::wstring> items;
    WaitUntil(
        [&] {
            items = ListViewItemTexts(FileList(browser));
            return items == expected;
        },
        kWindowTimeoutMs);
    return items;
}

bool SelectListItem(HWND browser, int index)
{
    HWND list = FileList(browser);
    PressKey(list, VK_HOME);
    for (int step = 0; step < index; ++step) {
        PressKey(list, VK_DOWN);
    }
    return WaitUntil([&] { return ListViewSelection(list) == index; }, kWindowTimeoutMs);
}
