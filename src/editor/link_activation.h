// What a click on a value of a rule's description does: opens the dialog that edits that value
// and writes the result into the rule's records on OK.
#pragma once

#include <string>

#include "editor/description_pane.h"
#include "editor/value_dialogs.h"
#include "rules/arena.h"

namespace wq::editor {

// Picks an address from the user's address book (the Address Book dialog).
bool PickFromAddressBook(ui::Window owner, std::string* address);

// Edits the values of rules that live in `arena` (the rule set's): new texts and keys are made
// there.
class ValueLinkActivator : public LinkActivator {
  public:
    explicit ValueLinkActivator(rules::RuleArena& arena) : arena_(arena) {}
    bool activateLink(LinkKind kind, uint32_t handle, DescriptionPane& pane,
                      rules::SieveCommand& rule) override;

  private:
    bool editConditionGroup(rules::SieveCommand& rule);
    bool editTest(LinkKind kind, rules::SieveTest& test);
    bool editCommand(LinkKind kind, rules::SieveCommand& command);

    rules::RuleArena& arena_;
};

}  // namespace wq::editor
