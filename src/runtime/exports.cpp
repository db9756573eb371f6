// The runtime's own exports: language choice, the About sheet and the development entry.
#include "runtime/about.h"
#include "runtime/account.h"
#include "runtime/module_state.h"
#include "runtime/result.h"
#include "wqrt.h"

extern "C" {

WqResult WQ_API WqInit(uint32_t reserved, uint16_t language) {
    (void)reserved;
    wq::Module().uiLanguage = language;
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
