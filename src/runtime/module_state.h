// Process attach and detach, and the version facts the About sheet shows.
#pragma once

#include <cstdint>
#include <string>

#include "platform/module.h"

namespace wq {

// Process attach: loads the rich-edit library (the attach fails without it) and sets up the
// module state. Detach releases what attach and later lookups acquired.
bool AttachRuntime(platform::ModuleHandle self);
void DetachRuntime();

// The library's file version, "a.b.c.d"; empty when it has no version resource.
std::string GetModuleVersionString();

// (major << 16) | minor from a library's DllGetVersion; 0 when it cannot be had.
uint32_t GetDllVersion(const std::string& libraryName);

}  // namespace wq
