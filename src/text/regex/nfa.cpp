// Linear matcher: a lock-step simulation of the Thompson automaton (Pike's VM).
//
// All threads advance together one byte at a time. At each position the epsilon closure of the
// live threads is computed with an explicit stack; a sparse set sized to the program records
// the instructions already reached at this position, so each instruction is visited at most
// once per position and the stack never holds more than one entry per instruction (it is
// reserved to that bound up front). The work per byte is therefore O(program size) and a whole
// run is O(subject length x program size), with no recursion over the input, whatever the
// pattern: "(a|aa)*b" or "(x+x+)+y" cost the same per byte as "ab".
//
// POSIX wants the leftmost match, and of those the longest. Each thread carries the position
// where its match attempt started. Threads are kept in order of that start: the threads carried
// over from the previous byte come first, in their order, and a fresh attempt at the current
// position is added last. Since the first thread to reach an instruction claims it, the thread
// that survives at any instruction is the one with the earliest start, and nothing is lost: a
// later start in the same state has the same future. When the Match instruction is reached, the
// (start, position) pair is kept if it starts earlier, or starts equally early and ends later,
// than the best so far; from then on no fresh attempts are added and threads that started later
// than the best are dropped; the run ends when no thread is left. Empty loops such as "(a*)*"
// need no special care: the visited set cuts every cycle.
//
// The same engine, anchored and stopping at the end of one node's instructions, tells the
// submatch stage where a node can end (forward) or begin (backward, on the reversed program).
//
// Covered by tests/regex: the Spencer suite, the pathological patterns test and the
// differential test against the C library.
#include "text/regex/nfa.h"

namespace wq::regex {

PikeVm::PikeVm(const Program& prog, const Code& code)
    : prog_(prog), code_(code), sparse_(code.insts.size(), 0), dense_(code.insts.size(), 0) {
    stack_.reserve(code.insts.size());
    threads_.reserve(code.insts.size());
    entries_.reserve(code.insts.size());
    next_.reserve(code.insts.size());
}

PikeVm::Found PikeVm::search(const Subject& subj, size_t from) {
    Found best;
    const auto& insts = code_.insts;
    entries_.clear();
    for (size_t i = from;; ++i) {
        if (entries_.empty() && !best.found && prog_.useFirst) {
            // Nothing is under way: skip to the next byte a match can start with.
            while (i < subj.hi && !prog_.first.has(subj.s[i]))
                ++i;
            if (i >= subj.hi)
                break;
        }
        clearVisited();
        threads_.clear();
        const size_t fresh = entries_.size();
        // The carried threads in order, then (while nothing matched) a new attempt here.
        for (size_t t = 0; t <= fresh; ++t) {
            int32_t pc0;
            size_t start;
            if (t < fresh) {
                pc0 = entries_[t].pc;
                start = entries_[t].start;
            } else {
                if (best.found)
                    break;
                pc0 = code_.start;
                start = i;
            }
            if (!visit(pc0))
                continue;
            stack_.push_back(pc0);
            while (!stack_.empty()) {
                const int32_t pc = stack_.back();
                stack_.pop_back();
                const Inst& in = insts[static_cast<size_t>(pc)];
                switch (in.op) {
                    case Op::Byte:
                    case Op::Set:
                        threads_.push_back(Thread{pc, start});
                        break;
                    case Op::Split:
                        if (visit(in.y))
                            stack_.push_back(in.y);
                        if (visit(in.x))
                            stack_.push_back(in.x);
                        break;
                    case Op::Jmp:
                        if (visit(in.x))
                            stack_.push_back(in.x);
                        break;
                    case Op::Assert:
                        if (subj.holds(in.c, i) && visit(pc + 1))
                            stack_.push_back(pc + 1);
                        break;
                    case Op::Match:
                        if (!best.found || start < best.so || (start == best.so && i > best.eo)) {
                            best.found = true;
                            best.so = start;
                            best.eo = i;
                        }
                        break;
                }
            }
        }
        if (i >= subj.hi)
            break;
        const uint8_t c = subj.s[i];
        next_.clear();
        for (const Thread& t : threads_) {
            if (best.found && t.start > best.so)
                continue;
            if (accepts(insts[static_cast<size_t>(t.pc)], c))
                next_.push_back({t.pc + 1, t.start});
        }
        entries_.swap(next_);
        if (entries_.empty() && best.found)
            break;
    }
    return best;
}

size_t PikeVm::ends(const Subject& subj, int32_t begin, int32_t accept, size_t from, size_t limit,
                    bool backward, std::vector<uint8_t>* marks) {
    const size_t width = backward ? from - limit : limit - from;
    marks->clear();
    const auto& insts = code_.insts;
    std::vector<int32_t> entries{begin};
    std::vector<int32_t> live;
    size_t read = 0;
    for (size_t step = 0;; ++step) {
        const size_t i = backward ? from - step : from + step;
        clearVisited();
        live.clear();
        marks->push_back(0);
        for (int32_t pc0 : entries) {
            if (!visit(pc0))
                continue;
            stack_.push_back(pc0);
            while (!stack_.empty()) {
                const int32_t pc = stack_.back();
                stack_.pop_back();
                if (pc == accept) {
                    marks->back() = 1;
                    continue;
                }
                const Inst& in = insts[static_cast<size_t>(pc)];
                switch (in.op) {
                    case Op::Byte:
                    case Op::Set:
                        live.push_back(pc);
                        break;
                    case Op::Split:
                        if (visit(in.y))
                            stack_.push_back(in.y);
                        if (visit(in.x))
                            stack_.push_back(in.x);
                        break;
                    case Op::Jmp:
                        if (visit(in.x))
                            stack_.push_back(in.x);
                        break;
                    case Op::Assert:
                        if (subj.holds(in.c, i) && visit(pc + 1))
                            stack_.push_back(pc + 1);
                        break;
                    case Op::Match:
                        break;
                }
            }
        }
        if (budget_ != nullptr && !budget_->spend(static_cast<long>(visitedCount_) + 1)) {
            exhausted_ = true;
            break;
        }
        if (step == width || live.empty())
            break;
        const uint8_t c = backward ? subj.s[i - 1] : subj.s[i];
        ++read;
        entries.clear();
        for (int32_t pc : live) {
            if (accepts(insts[static_cast<size_t>(pc)], c))
                entries.push_back(pc + 1);
        }
        if (entries.empty())
            break;
    }
    return read;
}

}  // namespace wq::regex
