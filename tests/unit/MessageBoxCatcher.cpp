#include "MessageBoxCatcher.h"

namespace {

// The message box's text control; the platform gives it the id of a plain static.
constexpr int kMessageTextId = 0xFFFF;

std::wstring WindowText(HWND window)
{
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

bool IsVisibleChild(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowVisible(control);
}

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (processId == GetCurrentProcessId() && IsWindowVisible(window) &&
        wcscmp(className, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

MessageBoxCatcher::MessageBoxCatcher() : watcher_([this] { Watch(); })
{
}

MessageBoxCatcher::~MessageBoxCatcher()
{
    stopping_ = true;
    watcher_.join();
}

std::vector<SeenMessageBox> MessageBoxCatcher::Seen() const
{
    std::lock_guard<std::mutex> hold(seenLock_);
    return seen_;
}

void MessageBoxCatcher::Watch()
{
    while (!stopping_) {
        HWND box = nullptr;
        EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&box));
        if (box == nullptr) {
            Sleep(5);
            continue;
        }
        const bool okButtonOnly = IsVisibleChild(box, IDOK) && !IsVisibleChild(box, IDCANCEL) &&
                                  !IsVisibleChild(box, IDYES) && !IsVisibleChild(box, IDNO) &&
                                  !IsVisibleChild(box, IDABORT) && !IsVisibleChild(box, IDRETRY) &&
                                  !IsVisibleChild(box, IDIGNORE);
        {
            std::lock_guard<std::mutex> hold(seenLock_);
            seen_.push_back(
                {WindowText(box), WindowText(GetDlgItem(box, kMessageTextId)), okButtonOnly});
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        // Counted once: the next look waits until this box is gone.
        for (int wait = 0; wait < 1000 && IsWindow(box); ++wait) {
            Sleep(5);
        }
    }
}
