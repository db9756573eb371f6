// The Sieve Editor: the text as it is shown, and OK and Cancel driven as a person would, with the
// questions and refusals answered.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "editor/sieve_editor_dialog.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "rules/rules_builders.h"

namespace wq::editor {
namespace {

using namespace rules;
using namespace rules::testing;
using headless::DialogView;
using headless::MessageBoxView;

constexpr int kText = IDC_SIEVE_EDITOR_TEXT;

TEST(SieveEditorText, CodeIsReshapedAndStringsAndCommentsAreKept) {
    struct Case {
        std::string in, shown;
    };
    for (const Case& c : std::vector<Case>{
             {"if true { keep; }", "if true \r\n{\r\n keep; \r\n}\r\n"},
             {"a\n\n\nb\r\n\r\nc\r", "a\r\nb\r\nc\r"},
             {"if true {}", "if true \r\n{\r\n\r\n}\r\n"},
             {"fileinto \"a{b}\\\"{\";", "fileinto \"a{b}\\\"{\";"},
             {"#!1 Rule {x}\n\nif", "#!1 Rule {x}\r\nif"},
             {"/* {\n\n} */{", "/* {\r\n\r\n} */\r\n{\r\n"},
             {"vacation TEXT: {\n{\n\n.x\n.\n\n}",
              "vacation TEXT: {\r\n{\r\n\r\n.x\r\n.\r\n\r\n}\r\n"},
             {"contexts:{", "contexts:\r\n{\r\n"},
         }) {
        EXPECT_EQ(PrepareScriptForDisplay(c.in), c.shown) << c.in;
    }
}

// Random rules whose texts hold the characters the reshaping acts on: the shown text of a whole
// script and of each rule alone reads back to the same rules.
TEST(SieveEditorText, ShownTextReadsBackToTheSameRules) {
    const std::vector<std::string> pieces = {"{",  "}",     "\\",   "\"", "#", "/*",   "*/",
                                             "\n", "text:", "\r\n", "a",  " ", "\n\n", "."};
    std::mt19937 random(7);
    auto text = [&](bool lineBreaks) {
        std::string s;
        for (int n = std::uniform_int_distribution<int>(0, 6)(random); n > 0; --n) {
            const std::string& p = pieces[random() % pieces.size()];
            s += lineBreaks || p.find_first_of("\r\n") == std::string::npos ? p : "x";
        }
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        testArena().clear();
        std::vector<SieveCommand*> rules;
        for (int i = 0; i < 3; ++i) {
            rules.push_back(
                ifCommand(text(false), random() % 2,
                          headerTest(MatchType::Contains, {"Subject"}, {text(true)}),
                          commands(action(CommandKind::Vacation, text(true), text(true)),
                                   action(CommandKind::FileInto, text(true)))));
        }
        SieveCommand* first = chain(rules);
        const std::string whole = script(first);
        ASSERT_EQ(script(parsed(PrepareScriptForDisplay(whole)).first), whole);
        for (SieveCommand* r = first; r; r = r->next) {
            RuleSet alone = parsed(singleRule(*r));
            RuleSet shown = parsed(PrepareScriptForDisplay(singleRule(*r)));
            ASSERT_TRUE(alone.first && shown.first);
            ASSERT_EQ(singleRule(*shown.first), singleRule(*alone.first));
        }
    }
}

struct Step {
    std::string typed;
    std::vector<std::string> messages;  // message boxes expected after OK, in order
    int answer = ui::kIdOk;             // the button given to each of them
    bool closes = false;
};

struct Case {
    const char* name;
    bool parse, singleRule;
    std::vector<Step> steps;
    int result;
    int rules;  // in the parsed set; -1: none handed over
    bool visual = true;
};

const char kError[] = "The script contains error.";
const char kDelete[] =
    "Empty script will delete the rule.\nWould you really like to delete the rule ?";
const char kOneRule[] = "You can not change number of script rules. Only one rule is allowed.";

TEST(SieveEditorDialog, OkReadsTheTextAndStaysOpenUntilItIsAccepted) {
    const std::string two = "if true {keep;} if false {discard;}";
    const std::vector<Case> cases = {
        {"syntax error, then corrected",
         true,
         true,
         {{"if true { kep; }",
           {std::string(kError) + "\n\nError details:\nLine 1: invalid command: kep"}},
          {"if header :is \"X-Odd\" \"1\" { keep; }", {}, ui::kIdOk, true}},
         ui::kIdOk,
         1,
         false},
        {"empty text: No keeps it open, Yes deletes",
         true,
         true,
         {{"", {kDelete}, ui::kIdNo}, {" \r\n", {kDelete}, ui::kIdYes, true}},
         ui::kIdOk,
         0},
        {"two rules refused for one", true, true, {{two, {kOneRule}}}, ui::kIdCancel, -1},
        {"two rules taken for the whole script", true, false, {{two, {}, 0, true}}, ui::kIdOk, 2},
        {"text only", false, false, {{"if {", {}, 0, true}}, ui::kIdOk, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        headless::Reset();
        std::vector<std::string> shown;
        std::vector<unsigned> styles;
        headless::OnDialog([&](DialogView& v) {
            EXPECT_EQ(v.text(kText), "if true \r\n{\r\n keep; \r\n}\r\n");
            EXPECT_EQ(v.focus(), kText);
            EXPECT_EQ(v.textSelection(kText), std::make_pair(0, 0));
            for (const Step& step : c.steps) {
                for (size_t i = 0; i < step.messages.size(); ++i) {
                    headless::OnMessageBox([&, step](const MessageBoxView& box) {
                        shown.push_back(box.text);
                        styles.push_back(box.style);
                        EXPECT_EQ(box.caption, "Qorva Outlook Express Extensions");
                        return step.answer;
                    });
                }
                v.type(kText, step.typed);
                v.click(ui::kIdOk);
                EXPECT_EQ(v.ended(), step.closes) << step.typed;
            }
            v.click(ui::kIdCancel);
        });
        SieveEditorDialog dialog("if true { keep; }", c.parse, c.singleRule);
        EXPECT_EQ(dialog.run(nullptr), c.result);
        std::vector<std::string> expected;
        for (const Step& step : c.steps) {
            expected.insert(expected.end(), step.messages.begin(), step.messages.end());
        }
        EXPECT_EQ(shown, expected);
        for (size_t i = 0; i < styles.size(); ++i) {
            EXPECT_EQ(styles[i], shown[i] == kDelete ? 0x134u : 0x10u) << shown[i];
        }
        if (c.result == ui::kIdOk) {
            EXPECT_EQ(dialog.text(), c.steps.back().typed);
        }
        std::unique_ptr<RuleSet> set = dialog.takeParsed();
        ASSERT_EQ(set != nullptr, c.rules >= 0);
        if (set) {
            EXPECT_EQ(static_cast<int>(set->size()), c.rules);
            EXPECT_TRUE(set->empty() || set->first->visual == c.visual);
        }
        EXPECT_EQ(headless::PendingHandlers(), 0);
    }
}

TEST(SieveEditorDialog, TextGrowsWithTheWindowAndButtonsKeepToTheCorner) {
    headless::Reset();
    headless::OnDialog([](DialogView& v) {
        ASSERT_TRUE(v.hasSizeGrip());
        const ui::Rect client = v.rect(0), text = v.rect(kText), ok = v.rect(ui::kIdOk);
        v.snapshot("sieve_editor");
        v.resize(client.right + 40, client.bottom + 30);
        EXPECT_EQ(v.rect(kText).right - text.right, 40);
        EXPECT_EQ(v.rect(kText).bottom - text.bottom, 30);
        EXPECT_EQ(v.rect(ui::kIdOk).left - ok.left, 40);
        EXPECT_EQ(v.rect(ui::kIdOk).top - ok.top, 30);
        EXPECT_TRUE(v.centeredOnOwner());
        v.click(ui::kIdCancel);
    });
    SieveEditorDialog dialog(singleRule(*ifCommand("Big", true, sizeTest(SizeRelation::Over, 9),
                                                   commands(action(CommandKind::Discard)))),
                             true, true);
    EXPECT_EQ(dialog.run(nullptr), ui::kIdCancel);
    EXPECT_EQ(dialog.takeParsed(), nullptr);
}

}  // namespace
}  // namespace wq::editor
