// The Rule Editor driven as a person would: ticks in both lists, clicks on the red values of the
// description, a name typed, OK; checked on the rule's records.
#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "editor/rule_editor_dialog.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "rules/catalogue.h"
#include "rules/rules_builders.h"

namespace wq::editor {
namespace {

using namespace rules;
using headless::DialogView;
constexpr int kConditions = IDC_RULE_EDITOR_CONDITIONS, kActions = IDC_RULE_EDITOR_ACTIONS;
constexpr int kPane = IDC_RULE_EDITOR_DESCRIPTION;

// The rule by catalogue rows: a group's kind, its condition rows, "|", its action rows.
std::string Shape(const SieveCommand& rule) {
    std::string s;
    const SieveTest* t = rule.test;
    const bool group = t && (t->kind == TestKind::AllOf || t->kind == TestKind::AnyOf);
    if (group) {
        s = t->kind == TestKind::AllOf ? "all" : "any";
    }
    for (t = group ? t->children : t; t; t = group ? t->next : nullptr) {
        s += std::to_string(findCriterionKind(t).value_or(99));
    }
    s += '|';
    for (const SieveCommand* c = rule.block; c; c = c->next) {
        s += std::to_string(findActionKind(*c).value_or(9));
    }
    return s;
}

std::string Ticks(DialogView& v, int id) {
    std::string s;
    for (int row = 0; row < v.rowCount(id); ++row) {
        s += char('0' + static_cast<int>(v.rowTick(id, row)));  // 1 off, 2 on, 4 greyed
    }
    return s;
}

// A rule as the Mail Rules dialog makes it for New, or the first rule of `script`.
RuleSet Rule(const char* script) {
    RuleSet rules = testing::parsed(script);
    if (!rules.first) {
        rules.first = createCommand(rules.arena);
        rules.first->kind = CommandKind::If;
        rules.first->enabled = 1;
    }
    return rules;
}

struct Case {
    const char* script;  // the rule as read; empty for a new rule
    const char* clicks;  // ticks clicked: "c5" condition row 5, "a3" action row 3
    const char *shape, *conditions, *actions;
};

TEST(RuleEditor, TicksKeepTheRuleAndTheRowsInStep) {
    const char* kDoubled =
        "if anyof (header :contains \"Subject\" \"a\", header :contains "
        "\"Subject\" \"b\", size :over 100) { keep; discard; redirect \"x\"; "
        "redirect \"y\"; }";
    const Case cases[] = {
        {"", "c5c1c7c5", "all17|", "1211111211", "11111111"},
        {"", "c1c5c1", "5|", "1111121111", "11111111"},
        {"", "c1c9c3", "9|", "4444444442", "11111111"},
        {"", "c1c9c9", "|", "1111111111", "11111111"},
        {"", "a3a4a7a0", "|037", "1111111111", "21124112"},
        {"", "a3a3a4", "|4", "1111111111", "11142111"},
        {kDoubled, "", "any557|3411", "1111121211", "12122111"},
        {kDoubled, "c5a3a1c1", "all17|4", "1211111211", "11142111"},
        {"if anyof (header :contains \"Subject\" \"a\", true) { keep; }", "c5", "9|3", "4444444442",
         "11124111"},
        {"if header :contains \"Subject\" \"a\" { }", "a6", "5|6", "1111121111", "11111121"},
    };
    ASSERT_TRUE(loadCatalogues(false));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " / " + c.clicks);
        headless::Reset();
        RuleSet rules = Rule(c.script);
        headless::OnDialog([&](DialogView& v) {
            for (const char* p = c.clicks; *p; p += 2) {
                v.clickTick(*p == 'c' ? kConditions : kActions, p[1] - '0');
            }
            EXPECT_EQ(Ticks(v, kConditions), c.conditions);
            EXPECT_EQ(Ticks(v, kActions), c.actions);
        });
        EXPECT_EQ(RuleEditorDialog(*rules.first, rules.arena).run(nullptr), ui::kIdCancel);
        EXPECT_EQ(Shape(*rules.first), c.shape);  // changed also when cancelled
    }
}

TEST(RuleEditor, OkWantsConditionsActionsAndValuesThenTakesTheName) {
    headless::Reset();
    RuleSet rules = Rule("");
    SieveCommand& rule = *rules.first;
    headless::OnDialog([](DialogView& v) {
        EXPECT_EQ(v.text(kPane), "Apply this rule after the message arrives..");
        EXPECT_EQ(v.rowText(kConditions, 1), "Where the From line contains address");
        v.click(ui::kIdOk);
        v.clickTick(kConditions, 1);
        v.click(ui::kIdOk);
        v.clickTick(kActions, 0);
        v.click(ui::kIdOk);
        v.clickTick(kActions, 0);
        v.clickTick(kActions, 1);
        v.snapshot("rule_editor");
        for (int i = 0; i < 2; ++i) {  // the red values, first to last
            for (const ui::StyledText::Run& run : v.styledText(kPane).runs) {
                if (run.colour.red) {
                    v.clickText(kPane, run.start);
                    break;
                }
            }
        }
        v.type(IDC_RULE_EDITOR_NAME, std::string(200, 'n'));
        EXPECT_FALSE(v.ended());
        v.click(ui::kIdOk);
    });
    headless::OnDialog([](DialogView& v) {
        v.type(IDC_SELECT_PEOPLE_VALUE, "anna@x");
        v.click(IDC_SELECT_PEOPLE_ADD);
        v.click(ui::kIdOk);
    });
    headless::OnDialog([](DialogView& v) {
        v.type(IDC_SELECT_ADDRESS_ADDRESS, "bob@y");
        v.click(ui::kIdOk);
    });
    EXPECT_EQ(RuleEditorDialog(rule, rules.arena).run(nullptr), ui::kIdOk);
    EXPECT_EQ(Shape(rule), "1|1");
    EXPECT_EQ(testing::owned(rule.test->keys), std::vector<std::string>{"anna@x"});
    EXPECT_EQ(rule.block->argument.str(), "bob@y");
    EXPECT_EQ(rule.text1.str(), std::string(127, 'n'));
    std::vector<std::string> boxes;  // style, caption, text
    for (const headless::Event& e : headless::Events()) {
        if (e.kind == headless::Event::Kind::kMessageBox) {
            boxes.push_back(std::to_string(e.style) + e.caption + e.text);
        }
    }
    EXPECT_EQ(boxes, (std::vector<std::string>{"48" + LoadText(1) + LoadText(126),
                                               "48" + LoadText(1) + LoadText(127),
                                               "0Qorva Mail" + LoadText(109)}));
}

}  // namespace
}  // namespace wq::editor
