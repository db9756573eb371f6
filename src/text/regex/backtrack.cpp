// Bounded backtracking matcher, used only for patterns with back-references.
//
// A back-reference makes the language non-regular, so no automaton can decide it; this matcher
// searches the tree instead. It is the only place where the engine is not linear, and it is
// bounded explicitly rather than by construction:
//
//   1. The forward automaton, in which each back-reference stands for a copy of its
//      subexpression (program.h), accepts every real match and possibly more. It gives the
//      leftmost position where a match can start, and, for each candidate start, the positions
//      where a match can end (nfa.cpp, linear per start).
//   2. Candidates are tried leftmost start first and, for a start, longest end first: the first
//      one the exact search confirms is the POSIX match (leftmost, then longest).
//   3. The exact search walks the tree in continuation-passing style: each node enumerates the
//      ways it can match from a position, in the order 4.4BSD prefers (alternatives in order,
//      repetitions greedy, an optional operand before its absence), and hands each end position
//      to the rest of the pattern. Subexpression spans are set on the way down and restored on
//      the way back, so a back-reference always sees the subexpression's latest span; a
//      reference to a subexpression that took no part fails. A starred single byte or set is
//      tried as one run (longest first) without recursion; iterations of anything else that
//      match the empty string end the repetition, so no loop can spin.
//
// Every node visit and every byte read by step 1 is charged to a budget of kBacktrackLimit
// steps, and the nesting of the search is capped at kBacktrackDepth; when either is exhausted
// the search stops and regexec returns REG_ESPACE. Covered by the back-reference lines of the
// Spencer suite and the pathological-pattern test in tests/regex.
#include "text/regex/nfa.h"
#include "text/regex/program.h"

namespace wq::regex {
namespace {

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

class Backtracker {
  public:
    Backtracker(const Program& prog, const Subject& subj, Spans* groups, Budget* budget)
        : prog_(prog), nodes_(prog.ast.nodes), subj_(subj), groups_(groups), budget_(budget) {}

    bool exhausted() const { return exhausted_; }

    bool solve(int32_t node, size_t i, Cont k) {
        if (exhausted_)
            return false;
        if (!budget_->spend(1) || depth_ >= kBacktrackDepth) {
            exhausted_ = true;
            return false;
        }
        ++depth_;
        const bool ok = step(node, i, k);
        --depth_;
        return ok;
    }

  private:
    bool single(const Node& n, uint8_t c) const {
        return n.kind == NodeKind::Byte ? static_cast<uint8_t>(n.arg) == c
                                        : prog_.ast.sets[static_cast<size_t>(n.arg)].has(c);
    }

    bool step(int32_t node, size_t i, Cont k) {
        const Node& n = nodes_[static_cast<size_t>(node)];
        switch (n.kind) {
            case NodeKind::Empty:
                return k(i);
            case NodeKind::Byte:
            case NodeKind::Set:
                return i < subj_.hi && single(n, subj_.s[i]) && k(i + 1);
            case NodeKind::Assert:
                return subj_.holds(n.arg, i) && k(i);
            case NodeKind::Group: {
                const auto g = static_cast<size_t>(n.arg);
                auto inner = [&](size_t p) {
                    const Span saved = (*groups_)[g];
                    (*groups_)[g] = {static_cast<ptrdiff_t>(i), static_cast<ptrdiff_t>(p)};
                    if (k(p))
                        return true;
                    (*groups_)[g] = saved;
                    return false;
                };
                return solve(n.kids[0], i, inner);
            }
            case NodeKind::Concat:
                return sequence(n, 0, i, k);
            case NodeKind::Alt:
                for (int32_t kid : n.kids) {
                    if (solve(kid, i, k))
                        return true;
                    if (exhausted_)
                        return false;
                }
                return false;
            case NodeKind::Quest:
                if (solve(n.kids[0], i, k))
                    return true;
                return !exhausted_ && k(i);
            case NodeKind::Star:
                return repeat(n.kids[0], i, k);
            case NodeKind::Plus: {
                auto more = [&](size_t p) { return p == i ? k(p) : repeat(n.kids[0], p, k); };
                return solve(n.kids[0], i, more);
            }
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
                if (!budget_->spend(static_cast<long>(len / 64))) {
                    exhausted_ = true;
                    return false;
                }
                return k(i + len);
            }
        }
        return false;
    }

    bool sequence(const Node& n, size_t idx, size_t i, Cont k) {
        if (idx == n.kids.size())
            return k(i);
        auto rest = [&](size_t p) { return sequence(n, idx + 1, p, k); };
        return solve(n.kids[idx], i, rest);
    }

    // operand*, greedy; an iteration that matches nothing ends the repetition.
    bool repeat(int32_t operand, size_t i, Cont k) {
        const Node& n = nodes_[static_cast<size_t>(operand)];
        if (n.kind == NodeKind::Byte || n.kind == NodeKind::Set) {
            size_t run = i;
            while (run < subj_.hi && single(n, subj_.s[run]))
                ++run;
            if (!budget_->spend(static_cast<long>(run - i) / 16)) {
                exhausted_ = true;
                return false;
            }
            for (size_t p = run + 1; p-- > i;) {
                if (k(p))
                    return true;
                if (exhausted_ || !budget_->spend(1)) {
                    exhausted_ = true;
                    return false;
                }
            }
            return false;
        }
        auto again = [&](size_t p) { return p != i && repeat(operand, p, k); };
        if (solve(operand, i, again))
            return true;
        return !exhausted_ && k(i);
    }

    const Program& prog_;
    const std::vector<Node>& nodes_;
    const Subject& subj_;
    Spans* groups_;
    Budget* budget_;
    int depth_ = 0;
    bool exhausted_ = false;
};

}  // namespace

int matchBacktrack(const Program& prog, const Subject& subj, bool wantSubs, Span* spans,
                   size_t count) {
    Budget budget;
    PikeVm vm(prog, prog.fwd);
    const PikeVm::Found first = vm.search(subj, subj.lo);
    if (!first.found)
        return kNoMatch;
    if (!budget.spend(static_cast<long>(subj.hi - subj.lo)))
        return kESpace;

    Spans groups(prog.ast.nsub + 1);
    const auto matchPc = static_cast<int32_t>(prog.fwd.insts.size() - 1);
    std::vector<uint8_t> ends;
    for (size_t s = first.so; s <= subj.hi; ++s) {
        if (prog.useFirst && (s == subj.hi || !prog.first.has(subj.s[s])))
            continue;
        const size_t read = vm.ends(subj, prog.fwd.start, matchPc, s, subj.hi, false, &ends);
        if (!budget.spend(static_cast<long>(read + 1)))
            return kESpace;
        for (size_t e = s + ends.size(); e-- > s;) {
            if (!marked(ends, e - s))
                continue;
            for (auto& g : groups)
                g = Span{};
            Backtracker bt(prog, subj, &groups, &budget);
            auto atEnd = [&](size_t p) { return p == e; };
            if (bt.solve(prog.ast.root, s, atEnd)) {
                if (count > 0) {
                    spans[0] = {static_cast<ptrdiff_t>(s), static_cast<ptrdiff_t>(e)};
                    if (wantSubs) {
                        for (size_t g = 1; g < groups.size() && g < count; ++g)
                            spans[g] = groups[g];
                    }
                }
                return kOk;
            }
            if (bt.exhausted())
                return kESpace;
        }
    }
    return kNoMatch;
}

}  // namespace wq::regex
