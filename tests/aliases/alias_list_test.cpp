// The X-LISTMAP reply reader and the alias command lines, without a server.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "folders/aliases.h"
#include "net/imap.h"

namespace wq {
namespace {

std::string Show(const std::vector<AliasEntry>& entries) {
    std::string t;
    for (const AliasEntry& e : entries) {
        t += std::to_string(e.kind) + "|" + e.folder + "|" + e.alias + "\n";
    }
    return t;
}

TEST(AliasList, KindsMappingAndTheTilde) {
    EXPECT_EQ(Show(ParseAliasList("X-LISTMAP \"sales\" \"~INBOX/Sales\"\r\n"
                                  "X-LISTMAP \"help\" \"#public/Support\"\r\n"
                                  "X-LISTMAP \"all\" \"INBOX\"\r\n"
                                  "X-LISTMAP \"b\" \"~#backup\"\r\n"
                                  "X-LISTMAP \"bk\" \"#backup/2024\"\r\n"
                                  "OK X-LISTMAP completed.\r\n")),
              "1|INBOX/Sales|sales\n"  // the "~" keeps INBOX from the mapping
              "2|Public Folders/Support|help\n"
              "1|Inbox|all\n"
              "1|#backup|b\n"
              "2|Backup Folders/2024|bk\n");

    // Modified UTF-7 in both names, to the local code page (1252 here).
    EXPECT_EQ(Show(ParseAliasList("X-LISTMAP \"caf&AOk-\" \"~Entw&APw-rfe\"")),
              "1|Entw\xFCrfe|caf\xE9\n");
}

TEST(AliasList, LineShapes) {
    // Indented lines count; the prefix is case-sensitive and needs its blank; a pair without
    // quote-blank-quote is skipped; the split is at the first quote-blank-quote, so a blank
    // after a quote inside the alias moves text into the folder.
    EXPECT_EQ(Show(ParseAliasList("   X-LISTMAP   \"a\" \"~A\"   \n"
                                  "x-listmap \"b\" \"~B\"\n"
                                  "X-LISTMAP\"c\" \"~C\"\n"
                                  "X-LISTMAP \"d\"\n"
                                  "X-LISTMAP \n"
                                  "X-LISTMAP x\n"
                                  "X-LISTMAP \"e\" \"f\" \"~E\"\n"
                                  "X-LISTMAP \"\" \"\"\n"
                                  "LSUB () \"/\" INBOX\n")),
              "1|A|a\n"
              "1|f\" \"~E|e\n"  // the tilde is not at the front of that folder
              "1||\n");
    EXPECT_TRUE(ParseAliasList("").empty());
    EXPECT_TRUE(ParseAliasList("OK X-LISTMAP completed.\r\n").empty());
}

TEST(AliasList, AnyCutInsideALineGivesTheSameEntries) {
    const std::string wire =
        "* X-LISTMAP \"sales\" \"~INBOX/Sales\"\r\n* OK [ALERT] ignored\r\n"
        "  * X-LISTMAP \"help desk\" \"#public/Support\"\r\n"
        "* X-LISTMAP \"caf&AOk-\" \"~Entw&APw-rfe\"\r\nA000 OK X-LISTMAP completed.\r\n";
    auto collect = [](const std::vector<std::string>& pieces, bool* done) {
        std::string reply;
        net::ImapReplyReader reader(false, &reply);
        *done = false;
        for (const std::string& p : pieces) {
            if (!p.empty() && reader.feed(p)) {
                *done = true;
                break;
            }
        }
        return reply;
    };
    bool done = false;
    const std::string whole = Show(ParseAliasList(collect({wire}, &done)));
    ASSERT_TRUE(done);
    ASSERT_EQ(whole,
              "1|INBOX/Sales|sales\n2|Public Folders/Support|help desk\n"
              "1|Entw\xFCrfe|caf\xE9\n");
    // A piece ending in white space loses it and joins the next (the session trims the end of
    // each received piece); every other cut before the tagged line leaves the entries as they were.
    const size_t tagged = wire.find("A000");
    for (size_t i = 1; i < tagged; ++i) {
        if (std::isspace(static_cast<unsigned char>(wire[i - 1])))
            continue;
        std::string reply = collect({wire.substr(0, i), wire.substr(i)}, &done);
        ASSERT_TRUE(done) << "cut at " << i;
        ASSERT_EQ(Show(ParseAliasList(reply)), whole) << "cut at " << i;
    }
}

TEST(AliasCommands, SetMapAndDeleteMapLines) {
    std::string c;
    ASSERT_TRUE(BuildSetMapCommand("  Inbox/Sales \t", " sales ", &c));
    EXPECT_EQ(c, "X-SETMAP \"sales\" \"~INBOX/Sales\"");
    ASSERT_TRUE(BuildSetMapCommand("#public/Support", "help", &c));
    EXPECT_EQ(c, "X-SETMAP \"help\" \"#public/Support\"");
    ASSERT_TRUE(BuildSetMapCommand("Public Folders/Support", "help", &c));
    EXPECT_EQ(c, "X-SETMAP \"help\" \"#public/Support\"");
    ASSERT_TRUE(BuildSetMapCommand("~Work", "w", &c));
    EXPECT_EQ(c, "X-SETMAP \"w\" \"~Work\"");
    ASSERT_TRUE(BuildSetMapCommand("Entw\xFCrfe", "caf\xE9", &c));
    EXPECT_EQ(c, "X-SETMAP \"caf&AOk-\" \"~Entw&APw-rfe\"");

    c = "untouched";
    for (auto [folder, alias] :
         std::vector<std::pair<const char*, const char*>>{{"Work", "   "},
                                                          {" \t", "w"},
                                                          {"", ""},
                                                          {"Work", "a\r\nA000 LOGOUT"},
                                                          {"Wo\nrk", "w"},
                                                          {"Work", "a\"b"},
                                                          {"W\"ork", "w"}}) {
        EXPECT_FALSE(BuildSetMapCommand(folder, alias, &c)) << folder << "|" << alias;
    }
    EXPECT_EQ(c, "untouched");

    ASSERT_TRUE(BuildDeleteMapCommand("  sales ", &c));
    EXPECT_EQ(c, "X-DELETEMAP \"sales\"");
    ASSERT_TRUE(BuildDeleteMapCommand("caf\xE9", &c));
    EXPECT_EQ(c, "X-DELETEMAP \"caf&AOk-\"");
    ASSERT_TRUE(BuildDeleteMapCommand("", &c));  // the server decides about an empty name
    EXPECT_EQ(c, "X-DELETEMAP \"\"");
    EXPECT_FALSE(BuildDeleteMapCommand("a\rb", &c));
    EXPECT_FALSE(BuildDeleteMapCommand("a\"b", &c));
}

}  // namespace
}  // namespace wq
