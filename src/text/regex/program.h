// The compiled, immutable form of a regular expression, and the one signature every matcher
// shares.
//
// A Program holds two Thompson automata built from the same tree: `fwd` reads the subject left
// to right, `rev` reads it right to left (concatenations reversed). Every tree node owns a
// contiguous range of instructions in each: a thread that enters at `begin` and arrives at `end`
// has matched that node, which lets the submatch stage ask "where can this node end if it
// starts here" without a second compiler. Assertions (^ $ [[:<:]] [[:>:]]) look at the bytes
// on both sides of a position, so they read the same in either direction.
//
// Back-references cannot be expressed by an automaton; in `fwd` a reference to subexpression n
// is compiled as a copy of that subexpression with its assertions left out, which accepts every
// string the reference could match and more. The automaton then only narrows the search; the
// backtracking matcher decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "text/regex/ast.h"

namespace wq::regex {

enum class Op : uint8_t {
    Byte,    // c: consume this byte
    Set,     // x: consume a byte of sets[x]
    Split,   // continue at x and at y
    Jmp,     // continue at x
    Assert,  // c: AssertKind; continue at pc+1 when it holds
    Match,   // the whole expression matched
};

struct Inst {
    Op op = Op::Match;
    uint8_t c = 0;
    int32_t x = 0;
    int32_t y = 0;
};

struct Code {
    std::vector<Inst> insts;
    int32_t start = 0;
};

struct Fragment {
    int32_t fwdBegin = -1, fwdEnd = -1;
    int32_t revBegin = -1, revEnd = -1;
};

class Dfa;

// Back-references next to each other (only empty-width parts between them) that every match
// passes through, in pattern order: together they span exactly the sum of the lengths of the
// subexpressions they repeat. The backtracking matcher uses this to give up on a capture that
// leaves them too little room (backtrack.cpp).
struct BackrefRun {
    int32_t first = -1;           // the first Backref node of the run
    int32_t last = -1;            // its last
    uint32_t place = 0;           // where it stands among the parts every match passes through
    std::vector<int32_t> groups;  // the subexpressions it repeats that are captured once, always
};

struct Program {
    Ast ast;
    Code fwd;
    Code rev;                     // empty when the pattern has back-references
    std::vector<Fragment> frags;  // per node of ast
    int cflags = 0;
    bool nullable = false;  // the whole expression can match the empty string
    ByteSet first;          // bytes a non-empty match can start with
    bool useFirst = false;  // `first` may be used to skip ahead
    ByteSet last;           // bytes a non-empty match can end with (when rev exists)
    bool useLast = false;
    bool anchoredStart = false;    // every match starts with "^" and REG_NEWLINE is off
    std::vector<uint8_t> literal;  // the pattern is this plain string (no flags that matter)
    // With back-references: the runs above (at most kMaxBackrefRuns); per node, for a
    // subexpression that every match captures exactly once, 1 + the place just after it
    // (0 for every other node); the subexpressions that back-references repeat, as a list
    // and as a flag per subexpression number; and, parallel to the list, the repetitions
    // (Star or Plus nodes, ascending) each of whose iterations captures that subexpression.
    std::vector<BackrefRun> runs;
    std::vector<uint32_t> captureAfter;
    std::vector<int32_t> referenced;
    std::vector<uint8_t> isReferenced;
    std::vector<std::vector<int32_t>> renewedBy;
    // Lazily built caches (dfa.cpp); an expression is used by one thread at a time.
    mutable std::unique_ptr<Dfa> searchDfa, reverseDfa, anchoredDfa;

    Program();
    ~Program();
};

// Builds fwd, rev and frags from prog->ast. Returns kOk or kESpace.
int compile(Program* prog);

// The subject of one regexec call: bytes [lo, hi) of s; offsets are indexes into s.
struct Subject {
    const uint8_t* s = nullptr;
    size_t lo = 0;
    size_t hi = 0;
    bool notBol = false;
    bool notEol = false;
    bool newline = false;

    bool holds(int kind, size_t i) const {
        switch (kind) {
            case kBol:
                return (i == lo && !notBol) || (newline && i > lo && s[i - 1] == '\n');
            case kEol:
                return (i == hi && !notEol) || (newline && i < hi && s[i] == '\n');
            // A word boundary at the edge of the subject counts only where the edge is a
            // beginning or end of line: REG_NOTBOL and REG_NOTEOL take it away, as for ^ and $.
            case kBow:
                return ((i == lo && !notBol) || (i > lo && !isWordByte(s[i - 1]))) &&
                       (i < hi && isWordByte(s[i]));
            default:  // kEow
                return (i > lo && isWordByte(s[i - 1])) &&
                       ((i == hi && !notEol) || (i < hi && !isWordByte(s[i])));
        }
    }
};

struct Span {
    ptrdiff_t so = -1;
    ptrdiff_t eo = -1;
};

// What a matcher fills: [0] the whole match, [n] subexpression n.
using Spans = std::vector<Span>;

// A step budget shared by the stages of one regexec call that are not linear by construction.
struct Budget {
    explicit Budget(int64_t steps = kBacktrackLimit) : left(steps) {}
    int64_t left;
    bool spend(int64_t n) {
        left -= n;
        return left >= 0;
    }
};

// The matchers, with one signature. `count` is 0 (only whether there is a match) or nsub + 1
// (spans[0] the whole match, spans[n] subexpression n, all preset to -1 by the caller);
// subexpressions are worked out only when wantSubs. Each returns kOk, kNoMatch or kESpace.
int matchAutomaton(const Program& prog, const Subject& subj, bool wantSubs, Span* spans,
                   size_t count);
int matchBacktrack(const Program& prog, const Subject& subj, bool wantSubs, Span* spans,
                   size_t count);

}  // namespace wq::regex
