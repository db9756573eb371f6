// The description of a rule: the markup as written, what is displayed for it, and that the
// display equals what the rich-text document of the same markup shows once its links are made.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/resources.h"
#include "base/text.h"
#include "editor/rule_description.h"
#include "folders/folder_names.h"
#include "rules/catalogue.h"
#include "rules/rules_builders.h"
#include "text/charset.h"
#include "wqrt.h"

namespace wq::editor {
namespace {

using namespace rules;
using namespace rules::testing;

constexpr ui::Rgb kBlue{0, 0, 255}, kRed{255, 0, 0};

std::string WithoutLineEnds(std::string s) {
    s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }),
            s.end());
    return s;
}

// The display with each link as "[kind text]", or "[kind!text]" when it is red. Every link has
// exactly one run, over the same characters.
std::string Annotated(const DisplayedDescription& d) {
    EXPECT_EQ(d.styled.runs.size(), d.links.size());
    std::string out;
    size_t at = 0;
    for (size_t i = 0; i < d.links.size() && i < d.styled.runs.size(); ++i) {
        const DescriptionLink& l = d.links[i];
        const ui::StyledText::Run& r = d.styled.runs[i];
        EXPECT_TRUE(r.start == int(l.start) && r.end == int(l.end) && r.underline);
        EXPECT_TRUE(r.colour == kBlue || r.colour == kRed);
        out += d.styled.text.substr(at, l.start - at) + "[" + std::to_string(int(l.kind)) +
               (r.colour == kRed ? "!" : " ") + d.styled.text.substr(l.start, l.end - l.start) +
               "]";
        at = l.end;
    }
    return out + d.styled.text.substr(at);
}

DisplayedDescription Shown(const SieveCommand& rule, bool* complete = nullptr,
                           ElementHandles* handles = nullptr) {
    bool done = true;
    ElementHandles own;
    DisplayedDescription d;
    displayMarkup(describeRule(rule, complete ? *complete : done, handles ? *handles : own), d);
    return d;
}

TEST(RuleDescription, TheExampleRuleIsWrittenAndShownExactly) {
    SieveCommand* rule = ifCommand(
        "", true,
        groupTest(TestKind::AllOf,
                  tests(addressTest(AddressPart::All, MatchType::Contains, {"From"}, {"a"}),
                        headerTest(MatchType::Contains, {"Subject"}, {}))),
        commands(action(CommandKind::FileInto, "INBOX/Work"), action(CommandKind::Stop)));
    bool complete = true;
    ElementHandles handles(11);
    const std::string markup = describeRule(*rule, complete, handles);
    EXPECT_EQ(markup,
              "Apply this rule after the message arrives."
              "<br>Where the From line <a href=#match_11>contains</a> <a href=#addr_11>'a'</a>"
              "<br><nobr> &nbsp; </nobr><a href=#andor>and</a> Where the Subject line "
              "<a href=#match_12>contains</a> <A HREF=#word_12>words</A>"
              "."
              "<br>Move it to <a href=#fileinto_13>Inbox/Work</a>."
              "<br><nobr> &nbsp; and </nobr>Stop processing more rules.");
    EXPECT_FALSE(complete);
    EXPECT_EQ(handles.test(11), rule->test->children);
    EXPECT_EQ(handles.test(12), rule->test->children->next);
    EXPECT_EQ(handles.command(13), rule->block);
    EXPECT_EQ(handles.test(13), nullptr);  // a command, not a test
    EXPECT_EQ(handles.command(0), nullptr);
    EXPECT_EQ(handles.test(10), nullptr);

    DisplayedDescription d;
    displayMarkup(markup, d);
    EXPECT_EQ(Annotated(d),
              "Apply this rule after the message arrives.\n"
              "Where the From line [3 contains] [2 'a']\n"
              "  [1 and] Where the Subject line [3 contains] [5!words].\n"
              "Move it to [6 Inbox/Work].\n"
              "  and Stop processing more rules.");
    std::vector<uint32_t> linkHandles;
    for (const DescriptionLink& l : d.links) {
        linkHandles.push_back(l.handle);
    }
    EXPECT_EQ(linkHandles, (std::vector<uint32_t>{11, 11, 0, 12, 12, 13}));

    EXPECT_EQ(descriptionRtf(markup, 1250),
              "{\\rtf1\\ansi\\ansicpg1250 {\\colortbl; \\red0\\green0\\blue255;\\red255\\green0"
              "\\blue0;}Apply this rule after the message arrives.\\par Where the From line "
              "<a href=#match_11>contains</a> <a href=#addr_11>\\'27a\\'27</a>\\par   "
              "<a href=#andor>and</a> Where the Subject line <a href=#match_12>contains</a> "
              "<A HREF=#word_12>words</A>.\\par Move it to <a href=#fileinto_13>Inbox/Work</a>."
              "\\par   and Stop processing more rules. }");
    EXPECT_EQ(
        messageRtf("There is no item selected.", 1252),
        "{\\rtf1\\ansi\\ansicpg1252\\par\\qc {\\colortbl; }There is no item selected. \\par}");

    rule->enabled = 0;
    EXPECT_EQ(Shown(*rule).styled.text.rfind("This rule is currently turned off.\n", 0), 0u);
}

TEST(RuleDescription, EdgeCasesShowTheirValues) {
    using A = CommandKind;
    auto rule = [](SieveTest* test, std::vector<SieveCommand*> actions = {}) {
        return ifCommand("", true, test, actions);
    };
    auto from = [](Strings keys) {
        return addressTest(AddressPart::All, MatchType::Contains, {"From"}, keys);
    };
    auto all = [] { return newTest(TestKind::True); };
    struct Case {
        std::function<SieveCommand*()> rule;
        std::string shown;  // without the head line
        bool complete;
    };
    const Case cases[] = {
        {[&] { return rule(from({})); }, "Where the From line [3 contains] [2!address].", false},
        {[&] { return rule(sizeTest(SizeRelation::Over, 0)); },
         "Where the message size is [4!more/less] than [4!size].", false},
        {[&] { return rule(sizeTest(SizeRelation::Under, 10000)); },
         "Where the message size is [4 less] than [4 10000 B].", true},
        {[&] { return rule(sizeTest(SizeRelation::Over, 10001)); },
         "Where the message size is [4 more] than [4 9 KB].", true},
        {[&] { return rule(sizeTest(SizeRelation::Over, 10240)); },
         "Where the message size is [4 more] than [4 10 KB].", true},
        {[&] { return rule(sizeTest(SizeRelation::Over, -1)); },  // 4294967295 bytes
         "Where the message size is [4 more] than [4 4095 MB].", true},
        {[&] {
             SieveTest* t =
                 addressTest(AddressPart::All, MatchType::Matches, {"To"}, {"a", "x<y>"});
             t->negated = 1;
             return rule(t);
         },
         "Where the To line [3 does not match] [2 'a' or 'x<y>'].", true},
        {[&] {
             return rule(groupTest(TestKind::AnyOf,
                                   tests(headerTest(MatchType::Is, {"Subject"}, {"x"}), all())));
         },
         "Where the Subject line [3 is] [5 'x']\n  [1 or] For all messages.", true},
        // A condition without an entry ends the conditions; the attachment entry has no places.
        {[&] {
             return rule(
                 groupTest(TestKind::AllOf,
                           tests(headerTest(MatchType::Is, {"Content-Type"}, {"multipart/mixed"}),
                                 newTest(TestKind::Exists), all())));
         },
         "Where the message has an attachment.", true},
        {[&] { return rule(all(), {action(A::Reject, " First line\r\nSecond\r\n")}); },
         "For all messages.\nReject message (return to sender). [8 Reason:] First line...", true},
        {[&] { return rule(all(), {action(A::Notify, "$from$: $subject$\r\n$text$", "boss@x")}); },
         "For all messages.\nSend notification to [9 boss@x]. [10 Message text:] "
         "$from$: $subject$$text$",
         true},
        {[&] {
             return rule(all(), {action(A::Notify), action(A::Vacation, "  Gone \n")});
         },
         "For all messages.\nSend notification to [9!address]. [10!Message text:]\n"
         "  and Send auroreply. [11 Reply text:] Gone",
         false},
        {[&] {
             return rule(all(), {action(A::Keep), action(A::Discard), action(A::Stop)});
         },
         "For all messages.\nKeep in INBOX.\n  and Discard the message.\n"
         "  and Stop processing more rules.",
         true},
        {[&] {
             return rule(all(), {action(A::FileInto), action(A::FileInto, "#backup/A&-B")});
         },
         "For all messages.\nMove it to [6!folder].\n  and Move it to [6 Backup Folders/A&B].",
         false},
        // Values are shown as typed, whatever they hold.
        {[&] {
             return rule(headerTest(MatchType::Is, {"Subject"}, {"\x15\x16&gt;{"}),
                         {action(A::Redirect, "<a href=#addr_1>{\\}'</a><br>&amp;</A>")});
         },
         "Where the Subject line [3 is] [5 '\x15\x16&gt;{'].\n"
         "Forward it to [7 <a href=#addr_1>{\\}'</a><br>&amp;</A>].",
         true},
    };
    for (const Case& c : cases) {
        testArena().clear();
        bool complete = true;
        const std::string shown = Annotated(Shown(*c.rule(), &complete));
        EXPECT_EQ(shown.substr(shown.find('\n') + 1), c.shown);
        EXPECT_EQ(complete, c.complete) << c.shown;
    }
    for (auto [bytes, text] : {std::pair<uint32_t, const char*>{0, "0 B"},
                               {10000, "10000 B"},
                               {10001, "9 KB"},
                               {10240000, "10000 KB"},
                               {10241024, "9 MB"},
                               {4294967295u, "4095 MB"}}) {
        EXPECT_EQ(formatSize(bytes), text);
    }
}

// What the rich-text control shows for descriptionRtf(): the body read as the control reads it
// ("\par " a line break, "\\" a backslash, "\'hh" a byte, braces as typed), then the link pass:
// each opener in turn replaced by its text, and at the end 0x15 and 0x16 shown as ">" and "<".
DisplayedDescription ThroughRtf(const std::string& markup) {
    const std::string rtf = descriptionRtf(markup, 1252);
    const size_t body = rtf.find(";}") + 2;
    std::string t;
    for (size_t i = body; i + 2 < rtf.size(); ++i) {
        if (rtf.compare(i, 5, "\\par ") == 0) {
            t += '\n';
            i += 4;
        } else if (rtf.compare(i, 2, "\\'") == 0) {
            t += char(std::stoi(rtf.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            i += rtf.compare(i, 2, "\\\\") == 0;
            t += rtf[i];
        }
    }
    auto find = [&t](std::string what, size_t from) {
        std::string lower = t;
        std::transform(t.begin(), t.end(), lower.begin(), ::tolower);
        return lower.find(what, from);
    };
    DisplayedDescription d;
    for (size_t s; (s = find("<a href=#", 0)) != std::string::npos;) {
        const size_t gt = t.find('>', s), close = find("</a>", gt);
        const std::string id = t.substr(s + 9, gt - s - 9), text = t.substr(gt + 1, close - gt - 1);
        const bool missing = t.compare(s, 9, "<A HREF=#") == 0;
        t.replace(s, close + 4 - s, text);
        const LinkKind kind = linkKindOf(id.substr(0, id.find('_')));
        const uint32_t handle =
            kind >= LinkKind::kAddress ? std::stoul(id.substr(id.find('_') + 1)) : 0;
        d.links.push_back({kind, uint32_t(s), uint32_t(s + text.size()), handle});
        d.styled.runs.push_back({int(s), int(s + text.size()), missing ? kRed : kBlue, true});
    }
    std::replace(t.begin(), t.end(), '\x15', '>');
    std::replace(t.begin(), t.end(), '\x16', '<');
    d.styled.text = t;
    return d;
}

// Random rules from the catalogues, with values made of the pieces most likely to break the
// markup or the document.
class RandomRules {
  public:
    SieveCommand* next() {
        RuleArena& arena = testArena();
        arena.clear();
        std::vector<SieveTest*> conditions;
        for (const CatalogueEntry& entry : criterionCatalogue()) {
            if (pick(3) == 0) {
                SieveTest* t = buildCondition(arena, entry);
                if (t->kind == TestKind::Address ||
                    (t->kind == TestKind::Header && t->keys.empty())) {
                    std::vector<std::string> keys(pick(3));
                    std::generate(keys.begin(), keys.end(), [&] { return value(); });
                    const std::vector<std::string_view> views(keys.begin(), keys.end());
                    t->keys = StringList::copyOf(arena, views.data(), views.size());
                }
                t->matchType = MatchType(pick(3));
                t->negated = uint8_t(pick(2));
                t->sizeRelation = SizeRelation(pick(2));
                t->sizeLimit = std::array<int32_t, 4>{0, 1, 10001, -5}[pick(4)] * int32_t(pick(3));
                conditions.push_back(t);
            }
        }
        SieveCommand* rule = createCommand(arena);
        rule->kind = CommandKind::If;
        rule->enabled = uint8_t(pick(2));
        rule->test =
            combineConditions(arena, conditions, pick(2) ? TestKind::AllOf : TestKind::AnyOf);
        SieveCommand** tail = &rule->block;
        for (size_t n = pick(4); n > 0; --n, tail = &(*tail)->next) {
            *tail = createCommand(arena);
            (*tail)->kind = CommandKind(actionCatalogue()[pick(kActionCount)].kind);
            (*tail)->argument.assign(arena, value());
            (*tail)->text1.assign(arena, value());
        }
        return rule;
    }

  private:
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    std::string value() {
        static const char* const kPieces[] = {
            "a",           "&",    "<",    ">",    "{",      "}",     "\\",
            "'",           " ",    "_9",   "\r\n", "&amp;",  "&lt;",  "<a href=#addr_1>",
            "<A HREF=#x>", "</a>", "</A>", "<br>", "<nobr>", "INBOX", "/",
            "&-"};
        std::string v;
        for (size_t n = pick(2) * pick(5); n > 0; --n) {
            v += kPieces[pick(std::size(kPieces))];
        }
        return v;
    }
    std::mt19937 random_{20240613};
};

TEST(RuleDescription, RandomRulesShowEveryValueAsTheDocumentWould) {
    ASSERT_TRUE(loadCatalogues(false));
    RandomRules rules;
    for (int i = 0; i < 3000; ++i) {
        SieveCommand* rule = rules.next();
        bool complete = true;
        ElementHandles handles;
        const std::string markup = describeRule(*rule, complete, handles);
        DisplayedDescription d;
        displayMarkup(markup, d);
        const DisplayedDescription rtf = ThroughRtf(markup);
        ASSERT_EQ(d.styled.text, rtf.styled.text) << markup;
        ASSERT_EQ(Annotated(d), Annotated(rtf)) << markup;

        // One line per condition or action shown, each of them with a handle.
        uint32_t records = 0;
        while (handles.test(records + 1) || handles.command(records + 1)) {
            ++records;
        }
        ASSERT_EQ(std::count(d.styled.text.begin(), d.styled.text.end(), '\n'), records);
        bool red = false;
        for (size_t k = 0; k < d.links.size(); ++k) {
            const DescriptionLink& l = d.links[k];
            const std::string text = d.styled.text.substr(l.start, l.end - l.start);
            const bool missing = d.styled.runs[k].colour == kRed;
            red = red || missing;
            const SieveTest* t = handles.test(l.handle);
            const SieveCommand* c = handles.command(l.handle);
            std::string shownValue, place;  // the value a present link shows; the entry's text
            if (t) {
                findCriterionKind(t, &place);
                for (std::string_view key : t->keys) {
                    shownValue += (shownValue.empty() ? "'" : " or '") + std::string(key) + "'";
                }
            } else if (c) {
                findActionKind(*c, &place);
                shownValue = l.kind == LinkKind::kNotifyAddress ? c->text1.str()
                             : l.kind == LinkKind::kFileInto
                                 ? MapServerToDisplay(mutf7ToAnsi(c->argument.str()))
                                 : c->argument.str();
            }
            switch (l.kind) {
                case LinkKind::kAndOr:
                    EXPECT_EQ(l.handle, 0u);
                    EXPECT_EQ(text, LoadText(rule->test->kind == TestKind::AllOf ? 129 : 130));
                    break;
                case LinkKind::kMatch:
                    ASSERT_TRUE(t);
                    EXPECT_FALSE(missing);
                    break;
                case LinkKind::kSize:
                    ASSERT_TRUE(t);
                    EXPECT_EQ(missing, t->sizeLimit == 0);
                    break;
                case LinkKind::kAddress:
                case LinkKind::kWord:
                case LinkKind::kFileInto:
                case LinkKind::kRedirect:
                case LinkKind::kNotifyAddress:
                    ASSERT_TRUE(t || c) << markup;
                    EXPECT_EQ(missing, shownValue.empty());
                    EXPECT_EQ(text, missing ? text : WithoutLineEnds(shownValue)) << markup;
                    break;
                default:  // the labels of texts: red exactly when the text is empty
                    ASSERT_TRUE(c) << markup;
                    EXPECT_EQ(missing, c->argument.empty());
                    EXPECT_NE(place.find("[" + text + "]"), std::string::npos);
            }
            if (missing) {  // a missing value shows the placeholder word of its entry
                EXPECT_NE(place.find("[" + text + "]"), std::string::npos) << markup;
            }
        }
        EXPECT_EQ(complete, !red) << markup;
    }
}

TEST(RuleDescription, CzechTextsGiveTheSameStructure) {
    SieveCommand* rule =
        ifCommand("", true,
                  groupTest(TestKind::AnyOf,
                            tests(addressTest(AddressPart::All, MatchType::Is, {"To", "Cc"}, {}),
                                  sizeTest(SizeRelation::Under, 20000))),
                  commands(action(CommandKind::FileInto, "INBOX"), action(CommandKind::Reject, "x"),
                           action(CommandKind::Notify, "m"), action(CommandKind::Vacation)));
    auto structure = [&] {
        DisplayedDescription d = Shown(*rule);
        std::vector<std::string> shape{
            std::to_string(std::count(d.styled.text.begin(), d.styled.text.end(), '\n'))};
        for (size_t i = 0; i < d.links.size(); ++i) {
            shape.push_back(std::to_string(int(d.links[i].kind)) + "/" +
                            std::to_string(d.links[i].handle) + "/" +
                            std::to_string(d.styled.runs[i].colour.red));
        }
        return std::make_pair(d.styled.text, shape);
    };
    const auto english = structure();
    WqInit(0, 0x0405);
    ASSERT_TRUE(loadCatalogues(true));
    const auto czech = structure();
    SetUiLanguage(0);
    ReleaseResources();
    ASSERT_TRUE(loadCatalogues(true));
    if (czech.first == english.first) {
        GTEST_SKIP() << "no Czech resource library beside the test";
    }
    EXPECT_EQ(czech.second, english.second);
    EXPECT_EQ(czech.second.size(), 11u);
    EXPECT_EQ(structure(), english);  // and back
}

}  // namespace
}  // namespace wq::editor
