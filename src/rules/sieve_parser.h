// The Sieve reader: script text in, RuleSet out.
//
// The dialect is a fixed subset of Sieve without "require": the commands if/elsif/else, keep,
// discard, stop, reject, fileinto, redirect, notify and vacation; the tests not, allof, anyof,
// true, false, exists, address, header, size and spamtest; and "void" for an absent test. Marker
// lines ("#!1 name") and "# "-prefixed switched-off rules carry each rule's name and state.
#pragma once

#include <cstdint>
#include <string_view>

#include "rules/model.h"
#include "rules/sieve_lexer.h"

namespace wq::rules {

// The reader's state when it stopped; callers show `errorMessage` with `line` when `error` is
// set ("Error details:\nLine %d: %s"). An empty message with the error set means that memory
// ran out.
using ParseResult = SieveLexerState;

// Parses `script` (which ends at its first NUL character). On success `rules` receives the
// chain of top-level commands and the result is true. When an error was found, everything built
// is freed, `rules` is left empty and the result is false. `options` is kept in the result only.
bool parseScript(std::string_view script, RuleSet& rules, uint32_t options = 0,
                 ParseResult* result = nullptr);

}  // namespace wq::rules
