// parseScript on arbitrary bytes: no crash, no leak, no hang. Whatever parses is written back;
// the written text must parse again, and when the tree lies inside what the format carries
// (writable.h) the second writing must give the same text: a fixed point after one round.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rules/sieve_generator.h"
#include "rules/sieve_parser.h"
#include "writable.h"

namespace {

std::string written(wq::rules::RuleSet& rules) {
    std::string out;
    wq::rules::generateScript(out, rules.first);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace wq::rules;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    RuleSet rules;
    ParseResult result;
    if (!parseScript(input, rules, 0, &result)) {
        if (!result.error || result.errorMessage.size() > kMaxErrorMessage) {
            std::abort();
        }
        return 0;
    }
    const bool writable = testing::writableRuleSet(rules.first);
    std::string first = written(rules);

    // Single-rule texts of every rule must be readable too.
    for (SieveCommand* r = rules.first; r; r = r->next) {
        std::string one;
        generateCommand(one, *r, 0, GenerateMode::SingleRule, false);
        RuleSet back;
        if (!parseScript(one, back) && writable) {
            std::abort();
        }
    }

    RuleSet again;
    if (!parseScript(first, again)) {
        if (writable) {
            std::abort();
        }
        return 0;
    }
    std::string second = written(again);
    if (writable && second != first) {
        std::abort();
    }
    return 0;
}
