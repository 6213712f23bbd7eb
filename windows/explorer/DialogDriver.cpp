// Creates, configures and shows the Open dialog, then takes it down again.
#include "EventSink.h"

#include <wchar.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

constexpr FILEOPENDIALOGOPTIONS kAlwaysAddedOptions =
    FOS_FORCEPREVIEWPANEON | FOS_ALLOWMULTISELECT | FOS_ALLNONSTORAGEITEMS;
constexpr FILEOPENDIALOGOPTIONS kHiddenPlacesOptions = FOS_HIDEMRUPLACES | FOS_HIDEPINNEDPLACES;

void SetOptions(IFileOpenDialog* dialog)
{
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options))) {
        return;
    }
    options |= kAlwaysAddedOptions;
    if ((LaunchSettings.navFlags & NF_HIDEPLACES) != 0) {
        options |= kHiddenPlacesOptions;
    }
    dialog->SetOptions(options);
}

// Where the dialog cannot relabel its Cancel button, an "Exit" push button takes its place.
void SetCancelLabelOrExitButton(IFileOpenDialog* dialog)
{
    ComPtr<IFileDialog2> dialog2;
    if (SUCCEEDED(dialog->QueryInterface(IID_PPV_ARGS(&dialog2))) && dialog2) {
        dialog2->SetCancelButtonLabel(LaunchSettings.cancelLabel);
        return;
    }
    ComPtr<IFileDialogCustomize> customize;
    if (SUCCEEDED(dialog->QueryInterface(IID_PPV_ARGS(&customize))) && customize) {
        customize->AddPushButton(IDC_EXITBUTTON, L"Exit");
    }
}

void SetStartFolder(IFileOpenDialog* dialog, const wchar_t* folderArgument)
{
    ComPtr<IShellItem> folder;
    if (SUCCEEDED(SHCreateItemFromParsingName(folderArgument, nullptr, IID_PPV_ARGS(&folder))) &&
        folder) {
        dialog->SetFolder(folder.Get());
    }
}

// The file list shows display names, which lack the extension where Windows hides extensions,
// and the selection worker looks for exactly what the list shows. The file-name box keeps the
// file-system name. A folder without its final backslash still names the folder the dialog
// opens; without a folder the dialog opens one of its own, so the name stays.
void TakeDisplayNameForSelection(const wchar_t* folderArgument)
{
    wchar_t* const name = LaunchSettings.selectName;
    const size_t folderLength = wcslen(folderArgument);
    if (folderLength == 0) {
        return;
    }
    const wchar_t last = folderArgument[folderLength - 1];
    const bool separated = last == L'\\' || last == L'/';
    const size_t nameStart = separated ? folderLength : folderLength + 1;
    if (nameStart + wcslen(name) >= static_cast<size_t>(kPathUnits)) {
        return;
    }
    wchar_t path[kPathUnits];
    CopyBounded(path, folderArgument, kPathUnits);
    if (!separated) {
        path[folderLength] = L'\\';
    }
    CopyBounded(path + nameStart, name, kPathUnits - static_cast<int>(nameStart));

    ComPtr<IShellItem> item;
    PWSTR displayName = nullptr;
    if (FAILED(SHCreateItemFromParsingName(path, nullptr, IID_PPV_ARGS(&item))) || !item ||
        FAILED(item->GetDisplayName(SIGDN_NORMALDISPLAY, &displayName))) {
        return;
    }
    if (displayName != nullptr && displayName[0] != L'\0') {
        CopyBounded(name, displayName, kPathUnits);
    }
    CoTaskMemFree(displayName);
}

void SetInitialFileName(IFileOpenDialog* dialog, const wchar_t* folderArgument,
                        COMDLG_FILTERSPEC* filters, int filterCount)
{
    if (LaunchSettings.selectName[0] != L'\0' ||
        ChooseInitialFileName(folderArgument, filters, filterCount)) {
        dialog->SetFileName(LaunchSettings.selectName);
        TakeDisplayNameForSelection(folderArgument);
    }
}

} // namespace

void RunBrowserDialog(wchar_t* folderArgument, wchar_t* filterArgument, wchar_t* titleArgument,
                      wchar_t* cancelArgument)
{
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog))) ||
        !dialog) {
        return;
    }
    CFileOpenBasketPickerCallback sink;

    COMDLG_FILTERSPEC filters[kMaxFilterPairs] = {};
    int filterCount = 0;
    if (filterArgument != nullptr) {
        filterCount = ParseFilterArgument(filterArgument, filters);
        if (filterCount > 0) {
            dialog->SetFileTypes(static_cast<UINT>(filterCount), filters);
        }
    }

    DWORD cookie = 0;
    if (FAILED(dialog->Advise(static_cast<IFileDialogEvents*>(&sink), &cookie))) {
        return;
    }
    SetOptions(dialog.Get());
    if (titleArgument != nullptr && titleArgument[0] != L'\0') {
        CopyBounded(LaunchSettings.title, titleArgument, kLabelUnits);
    }
    if (cancelArgument != nullptr && cancelArgument[0] != L'\0') {
        CopyBounded(LaunchSettings.cancelLabel, cancelArgument, kLabelUnits);
    }
    SetCancelLabelOrExitButton(dialog.Get());
    // The window tailoring finds the window by this exact caption.
    dialog->SetTitle(LaunchSettings.title);
    dialog->SetOkButtonLabel(L"Open");
    SetStartFolder(dialog.Get(), folderArgument);
    SetInitialFileName(dialog.Get(), folderArgument, filters, filterCount);

    dialog->Show(nullptr);
    dialog->Unadvise(cookie);
}
