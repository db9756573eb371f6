// Exports whose feature is not built yet: each checks its arguments exactly as it will when
// its feature arrives, then answers E_NOTIMPL. A feature that is built moves its export into
// its own subsystem and deletes the entry here.
#include "base/result.h"
#include "wqrt.h"

extern "C" {

WqResult WQ_API WqMailRules(WqWindow owner, AccountSettings* account) {
    (void)owner;
    return account ? wq::E_NOTIMPL : wq::E_INVALIDARG;
}

}  // extern "C"
