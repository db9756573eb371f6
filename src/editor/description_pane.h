// The description pane: the read-only rich-text control (id 201 of the Mail Rules dialog and of
// the Rule Editor) that shows one rule's description, turns a click on a link into the edit of
// that value, and tells its host when a value changed.
//
// The pane is dialog logic without a window of its own: the hosting dialog attaches it to its
// rich-text control in onInit and forwards the events of that control to onEvent. The UI layer
// gives the pointer its hand shape over links and the text beam elsewhere; a press over a link
// selects the link and arms it, and a release over a link while armed reports the link under
// the pointer then, the character just behind a link's last one included.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "editor/rule_description.h"
#include "platform/ui.h"
#include "rules/model.h"

namespace wq::editor {

class DescriptionPane;

// Opens the dialog that edits the value a link names and writes the result into the rule:
// `handle` names the record (DescriptionPane::test and ::command resolve it), `rule` is the rule
// the pane shows. Returns whether the rule changed.
class LinkActivator {
  public:
    virtual ~LinkActivator() = default;
    virtual bool activateLink(LinkKind kind, uint32_t handle, DescriptionPane& pane,
                              rules::SieveCommand& rule) = 0;
};

// The notification code of DescriptionChanged where a Windows parent receives it as WM_NOTIFY.
inline constexpr unsigned kDescriptionChanged = 0x8000;

class DescriptionPane {
  public:
    // `activator` (not owned) edits the values; without one a click changes nothing.
    explicit DescriptionPane(LinkActivator* activator = nullptr) : activator_(activator) {}

    // Shows the pane in rich-text control `id` of `window` (not owned; it outlives the pane's use).
    // False when the window has no rich-text control of that id.
    bool attach(ui::DialogWindow& window, int id);
    int controlId() const { return id_; }

    // DescriptionChanged: called after a click changed a value of the shown rule and the pane
    // showed it again.
    void setChangedHandler(std::function<void(DescriptionPane&)> handler) {
        changed_ = std::move(handler);
    }

    // Shows `rule` (borrowed: the host keeps it alive while it is shown, and calls setRule
    // again before freeing it). Without a rule, or for a rule that cannot be shown visually, the
    // pane shows a centred message and has no links: "Multiple items selected." when `multiple`
    // is set, "This rule cannot be visually edited.", or "There is no item selected.". Returns
    // whether every value of the rule is present (true for a message).
    bool setRule(rules::SieveCommand* rule, bool multiple);

    // Shows the rule again and returns whether it is complete; false when no rule is shown.
    // With `showMessage`, an incomplete rule is reported in a message box owned by the host.
    bool validateRule(bool showMessage);

    // An event of the host's dialog. Link clicks of the pane's control are handled here (true);
    // anything else is left to the host (false).
    bool onEvent(const ui::Event& e);

    rules::SieveCommand* rule() const { return rule_; }
    bool complete() const { return complete_; }
    const std::vector<DescriptionLink>& links() const { return shown_.links; }
    // The records the element handles of the current links name; null for any other handle.
    // They are records of the shown rule, which the pane was given to edit.
    rules::SieveTest* test(uint32_t handle) const;
    rules::SieveCommand* command(uint32_t handle) const;

  private:
    void show();

    LinkActivator* activator_;            // not owned
    ui::DialogWindow* window_ = nullptr;  // not owned
    int id_ = 0;
    std::function<void(DescriptionPane&)> changed_;
    rules::SieveCommand* rule_ = nullptr;  // borrowed
    bool complete_ = true;
    ElementHandles handles_;
    DisplayedDescription shown_;
};

}  // namespace wq::editor
