// qorvad: the reference Qorva MailServer as a program.
//
//   qorvad [--data DIR] [--port N] [--tls-port N] [--bind ADDR] [--user NAME:PASSWORD]... [--demo]
//
// Prints one line per listener ("imap port N", "imaps port N"), then "ready", and serves until
// SIGTERM or SIGINT.
#include <pthread.h>
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "qorvad.h"

namespace {

void usage() {
    std::cerr << "usage: qorvad [--data DIR] [--port N] [--tls-port N] [--bind ADDR]\n"
                 "              [--user NAME:PASSWORD]... [--demo]\n"
                 "  --port N      plain IMAP port (default 1143; 0 takes a free port)\n"
                 "  --tls-port N  IMAP over TLS port, self-signed certificate (default: none)\n"
                 "  --data DIR    load DIR/mailstore.txt and save every change there\n"
                 "  --demo        create the demo account (demo/demo, anna/anna)\n";
}

bool parsePort(const char* text, int& port) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || v < 0 || v > 65535)
        return false;
    port = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string data;
    std::string bind = "127.0.0.1";
    int port = 1143;
    int tlsPort = -1;
    bool demo = false;
    std::vector<std::pair<std::string, std::string>> users;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--data" && hasValue) {
            data = argv[++i];
        } else if (arg == "--port" && hasValue && parsePort(argv[i + 1], port)) {
            ++i;
        } else if (arg == "--tls-port" && hasValue && parsePort(argv[i + 1], tlsPort)) {
            ++i;
        } else if (arg == "--bind" && hasValue) {
            bind = argv[++i];
        } else if (arg == "--user" && hasValue) {
            std::string spec = argv[++i];
            size_t colon = spec.find(':');
            if (colon == std::string::npos || colon == 0) {
                std::cerr << "qorvad: --user wants NAME:PASSWORD\n";
                return 2;
            }
            users.emplace_back(spec.substr(0, colon), spec.substr(colon + 1));
        } else if (arg == "--demo") {
            demo = true;
        } else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else {
            usage();
            return 2;
        }
    }

    // The signals are taken by sigwait below; every thread inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<qorvad::Server> server =
        data.empty() ? std::make_unique<qorvad::Server>() : std::make_unique<qorvad::Server>(data);
    if (!server->loadError().empty()) {
        std::cerr << "qorvad: " << server->loadError() << "\n";
        return 1;
    }
    server->setLog([](const std::string& line) { std::cerr << line << "\n"; });
    if (demo)
        server->store().createDemo();
    for (const auto& [name, password] : users)
        server->store().addUser(name, password);
    server->setBindAddress(bind);

    uint16_t plain = server->listen(static_cast<uint16_t>(port));
    if (plain == 0)
        return 1;
    std::cout << "imap port " << plain << "\n";
    if (tlsPort >= 0) {
        uint16_t secure = server->listenTls(static_cast<uint16_t>(tlsPort));
        if (secure == 0)
            return 1;
        std::cout << "imaps port " << secure << "\n";
    }
    std::cout << "ready" << std::endl;

    int sig = 0;
    sigwait(&stopSignals, &sig);
    server->stop();
    std::string error;
    if (!data.empty() && !server->store().save(&error)) {
        std::cerr << "qorvad: " << error << "\n";
        return 1;
    }
    return 0;
}
