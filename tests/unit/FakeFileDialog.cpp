#include "FakeFileDialog.h"

#include <algorithm>

namespace {

struct NamedInterface {
    const IID* id;
    const wchar_t* name;
};

const NamedInterface kRecordedInterfaces[] = {
    {&IID_IUnknown, L"IUnknown"},         {&IID_IModalWindow, L"IModalWindow"},
    {&IID_IFileDialog, L"IFileDialog"},   {&IID_IFileOpenDialog, L"IFileOpenDialog"},
    {&IID_IFileDialog2, L"IFileDialog2"}, {&IID_IFileDialogCustomize, L"IFileDialogCustomize"},
    {&IID_IOleWindow, L"IOleWindow"},
};

std::wstring Text(LPCWSTR text)
{
    return text != nullptr ? text : L"(null)";
}

std::wstring ItemPath(IShellItem* item)
{
    LPWSTR path = nullptr;
    if (item == nullptr || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        return L"?";
    }
    std::wstring result = path;
    CoTaskMemFree(path);
    return result;
}

} // namespace

HRESULT FakeFileDialog::Answer(const std::wstring& method, const std::wstring& arguments)
{
    Record(method + L"(" + arguments + L")");
    const bool fails =
        std::find(failingCalls_.begin(), failingCalls_.end(), method) != failingCalls_.end();
    return fails ? E_FAIL : S_OK;
}

HRESULT FakeFileDialog::Unexpected(const wchar_t* method)
{
    Record(method);
    return E_NOTIMPL;
}

bool FakeFileDialog::IsWithheld(REFIID interfaceId) const
{
    return std::find(withheld_.begin(), withheld_.end(), interfaceId) != withheld_.end();
}

HRESULT FakeFileDialog::HandOut(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (IsWithheld(riid)) {
        return E_NOINTERFACE;
    }
    if (riid == IID_IUnknown || riid == IID_IModalWindow || riid == IID_IFileDialog ||
        riid == IID_IFileOpenDialog) {
        *ppv = static_cast<IFileOpenDialog*>(this);
    } else if (riid == IID_IFileDialog2) {
        *ppv = static_cast<IFileDialog2*>(this);
    } else if (riid == IID_IFileDialogCustomize) {
        *ppv = static_cast<IFileDialogCustomize*>(this);
    } else if (riid == IID_IOleWindow && window_ != nullptr) {
        *ppv = static_cast<IOleWindow*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddReference();
    return S_OK;
}

IFACEMETHODIMP FakeFileDialog::QueryInterface(REFIID riid, void** ppv)
{
    for (const NamedInterface& known : kRecordedInterfaces) {
        if (riid == *known.id) {
            Record(std::wstring(L"QueryInterface(") + known.name + L")");
        }
    }
    return HandOut(riid, ppv);
}

IFACEMETHODIMP_(ULONG) FakeFileDialog::AddRef()
{
    Record(L"AddRef");
    return AddReference();
}

IFACEMETHODIMP_(ULONG) FakeFileDialog::Release()
{
    Record(L"Release");
    return DropReference();
}

IFACEMETHODIMP FakeFileDialog::Show(HWND owner)
{
    const HRESULT result = Answer(L"Show", owner != nullptr ? L"owner" : L"no owner");
    if (onShow_) {
        onShow_(*this);
    }
    return result;
}

IFACEMETHODIMP FakeFileDialog::SetFileTypes(UINT count, const COMDLG_FILTERSPEC* types)
{
    std::wstring arguments;
    for (UINT index = 0; index < count; ++index) {
        arguments += (index > 0 ? L", " : L"") + Text(types[index].pszName) + L"|" +
                     Text(types[index].pszSpec);
    }
    return Answer(L"SetFileTypes", arguments);
}

IFACEMETHODIMP FakeFileDialog::SetFileTypeIndex(UINT)
{
    return Unexpected(L"SetFileTypeIndex");
}

IFACEMETHODIMP FakeFileDialog::GetFileTypeIndex(UINT*)
{
    return Unexpected(L"GetFileTypeIndex");
}

IFACEMETHODIMP FakeFileDialog::Advise(IFileDialogEvents* sink, DWORD* cookie)
{
    const HRESULT result = Answer(L"Advise", sink != nullptr ? L"sink" : L"null");
    *cookie = 0;
    if (SUCCEEDED(result)) {
        sink_ = sink;
        *cookie = kCookie;
    }
    return result;
}

IFACEMETHODIMP FakeFileDialog::Unadvise(DWORD cookie)
{
    const HRESULT result = Answer(L"Unadvise", std::to_wstring(cookie));
    if (cookie == kCookie) {
        sink_ = nullptr;
    }
    return result;
}

IFACEMETHODIMP FakeFileDialog::SetOptions(FILEOPENDIALOGOPTIONS options)
{
    return Answer(L"SetOptions", Hex(options));
}

IFACEMETHODIMP FakeFileDialog::GetOptions(FILEOPENDIALOGOPTIONS* options)
{
    const HRESULT result = Answer(L"GetOptions", L"");
    *options = SUCCEEDED(result) ? options_ : 0;
    return result;
}

IFACEMETHODIMP FakeFileDialog::SetDefaultFolder(IShellItem*)
{
    return Unexpected(L"SetDefaultFolder");
}

IFACEMETHODIMP FakeFileDialog::SetFolder(IShellItem* folder)
{
    return Answer(L"SetFolder", ItemPath(folder));
}

IFACEMETHODIMP FakeFileDialog::GetFolder(IShellItem** folder)
{
    return HandOutObject(L"GetFolder", folder_, folder);
}

IFACEMETHODIMP FakeFileDialog::GetCurrentSelection(IShellItem** item)
{
    const HRESULT result = Answer(L"GetCurrentSelection", L"");
    *item = nullptr;
    if (FAILED(result) || currentSelection_ == nullptr) {
        return E_FAIL;
    }
    *item = currentSelection_;
    currentSelection_->AddRef();
    return S_OK;
}

IFACEMETHODIMP FakeFileDialog::SetFileName(LPCWSTR name)
{
    return Answer(L"SetFileName", Text(name));
}

IFACEMETHODIMP FakeFileDialog::GetFileName(LPWSTR* name)
{
    *name = nullptr;
    return Unexpected(L"GetFileName");
}

IFACEMETHODIMP FakeFileDialog::SetTitle(LPCWSTR title)
{
    return Answer(L"SetTitle", Text(title));
}

IFACEMETHODIMP FakeFileDialog::SetOkButtonLabel(LPCWSTR text)
{
    return Answer(L"SetOkButtonLabel", Text(text));
}

IFACEMETHODIMP FakeFileDialog::SetFileNameLabel(LPCWSTR)
{
    return Unexpected(L"SetFileNameLabel");
}

IFACEMETHODIMP FakeFileDialog::GetResult(IShellItem** item)
{
    *item = nullptr;
    return Unexpected(L"GetResult");
}

IFACEMETHODIMP FakeFileDialog::AddPlace(IShellItem*, FDAP)
{
    return Unexpected(L"AddPlace");
}

IFACEMETHODIMP FakeFileDialog::SetDefaultExtension(LPCWSTR)
{
    return Unexpected(L"SetDefaultExtension");
}

IFACEMETHODIMP FakeFileDialog::Close(HRESULT result)
{
    return Answer(L"Close", Hex(static_cast<DWORD>(result)));
}

IFACEMETHODIMP FakeFileDialog::SetClientGuid(REFGUID)
{
    return Unexpected(L"SetClientGuid");
}

IFACEMETHODIMP FakeFileDialog::ClearClientData()
{
    return Unexpected(L"ClearClientData");
}

IFACEMETHODIMP FakeFileDialog::SetFilter(IShellItemFilter*)
{
    return Unexpected(L"SetFilter");
}

template <typename Interface>
HRESULT FakeFileDialog::HandOutObject(const wchar_t* method, Interface* object, Interface** out)
{
    const HRESULT result = Answer(method, L"");
    *out = SUCCEEDED(result) ? object : nullptr;
    if (*out != nullptr) {
        (*out)->AddRef();
    }
    return result;
}

IFACEMETHODIMP FakeFileDialog::GetResults(IShellItemArray** items)
{
    return HandOutObject(L"GetResults", results_, items);
}

IFACEMETHODIMP FakeFileDialog::GetSelectedItems(IShellItemArray** items)
{
    return HandOutObject(L"GetSelectedItems", selectedItems_, items);
}

IFACEMETHODIMP FakeFileDialog::SetCancelButtonLabel(LPCWSTR label)
{
    return Answer(L"SetCancelButtonLabel", Text(label));
}

IFACEMETHODIMP FakeFileDialog::SetNavigationRoot(IShellItem*)
{
    return Unexpected(L"SetNavigationRoot");
}

IFACEMETHODIMP FakeFileDialog::EnableOpenDropDown(DWORD)
{
    return Unexpected(L"EnableOpenDropDown");
}

IFACEMETHODIMP FakeFileDialog::AddMenu(DWORD, LPCWSTR)
{
    return Unexpected(L"AddMenu");
}

IFACEMETHODIMP FakeFileDialog::AddPushButton(DWORD id, LPCWSTR label)
{
    return Answer(L"AddPushButton", std::to_wstring(id) + L", " + Text(label));
}

IFACEMETHODIMP FakeFileDialog::AddComboBox(DWORD)
{
    return Unexpected(L"AddComboBox");
}

IFACEMETHODIMP FakeFileDialog::AddRadioButtonList(DWORD)
{
    return Unexpected(L"AddRadioButtonList");
}

IFACEMETHODIMP FakeFileDialog::AddCheckButton(DWORD, LPCWSTR, BOOL)
{
    return Unexpected(L"AddCheckButton");
}

IFACEMETHODIMP FakeFileDialog::AddEditBox(DWORD, LPCWSTR)
{
    return Unexpected(L"AddEditBox");
}

IFACEMETHODIMP FakeFileDialog::AddSeparator(DWORD)
{
    return Unexpected(L"AddSeparator");
}

IFACEMETHODIMP FakeFileDialog::AddText(DWORD, LPCWSTR)
{
    return Unexpected(L"AddText");
}

IFACEMETHODIMP FakeFileDialog::SetControlLabel(DWORD, LPCWSTR)
{
    return Unexpected(L"SetControlLabel");
}

IFACEMETHODIMP FakeFileDialog::GetControlState(DWORD, CDCONTROLSTATEF*)
{
    return Unexpected(L"GetControlState");
}

IFACEMETHODIMP FakeFileDialog::SetControlState(DWORD, CDCONTROLSTATEF)
{
    return Unexpected(L"SetControlState");
}

IFACEMETHODIMP FakeFileDialog::GetEditBoxText(DWORD, WCHAR** text)
{
    *text = nullptr;
    return Unexpected(L"GetEditBoxText");
}

IFACEMETHODIMP FakeFileDialog::SetEditBoxText(DWORD, LPCWSTR)
{
    return Unexpected(L"SetEditBoxText");
}

IFACEMETHODIMP FakeFileDialog::GetCheckButtonState(DWORD, BOOL*)
{
    return Unexpected(L"GetCheckButtonState");
}

IFACEMETHODIMP FakeFileDialog::SetCheckButtonState(DWORD, BOOL)
{
    return Unexpected(L"SetCheckButtonState");
}

IFACEMETHODIMP FakeFileDialog::AddControlItem(DWORD, DWORD, LPCWSTR)
{
    return Unexpected(L"AddControlItem");
}

IFACEMETHODIMP FakeFileDialog::RemoveControlItem(DWORD, DWORD)
{
    return Unexpected(L"RemoveControlItem");
}

IFACEMETHODIMP FakeFileDialog::RemoveAllControlItems(DWORD)
{
    return Unexpected(L"RemoveAllControlItems");
}

IFACEMETHODIMP FakeFileDialog::GetControlItemState(DWORD, DWORD, CDCONTROLSTATEF*)
{
    return Unexpected(L"GetControlItemState");
}

IFACEMETHODIMP FakeFileDialog::SetControlItemState(DWORD, DWORD, CDCONTROLSTATEF)
{
    return Unexpected(L"SetControlItemState");
}

IFACEMETHODIMP FakeFileDialog::GetSelectedControlItem(DWORD, DWORD*)
{
    return Unexpected(L"GetSelectedControlItem");
}

IFACEMETHODIMP FakeFileDialog::SetSelectedControlItem(DWORD, DWORD)
{
    return Unexpected(L"SetSelectedControlItem");
}

IFACEMETHODIMP FakeFileDialog::StartVisualGroup(DWORD, LPCWSTR)
{
    return Unexpected(L"StartVisualGroup");
}

IFACEMETHODIMP FakeFileDialog::EndVisualGroup()
{
    return Unexpected(L"EndVisualGroup");
}

IFACEMETHODIMP FakeFileDialog::MakeProminent(DWORD)
{
    return Unexpected(L"MakeProminent");
}

IFACEMETHODIMP FakeFileDialog::SetControlItemText(DWORD, DWORD, LPCWSTR)
{
    return Unexpected(L"SetControlItemText");
}

IFACEMETHODIMP FakeFileDialog::GetWindow(HWND* window)
{
    Record(L"GetWindow");
    *window = window_;
    return S_OK;
}

IFACEMETHODIMP FakeFileDialog::ContextSensitiveHelp(BOOL)
{
    return Unexpected(L"ContextSensitiveHelp");
}

IFACEMETHODIMP FakeClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        AddReference();
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

IFACEMETHODIMP FakeClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return creator_(riid, ppv);
}

FreshLaunchSettings::FreshLaunchSettings(const wchar_t* title) : saved_(LaunchSettings)
{
    LaunchSettings = LaunchSettingsRecord{};
    CopyBounded(LaunchSettings.title, title, kLabelUnits);
    CopyBounded(LaunchSettings.cancelLabel, L"Exit", kLabelUnits);
    LaunchSettings.firstFolderChange = 1;
}
