// Exports whose feature is not built yet: each checks its arguments exactly as it will when
// its feature arrives, then answers E_NOTIMPL. A feature that is built moves its export into
// its own subsystem and deletes the entry here.
#include <cctype>

#include "runtime/result.h"
#include "wqrt.h"

namespace {

bool IsBlank(const char* text) {
    if (!text) {
        return true;
    }
    for (; *text; ++text) {
        if (!std::isspace(static_cast<unsigned char>(*text))) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" {

WqResult WQ_API WqMailRules(WqWindow owner, AccountSettings* account) {
    (void)owner;
    return account ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqSetAllRead(AccountSettings* account, const char* folder) {
    return account && folder ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqSetAllUnread(AccountSettings* account, const char* folder) {
    return account && folder ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqExpunge(AccountSettings* account, const char* folder) {
    return account && folder ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqGetACL(WqWindow parent, AccountSettings* account, FolderAclList* request) {
    (void)parent;
    return account && request ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

int32_t WQ_API WqAclToString(const AclList* list, char* buffer) {
    (void)list;
    (void)buffer;
    return wq::E_NOTIMPL;
}

WqResult WQ_API WqCreatePageSecurity(const char* folder, AccountSettings* account, void** page) {
    return folder && account && page ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqImapFolders(AccountSettings* account) {
    return account ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqAddAlias(AccountSettings* account, const char* folder, const char* alias) {
    return account && !IsBlank(folder) && !IsBlank(alias) ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqRemoveAlias(AccountSettings* account, const char* alias) {
    return account && alias ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

WqResult WQ_API WqGetAliases(AccountSettings* account, WqAliasCallback callback, void* context) {
    (void)context;
    return account && callback ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

}  // extern "C"
