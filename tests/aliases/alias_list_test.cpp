// The X-LISTMAP reply reader and the alias command lines, without a server. That a reply cut
// into pieces reads as the same text is the reply reader's to prove.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "folders/aliases.h"

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
                                  "X-LISTMAP \"help desk\" \"#public/Support\"\r\n"
                                  "X-LISTMAP \"all\" \"INBOX\"\r\n"
                                  "X-LISTMAP \"b\" \"~#backup\"\r\n"
                                  "X-LISTMAP \"bk\" \"#backup/2024\"\r\n"
                                  "OK X-LISTMAP completed.\r\n")),
              "1|INBOX/Sales|sales\n"  // the "~" keeps INBOX from the mapping
              "2|Public Folders/Support|help desk\n"
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

TEST(AliasCommands, SetMapAndDeleteMapLines) {
    std::string c;
    const struct {
        const char *folder, *alias, *line;
    } lines[] = {{"  Inbox/Sales \t", " sales ", "X-SETMAP \"sales\" \"~INBOX/Sales\""},
                 {"#public/Support", "help", "X-SETMAP \"help\" \"#public/Support\""},
                 {"Public Folders/Support", "help", "X-SETMAP \"help\" \"#public/Support\""},
                 {"~Work", "w", "X-SETMAP \"w\" \"~Work\""},
                 {"Entw\xFCrfe", "caf\xE9", "X-SETMAP \"caf&AOk-\" \"~Entw&APw-rfe\""}};
    for (const auto& l : lines) {
        ASSERT_TRUE(BuildSetMapCommand(l.folder, l.alias, &c)) << l.folder;
        EXPECT_EQ(c, l.line);
    }

    c = "untouched";
    const std::pair<const char*, const char*> refused[] = {
        {"Work", "   "}, {" \t", "w"},     {"", ""},       {"Work", "a\r\nA000 LOGOUT"},
        {"Wo\nrk", "w"}, {"Work", "a\"b"}, {"W\"ork", "w"}};
    for (const auto& [folder, alias] : refused) {
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
