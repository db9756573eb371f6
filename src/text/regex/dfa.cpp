// Lazy deterministic automata: whether there is a match, where the leftmost one starts, and
// where the longest one from there ends.
//
// The subset construction is done lazily, one transition at a time, while reading the subject,
// and cached, so once the states a subject needs exist it costs one table lookup per byte. A
// state is the set of instructions reached before the next byte is known (consuming
// instructions, assertions and Match) together with the kind of byte just read (none,
// newline, word character, other). Assertions depend on the bytes on both sides of a
// position, so they are resolved inside the transition, when the next byte is known; the same
// code therefore runs the reversed program backwards, with "before" and "after" swapped.
//
// POSIX's leftmost-longest match takes three runs, each linear:
//   Search    forward, restarting at every position: is there a match at all? (Most subjects
//             of a grep-like caller stop here.)
//   Reverse   the reversed program backwards from the end, restarting at every position: the
//             lowest position where it reaches Match is where the leftmost match starts.
//   Anchored  forward from that start without restarting: the last position where Match is
//             reached is where the longest match ends; the run stops when no thread is left.
// A pattern that starts with "^" (without REG_NEWLINE) can only match at the start, so the
// Search run does not restart and the Reverse run is skipped.
//
// Linear by construction: one transition per byte, and building a transition costs
// O(program size). Each automaton's cache holds at most kMaxStates states; a subject that
// needs more drops the cache and is handed to the simulation in nfa.cpp, which is linear too.
// Covered by tests/regex (the Spencer suite and the differential test against the C library
// check every answer).
#include "text/regex/dfa.h"

#include <algorithm>
#include <cstring>

namespace wq::regex {

Dfa::Dfa(const Program& prog, Mode mode)
    : prog_(prog),
      code_(mode == Mode::Reverse ? prog.rev : prog.fwd),
      mode_(mode),
      restart_(mode != Mode::Anchored && !(mode == Mode::Search && prog.anchoredStart)),
      seen_(code_.insts.size(), 0) {
    // While no attempt is under way, bytes that cannot begin a match are skipped.
    const ByteSet* skip = nullptr;
    if (mode == Mode::Search && restart_ && prog.useFirst)
        skip = &prog.first;
    if (mode == Mode::Reverse && prog.useLast)
        skip = &prog.last;
    if (skip != nullptr) {
        int count = 0;
        for (unsigned c = 0; c < 256; ++c) {
            skipTable_[c] = skip->has(c);
            if (skipTable_[c]) {
                ++count;
                skipByte_ = static_cast<int>(c);
            }
        }
        if (count != 1)
            skipByte_ = -1;
        // Skipping pays only when the bytes are rare; entering and leaving it around common
        // letters costs more than it saves.
        canSkip_ = count <= 3;
    }
}

bool Dfa::prepare(const Subject& subj) {
    const int flags = (subj.notBol ? 1 : 0) | (subj.notEol ? 2 : 0);
    if (flags == flags_ && !overflow_)
        return true;
    flags_ = flags;
    newline_ = (prog_.cflags & CompileFlag::kNewline) != 0;
    states_.clear();
    idle_.clear();
    table_.clear();
    index_.clear();
    for (auto& s : starts_)
        s = -1;
    overflow_ = false;
    ++gen_;
    startKernel_.clear();
    addClosure(code_.start, &startKernel_);
    std::sort(startKernel_.begin(), startKernel_.end());
    return true;
}

int32_t Dfa::startState(uint8_t kind) {
    if (starts_[kind] >= 0)
        return starts_[kind];
    ++gen_;
    std::vector<int32_t> k;
    addClosure(code_.start, &k);
    starts_[kind] = intern(k, kind);
    return starts_[kind];
}

void Dfa::addClosure(int32_t pc0, std::vector<int32_t>* out) {
    const auto& insts = code_.insts;
    if (seen_[static_cast<size_t>(pc0)] == gen_)
        return;
    seen_[static_cast<size_t>(pc0)] = gen_;
    stack_.push_back(pc0);
    while (!stack_.empty()) {
        const int32_t pc = stack_.back();
        stack_.pop_back();
        const Inst& in = insts[static_cast<size_t>(pc)];
        auto push = [&](int32_t t) {
            if (seen_[static_cast<size_t>(t)] != gen_) {
                seen_[static_cast<size_t>(t)] = gen_;
                stack_.push_back(t);
            }
        };
        switch (in.op) {
            case Op::Split:
                push(in.x);
                push(in.y);
                break;
            case Op::Jmp:
                push(in.x);
                break;
            default:
                out->push_back(pc);
                break;
        }
    }
}

int32_t Dfa::intern(std::vector<int32_t>& kernel, uint8_t kind) {
    std::sort(kernel.begin(), kernel.end());
    std::string key(reinterpret_cast<const char*>(kernel.data()), kernel.size() * sizeof(int32_t));
    key.push_back(static_cast<char>(kind));
    auto it = index_.find(key);
    if (it != index_.end())
        return it->second;
    if (states_.size() >= kMaxStates) {
        overflow_ = true;
        return kUnknown;
    }
    const auto id = static_cast<int32_t>(states_.size());
    State st;
    st.kernel = kernel;
    st.kind = kind;
    st.dead = kernel.empty();
    states_.push_back(std::move(st));
    idle_.push_back(restart_ && kernel == startKernel_ ? 1 : 0);
    table_.resize(states_.size() * 256, kUnknown);
    index_.emplace(std::move(key), id);
    return id;
}

bool Dfa::holds(int kind, uint8_t before, uint8_t after) const {
    switch (kind) {
        case kBol:
            return (before == kAtEdge && !(flags_ & 1)) || (newline_ && before == kNewlineByte);
        case kEol:
            return (after == kAtEdge && !(flags_ & 2)) || (newline_ && after == kNewlineByte);
        case kBow:
            return (before == kAtEdge ? !(flags_ & 1) : before != kWordByte) && after == kWordByte;
        default:
            return before == kWordByte && (after == kAtEdge ? !(flags_ & 2) : after != kWordByte);
    }
}

int32_t Dfa::transition(int32_t state, int next) {
    const auto& insts = code_.insts;
    const std::vector<int32_t> kernel = states_[static_cast<size_t>(state)].kernel;
    const uint8_t read = states_[static_cast<size_t>(state)].kind;
    const uint8_t coming =
        next < 0 ? static_cast<uint8_t>(kAtEdge) : kindOf(static_cast<uint8_t>(next));
    // In text order: the byte before this position and the byte after it.
    const uint8_t before = mode_ == Mode::Reverse ? coming : read;
    const uint8_t after = mode_ == Mode::Reverse ? read : coming;

    ++gen_;
    std::vector<int32_t> consuming;
    for (int32_t pc : kernel)
        seen_[static_cast<size_t>(pc)] = gen_;
    std::vector<int32_t> work(kernel.begin(), kernel.end());
    bool matched = false;
    while (!work.empty()) {
        const int32_t pc = work.back();
        work.pop_back();
        const Inst& in = insts[static_cast<size_t>(pc)];
        auto push = [&](int32_t t) {
            if (seen_[static_cast<size_t>(t)] != gen_) {
                seen_[static_cast<size_t>(t)] = gen_;
                work.push_back(t);
            }
        };
        switch (in.op) {
            case Op::Byte:
            case Op::Set:
                consuming.push_back(pc);
                break;
            case Op::Assert:
                if (holds(in.c, before, after))
                    push(pc + 1);
                break;
            case Op::Split:
                push(in.x);
                push(in.y);
                break;
            case Op::Jmp:
                push(in.x);
                break;
            case Op::Match:
                matched = true;
                break;
        }
    }
    if (next < 0)
        return matched ? kMatchBit : 0;
    const auto c = static_cast<uint8_t>(next);
    ++gen_;
    std::vector<int32_t> nextKernel;
    for (int32_t pc : consuming) {
        const Inst& in = insts[static_cast<size_t>(pc)];
        const bool ok =
            in.op == Op::Byte ? in.c == c : prog_.ast.sets[static_cast<size_t>(in.x)].has(c);
        if (ok)
            addClosure(pc + 1, &nextKernel);
    }
    if (restart_)
        addClosure(code_.start, &nextKernel);
    const int32_t id = intern(nextKernel, kindOf(c));
    if (id == kUnknown)
        return kUnknown;
    return id | (matched ? kMatchBit : 0);
}

bool Dfa::endMatches(int32_t state) {
    State& st = states_[static_cast<size_t>(state)];
    if (st.endMatch < 0)
        st.endMatch = transition(state, -1) != 0 ? 1 : 0;
    return st.endMatch == 1;
}

size_t Dfa::skipForward(const Subject& subj, size_t i) const {
    if (skipByte_ >= 0) {
        const void* hit = std::memchr(subj.s + i, skipByte_, subj.hi - i);
        return hit == nullptr ? subj.hi
                              : static_cast<size_t>(static_cast<const uint8_t*>(hit) - subj.s);
    }
    const uint8_t* s = subj.s;
    const size_t hi = subj.hi;
    while (i < hi && !skipTable_[s[i]])
        ++i;
    return i;
}

size_t Dfa::skipBackward(const Subject& subj, size_t i) const {
    const uint8_t* s = subj.s;
    const size_t lo = subj.lo;
    if (skipByte_ >= 0) {
        const auto b = static_cast<uint8_t>(skipByte_);
        while (i > lo && s[i - 1] != b)
            --i;
        return i;
    }
    while (i > lo && !skipTable_[s[i - 1]])
        --i;
    return i;
}

int Dfa::exists(const Subject& subj) {
    prepare(subj);
    int32_t state = startState(kAtEdge);
    if (state == kUnknown)
        return -1;
    for (size_t i = subj.lo; i < subj.hi; ++i) {
        if (canSkip_ && idle_[static_cast<size_t>(state)] && !skipTable_[subj.s[i]]) {
            while (i < subj.hi && !skipTable_[subj.s[i]])
                ++i;
            if (i == subj.hi)
                return 0;  // not nullable, so no match at the end either
            state = startState(kindOf(subj.s[i - 1]));
            if (state == kUnknown)
                return -1;
        }
        const int32_t t = step(state, subj.s[i]);
        if (t == kUnknown)
            return -1;
        if (t & kMatchBit)
            return 1;
        state = t & kStateMask;
        if (!restart_ && states_[static_cast<size_t>(state)].dead)
            return 0;
    }
    return endMatches(state) ? 1 : 0;
}

int Dfa::leftmostStart(const Subject& subj, size_t* start) {
    prepare(subj);
    int32_t state = startState(kAtEdge);
    if (state == kUnknown)
        return -1;
    bool found = false;
    for (size_t i = subj.hi; i > subj.lo; --i) {
        if (canSkip_ && idle_[static_cast<size_t>(state)] && !skipTable_[subj.s[i - 1]]) {
            while (i > subj.lo && !skipTable_[subj.s[i - 1]])
                --i;
            if (i == subj.lo)
                break;  // an idle state at the start matches nothing
            state = startState(kindOf(subj.s[i]));
            if (state == kUnknown)
                return -1;
        }
        const int32_t t = step(state, subj.s[i - 1]);
        if (t == kUnknown)
            return -1;
        if (t & kMatchBit) {
            found = true;
            *start = i;
        }
        state = t & kStateMask;
    }
    if (endMatches(state)) {
        found = true;
        *start = subj.lo;
    }
    return found ? 1 : 0;
}

int Dfa::longestEnd(const Subject& subj, size_t from, size_t* end, std::vector<uint8_t>* marks) {
    prepare(subj);
    if (marks != nullptr)
        marks->clear();
    int32_t state =
        startState(from == subj.lo ? static_cast<uint8_t>(kAtEdge) : kindOf(subj.s[from - 1]));
    if (state == kUnknown)
        return -1;
    bool found = false;
    for (size_t i = from; i < subj.hi; ++i) {
        const int32_t t = step(state, subj.s[i]);
        if (t == kUnknown)
            return -1;
        if (marks != nullptr)
            marks->push_back((t & kMatchBit) ? 1 : 0);
        if (t & kMatchBit) {
            found = true;
            *end = i;
        }
        state = t & kStateMask;
        if (states_[static_cast<size_t>(state)].dead)
            return found ? 1 : 0;
    }
    if (endMatches(state)) {
        found = true;
        *end = subj.hi;
        if (marks != nullptr)
            marks->push_back(1);
    }
    return found ? 1 : 0;
}

}  // namespace wq::regex
