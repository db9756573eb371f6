// Bounded backtracking matcher, used only for patterns with back-references.
//
// A back-reference makes the language non-regular, so no automaton can decide it; this matcher
// searches the tree instead. It is the only place where the engine is not linear, and it is
// bounded explicitly rather than by construction:
//
//   1. The forward automaton, in which each back-reference stands for a copy of its
//      subexpression without its assertions (program.h), accepts every real match and
//      possibly more. It gives the leftmost position where a match can start, and, for each
//      candidate start, the positions where a match can end (the anchored DFA, linear per
//      start; the simulation in nfa.cpp when the DFA's cache overflows).
//   2. Starts are tried leftmost first. For a start, the exact search first looks for a match
//      ending at any of the candidate ends, then only for ones ending later than the last
//      found, until there is none: the last one found is the longest, which makes it the POSIX
//      match (leftmost, then longest), and its submatches are those of the first way, in the
//      search's order, to reach that end. A start with no match at all costs one search, not
//      one per candidate end.
//   3. The exact search walks the tree in continuation-passing style: each node enumerates the
//      ways it can match from a position, in the order 4.4BSD prefers (alternatives in order,
//      repetitions greedy, an optional operand before its absence), and hands each end position
//      to the rest of the pattern. Subexpression spans are set on the way down and restored on
//      the way back, so a back-reference always sees the subexpression's latest span; a
//      reference to a subexpression that took no part fails. An iteration of a repetition that
//      matches the empty string is the last one: the rest of the pattern follows it, with the
//      subexpressions inside set to that empty iteration ("\(a*\)*\1" matches "" with \1 at
//      the start, as in 4.4BSD). A starred single byte or set, with or without a subexpression
//      around it, is tried as one run (longest first) without recursion.
//
// Three things keep the search small; none changes its answer, since each only skips work that
// cannot succeed, so the first match found, with every submatch, is the plain search's.
//
//   Table. Once a search has cost more than a linear pass would, a table is built for its set
//   of ends: one backward pass over the forward automaton that marks, per position, the
//   instructions from which Match can still be reached at one of those ends (Reach below; a
//   bit per instruction and position, at most kMaxReachBytes). A node is then entered at a
//   position only when its first instruction is marked there, and a run of one byte is cut
//   only where what follows it is marked. Later starts with the same ends reuse the table.
//   Lengths. Adjacent back-references that every match passes through (BackrefRun, found by
//   the compiler) span the sum of their subexpressions' lengths and must begin and end where
//   the table allows; when a subexpression that every match captures once is captured, the
//   runs after it must still have room for the lengths known so far. In
//   "\(a*\)\(a*\)\(a*\)b\1\2\3" on a^n b this rejects every capture but the empty one
//   at each start except the last: O(n) per start instead of O(n^3).
//   Memory of failures. Whether more iterations of a repetition can succeed from a position
//   depends only on that position, on the positions the continuation still holds and on the
//   spans of the subexpressions that back-references repeat (see repeat()). Failures are
//   remembered under that key, which makes "\(\(a*\)*\)\1b" polynomial instead of
//   exponential.
//
// Every node visit, every byte read by step 1 and every table row is charged to a budget that
// grows with the square of the subject's length (kBacktrackLimit + kBacktrackPerSquare n^2, at
// most kBacktrackCeiling), and the nesting of the search is capped at kBacktrackDepth; when
// either is exhausted the search stops and regexec returns REG_ESPACE. Covered by the
// back-reference lines of the Spencer suite, the back-reference cases of the semantics test and
// of the comparison with the C library, and the pathological-pattern tests in tests/regex.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>

#include "text/regex/dfa.h"
#include "text/regex/nfa.h"
#include "text/regex/program.h"

namespace wq::regex {
namespace {

// The largest pruning table, in bytes; a longer candidate is searched without one.
constexpr size_t kMaxReachBytes = size_t{16} << 20;
// The most memory each of a search's two memories of failed repetitions may take, in bytes,
// and the most repetitions it tells apart by their continuations.
constexpr size_t kMaxMemoBytes = size_t{4} << 20;
constexpr size_t kMaxLoops = size_t{1} << 16;
constexpr size_t kNone = std::numeric_limits<size_t>::max();

int64_t budgetFor(size_t length) {
    const auto n = static_cast<int64_t>(length) + 1;
    if (n > (int64_t{1} << 20))
        return kBacktrackCeiling;
    return std::min(kBacktrackCeiling, kBacktrackLimit + kBacktrackPerSquare * n * n);
}

// A non-owning reference to a callable: continuations without allocation.
template <class Sig>
class FnRef;
template <class R, class... A>
class FnRef<R(A...)> {
  public:
    template <class L>
    FnRef(L& l)  // NOLINT: implicit by design
        : obj_(&l), call_([](void* o, A... a) -> R { return (*static_cast<L*>(o))(a...); }) {}
    R operator()(A... a) const { return call_(obj_, a...); }

  private:
    void* obj_;
    R (*call_)(void*, A...);
};

using Cont = FnRef<bool(size_t)>;

// For a set of end positions: which instructions of the forward program can still reach
// Match at one of them, per position in [from, last end], and where each BackrefRun can begin
// and end.
class Reach {
  public:
    Reach(const Program& prog, const Subject& subj)
        : prog_(prog), insts_(prog.fwd.insts), subj_(subj) {}

    // ends: in descending order.
    bool covers(size_t from, const std::vector<size_t>& ends) const {
        return built_ && from >= from_ && ends == ends_;
    }

    bool fits(size_t from, size_t end) const {
        const size_t words = (insts_.size() + 63) / 64;
        const size_t perRow = words * 8 + prog_.runs.size() * 4;
        return end - from < kMaxReachBytes / perRow;
    }

    // Builds the table for matches ending at one of `ends` (descending), over [from, ends[0]].
    // False when the budget ran out on the way.
    bool build(size_t from, const std::vector<size_t>& ends, Budget* budget) {
        prepare();
        built_ = false;
        from_ = from;
        ends_ = ends;
        const size_t end = ends.front();
        const size_t rows = end - from + 1;
        rows_ = rows;
        bits_.assign(rows * words_, 0);
        size_t target = 0;
        for (size_t pos = end + 1; pos-- > from;) {
            uint64_t* row = &bits_[(pos - from) * words_];
            if (target < ends.size() && ends[target] == pos) {
                mark(row, static_cast<int32_t>(insts_.size() - 1));
                ++target;
            }
            if (pos < end) {
                const uint8_t c = subj_.s[pos];
                const uint64_t* next = row + words_;
                for (int32_t pc : consuming_) {
                    if (bit(next, pc + 1) && accepts(insts_[static_cast<size_t>(pc)], c))
                        mark(row, pc);
                }
            }
            int64_t work = 1 + static_cast<int64_t>(consuming_.size() / 8);
            while (!stack_.empty()) {
                const int32_t pc = stack_.back();
                stack_.pop_back();
                ++work;
                for (uint32_t j = predStart_[static_cast<size_t>(pc)];
                     j < predStart_[static_cast<size_t>(pc) + 1]; ++j) {
                    const int32_t q = preds_[j];
                    if (bit(row, q))
                        continue;
                    const Inst& in = insts_[static_cast<size_t>(q)];
                    if (in.op == Op::Assert && !subj_.holds(in.c, pos))
                        continue;
                    mark(row, q);
                }
            }
            if (!budget->spend(work / 4 + 1))
                return false;
        }
        const size_t runs = prog_.runs.size();
        nextBegin_.assign(rows * runs, kNoneRow);
        lastEnd_.assign(runs, kNone);
        for (size_t r = 0; r < runs; ++r) {
            const int32_t begin = prog_.frags[static_cast<size_t>(prog_.runs[r].first)].fwdBegin;
            const int32_t after = prog_.frags[static_cast<size_t>(prog_.runs[r].last)].fwdEnd;
            uint32_t next = kNoneRow;
            for (size_t row = rows; row-- > 0;) {
                if (bit(&bits_[row * words_], begin))
                    next = static_cast<uint32_t>(row);
                nextBegin_[row * runs + r] = next;
                if (lastEnd_[r] == kNone && bit(&bits_[row * words_], after))
                    lastEnd_[r] = from + row;
            }
        }
        built_ = true;
        return true;
    }

    // Positions past the last end reach none (a run or a back-reference can carry the search
    // there).
    bool has(size_t pos, int32_t pc) const {
        return pos - from_ < rows_ && bit(&bits_[(pos - from_) * words_], pc);
    }

    // The first position at or after pos where run r can begin, or kNone.
    size_t nextBegin(size_t r, size_t pos) const {
        if (pos - from_ >= rows_)
            return kNone;
        const uint32_t row = nextBegin_[(pos - from_) * prog_.runs.size() + r];
        return row == kNoneRow ? kNone : from_ + row;
    }
    // The last position where run r can end, or kNone.
    size_t lastEnd(size_t r) const { return lastEnd_[r]; }

  private:
    static constexpr uint32_t kNoneRow = std::numeric_limits<uint32_t>::max();

    static bool bit(const uint64_t* row, int32_t pc) {
        return (row[static_cast<size_t>(pc) >> 6] >> (pc & 63)) & 1;
    }
    void mark(uint64_t* row, int32_t pc) {
        row[static_cast<size_t>(pc) >> 6] |= uint64_t{1} << (pc & 63);
        stack_.push_back(pc);
    }
    bool accepts(const Inst& in, uint8_t c) const {
        return in.op == Op::Byte ? in.c == c : prog_.ast.sets[static_cast<size_t>(in.x)].has(c);
    }

    // The instructions that read a byte, and for each instruction the ones that reach it
    // without reading (compressed rows: preds_[predStart_[pc] .. predStart_[pc + 1])).
    void prepare() {
        if (!predStart_.empty())
            return;
        const size_t m = insts_.size();
        words_ = (m + 63) / 64;
        std::vector<uint32_t> counts(m + 1, 0);
        auto edges = [&](auto&& add) {
            for (size_t pc = 0; pc < m; ++pc) {
                const Inst& in = insts_[pc];
                const auto from = static_cast<int32_t>(pc);
                switch (in.op) {
                    case Op::Split:
                        add(in.x, from);
                        add(in.y, from);
                        break;
                    case Op::Jmp:
                        add(in.x, from);
                        break;
                    case Op::Assert:
                        add(from + 1, from);
                        break;
                    default:
                        break;
                }
            }
        };
        edges([&](int32_t to, int32_t) { ++counts[static_cast<size_t>(to) + 1]; });
        for (size_t pc = 0; pc < m; ++pc)
            counts[pc + 1] += counts[pc];
        predStart_ = counts;
        preds_.assign(counts[m], 0);
        edges([&](int32_t to, int32_t from) { preds_[counts[static_cast<size_t>(to)]++] = from; });
        for (size_t pc = 0; pc < m; ++pc) {
            if (insts_[pc].op == Op::Byte || insts_[pc].op == Op::Set)
                consuming_.push_back(static_cast<int32_t>(pc));
        }
        stack_.reserve(m);
    }

    const Program& prog_;
    const std::vector<Inst>& insts_;
    const Subject& subj_;
    size_t words_ = 0;
    std::vector<uint32_t> predStart_;
    std::vector<int32_t> preds_;
    std::vector<int32_t> consuming_;
    std::vector<int32_t> stack_;
    bool built_ = false;
    size_t from_ = 0;
    size_t rows_ = 0;
    std::vector<size_t> ends_;
    std::vector<uint64_t> bits_;
    std::vector<uint32_t> nextBegin_;  // rows x runs
    std::vector<size_t> lastEnd_;
};

// Failed repetitions: fixed-width keys in one pool, found through an open-addressing table of
// entry numbers. It stops growing at kMaxMemoBytes; later failures are not remembered.
class FailureMemo {
  public:
    explicit FailureMemo(size_t width) : width_(width) {}

    [[gnu::noinline]] bool contains(const int32_t* key) const {
        if (slots_.empty())
            return false;
        const size_t mask = slots_.size() - 1;
        for (size_t h = hash(key) & mask;; h = (h + 1) & mask) {
            const uint32_t entry = slots_[h];
            if (entry == 0)
                return false;
            const int32_t* stored = &pool_[(entry - 1) * width_];
            size_t j = 0;
            while (j < width_ && stored[j] == key[j])
                ++j;
            if (j == width_)
                return true;
        }
    }

    [[gnu::noinline]] void insert(const int32_t* key) {
        if ((count_ + 1) * 2 > slots_.size() && !grow())
            return;
        pool_.insert(pool_.end(), key, key + width_);
        place(++count_);
    }

  private:
    size_t hash(const int32_t* key) const {
        uint64_t h = 0x9e3779b97f4a7c15u;
        for (size_t i = 0; i < width_; ++i) {
            h = (h ^ static_cast<uint32_t>(key[i])) * 0xff51afd7ed558ccdu;
            h ^= h >> 29;
        }
        return static_cast<size_t>(h);
    }
    bool grow() {
        const size_t slots = slots_.empty() ? 1024 : slots_.size() * 2;
        if (slots * sizeof(uint32_t) + slots / 2 * width_ * sizeof(int32_t) > kMaxMemoBytes)
            return false;
        slots_.assign(slots, 0);
        for (uint32_t entry = 1; entry <= count_; ++entry)
            place(entry);
        return true;
    }
    void place(uint32_t entry) {
        const size_t mask = slots_.size() - 1;
        size_t h = hash(&pool_[(entry - 1) * width_]) & mask;
        while (slots_[h] != 0)
            h = (h + 1) & mask;
        slots_[h] = entry;
    }

    size_t width_;
    uint32_t count_ = 0;
    std::vector<int32_t> pool_;
    std::vector<uint32_t> slots_;  // 0: empty; otherwise 1 + the entry's place in pool_
};

// A frame of a pending continuation that holds a position: the start of a subexpression or of
// an iteration of a repetition (node), linked to the frames of the continuation after it.
struct Frame {
    const Frame* up;
    int32_t node;
    int32_t pos;
};

class Backtracker {
  public:
    enum class Stop {
        None,
        Exhausted,  // the step budget or the nesting limit: REG_ESPACE
        Impatient,  // the plain search cost more than building a table would
    };

    // Without a table, `patience` steps are allowed before the search stops as Impatient
    // (negative: no limit).
    Backtracker(const Program& prog, const Subject& subj, Spans* groups, Budget* budget,
                const Reach* reach, int64_t patience)
        : prog_(prog),
          nodes_(prog.ast.nodes),
          subj_(subj),
          groups_(groups),
          budget_(budget),
          reach_(reach),
          patience_(patience),
          iterations_(2 + 2 * prog.referenced.size()),
          exits_(2 + 2 * prog.referenced.size()),
          key_(2 + 2 * prog.referenced.size()) {}

    Stop stopped() const { return stop_; }

    bool solve(int32_t node, size_t i, Cont k, const Frame* kf) {
        if (stop_ != Stop::None)
            return false;
        if (depth_ >= kBacktrackDepth) {
            stop_ = patience_ >= 0 ? Stop::Impatient : Stop::Exhausted;
            return false;
        }
        if (!tick(1))
            return false;
        if (reach_ != nullptr && !reach_->has(i, prog_.frags[static_cast<size_t>(node)].fwdBegin)) {
            return false;
        }
        ++depth_;
        const bool ok = step(node, i, k, kf);
        --depth_;
        return ok;
    }

  private:
    bool tick(int64_t n) {
        if (!budget_->spend(n)) {
            stop_ = Stop::Exhausted;
            return false;
        }
        if (patience_ >= 0 && (patience_ -= n) < 0) {
            stop_ = Stop::Impatient;
            return false;
        }
        return true;
    }

    bool single(const Node& n, uint8_t c) const {
        return n.kind == NodeKind::Byte ? static_cast<uint8_t>(n.arg) == c
                                        : prog_.ast.sets[static_cast<size_t>(n.arg)].has(c);
    }
    static bool isSingle(const Node& n) {
        return n.kind == NodeKind::Byte || n.kind == NodeKind::Set;
    }

    bool step(int32_t node, size_t i, Cont k, const Frame* kf) {
        const Node& n = nodes_[static_cast<size_t>(node)];
        switch (n.kind) {
            case NodeKind::Empty:
                return k(i);
            case NodeKind::Byte:
            case NodeKind::Set:
                return i < subj_.hi && single(n, subj_.s[i]) && k(i + 1);
            case NodeKind::Assert:
                return subj_.holds(n.arg, i) && k(i);
            case NodeKind::Group:
                return group(node, i, k, kf);
            case NodeKind::Concat:
                return sequence(n, 0, i, k, kf);
            case NodeKind::Alt:
                for (int32_t kid : n.kids) {
                    if (solve(kid, i, k, kf))
                        return true;
                    if (stop_ != Stop::None)
                        return false;
                }
                return false;
            case NodeKind::Quest:
                if (solve(n.kids[0], i, k, kf))
                    return true;
                return stop_ == Stop::None && k(i);
            case NodeKind::Star:
                return repeat(node, i, k, kf, loopOf(node, kf));
            case NodeKind::Plus:
                return plus(node, i, k, kf);
            case NodeKind::Backref: {
                const Span sp = (*groups_)[static_cast<size_t>(n.arg)];
                if (sp.so < 0)
                    return false;
                const auto len = static_cast<size_t>(sp.eo - sp.so);
                if (subj_.hi - i < len)
                    return false;
                const uint8_t* a = subj_.s + sp.so;
                const uint8_t* b = subj_.s + i;
                const bool icase = (prog_.cflags & kIcase) != 0;
                for (size_t j = 0; j < len; ++j) {
                    if (a[j] != b[j] && !(icase && otherCase(a[j]) == b[j]))
                        return false;
                }
                return tick(static_cast<int64_t>(len / 64)) && k(i + len);
            }
        }
        return false;
    }

    // A subexpression: its span is set when its operand has matched, for the rest to see.
    // (The continuations below read what they need from their frame: each captured variable
    // would cost stack at every level of nesting.)
    [[gnu::noinline]] bool group(int32_t node, size_t i, Cont k, const Frame* kf) {
        const Frame frame{kf, node, static_cast<int32_t>(i)};
        auto inner = [this, &frame, &k](size_t p) { return close(frame, p, k); };
        const Node& n = nodes_[static_cast<size_t>(node)];
        // Only a start that will be read again makes continuations differ.
        return solve(n.kids[0], i, inner,
                     prog_.isReferenced[static_cast<size_t>(n.arg)] ? &frame : kf);
    }

    // The end of the subexpression `frame` at p: its span is set for the rest to see.
    bool close(const Frame& frame, size_t p, Cont k) {
        const auto g = static_cast<size_t>(nodes_[static_cast<size_t>(frame.node)].arg);
        const uint32_t after = prog_.captureAfter[static_cast<size_t>(frame.node)];
        const Span saved = (*groups_)[g];
        (*groups_)[g] = {static_cast<ptrdiff_t>(frame.pos), static_cast<ptrdiff_t>(p)};
        if ((after == 0 || roomAfter(after - 1, p)) && k(p))
            return true;
        (*groups_)[g] = saved;
        return false;
    }

    // operand+: the first iteration, then as for operand*.
    [[gnu::noinline]] bool plus(int32_t node, size_t i, Cont k, const Frame* kf) {
        const uint32_t loop = loopOf(node, kf);
        const Frame frame{kf, node, static_cast<int32_t>(i)};
        auto more = [this, &frame, &k, loop](size_t p) { return iterated(frame, p, k, loop); };
        return solve(nodes_[static_cast<size_t>(node)].kids[0], i, more, &frame);
    }

    // An iteration of the repetition `frame` ended at p: an empty one is the last.
    bool iterated(const Frame& frame, size_t p, Cont k, uint32_t loop) {
        return p == static_cast<size_t>(frame.pos) ? k(p)
                                                   : repeat(frame.node, p, k, frame.up, loop);
    }

    [[gnu::noinline]] bool sequence(const Node& n, size_t idx, size_t i, Cont k, const Frame* kf) {
        if (idx == n.kids.size())
            return k(i);
        auto rest = [&](size_t p) { return sequence(n, idx + 1, p, k, kf); };
        return solve(n.kids[idx], i, rest, kf);
    }

    // A repetition is known by its node and the positions its continuation holds; entries
    // into the same node with the same ones share what they learn. (A new number once the
    // table is full.)
    [[gnu::noinline]] uint32_t loopOf(int32_t node, const Frame* kf) {
        loopKey_.assign(1, node);
        for (const Frame* f = kf; f != nullptr; f = f->up) {
            loopKey_.push_back(f->node);
            loopKey_.push_back(f->pos);
        }
        const std::string key(reinterpret_cast<const char*>(loopKey_.data()),
                              loopKey_.size() * sizeof(int32_t));
        const auto it = loops_.find(key);
        if (it != loops_.end())
            return it->second;
        const uint32_t id = ++lastLoop_;
        if (loops_.size() < kMaxLoops)
            loops_.emplace(key, id);
        return id;
    }

    // More iterations of the repetition `node` (Star or Plus) from i, greedy; an iteration that
    // matches nothing is the last one. What a continuation does depends on the tree, on the
    // positions its pending frames hold (kf: iteration starts and starts of repeated
    // subexpressions) and on the spans of the subexpressions that back-references repeat;
    // nothing else that earlier iterations did is read again. So whether more iterations from
    // i (then k) can succeed is fixed by (loop, i, those spans, less the ones each iteration
    // captures anew), and whether k can succeed at i by (loop, i, those spans); failures of
    // either are remembered under their key. This turns the exponentially many ways to split
    // a^n among the iterations of "\(\(a*\)*\)" into one visit per position.
    bool repeat(int32_t node, size_t i, Cont k, const Frame* kf, uint32_t loop) {
        const int32_t operand = nodes_[static_cast<size_t>(node)].kids[0];
        const Node& n = nodes_[static_cast<size_t>(operand)];
        if (isSingle(n) ||
            (n.kind == NodeKind::Group && isSingle(nodes_[static_cast<size_t>(n.kids[0])]))) {
            return repeatSingle(node, i, k);
        }
        return repeatTree(node, i, k, kf, loop);
    }

    // The search nests through the functions below; the helpers they call stay out of line so
    // that each level of nesting costs as little stack as it can.

    // A starred single byte or set, or a subexpression around one, which reports the last
    // iteration: one run, cut longest first.
    [[gnu::noinline]] bool repeatSingle(int32_t node, size_t i, Cont k) {
        const int32_t after = prog_.frags[static_cast<size_t>(node)].fwdEnd;
        const Node* n = &nodes_[static_cast<size_t>(nodes_[static_cast<size_t>(node)].kids[0])];
        size_t group = 0;
        if (n->kind == NodeKind::Group) {
            group = static_cast<size_t>(n->arg);
            n = &nodes_[static_cast<size_t>(n->kids[0])];
        }
        size_t run = i;
        while (run < subj_.hi && single(*n, subj_.s[run]))
            ++run;
        if (!tick(static_cast<int64_t>(run - i) / 16))
            return false;
        const Span saved = (*groups_)[group];
        for (size_t p = run + 1; p-- > i;) {
            if (reach_ != nullptr && !reach_->has(p, after))
                continue;  // nothing after the repetition can go on from p
            if (group != 0) {
                (*groups_)[group] =
                    p > i ? Span{static_cast<ptrdiff_t>(p - 1), static_cast<ptrdiff_t>(p)} : saved;
            }
            if (k(p))
                return true;
            if (stop_ != Stop::None || !tick(1))
                break;
        }
        (*groups_)[group] = saved;
        return false;
    }

    [[gnu::noinline]] bool repeatTree(int32_t node, size_t i, Cont k, const Frame* kf,
                                      uint32_t loop) {
        const int32_t operand = nodes_[static_cast<size_t>(node)].kids[0];
        const int32_t after = prog_.frags[static_cast<size_t>(node)].fwdEnd;
        // More iterations: never read what the operand captures anew in each of them.
        const int32_t begin = prog_.frags[static_cast<size_t>(operand)].fwdBegin;
        if (reach_ == nullptr || reach_->has(i, begin)) {
            if (!iterations_.contains(key(loop, i, node))) {
                const Frame frame{kf, node, static_cast<int32_t>(i)};
                auto again = [this, &frame, &k, loop](size_t p) {
                    return iterated(frame, p, k, loop);
                };
                if (solve(operand, i, again, &frame))
                    return true;
                if (stop_ != Stop::None)
                    return false;
                // A failed search restores every span, so the key is the same as before it.
                iterations_.insert(key(loop, i, node));
            }
        }
        // No more iterations.
        if (stop_ != Stop::None || (reach_ != nullptr && !reach_->has(i, after)))
            return false;
        if (exits_.contains(key(loop, i, -1)))
            return false;
        if (k(i))
            return true;
        if (stop_ == Stop::None)
            exits_.insert(key(loop, i, -1));
        return false;
    }

    // (loop, position, the spans of the repeated subexpressions), leaving out (as -2) those
    // that every iteration of `renewing` captures.
    [[gnu::noinline]] const int32_t* key(uint32_t loop, size_t i, int32_t renewing) {
        key_[0] = static_cast<int32_t>(loop);
        key_[1] = static_cast<int32_t>(i);
        size_t at = 2;
        for (size_t r = 0; r < prog_.referenced.size(); ++r) {
            const auto& loops = prog_.renewedBy[r];
            Span sp = (*groups_)[static_cast<size_t>(prog_.referenced[r])];
            if (renewing >= 0 && std::binary_search(loops.begin(), loops.end(), renewing))
                sp = Span{-2, -2};
            key_[at++] = static_cast<int32_t>(sp.so);
            key_[at++] = static_cast<int32_t>(sp.eo);
        }
        return key_.data();
    }

    // Whether, with the subexpressions captured so far, the runs of back-references from
    // `place` on can still fit between p and the end.
    [[gnu::noinline]] bool roomAfter(uint32_t place, size_t p) const {
        if (reach_ == nullptr)
            return true;
        for (size_t r = 0; r < prog_.runs.size(); ++r) {
            const BackrefRun& run = prog_.runs[r];
            if (run.place < place)
                continue;
            size_t need = 0;
            for (int32_t g : run.groups) {
                const Span sp = (*groups_)[static_cast<size_t>(g)];
                if (sp.so >= 0)
                    need += static_cast<size_t>(sp.eo - sp.so);
            }
            const size_t begin = reach_->nextBegin(r, p);
            const size_t end = reach_->lastEnd(r);
            if (begin == kNone || end == kNone || end < begin || end - begin < need)
                return false;
        }
        return true;
    }

    const Program& prog_;
    const std::vector<Node>& nodes_;
    const Subject& subj_;
    Spans* groups_;
    Budget* budget_;
    const Reach* reach_;  // not owned; null: no pruning
    int64_t patience_;
    int depth_ = 0;
    Stop stop_ = Stop::None;
    std::unordered_map<std::string, uint32_t> loops_;  // loopOf's numbers
    uint32_t lastLoop_ = 0;
    std::vector<int32_t> loopKey_;
    FailureMemo iterations_;  // keys (see key()) where more iterations failed
    FailureMemo exits_;       // keys where the rest after the repetition failed
    std::vector<int32_t> key_;
};

// The candidates of step 2, in order, through the exact search.
class Search {
  public:
    Search(const Program& prog, const Subject& subj)
        : prog_(prog),
          subj_(subj),
          budget_(budgetFor(subj.hi - subj.lo)),
          vm_(prog, prog.fwd),
          reach_(prog, subj),
          groups_(prog.ast.nsub + 1) {}

    int run(bool wantSubs, Span* spans, size_t count) {
        const PikeVm::Found first = vm_.search(subj_, subj_.lo);
        if (!first.found)
            return kNoMatch;
        if (!budget_.spend(static_cast<int64_t>(subj_.hi - subj_.lo)))
            return kESpace;
        const auto matchPc = static_cast<int32_t>(prog_.fwd.insts.size() - 1);
        std::vector<uint8_t> marks;
        for (size_t s = first.so; s <= subj_.hi; ++s) {
            if (prog_.useFirst && (s == subj_.hi || !prog_.first.has(subj_.s[s])))
                continue;
            size_t longest = 0;
            size_t read = 0;
            if (prog_.anchoredDfa->longestEnd(subj_, s, &longest, &marks) >= 0)
                read = marks.size();
            else
                read = vm_.ends(subj_, prog_.fwd.start, matchPc, s, subj_.hi, false, &marks);
            if (!budget_.spend(static_cast<int64_t>(read) + 1))
                return kESpace;
            // Any match from s first, then only longer ones, until none is left: the last one
            // found is the longest, with the submatches of the first way to reach its end.
            size_t end = 0;
            bool found = false;
            for (;;) {
                ends_.clear();
                for (size_t e = s + marks.size(); e-- > s;) {
                    if (marks[e - s] && (!found || e > end))
                        ends_.push_back(e);
                }
                if (ends_.empty())
                    break;
                size_t at = 0;
                const int r = attempt(s, &at);
                if (r == kESpace)
                    return kESpace;
                if (r == kNoMatch)
                    break;
                found = true;
                end = at;
                best_ = groups_;
                if (at == ends_.front())
                    break;
            }
            if (!found)
                continue;
            if (count > 0) {
                spans[0] = {static_cast<ptrdiff_t>(s), static_cast<ptrdiff_t>(end)};
                if (wantSubs) {
                    for (size_t g = 1; g < best_.size() && g < count; ++g)
                        spans[g] = best_[g];
                }
            }
            return kOk;
        }
        return kNoMatch;
    }

  private:
    // Whether the whole pattern matches from s to one of ends_; on kOk *end is where, and
    // groups_ holds the submatches.
    int attempt(size_t s, size_t* end) {
        const Reach* table = reach_.covers(s, ends_) ? &reach_ : nullptr;
        // Without a table, the plain search may spend about what building one would cost.
        int64_t patience = -1;
        if (table == nullptr && reach_.fits(s, ends_.front()))
            patience = 1024 + 8 * static_cast<int64_t>(ends_.front() - s + 1);
        for (;;) {
            for (auto& g : groups_)
                g = Span{};
            Backtracker bt(prog_, subj_, &groups_, &budget_, table, patience);
            auto atEnd = [&](size_t p) {
                if (!std::binary_search(ends_.begin(), ends_.end(), p, std::greater<size_t>()))
                    return false;
                *end = p;
                return true;
            };
            if (bt.solve(prog_.ast.root, s, atEnd, nullptr))
                return kOk;
            switch (bt.stopped()) {
                case Backtracker::Stop::None:
                    return kNoMatch;
                case Backtracker::Stop::Exhausted:
                    return kESpace;
                case Backtracker::Stop::Impatient:
                    break;
            }
            if (!reach_.build(s, ends_, &budget_))
                return kESpace;
            table = &reach_;
            patience = -1;
        }
    }

    const Program& prog_;
    const Subject& subj_;
    Budget budget_;
    PikeVm vm_;
    Reach reach_;
    Spans groups_;
    Spans best_;
    std::vector<size_t> ends_;  // the ends the current attempt accepts, descending
};

}  // namespace

int matchBacktrack(const Program& prog, const Subject& subj, bool wantSubs, Span* spans,
                   size_t count) {
    Search search(prog, subj);
    return search.run(wantSubs, spans, count);
}

}  // namespace wq::regex
