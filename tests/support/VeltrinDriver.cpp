// Command-line helper for scripts that run the program on a display nobody looks at:
//   veltrin-driver wait-window <timeoutMs>  waits for a visible dialog and prints its caption
//   veltrin-driver press-exit               presses the dialog's Exit (Cancel) button, or the
//                                           OK button of a message box
#include "WindowDriver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const wchar_t kDialogClass[] = L"#32770";

int WaitForDialog(DWORD timeoutMs)
{
    HWND dialog = WindowDriver::WaitForTopWindow(kDialogClass, nullptr, 0, timeoutMs);
    if (dialog == nullptr) {
        fprintf(stderr, "no dialog within %lu ms\n", static_cast<unsigned long>(timeoutMs));
        return 1;
    }
    printf("%ls\n", WindowDriver::WindowText(dialog).c_str());
    return 0;
}

// The program's dialog has a Cancel button; a message box has only its OK button.
int PressExit()
{
    HWND dialog = WindowDriver::FindTopWindow(kDialogClass, nullptr, 0);
    if (dialog == nullptr) {
        fprintf(stderr, "no dialog to press\n");
        return 1;
    }
    for (int buttonId : {IDCANCEL, IDOK}) {
        if (GetDlgItem(dialog, buttonId) != nullptr) {
            WindowDriver::PressButton(dialog, buttonId);
            return 0;
        }
    }
    HWND onlyButton = WindowDriver::FindDescendant(dialog, L"Button", -1);
    if (onlyButton == nullptr) {
        fprintf(stderr, "the dialog has no button\n");
        return 1;
    }
    WindowDriver::PressButton(dialog, GetDlgCtrlID(onlyButton));
    return 0;
}

int Usage()
{
    fprintf(stderr, "usage: veltrin-driver wait-window <timeoutMs> | press-exit\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "wait-window") == 0) {
        return WaitForDialog(static_cast<DWORD>(strtoul(argv[2], nullptr, 10)));
    }
    if (argc == 2 && strcmp(argv[1], "press-exit") == 0) {
        return PressExit();
    }
    return Usage();
}
