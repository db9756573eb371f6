// Arbitrary bytes as description markup, and as the values of a rule.
//
// Any markup must give a consistent display: links in text order, each inside the text and with
// one underlined blue or red run over exactly its characters, no line end but "\n". Any bytes as
// values must be shown as typed: a Redirect address and the keys of an Address test (the bytes
// split at zero bytes) each make exactly one link over the value without its CR and LF, and
// nothing a value holds opens, closes or splits a link.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "editor/rule_description.h"
#include "rules/catalogue.h"
#include "rules/model.h"

namespace {

using namespace wq;
using namespace wq::editor;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

void checkDisplay(const DisplayedDescription& d) {
    const std::string& text = d.styled.text;
    check(text.find('\r') == std::string::npos);
    uint32_t last = 0;
    size_t run = 0;
    for (const DescriptionLink& l : d.links) {
        check(last <= l.start && l.start <= l.end && l.end <= text.size());
        last = l.end;
        while (run < d.styled.runs.size() && d.styled.runs[run].colour == ui::Rgb{}) {
            ++run;  // black runs are the text between <u> and </u>
        }
        check(run < d.styled.runs.size());
        const ui::StyledText::Run& r = d.styled.runs[run++];
        check(r.start == int(l.start) && r.end == int(l.end) && r.underline);
        check(r.colour == (ui::Rgb{0, 0, 255}) || r.colour == (ui::Rgb{255, 0, 0}));
    }
    for (const ui::StyledText::Run& r : d.styled.runs) {
        check(0 <= r.start && r.start <= r.end && r.end <= int(text.size()));
    }
}

std::string withoutLineEnds(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    DisplayedDescription d;
    displayMarkup(bytes, d);
    checkDisplay(d);

    static const bool loaded = rules::loadCatalogues(false);
    check(loaded);
    rules::RuleArena arena;
    rules::SieveCommand* rule = rules::createCommand(arena);
    rule->kind = rules::CommandKind::If;
    rules::SieveTest* test = rules::createTest(arena, rules::TestKind::Address);
    test->headers = rules::StringList::copyOf(arena, {"From"});
    std::vector<std::string_view> keys;
    for (size_t at = 0; at <= bytes.size();) {
        const size_t zero = std::min(bytes.find('\0', at), bytes.size());
        keys.push_back(bytes.substr(at, zero - at));
        at = zero + 1;
    }
    test->keys = rules::StringList::copyOf(arena, keys.data(), keys.size());
    rule->test = test;
    rule->block = rules::createCommand(arena);
    rule->block->kind = rules::CommandKind::Redirect;
    rule->block->argument.assign(arena, bytes);

    bool complete = true;
    ElementHandles handles;
    displayMarkup(describeRule(*rule, complete, handles), d);
    checkDisplay(d);
    check(d.links.size() == 3);
    std::string list;
    for (std::string_view key : keys) {
        list += (list.empty() ? "'" : " or '") + std::string(key) + "'";
    }
    const auto shown = [&](size_t i) {
        return d.styled.text.substr(d.links[i].start, d.links[i].end - d.links[i].start);
    };
    check(d.links[1].kind == LinkKind::kAddress && shown(1) == withoutLineEnds(list));
    const std::string_view address = rule->block->argument.view();
    check(d.links[2].kind == LinkKind::kRedirect && handles.command(d.links[2].handle) &&
          shown(2) == (address.empty() ? "address" : withoutLineEnds(address)));
    check(complete == !address.empty());
    return 0;
}
