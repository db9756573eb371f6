// Compiler: Ast -> Program (two Thompson automata and the per-node instruction ranges).
//
// Thompson's construction, once left to right (`fwd`) and once with every concatenation
// reversed (`rev`). Each node compiles to a contiguous range [begin, end) whose every exit
// falls through or jumps to `end`, so a simulation that starts at `begin` and stops at `end`
// matches exactly that node; the submatch stage relies on this. Each node adds at most two
// instructions beyond its children, so a program is at most three times the tree, and the tree
// is bounded by kMaxProgram (counted repetitions were expanded and checked by the parser).
//
// A back-reference compiles, in `fwd` only, as a copy of the subexpression it refers to (see
// program.h) without its assertions, since the reference repeats the captured bytes whatever
// surrounds them ("\(^a\)x\1" matches "axa"); a pattern with back-references gets no `rev`,
// because the stage that would use it (dissect.cpp) never runs for such a pattern.
//
// The compiler also derives what lets the matchers skip work: whether the expression can match
// the empty string, the bytes a non-empty match can start with, whether the pattern is a
// plain byte string, and, with back-references, the facts the backtracking matcher prunes and
// remembers failures with (RunFinder). Covered by every test in tests/regex.
#include "text/regex/program.h"

#include <algorithm>

#include "text/regex/dfa.h"

namespace wq::regex {

Program::Program() = default;
Program::~Program() = default;

namespace {

class Compiler {
  public:
    Compiler(Program* prog, Code* code, bool reverse) : prog_(prog), code_(code), rev_(reverse) {}

    bool emit(int32_t node, bool record) {
        if (failed_)
            return false;
        const Node& n = prog_->ast.nodes[static_cast<size_t>(node)];
        const int32_t begin = here();
        switch (n.kind) {
            case NodeKind::Empty:
                break;
            case NodeKind::Byte:
                put(Op::Byte, static_cast<uint8_t>(n.arg));
                break;
            case NodeKind::Set:
                put(Op::Set, 0, n.arg);
                break;
            case NodeKind::Assert:
                // In the stand-in for a back-reference (record false) an assertion is left
                // out: the reference repeats the captured bytes wherever it stands.
                if (record)
                    put(Op::Assert, static_cast<uint8_t>(n.arg));
                break;
            case NodeKind::Group:
                emit(n.kids[0], record);
                break;
            case NodeKind::Concat:
                if (rev_) {
                    for (size_t i = n.kids.size(); i-- > 0;)
                        emit(n.kids[i], record);
                } else {
                    for (int32_t k : n.kids)
                        emit(k, record);
                }
                break;
            case NodeKind::Alt: {
                std::vector<int32_t> jumps;
                for (size_t i = 0; i + 1 < n.kids.size(); ++i) {
                    const int32_t split = put(Op::Split, 0, here() + 1);
                    emit(n.kids[i], record);
                    jumps.push_back(put(Op::Jmp));
                    if (failed_)
                        return false;
                    code_->insts[static_cast<size_t>(split)].y = here();
                }
                emit(n.kids.back(), record);
                if (failed_)
                    return false;
                for (int32_t j : jumps)
                    code_->insts[static_cast<size_t>(j)].x = here();
                break;
            }
            case NodeKind::Star: {
                const int32_t split = put(Op::Split, 0, here() + 1);
                emit(n.kids[0], record);
                put(Op::Jmp, 0, split);
                if (failed_)
                    return false;
                code_->insts[static_cast<size_t>(split)].y = here();
                break;
            }
            case NodeKind::Plus: {
                const int32_t loop = here();
                emit(n.kids[0], record);
                put(Op::Split, 0, loop, here() + 1);
                break;
            }
            case NodeKind::Quest: {
                const int32_t split = put(Op::Split, 0, here() + 1);
                emit(n.kids[0], record);
                if (failed_)
                    return false;
                code_->insts[static_cast<size_t>(split)].y = here();
                break;
            }
            case NodeKind::Backref: {
                const int32_t group = prog_->ast.groupNode[static_cast<size_t>(n.arg)];
                emit(prog_->ast.nodes[static_cast<size_t>(group)].kids[0], false);
                break;
            }
        }
        if (failed_)
            return false;
        if (record) {
            Fragment& f = prog_->frags[static_cast<size_t>(node)];
            if (rev_) {
                f.revBegin = begin;
                f.revEnd = here();
            } else {
                f.fwdBegin = begin;
                f.fwdEnd = here();
            }
        }
        return true;
    }

    bool failed() const { return failed_; }

  private:
    int32_t here() const { return static_cast<int32_t>(code_->insts.size()); }
    int32_t put(Op op, uint8_t c = 0, int32_t x = 0, int32_t y = 0) {
        if (code_->insts.size() >= kMaxProgram) {
            failed_ = true;
            return 0;
        }
        Inst inst;
        inst.op = op;
        inst.c = c;
        inst.x = x;
        inst.y = y;
        code_->insts.push_back(inst);
        return here() - 1;
    }

    Program* prog_;
    Code* code_;
    bool rev_;
    bool failed_ = false;
};

// The bytes that can start a non-empty match of `code` (read from the closure of its start with
// every assertion taken as satisfied); returns whether the empty string matches.
bool firstBytes(const Program& prog, const Code& code, ByteSet* out) {
    const auto& insts = code.insts;
    std::vector<uint8_t> seen(insts.size(), 0);
    std::vector<int32_t> stack{code.start};
    seen[static_cast<size_t>(code.start)] = 1;
    ByteSet first;
    bool nullable = false;
    while (!stack.empty()) {
        const int32_t pc = stack.back();
        stack.pop_back();
        const Inst& in = insts[static_cast<size_t>(pc)];
        auto push = [&](int32_t t) {
            if (!seen[static_cast<size_t>(t)]) {
                seen[static_cast<size_t>(t)] = 1;
                stack.push_back(t);
            }
        };
        switch (in.op) {
            case Op::Byte:
                first.add(in.c);
                break;
            case Op::Set:
                first.merge(prog.ast.sets[static_cast<size_t>(in.x)]);
                break;
            case Op::Split:
                push(in.x);
                push(in.y);
                break;
            case Op::Jmp:
                push(in.x);
                break;
            case Op::Assert:
                push(pc + 1);
                break;
            case Op::Match:
                nullable = true;
                break;
        }
    }
    *out = first;
    return nullable;
}

// A pattern that is one byte string matches where that string first occurs.
void literal(Program* prog) {
    const Ast& ast = prog->ast;
    const Node& root = ast.nodes[static_cast<size_t>(ast.root)];
    std::vector<uint8_t> bytes;
    if (root.kind == NodeKind::Byte) {
        bytes.push_back(static_cast<uint8_t>(root.arg));
    } else if (root.kind == NodeKind::Concat) {
        for (int32_t k : root.kids) {
            const Node& n = ast.nodes[static_cast<size_t>(k)];
            if (n.kind != NodeKind::Byte)
                return;
            bytes.push_back(static_cast<uint8_t>(n.arg));
        }
    }
    prog->literal = std::move(bytes);
}

// Whether every path from the start meets "^" before it reads a byte or matches. Without
// REG_NEWLINE "^" holds only at the start of the subject, so such a pattern matches only there.
void anchored(Program* prog) {
    if (prog->cflags & kNewline)
        return;
    const auto& insts = prog->fwd.insts;
    std::vector<uint8_t> seen(insts.size(), 0);
    std::vector<int32_t> stack{prog->fwd.start};
    seen[static_cast<size_t>(prog->fwd.start)] = 1;
    while (!stack.empty()) {
        const int32_t pc = stack.back();
        stack.pop_back();
        const Inst& in = insts[static_cast<size_t>(pc)];
        auto push = [&](int32_t t) {
            if (!seen[static_cast<size_t>(t)]) {
                seen[static_cast<size_t>(t)] = 1;
                stack.push_back(t);
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
            case Op::Assert:
                if (in.c != kBol)
                    push(pc + 1);
                break;
            default:
                return;  // a byte or Match reachable without "^"
        }
    }
    prog->anchoredStart = true;
}

// What the backtracking matcher needs to know about back-references. The parts every match
// passes through in turn are found by walking down from the root through concatenations and
// subexpressions only; each other node is one part (empty-width ones are left out). Runs of
// adjacent back-references among them, and the subexpressions on that walk that occur once in
// the tree, are what it checks lengths for. The subexpressions that back-references repeat
// are the only captures that can decide whether the rest of a match succeeds.
class RunFinder {
  public:
    explicit RunFinder(Program* prog) : prog_(prog), ast_(prog->ast) {
        copies_.assign(ast_.nsub + 1, 0);
        std::vector<uint8_t> referenced(ast_.nsub + 1, 0);
        for (const Node& n : ast_.nodes) {
            if (n.kind == NodeKind::Group)
                ++copies_[static_cast<size_t>(n.arg)];
            if (n.kind == NodeKind::Backref)
                referenced[static_cast<size_t>(n.arg)] = 1;
        }
        for (size_t g = 1; g < referenced.size(); ++g) {
            if (referenced[g])
                prog_->referenced.push_back(static_cast<int32_t>(g));
        }
        prog_->isReferenced = std::move(referenced);
        prog_->renewedBy.resize(prog_->referenced.size());
        prog_->captureAfter.assign(ast_.nodes.size(), 0);
    }

    void run() {
        walk(ast_.root);
        close();
        renewals(ast_.root, -1);
        for (auto& loops : prog_->renewedBy) {
            std::sort(loops.begin(), loops.end());
            loops.erase(std::unique(loops.begin(), loops.end()), loops.end());
        }
    }

  private:
    void walk(int32_t node) {
        const Node& n = ast_.nodes[static_cast<size_t>(node)];
        switch (n.kind) {
            case NodeKind::Concat:
                for (int32_t k : n.kids)
                    walk(k);
                break;
            case NodeKind::Group:
                walk(n.kids[0]);
                if (copies_[static_cast<size_t>(n.arg)] == 1)
                    prog_->captureAfter[static_cast<size_t>(node)] = place_ + 1;
                break;
            case NodeKind::Empty:
            case NodeKind::Assert:
                break;
            case NodeKind::Backref: {
                if (!open_) {
                    current_ = BackrefRun{};
                    current_.first = node;
                    current_.place = place_;
                    open_ = true;
                }
                current_.last = node;
                const int32_t group = ast_.groupNode[static_cast<size_t>(n.arg)];
                if (prog_->captureAfter[static_cast<size_t>(group)] != 0)
                    current_.groups.push_back(n.arg);
                ++place_;
                break;
            }
            default:
                close();
                ++place_;
                break;
        }
    }

    // loop: the repetition whose every iteration reaches `node`, or -1.
    void renewals(int32_t node, int32_t loop) {
        const Node& n = ast_.nodes[static_cast<size_t>(node)];
        switch (n.kind) {
            case NodeKind::Star:
            case NodeKind::Plus:
                loop = node;
                break;
            case NodeKind::Group:
                if (loop >= 0 && prog_->isReferenced[static_cast<size_t>(n.arg)]) {
                    const auto at =
                        std::lower_bound(prog_->referenced.begin(), prog_->referenced.end(), n.arg);
                    prog_->renewedBy[static_cast<size_t>(at - prog_->referenced.begin())].push_back(
                        loop);
                }
                break;
            case NodeKind::Concat:
                break;
            default:
                loop = -1;
                break;
        }
        for (int32_t k : n.kids)
            renewals(k, loop);
    }

    void close() {
        if (open_ && prog_->runs.size() < kMaxBackrefRuns)
            prog_->runs.push_back(current_);
        open_ = false;
    }

    Program* prog_;
    const Ast& ast_;
    std::vector<int> copies_;
    uint32_t place_ = 0;
    BackrefRun current_;
    bool open_ = false;
};

}  // namespace

int compile(Program* prog) {
    prog->frags.assign(prog->ast.nodes.size(), Fragment{});
    Compiler fwd(prog, &prog->fwd, false);
    if (!fwd.emit(prog->ast.root, true))
        return kESpace;
    prog->fwd.insts.push_back(Inst{});  // Match
    prog->fwd.start = 0;
    if (!prog->ast.backrefs) {
        Compiler rev(prog, &prog->rev, true);
        if (!rev.emit(prog->ast.root, true))
            return kESpace;
        prog->rev.insts.push_back(Inst{});
        prog->rev.start = 0;
    }
    prog->nullable = firstBytes(*prog, prog->fwd, &prog->first);
    prog->useFirst = !prog->nullable;
    if (!prog->rev.insts.empty()) {
        firstBytes(*prog, prog->rev, &prog->last);
        prog->useLast = !prog->nullable;
    }
    literal(prog);
    anchored(prog);
    if (prog->ast.backrefs)
        RunFinder(prog).run();
    prog->searchDfa = std::make_unique<Dfa>(*prog, Dfa::Mode::Search);
    prog->anchoredDfa = std::make_unique<Dfa>(*prog, Dfa::Mode::Anchored);
    if (!prog->ast.backrefs)
        prog->reverseDfa = std::make_unique<Dfa>(*prog, Dfa::Mode::Reverse);
    return kOk;
}

}  // namespace wq::regex
