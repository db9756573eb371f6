// WqGetACL for requests of growing size on one connection against the in-process qorvad, and
// the GETACL reply reader alone on replies of growing length. Both should scale linearly: the
// time per folder (per line) stays flat as the request grows.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/account.h"
#include "folders/acl.h"
#include "qorvad.h"

namespace {

constexpr size_t kMaxFolders = 2000;

// One server for the whole run (left running until the process ends): user anna with folders
// Bulk/0 ... Bulk/1999, each shared with two more identifiers.
struct Bench {
    qorvad::Server* server;
    uint16_t port;
};

Bench& bench() {
    static Bench b = [] {
        auto* srv = new qorvad::Server();
        srv->store().addUser("anna", "secret");
        srv->store().addManyFolders("anna", "Bulk/", kMaxFolders);
        for (size_t i = 0; i < kMaxFolders; ++i) {
            const std::string name = "Bulk/" + std::to_string(i);
            srv->store().setAcl("anna", name, "bob", "lr");
            srv->store().setAcl("anna", name, "[staff]", "lrs");
        }
        return Bench{srv, srv->listen()};
    }();
    return b;
}

void BM_GetAclRequest(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    qorvad::Server& srv = *bench().server;
    AccountSettings account;
    wq::ResetAccountSettings(account);
    account.hostName = "127.0.0.1";
    account.userName = "anna";
    account.password = "secret";
    account.port = bench().port;
    account.timeout = 30;

    std::vector<FolderAcl> folders(n);
    std::vector<AclList> lists(n, AclList{nullptr, 0, 0});
    for (size_t i = 0; i < n; ++i) {
        std::memset(&folders[i], 0, sizeof folders[i]);
        std::snprintf(folders[i].name, sizeof folders[i].name, "Bulk/%zu", i);
        folders[i].acl = &lists[i];
    }
    FolderAclList request{folders.data(), static_cast<uint32_t>(n), static_cast<uint32_t>(n)};
    for (auto _ : state) {
        if (WqGetACL(nullptr, &account, &request) != 0) {
            state.SkipWithError("WqGetACL failed");
            break;
        }
        srv.clearReceived();
    }
    for (AclList& l : lists) {
        if (l.count != 3)
            state.SkipWithError("unexpected list");
        wq::AclListFree(l);
    }
    state.SetComplexityN(static_cast<int64_t>(n));
    state.counters["folders/s"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_GetAclRequest)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

void BM_ParseAclReply(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    std::string reply;
    for (size_t i = 0; i < n; ++i) {
        reply += "ACL \"Bulk/1\" user" + std::to_string(i) + " lrswipcda\r\n";
    }
    reply += "OK GETACL completed.\r\n";
    AclList list{nullptr, 0, 0};
    for (auto _ : state) {
        benchmark::DoNotOptimize(wq::ParseAclReply(reply, list));
    }
    wq::AclListFree(list);
    state.SetComplexityN(static_cast<int64_t>(n));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_ParseAclReply)->RangeMultiplier(4)->Range(64, 65536)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
