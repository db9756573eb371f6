// Multi-megabyte replies: ImapRunCommand and ImapExecute against qorvad on loopback, the reply
// reader alone in memory, Python's imaplib reading the same reply from the same server, and the
// physical limit: a client that only receives the reply's bytes.
//
// The reply is X-GETSCRIPT with a script of the given size (indented lines of 64 bytes), sent
// as one literal: the worst case for a reader that would erase from the front of its buffer.
// After the benchmarks, a table sets the library beside the limit and imaplib at 1, 10 and 50 MB.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/account.h"
#include "net/imap.h"
#include "net/transport.h"
#include "platform/socket.h"
#include "qorvad.h"

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

// The physical limit of a reply on this machine: a client that connects, logs in, sends the
// command and then only receives, with plain recv calls into one reused buffer, until the bytes
// end with the tagged completion line. Nothing is parsed or kept, so its time is what the server
// and the loopback connection cost; a reader can at best match it.
class ReceiveOnlyClient {
  public:
    ReceiveOnlyClient() : buffer_(kBuffer) {}
    ~ReceiveOnlyClient() {
        if (socket_ != platform::kInvalidSocket) {
            platform::SocketClose(socket_);
        }
    }
    ReceiveOnlyClient(const ReceiveOnlyClient&) = delete;
    ReceiveOnlyClient& operator=(const ReceiveOnlyClient&) = delete;

    bool open() {
        uint32_t address = 0;
        socket_ = platform::SocketCreateTcp();
        return socket_ != platform::kInvalidSocket &&
               platform::SocketResolveIPv4("127.0.0.1", &address) &&
               platform::SocketConnect(socket_, address, gPort) == 0 && command("") > 0 &&
               command("A000 LOGIN bench bench\r\n") > 0;
    }

    // Sends the line (none when empty) and receives up to the first line that begins with the
    // tag, or the greeting's line. The bytes received, 0 on failure.
    size_t command(std::string_view line) {
        if (!line.empty() &&
            platform::SocketSend(socket_, line.data(), static_cast<int>(line.size())) !=
                static_cast<int>(line.size())) {
            return 0;
        }
        const bool greeting = line.empty();
        size_t total = 0;
        tail_.clear();
        for (;;) {
            int n = platform::SocketReceive(socket_, buffer_.data(), static_cast<int>(kBuffer));
            if (n <= 0) {
                return 0;
            }
            total += static_cast<size_t>(n);
            // Only the last bytes are looked at: enough to hold the completion line.
            size_t keep = std::min(static_cast<size_t>(n), kTail);
            tail_.append(buffer_.data() + n - keep, keep);
            if (tail_.size() > kTail) {
                tail_.erase(0, tail_.size() - kTail);
            }
            if (tail_.size() >= 2 && tail_.compare(tail_.size() - 2, 2, "\r\n") == 0) {
                size_t start = tail_.rfind('\n', tail_.size() - 3);
                std::string_view last =
                    std::string_view(tail_).substr(start == std::string::npos ? 0 : start + 1);
                if (greeting || last.substr(0, 5) == "A000 ") {
                    return total;
                }
            }
        }
    }

  private:
    static constexpr size_t kBuffer = size_t{1} << 20;
    static constexpr size_t kTail = 256;
    platform::Socket socket_ = platform::kInvalidSocket;
    std::vector<char> buffer_;
    std::string tail_;
};

// The bytes of the X-GETSCRIPT reply for a script of `bytes` bytes, as the server sends them.
size_t ReplyBytes(size_t bytes) {
    return std::string("* X-GETSCRIPT {" + std::to_string(bytes) + "}\r\n").size() + bytes +
           std::string("\r\nA000 OK X-GETSCRIPT completed.\r\n").size();
}

void BM_ReceiveOnly(benchmark::State& state) {
    Setup();
    const size_t mb = static_cast<size_t>(state.range(0));
    UseScriptOf(mb);
    ReceiveOnlyClient c;
    if (!c.open()) {
        state.SkipWithError("cannot log in");
        return;
    }
    for (auto _ : state) {
        if (c.command("A000 X-GETSCRIPT\r\n") != ReplyBytes(mb << 20)) {
            state.SkipWithError("X-GETSCRIPT failed");
            break;
        }
        gServer->clearReceived();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(ReplyBytes(mb << 20)));
}
BENCHMARK(BM_ReceiveOnly)->Arg(1)->Arg(10)->Arg(50)->MinTime(2)->Unit(benchmark::kMillisecond);

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

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of `rounds` for the receive-only client, ImapExecute (both on a logged-in connection,
// only the command timed) and ImapRunCommand (connect, log in, command, log out), taken in turn
// so that a busy moment of the machine weighs on all three alike. -1 for a reader that failed.
struct Best {
    double baseline = 1e9, execute = 1e9, runCommand = 1e9;
};

Best BestOf(int rounds, size_t mb) {
    Best best;
    ReceiveOnlyClient raw;
    OpenConnection c;
    if (!raw.open() || !c.open()) {
        return Best{-1, -1, -1};
    }
    // `ok` is worked out before the time is taken: the call under test is the argument.
    auto take = [](double& to, bool ok, std::chrono::steady_clock::time_point start) {
        double took = Seconds(start);
        to = !ok || to < 0 ? -1 : std::min(to, took);
    };
    std::string reply;
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        take(best.baseline, raw.command("A000 X-GETSCRIPT\r\n") == ReplyBytes(mb << 20), start);
        start = std::chrono::steady_clock::now();
        take(best.execute, ImapExecute(c.socket, "X-GETSCRIPT", &reply) == S_OK, start);
        start = std::chrono::steady_clock::now();
        take(best.runCommand, ImapRunCommand("X-GETSCRIPT", &reply, nullptr) == S_OK, start);
        gServer->clearReceived();
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

double Ratio(double a, double b) {
    return a > 0 && b > 0 ? a / b : 0.0;
}

void CompareWithBaseline() {
    Setup();
    const int rounds = 11;
    std::printf("\nX-GETSCRIPT reply over loopback from qorvad, best of %d (milliseconds):\n",
                rounds);
    std::printf("%6s %10s %12s %15s %10s %18s %17s %15s\n", "size", "baseline", "ImapExecute",
                "ImapRunCommand", "imaplib", "Execute/baseline", "Execute/imaplib",
                "baseline MiB/s");
    for (size_t mb : {1, 10, 50}) {
        UseScriptOf(mb);
        Best ours = BestOf(rounds, mb);
        double theirs = ImaplibSeconds(rounds);
        std::printf("%4zuMB %10.2f %12.2f %15.2f %10.2f %18.2f %17.2f %15.0f\n", mb,
                    ours.baseline * 1e3, ours.execute * 1e3, ours.runCommand * 1e3, theirs * 1e3,
                    Ratio(ours.execute, ours.baseline), Ratio(ours.execute, theirs),
                    Ratio(static_cast<double>(mb), ours.baseline));
        gServer->clearReceived();
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CompareWithBaseline();
    if (gServer) {
        gServer->stop();
    }
    TransportShutdown();
    return 0;
}
