// The address book on Windows: the Windows Address Book, loaded from the path that the
// registry value names for the time of one read, and released object by object before the
// library is freed again. Every step that fails ends the read quietly with what it has.
#include <windows.h>
// after windows.h: the parts of <wab.h> in use (its utility part clashes with mapidefs.h)
#include <wabdefs.h>
// after wabdefs.h
#include <wabapi.h>
#include <wabcode.h>
#include <wabiab.h>
#include <wabtags.h>

#include <string>
#include <vector>

#include "platform/address_book.h"

namespace wq::platform {
namespace {

// The columns asked for, in this order.
enum Column { kEmail, kName, kObjectType, kEntryId, kColumnCount };

// The library's path: the default value of the machine-wide key, at most MAX_PATH characters,
// with environment references expanded when the value is of the expandable kind.
std::string LibraryPath() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\WAB\\DLLPath", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return {};
    }
    char value[MAX_PATH + 1] = {};
    DWORD type = 0, size = MAX_PATH;
    LONG status =
        RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    value[MAX_PATH] = '\0';
    if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH + 1] = {};
        DWORD n = ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
        return n > 0 && n <= MAX_PATH ? std::string(expanded) : std::string();
    }
    return value;
}

// Releases a COM object when it goes out of scope.
template <class T>
class Held {
  public:
    Held() = default;
    ~Held() {
        if (p_) {
            p_->Release();
        }
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return p_; }
    T** out() { return &p_; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    T* p_ = nullptr;
};

std::string Text(const SPropValue& v, ULONG tag) {
    return v.ulPropTag == tag && v.Value.lpszA ? std::string(v.Value.lpszA) : std::string();
}

// Reads the mail users of the personal address book through an open WAB.
void ReadRows(IAddrBook* book, IWABObject* wab, std::vector<Contact>* contacts) {
    ULONG entrySize = 0;
    ENTRYID* entry = nullptr;
    if (FAILED(book->GetPAB(&entrySize, &entry))) {
        return;
    }
    ULONG objectType = 0;
    Held<IABContainer> container;
    HRESULT opened = book->OpenEntry(entrySize, entry, nullptr, 0, &objectType,
                                     reinterpret_cast<IUnknown**>(container.out()));
    wab->FreeBuffer(entry);
    Held<IMAPITable> table;
    if (FAILED(opened) || !container ||
        FAILED(container->GetContentsTable(WAB_LOCAL_CONTAINERS, table.out())) || !table) {
        return;
    }
    SizedSPropTagArray(kColumnCount, columns) = {
        kColumnCount, {PR_EMAIL_ADDRESS_A, PR_DISPLAY_NAME_A, PR_OBJECT_TYPE, PR_ENTRYID}};
    SizedSSortOrderSet(1, byName) = {1, 0, 0, {{PR_DISPLAY_NAME_A, TABLE_SORT_ASCEND}}};
    ULONG count = 0;
    if (FAILED(table->SetColumns(reinterpret_cast<SPropTagArray*>(&columns), 0)) ||
        FAILED(table->SortTable(reinterpret_cast<SSortOrderSet*>(&byName), 0)) ||
        FAILED(table->GetRowCount(0, &count))) {
        return;
    }
    for (ULONG i = 0; i < count; ++i) {
        SRowSet* rows = nullptr;
        if (FAILED(table->QueryRows(1, 0, &rows)) || !rows) {
            return;
        }
        bool more = rows->cRows == 1;
        if (more) {
            const SRow& row = rows->aRow[0];
            const SPropValue* v = row.lpProps;
            if (v && row.cValues == kColumnCount && v[kObjectType].ulPropTag == PR_OBJECT_TYPE &&
                v[kObjectType].Value.l == MAPI_MAILUSER) {
                contacts->push_back(
                    {Text(v[kName], PR_DISPLAY_NAME_A), Text(v[kEmail], PR_EMAIL_ADDRESS_A)});
            }
        }
        for (ULONG r = 0; r < rows->cRows; ++r) {
            wab->FreeBuffer(rows->aRow[r].lpProps);
        }
        wab->FreeBuffer(rows);
        if (!more) {
            return;
        }
    }
}

}  // namespace

void ReadAddressBook(void* owner, std::vector<Contact>* contacts) {
    std::string path = LibraryPath();
    if (!contacts || path.empty()) {
        return;
    }
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        return;
    }
    auto open =
        reinterpret_cast<LPWABOPEN>(reinterpret_cast<void*>(GetProcAddress(library, "WABOpen")));
    if (open) {
        WAB_PARAM param = {};
        param.cbSize = sizeof param;
        param.hwnd = static_cast<HWND>(owner);
        IAddrBook* book = nullptr;
        IWABObject* wab = nullptr;
        if (SUCCEEDED(open(&book, &wab, &param, 0)) && book && wab) {
            ReadRows(book, wab, contacts);
        }
        if (book) {
            book->Release();
        }
        if (wab) {
            wab->Release();
        }
    }
    FreeLibrary(library);
}

}  // namespace wq::platform
