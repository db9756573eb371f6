// The IMAP Folders dialog opened over 1,000 subscribed folders on loopback (the in-process
// qorvad; every other folder shared with two more identifiers): the listing, the rights of every
// folder over one connection, the rows filled, the dialog closed. Beside it, the same rights read
// with one connection (and login) per folder, as a dialog reading folder by folder would.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/account.h"
#include "editor/imap_folders_dialog.h"
#include "folders/acl.h"
#include "ids.h"
#include "platform/headless/headless.h"
#include "qorvad.h"

namespace {

struct Server {
    qorvad::Server server;
    AccountSettings account{};

    explicit Server(size_t folders) {
        server.store().addUser("anna", "secret");
        server.store().addManyFolders("anna", "Bulk/", folders);
        for (size_t i = 0; i < folders; i += 2) {
            const std::string name = "Bulk/" + std::to_string(i);
            server.store().setAcl("anna", name, "bob", "lr");
            server.store().setAcl("anna", name, "[staff]", "lrs");
        }
        wq::ResetAccountSettings(account);
        account.hostName = "127.0.0.1";
        account.userName = "anna";
        account.password = "secret";
        account.port = server.listen();
        account.timeout = 30;
    }
};

void BM_ImapFoldersOpen(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    Server s(count);
    size_t filled = 0;
    for (auto _ : state) {
        wq::headless::Reset();
        wq::headless::OnDialog([&](wq::headless::DialogView& v) {
            filled = 0;
            for (int row = 0; row < v.rowCount(IDC_IMAP_FOLDERS_LIST); ++row) {
                filled += !v.rowText(IDC_IMAP_FOLDERS_LIST, row, 1).empty();
            }
            v.click(IDC_IMAP_FOLDERS_CLOSE);
        });
        wq::editor::ImapFoldersDialog dialog(&s.account);
        dialog.run(nullptr);
    }
    if (filled != count / 2) {  // the shared folders show who they are shared with
        state.SkipWithError("rights cells missing");
    }
    state.counters["folders"] = static_cast<double>(count);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ImapFoldersOpen)
    ->Arg(250)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_RightsWithAConnectionPerFolder(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    Server s(count);
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i) {
            AclList list{nullptr, 0, 0};
            FolderAcl folder{};
            std::string name = "Bulk/" + std::to_string(i);
            name.copy(folder.name, name.size());
            folder.acl = &list;
            FolderAclList request{&folder, 1, 1};
            WqGetACL(nullptr, &s.account, &request);
            wq::AclListFree(list);
        }
    }
    state.counters["folders"] = static_cast<double>(count);
}
BENCHMARK(BM_RightsWithAConnectionPerFolder)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
