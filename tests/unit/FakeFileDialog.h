// A recording stand-in for the shell's Open dialog, and the class factory through which the
// program's own CoCreateInstance receives fakes.
#pragma once

#include "FakeShellItems.h"

#include <functional>
#include <vector>

// Records every call it receives, in order, as "Method(arguments)": AddRef and Release too, and
// QueryInterface for the dialog's own interfaces and IOleWindow. Queries for other interfaces
// fail unrecorded, because the platform's helpers probe several. A method named in FailCall
// fails with E_FAIL; a withheld interface is not handed out. IOleWindow is offered only once a
// window is set.
class FakeFileDialog : public IFileOpenDialog,
                       public IFileDialog2,
                       public IFileDialogCustomize,
                       public IOleWindow,
                       public FakeBookkeeping {
public:
    static constexpr DWORD kCookie = 4711;

    void FailCall(const std::wstring& method) { failingCalls_.push_back(method); }
    void Withhold(REFIID interfaceId) { withheld_.push_back(interfaceId); }
    void SetInitialOptions(FILEOPENDIALOGOPTIONS options) { options_ = options; }
    void SetCurrentSelection(IShellItem* item) { currentSelection_ = item; }
    // Without items GetSelectedItems and GetResults succeed and deliver no array.
    void SetSelectedItems(IShellItemArray* items) { selectedItems_ = items; }
    void SetResults(IShellItemArray* items) { results_ = items; }
    // Without a folder GetFolder succeeds and delivers none.
    void SetFolderItem(IShellItem* folder) { folder_ = folder; }
    void SetWindow(HWND window) { window_ = window; }
    // Runs inside Show, where the real dialog's modal loop would call the sink.
    void OnShow(std::function<void(FakeFileDialog&)> action) { onShow_ = std::move(action); }

    // The sink registered by Advise and not yet removed by Unadvise.
    IFileDialogEvents* AdvisedSink() const { return sink_; }
    // QueryInterface without a record: for the class factory, which is not the program.
    HRESULT HandOut(REFIID riid, void** ppv);

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    IFACEMETHODIMP_(ULONG) AddRef() override;
    IFACEMETHODIMP_(ULONG) Release() override;

    IFACEMETHODIMP Show(HWND owner) override;
    IFACEMETHODIMP SetFileTypes(UINT count, const COMDLG_FILTERSPEC* types) override;
    IFACEMETHODIMP SetFileTypeIndex(UINT index) override;
    IFACEMETHODIMP GetFileTypeIndex(UINT* index) override;
    IFACEMETHODIMP Advise(IFileDialogEvents* sink, DWORD* cookie) override;
    IFACEMETHODIMP Unadvise(DWORD cookie) override;
    IFACEMETHODIMP SetOptions(FILEOPENDIALOGOPTIONS options) override;
    IFACEMETHODIMP GetOptions(FILEOPENDIALOGOPTIONS* options) override;
    IFACEMETHODIMP SetDefaultFolder(IShellItem* folder) override;
    IFACEMETHODIMP SetFolder(IShellItem* folder) override;
    IFACEMETHODIMP GetFolder(IShellItem** folder) override;
    IFACEMETHODIMP GetCurrentSelection(IShellItem** item) override;
    IFACEMETHODIMP SetFileName(LPCWSTR name) override;
    IFACEMETHODIMP GetFileName(LPWSTR* name) override;
    IFACEMETHODIMP SetTitle(LPCWSTR title) override;
    IFACEMETHODIMP SetOkButtonLabel(LPCWSTR text) override;
    IFACEMETHODIMP SetFileNameLabel(LPCWSTR label) override;
    IFACEMETHODIMP GetResult(IShellItem** item) override;
    IFACEMETHODIMP AddPlace(IShellItem* place, FDAP where) override;
    IFACEMETHODIMP SetDefaultExtension(LPCWSTR extension) override;
    IFACEMETHODIMP Close(HRESULT result) override;
    IFACEMETHODIMP SetClientGuid(REFGUID guid) override;
    IFACEMETHODIMP ClearClientData() override;
    IFACEMETHODIMP SetFilter(IShellItemFilter* filter) override;
    IFACEMETHODIMP GetResults(IShellItemArray** items) override;
    IFACEMETHODIMP GetSelectedItems(IShellItemArray** items) override;

    IFACEMETHODIMP SetCancelButtonLabel(LPCWSTR label) override;
    IFACEMETHODIMP SetNavigationRoot(IShellItem* root) override;

    IFACEMETHODIMP EnableOpenDropDown(DWORD id) override;
    IFACEMETHODIMP AddMenu(DWORD id, LPCWSTR label) override;
    IFACEMETHODIMP AddPushButton(DWORD id, LPCWSTR label) override;
    IFACEMETHODIMP AddComboBox(DWORD id) override;
    IFACEMETHODIMP AddRadioButtonList(DWORD id) override;
    IFACEMETHODIMP AddCheckButton(DWORD id, LPCWSTR label, BOOL checked) override;
    IFACEMETHODIMP AddEditBox(DWORD id, LPCWSTR text) override;
    IFACEMETHODIMP AddSeparator(DWORD id) override;
    IFACEMETHODIMP AddText(DWORD id, LPCWSTR text) override;
    IFACEMETHODIMP SetControlLabel(DWORD id, LPCWSTR label) override;
    IFACEMETHODIMP GetControlState(DWORD id, CDCONTROLSTATEF* state) override;
    IFACEMETHODIMP SetControlState(DWORD id, CDCONTROLSTATEF state) override;
    IFACEMETHODIMP GetEditBoxText(DWORD id, WCHAR** text) override;
    IFACEMETHODIMP SetEditBoxText(DWORD id, LPCWSTR text) override;
    IFACEMETHODIMP GetCheckButtonState(DWORD id, BOOL* checked) override;
    IFACEMETHODIMP SetCheckButtonState(DWORD id, BOOL checked) override;
    IFACEMETHODIMP AddControlItem(DWORD id, DWORD item, LPCWSTR label) override;
    IFACEMETHODIMP RemoveControlItem(DWORD id, DWORD item) override;
    IFACEMETHODIMP RemoveAllControlItems(DWORD id) override;
    IFACEMETHODIMP GetControlItemState(DWORD id, DWORD item, CDCONTROLSTATEF* state) override;
    IFACEMETHODIMP SetControlItemState(DWORD id, DWORD item, CDCONTROLSTATEF state) override;
    IFACEMETHODIMP GetSelectedControlItem(DWORD id, DWORD* item) override;
    IFACEMETHODIMP SetSelectedControlItem(DWORD id, DWORD item) override;
    IFACEMETHODIMP StartVisualGroup(DWORD id, LPCWSTR label) override;
    IFACEMETHODIMP EndVisualGroup() override;
    IFACEMETHODIMP MakeProminent(DWORD id) override;
    IFACEMETHODIMP SetControlItemText(DWORD id, DWORD item, LPCWSTR label) override;

    IFACEMETHODIMP GetWindow(HWND* window) override;
    IFACEMETHODIMP ContextSensitiveHelp(BOOL enter) override;

private:
    // Records the call and answers S_OK, or E_FAIL when the method is told to fail.
    HRESULT Answer(const std::wstring& method, const std::wstring& arguments);
    // Records a call the program is not expected to make.
    HRESULT Unexpected(const wchar_t* method);
    // Records the call and hands out a reference to object, or nothing when the call fails.
    template <typename Interface>
    HRESULT HandOutObject(const wchar_t* method, Interface* object, Interface** out);
    bool IsWithheld(REFIID interfaceId) const;

    std::vector<std::wstring> failingCalls_;
    std::vector<IID> withheld_;
    FILEOPENDIALOGOPTIONS options_ = 0;
    IShellItem* currentSelection_ = nullptr;
    IShellItemArray* selectedItems_ = nullptr;
    IShellItemArray* results_ = nullptr;
    IShellItem* folder_ = nullptr;
    HWND window_ = nullptr;
    std::function<void(FakeFileDialog&)> onShow_;
    // Not referenced: a sink that outlived its Unadvise must not be touched at teardown.
    IFileDialogEvents* sink_ = nullptr;
};

// A class factory whose CreateInstance runs a given function; registered with
// CoRegisterClassObject it answers the program's CoCreateInstance. Safe to call from any thread.
class FakeClassFactory : public IClassFactory, public FakeBookkeeping {
public:
    using Creator = std::function<HRESULT(REFIID riid, void** ppv)>;
    explicit FakeClassFactory(Creator creator) : creator_(std::move(creator)) {}

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return DropReference(); }
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    IFACEMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    Creator creator_;
};

// The settings as a run starts with them, the given title and the default Cancel label loaded,
// for the lifetime of the object; the previous settings come back at its end.
class FreshLaunchSettings {
public:
    explicit FreshLaunchSettings(const wchar_t* title);
    ~FreshLaunchSettings() { LaunchSettings = saved_; }
    FreshLaunchSettings(const FreshLaunchSettings&) = delete;
    FreshLaunchSettings& operator=(const FreshLaunchSettings&) = delete;

private:
    LaunchSettingsRecord saved_;
};
