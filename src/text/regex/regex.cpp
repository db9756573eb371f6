// The exported POSIX interface: regcomp, regexec, regerror, regfree and the Regex_T members.
//
// This file only checks arguments, owns the compiled form and translates between the C records
// and the engine: parse.cpp -> compile.cpp -> Program, matched by dissect.cpp (automata) or
// backtrack.cpp (back-references). No exception leaves it: running out of memory anywhere is
// REG_ESPACE, and regcomp releases whatever it built on every error.
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "text/regex/program.h"
#include "wqrt_regex.h"

namespace wq::regex {
namespace {

// Tells a live compiled form from freed or foreign memory behind re_g.
constexpr uint32_t kGutsMagic = 0x52e6a1b7u;

struct Guts {
    uint32_t magic = kGutsMagic;
    Program prog;
};

struct ErrorText {
    int code;
    const char* name;
    const char* text;
};

const ErrorText kErrors[] = {
    {kNoMatch, "REG_NOMATCH", "regexec() failed to match"},
    {kBadPat, "REG_BADPAT", "invalid regular expression"},
    {kECollate, "REG_ECOLLATE", "invalid collating element"},
    {kECtype, "REG_ECTYPE", "invalid character class"},
    {kEEscape, "REG_EESCAPE", "trailing backslash (\\)"},
    {kESubreg, "REG_ESUBREG", "invalid backreference number"},
    {kEBrack, "REG_EBRACK", "brackets ([ ]) not balanced"},
    {kEParen, "REG_EPAREN", "parentheses not balanced"},
    {kEBrace, "REG_EBRACE", "braces not balanced"},
    {kBadBr, "REG_BADBR", "invalid repetition count(s)"},
    {kERange, "REG_ERANGE", "invalid character range"},
    {kESpace, "REG_ESPACE", "out of memory"},
    {kBadRpt, "REG_BADRPT", "repetition-operator operand invalid"},
    {kEmpty, "REG_EMPTY", "empty (sub)expression"},
    {kAssert, "REG_ASSERT", "\"can't happen\" -- you found a bug"},
    {kInvArg, "REG_INVARG", "invalid argument to regex routine"},
};
constexpr const char* kUnknownText = "*** unknown regexp error code ***";

Guts* gutsOf(const wq_regex_t* preg) {
    if (preg == nullptr || preg->re_magic != WQ_REG_MAGIC || preg->re_g == nullptr)
        return nullptr;
    auto* g = static_cast<Guts*>(preg->re_g);
    return g->magic == kGutsMagic ? g : nullptr;
}

int compileInto(wq_regex_t* preg, const char* pattern, int cflags) {
    if (preg == nullptr || pattern == nullptr)
        return kInvArg;
    if ((cflags & kExtended) && (cflags & kNospec))
        return kInvArg;
    size_t length = 0;
    if (cflags & kPend) {
        if (preg->re_endp == nullptr || preg->re_endp < pattern)
            return kInvArg;
        length = static_cast<size_t>(preg->re_endp - pattern);
    } else {
        length = std::strlen(pattern);
    }
    preg->re_magic = 0;
    preg->re_g = nullptr;
    try {
        auto guts = std::make_unique<Guts>();
        guts->prog.cflags = cflags;
        int err = parse(pattern, length, cflags, &guts->prog.ast);
        if (err == kOk)
            err = compile(&guts->prog);
        if (err != kOk)
            return err;  // guts is released here
        preg->re_nsub = guts->prog.ast.nsub;
        preg->re_g = guts.release();
        preg->re_magic = WQ_REG_MAGIC;
        return kOk;
    } catch (const std::bad_alloc&) {
        return kESpace;
    }
}

int execute(const wq_regex_t* preg, const char* string, size_t nmatch, wq_regmatch_t* pmatch,
            int eflags) {
    const Guts* g = gutsOf(preg);
    if (g == nullptr)
        return kBadPat;
    if (string == nullptr)
        return kInvArg;
    const Program& prog = g->prog;
    if (prog.cflags & kNosub)
        nmatch = 0;
    if (nmatch > 0 && pmatch == nullptr)
        return kInvArg;
    Subject subj;
    subj.s = reinterpret_cast<const uint8_t*>(string);
    if (eflags & kStartEnd) {
        if (pmatch == nullptr || pmatch[0].rm_so < 0 || pmatch[0].rm_eo < pmatch[0].rm_so) {
            return kInvArg;
        }
        subj.lo = static_cast<size_t>(pmatch[0].rm_so);
        subj.hi = static_cast<size_t>(pmatch[0].rm_eo);
    } else {
        subj.hi = std::strlen(string);
    }
    // Offsets are reported in 32 bits.
    if (subj.hi > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return kESpace;
    subj.notBol = (eflags & kNotBol) != 0;
    subj.notEol = (eflags & kNotEol) != 0;
    subj.newline = (prog.cflags & kNewline) != 0;

    try {
        const size_t count = nmatch > 0 ? prog.ast.nsub + 1 : 0;
        Span local[16];
        std::vector<Span> heap;
        Span* spans = local;
        if (count > 16) {
            heap.resize(count);
            spans = heap.data();
        }
        const bool wantSubs = nmatch > 1;
        const int r = prog.ast.backrefs ? matchBacktrack(prog, subj, wantSubs, spans, count)
                                        : matchAutomaton(prog, subj, wantSubs, spans, count);
        if (r != kOk)
            return r;
        for (size_t i = 0; i < nmatch; ++i) {
            const Span sp = i < count ? spans[i] : Span{};
            pmatch[i].rm_so = static_cast<int32_t>(sp.so);
            pmatch[i].rm_eo = static_cast<int32_t>(sp.eo);
        }
        return kOk;
    } catch (const std::bad_alloc&) {
        return kESpace;
    }
}

size_t describe(int errcode, const wq_regex_t* preg, char* errbuf, size_t size) {
    char conv[64];
    const char* message = nullptr;
    if (errcode == WQ_REG_ATOI) {
        message = "0";
        const char* name = preg != nullptr ? preg->re_endp : nullptr;
        if (name != nullptr) {
            for (const auto& e : kErrors) {
                if (std::strcmp(e.name, name) == 0) {
                    std::snprintf(conv, sizeof conv, "%d", e.code);
                    message = conv;
                    break;
                }
            }
        }
    } else {
        const int target = errcode & ~WQ_REG_ITOA;
        const ErrorText* found = nullptr;
        for (const auto& e : kErrors) {
            if (e.code == target)
                found = &e;
        }
        if (errcode & WQ_REG_ITOA) {
            if (found != nullptr) {
                message = found->name;
            } else {
                std::snprintf(conv, sizeof conv, "REG_0x%x", static_cast<unsigned>(target));
                message = conv;
            }
        } else {
            message = found != nullptr ? found->text : kUnknownText;
        }
    }
    const size_t length = std::strlen(message) + 1;
    if (size > 0 && errbuf != nullptr) {
        const size_t copy = length <= size ? length - 1 : size - 1;
        std::memcpy(errbuf, message, copy);
        errbuf[copy] = '\0';
    }
    return length;
}

void release(wq_regex_t* preg) {
    Guts* g = gutsOf(preg);
    if (g == nullptr)
        return;
    g->magic = 0;
    delete g;
    preg->re_magic = 0;
    preg->re_g = nullptr;
}

}  // namespace
}  // namespace wq::regex

extern "C" {

WQ_EXPORT int WQ_API WQ_REGEX_NAME(regcomp)(wq_regex_t* preg, const char* pattern, int cflags) {
    return wq::regex::compileInto(preg, pattern, cflags);
}

WQ_EXPORT int WQ_API WQ_REGEX_NAME(regexec)(const wq_regex_t* preg, const char* string,
                                            size_t nmatch, wq_regmatch_t pmatch[], int eflags) {
    return wq::regex::execute(preg, string, nmatch, pmatch, eflags);
}

WQ_EXPORT size_t WQ_API WQ_REGEX_NAME(regerror)(int errcode, const wq_regex_t* preg, char* errbuf,
                                                size_t errbuf_size) {
    return wq::regex::describe(errcode, preg, errbuf, errbuf_size);
}

WQ_EXPORT void WQ_API WQ_REGEX_NAME(regfree)(wq_regex_t* preg) {
    wq::regex::release(preg);
}

WQ_EXPORT int WQ_API Regex_T_regcomp(struct Regex_T* self, const char* pattern, int cflags) {
    return wq::regex::compileInto(static_cast<wq_regex_t*>(self), pattern, cflags);
}

WQ_EXPORT unsigned int WQ_API Regex_T_regerror(struct Regex_T* self, int errcode, char* buf,
                                               unsigned int size) {
    return static_cast<unsigned int>(
        wq::regex::describe(errcode, static_cast<wq_regex_t*>(self), buf, size));
}

WQ_EXPORT int WQ_API Regex_T_regexec(struct Regex_T* self, const char* string, unsigned int nmatch,
                                     wq_regmatch_t* pmatch, int eflags) {
    return wq::regex::execute(static_cast<wq_regex_t*>(self), string, nmatch, pmatch, eflags);
}

}  // extern "C"
