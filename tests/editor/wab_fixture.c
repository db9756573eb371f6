/* A stand-in Windows Address Book for the address book tests. WABOpen hands out an address book
 * whose personal container holds the entries below (the people of contacts/, a distribution
 * list, in no order), logs what the reader asks for, and counts every object and buffer it hands
 * out, so that a test can see that all of them come back. WAB_FIXTURE_FAIL_AT=n makes the n-th
 * QueryRows fail. */
#include <windows.h>
/* after windows.h */
#include <stdio.h>
#include <stdlib.h>
/* the parts of <wab.h> in use (its utility part clashes with mapidefs.h) */
#include <wabdefs.h>
/* after wabdefs.h */
#include <wabapi.h>
#include <wabcode.h>
#include <wabiab.h>
#include <wabtags.h>

struct Entry {
    const char* name;
    const char* email;
    LONG type;
};
static const struct Entry kEntries[] = {
    {"Zo\xEB"
     " Adams",
     "zoe@work.example", MAPI_MAILUSER},
    {"Team", "team@example.cz", MAPI_DISTLIST},
    {"Petr Svoboda", "petr@svoboda.example", MAPI_MAILUSER},
    {"Eva M\xFCller", NULL, MAPI_MAILUSER},
    {"adam Bell", "adam@bell.example", MAPI_MAILUSER},
    {"\x8A\xE1rka Nov\xE1kov\xE1", "sarka@example.cz", MAPI_MAILUSER},
    {"Jan Nov\xE1k", "jan.novak@example.cz", MAPI_MAILUSER},
};
enum { kCount = sizeof kEntries / sizeof kEntries[0] };

static LONG live; /* objects and buffers handed out and not yet released or freed */
static char calls[512];
static ULONG columns[8], columnCount, nextRow, queries;

static void Log(const char* text) {
    if (strlen(calls) + strlen(text) + 2 < sizeof calls) {
        strcat(strcat(calls, calls[0] ? " " : ""), text);
    }
}

static void* Allocate(size_t size) {
    ++live;
    return calloc(1, size);
}

static ULONG STDMETHODCALLTYPE AddRef(void* self) {
    (void)self;
    return (ULONG)++live;
}
static ULONG STDMETHODCALLTYPE Release(void* self) {
    (void)self;
    return (ULONG)--live;
}
#define COUNTED .AddRef = (void*)AddRef, .Release = (void*)Release

static HRESULT STDMETHODCALLTYPE FreeBuffer(IWABObject* self, void* buffer) {
    (void)self;
    if (buffer) {
        --live;
        free(buffer);
    }
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE SetColumns(IMAPITable* self, SPropTagArray* tags, ULONG flags) {
    char text[80];
    (void)self;
    columnCount = tags->cValues < 8 ? tags->cValues : 8;
    memcpy(columns, tags->aulPropTag, columnCount * sizeof(ULONG));
    snprintf(text, sizeof text, "SetColumns(%08lX %08lX %08lX %08lX)", columns[0], columns[1],
             columns[2], columns[3]);
    Log(text);
    return flags == 0 ? S_OK : E_INVALIDARG;
}
static HRESULT STDMETHODCALLTYPE SortTable(IMAPITable* self, SSortOrderSet* sort, ULONG flags) {
    char text[40];
    (void)self, (void)flags;
    snprintf(text, sizeof text, "SortTable(%08lX %s)", sort->aSort[0].ulPropTag,
             sort->cSorts == 1 && sort->aSort[0].ulOrder == TABLE_SORT_ASCEND ? "up" : "?");
    Log(text);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE GetRowCount(IMAPITable* self, ULONG flags, ULONG* count) {
    (void)self, (void)flags;
    Log("GetRowCount");
    *count = kCount;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE QueryRows(IMAPITable* self, LONG want, ULONG flags,
                                           SRowSet** out) {
    char failAt[16] = "";
    SRowSet* rows;
    (void)self, (void)flags;
    GetEnvironmentVariableA("WAB_FIXTURE_FAIL_AT", failAt, sizeof failAt);
    if (want != 1 || atol(failAt) == (long)++queries) {
        return MAPI_E_CALL_FAILED;
    }
    *out = rows = Allocate(sizeof(SRowSet));
    if (nextRow < kCount) {
        const struct Entry* e = &kEntries[nextRow];
        SPropValue* v = Allocate(columnCount * sizeof(SPropValue));
        ULONG i;
        for (i = 0; i < columnCount; ++i) {
            v[i].ulPropTag = columns[i];
            if (columns[i] == PR_DISPLAY_NAME_A) {
                v[i].Value.lpszA = (char*)e->name;
            } else if (columns[i] == PR_EMAIL_ADDRESS_A && e->email) {
                v[i].Value.lpszA = (char*)e->email;
            } else if (columns[i] == PR_OBJECT_TYPE) {
                v[i].Value.l = e->type;
            } else if (columns[i] == PR_ENTRYID) {
                v[i].Value.bin.cb = sizeof nextRow;
                v[i].Value.bin.lpb = (BYTE*)&kEntries[nextRow];
            } else {
                v[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(columns[i]));
            }
        }
        rows->cRows = 1;
        rows->aRow[0].cValues = columnCount;
        rows->aRow[0].lpProps = v;
        ++nextRow;
    }
    return S_OK;
}
static IMAPITableVtbl tableVtbl = {COUNTED, .SetColumns = SetColumns, .SortTable = SortTable,
                                   .GetRowCount = GetRowCount, .QueryRows = QueryRows};
static IMAPITable table = {&tableVtbl};

static HRESULT STDMETHODCALLTYPE GetContentsTable(IABContainer* self, ULONG flags,
                                                  IMAPITable** out) {
    (void)self;
    Log(flags == WAB_LOCAL_CONTAINERS ? "GetContentsTable(local)" : "GetContentsTable(?)");
    ++live;
    *out = &table;
    return S_OK;
}
static IABContainerVtbl containerVtbl = {COUNTED, .GetContentsTable = GetContentsTable};
static IABContainer container = {&containerVtbl};

static ULONG pab = 42;
static HRESULT STDMETHODCALLTYPE GetPAB(IAddrBook* self, ULONG* size, ENTRYID** entry) {
    (void)self;
    Log("GetPAB");
    *size = sizeof pab;
    *entry = Allocate(sizeof pab);
    memcpy(*entry, &pab, sizeof pab);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE OpenEntry(IAddrBook* self, ULONG size, ENTRYID* entry,
                                           const IID* iid, ULONG flags, ULONG* type,
                                           IUnknown** out) {
    (void)self, (void)iid, (void)flags;
    if (size != sizeof pab || memcmp(entry, &pab, sizeof pab) != 0) {
        return MAPI_E_NOT_FOUND;
    }
    Log("OpenEntry(PAB)");
    ++live;
    *type = MAPI_ABCONT;
    *out = (IUnknown*)&container;
    return S_OK;
}
static IAddrBookVtbl bookVtbl = {COUNTED, .GetPAB = GetPAB, .OpenEntry = OpenEntry};
static IAddrBook book = {&bookVtbl};

static IWABObjectVtbl wabVtbl = {COUNTED, .FreeBuffer = FreeBuffer};
static IWABObject wab = {&wabVtbl};

__declspec(dllexport) HRESULT WINAPI
    WABOpen(IAddrBook** outBook, IWABObject** outWab, WAB_PARAM* param, DWORD reserved) {
    calls[0] = '\0';
    nextRow = queries = 0;
    Log(param && param->cbSize == sizeof *param && param->hwnd && !param->szFileName && !reserved
            ? "WABOpen(window)"
            : "WABOpen(?)");
    live += 2;
    *outBook = &book;
    *outWab = &wab;
    return S_OK;
}

__declspec(dllexport) LONG WabFixtureLive(void) {
    return live;
}
__declspec(dllexport) const char* WabFixtureCalls(void) {
    return calls;
}
