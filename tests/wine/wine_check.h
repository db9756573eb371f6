// What the Windows test hosts share: the pass/fail tally, binding exports by name, and
// screenshots of real windows kept as test artifacts.
#pragma once

#include <windows.h>

#include "platform/win32/driver/screenshot_win32.h"

#include <cstdio>
#include <string>

namespace wine_test {

using wq::ui::win32::SaveScreenshot;

inline int g_passed = 0;
inline int g_failed = 0;

inline bool Check(bool ok, const std::string& what) {
    (ok ? g_passed : g_failed)++;
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    return ok;
}

template <typename Fn>
Fn Bind(HMODULE dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

}  // namespace wine_test
