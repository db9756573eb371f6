#include "editor/rule_editor_dialog.h"

#include <new>
#include <optional>

#include "base/message.h"
#include "ids.h"
#include "rules/catalogue.h"

namespace wq::editor {
namespace {

using rules::CommandKind;
using rules::SieveCommand;
using rules::SieveTest;
using rules::TestKind;
using ui::Tick;

constexpr int kConditions = IDC_RULE_EDITOR_CONDITIONS;
constexpr int kActions = IDC_RULE_EDITOR_ACTIONS;
constexpr unsigned kNoConditionText = 126;  // "You must select at least one criteria ..."
constexpr unsigned kNoActionText = 127;     // "You must select at least one action ..."
// What the reader gives a vacation whose script names no days.
constexpr char kDefaultVacationDays[] = "7";

// The catalogue text with its brackets removed: "Where the From line contains address".
std::string RowText(const std::string& text) {
    std::string row;
    for (char c : text) {
        if (c != '[' && c != ']') {
            row += c;
        }
    }
    return row;
}

bool IsGroup(const SieveTest* test) {
    return test && (test->kind == TestKind::AllOf || test->kind == TestKind::AnyOf);
}

// The row that shows a condition or an action: its first catalogue entry; none for a condition
// outside the catalogue or a command that is no action (If, None).
std::optional<size_t> RowOf(const SieveTest& test) {
    return rules::findCriterionKind(&test);
}
std::optional<size_t> RowOf(const SieveCommand& command) {
    return rules::findActionKind(command);
}

// Links `item` into a chain before the first element shown at `row` or further down, else at
// the end, so that the chain keeps catalogue order. Elements without a row are passed over.
template <class T>
void InsertInOrder(T*& head, T* item, size_t row) {
    T** link = &head;
    for (; *link; link = &(*link)->next) {
        std::optional<size_t> at = RowOf(**link);
        if (at && *at >= row) {
            break;
        }
    }
    item->next = *link;
    *link = item;
}

// Unlinks every element of a chain for which `drop` holds; returns how many are left.
template <class T, class Drop>
size_t RemoveFrom(T*& head, Drop drop) {
    size_t left = 0;
    for (T** link = &head; *link;) {
        if (drop(**link)) {
            *link = (*link)->next;
        } else {
            link = &(*link)->next;
            ++left;
        }
    }
    return left;
}

// A new action of `kind` for `rule`'s block, as the reader would give it; null when memory runs
// out.
SieveCommand* NewAction(rules::RuleArena& arena, SieveCommand& rule, CommandKind kind) {
    SieveCommand* command = rules::createCommand(arena);
    if (!command) {
        return nullptr;
    }
    command->kind = kind;
    command->enabled = 1;
    command->parent = &rule;
    if (kind == CommandKind::Vacation) {
        try {
            command->text2.assign(arena, kDefaultVacationDays);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return command;
}

}  // namespace

int RuleEditorDialog::Rows::countTicked() const {
    int n = 0;
    for (Tick t : ticks) {
        n += t == Tick::kOn;
    }
    return n;
}

RuleEditorDialog::RuleEditorDialog(rules::SieveCommand& rule, rules::RuleArena& arena)
    : rule_(rule), arena_(arena), activator_(arena), pane_(&activator_) {}

int RuleEditorDialog::run(ui::Window owner) {
    if (!rules::loadActionCatalogue(false) || !rules::loadCriterionCatalogue(false)) {
        return 3;
    }
    return ui::RunModalDialog(IDD_RULE_EDITOR, owner, *this) == ui::kIdOk ? ui::kIdOk
                                                                          : ui::kIdCancel;
}

ui::ListView& RuleEditorDialog::list(int id) {
    return *window().listView(id);
}

bool RuleEditorDialog::onInit() {
    ui::DialogWindow& w = window();
    w.centerOnOwner();
    ready_ = false;
    guard_ = false;
    std::vector<std::string> texts;
    for (const rules::CatalogueEntry& entry : rules::criterionCatalogue()) {
        if (entry.kind == static_cast<uint32_t>(TestKind::True)) {
            forAllRow_ = static_cast<int>(texts.size());
        }
        texts.push_back(RowText(entry.text));
    }
    setUpList(kConditions, conditions_, texts);
    texts.clear();
    for (const rules::CatalogueEntry& entry : rules::actionCatalogue()) {
        const int row = static_cast<int>(texts.size());
        if (entry.kind == static_cast<uint32_t>(CommandKind::Keep)) {
            keepRow_ = row;
        } else if (entry.kind == static_cast<uint32_t>(CommandKind::Discard)) {
            discardRow_ = row;
        }
        texts.push_back(RowText(entry.text));
    }
    setUpList(kActions, actions_, texts);
    pane_.attach(w, IDC_RULE_EDITOR_DESCRIPTION);
    tickExisting();
    ready_ = true;
    if (!rule_.text1.empty()) {
        w.setItemText(IDC_RULE_EDITOR_NAME, rule_.text1.str());
    }
    render();
    return true;
}

void RuleEditorDialog::setUpList(int id, Rows& rows, const std::vector<std::string>& texts) {
    rows.texts = texts;
    rows.ticks.assign(texts.size(), Tick::kOff);
    ui::ListSetup setup;
    setup.columns = {ui::Column{}};  // one column as wide as the list
    setup.ticks = {IDB_CHECK_STATES, 16, true, {}};
    ui::ListView& l = list(id);
    l.setup(setup);
    l.setModel(&rows);
}

// The rows of the rule's conditions and actions. A "For all messages" condition then stands
// alone: it becomes the rule's test and greys the other rows.
void RuleEditorDialog::tickExisting() {
    SieveTest* test = rule_.test;
    const bool group = IsGroup(test);
    SieveTest* forAll = nullptr;
    for (SieveTest* t = group ? test->children : test; t; t = group ? t->next : nullptr) {
        if (std::optional<size_t> row = RowOf(*t)) {
            list(kConditions).setTick(static_cast<int>(*row), Tick::kOn);
            if (!forAll && static_cast<int>(*row) == forAllRow_) {
                forAll = t;
            }
        }
    }
    if (forAll) {
        forAll->next = nullptr;
        forAllMessages(true, forAll);
    }
    for (SieveCommand* c = rule_.block; c; c = c->next) {
        if (std::optional<size_t> row = RowOf(*c)) {
            list(kActions).setTick(static_cast<int>(*row), Tick::kOn);
        }
    }
    excludeKeepAndDiscard();
    for (int id : {kConditions, kActions}) {
        const Rows& rows = id == kConditions ? conditions_ : actions_;
        for (int row = 0; row < rows.rowCount(); ++row) {
            if (rows.ticked(row)) {
                list(id).ensureVisible(row);
                break;
            }
        }
    }
}

bool RuleEditorDialog::onEvent(const ui::Event& e) {
    if (pane_.onEvent(e)) {
        return true;
    }
    if (e.kind == ui::Event::Kind::kTickChanged &&
        (e.control == kConditions || e.control == kActions)) {
        tickChanged(e);
        return true;
    }
    if (e.kind == ui::Event::Kind::kClicked && e.control == ui::kIdOk) {
        confirm();
        return true;
    }
    return Dialog::onEvent(e);
}

void RuleEditorDialog::putBack(int id, int row, Tick tick) {
    guard_ = true;
    list(id).setTick(row, tick);
    guard_ = false;
}

void RuleEditorDialog::tickChanged(const ui::Event& e) {
    if (guard_ || e.row < 0 || e.before == e.after) {
        return;
    }
    if (ready_ && e.before == Tick::kDisabled) {
        putBack(e.control, e.row, Tick::kDisabled);  // greyed rows cannot be ticked
        return;
    }
    if (e.after == Tick::kOn && e.before != Tick::kDisabled) {
        list(e.control).select(e.row);
    }
    if (!ready_ || (e.after != Tick::kOn && e.after != Tick::kOff)) {
        return;
    }
    if (e.control == kConditions) {
        conditionChanged(e.row, e.after == Tick::kOn);
    } else {
        actionChanged(e.row, e.after == Tick::kOn);
    }
}

void RuleEditorDialog::conditionChanged(int row, bool ticked) {
    if (row == forAllRow_) {
        SieveTest* test = ticked ? rules::createTest(arena_, TestKind::True) : nullptr;
        if (ticked && !test) {
            putBack(kConditions, row, Tick::kOff);
            return;
        }
        forAllMessages(ticked, test);
        return;
    }
    const size_t at = static_cast<size_t>(row);
    SieveTest*& test = rule_.test;
    const bool group = IsGroup(test);
    if (ticked) {
        // A second condition makes an AllOf group around the first; later ones join the group.
        SieveTest* added = rules::buildCondition(arena_, rules::criterionCatalogue()[at]);
        SieveTest* made =
            added && test && !group ? rules::createTest(arena_, TestKind::AllOf) : added;
        if (!made) {
            putBack(kConditions, row, Tick::kOff);
            return;
        }
        if (!test) {
            test = added;
        } else if (group) {
            InsertInOrder(test->children, added, at);
        } else {
            test->next = nullptr;
            made->children = test;
            InsertInOrder(made->children, added, at);
            test = made;
        }
    } else if (group) {
        // Every condition the row shows goes; a group left with one condition dissolves.
        const size_t left =
            RemoveFrom(test->children, [at](const SieveTest& t) { return RowOf(t) == at; });
        test = left == 0 ? nullptr : left == 1 ? test->children : test;
    } else if (test && RowOf(*test) == at) {
        test = nullptr;
    }
    render();
}

void RuleEditorDialog::forAllMessages(bool ticked, SieveTest* test) {
    const bool ready = ready_;
    ready_ = false;
    for (int row = 0; row < conditions_.rowCount(); ++row) {
        if (row != forAllRow_) {
            list(kConditions).setTick(row, ticked ? Tick::kDisabled : Tick::kOff);
        }
    }
    ready_ = ready;
    rule_.test = test;
    render();
}

void RuleEditorDialog::actionChanged(int row, bool ticked) {
    const auto kind =
        static_cast<CommandKind>(rules::actionCatalogue()[static_cast<size_t>(row)].kind);
    if (ticked) {
        SieveCommand* command = NewAction(arena_, rule_, kind);
        if (!command) {
            putBack(kActions, row, Tick::kOff);
            return;
        }
        // An empty command only stands for an empty block.
        RemoveFrom(rule_.block, [](const SieveCommand& c) { return c.kind == CommandKind::None; });
        InsertInOrder(rule_.block, command, static_cast<size_t>(row));
    } else {
        RemoveFrom(rule_.block, [kind](const SieveCommand& c) { return c.kind == kind; });
    }
    if (row == keepRow_ || row == discardRow_) {
        excludeKeepAndDiscard();
    }
    render();
}

void RuleEditorDialog::excludeKeepAndDiscard() {
    const bool keep = actions_.ticked(keepRow_);
    const bool discard = actions_.ticked(discardRow_);
    if ((keep && discard) || keepRow_ < 0 || discardRow_ < 0) {
        return;
    }
    const bool ready = ready_;
    ready_ = false;
    list(kActions).setTick(keepRow_, discard ? Tick::kDisabled : keep ? Tick::kOn : Tick::kOff);
    list(kActions).setTick(discardRow_, keep ? Tick::kDisabled : discard ? Tick::kOn : Tick::kOff);
    ready_ = ready;
}

void RuleEditorDialog::render() {
    pane_.setRule(&rule_, false);
}

void RuleEditorDialog::confirm() {
    ui::DialogWindow& w = window();
    const unsigned style = ui::kMbOk | ui::kMbIconExclamation;
    if (conditions_.countTicked() == 0) {
        ShowMessage(w.handle(), kNoConditionText, style);
        return;
    }
    if (actions_.countTicked() == 0) {
        ShowMessage(w.handle(), kNoActionText, style);
        return;
    }
    if (!pane_.validateRule(true)) {
        return;
    }
    const std::string name = w.itemText(IDC_RULE_EDITOR_NAME);
    if (name.empty()) {
        rule_.text1.clear();
    } else {
        try {
            rule_.text1.assign(arena_, name);  // cut to the field's 127 characters
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    w.endDialog(ui::kIdOk);
}

}  // namespace wq::editor
