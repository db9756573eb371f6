// The protocol engine without sockets: the exact replies the library and its tests rely on,
// input cut anywhere, the limits, and the mailbox-name codec.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "qorvad.h"

namespace {

using Steps = std::vector<std::pair<std::string, std::string>>;

std::string run(qorvad::Mailstore& store, const std::vector<std::string>& pieces,
                const qorvad::Faults& faults = {}) {
    qorvad::Session session(store, faults, false);
    std::string out = session.greeting().text;
    std::vector<qorvad::Reply> replies;
    for (const std::string& p : pieces)
        session.feed(p, replies);
    for (const qorvad::Reply& r : replies)
        out += r.bytes();
    return out;
}

// One session; each step's bytes ("" for the greeting) must get exactly the step's reply.
void expectReplies(qorvad::Mailstore& store, const Steps& steps,
                   const qorvad::Faults& faults = {}) {
    qorvad::Session session(store, faults, false);
    const std::string greeting = session.greeting().bytes();
    for (const auto& [sent, expected] : steps) {
        std::vector<qorvad::Reply> replies;
        session.feed(sent, replies);
        std::string got = sent.empty() ? greeting : "";
        for (const qorvad::Reply& r : replies)
            got += r.bytes();
        EXPECT_EQ(got, expected) << "after " << sent;
    }
}

std::string ok(const std::string& command) {
    return "A000 OK " + command + " completed.\r\n";
}

// The reply to SELECT (or EXAMINE) of a folder with `exists` messages.
std::string selected(int exists, int unseen, const std::string& done = "[READ-WRITE] SELECT") {
    return "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n"
           "* OK [PERMANENTFLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft \\*)] "
           "Flags permitted.\r\n* " +
           std::to_string(exists) + " EXISTS\r\n* 0 RECENT\r\n" +
           (unseen ? "* OK [UNSEEN " + std::to_string(unseen) + "] First unseen.\r\n" : "") +
           "* OK [UIDVALIDITY 1] UIDs valid.\r\n" + ok(done);
}

TEST(QorvadSession, SameRepliesWhateverTheInputPieces) {
    auto fill = [](qorvad::Mailstore& s) {
        s.addUser("jdoe", "pw");
        s.addFolder("jdoe", "INBOX/Work");
        s.addMessage("jdoe", "INBOX", "m1");
    };
    const std::string input =
        "A000 LOGIN jdoe pw\r\n"
        "A000 SELECT \"INBOX\"\n\r\n"
        "A000 STORE 1:* +FLAGS (\\Seen)\n\r\n"
        "A000 X-PUTSCRIPT {11+}\r\nif true\r\n{}\r\n"
        "A000 X-GETSCRIPT\r\n"
        "A000 SETACL \"INBOX/Work\" anna lr\r\n"
        "A000 GETACL \"INBOX/Work\"\r\n"
        "A000 LSUB \"\" \"*\"\r\n"
        "A000 LOGOUT\r\n";
    qorvad::Mailstore reference;
    fill(reference);
    const std::string whole = run(reference, {input});
    EXPECT_NE(whole.find("* X-GETSCRIPT {11}\r\nif true\r\n{}\r\nA000 OK X-GETSCRIPT"),
              std::string::npos);
    const std::string last = "* BYE Qorva MailServer logging out.\r\nA000 OK LOGOUT completed.\r\n";
    ASSERT_GT(whole.size(), last.size());
    EXPECT_EQ(whole.substr(whole.size() - last.size()), last);
    for (size_t cut = 1; cut < input.size(); ++cut) {
        qorvad::Mailstore s;
        fill(s);
        ASSERT_EQ(run(s, {input.substr(0, cut), input.substr(cut)}), whole) << "cut at " << cut;
    }
}

TEST(QorvadSession, RepliesToTheLibrarysCommands) {
    qorvad::Mailstore store;
    store.addUser("jdoe", "secret");
    store.addFolder("jdoe", "INBOX/Orders");
    store.addFolder("jdoe", "Archive", false, true);
    store.addFolder("jdoe", qorvad::mutf7Encode("\xc3\x9a\xc4\x8dty"));
    store.addFolder("", "#public", true, false);
    store.addFolder("", "#public/Projects");
    store.addMessage("jdoe", "INBOX", "one", {"\\Deleted"});
    store.addMessage("jdoe", "INBOX", "two", {"\\Seen"});
    store.addMessage("jdoe", "INBOX", "three", {"\\Deleted", "\\Flagged"});
    const std::string lsubInbox = "* LSUB () \"/\" \"INBOX\"\r\n";
    expectReplies(
        store,
        {{"A000 LOGIN jdoe secret\r\n", ok("LOGIN")},
         // "\n\r\n": the line ends at the line feed; the empty line after it gets no answer.
         {"A000 SELECT \"inbox\"\n\r\n", selected(3, 1)},
         {"A000 STORE 1:* +FLAGS (\\Seen)\n\r\n",
          "* 1 FETCH (FLAGS (\\Deleted \\Seen))\r\n* 2 FETCH (FLAGS (\\Seen))\r\n"
          "* 3 FETCH (FLAGS (\\Deleted \\Flagged \\Seen))\r\n" +
              ok("STORE")},
         {"A000 STORE 2:3 -FLAGS.SILENT (\\seen)\n\r\n", ok("STORE")},
         {"A000 STORE 4 +FLAGS (\\Seen)\r\n", "A000 BAD Invalid message sequence set.\r\n"},
         // Numbers count after the earlier removals: messages 1 and 3 go as 1 and 2.
         {"A000 EXPUNGE\r\n", "* 1 EXPUNGE\r\n* 2 EXPUNGE\r\n" + ok("EXPUNGE")},
         {"A000 STORE 1 +FLAGS (\\Seen)\r\n", "* 1 FETCH (FLAGS (\\Seen))\r\n" + ok("STORE")},
         {"A000 SELECT \"INBOX/Missing\"\n\r\n",
          "A000 NO [NONEXISTENT] Mailbox does not exist.\r\n"},
         {"A000 STORE 1:* +FLAGS (\\Seen)\n\r\n", "A000 BAD No mailbox selected.\r\n"},
         {"A000 SELECT \"#public\"\n\r\n", "A000 NO [CANNOT] Mailbox cannot be selected.\r\n"},
         // An empty folder: 1:* matches nothing and the store succeeds.
         {"A000 SELECT \"INBOX/Orders\"\n\r\nA000 STORE 1:* -FLAGS (\\Seen)\n\r\nA000 EXPUNGE\r\n",
          selected(0, 0) + ok("STORE") + ok("EXPUNGE")},
         {"A000 LSUB \"\" \"*\"\r\n",
          lsubInbox +
              "* LSUB () \"/\" \"INBOX/Orders\"\r\n* LSUB () \"/\" \"&ANoBDQ-ty\"\r\n"
              "* LSUB (\\Noselect) \"/\" \"#public\"\r\n"
              "* LSUB () \"/\" \"#public/Projects\"\r\n" +
              ok("LSUB")},
         {"A000 LSUB \"\" \"%\"\r\n", lsubInbox +
                                          "* LSUB () \"/\" \"&ANoBDQ-ty\"\r\n"
                                          "* LSUB (\\Noselect) \"/\" \"#public\"\r\n" +
                                          ok("LSUB")},
         {"A000 SETACL \"INBOX\" \"anna\" \"LR\"\r\nA000 SETACL \"INBOX\" \"[staff]\" \"lrsx\"\r\n"
          "A000 SETACL \"INBOX\" bob l\r\nA000 SETACL \"INBOX\" \"anna\" \"+wi\"\r\n"
          "A000 DELETEACL \"INBOX\" \"bob\"\r\n",
          ok("SETACL") + ok("SETACL") + ok("SETACL") + ok("SETACL") + ok("DELETEACL")},
         {"A000 SETACL \"INBOX\" \"anna\" \"lrz\"\r\n", "A000 BAD Invalid rights.\r\n"},
         {"A000 GETACL \"INBOX\"\r\n",
          "* ACL \"INBOX\" jdoe lrswipcda\r\n* ACL \"INBOX\" anna lrwi\r\n"
          "* ACL \"INBOX\" [staff] lrsx\r\n" +
              ok("GETACL")},
         {"A000 GETACL \"Nowhere\"\r\n", "A000 NO [NONEXISTENT] Mailbox does not exist.\r\n"},
         // A name with a double quote inside, sent without escaping, is no valid argument list.
         {"A000 GETACL \"In\"box\"\r\n", "A000 BAD Missing space after quoted string.\r\n"},
         {"A000 X-SETMAP \"sales\" \"~INBOX/Orders\"\r\nA000 X-SETMAP help #public/Projects\r\n",
          ok("X-SETMAP") + ok("X-SETMAP")},
         {"A000 X-SETMAP \"x\" \"~Nowhere\"\r\n",
          "A000 NO [NONEXISTENT] Mailbox does not exist.\r\n"},
         {"A000 X-SETMAP \"x\" \"INBOX\"\r\n", "A000 BAD The folder must begin with ~ or #.\r\n"},
         {"A000 X-LISTMAP\r\n",
          "* X-LISTMAP \"sales\" \"~INBOX/Orders\"\r\n"
          "* X-LISTMAP \"help\" \"#public/Projects\"\r\n" +
              ok("X-LISTMAP")},
         {"A000 X-DELETEMAP \"sales\"\r\n", ok("X-DELETEMAP")},
         {"A000 X-DELETEMAP \"sales\"\r\n", "A000 NO [NONEXISTENT] No such alias.\r\n"},
         {"A000 X-GETSCRIPT\r\n", "* X-GETSCRIPT {0}\r\n\r\n" + ok("X-GETSCRIPT")},
         // A synchronizing literal waits for the go-ahead.
         {"A000 X-PUTSCRIPT {4}\r\n", "+ Ready for literal data\r\n"},
         {"stop\r\n", ok("X-PUTSCRIPT")},
         // Text in a single-byte code page is not UTF-8 and leaves the script alone.
         {"A000 X-PUTSCRIPT {4+}\r\nCaf\xe9\r\n",
          "A000 NO [CANNOT] The script is not valid UTF-8.\r\n"},
         {"A000 X-PUTSCRIPT {20000000}\r\n", "A000 NO [TOOBIG] Literal too large.\r\n"},
         {"A000 X-GETSCRIPT\r\n", "* X-GETSCRIPT {4}\r\nstop\r\n" + ok("X-GETSCRIPT")}});
}

// The rights of a shared folder, with commands around the library's that the demo offers.
TEST(QorvadSession, SharedFolderRights) {
    qorvad::Mailstore store;
    store.addUser("jdoe", "pw");
    store.addUser("anna", "pw");
    store.addFolder("", "#team", true, true);
    store.setAcl("", "#team", "jdoe", "lrswipcda");
    store.setAcl("", "#team", "anna", "lrs");
    store.addMessage("", "#team", "hello", {"\\Flagged"});
    expectReplies(
        store,
        {{"A000 LOGIN jdoe pw\r\n", ok("LOGIN")},
         // A shared folder needs the create right on its parent; a new top level is refused.
         {"A000 CREATE \"#new\"\r\nA000 CREATE \"#team/Sub\"\r\n",
          "A000 NO [NOPERM] Permission denied.\r\n" + ok("CREATE")},
         {"A000 DELETE \"inbox\"\r\n", "A000 NO [CANNOT] INBOX cannot be deleted.\r\n"},
         {"A000 APPEND \"#team\" (\\Seen) {2}\r\n", "+ Ready for literal data\r\n"},
         {"hi\r\nA000 EXAMINE \"#team\"\r\n", ok("APPEND") + selected(2, 1, "[READ-ONLY] EXAMINE")},
         {"A000 STORE 1 +FLAGS (\\Seen)\r\n", "A000 NO [READ-ONLY] Mailbox is read-only.\r\n"}});
    // anna may set \Seen on the shared folder but neither delete nor flag nor administer.
    expectReplies(
        store, {{"A000 LOGIN anna pw\r\n", ok("LOGIN")},
                {"A000 GETACL \"#team\"\r\n", "A000 NO [NOPERM] Permission denied.\r\n"},
                {"A000 SELECT \"#team\"\r\n", selected(2, 1)},
                {"A000 STORE 1 +FLAGS (\\Deleted)\r\n", "A000 NO [NOPERM] Permission denied.\r\n"},
                // Replacing all flags could drop \Flagged, which needs the write right.
                {"A000 STORE 1 FLAGS (\\Seen)\r\n", "A000 NO [NOPERM] Permission denied.\r\n"},
                {"A000 STORE 1 +FLAGS (\\Seen)\r\n",
                 "* 1 FETCH (FLAGS (\\Flagged \\Seen))\r\n" + ok("STORE")},
                {"A000 STORE 1 +FLAGS (\\Recent)\r\n", "A000 BAD Invalid STORE item or flags.\r\n"},
                {"A000 EXPUNGE\r\n", "A000 NO [NOPERM] Permission denied.\r\n"},
                {"A000 MYRIGHTS \"#team\"\r\n", "* MYRIGHTS \"#team\" lrs\r\n" + ok("MYRIGHTS")},
                // Other users' private folders stay hidden; a created folder is not subscribed.
                {"A000 LSUB \"\" \"*\"\r\n",
                 "* LSUB () \"/\" \"INBOX\"\r\n* LSUB () \"/\" \"#team\"\r\n" + ok("LSUB")}});
}

// The faults that change reply forms without failing the library's tests when they do not
// work; the others act on the connection, and the library's tests meet them.
TEST(QorvadSession, FaultsThatChangeTheReplies) {
    qorvad::Mailstore store;
    store.addUser("jdoe", "pw");
    store.setScript("jdoe", "if true {\r\n  keep;\r\n}");
    qorvad::Faults f;
    f.lowerCaseStatus = true;
    f.zeroByteInData = true;
    f.scripted["NOOP"] = "NO";
    const std::string zero(1, '\0');
    expectReplies(store,
                  {{"", "* ok Qorva MailServer ready.\r\n"},
                   {"A000 LOGIN jdoe pw\r\n", "a000 ok LOGIN completed.\r\n"},
                   {"A000 CAPABILITY\r\n", "* CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA" + zero +
                                               "\r\na000 ok CAPABILITY completed.\r\n"},
                   // The zero byte goes on the announcing line, never into the script.
                   {"A000 X-GETSCRIPT\r\n", "* X-GETSCRIPT {21}" + zero +
                                                "\r\nif true {\r\n  keep;\r\n}\r\n"
                                                "a000 ok X-GETSCRIPT completed.\r\n"},
                   {"A000 NOOP\r\n", "a000 no Scripted failure of NOOP.\r\n"}},
                  f);
    // Dovecot's way with the empty line after the library's SELECT: an untagged BAD after it.
    f = qorvad::Faults{};
    f.badOnEmptyLine = true;
    expectReplies(store,
                  {{"A000 LOGIN jdoe pw\r\nA000 SELECT \"INBOX\"\n\r\n",
                    ok("LOGIN") + selected(0, 0) + "* BAD Error in IMAP tag: Invalid tag\r\n"}},
                  f);
}

TEST(QorvadSession, LiteralsAndLimits) {
    qorvad::Mailstore store;
    store.addUser("jdoe", "pw");
    // A literal argument in the middle of a command, with more arguments after it.
    std::string out = run(store, {"A1 LOGIN {4}\r\n", "jdoe {2+}\r\npw\r\n", "A2 NOOP\r\n"});
    EXPECT_EQ(out,
              "* OK Qorva MailServer ready.\r\n+ Ready for literal data\r\n"
              "A1 OK LOGIN completed.\r\nA2 OK NOOP completed.\r\n");
    // A literal announcement must end its line; tags cannot hold wildcards.
    out = run(store, {"A1 LOGIN {4} x\r\n", "* NOOP\r\n", "\r\n", "A2\r\n"});
    EXPECT_EQ(out,
              "* OK Qorva MailServer ready.\r\nA1 BAD Literal announcement must end the line.\r\n"
              "* BAD Invalid tag.\r\nA2 BAD Missing command.\r\n");
    // A non-synchronizing literal that is too large cannot be skipped: the session ends.
    qorvad::Session session(store, {}, false);
    std::vector<qorvad::Reply> replies;
    EXPECT_FALSE(session.feed("A1 X-PUTSCRIPT {4294967295+}\r\n", replies));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].text,
              "A1 BAD [TOOBIG] Literal too large.\r\n* BYE Literal too large.\r\n");
    EXPECT_TRUE(replies[0].close);
    EXPECT_TRUE(session.closed());

    EXPECT_EQ(run(store, {std::string(qorvad::Session::kMaxLine + 10, 'x'), "A NOOP\r\n"}),
              "* OK Qorva MailServer ready.\r\n* BYE Command line too long.\r\n");
    std::string junk, expected = "* OK Qorva MailServer ready.\r\n";
    for (int i = 0; i < qorvad::Session::kMaxBadCommands; ++i) {
        junk += "A000 \x01\r\n";
        expected += "A000 BAD Invalid character in command.\r\n";
    }
    EXPECT_EQ(run(store, {junk + "A NOOP\r\n"}), expected + "* BYE Too many invalid commands.\r\n");
}

TEST(QorvadStore, BulkFoldersAndMessagesForBenchmarks) {
    qorvad::Mailstore store;
    store.addUser("jdoe", "pw");
    store.addManyFolders("jdoe", "Bulk/", 20000);
    EXPECT_EQ(store.folders("jdoe").size(), 20001u);
    ASSERT_TRUE(store.addManyMessages("jdoe", "Bulk/7", 5000));
    EXPECT_FALSE(store.addManyMessages("jdoe", "Bulk/x", 1));
    const std::string out = run(store, {"A LOGIN jdoe pw\r\nA LSUB \"\" \"Bulk/1999*\"\r\n"
                                        "A SELECT Bulk/7\r\nA STORE 4999:* +FLAGS (\\Seen)\r\n"});
    // Byte order: Bulk/19999 is the last of Bulk/1999*.
    EXPECT_NE(out.find("* LSUB () \"/\" \"Bulk/19999\"\r\nA OK LSUB completed.\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("SELECT completed.\r\n* 4999 FETCH (FLAGS (\\Seen))\r\n"
                       "* 5000 FETCH (FLAGS (\\Seen))\r\nA OK STORE completed.\r\n"),
              std::string::npos);
}

TEST(QorvadMutf7, EncodeAndDecode) {
    const std::pair<std::string, std::string> pairs[] = {
        {"\xc3\x9a\xc4\x8dty/A&B", "&ANoBDQ-ty/A&-B"},
        {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", "&ZeVnLIqe-"},
        {"\xf0\x9f\x98\x80", "&2D3eAA-"}};
    std::string utf8;
    for (const auto& [text, mutf7] : pairs) {
        EXPECT_EQ(qorvad::mutf7Encode(text), mutf7);
        EXPECT_TRUE(qorvad::mutf7Decode(mutf7, utf8) && utf8 == text) << mutf7;
    }
    // Unterminated shift, printable ASCII encoded, a lone surrogate, raw 8-bit text, bad padding.
    for (const char* bad : {"&ANo", "&AGE-", "&2D0-", "\xc3\x9a", "&ANp-", "&A-"}) {
        EXPECT_FALSE(qorvad::mutf7Decode(bad, utf8)) << bad;
    }
}

}  // namespace
