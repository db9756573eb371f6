// The description pane in a dialog, driven as a person would: the same steps run on the headless
// backend and on the real rich-edit control under Wine, where the test keeps a screenshot.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/text.h"
#include "editor/description_pane.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "rules/rules_builders.h"

namespace wq::editor {
namespace {

using namespace rules;
using namespace rules::testing;

constexpr int kPane = IDC_MAIL_RULES_DESCRIPTION;

// A dialog that hosts the pane and stands in for the value dialogs: a click on an address list
// gives it the address "anna"; every other click changes nothing.
class Host : public ui::Dialog, public LinkActivator {
  public:
    explicit Host(SieveCommand* rule) : rule_(rule) {}

    DescriptionPane pane{this};
    std::vector<std::pair<LinkKind, uint32_t>> clicks;
    int changes = 0;

    bool onInit() override {
        EXPECT_TRUE(pane.attach(window(), kPane));
        pane.setChangedHandler([this](DescriptionPane& p) { changes += &p == &pane; });
        EXPECT_FALSE(pane.setRule(rule_, false));
        return true;
    }
    bool onEvent(const ui::Event& e) override { return pane.onEvent(e) || Dialog::onEvent(e); }
    bool activateLink(LinkKind kind, uint32_t handle, DescriptionPane& p,
                      SieveCommand& rule) override {
        EXPECT_EQ(&rule, rule_);
        clicks.emplace_back(kind, handle);
        SieveTest* test = p.test(handle);
        if (kind != LinkKind::kAddress || !test) {
            return false;
        }
        test->keys = strings({"anna"});
        return true;
    }

  private:
    SieveCommand* rule_;
};

// The runs as letters: B blue, R red, lower case when not underlined.
std::string Colours(const ui::StyledText& text) {
    std::string colours;
    for (const ui::StyledText::Run& run : text.runs) {
        colours += char((run.colour.red ? 'R' : 'B') + (run.underline ? 0 : 'a' - 'A'));
    }
    return colours;
}

TEST(DescriptionPane, ShowsTheRuleAndEditsTheClickedValue) {
    headless::Reset();
    SieveCommand* rule =
        ifCommand("", true, addressTest(AddressPart::All, MatchType::Contains, {"From"}, {}),
                  commands(action(CommandKind::FileInto, "INBOX/Work")));
    Host host(rule);
    headless::OnDialog([&](headless::DialogView& v) {
        DescriptionPane& pane = host.pane;
        EXPECT_FALSE(pane.complete());
        EXPECT_EQ(v.text(kPane),
                  "Apply this rule after the message arrives.\n"
                  "Where the From line contains address.\nMove it to Inbox/Work.");
        EXPECT_EQ(Colours(v.styledText(kPane)), "BRB");
        v.snapshot("description");
        ASSERT_EQ(pane.links().size(), 3u);
        const DescriptionLink match = pane.links()[0], address = pane.links()[1];
        EXPECT_EQ(pane.test(address.handle), rule->test);
        EXPECT_EQ(pane.command(pane.links()[2].handle), rule->block);

        v.clickText(kPane, 5);               // plain text
        v.clickText(kPane, int(match.end));  // just behind "contains" still counts
        EXPECT_EQ(host.clicks,
                  (std::vector<std::pair<LinkKind, uint32_t>>{{LinkKind::kMatch, match.handle}}));
        EXPECT_EQ(host.changes, 0);

        headless::OnMessageBox([](const headless::MessageBoxView& box) {
            EXPECT_EQ(box.caption, "Qorva Mail");
            EXPECT_EQ(box.text, LoadText(109));
            EXPECT_EQ(box.style, ui::kMbOk);
            return ui::kIdOk;
        });
        EXPECT_FALSE(pane.validateRule(true));
        EXPECT_EQ(headless::PendingHandlers(), 0);

        v.clickText(kPane, int(address.start));
        ASSERT_EQ(host.clicks.size(), 2u);
        EXPECT_EQ(host.clicks[1], std::make_pair(LinkKind::kAddress, address.handle));
        EXPECT_EQ(host.changes, 1);
        EXPECT_EQ(v.text(kPane).substr(43),
                  "Where the From line contains 'anna'.\n"
                  "Move it to Inbox/Work.");
        EXPECT_EQ(Colours(v.styledText(kPane)), "BBB");
        EXPECT_TRUE(pane.validateRule(true));  // no message box

        rule->visual = 0;  // a script rule
        const std::tuple<SieveCommand*, bool, std::string> messages[] = {
            {rule, true, "Multiple items selected."},
            {rule, false, "This rule cannot be visually edited."},
            {nullptr, false, "There is no item selected."},
        };
        for (const auto& [shown, multiple, text] : messages) {
            EXPECT_TRUE(pane.setRule(shown, multiple));
            EXPECT_EQ(v.text(kPane), "\n" + text);
            EXPECT_TRUE(pane.links().empty());
            EXPECT_EQ(pane.rule(), nullptr);
            EXPECT_FALSE(pane.validateRule(true));
            v.clickText(kPane, 3);
        }
        EXPECT_EQ(host.clicks.size(), 2u);
        v.click(ui::kIdOk);
    });
    EXPECT_EQ(ui::RunModalDialog(IDD_MAIL_RULES, nullptr, host), ui::kIdOk);
    EXPECT_EQ(headless::PendingHandlers(), 0);
}

}  // namespace
}  // namespace wq::editor
