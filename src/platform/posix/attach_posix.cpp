// Library load and unload on POSIX: the counterparts of the Windows process attach and detach.
#include <cstdio>
#include <cstdlib>

#include "platform/module.h"
#include "runtime/module_state.h"

namespace {

__attribute__((constructor)) void OnLoad() {
    if (!wq::AttachRuntime(wq::platform::SelfModule())) {
        std::fputs("WqRT: the library cannot start\n", stderr);
        std::abort();  // a refused attach: the library must not be used
    }
}

__attribute__((destructor)) void OnUnload() {
    wq::DetachRuntime();
}

}  // namespace
