// The rules flow against a server: every row of its failure table with the exact bytes stored,
// the guard that stores nothing that would not read back, random edits through the dialogs
// whose stored script reads back as the rules they left, and a person's first rule (under Wine
// the real windows, against the qorvad that tests/wine/run_server_tests.sh starts).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/account.h"
#include "editor/mail_rules_dialog.h"
#include "editor/rules_flow.h"
#include "editor/sieve_editor_dialog.h"
#include "ids.h"
#include "net/script_transfer.h"
#include "platform/headless/headless.h"
#include "rules/compare.h"
#include "rules/sieve_generator.h"
#include "rules/sieve_parser.h"
#include "text/charset.h"
#ifdef _WIN32
#include <winsock2.h>
#else
#include "net/qorvad_fixture.h"
#include "wqhost_ui.h"
#endif

namespace wq::editor {
namespace {

using headless::DialogView;
using rules::RuleSet;
constexpr int kList = IDC_MAIL_RULES_LIST, kPane = 201;
const std::string kYesNo = "\n\nWould you like to edit the script manually ?";
const std::string kGuard =
    "The rules cannot be written as a script that reads back exactly as they are shown.\n"
    "Nothing has been stored on the server." +
    kYesNo;

// Where the pane's underlined values begin: the links a person sees.
std::vector<int> LinkStarts(const DialogView& v) {
    std::vector<int> starts;
    for (const auto& run : v.styledText(kPane).runs) {
        if (run.underline) {
            starts.push_back(run.start);
        }
    }
    return starts;
}

RuleSet Parsed(const std::string& script) {
    RuleSet set;
    EXPECT_TRUE(rules::parseScript(script, set)) << script;
    return set;
}

TEST(RuleComparison, SameExactlyWhereTheScriptsSayTheSame) {
    const std::string a = "#!1 A\nif header :contains \"Subject\" [\"x\", \"y\"] {keep;}";
    auto expect = [&](const std::string& left, const std::string& right, bool same) {
        RuleSet l = Parsed(left), r = Parsed(right);
        EXPECT_EQ(rules::sameRules(l.first, r.first), same) << left << " | " << right;
        EXPECT_EQ(rules::sameRules(r.first, l.first), same) << right << " | " << left;
        EXPECT_TRUE(rules::sameRules(l.first, Parsed(left).first)) << left;
        EXPECT_EQ(rules::readsBackAs(right, l.first), same) << right;
    };
    expect(a, "#!1 A\r\nif  header :CONTAINS \"Subject\" [\"x\",\"y\"]\n{\n keep;\n}\n", true);
    expect(a, a + " else {}", true);
    // The rule changed in one thing the script says.
    for (std::string other :
         {"A\nif|B\nif", "1 A\nif|0 A\n# if", "[\"x\", \"y\"]|[\"y\", \"x\"]", ":contains|:is",
          "if |if not ", "keep|stop", ":contains|:comparator \"i;octet\" :contains"}) {
        const size_t bar = other.find('|'), at = a.find(other.substr(0, bar));
        expect(a, std::string(a).replace(at, bar, other.substr(bar + 1)), false);
    }
    expect("if true {} elsif false {keep;}", "if true {} else { if false {keep;} }", true);
    expect("#!1 A\nif true {}\n#!1 E\nelsif false {}", "#!1 A\nif true {} elsif false {}", false);
    expect("if anyof (true, size :over 1) {}", "if allof (true, size :over 1) {}", false);
    expect("if size :over 10 {}", "if size :under 10 {}", false);
    expect("if address :domain \"From\" \"a\" {}", "if address :all \"From\" \"a\" {}", false);
    expect("vacation :days \"7\" \"t\";", "vacation \"t\";", true);
    expect("vacation :days \"3\" \"t\";", "vacation \"t\";", false);
    expect("vacation :subject \"s\" \"t\";", "vacation \"t\";", false);
    expect("notify :options \"o\" :message \"m\";", "notify :message \"m\";", false);
    expect("fileinto \"a\"; redirect \"b\";", "fileinto \"a\"; redirect \"c\";", false);
    expect("keep; discard;", "keep;", false);
    EXPECT_FALSE(rules::readsBackAs("if (", Parsed(a).first));
}

#ifdef _WIN32
// Under Wine: the qorvad --demo of run_server_tests.sh, or nothing to run against. The host
// has started Windows Sockets, as a mail client has.
class RulesFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* port = std::getenv("WQ_QORVAD_PORT");
        if (!port) {
            GTEST_SKIP() << "no server: tests/wine/run_server_tests.sh runs these";
        }
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        headless::Reset();
        ResetAccountSettings(account_);
        account_.hostName = "127.0.0.1";
        account_.userName = account_.password = "demo";
        account_.port = static_cast<uint32_t>(std::atoi(port));
        SetCurrentAccount(&account_);
    }
    AccountSettings account_{};
};
#else
using RulesFlow = net::QorvadTest;

TEST_F(RulesFlow, EveryRowOfTheFailureTable) {
    const std::string one = "#!1 Caf\xC3\xA9\nif true \n {\n  keep;\n}\n";
    const std::string broken = one + "#!1 B\nif true\n {\n  fileinto;\n}\n";
    const std::string error =
        "The script contains error.\n\nError details:\nLine 9: bad token: "
        "string argument expected" +
        kYesNo;
    const std::string rules = "dialog 4101", editor = "dialog 4104";
    // The script on the server, a fault ("COMMAND REPLY"), the person's commands (as wqhost
    // takes them); what they see, the result, and the script stored ("": none).
    auto flow = [&](const std::string& script, const std::string& fault, const char* answers,
                    const std::vector<std::string>& seen, HResult result, std::string stored) {
        SCOPED_TRACE(answers + (" " + fault));
        headless::Reset();
        server_.setFaults({});
        setFaults([&](qorvad::Faults& f) {
            const size_t space = fault.find(' ');
            if (space != std::string::npos) {
                const std::string reply = fault.substr(space + 1);
                (reply.size() < 4 ? f.scripted : f.scriptedReplies)[fault.substr(0, space)] = reply;
            }
        });
        server_.store().setScript("anna", script);
        const size_t connections = server_.receivedPerConnection().size();
        wqhost::SetAnswers({answers}, "");
        EXPECT_EQ(WqMailRules(nullptr, &account_), result);
        EXPECT_EQ(wqhost::AnswerTrouble(), "");
        EXPECT_EQ(shown(), seen);
        EXPECT_FALSE(headless::WaitCursorShown());
        for (const headless::Event& e : headless::Events()) {  // Yes: the script as it came
            if (e.templateId == IDD_SIEVE_EDITOR && e.result == ui::kIdCancel) {
                EXPECT_EQ(e.texts.at(0).second, PrepareScriptForDisplay(utf8ToAnsi(broken)));
            }
        }
        EXPECT_EQ(server_.store().script("anna"), stored.empty() ? script : stored);
        if (!stored.empty()) {
            EXPECT_EQ(server_.receivedPerConnection().back(),
                      "A000 LOGIN anna secret\r\nA000 X-PUTSCRIPT {" +
                          std::to_string(stored.size()) + "+}\r\n" + stored +
                          "\r\nA000 LOGOUT\r\n");
            EXPECT_EQ(server_.receivedPerConnection().size(), connections + 2);
        }
    };
    const std::string none;
    EXPECT_EQ(WqMailRules(nullptr, nullptr), E_INVALIDARG);
    flow(one, none, "cancel", {rules}, S_OK, "");
    flow(one, none, "tick 1; ok", {rules}, S_OK,
         "#!0 Caf\xC3\xA9\n# if true \n#  {\n#   keep;\n# }\n");
    flow(one, none, "select 1; click remove; yes; ok",
         {"Are you sure you want to remove the selected item(s) ?", rules}, S_OK, " ");
    flow(one, "X-GETSCRIPT NO", "", {}, S_FALSE, "");
    flow(one, "X-GETSCRIPT {tag} OK done\r\n", "",
         {"Failed to receive script.\n\nError Code 0x80004005"}, E_FAIL, "");
    flow(broken, none, "no", {error}, S_FALSE, "");
    flow(broken, none, "yes; cancel", {error, editor}, S_FALSE, "");
    // A repair is stored even when the rules are then cancelled.
    flow(broken, none, "yes; type 222 \"if true {fileinto \\\"Junk\\\";}\"; ok; cancel",
         {error, editor, rules}, S_OK, "if true \n {\n  fileinto \"Junk\";\n}\n");
    flow(one, "X-PUTSCRIPT BAD", "tick 1; ok", {rules, "Your script has not been updated."},
         E_INVALIDARG, "");
    flow(one, "X-PUTSCRIPT NO", "tick 1; ok", {rules}, S_FALSE, "");
}

// A set the writer cannot say (an action it does not know) is not stored; the person may take
// the script as written into the Sieve Editor and store what it reads.
TEST_F(RulesFlow, AScriptThatWouldNotReadBackIsNotStored) {
    for (const char* answers : {"no", "yes; ok"}) {
        headless::Reset();
        RuleSet set = Parsed("#!1 A\nif true {keep; stop;}");
        set.first->block->kind = static_cast<rules::CommandKind>(42);
        std::string written;
        rules::generateScript(written, set.first);
        wqhost::SetAnswers({answers}, "");
        const bool yes = answers[0] == 'y';
        EXPECT_EQ(StoreRules(nullptr, set), yes ? S_OK : E_FAIL);
        const std::vector<std::string> seen[] = {{kGuard}, {kGuard, "dialog 4104"}};
        ASSERT_EQ(shown(), seen[yes]);
        EXPECT_EQ(wqhost::AnswerTrouble(), "");
        EXPECT_EQ(headless::Events()[0].style, ui::kMbYesNo | ui::kMbIconExclamation);
        if (yes) {  // the editor opened on the script as written
            EXPECT_EQ(headless::Events()[1].texts.at(0).second, PrepareScriptForDisplay(written));
        }
        EXPECT_EQ(server_.store().script("anna"), yes ? "#!1 A\nif true \n {\n  stop;\n}\n" : "");
    }
}

// A person at random: random rules to start from (on and off, named or not, elsif parts,
// top-level actions, every kind of value), and in every window that opens random acts, then
// OK (Cancel where OK is refused); every question answered Yes.
class RandomPerson {
  public:
    explicit RandomPerson(uint32_t seed) : rng_(seed) {}
    int below(int n) { return n > 0 ? static_cast<int>(rng_() % static_cast<unsigned>(n)) : 0; }
    std::string text(bool lineBreaks = false) {
        std::string t(1 + below(8), 'x');
        std::generate(t.begin(), t.end(),
                      [&] { return "\nab Z\"\\'{}#;,\xE9\t"[below(14) + !lineBreaks]; });
        return t;
    }
    // One of the `forms`, with quoted random texts for "@" and numbers for "%".
    std::string pick(const std::vector<const char*>& forms) {
        std::string out;
        for (const char* c = forms[static_cast<size_t>(below(int(forms.size())))]; *c; ++c) {
            if (*c == '%') {
                out += std::to_string(rng_() >> below(32));
            } else if (*c != '@') {
                out += *c;
            } else {  // the writer's escapes
                out += '"';
                for (char t : text(true)) {
                    out += t == '\n' ? "\\n" : std::string(t == '"' || t == '\\' ? "\\" : "") + t;
                }
                out += '"';
            }
        }
        return out;
    }
    std::string condition() {
        return pick({"header :contains \"Subject\" @", "size :over %", "true", "spamtest",
                     "address :all :is \"From\" [@, @]", "not exists \"X-A\"",
                     "header :comparator \"i;octet\" :matches \"To\" @",
                     "anyof (true, size :under %)"});
    }
    std::string action() {
        return pick({"keep;", "discard;", "stop;", "fileinto @;", "redirect @;", "reject @;",
                     "notify :options @;", "notify :options @ :message @;",
                     "vacation :days \"%\" :subject @ @;"});
    }
    std::string script() {
        std::string s;
        for (int i = below(5); i > 0; --i) {
            std::string rule = "if " + condition() + " {" + (below(3) ? action() : "") + "}";
            rule += below(4) ? "" : " elsif " + condition() + " {" + action() + action() + "}";
            const bool on = below(3) != 0;
            s += std::string(on ? "#!1 " : "#!0 ") + text() + "\n" + (on ? "" : "# ") +
                 (below(6) ? rule : action()) + "\n";
        }
        return s;
    }
    void answer() {
        headless::OnDialog([this](DialogView& v) { act(v); });
        headless::OnMessageBox([this](const headless::MessageBoxView& b) {
            answer();
            return (b.style & 0xF) == ui::kMbYesNo ? ui::kIdYes : ui::kIdOk;
        });
    }

  private:
    void act(DialogView& v) {
        headless::OnDialog([this](DialogView& w) { act(w); });
        const int id = v.templateId();
        for (int i = id == IDD_MAIL_RULES ? below(7) : 0, rows; i > 0 && (rows = v.rowCount(kList));
             --i) {
            // New, Remove, Modify, Move Up, Move Down, Edit Script (130-135), Copy, a tick, a link
            const int row = below(rows), what = IDC_MAIL_RULES_NEW + below(9);
            v.clickRow(kList, row);
            what <= IDC_MAIL_RULES_EDIT_SCRIPT ? v.click(what)
            : what == 136                      ? v.click(IDC_MAIL_RULES_COPY)
            : what == 137                      ? v.clickTick(kList, row)
                                               : clickLinks(v, true);
        }
        for (int i = id == IDD_RULE_EDITOR ? below(5) : 0; i > 0; --i) {
            const bool condition = below(2);
            v.clickTick(condition ? IDC_RULE_EDITOR_CONDITIONS : IDC_RULE_EDITOR_ACTIONS,
                        below(condition ? 10 : 8));
        }
        if (id == IDD_RULE_EDITOR) {
            clickLinks(v, false);
            v.type(IDC_RULE_EDITOR_NAME, text());
        }
        // The value dialogs: every one but the size has its value in control 231.
        if (id != IDD_MAIL_RULES && v.hasControl(IDC_SPECIFIC_WORDS_VALUE)) {
            v.type(IDC_SPECIFIC_WORDS_VALUE, text(true));
        }
        if (id == IDD_SELECT_PEOPLE || id == IDD_SPECIFIC_WORDS) {
            v.click(IDC_SPECIFIC_WORDS_ADD);
        }
        id == IDD_SIZE                ? v.type(IDC_SIZE_LIMIT, std::to_string(rng_()))
        : id == IDD_CONDITION_OPTIONS ? v.chooseEntry(IDC_CONDITION_OPTIONS_MATCH, below(6))
        : id == IDD_AND_OR            ? v.click(below(2) ? IDC_AND_OR_ALL : IDC_AND_OR_ANY)
                                      : void();
        v.click(ui::kIdOk);
        v.click(ui::kIdCancel);
    }
    // One link at random, or every link in turn.
    void clickLinks(DialogView& v, bool one) {
        for (size_t n = 0; n < LinkStarts(v).size() && (!one || n == 0); ++n) {
            const std::vector<int> starts = LinkStarts(v);
            v.clickText(kPane, starts[one ? static_cast<size_t>(below(int(starts.size()))) : n]);
        }
    }
    std::mt19937 rng_;
};

// Random rules, random edits through the dialogs, OK: the script stored reads back as the rules
// the dialog left, and is written again byte for byte; the guard never has to step in.
TEST_F(RulesFlow, RandomEditsReadBackAsTheRulesTheyLeft) {
    for (uint32_t seed = 1; seed <= 2000; ++seed) {
        headless::Reset();
        RandomPerson person(seed);
        const std::string script = person.script();
        RuleSet set = Parsed(script);
        person.answer();
        if (MailRulesDialog(set).run(nullptr) != ui::kIdOk) {
            continue;
        }
        std::string written, again;
        rules::generateScript(written, set.first);
        ASSERT_EQ(StoreRules(nullptr, set), S_OK) << seed;
        for (const headless::Event& e : headless::Events()) {
            ASSERT_NE(e.text, kGuard) << "seed " << seed << "\n" << script << "\n" << written;
        }
        const std::string stored = server_.store().script("anna");
        ASSERT_EQ(stored, written.empty() ? " " : ansiToUtf8(written)) << seed;
        RuleSet back = Parsed(utf8ToAnsi(stored));
        ASSERT_TRUE(rules::sameRules(set.first, back.first)) << seed << "\n" << written;
        rules::generateScript(again, back.first);
        ASSERT_EQ(again, written) << seed;
    }
}
#endif

// New, tick a condition and an action, both values through the links, a name, OK; a look at
// the script of the new rule; OK stores it.
TEST_F(RulesFlow, APersonsFirstRuleIsStored) {
    const std::string before = "#!1 Keep\nif true \n {\n  keep;\n}\n";
    ASSERT_EQ(net::StoreScript(before), S_OK);
    headless::OnDialog([](DialogView& v) {
        v.snapshot("mail_rules");
        v.click(IDC_MAIL_RULES_NEW);
        v.click(IDC_MAIL_RULES_EDIT_SCRIPT);
        v.click(ui::kIdOk);
    });
    headless::OnDialog([](DialogView& v) {
        v.clickTick(IDC_RULE_EDITOR_CONDITIONS, 5);  // the Subject line contains words
        v.clickTick(IDC_RULE_EDITOR_ACTIONS, 0);     // move it to a folder
        v.clickText(kPane, LinkStarts(v).at(1));     // "contains" is the first
        v.clickText(kPane, LinkStarts(v).at(2));
        v.type(IDC_RULE_EDITOR_NAME, "Invoices");
        v.snapshot("rule_editor");
        v.click(ui::kIdOk);
    });
    for (const char* value : {"invoice", "Inbox/Invoices"}) {  // the words, then the folder
        headless::OnDialog([value](DialogView& v) {
            v.type(IDC_SPECIFIC_WORDS_VALUE, value);  // the Move dialog's path is 231 too
            v.click(v.templateId() == IDD_SPECIFIC_WORDS ? IDC_SPECIFIC_WORDS_ADD : ui::kIdOk);
            v.click(ui::kIdOk);
        });
    }
    headless::OnDialog([](DialogView& v) {
        EXPECT_EQ(v.text(IDC_SIEVE_EDITOR_TEXT),
                  "if header :contains \"Subject\" \"invoice\"  "
                  "\r\n{\r\n  fileinto \"INBOX/Invoices\";\r\n}\r\n");
        v.snapshot("sieve_editor");
        v.click(ui::kIdCancel);
    });
    EXPECT_EQ(WqMailRules(nullptr, &account_), S_OK);
    std::string after;
    EXPECT_EQ(net::FetchScript(&after), S_OK);
    EXPECT_EQ(after, before +
                         "#!1 Invoices\nif header :contains \"Subject\" \"invoice\" \n {\n  "
                         "fileinto \"INBOX/Invoices\";\n}\n");
    EXPECT_EQ(headless::PendingHandlers(), 0);
}

}  // namespace
}  // namespace wq::editor
