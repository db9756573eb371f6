// The runtime's own exports (language choice, the About sheet, the development entry), the
// folder commands and the mail rules.
#include "base/account.h"
#include "base/resources.h"
#include "base/result.h"
#include "editor/rules_flow.h"
#include "folders/folder_names.h"
#include "net/imap.h"
#include "net/mailbox.h"
#include "runtime/about.h"
#include "runtime/module_state.h"
#include "wqrt.h"

namespace {

// The folder commands take the folder's display path; the server gets its server name.
bool ServerName(const char* folder, std::string* serverName) {
    if (!folder || !wq::net::ImapSafeArgument(folder)) {
        return false;
    }
    *serverName = wq::ServerFolderName(folder);
    return true;
}

}  // namespace

extern "C" {

WqResult WQ_API WqSetAllRead(AccountSettings* account, const char* folder) {
    std::string name;
    return ServerName(folder, &name) ? wq::net::ImapSetSeenAll(account, name, true)
                                     : wq::E_INVALIDARG;
}

WqResult WQ_API WqSetAllUnread(AccountSettings* account, const char* folder) {
    std::string name;
    return ServerName(folder, &name) ? wq::net::ImapSetSeenAll(account, name, false)
                                     : wq::E_INVALIDARG;
}

WqResult WQ_API WqExpunge(AccountSettings* account, const char* folder) {
    std::string name;
    return ServerName(folder, &name) ? wq::net::ImapExpungeFolder(account, name) : wq::E_INVALIDARG;
}

WqResult WQ_API WqMailRules(WqWindow owner, AccountSettings* account) {
    return wq::editor::RunMailRules(owner, account);
}

WqResult WQ_API WqInit(uint32_t reserved, uint16_t language) {
    (void)reserved;
    wq::SetUiLanguage(language);
    return wq::S_OK;
}

WqResult WQ_API WqAbout(uint32_t reserved, WqWindow parent) {
    (void)reserved;
    return wq::ShowAboutSheet(parent);
}

// Runs the rules flow on a built-in account: server "mail", SSL on port 993, Czech texts.
WqResult WQ_API Test(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    (void)a;
    (void)b;
    (void)c;
    (void)d;
    AccountSettings account;
    wq::ResetAccountSettings(account);
    account.hostName = "mail";
    account.userName = "test";
    account.port = 993;
    account.useSsl = 1;
    WqInit(0, 0x0405);
    WqMailRules(nullptr, &account);
    return wq::S_OK;
}

}  // extern "C"
