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
// command inside a block or else part, and clears those of the top-level commands.
//
// What reads back: every field of every command and test that the reader can fill, except the
// own on/off flags of commands below the top level (a rule's state is its top-level command's;
// those commands read back with it). A few trees that neither the reader nor the editor makes
// read back as what they mean rather than as themselves: a command of kind None beside others
// (written as nothing), an If without a block (an empty block), an AllOf or AnyOf without
// children ("true" or "false"), an empty string list (one empty string), a vacation without
// days (7 days), and a name that only a marker line carries when it holds a line feed (written
// as a space) or ends in a carriage return and is shorter than 127 characters (the reader drops
// the carriage return).
void generateScript(std::string& out, SieveCommand* first);

// Appends one command at nesting `depth` (0 at top level) and, for an If, its block and else
// part; `asElsif` writes an If as "elsif". Sets the parent link of every command it writes
// inside a block or else part to the If that holds it. A command nested more than
// kMaxNestingDepth levels below `command` (deeper than any parsed script) is not written.
void generateCommand(std::string& out, SieveCommand& command, unsigned depth, GenerateMode mode,
                     bool asElsif);

}  // namespace wq::rules
