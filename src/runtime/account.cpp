#include "runtime/account.h"

#include "runtime/module_state.h"

namespace wq {

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
    return Module().currentAccount;
}

void SetCurrentAccount(AccountSettings* account) {
    Module().currentAccount = account;
}

}  // namespace wq
