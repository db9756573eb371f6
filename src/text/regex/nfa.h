// The linear-time automaton simulation (see nfa.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/regex/program.h"

namespace wq::regex {

// marks[i], or 0 past the end of marks.
inline bool marked(const std::vector<uint8_t>& marks, size_t i) {
    return i < marks.size() && marks[i] != 0;
}

class PikeVm {
  public:
    PikeVm(const Program& prog, const Code& code);

    struct Found {
        bool found = false;
        size_t so = 0;
        size_t eo = 0;
    };

    // The leftmost-longest match of the whole program in subj, starting the search at `from`.
    Found search(const Subject& subj, size_t from);

    // Runs the instructions [begin, accept) anchored at `from` towards `limit` (forward when
    // !backward, otherwise reading the bytes before each position). On return marks holds one
    // entry per position visited, marks[|p - from|] set where a thread arrived at `accept`;
    // positions past its size were not reached. Returns the number of bytes read.
    size_t ends(const Subject& subj, int32_t begin, int32_t accept, size_t from, size_t limit,
                bool backward, std::vector<uint8_t>* marks);

    // With a budget, ends() charges one step per instruction visited and stops early (with
    // exhausted() true) when the budget runs out.
    void setBudget(Budget* budget) { budget_ = budget; }
    bool exhausted() const { return exhausted_; }

  private:
    struct Thread {
        int32_t pc;
        size_t start;
    };
    bool accepts(const Inst& in, uint8_t c) const {
        return in.op == Op::Byte ? in.c == c : prog_.ast.sets[static_cast<size_t>(in.x)].has(c);
    }
    void clearVisited() { visitedCount_ = 0; }
    bool visit(int32_t pc) {
        const uint32_t i = sparse_[static_cast<size_t>(pc)];
        if (i < visitedCount_ && dense_[i] == pc)
            return false;
        sparse_[static_cast<size_t>(pc)] = visitedCount_;
        dense_[visitedCount_++] = pc;
        return true;
    }

    const Program& prog_;
    const Code& code_;
    std::vector<uint32_t> sparse_;
    std::vector<int32_t> dense_;
    uint32_t visitedCount_ = 0;
    std::vector<int32_t> stack_;
    std::vector<Thread> threads_, entries_, next_;
    Budget* budget_ = nullptr;
    bool exhausted_ = false;
};

}  // namespace wq::regex
