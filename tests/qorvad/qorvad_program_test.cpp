// The qorvad program: start, ports, TLS, the demo, the data directory, stop on a signal.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qorvad.h"

namespace {

// Sends the commands and LOGOUT on one connection, plain or TLS, and returns all the server sent
// until it closed ("" without a connection). Reads end after a time-out: a fault fails the test
// instead of hanging it.
std::string talk(uint16_t port, bool tls, const std::string& commands) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL* ssl = tls ? SSL_new(ctx) : nullptr;
    std::string text;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        (!ssl || (SSL_set_fd(ssl, fd) == 1 && SSL_connect(ssl) == 1))) {
        const std::string bytes = commands + "A000 LOGOUT\r\n";
        if (ssl)
            SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
        else
            ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        char buf[65536];
        for (long n;
             (n = ssl ? SSL_read(ssl, buf, sizeof buf) : ::recv(fd, buf, sizeof buf, 0)) > 0;)
            text.append(buf, static_cast<size_t>(n));
    }
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    ERR_clear_error();
    ::close(fd);
    return text;
}

// Runs the qorvad program found beside this test's executable; reads its output up to "ready"
// (or its end, when the program stops at once).
struct Program {
    pid_t pid = -1;
    std::string banner;

    explicit Program(const std::vector<std::string>& args) {
        char self[4096];
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        std::string path = std::string(self, n > 0 ? static_cast<size_t>(n) : 0);
        path = path.substr(0, path.rfind('/') + 1) + "qorvad";
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            std::vector<char*> argv{path.data()};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        while (banner.find("ready\n") == std::string::npos && ::read(out[0], &c, 1) == 1)
            banner += c;
        ::close(out[0]);
    }
    uint16_t port(const std::string& which) const {
        size_t at = banner.find(which + " port ");
        return at == std::string::npos
                   ? 0
                   : static_cast<uint16_t>(std::atoi(banner.c_str() + at + which.size() + 6));
    }
    // The exit status after the signal.
    int stop(int sig) {
        int status = -1;
        ::kill(pid, sig);
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

std::string readFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

TEST(QorvadProgram, DemoOverTlsSavedAndServedAgain) {
    char pattern[] = "/tmp/qorvad_prog_XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    // Fields with blanks, control characters, "%", "-" alone and 8-bit text survive the file.
    const std::string tricky = "- %41 \r\n\t\x01 \xc3\xa9";
    Program p({"--port", "0", "--tls-port", "0", "--demo", "--data", dir, "--user", "bob:a:b",
               "--user", "odd user:" + tricky, "--user", "-:-"});
    ASSERT_NE(p.port("imap"), 0) << p.banner;
    ASSERT_NE(p.port("imaps"), 0) << p.banner;
    const std::string demo = talk(p.port("imaps"), true,
                                  "A000 LOGIN demo demo\r\nA000 X-GETSCRIPT\r\n"
                                  "A000 X-DELETEMAP \"info\"\r\n"
                                  "A000 SETACL \"#public/Support\" \"[team]\" \"lrs\"\r\n"
                                  "A000 SELECT \"INBOX\"\r\nA000 STORE 2 +FLAGS (\\Answered)\r\n"
                                  "A000 X-PUTSCRIPT {" +
                                      std::to_string(tricky.size()) + "+}\r\n" + tricky + "\r\n");
    for (const char* part : {"A000 OK LOGIN completed.\r\n* X-GETSCRIPT {4", "}\n#!0 Junk\n# if",
                             "A000 OK X-DELETEMAP completed.\r\nA000 OK SETACL completed.\r\n",
                             "A000 OK X-PUTSCRIPT completed.\r\n* BYE"}) {
        EXPECT_NE(demo.find(part), std::string::npos) << part << " in " << demo;
    }
    EXPECT_EQ(talk(p.port("imap"), true, ""), "") << "the greeting is no TLS handshake";
    EXPECT_EQ(talk(p.port("imap"), false, "A000 LOGIN bob a:b\r\n"),
              "* OK Qorva MailServer ready.\r\nA000 OK LOGIN completed.\r\n"
              "* BYE Qorva MailServer logging out.\r\nA000 OK LOGOUT completed.\r\n");
    EXPECT_EQ(p.stop(SIGTERM), 0);

    qorvad::Mailstore saved;
    ASSERT_TRUE(saved.load(dir));
    EXPECT_TRUE(saved.checkPassword("odd user", tricky));
    EXPECT_TRUE(saved.checkPassword("-", "-"));
    EXPECT_EQ(saved.script("demo"), tricky);
    auto acl = saved.acl("demo", "#public/Support");
    ASSERT_FALSE(acl.empty());
    EXPECT_EQ(acl.back().identifier + " " + acl.back().rights, "[team] lrs");
    auto inbox = saved.messages("demo", "INBOX");
    ASSERT_GE(inbox.size(), 2u);
    EXPECT_TRUE(inbox[1].hasFlag("\\Answered"));
    EXPECT_EQ(saved.folders("demo")[0].name, "INBOX");

    // A second start serves what the first one saved.
    Program again({"--port", "0", "--data", dir});
    ASSERT_NE(again.port("imap"), 0);
    const std::string aliases =
        talk(again.port("imap"), false, "A000 LOGIN demo demo\r\nA000 X-LISTMAP\r\n");
    EXPECT_NE(aliases.find("* X-LISTMAP \"sales\""), std::string::npos) << aliases;
    EXPECT_EQ(aliases.find("\"info\""), std::string::npos) << aliases;
    EXPECT_EQ(again.stop(SIGINT), 0);

    // A damaged file stops the start and is left as it is.
    const std::string path = dir + "/mailstore.txt";
    const std::string damaged = readFile(path) + "bogus record\n";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    Program broken({"--port", "0", "--data", dir});
    EXPECT_EQ(broken.port("imap"), 0);
    EXPECT_EQ(broken.stop(SIGTERM), 1);
    EXPECT_EQ(readFile(path), damaged);
    std::remove(path.c_str());
    ::rmdir(dir.c_str());
}

}  // namespace
