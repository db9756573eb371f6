#include "editor/rules_flow.h"

#include <memory>
#include <new>
#include <string>

#include "base/account.h"
#include "base/message.h"
#include "editor/mail_rules_dialog.h"
#include "editor/sieve_editor_dialog.h"
#include "net/script_transfer.h"
#include "rules/compare.h"
#include "rules/sieve_generator.h"
#include "rules/sieve_parser.h"
#include "text/charset.h"

namespace wq::editor {
namespace {

constexpr unsigned kReceiveFailedText = 3004;  // "Failed to receive script."
constexpr unsigned kErrorCodeText = 3005;      // "\n\nError Code 0x%08X"
constexpr unsigned kScriptErrorText = 3300;    // "The script contains error."
constexpr unsigned kErrorDetailsText = 3301;   // "Error details:\nLine %d: %s"
constexpr unsigned kEditManuallyText = 3302;   // "Would you like to edit the script manually ?"
constexpr unsigned kNotReadBackText = 3303;    // the rules would not read back: nothing stored
constexpr unsigned kNotUpdatedText = 3304;     // "Your script has not been updated."

using rules::RuleSet;

// Reads `script` into `set`; a parse that runs out of memory is a failed parse without a
// message, and leaves the set empty.
bool Parse(const std::string& script, RuleSet& set, rules::ParseResult& result) {
    try {
        return rules::parseScript(script, set, 0, &result);
    } catch (const std::bad_alloc&) {
        set.clear();
        result.errorMessage.clear();
        return false;
    }
}

// The rules the Sieve Editor read from the text the user confirmed; an empty set when it read
// none. Null when the user cancelled.
std::unique_ptr<RuleSet> EditScript(const std::string& text) {
    SieveEditorDialog editor(text, true, false);
    if (editor.run(ui::ActiveWindow()) != ui::kIdOk) {
        return nullptr;
    }
    std::unique_ptr<RuleSet> set = editor.takeParsed();
    return set ? std::move(set) : std::make_unique<RuleSet>();
}

// A script that does not read: says where, and asks whether the user repairs it. The rules the
// repair gave, or null with the flow's result in `*result`.
std::unique_ptr<RuleSet> Repair(ui::Window owner, const std::string& script,
                                const rules::ParseResult& parsed, HResult* result) {
    std::string text = LoadText(kScriptErrorText);
    if (parsed.errorMessage.empty()) {
        ShowMessageText(owner, text, ui::kMbOk | ui::kMbIconStop);
        *result = E_FAIL;
        return nullptr;
    }
    text += "\n\n" + FormatText(LoadText(kErrorDetailsText), parsed.line, parsed.errorMessage) +
            "\n\n" + LoadText(kEditManuallyText);
    *result = S_FALSE;
    if (ShowMessageText(owner, text, ui::kMbYesNo) != ui::kIdYes) {
        return nullptr;
    }
    return EditScript(script);
}

}  // namespace

HResult StoreRules(ui::Window owner, RuleSet& set) {
    for (;;) {
        std::string script;
        bool faithful = false;
        {
            ui::WaitCursor wait;
            rules::generateScript(script, set.first);
            faithful = rules::readsBackAs(script, set.first);
        }
        if (!faithful) {
            const std::string text =
                LoadText(kNotReadBackText) + "\n\n" + LoadText(kEditManuallyText);
            if (ShowMessageText(owner, text, ui::kMbYesNo | ui::kMbIconExclamation) != ui::kIdYes) {
                return E_FAIL;
            }
            std::unique_ptr<RuleSet> edited = EditScript(script);
            if (!edited) {
                return E_FAIL;
            }
            set = std::move(*edited);
            continue;
        }
        HResult stored;
        {
            ui::WaitCursor wait;
            stored = net::StoreScript(script.empty() ? std::string(" ") : ansiToUtf8(script));
        }
        if (Failed(stored)) {
            ShowMessage(owner, kNotUpdatedText, ui::kMbOk | ui::kMbIconStop);
        }
        return stored;
    }
}

namespace {

HResult Run(ui::Window owner) {
    std::string script;
    HResult fetched;
    {
        ui::WaitCursor wait;
        fetched = net::FetchScript(&script);
    }
    if (fetched > 0) {
        return fetched;  // the server said NO, or the user cancelled the logon
    }
    if (Failed(fetched)) {
        ShowMessageText(owner,
                        LoadText(kReceiveFailedText) +
                            FormatText(LoadText(kErrorCodeText), static_cast<uint32_t>(fetched)),
                        ui::kMbOk | ui::kMbIconStop);
        return fetched;
    }

    auto set = std::make_unique<RuleSet>();
    rules::ParseResult parsed;
    // Set when the script was repaired by hand: the repair is stored even if the user then
    // cancels the Mail Rules dialog.
    bool handEdited = false;
    if (!Parse(script, *set, parsed)) {
        HResult result = S_FALSE;
        set = Repair(owner, script, parsed, &result);
        if (!set) {
            return result;
        }
        handEdited = true;
    }
    {
        MailRulesDialog dialog(*set);
        if (dialog.run(owner) != ui::kIdOk && !handEdited) {
            return fetched;
        }
    }
    return StoreRules(owner, *set);
}

}  // namespace

HResult RunMailRules(ui::Window owner, AccountSettings* account) {
    if (!account) {
        return E_INVALIDARG;
    }
    SetCurrentAccount(account);
    try {
        return Run(owner);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace wq::editor
