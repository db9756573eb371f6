// The folder listing: LSUB "" "*" of 5,000 to 20,000 subscribed folders on one connection to
// the in-process qorvad (connect, greeting, login, LSUB, logout, parse), and the parser alone on
// the same reply text. Both should scale linearly with the number of folders.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/account.h"
#include "folders/folder_list.h"
#include "qorvad.h"

namespace {

void BM_ListFolders(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    qorvad::Server server;
    server.store().addUser("anna", "secret");
    // Nested and non-ASCII names, as a real account has them.
    server.store().addManyFolders("anna", "Archiv/Caf&AOk-/", count);
    AccountSettings account{};
    wq::ResetAccountSettings(account);
    account.hostName = "127.0.0.1";
    account.userName = "anna";
    account.password = "secret";
    account.port = server.listen();
    account.timeout = 30;
    wq::SetCurrentAccount(&account);
    std::vector<wq::FolderEntry> folders;
    for (auto _ : state) {
        if (wq::ListFolders(&folders) != wq::S_OK) {
            state.SkipWithError("LSUB failed");
            break;
        }
        benchmark::DoNotOptimize(folders.data());
    }
    // INBOX comes on top of the count; every folder must be there.
    state.counters["folders"] = static_cast<double>(folders.size());
    state.SetComplexityN(state.range(0));
    wq::SetCurrentAccount(nullptr);
    server.stop();
}
BENCHMARK(BM_ListFolders)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_ParseFolderList(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    std::string reply;
    for (size_t i = 0; i < count; ++i) {
        reply += "LSUB () \"/\" \"Archiv/Caf&AOk-/" + std::to_string(i) + "\"\r\n";
    }
    reply += "OK LSUB completed.";
    for (auto _ : state) {
        benchmark::DoNotOptimize(wq::ParseFolderList(reply));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseFolderList)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
