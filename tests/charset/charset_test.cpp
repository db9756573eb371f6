// Charset converter and the mailbox-name conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "text/charset.h"

namespace {

struct Result {
    std::string text;
    int value;
    int consumed;
    std::string all() const {
        return text + "|" + std::to_string(value) + "|" + std::to_string(consumed);
    }
};

// Converts into a buffer with a guard region behind `size`, which must stay untouched.
Result convert(const char* from, const char* to, const std::string& source, int size = 256) {
    std::vector<char> buffer(static_cast<size_t>(size) + 16, '\x55');
    int consumed = -1;
    int value = wq::convertCharset(from, to, source.c_str(), buffer.data(), size, &consumed);
    for (size_t i = static_cast<size_t>(size); i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], '\x55') << "overrun at " << i << " converting " << source;
    }
    std::string text(buffer.data(), static_cast<size_t>(size));
    EXPECT_NE(text.find('\0'), std::string::npos) << "unterminated converting " << source;
    return {text.substr(0, text.find('\0')), value, consumed};
}

std::string toMutf7(const std::string& utf8) {
    return convert("UTF-8", "UTF-7M", utf8).text;
}
std::string fromMutf7(const std::string& m) {
    return convert("UTF-7M", "UTF-8", m).text;
}

// Text in the ANSI code page, from UTF-16; empty when the code page lacks a character.
std::string ansi(const std::u16string& text) {
    std::string bytes = wq::platform::WideToMultiByte(wq::platform::kCodePageAnsi, text);
    return wq::platform::MultiByteToWide(wq::platform::kCodePageAnsi, bytes) == text ? bytes : "";
}

// The ids are the converter's public numbers; the names are written in capitals here and in
// lower case everywhere else.
TEST(Charset, NamesMatchWithoutCase) {
    const char* names[] = {
        "US-ASCII",     "UTF-7M",      "UTF-8",        "ISO-8859-1",  "ISO-8859-10", "ISO-8859-13",
        "ISO-8859-14",  "ISO-8859-15", "ISO-8859-16",  "ISO-8859-2",  "ISO-8859-3",  "ISO-8859-4",
        "ISO-8859-5",   "ISO-8859-6",  "ISO-8859-7",   "ISO-8859-8",  "ISO-8859-9",  "WINDOWS-1250",
        "WINDOWS-1252", "IBM852",      "WINDOWS-1251", "WINDOWS-1255"};
    for (int id = 1; id <= 22; ++id) {
        EXPECT_EQ(wq::charsetId(names[id - 1]), id) << names[id - 1];
    }
    EXPECT_EQ(wq::charsetId("koi8-r"), -1);
    EXPECT_EQ(wq::charsetId("utf-8 "), -1);
    EXPECT_EQ(wq::charsetId(nullptr), -1);
    EXPECT_EQ(convert("UTF-7M", "Utf-8", "&AOk-").text, convert("utf-7m", "UTF-8", "&AOk-").text);
}

// Both directions. The examples of RFC 3501 include the ones that forbid superfluous shifts.
TEST(Charset, ModifiedUtf7) {
    const std::pair<std::string, std::string> both[] = {
        {"\xC3\xA9", "&AOk-"},
        {"a&b", "a&-b"},
        {"\xE2\x82\xAC", "&IKw-"},
        {"Ko\xC5\xA1", "Ko&AWE-"},  // the run is closed at the end of the name
        {"\xC3\xA9\xC3\xA9\xC3\xA9&x", "&AOkA6QDp-&-x"},
        {"~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
         "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
        {"\xE5\x8F\xB0\xE5\x8C\x97\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "&U,BTF2XlZyyKng-"},
        {"\xE2\x98\xBA!", "&Jjo-!"}};
    for (const auto& [utf8, mutf7] : both) {
        EXPECT_EQ(toMutf7(utf8), mutf7);
        EXPECT_EQ(fromMutf7(mutf7), utf8);
    }
    // A run the name does not close gets its "-" in the output; a non-base64 character ends it.
    EXPECT_EQ(fromMutf7("&AOk"), "\xC3\xA9-");
    EXPECT_EQ(convert("UTF-7M", "UTF-7M", "x&AOk").text, "x&AOk--");
    EXPECT_EQ(fromMutf7("&Jjo!"), "\xE2\x98\xBA!");
    // 8-bit bytes are not modified UTF-7, nor is a stray continuation byte UTF-8: both stop there.
    Result eight = convert("UTF-7M", "UTF-8", "ab\xE9z");
    Result stray = convert("UTF-8", "UTF-7M", "ab\x80x");
    EXPECT_EQ(eight.text + stray.text, "abab");
    EXPECT_EQ(eight.consumed + stray.consumed, 4);
}

TEST(Charset, Utf8Decoding) {
    EXPECT_EQ(convert("UTF-8", "UTF-8", "a\xC3").text, "a?");  // cut by the end
    EXPECT_EQ(convert("UTF-8", "UTF-8", std::string("\xE2\x82") + "b").text, "?b");  // by a byte
    EXPECT_EQ(convert("UTF-8", "UTF-8", "a\xF0\x9F\x98\x80z").text, "a");  // beyond the BMP
}

TEST(Charset, SingleByteAndAsciiFallback) {
    const std::string pangram =
        "P\xC5\x99\xC3\xADli\xC5\xA1 \xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88 "
        "\xC3\xBAp\xC4\x9Bl \xC4\x8F\xC3\xA1\x62\x65lsk\xC3\xA9 \xC3\xB3\x64y \xC5\x81\xC3\x81";
    EXPECT_EQ(convert("UTF-8", "us-ascii", pangram).text,
              "Prilis zlutoucky kun upel dabelske ody LA");
    EXPECT_EQ(convert("UTF-8", "us-ascii", "\xC3\x80\xC3\x9F\xC5\xBE").text, "??z");
    const std::string cp1250 = convert("UTF-8", "windows-1250", pangram).text;
    EXPECT_EQ(cp1250.size(), 41u);  // one byte a letter, none of them '?'
    EXPECT_EQ(cp1250.find('?'), std::string::npos);
    EXPECT_EQ(convert("windows-1250", "UTF-8", cp1250).text, pangram);
    EXPECT_EQ(convert("windows-1250", "iso-8859-2", "\x9A\xE8").text, "\xB9\xE8");  // š č
    EXPECT_EQ(convert("UTF-8", "iso-8859-15", "\xE2\x82\xAC").text, "\xA4");
    EXPECT_EQ(convert("UTF-8", "iso-8859-1", "\xE2\x82\xAC").text, "?");
    EXPECT_EQ(convert("windows-1252", "UTF-8", "\x81\x80").text, "?\xE2\x82\xAC");
}

// The single-byte tables against the platform's own code pages. Windows has older editions
// of two of them: ISO-8859-7 before its 2003 additions, Windows-1255 with U+05BA at 0xCA.
TEST(Charset, SingleByteTablesMatchPlatform) {
    const std::pair<const char*, unsigned> pages[] = {
        {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
        {"windows-1255", 1255}, {"ibm852", 852},        {"iso-8859-2", 28592},
        {"iso-8859-5", 28595},  {"iso-8859-7", 28597},  {"iso-8859-15", 28605}};
#ifdef _WIN32
    const std::string editions[] = {"iso-8859-7 161", "iso-8859-7 162", "iso-8859-7 164",
                                    "iso-8859-7 165", "iso-8859-7 170", "windows-1255 202"};
#endif
    for (const auto& [name, page] : pages) {
        int compared = 0;
        for (int b = 128; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            std::u16string theirs = wq::platform::MultiByteToWide(page, byte);
            if (theirs.size() != 1 || wq::platform::WideToMultiByte(page, theirs) != byte ||
                (theirs[0] >= 0xE000 && theirs[0] <= 0xF8FF)) {
                continue;  // the platform has no character there
            }
            const std::string where = std::string(name) + " " + std::to_string(b);
            std::u16string ours = wq::platform::MultiByteToWide(wq::platform::kCodePageUtf8,
                                                                convert(name, "UTF-8", byte).text);
            if (ours == u"?" && theirs[0] == b) {
                continue;  // undefined; the platform keeps the byte's value
            }
#ifdef _WIN32
            if (std::find(std::begin(editions), std::end(editions), where) != std::end(editions)) {
                continue;
            }
#endif
            EXPECT_EQ(ours, theirs) << where;
            ++compared;
        }
        EXPECT_GT(compared, 60) << name;
    }
}

TEST(Charset, CopiesUnderUnknownNamesAndRespectsTargetSize) {
    Result copy = convert("koi8-r", "utf-8", "\xF0\xD2\xC9");
    EXPECT_EQ(copy.text, "\xF0\xD2\xC9");
    EXPECT_EQ(copy.value, 3);
    EXPECT_EQ(convert(nullptr, "utf-8", "abcdef", 4).text, "abc");
    EXPECT_EQ(convert("UTF-8", "UTF-7M", "abc", 1).all(), "|0|0");
    EXPECT_EQ(convert("UTF-8", "iso-8859-1", "abcd", 3).all(), "ab|4|2");

    // Whatever the size, the output is terminated, stays inside it, and is a whole prefix.
    const std::string name =
        "a\xC3\xA9\xC3\xA9&b\xE2\x82\xAC"
        "cd\xC5\xA1\xC5\xA1\xC5\xA1";
    const std::string encoded = toMutf7(name);
    for (int size = 1; size < 40; ++size) {
        Result r = convert("UTF-8", "UTF-7M", name, size);
        EXPECT_EQ(fromMutf7(r.text), name.substr(0, static_cast<size_t>(r.consumed))) << size;
        const std::string decoded = convert("UTF-7M", "UTF-8", encoded, size).text;
        EXPECT_EQ(decoded, name.substr(0, decoded.size())) << size;
        convert("UTF-7M", "UTF-7M", "x&AOkA6QDp", size);
        convert("UTF-7M", "iso-8859-2", "x&AOkA6QDp", size);
    }
}

// The exact forms; that every ANSI name comes back is the round-trip property below.
TEST(Charset, AnsiNamesToModifiedUtf7AndUtf8) {
    const std::string e = ansi(u"\u00e9");
    if (!e.empty()) {
        EXPECT_EQ(wq::ansiToMutf7("Caf" + e + "&"), "Caf&AOk-&-");
        EXPECT_EQ(wq::utf8ToAnsi("\xC3\xA9"), e);
        EXPECT_EQ(wq::ansiToUtf8(e), "\xC3\xA9");
    }
    const std::string euro = ansi(u"\u20ac");
    if (!euro.empty()) {
        EXPECT_EQ(wq::ansiToMutf7(euro), "&IKw-");
    }
    if (ansi(u"\u53f0").empty()) {
        EXPECT_EQ(wq::utf8ToAnsi("\xE5\x8F\xB0"), "?");  // no ANSI form: the default character
    }
    EXPECT_EQ(wq::mutf7ToAnsi("a&-b"), "a&b");
}

// Converters that keep a letter back until they see whether a combining mark follows (Hebrew
// letters in 1255, Latin ones in 1258) still give out the last one, in both directions.
TEST(Charset, CodePagesThatHoldBackLettersLoseNone) {
    const struct {
        unsigned page;
        std::string bytes;
        std::u16string wide;
    } cases[] = {{1255, "\xF4", u"\u05E4"},
                 {1255, "\xF9\xE5\xED", u"\u05E9\u05D5\u05DD"},
                 {1258, "Nam", u"Nam"},
                 {1258, "\xE2", u"\u00E2"}};
    for (const auto& c : cases) {
        EXPECT_EQ(wq::platform::MultiByteToWide(c.page, c.bytes), c.wide) << c.page << c.bytes;
        EXPECT_EQ(wq::platform::WideToMultiByte(c.page, c.wide), c.bytes) << c.page << c.bytes;
    }
#ifndef _WIN32
    // Nor before a byte the code page leaves undefined (the byte keeps its value).
    EXPECT_EQ(wq::platform::MultiByteToWide(1255, "\xF4\xFF"), u"\u05E4\u00FF");
#endif
}

// Every string of characters the ANSI code page can hold survives the trip through a mailbox
// name.
TEST(Charset, AnsiRoundTripProperty) {
    std::vector<char> alphabet;
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::u16string wide = wq::platform::MultiByteToWide(wq::platform::kCodePageAnsi, byte);
        if (wide.size() == 1 && ansi(wide) == byte) {
            alphabet.push_back(byte[0]);
        }
    }
    ASSERT_GE(alphabet.size(), 127u) << "code page " << wq::platform::AnsiCodePage();
    std::mt19937 random(20261206);
    for (int i = 0; i < 3000; ++i) {
        std::string name(random() % 24, ' ');
        for (char& c : name) {
            c = alphabet[random() % alphabet.size()];
        }
        const std::string mutf7 = wq::ansiToMutf7(name);
        for (char c : mutf7) {
            ASSERT_LT(static_cast<unsigned char>(c), 0x80) << name;
        }
        ASSERT_EQ(wq::mutf7ToAnsi(mutf7), name) << "via " << mutf7;
    }
}

// The encoder against Python's utf-7 codec with the substitutions of IMAP, on the random names
// the script makes.
TEST(Charset, ModifiedUtf7MatchesPythonReference) {
#ifdef _WIN32
    GTEST_SKIP() << "the Python reference runs in the native build only";
#else
    if (std::system("python3 -c pass >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3 not found: differential test against Python's utf-7 not run";
    }
    FILE* pipe = popen("python3 " WQ_SOURCE_DIR "/tests/charset/mutf7_reference.py", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        output.append(chunk, n);
    }
    EXPECT_EQ(pclose(pipe), 0);
    int compared = 0;
    for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
         start = end + 1, ++compared) {
        const size_t tab = output.find('\t', start);
        ASSERT_LT(tab, end) << output.substr(start, end - start);
        const std::string name = output.substr(start, tab - start);
        const std::string expected = output.substr(tab + 1, end - tab - 1);
        ASSERT_EQ(toMutf7(name), expected) << name;
        ASSERT_EQ(fromMutf7(expected), name) << expected;
    }
    EXPECT_EQ(compared, 2000);
#endif
}

}  // namespace
