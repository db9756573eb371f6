// The process-wide state of the runtime, in one place: created at attach, released at detach.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/module.h"
#include "wqrt.h"

namespace wq {

struct ModuleState {
    platform::ModuleHandle moduleInstance = nullptr;  // the library's own module
    // The module that supplies strings and dialog templates: the module instance, or the
    // language resource library once loaded. Replaced with an interlocked exchange.
    std::atomic<platform::ModuleHandle> resourceInstance{nullptr};
    uint16_t uiLanguage = 0;                    // set by WqInit; 0: no language library wanted
    platform::ModuleHandle richEdit = nullptr;  // kept so the rich-edit window class exists
    AccountSettings* currentAccount = nullptr;  // the record of the export in progress
};

ModuleState& Module();

// Base name of the library's files, used to build the language resource library's name.
inline constexpr const char* kModuleBaseName = "WqRT";

// Process attach: loads the rich-edit library (the attach fails without it) and sets up the
// module state. Detach releases what attach and later lookups acquired.
bool AttachRuntime(platform::ModuleHandle self);
void DetachRuntime();

// The module whose strings and dialogs are used; loads the language resource library on the
// first lookup after WqInit chose a language (a failed load is tried again next time).
platform::ModuleHandle GetResourceInstance();

// The file name of the language resource library for `language`, beside the library:
// "WqRT405.dll" on Windows, "WqRT405.so" on POSIX.
std::string LanguageLibraryPath(uint16_t language);

// The library's file version, "a.b.c.d"; empty when it has no version resource.
std::string GetModuleVersionString();

// (major << 16) | minor from a library's DllGetVersion; 0 when it cannot be had.
uint32_t GetDllVersion(const std::string& libraryName);

}  // namespace wq
