// parseScript on arbitrary bytes: no crash, no leak, no hang. Whatever parses lies inside what
// the format carries (writable.h) and is written back; the written text must read back as the
// same rules (sameTree) and write the same text again, and each rule's single-rule text must
// read back too.
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
    if (!testing::writableRuleSet(rules.first)) {
        std::abort();
    }
    std::string first = written(rules);

    for (SieveCommand* r = rules.first; r; r = r->next) {
        std::string one;
        generateCommand(one, *r, 0, GenerateMode::SingleRule, false);
        RuleSet back;
        if (!parseScript(one, back) || back.size() != 1) {
            std::abort();
        }
    }

    RuleSet again;
    if (!parseScript(first, again) || !testing::sameTree(rules.first, again.first) ||
        written(again) != first) {
        std::abort();
    }
    return 0;
}
