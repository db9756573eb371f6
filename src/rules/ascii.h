// ASCII character classes and case folding for Sieve keywords, tags and header names. The
// reader classifies bytes with these and nothing else, so that its behaviour does not depend on
// the process's locale; bytes with the high bit set are neither letters, digits nor white space.
#pragma once

#include <string_view>

namespace wq::rules {

constexpr bool isAsciiLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isAsciiDigit(int c) {
    return c >= '0' && c <= '9';
}
// White space as the C library's isspace() has it in the "C" locale.
constexpr bool isAsciiSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
constexpr char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace wq::rules
