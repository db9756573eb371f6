// Texts of the resource module, and the one formatter for texts with placeholders.
//
// Translated texts carry printf-style placeholders ("%d", "%s", "%08X"), but a translation is
// data, not code: it may hold a stray "%", drop a placeholder or swap two. The formatter takes
// its arguments typed, never through a C variable argument list, and writes any conversion that
// has no argument of a fitting kind as it stands, so a faulty text shows up as a faulty text
// instead of reading memory that was never passed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace wq {

// String `id` of the resource module (the language resource library when one is loaded, else
// the library's own resources). A missing string gives an empty text.
std::string LoadText(unsigned id);

// One argument of a format: a whole number or a text.
class FormatArg {
  public:
    FormatArg(int v) : number_(v), isText_(false) {}
    FormatArg(unsigned v) : number_(v), isText_(false) {}
    FormatArg(long v) : number_(v), isText_(false) {}
    FormatArg(unsigned long v) : number_(static_cast<int64_t>(v)), isText_(false) {}
    FormatArg(long long v) : number_(v), isText_(false) {}
    FormatArg(unsigned long long v) : number_(static_cast<int64_t>(v)), isText_(false) {}
    FormatArg(const char* v) : text_(v ? v : ""), isText_(true) {}
    FormatArg(const std::string& v) : text_(v), isText_(true) {}
    FormatArg(std::string_view v) : text_(v), isText_(true) {}

    bool isText() const { return isText_; }
    int64_t number() const { return number_; }
    std::string_view text() const { return text_; }

  private:
    int64_t number_ = 0;
    std::string_view text_;
    bool isText_;
};

// Formats `format` with the conversions d, i, u, x, X, c (numbers), s (texts) and "%%", each
// with the usual flags, width, precision and length letters; each conversion takes the argument
// at its place. A conversion whose argument is missing or of the other kind, and anything after
// a "%" that is no conversion, is copied as it stands. Numbers are written at the width of their
// length letter ("%u" of -1 is 4294967295,
// "%lu" of a 64-bit count is the whole count).
std::string FormatTextList(std::string_view format, std::initializer_list<FormatArg> args);

template <class... Args>
std::string FormatText(std::string_view format, const Args&... args) {
    return FormatTextList(format, {FormatArg(args)...});
}

}  // namespace wq
