// The Sieve Editor: the text as it is shown, its layout, and OK and Cancel driven as a person
// would, with the questions and refusals answered.
#include <gtest/gtest.h>

#include <map>
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
    for (const auto& c : std::vector<std::pair<std::string, std::string>>{
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
        EXPECT_EQ(PrepareScriptForDisplay(c.first), c.second) << c.first;
    }
}

// Random rules whose texts hold what the reshaping acts on: the shown text of a whole script and
// of each rule alone reads back to the same rules.
TEST(SieveEditorText, ShownTextReadsBackToTheSameRules) {
    const char* pieces[] = {"{",  "}",     "\\",   "\"", "#", "/*", "*/",
                            "\n", "text:", "\r\n", "a",  " ", "."};
    std::mt19937 random(7);
    auto text = [&](bool lineBreaks) {
        std::string s;
        for (int n = random() % 7; n > 0; --n) {
            std::string p = pieces[random() % 13];
            s += lineBreaks || p.find('\n') == p.npos ? p : "x";
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
        ASSERT_TRUE(shown.first);
        ASSERT_EQ(singleRule(*shown.first), alone);
    }
}

TEST(SieveEditorDialog, OkReadsTheTextAndStaysOpenUntilItIsAccepted) {
    const char* kDelete =
        "Empty script will delete the rule.\nWould you really like to delete the rule ?";
    // The message boxes by letter: error, deletion answered No or Yes, one-rule refusal.
    const std::map<char, std::pair<std::string, unsigned>> boxes = {
        {'e', {"The script contains error.\n\nError details:\nLine 1: invalid command: kep", 0x10}},
        {'n', {kDelete, 0x134}},
        {'y', {kDelete, 0x134}},
        {'o', {"You can not change number of script rules. Only one rule is allowed.", 0x10}}};
    const std::string bad = "if true { kep; }", odd = "if header :is \"X-Odd\" \"1\" { keep; }";
    struct Case {
        bool parse, single;
        std::vector<std::string> typed;  // before each OK
        std::string boxes;               // after each OK; '.' for none (the dialog closes)
        int result, rules;               // rules handed over; -1 for none
    };
    for (const Case& c : std::vector<Case>{{true, true, {bad, odd}, "e.", ui::kIdOk, 1},
                                           {true, true, {"", " \r\n"}, "ny", ui::kIdOk, 0},
                                           {true, true, {odd + odd}, "o", ui::kIdCancel, -1},
                                           {true, false, {odd + odd}, ".", ui::kIdOk, 2},
                                           {false, false, {"if {"}, ".", ui::kIdOk, -1}}) {
        SCOPED_TRACE(c.boxes);
        headless::Reset();
        headless::OnDialog([&](DialogView& v) {
            EXPECT_EQ(v.text(kText), "if true \r\n{\r\n keep; \r\n}\r\n");
            EXPECT_EQ(v.focus(), kText);
            EXPECT_EQ(v.textSelection(kText), std::make_pair(0, 0));
            EXPECT_TRUE(v.centeredOnOwner() && v.hasSizeGrip());
            const ui::Rect client = v.rect(0), text = v.rect(kText), ok = v.rect(ui::kIdOk);
            v.snapshot("sieve_editor");
            v.resize(client.right + 40, client.bottom + 30);  // the text grows, the buttons move
            const ui::Rect t = v.rect(kText), o = v.rect(ui::kIdOk);
            EXPECT_EQ(std::vector<int>({t.left, t.right, t.bottom, o.left, o.bottom}),
                      std::vector<int>({text.left, text.right + 40, text.bottom + 30, ok.left + 40,
                                        ok.bottom + 30}));
            for (size_t i = 0; i < c.typed.size(); ++i) {
                const char box = c.boxes[i];
                if (box != '.') {
                    headless::OnMessageBox([&, box](const MessageBoxView& m) {
                        EXPECT_EQ(std::make_pair(m.text, m.style), boxes.at(box));
                        return box == 'y' ? ui::kIdYes : box == 'n' ? ui::kIdNo : ui::kIdOk;
                    });
                }
                v.type(kText, c.typed[i]);
                v.click(ui::kIdOk);
                EXPECT_EQ(v.ended(), box == '.' || box == 'y');
            }
            v.click(ui::kIdCancel);
        });
        SieveEditorDialog dialog("if true { keep; }", c.parse, c.single);
        EXPECT_EQ(dialog.run(nullptr), c.result);
        EXPECT_EQ(headless::PendingHandlers(), 0);  // every box came
        if (c.result == ui::kIdOk) {
            EXPECT_EQ(dialog.text(), c.typed.back());
        }
        std::unique_ptr<RuleSet> set = dialog.takeParsed();
        EXPECT_EQ(set ? static_cast<int>(set->size()) : -1, c.rules);
        EXPECT_TRUE(!set || set->empty() || !set->first->visual);  // X-Odd is no catalogue entry
    }
}

}  // namespace
}  // namespace wq::editor
