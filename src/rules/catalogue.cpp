#include "rules/catalogue.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "rules/ascii.h"

namespace wq::rules {
namespace {

struct EntrySource {
    uint32_t kind;
    const char* spec;
    unsigned textId;
    unsigned templateId;  // 0: none
};

constexpr uint32_t kindValue(CommandKind k) {
    return static_cast<uint32_t>(k);
}
constexpr uint32_t kindValue(TestKind k) {
    return static_cast<uint32_t>(k);
}

// The order is the order of the Rule Editor's lists. "For all messages" (6108) stands last,
// behind the spam entry (6109).
constexpr EntrySource kCriterionSources[kCriterionCount] = {
    {kindValue(TestKind::Address), "To|Cc", 6100, 0},
    {kindValue(TestKind::Address), "From", 6101, 0},
    {kindValue(TestKind::Address), "To", 6102, 0},
    {kindValue(TestKind::Address), "Cc", 6103, 0},
    {kindValue(TestKind::Address), "Sender", 6104, 0},
    {kindValue(TestKind::Header), "Subject", 6105, 0},
    {kindValue(TestKind::Header), "Content-Type=multipart/mixed", 6106, 0},
    {kindValue(TestKind::Size), "", 6107, 0},
    {kindValue(TestKind::SpamTest), "", 6109, 0},
    {kindValue(TestKind::True), "", 6108, 0},
};

constexpr EntrySource kActionSources[kActionCount] = {
    {kindValue(CommandKind::FileInto), "", 6000, 6001},
    {kindValue(CommandKind::Redirect), "", 6002, 0},
    {kindValue(CommandKind::Reject), "", 6003, 6004},
    {kindValue(CommandKind::Keep), "", 6005, 0},
    {kindValue(CommandKind::Discard), "", 6006, 0},
    {kindValue(CommandKind::Notify), "", 6007, 6008},
    {kindValue(CommandKind::Vacation), "", 6009, 6010},
    {kindValue(CommandKind::Stop), "", 6011, 0},
};

// The process-wide catalogues. Exports never run concurrently, so there is no lock.
struct Catalogue {
    std::vector<CatalogueEntry> entries;
    bool loaded = false;
};

struct Catalogues {
    Catalogue criteria;
    Catalogue actions;
};

Catalogues& catalogues() {
    static Catalogues instance;
    return instance;
}

template <size_t N>
bool loadCatalogue(Catalogue& catalogue, const EntrySource (&sources)[N], bool rebuild) {
    if (rebuild) {
        catalogue.entries.clear();
        catalogue.loaded = false;
    }
    if (catalogue.loaded) {
        return true;
    }
    try {
        std::vector<CatalogueEntry> entries;
        entries.reserve(N);
        for (const EntrySource& source : sources) {
            CatalogueEntry entry;
            entry.kind = source.kind;
            entry.spec = source.spec;
            entry.text = LoadText(source.textId);
            if (entry.text.empty()) {
                return false;
            }
            if (source.templateId != 0) {
                entry.templ = LoadText(source.templateId);
                if (entry.templ.empty()) {
                    return false;
                }
            }
            entries.push_back(std::move(entry));
        }
        catalogue.entries = std::move(entries);
    } catch (const std::bad_alloc&) {
        return false;
    }
    catalogue.loaded = true;
    return true;
}

std::vector<std::string_view> splitNames(std::string_view spec) {
    std::vector<std::string_view> names;
    size_t start = 0;
    for (;;) {
        size_t bar = spec.find('|', start);
        std::string_view name =
            spec.substr(start, bar == std::string_view::npos ? bar : bar - start);
        if (!name.empty()) {
            names.push_back(name);
        }
        if (bar == std::string_view::npos) {
            return names;
        }
        start = bar + 1;
    }
}

// The header names of an address test and of the entry, each sorted by byte value, must be equal
// pairwise without regard to case.
bool addressMatches(const SieveTest& test, std::string_view spec) {
    std::vector<std::string_view> wanted = splitNames(spec);
    std::vector<std::string_view> given;
    for (std::string_view h : test.headers) {
        if (!h.empty()) {
            given.push_back(h);
        }
    }
    if (wanted.size() != given.size()) {
        return false;
    }
    std::sort(wanted.begin(), wanted.end());
    std::sort(given.begin(), given.end());
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (!equalsNoCase(wanted[i], given[i])) {
            return false;
        }
    }
    return true;
}

// "Name" or "Name=first key", as the entry's spec has it, compared without regard to case.
bool headerMatches(const SieveTest& test, std::string_view spec) {
    std::string have(test.headers.empty() ? std::string_view() : test.headers.front());
    if (spec.find('=') != std::string_view::npos) {
        have += '=';
        if (!test.keys.empty()) {
            have += test.keys.front();
        }
    }
    return equalsNoCase(have, spec);
}

std::optional<size_t> describe(const std::vector<CatalogueEntry>& entries, size_t index,
                               std::string* displayText, std::string* spec) {
    if (displayText) {
        *displayText = entries[index].displayText();
    }
    if (spec) {
        *spec = entries[index].spec;
    }
    return index;
}

}  // namespace

bool loadCriterionCatalogue(bool rebuild) {
    return loadCatalogue(catalogues().criteria, kCriterionSources, rebuild);
}

bool loadActionCatalogue(bool rebuild) {
    return loadCatalogue(catalogues().actions, kActionSources, rebuild);
}

bool loadCatalogues(bool rebuild) {
    bool criteria = loadCriterionCatalogue(rebuild);
    bool actions = loadActionCatalogue(rebuild);
    return criteria && actions;
}

const std::vector<CatalogueEntry>& criterionCatalogue() {
    return catalogues().criteria.entries;
}

const std::vector<CatalogueEntry>& actionCatalogue() {
    return catalogues().actions.entries;
}

bool matchesCriterion(const SieveTest& test, const CatalogueEntry& entry) {
    if (static_cast<uint32_t>(test.kind) != entry.kind) {
        return false;
    }
    switch (test.kind) {
        case TestKind::True:
        case TestKind::Size:
        case TestKind::SpamTest:
            return true;
        case TestKind::Address:
            return addressMatches(test, entry.spec);
        case TestKind::Header:
            return headerMatches(test, entry.spec);
        case TestKind::AllOf:
        case TestKind::AnyOf:
        case TestKind::Exists:
        case TestKind::False:
            break;
    }
    return false;
}

std::optional<size_t> findCriterionKind(const SieveTest* test, std::string* displayText,
                                        std::string* spec) {
    if (displayText) {
        displayText->clear();
    }
    if (!test || !loadCriterionCatalogue(false)) {
        return std::nullopt;
    }
    const std::vector<CatalogueEntry>& entries = criterionCatalogue();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (matchesCriterion(*test, entries[i])) {
            return describe(entries, i, displayText, spec);
        }
    }
    return std::nullopt;
}

std::optional<size_t> findActionKind(const SieveCommand& command, std::string* displayText,
                                     std::string* spec) {
    if (displayText) {
        displayText->clear();
    }
    if (!loadActionCatalogue(false)) {
        return std::nullopt;
    }
    const std::vector<CatalogueEntry>& entries = actionCatalogue();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == static_cast<uint32_t>(command.kind)) {
            return describe(entries, i, displayText, spec);
        }
    }
    return std::nullopt;
}

bool conditionsRecognised(const SieveTest* test) {
    if (!test) {
        return true;
    }
    if (test->kind == TestKind::AllOf || test->kind == TestKind::AnyOf) {
        for (const SieveTest* child = test->children; child; child = child->next) {
            if (!findCriterionKind(child)) {
                return false;
            }
        }
        return true;
    }
    return findCriterionKind(test).has_value();
}

bool isRuleRecognised(const SieveCommand& rule) {
    return rule.kind == CommandKind::If && conditionsRecognised(rule.test);
}

SieveTest* buildCondition(RuleArena& arena, const CatalogueEntry& entry) {
    const RuleArena::Mark mark = arena.mark();
    try {
        SieveTest* test = arena.make<SieveTest>(static_cast<TestKind>(entry.kind));
        if (test->kind != TestKind::Address && test->kind != TestKind::Header) {
            return test;
        }
        test->matchType = MatchType::Contains;
        std::string_view spec = entry.spec;
        size_t eq = spec.find('=');
        if (test->kind == TestKind::Header && eq != std::string_view::npos) {
            test->headers = StringList::copyOf(arena, {spec.substr(0, eq)});
            test->keys = StringList::copyOf(arena, {spec.substr(eq + 1)});
        } else {
            std::vector<std::string_view> names = splitNames(spec);
            test->headers = StringList::copyOf(arena, names.data(), names.size());
        }
        return test;
    } catch (const std::bad_alloc&) {
        arena.rewind(mark);
        return nullptr;
    }
}

SieveTest* combineConditions(RuleArena& arena, const std::vector<SieveTest*>& conditions,
                             TestKind group) {
    std::vector<SieveTest*> present;
    for (SieveTest* condition : conditions) {
        if (condition) {
            present.push_back(condition);
        }
    }
    if (present.empty()) {
        return nullptr;
    }
    if (present.size() == 1) {
        present.front()->next = nullptr;
        return present.front();
    }
    SieveTest* test = createTest(arena, group);
    if (!test) {
        return nullptr;
    }
    SieveTest** tail = &test->children;
    for (SieveTest* condition : present) {
        condition->next = nullptr;
        *tail = condition;
        tail = &condition->next;
    }
    return test;
}

}  // namespace wq::rules
