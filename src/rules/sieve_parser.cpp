// Recursive descent over the tokens of SieveLexer. Each function below carries its grammar in
// the order in which it decides; the functions return what they built, or null. The first error
// message stands (SieveLexer::fail keeps it), and parsing may go on after an error where the
// grammar allows it: the parse fails in the end because the error flag is set.
//
// Every recursive function takes the nesting depth and refuses to go deeper than
// kMaxNestingDepth, so no script can exhaust the stack.
#include "rules/sieve_parser.h"

#include <new>
#include <vector>

#include "rules/ascii.h"

namespace wq::rules {
namespace {

constexpr const char kTooDeep[] = "script nested too deeply";
constexpr const char kDefaultNotifyMessage[] = "$from$: $subject$\r\n$text$";
constexpr const char kDefaultVacationDays[] = "7";

// Records are made in the rule set's arena as they are read; a construct that fails simply
// leaves its records unlinked, and a failed parse gives the whole arena back. A record that
// cannot be made throws std::bad_alloc, which fails the parse without a message.
class SieveParser {
  public:
    SieveParser(SieveLexer& lexer, RuleArena& arena) : lex_(lexer), arena_(arena) {}

    // script := command*        (up to the first command read that yields none)
    SieveCommand* parseScriptBody() {
        SieveCommand* head = nullptr;
        SieveCommand** tail = &head;
        while (SieveCommand* command = parseCommand(nullptr, 0)) {
            *tail = command;
            tail = &command->next;
        }
        return head;
    }

  private:
    // Records made by the parser are cleared entirely, the visual flag included.
    SieveCommand* newCommand(CommandKind kind) {
        SieveCommand* command = arena_.make<SieveCommand>();
        command->kind = kind;
        command->visual = 0;
        return command;
    }

    SieveTest* newTest(TestKind kind) { return arena_.make<SieveTest>(kind); }

    bool tooDeep(unsigned depth) {
        if (depth <= kMaxNestingDepth) {
            return false;
        }
        lex_.fail(kTooDeep);
        return true;
    }

    // command := <no token> | "}"                      -> none, no error
    //          | <not an identifier>                    -> "bad token: keyword expected"
    //          | "if" if
    //          | ("keep" | "discard" | "stop") ";"
    //          | ("reject" | "fileinto" | "redirect") string ";"
    //          | "notify" notify-options
    //          | "vacation" vacation-arguments
    //          | <other identifier>                     -> "invalid command: %s"
    // A new command takes the lexer's on/off state, the pending name and the parent.
    SieveCommand* parseCommand(SieveCommand* parent, unsigned depth) {
        if (tooDeep(depth)) {
            return nullptr;
        }
        if (!lex_.next() || lex_.is(TokenType::CloseBrace)) {
            return nullptr;
        }
        if (!lex_.is(TokenType::Identifier)) {
            lex_.fail("bad token: keyword expected");
            return nullptr;
        }
        if (lex_.isKeyword("if")) {
            return parseIf(parent, depth);
        }
        SieveCommand* command = newCommand(CommandKind::None);
        command->enabled = lex_.enabled() ? 1 : 0;
        command->text1.assign(arena_, lex_.takePendingName());
        command->parent = parent;
        bool ok;
        if (lex_.isKeyword("keep")) {
            command->kind = CommandKind::Keep;
            ok = parseSemicolon();
        } else if (lex_.isKeyword("discard")) {
            command->kind = CommandKind::Discard;
            ok = parseSemicolon();
        } else if (lex_.isKeyword("stop")) {
            command->kind = CommandKind::Stop;
            ok = parseSemicolon();
        } else if (lex_.isKeyword("reject")) {
            command->kind = CommandKind::Reject;
            ok = parseStringArgument(*command);
        } else if (lex_.isKeyword("fileinto")) {
            command->kind = CommandKind::FileInto;
            ok = parseStringArgument(*command);
        } else if (lex_.isKeyword("redirect")) {
            command->kind = CommandKind::Redirect;
            ok = parseStringArgument(*command);
        } else if (lex_.isKeyword("notify")) {
            command->kind = CommandKind::Notify;
            ok = parseNotify(*command);
        } else if (lex_.isKeyword("vacation")) {
            command->kind = CommandKind::Vacation;
            ok = parseVacation(*command);
        } else {
            lex_.fail("invalid command: %s", lex_.text());
            ok = false;
        }
        return ok ? command : nullptr;
    }

    // string-argument := <no token>   -> "premature end of script: string argument expected"
    //                  | <not string> -> "bad token: string argument expected"
    //                  | string ";"
    bool parseStringArgument(SieveCommand& command) {
        if (!lex_.next()) {
            lex_.fail("premature end of script: string argument expected");
            return false;
        }
        if (!lex_.is(TokenType::String)) {
            lex_.fail("bad token: string argument expected");
            return false;
        }
        command.argument.assign(arena_, lex_.text());
        return parseSemicolon();
    }

    // notify-options := ( <no token> | ";" )                   -> done
    //                 | <not a tag>                            -> "bad token: option expected"
    //                 | (":method" | ":options" | ":message") value notify-options
    //                 | <other tag>                            -> "unknown notify command option"
    // value := <no token> -> "premature end of script: string expected" | <any token: its text>
    // The method must be "mail" ("unknown notify method") and is not kept.
    bool parseNotify(SieveCommand& command) {
        command.argument.assign(arena_, kDefaultNotifyMessage);
        for (;;) {
            if (!lex_.next() || lex_.is(TokenType::Semicolon)) {
                return true;
            }
            if (!lex_.is(TokenType::Tag)) {
                lex_.fail("bad token: option expected");
                return false;
            }
            enum class Option { Method, Options, Message } option;
            if (lex_.isTag("method")) {
                option = Option::Method;
            } else if (lex_.isTag("options")) {
                option = Option::Options;
            } else if (lex_.isTag("message")) {
                option = Option::Message;
            } else {
                lex_.fail("unknown notify command option");
                return false;
            }
            if (!lex_.next()) {
                lex_.fail("premature end of script: string expected");
                return false;
            }
            switch (option) {
                case Option::Method:
                    if (!equalsNoCase(lex_.text(), "mail")) {
                        lex_.fail("unknown notify method");
                        return false;
                    }
                    break;
                case Option::Options:
                    command.text1.assign(arena_, lex_.text());
                    break;
                case Option::Message:
                    command.argument.assign(arena_, lex_.text());
                    break;
            }
        }
    }

    // vacation-arguments := ";"                                  -> empty reply text
    //                     | (":days" | ":subject") tag-string vacation-arguments
    //                     | <other tag>                     -> "unknown vacation command option"
    //                     | reply
    // tag-string := <no token> -> "premature end of script: string expected"
    //             | <not string> -> "bad token: string expected" | string
    // reply := string ";"     (a token that is not a string: "bad token: string expected")
    // When the input ends among the tags, the last token read stands for the reply.
    bool parseVacation(SieveCommand& command) {
        command.text2.assign(arena_, kDefaultVacationDays);
        for (;;) {
            if (!lex_.next()) {
                break;
            }
            if (lex_.is(TokenType::Semicolon)) {
                return true;
            }
            if (!lex_.is(TokenType::Tag)) {
                break;
            }
            bool days = lex_.isTag("days");
            if (!days && !lex_.isTag("subject")) {
                lex_.fail("unknown vacation command option");
                return false;
            }
            if (!lex_.next()) {
                lex_.fail("premature end of script: string expected");
                return false;
            }
            if (!lex_.is(TokenType::String)) {
                lex_.fail("bad token: string expected");
                return false;
            }
            (days ? command.text2 : command.text1).assign(arena_, lex_.text());
        }
        if (!lex_.is(TokenType::String)) {
            lex_.fail("bad token: string expected");
            return false;
        }
        command.argument.assign(arena_, lex_.text());
        return parseSemicolon();
    }

    // semicolon := ";" | <no token> -> "premature end of script: semicolon expected"
    //                  | <other>    -> "bad token: semicolon expected"
    bool parseSemicolon() {
        if (!lex_.next()) {
            lex_.fail("premature end of script: semicolon expected");
            return false;
        }
        if (!lex_.is(TokenType::Semicolon)) {
            lex_.fail("bad token: semicolon expected");
            return false;
        }
        return true;
    }

    // if := test block [ "else" block | "elsif" if ]
    // A failed test leaves the If without a test and does not stop it; a failed block, else
    // block or elsif fails the If. Any other token after the block is pushed back.
    SieveCommand* parseIf(SieveCommand* parent, unsigned depth) {
        if (tooDeep(depth)) {
            return nullptr;
        }
        SieveCommand* command = newCommand(CommandKind::If);
        command->enabled = lex_.enabled() ? 1 : 0;
        command->text1.assign(arena_, lex_.takePendingName());
        command->parent = parent;
        command->test = parseTest(depth + 1);
        command->block = parseBlock(command, depth + 1);
        if (!command->block) {
            return nullptr;
        }
        if (!lex_.next()) {
            return command;
        }
        if (lex_.isKeyword("else")) {
            command->elsePart = parseBlock(command, depth + 1);
        } else if (lex_.isKeyword("elsif")) {
            command->elsePart = parseIf(command, depth + 1);
        } else {
            lex_.pushBack();
            return command;
        }
        return command->elsePart ? command : nullptr;
    }

    // block := <no token> -> "premature end of script: start of block expected"
    //        | <not "{">  -> "bad token: start of block expected"
    //        | "{" command* "}"      (end of input inside: "premature end of script inside
    //                                 block"; a command that yields none fails the block)
    // An empty block holds one command of kind None, so that an If always has a block.
    SieveCommand* parseBlock(SieveCommand* owner, unsigned depth) {
        if (tooDeep(depth)) {
            return nullptr;
        }
        if (!lex_.next()) {
            lex_.fail("premature end of script: start of block expected");
            return nullptr;
        }
        if (!lex_.is(TokenType::OpenBrace)) {
            lex_.fail("bad token: start of block expected");
            return nullptr;
        }
        SieveCommand* head = nullptr;
        SieveCommand** tail = &head;
        for (;;) {
            if (!lex_.next()) {
                lex_.fail("premature end of script inside block");
                return nullptr;
            }
            if (lex_.is(TokenType::CloseBrace)) {
                break;
            }
            lex_.pushBack();
            SieveCommand* command = parseCommand(owner, depth);
            if (!command) {
                return nullptr;
            }
            *tail = command;
            tail = &command->next;
        }
        if (!head) {
            head = newCommand(CommandKind::None);
            head->parent = owner;
        }
        return head;
    }

    // test := <no token>           -> "Premature end of script: test expected"
    //       | <not an identifier>  -> "Bad token: test keyword expected"
    //       | "not" test           (flips the negation)
    //       | "void"               (no test, no error)
    //       | ("allof" | "anyof") test-list
    //       | "true" | "false" | "spamtest"
    //       | "size" size-arguments
    //       | "exists" string-list
    //       | "address" address-arguments
    //       | "header" header-arguments
    //       | <other identifier>   -> "invalid test keyword: %s"
    SieveTest* parseTest(unsigned depth) {
        if (tooDeep(depth)) {
            return nullptr;
        }
        if (!lex_.next()) {
            lex_.fail("Premature end of script: test expected");
            return nullptr;
        }
        if (!lex_.is(TokenType::Identifier)) {
            lex_.fail("Bad token: test keyword expected");
            return nullptr;
        }
        if (lex_.isKeyword("not")) {
            SieveTest* test = parseTest(depth + 1);
            if (test) {
                test->negated = test->negated ? 0 : 1;
            }
            return test;
        }
        if (lex_.isKeyword("void")) {
            return nullptr;
        }
        if (lex_.isKeyword("allof") || lex_.isKeyword("anyof")) {
            SieveTest* test = newTest(lex_.isKeyword("allof") ? TestKind::AllOf : TestKind::AnyOf);
            test->children = parseTestList(depth + 1);
            return test->children ? test : nullptr;
        }
        if (lex_.isKeyword("true")) {
            return newTest(TestKind::True);
        }
        if (lex_.isKeyword("false")) {
            return newTest(TestKind::False);
        }
        if (lex_.isKeyword("spamtest")) {
            return newTest(TestKind::SpamTest);
        }
        if (lex_.isKeyword("size")) {
            return parseSize();
        }
        if (lex_.isKeyword("exists")) {
            SieveTest* test = newTest(TestKind::Exists);
            return parseStringList(test->headers) ? test : nullptr;
        }
        if (lex_.isKeyword("address")) {
            return parseAddressOrHeader(TestKind::Address);
        }
        if (lex_.isKeyword("header")) {
            return parseAddressOrHeader(TestKind::Header);
        }
        lex_.fail("invalid test keyword: %s", lex_.text());
        return nullptr;
    }

    // size-arguments := <no token>  -> "Premature end of script: size tag expected"
    //                 | <not a tag> -> "Bad token: size :under or :over expected"
    //                 | (":over" | ":under") number
    //                 | <other tag> -> "Unknown tag ':%s' in size: :under or :over expected"
    // number := <no token> -> "Premature end of script: number expected"
    //         | <not a number> -> "Bad token: number expected" | number
    SieveTest* parseSize() {
        SieveTest* test = newTest(TestKind::Size);
        if (!lex_.next()) {
            lex_.fail("Premature end of script: size tag expected");
            return nullptr;
        }
        if (!lex_.is(TokenType::Tag)) {
            lex_.fail("Bad token: size :under or :over expected");
            return nullptr;
        }
        if (lex_.isTag("over")) {
            test->sizeRelation = SizeRelation::Over;
        } else if (lex_.isTag("under")) {
            test->sizeRelation = SizeRelation::Under;
        } else {
            lex_.fail("Unknown tag ':%s' in size: :under or :over expected", lex_.text());
            return nullptr;
        }
        if (!lex_.next()) {
            lex_.fail("Premature end of script: number expected");
            return nullptr;
        }
        if (!lex_.is(TokenType::Number)) {
            lex_.fail("Bad token: number expected");
            return nullptr;
        }
        test->sizeLimit = lex_.number();
        return test;
    }

    // address-arguments := address-tag* string-list string-list
    // address-tag := ":all" | ":localpart" | ":domain" | ":is" | ":contains" | ":matches"
    //              | ":comparator" comparator-value
    //              | <other tag>  -> "Invalid tag in address test: %s"
    //              (end of input: "Premature end of script: address tag expected")
    // header-arguments := header-tag* string-list string-list
    //              the same without the address parts; "invalid tag in header test: %s",
    //              "Premature end of script: header tag expected"
    // comparator-value := <no token> -> "Premature end of script: comparator value expected"
    //                     (header: "premature end ...")
    //                   | <not string> -> "bad token: comparator value string expected"
    //                   | string      ("i;octet", in any case, sets the octet flag)
    // The first token that is not a tag is pushed back; later tags override earlier ones.
    SieveTest* parseAddressOrHeader(TestKind kind) {
        const bool address = kind == TestKind::Address;
        SieveTest* test = newTest(kind);
        for (;;) {
            if (!lex_.next()) {
                lex_.fail(address ? "Premature end of script: address tag expected"
                                  : "Premature end of script: header tag expected");
                return nullptr;
            }
            if (!lex_.is(TokenType::Tag)) {
                lex_.pushBack();
                break;
            }
            if (address && lex_.isTag("all")) {
                test->addressPart = AddressPart::All;
            } else if (address && lex_.isTag("localpart")) {
                test->addressPart = AddressPart::LocalPart;
            } else if (address && lex_.isTag("domain")) {
                test->addressPart = AddressPart::Domain;
            } else if (lex_.isTag("is")) {
                test->matchType = MatchType::Is;
            } else if (lex_.isTag("contains")) {
                test->matchType = MatchType::Contains;
            } else if (lex_.isTag("matches")) {
                test->matchType = MatchType::Matches;
            } else if (lex_.isTag("comparator")) {
                if (!lex_.next()) {
                    lex_.fail(address ? "Premature end of script: comparator value expected"
                                      : "premature end of script: comparator value expected");
                    return nullptr;
                }
                if (!lex_.is(TokenType::String)) {
                    lex_.fail("bad token: comparator value string expected");
                    return nullptr;
                }
                test->octetComparator = equalsNoCase(lex_.text(), "i;octet") ? 1 : 0;
            } else {
                lex_.fail(
                    address ? "Invalid tag in address test: %s" : "invalid tag in header test: %s",
                    lex_.text());
                return nullptr;
            }
        }
        if (!parseStringList(test->headers) || !parseStringList(test->keys)) {
            return nullptr;
        }
        return test;
    }

    // test-list := <no token>  -> "premature end of script: test expected"
    //            | "(" test ( "," test )* ")"
    //                 (end of input after a test: "premature end of script: comma or close
    //                  brace expected"; another token: "bad token: comma expected")
    //            | test        (the first token pushed back: a single test forms the list)
    // A test that fails inside the list fails the list without a further message.
    SieveTest* parseTestList(unsigned depth) {
        if (tooDeep(depth)) {
            return nullptr;
        }
        if (!lex_.next()) {
            lex_.fail("premature end of script: test expected");
            return nullptr;
        }
        if (!lex_.is(TokenType::OpenParen)) {
            lex_.pushBack();
            return parseTest(depth + 1);
        }
        SieveTest* head = nullptr;
        SieveTest** tail = &head;
        for (;;) {
            SieveTest* test = parseTest(depth + 1);
            if (!test) {
                return nullptr;
            }
            *tail = test;
            tail = &test->next;
            if (!lex_.next()) {
                lex_.fail("premature end of script: comma or close brace expected");
                return nullptr;
            }
            if (lex_.is(TokenType::CloseParen)) {
                return head;
            }
            if (!lex_.is(TokenType::Comma)) {
                lex_.fail("bad token: comma expected");
                return nullptr;
            }
        }
    }

    // string-list := <no token>          -> "premature end of script: string list expected"
    //              | string
    //              | "[" string ( "," string )* "]"
    //                   (end of input after "[" or ",": "premature end of script inside a
    //                    string list"; an element that is not a string, "]" included: "Bad
    //                    token: string expected"; end of input after an element: "premature end
    //                    of script: comma or close brace expected"; another token: "bad token:
    //                    comma expected")
    //              | <other>              -> "bad token: string list expected"
    bool parseStringList(StringList& list) {
        if (!lex_.next()) {
            lex_.fail("premature end of script: string list expected");
            return false;
        }
        if (lex_.is(TokenType::String)) {
            std::string_view one = lex_.text();
            list = StringList::copyOf(arena_, &one, 1);
            return true;
        }
        if (!lex_.is(TokenType::OpenBracket)) {
            lex_.fail("bad token: string list expected");
            return false;
        }
        // The elements are gathered as texts in the arena, then the list is made at its size.
        strings_.clear();
        for (;;) {
            if (!lex_.next()) {
                lex_.fail("premature end of script inside a string list");
                return false;
            }
            if (!lex_.is(TokenType::String)) {
                lex_.fail("Bad token: string expected");
                return false;
            }
            strings_.push_back(arena_.copyText(lex_.text()));
            if (!lex_.next()) {
                lex_.fail("premature end of script: comma or close brace expected");
                return false;
            }
            if (lex_.is(TokenType::CloseBracket)) {
                list = StringList::ofArenaTexts(arena_, strings_.data(), strings_.size());
                return true;
            }
            if (!lex_.is(TokenType::Comma)) {
                lex_.fail("bad token: comma expected");
                return false;
            }
        }
    }

    SieveLexer& lex_;
    RuleArena& arena_;
    std::vector<std::string_view> strings_;  // the elements of the list being read
};

}  // namespace

bool parseScript(std::string_view script, RuleSet& rules, uint32_t options, ParseResult* result) {
    rules.clear();
    try {
        SieveLexer lexer(script, options);
        // A tree takes up to about four times the bytes of its text (records are larger than
        // the keywords they stand for): one block then holds the whole of it.
        rules.arena.reserve(4 * script.size());
        SieveCommand* chain = nullptr;
        try {
            SieveParser parser(lexer, rules.arena);
            chain = parser.parseScriptBody();
        } catch (const std::bad_alloc&) {
            // A record that cannot be made fails the parse.
            lexer.failSilently();
        }
        if (result) {
            *result = lexer.state();
        }
        if (lexer.failed()) {
            rules.clear();
            return false;
        }
        rules.first = chain;
        return true;
    } catch (const std::bad_alloc&) {
        // Not even the reader's state could be made or handed back.
        rules.clear();
        if (result) {
            result->error = 1;
            result->options = options;
            result->errorMessage.clear();
        }
        return false;
    }
}

}  // namespace wq::rules
