// A click on each kind of value in a rule's description, answered in the dialog it opens, and
// the rule's records afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "editor/link_activation.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "rules/catalogue.h"
#include "rules/rules_builders.h"

namespace wq::editor {
namespace {

using namespace rules;
using namespace rules::testing;
using headless::DialogView;

constexpr int kPane = IDC_MAIL_RULES_DESCRIPTION;

// The Mail Rules dialog as far as a pane with real value dialogs needs it.
class Host : public ui::Dialog {
  public:
    explicit Host(SieveCommand* rule) : rule_(rule) {}
    ValueLinkActivator activator{testArena()};
    DescriptionPane pane{&activator};
    int changes = 0;

    bool onInit() override {
        pane.attach(window(), kPane);
        pane.setChangedHandler([this](DescriptionPane&) { ++changes; });
        pane.setRule(rule_, false);
        return true;
    }
    bool onEvent(const ui::Event& e) override { return pane.onEvent(e) || Dialog::onEvent(e); }

  private:
    SieveCommand* rule_;
};

struct Case {
    const char* name;
    SieveCommand* rule;
    LinkKind kind;
    std::function<void(DialogView&)> answer;  // in the value dialog
    std::function<void(SieveCommand&)> check;
    int changes;
};

class LinkActivation : public ::testing::TestWithParam<int> {};

std::vector<Case> Cases() {
    auto from = [] { return addressTest(AddressPart::All, MatchType::Contains, {"From"}, {"a"}); };
    return {
        {"any of two conditions",
         ifCommand("", true, groupTest(TestKind::AllOf, tests(from(), from())),
                   commands(action(CommandKind::Keep))),
         LinkKind::kAndOr,
         [](DialogView& v) {
             v.click(IDC_AND_OR_ANY);
             v.click(ui::kIdOk);
         },
         [](SieveCommand& r) { EXPECT_EQ(r.test->kind, TestKind::AnyOf); }, 1},
        {"the same grouping again changes nothing",
         ifCommand("", true, groupTest(TestKind::AllOf, tests(from(), from())),
                   commands(action(CommandKind::Keep))),
         LinkKind::kAndOr, [](DialogView& v) { v.click(ui::kIdOk); },
         [](SieveCommand& r) { EXPECT_EQ(r.test->kind, TestKind::AllOf); }, 0},
        {"notification preset confirmed",
         ifCommand("", true, from(), commands(action(CommandKind::Notify, "", "x@y"))),
         LinkKind::kNotifyMessage,
         [](DialogView& v) {
             EXPECT_EQ(v.text(IDC_MESSAGE_TEXT_TEXT), "$from$: $subject$\r\n$text$");
             v.click(ui::kIdOk);
         },
         [](SieveCommand& r) { EXPECT_EQ(r.block->argument.str(), "$from$: $subject$\r\n$text$"); },
         1},
        {"reason cleared",
         ifCommand("", true, from(), commands(action(CommandKind::Reject, "Go away"))),
         LinkKind::kReject,
         [](DialogView& v) {
             v.type(IDC_MESSAGE_TEXT_TEXT, "");
             v.click(ui::kIdOk);
         },
         [](SieveCommand& r) { EXPECT_TRUE(r.block->argument.empty()); }, 1},
        {"size in megabytes",
         ifCommand("", true, sizeTest(SizeRelation::Under, 10240),
                   commands(action(CommandKind::Keep))),
         LinkKind::kSize,
         [](DialogView& v) {
             EXPECT_EQ(v.text(IDC_SIZE_LIMIT), "10");
             v.type(IDC_SIZE_LIMIT, "15");
             v.chooseEntry(IDC_SIZE_UNIT, 2);
             v.click(ui::kIdOk);
         },
         [](SieveCommand& r) { EXPECT_EQ(r.test->sizeLimit, 15728640); }, 1},
        {"match type cancelled", ifCommand("", true, from(), commands(action(CommandKind::Keep))),
         LinkKind::kMatch, [](DialogView& v) { v.chooseEntry(IDC_CONDITION_OPTIONS_MATCH, 5); },
         [](SieveCommand& r) { EXPECT_EQ(r.test->matchType, MatchType::Contains); }, 0},
        {"notification address cut to its field",
         ifCommand("", true, from(), commands(action(CommandKind::Notify, "m", "old"))),
         LinkKind::kNotifyAddress,
         [](DialogView& v) {
             v.type(IDC_SELECT_ADDRESS_ADDRESS, std::string(200, 'n'));
             v.click(ui::kIdOk);
         },
         [](SieveCommand& r) { EXPECT_EQ(r.block->text1.str(), std::string(127, 'n')); }, 1},
        {"folder mapped and encoded for the server",
         ifCommand("", true, from(), commands(action(CommandKind::FileInto, "INBOX/Old"))),
         LinkKind::kFileInto,
         [](DialogView& v) {
             EXPECT_EQ(v.text(IDC_MOVE_PATH), "Inbox/Old");
             v.type(IDC_MOVE_PATH, "Inbox/Work & Play/");
             v.click(ui::kIdOk);
         },
         [](SieveCommand& r) { EXPECT_EQ(r.block->argument.str(), "INBOX/Work &- Play"); }, 1},
    };
}

TEST_P(LinkActivation, WritesTheValueOnOkOnly) {
    headless::Reset();
    ASSERT_TRUE(loadCatalogues(false));
    Case c = Cases()[static_cast<size_t>(GetParam())];
    SCOPED_TRACE(c.name);
    Host host(c.rule);
    headless::OnDialog([&](DialogView& v) {
        for (const DescriptionLink& link : host.pane.links()) {
            if (link.kind == c.kind) {
                v.clickText(kPane, static_cast<int>(link.start));
                break;
            }
        }
        v.click(ui::kIdOk);
    });
    headless::OnDialog(c.answer);
    ui::RunModalDialog(IDD_MAIL_RULES, nullptr, host);
    c.check(*c.rule);
    EXPECT_EQ(host.changes, c.changes);
    for (const headless::Event& e : headless::Events()) {
        EXPECT_NE(e.kind, headless::Event::Kind::kMessageBox) << e.text;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, LinkActivation, ::testing::Range(0, 8));

}  // namespace
}  // namespace wq::editor
