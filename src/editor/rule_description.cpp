#include "editor/rule_description.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <utility>

#include "base/resources.h"
#include "base/text.h"
#include "folders/folder_names.h"
#include "rules/catalogue.h"
#include "text/charset.h"

namespace wq::editor {
namespace {

using rules::CommandKind;
using rules::SieveCommand;
using rules::SieveTest;
using rules::TestKind;

constexpr std::array<std::string_view, 12> kLinkNames{
    "",         "andor",    "addr",   "match",   "size",    "word",
    "fileinto", "redirect", "reject", "notifya", "notifym", "vacation",
};

constexpr std::string_view kOpen = "<a href=#";
constexpr std::string_view kOpenMissing = "<A HREF=#";
constexpr std::string_view kClose = "</a>";
constexpr std::string_view kCloseMissing = "</A>";
constexpr std::string_view kLineBreak = "<br>";
constexpr std::string_view kConditionJoin = "<nobr> &nbsp; </nobr>";

// The texts a description is made of, read again when the resource module changes.
struct Texts {
    std::string applies, turnedOff;    // the head
    std::array<std::string, 6> match;  // is, contains, matches, and the three negations
    std::string andWord, orWord, more, less;
};

const Texts& DescriptionTexts() {
    static Texts texts;
    static uint32_t readFor = 0;
    static bool read = false;
    GetResourceInstance();  // a language chosen since is loaded now, which changes the generation
    const uint32_t generation = ResourceGeneration();
    if (!read || readFor != generation) {
        texts.applies = LoadText(114);
        texts.turnedOff = LoadText(115);
        for (unsigned i = 0; i < texts.match.size(); ++i) {
            texts.match[i] = LoadText(116 + i);
        }
        texts.andWord = LoadText(129);
        texts.orWord = LoadText(130);
        texts.more = LoadText(138);
        texts.less = LoadText(139);
        readFor = generation;
        read = true;
    }
    return texts;
}

// The bracketed places of a catalogue text, brackets included: place 1 is [p1, q1], place 2
// [p2, q2]. `count` says how many were found.
struct Places {
    size_t p1 = 0, q1 = 0, p2 = 0, q2 = 0;
    int count = 0;
};

Places FindPlaces(std::string_view text) {
    Places at;
    at.p1 = text.find('[');
    at.q1 = at.p1 == std::string_view::npos ? at.p1 : text.find(']', at.p1);
    if (at.q1 == std::string_view::npos) {
        return at;
    }
    at.count = 1;
    at.p2 = text.find('[', at.q1);
    at.q2 = at.p2 == std::string_view::npos ? at.p2 : text.find(']', at.p2);
    if (at.q2 != std::string_view::npos) {
        at.count = 2;
    }
    return at;
}

// Appends a value with "&", "<" and ">" escaped.
void AppendEscaped(std::string& out, std::string_view value) {
    for (size_t at = 0;;) {
        size_t special = value.find_first_of("&<>", at);
        out.append(value.substr(at, special - at));
        if (special == std::string_view::npos) {
            return;
        }
        out += value[special] == '&' ? "&amp;" : value[special] == '<' ? "&lt;" : "&gt;";
        at = special + 1;
    }
}

void OpenLink(std::string& out, bool missing, LinkKind kind, uint32_t handle) {
    out += missing ? kOpenMissing : kOpen;
    out += linkName(kind);
    if (kind != LinkKind::kAndOr) {
        out += '_';
        out += std::to_string(handle);
    }
    out += '>';
}

void CloseLink(std::string& out, bool missing) {
    out += missing ? kCloseMissing : kClose;
}

// How one place of a catalogue text is filled.
struct Fill {
    LinkKind kind = LinkKind::kNone;
    bool missing = false;
    // The value the link shows, escaped; none: the link shows the word inside the brackets.
    std::optional<std::string_view> value;
};

// Appends `text` with place 1 (and place 2 when `second` is given) replaced by a link. A missing
// link clears `complete`.
void AppendFilled(std::string& out, std::string_view text, const Places& at, uint32_t handle,
                  const Fill& first, const Fill* second, bool& complete) {
    auto place = [&](const Fill& fill, size_t open, size_t close) {
        OpenLink(out, fill.missing, fill.kind, handle);
        if (fill.value) {
            AppendEscaped(out, *fill.value);
        } else {
            out.append(text.substr(open + 1, close - open - 1));
        }
        CloseLink(out, fill.missing);
        if (fill.missing) {
            complete = false;
        }
    };
    out.append(text.substr(0, at.p1));
    place(first, at.p1, at.q1);
    if (second) {
        out.append(text.substr(at.q1 + 1, at.p2 - at.q1 - 1));
        place(*second, at.p2, at.q2);
        out.append(text.substr(at.q2 + 1));
    } else {
        out.append(text.substr(at.q1 + 1));
    }
}

// The match text of an Address or Header test; empty for a match type out of range.
std::string_view MatchText(const SieveTest& test) {
    const int type = static_cast<int>(test.matchType);
    if (type < 0 || type > 2) {
        return {};
    }
    return DescriptionTexts().match[static_cast<size_t>(type + (test.negated ? 3 : 0))];
}

// The keys of a test, each between apostrophes, joined by "or".
std::string ValueList(const SieveTest& test) {
    std::string list;
    for (std::string_view key : test.keys) {
        if (!list.empty()) {
            list += ' ';
            list += DescriptionTexts().orWord;
            list += ' ';
        }
        list += '\'';
        list += key;
        list += '\'';
    }
    return list;
}

void AppendCondition(std::string& out, const SieveTest& test, std::string_view text,
                     uint32_t handle, bool& complete) {
    const Places at = FindPlaces(text);
    const bool keyed = test.kind == TestKind::Address || test.kind == TestKind::Header;
    if ((!keyed && test.kind != TestKind::Size) || at.count < 2) {
        out.append(text);  // True, SpamTest, the attachment entry
        return;
    }
    if (keyed) {
        const Fill match{LinkKind::kMatch, false, MatchText(test)};
        const LinkKind kind = test.kind == TestKind::Address ? LinkKind::kAddress : LinkKind::kWord;
        const std::string values = ValueList(test);
        Fill keys{kind, test.keys.empty(), std::nullopt};
        if (!keys.missing) {
            keys.value = values;
        }
        AppendFilled(out, text, at, handle, match, &keys, complete);
        return;
    }
    const uint32_t limit = static_cast<uint32_t>(test.sizeLimit);
    if (limit == 0) {
        const Fill missing{LinkKind::kSize, true, std::nullopt};
        AppendFilled(out, text, at, handle, missing, &missing, complete);
        return;
    }
    const Texts& texts = DescriptionTexts();
    const std::string size = formatSize(limit);
    const Fill relation{LinkKind::kSize, false,
                        test.sizeRelation == rules::SizeRelation::Under ? texts.less : texts.more};
    const Fill amount{LinkKind::kSize, false, size};
    AppendFilled(out, text, at, handle, relation, &amount, complete);
}

// The summary of a reason or reply text: trimmed, cut before its first line break with "..."
// when more lines follow.
std::string Summary(std::string_view text) {
    constexpr std::string_view kBlank = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) {
        return {};
    }
    text = text.substr(first, text.find_last_not_of(kBlank) - first + 1);
    const size_t cut = text.find_first_of("\r\n");
    return cut == std::string_view::npos ? std::string(text)
                                         : std::string(text.substr(0, cut)) + "...";
}

void AppendAction(std::string& out, const SieveCommand& command, std::string_view text,
                  uint32_t handle, bool& complete) {
    const Places at = FindPlaces(text);
    const std::string_view argument = command.argument.view();
    switch (command.kind) {
        case CommandKind::FileInto:
        case CommandKind::Redirect: {
            if (at.count < 1) {
                break;
            }
            const bool folder = command.kind == CommandKind::FileInto;
            Fill fill{folder ? LinkKind::kFileInto : LinkKind::kRedirect, argument.empty(),
                      std::nullopt};
            const std::string shown = folder && !fill.missing
                                          ? MapServerToDisplay(mutf7ToAnsi(std::string(argument)))
                                          : std::string(argument);
            if (!fill.missing) {
                fill.value = shown;
            }
            AppendFilled(out, text, at, handle, fill, nullptr, complete);
            return;
        }
        case CommandKind::Reject:
        case CommandKind::Vacation: {
            if (at.count < 1) {
                break;
            }
            // The link is the label; the summary follows the whole text.
            const Fill label{
                command.kind == CommandKind::Reject ? LinkKind::kReject : LinkKind::kVacation,
                argument.empty(), std::nullopt};
            AppendFilled(out, text, at, handle, label, nullptr, complete);
            if (!label.missing) {
                out += ' ';
                AppendEscaped(out, Summary(argument));
            }
            return;
        }
        case CommandKind::Notify: {
            if (at.count < 2) {
                break;
            }
            const std::string_view address = command.text1.view();
            Fill to{LinkKind::kNotifyAddress, address.empty(), std::nullopt};
            if (!to.missing) {
                to.value = address;
            }
            const Fill message{LinkKind::kNotifyMessage, argument.empty(), std::nullopt};
            AppendFilled(out, text, at, handle, to, &message, complete);
            if (!message.missing) {
                out += ' ';
                AppendEscaped(out, argument);
            }
            return;
        }
        default:
            break;
    }
    out.append(text);  // Keep, Discard, Stop
}

void AppendConditions(std::string& out, const SieveTest* test, std::string_view separator,
                      bool alone, bool& complete, ElementHandles& handles, unsigned depth) {
    for (; test; test = test->next) {
        if (test->kind == TestKind::AllOf || test->kind == TestKind::AnyOf) {
            // The group joins its own conditions; its own siblings are not shown.
            const SieveTest* first = test->children;
            if (!first || depth >= rules::kMaxNestingDepth) {
                return;
            }
            AppendConditions(out, first, {}, true, complete, handles, depth + 1);
            const Texts& texts = DescriptionTexts();
            AppendConditions(out, first->next,
                             test->kind == TestKind::AllOf ? texts.andWord : texts.orWord, false,
                             complete, handles, depth + 1);
            return;
        }
        const std::optional<size_t> entry = rules::findCriterionKind(test);
        if (!entry) {
            return;
        }
        out += kLineBreak;
        if (!separator.empty()) {
            out += kConditionJoin;
            OpenLink(out, false, LinkKind::kAndOr, 0);
            out += separator;
            CloseLink(out, false);
            out += ' ';
        }
        AppendCondition(out, *test, rules::criterionCatalogue()[*entry].displayText(),
                        handles.add(*test), complete);
        if (alone) {
            return;
        }
    }
}

void AppendActions(std::string& out, const SieveCommand* command, std::string_view joiner,
                   bool& complete, ElementHandles& handles) {
    std::string next;
    for (; command; command = command->next) {
        const std::optional<size_t> entry = rules::findActionKind(*command);
        if (!entry) {
            return;
        }
        out += kLineBreak;
        out += joiner;
        AppendAction(out, *command, rules::actionCatalogue()[*entry].displayText(),
                     handles.add(*command), complete);
        if (next.empty()) {
            next = "<nobr> &nbsp; " + DescriptionTexts().andWord + " </nobr>";
            joiner = next;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Markup to display

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {  // prefixes are in lower case
            return false;
        }
    }
    return true;
}

// The first "</a>" (any case) in `text` from `from` on.
size_t FindClose(std::string_view text, size_t from) {
    for (size_t at = text.find('<', from); at != std::string_view::npos;
         at = text.find('<', at + 1)) {
        if (StartsWithNoCase(text.substr(at), kClose)) {
            return at;
        }
    }
    return std::string_view::npos;
}

// Tags and entities outside links, with what each shows.
struct Token {
    std::string_view markup;
    std::string_view shown;
};
constexpr std::array<Token, 13> kTokens{{
    {"<br>", "\n"},
    {"<nobr>", ""},
    {"</nobr>", ""},
    {"&nbsp;", ""},
    {"&gt;", ">"},
    {"&lt;", "<"},
    {"&amp;", "&"},
    {"<b>", ""},
    {"</b>", ""},
    {"<i>", ""},
    {"</i>", ""},
    {"<font color=red>", ""},
    {"</font>", ""},
}};

constexpr ui::Rgb kBlue{0, 0, 255};
constexpr ui::Rgb kRed{255, 0, 0};

class Displayer {
  public:
    explicit Displayer(DisplayedDescription& shown) : shown_(shown), text_(shown.styled.text) {}

    // Shows `markup`; links are read only outside a link's text.
    void show(std::string_view markup, bool inLink) {
        for (size_t at = 0; at < markup.size();) {
            const size_t special = markup.find_first_of("<&", at);
            plain(markup.substr(at, special - at), inLink);
            if (special == std::string_view::npos) {
                return;
            }
            at = special + token(markup.substr(special), inLink);
        }
    }

  private:
    void plain(std::string_view text, bool inLink) {
        if (text.empty()) {
            return;
        }
        const int start = static_cast<int>(text_.size());
        text_.append(text);
        if (!underline_ || inLink) {
            return;
        }
        std::vector<ui::StyledText::Run>& runs = shown_.styled.runs;
        // Link runs are coloured, so a black run that ends here is the underline going on.
        if (!runs.empty() && runs.back().end == start && runs.back().colour == ui::Rgb{}) {
            runs.back().end = static_cast<int>(text_.size());
        } else {
            runs.push_back({start, static_cast<int>(text_.size()), ui::Rgb{}, true});
        }
    }

    // Reads the tag, entity or link at the start of `markup`; returns the characters used.
    size_t token(std::string_view markup, bool inLink) {
        if (!inLink && StartsWithNoCase(markup, kOpen)) {
            if (size_t used = link(markup)) {
                return used;
            }
        }
        for (const Token& t : kTokens) {
            if (markup.compare(0, t.markup.size(), t.markup) == 0) {
                plain(t.shown, inLink);
                return t.markup.size();
            }
        }
        for (bool on : {true, false}) {
            std::string_view tag = on ? "<u>" : "</u>";
            if (markup.compare(0, tag.size(), tag) == 0) {
                underline_ = on;
                return tag.size();
            }
        }
        plain(markup.substr(0, 1), inLink);
        return 1;
    }

    // A link at the start of `markup`: the characters used, 0 when it is not a whole link.
    size_t link(std::string_view markup) {
        const size_t idEnd = markup.find('>', kOpen.size());
        const size_t close = idEnd == std::string_view::npos ? idEnd : FindClose(markup, idEnd + 1);
        if (close == std::string_view::npos) {
            return 0;
        }
        const std::string_view id = markup.substr(kOpen.size(), idEnd - kOpen.size());
        const size_t bar = id.find('_');
        DescriptionLink link;
        link.kind = linkKindOf(id.substr(0, bar));
        if (link.kind >= LinkKind::kAddress && link.kind <= LinkKind::kVacation &&
            bar != std::string_view::npos) {
            uint64_t handle = 0;
            for (size_t i = bar + 1; i < id.size() && id[i] >= '0' && id[i] <= '9'; ++i) {
                handle = std::min<uint64_t>(handle * 10 + static_cast<uint64_t>(id[i] - '0'),
                                            UINT32_MAX);
            }
            link.handle = static_cast<uint32_t>(handle);
        }
        link.start = static_cast<uint32_t>(text_.size());
        show(markup.substr(idEnd + 1, close - idEnd - 1), true);
        link.end = static_cast<uint32_t>(text_.size());
        const bool missing = markup.compare(0, kOpenMissing.size(), kOpenMissing) == 0;
        shown_.links.push_back(link);
        shown_.styled.runs.push_back({static_cast<int>(link.start), static_cast<int>(link.end),
                                      missing ? kRed : kBlue, true});
        return close + kClose.size();
    }

    DisplayedDescription& shown_;
    std::string& text_;
    bool underline_ = false;
};

// Replaces every `from` in `text` by `to`, left to right.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (text.find(from) == std::string::npos) {
        return;
    }
    std::string out;
    size_t at = 0;
    for (size_t hit; (hit = text.find(from, at)) != std::string::npos; at = hit + from.size()) {
        out.append(text, at, hit - at);
        out += to;
    }
    out.append(text, at, std::string::npos);
    text.swap(out);
}

}  // namespace

std::string_view linkName(LinkKind kind) {
    const auto index = static_cast<size_t>(kind);
    return index < kLinkNames.size() ? kLinkNames[index] : std::string_view();
}

LinkKind linkKindOf(std::string_view name) {
    for (size_t i = 1; i < kLinkNames.size(); ++i) {
        if (kLinkNames[i] == name) {
            return static_cast<LinkKind>(i);
        }
    }
    return LinkKind::kNone;
}

uint32_t ElementHandles::add(const rules::SieveTest* test, const rules::SieveCommand* command) {
    records_.push_back({test, command});
    return first_ + static_cast<uint32_t>(records_.size() - 1);
}

const ElementHandles::Record* ElementHandles::find(uint32_t handle) const {
    if (handle < first_ || handle - first_ >= records_.size()) {
        return nullptr;
    }
    return &records_[handle - first_];
}

const rules::SieveTest* ElementHandles::test(uint32_t handle) const {
    const Record* r = find(handle);
    return r ? r->test : nullptr;
}

const rules::SieveCommand* ElementHandles::command(uint32_t handle) const {
    const Record* r = find(handle);
    return r ? r->command : nullptr;
}

std::string formatSize(uint32_t bytes) {
    static constexpr std::array<const char*, 3> kUnits{"B", "KB", "MB"};
    size_t unit = 0;
    while (unit < 2 && bytes > 10000) {
        bytes >>= 10;
        ++unit;
    }
    return std::to_string(bytes) + ' ' + kUnits[unit];
}

std::string describeConditions(const rules::SieveTest* test, std::string_view separator,
                               bool& complete, ElementHandles& handles) {
    std::string out;
    AppendConditions(out, test, separator, false, complete, handles, 0);
    return out;
}

std::string describeActions(const rules::SieveCommand* command, std::string_view joiner,
                            bool& complete, ElementHandles& handles) {
    std::string out;
    AppendActions(out, command, joiner, complete, handles);
    return out;
}

std::string describeRule(const rules::SieveCommand& rule, bool& complete, ElementHandles& handles) {
    const Texts& texts = DescriptionTexts();
    std::string out = rule.enabled ? texts.applies : texts.turnedOff;
    out.reserve(512);
    AppendConditions(out, rule.test, {}, false, complete, handles, 0);
    out += '.';
    AppendActions(out, rule.block, {}, complete, handles);
    return out;
}

void displayMarkup(std::string_view markup, DisplayedDescription& shown) {
    shown.styled.text.clear();
    shown.styled.runs.clear();
    shown.styled.centred = false;
    shown.links.clear();
    std::string joined;  // the markup without CR and LF
    if (markup.find_first_of("\r\n") != std::string_view::npos) {
        joined.reserve(markup.size());
        std::copy_if(markup.begin(), markup.end(), std::back_inserter(joined),
                     [](char c) { return c != '\r' && c != '\n'; });
        markup = joined;
    }
    Displayer(shown).show(markup, false);
}

std::string descriptionRtf(std::string_view markup, unsigned codePage) {
    // In this order, each replacing every occurrence.
    static constexpr std::pair<std::string_view, std::string_view> kReplacements[] = {
        {"\\", "\\\\"},     {"'", "\\'27"},           {"\r", ""},        {"\n", ""},
        {"<br>", "\\par "}, {"<b>", "\\b "},          {"</b>", "\\b0 "}, {"<u>", "\\ul "},
        {"</u>", "\\ul0 "}, {"<i>", "\\i "},          {"</i>", "\\i0 "}, {"<nobr>", ""},
        {"</nobr>", ""},    {"&nbsp;", ""},           {"&gt;", "\\'15"}, {"&lt;", "\\'16"},
        {"&amp;", "&"},     {"<font color=red>", ""}, {"</font>", ""},
    };
    std::string text(markup);
    for (const auto& [from, to] : kReplacements) {
        ReplaceAll(text, from, to);
    }
    return "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) +
           " {\\colortbl; \\red0\\green0\\blue255;\\red255\\green0\\blue0;}" + text + " }";
}

std::string messageRtf(std::string_view message, unsigned codePage) {
    return "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) + "\\par\\qc {\\colortbl; }" +
           std::string(message) + " \\par}";
}

}  // namespace wq::editor
