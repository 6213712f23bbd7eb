// The process-wide settings record, the shared string routines and the routines each
// source file offers the others.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
#include <shtypes.h>

// Window option bits.
constexpr DWORD WF_MAXIMIZE = 0x1;
constexpr DWORD WF_HIDEADDRESS = 0x2;
constexpr DWORD WF_HIDEFILENAME = 0x4;
constexpr DWORD WF_MAXBUTTON = 0x8;

// Navigation option bits: /NOCHANGEDIR sets all three at once.
constexpr DWORD NF_NOCHANGEDIR = 0x60008;
constexpr DWORD NF_FOLDERLOCK = 0x8;
constexpr DWORD NF_HIDEPLACES = 0x40000;

constexpr int IDC_EXITBUTTON = 602;
// The file-name box: a combo box in Windows' Open dialog, an Edit in Wine's.
constexpr int kFileNameBoxId = 1148;
constexpr int kWineFileNameEditId = 1152;

constexpr int kLabelUnits = 100;
constexpr int kPathUnits = MAX_PATH;
constexpr int kMaxFilterPairs = 10;

struct LaunchSettingsRecord {
    wchar_t title[kLabelUnits];
    wchar_t cancelLabel[kLabelUnits];
    wchar_t startFolder[kPathUnits];
    wchar_t selectName[kPathUnits];
    wchar_t previousSelection[kPathUnits];
    DWORD windowFlags;
    DWORD navFlags;
    BYTE tailoringDone;
    LONG firstFolderChange;
};

// Touched by the main thread only; workers get their own copy of the name.
extern LaunchSettingsRecord LaunchSettings;

// The block a selection worker owns and frees.
struct SelectRequest {
    HWND dialogWindow;
    wchar_t itemName[kPathUnits];
    // What the file-name box held when the worker was started.
    wchar_t fileNameBoxText[kPathUnits];
};

// Shared string routines.
void CopyBounded(wchar_t* destination, const wchar_t* source, int count);
wchar_t* TrimTrailingBlanks(wchar_t* text);
wchar_t* StripEnclosingQuotes(wchar_t* text);

// DLL search: the first thing the program does.
void RestrictDllSearch();

// Start-up and switches.
struct CommandArguments {
    wchar_t* folder;
    wchar_t* filter;
    wchar_t* title;
    wchar_t* cancel;
};
extern wchar_t* const SharedEmptyString;
// Parses the argument text in place; returns true when the line is malformed.
bool ParseCommandLine(wchar_t* argumentText, CommandArguments& arguments);
void ShowSyntaxMessage();

// Folder macros.
wchar_t* ExpandFolderMacros();

// Dialog driver.
void RunBrowserDialog(wchar_t* folderArgument, wchar_t* filterArgument, wchar_t* titleArgument,
                      wchar_t* cancelArgument);

// Filter argument.
int ParseFilterArgument(wchar_t* filterArgument, COMDLG_FILTERSPEC table[kMaxFilterPairs]);

// Initial file name.
bool ChooseInitialFileName(const wchar_t* folderArgument, COMDLG_FILTERSPEC* table, int count);

// Selection worker: each start hands a new thread its own copy of selectName.
void StartSelectWorker(HWND window);
unsigned __stdcall SelectItemThreadProc(void* argument);
