// The IMAP protocol engine of one connection. Bytes come in through feed(); a command is cut
// into lines (a line ends at a line feed, a carriage return before it is dropped) and tokens
// (atoms, quoted strings, literals, parentheses), then run against the mail store. Nothing here
// touches a socket, so the fuzz target and the network layer drive the same code.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qorvad.h"
#include "store_util.h"

namespace qorvad {

namespace {

constexpr const char* kServerName = "Qorva MailServer";
constexpr size_t kMaxLiteralsPerCommand = 16;
constexpr size_t kMaxCommandBytes = Session::kMaxLiteral + 4 * Session::kMaxLine;

struct Token {
    enum Kind { Atom, Quoted, Literal, Open, Close };
    Kind kind;
    std::string text;

    bool isString() const { return kind == Atom || kind == Quoted || kind == Literal; }
};

bool isAtomChar(unsigned char c) {
    // Everything but the atom specials; list wildcards, "\\" (flags) and "]" are let through
    // because sequence sets, patterns, flags and group identifiers are read as atoms.
    return c > 0x20 && c != 0x7F && c != '(' && c != ')' && c != '{' && c != '"';
}

bool isTagChar(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != '(' && c != ')' && c != '{' && c != '"' && c != '%' &&
           c != '*' && c != '+' && c != '\\';
}

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// An identifier or rights text as an atom when it can be one, else quoted.
std::string astring(std::string_view s) {
    bool atom = !s.empty();
    for (unsigned char c : s) {
        if (!isAtomChar(c) || c == '%' || c == '*' || c == '\\' || c >= 0x80)
            atom = false;
    }
    return atom ? std::string(s) : quote(s);
}

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == 0)
            return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= s.size())
            return false;
        uint32_t cp = extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 7);
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d >> 6) != 2)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

// IMAP list pattern match: "*" matches anything, "%" anything but the separator "/".
// Dynamic programming over (pattern, name) keeps it linear in their product.
bool patternMatch(std::string_view pattern, std::string_view name) {
    // row[j]: the pattern read so far matches name[0, j).
    std::vector<char> row(name.size() + 1, 0), next(name.size() + 1, 0);
    row[0] = 1;
    for (char p : pattern) {
        std::fill(next.begin(), next.end(), 0);
        if (p == '*' || p == '%') {
            bool reach = false;
            for (size_t j = 0; j <= name.size(); ++j) {
                if (row[j])
                    reach = true;
                if (reach)
                    next[j] = 1;
                if (p == '%' && j < name.size() && name[j] == '/')
                    reach = false;
            }
        } else {
            for (size_t j = 0; j < name.size(); ++j) {
                if (row[j] && name[j] == p)
                    next[j + 1] = 1;
            }
        }
        row.swap(next);
    }
    return row[name.size()] != 0;
}

// Identifiers come back in ACL lines: no control characters, which could end a reply line.
bool validIdentifier(std::string_view id) {
    if (id.empty() || id.size() > Session::kMaxName)
        return false;
    for (unsigned char c : id) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

const char* const kSystemFlags[] = {"\\Answered", "\\Flagged", "\\Deleted", "\\Seen", "\\Draft"};

}  // namespace

// ---------------------------------------------------------------------------------------------

struct Session::Impl {
    Mailstore& store;
    Faults faults;
    bool tls;

    enum class State { NotAuthenticated, Authenticated, Selected, Closed };
    State state = State::NotAuthenticated;
    std::string user;
    std::string selected;
    bool readOnly = false;
    int badCount = 0;

    // Input and the command being assembled across lines and literals.
    std::string in;
    size_t pos = 0;
    bool continuation = false;
    bool inLiteral = false;
    size_t literalSize = 0;
    size_t literalCount = 0;
    size_t commandBytes = 0;
    std::string tag;
    std::vector<Token> tokens;

    Impl(Mailstore& s, Faults f, bool t) : store(s), faults(std::move(f)), tls(t) {
        // Command names in the faults match whatever case the test wrote them in.
        std::map<std::string, std::string> scripted, canned;
        for (const auto& [k, v] : faults.scripted)
            scripted[upperCase(k)] = upperCase(v);
        for (const auto& [k, v] : faults.scriptedReplies)
            canned[upperCase(k)] = v;
        faults.scripted.swap(scripted);
        faults.scriptedReplies.swap(canned);
    }

    // --- reply building ------------------------------------------------------------------

    struct Out {
        const Faults& faults;
        Reply reply;
        bool zeroPlaced = false;

        std::string word(std::string_view w) const {
            std::string s(w);
            if (faults.lowerCaseStatus) {
                for (char& c : s)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            return s;
        }
        void data(const std::string& line) {
            reply.text += "* " + line;
            if (faults.zeroByteInData && !zeroPlaced) {
                reply.text += '\0';
                zeroPlaced = true;
            }
            reply.text += "\r\n";
        }
        void raw(std::string_view bytes) { reply.text.append(bytes.data(), bytes.size()); }
        // Bytes sent from where they are, at this point of the reply (one body per reply).
        void body(std::shared_ptr<const std::string> bytes) {
            reply.body = std::move(bytes);
            reply.bodyAt = reply.text.size();
        }
        void status(std::string_view w, const std::string& text) {
            reply.text += "* " + word(w) + " " + text + "\r\n";
        }
        void done(const std::string& tag, std::string_view w, const std::string& text) {
            reply.text += word(tag) + " " + word(w) + " " + text + "\r\n";
        }
    };

    Out begin(const std::string& command) {
        Out out{faults, Reply{}, false};
        out.reply.command = command;
        return out;
    }

    void bad(std::vector<Reply>& replies, const std::string& t, const std::string& why) {
        Out out = begin("");
        out.done(t, "BAD", why);
        replies.push_back(std::move(out.reply));
        countBad(replies);
    }

    void countBad(std::vector<Reply>& replies) {
        if (++badCount < kMaxBadCommands)
            return;
        Out out = begin("");
        out.status("BYE", "Too many invalid commands.");
        out.reply.close = true;
        replies.push_back(std::move(out.reply));
        state = State::Closed;
    }

    void resetCommand() {
        continuation = false;
        inLiteral = false;
        literalCount = 0;
        commandBytes = 0;
        tag.clear();
        tokens.clear();
    }

    // --- tokenizer -----------------------------------------------------------------------

    enum class Scan { Complete, NeedLiteral, Error };

    // Appends the tokens of one line. A literal announcement must end the line.
    Scan scan(std::string_view line, std::string& error, bool& sync) {
        size_t i = 0;
        while (i < line.size()) {
            unsigned char c = static_cast<unsigned char>(line[i]);
            if (c == ' ') {
                ++i;
            } else if (c == '(') {
                tokens.push_back({Token::Open, "("});
                ++i;
            } else if (c == ')') {
                tokens.push_back({Token::Close, ")"});
                ++i;
            } else if (c == '"') {
                std::string text;
                size_t j = i + 1;
                bool closed = false;
                while (j < line.size()) {
                    char d = line[j];
                    if (d == '"') {
                        closed = true;
                        break;
                    }
                    // Only \\ and \" are escapes; a backslash before anything else stays, since
                    // clients that quote without escaping send names such as "a\b" as they are.
                    if (d == '\\' && j + 1 < line.size() &&
                        (line[j + 1] == '"' || line[j + 1] == '\\')) {
                        text += line[j + 1];
                        j += 2;
                        continue;
                    }
                    if (d == '\0') {
                        error = "NUL byte in quoted string";
                        return Scan::Error;
                    }
                    text += d;
                    ++j;
                }
                if (!closed) {
                    error = "Unterminated quoted string";
                    return Scan::Error;
                }
                i = j + 1;
                if (i < line.size() && line[i] != ' ' && line[i] != ')') {
                    error = "Missing space after quoted string";
                    return Scan::Error;
                }
                tokens.push_back({Token::Quoted, std::move(text)});
            } else if (c == '{') {
                size_t close = line.find('}', i);
                if (close == std::string_view::npos || close + 1 != line.size()) {
                    error = "Literal announcement must end the line";
                    return Scan::Error;
                }
                std::string_view inside = line.substr(i + 1, close - i - 1);
                sync = true;
                if (!inside.empty() && inside.back() == '+') {
                    sync = false;
                    inside.remove_suffix(1);
                }
                if (inside.empty() || inside.size() > 10) {
                    error = "Invalid literal size";
                    return Scan::Error;
                }
                size_t n = 0;
                for (char d : inside) {
                    if (d < '0' || d > '9') {
                        error = "Invalid literal size";
                        return Scan::Error;
                    }
                    n = n * 10 + static_cast<size_t>(d - '0');
                }
                literalSize = n;
                return Scan::NeedLiteral;
            } else if (isAtomChar(c)) {
                size_t j = i;
                while (j < line.size() && isAtomChar(static_cast<unsigned char>(line[j])))
                    ++j;
                tokens.push_back({Token::Atom, std::string(line.substr(i, j - i))});
                i = j;
            } else {
                error = c == 0 ? "NUL byte in command" : "Invalid character in command";
                return Scan::Error;
            }
        }
        return Scan::Complete;
    }

    // --- input ---------------------------------------------------------------------------

    bool feed(std::string_view bytes, std::vector<Reply>& replies) {
        if (state == State::Closed)
            return false;
        in.append(bytes.data(), bytes.size());
        while (state != State::Closed) {
            if (inLiteral) {
                if (in.size() - pos < literalSize)
                    break;
                tokens.push_back({Token::Literal, in.substr(pos, literalSize)});
                pos += literalSize;
                inLiteral = false;
                continue;
            }
            size_t lf = in.find('\n', pos);
            if (lf == std::string::npos) {
                if (in.size() - pos > kMaxLine) {
                    Out out = begin("");
                    out.status("BYE", "Command line too long.");
                    out.reply.close = true;
                    replies.push_back(std::move(out.reply));
                    state = State::Closed;
                }
                break;
            }
            std::string_view line(in.data() + pos, lf - pos);
            pos = lf + 1;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (line.size() > kMaxLine) {
                Out out = begin("");
                out.status("BYE", "Command line too long.");
                out.reply.close = true;
                replies.push_back(std::move(out.reply));
                state = State::Closed;
                break;
            }
            handleLine(std::string(line), replies);
        }
        // Drop what has been consumed; keep the unfinished rest.
        in.erase(0, pos);
        pos = 0;
        return state != State::Closed;
    }

    void handleLine(const std::string& line, std::vector<Reply>& replies) {
        if (!continuation) {
            if (line.empty()) {
                // A client that ends a command with "\n\r\n" sends an empty line after it.
                if (faults.badOnEmptyLine) {
                    Out out = begin("");
                    out.status("BAD", "Error in IMAP tag: Invalid tag");
                    replies.push_back(std::move(out.reply));
                }
                return;
            }
            size_t space = line.find(' ');
            tag = line.substr(0, space);
            bool tagOk = !tag.empty();
            for (unsigned char c : tag)
                tagOk = tagOk && isTagChar(c);
            if (!tagOk) {
                Out out = begin("");
                out.status("BAD", "Invalid tag.");
                replies.push_back(std::move(out.reply));
                countBad(replies);
                resetCommand();
                return;
            }
            if (space == std::string::npos) {
                std::string t = tag;
                resetCommand();
                bad(replies, t, "Missing command.");
                return;
            }
            continuation = true;
            commandBytes = line.size();
            scanAndRun(line.substr(space + 1), replies);
            return;
        }
        commandBytes += line.size();
        scanAndRun(line, replies);
    }

    void scanAndRun(const std::string& text, std::vector<Reply>& replies) {
        std::string error;
        bool sync = true;
        Scan result = scan(text, error, sync);
        std::string t = tag;
        if (result == Scan::Error) {
            resetCommand();
            bad(replies, t, error + ".");
            return;
        }
        if (result == Scan::NeedLiteral) {
            commandBytes += literalSize;
            if (literalSize > kMaxLiteral || ++literalCount > kMaxLiteralsPerCommand ||
                commandBytes > kMaxCommandBytes) {
                resetCommand();
                Out out = begin("");
                if (sync) {
                    // The client waits for our go-ahead, so the literal never comes.
                    out.done(t, "NO", "[TOOBIG] Literal too large.");
                } else {
                    // The bytes are on their way and cannot be told from commands: give up.
                    out.done(t, "BAD", "[TOOBIG] Literal too large.");
                    out.status("BYE", "Literal too large.");
                    out.reply.close = true;
                    state = State::Closed;
                }
                replies.push_back(std::move(out.reply));
                return;
            }
            if (sync) {
                Out out = begin("");
                out.raw("+ Ready for literal data\r\n");
                replies.push_back(std::move(out.reply));
            }
            inLiteral = true;
            return;
        }
        std::vector<Token> args = std::move(tokens);
        resetCommand();
        run(t, args, replies);
    }

    // --- commands --------------------------------------------------------------------------

    void run(const std::string& t, std::vector<Token>& args, std::vector<Reply>& replies) {
        if (args.empty() || args[0].kind != Token::Atom) {
            bad(replies, t, "Missing command.");
            return;
        }
        std::string name = upperCase(args[0].text);
        args.erase(args.begin());
        Out out = begin(name);
        auto canned = faults.scriptedReplies.find(name);
        if (canned != faults.scriptedReplies.end()) {
            std::string text = canned->second;
            for (size_t at = text.find("{tag}"); at != std::string::npos;
                 at = text.find("{tag}", at + t.size())) {
                text.replace(at, 5, t);
            }
            out.raw(text);
            replies.push_back(std::move(out.reply));
            return;
        }
        auto scripted = faults.scripted.find(name);
        if (scripted != faults.scripted.end()) {
            out.done(t, scripted->second, "Scripted failure of " + name + ".");
            replies.push_back(std::move(out.reply));
            return;
        }
        bool ok = dispatch(name, t, args, out);
        replies.push_back(std::move(out.reply));
        if (ok) {
            badCount = 0;
        } else {
            countBad(replies);
        }
    }

    // Runs the command and writes its reply; false when the reply was BAD.
    bool dispatch(const std::string& name, const std::string& t, const std::vector<Token>& args,
                  Out& out) {
        if (name == "CAPABILITY")
            return noArgs(t, args, out) && capability(t, out);
        if (name == "NOOP")
            return noArgs(t, args, out) && (out.done(t, "OK", "NOOP completed."), true);
        if (name == "LOGOUT")
            return noArgs(t, args, out) && logout(t, out);
        if (name == "LOGIN")
            return login(t, args, out);
        if (name == "AUTHENTICATE" || name == "STARTTLS") {
            out.done(t, "NO", "[CANNOT] " + name + " is not supported; use LOGIN.");
            return true;
        }
        static const char* const kAuthenticated[] = {
            "SELECT",   "EXAMINE",     "LIST",        "LSUB",      "SUBSCRIBE", "UNSUBSCRIBE",
            "CREATE",   "DELETE",      "APPEND",      "GETACL",    "SETACL",    "DELETEACL",
            "MYRIGHTS", "X-GETSCRIPT", "X-PUTSCRIPT", "X-LISTMAP", "X-SETMAP",  "X-DELETEMAP",
            "STORE",    "EXPUNGE",     "CLOSE"};
        bool known = false;
        for (const char* k : kAuthenticated)
            known = known || name == k;
        if (!known) {
            out.done(t, "BAD", "Unknown command " + name + ".");
            return false;
        }
        if (state == State::NotAuthenticated) {
            out.done(t, "BAD", "Log in first.");
            return false;
        }
        if (name == "SELECT" || name == "EXAMINE")
            return select(t, args, out, name == "EXAMINE");
        if (name == "LIST" || name == "LSUB")
            return list(t, args, out, name);
        if (name == "SUBSCRIBE" || name == "UNSUBSCRIBE")
            return subscribe(t, args, out, name);
        if (name == "CREATE")
            return create(t, args, out);
        if (name == "DELETE")
            return remove(t, args, out);
        if (name == "APPEND")
            return append(t, args, out);
        if (name == "GETACL")
            return getAcl(t, args, out);
        if (name == "SETACL")
            return setAcl(t, args, out);
        if (name == "DELETEACL")
            return deleteAcl(t, args, out);
        if (name == "MYRIGHTS")
            return myRights(t, args, out);
        if (name == "X-GETSCRIPT")
            return noArgs(t, args, out) && getScript(t, out);
        if (name == "X-PUTSCRIPT")
            return putScript(t, args, out);
        if (name == "X-LISTMAP")
            return noArgs(t, args, out) && listMap(t, out);
        if (name == "X-SETMAP")
            return setMap(t, args, out);
        if (name == "X-DELETEMAP")
            return deleteMap(t, args, out);
        if (state != State::Selected) {
            out.done(t, "BAD", "No mailbox selected.");
            return false;
        }
        if (name == "STORE")
            return storeFlags(t, args, out);
        if (name == "EXPUNGE")
            return noArgs(t, args, out) && expunge(t, out, true);
        return noArgs(t, args, out) && close(t, out);
    }

    bool noArgs(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (args.empty())
            return true;
        out.done(t, "BAD", "Unexpected arguments.");
        return false;
    }

    // Checks that args are `count` strings; writes BAD otherwise.
    bool strings(const std::string& t, const std::vector<Token>& args, size_t count, Out& out,
                 const char* usage) {
        bool ok = args.size() == count;
        for (const Token& a : args)
            ok = ok && a.isString();
        if (!ok)
            out.done(t, "BAD", std::string("Usage: ") + usage + ".");
        return ok;
    }

    // A mailbox argument: valid modified UTF-7, without a trailing separator.
    bool mailboxName(const std::string& t, const Token& arg, Out& out, std::string& name) {
        name = arg.text;
        while (name.size() > 1 && name.back() == '/')
            name.pop_back();
        if (name.size() > kMaxName) {
            out.done(t, "NO", "[CANNOT] Mailbox name too long.");
            return false;
        }
        std::string utf8;
        if (name.empty() || !mutf7Decode(name, utf8)) {
            out.done(t, "NO", "[CANNOT] Mailbox name is not valid modified UTF-7.");
            return false;
        }
        name = canonicalFolder(name);
        return true;
    }

    // The rights of the user on an existing folder; NO [NONEXISTENT] when the folder is
    // missing or hidden from the user, NO [NOPERM] when `need` (any one of its letters) is
    // not held.
    bool rights(const std::string& t, const std::string& name, std::string_view need, Out& out) {
        std::string held = store.rightsOf(user, name);
        if (held.empty() || held.find('l') == std::string::npos) {
            out.done(t, "NO", "[NONEXISTENT] Mailbox does not exist.");
            return false;
        }
        if (!need.empty() && held.find_first_of(need) == std::string::npos) {
            out.done(t, "NO", "[NOPERM] Permission denied.");
            return false;
        }
        return true;
    }

    bool capability(const std::string& t, Out& out) {
        out.data(faults.announceAcl ? "CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA"
                                    : "CAPABILITY IMAP4rev1 LITERAL+ X-QORVA");
        out.done(t, "OK", "CAPABILITY completed.");
        return true;
    }

    bool logout(const std::string& t, Out& out) {
        out.status("BYE", std::string(kServerName) + " logging out.");
        out.done(t, "OK", "LOGOUT completed.");
        out.reply.close = true;
        state = State::Closed;
        return true;
    }

    bool login(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (state != State::NotAuthenticated) {
            out.done(t, "BAD", "Already logged in.");
            return false;
        }
        if (!strings(t, args, 2, out, "LOGIN user password"))
            return false;
        if (!store.checkPassword(args[0].text, args[1].text)) {
            out.done(t, "NO", "[AUTHENTICATIONFAILED] Authentication failed.");
            return true;
        }
        user = args[0].text;
        state = State::Authenticated;
        out.done(t, "OK", "LOGIN completed.");
        return true;
    }

    bool select(const std::string& t, const std::vector<Token>& args, Out& out, bool examine) {
        const char* cmd = examine ? "EXAMINE" : "SELECT";
        if (!strings(t, args, 1, out, examine ? "EXAMINE mailbox" : "SELECT mailbox"))
            return false;
        // A failed SELECT leaves no mailbox selected.
        state = State::Authenticated;
        selected.clear();
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "r", out))
            return true;
        std::vector<FolderInfo> all = store.folders(user);
        auto it = std::find_if(all.begin(), all.end(),
                               [&](const FolderInfo& f) { return f.name == name; });
        if (it == all.end()) {
            out.done(t, "NO", "[NONEXISTENT] Mailbox does not exist.");
            return true;
        }
        if (!it->selectable) {
            out.done(t, "NO", "[CANNOT] Mailbox cannot be selected.");
            return true;
        }
        std::vector<Message> messages = store.messages(user, name);
        size_t unseen = 0;
        for (size_t i = 0; i < messages.size() && unseen == 0; ++i) {
            if (!messages[i].hasFlag("\\Seen"))
                unseen = i + 1;
        }
        out.data("FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)");
        out.status("OK",
                   "[PERMANENTFLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft \\*)] "
                   "Flags permitted.");
        out.data(std::to_string(messages.size()) + " EXISTS");
        out.data("0 RECENT");
        if (unseen)
            out.status("OK", "[UNSEEN " + std::to_string(unseen) + "] First unseen.");
        out.status("OK", "[UIDVALIDITY 1] UIDs valid.");
        state = State::Selected;
        selected = name;
        readOnly = examine || store.rightsOf(user, name).find_first_of("swtd") == std::string::npos;
        out.done(t, "OK",
                 std::string(readOnly ? "[READ-ONLY] " : "[READ-WRITE] ") + cmd + " completed.");
        return true;
    }

    bool list(const std::string& t, const std::vector<Token>& args, Out& out,
              const std::string& cmd) {
        if (!strings(t, args, 2, out, (cmd + " reference pattern").c_str()))
            return false;
        std::string pattern = args[0].text + args[1].text;
        if (pattern.size() > kMaxName) {
            out.done(t, "BAD", "Pattern too long.");
            return false;
        }
        if (args[1].text.empty()) {
            if (cmd == "LIST")
                out.data("LIST (\\Noselect) \"/\" \"\"");
            out.done(t, "OK", cmd + " completed.");
            return true;
        }
        pattern = canonicalFolder(pattern);
        std::string line;
        for (const FolderInfo& f : store.folders(user)) {
            if (cmd == "LSUB" && !f.subscribed)
                continue;
            if (!patternMatch(pattern, f.name))
                continue;
            line = cmd;
            line += f.selectable ? " () \"/\" " : " (\\Noselect) \"/\" ";
            line += quote(f.name);
            out.data(line);
        }
        out.done(t, "OK", cmd + " completed.");
        return true;
    }

    bool subscribe(const std::string& t, const std::vector<Token>& args, Out& out,
                   const std::string& cmd) {
        if (!strings(t, args, 1, out, (cmd + " mailbox").c_str()))
            return false;
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "", out))
            return true;
        store.setSubscribed(user, name, cmd == "SUBSCRIBE");
        out.done(t, "OK", cmd + " completed.");
        return true;
    }

    bool create(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 1, out, "CREATE mailbox"))
            return false;
        std::string name;
        if (!mailboxName(t, args[0], out, name))
            return true;
        if (store.hasFolder(user, name)) {
            out.done(t, "NO", "[ALREADYEXISTS] Mailbox already exists.");
            return true;
        }
        if (name[0] == '#') {
            size_t slash = name.rfind('/');
            if (slash == std::string::npos) {
                out.done(t, "NO", "[NOPERM] Permission denied.");
                return true;
            }
            if (!rights(t, name.substr(0, slash), "ck", out))
                return true;
        }
        store.addFolder(user, name, false, true);
        out.done(t, "OK", "CREATE completed.");
        return true;
    }

    bool remove(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 1, out, "DELETE mailbox"))
            return false;
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "xc", out))
            return true;
        if (name == "INBOX") {
            out.done(t, "NO", "[CANNOT] INBOX cannot be deleted.");
            return true;
        }
        if (selected == name) {
            state = State::Authenticated;
            selected.clear();
        }
        store.removeFolder(user, name);
        out.done(t, "OK", "DELETE completed.");
        return true;
    }

    bool parseFlags(const std::vector<Token>& args, size_t from, size_t to,
                    std::vector<std::string>& flags) {
        for (size_t i = from; i < to; ++i) {
            if (args[i].kind != Token::Atom)
                return false;
            std::string flag = args[i].text;
            if (flag[0] == '\\') {
                bool known = false;
                for (const char* f : kSystemFlags) {
                    if (upperCase(f) == upperCase(flag)) {
                        flag = f;
                        known = true;
                    }
                }
                if (!known)
                    return false;
            } else if (flag.find_first_of("%*]") != std::string::npos) {
                return false;
            }
            flags.push_back(flag);
        }
        return true;
    }

    // "(" flags ")" or bare flags filling args[from, end).
    bool flagList(const std::vector<Token>& args, size_t from, size_t end,
                  std::vector<std::string>& flags) {
        if (from < end && args[from].kind == Token::Open) {
            if (args[end - 1].kind != Token::Close)
                return false;
            return parseFlags(args, from + 1, end - 1, flags);
        }
        return parseFlags(args, from, end, flags);
    }

    bool append(const std::string& t, const std::vector<Token>& args, Out& out) {
        // APPEND mailbox [(flags)] [date-time] literal
        if (args.size() < 2 || !args[0].isString() || args.back().kind != Token::Literal) {
            out.done(t, "BAD", "Usage: APPEND mailbox [(flags)] [date-time] {size}.");
            return false;
        }
        std::vector<std::string> flags;
        size_t end = args.size() - 1;
        if (end > 1 && args[end - 1].kind == Token::Quoted)
            --end;  // date-time, not kept
        if (end > 1 && !flagList(args, 1, end, flags)) {
            out.done(t, "BAD", "Invalid flags.");
            return false;
        }
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "i", out))
            return true;
        store.addMessage(user, name, args.back().text, flags);
        out.done(t, "OK", "APPEND completed.");
        return true;
    }

    // Sequence set against `count` messages; ranges sorted and merged. In an empty mailbox a
    // range that ends in "*" is empty; any other number outside 1..count is an error.
    static bool sequenceSet(const std::string& text, size_t count,
                            std::vector<std::pair<size_t, size_t>>& ranges) {
        auto number = [count](std::string_view s, size_t& n, bool& star) {
            star = s == "*";
            if (star) {
                n = count;
                return true;
            }
            if (s.empty() || s.size() > 10 || s[0] == '0')
                return false;
            n = 0;
            for (char c : s) {
                if (c < '0' || c > '9')
                    return false;
                n = n * 10 + static_cast<size_t>(c - '0');
            }
            return true;
        };
        size_t start = 0;
        while (start <= text.size()) {
            size_t comma = text.find(',', start);
            if (comma == std::string::npos)
                comma = text.size();
            std::string_view part(text.data() + start, comma - start);
            size_t colon = part.find(':');
            size_t a = 0, b = 0;
            bool starA = false, starB = false;
            if (!number(part.substr(0, colon), a, starA))
                return false;
            if (colon == std::string_view::npos) {
                b = a;
                starB = starA;
            } else if (!number(part.substr(colon + 1), b, starB)) {
                return false;
            }
            if (a > b)
                std::swap(a, b);
            if (count == 0 && (starA || starB)) {
                // nothing in an empty mailbox
            } else {
                if (a < 1 || b > count)
                    return false;
                ranges.push_back({a, b});
            }
            start = comma + 1;
        }
        std::sort(ranges.begin(), ranges.end());
        std::vector<std::pair<size_t, size_t>> merged;
        for (const auto& r : ranges) {
            if (!merged.empty() && r.first <= merged.back().second + 1) {
                merged.back().second = std::max(merged.back().second, r.second);
            } else {
                merged.push_back(r);
            }
        }
        ranges.swap(merged);
        return true;
    }

    bool storeFlags(const std::string& t, const std::vector<Token>& args, Out& out) {
        // STORE set [+|-]FLAGS[.SILENT] (flags)
        if (args.size() < 3 || args[0].kind != Token::Atom || args[1].kind != Token::Atom) {
            out.done(t, "BAD", "Usage: STORE set [+|-]FLAGS[.SILENT] (flags).");
            return false;
        }
        std::string item = upperCase(args[1].text);
        char op = '=';
        if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
            op = item[0];
            item.erase(0, 1);
        }
        bool silent = item == "FLAGS.SILENT";
        std::vector<std::string> flags;
        if ((item != "FLAGS" && !silent) || !flagList(args, 2, args.size(), flags)) {
            out.done(t, "BAD", "Invalid STORE item or flags.");
            return false;
        }
        std::vector<Message> messages = store.messages(user, selected);
        std::vector<std::pair<size_t, size_t>> ranges;
        if (!sequenceSet(args[0].text, messages.size(), ranges)) {
            out.done(t, "BAD", "Invalid message sequence set.");
            return false;
        }
        if (readOnly) {
            out.done(t, "NO", "[READ-ONLY] Mailbox is read-only.");
            return true;
        }
        std::string held = store.rightsOf(user, selected);
        // Replacing the flags may drop any flag, so it needs the write right as well.
        if (op == '=' && held.find('w') == std::string::npos) {
            out.done(t, "NO", "[NOPERM] Permission denied.");
            return true;
        }
        for (const std::string& f : flags) {
            std::string_view need = f == "\\Seen" ? "s" : f == "\\Deleted" ? "td" : "w";
            if (held.find_first_of(need) == std::string::npos) {
                out.done(t, "NO", "[NOPERM] Permission denied.");
                return true;
            }
        }
        for (const auto& [first, last] : ranges) {
            std::vector<std::vector<std::string>> after;
            if (!store.storeFlags(user, selected, first, last, op, flags, &after)) {
                out.done(t, "NO", "[NONEXISTENT] Mailbox does not exist.");
                return true;
            }
            for (size_t i = 0; !silent && i < after.size(); ++i) {
                std::string list;
                for (const std::string& f : after[i])
                    list += (list.empty() ? "" : " ") + f;
                out.data(std::to_string(first + i) + " FETCH (FLAGS (" + list + "))");
            }
        }
        out.done(t, "OK", "STORE completed.");
        return true;
    }

    bool expunge(const std::string& t, Out& out, bool report) {
        if (readOnly) {
            out.done(t, "NO", "[READ-ONLY] Mailbox is read-only.");
            return true;
        }
        if (store.rightsOf(user, selected).find_first_of("ed") == std::string::npos) {
            out.done(t, "NO", "[NOPERM] Permission denied.");
            return true;
        }
        std::vector<size_t> gone;
        if (!store.expunge(user, selected, &gone)) {
            out.done(t, "NO", "[NONEXISTENT] Mailbox does not exist.");
            return true;
        }
        for (size_t i = 0; report && i < gone.size(); ++i) {
            out.data(std::to_string(gone[i]) + " EXPUNGE");
        }
        if (report)
            out.done(t, "OK", "EXPUNGE completed.");
        return true;
    }

    bool close(const std::string& t, Out& out) {
        if (!readOnly && store.rightsOf(user, selected).find_first_of("ed") != std::string::npos) {
            store.expunge(user, selected, nullptr);
        }
        state = State::Authenticated;
        selected.clear();
        out.done(t, "OK", "CLOSE completed.");
        return true;
    }

    bool getAcl(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 1, out, "GETACL mailbox"))
            return false;
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "a", out))
            return true;
        // One line per identifier: clients read the first pair of each line only. A folder
        // with an empty list sends no ACL line.
        for (const AclEntry& e : store.acl(user, name)) {
            out.data("ACL " + quote(name) + " " + astring(e.identifier) + " " + astring(e.rights));
        }
        out.done(t, "OK", "GETACL completed.");
        return true;
    }

    bool setAcl(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 3, out, "SETACL mailbox identifier rights"))
            return false;
        std::string id = args[1].text;
        std::string given = args[2].text;
        char mode = '=';
        if (!given.empty() && (given[0] == '+' || given[0] == '-')) {
            mode = given[0];
            given.erase(0, 1);
        }
        if (!validIdentifier(id) || !validRights(given)) {
            out.done(t, "BAD", validIdentifier(id) ? "Invalid rights." : "Invalid identifier.");
            return false;
        }
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "a", out))
            return true;
        std::string current;
        for (const AclEntry& e : store.acl(user, name)) {
            if (e.identifier == id)
                current = e.rights;
        }
        std::string result = normalizeRights(given);
        if (mode == '+')
            result = normalizeRights(current + given);
        if (mode == '-') {
            result.clear();
            for (char c : current) {
                if (normalizeRights(given).find(c) == std::string::npos)
                    result += c;
            }
        }
        store.setAcl(user, name, id, result);
        out.done(t, "OK", "SETACL completed.");
        return true;
    }

    bool deleteAcl(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 2, out, "DELETEACL mailbox identifier"))
            return false;
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "a", out))
            return true;
        store.deleteAcl(user, name, args[1].text);
        out.done(t, "OK", "DELETEACL completed.");
        return true;
    }

    bool myRights(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 1, out, "MYRIGHTS mailbox"))
            return false;
        std::string name;
        if (!mailboxName(t, args[0], out, name) || !rights(t, name, "", out))
            return true;
        out.data("MYRIGHTS " + quote(name) + " " + astring(store.rightsOf(user, name)));
        out.done(t, "OK", "MYRIGHTS completed.");
        return true;
    }

    bool getScript(const std::string& t, Out& out) {
        // The script goes out from the store as it is: no copy, however large.
        std::shared_ptr<const std::string> script = store.sharedScript(user);
        out.data("X-GETSCRIPT {" + std::to_string(script->size()) + "}");
        out.body(std::move(script));
        out.raw("\r\n");
        out.done(t, "OK", "X-GETSCRIPT completed.");
        return true;
    }

    bool putScript(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 1, out, "X-PUTSCRIPT {size+}"))
            return false;
        if (!validUtf8(args[0].text)) {
            out.done(t, "NO", "[CANNOT] The script is not valid UTF-8.");
            return true;
        }
        store.setScript(user, args[0].text);
        out.done(t, "OK", "X-PUTSCRIPT completed.");
        return true;
    }

    bool listMap(const std::string& t, Out& out) {
        for (const Alias& a : store.aliases(user)) {
            out.data("X-LISTMAP " + quote(a.alias) + " " + quote(a.target));
        }
        out.done(t, "OK", "X-LISTMAP completed.");
        return true;
    }

    bool setMap(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 2, out, "X-SETMAP alias folder"))
            return false;
        const std::string& alias = args[0].text;
        std::string target = args[1].text;
        std::string utf8;
        if (alias.empty() || !mutf7Decode(alias, utf8) ||
            alias.find_first_of(" \"\\") != std::string::npos) {
            out.done(t, "NO", "[CANNOT] Invalid alias name.");
            return true;
        }
        if (target.empty() || (target[0] != '~' && target[0] != '#')) {
            out.done(t, "BAD", "The folder must begin with ~ or #.");
            return false;
        }
        std::string folder = target[0] == '~' ? target.substr(1) : target;
        if (folder.empty() || !mutf7Decode(folder, utf8)) {
            out.done(t, "NO", "[CANNOT] Mailbox name is not valid modified UTF-7.");
            return true;
        }
        folder = canonicalFolder(folder);
        if (target[0] == '~' && folder[0] == '#') {
            out.done(t, "NO", "[NONEXISTENT] Mailbox does not exist.");
            return true;
        }
        if (!rights(t, folder, "pi", out))
            return true;
        for (const std::string& other : store.users()) {
            if (other == user)
                continue;
            for (const Alias& a : store.aliases(other)) {
                if (a.alias == alias) {
                    out.done(t, "NO", "[ALREADYEXISTS] The alias belongs to another user.");
                    return true;
                }
            }
        }
        store.setAlias(user, alias, (target[0] == '~' ? "~" : "") + folder);
        out.done(t, "OK", "X-SETMAP completed.");
        return true;
    }

    bool deleteMap(const std::string& t, const std::vector<Token>& args, Out& out) {
        if (!strings(t, args, 1, out, "X-DELETEMAP alias"))
            return false;
        if (!store.removeAlias(user, args[0].text)) {
            out.done(t, "NO", "[NONEXISTENT] No such alias.");
            return true;
        }
        out.done(t, "OK", "X-DELETEMAP completed.");
        return true;
    }
};

// ---------------------------------------------------------------------------------------------

std::string Reply::bytes() const {
    if (!body)
        return text;
    std::string all;
    all.reserve(size());
    all.append(text, 0, bodyAt);
    all += *body;
    all.append(text, bodyAt, std::string::npos);
    return all;
}

Session::Session(Mailstore& store, Faults faults, bool tls)
    : impl_(std::make_unique<Impl>(store, std::move(faults), tls)) {}
Session::~Session() = default;

Reply Session::greeting() {
    Impl::Out out = impl_->begin("");
    std::string word = upperCase(impl_->faults.greeting);
    if (word.empty())
        word = "OK";
    if (word == "OK") {
        out.status(impl_->faults.greeting.empty() ? "OK" : impl_->faults.greeting,
                   std::string(kServerName) + " ready.");
    } else {
        out.status(impl_->faults.greeting, std::string(kServerName) + " refuses the session.");
        out.reply.close = true;
        impl_->state = Impl::State::Closed;
    }
    return std::move(out.reply);
}

bool Session::feed(std::string_view bytes, std::vector<Reply>& out) {
    return impl_->feed(bytes, out);
}

bool Session::closed() const {
    return impl_->state == Impl::State::Closed;
}

}  // namespace qorvad
