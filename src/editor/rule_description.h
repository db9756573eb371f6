// The description of a mail rule: a few lines of prose built from the catalogue texts of its
// conditions and actions, in which every value of the rule is a link. A present value is a blue
// link, a missing one a red link over the placeholder word of the catalogue text, so the user
// sees at once what is left to fill in; the same pass tells whether the rule is complete.
//
// Two stages, both pure:
//   rule -> markup      an HTML-like text: "<br>" begins each line, "<a href=#ID>" ... "</a>"
//                       is a link to a present value, "<A HREF=#ID>" ... "</A>" (capitals being
//                       the only marker) a link to a missing one; "<nobr>", "</nobr>" and
//                       "&nbsp;" stand only in the joining words; "&amp;", "&lt;", "&gt;"
//                       escape the characters of values.
//   markup -> display   the text as shown ("\n" between lines), the coloured and underlined
//                       runs, and the link table in text order.
// The display is built straight from the markup, not by loading descriptionRtf() into a
// rich-text control and making its links there; for the markup the builders make it is the same
// text, links and colours: line breaks and the joining tags dropped, entities decoded,
// backslashes and apostrophes shown as typed. Where the document would go wrong the display does
// not: braces of values are characters, not groups, and the blank the document keeps before its
// closing brace is not shown.
//
// Values never break the display: every value, of a condition or of an action, goes into the
// markup with "&", "<" and ">" escaped, so that a value holding "<a href=#", "</a>" or "<br>" is
// shown as its characters and cannot open, close or split a link. The display reads tags and
// entities from the markup only, and needs no stand-in characters for the ">" and "<" of values,
// so no character of a value (braces, backslashes, 0x15, 0x16) has a meaning there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"
#include "rules/model.h"

namespace wq::editor {

// What a link edits. The handle of a link names the record (see ElementHandles).
enum class LinkKind : uint32_t {
    kNone = 0,            // a name not in the table
    kAndOr = 1,           // "andor": all or any of the rule's conditions (no record)
    kAddress = 2,         // "addr": the keys of an Address test
    kMatch = 3,           // "match": match type and negation of an Address or Header test
    kSize = 4,            // "size": relation and limit of a Size test
    kWord = 5,            // "word": the keys of a Header test
    kFileInto = 6,        // "fileinto": the folder of a FileInto action
    kRedirect = 7,        // "redirect": the address of a Redirect action
    kReject = 8,          // "reject": the reason of a Reject action
    kNotifyAddress = 9,   // "notifya": the address a Notify action writes to (text1)
    kNotifyMessage = 10,  // "notifym": the message of a Notify action
    kVacation = 11,       // "vacation": the reply text of a Vacation action
};

// The link name of a kind; empty for kNone.
std::string_view linkName(LinkKind kind);
// The kind of a link name, compared exactly; kNone for a name not in the table.
LinkKind linkKindOf(std::string_view name);

// One entry of a description's link table.
struct DescriptionLink {
    LinkKind kind = LinkKind::kNone;
    uint32_t start = 0;   // the link's first character in the displayed text
    uint32_t end = 0;     // just behind its last character
    uint32_t handle = 0;  // the element handle; 0 for kinds outside kAddress..kVacation
};

// The element handles of one description: serial numbers, from `first` on, given to the tests
// and commands in the order they are described. A handle names a record only through the table
// that gave it, and the table is made again with every description, so a handle can name
// nothing but a record of the rule last described (whose owner keeps it alive while it is
// shown), never a freed one. Handle 0 names nothing.
class ElementHandles {
  public:
    explicit ElementHandles(uint32_t first = 1) : first_(first ? first : 1) {}

    uint32_t add(const rules::SieveTest& test) { return add(&test, nullptr); }
    uint32_t add(const rules::SieveCommand& command) { return add(nullptr, &command); }
    // The record a handle names; null when it names none of that kind.
    const rules::SieveTest* test(uint32_t handle) const;
    const rules::SieveCommand* command(uint32_t handle) const;
    void clear() { records_.clear(); }

  private:
    struct Record {
        const rules::SieveTest* test;        // not owned
        const rules::SieveCommand* command;  // not owned
    };
    uint32_t add(const rules::SieveTest* test, const rules::SieveCommand* command);
    const Record* find(uint32_t handle) const;

    uint32_t first_;
    std::vector<Record> records_;
};

// The size text of a byte count: "10000 B", "9 KB", "4095 MB". Bytes above 10000 are divided
// by 1024 (rounding down) until they are at most 10000, at most twice.
std::string formatSize(uint32_t bytes);

// Markup of a condition or a chain of conditions. `separator` is the joining word ("and", "or")
// that begins each line of this condition and the ones after it, linked to the And/Or choice;
// empty for none. A group (all of / any of) joins its own conditions with its own word. A
// condition without a catalogue entry ends the chain. `complete` is cleared when a value is
// missing.
std::string describeConditions(const rules::SieveTest* test, std::string_view separator,
                               bool& complete, ElementHandles& handles);

// Markup of an action and the ones after it. `joiner` is the markup put at the head of this
// action's line (empty for the first action); the next lines begin with a plain "and". An
// action without a catalogue entry ends the chain.
std::string describeActions(const rules::SieveCommand* command, std::string_view joiner,
                            bool& complete, ElementHandles& handles);

// Markup of a rule: whether it applies or is turned off, its conditions, a full stop, its
// actions.
std::string describeRule(const rules::SieveCommand& rule, bool& complete, ElementHandles& handles);

// What a description pane shows for a markup: the text ("\n" between lines), one underlined
// run per link (blue, or red for a missing value), black underlined runs for the text between
// "<u>" and "</u>", and the link table in text order.
struct DisplayedDescription {
    ui::StyledText styled;
    std::vector<DescriptionLink> links;
};

// Fills `shown` (its buffers are reused) from `markup`. Tags and entities are read left to
// right, each once: CR and LF are dropped first; "<br>" is a line break; "<nobr>", "</nobr>",
// "&nbsp;", "<b>", "</b>", "<i>", "</i>", "<font color=red>" and "</font>" are removed;
// "<u>" ... "</u>" underlines; "&gt;", "&lt;", "&amp;" are ">", "<", "&". An opener
// "<a href=#" (any case) up to the next ">" and a following "</a>" (any case) make a link over
// what stands between, red when the opener is written "<A HREF=#"; its id is a name, or a name,
// "_" and the handle in decimal. An opener without ">" or "</a>" after it, or inside a link's
// text, is shown as its characters.
void displayMarkup(std::string_view markup, DisplayedDescription& shown);

// The rich-text document of a markup in code page `codePage`: its link tags stay characters of
// the text (the control turns them into styled ranges), ">" and "<" of values stand as the
// characters 0x15 and 0x16 until then. Colour 1 is blue, colour 2 red.
std::string descriptionRtf(std::string_view markup, unsigned codePage);

// The rich-text document of a message shown instead of a rule: an empty line, then the message
// centred.
std::string messageRtf(std::string_view message, unsigned codePage);

}  // namespace wq::editor
