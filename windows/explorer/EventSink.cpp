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

// With resultsFirst, what the dialog resolved from a confirmed choice: the name in its
// file-name box, typed or picked, which need not be what the view has selected. Otherwise, or
// when the dialog resolved nothing, the items selected in the view; none when it cannot tell.
ComPtr<IShellItemArray> DialogItems(IFileDialog* dialog, bool resultsFirst)
{
    ComPtr<IShellItemArray> items;
    ComPtr<IFileOpenDialog> openDialog;
    if (FAILED(dialog->QueryInterface(IID_PPV_ARGS(&openDialog))) || !openDialog ||
        (resultsFirst && SUCCEEDED(openDialog->GetResults(&items)) && items)) {
        return items;
    }
    if (FAILED(openDialog->GetSelectedItems(&items))) {
        items.Reset();
    }
    return items;
}

// A move of the user's own leaves a selection in the view; a worker started for it could only
// find that selection and end, after making the dialog's thread answer its whole search.
bool ViewHasSelection(IFileDialog* dialog)
{
    const ComPtr<IShellItemArray> items = DialogItems(dialog, false);
    DWORD count = 0;
    return items && SUCCEEDED(items->GetCount(&count)) && count > 0;
}

} // namespace

// Refusing the result keeps the dialog open for the next choice.
IFACEMETHODIMP CFileOpenBasketPickerCallback::OnFileOk(IFileDialog* dialog)
{
    const ComPtr<IShellItemArray> items = DialogItems(dialog, true);
    if (items) {
        OpenShellItems(items.Get());
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
void OpenShellItems(IShellItemArray* items)
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
        PIDLIST_ABSOLUTE idList = nullptr;
        if (FAILED(SHGetIDListFromObject(item.Get(), &idList))) {
            continue;
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
}
