// A private Dovecot on loopback ports, for interoperability with a server nobody here wrote.
//
// Every test gets an instance of its own: configuration, user, maildirs and runtime directories
// under a temporary directory, plain IMAP and IMAPS (self-signed key) on free ports, the ACL
// plugin. It runs in the foreground in a process group of its own and is stopped with SIGTERM to
// the whole group. Dovecot runs no service as root, so under root it runs as nobody, otherwise
// as the current user. doveadm, run out of band as the same user, sets up folders, messages and
// ACLs and reads them back. Tests skip, with a message, where Dovecot is not installed.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "base/account.h"
#include "platform/headless/headless.h"

namespace wq::testing {

class DovecotTest : public ::testing::Test {
  protected:
    // With `aclBeforeLogin` the instance lists ACL among its capabilities before login too,
    // which a stock Dovecot does only after it.
    explicit DovecotTest(bool aclBeforeLogin = false) : aclBeforeLogin_(aclBeforeLogin) {}

    void SetUp() override {
        if (access("/usr/sbin/dovecot", X_OK) != 0) {
            GTEST_SKIP() << "Dovecot is not installed (apt-get install -y dovecot-imapd)";
        }
        char pattern[] = "/tmp/wq-dovecot-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        port_ = FreePort();
        tlsPort_ = FreePort();
        ASSERT_TRUE(port_ && tlsPort_);
        const bool root = geteuid() == 0;
        const passwd* user = root ? getpwnam("nobody") : getpwuid(geteuid());
        ASSERT_NE(user, nullptr);
        uid_ = user->pw_uid;
        gid_ = root ? user->pw_gid : getegid();
        const group* group = getgrgid(gid_);
        ASSERT_NE(group, nullptr);
        const std::string userName = user->pw_name, groupName = group->gr_name;
        if (root) {
            runAs_ = "setpriv --reuid=" + userName + " --regid=" + groupName + " --clear-groups ";
        }
        ASSERT_EQ(
            Shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                  "-nodes -days 1 -subj /CN=localhost -keyout key.pem -out cert.pem 2>/dev/null"),
            0);
        const std::string ids = std::to_string(uid_) + ":" + std::to_string(gid_);
        std::ofstream(dir_ + "/users")
            << "anna:{PLAIN}secret:" << ids << "::" << dir_ << "/home/anna\n";
        std::ofstream(dir_ + "/dovecot.conf")
            << "protocols = imap\nlisten = 127.0.0.1\ninstance_name = wq-" << port_
            << "\nbase_dir = " << dir_ << "/base\nstate_dir = " << dir_
            << "/state\nlog_path = " << dir_ << "/dovecot.log\ndefault_internal_user = " << userName
            << "\ndefault_internal_group = " << groupName << "\ndefault_login_user = " << userName
            << "\ndisable_plaintext_auth = no\nauth_failure_delay = 0\n"
            << "ssl = yes\nssl_cert = <" << dir_ << "/cert.pem\nssl_key = <" << dir_
            << "/key.pem\nssl_dh = </usr/share/dovecot/dh.pem\n"
            << "passdb {\n  driver = passwd-file\n  args = " << dir_ << "/users\n}\n"
            << "userdb {\n  driver = passwd-file\n  args = " << dir_ << "/users\n}\n"
            << "mail_location = maildir:" << dir_ << "/mail/%u\n"
            << "namespace inbox {\n  inbox = yes\n  prefix =\n  separator = /\n}\n"
            << "mail_plugins = $mail_plugins acl\nplugin {\n  acl = vfile\n}\n"
            << "protocol imap {\n  mail_plugins = $mail_plugins imap_acl\n"
            << (aclBeforeLogin_ ? "  imap_capability = +ACL\n" : "") << "}\n"
            << "service imap-login {\n  chroot =\n  inet_listener imap {\n    port = " << port_
            << "\n  }\n  inet_listener imaps {\n    port = " << tlsPort_
            << "\n    ssl = yes\n  }\n}\nservice anvil {\n  chroot =\n}\n";
        ASSERT_EQ(Shell("mkdir -p base state mail home && chown -R " + ids + " ."), 0);

        const std::string config = dir_ + "/dovecot.conf", log = dir_ + "/out.log";
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            const int out = open(log.c_str(), O_WRONLY | O_CREAT, 0644);
            dup2(out, 1);
            dup2(out, 2);
            if (root && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) {
                _exit(127);
            }
            execl("/usr/sbin/dovecot", "dovecot", "-F", "-c", config.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
        bool greeted = false;
        for (int i = 0; i < 100 && !(greeted = Greets()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(greeted) << "the private Dovecot did not start; see " << dir_;

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
        if (pid_ > 0) {
            kill(-pid_, SIGTERM);  // the master and its session processes
            waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty() && !HasFailure()) {
            std::filesystem::remove_all(dir_);
        }
    }

    // doveadm as the instance's user, with `input` on its standard input; its output. A failing
    // doveadm fails the test.
    std::string Doveadm(const std::string& args, const std::string& input = "") {
        std::ofstream(dir_ + "/doveadm.in", std::ios::binary) << input;
        const std::string out = dir_ + "/doveadm.out";
        const int status =
            Shell(runAs_ + "doveadm -c dovecot.conf " + args + " <doveadm.in >doveadm.out 2>&1");
        std::ifstream in(out);
        std::string text(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(status, 0) << "doveadm " << args << ": " << text;
        return text;
    }

    AccountSettings account_{};
    uint16_t port_ = 0;
    uint16_t tlsPort_ = 0;

  private:
    // A shell command run in the instance's directory; its exit status.
    int Shell(const std::string& command) const {
        return std::system(("cd " + dir_ + " && " + command).c_str());
    }

    static uint16_t FreePort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
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

    bool Greets() const {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port_);
        char buffer[256] = {};
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                        recv(fd, buffer, sizeof buffer - 1, 0) > 0 &&
                        std::string(buffer).rfind("* OK", 0) == 0;
        close(fd);
        return ok;
    }

    const bool aclBeforeLogin_;
    std::string dir_;
    std::string runAs_;  // the prefix that runs doveadm as the instance's user
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    pid_t pid_ = -1;
};

}  // namespace wq::testing
