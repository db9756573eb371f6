// Parser: pattern text -> Ast.
//
// Recursive descent over the three dialects the interface offers: extended expressions
// (REG_EXTENDED), basic expressions (the default) and plain strings (REG_NOSPEC). The grammar
// and its odd corners are the 4.4BSD ones, in the same decision order, so that the same
// pattern fails with the same error code:
//
//   ere     := branch ('|' branch)*              an empty branch is REG_EMPTY
//   branch  := exp+
//   exp     := atom [rep]                        a second rep is REG_BADRPT
//   atom    := '(' [ere] ')' | '^' | '$' | '.' | bracket | '\' char | '{' (not before a digit)
//              | char                            an unmatched ')' is an ordinary character
//   rep     := '*' | '+' | '?' | '{' count [',' [count]] '}'   ('{' only before a digit)
//
//   bre     := ['^'] simple*  ; a trailing '$' is the end anchor, '^' elsewhere is ordinary
//   simple  := ('.' | bracket | '\(' [bre] '\)' | '\' digit | char) ['*' | '\{' bound '\}']
//              '*' first in an expression or subexpression is an ordinary character
//
//   bracket := '[' ( '[:<:]]' | '[:>:]]' | ['^'] [']' | '-'] term* ['-'] ']' )
//   term    := '[:' class ':]' | '[=' element '=]' | symbol ['-' symbol]
//   symbol  := '[.' element '.]' | char
//
// Counted repetitions are expanded into copies here (x{2,4} becomes x x (x (x)?)?), the way
// 4.4BSD does it, which keeps every later stage free of counters; the copies of a
// subexpression share its number, so the last copy that takes part reports it. The size of the
// expansion is checked before it is made. The first error wins; parenthesis nesting is limited
// to kMaxNesting so that no pattern can exhaust the stack. Covered by the Spencer suite in
// tests/regex (every "C" line checks an error code).
#include <cstring>

#include "text/regex/ast.h"

namespace wq::regex {
namespace {

constexpr int kInfinity = kDupMax + 1;
constexpr int32_t kDeleted = -2;  // a{0} or a{0,0}: the atom is dropped

struct ClassName {
    const char* name;
    bool (*test)(unsigned c);
};

bool isUpper(unsigned c) {
    return c >= 'A' && c <= 'Z';
}
bool isLower(unsigned c) {
    return c >= 'a' && c <= 'z';
}
bool isDigit(unsigned c) {
    return c >= '0' && c <= '9';
}
bool isAlpha(unsigned c) {
    return isUpper(c) || isLower(c);
}
bool isAlnum(unsigned c) {
    return isAlpha(c) || isDigit(c);
}
bool isBlank(unsigned c) {
    return c == ' ' || c == '\t';
}
bool isCntrl(unsigned c) {
    return c < 32 || c == 127;
}
bool isGraph(unsigned c) {
    return c > 32 && c < 127;
}
bool isPrint(unsigned c) {
    return c >= 32 && c < 127;
}
bool isPunct(unsigned c) {
    return isGraph(c) && !isAlnum(c);
}
bool isSpace(unsigned c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isXdigit(unsigned c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

const ClassName kClasses[] = {
    {"alnum", isAlnum}, {"alpha", isAlpha}, {"blank", isBlank}, {"cntrl", isCntrl},
    {"digit", isDigit}, {"graph", isGraph}, {"lower", isLower}, {"print", isPrint},
    {"punct", isPunct}, {"space", isSpace}, {"upper", isUpper}, {"xdigit", isXdigit},
};

// The names of the portable character set, for [.name.] and [=name=].
struct CollName {
    const char* name;
    unsigned char code;
};
const CollName kCollNames[] = {
    {"NUL", 0},
    {"SOH", 1},
    {"STX", 2},
    {"ETX", 3},
    {"EOT", 4},
    {"ENQ", 5},
    {"ACK", 6},
    {"BEL", 7},
    {"alert", 7},
    {"BS", 8},
    {"backspace", 8},
    {"HT", 9},
    {"tab", 9},
    {"LF", 10},
    {"newline", 10},
    {"VT", 11},
    {"vertical-tab", 11},
    {"FF", 12},
    {"form-feed", 12},
    {"CR", 13},
    {"carriage-return", 13},
    {"SO", 14},
    {"SI", 15},
    {"DLE", 16},
    {"DC1", 17},
    {"DC2", 18},
    {"DC3", 19},
    {"DC4", 20},
    {"NAK", 21},
    {"SYN", 22},
    {"ETB", 23},
    {"CAN", 24},
    {"EM", 25},
    {"SUB", 26},
    {"ESC", 27},
    {"IS4", 28},
    {"FS", 28},
    {"IS3", 29},
    {"GS", 29},
    {"IS2", 30},
    {"RS", 30},
    {"IS1", 31},
    {"US", 31},
    {"space", ' '},
    {"exclamation-mark", '!'},
    {"quotation-mark", '"'},
    {"number-sign", '#'},
    {"dollar-sign", '$'},
    {"percent-sign", '%'},
    {"ampersand", '&'},
    {"apostrophe", '\''},
    {"left-parenthesis", '('},
    {"right-parenthesis", ')'},
    {"asterisk", '*'},
    {"plus-sign", '+'},
    {"comma", ','},
    {"hyphen", '-'},
    {"hyphen-minus", '-'},
    {"period", '.'},
    {"full-stop", '.'},
    {"slash", '/'},
    {"solidus", '/'},
    {"zero", '0'},
    {"one", '1'},
    {"two", '2'},
    {"three", '3'},
    {"four", '4'},
    {"five", '5'},
    {"six", '6'},
    {"seven", '7'},
    {"eight", '8'},
    {"nine", '9'},
    {"colon", ':'},
    {"semicolon", ';'},
    {"less-than-sign", '<'},
    {"equals-sign", '='},
    {"greater-than-sign", '>'},
    {"question-mark", '?'},
    {"commercial-at", '@'},
    {"left-square-bracket", '['},
    {"backslash", '\\'},
    {"reverse-solidus", '\\'},
    {"right-square-bracket", ']'},
    {"circumflex", '^'},
    {"circumflex-accent", '^'},
    {"underscore", '_'},
    {"low-line", '_'},
    {"grave-accent", '`'},
    {"left-brace", '{'},
    {"left-curly-bracket", '{'},
    {"vertical-line", '|'},
    {"right-brace", '}'},
    {"right-curly-bracket", '}'},
    {"tilde", '~'},
    {"DEL", 127},
};

class Parser {
  public:
    Parser(const char* p, size_t n, int cflags, Ast* ast)
        : p_(reinterpret_cast<const unsigned char*>(p)), end_(p_ + n), cflags_(cflags), ast_(ast) {}

    int run() {
        int32_t root = -1;
        if (cflags_ & kNospec) {
            root = parseString();
        } else if (cflags_ & kExtended) {
            root = parseEre(-1, 0);
        } else {
            root = parseBre(false, 0);
        }
        if (error_ != kOk)
            return error_;
        // A ')' left over cannot happen: the top level treats it as ordinary.
        ast_->root = root;
        ast_->nsub = nsub_;
        finish();
        return kOk;
    }

  private:
    // ----- input -----
    bool more() const { return p_ < end_; }
    bool more2() const { return end_ - p_ >= 2; }
    unsigned peek() const { return *p_; }
    unsigned peek2() const { return p_[1]; }
    unsigned next() { return *p_++; }
    bool see(unsigned c) const { return more() && peek() == c; }
    bool seeTwo(unsigned a, unsigned b) const { return more2() && peek() == a && peek2() == b; }
    bool eat(unsigned c) {
        if (!see(c))
            return false;
        ++p_;
        return true;
    }
    bool eatTwo(unsigned a, unsigned b) {
        if (!seeTwo(a, b))
            return false;
        p_ += 2;
        return true;
    }
    // Records the first error; every caller unwinds when it returns false.
    bool fail(int e) {
        if (error_ == kOk)
            error_ = e;
        return false;
    }
    bool require(bool cond, int e) { return cond || fail(e); }

    // ----- node construction -----
    int32_t add(NodeKind kind, int32_t arg = 0, std::vector<int32_t> kids = {}) {
        if (ast_->nodes.size() >= kMaxProgram) {
            fail(kESpace);
            return -1;
        }
        Node n;
        n.kind = kind;
        n.arg = arg;
        n.kids = std::move(kids);
        ast_->nodes.push_back(std::move(n));
        return static_cast<int32_t>(ast_->nodes.size() - 1);
    }
    int32_t addSet(const ByteSet& s) {
        ast_->sets.push_back(s);
        return add(NodeKind::Set, static_cast<int32_t>(ast_->sets.size() - 1));
    }
    int32_t sequence(std::vector<int32_t> items) {
        if (items.empty())
            return add(NodeKind::Empty);
        if (items.size() == 1)
            return items[0];
        return add(NodeKind::Concat, 0, std::move(items));
    }
    int32_t ordinary(unsigned c) {
        if ((cflags_ & kIcase) && otherCase(c) != c) {
            ByteSet s;
            s.add(c);
            s.add(otherCase(c));
            return addSet(s);
        }
        return add(NodeKind::Byte, static_cast<int32_t>(c));
    }
    int32_t anyByte() {
        ByteSet s;
        s.invert();
        if (cflags_ & kNewline)
            s.remove('\n');
        return addSet(s);
    }
    size_t subtreeSize(int32_t n) const {
        size_t total = 0;
        std::vector<int32_t> stack{n};
        while (!stack.empty()) {
            int32_t x = stack.back();
            stack.pop_back();
            ++total;
            for (int32_t k : ast_->nodes[x].kids)
                stack.push_back(k);
        }
        return total;
    }
    int32_t clone(int32_t n) {
        std::vector<int32_t> kids;
        const size_t count = ast_->nodes[n].kids.size();
        for (size_t i = 0; i < count; ++i) {
            int32_t k = clone(ast_->nodes[n].kids[i]);
            if (k < 0)
                return -1;
            kids.push_back(k);
        }
        return add(ast_->nodes[n].kind, ast_->nodes[n].arg, std::move(kids));
    }
    // x{lo,hi} with hi == kInfinity for no upper bound.
    int32_t repeat(int32_t atom, int lo, int hi) {
        if (lo == 0 && hi == 0)
            return kDeleted;
        if (lo == 0 && hi == kInfinity)
            return add(NodeKind::Star, 0, {atom});
        if (lo == 1 && hi == kInfinity)
            return add(NodeKind::Plus, 0, {atom});
        if (lo == 0 && hi == 1)
            return add(NodeKind::Quest, 0, {atom});
        if (lo == 1 && hi == 1)
            return atom;
        const size_t copies = static_cast<size_t>(hi == kInfinity ? lo : hi);
        if (subtreeSize(atom) * copies + ast_->nodes.size() + 2 * copies > kMaxProgram) {
            fail(kESpace);
            return -1;
        }
        std::vector<int32_t> items;
        int32_t first = atom;
        auto copy = [&]() -> int32_t {
            if (first >= 0) {
                int32_t f = first;
                first = -1;
                return f;
            }
            return clone(atom);
        };
        if (hi == kInfinity) {
            for (int i = 0; i < lo - 1; ++i)
                items.push_back(copy());
            int32_t last = copy();
            if (last < 0)
                return -1;
            items.push_back(add(NodeKind::Plus, 0, {last}));
        } else {
            for (int i = 0; i < lo; ++i)
                items.push_back(copy());
            // The optional copies nest: (x(x(x)?)?)?; the outermost is made first so that
            // copies appear in pattern order.
            std::vector<int32_t> optional;
            for (int i = lo; i < hi; ++i)
                optional.push_back(copy());
            int32_t tail = -1;
            for (size_t i = optional.size(); i-- > 0;) {
                int32_t body = tail < 0 ? optional[i] : sequence({optional[i], tail});
                tail = add(NodeKind::Quest, 0, {body});
            }
            if (tail >= 0)
                items.push_back(tail);
        }
        for (int32_t x : items) {
            if (x < 0)
                return -1;
        }
        return sequence(std::move(items));
    }

    // count := digit+ (at most kDupMax)
    int count() {
        int value = 0;
        int digits = 0;
        while (more() && isDigit(peek()) && value <= kDupMax) {
            value = value * 10 + static_cast<int>(next() - '0');
            ++digits;
        }
        if (digits == 0 || value > kDupMax) {
            fail(kBadBr);
            return -1;
        }
        return value;
    }

    // ----- REG_NOSPEC -----
    int32_t parseString() {
        if (!require(more(), kEmpty))
            return -1;
        std::vector<int32_t> items;
        while (more()) {
            int32_t n = ordinary(next());
            if (n < 0)
                return -1;
            items.push_back(n);
        }
        return sequence(std::move(items));
    }

    // ----- extended expressions -----
    // ere := branch ('|' branch)*; stop is ')' inside a subexpression, -1 at the top.
    int32_t parseEre(int stop, int depth) {
        std::vector<int32_t> branches;
        for (;;) {
            std::vector<int32_t> items;
            bool emitted = false;
            while (more() && peek() != '|' && static_cast<int>(peek()) != stop) {
                int32_t n = parseEreExp(depth);
                if (error_ != kOk)
                    return -1;
                if (n == kDeleted)
                    continue;
                emitted = true;
                items.push_back(n);
            }
            if (!require(emitted, kEmpty))
                return -1;
            branches.push_back(sequence(std::move(items)));
            if (!eat('|'))
                break;
        }
        if (branches.size() == 1)
            return branches[0];
        return add(NodeKind::Alt, 0, std::move(branches));
    }

    static bool startsRepetition(unsigned c, bool twoLeft, unsigned c2) {
        return c == '*' || c == '+' || c == '?' || (c == '{' && twoLeft && isDigit(c2));
    }

    int32_t parseEreExp(int depth) {
        unsigned c = next();
        int32_t atom = -1;
        bool wasCaret = false;
        switch (c) {
            case '(': {
                if (!require(more(), kEParen))
                    return -1;
                if (!require(depth < kMaxNesting, kESpace))
                    return -1;
                const int32_t sub = static_cast<int32_t>(++nsub_);
                int32_t child = -1;
                if (!see(')')) {
                    child = parseEre(')', depth + 1);
                    if (error_ != kOk)
                        return -1;
                } else {
                    child = add(NodeKind::Empty);
                }
                closed_.resize(nsub_ + 1, false);
                closed_[sub] = true;
                if (!require(eat(')'), kEParen))
                    return -1;
                atom = add(NodeKind::Group, sub, {child});
                break;
            }
            case '*':
            case '+':
            case '?':
            case '|':
                fail(kBadRpt);
                return -1;
            case '{':
                if (!require(!more() || !isDigit(peek()), kBadRpt))
                    return -1;
                atom = ordinary(c);
                break;
            case '^':
                atom = add(NodeKind::Assert, kBol);
                wasCaret = true;
                break;
            case '$':
                atom = add(NodeKind::Assert, kEol);
                break;
            case '.':
                atom = anyByte();
                break;
            case '[':
                atom = parseBracket();
                break;
            case '\\':
                if (!require(more(), kEEscape))
                    return -1;
                atom = ordinary(next());
                break;
            default:
                atom = ordinary(c);
                break;
        }
        if (error_ != kOk || atom < 0)
            return -1;

        if (!more() || !startsRepetition(peek(), more2(), more2() ? peek2() : 0))
            return atom;
        c = next();
        if (!require(!wasCaret, kBadRpt))
            return -1;
        int32_t result = -1;
        switch (c) {
            case '*':
                result = add(NodeKind::Star, 0, {atom});
                break;
            case '+':
                result = add(NodeKind::Plus, 0, {atom});
                break;
            case '?':
                result = add(NodeKind::Quest, 0, {atom});
                break;
            default: {  // '{'
                int lo = count();
                if (lo < 0)
                    return -1;
                int hi = lo;
                if (eat(',')) {
                    if (more() && isDigit(peek())) {
                        hi = count();
                        if (hi < 0)
                            return -1;
                        if (!require(lo <= hi, kBadBr))
                            return -1;
                    } else {
                        hi = kInfinity;
                    }
                }
                result = repeat(atom, lo, hi);
                if (error_ != kOk)
                    return -1;
                if (!eat('}')) {
                    while (more() && peek() != '}')
                        next();
                    if (!require(more(), kEBrace))
                        return -1;
                    fail(kBadBr);
                    return -1;
                }
                break;
            }
        }
        if (error_ != kOk)
            return -1;
        if (more() && startsRepetition(peek(), more2(), more2() ? peek2() : 0)) {
            fail(kBadRpt);
            return -1;
        }
        return result;
    }

    // ----- basic expressions -----
    int32_t parseBre(bool inGroup, int depth) {
        std::vector<int32_t> items;
        bool emitted = false;
        if (eat('^')) {
            items.push_back(add(NodeKind::Assert, kBol));
            emitted = true;
        }
        bool first = true;
        bool wasDollar = false;
        while (more() && !(inGroup && seeTwo('\\', ')'))) {
            int32_t n = parseSimple(first, depth, &wasDollar);
            if (error_ != kOk)
                return -1;
            first = false;
            if (n == kDeleted)
                continue;
            emitted = true;
            items.push_back(n);
        }
        if (wasDollar) {
            // That '$' was the trailing anchor after all.
            items.back() = add(NodeKind::Assert, kEol);
        }
        if (!require(emitted, kEmpty))
            return -1;
        return sequence(std::move(items));
    }

    static constexpr unsigned kBackslash = 0x100;

    int32_t parseSimple(bool starOrdinary, int depth, bool* wasDollar) {
        *wasDollar = false;
        unsigned c = next();
        if (c == '\\') {
            if (!require(more(), kEEscape))
                return -1;
            c = kBackslash | next();
        }
        int32_t atom = -1;
        switch (c) {
            case '.':
                atom = anyByte();
                break;
            case '[':
                atom = parseBracket();
                break;
            case kBackslash | '{':
                fail(kBadRpt);
                return -1;
            case kBackslash | '(': {
                if (!require(depth < kMaxNesting, kESpace))
                    return -1;
                const int32_t sub = static_cast<int32_t>(++nsub_);
                int32_t child = -1;
                if (more() && !seeTwo('\\', ')')) {
                    child = parseBre(true, depth + 1);
                    if (error_ != kOk)
                        return -1;
                } else {
                    child = add(NodeKind::Empty);
                }
                closed_.resize(nsub_ + 1, false);
                closed_[sub] = true;
                if (!require(eatTwo('\\', ')'), kEParen))
                    return -1;
                atom = add(NodeKind::Group, sub, {child});
                break;
            }
            case kBackslash | ')':
            case kBackslash | '}':
                fail(kEParen);
                return -1;
            case kBackslash | '1':
            case kBackslash | '2':
            case kBackslash | '3':
            case kBackslash | '4':
            case kBackslash | '5':
            case kBackslash | '6':
            case kBackslash | '7':
            case kBackslash | '8':
            case kBackslash | '9': {
                const size_t sub = (c & 0xff) - '0';
                if (!require(sub < closed_.size() && closed_[sub], kESubreg))
                    return -1;
                atom = add(NodeKind::Backref, static_cast<int32_t>(sub));
                ast_->backrefs = true;
                break;
            }
            case '*':
                if (!require(starOrdinary, kBadRpt))
                    return -1;
                atom = ordinary(c);
                break;
            default:
                atom = ordinary(c & 0xff);
                break;
        }
        if (error_ != kOk || atom < 0)
            return -1;

        if (eat('*'))
            return add(NodeKind::Star, 0, {atom});
        if (eatTwo('\\', '{')) {
            int lo = count();
            if (lo < 0)
                return -1;
            int hi = lo;
            if (eat(',')) {
                if (more() && isDigit(peek())) {
                    hi = count();
                    if (hi < 0)
                        return -1;
                    if (!require(lo <= hi, kBadBr))
                        return -1;
                } else {
                    hi = kInfinity;
                }
            }
            int32_t result = repeat(atom, lo, hi);
            if (error_ != kOk)
                return -1;
            if (!eatTwo('\\', '}')) {
                while (more() && !seeTwo('\\', '}'))
                    next();
                if (!require(more(), kEBrace))
                    return -1;
                fail(kBadBr);
                return -1;
            }
            return result;
        }
        if (c == '$')
            *wasDollar = true;
        return atom;
    }

    // ----- brackets -----
    int32_t parseBracket() {
        if (end_ - p_ >= 6 && std::memcmp(p_, "[:<:]]", 6) == 0) {
            p_ += 6;
            return add(NodeKind::Assert, kBow);
        }
        if (end_ - p_ >= 6 && std::memcmp(p_, "[:>:]]", 6) == 0) {
            p_ += 6;
            return add(NodeKind::Assert, kEow);
        }
        ByteSet set;
        const bool invert = eat('^');
        if (eat(']')) {
            set.add(']');
        } else if (eat('-')) {
            set.add('-');
        }
        while (more() && peek() != ']' && !seeTwo('-', ']')) {
            if (!term(&set))
                return -1;
        }
        if (eat('-'))
            set.add('-');
        if (!require(eat(']'), kEBrack))
            return -1;
        if (cflags_ & kIcase) {
            for (unsigned c = 0; c < 256; ++c) {
                if (set.has(c))
                    set.add(otherCase(c));
            }
        }
        if (invert) {
            set.invert();
            if (cflags_ & kNewline)
                set.remove('\n');
        }
        return addSet(set);
    }

    bool term(ByteSet* set) {
        unsigned c = peek();
        unsigned c2 = 0;
        if (c == '[') {
            c2 = more2() ? peek2() : 0;
        } else if (c == '-') {
            return fail(kERange);
        }
        if (c == '[' && c2 == ':') {
            p_ += 2;
            if (!require(more(), kEBrack))
                return false;
            c = peek();
            if (!require(c != '-' && c != ']', kECtype))
                return false;
            const unsigned char* name = p_;
            while (more() && isAlpha(peek()))
                next();
            const size_t len = static_cast<size_t>(p_ - name);
            const ClassName* found = nullptr;
            for (const auto& cls : kClasses) {
                if (std::strlen(cls.name) == len && std::memcmp(cls.name, name, len) == 0) {
                    found = &cls;
                }
            }
            if (!require(found != nullptr, kECtype))
                return false;
            for (unsigned b = 0; b < 256; ++b) {
                if (found->test(b))
                    set->add(b);
            }
            if (!require(more(), kEBrack))
                return false;
            return require(eatTwo(':', ']'), kECtype);
        }
        if (c == '[' && c2 == '=') {
            p_ += 2;
            if (!require(more(), kEBrack))
                return false;
            c = peek();
            if (!require(c != '-' && c != ']', kECollate))
                return false;
            int e = collatingElement('=');
            if (e < 0)
                return false;
            set->add(static_cast<unsigned>(e));
            if (!require(more(), kEBrack))
                return false;
            return require(eatTwo('=', ']'), kECollate);
        }
        int start = symbol();
        if (start < 0)
            return false;
        int finish = start;
        if (see('-') && more2() && peek2() != ']') {
            next();
            if (eat('-')) {
                finish = '-';
            } else {
                finish = symbol();
                if (finish < 0)
                    return false;
            }
        }
        if (!require(start <= finish, kERange))
            return false;
        for (int b = start; b <= finish; ++b)
            set->add(static_cast<unsigned>(b));
        return true;
    }

    int symbol() {
        if (!require(more(), kEBrack))
            return -1;
        if (!eatTwo('[', '.'))
            return static_cast<int>(next());
        int value = collatingElement('.');
        if (value < 0)
            return -1;
        if (!require(eatTwo('.', ']'), kECollate))
            return -1;
        return value;
    }

    // The element up to "<endc>]": a name of the portable character set or one character.
    int collatingElement(unsigned endc) {
        const unsigned char* start = p_;
        while (more() && !seeTwo(endc, ']'))
            next();
        if (!more()) {
            fail(kEBrack);
            return -1;
        }
        const size_t len = static_cast<size_t>(p_ - start);
        for (const auto& cn : kCollNames) {
            if (std::strlen(cn.name) == len && std::memcmp(cn.name, start, len) == 0) {
                return cn.code;
            }
        }
        if (len == 1)
            return *start;
        fail(kECollate);
        return -1;
    }

    // Marks which subtrees hold subexpressions and back-references, and where each
    // subexpression first occurs.
    void finish() {
        ast_->groupNode.assign(nsub_ + 1, -1);
        for (size_t i = 0; i < ast_->nodes.size(); ++i) {
            Node& n = ast_->nodes[i];
            n.hasGroup = n.kind == NodeKind::Group;
            n.hasBackref = n.kind == NodeKind::Backref;
            for (int32_t k : n.kids) {
                n.hasGroup = n.hasGroup || ast_->nodes[k].hasGroup;
                n.hasBackref = n.hasBackref || ast_->nodes[k].hasBackref;
            }
            if (n.kind == NodeKind::Group && ast_->groupNode[n.arg] < 0) {
                ast_->groupNode[n.arg] = static_cast<int32_t>(i);
            }
        }
    }

    const unsigned char* p_;
    const unsigned char* end_;
    int cflags_;
    Ast* ast_;
    int error_ = kOk;
    size_t nsub_ = 0;
    std::vector<bool> closed_{false};
};

}  // namespace

int parse(const char* pattern, size_t length, int cflags, Ast* ast) {
    Parser parser(pattern, length, cflags, ast);
    return parser.run();
}

}  // namespace wq::regex
