// The charset converter works one character at a time: decode one 16-bit unit from the source
// charset, encode it into the target charset. Each side keeps its own small state (the table of
// a single-byte charset, the base64 run of modified UTF-7), so both sides may be modified UTF-7.
//
// Modified UTF-7 (IMAP mailbox names): printable ASCII stands for itself except "&", which is
// written "&-"; anything else travels as UTF-16 in a base64 run that "&" opens and "-" closes,
// with "," in place of the "/" of ordinary base64.
#include "text/charset.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/codepage.h"

namespace wq {
namespace {

#include "text/charset_tables.inc"

// Names of the converter's charsets, indexed by id.
const char* const kCharsetNames[kCharsetLastId + 1] = {
    nullptr,        "us-ascii",     "utf-7m",      "utf-8",        "iso-8859-1",   "iso-8859-10",
    "iso-8859-13",  "iso-8859-14",  "iso-8859-15", "iso-8859-16",  "iso-8859-2",   "iso-8859-3",
    "iso-8859-4",   "iso-8859-5",   "iso-8859-6",  "iso-8859-7",   "iso-8859-8",   "iso-8859-9",
    "windows-1250", "windows-1252", "ibm852",      "windows-1251", "windows-1255",
};
static_assert(kSingleByteFirstId + kSingleByteCount - 1 == kCharsetLastId,
              "one table per single-byte charset");

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

// The value of a modified-base64 character, or -1.
int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == ',') {
        return 63;
    }
    return -1;
}

bool equalsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
        if (x == 0) {
            return true;
        }
    }
}

// One side of a conversion.
struct CharsetState {
    int id = kCharsetUnknown;
    const uint16_t* table = nullptr;  // bytes 128..255 of a single-byte charset
    bool inBase64 = false;            // modified UTF-7: inside a base64 run
    int bitCount = 0;                 // modified UTF-7: pending bits (0, 2 or 4)
    uint32_t bits = 0;                // modified UTF-7: the pending bits themselves

    explicit CharsetState(int charset) : id(charset) {
        if (id >= kSingleByteFirstId && id <= kCharsetLastId) {
            table = kSingleByteTables[id - kSingleByteFirstId];
        }
    }
    void leaveRun() {
        inBase64 = false;
        bitCount = 0;
        bits = 0;
    }
};

struct Source {
    const unsigned char* text;
    size_t length;
    size_t pos = 0;

    bool atEnd() const { return pos >= length; }
    // The byte at pos + ahead, or 0 past the end (the text is NUL-terminated anyway).
    unsigned char peek(size_t ahead = 0) const {
        return pos + ahead < length ? text[pos + ahead] : 0;
    }
};

// The target buffer. Never writes past the last byte before the terminator, whatever the
// callers ask; the converter's reserve keeps ordinary output clear of that limit.
struct Sink {
    char* buffer;
    size_t room;  // bytes available before the terminator
    size_t written = 0;

    void put(unsigned char c) {
        if (written < room) {
            buffer[written++] = static_cast<char>(c);
        }
    }
};

// Result of a decoder when the source has nothing more to give.
constexpr int kEndOfSource = -1;

int decodeUsAscii(Source& src) {
    unsigned char b = src.text[src.pos++];
    // A byte of 128 or more is not US-ASCII at all.
    return b < 0x80 ? b : '?';
}

int decodeSingleByte(const CharsetState& st, Source& src) {
    unsigned char b = src.text[src.pos++];
    return b < 0x80 ? b : st.table[b - 0x80];
}

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

int decodeUtf8(Source& src) {
    unsigned char lead = src.peek();
    if (lead < 0x80) {
        ++src.pos;
        return lead;
    }
    int trail;
    uint32_t unit;
    if ((lead & 0xE0) == 0xC0) {
        trail = 1;
        unit = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        trail = 2;
        unit = lead & 0x0F;
    } else {
        return 0;  // a stray continuation byte or a lead beyond the BMP ends the text
    }
    for (int i = 1; i <= trail; ++i) {
        unsigned char next = src.peek(static_cast<size_t>(i));
        if (!isContinuation(next)) {
            // The sequence breaks off (at the end of the text or before an ordinary byte):
            // what came before stands for one unknown character, the byte itself is kept.
            src.pos += static_cast<size_t>(i);
            return '?';
        }
        unit = (unit << 6) | (next & 0x3F);
    }
    src.pos += static_cast<size_t>(trail) + 1;
    return static_cast<int>(unit);
}

int decodeMutf7(CharsetState& st, Source& src) {
    for (;;) {
        if (src.atEnd()) {
            return kEndOfSource;
        }
        if (!st.inBase64) {
            unsigned char b = src.peek();
            if (b >= 0x80) {
                return 0;  // not modified UTF-7: the usable text ends here
            }
            if (b != '&') {
                ++src.pos;
                return b;
            }
            if (src.peek(1) == '-') {
                src.pos += 2;
                return '&';
            }
            ++src.pos;
            st.inBase64 = true;
            st.bitCount = 0;
            st.bits = 0;
            continue;
        }
        // Inside a run: one unit from the pending bits and the next two or three characters.
        const int needed = st.bitCount == 4 ? 2 : 3;
        uint32_t bits = st.bits;
        int bitCount = st.bitCount;
        int got = 0;
        size_t pos = src.pos;
        while (got < needed && pos < src.length) {
            int value = base64Value(src.text[pos]);
            if (value < 0) {
                break;
            }
            bits = (bits << 6) | static_cast<uint32_t>(value);
            bitCount += 6;
            ++pos;
            ++got;
        }
        if (got == needed) {
            bitCount -= 16;
            int unit = static_cast<int>((bits >> bitCount) & 0xFFFF);
            st.bits = bits & ((1u << bitCount) - 1);
            st.bitCount = bitCount;
            src.pos = pos;
            if (src.peek() == '-') {
                ++src.pos;
                st.leaveRun();
            }
            return unit;
        }
        src.pos = pos;
        if (src.atEnd()) {
            // The text ends inside the run; a partial unit stands for one unknown character.
            st.bitCount = 0;
            st.bits = 0;
            return got > 0 ? '?' : kEndOfSource;
        }
        // A character outside the alphabet ends the run early. "-" belongs to the run; any
        // other character is text again, as in ordinary UTF-7.
        st.leaveRun();
        if (src.peek() == '-') {
            ++src.pos;
        }
        if (got > 0) {
            return '?';
        }
    }
}

int decodeChar(CharsetState& st, Source& src) {
    if (src.atEnd()) {
        return kEndOfSource;
    }
    switch (st.id) {
        case kCharsetUsAscii:
            return decodeUsAscii(src);
        case kCharsetUtf7Modified:
            return decodeMutf7(st, src);
        case kCharsetUtf8:
            return decodeUtf8(src);
        default:
            return decodeSingleByte(st, src);
    }
}

void encodeUsAscii(uint16_t c, Sink& out) {
    if (c < 0x80) {
        out.put(static_cast<unsigned char>(c));
        return;
    }
    size_t low = 0;
    size_t high = sizeof kAsciiFallback / sizeof kAsciiFallback[0];
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        if (kAsciiFallback[mid].codePoint == c) {
            out.put(static_cast<unsigned char>(kAsciiFallback[mid].letter));
            return;
        }
        if (kAsciiFallback[mid].codePoint < c) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    out.put('?');
}

void encodeSingleByte(const CharsetState& st, uint16_t c, Sink& out) {
    if (c < 0x80) {
        out.put(static_cast<unsigned char>(c));
        return;
    }
    for (int i = 0; i < 128; ++i) {
        if (st.table[i] == c) {
            out.put(static_cast<unsigned char>(0x80 + i));
            return;
        }
    }
    out.put('?');
}

void encodeUtf8(uint16_t c, Sink& out) {
    if (c < 0x80) {
        out.put(static_cast<unsigned char>(c));
    } else if (c < 0x800) {
        out.put(static_cast<unsigned char>(0xC0 | (c >> 6)));
        out.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
    } else {
        out.put(static_cast<unsigned char>(0xE0 | (c >> 12)));
        out.put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
        out.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
    }
}

// Ends an open base64 run: the pending bits padded to one character, then "-".
void closeRun(CharsetState& st, Sink& out) {
    if (st.bitCount > 0) {
        out.put(static_cast<unsigned char>(kBase64[(st.bits << (6 - st.bitCount)) & 0x3F]));
    }
    out.put('-');
    st.leaveRun();
}

void encodeMutf7(CharsetState& st, uint16_t c, Sink& out) {
    if (c < 0x80) {
        if (st.inBase64) {
            closeRun(st, out);
        }
        out.put(static_cast<unsigned char>(c));
        if (c == '&') {
            out.put('-');
        }
        return;
    }
    if (!st.inBase64) {
        out.put('&');
        st.inBase64 = true;
        st.bitCount = 0;
        st.bits = 0;
    }
    st.bits = (st.bits << 16) | c;
    st.bitCount += 16;
    while (st.bitCount >= 6) {
        st.bitCount -= 6;
        out.put(static_cast<unsigned char>(kBase64[(st.bits >> st.bitCount) & 0x3F]));
    }
    st.bits &= (1u << st.bitCount) - 1;
}

void encodeChar(CharsetState& st, uint16_t c, Sink& out) {
    switch (st.id) {
        case kCharsetUsAscii:
            encodeUsAscii(c, out);
            break;
        case kCharsetUtf7Modified:
            encodeMutf7(st, c, out);
            break;
        case kCharsetUtf8:
            encodeUtf8(c, out);
            break;
        default:
            encodeSingleByte(st, c, out);
            break;
    }
}

int clampToInt(size_t n) {
    return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n);
}

// The source as it is, cut to the target size.
int copySource(const char* source, size_t length, char* target, int targetSize, int* consumed) {
    size_t copied = 0;
    if (targetSize > 0) {
        copied = length < static_cast<size_t>(targetSize) - 1 ? length
                                                              : static_cast<size_t>(targetSize) - 1;
        std::memcpy(target, source, copied);
        target[copied] = '\0';
    }
    if (consumed) {
        *consumed = clampToInt(copied);
    }
    return clampToInt(length);
}

// Sizes the output of a platform conversion like the fixed buffers the program's callers use:
// at most `room` bytes before the terminator.
std::string limited(std::string text, size_t room) {
    if (text.size() > room) {
        text.resize(room);
    }
    return text;
}

// The converter with room for six times the text, as the mailbox-name conversions give it.
std::string convertWithRoom(const char* from, const char* to, const std::string& text) {
    const size_t room = 6 * text.size() + 1;
    // Left uninitialised: the converter writes only what it produces, then the terminator.
    std::unique_ptr<char[]> buffer(new char[room]);
    convertCharset(from, to, text.c_str(), buffer.get(), clampToInt(room));
    return std::string(buffer.get());
}

}  // namespace

int charsetId(const char* name) {
    if (!name) {
        return kCharsetUnknown;
    }
    for (int id = 1; id <= kCharsetLastId; ++id) {
        if (equalsIgnoringCase(name, kCharsetNames[id])) {
            return id;
        }
    }
    return kCharsetUnknown;
}

int convertCharset(const char* sourceCharset, const char* targetCharset, const char* source,
                   char* target, int targetSize, int* consumed) {
    if (!source) {
        source = "";
    }
    const size_t length = std::strlen(source);
    if (consumed) {
        *consumed = 0;
    }
    if (!target || targetSize <= 0) {
        return 0;
    }
    if (!sourceCharset || !targetCharset) {
        return copySource(source, length, target, targetSize, consumed);
    }
    if (targetSize == 1) {
        target[0] = '\0';
        return 0;
    }
    const int fromId = charsetId(sourceCharset);
    const int toId = charsetId(targetCharset);
    if (fromId == kCharsetUnknown || toId == kCharsetUnknown) {
        return copySource(source, length, target, targetSize, consumed);
    }

    CharsetState from(fromId);
    CharsetState to(toId);
    // Room for the longest output of one step, so that a character is never cut in half:
    // closing a base64 run and writing "&-" takes four bytes, a UTF-8 character three.
    const long reserve = (toId == kCharsetUtf8 || toId == kCharsetUtf7Modified) ? 5 : 1;
    const long limit = static_cast<long>(targetSize) - reserve;
    Source src{reinterpret_cast<const unsigned char*>(source), length};
    Sink out{target, static_cast<size_t>(targetSize) - 1};

    int converted = 0;
    bool full = false;
    for (size_t step = 0; step < length; ++step) {
        if (src.atEnd()) {
            break;
        }
        if (static_cast<long>(out.written) >= limit) {
            full = true;
            break;
        }
        int c = decodeChar(from, src);
        if (c == kEndOfSource) {
            break;
        }
        encodeChar(to, static_cast<uint16_t>(c), out);
        if (c == 0) {
            break;  // the target's text ends with the character 0
        }
        ++converted;
    }
    if (toId == kCharsetUtf7Modified && to.inBase64) {
        closeRun(to, out);
    }
    if (fromId == kCharsetUtf7Modified && from.inBase64 && src.atEnd()) {
        encodeChar(to, '-', out);
    }
    target[out.written] = '\0';
    if (consumed) {
        *consumed = clampToInt(src.pos);
    }
    return full ? clampToInt(length) : converted;
}

std::string utf8ToAnsi(const std::string& utf8) {
    std::u16string wide = platform::MultiByteToWide(platform::kCodePageUtf8, utf8);
    return limited(platform::WideToMultiByte(platform::kCodePageAnsi, wide), utf8.size());
}

std::string ansiToUtf8(const std::string& ansi) {
    std::u16string wide = platform::MultiByteToWide(platform::kCodePageAnsi, ansi);
    return limited(platform::WideToMultiByte(platform::kCodePageUtf8, wide), 6 * ansi.size());
}

std::string mutf7ToAnsi(const std::string& mutf7) {
    return utf8ToAnsi(convertWithRoom("UTF-7M", "UTF-8", mutf7));
}

std::string ansiToMutf7(const std::string& ansi) {
    return convertWithRoom("UTF-8", "UTF-7M", ansiToUtf8(ansi));
}

}  // namespace wq
