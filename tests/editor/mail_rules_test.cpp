// The Mail Rules dialog and the Sieve Editor driven as a person would, checked on the rules they
// leave and the questions they ask; and the script text as the Sieve Editor shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "editor/mail_rules_dialog.h"
#include "editor/sieve_editor_dialog.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "rules/catalogue.h"
#include "rules/rules_builders.h"

namespace wq::editor {
namespace {

using namespace rules;
using namespace rules::testing;
using headless::DialogView;

constexpr int kList = IDC_MAIL_RULES_LIST, kPane = IDC_MAIL_RULES_DESCRIPTION;
const std::string kLetters = "NMCREUD";  // New, Modify, Copy, Remove, Edit Script, Up, Down
constexpr int kIds[] = {IDC_MAIL_RULES_NEW,      IDC_MAIL_RULES_MODIFY,      IDC_MAIL_RULES_COPY,
                        IDC_MAIL_RULES_REMOVE,   IDC_MAIL_RULES_EDIT_SCRIPT, IDC_MAIL_RULES_MOVE_UP,
                        IDC_MAIL_RULES_MOVE_DOWN};

// The rules as name and on (+) or off (-), "|" between rules: of the chain, and of the list.
std::string Chain(const RuleSet& set) {
    std::string s;
    for (const SieveCommand* r = set.first; r; r = r->next) {
        s += (s.empty() ? "" : "|") + (r->text1.empty() ? "<unnamed rule>" : r->text1.str()) +
             (r->enabled ? "+" : "-");
    }
    return s;
}
std::string Rows(const DialogView& v) {
    std::string s;
    for (int i = 0; i < v.rowCount(kList); ++i) {
        s += (i ? "|" : "") + v.rowText(kList, i) +
             (v.rowTick(kList, i) == ui::Tick::kOn ? "+" : "-");
    }
    return s;
}

// The message boxes shown since the last reset, by letter: removal question, script error,
// deletion question, one-rule refusal.
std::string Boxes() {
    const std::map<std::pair<std::string, unsigned>, char> known = {
        {{"Are you sure you want to remove the selected item(s) ?", 0x24}, 'r'},
        {{"The script contains error.\n\nError details:\nLine 1: invalid command: kep", 0x10}, 'e'},
        {{"Empty script will delete the rule.\nWould you really like to delete the rule ?", 0x134},
         'd'},
        {{"You can not change number of script rules. Only one rule is allowed.", 0x10}, 'o'}};
    std::string s;
    for (const headless::Event& e : headless::Events()) {
        if (e.kind == headless::Event::Kind::kMessageBox) {
            s += known.count({e.text, e.style}) ? known.at({e.text, e.style}) : '?';
        }
    }
    return s;
}

std::string Blanks(std::string s) {
    std::replace(s.begin(), s.end(), '_', ' ');
    return s;
}

// A person's steps: r<n>, t<n>, d<n> click, tick or double-click row n; a button's letter clicks
// it; y and n answer the next question; s<n> expects row n selected, =<letters> the enabled
// buttons, p<text> a text in the pane; o<text> clicks the pane at that text; S keeps a picture.
// In the dialogs a step opens: c<n>, a<n> tick a condition, an action; w<name> names the rule;
// T<text> types a script ("_" for a blank); O, X, A click OK, Cancel, All.
void Act(DialogView& v, const std::string& steps) {
    using Arg = const std::string&;
    const std::map<char, std::function<void(int, Arg)>> act = {
        {'r', [&](int n, Arg) { v.clickRow(kList, n); }},
        {'t', [&](int n, Arg) { v.clickTick(kList, n); }},
        {'d', [&](int n, Arg) { v.doubleClickRow(kList, n); }},
        {'y', [](int, Arg) { headless::OnMessageBox([](auto&) { return ui::kIdYes; }); }},
        {'n', [](int, Arg) { headless::OnMessageBox([](auto&) { return ui::kIdNo; }); }},
        {'s', [&](int n, Arg s) { EXPECT_EQ(v.selectedRows(kList), std::vector<int>{n}) << s; }},
        {'=',
         [&](int, Arg s) {
             std::string enabled;
             for (char b : kLetters) {
                 enabled += v.enabled(kIds[kLetters.find(b)]) ? b : '.';
             }
             EXPECT_EQ(enabled, s.substr(1)) << s;
         }},
        {'p', [&](int, Arg s) { EXPECT_NE(v.text(kPane).find(s.substr(1)), s.npos) << s; }},
        {'o', [&](int, Arg s) { v.clickText(kPane, int(v.text(kPane).find(s.substr(1)))); }},
        {'S', [&](int, Arg) { v.snapshot("mail_rules"); }},
        {'O', [&](int, Arg) { v.click(ui::kIdOk); }},
        {'X', [&](int, Arg) { v.click(ui::kIdCancel); }},
        {'A', [&](int, Arg) { v.click(IDC_AND_OR_ALL); }},
        {'c', [&](int n, Arg) { v.clickTick(IDC_RULE_EDITOR_CONDITIONS, n); }},
        {'a', [&](int n, Arg) { v.clickTick(IDC_RULE_EDITOR_ACTIONS, n); }},
        {'w', [&](int, Arg s) { v.type(IDC_RULE_EDITOR_NAME, s.substr(1)); }},
        {'T', [&](int, Arg s) { v.type(IDC_SIEVE_EDITOR_TEXT, Blanks(s.substr(1))); }}};
    std::istringstream in(steps);
    for (std::string s; in >> s;) {
        if (act.count(s[0])) {
            act.at(s[0])(std::atoi(s.c_str() + 1), s);
        } else {
            v.click(kIds[kLetters.find(s[0])]);
        }
    }
}

const char kRules[] =
    "#!1 Spam\nif header :contains \"Subject\" \"spam\" { discard; }\n"
    "#!0 Work\n# if address :all :contains \"From\" \"boss\" { fileinto \"Work\"; }\n"
    "if header :is \"X-Odd\" \"1\" { keep; }\n";
const std::string kStart = "Spam+|Work-|<unnamed rule>+";
const char kSpam[] = "#!1 Spam\nif true {keep;}\n#!0 Copy of spam\n# if true {keep;}\n";

std::string CopiesOfX() {
    std::string s = "#!1 X\nif true {keep;}\n#!1 Copy of x\nif true {keep;}\n";
    for (int n = 2; n <= 127; ++n) {
        s += "#!1 Copy (" + std::to_string(n) + ") of X\nif true {keep;}\n";
    }
    return s;
}

TEST(MailRulesDialog, EveryChangeKeepsListAndChainInStep) {
    ASSERT_TRUE(loadCatalogues(false));
    struct Case {
        std::string script, steps, inner;  // inner: in the dialog the steps open
        int result;
        std::string after, boxes = "";  // after: the chain after OK (Cancel changes no rule)
    };
    const std::vector<Case> cases = {
        {"", "=N...... pThere", "", ui::kIdCancel, ""},
        {kRules, "=N...... r0 =NMCRE.D S", "", ui::kIdCancel, ""},
        {kRules, "t1 s1 t1", "", ui::kIdOk, kStart},
        {kRules, "r0 y R", "", ui::kIdOk, "Work-|<unnamed rule>+", "r"},
        {kRules, "r1 n R", "", ui::kIdCancel, "", "r"},
        {"if true {keep;}", "r0 y R =N......", "", ui::kIdOk, "", "r"},
        {kRules, "r0 D s1 r2 =N.CREU. pThis", "", ui::kIdOk, "Work-|Spam+|<unnamed rule>+"},
        {kRules, "r2 C s2", "", ui::kIdOk, kStart + "|Copy of <unnamed rule>+"},
        {kSpam, "r0 C s0", "", ui::kIdOk, "Spam+|Copy (2) of Spam+|Copy of spam-"},
        {CopiesOfX(), "r0 C", "", ui::kIdCancel, ""},
        {kRules, "r1 E =NMCREUD", "Tif_true_{kep;} O Tif_size_:over_1_{keep;} O", ui::kIdOk,
         "Spam+|Work+|<unnamed rule>+", "e"},
        {kRules, "r0 E =N.CRE.D", "Tif_header_:is_\"X\"_\"1\"_{keep;} O", ui::kIdOk, kStart},
        {kRules, "r1 n E", "T O X", ui::kIdCancel, "", "d"},
        {kRules, "r1 E", "Tif_true_{}_if_true_{} O X", ui::kIdCancel, "", "o"},
        {kRules, "r0 y E", "T O", ui::kIdOk, "Work-|<unnamed rule>+", "d"},
        {"if anyof (header :contains \"Subject\" \"a\", size :over 1K) {keep;}", "r0 oor", "A O",
         ui::kIdOk, "<unnamed rule>+"},
        {kRules, "N s3", "c6 a3 wFresh O", ui::kIdOk, kStart + "|Fresh+"},
        {kRules, "d0", "c9 a7 wJunk O", ui::kIdOk, "Junk+|Work-|<unnamed rule>+"},
        {kRules, "r1 M", "c9 a7 wJunk X", ui::kIdCancel, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        headless::Reset();
        RuleSet set = parsed(c.script);
        const std::string before = script(set.first);
        headless::OnDialog([&](DialogView& v) {
            if (!c.inner.empty()) {
                headless::OnDialog([&](DialogView& d) { Act(d, c.inner); });
            }
            Act(v, c.steps);
            EXPECT_EQ(Rows(v), Chain(set));
            v.click(ui::kIdOk);
        });
        EXPECT_EQ(MailRulesDialog(set).run(nullptr), c.result);
        const bool ok = c.result == ui::kIdOk;
        EXPECT_EQ(ok ? Chain(set) : script(set.first), ok ? c.after : before);
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_EQ(headless::PendingHandlers(), 0);
    }
}

TEST(SieveEditorText, CodeIsReshapedAndWhatTheScriptSaysIsKept) {
    for (const auto& c : std::vector<std::pair<std::string, std::string>>{
             {"a\n\n\nb\r\n\r\nc\r", "a\r\nb\r\nc\r"},
             {"/* {\n\n} */{", "/* {\r\n\r\n} */\r\n{\r\n"},
             {"vacation TEXT: {\n{\n\n.x\n.\n\n}",
              "vacation TEXT: {\r\n{\r\n\r\n.x\r\n.\r\n\r\n}\r\n"},
             {"contexts:{", "contexts:\r\n{\r\n"}}) {
        EXPECT_EQ(PrepareScriptForDisplay(c.first), c.second) << c.first;
    }
    // Random rules whose texts hold what the reshaping acts on: the shown text of a whole script
    // and of each rule alone reads back to the same rules.
    std::mt19937 random(7);
    auto text = [&](bool lineBreaks) {
        std::string s;
        for (int n = random() % 9; n > 0; --n) {
            s += "{}\\\"#/*. a:\n\r"[random() % (lineBreaks ? 13 : 11)];
        }
        return s;
    };
    for (int round = 0; round < 1000; ++round) {
        testArena().clear();
        SieveCommand* rule = ifCommand(
            text(false), random() % 2, headerTest(MatchType::Contains, {"Subject"}, {text(true)}),
            commands(action(CommandKind::Vacation, text(true), text(true)),
                     action(CommandKind::FileInto, text(true))));
        const std::string whole = script(rule), alone = singleRule(*rule);
        ASSERT_EQ(script(parsed(PrepareScriptForDisplay(whole)).first), whole);
        RuleSet shown = parsed(PrepareScriptForDisplay(alone));
        ASSERT_EQ(shown.first ? singleRule(*shown.first) : "", alone);
    }
}

// The error, deletion and one-rule answers are checked through Edit Script above.
TEST(SieveEditorDialog, ShowsTheTextAndHandsOverWhatOkRead) {
    constexpr int kText = IDC_SIEVE_EDITOR_TEXT;
    for (bool parse : {true, false}) {
        headless::Reset();
        headless::OnDialog([&](DialogView& v) {
            EXPECT_EQ(v.text(kText), "if true \r\n{\r\n keep; \r\n}\r\n");
            EXPECT_EQ(std::make_tuple(v.focus(), v.textSelection(kText), v.centeredOnOwner(),
                                      v.hasSizeGrip()),
                      std::make_tuple(kText, std::make_pair(0, 0), true, true));
            const ui::Rect all = v.rect(0), text = v.rect(kText), ok = v.rect(ui::kIdOk);
            v.snapshot("sieve_editor");
            v.resize(all.right + 40, all.bottom + 30);  // the text grows, the buttons move
            const ui::Rect t = v.rect(kText), o = v.rect(ui::kIdOk);
            EXPECT_EQ(t.right + t.bottom + o.left + o.bottom,
                      text.right + text.bottom + ok.left + ok.bottom + 140);
            Act(v, "Tif_true_{keep;}_if_false_{} O");
        });
        SieveEditorDialog dialog("if true { keep; }", parse, false);  // the whole script
        EXPECT_EQ(dialog.run(nullptr), ui::kIdOk);
        EXPECT_EQ(dialog.text(), "if true {keep;} if false {}");
        std::unique_ptr<RuleSet> set = dialog.takeParsed();
        EXPECT_EQ(set ? static_cast<int>(set->size()) : -1, parse ? 2 : -1);
    }
}

}  // namespace
}  // namespace wq::editor
