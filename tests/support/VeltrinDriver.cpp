// Command-line helper for the scripts that run the program:
//   veltrin-driver launch <timeoutMs>       runs VeltrinExplorer.exe from this directory with
//                                           the argument text in VELTRIN_COMMAND_LINE, waits
//                                           for its end and returns its exit code; fails and
//                                           ends it when no dialog of it shows in time
//   veltrin-driver wait-window <timeoutMs>  waits for a visible dialog and prints its caption
//   veltrin-driver press-exit               presses the dialog's Exit (Cancel) button, or the
//                                           OK button of a message box
#include "RecordingFileType.h"
#include "WindowDriver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const wchar_t kDialogClass[] = L"#32770";
const wchar_t kCommandLineVariable[] = L"VELTRIN_COMMAND_LINE";
constexpr int kCannotStart = 127;
constexpr int kNoDialog = 1;

// The argument text arrives in a variable, since Wine would quote separate arguments anew; the
// program sees it exactly as a user typed it, and does not see the variable. A program that
// shows no dialog in time is ended, so that no script waits for it forever.
int Launch(DWORD dialogTimeoutMs)
{
    const wchar_t* text = _wgetenv(kCommandLineVariable);
    const std::wstring arguments = text != nullptr ? text : L"";
    SetEnvironmentVariableW(kCommandLineVariable, nullptr);

    const std::wstring path = ExecutableDirectory() + L"VeltrinExplorer.exe";
    WindowDriver::LaunchedProgram program(path, arguments);
    if (!program.Started()) {
        fprintf(stderr, "cannot start %ls (error %lu)\n", path.c_str(),
                static_cast<unsigned long>(GetLastError()));
        return kCannotStart;
    }
    bool shown = false;
    WindowDriver::WaitUntil(
        [&] {
            shown =
                WindowDriver::FindTopWindow(kDialogClass, nullptr, program.ProcessId()) != nullptr;
            return shown || !program.IsRunning();
        },
        dialogTimeoutMs);
    DWORD exitCode = 0;
    if (!shown) {
        if (program.WaitForExit(0, &exitCode)) {
            fprintf(stderr, "the program ended without showing a dialog\n");
        } else {
            fprintf(stderr, "no dialog within %lu ms; the program is ended\n",
                    static_cast<unsigned long>(dialogTimeoutMs));
        }
        return exitCode != 0 ? static_cast<int>(exitCode) : kNoDialog;
    }
    program.WaitForExit(INFINITE, &exitCode);
    return static_cast<int>(exitCode);
}

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
    fprintf(stderr,
            "usage: veltrin-driver launch <timeoutMs> | wait-window <timeoutMs> | press-exit\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "launch") == 0) {
        return Launch(static_cast<DWORD>(strtoul(argv[2], nullptr, 10)));
    }
    if (argc == 3 && strcmp(argv[1], "wait-window") == 0) {
        return WaitForDialog(static_cast<DWORD>(strtoul(argv[2], nullptr, 10)));
    }
    if (argc == 2 && strcmp(argv[1], "press-exit") == 0) {
        return PressExit();
    }
    return Usage();
}
