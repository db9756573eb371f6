// A private Dovecot on a loopback port, for interoperability with a server nobody here wrote.
//
// The instance runs in the foreground as "nobody" in its own process group, with its own
// configuration, users and maildirs under a temporary directory; it is stopped with SIGTERM to
// the whole group. Tests skip when Dovecot is not installed or the test cannot switch users.
// doveadm, run out of band as the same user, sets up folders and messages and reads flags.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "base/account.h"
#include "platform/headless/headless.h"

namespace wq::testing {

class DovecotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists("/usr/sbin/dovecot") || geteuid() != 0) {
            GTEST_SKIP() << "needs dovecot-imapd and root (to run it as nobody)";
        }
        char pattern[] = "/tmp/wq-dovecot-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        port_ = FreePort();
        ASSERT_NE(port_, 0);
        WriteFile("users", "anna:{PLAIN}secret:65534:65534::" + dir_ + "/mail/anna::\n");
        WriteFile("dovecot.conf", Config());
        ASSERT_EQ(Shell("mkdir -p " + dir_ + "/base " + dir_ + "/state " + dir_ +
                        "/mail && chown -R nobody:nogroup " + dir_),
                  0);
        ASSERT_EQ(Shell("cd " + dir_ + " && (setsid " + AsNobody() + "dovecot -F -c " + dir_ +
                        "/dovecot.conf >" + dir_ + "/out.log 2>&1 & echo $! >" + dir_ + "/pid)"),
                  0);
        std::ifstream(dir_ + "/pid") >> group_;
        ASSERT_GT(group_, 0);
        ASSERT_TRUE(WaitForGreeting()) << "dovecot did not start; see " << dir_;

        headless::Reset();
        ResetAccountSettings(account_);
        account_.hostName = "127.0.0.1";
        account_.userName = "anna";
        account_.password = "secret";
        account_.port = port_;
        account_.timeout = 10;
        SetCurrentAccount(&account_);
    }

    void TearDown() override {
        SetCurrentAccount(nullptr);
        headless::Reset();
        if (group_ > 0) {
            kill(-static_cast<pid_t>(group_), SIGTERM);  // the master and its children
        }
        if (!dir_.empty() && !HasFailure()) {
            std::filesystem::remove_all(dir_);
        }
    }

    // doveadm as the instance's user; the output, or "" on failure.
    std::string Doveadm(const std::string& args, const std::string& input = "") {
        const std::string out = dir_ + "/doveadm.out";
        std::string command = AsNobody() + "doveadm -c " + dir_ + "/dovecot.conf " + args;
        if (!input.empty()) {
            WriteFile("doveadm.in", input);
            command += " <" + dir_ + "/doveadm.in";
        }
        if (Shell(command + " >" + out + " 2>&1") != 0) {
            ADD_FAILURE() << "doveadm " << args;
        }
        std::ifstream in(out);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Appends a message to a folder and sets its flags ("" for none).
    void AddMessage(const std::string& folder, const std::string& subject,
                    const std::string& flags) {
        Doveadm("save -u anna -m '" + folder + "'", "Subject: " + subject + "\r\n\r\nbody\r\n");
        if (!flags.empty()) {
            Doveadm("flags add -u anna '" + flags + "' mailbox '" + folder + "' HEADER Subject " +
                    subject);
        }
    }

    // The flags of every message of the folder, one line each.
    std::string Flags(const std::string& folder) {
        return Doveadm("-f flow fetch -u anna flags mailbox '" + folder + "' all");
    }

    AccountSettings account_{};

  private:
    static std::string AsNobody() {
        return "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }

    static int Shell(const std::string& command) {
        return std::system(("sh -c '" + Escape(command) + "'").c_str());
    }

    static std::string Escape(const std::string& text) {
        std::string out;
        for (char c : text) {
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return out;
    }

    void WriteFile(const std::string& name, const std::string& text) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    }

    static uint16_t FreePort() {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        uint16_t port = 0;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0) {
            port = ntohs(a.sin_port);
        }
        close(fd);
        return port;
    }

    bool WaitForGreeting() const {
        for (int i = 0; i < 100; ++i) {
            int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(port_);
            char buffer[256] = {};
            bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                      recv(fd, buffer, sizeof buffer - 1, 0) > 0 &&
                      std::string(buffer).rfind("* OK", 0) == 0;
            close(fd);
            if (ok) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string Config() const {
        return "protocols = imap\n"
               "listen = 127.0.0.1\n"
               "base_dir = " +
               dir_ +
               "/base\n"
               "state_dir = " +
               dir_ +
               "/state\n"
               "instance_name = wq-" +
               std::to_string(port_) +
               "\n"
               "log_path = " +
               dir_ +
               "/dovecot.log\n"
               "default_internal_user = nobody\n"
               "default_internal_group = nogroup\n"
               "default_login_user = nobody\n"
               "disable_plaintext_auth = no\n"
               "ssl = no\n"
               "passdb {\n  driver = passwd-file\n  args = " +
               dir_ +
               "/users\n}\n"
               "userdb {\n  driver = passwd-file\n  args = " +
               dir_ +
               "/users\n}\n"
               "mail_location = maildir:" +
               dir_ +
               "/mail/%u\n"
               "namespace inbox {\n  inbox = yes\n  prefix =\n  separator = /\n}\n"
               "service imap-login {\n  chroot =\n"
               "  inet_listener imap {\n    port = " +
               std::to_string(port_) +
               "\n  }\n"
               "  inet_listener imaps {\n    port = 0\n  }\n}\n"
               "service anvil {\n  chroot =\n}\n";
    }

    std::string dir_;
    uint16_t port_ = 0;
    long group_ = 0;
};

}  // namespace wq::testing
