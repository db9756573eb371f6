// Every size limit of the rule model and of the Sieve reader and writer, in one place.
#pragma once

#include <cstddef>

namespace wq::rules {

// Short texts of a command (rule name, notify options, vacation subject and days).
inline constexpr size_t kMaxShortText = 127;
// The argument of a command (folder, address, reason, message, reply text).
inline constexpr size_t kMaxArgument = 2047;
// One token's text; a quoted string ends at this length.
inline constexpr size_t kMaxTokenText = 2047;
// The pending rule name taken from a marker line.
inline constexpr size_t kMaxPendingName = 127;
// The rest of a "#!" marker line that is kept.
inline constexpr size_t kMaxMarkerRest = 255;
// One line of a "text:" multi-line string, its line end included.
inline constexpr size_t kMaxMultiLineLine = 255;
// A parse error message.
inline constexpr size_t kMaxErrorMessage = 511;
// Nesting of blocks, elsif links, "not" and test lists together. Every recursive reader and
// writer checks it, so that no script can exhaust the stack (256 levels stay far below a
// 1 MB thread stack even in sanitizer builds).
inline constexpr unsigned kMaxNestingDepth = 256;

}  // namespace wq::rules
