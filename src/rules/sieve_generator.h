// The Sieve writer: RuleSet out as script text, in exactly the form that parseScript reads back.
#pragma once

#include <string>

#include "rules/model.h"

namespace wq::rules {

enum class GenerateMode {
    // Marker lines, "# " prefixes for switched-off rules and a line feed after each line.
    Script,
    // One rule for the Sieve Editor: no marker lines, no prefixes, no line feeds; the
    // indentation is still written.
    SingleRule,
};

// Appends the whole rule set, from `first` on, in script mode. Sets the parent links of every
// command inside a block or else part.
void generateScript(std::string& out, SieveCommand* first);

// Appends one command at nesting `depth` (0 at top level) and, for an If, its block and else
// part; `asElsif` writes an If as "elsif". Sets the parent link of every command it writes
// inside a block or else part to the If that holds it. A command nested more than
// kMaxNestingDepth levels below `command` (deeper than any parsed script) is not written.
void generateCommand(std::string& out, SieveCommand& command, unsigned depth, GenerateMode mode,
                     bool asElsif);

}  // namespace wq::rules
