// The Rule Editor: builds or changes one rule in four steps that its own labels name: tick the
// conditions, tick the actions, fill in the values by clicking the underlined words of the
// description, name the rule.
//
// The condition and action lists offer the two catalogues, one row per entry in catalogue order.
// Every tick a person makes changes the rule at once: a ticked condition is added to the rule's
// test (two or more become the children of a group, in catalogue order), a ticked action to its
// block (in catalogue order), an unticked row takes its conditions or actions out again, and the
// description shows the result. "For all messages" greys every other condition; "Keep in INBOX."
// and "Discard the message." exclude each other; greyed rows refuse ticks.
//
// The rows always say what the rule holds. Where a rule read from a script holds more than a
// row can show, the lists keep it that way:
// - Two conditions of one catalogue entry tick one row; unticking the row takes out both, and a
//   new condition joins the rule's group instead of making a group around it.
// - Two actions of one kind tick one row; unticking the row takes out both.
// - Keep and Discard together tick both rows, and neither greys the other; unticking one leaves
//   the other ticked, and it greys the row just unticked. Whenever one of the two is ticked
//   alone the other is greyed, also when the dialog opens.
// - A tick whose condition or action cannot be made (memory runs out) does not take: the row
//   goes back to unticked and the rule stays as it was.
#pragma once

#include <string>
#include <vector>

#include "editor/description_pane.h"
#include "editor/link_activation.h"
#include "platform/ui.h"
#include "rules/model.h"

namespace wq::editor {

class RuleEditorDialog : public ui::Dialog {
  public:
    // Edits `rule` (a top-level If of a rule set whose records live in `arena`) in place.
    RuleEditorDialog(rules::SieveCommand& rule, rules::RuleArena& arena);
    // ui::kIdOk, ui::kIdCancel, or 3 when a catalogue cannot be loaded (nothing shown). A dialog
    // that cannot be created counts as cancelled. After Cancel the rule may still have changed:
    // ticks and values act on it at once, and the caller discards it.
    int run(ui::Window owner);

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    // The rows of one list: texts and ticks; the row of an entry is its catalogue index.
    class Rows : public ui::ListModel {
      public:
        std::vector<std::string> texts;
        std::vector<ui::Tick> ticks;

        int rowCount() const override { return static_cast<int>(texts.size()); }
        std::string text(int row, int) const override { return texts[static_cast<size_t>(row)]; }
        ui::Tick tick(int row) const override { return ticks[static_cast<size_t>(row)]; }
        void setTick(int row, ui::Tick tick) override { ticks[static_cast<size_t>(row)] = tick; }
        bool ticked(int row) const { return row >= 0 && tick(row) == ui::Tick::kOn; }
        int countTicked() const;
    };

    ui::ListView& list(int id);
    void setUpList(int id, Rows& rows, const std::vector<std::string>& texts);
    // Gives a row a tick that the dialog does not act on.
    void putBack(int id, int row, ui::Tick tick);
    void tickExisting();

    void tickChanged(const ui::Event& e);
    void conditionChanged(int row, bool ticked);
    void forAllMessages(bool ticked, rules::SieveTest* test);
    void actionChanged(int row, bool ticked);
    // Greys Keep or Discard when the other is ticked alone, and frees both otherwise.
    void excludeKeepAndDiscard();
    void render();
    void confirm();

    rules::SieveCommand& rule_;
    rules::RuleArena& arena_;
    ValueLinkActivator activator_;
    DescriptionPane pane_;
    Rows conditions_;
    Rows actions_;
    int forAllRow_ = -1;
    int keepRow_ = -1;
    int discardRow_ = -1;
    // Clear while the dialog fills or changes the rows itself: tick changes are acted on only
    // while it is set.
    bool ready_ = false;
    // Set while a refused tick is put back: that change is not acted on at all.
    bool guard_ = false;
};

}  // namespace wq::editor
