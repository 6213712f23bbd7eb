// Recording stand-ins for shell items and item arrays, and the bookkeeping every fake shares.
#pragma once

#include "LaunchSettings.h"

#include <shobjidl.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

// Reference count and call log of a fake. A fake belongs to the test that made it: Release
// never deletes it, so the test can check that every reference the program took was given
// back (the count returns to 1, the test's own).
class FakeBookkeeping {
public:
    ULONG AddReference() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG DropReference() { return static_cast<ULONG>(InterlockedDecrement(&references_)); }
    ULONG References() const { return static_cast<ULONG>(references_); }

    void Record(const std::wstring& call) { calls_.push_back(call); }
    const std::vector<std::wstring>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }

private:
    LONG references_ = 1;
    std::vector<std::wstring> calls_;
};

// "0x" and eight hex digits.
std::wstring Hex(DWORD value);

// A shell item that offers no interface but IShellItem, so the shell cannot derive an ID list
// from it. Records GetAttributes and GetDisplayName with their arguments.
class FakeShellItem : public IShellItem, public FakeBookkeeping {
public:
    FakeShellItem(SFGAOF attributes, const std::wstring& displayName);

    // GetAttributes still writes the attributes when it reports a failure, so that a caller
    // who ignores the result is caught.
    void SetAttributesResult(HRESULT result) { attributesResult_ = result; }
    void FailDisplayName() { displayNameResult_ = E_FAIL; }
    // GetDisplayName succeeds without delivering a string.
    void DeliverNoDisplayName() { deliverName_ = false; }

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return DropReference(); }

    IFACEMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void** ppv) override;
    IFACEMETHODIMP GetParent(IShellItem** parent) override;
    IFACEMETHODIMP GetDisplayName(SIGDN kind, LPWSTR* name) override;
    IFACEMETHODIMP GetAttributes(SFGAOF mask, SFGAOF* attributes) override;
    IFACEMETHODIMP Compare(IShellItem*, SICHINTF, int* order) override;

private:
    SFGAOF attributes_;
    std::wstring displayName_;
    HRESULT attributesResult_ = S_OK;
    HRESULT displayNameResult_ = S_OK;
    bool deliverName_ = true;
};

// A shortcut as Windows' shell items present one: the real item of its own file, which is what
// launching it opens, with SFGAO_LINK and a target through BHID_LinkTargetItem, neither of which
// Wine's items give.
class FakeShortcut : public IShellItem, public FakeBookkeeping {
public:
    FakeShortcut(IShellItem* file, IShellItem* target) : file_(file), target_(target) {}

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return DropReference(); }

    IFACEMETHODIMP BindToHandler(IBindCtx* context, REFGUID handler, REFIID riid,
                                 void** ppv) override;
    IFACEMETHODIMP GetParent(IShellItem** parent) override { return file_->GetParent(parent); }
    IFACEMETHODIMP GetDisplayName(SIGDN kind, LPWSTR* name) override
    {
        return file_->GetDisplayName(kind, name);
    }
    IFACEMETHODIMP GetAttributes(SFGAOF mask, SFGAOF* attributes) override;
    IFACEMETHODIMP Compare(IShellItem* other, SICHINTF hint, int* order) override
    {
        return file_->Compare(other, hint, order);
    }

private:
    Microsoft::WRL::ComPtr<IShellItem> file_;
    Microsoft::WRL::ComPtr<IShellItem> target_;
};

// An item array over given items. GetCount can fail, GetItemAt can fail from a chosen index on,
// and a hook runs before each item is handed out. Records GetCount and GetItemAt(index).
class FakeShellItemArray : public IShellItemArray, public FakeBookkeeping {
public:
    explicit FakeShellItemArray(std::vector<Microsoft::WRL::ComPtr<IShellItem>> items);

    void FailCount() { countResult_ = E_FAIL; }
    void FailItemsFrom(DWORD index) { firstFailingIndex_ = index; }
    void BeforeHandingOut(std::function<void(DWORD)> hook) { beforeHandingOut_ = std::move(hook); }

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return DropReference(); }

    IFACEMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void** ppv) override;
    IFACEMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void** ppv) override;
    IFACEMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void** ppv) override;
    IFACEMETHODIMP GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF* attributes) override;
    IFACEMETHODIMP GetCount(DWORD* count) override;
    IFACEMETHODIMP GetItemAt(DWORD index, IShellItem** item) override;
    IFACEMETHODIMP EnumItems(IEnumShellItems** items) override;

private:
    std::vector<Microsoft::WRL::ComPtr<IShellItem>> items_;
    HRESULT countResult_ = S_OK;
    DWORD firstFailingIndex_ = MAXDWORD;
    std::function<void(DWORD)> beforeHandingOut_;
};
