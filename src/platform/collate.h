// Comparing texts of the ANSI code page as the user's locale orders them: the sort order of
// lists that a person reads (CompareStringA on Windows), and the comparison without regard to
// case that matches what a person typed against names on screen.
#pragma once

#include <string_view>

namespace wq::platform {

// Compares two ANSI texts in the collation order of the user's locale: < 0, 0 or > 0.
// Where no locale is chosen (POSIX, with the "C" locale or none in the environment) letters
// are ordered without regard to case first, and by their code points only between texts that
// differ in case alone.
int CollateText(std::string_view a, std::string_view b);

// Whether two ANSI texts are equal when case is ignored, for the letters of every code page
// the library supports (not only ASCII: "PŘIJATÉ" equals "přijaté" in code page 1250).
bool EqualTextNoCase(std::string_view a, std::string_view b);

}  // namespace wq::platform
