#include "editor/description_pane.h"

#include <utility>

#include "base/text.h"

namespace wq::editor {
namespace {

constexpr unsigned kIncompleteText = 109;     // "Some information is missing or incorrect..."
constexpr unsigned kIncompleteCaption = 110;  // "Qorva Mail"
constexpr unsigned kMultipleText = 111;
constexpr unsigned kNoItemText = 112;
constexpr unsigned kScriptRuleText = 113;

}  // namespace

bool DescriptionPane::attach(ui::DialogWindow& window, int id) {
    if (!window.richText(id)) {
        return false;
    }
    window_ = &window;
    id_ = id;
    return true;
}

bool DescriptionPane::setRule(rules::SieveCommand* rule, bool multiple) {
    complete_ = true;
    rule_ = rule;
    const bool script = rule && !rule->visual;
    if (script) {
        rule_ = nullptr;
    }
    handles_.clear();
    if (!rule_) {
        // An empty first line, then the message centred.
        shown_.links.clear();
        shown_.styled.runs.clear();
        shown_.styled.text = '\n' + LoadText(multiple ? kMultipleText
                                             : script ? kScriptRuleText
                                                      : kNoItemText);
        shown_.styled.centred = true;
        show();
        return true;
    }
    displayMarkup(describeRule(*rule_, complete_, handles_), shown_);
    show();
    return complete_;
}

bool DescriptionPane::validateRule(bool showMessage) {
    if (!rule_) {
        return false;
    }
    const bool complete = setRule(rule_, false);
    if (!complete && showMessage) {
        ui::ShowMessageBox(window_ ? window_->handle() : nullptr, LoadText(kIncompleteText),
                           LoadText(kIncompleteCaption), ui::kMbOk);
    }
    return complete;
}

bool DescriptionPane::onEvent(const ui::Event& e) {
    if (e.kind != ui::Event::Kind::kLinkClicked || e.control != id_ || !window_) {
        return false;
    }
    if (!rule_ || !activator_ || e.link < 0 || static_cast<size_t>(e.link) >= shown_.links.size()) {
        return true;
    }
    // A copy: the activator may show the rule again, which makes a new link table.
    const DescriptionLink link = shown_.links[static_cast<size_t>(e.link)];
    if (activator_->activateLink(link.kind, link.handle, *this, *rule_)) {
        setRule(rule_, false);
        if (changed_) {
            changed_(*this);
        }
    }
    return true;
}

rules::SieveTest* DescriptionPane::test(uint32_t handle) const {
    // The table holds the records as read-only views of the rule the pane was given to edit.
    return const_cast<rules::SieveTest*>(handles_.test(handle));
}

rules::SieveCommand* DescriptionPane::command(uint32_t handle) const {
    return const_cast<rules::SieveCommand*>(handles_.command(handle));
}

void DescriptionPane::show() {
    if (!window_) {
        return;
    }
    ui::RichText* pane = window_->richText(id_);
    std::vector<std::pair<int, int>> ranges;
    ranges.reserve(shown_.links.size());
    for (const DescriptionLink& link : shown_.links) {
        // Both ends count, so the character just behind a link still belongs to it.
        ranges.emplace_back(static_cast<int>(link.start), static_cast<int>(link.end));
    }
    pane->setRedraw(false);
    pane->setText(shown_.styled);
    pane->setLinks(ranges);
    pane->setRedraw(true);
}

}  // namespace wq::editor
