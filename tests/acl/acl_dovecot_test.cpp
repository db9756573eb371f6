// Access control lists against a real Dovecot (ACL plugin, vfile) started by the test on a
// loopback port. Dovecot announces ACL only after login unless told otherwise, so the instance
// for the ACL cases adds it to its pre-login capabilities; a stock instance shows message 137.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "base/account.h"
#include "folders/acl.h"
#include "platform/headless/headless.h"

namespace wq {
namespace {

const char* const kDovecot = "/usr/sbin/dovecot";

uint16_t FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    ::close(fd);
    return port;
}

bool Greets(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    bool ok = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        char buf[256];
        ssize_t n = ::recv(fd, buf, sizeof buf - 1, 0);
        ok = n > 4 && std::strncmp(buf, "* OK", 4) == 0;
    }
    ::close(fd);
    return ok;
}

// A private Dovecot with users jdoe/secret and anna/anna, run as an unprivileged user in its
// own process group, stopped with the group.
class Dovecot {
  public:
    bool start(bool announceAcl) {
        char tmpl[] = "/tmp/wq-acl-dovecot.XXXXXX";
        if (!::mkdtemp(tmpl))
            return false;
        dir_ = tmpl;
        port_ = FreePort();
        const bool root = ::geteuid() == 0;
        const std::string user = root ? "nobody" : Output("id -un");
        const std::string group = root ? Output("id -gn nobody") : Output("id -gn");
        const std::string ids =
            Output(root ? "echo $(id -u nobody):$(id -g nobody)" : "echo $(id -u):$(id -g)");
        std::ofstream(dir_ + "/passwd")
            << "jdoe:{PLAIN}secret:" << ids << "::" << dir_
            << "/home/jdoe\nanna:{PLAIN}anna:" << ids << "::" << dir_ << "/home/anna\n";
        std::ofstream conf(dir_ + "/dovecot.conf");
        conf << "instance_name = wq-acl-" << port_ << "\nbase_dir = " << dir_
             << "/base\nstate_dir = " << dir_ << "/state\nlog_path = " << dir_
             << "/log\ndefault_internal_user = " << user << "\ndefault_internal_group = " << group
             << "\ndefault_login_user = " << user
             << "\nlisten = 127.0.0.1\nprotocols = imap\nssl = no\n"
                "disable_plaintext_auth = no\nauth_mechanisms = plain login\n"
                "passdb {\n  driver = passwd-file\n  args = "
             << dir_ << "/passwd\n}\nuserdb {\n  driver = passwd-file\n  args = " << dir_
             << "/passwd\n}\nmail_location = maildir:" << dir_
             << "/mail/%u\nnamespace inbox {\n  inbox = yes\n  prefix =\n  separator = /\n}\n"
                "mail_plugins = $mail_plugins acl\nprotocol imap {\n"
                "  mail_plugins = $mail_plugins imap_acl\n"
             << (announceAcl ? "  imap_capability = +ACL\n" : "")
             << "}\nplugin {\n  acl = vfile\n}\nservice imap-login {\n  chroot =\n"
                "  inet_listener imap {\n    port = "
             << port_ << "\n  }\n}\nservice anvil {\n  chroot =\n}\n";
        conf.close();
        runAs_ = root ? "setpriv --reuid=nobody --regid=" + group + " --clear-groups " : "";
        if (root && std::system(("chown -R nobody:" + group + " " + dir_).c_str()) != 0) {
            return false;
        }
        const std::string command = "cd " + dir_ + " && setsid " + runAs_ + kDovecot + " -F -c " +
                                    dir_ + "/dovecot.conf >" + dir_ + "/out 2>&1 & echo $! >" +
                                    dir_ + "/pid";
        if (std::system(command.c_str()) != 0)
            return false;
        std::ifstream(dir_ + "/pid") >> pid_;
        for (int i = 0; i < 100; ++i) {
            if (Greets(port_))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    ~Dovecot() {
        if (pid_ > 0)
            ::kill(-pid_, SIGTERM);
        if (!dir_.empty())
            std::system(("rm -rf " + dir_).c_str());
    }

    // doveadm run as the instance's user, its output.
    std::string doveadm(const std::string& args) const {
        return Output(runAs_ + "doveadm -c " + dir_ + "/dovecot.conf " + args + " 2>&1");
    }

    uint16_t port() const { return port_; }

  private:
    static std::string Output(const std::string& command) {
        std::string out;
        if (FILE* p = ::popen(command.c_str(), "r")) {
            char buf[512];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
                out.append(buf, n);
            ::pclose(p);
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
            out.pop_back();
        return out;
    }

    std::string dir_;
    std::string runAs_;
    uint16_t port_ = 0;
    pid_t pid_ = 0;
};

class AclDovecotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(kDovecot, X_OK) != 0)
            GTEST_SKIP() << "Dovecot is not installed";
        headless::Reset();
    }
    void TearDown() override {
        SetCurrentAccount(nullptr);
        headless::Reset();
    }

    AccountSettings account(const Dovecot& d) {
        AccountSettings a;
        ResetAccountSettings(a);
        a.hostName = "127.0.0.1";
        a.userName = "jdoe";
        a.password = "secret";
        a.port = d.port();
        a.timeout = 10;
        return a;
    }

    // One folder read through the export: its result and entries as "id=rights/kind".
    static std::string Read(AccountSettings& a, const char* folder, HResult* result,
                            std::string* rendering) {
        AclList list{nullptr, 0, 0};
        FolderAcl f{};
        f.result = 0x7777;  // not written when the connection fails
        std::strncpy(f.name, folder, sizeof f.name - 1);
        f.acl = &list;
        FolderAclList request{&f, 1, 1};
        *result = WqGetACL(nullptr, &a, &request);
        std::string text;
        for (uint32_t i = 0; i < list.count; ++i) {
            text += AclIdentifier(list.data[i]) + "=" + AclRights(list.data[i]) + "/" +
                    std::to_string(list.data[i].kind) + " ";
        }
        rendering->assign(WqAclToString(&list, nullptr) - 1, '\0');
        WqAclToString(&list, rendering->data());
        AclListFree(list);
        return text + (f.result == S_OK ? "" : f.result == E_FAIL ? "failed" : "unread");
    }
};

TEST_F(AclDovecotTest, ReadsAndWritesWhatDovecotKeeps) {
    Dovecot d;
    ASSERT_TRUE(d.start(true));
    AccountSettings a = account(d);
    ASSERT_EQ(d.doveadm("mailbox create -u jdoe Work"), "");
    ASSERT_EQ(d.doveadm("acl set -u jdoe Work user=anna lookup read"), "");

    // Dovecot lists every pair on one line ("ACL Work anna lr jdoe lrwstipekxacd"); the reader
    // takes the first pair of a line, so one entry per folder, and the owner of the INBOX.
    HResult result = E_UNEXPECTED;
    std::string rendering;
    EXPECT_EQ(Read(a, "Work", &result, &rendering), "anna=lr/1 ");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(rendering, "anna (lr)");
    EXPECT_EQ(Read(a, "Inbox", &result, &rendering), "jdoe=lrwstipekxacd/0 ");
    EXPECT_EQ(rendering, "");
    EXPECT_EQ(Read(a, "Missing", &result, &rendering), "");  // NO: result 0, list as it was
    EXPECT_EQ(result, S_FALSE);

    // An edited list through the writer: anna removed, bob added.
    AclList list{nullptr, 0, 0};
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("-anna", "lr", kAclKindUser)), S_OK);
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("bob", "lrwi", kAclKindUser)), S_OK);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &a, list), S_OK);
    EXPECT_EQ(list.count, 1u);
    AclListFree(list);
    const std::string acl = d.doveadm("acl get -u jdoe Work");
    EXPECT_EQ(acl.find("user=anna"), std::string::npos) << acl;
    EXPECT_NE(acl.find("user=bob"), std::string::npos) << acl;
    EXPECT_NE(acl.find("insert lookup read write"), std::string::npos) << acl;
    EXPECT_EQ(Read(a, "Work", &result, &rendering), "bob=ilrw/1 ");  // in Dovecot's order
    EXPECT_TRUE(headless::Events().empty());
}

TEST_F(AclDovecotTest, StockDovecotLacksTheCapabilityBeforeLogin) {
    Dovecot d;
    ASSERT_TRUE(d.start(false));
    AccountSettings a = account(d);
    HResult result = S_OK;
    std::string rendering;
    EXPECT_EQ(Read(a, "INBOX", &result, &rendering), "unread");
    EXPECT_EQ(result, E_FAIL);
    ASSERT_EQ(headless::Events().size(), 1u);
    EXPECT_EQ(headless::Events()[0].text, "The server does not support required capability (ACL).");
}

}  // namespace
}  // namespace wq
