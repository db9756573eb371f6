// Code pages: conversions between multi-byte text and UTF-16, standing in for
// MultiByteToWideChar and WideCharToMultiByte, and the system ANSI code page that all of the
// library's 8-bit text is in.
//
// On Windows the ANSI code page is the system's (GetACP). Elsewhere it is chosen by the
// environment variable WQ_ANSI_CODEPAGE (a code page number such as 1250 for Central
// European text); without it, or when it is not a number, it is 1252 (Western European).
#pragma once

#include <string>
#include <string_view>

namespace wq::platform {

// The code page "the system ANSI code page" (CP_ACP), usable wherever a code page is taken.
constexpr unsigned kCodePageAnsi = 0;
// UTF-8 (CP_UTF8).
constexpr unsigned kCodePageUtf8 = 65001;

// The number of the system ANSI code page, e.g. 1252.
unsigned AnsiCodePage();

// Multi-byte text in `codePage` to UTF-16. Bytes that do not form a character of the code
// page become U+FFFD. Empty when the code page is not available.
std::u16string MultiByteToWide(unsigned codePage, std::string_view text);

// UTF-16 to multi-byte text in `codePage`. A character without a form in the code page
// becomes the code page's default character '?' (U+FFFD in UTF-8). Empty when the code page
// is not available.
std::string WideToMultiByte(unsigned codePage, std::u16string_view text);

}  // namespace wq::platform
