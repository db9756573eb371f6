// The parsed form of a regular expression: a tree of nodes in one vector.
//
// The parser builds it (parse.cpp), the compiler turns it into instructions (compile.cpp), and
// the submatch stages (dissect.cpp, backtrack.cpp) walk it to learn which subexpression covers
// which part of a match. Nodes refer to their children by index; a child always has a smaller
// index than its parent, so one pass in index order sees children before parents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wq::regex {

// regcomp/regexec results, with the values of the exported constants.
enum Error : int {
    kOk = 0,
    kNoMatch = 1,
    kBadPat = 2,
    kECollate = 3,
    kECtype = 4,
    kEEscape = 5,
    kESubreg = 6,
    kEBrack = 7,
    kEParen = 8,
    kEBrace = 9,
    kBadBr = 10,
    kERange = 11,
    kESpace = 12,
    kBadRpt = 13,
    kEmpty = 14,
    kAssert = 15,
    kInvArg = 16,
};

// Compile flags.
enum CompileFlag : int {
    kExtended = 1,
    kIcase = 2,
    kNosub = 4,
    kNewline = 8,
    kNospec = 16,
    kPend = 32,
};

// Execution flags.
enum ExecFlag : int {
    kNotBol = 1,
    kNotEol = 2,
    kStartEnd = 4,
};

// Limits, named here once (the public header documents the same values).
constexpr size_t kMaxProgram = 2000000;  // instructions in one compiled program
constexpr int kMaxNesting = 200;         // parenthesis depth
constexpr int kDupMax = 255;             // largest count in a bound
// Steps of the back-reference search: kBacktrackLimit, plus kBacktrackPerSquare for each
// square of the subject's length, at most kBacktrackCeiling in all.
constexpr long kBacktrackLimit = 50000000;
constexpr int64_t kBacktrackPerSquare = 64;
constexpr int64_t kBacktrackCeiling = int64_t{10} * kBacktrackLimit;
constexpr int kBacktrackDepth = 1500;  // nesting of the back-reference search
constexpr size_t kMaxBackrefRuns = 8;  // runs of back-references the search checks lengths for

// A set of bytes.
struct ByteSet {
    uint64_t w[4] = {0, 0, 0, 0};
    bool has(unsigned c) const { return (w[c >> 6] >> (c & 63)) & 1; }
    void add(unsigned c) { w[c >> 6] |= uint64_t{1} << (c & 63); }
    void remove(unsigned c) { w[c >> 6] &= ~(uint64_t{1} << (c & 63)); }
    void invert() {
        for (auto& x : w)
            x = ~x;
    }
    void merge(const ByteSet& o) {
        for (int i = 0; i < 4; ++i)
            w[i] |= o.w[i];
    }
    bool empty() const { return (w[0] | w[1] | w[2] | w[3]) == 0; }
};

enum class NodeKind : uint8_t {
    Empty,    // matches the empty string
    Byte,     // arg: the byte
    Set,      // arg: index into Ast::sets
    Assert,   // arg: AssertKind
    Group,    // arg: subexpression number; one child
    Concat,   // children in order
    Alt,      // children in order of preference
    Star,     // one child, any number of times
    Plus,     // one child, at least once
    Quest,    // one child, at most once
    Backref,  // arg: subexpression number
};

enum AssertKind : int32_t { kBol, kEol, kBow, kEow };

struct Node {
    NodeKind kind = NodeKind::Empty;
    int32_t arg = 0;
    std::vector<int32_t> kids;
    bool hasGroup = false;    // a Group somewhere in this subtree
    bool hasBackref = false;  // a Backref somewhere in this subtree
};

struct Ast {
    std::vector<Node> nodes;
    std::vector<ByteSet> sets;
    int32_t root = -1;
    size_t nsub = 0;
    bool backrefs = false;
    // For each subexpression number, the node of its first occurrence (counted repetitions copy
    // a subexpression; every copy carries the same number).
    std::vector<int32_t> groupNode;
};

// ASCII character classification, independent of the C library's locale.
inline bool isWordByte(unsigned c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
inline unsigned otherCase(unsigned c) {
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 'a';
    return c;
}

// Parses pattern[0, length) with the compile flags into *ast. Returns kOk or the first error.
int parse(const char* pattern, size_t length, int cflags, Ast* ast);

}  // namespace wq::regex
