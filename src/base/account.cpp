#include "base/account.h"

namespace wq {
namespace {

// The record of the export in progress; not owned.
AccountSettings* gCurrentAccount = nullptr;

}  // namespace

void ResetAccountSettings(AccountSettings& account) {
    account.hostName = "";
    account.userName = "";
    account.password = "";
    account.rememberPassword = 0;
    account.useSpa = 0;
    account.timeout = 30;
    account.port = 143;
    account.useSsl = 0;
}

AccountSettings* CurrentAccount() {
    return gCurrentAccount;
}

void SetCurrentAccount(AccountSettings* account) {
    gCurrentAccount = account;
}

}  // namespace wq
