// Collation on POSIX: the collation of the locale the environment names (LC_ALL, LC_COLLATE,
// LANG), applied with wcscoll_l to the texts in UTF-32; the process's own locale is left alone.
// Without such a locale ("C", "POSIX", "C.UTF-8" or none) the order is built in, in three
// rounds as a locale's collation has them: letters by their base letter ("Šárka" between "Petr"
// and "Zoë"), then accents, then case and the remaining code points; so a list reads
// "adam, Bára, Šárka, zoe" as a person expects.
#include <locale.h>
#include <wchar.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/collate.h"

namespace wq::platform {
namespace {

// The lower-case form of the letters of the Latin-1, Latin Extended-A, Greek and Cyrillic
// blocks, which hold every letter of the code pages the library converts.
char32_t Fold(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
        // Pairs: upper case on the even code point, except in 0x139-0x148 and 0x179-0x17E.
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        bool upper = oddUpper ? (c % 2 == 1) : (c % 2 == 0);
        return upper ? c + 1 : c;
    }
    return c;
}

std::u32string Wide(std::string_view text) {
    std::u16string utf16 = MultiByteToWide(kCodePageAnsi, text);
    std::u32string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

// The base letter of U+00C0 to U+017F, lower case; '.' for the two signs among them.
constexpr char kBaseLetters[] =
    "aaaaaaaceeeeiiiidnooooo.ouuuuytsaaaaaaaceeeeiiiidnooooo.ouuuuyty"
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkklllllll"
    "lllnnnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(sizeof kBaseLetters == 0x180 - 0xC0 + 1);

char32_t Base(char32_t c) {
    c = Fold(c);
    if (c >= 0xC0 && c < 0x180 && kBaseLetters[c - 0xC0] != '.') {
        return static_cast<char32_t>(kBaseLetters[c - 0xC0]);
    }
    return c;
}

int Sign(long long v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

int CompareBy(char32_t (*key)(char32_t), const std::u32string& a, const std::u32string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (key(a[i]) != key(b[i])) {
            return Sign(static_cast<long long>(key(a[i])) - key(b[i]));
        }
    }
    return Sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

char32_t Same(char32_t c) {
    return c;
}

int CompareBuiltIn(const std::u32string& a, const std::u32string& b) {
    for (auto key : {Base, Fold, Same}) {
        if (int result = CompareBy(key, a, b)) {
            return result;
        }
    }
    return 0;
}

// The collation locale the environment names, or null for the built-in order.
locale_t EnvironmentCollation() {
    const char* name = nullptr;
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            name = value;
            break;
        }
    }
    if (!name) {
        return nullptr;
    }
    std::string_view n(name);
    if (n == "C" || n == "POSIX" || n.substr(0, 2) == "C.") {
        return nullptr;
    }
    return newlocale(LC_COLLATE_MASK, name, nullptr);
}

}  // namespace

int CollateText(std::string_view a, std::string_view b) {
    std::u32string wa = Wide(a), wb = Wide(b);
    static const locale_t collation = EnvironmentCollation();
    if (!collation) {
        return CompareBuiltIn(wa, wb);
    }
    std::wstring la(wa.begin(), wa.end()), lb(wb.begin(), wb.end());
    int result = Sign(wcscoll_l(la.c_str(), lb.c_str(), collation));
    return result != 0 ? result : CompareBuiltIn(wa, wb);
}

bool EqualTextNoCase(std::string_view a, std::string_view b) {
    std::u32string wa = Wide(a), wb = Wide(b);
    if (wa.size() != wb.size()) {
        return false;
    }
    for (size_t i = 0; i < wa.size(); ++i) {
        if (Fold(wa[i]) != Fold(wb[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace wq::platform
