// Modified UTF-7 of IMAP mailbox names: printable ASCII stands for itself ("&" as "&-"); any
// other text is UTF-16 in a base64 variant (with "," for "/") between "&" and "-".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qorvad.h"

namespace qorvad {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == ',')
        return 63;
    return -1;
}

// Code points of UTF-8 text; a malformed sequence gives U+FFFD for its first byte.
std::vector<uint32_t> utf8CodePoints(std::string_view s) {
    std::vector<uint32_t> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 7);
        bool ok = extra >= 0;
        if (extra > 0) {
            for (int k = 1; ok && k <= extra; ++k) {
                if (i + k >= s.size()) {
                    ok = false;
                    break;
                }
                unsigned char d = static_cast<unsigned char>(s[i + k]);
                if ((d >> 6) != 2)
                    ok = false;
                cp = (cp << 6) | (d & 0x3F);
            }
            static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
            if (ok && (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
                ok = false;
            }
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void flushShifted(std::string& out, std::vector<uint16_t>& units) {
    if (units.empty())
        return;
    out += '&';
    uint32_t bits = 0;
    int count = 0;
    for (uint16_t u : units) {
        bits = (bits << 16) | u;
        count += 16;
        while (count >= 6) {
            count -= 6;
            out += kAlphabet[(bits >> count) & 0x3F];
        }
        bits &= (1u << count) - 1;
    }
    if (count > 0)
        out += kAlphabet[(bits << (6 - count)) & 0x3F];
    out += '-';
    units.clear();
}

}  // namespace

std::string mutf7Encode(std::string_view utf8) {
    std::string out;
    std::vector<uint16_t> units;
    for (uint32_t cp : utf8CodePoints(utf8)) {
        if (cp >= 0x20 && cp <= 0x7E) {
            flushShifted(out, units);
            out += cp == '&' ? std::string("&-") : std::string(1, static_cast<char>(cp));
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 | (cp >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(cp));
        }
    }
    flushShifted(out, units);
    return out;
}

bool mutf7Decode(std::string_view in, std::string& utf8) {
    utf8.clear();
    size_t i = 0;
    while (i < in.size()) {
        char c = in[i];
        if (c < 0x20 || c > 0x7E)
            return false;
        if (c != '&') {
            utf8 += c;
            ++i;
            continue;
        }
        size_t end = in.find('-', i + 1);
        if (end == std::string_view::npos)
            return false;
        if (end == i + 1) {
            utf8 += '&';
            i = end + 1;
            continue;
        }
        uint32_t bits = 0;
        int count = 0;
        std::vector<uint16_t> units;
        for (size_t k = i + 1; k < end; ++k) {
            int v = base64Value(in[k]);
            if (v < 0)
                return false;
            bits = (bits << 6) | static_cast<uint32_t>(v);
            count += 6;
            if (count >= 16) {
                count -= 16;
                units.push_back(static_cast<uint16_t>(bits >> count));
                bits &= (1u << count) - 1;
            }
        }
        // Leftover bits must be padding zeros, and fewer than one base64 digit's worth.
        if (count >= 6 || bits != 0 || units.empty())
            return false;
        for (size_t k = 0; k < units.size(); ++k) {
            uint32_t u = units[k];
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (k + 1 >= units.size())
                    return false;
                uint32_t low = units[k + 1];
                if (low < 0xDC00 || low > 0xDFFF)
                    return false;
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++k;
            } else if (u >= 0xDC00 && u <= 0xDFFF) {
                return false;
            } else if (u >= 0x20 && u <= 0x7E) {
                return false;  // printable ASCII must stand for itself
            }
            appendUtf8(utf8, u);
        }
        i = end + 1;
    }
    return true;
}

}  // namespace qorvad
