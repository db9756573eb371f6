// The Sieve Editor: a plain, resizable text editor for Sieve text, opened on one rule from the
// Mail Rules dialog and on the whole script by the rules flow when the fetched script does not
// read. On OK it can read the text as a script and hand the rules it found to its opener.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui.h"
#include "rules/model.h"

namespace wq::editor {

// The text as the editor shows it: runs of line feeds made one, every line end a CR LF, and
// every brace on a line of its own (single-rule text arrives as one line). Only the script's
// code is reshaped: quoted strings, "text:" strings and comments (a marker line holds the
// rule's name) are kept as they are, line ends apart, so that what they say reads back the same.
std::string PrepareScriptForDisplay(std::string_view text);

class SieveEditorDialog : public ui::Dialog {
  public:
    // `parse`: read the text as a script on OK. `singleRule`: the text must not hold more than
    // one rule.
    SieveEditorDialog(std::string text, bool parse, bool singleRule);

    // Shows the dialog modally, owned by `owner` (the active window when null): ui::kIdOk,
    // ui::kIdCancel, or -1 when it cannot be shown.
    int run(ui::Window owner);

    // After OK: the edited text as the edit control holds it.
    const std::string& text() const { return text_; }
    // After OK with parse set: the rules read from the text (an empty set when it holds none);
    // the caller owns them from now on. Null otherwise, and on a second call.
    std::unique_ptr<rules::RuleSet> takeParsed() { return std::move(parsed_); }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    // Reads the edit control's text; false when the dialog must stay open.
    bool accept();

    std::string text_;
    bool parse_;
    bool singleRule_;
    std::unique_ptr<rules::RuleSet> parsed_;
};

}  // namespace wq::editor
