// Pieces of wqhost that differ between the native build and Windows.
#pragma once

#include <string>
#include <vector>

#include "wqrt.h"

namespace wqhost {

// Sets up how the library's windows are shown (printed from the headless backend natively,
// real windows on Windows).
void StartUi();

// Answers the library's windows with commands (wqhost_answers.cpp): `commands` first ("a; b" is
// two), then the lines of `file` ("-": standard input, with a prompt on a terminal), in place of
// any given before. With neither, every window gets its default answer. False when the file
// cannot be read. Natively only: on Windows the windows are real and a person answers them.
bool SetAnswers(const std::vector<std::string>& commands, const std::string& file);
// Whether windows are answered by commands: each is then printed as it opens.
bool Answering();
// What went wrong with the commands: the first that could not be done, or the first never
// used because no window was open for it; empty when all went as given.
std::string AnswerTrouble();

// Prints "what: 0xXXXXXXXX" and gives the process exit code for the result.
int Report(const char* what, WqResult r);

// The library's texts (ANSI code page) as the terminal shows them.
std::string ForTerminal(const std::string& ansi);

// Native-only subcommands (folders, get-script, put-script FILE); -1 when `args` names none.
int RunNativeCommand(const std::vector<std::string>& args, AccountSettings& account);

}  // namespace wqhost
