// The value dialogs driven as a person would, checked on the values and rule records they leave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/value_dialogs.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "rules/catalogue.h"

namespace wq::editor {
namespace {

using headless::DialogView;
using headless::MessageBoxView;

class ValueDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::Reset();
        ASSERT_TRUE(rules::loadCatalogues(false));
    }
    void TearDown() override { EXPECT_EQ(headless::PendingHandlers(), 0); }

    // A From-line Address test with keys, as the catalogue builds it.
    rules::SieveTest& fromTest(std::vector<std::string_view> keys) {
        rules::SieveTest* t = rules::buildCondition(arena_, rules::criterionCatalogue()[1]);
        t->keys = rules::StringList::copyOf(arena_, keys.data(), keys.size());
        return *t;
    }

    rules::RuleArena arena_;
};

TEST_F(ValueDialogs, AndOrAndMatchTypeChoicesComeBackOnOkOnly) {
    headless::OnDialog([](DialogView& v) {
        EXPECT_TRUE(v.checked(IDC_AND_OR_ALL));
        v.click(IDC_AND_OR_ANY);
        v.snapshot("and_or");
        v.click(ui::kIdOk);
    });
    AndOrDialog andOr(true);
    EXPECT_EQ(andOr.run(), ui::kIdOk);
    EXPECT_FALSE(andOr.all());

    headless::OnDialog([](DialogView& v) {
        EXPECT_EQ(v.selectedEntry(IDC_CONDITION_OPTIONS_MATCH), 3);  // "does not contain"
        EXPECT_EQ(v.text(IDC_CONDITION_OPTIONS_EXPLANATION),
                  "The 'contains' match type describes a substring match.");
        v.chooseEntry(IDC_CONDITION_OPTIONS_MATCH, 4);
        EXPECT_EQ(v.text(IDC_CONDITION_OPTIONS_MATCH), "matches");
        EXPECT_EQ(v.text(IDC_CONDITION_OPTIONS_EXPLANATION).rfind("The 'matches' match type", 0),
                  0u);
        v.snapshot("condition_options");
        v.click(ui::kIdOk);
    });
    ConditionOptionsDialog options(3);
    EXPECT_EQ(options.run(), ui::kIdOk);
    EXPECT_EQ(options.choice(), 4);

    headless::OnDialog([](DialogView& v) { v.chooseEntry(IDC_CONDITION_OPTIONS_MATCH, 0); });
    ConditionOptionsDialog cancelled(3);
    EXPECT_EQ(cancelled.run(), ui::kIdCancel);
    EXPECT_EQ(cancelled.choice(), 3);
}

TEST_F(ValueDialogs, SizeShowsItsUnitAndStoresBytesThatFit) {
    struct Case {
        uint32_t limit;
        std::string shown;
        int unit;
        std::string typed;
        int chosenUnit;
        uint32_t stored;
    };
    for (const Case& c : std::vector<Case>{{10240, "10", 1, "15", 2, 15728640},
                                           {10000, "10000", 0, "", 0, 0},
                                           {0, "0", 0, "999999", 2, 4294967295u},
                                           {4294967295u, "4095", 2, "4095", 2, 4293918720u}}) {
        headless::OnDialog([&](DialogView& v) {
            EXPECT_EQ(v.text(IDC_SIZE_LIMIT), c.shown);
            EXPECT_EQ(v.selectedEntry(IDC_SIZE_UNIT), c.unit);
            EXPECT_EQ(v.text(IDC_SIZE_RELATION), "less");
            v.type(IDC_SIZE_LIMIT, c.typed);
            v.chooseEntry(IDC_SIZE_UNIT, c.chosenUnit);
            v.chooseEntry(IDC_SIZE_RELATION, 0);
            v.snapshot("size");
            v.click(ui::kIdOk);
        });
        SizeDialog size(1, c.limit);
        EXPECT_EQ(size.run(), ui::kIdOk);
        EXPECT_EQ(size.limit(), c.stored) << c.typed;
        EXPECT_EQ(size.relation(), 0);
    }
}

TEST_F(ValueDialogs, AddressNeedsTextAndTakesTheAddressBooksChoice) {
    headless::OnDialog([](DialogView& v) {
        EXPECT_FALSE(v.enabled(ui::kIdOk));
        v.type(IDC_SELECT_ADDRESS_ADDRESS, "x");
        EXPECT_TRUE(v.enabled(ui::kIdOk));
        v.click(IDC_SELECT_ADDRESS_ADDRESS_BOOK);
        EXPECT_EQ(v.text(IDC_SELECT_ADDRESS_ADDRESS), " anna@example.org");
        v.snapshot("select_address");
        v.click(ui::kIdOk);
    });
    SelectAddressDialog address("", [](ui::Window, std::string* picked) {
        *picked = " anna@example.org";
        return true;
    });
    EXPECT_EQ(address.run(), ui::kIdOk);
    EXPECT_EQ(address.address(), " anna@example.org");  // not trimmed

    headless::OnDialog([](DialogView& v) {
        v.type(IDC_MESSAGE_TEXT_TEXT, "");
        v.type(IDC_MESSAGE_TEXT_TEXT, "First line\r\nSecond");
        v.snapshot("message_text");
        v.click(ui::kIdOk);
    });
    MessageTextDialog message("$from$: $subject$\r\n$text$");
    EXPECT_EQ(message.run(), ui::kIdOk);
    EXPECT_EQ(message.text(), "First line\r\nSecond");
}

TEST_F(ValueDialogs, PeopleListSortsAsksAboutDuplicatesAndWritesKeysOnOk) {
    rules::SieveTest& test = fromTest({" b ", "", "  "});
    headless::OnMessageBox([](const MessageBoxView& m) {
        EXPECT_EQ(m.text,
                  "The text you have entered is already in the list.\nDo you want do insert it "
                  "after all (duplicate) ?");
        EXPECT_EQ(m.style, ui::kMbYesNo | ui::kMbIconExclamation | ui::kMbDefButton2);
        return ui::kIdNo;
    });
    headless::OnDialog([](DialogView& v) {
        const int list = IDC_SELECT_PEOPLE_LIST, edit = IDC_SELECT_PEOPLE_VALUE;
        EXPECT_EQ(v.entries(list), (std::vector<std::string>{"Where the From line contains", "b"}));
        EXPECT_FALSE(v.enabled(IDC_SELECT_PEOPLE_ADD));
        EXPECT_EQ(v.defaultButton(), ui::kIdOk);
        for (const char* value : {" a", "c ", "a"}) {
            v.type(edit, value);
            EXPECT_EQ(v.defaultButton(), IDC_SELECT_PEOPLE_ADD);
            v.pressEnter();  // Enter adds
        }
        EXPECT_EQ(v.text(edit), "");
        EXPECT_EQ(v.entries(list),
                  (std::vector<std::string>{"Where the From line contains", "a", "b", "c"}));
        EXPECT_FALSE(v.enabled(IDC_SELECT_PEOPLE_REMOVE));
        v.snapshot("select_people");
        v.chooseEntry(list, 2);
        v.click(IDC_SELECT_PEOPLE_REMOVE);
        EXPECT_EQ(v.entries(list).size(), 3u);
        EXPECT_FALSE(v.enabled(IDC_SELECT_PEOPLE_REMOVE));
        v.click(ui::kIdOk);
    });
    ValueListDialog people(ValueListDialog::Kind::kPeople, test, arena_, nullptr);
    EXPECT_EQ(people.run(), ui::kIdOk);
    EXPECT_EQ(std::vector<std::string>(test.keys.begin(), test.keys.end()),
              (std::vector<std::string>{"a", "c"}));
}

TEST_F(ValueDialogs, OptionsWriteAtOnceAndAnEmptyListCannotBeConfirmed) {
    rules::SieveTest& test = fromTest({"only"});
    headless::OnDialog([](DialogView& v) {
        v.click(IDC_SELECT_PEOPLE_OPTIONS);  // answered below
        EXPECT_EQ(v.entries(IDC_SELECT_PEOPLE_LIST)[0], "Where the From line is not");
        v.chooseEntry(IDC_SELECT_PEOPLE_LIST, 1);
        v.click(IDC_SELECT_PEOPLE_REMOVE);
        EXPECT_FALSE(v.enabled(ui::kIdOk));
        EXPECT_EQ(v.focus(), IDC_SELECT_PEOPLE_VALUE);
        v.click(ui::kIdCancel);
    });
    headless::OnDialog([](DialogView& v) {
        v.chooseEntry(IDC_CONDITION_OPTIONS_MATCH, 1);
        v.click(ui::kIdOk);
    });
    ValueListDialog people(ValueListDialog::Kind::kPeople, test, arena_, nullptr);
    EXPECT_EQ(people.run(), ui::kIdCancel);
    EXPECT_EQ(test.matchType, rules::MatchType::Is);
    EXPECT_EQ(test.negated, 1);
    EXPECT_EQ(test.keys.size(), 1u);  // Cancel leaves the keys

    rules::SieveTest* words = rules::buildCondition(arena_, rules::criterionCatalogue()[5]);
    headless::OnDialog([](DialogView& v) {
        EXPECT_FALSE(v.hasControl(IDC_SELECT_PEOPLE_ADDRESS_BOOK));
        EXPECT_EQ(v.entries(IDC_SPECIFIC_WORDS_LIST)[0], "Where the Subject line contains");
        v.type(IDC_SPECIFIC_WORDS_VALUE, "offer");
        v.click(IDC_SPECIFIC_WORDS_ADD);
        v.snapshot("specific_words");
        v.click(ui::kIdOk);
    });
    ValueListDialog list(ValueListDialog::Kind::kWords, *words, arena_, nullptr);
    EXPECT_EQ(list.run(), ui::kIdOk);
    EXPECT_EQ(words->keys.size(), 1u);
}

}  // namespace
}  // namespace wq::editor
