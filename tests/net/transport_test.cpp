// The transport against qorvad: socket errors as result codes, the time-out prompt, zero bytes
// in the data, SSL.
#include <gtest/gtest.h>

#include "net/imap.h"
#include "net/transport.h"
#include "qorvad_fixture.h"

namespace wq::net {
namespace {

using headless::MessageBoxView;

using TransportTest = QorvadTest;

const char* const kWaitPrompt =
    "Your server has not responded in 1 seconds.\n"
    "Would you like to wait another 1 seconds for the server to respond ?";

TEST_F(TransportTest, SocketErrorsBecomeResultCodes) {
    server_.stop();  // nobody listens on the port any more
    Socket s = kInvalidSocket;
    EXPECT_EQ(TransportConnect(&s, "127.0.0.1", port_), static_cast<HResult>(0x8007274D));
    EXPECT_EQ(TransportClose(&s), 0);
    EXPECT_EQ(s, kInvalidSocket);
    EXPECT_EQ(TransportLastError(), 10061);  // the close keeps the error that led to it
    EXPECT_EQ(TransportClose(&s), 0);        // and is safe on a closed socket

    bool loggedIn = true;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, &loggedIn), static_cast<HResult>(0x8007274D));
    EXPECT_FALSE(loggedIn);

    // Name resolution failures are the resolver's Windows Sockets errors (11001 - 11004).
    HResult r = TransportConnect(&s, "no-such-host.invalid", 143);
    TransportClose(&s);
    EXPECT_GE(r, static_cast<HResult>(0x80072AF9)) << std::hex << r;
    EXPECT_LE(r, static_cast<HResult>(0x80072AFC)) << std::hex << r;
    EXPECT_TRUE(shown().empty());
}

TEST_F(TransportTest, SilentServerPromptsWithTheTimeOutUntilTheUserStops) {
    setFaults([](qorvad::Faults& f) { f.silentAfterAccept = true; });
    account_.timeout = 1;
    headless::OnMessageBox([](const MessageBoxView& m) {
        EXPECT_EQ(m.caption, "Qorva Outlook Express Extensions");
        EXPECT_EQ(m.style, ui::kMbYesNo | ui::kMbIconQuestion);
        return ui::kIdYes;
    });
    headless::OnMessageBox([](const MessageBoxView&) { return ui::kIdNo; });
    bool loggedIn = true;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, &loggedIn), E_UNEXPECTED);
    EXPECT_FALSE(loggedIn);
    EXPECT_EQ(shown(), (std::vector<std::string>{kWaitPrompt, kWaitPrompt}));
    EXPECT_EQ(server_.received(), "");
}

TEST_F(TransportTest, YesWaitsAnotherFullTimeOutForASlowServer) {
    setFaults([](qorvad::Faults& f) { f.delayMs = 1300; });
    account_.timeout = 1;
    for (int i = 0; i < 8; ++i) {
        headless::OnMessageBox([](const MessageBoxView&) { return ui::kIdYes; });
    }
    std::string reply;
    EXPECT_EQ(ImapRunCommand("NOOP", &reply, nullptr), S_OK);
    EXPECT_EQ(reply.rfind("OK NOOP completed.", 0), 0u) << reply;
    ASSERT_FALSE(shown().empty());
    for (const std::string& text : shown()) {
        EXPECT_EQ(text, kWaitPrompt);
    }
}

TEST_F(TransportTest, ServerThatStopsReadingGetsThePromptWhileSending) {
    // A large store to a server that reads no more: the sends wait in steps, the user is asked
    // after every full time-out, and No ends the command instead of an endless send.
    setFaults([](qorvad::Faults& f) { f.stopReadingOn = "X-PUTSCRIPT"; });
    account_.timeout = 1;
    headless::OnMessageBox([](const MessageBoxView&) { return ui::kIdYes; });
    headless::OnMessageBox([](const MessageBoxView&) { return ui::kIdNo; });
    const std::string script(16 << 20, 'x');
    EXPECT_EQ(ImapRunCommand("X-PUTSCRIPT {" + std::to_string(script.size()) + "+}\r\n" + script,
                             nullptr, nullptr),
              E_UNEXPECTED);
    EXPECT_EQ(shown(), (std::vector<std::string>{kWaitPrompt, kWaitPrompt}));
}

TEST_F(TransportTest, ZeroByteInTheReplyIsDropped) {
    setFaults([](qorvad::Faults& f) { f.zeroByteInData = true; });
    // The tagged line after the zero byte still completes the command.
    std::string reply;
    EXPECT_EQ(ImapRunCommand("CAPABILITY", &reply, nullptr), S_OK);
    EXPECT_EQ(reply, "CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA\r\nOK CAPABILITY completed.");
    EXPECT_TRUE(shown().empty());
    // Handed out as text, a zero byte ends what is appended.
    Socket s = kInvalidSocket;
    ASSERT_EQ(TransportConnect(&s, "127.0.0.1", port_), S_OK);
    std::string text;
    ASSERT_EQ(ImapExecute(s, "", nullptr), S_OK);
    ASSERT_EQ(TransportSend(s, "A000 CAPABILITY\r\n"), 17);
    while (text.find("X-QORVA") == std::string::npos && TransportReceive(s, text, false) > 0) {
    }
    EXPECT_EQ(text, "* CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA");
    TransportClose(&s);
}

TEST_F(TransportTest, ReceiveBufferFollowsTheSocketsOwnSize) {
    Socket s = kInvalidSocket;
    ASSERT_EQ(TransportConnect(&s, "127.0.0.1", port_), S_OK);
    std::string text = "kept ";
    int n = TransportReceive(s, text, false);
    EXPECT_GT(n, 0);
    EXPECT_EQ(text.size(), 5u + static_cast<size_t>(n));
    EXPECT_EQ(text.rfind("kept * OK ", 0), 0u) << text;
    int size = 0;
    ASSERT_TRUE(platform::SocketReceiveBufferSize(s, &size));
    EXPECT_GE(TransportReceiveBufferCapacity(), static_cast<size_t>(size));
    EXPECT_EQ(TransportSend(s, "A000 LOGOUT\r\n"), 13);
    text = "gone";
    while ((n = TransportReceive(s, text, true)) > 0) {
    }
    EXPECT_EQ(n, 0);  // the server closed after LOGOUT
    EXPECT_EQ(text, "");
    TransportClose(&s);
    EXPECT_EQ(TransportSend(s, "x"), -1);
    EXPECT_EQ(TransportReceive(s, text, false), -1);
    EXPECT_FALSE(TransportSocketsStarted());  // POSIX sockets need no start
}

TEST_F(TransportTest, SslAgainstTheTlsPort) {
    uint16_t tls = server_.listenTls();
    ASSERT_NE(tls, 0);
    account_.port = tls;
    account_.useSsl = 1;
    std::string reply;
    EXPECT_EQ(ImapRunCommand("CAPABILITY", &reply, nullptr), S_OK);
    EXPECT_EQ(reply.rfind("CAPABILITY IMAP4rev1", 0), 0u) << reply;
    // The commands went inside SSL (our close alert after LOGOUT may reach the server too).
    EXPECT_EQ(
        server_.received().rfind("A000 LOGIN anna secret\r\nA000 CAPABILITY\r\nA000 LOGOUT\r\n", 0),
        0u);
    EXPECT_FALSE(TransportSslActive());

    // Two connections in a row: the second set-up starts from a clean state.
    Socket s = kInvalidSocket;
    ASSERT_EQ(ImapConnectWithAcl(&s, nullptr, &account_), S_OK);
    EXPECT_TRUE(TransportSslActive());
    ImapDisconnect(&s);
    EXPECT_FALSE(TransportSslActive());
    EXPECT_TRUE(shown().empty());
}

TEST_F(TransportTest, SslAgainstAPlainPortFails) {
    account_.useSsl = 1;
    bool loggedIn = true;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, &loggedIn), E_UNEXPECTED);
    EXPECT_FALSE(loggedIn);
    EXPECT_FALSE(TransportSslActive());
    EXPECT_TRUE(shown().empty());
    // The objects of the failed handshake do not spoil the next connection.
    account_.useSsl = 0;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), S_OK);
}

TEST_F(TransportTest, SilentServerDuringTheHandshakeGetsThePrompt) {
    setFaults([](qorvad::Faults& f) { f.silentAfterAccept = true; });
    account_.timeout = 1;
    account_.useSsl = 1;
    headless::OnMessageBox([](const MessageBoxView&) { return ui::kIdYes; });
    headless::OnMessageBox([](const MessageBoxView&) { return ui::kIdNo; });
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_UNEXPECTED);
    EXPECT_EQ(shown(), (std::vector<std::string>{kWaitPrompt, kWaitPrompt}));
    EXPECT_FALSE(TransportSslActive());
}

TEST_F(TransportTest, MissingSslLibraryOrFunctionIsReported) {
    account_.useSsl = 1;
    TransportUseSslLibrary("libwq-no-such-ssl.so.3");
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_UNEXPECTED);
    // The C library has none of the SSL functions.
    TransportUseSslLibrary("libc.so.6");
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), E_UNEXPECTED);
    TransportUseSslLibrary("");
    EXPECT_EQ(shown(), (std::vector<std::string>{
                           "The required module 'libwq-no-such-ssl.so.3'\n(or one of its "
                           "dependency)\ncannot be found or failed to initialize",
                           "The module 'libc.so.6' does not contain function "
                           "'SSL_library_init'"}));
    for (const headless::Event& e : headless::Events()) {
        EXPECT_EQ(e.style, ui::kMbOk | ui::kMbIconStop);
    }
    EXPECT_EQ(server_.received(), "");

    uint16_t tls = server_.listenTls();
    account_.port = tls;
    EXPECT_EQ(ImapRunCommand("NOOP", nullptr, nullptr), S_OK);
}

}  // namespace
}  // namespace wq::net
