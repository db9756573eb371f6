// Multi-megabyte replies: ImapRunCommand and ImapExecute against qorvad on loopback, the reply
// reader alone in memory, and Python's imaplib reading the same reply from the same server.
//
// The reply is X-GETSCRIPT with a script of the given size (indented lines of 64 bytes), sent
// as one literal: the worst case for a reader that would erase from the front of its buffer.
// After the benchmarks, a table compares this library with imaplib at 1, 10 and 50 MB.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/imap.h"
#include "net/transport.h"
#include "qorvad.h"
#include "runtime/account.h"

namespace {

using namespace wq;
using namespace wq::net;

std::unique_ptr<qorvad::Server> gServer;
uint16_t gPort = 0;
AccountSettings gAccount{};
size_t gScriptMb = 0;

std::string MakeScript(size_t bytes) {
    std::string line = "    if header :contains \"Subject\" \"bench\" { keep; }       #";
    std::string script;
    script.reserve(bytes + 64);
    for (size_t n = 0; script.size() < bytes; ++n) {
        script += line;
        std::string number = std::to_string(n % 1000);
        script.append(3 - number.size(), '0');
        script += number;
        script += "\r\n";
    }
    script.resize(bytes);
    return script;
}

void UseScriptOf(size_t mb) {
    if (gScriptMb != mb) {
        gServer->store().setScript("bench", MakeScript(mb << 20));
        gScriptMb = mb;
    }
}

void Setup() {
    if (gServer) {
        return;
    }
    gServer = std::make_unique<qorvad::Server>();
    gServer->store().addUser("bench", "bench");
    gPort = gServer->listen();
    ResetAccountSettings(gAccount);
    gAccount.hostName = "127.0.0.1";
    gAccount.userName = "bench";
    gAccount.password = "bench";
    gAccount.port = gPort;
    gAccount.timeout = 60;
    SetCurrentAccount(&gAccount);
}

void BM_RunCommand(benchmark::State& state) {
    Setup();
    UseScriptOf(static_cast<size_t>(state.range(0)));
    std::string reply;
    // One untimed round first: the reply's memory is touched once, not in the timed rounds.
    ImapRunCommand("X-GETSCRIPT", &reply, nullptr);
    for (auto _ : state) {
        if (ImapRunCommand("X-GETSCRIPT", &reply, nullptr) != S_OK) {
            state.SkipWithError("X-GETSCRIPT failed");
            break;
        }
        gServer->clearReceived();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_RunCommand)->Arg(1)->Arg(10)->Arg(50)->MinTime(2)->Unit(benchmark::kMillisecond);

// One logged-in connection; only the command is timed (as imaplib is timed below).
struct OpenConnection {
    Socket socket = kInvalidSocket;
    bool open() {
        return TransportConnect(&socket, "127.0.0.1", gPort) == S_OK &&
               ImapExecute(socket, "", nullptr) == S_OK &&
               ImapLogin(socket, &gAccount, false, nullptr) == S_OK;
    }
    ~OpenConnection() { ImapDisconnect(&socket); }
};

void BM_ExecuteOnOpenConnection(benchmark::State& state) {
    Setup();
    UseScriptOf(static_cast<size_t>(state.range(0)));
    OpenConnection c;
    if (!c.open()) {
        state.SkipWithError("cannot log in");
        return;
    }
    std::string reply;
    ImapExecute(c.socket, "X-GETSCRIPT", &reply);  // untimed first touch of the reply's memory
    for (auto _ : state) {
        if (ImapExecute(c.socket, "X-GETSCRIPT", &reply) != S_OK) {
            state.SkipWithError("X-GETSCRIPT failed");
            break;
        }
        gServer->clearReceived();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_ExecuteOnOpenConnection)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->MinTime(2)
    ->Unit(benchmark::kMillisecond);

// The reader alone, fed in pieces of 128 KiB (a typical socket receive buffer here).
void BM_ReaderInMemory(benchmark::State& state) {
    const std::string text = "* X-GETSCRIPT {n}\r\n" +
                             MakeScript(static_cast<size_t>(state.range(0)) << 20) +
                             "\r\nA000 OK X-GETSCRIPT completed.\r\n";
    const size_t piece = 128 * 1024;
    std::string reply;
    auto readAll = [&] {
        ImapReplyReader reader(false, &reply);
        reply.clear();
        for (size_t pos = 0; pos < text.size() && !reader.done(); pos += piece) {
            reader.feed(std::string_view(text).substr(pos, piece));
        }
        benchmark::DoNotOptimize(reply.data());
    };
    readAll();  // untimed first touch of the reply's memory
    for (auto _ : state) {
        readAll();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReaderInMemory)
    ->Arg(1)
    ->Arg(10)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->MinTime(2)
    ->Unit(benchmark::kMillisecond);

double BestExecuteSeconds(int rounds) {
    OpenConnection c;
    if (!c.open()) {
        return -1;
    }
    double best = 1e9;
    std::string reply;
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (ImapExecute(c.socket, "X-GETSCRIPT", &reply) != S_OK) {
            return -1;
        }
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

double ImaplibSeconds(int rounds) {
    std::string command = "python3 " WQ_IMAPLIB_SCRIPT " " + std::to_string(gPort) +
                          " bench bench " + std::to_string(rounds);
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        return -1;
    }
    double seconds = -1;
    unsigned long bytes = 0;
    if (std::fscanf(p, "%lf %lu", &seconds, &bytes) != 2) {
        seconds = -1;
    }
    pclose(p);
    return seconds;
}

void CompareWithImaplib() {
    Setup();
    std::printf("\nX-GETSCRIPT reply read on an open connection, best of 5 (seconds):\n");
    std::printf("%8s %12s %12s %10s %14s\n", "size", "WqRT", "imaplib", "ratio", "WqRT MB/s");
    for (size_t mb : {1, 10, 50}) {
        UseScriptOf(mb);
        double ours = BestExecuteSeconds(5);
        double theirs = ImaplibSeconds(5);
        std::printf("%6zuMB %12.4f %12.4f %10.2f %14.1f\n", mb, ours, theirs,
                    theirs > 0 ? ours / theirs : 0.0,
                    ours > 0 ? static_cast<double>(mb) / ours : 0.0);
        gServer->clearReceived();
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CompareWithImaplib();
    if (gServer) {
        gServer->stop();
    }
    TransportShutdown();
    return 0;
}
