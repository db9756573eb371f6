// Submatches for patterns without back-references: the automaton matcher's second half.
//
// The automata find where the whole match lies (dfa.cpp says whether there is one, nfa.cpp says
// where). Which subexpression covers which bytes is then settled top-down on the tree, always
// for a node that is known to match an exact span [s, e), with the rules of the 4.4BSD library:
//
//   concatenation  each part in turn takes the longest span that still lets the rest of the
//                  concatenation match the rest of the span;
//   alternation    the first alternative that matches the whole span;
//   ? (optional)   the operand, when it matches the whole span;
//   * and +        iterations from the left, each the longest that still lets further
//                  iterations reach e; when they reach e and the operand matches the empty
//                  string there, one more, empty, iteration; only the last iteration is
//                  dissected further, so a subexpression reports its last iteration;
//   subexpression  records [s, e) and dissects its operand.
//
// "Where can part k end" is one anchored forward run of part k's instructions; "where can the
// rest begin" is one anchored backward run of the rest's instructions in the reversed program;
// the chosen end is the largest position in both. Each run is linear in the span, and only
// subtrees that hold a subexpression are visited. The one cost that is not bounded by
// span x program x depth is a long chain of iterations of a starred subexpression whose operand
// can run far past each iteration before failing (each iteration rereads the bytes ahead);
// ordinary operands stop within a few bytes. Whether a node matches the empty string at a
// position is read from the tree (memoised), not simulated. All simulation steps are charged to
// a budget of kBacktrackLimit; a pattern that spends it (huge nested counted repetitions) gets
// REG_ESPACE rather than an answer late.
//
// Covered by the Spencer suite in tests/regex (every line with a fifth field).
#include <cstring>

#include "text/regex/dfa.h"
#include "text/regex/nfa.h"
#include "text/regex/program.h"

namespace wq::regex {
namespace {

class Dissector {
  public:
    Dissector(const Program& prog, const Subject& subj, Span* spans)
        : prog_(prog),
          nodes_(prog.ast.nodes),
          subj_(subj),
          fwd_(prog, prog.fwd),
          rev_(prog, prog.rev),
          spans_(spans),
          nullCache_(prog.ast.nodes.size()) {
        fwd_.setBudget(&budget_);
        rev_.setBudget(&budget_);
    }

    bool exhausted() const { return fwd_.exhausted() || rev_.exhausted(); }

    void run(int32_t node, size_t s, size_t e) {
        const Node& n = nodes_[static_cast<size_t>(node)];
        if (!n.hasGroup || exhausted())
            return;
        switch (n.kind) {
            case NodeKind::Group:
                spans_[static_cast<size_t>(n.arg)] = {static_cast<ptrdiff_t>(s),
                                                      static_cast<ptrdiff_t>(e)};
                run(n.kids[0], s, e);
                break;
            case NodeKind::Concat:
                concat(n, s, e);
                break;
            case NodeKind::Alt:
                for (int32_t k : n.kids) {
                    if (matches(k, s, e)) {
                        run(k, s, e);
                        break;
                    }
                }
                break;
            case NodeKind::Quest:
                if (matches(n.kids[0], s, e))
                    run(n.kids[0], s, e);
                break;
            case NodeKind::Star:
            case NodeKind::Plus:
                repetition(node, s, e);
                break;
            default:
                break;
        }
    }

  private:
    bool matches(int32_t node, size_t s, size_t e) {
        if (s == e)
            return nullAt(node, s);
        const Fragment& f = prog_.frags[static_cast<size_t>(node)];
        fwd_.ends(subj_, f.fwdBegin, f.fwdEnd, s, e, false, &fwdMarks_);
        return marked(fwdMarks_, e - s);
    }

    void concat(const Node& n, size_t s, size_t e) {
        const size_t count = n.kids.size();
        // The last part that holds a subexpression; nothing after it needs a boundary.
        size_t lastGroup = count;
        for (size_t j = count; j-- > 0;) {
            if (nodes_[static_cast<size_t>(n.kids[j])].hasGroup) {
                lastGroup = j;
                break;
            }
        }
        if (lastGroup == count)
            return;
        size_t cur = s;
        for (size_t j = 0; j + 1 < count && j <= lastGroup; ++j) {
            const Fragment& part = prog_.frags[static_cast<size_t>(n.kids[j])];
            const Fragment& restFirst = prog_.frags[static_cast<size_t>(n.kids[count - 1])];
            const Fragment& restLast = prog_.frags[static_cast<size_t>(n.kids[j + 1])];
            fwd_.ends(subj_, part.fwdBegin, part.fwdEnd, cur, e, false, &fwdMarks_);
            // The rest, read backwards from e: it starts at the reversed last part and is
            // complete where the reversed part j+1 ends.
            rev_.ends(subj_, restFirst.revBegin, restLast.revEnd, e, cur, true, &revMarks_);
            size_t p = cur;
            for (size_t q = cur + fwdMarks_.size(); q-- > cur;) {
                if (fwdMarks_[q - cur] && marked(revMarks_, e - q)) {
                    p = q;
                    break;
                }
            }
            run(n.kids[j], cur, p);
            cur = p;
        }
        if (lastGroup == count - 1)
            run(n.kids[count - 1], cur, e);
    }

    void repetition(int32_t node, size_t s, size_t e) {
        const Node& n = nodes_[static_cast<size_t>(node)];
        const int32_t operand = n.kids[0];
        const Fragment& f = prog_.frags[static_cast<size_t>(operand)];
        size_t lastStart = 0, lastEnd = 0;
        bool any = false;
        if (s < e) {
            // Where can further iterations start and still reach e?
            const Fragment& self = prog_.frags[static_cast<size_t>(node)];
            std::vector<uint8_t> reach;
            rev_.ends(subj_, self.revBegin, self.revEnd, e, s, true, &reach);
            size_t at = s;
            while (at < e) {
                fwd_.ends(subj_, f.fwdBegin, f.fwdEnd, at, e, false, &fwdMarks_);
                size_t p = at;
                for (size_t q = at + fwdMarks_.size() - 1; q > at; --q) {
                    if (fwdMarks_[q - at] && (q == e || marked(reach, e - q))) {
                        p = q;
                        break;
                    }
                }
                if (p == at)
                    break;  // cannot happen for a node known to match
                lastStart = at;
                lastEnd = p;
                any = true;
                at = p;
            }
        }
        if (matches(operand, e, e)) {
            lastStart = lastEnd = e;
            any = true;
        }
        if (any)
            run(operand, lastStart, lastEnd);
    }

    // Whether node matches the empty string at position i, read from the tree and remembered
    // per node for the latest position, so that long chains of optional copies (x{0,100})
    // cost one pass over the tree instead of one simulation per link.
    bool nullAt(int32_t node, size_t i) {
        if (nullPos_ != i) {
            ++nullGen_;
            nullPos_ = i;
        }
        NullMemo& memo = nullCache_[static_cast<size_t>(node)];
        if (memo.gen == nullGen_)
            return memo.value;
        const Node& n = nodes_[static_cast<size_t>(node)];
        bool r = false;
        switch (n.kind) {
            case NodeKind::Empty:
            case NodeKind::Star:
            case NodeKind::Quest:
                r = true;
                break;
            case NodeKind::Byte:
            case NodeKind::Set:
            case NodeKind::Backref:
                r = false;
                break;
            case NodeKind::Assert:
                r = subj_.holds(n.arg, i);
                break;
            case NodeKind::Group:
            case NodeKind::Plus:
                r = nullAt(n.kids[0], i);
                break;
            case NodeKind::Concat:
                r = true;
                for (int32_t k : n.kids) {
                    if (!nullAt(k, i)) {
                        r = false;
                        break;
                    }
                }
                break;
            case NodeKind::Alt:
                for (int32_t k : n.kids) {
                    if (nullAt(k, i)) {
                        r = true;
                        break;
                    }
                }
                break;
        }
        NullMemo& slot = nullCache_[static_cast<size_t>(node)];
        slot.gen = nullGen_;
        slot.value = r;
        return r;
    }

    const Program& prog_;
    const std::vector<Node>& nodes_;
    const Subject& subj_;
    Budget budget_;
    PikeVm fwd_;
    PikeVm rev_;
    Span* spans_;
    std::vector<uint8_t> fwdMarks_, revMarks_;
    struct NullMemo {
        uint32_t gen = 0;
        bool value = false;
    };
    std::vector<NullMemo> nullCache_;
    uint32_t nullGen_ = 0;
    size_t nullPos_ = static_cast<size_t>(-1);
};

// Leftmost occurrence of a byte string.
bool findLiteral(const std::vector<uint8_t>& lit, const Subject& subj, size_t* at) {
    const size_t n = lit.size();
    if (subj.hi - subj.lo < n)
        return false;
    const uint8_t* p = subj.s + subj.lo;
    const uint8_t* last = subj.s + subj.hi - n;
    while (p <= last) {
        const void* hit = std::memchr(p, lit[0], static_cast<size_t>(last - p) + 1);
        if (hit == nullptr)
            return false;
        p = static_cast<const uint8_t*>(hit);
        if (std::memcmp(p, lit.data(), n) == 0) {
            *at = static_cast<size_t>(p - subj.s);
            return true;
        }
        ++p;
    }
    return false;
}

}  // namespace

int matchAutomaton(const Program& prog, const Subject& subj, bool wantSubs, Span* spans,
                   size_t count) {
    size_t so = 0, eo = 0;
    if (!prog.literal.empty()) {
        if (!findLiteral(prog.literal, subj, &so))
            return kNoMatch;
        eo = so + prog.literal.size();
    } else {
        // Whether: the forward run can stop at the first match; when the caller wants to know
        // where, the backward run answers both at once.
        int located = -1;
        if (count == 0 || prog.anchoredStart) {
            located = prog.searchDfa->exists(subj);
            if (located == 0)
                return kNoMatch;
            if (located == 1 && count == 0)
                return kOk;
            so = subj.lo;
        } else {
            located = prog.reverseDfa->leftmostStart(subj, &so);
            if (located == 0)
                return kNoMatch;
        }
        // Where it ends: the longest match from that start.
        if (located == 1)
            located = prog.anchoredDfa->longestEnd(subj, so, &eo);
        if (located != 1) {
            // A cache ran out of room: the simulation gives the same answer in linear time.
            PikeVm vm(prog, prog.fwd);
            const PikeVm::Found found = vm.search(subj, subj.lo);
            if (!found.found)
                return kNoMatch;
            so = found.so;
            eo = found.eo;
        }
    }
    if (count == 0)
        return kOk;
    spans[0] = {static_cast<ptrdiff_t>(so), static_cast<ptrdiff_t>(eo)};
    if (wantSubs && prog.ast.nsub > 0) {
        Dissector d(prog, subj, spans);
        d.run(prog.ast.root, so, eo);
        if (d.exhausted())
            return kESpace;
    }
    return kOk;
}

}  // namespace wq::regex
