// One-time reshaping of the dialog window on its first folder change.
#include "EventSink.h"

#include <shlwapi.h>
#include <wchar.h>

namespace {

constexpr int kAddressBarId = 40965;
constexpr int kFolderComboId = 1001;
constexpr int kFileNameLabelId = 1090;
constexpr int kControlTextUnits = 20;
constexpr int kClassNameUnits = 100;
constexpr int kTabWalkBudget = 30;

// Used only when the dialog has no IDOK child: follows the tab order from the first group
// item and hides the first control that reads exactly "Open".
void HideOpenButtonByTabOrder(HWND dialogWindow)
{
    HWND start = GetNextDlgGroupItem(dialogWindow, nullptr, FALSE);
    if (start == nullptr) {
        return;
    }
    HWND current = start;
    HWND firstVisited = nullptr;
    for (int budget = kTabWalkBudget; --budget > 0;) {
        HWND next = GetNextDlgTabItem(dialogWindow, current, FALSE);
        if (next == nullptr || next == current || next == start || next == firstVisited) {
            return;
        }
        current = next;
        if (firstVisited == nullptr) {
            firstVisited = next;
        }
        const int id = GetDlgCtrlID(next);
        if (id == 0) {
            continue;
        }
        wchar_t text[kControlTextUnits];
        if (GetDlgItemTextW(dialogWindow, id, text, kControlTextUnits) != 0 &&
            wcscmp(text, L"Open") == 0) {
            ShowWindow(next, SW_HIDE);
            return;
        }
    }
}

void HideOpenButton(HWND dialogWindow)
{
    HWND openButton = GetDlgItem(dialogWindow, IDOK);
    if (openButton != nullptr) {
        ShowWindow(openButton, SW_HIDE);
        return;
    }
    HideOpenButtonByTabOrder(dialogWindow);
}

} // namespace

BOOL CALLBACK TrimChildWindow(HWND child, LPARAM)
{
    wchar_t className[kClassNameUnits];
    if (GetClassNameW(child, className, kClassNameUnits) == 0) {
        className[0] = L'\0';
    }
    const int id = GetDlgCtrlID(child);
    const DWORD windowFlags = LaunchSettings.windowFlags;

    if ((windowFlags & WF_HIDEADDRESS) != 0) {
        if (id == kAddressBarId || wcscmp(className, L"ReBarWindow32") == 0) {
            DestroyWindow(child);
        }
    } else if ((LaunchSettings.navFlags & NF_FOLDERLOCK) != 0 && id == kFolderComboId) {
        EnableWindow(child, FALSE);
    }

    if ((windowFlags & WF_HIDEFILENAME) != 0 &&
        (id == kFileNameLabelId || id == kFileNameBoxId || id == kWineFileNameEditId ||
         wcscmp(className, L"ComboBox") == 0 || wcscmp(className, L"ComboBoxEx32") == 0)) {
        ShowWindow(child, SW_HIDE);
    }
    return TRUE;
}

void TailorDialogWindow(IFileDialog* dialog)
{
    const DWORD windowFlags = LaunchSettings.windowFlags;
    HWND dialogWindow = FindWindowW(L"#32770", LaunchSettings.title);
    IUnknown_GetWindow(dialog, &dialogWindow);
    if (dialogWindow == nullptr) {
        return;
    }

    if ((windowFlags & (WF_MAXIMIZE | WF_MAXBUTTON)) != 0) {
        const LONG style = GetWindowLongW(dialogWindow, GWL_STYLE);
        SetWindowLongW(dialogWindow, GWL_STYLE, style | WS_SYSMENU | WS_MAXIMIZEBOX);
    }
    HideOpenButton(dialogWindow);

    // The dialog's own window, not whichever window of the same title a new search would
    // find: another instance may share the caption.
    if ((windowFlags & (WF_HIDEADDRESS | WF_HIDEFILENAME)) != 0) {
        EnumChildWindows(dialogWindow, TrimChildWindow, reinterpret_cast<LPARAM>(dialogWindow));
    }
    if (LaunchSettings.selectName[0] != L'\0') {
        StartSelectWorker(dialogWindow);
    }
    if ((windowFlags & WF_MAXIMIZE) != 0) {
        ShowWindow(dialogWindow, SW_SHOWMAXIMIZED);
    }
}
