// The dialog's event sink and the window work it triggers.
#pragma once

#include "LaunchSettings.h"

#include <shobjidl.h>

// Event sink.
class CFileOpenBasketPickerCallback : public IFileDialogEvents, public IFileDialogControlEvents {
public:
    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    IFACEMETHODIMP_(ULONG) AddRef() override;
    IFACEMETHODIMP_(ULONG) Release() override;

    IFACEMETHODIMP OnFileOk(IFileDialog* dialog) override;
    IFACEMETHODIMP OnFolderChanging(IFileDialog* dialog, IShellItem* folder) override;
    IFACEMETHODIMP OnFolderChange(IFileDialog* dialog) override;
    IFACEMETHODIMP OnSelectionChange(IFileDialog* dialog) override;
    IFACEMETHODIMP OnShareViolation(IFileDialog* dialog, IShellItem* item,
                                    FDE_SHAREVIOLATION_RESPONSE* response) override;
    IFACEMETHODIMP OnTypeChange(IFileDialog* dialog) override;
    IFACEMETHODIMP OnOverwrite(IFileDialog* dialog, IShellItem* item,
                               FDE_OVERWRITE_RESPONSE* response) override;

    IFACEMETHODIMP OnItemSelected(IFileDialogCustomize* customize, DWORD controlId,
                                  DWORD itemId) override;
    IFACEMETHODIMP OnButtonClicked(IFileDialogCustomize* customize, DWORD controlId) override;
    IFACEMETHODIMP OnCheckButtonToggled(IFileDialogCustomize* customize, DWORD controlId,
                                        BOOL checked) override;
    IFACEMETHODIMP OnControlActivating(IFileDialogCustomize* customize, DWORD controlId) override;
};

// Launches each item as the user picked it: a confirmed item that stands for an item of the
// selection, also as a shortcut's target, is launched as that item. With a locked folder only
// items that lie in it are launched.
void OpenShellItems(IShellItemArray* items, IShellItemArray* selection, IShellItem* lockedFolder);

// Window tailoring.
void TailorDialogWindow(IFileDialog* dialog);
BOOL CALLBACK TrimChildWindow(HWND child, LPARAM);
