// The rules flow behind WqMailRules: fetch the user's Sieve script, read it into rules, let the
// user edit them in the Mail Rules dialog, write them back and store the script. No connection
// is held open while the user edits.
//
// A script is stored only when it reads back as the rules the user saw. When the writer cannot
// say them so, nothing is stored: the user is told, and may take the written script into the
// Sieve Editor, correct it and store what the editor reads from it; nothing done in the dialogs
// is lost on the way.
#pragma once

#include "base/result.h"
#include "platform/ui.h"
#include "rules/model.h"
#include "wqrt.h"

namespace wq::editor {

// The whole flow for `account` (made the current account), its windows owned by `owner`.
// Results: E_INVALIDARG for a null record; a fetch result above 0 (server NO, logon cancelled)
// as it came, silently; a failed fetch as its code after "Failed to receive script." with the
// code; E_FAIL for a script that does not parse and names no error; 1 when the user declines to
// repair a script that does not parse; S_OK when the Mail Rules dialog ends without a change;
// otherwise the store's result ("Your script has not been updated." shown for a failure), or
// E_FAIL when a script that would not read back was not stored and the user did not correct it.
HResult RunMailRules(ui::Window owner, AccountSettings* account);

// The flow's last step: writes `set` and stores the script with the current account, the wait
// cursor showing. A script that would not read back as `set` is not stored: the user is told
// and may correct it in the Sieve Editor, whose rules then replace `set` and are written and
// checked in turn (E_FAIL when the user declines or cancels). A failed store shows "Your script
// has not been updated.". The store's result otherwise.
HResult StoreRules(ui::Window owner, rules::RuleSet& set);

}  // namespace wq::editor
