// Arbitrary bytes through every decoder of the charset converter, both directions of the
// mailbox-name conversions and the ANSI conversions. The converter must stay inside its
// target, always terminate it, and carry any text it can read through modified UTF-7 and back
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/charset.h"

namespace {

const char* const kNames[] = {
    "us-ascii",     "UTF-7M",      "utf-8",        "iso-8859-1",   "iso-8859-10", "iso-8859-13",
    "iso-8859-14",  "iso-8859-15", "iso-8859-16",  "iso-8859-2",   "iso-8859-3",  "iso-8859-4",
    "iso-8859-5",   "iso-8859-6",  "iso-8859-7",   "iso-8859-8",   "iso-8859-9",  "windows-1250",
    "windows-1252", "ibm852",      "windows-1251", "windows-1255", "koi8-r",      nullptr};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];
constexpr size_t kGuard = 32;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// Converts into a buffer of `size` bytes followed by a guard region that must stay untouched.
std::string convert(const char* from, const char* to, const std::string& source, int size) {
    std::vector<unsigned char> buffer(static_cast<size_t>(size) + kGuard, 0xA5);
    int consumed = -1;
    wq::convertCharset(from, to, source.c_str(), reinterpret_cast<char*>(buffer.data()), size,
                       &consumed);
    for (size_t i = static_cast<size_t>(size); i < buffer.size(); ++i) {
        check(buffer[i] == 0xA5);
    }
    check(consumed >= 0 && static_cast<size_t>(consumed) <= source.size());
    if (size == 0) {
        return {};
    }
    const void* end = std::memchr(buffer.data(), 0, static_cast<size_t>(size));
    check(end != nullptr);
    return std::string(reinterpret_cast<const char*>(buffer.data()),
                       static_cast<const unsigned char*>(end) - buffer.data());
}

int roomFor(const std::string& text) {
    return static_cast<int>(6 * text.size() + 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const char* from = kNames[data[0] % kNameCount];
    const char* to = kNames[data[1] % kNameCount];
    const int targetSize = data[2];
    const std::string bytes(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::string source = bytes.c_str();  // the converter reads up to the first NUL

    convert(from, to, source, targetSize);
    for (const char* name : kNames) {
        // Whatever a charset makes of the bytes, modified UTF-7 carries it there and back.
        const std::string utf8 = convert(name, "UTF-8", source, roomFor(source));
        if (wq::charsetId(name) < 0) {
            continue;
        }
        const std::string mutf7 = convert("UTF-8", "UTF-7M", utf8, roomFor(utf8));
        for (char c : mutf7) {
            check(static_cast<unsigned char>(c) < 0x80);
        }
        check(convert("UTF-7M", "UTF-8", mutf7, roomFor(mutf7)) == utf8);
        convert("UTF-7M", name, source, targetSize);
    }

    wq::utf8ToAnsi(bytes);
    wq::ansiToUtf8(bytes);
    wq::mutf7ToAnsi(bytes);
    wq::ansiToMutf7(bytes);
    return 0;
}
