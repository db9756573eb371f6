// Process attach and detach of WqRT.dll.
#include <windows.h>

#include "platform/module.h"
#include "runtime/module_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            if (!wq::AttachRuntime(instance)) {
                return FALSE;  // without the rich-edit library the library does not load
            }
            DisableThreadLibraryCalls(instance);
            break;
        case DLL_PROCESS_DETACH:
            wq::DetachRuntime();
            break;
        default:
            break;
    }
    return TRUE;
}

namespace {

// The library's objects linked straight into a program (the unit tests) get no DllMain call;
// they attach when the program starts, as the DLL does when it is loaded.
struct ProgramAttach {
    ProgramAttach() {
        if (GetModuleHandleA(nullptr) == wq::platform::SelfModule()) {
            attached = wq::AttachRuntime(wq::platform::SelfModule());
        }
    }
    ~ProgramAttach() {
        if (attached) {
            wq::DetachRuntime();
        }
    }
    bool attached = false;
} programAttach;

}  // namespace
