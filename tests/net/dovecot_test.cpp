// Interoperability with a real Dovecot: a private instance with a configuration of its own,
// started by the fixture on free loopback ports and stopped by process group. Skipped, with a
// message, where Dovecot is not installed.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "base/account.h"
#include "net/imap.h"
#include "net/transport.h"
#include "platform/headless/headless.h"

namespace wq::net {
namespace {

const char* const kDovecot = "/usr/sbin/dovecot";
const uid_t kNobody = 65534;

uint16_t FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

class DovecotTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (access(kDovecot, X_OK) != 0) {
            return;
        }
        char pattern[] = "/tmp/wq-dovecot-XXXXXX";
        if (!mkdtemp(pattern)) {
            return;
        }
        dir_ = pattern;
        chmod(dir_.c_str(), 0777);
        plain_ = FreePort();
        tls_ = FreePort();
        std::string keys =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost -keyout " +
            dir_ + "/key.pem -out " + dir_ + "/cert.pem >/dev/null 2>&1";
        if (std::system(keys.c_str()) != 0) {
            return;
        }
        std::ofstream(dir_ + "/passwd") << "anna:{PLAIN}secret::::::\n";
        std::ofstream conf(dir_ + "/dovecot.conf");
        conf << "base_dir = " << dir_ << "/run\n"
             << "state_dir = " << dir_ << "/state\n"
             << "instance_name = wq-dovecot-" << plain_ << "\n"
             << "log_path = " << dir_ << "/dovecot.log\n"
             << "listen = 127.0.0.1\nprotocols = imap\n"
             << "default_internal_user = nobody\ndefault_internal_group = nogroup\n"
             << "default_login_user = nobody\n"
             << "ssl = yes\nssl_cert = <" << dir_ << "/cert.pem\nssl_key = <" << dir_
             << "/key.pem\nssl_dh = </usr/share/dovecot/dh.pem\n"
             << "disable_plaintext_auth = no\nauth_failure_delay = 0\n"
             << "passdb {\n  driver = passwd-file\n  args = " << dir_ << "/passwd\n}\n"
             << "userdb {\n  driver = passwd-file\n  args = " << dir_ << "/passwd\n"
             << "  default_fields = uid=nobody gid=nogroup home=" << dir_ << "/home/%u\n}\n"
             << "mail_location = maildir:" << dir_ << "/mail/%u\n"
             << "namespace inbox {\n  inbox = yes\n  prefix =\n  separator = /\n}\n"
             << "service imap-login {\n  chroot =\n"
             << "  inet_listener imap {\n    port = " << plain_ << "\n  }\n"
             << "  inet_listener imaps {\n    port = " << tls_ << "\n    ssl = yes\n  }\n}\n"
             << "service anvil {\n  chroot =\n}\n";
        conf.close();
        // Dovecot refuses to run its services as root: the instance runs as nobody.
        std::string own = "chown -R nobody:nogroup " + dir_;
        if (getuid() == 0 && std::system(own.c_str()) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            if (getuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
                _exit(127);
            }
            std::string config = dir_ + "/dovecot.conf";
            execl(kDovecot, kDovecot, "-F", "-c", config.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Ready when it greets.
        AccountSettings probe{};
        ResetAccountSettings(probe);
        probe.timeout = 2;
        SetCurrentAccount(&probe);
        for (int i = 0; i < 100 && !ready_; ++i) {
            Socket s = kInvalidSocket;
            if (TransportConnect(&s, "127.0.0.1", plain_) == S_OK) {
                ready_ = ImapExecute(s, "", nullptr) == S_OK;
            }
            TransportClose(&s);
            if (!ready_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        SetCurrentAccount(nullptr);
    }

    static void TearDownTestSuite() {
        if (pid_ > 0) {
            kill(-pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (!dir_.empty()) {
            std::string remove = "rm -rf " + dir_;
            (void)std::system(remove.c_str());
        }
    }

    void SetUp() override {
        if (access(kDovecot, X_OK) != 0) {
            GTEST_SKIP() << "Dovecot is not installed (apt-get install -y dovecot-imapd)";
        }
        ASSERT_TRUE(ready_) << "the private Dovecot did not start; see " << dir_ << "/dovecot.log";
        headless::Reset();
        ResetAccountSettings(account_);
        account_.hostName = "127.0.0.1";
        account_.userName = "anna";
        account_.password = "secret";
        account_.port = plain_;
        account_.timeout = 10;
        SetCurrentAccount(&account_);
    }
    void TearDown() override { SetCurrentAccount(nullptr); }

    static inline std::string dir_;
    static inline uint16_t plain_ = 0;
    static inline uint16_t tls_ = 0;
    static inline pid_t pid_ = -1;
    static inline bool ready_ = false;
    AccountSettings account_{};
};

TEST_F(DovecotTest, GreetingLogonAndCommand) {
    Socket s = kInvalidSocket;
    ASSERT_EQ(TransportConnect(&s, "127.0.0.1", plain_), S_OK);
    std::string greeting;
    EXPECT_EQ(ImapExecute(s, "", &greeting), S_OK);
    EXPECT_EQ(greeting.rfind("OK [CAPABILITY IMAP4rev1", 0), 0u) << greeting;
    EXPECT_EQ(ImapLogin(s, &account_, false, nullptr), S_OK);
    std::string reply;
    EXPECT_EQ(ImapExecute(s, "CAPABILITY", &reply), S_OK);
    EXPECT_EQ(ImapHasCapability(reply, "IMAP4rev1"), S_OK) << reply;
    ImapDisconnect(&s);

    std::string lsub;
    EXPECT_EQ(ImapRunCommand("LIST \"\" \"*\"", &lsub, nullptr), S_OK);
    EXPECT_NE(lsub.find("INBOX"), std::string::npos) << lsub;
    EXPECT_TRUE(headless::Events().empty());
}

TEST_F(DovecotTest, RefusedPasswordGoesThroughTheLogonDialog) {
    account_.password = "wrong";
    headless::OnDialog([](headless::DialogView& v) {
        v.type(220, "secret");
        v.click(1);
    });
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), S_OK);
    ASSERT_EQ(headless::Events().size(), 2u);
    EXPECT_EQ(headless::Events()[0].text, "The user name or password is incorrect.");
    EXPECT_EQ(headless::Events()[1].templateId, 4100);

    // Unquoted, a password with a space makes the LOGIN line malformed: Dovecot says BAD.
    account_.password = "pass word";
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_INVALIDARG);
}

TEST_F(DovecotTest, StockDovecotAnnouncesNoAclBeforeLogin) {
    Socket s = kInvalidSocket;
    EXPECT_EQ(ImapConnectWithAcl(&s, nullptr, &account_), E_FAIL);
    TransportClose(&s);
    ASSERT_EQ(headless::Events().size(), 1u);
    EXPECT_EQ(headless::Events()[0].text, "The server does not support required capability (ACL).");
}

TEST_F(DovecotTest, Imaps) {
    account_.port = tls_;
    account_.useSsl = 1;
    std::string reply;
    EXPECT_EQ(ImapRunCommand("CAPABILITY", &reply, nullptr), S_OK);
    EXPECT_EQ(ImapHasCapability(reply, "IMAP4rev1"), S_OK) << reply;
    EXPECT_FALSE(TransportSslActive());
}

}  // namespace
}  // namespace wq::net
