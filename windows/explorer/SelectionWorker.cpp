// Worker thread that selects one named item in the dialog's file list through UI Automation, and
// its start.
#include "LaunchSettings.h"

#include <objbase.h>
#include <process.h>
#include <wchar.h>
#include <oleauto.h>
#include <uiautomation.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kFirstLookPauseMs = 100;
constexpr DWORD kLastLookPauseMs = 3200;

class BstrHolder {
public:
    explicit BstrHolder(BSTR text) : text_(text) {}
    ~BstrHolder() { SysFreeString(text_); }
    BstrHolder(const BstrHolder&) = delete;
    BstrHolder& operator=(const BstrHolder&) = delete;
    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

class VariantHolder {
public:
    VariantHolder() { VariantInit(&value_); }
    ~VariantHolder() { VariantClear(&value_); }
    VariantHolder(const VariantHolder&) = delete;
    VariantHolder& operator=(const VariantHolder&) = delete;
    VARIANT& Get() { return value_; }

private:
    VARIANT value_;
};

VARIANT ControlType(CONTROLTYPEID type)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = type;
    return value;
}

// Windows' file list is the items view. A combo box's open drop-down or the file-name box's
// suggestions are Lists too and may come first in the tree; the first List is only a fallback,
// for a dialog that has no items view.
ComPtr<IUIAutomationElement> FindFileList(IUIAutomation* automation, IUIAutomationElement* window)
{
    ComPtr<IUIAutomationElement> list;
    ComPtr<IUIAutomationCondition> listCondition;
    automation->CreatePropertyCondition(UIA_ControlTypePropertyId,
                                        ControlType(UIA_ListControlTypeId), &listCondition);
    if (!listCondition) {
        return list;
    }
    VariantHolder className;
    className.Get().vt = VT_BSTR;
    className.Get().bstrVal = SysAllocString(L"UIItemsView");
    ComPtr<IUIAutomationCondition> classCondition;
    ComPtr<IUIAutomationCondition> itemsViewCondition;
    if (className.Get().bstrVal != nullptr) {
        automation->CreatePropertyCondition(UIA_ClassNamePropertyId, className.Get(),
                                            &classCondition);
    }
    if (classCondition) {
        automation->CreateAndCondition(listCondition.Get(), classCondition.Get(),
                                       &itemsViewCondition);
    }
    if (itemsViewCondition) {
        window->FindFirst(TreeScope_Descendants, itemsViewCondition.Get(), &list);
    }
    if (!list) {
        window->FindFirst(TreeScope_Descendants, listCondition.Get(), &list);
    }
    return list;
}

// The rows that the list's Selection pattern reports as selected: in the items view, which
// creates only the rows in view, those in view alone.
bool SelectionInViewReported(IUIAutomationElement* list)
{
    ComPtr<IUIAutomationSelectionPattern> selection;
    list->GetCurrentPatternAs(UIA_SelectionPatternId, IID_PPV_ARGS(&selection));
    if (!selection) {
        return false;
    }
    ComPtr<IUIAutomationElementArray> selected;
    selection->GetCurrentSelection(&selected);
    int count = 0;
    return selected && SUCCEEDED(selected->get_Length(&count)) && count > 0;
}

// The container finds a selected row also out of view. Windows answers E_INVALIDARG where a
// container cannot search by this property.
bool ContainerFindsSelectedRow(IUIAutomationElement* list)
{
    ComPtr<IUIAutomationItemContainerPattern> container;
    list->GetCurrentPatternAs(UIA_ItemContainerPatternId, IID_PPV_ARGS(&container));
    if (!container) {
        return false;
    }
    ComPtr<IUIAutomationElement> selectedRow;
    VariantHolder isSelected;
    isSelected.Get().vt = VT_BOOL;
    isSelected.Get().boolVal = VARIANT_TRUE;
    const HRESULT searched = container->FindItemByProperty(
        nullptr, UIA_SelectionItemIsSelectedPropertyId, isSelected.Get(), &selectedRow);
    return SUCCEEDED(searched) && selectedRow;
}

// Select deselects every other entry and is itself a selection change that starts another
// worker, so a worker that overrode a selection would take the user's choice away, collapse a
// multiple selection and, coming late, start an endless chain of workers. A list that cannot
// tell counts as having none. The container's search runs on the list's own thread and may walk
// the whole folder, so a pick in view is found without it.
bool ListHasSelection(IUIAutomationElement* list)
{
    return SelectionInViewReported(list) || ContainerFindsSelectedRow(list);
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK StopAtControlId(HWND child, LPARAM argument)
{
    auto* search = reinterpret_cast<ControlSearch*>(argument);
    if (GetDlgCtrlID(child) != search->id) {
        return TRUE;
    }
    search->found = child;
    return FALSE;
}

// The Edit that shows the file-name box's text, or none. Searched below the whole dialog, as
// the tailoring searches for it: a Windows version may nest the box. A combo box shows its
// text in an Edit of its own, and a ComboBoxEx32 holds such a combo box.
HWND FindFileNameEdit(HWND dialogWindow)
{
    ControlSearch search = {kFileNameBoxId, nullptr};
    EnumChildWindows(dialogWindow, StopAtControlId, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        search.id = kWineFileNameEditId;
        EnumChildWindows(dialogWindow, StopAtControlId, reinterpret_cast<LPARAM>(&search));
    }
    for (HWND combo = search.found; combo != nullptr;
         combo = FindWindowExW(combo, nullptr, L"ComboBox", nullptr)) {
        HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
        if (edit != nullptr) {
            return edit;
        }
    }
    return search.found;
}

// Tells whether the dialog has the box; without one the text is empty. The box belongs to the
// dialog's thread, which answers a worker's read of it.
bool ReadFileNameBox(HWND dialogWindow, wchar_t (&text)[kPathUnits])
{
    text[0] = L'\0';
    HWND edit = FindFileNameEdit(dialogWindow);
    if (edit == nullptr) {
        return false;
    }
    GetWindowTextW(edit, text, kPathUnits);
    return true;
}

// Selecting an entry writes its name into the file-name box, so a worker acting after the user
// typed or picked another name there would replace it, and confirming would launch its file.
bool UserHasChosen(IUIAutomationElement* list, const SelectRequest& request)
{
    wchar_t boxText[kPathUnits];
    return ListHasSelection(list) || (ReadFileNameBox(request.dialogWindow, boxText) &&
                                      wcscmp(boxText, request.fileNameBoxText) != 0);
}

void SelectElement(IUIAutomationElement* list, IUIAutomationElement* element,
                   const SelectRequest& request)
{
    ComPtr<IUIAutomationSelectionItemPattern> selection;
    element->GetCurrentPatternAs(UIA_SelectionItemPatternId, IID_PPV_ARGS(&selection));
    // Asked again here: the user may have clicked or typed while the search ran.
    if (selection && !UserHasChosen(list, request)) {
        selection->Select();
    }
}

// For an entry the list has not created yet: find it through the container, realize it,
// then select it. Tells whether the container holds an entry of the name.
bool SelectThroughItemContainer(IUIAutomationElement* list, const VARIANT& name,
                                const SelectRequest& request)
{
    ComPtr<IUIAutomationItemContainerPattern> container;
    list->GetCurrentPatternAs(UIA_ItemContainerPatternId, IID_PPV_ARGS(&container));
    if (!container) {
        return false;
    }
    ComPtr<IUIAutomationElement> found;
    container->FindItemByProperty(nullptr, UIA_NamePropertyId, name, &found);
    if (!found) {
        return false;
    }
    ComPtr<IUIAutomationElement> namesake;
    container->FindItemByProperty(found.Get(), UIA_NamePropertyId, name, &namesake);
    // A second entry of that name makes the choice a guess, as in the direct search. Realizing
    // may scroll the list, which a user who has picked a file meanwhile should not see.
    if (namesake || UserHasChosen(list, request)) {
        return true;
    }
    ComPtr<IUIAutomationVirtualizedItemPattern> virtualized;
    found->GetCurrentPatternAs(UIA_VirtualizedItemPatternId, IID_PPV_ARGS(&virtualized));
    if (virtualized && SUCCEEDED(virtualized->Realize())) {
        SelectElement(list, found.Get(), request);
    }
    return true;
}

// The matching direct children of the list: how many there are, and the one when there is
// exactly one. With extensions hidden, setup.exe and setup.ini both show as "setup"; guessing
// between them could start a program where a document was meant, so a shared name selects
// nothing and the user's own selection stays.
int FindMatchingChildren(IUIAutomationElement* list, IUIAutomationCondition* condition,
                         ComPtr<IUIAutomationElement>& onlyMatch)
{
    ComPtr<IUIAutomationElementArray> matches;
    list->FindAll(TreeScope_Children, condition, &matches);
    int count = 0;
    if (!matches || FAILED(matches->get_Length(&count)) || count <= 0) {
        return 0;
    }
    if (count == 1) {
        matches->GetElement(0, &onlyMatch);
    }
    return count;
}

// One search of the list for the entry, which selects it when it is the only one of its name.
// Tells whether the list holds an entry of the name at all.
bool LookForEntry(IUIAutomationElement* list, IUIAutomationCondition* condition,
                  const VARIANT& name, ComPtr<IUIAutomationElement>& item,
                  const SelectRequest& request)
{
    const int matches = condition ? FindMatchingChildren(list, condition, item) : 0;
    if (matches == 1 && item) {
        SelectElement(list, item.Get(), request);
    }
    return matches > 0 || SelectThroughItemContainer(list, name, request);
}

void SelectListItem(IUIAutomation* automation, IUIAutomationElement* list,
                    const SelectRequest& request)
{
    // Declared in the reverse of the order in which they are to be released.
    ComPtr<IUIAutomationElement> item;
    ComPtr<IUIAutomationCondition> itemTypeCondition;
    ComPtr<IUIAutomationCondition> nameCondition;
    ComPtr<IUIAutomationCondition> combinedCondition;
    BstrHolder nameString(SysAllocString(request.itemName));
    VariantHolder nameValue;
    if (nameString.Get() == nullptr) {
        return;
    }
    BSTR nameCopy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(nameString.Get()),
                                          SysStringByteLen(nameString.Get()));
    if (nameCopy == nullptr) {
        return;
    }
    nameValue.Get().vt = VT_BSTR;
    nameValue.Get().bstrVal = nameCopy;

    automation->CreatePropertyCondition(UIA_ControlTypePropertyId,
                                        ControlType(UIA_ListItemControlTypeId), &itemTypeCondition);
    automation->CreatePropertyCondition(UIA_NamePropertyId, nameValue.Get(), &nameCondition);
    if (itemTypeCondition && nameCondition) {
        automation->CreateAndCondition(itemTypeCondition.Get(), nameCondition.Get(),
                                       &combinedCondition);
    }
    // The dialog reports a folder change before its view has listed the folder, which Windows
    // does in batches: a long folder takes seconds. Each look that misses costs the list's
    // thread a search of the whole folder, so the pauses grow (6.3 s in all, seven looks).
    // Every look asks this list: a user who has left the folder has left it behind.
    DWORD pause = kFirstLookPauseMs;
    while (!LookForEntry(list, combinedCondition.Get(), nameValue.Get(), item, request) &&
           pause <= kLastLookPauseMs) {
        Sleep(pause);
        pause *= 2;
        if (ListHasSelection(list)) {
            return;
        }
    }
}

void SelectNamedItem(const SelectRequest& request)
{
    ComPtr<IUIAutomation> automation;
    if (FAILED(CoCreateInstance(CLSID_CUIAutomation, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&automation))) ||
        !automation) {
        return;
    }
    ComPtr<IUIAutomationElement> window;
    automation->ElementFromHandle(request.dialogWindow, &window);
    if (!window) {
        return;
    }
    ComPtr<IUIAutomationElement> list = FindFileList(automation.Get(), window.Get());
    // A worker started by the user's own selection change ends here, without a search.
    if (!list || ListHasSelection(list.Get())) {
        return;
    }
    SelectListItem(automation.Get(), list.Get(), request);
}

} // namespace

unsigned __stdcall SelectItemThreadProc(void* argument)
{
    auto* request = static_cast<SelectRequest*>(argument);
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(joined)) {
        SelectNamedItem(*request);
    }
    // Everything acquired is released by now; the request goes before COM is left.
    CoTaskMemFree(request);
    if (SUCCEEDED(joined)) {
        CoUninitialize();
    }
    return 0;
}

void StartSelectWorker(HWND window)
{
    // Without the dialog's window a search would start at the desktop and could select an item
    // of that name in another program.
    if (window == nullptr) {
        return;
    }
    auto* request = static_cast<SelectRequest*>(CoTaskMemAlloc(sizeof(SelectRequest)));
    if (request == nullptr) {
        return;
    }
    request->dialogWindow = window;
    CopyBounded(request->itemName, LaunchSettings.selectName, kPathUnits);
    ReadFileNameBox(window, request->fileNameBoxText);

    const uintptr_t thread = _beginthreadex(nullptr, 0, SelectItemThreadProc, request, 0, nullptr);
    if (thread == 0) {
        // The worker never got the request, so it is still ours to free.
        CoTaskMemFree(request);
        return;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
}
