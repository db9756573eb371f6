// The lazily built deterministic automata (see dfa.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "text/regex/program.h"

namespace wq::regex {

class Dfa {
  public:
    enum class Mode {
        Search,    // forward over fwd, a match may start anywhere: is there one?
        Reverse,   // backward over rev, a match may end anywhere: where does the first start?
        Anchored,  // forward over fwd from one position: where does the longest match end?
    };

    Dfa(const Program& prog, Mode mode);

    // The answers are 1 (yes, with the position filled), 0 (no) or -1 (the state budget ran
    // out; the caller asks the simulation in nfa.cpp instead).
    int exists(const Subject& subj);
    int leftmostStart(const Subject& subj, size_t* start);
    // With marks, also every end: marks[i - from] set where a match from `from` ends at i
    // (positions past its size cannot end one).
    int longestEnd(const Subject& subj, size_t from, size_t* end,
                   std::vector<uint8_t>* marks = nullptr);

  private:
    enum Kind : uint8_t { kAtEdge, kNewlineByte, kWordByte, kOtherByte };
    static constexpr int32_t kUnknown = -1;
    static constexpr int32_t kMatchBit = 1 << 30;  // in a table entry: Match was reached
    static constexpr int32_t kStateMask = kMatchBit - 1;
    static constexpr size_t kMaxStates = 3000;

    struct State {
        std::vector<int32_t> kernel;  // sorted: consuming, Assert and Match instructions
        uint8_t kind = kAtEdge;       // the byte just read (in reading order)
        int8_t endMatch = -1;         // Match reachable at the end of the subject; -1 unknown
        bool dead = false;            // nothing left to run (never, when restarting anywhere)
    };

    static uint8_t kindOf(uint8_t c) {
        return c == '\n' ? kNewlineByte : isWordByte(c) ? kWordByte : kOtherByte;
    }
    bool prepare(const Subject& subj);
    int32_t startState(uint8_t kind);
    int32_t intern(std::vector<int32_t>& kernel, uint8_t kind);
    int32_t step(int32_t state, uint8_t c) {
        int32_t t = table_[static_cast<size_t>(state) * 256 + c];
        if (t == kUnknown) {
            t = transition(state, c);
            if (t != kUnknown)
                table_[static_cast<size_t>(state) * 256 + c] = t;
        }
        return t;
    }
    int32_t transition(int32_t state, int next);  // next: a byte, or -1 for the end
    bool endMatches(int32_t state);
    size_t skipForward(const Subject& subj, size_t i) const;   // to the next byte in skipTable_
    size_t skipBackward(const Subject& subj, size_t i) const;  // to just after the previous one
    void addClosure(int32_t pc, std::vector<int32_t>* out);
    bool holds(int kind, uint8_t before, uint8_t after) const;

    const Program& prog_;
    const Code& code_;
    const Mode mode_;
    const bool restart_;  // add the start instruction at every position
    int flags_ = -1;      // notBol | notEol << 1 for which the cache was built
    bool newline_ = false;
    std::vector<State> states_;
    std::vector<uint8_t> idle_;  // per state: only the start instruction's closure is pending
    std::vector<int32_t> startKernel_;
    bool canSkip_ = false;        // idle stretches may be skipped (skipTable_)
    bool skipTable_[256] = {};    // bytes that can begin a match in reading order
    int skipByte_ = -1;           // the only such byte, when there is just one
    std::vector<int32_t> table_;  // states_.size() x 256
    std::unordered_map<std::string, int32_t> index_;
    int32_t starts_[4] = {-1, -1, -1, -1};
    std::vector<uint32_t> seen_;
    uint32_t gen_ = 0;
    std::vector<int32_t> stack_;
    bool overflow_ = false;
};

}  // namespace wq::regex
