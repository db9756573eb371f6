// Character sets: the small converter between the charsets a mail server names, and the four
// conversions between the library's ANSI text and the encodings that cross the wire (UTF-8 for
// Sieve scripts, the modified UTF-7 of IMAP for mailbox names).
//
// Characters are 16-bit code units throughout: the converter handles the Basic Multilingual
// Plane only. Every conversion is reentrant; its state lives on the caller's stack.
#pragma once

#include <string>

namespace wq {

// Charset ids of the converter. Names match without regard to case.
enum CharsetId : int {
    kCharsetUnknown = -1,
    kCharsetUsAscii = 1,       // "us-ascii"
    kCharsetUtf7Modified = 2,  // "utf-7m": the modified UTF-7 of IMAP mailbox names
    kCharsetUtf8 = 3,          // "utf-8"
    // 4 to 22: single-byte charsets ("iso-8859-1" ... "windows-1255")
    kCharsetLastId = 22,
};

// The converter's id for a charset name; kCharsetUnknown for a name it does not know or null.
int charsetId(const char* name);

// Converts the NUL-terminated `source` from charset `sourceCharset` to `targetCharset` into
// `target`, which holds `targetSize` bytes and is always NUL-terminated (when targetSize > 0).
// Characters the target charset lacks become '?'. The conversion stops early when the target
// is full. Returns the number of characters converted, or the source length in bytes when it
// stopped because the target was full. `consumed` (optional) receives the number of source
// bytes read.
// When either name is null or unknown, the source is copied as it is (cut to the target size)
// and its length returned. A target of size 1 is left empty: result 0, consumed 0.
int convertCharset(const char* sourceCharset, const char* targetCharset, const char* source,
                   char* target, int targetSize, int* consumed = nullptr);

// UTF-8 to text in the system ANSI code page; a character without an ANSI form becomes the
// code page's default character ('?').
std::string utf8ToAnsi(const std::string& utf8);

// Text in the system ANSI code page to UTF-8.
std::string ansiToUtf8(const std::string& ansi);

// A mailbox name in modified UTF-7 (as the server sends it) to ANSI text.
std::string mutf7ToAnsi(const std::string& mutf7);

// ANSI text to a mailbox name in modified UTF-7 (as the server expects it).
std::string ansiToMutf7(const std::string& ansi);

}  // namespace wq
