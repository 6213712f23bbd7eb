// The dialog's event sink: launches confirmed items, keeps the dialog open, locks the folder
// and hands names to selection workers.
#include "EventSink.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

IFACEMETHODIMP CFileOpenBasketPickerCallback::QueryInterface(REFIID riid, void** ppv)
{
    static const QITAB interfaces[] = {
        QITABENT(CFileOpenBasketPickerCallback, IFileDialogEvents),
        QITABENT(CFileOpenBasketPickerCallback, IFileDialogControlEvents),
        {nullptr, 0},
    };
    return QISearch(this, interfaces, riid, ppv);
}

// The object lives in its creator's frame; the dialog's references never govern it.
IFACEMETHODIMP_(ULONG) CFileOpenBasketPickerCallback::AddRef()
{
    return 3;
}

IFACEMETHODIMP_(ULONG) CFileOpenBasketPickerCallback::Release()
{
    return 2;
}

namespace {

// The items the view has selected; none when the dialog cannot tell.
ComPtr<IShellItemArray> SelectedItems(IFileOpenDialog* dialog)
{
    ComPtr<IShellItemArray> items;
    if (FAILED(dialog->GetSelectedItems(&items))) {
        items.Reset();
    }
    return items;
}

// A move of the user's own leaves a selection in the view; a worker started for it could only
// find that selection and end, after making the dialog's thread answer its whole search.
bool ViewHasSelection(IFileDialog* dialog)
{
    ComPtr<IFileOpenDialog> openDialog;
    if (FAILED(dialog->QueryInterface(IID_PPV_ARGS(&openDialog))) || !openDialog) {
        return false;
    }
    const ComPtr<IShellItemArray> items = SelectedItems(openDialog.Get());
    DWORD count = 0;
    return items && SUCCEEDED(items->GetCount(&count)) && count > 0;
}

bool SameItem(IShellItem* item, IShellItem* other)
{
    int order = 1;
    return item->Compare(other, SICHINT_CANONICAL | SICHINT_TEST_FILESYSPATH_IF_NOT_EQUAL,
                         &order) == S_OK &&
           order == 0;
}

// Windows' dialog resolves a picked shortcut to its target, which alone would lose the
// shortcut's arguments, start-in folder and window state.
bool ConfirmsSelectedItem(IShellItem* confirmed, IShellItem* selected)
{
    SFGAOF attributes = 0;
    ComPtr<IShellItem> target;
    return SameItem(selected, confirmed) ||
           (SUCCEEDED(selected->GetAttributes(SFGAO_LINK, &attributes)) &&
            (attributes & SFGAO_LINK) != 0 &&
            SUCCEEDED(
                selected->BindToHandler(nullptr, BHID_LinkTargetItem, IID_PPV_ARGS(&target))) &&
            target && SameItem(target.Get(), confirmed));
}

// The selected item that a confirmed one stands for, else the confirmed item itself: a name
// typed in the file-name box. The dialog keeps the selection's order, so the same position is
// asked first.
ComPtr<IShellItem> AsPicked(IShellItem* confirmed, DWORD position, IShellItemArray* selection)
{
    DWORD count = 0;
    if (selection != nullptr && SUCCEEDED(selection->GetCount(&count))) {
        for (DWORD step = 0; step < count; ++step) {
            ComPtr<IShellItem> selected;
            if (SUCCEEDED(selection->GetItemAt((position + step) % count, &selected)) && selected &&
                ConfirmsSelectedItem(confirmed, selected.Get())) {
                return selected;
            }
        }
    }
    return confirmed;
}

bool LiesIn(IShellItem* item, IShellItem* folder)
{
    ComPtr<IShellItem> parent;
    return SUCCEEDED(item->GetParent(&parent)) && parent && SameItem(parent.Get(), folder);
}

void Launch(IShellItem* item)
{
    PIDLIST_ABSOLUTE idList = nullptr;
    if (FAILED(SHGetIDListFromObject(item, &idList))) {
        return;
    }
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_UNICODE;
    execute.lpVerb = L"open";
    execute.lpIDList = idList;
    execute.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&execute);
    CoTaskMemFree(idList);
}

} // namespace

// Refusing the result keeps the dialog open for the next choice. The dialog resolves the name in
// its file-name box, typed or picked, which need not be what the view has selected; the view's
// selection stands in when it resolves nothing.
IFACEMETHODIMP CFileOpenBasketPickerCallback::OnFileOk(IFileDialog* dialog)
{
    ComPtr<IFileOpenDialog> openDialog;
    if (FAILED(dialog->QueryInterface(IID_PPV_ARGS(&openDialog))) || !openDialog) {
        return S_FALSE;
    }
    ComPtr<IShellItemArray> confirmed;
    const bool resolved = SUCCEEDED(openDialog->GetResults(&confirmed)) && confirmed;
    const ComPtr<IShellItemArray> selection = SelectedItems(openDialog.Get());
    if (!resolved) {
        confirmed = selection;
    }
    // A path typed into the file-name box must not open what the lock keeps the user from.
    ComPtr<IShellItem> lockedFolder;
    if ((LaunchSettings.navFlags & NF_FOLDERLOCK) != 0 &&
        (FAILED(dialog->GetFolder(&lockedFolder)) || !lockedFolder)) {
        return S_FALSE;
    }
    if (confirmed) {
        OpenShellItems(confirmed.Get(), resolved ? selection.Get() : nullptr, lockedFolder.Get());
    }
    return S_FALSE;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnFolderChanging(IFileDialog*, IShellItem*)
{
    if (LaunchSettings.firstFolderChange != 0) {
        LaunchSettings.firstFolderChange = 0;
        return E_NOTIMPL;
    }
    if ((LaunchSettings.navFlags & NF_FOLDERLOCK) != 0) {
        return E_ACCESSDENIED;
    }
    return E_NOTIMPL;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnFolderChange(IFileDialog* dialog)
{
    if (LaunchSettings.tailoringDone != 0) {
        return E_NOTIMPL;
    }
    // Set first: the tailoring is never retried, even when it finds no window.
    LaunchSettings.tailoringDone = 1;
    TailorDialogWindow(dialog);
    return E_NOTIMPL;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnSelectionChange(IFileDialog* dialog)
{
    ComPtr<IShellItem> item;
    if (SUCCEEDED(dialog->GetCurrentSelection(&item)) && item) {
        SFGAOF attributes = 0;
        const bool plainFolder =
            SUCCEEDED(item->GetAttributes(SFGAO_FOLDER | SFGAO_STREAM, &attributes)) &&
            attributes == SFGAO_FOLDER;
        dialog->SetOkButtonLabel(L"Open");
        if (!plainFolder) {
            LPWSTR displayName = nullptr;
            if (SUCCEEDED(item->GetDisplayName(SIGDN_NORMALDISPLAY, &displayName))) {
                CopyBounded(LaunchSettings.selectName, displayName, kPathUnits);
                CoTaskMemFree(displayName);
            }
        }
    }

    if (wcscmp(LaunchSettings.previousSelection, LaunchSettings.selectName) == 0) {
        return S_OK;
    }
    HWND window = nullptr;
    IUnknown_GetWindow(dialog, &window);
    CopyBounded(LaunchSettings.previousSelection, LaunchSettings.selectName, kPathUnits);
    if (LaunchSettings.selectName[0] != L'\0' && !ViewHasSelection(dialog)) {
        StartSelectWorker(window);
    }
    return S_OK;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnShareViolation(IFileDialog*, IShellItem*,
                                                               FDE_SHAREVIOLATION_RESPONSE*)
{
    return E_NOTIMPL;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnTypeChange(IFileDialog*)
{
    return E_NOTIMPL;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnOverwrite(IFileDialog*, IShellItem*,
                                                          FDE_OVERWRITE_RESPONSE*)
{
    return E_NOTIMPL;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnItemSelected(IFileDialogCustomize*, DWORD, DWORD)
{
    return E_NOTIMPL;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnButtonClicked(IFileDialogCustomize* customize,
                                                              DWORD controlId)
{
    if (controlId == IDC_EXITBUTTON) {
        ComPtr<IFileDialog> dialog;
        if (SUCCEEDED(customize->QueryInterface(IID_PPV_ARGS(&dialog))) && dialog) {
            dialog->Close(S_OK);
        }
    }
    return S_OK;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnCheckButtonToggled(IFileDialogCustomize*, DWORD,
                                                                   BOOL)
{
    return E_NOTIMPL;
}

IFACEMETHODIMP CFileOpenBasketPickerCallback::OnControlActivating(IFileDialogCustomize*, DWORD)
{
    return E_NOTIMPL;
}

// One item that cannot be launched does not stop the next; a failed GetItemAt stops them all.
void OpenShellItems(IShellItemArray* items, IShellItemArray* selection, IShellItem* lockedFolder)
{
    DWORD count = 0;
    if (FAILED(items->GetCount(&count))) {
        return;
    }
    for (DWORD index = 0; index < count; ++index) {
        ComPtr<IShellItem> item;
        if (FAILED(items->GetItemAt(index, &item)) || !item) {
            return;
        }
        const ComPtr<IShellItem> picked = AsPicked(item.Get(), index, selection);
        if (lockedFolder == nullptr || LiesIn(picked.Get(), lockedFolder)) {
            Launch(picked.Get());
        }
    }
}
