// The IMAP session against the in-process qorvad: wire bytes, results, logon retries.
#include <gtest/gtest.h>

#include "net/imap.h"
#include "net/transport.h"
#include "qorvad_fixture.h"

namespace wq::net {
namespace {

using headless::DialogView;
using headless::MessageBoxView;

using SessionTest = QorvadTest;

const char* const kIncorrect = "The user name or password is incorrect.";

TEST_F(SessionTest, RunCommandSendsLoginCommandLogoutWithTheFixedTag) {
    std::string reply;
    bool loggedIn = false;
    EXPECT_EQ(ImapRunCommand("CAPABILITY", &reply, &loggedIn), S_OK);
    EXPECT_TRUE(loggedIn);
    EXPECT_EQ(reply.rfind("CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("OK CAPABILITY completed."), std::string::npos) << reply;
    EXPECT_EQ(server_.received(), "A000 LOGIN anna secret\r\nA000 CAPABILITY\r\nA000 LOGOUT\r\n");

    // Leading white space goes; a command ending in a line feed alone gets "\r\n" after it.
    server_.clearReceived();
    EXPECT_EQ(ImapRunCommand(" \t NOOP\n", nullptr, nullptr), S_OK);
    EXPECT_EQ(server_.received(), "A000 LOGIN anna secret\r\nA000 NOOP\n\r\nA000 LOGOUT\r\n");
    EXPECT_TRUE(shown().empty());
}

TEST_F(SessionTest, GreetingOtherThanOkStopsBeforeLogin) {
    const std::pair<const char*, HResult> cases[] = {{"BYE", 3}, {"NO", 1}, {"BAD", 2}};
    for (const auto& [word, expected] : cases) {
        setFaults([&](qorvad::Faults& f) { f.greeting = word; });
        std::string reply;
        bool loggedIn = true;
        EXPECT_EQ(ImapRunCommand("CAPABILITY", &reply, &loggedIn), expected) << word;
        EXPECT_FALSE(loggedIn);
        EXPECT_EQ(reply.rfind(word, 0), 0u) << reply;
    }
    EXPECT_EQ(server_.received(), "");
}

TEST_F(SessionTest, ServerAnswersDecide) {
    setFaults([](qorvad::Faults& f) { f.lowerCaseStatus = true; });
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), S_OK);

    setFaults([](qorvad::Faults& f) {
        f.lowerCaseStatus = false;
        f.scripted["NOOP"] = "NO";
    });
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), S_FALSE);
    setFaults([](qorvad::Faults& f) { f.scripted["NOOP"] = "BAD"; });
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_INVALIDARG);

    // BAD to LOGIN: no dialog, and the command is never sent.
    setFaults([](qorvad::Faults& f) { f.scripted["LOGIN"] = "BAD"; });
    server_.clearReceived();
    bool loggedIn = true;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, &loggedIn), E_INVALIDARG);
    EXPECT_FALSE(loggedIn);
    EXPECT_EQ(server_.received(), "A000 LOGIN anna secret\r\n");
    // A password with a space goes unquoted; the server's BAD decides.
    setFaults([](qorvad::Faults& f) { f.scripted.clear(); });
    account_.password = "pass word";
    server_.clearReceived();
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(server_.received(), "A000 LOGIN anna pass word\r\n");
    EXPECT_TRUE(shown().empty());
}

TEST_F(SessionTest, RefusedLoginAsksAgainUntilTheServerAccepts) {
    account_.password = "wrong";
    account_.rememberPassword = 1;
    for (int i = 0; i < 2; ++i) {
        headless::OnMessageBox([](const MessageBoxView& m) {
            EXPECT_EQ(m.caption, "Qorva Outlook Express Extensions");
            EXPECT_EQ(m.style, ui::kMbOk | ui::kMbIconStop);
            return ui::kIdOk;
        });
    }
    headless::OnDialog([](DialogView& v) {
        EXPECT_EQ(v.title(), "Logon - 127.0.0.1");
        EXPECT_EQ(v.text(223), "127.0.0.1");
        EXPECT_EQ(v.text(219), "anna");
        EXPECT_EQ(v.text(220), "wrong");
        EXPECT_EQ(v.focus(), 220);
        EXPECT_TRUE(v.checked(221));
        EXPECT_FALSE(v.enabled(221));
        v.type(220, "wrong2");
        v.click(1);
    });
    headless::OnDialog([](DialogView& v) {
        EXPECT_EQ(v.text(220), "wrong2");  // starts from what was typed last
        v.type(220, "secret");
        v.click(1);
    });
    bool loggedIn = false;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, &loggedIn), S_OK);
    EXPECT_TRUE(loggedIn);
    EXPECT_EQ(server_.received(),
              "A000 LOGIN anna wrong\r\nA000 LOGIN anna wrong2\r\n"
              "A000 LOGIN anna secret\r\nA000 NOOP\r\nA000 LOGOUT\r\n");
    EXPECT_EQ(shown(),
              (std::vector<std::string>{kIncorrect, "dialog 4100", kIncorrect, "dialog 4100"}));
    EXPECT_STREQ(account_.password, "wrong");  // the record keeps its password
    EXPECT_EQ(account_.rememberPassword, 1);
    EXPECT_EQ(headless::PendingHandlers(), 0);
}

TEST_F(SessionTest, CancelledLogonStopsSilently) {
    account_.password = "wrong";
    account_.rememberPassword = 7;
    headless::OnDialog([](DialogView& v) {
        EXPECT_FALSE(v.checked(221));
        v.click(2);
    });
    bool loggedIn = true;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, &loggedIn), S_FALSE);
    EXPECT_FALSE(loggedIn);
    EXPECT_EQ(server_.received(), "A000 LOGIN anna wrong\r\n");
    EXPECT_EQ(account_.rememberPassword, 7);
}

TEST_F(SessionTest, LineBreaksAndZeroBytesNeverReachTheServer) {
    account_.userName = "anna\r\nA000 DELETE INBOX";
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_INVALIDARG);
    account_.userName = "anna";
    account_.password = "x\ny";
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(server_.received(), "");

    // A zero byte inside a command.
    server_.clearReceived();
    Socket s = kInvalidSocket;
    ASSERT_EQ(TransportConnect(&s, "127.0.0.1", port_), S_OK);
    EXPECT_EQ(ImapExecute(s, "", nullptr), S_OK);
    EXPECT_EQ(ImapExecute(s, std::string("NOOP\0 x", 7), nullptr), E_INVALIDARG);
    TransportClose(&s);
    EXPECT_EQ(server_.received(), "");
}

TEST_F(SessionTest, SpaIsRefusedWithoutSendingLogin) {
    account_.useSpa = 1;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_INVALIDARG);
    ASSERT_EQ(headless::Events().size(), 1u);
    EXPECT_EQ(headless::Events()[0].text, "The Secure Password Authentication is not supported.");
    EXPECT_EQ(headless::Events()[0].style, ui::kMbOk);
    EXPECT_EQ(server_.received(), "");
}

TEST_F(SessionTest, ConnectWithAclNeedsTheCapability) {
    Socket s = kInvalidSocket;
    ASSERT_EQ(ImapConnectWithAcl(&s, nullptr, &account_), S_OK);
    EXPECT_EQ(ImapLogin(s, &account_, true, &account_.rememberPassword), S_OK);
    ImapDisconnect(&s);
    EXPECT_EQ(s, kInvalidSocket);
    EXPECT_EQ(server_.received(), "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\nA000 LOGOUT\r\n");

    server_.clearReceived();
    setFaults([](qorvad::Faults& f) { f.announceAcl = false; });
    EXPECT_EQ(ImapConnectWithAcl(&s, nullptr, &account_), E_FAIL);
    TransportClose(&s);
    EXPECT_EQ(shown(),
              (std::vector<std::string>{"The server does not support required capability (ACL)."}));
    EXPECT_EQ(headless::Events()[0].style, ui::kMbOk | ui::kMbIconStop);
    EXPECT_EQ(server_.received(), "A000 CAPABILITY\r\n");
}

TEST_F(SessionTest, PeerClosingBeforeTheTagEndsWithFailure) {
    setFaults([](qorvad::Faults& f) { f.closeMidReplyOf = "X-GETSCRIPT"; });
    server_.store().setScript("anna", std::string(4000, 'x'));
    bool loggedIn = false;
    EXPECT_EQ(ImapRunCommand("X-GETSCRIPT", nullptr, &loggedIn), E_UNEXPECTED);
    EXPECT_TRUE(loggedIn);
    EXPECT_TRUE(shown().empty());
}

}  // namespace
}  // namespace wq::net
