// The protocol engine without sockets, the data directory, and the mailbox-name codec.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "qorvad.h"
#include "qorvad/qorvad_client.h"

namespace {

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

std::string tempDir() {
    char pattern[] = "/tmp/qorvad_test_XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    return dir ? dir : "";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
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
    EXPECT_NE(whole.find("* ACL \"INBOX/Work\" anna lr\r\n"), std::string::npos);
    const std::string last = "* BYE Qorva MailServer logging out.\r\nA000 OK LOGOUT completed.\r\n";
    ASSERT_GT(whole.size(), last.size());
    EXPECT_EQ(whole.substr(whole.size() - last.size()), last);
    for (size_t cut = 1; cut < input.size(); ++cut) {
        qorvad::Mailstore s;
        fill(s);
        ASSERT_EQ(run(s, {input.substr(0, cut), input.substr(cut)}), whole) << "cut at " << cut;
    }
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
}

TEST(QorvadSession, GreetingFaultsAndScriptedReplies) {
    qorvad::Mailstore store;
    store.addUser("jdoe", "pw");
    for (const char* word : {"NO", "BAD", "BYE"}) {
        qorvad::Faults f;
        f.greeting = word;
        qorvad::Session s(store, f, false);
        qorvad::Reply greeting = s.greeting();
        EXPECT_EQ(greeting.text,
                  std::string("* ") + word + " Qorva MailServer refuses the session.\r\n");
        EXPECT_TRUE(greeting.close);
    }
    qorvad::Faults f;
    f.scripted["LOGIN"] = "BAD";
    f.scripted["SELECT"] = "NO";
    EXPECT_EQ(run(store, {"A000 LOGIN jdoe pw\r\nA000 SELECT \"INBOX\"\r\n"}, f),
              "* OK Qorva MailServer ready.\r\nA000 BAD Scripted failure of LOGIN.\r\n"
              "A000 NO Scripted failure of SELECT.\r\n");
    f = qorvad::Faults{};
    f.scriptedReplies["CAPABILITY"] = "* OK [ALERT] x\r\n{tag} OK [CAPABILITY ACL] {tag}\r\n";
    EXPECT_EQ(run(store, {"t1 CAPABILITY\r\n"}, f),
              "* OK Qorva MailServer ready.\r\n* OK [ALERT] x\r\nt1 OK [CAPABILITY ACL] t1\r\n");
}

TEST(QorvadStore, DataDirectoryRoundTrip) {
    const std::string dir = tempDir();
    ASSERT_FALSE(dir.empty());
    const std::string tricky = "- %41 \r\n\t\x01 \xc3\xa9";
    {
        qorvad::Server server(dir);
        EXPECT_EQ(server.loadError(), "");
        server.store().createDemo();
        server.store().addUser("odd user", tricky);
        uint16_t port = server.listen();
        qorvad_test::Client c(port);
        c.until("* ");
        c.command("A000 LOGIN demo demo\r\n");
        c.command("A000 SETACL \"#public/Support\" \"[team]\" \"lrs\"\r\n");
        c.command("A000 X-PUTSCRIPT {" + std::to_string(tricky.size()) + "+}\r\n" + tricky +
                  "\r\n");
        c.command("A000 SELECT \"INBOX\"\r\n");
        c.command("A000 STORE 2 +FLAGS (\\Answered)\r\n");
    }
    qorvad::Mailstore again;
    std::string error;
    ASSERT_TRUE(again.load(dir, &error)) << error;
    EXPECT_TRUE(again.checkPassword("odd user", tricky));
    EXPECT_EQ(again.script("demo"), tricky);
    auto acl = again.acl("demo", "#public/Support");
    ASSERT_FALSE(acl.empty());
    EXPECT_EQ(acl.back().identifier, "[team]");
    EXPECT_EQ(acl.back().rights, "lrs");
    auto inbox = again.messages("demo", "INBOX");
    ASSERT_GE(inbox.size(), 2u);
    EXPECT_TRUE(inbox[1].hasFlag("\\Answered"));
    EXPECT_EQ(again.folders("demo")[0].name, "INBOX");

    // A damaged file is reported and left as it is: changes stay in memory.
    const std::string path = dir + "/mailstore.txt";
    std::string content = readFile(path) + "bogus record\n";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    {
        qorvad::Server broken(dir);
        EXPECT_NE(broken.loadError().find("unknown record"), std::string::npos);
        broken.store().addUser("x", "y");
    }
    EXPECT_EQ(readFile(path), content);
    std::remove(path.c_str());
    ::rmdir(dir.c_str());
}

TEST(QorvadStore, ManyFoldersAreListedInOrder) {
    qorvad::Mailstore store;
    store.addUser("jdoe", "pw");
    store.addManyFolders("jdoe", "Bulk/", 20000);
    auto folders = store.folders("jdoe");
    ASSERT_EQ(folders.size(), 20001u);
    EXPECT_EQ(folders[0].name, "INBOX");
    std::string out = run(store, {"A LOGIN jdoe pw\r\nA LSUB \"\" \"Bulk/1999*\"\r\n"});
    EXPECT_NE(out.find("* LSUB () \"/\" \"Bulk/19999\"\r\nA OK LSUB completed.\r\n"),
              std::string::npos);
    ASSERT_TRUE(store.addManyMessages("jdoe", "Bulk/7", 5000));
    EXPECT_FALSE(store.addManyMessages("jdoe", "Bulk/x", 1));
    out = run(store, {"A LOGIN jdoe pw\r\nA SELECT Bulk/7\r\nA STORE 1:* +FLAGS.SILENT (\\Seen)\r\n"
                      "A STORE 4999:* -FLAGS (\\Seen)\r\n"});
    EXPECT_NE(out.find("* 5000 EXISTS\r\n"), std::string::npos);
    EXPECT_NE(out.find("A OK STORE completed.\r\n* 4999 FETCH (FLAGS ())\r\n"
                       "* 5000 FETCH (FLAGS ())\r\nA OK STORE completed.\r\n"),
              std::string::npos);
    auto bulk = store.messages("jdoe", "Bulk/7");
    EXPECT_TRUE(bulk[0].hasFlag("\\Seen"));
    EXPECT_TRUE(bulk[4997].hasFlag("\\Seen"));
    EXPECT_FALSE(bulk[4998].hasFlag("\\Seen"));
}

TEST(QorvadMutf7, EncodeAndDecode) {
    EXPECT_EQ(qorvad::mutf7Encode("\xc3\x9a\xc4\x8dty"), "&ANoBDQ-ty");
    EXPECT_EQ(qorvad::mutf7Encode("A&B"), "A&-B");
    EXPECT_EQ(qorvad::mutf7Encode("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"), "&ZeVnLIqe-");
    EXPECT_EQ(qorvad::mutf7Encode("\xf0\x9f\x98\x80"), "&2D3eAA-");
    std::string utf8;
    EXPECT_TRUE(qorvad::mutf7Decode("&ANoBDQ-ty/A&-B", utf8));
    EXPECT_EQ(utf8, "\xc3\x9a\xc4\x8dty/A&B");
    EXPECT_TRUE(qorvad::mutf7Decode("&2D3eAA-", utf8));
    EXPECT_EQ(utf8, "\xf0\x9f\x98\x80");
    // Unterminated shift, printable ASCII encoded, a lone surrogate, raw 8-bit text, bad padding.
    for (const char* bad : {"&ANo", "&AGE-", "&2D0-", "\xc3\x9a", "&ANp-", "&A-"}) {
        EXPECT_FALSE(qorvad::mutf7Decode(bad, utf8)) << bad;
    }
}

}  // namespace
