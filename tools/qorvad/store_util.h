// Small helpers shared by the store and the session.
#pragma once

#include <string>
#include <string_view>

namespace qorvad {

// Every right letter the server knows, in the order it lists them (RFC 2086 letters and the
// RFC 4314 additions k, x, t, e).
inline constexpr const char* kRightsOrder = "lrswipkxtecda";

char upperAscii(char c);
std::string upperCase(std::string_view s);
// A first level equal to INBOX in any case becomes "INBOX"; the rest of the name is kept.
std::string canonicalFolder(std::string_view name);
// True when every letter (either case) is one of kRightsOrder.
bool validRights(std::string_view rights);
// The letters of `rights` in lower case and kRightsOrder order, each once.
std::string normalizeRights(std::string_view rights);

}  // namespace qorvad
