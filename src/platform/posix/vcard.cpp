// The vCard reader. One pass over the text: physical lines are joined into logical lines
// (unfolding), each logical line is split into name, parameters and value without copying, and
// only the few properties a contact row needs are decoded. Work is linear in the text: each
// byte is looked at a bounded number of times, and nothing recurses.
#include "platform/posix/vcard.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/codepage.h"

namespace wq::platform {
namespace {

constexpr int kNoPreference = 101;  // rank of an address without any PREF (PREF=1..100)

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The parts of `s` between unquoted `separator`s; double quotes group, and are kept.
std::vector<std::string_view> Split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') {
            quoted = !quoted;
        } else if (s[i] == separator && !quoted) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// One logical line: NAME;PARAM=VALUE,VALUE;BARE:value, its group prefix removed.
struct Property {
    std::string_view name;
    std::vector<std::pair<std::string_view, std::string_view>> params;  // key "" for bare
    std::string_view value;

    // Whether parameter `key` (any when key is "TYPE", which 2.1 writes bare) lists `value`.
    bool has(std::string_view key, std::string_view value) const {
        for (const auto& [k, v] : params) {
            if (Same(k, key) || (k.empty() && Same(key, "TYPE"))) {
                for (std::string_view item : Split(v, ',')) {
                    if (Same(Trim(item), value)) {
                        return true;
                    }
                }
            }
        }
        return false;
    }
    std::string_view param(std::string_view key) const {
        for (const auto& [k, v] : params) {
            if (Same(k, key)) {
                return v;
            }
        }
        return {};
    }
    bool quotedPrintable() const {
        return has("ENCODING", "QUOTED-PRINTABLE") || has("TYPE", "QUOTED-PRINTABLE");
    }
    bool base64() const {
        return has("ENCODING", "B") || has("ENCODING", "BASE64") || has("TYPE", "BASE64");
    }
};

bool ParseProperty(std::string_view line, Property* p) {
    bool quoted = false;
    size_t colon = std::string_view::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string_view::npos) {
        return false;
    }
    std::vector<std::string_view> head = Split(line.substr(0, colon), ';');
    std::string_view name = Trim(head[0]);
    size_t dot = name.rfind('.');
    p->name = dot == std::string_view::npos ? name : name.substr(dot + 1);
    p->params.clear();
    for (size_t i = 1; i < head.size(); ++i) {
        std::string_view item = Trim(head[i]);
        size_t eq = item.find('=');
        std::string_view key =
            eq == std::string_view::npos ? std::string_view() : item.substr(0, eq);
        std::string_view value = eq == std::string_view::npos ? item : item.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        p->params.emplace_back(Trim(key), value);
    }
    p->value = line.substr(colon + 1);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = Lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string DecodeQuotedPrintable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        int hi = 0, lo = 0;
        if (s[i] == '=' && i + 2 < s.size() && (hi = HexDigit(s[i + 1])) >= 0 &&
            (lo = HexDigit(s[i + 2])) >= 0) {
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

int Base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : (c == '/' ? 63 : -1);
}

// Characters outside the alphabet (blanks, padding, anything else) are passed over.
std::string DecodeBase64(std::string_view s) {
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : s) {
        int d = Base64Digit(c);
        if (d < 0) {
            continue;
        }
        bits = (bits << 6) | static_cast<unsigned>(d);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

// The Windows code page of a character-set name; 0 for UTF-8 and for names not known here.
unsigned CodePageOf(std::string_view charset) {
    std::string name;
    for (char c : Trim(charset)) {
        name.push_back(Lower(c));
    }
    auto number = [](std::string_view digits) -> unsigned {
        unsigned n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9' || n > 99999) {
                return 0;
            }
            n = n * 10 + static_cast<unsigned>(c - '0');
        }
        return n;
    };
    std::string_view n(name);
    if (n.substr(0, 8) == "windows-") {
        return number(n.substr(8));
    }
    if (n.substr(0, 2) == "cp") {
        return number(n.substr(2));
    }
    if (n.substr(0, 9) == "iso-8859-") {
        unsigned part = number(n.substr(9));
        return part >= 1 && part <= 15 ? 28590 + part : 0;
    }
    if (n == "koi8-r") {
        return 20866;
    }
    return 0;
}

// The value's bytes as its parameters describe them, in UTF-8 (not yet unescaped).
std::string DecodeValue(const Property& p) {
    std::string raw = p.quotedPrintable() ? DecodeQuotedPrintable(p.value)
                      : p.base64()        ? DecodeBase64(p.value)
                                          : std::string(p.value);
    unsigned codePage = CodePageOf(p.param("CHARSET"));
    if (codePage != 0 && codePage != kCodePageUtf8 && !raw.empty()) {
        std::u16string wide = MultiByteToWide(codePage, raw);
        if (!wide.empty()) {
            return WideToMultiByte(kCodePageUtf8, wide);
        }
    }
    return raw;
}

// A text value as shown on one line: escapes resolved, control characters made spaces,
// trimmed.
std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            char next = s[i + 1];
            if (next == 'n' || next == 'N') {
                c = ' ';
                ++i;
            } else if (next == ',' || next == ';' || next == ':' || next == '\\') {
                c = next;
                ++i;
            }
        }
        unsigned char u = static_cast<unsigned char>(c);
        out.push_back(u < 0x20 || u == 0x7F ? ' ' : c);
    }
    return std::string(Trim(out));
}

// The fields of the "given family" name: N is family;given;additional;prefixes;suffixes.
std::string NameFromN(std::string_view decoded) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == '\\') {
            ++i;
        } else if (decoded[i] == ';') {
            parts.push_back(decoded.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(decoded.substr(start));
    std::string family = Unescape(parts[0]);
    std::string given = parts.size() > 1 ? Unescape(parts[1]) : std::string();
    if (given.empty() || family.empty()) {
        return given + family;
    }
    return given + " " + family;
}

int PreferenceRank(const Property& p) {
    if (p.has("TYPE", "PREF")) {
        return 1;
    }
    std::string_view pref = Trim(p.param("PREF"));
    if (pref.empty()) {
        return kNoPreference;
    }
    int rank = 0;
    for (char c : pref) {
        if (c < '0' || c > '9' || rank > 100) {
            return kNoPreference - 1;
        }
        rank = rank * 10 + (c - '0');
    }
    return rank >= 1 && rank <= 100 ? rank : kNoPreference - 1;
}

struct Card {
    std::string formattedName;
    std::string structuredName;
    std::string email;
    int emailRank = kNoPreference + 1;
    bool group = false;

    void take(const Property& p) {
        if (Same(p.name, "FN")) {
            formattedName = Unescape(DecodeValue(p));
        } else if (Same(p.name, "N")) {
            structuredName = NameFromN(DecodeValue(p));
        } else if (Same(p.name, "EMAIL")) {
            std::string address = Unescape(DecodeValue(p));
            int rank = PreferenceRank(p);
            if (!address.empty() && rank < emailRank) {
                email = std::move(address);
                emailRank = rank;
            }
        } else if (Same(p.name, "KIND") || Same(p.name, "X-ADDRESSBOOKSERVER-KIND")) {
            group = group || Same(Trim(p.value), "group");
        } else if (Same(p.name, "X-EVOLUTION-LIST")) {
            group = group || Same(Trim(p.value), "TRUE");
        }
    }
    void finish(std::vector<Contact>* out) {
        std::string name = formattedName.empty() ? structuredName : formattedName;
        if (!group && (!name.empty() || !email.empty())) {
            out->push_back({std::move(name), std::move(email)});
        }
        *this = Card();
    }
};

// The text's physical lines, without their line ends ("\n", "\r\n" or a lone "\r").
class Lines {
  public:
    explicit Lines(std::string_view text) : text_(text) {}
    bool atEnd() const { return pos_ >= text_.size(); }
    std::string_view peek() const {
        size_t end = pos_;
        while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') {
            ++end;
        }
        return text_.substr(pos_, end - pos_);
    }
    std::string_view next() {
        std::string_view line = peek();
        pos_ += line.size();
        if (pos_ < text_.size() && text_[pos_] == '\r') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        return line;
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

// The next logical line: folded continuations (a line starting with a blank) joined, and a
// quoted-printable value's soft line breaks ("=" at the end) joined to the line that follows.
void NextLogicalLine(Lines& lines, std::string* logical) {
    logical->assign(lines.next());
    bool quotedPrintable = false, knowsEncoding = false;
    for (;;) {
        while (!lines.atEnd() && !lines.peek().empty() && IsBlank(lines.peek().front())) {
            logical->append(lines.next().substr(1));
        }
        if (!knowsEncoding && logical->find(':') != std::string::npos) {
            Property p;
            quotedPrintable = ParseProperty(*logical, &p) && p.quotedPrintable();
            knowsEncoding = true;
        }
        if (!quotedPrintable || logical->empty() || logical->back() != '=' || lines.atEnd()) {
            return;
        }
        logical->pop_back();
        logical->append(lines.next());
    }
}

}  // namespace

std::vector<Contact> ParseVCardContacts(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<Contact> contacts;
    Lines lines(text);
    std::string logical;
    Property p;
    Card card;
    int depth = 0;
    while (!lines.atEnd()) {
        NextLogicalLine(lines, &logical);
        if (!ParseProperty(logical, &p)) {
            continue;
        }
        bool begin = Same(p.name, "BEGIN"), end = Same(p.name, "END");
        if ((begin || end) && Same(Trim(p.value), "VCARD")) {
            if (begin && ++depth == 1) {
                card = Card();
            } else if (end && depth > 0 && --depth == 0) {
                card.finish(&contacts);
            }
        } else if (depth == 1) {
            card.take(p);
        }
    }
    if (depth > 0) {
        card.finish(&contacts);
    }
    return contacts;
}

}  // namespace wq::platform
