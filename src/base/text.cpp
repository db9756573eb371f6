#include "base/text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/resources.h"
#include "platform/module.h"

namespace wq {
namespace {

// Reads string `id` from one module. The buffer starts at 256 characters and grows by 256
// while the text fills it to within 2 characters, so that a text is never silently cut.
std::string ReadString(platform::ModuleHandle module, unsigned id) {
    std::vector<char> buffer(256);
    for (;;) {
        int size = static_cast<int>(buffer.size());
        int n = platform::LoadResourceString(module, id, buffer.data(), size);
        if (size - n >= 3) {
            return std::string(buffer.data(), static_cast<size_t>(n > 0 ? n : 0));
        }
        buffer.resize(buffer.size() + 256);
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One parsed conversion: "%" flags width .precision length letter.
struct Conversion {
    std::string_view flags;
    int width = -1;      // -1: none
    int precision = -1;  // -1: none
    int lengthBits = 32;
    char letter = 0;
    size_t end = 0;  // just past the letter
};

// Caps widths and precisions so that a text cannot ask for gigabytes of padding.
constexpr int kMaxWidth = 4096;

int ReadCount(std::string_view format, size_t* at) {
    int n = 0;
    while (*at < format.size() && IsDigit(format[*at])) {
        n = std::min(kMaxWidth, n * 10 + (format[*at] - '0'));
        ++*at;
    }
    return n;
}

// Parses the conversion that begins at the "%" at `start`; false when none begins there.
bool ParseConversion(std::string_view format, size_t start, Conversion* c) {
    size_t at = start + 1;
    const size_t flagsStart = at;
    while (at < format.size() &&
           std::string_view("-+ #0").find(format[at]) != std::string_view::npos) {
        ++at;
    }
    c->flags = format.substr(flagsStart, at - flagsStart);
    if (at < format.size() && IsDigit(format[at])) {
        c->width = ReadCount(format, &at);
    }
    if (at < format.size() && format[at] == '.') {
        ++at;
        c->precision = ReadCount(format, &at);
    }
    if (format.substr(at, 2) == "ll" || format.substr(at, 3) == "I64") {
        c->lengthBits = 64;
        at += format[at] == 'I' ? 3 : 2;
    } else if (at < format.size() && (format[at] == 'l' || format[at] == 'h')) {
        c->lengthBits = format[at] == 'h' ? 16 : (sizeof(long) == 8 ? 64 : 32);
        ++at;
    }
    if (at >= format.size() ||
        std::string_view("diuxXcs").find(format[at]) == std::string_view::npos) {
        return false;
    }
    c->letter = format[at];
    c->end = at + 1;
    return true;
}

// A number at the width of its length letter, written by the C library from a conversion
// that is built here, never taken from the text.
std::string FormatNumber(const Conversion& c, int64_t value) {
    std::string conversion = "%";
    conversion += c.flags;
    if (c.width >= 0) {
        conversion += std::to_string(c.width);
    }
    if (c.precision >= 0) {
        conversion += '.';
        conversion += std::to_string(c.precision);
    }
    char buffer[2 * kMaxWidth + 64];
    const bool isSigned = c.letter == 'd' || c.letter == 'i';
    if (c.letter == 'c') {
        conversion += 'c';
        std::snprintf(buffer, sizeof buffer, conversion.c_str(),
                      static_cast<int>(static_cast<unsigned char>(value)));
    } else if (isSigned) {
        conversion += "lld";
        long long v = c.lengthBits == 64   ? value
                      : c.lengthBits == 16 ? static_cast<int16_t>(value)
                                           : static_cast<int32_t>(value);
        std::snprintf(buffer, sizeof buffer, conversion.c_str(), v);
    } else {
        conversion += "ll";
        conversion += c.letter;
        unsigned long long v = c.lengthBits == 64   ? static_cast<uint64_t>(value)
                               : c.lengthBits == 16 ? static_cast<uint16_t>(value)
                                                    : static_cast<uint32_t>(value);
        std::snprintf(buffer, sizeof buffer, conversion.c_str(), v);
    }
    return buffer;
}

std::string FormatString(const Conversion& c, std::string_view text) {
    if (c.precision >= 0 && static_cast<size_t>(c.precision) < text.size()) {
        text = text.substr(0, static_cast<size_t>(c.precision));
    }
    const size_t width = c.width > 0 ? static_cast<size_t>(c.width) : 0;
    if (text.size() >= width) {
        return std::string(text);
    }
    const std::string pad(width - text.size(), ' ');
    const bool left = c.flags.find('-') != std::string_view::npos;
    return left ? std::string(text) + pad : pad + std::string(text);
}

}  // namespace

std::string LoadText(unsigned id) {
    platform::ModuleHandle resources = GetResourceInstance();
    std::string text = ReadString(resources, id);
    // A language resource library that lacks a text falls back to the library's own.
    if (text.empty() && resources != OwnModule()) {
        text = ReadString(OwnModule(), id);
    }
    return text;
}

std::string FormatTextList(std::string_view format, std::initializer_list<FormatArg> args) {
    std::string out;
    out.reserve(format.size() + 16 * args.size());
    const FormatArg* next = args.begin();
    size_t at = 0;
    while (at < format.size()) {
        const size_t percent = format.find('%', at);
        out.append(format.substr(
            at, percent == std::string_view::npos ? std::string_view::npos : percent - at));
        if (percent == std::string_view::npos) {
            break;
        }
        if (format.substr(percent, 2) == "%%") {
            out += '%';
            at = percent + 2;
            continue;
        }
        Conversion c;
        if (!ParseConversion(format, percent, &c)) {
            out += '%';  // no conversion: the "%" is text
            at = percent + 1;
            continue;
        }
        // Each conversion takes the argument at its place, used or not, as printf would.
        const bool wantsText = c.letter == 's';
        if (next == args.end() || next->isText() != wantsText) {
            out.append(format.substr(percent, c.end - percent));
        } else {
            out += wantsText ? FormatString(c, next->text()) : FormatNumber(c, next->number());
        }
        if (next != args.end()) {
            ++next;
        }
        at = c.end;
    }
    return out;
}

}  // namespace wq
