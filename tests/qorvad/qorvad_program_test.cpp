// The qorvad program (start, ports, demo, data directory, stop on a signal) and the commands
// around the ones the library sends.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qorvad.h"
#include "qorvad/qorvad_client.h"

namespace {

using qorvad_test::Client;

// The qorvad program beside this test's own executable.
std::string programPath() {
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string("./x");
    return path.substr(0, path.rfind('/') + 1) + "qorvad";
}

// Runs qorvad with the arguments; reads its stdout up to "ready".
struct Program {
    pid_t pid = -1;
    std::string banner;

    explicit Program(const std::vector<std::string>& args) {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            std::string path = programPath();
            std::vector<char*> argv{path.data()};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        while (banner.find("ready\n") == std::string::npos && ::read(out[0], &c, 1) == 1) {
            banner += c;
        }
        ::close(out[0]);
    }
    uint16_t port(const std::string& which) const {
        size_t at = banner.find(which + " port ");
        return at == std::string::npos
                   ? 0
                   : static_cast<uint16_t>(std::atoi(banner.c_str() + at + which.size() + 6));
    }
    int stop(int sig) {
        int status = -1;
        ::kill(pid, sig);
        ::waitpid(pid, &status, 0);
        return status;
    }
};

TEST(QorvadProgram, DemoOverTlsThenSavedAndStoppedBySignal) {
    char pattern[] = "/tmp/qorvad_prog_XXXXXX";
    std::string dir = ::mkdtemp(pattern);
    Program p({"--port", "0", "--tls-port", "0", "--demo", "--data", dir, "--user", "bob:a:b"});
    ASSERT_GT(p.pid, 0);
    ASSERT_NE(p.port("imap"), 0) << p.banner;
    ASSERT_NE(p.port("imaps"), 0) << p.banner;
    {
        Client c(p.port("imaps"), true);
        ASSERT_TRUE(c.connected());
        c.until("* ");
        EXPECT_EQ(c.command("A000 LOGIN demo demo\r\n"), "A000 OK LOGIN completed.\r\n");
        std::string script = c.command("A000 X-GETSCRIPT\r\n");
        EXPECT_EQ(script.substr(0, 16), "* X-GETSCRIPT {4");
        EXPECT_NE(script.find("}\n#!0 Junk\n# if header"), std::string::npos);
        EXPECT_EQ(c.command("A000 X-DELETEMAP \"info\"\r\n"), "A000 OK X-DELETEMAP completed.\r\n");
        EXPECT_EQ(c.command("A000 X-PUTSCRIPT {5+}\r\nkeep;\r\n"),
                  "A000 OK X-PUTSCRIPT completed.\r\n");
    }
    EXPECT_FALSE(Client(p.port("imap"), true).connected()) << "the greeting is no TLS handshake";
    {
        Client c(p.port("imap"));
        c.until("* ");
        EXPECT_EQ(c.command("A000 LOGIN bob a:b\r\n"), "A000 OK LOGIN completed.\r\n");
    }
    int status = p.stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    qorvad::Mailstore saved;
    ASSERT_TRUE(saved.load(dir));
    EXPECT_TRUE(saved.checkPassword("bob", "a:b"));
    EXPECT_EQ(saved.script("demo"), "keep;");

    // A second start serves what the first one saved.
    Program again({"--port", "0", "--data", dir});
    ASSERT_NE(again.port("imap"), 0);
    {
        Client c(again.port("imap"));
        c.until("* ");
        c.command("A000 LOGIN demo demo\r\n");
        EXPECT_EQ(c.command("A000 X-LISTMAP\r\n").find("\"info\""), std::string::npos);
    }
    status = again.stop(SIGINT);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::remove((dir + "/mailstore.txt").c_str());
    ::rmdir(dir.c_str());
}

TEST(QorvadCommands, FolderManagementAndReadOnlyAccess) {
    qorvad::Server server;
    server.store().addUser("jdoe", "pw");
    server.store().addUser("anna", "pw");
    server.store().addFolder("", "#team", true, true);
    server.store().setAcl("", "#team", "jdoe", "lrswipcda");
    server.store().setAcl("", "#team", "anna", "lrs");
    uint16_t port = server.listen();
    Client c(port);
    c.until("* ");
    c.command("A000 LOGIN jdoe pw\r\n");
    EXPECT_EQ(c.command("A000 CREATE \"Work/\"\r\n"), "A000 OK CREATE completed.\r\n");
    EXPECT_EQ(c.command("A000 CREATE \"work\"\r\n"), "A000 OK CREATE completed.\r\n");
    EXPECT_EQ(c.command("A000 CREATE \"Work\"\r\n"),
              "A000 NO [ALREADYEXISTS] Mailbox already exists.\r\n");
    EXPECT_EQ(c.command("A000 CREATE \"Caf\xc3\xa9\"\r\n"),
              "A000 NO [CANNOT] Mailbox name is not valid modified UTF-7.\r\n");
    EXPECT_EQ(c.command("A000 CREATE \"#new\"\r\n"), "A000 NO [NOPERM] Permission denied.\r\n");
    EXPECT_EQ(c.command("A000 CREATE \"#team/Sub\"\r\n"), "A000 OK CREATE completed.\r\n");
    // Created folders are not subscribed until SUBSCRIBE.
    EXPECT_EQ(c.command("A000 LSUB \"\" \"W*\"\r\n"), "A000 OK LSUB completed.\r\n");
    EXPECT_EQ(c.command("A000 SUBSCRIBE \"Work\"\r\n"), "A000 OK SUBSCRIBE completed.\r\n");
    EXPECT_EQ(c.command("A000 LSUB \"\" \"W*\"\r\n"),
              "* LSUB () \"/\" \"Work\"\r\nA000 OK LSUB completed.\r\n");
    EXPECT_EQ(c.command("A000 LIST \"#team/\" \"%\"\r\n"),
              "* LIST () \"/\" \"#team/Sub\"\r\nA000 OK LIST completed.\r\n");
    EXPECT_EQ(c.command("A000 DELETE \"inbox\"\r\n"),
              "A000 NO [CANNOT] INBOX cannot be deleted.\r\n");
    EXPECT_EQ(c.command("A000 DELETE \"work\"\r\n"), "A000 OK DELETE completed.\r\n");
    c.send("A000 APPEND \"#team\" (\\Flagged) {5}\r\n");
    EXPECT_EQ(c.until("+ "), "+ Ready for literal data\r\n");
    EXPECT_EQ(c.command("hello\r\n"), "A000 OK APPEND completed.\r\n");
    EXPECT_EQ(c.command("A000 EXAMINE \"#team\"\r\n").substr(0, 34),
              "* FLAGS (\\Answered \\Flagged \\Delet");
    EXPECT_EQ(c.command("A000 STORE 1 +FLAGS (\\Seen)\r\n"),
              "A000 NO [READ-ONLY] Mailbox is read-only.\r\n");

    // anna may set \Seen on the shared folder but not delete or flag.
    Client a(port);
    a.until("* ");
    a.command("A000 LOGIN anna pw\r\n");
    std::string selected = a.command("A000 SELECT \"#team\"\r\n");
    EXPECT_EQ(selected.substr(selected.size() - 40), "A000 OK [READ-WRITE] SELECT completed.\r\n");
    EXPECT_EQ(a.command("A000 STORE 1 +FLAGS (\\Deleted)\r\n"),
              "A000 NO [NOPERM] Permission denied.\r\n");
    // Replacing all flags could drop \\Flagged, which needs the write right.
    EXPECT_EQ(a.command("A000 STORE 1 FLAGS (\\Seen)\r\n"),
              "A000 NO [NOPERM] Permission denied.\r\n");
    EXPECT_EQ(a.command("A000 STORE 1 +FLAGS (\\Seen)\r\n"),
              "* 1 FETCH (FLAGS (\\Flagged \\Seen))\r\nA000 OK STORE completed.\r\n");
    EXPECT_EQ(a.command("A000 STORE 1 +FLAGS (\\Recent)\r\n"),
              "A000 BAD Invalid STORE item or flags.\r\n");
    EXPECT_EQ(a.command("A000 EXPUNGE\r\n"), "A000 NO [NOPERM] Permission denied.\r\n");
    EXPECT_EQ(
        a.command("A000 LSUB \"\" \"*\"\r\n"),
        "* LSUB () \"/\" \"INBOX\"\r\n* LSUB () \"/\" \"#team\"\r\nA000 OK LSUB completed.\r\n");
    ASSERT_EQ(server.store().messages("", "#team").size(), 1u);
    EXPECT_EQ(server.store().messages("", "#team")[0].flags,
              (std::vector<std::string>{"\\Flagged", "\\Seen"}));
}

}  // namespace
