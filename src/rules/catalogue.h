// The two catalogues that the rules editor offers: conditions (CriterionKind) and actions
// (ActionKind), and the mapping between a rule's tree and their entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rules/model.h"

namespace wq::rules {

struct CatalogueEntry {
    // The TestKind (conditions) or CommandKind (actions) the entry stands for.
    uint32_t kind = 0;
    // Conditions: header names separated by "|"; "Name=value" means this header with this value
    // as its first key. Empty for actions and for conditions without headers.
    std::string spec;
    std::string text;
    std::string templ;  // may be empty

    // The template when there is one, else the text.
    const std::string& displayText() const { return templ.empty() ? text : templ; }
};

// Number of entries of each catalogue.
inline constexpr size_t kCriterionCount = 10;
inline constexpr size_t kActionCount = 8;

// Each catalogue is built once per process, on first use, from the string table, and then kept.
// With `rebuild` set the catalogue is emptied and marked unloaded first. A catalogue whose
// texts cannot be loaded (a string is missing, or memory runs out) stays empty and unloaded.
// Returns whether the catalogue is loaded.
bool loadCriterionCatalogue(bool rebuild);
bool loadActionCatalogue(bool rebuild);
// Both of the above; true when both catalogues are loaded.
bool loadCatalogues(bool rebuild);

// The entries in catalogue order; empty while a catalogue is not loaded. The references stay
// valid until the next rebuild.
const std::vector<CatalogueEntry>& criterionCatalogue();
const std::vector<CatalogueEntry>& actionCatalogue();

// Whether `test` matches a condition entry (kind, then headers and first key as the entry's
// spec says). Match type and negation play no part.
bool matchesCriterion(const SieveTest& test, const CatalogueEntry& entry);

// The index of the first condition entry that `test` matches, with its display text and, when
// asked, its spec. Nothing for a null test (its text is empty) or when no entry matches.
std::optional<size_t> findCriterionKind(const SieveTest* test, std::string* displayText = nullptr,
                                        std::string* spec = nullptr);

// The index of the action entry whose kind is the command's kind, with its display text and,
// when asked, its spec. Nothing for None and If.
std::optional<size_t> findActionKind(const SieveCommand& command,
                                     std::string* displayText = nullptr,
                                     std::string* spec = nullptr);

// Whether a rule's conditions can be shown through the catalogue: for an AllOf or AnyOf every
// child directly inside it must match an entry, otherwise the test itself must. No test counts as
// recognised.
bool conditionsRecognised(const SieveTest* test);

// The visual flag of a top-level command: an If whose conditions are recognised. Any other
// top-level command (a bare "keep;" of a hand-written script) is a script rule, since the Rule
// Editor edits an If's test and block only.
bool isRuleRecognised(const SieveCommand& rule);

// A new condition for a catalogue entry: the entry's kind; for Address and Header entries the
// match type Contains and the header names of the spec ("Name=value": that one header and the
// value as its one key; otherwise the names split at "|" and no keys). Made in `arena`; null
// when memory runs out.
SieveTest* buildCondition(RuleArena& arena, const CatalogueEntry& entry);

// The test of a rule with these conditions (in catalogue order; null entries are skipped): none
// gives null; one is the test itself; two or more become the children of a new test of kind
// `group` (AllOf or AnyOf) in `arena`, the conditions' own arena. Null also when memory runs
// out.
SieveTest* combineConditions(RuleArena& arena, const std::vector<SieveTest*>& conditions,
                             TestKind group);

}  // namespace wq::rules
