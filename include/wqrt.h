/*
 * WqRT - runtime library of the Qorva Outlook Express Extensions.
 *
 * The public C interface: every exported function, the records that cross it and the result
 * codes. Plain C, usable from C, C++ and any foreign-function interface.
 *
 * Calling convention: every export is __stdcall (the callee removes the arguments) in the
 * Windows builds; in the native Linux build it is the platform's C convention.
 *
 * Ownership: the host owns every record it passes in, and every string those records point to,
 * for the whole call. The library reads them during the call and writes back only the fields
 * that are documented as outputs (AccountSettings.rememberPassword, the FolderAcl results and the
 * AclList contents given to WqGetACL).
 */
#ifndef WQRT_H
#define WQRT_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define WQ_API __stdcall
#else
#define WQ_API
#endif

#if defined(_WIN32)
#define WQ_EXPORT
#elif defined(__GNUC__)
#define WQ_EXPORT __attribute__((visibility("default")))
#else
#define WQ_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A 32-bit Windows result code (HRESULT). */
typedef int32_t WqResult;

/* An owner window: HWND in the Windows builds, an opaque handle elsewhere. May be null. */
typedef void* WqWindow;

/* Result codes. The names carry the WQ_ prefix so that they can live beside <windows.h>. */
#define WQ_S_OK ((WqResult)0)
#define WQ_S_FALSE ((WqResult)1)
#define WQ_E_NOTIMPL ((WqResult)0x80004001u)
#define WQ_E_ABORT ((WqResult)0x80004004u)
#define WQ_E_FAIL ((WqResult)0x80004005u)
#define WQ_E_UNEXPECTED ((WqResult)0x8000FFFFu)
#define WQ_E_OUTOFMEMORY ((WqResult)0x8007000Eu)
#define WQ_E_INVALIDARG ((WqResult)0x80070057u)

/*
 * The account record the host fills before each call.
 *
 * The three strings are zero-terminated text in the system ANSI code page; a null pointer reads
 * as an empty text. They belong to the host; the library copies what it needs and never frees
 * or writes them. The library writes back only rememberPassword, when the user confirms the
 * logon dialog of an operation that passes it.
 */
typedef struct AccountSettings {
    const char* hostName;     /* server host name or dotted address */
    const char* userName;     /* user name sent with LOGIN */
    const char* password;     /* password sent with LOGIN, in plain text */
    uint8_t rememberPassword; /* 1: the Remember Password box shows checked */
    uint8_t useSpa;           /* Secure Password Authentication wanted (refused) */
    uint32_t timeout;         /* seconds for every wait on the socket; default 30 */
    uint32_t port;            /* TCP port; default 143 */
    uint8_t useSsl;           /* SSL over TCP before the greeting */
} AccountSettings;

/* One identifier of a folder's access control list with its rights. */
typedef struct AclEntry {
    char identifier[128]; /* user or group (without brackets); a leading "-" marks a removal */
    char rights[16];      /* the rights letters as read, lower case */
    uint32_t kind;        /* 0 owner, 1 user, 2 group */
    uint16_t mask;        /* rights flags, filled when the list is read */
} AclEntry;

/* A growable array of AclEntry, owned by its head. */
typedef struct AclList {
    AclEntry* data;
    uint32_t count;
    uint32_t capacity;
} AclList;

/* One folder of a WqGetACL request. */
typedef struct FolderAcl {
    char name[260]; /* display path or server name, "/" between levels */
    int32_t result; /* written by WqGetACL: 0, or WQ_E_FAIL when reading this folder failed */
    AclList* acl;   /* provided by the caller, filled by WqGetACL */
} FolderAcl;

/* A WqGetACL request: an array of FolderAcl laid out like AclList. */
typedef struct FolderAclList {
    FolderAcl* data;
    uint32_t count;
    uint32_t capacity;
} FolderAclList;

/* Called once per alias by WqGetAliases; kind 1 for the user's own folders, 2 for "#" targets.
 * The texts are valid only during the call. */
typedef void(WQ_API* WqAliasCallback)(uint32_t kind, const char* folder, const char* alias,
                                      void* context);

#if defined(__cplusplus) && __cplusplus >= 201103L
#define WQ_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define WQ_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define WQ_STATIC_ASSERT(cond, msg)
#endif

WQ_STATIC_ASSERT(sizeof(AclEntry) == 152, "AclEntry is 128 + 16 + 4 + 2 bytes, padded to 4");
WQ_STATIC_ASSERT(offsetof(AclEntry, rights) == 128, "AclEntry.rights follows the identifier");
WQ_STATIC_ASSERT(offsetof(AclEntry, kind) == 144, "AclEntry.kind follows the rights");
WQ_STATIC_ASSERT(offsetof(AclEntry, mask) == 148, "AclEntry.mask follows the kind");
WQ_STATIC_ASSERT(offsetof(FolderAcl, result) == 260, "FolderAcl.result follows the name");
WQ_STATIC_ASSERT(offsetof(AccountSettings, rememberPassword) == 3 * sizeof(void*),
                 "AccountSettings: three strings, then the flags");
#if defined(_WIN32) && !defined(_WIN64)
WQ_STATIC_ASSERT(sizeof(AccountSettings) == 28, "AccountSettings in the 32-bit build");
WQ_STATIC_ASSERT(offsetof(AccountSettings, timeout) == 16, "AccountSettings.timeout");
WQ_STATIC_ASSERT(offsetof(AccountSettings, useSsl) == 24, "AccountSettings.useSsl");
WQ_STATIC_ASSERT(sizeof(AclList) == 12, "AclList is three 32-bit fields");
WQ_STATIC_ASSERT(sizeof(FolderAcl) == 268, "FolderAcl in the 32-bit build");
WQ_STATIC_ASSERT(sizeof(FolderAclList) == 12, "FolderAclList is three 32-bit fields");
#endif

/* Runtime entry. */
WQ_EXPORT WqResult WQ_API WqInit(uint32_t reserved, uint16_t language);
WQ_EXPORT WqResult WQ_API WqAbout(uint32_t reserved, WqWindow parent);
WQ_EXPORT WqResult WQ_API Test(uint32_t a, uint32_t b, uint32_t c, uint32_t d);

/* Mail rules. */
WQ_EXPORT WqResult WQ_API WqMailRules(WqWindow owner, AccountSettings* account);

/* Mailbox commands; folder in display form. */
WQ_EXPORT WqResult WQ_API WqSetAllRead(AccountSettings* account, const char* folder);
WQ_EXPORT WqResult WQ_API WqSetAllUnread(AccountSettings* account, const char* folder);
WQ_EXPORT WqResult WQ_API WqExpunge(AccountSettings* account, const char* folder);

/* Access control lists and sharing. */
WQ_EXPORT WqResult WQ_API WqGetACL(WqWindow parent, AccountSettings* account,
                                   FolderAclList* request);
WQ_EXPORT int32_t WQ_API WqAclToString(const AclList* list, char* buffer);
/* page receives the property-page handle (HPROPSHEETPAGE in the Windows builds). */
WQ_EXPORT WqResult WQ_API WqCreatePageSecurity(const char* folder, AccountSettings* account,
                                               void** page);
WQ_EXPORT WqResult WQ_API WqImapFolders(AccountSettings* account);

/* Aliases. */
WQ_EXPORT WqResult WQ_API WqAddAlias(AccountSettings* account, const char* folder,
                                     const char* alias);
WQ_EXPORT WqResult WQ_API WqRemoveAlias(AccountSettings* account, const char* alias);
WQ_EXPORT WqResult WQ_API WqGetAliases(AccountSettings* account, WqAliasCallback callback,
                                       void* context);

#ifdef __cplusplus
}
#endif

/* The POSIX regular expressions exported for the host. */
#include "wqrt_regex.h"

#endif /* WQRT_H */
