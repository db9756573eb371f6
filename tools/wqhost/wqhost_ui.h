// Pieces of wqhost that differ between the native build and Windows.
#pragma once

#include <string>
#include <vector>

#include "wqrt.h"

namespace wqhost {

// Sets up how the library's windows are shown (printed from the headless backend natively,
// real windows on Windows).
void StartUi();

// Prints "what: 0xXXXXXXXX" and gives the process exit code for the result.
int Report(const char* what, WqResult r);

// The library's texts (ANSI code page) as the terminal shows them.
std::string ForTerminal(const std::string& ansi);

// Native-only subcommands (folders, get-script, put-script FILE); -1 when `args` names none.
int RunNativeCommand(const std::vector<std::string>& args, AccountSettings& account);

}  // namespace wqhost
