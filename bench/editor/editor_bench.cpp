// The rule description: one rule described and laid out, as the Mail Rules dialog does on every
// change of the selection, and 5,000 rules of the typical shapes in a row. Each is measured as
// the markup alone, as markup and display, and through the pane of a headless dialog.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "../sieve/scripts.h"
#include "editor/description_pane.h"
#include "editor/rule_description.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "rules/catalogue.h"
#include "rules/sieve_parser.h"

namespace {

using namespace wq;
using namespace wq::editor;

// Three conditions and three actions, one of them a folder with a special name.
constexpr const char* kOneRule =
    "#!1 Reports\nif allof (address :all :contains \"From\" \"anna@example.com\", header "
    ":contains \"Subject\" [\"report\", \"invoice\"], size :under 102400) \n {\n"
    "  fileinto \"INBOX/Work\";\n  redirect \"boss@example.com\";\n  stop;\n}\n";

// The rules of `script`, marked as the Mail Rules dialog marks them.
std::vector<rules::SieveCommand*> Rules(rules::RuleSet& set, const std::string& script) {
    rules::parseScript(script, set);
    std::vector<rules::SieveCommand*> list;
    for (rules::SieveCommand* r = set.first; r; r = r->next) {
        r->visual = rules::isRuleRecognised(*r) ? 1 : 0;
        list.push_back(r);
    }
    return list;
}

const std::string& Script(int count) {
    static const std::string one = kOneRule, many = rules::bench::mixedScript(5000);
    return count == 1 ? one : many;
}

void BM_Markup(benchmark::State& state) {
    rules::RuleSet set;
    const std::vector<rules::SieveCommand*> list = Rules(set, Script(int(state.range(0))));
    size_t bytes = 0;
    for (auto _ : state) {
        for (rules::SieveCommand* rule : list) {
            bool complete = true;
            ElementHandles handles;
            bytes += describeRule(*rule, complete, handles).size();
        }
    }
    state.counters["rules"] = double(list.size());
    benchmark::DoNotOptimize(bytes);
}

void BM_MarkupAndDisplay(benchmark::State& state) {
    rules::RuleSet set;
    const std::vector<rules::SieveCommand*> list = Rules(set, Script(int(state.range(0))));
    DisplayedDescription shown;
    for (auto _ : state) {
        for (rules::SieveCommand* rule : list) {
            bool complete = true;
            ElementHandles handles;
            displayMarkup(describeRule(*rule, complete, handles), shown);
            benchmark::DoNotOptimize(shown.links.data());
        }
    }
    state.counters["rules"] = double(list.size());
}

// The pane of a headless Mail Rules dialog: describing, laying out and handing the styled text
// and the link ranges to the control.
class PaneHost : public ui::Dialog {
  public:
    DescriptionPane pane;
    bool onInit() override { return pane.attach(window(), IDC_MAIL_RULES_DESCRIPTION); }
};

void BM_Pane(benchmark::State& state) {
    rules::RuleSet set;
    const std::vector<rules::SieveCommand*> list = Rules(set, Script(int(state.range(0))));
    PaneHost host;
    headless::OnDialog([&](headless::DialogView&) {
        for (auto _ : state) {
            for (rules::SieveCommand* rule : list) {
                benchmark::DoNotOptimize(host.pane.setRule(rule, false));
            }
        }
    });
    ui::RunModalDialog(IDD_MAIL_RULES, nullptr, host);
    state.counters["rules"] = double(list.size());
}

BENCHMARK(BM_Markup)->Arg(1)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MarkupAndDisplay)->Arg(1)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pane)->Arg(1)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
