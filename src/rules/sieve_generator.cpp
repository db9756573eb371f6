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
    // A top-level command gets a marker line ("#!", the digit of its own flag, a space, its
    // text1, a line end) when its flag is clear or its text1 is not empty. Every line of a
    // switched-off rule begins with "# ", so that the reader sees the whole rule as switched off.
    void writeCommand(SieveCommand& command, unsigned depth, bool asElsif, unsigned level) {
        if (level > kMaxNestingDepth) {
            return;
        }
        if (script_ && depth == 0 && (!command.enabled || !command.text1.empty())) {
            out_ += "#!";
            out_ += command.enabled ? '1' : '0';
            out_ += ' ';
            out_ += command.text1.view();
            out_ += '\n';
        }
        const bool off = script_ && !ruleState(command);
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
                out_ += "notify";
                if (!command.text1.empty()) {
                    out_ += " :options ";
                    writeQuoted(command.text1);
                }
                if (!command.argument.empty()) {
                    out_ += " :message ";
                    writeQuoted(command.argument);
                }
                out_ += ';';
                break;
            case CommandKind::Vacation:
                // The days (text2) are not written.
                out_ += "vacation";
                if (!command.text1.empty()) {
                    out_ += " :subject ";
                    writeQuoted(command.text1);
                }
                out_ += ' ';
                writeQuoted(command.argument);
                out_ += ';';
                break;
            case CommandKind::If:
                writeIf(command, depth, asElsif, off, level);
                return;
            case CommandKind::None:
            default:
                // Nothing, not even a line end: what follows continues on this line.
                return;
        }
        lineEnd();
    }

  private:
    // if := ["els"] "if " test LF P indent " {" LF block P indent "}" LF [else-part]
    // else-part := elsif (one If and nothing else) | P indent "else {" LF block P indent "}" LF
    // (LF and P, the "# " of a switched-off rule, in script mode only)
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
        writeChain(command, command.block, depth + 1, level);
        prefix(off);
        writeIndent(depth);
        out_ += '}';
        lineEnd();

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
        writeChain(command, elsePart, depth + 1, level);
        prefix(off);
        writeIndent(depth);
        out_ += '}';
        lineEnd();
    }

    void writeChain(SieveCommand& owner, SieveCommand* first, unsigned depth, unsigned level) {
        for (SieveCommand* c = first; c; c = c->next) {
            c->parent = &owner;
            writeCommand(*c, depth, false, level + 1);
        }
    }

    // test := ["not "] ( "allof (" children ") " | "anyof (" children ") "
    //        | "exists " list | "false " | "true " | "spamtest "
    //        | "address " part " " match " " list list | "header " match " " list list
    //        | "size :" ("under" | "over") " " number )            (no test: "void ")
    // children := test (", " test)*
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
                writeMatchType(test->matchType);
                out_ += ' ';
                writeStringList(test->headers);
                writeStringList(test->keys);
                break;
            case TestKind::Header:
                out_ += "header ";
                writeMatchType(test->matchType);
                out_ += ' ';
                writeStringList(test->headers);
                writeStringList(test->keys);
                break;
            case TestKind::Size:
                out_ += "size :";
                out_ += test->sizeRelation == SizeRelation::Under ? "under" : "over";
                out_ += ' ';
                out_ += std::to_string(test->sizeLimit);  // at most 11 characters
                break;
            default:
                break;
        }
    }

    void writeMatchType(MatchType type) {
        out_ += type == MatchType::Is         ? ":is"
                : type == MatchType::Contains ? ":contains"
                                              : ":matches";
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
