#include "editor/mail_rules_dialog.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "base/message.h"
#include "base/text.h"
#include "editor/rule_editor_dialog.h"
#include "editor/sieve_editor_dialog.h"
#include "ids.h"
#include "platform/collate.h"
#include "rules/catalogue.h"
#include "rules/sieve_generator.h"

namespace wq::editor {
namespace {

constexpr unsigned kUnnamedId = 131;    // "<unnamed rule>"
constexpr unsigned kCopyOfId = 132;     // "Copy of %s"
constexpr unsigned kCopyNOfId = 133;    // "Copy (%d) of %s"
constexpr unsigned kRemoveAskId = 136;  // "Are you sure you want to remove the selected item(s) ?"
constexpr int kLastCopyNumber = 127;

using rules::SieveCommand;

// Whether text1 of a top-level command is its rule name; for Notify and Vacation it is a value
// of the action (its options, its subject).
bool HasName(const SieveCommand& rule) {
    return rule.kind != rules::CommandKind::Notify && rule.kind != rules::CommandKind::Vacation;
}

}  // namespace

std::string MailRulesDialog::Rows::text(int row, int) const {
    const SieveCommand& rule = *rules[static_cast<size_t>(row)];
    return rule.text1.empty() ? unnamed : rule.text1.str();
}

ui::Tick MailRulesDialog::Rows::tick(int row) const {
    return rules[static_cast<size_t>(row)]->enabled ? ui::Tick::kOn : ui::Tick::kOff;
}

void MailRulesDialog::Rows::setTick(int row, ui::Tick tick) {
    rules[static_cast<size_t>(row)]->enabled = tick == ui::Tick::kOn ? 1 : 0;
}

MailRulesDialog::MailRulesDialog(rules::RuleSet& set)
    : set_(set), activator_(set.arena), pane_(&activator_) {}

int MailRulesDialog::run(ui::Window owner) {
    return ui::RunModalDialog(IDD_MAIL_RULES, owner, *this) == ui::kIdOk ? ui::kIdOk
                                                                         : ui::kIdCancel;
}

ui::ListView& MailRulesDialog::list() {
    return *window().listView(IDC_MAIL_RULES_LIST);
}

bool MailRulesDialog::onInit() {
    ui::DialogWindow& w = window();
    w.centerOnOwner();
    pane_.attach(w, IDC_MAIL_RULES_DESCRIPTION);
    pane_.setChangedHandler([this](DescriptionPane&) { modified_ = true; });
    list().setup({{{"", -1}}, {}, true, false, {}, {IDB_CHECK_STATES, 16, true, {}}, {}});
    rows_.unnamed = LoadText(kUnnamedId);
    rows_.rules.clear();
    rows_.rules.reserve(set_.size());
    for (SieveCommand* rule = set_.first; rule; rule = rule->next) {
        rule->visual = rules::isRuleRecognised(*rule) ? 1 : 0;
        rows_.rules.push_back(rule);
    }
    list().setModel(&rows_);
    update();
    return true;
}

bool MailRulesDialog::onEvent(const ui::Event& e) {
    using Kind = ui::Event::Kind;
    if (pane_.onEvent(e)) {
        return true;
    }
    if (e.control == IDC_MAIL_RULES_LIST) {
        if (e.kind == Kind::kTickChanged && !quiet_) {
            ticked(e.row);
        } else if (e.kind == Kind::kSelectionChanged && !quiet_) {
            update();
        } else if (e.kind == Kind::kActivated && e.row >= 0 && e.row < rows_.rowCount()) {
            show(e.row);
            update();
            // Modify is not offered for a rule that cannot be edited visually.
            if (rows_.rules[static_cast<size_t>(e.row)]->visual) {
                modify();
            }
        }
        return true;
    }
    if (e.kind != Kind::kClicked) {
        return false;
    }
    switch (e.control) {
        case IDC_MAIL_RULES_NEW:
            newRule();
            return true;
        case IDC_MAIL_RULES_MODIFY:
            modify();
            return true;
        case IDC_MAIL_RULES_COPY:
            copy();
            return true;
        case IDC_MAIL_RULES_REMOVE:
            if (single() >= 0 && ShowMessage(window().handle(), kRemoveAskId,
                                             ui::kMbYesNo | ui::kMbIconQuestion) == ui::kIdYes) {
                remove();
            }
            return true;
        case IDC_MAIL_RULES_MOVE_UP:
            move(-1);
            return true;
        case IDC_MAIL_RULES_MOVE_DOWN:
            move(1);
            return true;
        case IDC_MAIL_RULES_EDIT_SCRIPT:
            editScript();
            return true;
        case ui::kIdOk:
            window().endDialog(modified_ ? ui::kIdOk : ui::kIdCancel);
            return true;
        default:
            return Dialog::onEvent(e);
    }
}

int MailRulesDialog::single() const {
    const std::vector<int> rows = const_cast<MailRulesDialog*>(this)->list().selectedRows();
    return rows.size() == 1 ? rows.front() : -1;
}

SieveCommand*& MailRulesDialog::linkOf(int row) {
    return row == 0 ? set_.first : rows_.rules[static_cast<size_t>(row) - 1]->next;
}

void MailRulesDialog::show(int row) {
    quiet_ = true;
    list().select(row);
    quiet_ = false;
    if (row >= 0) {
        list().ensureVisible(row);
    }
}

void MailRulesDialog::update() {
    ui::DialogWindow& w = window();
    const std::vector<int> selected = list().selectedRows();
    const int first = selected.empty() ? -1 : selected.front();
    const int one = selected.size() == 1 ? first : -1;
    SieveCommand* rule = one >= 0 ? rows_.rules[static_cast<size_t>(one)] : nullptr;
    w.enableItem(IDC_MAIL_RULES_MOVE_UP, first > 0);
    w.enableItem(IDC_MAIL_RULES_MOVE_DOWN, first >= 0 && first + 1 < rows_.rowCount());
    w.enableItem(IDC_MAIL_RULES_MODIFY, rule && rule->visual);
    w.enableItem(IDC_MAIL_RULES_COPY, rule != nullptr);
    w.enableItem(IDC_MAIL_RULES_REMOVE, rule != nullptr);
    w.enableItem(IDC_MAIL_RULES_EDIT_SCRIPT, rule != nullptr);
    pane_.setRule(rule, selected.size() > 1);
}

void MailRulesDialog::changed() {
    modified_ = true;
    update();
}

// The list has given the rule its new state already (Rows::setTick).
void MailRulesDialog::ticked(int row) {
    if (row < 0 || row >= rows_.rowCount()) {
        return;
    }
    list().rowChanged(row);
    show(row);
    changed();
}

void MailRulesDialog::newRule() {
    SieveCommand* rule = rules::createCommand(set_.arena);
    if (!rule) {
        return;
    }
    rule->kind = rules::CommandKind::If;
    rule->enabled = 1;
    if (RuleEditorDialog(*rule, set_.arena).run(window().handle()) != ui::kIdOk) {
        return;
    }
    const int row = rows_.rowCount();
    try {
        rows_.rules.push_back(rule);
    } catch (const std::bad_alloc&) {
        return;
    }
    linkOf(row) = rule;
    list().rowsChanged();
    show(row);
    changed();
}

void MailRulesDialog::modify() {
    const int row = single();
    if (row < 0 || !rows_.rules[static_cast<size_t>(row)]->visual) {
        return;
    }
    SieveCommand* copy = rules::copyCommand(set_.arena, *rows_.rules[static_cast<size_t>(row)]);
    if (!copy || RuleEditorDialog(*copy, set_.arena).run(window().handle()) != ui::kIdOk) {
        return;
    }
    replace(row, copy);
    changed();
}

std::string MailRulesDialog::copyName(int row) const {
    const std::string shown = rows_.text(row, 0);
    // A name is compared as it would be stored, cut to its field.
    auto taken = [this](std::string name) {
        name.resize(std::min(name.size(), rules::ShortText::kMaxChars));
        for (const SieveCommand* rule : rows_.rules) {
            if (platform::EqualTextNoCase(rule->text1.view(), name)) {
                return true;
            }
        }
        return false;
    };
    std::string name = FormatText(LoadText(kCopyOfId), shown);
    for (int n = 2; taken(name); ++n) {
        if (n > kLastCopyNumber) {
            return {};
        }
        name = FormatText(LoadText(kCopyNOfId), n, shown);
    }
    return name;
}

void MailRulesDialog::copy() {
    const int row = single();
    if (row < 0) {
        return;
    }
    SieveCommand* original = rows_.rules[static_cast<size_t>(row)];
    const std::string name = copyName(row);
    if (name.empty()) {
        return;
    }
    SieveCommand* copy = rules::copyCommand(set_.arena, *original);
    if (!copy) {
        return;
    }
    try {
        copy->text1.assign(set_.arena, name);
        rows_.rules.insert(rows_.rules.begin() + row + 1, copy);
    } catch (const std::bad_alloc&) {
        return;
    }
    copy->next = original->next;
    original->next = copy;
    list().rowsChanged();
    changed();
}

void MailRulesDialog::remove() {
    const int row = single();
    if (row < 0) {
        return;
    }
    unlink(row);
    list().rowsChanged();
    changed();
}

void MailRulesDialog::move(int by) {
    const std::vector<int> selected = list().selectedRows();
    if (selected.empty()) {
        return;
    }
    const int row = selected.front();
    const int upper = by < 0 ? row - 1 : row;  // the upper of the two rows that change places
    if (upper < 0 || upper + 1 >= rows_.rowCount()) {
        return;
    }
    SieveCommand* a = rows_.rules[static_cast<size_t>(upper)];
    SieveCommand* b = rows_.rules[static_cast<size_t>(upper) + 1];
    linkOf(upper) = b;
    a->next = b->next;
    b->next = a;
    std::swap(rows_.rules[static_cast<size_t>(upper)], rows_.rules[static_cast<size_t>(upper) + 1]);
    list().rowChanged(upper);
    list().rowChanged(upper + 1);
    show(row + by);
    changed();
}

void MailRulesDialog::editScript() {
    const int row = single();
    if (row < 0) {
        return;
    }
    SieveCommand* old = rows_.rules[static_cast<size_t>(row)];
    std::string text;
    rules::generateCommand(text, *old, 0, rules::GenerateMode::SingleRule, false);
    SieveEditorDialog editor(std::move(text), true, true);
    if (editor.run(window().handle()) != ui::kIdOk) {
        return;
    }
    std::unique_ptr<rules::RuleSet> parsed = editor.takeParsed();
    if (!parsed || parsed->empty()) {
        // The user has confirmed that an empty script deletes the rule.
        unlink(row);
        list().rowsChanged();
        changed();
        return;
    }
    // The rule comes into the set's arena; its on/off state is the one the script gave it.
    SieveCommand* rule = rules::copyCommand(set_.arena, *parsed->first);
    if (!rule) {
        return;
    }
    if (HasName(*rule) && HasName(*old)) {
        try {
            rule->text1.assign(set_.arena, old->text1);
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    replace(row, rule);
    changed();
}

void MailRulesDialog::replace(int row, SieveCommand* rule) {
    SieveCommand*& link = linkOf(row);
    rule->next = link->next;
    link = rule;
    rows_.rules[static_cast<size_t>(row)] = rule;
    list().rowChanged(row);
}

void MailRulesDialog::unlink(int row) {
    SieveCommand*& link = linkOf(row);
    link = link->next;
    rows_.rules.erase(rows_.rules.begin() + row);
}

}  // namespace wq::editor
