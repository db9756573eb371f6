// Code pages on POSIX, through iconv. Windows code page numbers are mapped to iconv's names.
// Bytes that iconv cannot read are replaced the way MultiByteToWideChar does without flags:
// in a single-byte code page a byte the code page leaves undefined keeps its value (U+0080 to
// U+00FF), elsewhere it becomes U+FFFD; and the way back gives such a byte again.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/codepage.h"

namespace wq::platform {
namespace {

constexpr unsigned kDefaultAnsiCodePage = 1252;
constexpr char16_t kReplacement = 0xFFFD;

std::string IconvName(unsigned codePage) {
    switch (codePage) {
        case kCodePageUtf8:
            return "UTF-8";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 28603:
            return "ISO-8859-13";
        case 28605:
            return "ISO-8859-15";
        case 936:
            return "GBK";
        default:
            break;
    }
    if (codePage >= 28591 && codePage <= 28599) {
        return "ISO-8859-" + std::to_string(codePage - 28590);
    }
    return "CP" + std::to_string(codePage);
}

unsigned Resolve(unsigned codePage) {
    return codePage == kCodePageAnsi ? AnsiCodePage() : codePage;
}

bool IsSingleByte(unsigned codePage) {
    switch (codePage) {
        case kCodePageUtf8:
        case 932:
        case 936:
        case 949:
        case 950:
        case 1361:
            return false;
        default:
            return true;
    }
}

// UTF-16 in the machine's byte order, so that iconv reads and writes char16_t directly.
const char* Utf16Name() {
    const char16_t probe = 1;
    return *reinterpret_cast<const unsigned char*>(&probe) == 1 ? "UTF-16LE" : "UTF-16BE";
}

// Text being produced, in place: `text` is grown ahead of what is written, `used` counts the
// units written so far.
template <typename String>
struct Output {
    using Unit = typename String::value_type;
    String text;
    size_t used = 0;

    void Reserve(size_t units) {
        if (text.size() - used < units) {
            text.resize(std::max(text.size() * 2, used + units));
        }
    }
    void Put(Unit unit) {
        Reserve(1);
        text[used++] = unit;
    }
    String Finish() {
        text.resize(used);
        return std::move(text);
    }
};

// An open conversion descriptor, closed when it goes out of scope.
class Iconv {
  public:
    Iconv(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + inLeft) as it can into `out`. Returns 0 when all input is
    // converted, else the errno that stopped it (EILSEQ, EINVAL) with `in` at the offending
    // bytes; what the converter held back by then is written out first (see Flush).
    template <typename String>
    int Run(const char*& in, size_t& inLeft, Output<String>& out) {
        for (;;) {
            // One unit out for each byte in covers most text; more room comes on demand.
            out.Reserve(inLeft + 16);
            char* inPtr = const_cast<char*>(in);
            int error = Step(&inPtr, &inLeft, out);
            in = inPtr;
            if (error == E2BIG) {
                out.Reserve(out.text.size());
                continue;
            }
            if (error) {
                Flush(out);
            }
            return error;
        }
    }

    // Writes out what the converter still holds and returns it to its initial state. Some
    // converters keep a character back until they see whether a combining mark follows
    // (Hebrew in CP1255, Vietnamese in CP1258): without this the last letter of a text is lost.
    // Stateful encodings end with their shift back to the initial state.
    template <typename String>
    void Flush(Output<String>& out) {
        for (size_t room = 16;; room = out.text.size()) {
            out.Reserve(room);
            if (Step(nullptr, nullptr, out) != E2BIG) {
                return;
            }
        }
    }

  private:
    // One iconv call writing into the free room of `out` (no input: the flush). Returns the
    // errno that stopped it, 0 when it did not stop.
    template <typename String>
    int Step(char** in, size_t* inLeft, Output<String>& out) {
        using Unit = typename String::value_type;
        char* start = reinterpret_cast<char*>(&out.text[0]);
        char* outPtr = start + out.used * sizeof(Unit);
        size_t outLeft = (out.text.size() - out.used) * sizeof(Unit);
        size_t r = iconv(cd_, in, inLeft, &outPtr, &outLeft);
        int error = r == static_cast<size_t>(-1) ? errno : 0;
        out.used = static_cast<size_t>(outPtr - start) / sizeof(Unit);
        return error;
    }

    iconv_t cd_;
};

// True when byte b (128 or more) is not a character of the single-byte code page.
bool UndefinedByte(const std::string& name, unsigned char b) {
    Iconv cd(Utf16Name(), name);
    if (!cd.ok()) {
        return false;
    }
    char byte = static_cast<char>(b);
    const char* in = &byte;
    size_t inLeft = 1;
    Output<std::u16string> out;
    return cd.Run(in, inLeft, out) != 0;
}

}  // namespace

unsigned AnsiCodePage() {
    const char* setting = std::getenv("WQ_ANSI_CODEPAGE");
    if (!setting || !*setting) {
        return kDefaultAnsiCodePage;
    }
    char* end = nullptr;
    unsigned long value = std::strtoul(setting, &end, 10);
    if (*end != '\0' || value == 0 || value > 65535) {
        return kDefaultAnsiCodePage;
    }
    return static_cast<unsigned>(value);
}

std::u16string MultiByteToWide(unsigned codePage, std::string_view text) {
    codePage = Resolve(codePage);
    if (text.empty()) {
        return {};
    }
    Iconv cd(Utf16Name(), IconvName(codePage));
    if (!cd.ok()) {
        return {};
    }
    Output<std::u16string> result;
    const bool singleByte = IsSingleByte(codePage);
    const char* in = text.data();
    size_t inLeft = text.size();
    while (inLeft > 0) {
        int error = cd.Run(in, inLeft, result);
        if (error == EILSEQ && inLeft > 0) {
            unsigned char b = static_cast<unsigned char>(*in);
            result.Put(singleByte && b >= 0x80 ? char16_t(b) : kReplacement);
            ++in;
            --inLeft;
        } else if (error) {
            result.Put(kReplacement);  // a character cut off by the end of the text
            break;
        }
    }
    cd.Flush(result);
    return result.Finish();
}

std::string WideToMultiByte(unsigned codePage, std::u16string_view text) {
    codePage = Resolve(codePage);
    if (text.empty()) {
        return {};
    }
    const std::string name = IconvName(codePage);
    Iconv cd(name, Utf16Name());
    if (!cd.ok()) {
        return {};
    }
    Output<std::string> result;
    const bool singleByte = IsSingleByte(codePage);
    const char* in = reinterpret_cast<const char*>(text.data());
    size_t inLeft = text.size() * sizeof(char16_t);
    while (inLeft > 0) {
        int error = cd.Run(in, inLeft, result);
        if (!error) {
            break;
        }
        // One UTF-16 unit without a form in the code page (or a lone surrogate).
        char16_t unit;
        std::memcpy(&unit, in, sizeof unit);
        if (codePage == kCodePageUtf8) {
            for (char c : {'\xEF', '\xBF', '\xBD'}) {
                result.Put(c);
            }
        } else if (singleByte && unit >= 0x80 && unit <= 0xFF &&
                   UndefinedByte(name, static_cast<unsigned char>(unit))) {
            result.Put(static_cast<char>(unit));
        } else {
            result.Put('?');
        }
        in += sizeof unit;
        inLeft -= sizeof unit;
    }
    cd.Flush(result);
    return result.Finish();
}

}  // namespace wq::platform
