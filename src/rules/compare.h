// Whether two rule trees say the same thing, as far as a script can say it: the check that a
// script about to replace the user's rules on the server reads back as those rules.
#pragma once

#include <string_view>

#include "rules/model.h"

namespace wq::rules {

// Whether the chains of rules from `a` and from `b` are the same rules in the same order.
//
// Compared is everything the script carries: each command's kind, name and values (folder,
// address, reason, message, notify options, vacation subject, days and text); a rule's on/off
// state; each test with its negation, header names, keys, match type, address part,
// comparator, size and children; and the shape of blocks and else parts. Not compared is what
// no script holds: the visual flag, the parent links and the own flags of commands below the
// top level (a rule's state is its top-level command's). Empty commands (kind None) say nothing
// and are passed over, so an empty block equals no block. A vacation without days equals one of
// 7 days, which is what it is read back as. Trees nested deeper than kMaxNestingDepth compare
// unequal.
bool sameRules(const SieveCommand* a, const SieveCommand* b);

// Whether `script` parses and reads back as the rules from `first` on. False when it does not
// parse, or when memory runs out on the way.
bool readsBackAs(std::string_view script, const SieveCommand* first);

}  // namespace wq::rules
