// Texts of the resource module: string-table lookup and printf-style formatting.
#pragma once

#include <cstdarg>
#include <string>

namespace wq {

// String `id` of the resource module (the language resource library when one is loaded, else
// the library's own resources). A missing string gives an empty text.
std::string LoadText(unsigned id);

// printf-style formatting into a string (no floating-point conversions are used).
std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatTextV(const char* format, va_list args);

}  // namespace wq
