// The IMAP reply reader: line classification, the exact reply text, and the same text whatever
// the way the reply is cut into received pieces.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/imap.h"

namespace wq::net {
namespace {

using namespace std::string_literals;

struct Outcome {
    HResult result;
    std::string reply;
    bool operator==(const Outcome& o) const { return result == o.result && reply == o.reply; }
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << "result " << std::hex << o.result << " reply [" << o.reply << "]";
}

Outcome Read(bool greeting, const std::vector<std::string>& pieces, size_t limit = kMaxReplyText) {
    std::string reply = "left from before";
    ImapReplyReader reader(greeting, &reply, limit);
    reply.clear();
    for (const std::string& p : pieces) {
        if (!p.empty() && reader.feed(p))
            return {reader.result(), reply};
    }
    reader.finish();  // the peer closed
    return {reader.result(), reply};
}

const std::vector<std::pair<bool, std::string>> kSamples = {
    {true, "* OK [CAPABILITY IMAP4rev1 ACL] Qorva MailServer ready.\r\n"},
    {true, "* PREAUTH hello\r\n* bye now\r\n"},
    {false,
     "* CAPABILITY IMAP4rev1 LITERAL+ ACL X-QORVA\r\n* OK [ALERT] disk almost full\r\n"
     "A000 OK CAPABILITY completed.\r\n"},
    {false,
     "* LSUB () \"/\" INBOX\r\n\r\n   * LSUB () \"/\" Sent\r\n\t\r\n"
     "* LSUB (\\Noselect) \"/\" \"#public\"\r\na000 ok lsub done\r\n"},
    {false, "* ACL INBOX anna lr\r\n* ACL INBOX jdoe lrswipcda\r\nA000 OK GETACL done\r\n"},
    {false,
     "* X-GETSCRIPT {53}\r\n/* rules\r\n * A000 OK\r\n */\r\n\r\n  if true {\r\n    keep; }\r\n"
     "\r\nA000 OK X-GETSCRIPT completed.\r\n"},
    {false, "* X {3}\r\nab\n {0}\r\n* Y\r\nA000 NO later\r\n"},
    {false, "+ go ahead\r\nA000 NO [AUTHENTICATIONFAILED] nope\r\n"},
    {false, "* BYE going away\r\nA000 BAD what\r\n* 3 EXISTS\r\n"},
    {false, "* A\n* B\nA000 BYE\n"},
    {false, "A0001 OK not ours\r\n* 1 FETCH (FLAGS (\\Seen))\r\nA000 OKAY\r\n"},
    {false, "*\r\nA000\r\n"},
    {false, "* ACL INBOX anna lrswipcda\r\n* ACL INBOX bob lr\r\n"},  // closed before the tag
    {false, "* CAPABILITY IMAP4rev1\0 ACL\r\nA000 OK zero\0 dropped\r\n"s},
};

// Whatever the cut, the result and the reply text are those of the reply read in one piece,
// also where the reply outgrows the limit.
TEST(ReplyReader, EveryCutGivesTheSameReply) {
    for (size_t limit : {kMaxReplyText, size_t{40}}) {
        for (const auto& [greeting, text] : kSamples) {
            SCOPED_TRACE(text);
            const Outcome whole = Read(greeting, {text}, limit);
            for (size_t i = 0; i <= text.size(); ++i) {
                ASSERT_EQ(Read(greeting, {text.substr(0, i), text.substr(i)}, limit), whole)
                    << "cut at " << i;
                for (size_t j = i; j <= text.size(); j += 3) {
                    ASSERT_EQ(
                        Read(greeting, {text.substr(0, i), text.substr(i, j - i), text.substr(j)},
                             limit),
                        whole)
                        << "cut at " << i << " and " << j;
                }
            }
            std::vector<std::string> bytes;
            for (char c : text)
                bytes.emplace_back(1, c);
            EXPECT_EQ(Read(greeting, bytes, limit), whole) << "one byte at a time";
        }
    }
}

TEST(ReplyReader, ReplyTextOfWholeReplies) {
    // The greeting's status line ends the read, without line break.
    EXPECT_EQ(Read(true, {"* OK Qorva ready\r\n"}), (Outcome{0, "OK Qorva ready"}));
    EXPECT_EQ(Read(true, {"* no go away\r\n"}), (Outcome{1, "no go away"}));
    EXPECT_EQ(Read(true, {"* BAD syntax\r\n"}), (Outcome{2, "BAD syntax"}));
    EXPECT_EQ(Read(true, {"* BYE closing\r\n"}), (Outcome{3, "BYE closing"}));
    // Alerts dropped, data without "* ", the tagged line without its tag and line break.
    EXPECT_EQ(Read(false, {"* CAPABILITY IMAP4rev1 ACL\r\n* OK [ALERT] full\r\nA000 OK done\r\n"}),
              (Outcome{S_OK, "CAPABILITY IMAP4rev1 ACL\r\nOK done"}));
    // Tag and status in lower case complete the command.
    EXPECT_EQ(Read(false, {"a000 ok fine\r\n"}), (Outcome{S_OK, "ok fine"}));
    EXPECT_EQ(Read(false, {"A000 NO x\r\n"}).result, S_FALSE);
    EXPECT_EQ(Read(false, {"A000 BAD x\r\n"}).result, E_INVALIDARG);
    EXPECT_EQ(Read(false, {"A000 BYE x\r\n"}).result, E_ABORT);
    EXPECT_EQ(Read(false, {"A000 WHAT x\r\n"}).result, E_UNEXPECTED);
    EXPECT_EQ(Read(false, {"A000 OKAY\r\n"}).result, S_OK);
    // Outside literals, indentation and empty lines are dropped.
    EXPECT_EQ(Read(false, {"* LSUB a\r\n\r\n   * LSUB b\r\nA000 OK\r\n"}),
              (Outcome{S_OK, "LSUB a\r\nLSUB b\r\nOK"}));
    // A literal is data: its lines come as they are, even those that look like reply lines,
    // and the rest of the announcing line follows it.
    EXPECT_EQ(
        Read(false, {"* X-GETSCRIPT {25}\r\n  * A000 OK\r\nA000 BAD\r\n\r\n)\r\nA000 OK\r\n"}),
        (Outcome{S_OK, "X-GETSCRIPT {25}\r\n  * A000 OK\r\nA000 BAD\r\n\r\n)\r\nOK"}));
    // After the tagged line nothing more is looked at.
    EXPECT_EQ(Read(false, {"A000 OK\r\n* 9 EXISTS\r\n"}), (Outcome{S_OK, "OK"}));
    // A peer that closes: the last line counts when only its line break is missing.
    EXPECT_EQ(Read(false, {"* A\r\nA000 OK"}), (Outcome{S_OK, "A\r\nOK"}));
    EXPECT_EQ(Read(false, {"* A\r\n* B"}), (Outcome{E_UNEXPECTED, "A\r\nB\n"}));
    EXPECT_EQ(Read(false, {"* X {10}\r\nA000 OK"}).result, E_UNEXPECTED);
}

// Faults seen when replies were cut at read boundaries: each must read as the whole reply.
TEST(ReplyReader, CutsThatOnceLostOrInventedData) {
    // A rights list cut right after its line break once took the next line's letters.
    EXPECT_EQ(Read(false, {"* ACL INBOX anna lr\r\n", "* ACL INBOX bob acl\r\nA000 OK\r\n"}),
              (Outcome{S_OK, "ACL INBOX anna lr\r\nACL INBOX bob acl\r\nOK"}));
    // A status word cut in two.
    EXPECT_EQ(Read(false, {"A000 O", "K done\r\n"}), (Outcome{S_OK, "OK done"}));
    EXPECT_EQ(Read(true, {"* O", "K\r\n"}), (Outcome{0, "OK"}));
    // A piece that ends in an empty line.
    EXPECT_EQ(Read(false, {"* A\r\n\r\n", "* B\r\nA000 OK\r\n"}), (Outcome{S_OK, "A\r\nB\r\nOK"}));
}

TEST(ReplyReader, EndlessReplyStopsAtTheLimit) {
    // A server that streams data and never sends the tagged line cannot exhaust the host, with
    // or without reply text, in lines, in one endless line, or in a literal.
    for (std::string* collect : {static_cast<std::string*>(nullptr), new std::string}) {
        std::unique_ptr<std::string> owned(collect);
        for (const std::string& chunk : {"* LSUB () \"/\" Folder\r\n"s, "x"s}) {
            ImapReplyReader reader(false, collect, 64);
            bool done = false;
            for (int i = 0; i < 100 && !done; ++i)
                done = reader.feed(chunk);
            EXPECT_TRUE(done);
            EXPECT_EQ(reader.result(), E_OUTOFMEMORY);
        }
        if (collect) {
            EXPECT_LE(collect->size(), 64u);
        }
    }
    EXPECT_EQ(Read(false, {"* X {100}\r\n", std::string(100, 'a'), "\r\nA000 OK\r\n"}, 64).result,
              E_OUTOFMEMORY);
    EXPECT_EQ(Read(false, {"* X\r\nA000 OK done\r\n"}, 64), (Outcome{S_OK, "X\r\nOK done"}));
}

TEST(ReplyReader, HasCapability) {
    const std::string reply = "CAPABILITY IMAP4rev1 ACL NAMESPACE\r\nOK done\r\n";
    EXPECT_EQ(ImapHasCapability(reply, "ACL"), S_OK);
    EXPECT_EQ(ImapHasCapability(reply, "acl"), S_OK);
    EXPECT_EQ(ImapHasCapability(reply, "NAMESPACE"), S_OK);  // last word of the line
    EXPECT_EQ(ImapHasCapability(reply, "IMAP4"), S_FALSE);
    // A longer word holding ACL does not count.
    EXPECT_EQ(ImapHasCapability("CAPABILITY IMAP4rev1 XACL ACLS ACL2\r\n", "ACL"), S_FALSE);
    // Capabilities on a line that does not begin with CAPABILITY do not count.
    EXPECT_EQ(ImapHasCapability("OK [CAPABILITY IMAP4rev1 ACL] done\r\n", "ACL"), S_FALSE);
    EXPECT_EQ(ImapHasCapability("FLAGS (ACL)\ncapability acl\n", "ACL"), S_OK);
    // The first CAPABILITY line decides; an empty line ends the search.
    EXPECT_EQ(ImapHasCapability("CAPABILITY IMAP4rev1\nCAPABILITY ACL\n", "ACL"), S_FALSE);
    EXPECT_EQ(ImapHasCapability("X\n\nCAPABILITY ACL\n", "ACL"), S_FALSE);
    // Carriage returns are taken out of the whole reply before the search.
    EXPECT_EQ(ImapHasCapability("CAPABILITY A\rCL\r\n", "ACL"), S_OK);
    EXPECT_EQ(ImapHasCapability("\rCAPABILITY\r IMAP4 ACL\r", "ACL"), S_OK);
    EXPECT_EQ(ImapHasCapability("", "ACL"), S_FALSE);
    EXPECT_EQ(ImapHasCapability("\r\r", ""), S_FALSE);
    EXPECT_EQ(ImapHasCapability(reply, ""), E_INVALIDARG);
}

TEST(ReplyReader, SafeArguments) {
    EXPECT_TRUE(ImapSafeArgument("pass word \"quoted\" %s"));
    EXPECT_FALSE(ImapSafeArgument("a\rb"));
    EXPECT_FALSE(ImapSafeArgument("a\nb"));
    EXPECT_FALSE(ImapSafeArgument(std::string("a\0b", 3)));
}

}  // namespace
}  // namespace wq::net
