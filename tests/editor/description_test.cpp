// The description of a rule: the markup as written, what is displayed for it, and that the
// display equals what the rich-text document of the same markup shows once its links are made.
#include <gtest/gtest.h>

#include <algorithm>
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

// The display with each link as "[kind/handle text]", or "[kind/handle!text]" when it is red. Every
// link has exactly one underlined run, over the same characters.
std::string Annotated(const DisplayedDescription& d) {
    EXPECT_EQ(d.styled.runs.size(), d.links.size());
    std::string out;
    size_t at = 0;
    for (size_t i = 0; i < d.links.size() && i < d.styled.runs.size(); ++i) {
        const DescriptionLink& l = d.links[i];
        const ui::StyledText::Run& r = d.styled.runs[i];
        EXPECT_TRUE(r.start == int(l.start) && r.end == int(l.end) && r.underline);
        EXPECT_TRUE(r.colour == kBlue || r.colour == kRed);
        out += d.styled.text.substr(at, l.start - at) + "[" + std::to_string(int(l.kind)) + "/" +
               std::to_string(l.handle) + (r.colour == kRed ? "!" : " ") +
               d.styled.text.substr(l.start, l.end - l.start) + "]";
        at = l.end;
    }
    return out + d.styled.text.substr(at);
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
    EXPECT_TRUE(handles.test(11) == rule->test->children &&
                handles.test(12) == rule->test->children->next &&
                handles.command(13) == rule->block && !handles.test(13) && !handles.test(10) &&
                !handles.command(0));

    DisplayedDescription d;
    displayMarkup(markup, d);
    EXPECT_EQ(Annotated(d),
              "Apply this rule after the message arrives.\n"
              "Where the From line [3/11 contains] [2/11 'a']\n"
              "  [1/0 and] Where the Subject line [3/12 contains] [5/12!words].\n"
              "Move it to [6/13 Inbox/Work].\n"
              "  and Stop processing more rules.");

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
    displayMarkup(describeRule(*rule, complete, handles), d);
    EXPECT_EQ(d.styled.text.rfind("This rule is currently turned off.\n", 0), 0u);
}

TEST(RuleDescription, EdgeCasesShowTheirValues) {
    struct Case {
        const char* script;
        const char* shown;  // without the head line
        bool complete;
    };
    const Case cases[] = {
        {"if size :over 0 {keep;}",
         "Where the message size is [4/1!more/less] than [4/1!size].\nKeep in INBOX.", false},
        {"if size :under 10000 {}", "Where the message size is [4/1 less] than [4/1 10000 B].",
         true},
        {"if size :over 10001 {}", "Where the message size is [4/1 more] than [4/1 9 KB].", true},
        {"if size :over 10240 {}", "Where the message size is [4/1 more] than [4/1 10 KB].", true},
        {"if size :over 4294967295 {}", "Where the message size is [4/1 more] than [4/1 4095 MB].",
         true},
        {"if not address :matches \"To\" [\"a\", \"x<y>\"] {}",
         "Where the To line [3/1 does not match] [2/1 'a' or 'x<y>'].", true},
        {"if anyof (header :is \"Subject\" \"x\", true) {}",
         "Where the Subject line [3/1 is] [5/1 'x']\n  [1/0 or] For all messages.", true},
        // A condition without an entry ends the conditions; the attachment entry has no places.
        {"if allof (header :is \"Content-Type\" \"multipart/mixed\", exists \"X\", true) {}",
         "Where the message has an attachment.", true},
        {"if true {reject \" First line\r\nSecond\r\n\";}",
         "For all messages.\nReject message (return to sender). [8/2 Reason:] First line...", true},
        {"if true {notify :options \"boss@x\" :message \"$from$: $subject$\r\n$text$\";}",
         "For all messages.\nSend notification to [9/2 boss@x]. [10/2 Message text:] "
         "$from$: $subject$$text$",
         true},
        {"if true {notify :message \"\"; vacation \"  Gone \n\";}",
         "For all messages.\nSend notification to [9/2!address]. [10/2!Message text:]\n"
         "  and Send auroreply. [11/3 Reply text:] Gone",
         false},
        {"if true {keep; discard; stop;}",
         "For all messages.\nKeep in INBOX.\n  and Discard the message.\n"
         "  and Stop processing more rules.",
         true},
        {"if true {fileinto \"\"; fileinto \"#backup/A&-B\"; redirect \"\";}",
         "For all messages.\nMove it to [6/2!folder].\n  and Move it to [6/3 Backup Folders/A&B]."
         "\n  and Forward it to [7/4!address].",
         false},
        // Values are shown as typed, whatever they hold.
        {"if header :is \"Subject\" \"\x15\x16&gt;{\" {"
         "redirect \"<a href=#addr_1>{\\\\}'</a><br>&amp;</A>\";}",
         "Where the Subject line [3/1 is] [5/1 '\x15\x16&gt;{'].\n"
         "Forward it to [7/2 <a href=#addr_1>{\\}'</a><br>&amp;</A>].",
         true},
    };
    for (const Case& c : cases) {
        RuleSet rules = parsed(c.script);
        ASSERT_FALSE(rules.empty()) << c.script;
        bool complete = true;
        ElementHandles handles;
        DisplayedDescription d;
        displayMarkup(describeRule(*rules.first, complete, handles), d);
        const std::string shown = Annotated(d);
        EXPECT_EQ(shown.substr(shown.find('\n') + 1), c.shown);
        EXPECT_EQ(complete, c.complete) << c.script;
    }
    EXPECT_EQ(formatSize(10240000), "10000 KB");
    EXPECT_EQ(formatSize(10241024), "9 MB");
}

// What the rich-text control shows for descriptionRtf(): the body read as the control reads it
// ("\par " a line break, "\\" a backslash, "\'hh" a byte, braces as typed), then the link pass:
// each opener in turn replaced by its text, and at the end 0x15 and 0x16 shown as ">" and "<".
DisplayedDescription ThroughRtf(const std::string& markup) {
    const std::string rtf = descriptionRtf(markup, 1252);
    std::string t;
    for (size_t i = rtf.find(";}") + 2; i + 2 < rtf.size(); ++i) {
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

// A random rule from the catalogues, with values made of the pieces most likely to break the
// markup or the document.
SieveCommand* RandomRule(std::mt19937& random) {
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    auto value = [&] {
        static const char* const kPieces[] = {
            "a",           "&",     "<",    ">",      "{",
            "}",           "\\",    "'",    " ",      "_9",
            "\r\n",        "&amp;", "&lt;", "<br>",   "<a href=#addr_1>",
            "<A HREF=#x>", "</a>",  "</A>", "<nobr>", "INBOX",
            "/",           "&-"};
        std::string v;
        for (size_t n = pick(2) * pick(5); n > 0; --n) {
            v += kPieces[pick(std::size(kPieces))];
        }
        return v;
    };
    RuleArena& arena = testArena();
    arena.clear();
    std::vector<SieveTest*> conditions;
    for (const CatalogueEntry& entry : criterionCatalogue()) {
        if (pick(3) == 0) {
            SieveTest* t = buildCondition(arena, entry);
            std::vector<std::string> keys(pick(3));
            std::generate(keys.begin(), keys.end(), value);
            const std::vector<std::string_view> views(keys.begin(), keys.end());
            if (t->kind == TestKind::Address || (t->kind == TestKind::Header && t->keys.empty())) {
                t->keys = StringList::copyOf(arena, views.data(), views.size());
            }
            t->matchType = MatchType(pick(3));
            t->negated = uint8_t(pick(2));
            t->sizeRelation = SizeRelation(pick(2));
            t->sizeLimit = int32_t(pick(3)) * std::array<int32_t, 3>{1, 10001, -5}[pick(3)];
            conditions.push_back(t);
        }
    }
    SieveCommand* rule = createCommand(arena);
    rule->kind = CommandKind::If;
    rule->enabled = uint8_t(pick(2));
    rule->test = combineConditions(arena, conditions, pick(2) ? TestKind::AllOf : TestKind::AnyOf);
    SieveCommand** tail = &rule->block;
    for (size_t n = pick(4); n > 0; --n, tail = &(*tail)->next) {
        *tail = createCommand(arena);
        (*tail)->kind = CommandKind(actionCatalogue()[pick(kActionCount)].kind);
        (*tail)->argument.assign(arena, value());
        (*tail)->text1.assign(arena, value());
    }
    return rule;
}

// Random rules, in English and in Czech: the display is what the document shows, one line per
// condition and action, every link over its value (or, red, over the placeholder word of its
// entry), red exactly where a value is missing, complete exactly when nothing is red, and both
// languages give the same lines and links.
TEST(RuleDescription, RandomRulesShowEveryValueAsTheDocumentWould) {
    std::vector<std::string> englishShapes;
    for (uint16_t language : {0, 0x405}) {
        WqInit(0, language);
        ASSERT_TRUE(loadCatalogues(true));
        std::mt19937 random(20240613);
        for (int i = 0; i < 2000; ++i) {
            SieveCommand* rule = RandomRule(random);
            bool complete = true;
            ElementHandles handles;
            const std::string markup = describeRule(*rule, complete, handles);
            DisplayedDescription d;
            displayMarkup(markup, d);
            const std::string annotated = Annotated(d);
            ASSERT_EQ(annotated, Annotated(ThroughRtf(markup))) << markup;

            uint32_t records = 0;  // the conditions and actions shown
            while (handles.test(records + 1) || handles.command(records + 1)) {
                ++records;
            }
            std::string shape = std::to_string(records) + ":";
            ASSERT_EQ(std::count(d.styled.text.begin(), d.styled.text.end(), '\n'), records);
            bool red = false;
            for (size_t k = 0; k < d.links.size(); ++k) {
                const DescriptionLink& l = d.links[k];
                const std::string text = d.styled.text.substr(l.start, l.end - l.start);
                const bool missing = d.styled.runs[k].colour == kRed;
                shape += " " + std::to_string(int(l.kind)) + "/" + std::to_string(l.handle) +
                         (missing ? "!" : "");
                red = red || missing;
                const SieveTest* t = handles.test(l.handle);
                const SieveCommand* c = handles.command(l.handle);
                ASSERT_TRUE(l.kind == LinkKind::kAndOr  ? l.handle == 0
                            : l.kind <= LinkKind::kWord ? t != nullptr
                                                        : c != nullptr)
                    << markup;
                std::string place, value;  // the entry's text; the value a present link shows
                bool empty = false;
                if (t) {
                    findCriterionKind(t, &place);
                    for (std::string_view key : t->keys) {
                        value += (value.empty() ? "'" : " " + LoadText(130) + " '") +
                                 std::string(key) + "'";
                    }
                    empty = l.kind == LinkKind::kSize ? t->sizeLimit == 0
                                                      : l.kind != LinkKind::kMatch && value.empty();
                } else if (c) {
                    findActionKind(*c, &place);
                    value = l.kind == LinkKind::kNotifyAddress ? c->text1.str()
                            : l.kind == LinkKind::kFileInto
                                ? MapServerToDisplay(mutf7ToAnsi(c->argument.str()))
                                : c->argument.str();
                    empty = value.empty();
                } else {
                    EXPECT_EQ(text, LoadText(rule->test->kind == TestKind::AllOf ? 129 : 130));
                }
                EXPECT_EQ(missing, empty) << markup;
                if (missing || l.kind == LinkKind::kReject || l.kind == LinkKind::kVacation ||
                    l.kind == LinkKind::kNotifyMessage) {
                    EXPECT_NE(place.find("[" + text + "]"), std::string::npos) << markup;
                } else if (l.kind != LinkKind::kAndOr && l.kind != LinkKind::kMatch &&
                           l.kind != LinkKind::kSize) {
                    EXPECT_EQ(text, WithoutLineEnds(value)) << markup;
                }
            }
            EXPECT_EQ(complete, !red) << markup;
            if (language == 0) {
                englishShapes.push_back(shape);
            } else {
                ASSERT_EQ(shape, englishShapes[size_t(i)]) << markup;
            }
        }
        if (language && LoadText(114) == "Apply this rule after the message arrives.") {
            ADD_FAILURE() << "the Czech resource library is not beside the test";
        }
    }
    SetUiLanguage(0);
    ReleaseResources();
    ASSERT_TRUE(loadCatalogues(true));
}

}  // namespace
}  // namespace wq::editor
