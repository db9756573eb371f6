/* A stand-in Windows Address Book for the address book tests. WABOpen hands out an address book
 * whose personal container holds the people of contacts/ and a distribution list, in no order.
 * Every call checks that it is asked exactly as the real one is asked (the window, the local
 * containers, the four columns in their order, the sort by name) and fails otherwise; every
 * object and buffer handed out is counted until it comes back (WabFixtureLive). The n-th
 * QueryRows fails when WAB_FIXTURE_FAIL_AT is n. */
#include <windows.h>
/* after windows.h: the parts of <wab.h> in use (its utility part clashes with mapidefs.h) */
#include <stdlib.h>
#include <wabdefs.h>
/* after wabdefs.h */
#include <wabapi.h>
#include <wabcode.h>
#include <wabiab.h>
#include <wabtags.h>

static const struct {
    const char *name, *email;
    LONG type;
} kEntries[] = {{"Zo\xEB Adams", "zoe@work.example", MAPI_MAILUSER},
                {"Team", "team@example.cz", MAPI_DISTLIST},
                {"Petr Svoboda", "petr@svoboda.example", MAPI_MAILUSER},
                {"Eva M\xFCller", NULL, MAPI_MAILUSER},
                {"adam Bell", "adam@bell.example", MAPI_MAILUSER},
                {"\x8A\xE1rka Nov\xE1kov\xE1", "sarka@example.cz", MAPI_MAILUSER},
                {"Jan Nov\xE1k", "jan.novak@example.cz", MAPI_MAILUSER}};
static const ULONG kColumns[] = {PR_EMAIL_ADDRESS_A, PR_DISPLAY_NAME_A, PR_OBJECT_TYPE, PR_ENTRYID};
static LONG live; /* objects and buffers handed out and not yet released or freed */
static ULONG nextRow, queries, pab = 42;

static void* Allocate(size_t size) {
    ++live;
    return calloc(1, size);
}
static ULONG STDMETHODCALLTYPE AddRef(void* self) {
    return (void)self, (ULONG)++live;
}
static ULONG STDMETHODCALLTYPE Release(void* self) {
    return (void)self, (ULONG)--live;
}
#define COUNTED .AddRef = (void*)AddRef, .Release = (void*)Release
static HRESULT STDMETHODCALLTYPE FreeBuffer(IWABObject* self, void* buffer) {
    live -= buffer != NULL;
    free(buffer);
    return (void)self, S_OK;
}

static HRESULT STDMETHODCALLTYPE SetColumns(IMAPITable* self, SPropTagArray* tags, ULONG flags) {
    BOOL same = tags->cValues == 4 && !memcmp(tags->aulPropTag, kColumns, sizeof kColumns);
    return (void)self, same && !flags ? S_OK : E_INVALIDARG;
}
static HRESULT STDMETHODCALLTYPE SortTable(IMAPITable* self, SSortOrderSet* sort, ULONG flags) {
    BOOL byName = sort->cSorts == 1 && sort->aSort[0].ulPropTag == PR_DISPLAY_NAME_A &&
                  sort->aSort[0].ulOrder == TABLE_SORT_ASCEND;
    return (void)self, (void)flags, byName ? S_OK : E_INVALIDARG;
}
static HRESULT STDMETHODCALLTYPE GetRowCount(IMAPITable* self, ULONG flags, ULONG* count) {
    *count = sizeof kEntries / sizeof kEntries[0];
    return (void)self, (void)flags, S_OK;
}
static HRESULT STDMETHODCALLTYPE QueryRows(IMAPITable* self, LONG want, ULONG flags,
                                           SRowSet** out) {
    char failAt[16] = "";
    SRowSet* rows;
    GetEnvironmentVariableA("WAB_FIXTURE_FAIL_AT", failAt, sizeof failAt);
    if ((void)self, (void)flags, want != 1 || atol(failAt) == (long)++queries) {
        return MAPI_E_CALL_FAILED;
    }
    *out = rows = Allocate(sizeof(SRowSet));
    if (nextRow < sizeof kEntries / sizeof kEntries[0]) {
        SPropValue* v = Allocate(4 * sizeof(SPropValue));
        v[0].ulPropTag = kEntries[nextRow].email ? PR_EMAIL_ADDRESS_A : PROP_TAG(PT_ERROR, 0x3003);
        v[0].Value.lpszA = (char*)kEntries[nextRow].email;
        v[1].ulPropTag = PR_DISPLAY_NAME_A;
        v[1].Value.lpszA = (char*)kEntries[nextRow].name;
        v[2].ulPropTag = PR_OBJECT_TYPE;
        v[2].Value.l = kEntries[nextRow].type;
        v[3].ulPropTag = PR_ENTRYID;
        v[3].Value.bin.cb = sizeof nextRow;
        v[3].Value.bin.lpb = (BYTE*)&kEntries[nextRow++];
        rows->cRows = 1;
        rows->aRow[0].cValues = 4;
        rows->aRow[0].lpProps = v;
    }
    return S_OK;
}
static IMAPITableVtbl tableVtbl = {COUNTED, .SetColumns = SetColumns, .SortTable = SortTable,
                                   .GetRowCount = GetRowCount, .QueryRows = QueryRows};
static IMAPITable table = {&tableVtbl};

static HRESULT STDMETHODCALLTYPE GetContentsTable(IABContainer* self, ULONG flags,
                                                  IMAPITable** out) {
    *out = flags == WAB_LOCAL_CONTAINERS ? (++live, &table) : NULL;
    return (void)self, *out ? S_OK : E_INVALIDARG;
}
static IABContainerVtbl containerVtbl = {COUNTED, .GetContentsTable = GetContentsTable};
static IABContainer container = {&containerVtbl};

static HRESULT STDMETHODCALLTYPE GetPAB(IAddrBook* self, ULONG* size, ENTRYID** entry) {
    *size = sizeof pab;
    *entry = Allocate(sizeof pab);
    memcpy(*entry, &pab, sizeof pab);
    return (void)self, S_OK;
}
static HRESULT STDMETHODCALLTYPE OpenEntry(IAddrBook* self, ULONG size, ENTRYID* entry,
                                           const IID* iid, ULONG flags, ULONG* type,
                                           IUnknown** out) {
    if ((void)self, (void)iid, (void)flags, size != sizeof pab || memcmp(entry, &pab, size)) {
        return MAPI_E_NOT_FOUND;
    }
    *type = MAPI_ABCONT;
    *out = (IUnknown*)&container;
    return ++live, S_OK;
}
static IAddrBookVtbl bookVtbl = {COUNTED, .GetPAB = GetPAB, .OpenEntry = OpenEntry};
static IAddrBook book = {&bookVtbl};
static IWABObjectVtbl wabVtbl = {COUNTED, .FreeBuffer = FreeBuffer};
static IWABObject wab = {&wabVtbl};

__declspec(dllexport) HRESULT WINAPI
    WABOpen(IAddrBook** outBook, IWABObject** outWab, WAB_PARAM* param, DWORD reserved) {
    if (!param || param->cbSize != sizeof *param || !param->hwnd || param->szFileName || reserved) {
        return E_INVALIDARG;
    }
    nextRow = queries = 0;
    live += 2;
    *outBook = &book;
    *outWab = &wab;
    return S_OK;
}

__declspec(dllexport) LONG WabFixtureLive(void) {
    return live;
}
