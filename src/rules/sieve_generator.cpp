// Writes rules as Sieve text. Writing runs twice over the tree: once into a counter for the
// exact size, then into the string reserved at that size, so the text is built in one buffer
// without regrowth and writing stays linear in the size of the script.
#include "rules/sieve_generator.h"

#include <cstring>
#include <string_view>

namespace wq::rules {
namespace {

// Stands in for the output string in the sizing pass.
struct SizeCounter {
    size_t size = 0;
    SizeCounter& operator+=(char) {
        ++size;
        return *this;
    }
    SizeCounter& operator+=(const char* text) {
        size += std::strlen(text);
        return *this;
    }
    SizeCounter& operator+=(std::string_view text) {
        size += text.size();
        return *this;
    }
    void append(const char*, size_t n) { size += n; }
    void append(size_t n, char) { size += n; }
};

template <typename Out>
class SieveWriter {
  public:
    SieveWriter(Out& out, GenerateMode mode) : out_(out), script_(mode == GenerateMode::Script) {}

    // command := [marker line] [ "# " ] indent body
    // A top-level command gets a marker line ("#!", the digit of its rule's state, a space, its
    // text1, a line end) when it is switched off or its text1 is not empty; so does an elsif of
    // a top-level rule, whose name the marker line carries too. Below that, a marker line
    // carries the name of a command that has one, unless a tag of its own carries text1
    // (Notify, Vacation). Every line of a switched-off rule begins with "# ", so that the reader
    // sees the whole rule as switched off. A command of kind None stands for an empty block or
    // else part and is written by writeChain; it writes nothing itself.
    void writeCommand(SieveCommand& command, unsigned depth, bool asElsif, unsigned level) {
        if (level > kMaxNestingDepth || command.kind == CommandKind::None ||
            command.kind > CommandKind::If) {
            return;
        }
        const bool on = ruleState(command);
        if (script_ && hasMarkerLine(command, depth, on)) {
            writeMarkerLine(on, command.text1);
        }
        const bool off = script_ && !on;
        if (off) {
            out_ += "# ";
        }
        writeIndent(depth);
        switch (command.kind) {
            case CommandKind::Keep:
                out_ += "keep;";
                break;
            case CommandKind::Discard:
                out_ += "discard;";
                break;
            case CommandKind::Stop:
                out_ += "stop;";
                break;
            case CommandKind::Reject:
                out_ += "reject ";
                writeQuoted(command.argument);
                out_ += ';';
                break;
            case CommandKind::FileInto:
                out_ += "fileinto ";
                writeQuoted(command.argument);
                out_ += ';';
                break;
            case CommandKind::Redirect:
                out_ += "redirect ";
                writeQuoted(command.argument);
                out_ += ';';
                break;
            case CommandKind::Notify:
                // The message is always written: without it the reader would give the preset.
                out_ += "notify";
                if (!command.text1.empty()) {
                    out_ += " :options ";
                    writeQuoted(command.text1);
                }
                out_ += " :message ";
                writeQuoted(command.argument);
                out_ += ';';
                break;
            case CommandKind::Vacation:
                // The days are written unless they are the 7 that the reader presets (or none,
                // which means the same).
                out_ += "vacation";
                if (!command.text2.empty() && command.text2.view() != "7") {
                    out_ += " :days ";
                    writeQuoted(command.text2);
                }
                if (!command.text1.empty()) {
                    out_ += " :subject ";
                    writeQuoted(command.text1);
                }
                out_ += ' ';
                writeQuoted(command.argument);
                out_ += ';';
                break;
            default:
                writeIf(command, depth, asElsif, off, level);
                return;
        }
        lineEnd();
    }

  private:
    static bool hasMarkerLine(const SieveCommand& command, unsigned depth, bool on) {
        if (depth == 0) {
            return !on || !command.text1.empty();
        }
        return !command.text1.empty() && command.kind != CommandKind::Notify &&
               command.kind != CommandKind::Vacation;
    }

    // "#!", the digit, a space, the name, a line end. A line feed in the name would end the
    // line early, so it is written as a space. The reader drops carriage returns at the end of
    // the line before it cuts the name to its longest: a name of that length that ends in one
    // is followed by a character that the cut drops.
    void writeMarkerLine(bool on, std::string_view name) {
        out_ += "#!";
        out_ += on ? '1' : '0';
        out_ += ' ';
        for (size_t from = 0; from <= name.size();) {
            size_t feed = name.find('\n', from);
            if (feed == std::string_view::npos) {
                feed = name.size();
            }
            out_.append(name.data() + from, feed - from);
            if (feed < name.size()) {
                out_ += ' ';
            }
            from = feed + 1;
        }
        if (name.size() >= kMaxPendingName && name.back() == '\r') {
            out_ += '.';
        }
        out_ += '\n';
    }

    // if := ["els"] "if " test LF P indent " {" LF block P indent "}" LF [else-part]
    // else-part := elsif (one If and nothing else) | P indent "else {" LF block P indent "}" LF
    // (LF and P, the "# " of a switched-off rule, in script mode only). An empty block or else
    // part (one None) is P and the inner indent, and the closing brace ends that same line.
    void writeIf(SieveCommand& command, unsigned depth, bool asElsif, bool off, unsigned level) {
        if (asElsif) {
            out_ += "els";
        }
        out_ += "if ";
        writeTest(command.test, level + 1);
        if (script_) {
            out_ += '\n';
            prefix(off);
            writeIndent(depth);
        }
        out_ += " {";
        lineEnd();
        writeBlockEnd(writeChain(command, command.block, depth + 1, off, level), depth, off);

        SieveCommand* elsePart = command.elsePart;
        if (!elsePart) {
            return;
        }
        if (elsePart->kind == CommandKind::If && !elsePart->next) {
            elsePart->parent = &command;
            writeCommand(*elsePart, depth, true, level + 1);
            return;
        }
        prefix(off);
        writeIndent(depth);
        out_ += "else {";
        lineEnd();
        writeBlockEnd(writeChain(command, elsePart, depth + 1, off, level), depth, off);
    }

    // Writes the commands of a block or else part. Returns true for a chain of one None: its
    // line is begun and left open.
    bool writeChain(SieveCommand& owner, SieveCommand* first, unsigned depth, bool off,
                    unsigned level) {
        if (first && first->kind == CommandKind::None && !first->next) {
            first->parent = &owner;
            prefix(off);
            writeIndent(depth);
            return true;
        }
        for (SieveCommand* c = first; c; c = c->next) {
            c->parent = &owner;
            writeCommand(*c, depth, false, level + 1);
        }
        return false;
    }

    void writeBlockEnd(bool lineBegun, unsigned depth, bool off) {
        if (!lineBegun) {
            prefix(off);
        }
        writeIndent(depth);
        out_ += '}';
        lineEnd();
    }

    // test := ["not "] ( "allof (" children ") " | "anyof (" children ") "
    //        | "exists " list | "false " | "true " | "spamtest "
    //        | "address " part " " match [comparator] " " list list
    //        | "header " match [comparator] " " list list
    //        | "size :" ("under" | "over") " " number )            (no test: "void ")
    // children := test (", " test)*
    // comparator := " :comparator \"i;octet\""       (only with the octet flag)
    // A group without children says what it means: "true " for allof, "false " for anyof.
    void writeTest(const SieveTest* test, unsigned level) {
        if (!test) {
            out_ += "void ";
            return;
        }
        if (level > kMaxNestingDepth) {
            return;
        }
        if (test->negated) {
            out_ += "not ";
        }
        switch (test->kind) {
            case TestKind::AllOf:
            case TestKind::AnyOf:
                if (!test->children) {
                    out_ += test->kind == TestKind::AllOf ? "true " : "false ";
                    break;
                }
                out_ += test->kind == TestKind::AllOf ? "allof (" : "anyof (";
                for (const SieveTest* child = test->children; child; child = child->next) {
                    if (child != test->children) {
                        out_ += ", ";
                    }
                    writeTest(child, level + 1);
                }
                out_ += ") ";
                break;
            case TestKind::Exists:
                out_ += "exists ";
                writeStringList(test->headers);
                break;
            case TestKind::False:
                out_ += "false ";
                break;
            case TestKind::True:
                out_ += "true ";
                break;
            case TestKind::SpamTest:
                out_ += "spamtest ";
                break;
            case TestKind::Address:
                out_ += "address ";
                out_ += test->addressPart == AddressPart::All         ? ":all"
                        : test->addressPart == AddressPart::LocalPart ? ":localpart"
                                                                      : ":domain";
                out_ += ' ';
                writeMatchType(*test);
                out_ += ' ';
                writeStringList(test->headers);
                writeStringList(test->keys);
                break;
            case TestKind::Header:
                out_ += "header ";
                writeMatchType(*test);
                out_ += ' ';
                writeStringList(test->headers);
                writeStringList(test->keys);
                break;
            case TestKind::Size:
                out_ += "size :";
                out_ += test->sizeRelation == SizeRelation::Under ? "under" : "over";
                out_ += ' ';
                out_ += std::to_string(test->sizeLimit);  // unsigned: at most 10 digits
                break;
            default:
                break;
        }
    }

    void writeMatchType(const SieveTest& test) {
        out_ += test.matchType == MatchType::Is         ? ":is"
                : test.matchType == MatchType::Contains ? ":contains"
                                                        : ":matches";
        if (test.octetComparator) {
            out_ += " :comparator \"i;octet\"";
        }
    }

    // list := "\"\" " (empty) | quoted " " | "[" quoted (", " quoted)* "] "
    void writeStringList(const StringList& list) {
        if (list.empty()) {
            out_ += "\"\" ";
            return;
        }
        if (list.size() == 1) {
            writeQuoted(list.front());
            out_ += ' ';
            return;
        }
        out_ += '[';
        for (size_t i = 0; i < list.size(); ++i) {
            if (i > 0) {
                out_ += ", ";
            }
            writeQuoted(list[i]);
        }
        out_ += "] ";
    }

    // A double quote, the text with ' " \ CR LF TAB escaped, a double quote.
    void writeQuoted(std::string_view text) {
        out_ += '"';
        size_t run = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const char* escape = nullptr;
            switch (text[i]) {
                case '\'':
                    escape = "\\'";
                    break;
                case '"':
                    escape = "\\\"";
                    break;
                case '\\':
                    escape = "\\\\";
                    break;
                case '\r':
                    escape = "\\r";
                    break;
                case '\n':
                    escape = "\\n";
                    break;
                case '\t':
                    escape = "\\t";
                    break;
                default:
                    continue;
            }
            out_.append(text.data() + run, i - run);
            out_ += escape;
            run = i + 1;
        }
        out_.append(text.data() + run, text.size() - run);
        out_ += '"';
    }

    void writeIndent(unsigned depth) { out_.append(2 * static_cast<size_t>(depth), ' '); }

    void prefix(bool off) {
        if (off) {
            out_ += "# ";
        }
    }

    void lineEnd() {
        if (script_) {
            out_ += '\n';
        }
    }

    Out& out_;
    const bool script_;
};

template <typename Out>
void writeScript(Out& out, SieveCommand* first) {
    SieveWriter<Out> writer(out, GenerateMode::Script);
    for (SieveCommand* c = first; c; c = c->next) {
        c->parent = nullptr;  // a rule's state is its own flag
        writer.writeCommand(*c, 0, false, 0);
    }
}

}  // namespace

void generateScript(std::string& out, SieveCommand* first) {
    SizeCounter counter;
    writeScript(counter, first);
    out.reserve(out.size() + counter.size);
    writeScript(out, first);
}

void generateCommand(std::string& out, SieveCommand& command, unsigned depth, GenerateMode mode,
                     bool asElsif) {
    SizeCounter counter;
    SieveWriter<SizeCounter>(counter, mode).writeCommand(command, depth, asElsif, 0);
    out.reserve(out.size() + counter.size);
    SieveWriter<std::string>(out, mode).writeCommand(command, depth, asElsif, 0);
}

}  // namespace wq::rules
