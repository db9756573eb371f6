// WqMailRules with scripts of 5 and 5,000 rules against the in-process qorvad on loopback, in
// the two waits a person sees: from the call until the Mail Rules dialog is ready (fetch, read,
// the rule list and its first display), and from OK until the store has returned (write, the
// check that the script reads back, X-PUTSCRIPT). A third figure is one click on a row of the
// open dialog: it describes the one rule clicked, so it stays flat as the rule set grows.
// The scripts are the typical shapes of bench/sieve/scripts.h.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "../sieve/scripts.h"
#include "base/account.h"
#include "editor/mail_rules_dialog.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "qorvad.h"
#include "rules/sieve_parser.h"

namespace {

using Clock = std::chrono::steady_clock;
using wq::headless::DialogView;

// One server for the whole run, left running until the process ends.
struct Bench {
    qorvad::Server* server;
    AccountSettings account;
};

Bench& bench() {
    static Bench b = [] {
        auto* server = new qorvad::Server();
        server->store().addUser("anna", "secret");
        Bench made{server, {}};
        wq::ResetAccountSettings(made.account);
        made.account.hostName = "127.0.0.1";
        made.account.userName = "anna";
        made.account.password = "secret";
        made.account.port = server->listen();
        return made;
    }();
    return b;
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Runs WqMailRules on a script of `rules` rules; `act` works in the open Mail Rules dialog and
// gives the seconds it measured there, or a negative number for the whole call from `start`.
// `stores`: whether the script must have been stored.
template <typename Act>
void RunFlow(benchmark::State& state, bool stores, Act act) {
    Bench& b = bench();
    const std::string script = wq::rules::bench::mixedScript(int(state.range(0)));
    for (auto _ : state) {
        b.server->store().setScript("anna", script);
        b.server->clearReceived();
        wq::headless::Reset();
        double seconds = 0;
        Clock::time_point start = Clock::now();
        wq::headless::OnDialog([&](DialogView& v) { seconds = act(v, start); });
        const WqResult r = WqMailRules(nullptr, &b.account);
        if (seconds < 0) {
            seconds = Seconds(start, Clock::now());
        }
        const bool stored = b.server->received().find("X-PUTSCRIPT") != std::string::npos;
        if (r != 0 || wq::headless::Events().size() != 1 || stored != stores) {
            state.SkipWithError("WqMailRules did not run as a person would see it");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["rules"] = double(state.range(0));
}

void BM_CallToDialogReady(benchmark::State& state) {
    RunFlow(state, false, [](DialogView& v, Clock::time_point start) {
        const double seconds = Seconds(start, Clock::now());
        v.click(wq::ui::kIdCancel);
        return seconds;
    });
}

// A rule switched off and OK: everything from the click on OK until WqMailRules returns.
void BM_OkToStored(benchmark::State& state) {
    RunFlow(state, true, [](DialogView& v, Clock::time_point& start) {
        v.clickTick(IDC_MAIL_RULES_LIST, 0);
        start = Clock::now();
        v.click(wq::ui::kIdOk);
        return -1.0;
    });
}

// One click on a row of the open dialog, which describes the rule clicked.
void BM_SelectRow(benchmark::State& state) {
    wq::rules::RuleSet set;
    wq::rules::parseScript(wq::rules::bench::mixedScript(int(state.range(0))), set);
    wq::headless::Reset();
    wq::headless::OnDialog([&](DialogView& v) {
        int row = 0;
        for (auto _ : state) {
            row = (row + 97) % int(state.range(0));
            v.clickRow(IDC_MAIL_RULES_LIST, row);
        }
        v.click(wq::ui::kIdCancel);
    });
    wq::editor::MailRulesDialog(set).run(nullptr);
    state.counters["rules"] = double(state.range(0));
}

BENCHMARK(BM_CallToDialogReady)->Arg(5)->Arg(5000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OkToStored)->Arg(5)->Arg(5000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectRow)->Arg(5)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
