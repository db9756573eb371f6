// The IMAP reply reader: line classification, the exact reply text, and the same text whatever
// the way the reply is cut into received pieces.
#include <gtest/gtest.h>

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

// The exchange as described, step by step on a plain string that is erased from the front: the
// model the linear reader must match byte for byte.
Outcome Model(bool greeting, const std::vector<std::string>& pieces) {
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    auto starts = [](std::string s, const std::string& w) {
        if (s.size() < w.size())
            return false;
        for (size_t i = 0; i < w.size(); ++i)
            if (toupper(static_cast<unsigned char>(s[i])) != w[i])
                return false;
        return true;
    };
    std::string reply;
    HResult result = E_UNEXPECTED;
    bool done = false;
    std::string acc;
    size_t next = 0;
    auto receive = [&]() {
        if (next == pieces.size())
            return false;
        const std::string& p = pieces[next++];
        acc += p.substr(0, p.find('\0'));
        return true;
    };
    if (!receive())
        return {result, reply};
    for (;;) {
        size_t lf = acc.find('\n');
        bool complete = lf != std::string::npos;
        std::string line = complete ? acc.substr(0, lf) : acc;
        if (starts(line, "A000")) {
            done = true;
            std::string rest = line.size() > 5 ? line.substr(5) : "";
            result = starts(rest, "OK")    ? S_OK
                     : starts(rest, "NO")  ? S_FALSE
                     : starts(rest, "BAD") ? E_INVALIDARG
                     : starts(rest, "BYE") ? E_ABORT
                                           : E_UNEXPECTED;
            reply += rest + (complete ? "\n" : "");
        } else if (!line.empty() && line[0] == '*') {
            std::string rest = line.size() > 2 ? line.substr(2) : "";
            int status = starts(rest, "OK")    ? 0
                         : starts(rest, "NO")  ? 1
                         : starts(rest, "BAD") ? 2
                         : starts(rest, "BYE") ? 3
                                               : -1;
            if (status < 0) {
                reply += rest + (complete ? "\n" : "");
            } else if (greeting) {
                done = true;
                reply += rest;
                result = status;
            }
        } else {
            reply += line + (complete ? "\n" : "");
        }
        acc.erase(0, line.size());
        while (!acc.empty() && space(acc.front()))
            acc.erase(0, 1);
        while (!acc.empty() && space(acc.back()))
            acc.pop_back();
        if (done)
            return {result, reply};
        if (acc.empty() && !receive())
            return {result, reply};
    }
}

Outcome Read(bool greeting, const std::vector<std::string>& pieces) {
    std::string reply = "left from before";
    ImapReplyReader reader(greeting, &reply);
    reply.clear();
    for (const std::string& p : pieces) {
        if (p.empty())
            continue;  // nothing read: the peer closed
        if (reader.feed(p))
            break;
    }
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
    {false,
     "* X-GETSCRIPT {44}\r\nif header :is \"From\" \"a\" {\r\n    keep;\r\n}\r\n\r\n"
     "A000 OK X-GETSCRIPT completed.\r\n"},
    {false, "+ go ahead\r\nA000 NO [AUTHENTICATIONFAILED] nope\r\n"},
    {false, "* BYE going away\r\nA000 BAD what\r\n* 3 EXISTS\r\n"},
    {false, "* A\n* B\nA000 BYE\n"},
    {false, "A0001 OK not ours\r\n* 1 FETCH (FLAGS (\\Seen))\r\nA000 OKAY\r\n"},
    {false, "*\r\nA000\r\n"},
    {false, "* ACL INBOX anna lrswipcda\r\nA000 XYZ odd\r\n"},
    {false, "* ACL INBOX anna lrswipcda\r\n* ACL INBOX bob lr\r\n"},  // closed before the tag
    {false, "* CAPABILITY IMAP4rev1\0\r\nA000 OK hidden\r\n"s},
};

TEST(ReplyReader, EverySplitGivesTheModelsReply) {
    for (const auto& [greeting, textLiteral] : kSamples) {
        const std::string text = textLiteral;
        SCOPED_TRACE(text);
        EXPECT_EQ(Read(greeting, {text}), Model(greeting, {text}));
        for (size_t i = 0; i <= text.size(); ++i) {
            std::vector<std::string> two = {text.substr(0, i), text.substr(i)};
            ASSERT_EQ(Read(greeting, two), Model(greeting, two)) << "split at " << i;
            for (size_t j = i; j <= text.size(); j += 3) {
                std::vector<std::string> three = {text.substr(0, i), text.substr(i, j - i),
                                                  text.substr(j)};
                ASSERT_EQ(Read(greeting, three), Model(greeting, three))
                    << "split at " << i << " and " << j;
            }
        }
        std::vector<std::string> bytes;
        for (char c : text)
            bytes.emplace_back(1, c);
        EXPECT_EQ(Read(greeting, bytes), Model(greeting, bytes)) << "one byte at a time";
    }
}

TEST(ReplyReader, ReplyTextOfWholeReplies) {
    // The greeting alone in its piece keeps its carriage return; without a line break.
    EXPECT_EQ(Read(true, {"* OK Qorva ready\r\n"}), (Outcome{0, "OK Qorva ready\r"}));
    EXPECT_EQ(Read(true, {"* no go away\r\n"}), (Outcome{1, "no go away\r"}));
    EXPECT_EQ(Read(true, {"* BAD syntax\r\n"}), (Outcome{2, "BAD syntax\r"}));
    EXPECT_EQ(Read(true, {"* BYE closing\r\n"}), (Outcome{3, "BYE closing\r"}));
    // Alerts dropped, data without "* ", the tagged line without its tag; the last line of the
    // piece comes without its line break.
    EXPECT_EQ(Read(false, {"* CAPABILITY IMAP4rev1 ACL\r\n* OK [ALERT] full\r\nA000 OK done\r\n"}),
              (Outcome{S_OK, "CAPABILITY IMAP4rev1 ACL\r\nOK done"}));
    // Tag and status in lower case complete the command.
    EXPECT_EQ(Read(false, {"a000 ok fine\r\n"}), (Outcome{S_OK, "ok fine\r\n"}));
    EXPECT_EQ(Read(false, {"A000 NO x\r\n"}).result, S_FALSE);
    EXPECT_EQ(Read(false, {"A000 BAD x\r\n"}).result, E_INVALIDARG);
    EXPECT_EQ(Read(false, {"A000 BYE x\r\n"}).result, E_ABORT);
    EXPECT_EQ(Read(false, {"A000 WHAT x\r\n"}).result, E_UNEXPECTED);
    EXPECT_EQ(Read(false, {"A000 OKAY\r\n"}).result, S_OK);
    // Indented lines come back unindented, empty lines are lost.
    EXPECT_EQ(Read(false, {"* X-GETSCRIPT {20}\r\nif true {\r\n\r\n    keep;\r\n}\r\nA000 OK\r\n"}),
              (Outcome{S_OK, "X-GETSCRIPT {20}\r\nif true {\r\nkeep;\r\n}\r\nOK"}));
    // A line cut at the end of a piece is joined to the next piece.
    EXPECT_EQ(Read(false, {"* LSUB a\r\n* LSUB b\r\n", "* LSUB c\r\nA000 OK\r\n"}),
              (Outcome{S_OK, "LSUB a\r\nLSUB bLSUB c\r\nOK"}));
    // After the tagged line nothing more is read.
    EXPECT_EQ(Read(false, {"A000 OK\r\n* 9 EXISTS\r\n"}), (Outcome{S_OK, "OK\r\n"}));
    // A zero byte ends what is appended; the tagged line after it never arrives.
    EXPECT_EQ(Read(false, {"* DATA x\0\r\nA000 OK\r\n"s}), (Outcome{E_UNEXPECTED, "DATA x"}));
}

TEST(ReplyReader, WithoutReplyTextOnlyTheResultCounts) {
    ImapReplyReader reader(false, nullptr);
    EXPECT_FALSE(reader.feed("* CAPABILITY ACL\r\n"));
    EXPECT_EQ(reader.result(), E_UNEXPECTED);
    EXPECT_TRUE(reader.feed("A000 NO\r\n"));
    EXPECT_EQ(reader.result(), S_FALSE);
}

TEST(ReplyReader, EndlessReplyStopsAtTheLimit) {
    // A server that streams data and never sends the tagged line cannot exhaust the host.
    std::string reply;
    ImapReplyReader reader(false, &reply, 64);
    bool done = false;
    for (int i = 0; i < 100 && !done; ++i) {
        done = reader.feed("* LSUB () \"/\" Folder\r\n");
    }
    EXPECT_TRUE(done);
    EXPECT_EQ(reader.result(), E_OUTOFMEMORY);
    EXPECT_LE(reply.size(), 64u);
    ImapReplyReader uncollected(false, nullptr, 64);
    done = false;
    for (int i = 0; i < 100 && !done; ++i) {
        done = uncollected.feed("* LSUB () \"/\" Folder\r\n");
    }
    EXPECT_EQ(uncollected.result(), E_OUTOFMEMORY);
    // Under the limit nothing changes.
    std::string small;
    ImapReplyReader fits(false, &small, 64);
    EXPECT_TRUE(fits.feed("* X\r\nA000 OK done\r\n"));
    EXPECT_EQ(fits.result(), S_OK);
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
