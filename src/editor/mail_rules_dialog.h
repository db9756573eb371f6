// The Mail Rules dialog: the top window of the rules editor. It shows the rules of a rule set as
// a list with a check box per rule (ticked = switched on) and the selected rule's description,
// and lets the user create, modify, copy, remove, reorder, switch on and off, and hand-edit
// single rules. It changes the rule set in place; its result says whether the set must be
// written back.
#pragma once

#include <string>
#include <vector>

#include "editor/description_pane.h"
#include "editor/link_activation.h"
#include "platform/ui.h"
#include "rules/model.h"

namespace wq::editor {

class MailRulesDialog : public ui::Dialog {
  public:
    // Edits `set` in place (not owned; it outlives the dialog). Rules that the dialog replaces or
    // removes are unlinked from the chain and stay in the set's arena until the set goes.
    explicit MailRulesDialog(rules::RuleSet& set);
    // Shows the dialog modally, owned by `owner`: ui::kIdOk only when OK was pressed and
    // something changed, ui::kIdCancel otherwise (also when the dialog cannot be shown).
    int run(ui::Window owner);

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    // The rule index as the list's rows: entry i is the i-th rule of the chain. The list asks it
    // for each row's text and tick; a tick given to a row switches its rule on or off.
    class Rows : public ui::ListModel {
      public:
        std::vector<rules::SieveCommand*> rules;  // not owned: records of the rule set
        std::string unnamed;                      // the text of a rule without a name

        int rowCount() const override { return static_cast<int>(rules.size()); }
        std::string text(int row, int column) const override;
        ui::Tick tick(int row) const override;
        void setTick(int row, ui::Tick tick) override;
    };

    ui::ListView& list();
    // The row of the one selected rule; -1 when none or several are selected.
    int single() const;
    // The link of the chain that holds the rule of `row`: the set's first link, or the previous
    // rule's next link.
    rules::SieveCommand*& linkOf(int row);
    // Selects and focuses `row` and shows it, without acting on the selection events.
    void show(int row);
    // Enables the buttons and shows the selected rule's description.
    void update();
    void changed();

    void ticked(int row);
    void newRule();
    void modify();
    void copy();
    void remove();
    void move(int by);
    void editScript();
    // Puts `rule` in place of the rule of `row`, in the chain and in the index.
    void replace(int row, rules::SieveCommand* rule);
    // Takes the rule of `row` out of the chain and the index.
    void unlink(int row);
    // The name of a copy of the rule of `row` that no rule bears yet; empty when there is none.
    std::string copyName(int row) const;

    rules::RuleSet& set_;
    ValueLinkActivator activator_;
    DescriptionPane pane_;
    Rows rows_;
    bool modified_ = false;
    // Set while the dialog moves the selection itself: it updates once when it is done.
    bool quiet_ = false;
};

}  // namespace wq::editor
