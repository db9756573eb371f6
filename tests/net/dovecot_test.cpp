// The transport and the IMAP session against a real Dovecot: greeting, login, commands, the
// logon dialog after a refused password, and IMAPS with the system's SSL library.
#include <gtest/gtest.h>

#include <string>

#include "common/dovecot_fixture.h"
#include "net/imap.h"
#include "net/transport.h"

namespace wq::net {
namespace {

using DovecotTest = testing::DovecotTest;

TEST_F(DovecotTest, GreetingLogonAndCommand) {
    Socket s = kInvalidSocket;
    ASSERT_EQ(TransportConnect(&s, "127.0.0.1", port_), S_OK);
    std::string greeting;
    EXPECT_EQ(ImapExecute(s, "", &greeting), S_OK);
    EXPECT_EQ(greeting.rfind("OK [CAPABILITY IMAP4rev1", 0), 0u) << greeting;
    EXPECT_EQ(ImapLogin(s, &account_, false, nullptr), S_OK);
    std::string reply;
    EXPECT_EQ(ImapExecute(s, "CAPABILITY", &reply), S_OK);
    EXPECT_EQ(ImapHasCapability(reply, "IMAP4rev1"), S_OK) << reply;
    ImapDisconnect(&s);

    std::string list;
    EXPECT_EQ(ImapRunCommand("LIST \"\" \"*\"", &list, nullptr), S_OK);
    EXPECT_NE(list.find("INBOX"), std::string::npos) << list;

    // IMAPS: the whole session over SSL, which is released after it.
    account_.port = tlsPort_;
    account_.useSsl = 1;
    EXPECT_EQ(ImapRunCommand("CAPABILITY", &reply, nullptr), S_OK);
    EXPECT_EQ(ImapHasCapability(reply, "IMAP4rev1"), S_OK) << reply;
    EXPECT_FALSE(TransportSslActive());
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

}  // namespace
}  // namespace wq::net
