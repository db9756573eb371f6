// The Mail Rules dialog driven as a person would, checked on the rule set it leaves: the chain,
// and the list rows, which must show the chain in its order after every change.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "editor/mail_rules_dialog.h"
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
const std::map<char, int> kButton = {
    {'N', IDC_MAIL_RULES_NEW},         {'M', IDC_MAIL_RULES_MODIFY},
    {'C', IDC_MAIL_RULES_COPY},        {'R', IDC_MAIL_RULES_REMOVE},
    {'E', IDC_MAIL_RULES_EDIT_SCRIPT}, {'U', IDC_MAIL_RULES_MOVE_UP},
    {'D', IDC_MAIL_RULES_MOVE_DOWN}};

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
std::string Enabled(const DialogView& v) {
    std::string s;
    for (char b : kLetters) {
        s += v.enabled(kButton.at(b)) ? b : '.';
    }
    return s;
}

// A person's steps: r<n>, t<n>, d<n> click, tick or double-click row n; a button letter clicks
// it; y and n answer the next question; s<n> expects row n
// selected, =<letters> the enabled buttons, p<text> a text in the pane; o<text> clicks the
// description at the first character of that text; S keeps a picture.
void Act(DialogView& v, const std::string& steps) {
    using Arg = const std::string&;
    auto answer = [](int b) {
        headless::OnMessageBox([b](const headless::MessageBoxView&) { return b; });
    };
    const std::map<char, std::function<void(int, Arg)>> act = {
        {'r', [&](int n, Arg) { v.clickRow(kList, n); }},
        {'t', [&](int n, Arg) { v.clickTick(kList, n); }},
        {'d', [&](int n, Arg) { v.doubleClickRow(kList, n); }},
        {'y', [&](int, Arg) { answer(ui::kIdYes); }},
        {'n', [&](int, Arg) { answer(ui::kIdNo); }},
        {'s', [&](int n, Arg s) { EXPECT_EQ(v.selectedRows(kList), std::vector<int>{n}) << s; }},
        {'=', [&](int, Arg s) { EXPECT_EQ(Enabled(v), s.substr(1)) << s; }},
        {'p', [&](int, Arg s) { EXPECT_NE(v.text(kPane).find(s.substr(1)), s.npos) << s; }},
        {'o', [&](int, Arg s) { v.clickText(kPane, int(v.text(kPane).find(s.substr(1)))); }},
        {'S', [&](int, Arg) { v.snapshot("mail_rules"); }}};
    std::istringstream in(steps);
    for (std::string s; in >> s;) {
        if (act.count(s[0])) {
            act.at(s[0])(std::atoi(s.c_str() + 1), s);
        } else {
            v.click(kButton.at(s[0]));
        }
    }
}

using Inner = std::function<void(DialogView&)>;  // answers the dialog a step opens
Inner Script(std::string text) {
    return [=](DialogView& v) { v.type(IDC_SIEVE_EDITOR_TEXT, text), v.click(ui::kIdOk); };
}
Inner Editor(int condition, int action, std::string name, int close = ui::kIdOk) {
    return [=](DialogView& v) {
        v.clickTick(IDC_RULE_EDITOR_CONDITIONS, condition);
        v.clickTick(IDC_RULE_EDITOR_ACTIONS, action);
        v.type(IDC_RULE_EDITOR_NAME, name);
        v.click(close);
    };
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
        std::string script, steps;
        Inner inner;
        int result;
        std::string after;  // the chain after OK; after Cancel the script is unchanged
    };
    const std::vector<Case> cases = {
        {"", "=N...... pThere", {}, ui::kIdCancel, ""},
        {kRules, "=N...... r0 =NMCRE.D S", {}, ui::kIdCancel, ""},
        {kRules, "t1 s1 t1", {}, ui::kIdOk, kStart},
        {kRules, "r0 y R", {}, ui::kIdOk, "Work-|<unnamed rule>+"},
        {kRules, "r1 n R", {}, ui::kIdCancel, ""},
        {"if true {keep;}", "r0 y R =N......", {}, ui::kIdOk, ""},
        {kRules, "r0 D s1 r2 =N.CREU. pThis", {}, ui::kIdOk, "Work-|Spam+|<unnamed rule>+"},
        {kRules, "r2 C s2", {}, ui::kIdOk, kStart + "|Copy of <unnamed rule>+"},
        {kSpam, "r0 C s0", {}, ui::kIdOk, "Spam+|Copy (2) of Spam+|Copy of spam-"},
        {CopiesOfX(), "r0 C", {}, ui::kIdCancel, ""},
        {kRules, "r1 E", Script("if true { fileinto \"Archive\"; }"), ui::kIdOk,
         "Spam+|Work+|<unnamed rule>+"},
        {kRules, "r0 y E", Script(""), ui::kIdOk, "Work-|<unnamed rule>+"},
        {"if anyof (header :contains \"Subject\" \"a\", size :over 1K) {keep;}", "r0 oor",
         [](DialogView& v) { v.click(IDC_AND_OR_ALL), v.click(ui::kIdOk); }, ui::kIdOk,
         "<unnamed rule>+"},
        {kRules, "N s3", Editor(6, 3, "Fresh"), ui::kIdOk, kStart + "|Fresh+"},
        {kRules, "d0", Editor(9, 7, "Junk"), ui::kIdOk, "Junk+|Work-|<unnamed rule>+"},
        {kRules, "r1 M", Editor(9, 7, "Junk", ui::kIdCancel), ui::kIdCancel, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        headless::Reset();
        RuleSet set = parsed(c.script);
        const std::string before = script(set.first);
        headless::OnDialog([&](DialogView& v) {
            if (c.inner) {
                headless::OnDialog(c.inner);
            }
            Act(v, c.steps);
            EXPECT_EQ(Rows(v), Chain(set));
            v.click(ui::kIdOk);
        });
        EXPECT_EQ(MailRulesDialog(set).run(nullptr), c.result);
        const bool ok = c.result == ui::kIdOk;
        EXPECT_EQ(ok ? Chain(set) : script(set.first), ok ? c.after : before);
        EXPECT_EQ(headless::PendingHandlers(), 0);
    }
}

}  // namespace
}  // namespace wq::editor
