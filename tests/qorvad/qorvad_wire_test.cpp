// The reference server over real sockets: the reply forms the library relies on, byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "qorvad.h"
#include "qorvad/qorvad_client.h"

namespace {

using qorvad_test::Client;

class QorvadWire : public ::testing::Test {
  protected:
    void SetUp() override {
        server.store().addUser("jdoe", "secret");
        server.store().addFolder("jdoe", "INBOX/Orders");
        server.store().addFolder("", "#public", true, false);
        server.store().addFolder("", "#public/Projects");
        port = server.listen();
        ASSERT_NE(port, 0);
    }

    // A connection that has read the greeting and logged in as jdoe.
    std::unique_ptr<Client> loggedIn() {
        auto c = std::make_unique<Client>(port);
        EXPECT_EQ(c->until("* "), "* OK Qorva MailServer ready.\r\n");
        EXPECT_EQ(c->command("A000 LOGIN jdoe secret\r\n"), "A000 OK LOGIN completed.\r\n");
        return c;
    }

    qorvad::Server server;
    uint16_t port = 0;
};

TEST_F(QorvadWire, GreetingCapabilityLoginLogout) {
    Client c(port);
    EXPECT_EQ(c.until("* "), "* OK Qorva MailServer ready.\r\n");
    EXPECT_EQ(c.command("A000 CAPABILITY\r\n"),
              "* CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA\r\nA000 OK CAPABILITY completed.\r\n");
    EXPECT_EQ(c.command("A000 SELECT \"INBOX\"\r\n"), "A000 BAD Log in first.\r\n");
    EXPECT_EQ(c.command("A000 LOGIN jdoe wrong\r\n"),
              "A000 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
    // The library sends a password with a space unquoted: two words are one too many.
    EXPECT_EQ(c.command("A000 LOGIN jdoe sec ret\r\n"), "A000 BAD Usage: LOGIN user password.\r\n");
    EXPECT_EQ(c.command("A000 LOGIN \"jdoe\" {6+}\r\nsecret\r\n"), "A000 OK LOGIN completed.\r\n");
    c.send("A000 LOGOUT\r\n");
    EXPECT_EQ(c.rest(), "* BYE Qorva MailServer logging out.\r\nA000 OK LOGOUT completed.\r\n");

    server.setFaults([] {
        qorvad::Faults f;
        f.announceAcl = false;
        return f;
    }());
    Client plain(port);
    plain.until("* ");
    EXPECT_EQ(plain.command("A000 CAPABILITY\r\n"),
              "* CAPABILITY IMAP4rev1 LITERAL+ X-QORVA\r\nA000 OK CAPABILITY completed.\r\n");
}

TEST_F(QorvadWire, SelectStoreExpungeWithTheLibraryLineEnds) {
    server.store().addMessage("jdoe", "INBOX", "one", {"\\Deleted"});
    server.store().addMessage("jdoe", "INBOX", "two", {"\\Seen"});
    server.store().addMessage("jdoe", "INBOX", "three", {"\\Deleted", "\\Flagged"});
    auto c = loggedIn();
    // "\n\r\n": the line ends at the line feed; the empty line after it gets no answer, so
    // the next reply begins with the next command's own lines.
    EXPECT_EQ(c->command("A000 SELECT \"inbox\"\n\r\n"),
              "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n"
              "* OK [PERMANENTFLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft \\*)] "
              "Flags permitted.\r\n"
              "* 3 EXISTS\r\n* 0 RECENT\r\n* OK [UNSEEN 1] First unseen.\r\n"
              "* OK [UIDVALIDITY 1] UIDs valid.\r\n"
              "A000 OK [READ-WRITE] SELECT completed.\r\n");
    EXPECT_EQ(c->command("A000 STORE 1:* +FLAGS (\\Seen)\n\r\n"),
              "* 1 FETCH (FLAGS (\\Deleted \\Seen))\r\n* 2 FETCH (FLAGS (\\Seen))\r\n"
              "* 3 FETCH (FLAGS (\\Deleted \\Flagged \\Seen))\r\nA000 OK STORE completed.\r\n");
    EXPECT_EQ(c->command("A000 STORE 2:3 -FLAGS.SILENT (\\seen)\n\r\n"),
              "A000 OK STORE completed.\r\n");
    EXPECT_EQ(c->command("A000 STORE 4 +FLAGS (\\Seen)\r\n"),
              "A000 BAD Invalid message sequence set.\r\n");
    // Numbers count after the earlier removals: messages 1 and 3 go as 1 and 2.
    EXPECT_EQ(c->command("A000 EXPUNGE\r\n"),
              "* 1 EXPUNGE\r\n* 2 EXPUNGE\r\nA000 OK EXPUNGE completed.\r\n");
    auto left = server.store().messages("jdoe", "INBOX");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].text, "two");
    EXPECT_FALSE(left[0].hasFlag("\\Seen"));

    EXPECT_EQ(c->command("A000 SELECT \"INBOX/Missing\"\n\r\n"),
              "A000 NO [NONEXISTENT] Mailbox does not exist.\r\n");
    EXPECT_EQ(c->command("A000 STORE 1:* +FLAGS (\\Seen)\n\r\n"),
              "A000 BAD No mailbox selected.\r\n");
    EXPECT_EQ(c->command("A000 SELECT \"#public\"\n\r\n"),
              "A000 NO [CANNOT] Mailbox cannot be selected.\r\n");
    // An empty folder: 1:* matches nothing and the store succeeds.
    c->command("A000 SELECT \"INBOX/Orders\"\n\r\n");
    EXPECT_EQ(c->command("A000 STORE 1:* -FLAGS (\\Seen)\n\r\n"), "A000 OK STORE completed.\r\n");
    EXPECT_EQ(c->command("A000 EXPUNGE\r\n"), "A000 OK EXPUNGE completed.\r\n");

    server.updateFaults([](qorvad::Faults& f) { f.badOnEmptyLine = true; });
    auto d = loggedIn();
    // The answer to the empty line comes after SELECT's completion, before NOOP's reply.
    std::string both = d->command("A000 SELECT \"INBOX/Orders\"\n\r\n");
    both += d->command("A000 NOOP\r\n");
    const std::string tail =
        "A000 OK [READ-WRITE] SELECT completed.\r\n* BAD Error in IMAP tag: Invalid tag\r\n"
        "A000 OK NOOP completed.\r\n";
    ASSERT_GT(both.size(), tail.size());
    EXPECT_EQ(both.substr(both.size() - tail.size()), tail);
}

TEST_F(QorvadWire, ScriptTransfer) {
    auto c = loggedIn();
    EXPECT_EQ(c->command("A000 X-GETSCRIPT\r\n"),
              "* X-GETSCRIPT {0}\r\n\r\nA000 OK X-GETSCRIPT completed.\r\n");
    const std::string script = "#!1 Caf\xc3\xa9\r\nif true \r\n {\r\n  keep;\r\n}\r\n";
    EXPECT_EQ(c->command("A000 X-PUTSCRIPT {" + std::to_string(script.size()) + "+}\r\n" + script +
                         "\r\n"),
              "A000 OK X-PUTSCRIPT completed.\r\n");
    EXPECT_EQ(server.store().script("jdoe"), script);
    EXPECT_EQ(c->command("A000 X-GETSCRIPT\r\n"),
              "* X-GETSCRIPT {" + std::to_string(script.size()) + "}\r\n" + script +
                  "\r\nA000 OK X-GETSCRIPT completed.\r\n");
    // A synchronizing literal waits for the go-ahead.
    c->send("A000 X-PUTSCRIPT {4}\r\n");
    EXPECT_EQ(c->until("+ "), "+ Ready for literal data\r\n");
    EXPECT_EQ(c->command("stop\r\n"), "A000 OK X-PUTSCRIPT completed.\r\n");
    EXPECT_EQ(server.store().script("jdoe"), "stop");
    // Text in a single-byte code page is not UTF-8 and leaves the script alone.
    EXPECT_EQ(c->command("A000 X-PUTSCRIPT {4+}\r\nCaf\xe9\r\n"),
              "A000 NO [CANNOT] The script is not valid UTF-8.\r\n");
    EXPECT_EQ(server.store().script("jdoe"), "stop");
    EXPECT_EQ(c->command("A000 X-PUTSCRIPT {20000000}\r\n"),
              "A000 NO [TOOBIG] Literal too large.\r\n");
}

TEST_F(QorvadWire, FolderListAclAndAliases) {
    server.store().addFolder("jdoe", "Archive", false, true);
    server.store().addFolder("jdoe", qorvad::mutf7Encode("\xc3\x9a\xc4\x8dty"));
    auto c = loggedIn();
    EXPECT_EQ(c->command("A000 LSUB \"\" \"*\"\r\n"),
              "* LSUB () \"/\" \"INBOX\"\r\n* LSUB () \"/\" \"INBOX/Orders\"\r\n"
              "* LSUB () \"/\" \"&ANoBDQ-ty\"\r\n* LSUB (\\Noselect) \"/\" \"#public\"\r\n"
              "* LSUB () \"/\" \"#public/Projects\"\r\nA000 OK LSUB completed.\r\n");
    EXPECT_EQ(c->command("A000 LSUB \"\" \"%\"\r\n"),
              "* LSUB () \"/\" \"INBOX\"\r\n* LSUB () \"/\" \"&ANoBDQ-ty\"\r\n"
              "* LSUB (\\Noselect) \"/\" \"#public\"\r\nA000 OK LSUB completed.\r\n");

    EXPECT_EQ(c->command("A000 SETACL \"INBOX\" \"anna\" \"LR\"\r\n"),
              "A000 OK SETACL completed.\r\n");
    EXPECT_EQ(c->command("A000 SETACL \"INBOX\" \"[staff]\" \"lrsx\"\r\n"),
              "A000 OK SETACL completed.\r\n");
    EXPECT_EQ(c->command("A000 SETACL \"INBOX\" \"anna\" \"+wi\"\r\n"),
              "A000 OK SETACL completed.\r\n");
    EXPECT_EQ(c->command("A000 SETACL \"INBOX\" \"anna\" \"lrz\"\r\n"),
              "A000 BAD Invalid rights.\r\n");
    EXPECT_EQ(c->command("A000 GETACL \"INBOX\"\r\n"),
              "* ACL \"INBOX\" jdoe lrswipcda\r\n* ACL \"INBOX\" anna lrwi\r\n"
              "* ACL \"INBOX\" [staff] lrsx\r\nA000 OK GETACL completed.\r\n");
    EXPECT_EQ(c->command("A000 DELETEACL \"INBOX\" \"anna\"\r\n"),
              "A000 OK DELETEACL completed.\r\n");
    EXPECT_EQ(c->command("A000 GETACL \"INBOX\"\r\n"),
              "* ACL \"INBOX\" jdoe lrswipcda\r\n* ACL \"INBOX\" [staff] lrsx\r\n"
              "A000 OK GETACL completed.\r\n");
    EXPECT_EQ(c->command("A000 GETACL \"Nowhere\"\r\n"),
              "A000 NO [NONEXISTENT] Mailbox does not exist.\r\n");
    // A name with a double quote inside, sent without escaping, is not a valid argument list.
    EXPECT_EQ(c->command("A000 GETACL \"In\"box\"\r\n"),
              "A000 BAD Missing space after quoted string.\r\n");

    EXPECT_EQ(c->command("A000 X-SETMAP \"sales\" \"~INBOX/Orders\"\r\n"),
              "A000 OK X-SETMAP completed.\r\n");
    EXPECT_EQ(c->command("A000 X-SETMAP \"help\" \"#public/Projects\"\r\n"),
              "A000 OK X-SETMAP completed.\r\n");
    EXPECT_EQ(c->command("A000 X-SETMAP \"x\" \"~Nowhere\"\r\n"),
              "A000 NO [NONEXISTENT] Mailbox does not exist.\r\n");
    EXPECT_EQ(c->command("A000 X-SETMAP \"x\" \"INBOX\"\r\n"),
              "A000 BAD The folder must begin with ~ or #.\r\n");
    EXPECT_EQ(c->command("A000 X-LISTMAP\r\n"),
              "* X-LISTMAP \"sales\" \"~INBOX/Orders\"\r\n"
              "* X-LISTMAP \"help\" \"#public/Projects\"\r\nA000 OK X-LISTMAP completed.\r\n");
    EXPECT_EQ(c->command("A000 X-DELETEMAP \"sales\"\r\n"), "A000 OK X-DELETEMAP completed.\r\n");
    EXPECT_EQ(c->command("A000 X-DELETEMAP \"sales\"\r\n"),
              "A000 NO [NONEXISTENT] No such alias.\r\n");
    ASSERT_EQ(server.store().aliases("jdoe").size(), 1u);
    EXPECT_EQ(server.store().aliases("jdoe")[0].target, "#public/Projects");
}

TEST_F(QorvadWire, SharedFolderRights) {
    server.store().addUser("anna", "pw");
    server.store().setAcl("", "#public/Projects", "jdoe", "lrswipcda");
    server.store().setAcl("", "#public/Projects", "anyone", "lr");
    Client c(port);
    c.until("* ");
    c.command("A000 LOGIN anna pw\r\n");
    EXPECT_EQ(c.command("A000 GETACL \"#public/Projects\"\r\n"),
              "A000 NO [NOPERM] Permission denied.\r\n");
    EXPECT_EQ(c.command("A000 SELECT \"#public/Projects\"\r\n").substr(0, 9), "* FLAGS (");
    EXPECT_EQ(c.command("A000 EXPUNGE\r\n"), "A000 NO [READ-ONLY] Mailbox is read-only.\r\n");
    EXPECT_EQ(c.command("A000 MYRIGHTS \"#public/Projects\"\r\n"),
              "* MYRIGHTS \"#public/Projects\" lr\r\nA000 OK MYRIGHTS completed.\r\n");
}

TEST_F(QorvadWire, FaultsOnTheWire) {
    qorvad::Faults f;
    f.greeting = "BYE";
    server.setFaults(f);
    {
        Client c(port);
        EXPECT_EQ(c.rest(), "* BYE Qorva MailServer refuses the session.\r\n");
    }
    f = qorvad::Faults{};
    f.scripted["X-GETSCRIPT"] = "NO";
    f.lowerCaseStatus = true;
    f.zeroByteInData = true;
    server.setFaults(f);
    {
        Client c(port);
        EXPECT_EQ(c.until("* "), "* ok Qorva MailServer ready.\r\n");
        c.send("A000 LOGIN jdoe secret\r\n");
        EXPECT_EQ(c.until("a000 "), "a000 ok LOGIN completed.\r\n");
        c.send("A000 X-GETSCRIPT\r\n");
        EXPECT_EQ(c.until("a000 "), "a000 no Scripted failure of X-GETSCRIPT.\r\n");
    }
    f = qorvad::Faults{};
    f.zeroByteInData = true;
    f.splitReplies = 7;
    f.splitPauseMs = 1;
    f.closeMidReplyOf = "LSUB";
    server.setFaults(f);
    {
        auto c = loggedIn();
        std::string zero(1, '\0');
        EXPECT_EQ(c->command("A000 CAPABILITY\r\n"), "* CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA" +
                                                         zero +
                                                         "\r\nA000 OK CAPABILITY completed.\r\n");
        // Pieces of 7 bytes that straddle the script, sent from the store, and the text around it.
        server.store().setScript("jdoe", "if true {\r\n  keep;\r\n}");
        EXPECT_EQ(c->command("A000 X-GETSCRIPT\r\n"),
                  "* X-GETSCRIPT {21}" + zero +
                      "\r\nif true {\r\n  keep;\r\n}\r\nA000 OK X-GETSCRIPT completed.\r\n");
        c->send("A000 LSUB \"\" \"INBOX\"\r\n");
        std::string whole = "* LSUB () \"/\" \"INBOX\"" + zero + "\r\nA000 OK LSUB completed.\r\n";
        EXPECT_EQ(c->rest(), whole.substr(0, whole.size() / 2));
    }
    f = qorvad::Faults{};
    f.silentAfterAccept = true;
    server.setFaults(f);
    server.clearReceived();
    {
        Client c(port);
        c.send("A000 LOGIN jdoe secret\r\n");
        c.send("A000 LOGOUT\r\n");
        for (int i = 0; i < 500 && server.received().size() < 37; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        server.stop();  // ends the silent connection
        EXPECT_EQ(c.rest(), "");
    }
    EXPECT_EQ(server.received(), "A000 LOGIN jdoe secret\r\nA000 LOGOUT\r\n");
    ASSERT_EQ(server.receivedPerConnection().size(), 1u);
}

TEST_F(QorvadWire, BadInputIsBounded) {
    Client c(port);
    c.until("* ");
    c.send(std::string(qorvad::Session::kMaxLine + 10, 'x'));
    EXPECT_EQ(c.rest(), "* BYE Command line too long.\r\n");

    Client d(port);
    d.until("* ");
    std::string junk;
    for (int i = 0; i < qorvad::Session::kMaxBadCommands; ++i)
        junk += "A000 \x01\r\n";
    d.send(junk);
    std::string expected;
    for (int i = 0; i < qorvad::Session::kMaxBadCommands; ++i) {
        expected += "A000 BAD Invalid character in command.\r\n";
    }
    EXPECT_EQ(d.rest(), expected + "* BYE Too many invalid commands.\r\n");
    // The server still serves new connections.
    auto e = loggedIn();
    EXPECT_EQ(e->command("A000 NOOP\r\n"), "A000 OK NOOP completed.\r\n");
}

}  // namespace
