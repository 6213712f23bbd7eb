#include "FakeShellItems.h"

#include <shlguid.h>

#include <cstdio>

namespace {

// Every pointer the program gets from a fake is one it must release.
HRESULT HandOutSelf(IUnknown* self, REFIID riid, REFIID ownInterface, void** ppv)
{
    if (riid == IID_IUnknown || riid == ownInterface) {
        self->AddRef();
        *ppv = self;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT NoObject(void** ppv)
{
    *ppv = nullptr;
    return E_NOTIMPL;
}

} // namespace

std::wstring Hex(DWORD value)
{
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lx", static_cast<unsigned long>(value));
    return text;
}

FakeShellItem::FakeShellItem(SFGAOF attributes, const std::wstring& displayName)
    : attributes_(attributes), displayName_(displayName)
{
}

IFACEMETHODIMP FakeShellItem::QueryInterface(REFIID riid, void** ppv)
{
    return HandOutSelf(static_cast<IShellItem*>(this), riid, IID_IShellItem, ppv);
}

IFACEMETHODIMP FakeShellItem::BindToHandler(IBindCtx*, REFGUID, REFIID, void** ppv)
{
    Record(L"BindToHandler");
    return NoObject(ppv);
}

IFACEMETHODIMP FakeShellItem::GetParent(IShellItem** parent)
{
    Record(L"GetParent");
    *parent = nullptr;
    return E_NOTIMPL;
}

IFACEMETHODIMP FakeShellItem::GetDisplayName(SIGDN kind, LPWSTR* name)
{
    Record(L"GetDisplayName(" + Hex(static_cast<DWORD>(kind)) + L")");
    *name = nullptr;
    if (FAILED(displayNameResult_) || !deliverName_) {
        return displayNameResult_;
    }
    const size_t bytes = (displayName_.size() + 1) * sizeof(wchar_t);
    *name = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*name == nullptr) {
        return E_OUTOFMEMORY;
    }
    memcpy(*name, displayName_.c_str(), bytes);
    return S_OK;
}

IFACEMETHODIMP FakeShellItem::GetAttributes(SFGAOF mask, SFGAOF* attributes)
{
    Record(L"GetAttributes(" + Hex(mask) + L")");
    *attributes = attributes_ & mask;
    return attributesResult_;
}

IFACEMETHODIMP FakeShellItem::Compare(IShellItem*, SICHINTF, int* order)
{
    Record(L"Compare");
    *order = 1;
    return E_NOTIMPL;
}

// Other interfaces come from the file's item, so that the shell finds the file's ID list.
IFACEMETHODIMP FakeShortcut::QueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IUnknown || riid == IID_IShellItem) {
        return HandOutSelf(static_cast<IShellItem*>(this), riid, IID_IShellItem, ppv);
    }
    return file_->QueryInterface(riid, ppv);
}

IFACEMETHODIMP FakeShortcut::BindToHandler(IBindCtx* context, REFGUID handler, REFIID riid,
                                           void** ppv)
{
    if (handler == BHID_LinkTargetItem) {
        return target_->QueryInterface(riid, ppv);
    }
    return file_->BindToHandler(context, handler, riid, ppv);
}

IFACEMETHODIMP FakeShortcut::GetAttributes(SFGAOF mask, SFGAOF* attributes)
{
    const HRESULT result = file_->GetAttributes(mask, attributes);
    *attributes |= mask & SFGAO_LINK;
    return (*attributes & mask) == mask ? S_OK : result;
}

FakeShellItemArray::FakeShellItemArray(std::vector<Microsoft::WRL::ComPtr<IShellItem>> items)
    : items_(std::move(items))
{
}

IFACEMETHODIMP FakeShellItemArray::QueryInterface(REFIID riid, void** ppv)
{
    return HandOutSelf(static_cast<IShellItemArray*>(this), riid, IID_IShellItemArray, ppv);
}

IFACEMETHODIMP FakeShellItemArray::BindToHandler(IBindCtx*, REFGUID, REFIID, void** ppv)
{
    Record(L"BindToHandler");
    return NoObject(ppv);
}

IFACEMETHODIMP FakeShellItemArray::GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void** ppv)
{
    Record(L"GetPropertyStore");
    return NoObject(ppv);
}

IFACEMETHODIMP FakeShellItemArray::GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void** ppv)
{
    Record(L"GetPropertyDescriptionList");
    return NoObject(ppv);
}

IFACEMETHODIMP FakeShellItemArray::GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF* attributes)
{
    Record(L"GetAttributes");
    *attributes = 0;
    return E_NOTIMPL;
}

IFACEMETHODIMP FakeShellItemArray::GetCount(DWORD* count)
{
    Record(L"GetCount");
    *count = SUCCEEDED(countResult_) ? static_cast<DWORD>(items_.size()) : 0;
    return countResult_;
}

IFACEMETHODIMP FakeShellItemArray::GetItemAt(DWORD index, IShellItem** item)
{
    Record(L"GetItemAt(" + std::to_wstring(index) + L")");
    if (beforeHandingOut_) {
        beforeHandingOut_(index);
    }
    *item = nullptr;
    if (index >= firstFailingIndex_ || index >= items_.size()) {
        return E_FAIL;
    }
    *item = items_[index].Get();
    (*item)->AddRef();
    return S_OK;
}

IFACEMETHODIMP FakeShellItemArray::EnumItems(IEnumShellItems** items)
{
    Record(L"EnumItems");
    *items = nullptr;
    return E_NOTIMPL;
}
