// The LSUB listing read from reply texts as the IMAP session leaves them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "folders/folder_list.h"
#include "folders/folder_names.h"
#include "net/imap.h"

namespace wq {
namespace {

// "name|depth|leaf|s" per entry ("n" for a folder that cannot be selected).
std::vector<std::string> Rows(const std::string& reply) {
    std::vector<std::string> rows;
    for (const FolderEntry& e : ParseFolderList(reply)) {
        rows.push_back(e.serverName + "|" + std::to_string(e.depth) + "|" + e.leaf + "|" +
                       (e.selectable ? "s" : "n"));
    }
    return rows;
}

using Strings = std::vector<std::string>;

TEST(FolderList, SpecialFoldersNestingAndSelectability) {
    const std::string reply =
        "LSUB () \"/\" \"INBOX\"\r\n"
        "LSUB () \"/\" \"INBOX/Work\"\r\n"
        "LSUB (\\Noselect) \"/\" \"#public\"\r\n"
        "LSUB () \"/\" \"#public/Projects\"\r\n"
        "OK LSUB completed.";
    EXPECT_EQ(Rows(reply), (Strings{"INBOX|0|INBOX|s", "INBOX/Work|1|Work|s", "#public|0|#public|n",
                                    "#public/Projects|1|Projects|s"}));
    EXPECT_EQ(MapServerToDisplay("#public/Projects"), "Public Folders/Projects");
    EXPECT_EQ(MapDisplayToServer("Public Folders/Projects"), "#public/Projects");

    // The completion line may end in a line break of its own; deeper paths count every level.
    EXPECT_EQ(Rows("LSUB () \"/\" \"a/b/c/d\"\r\nOK LSUB completed.\r\n"),
              (Strings{"a/b/c/d|3|d|s"}));
}

TEST(FolderList, CompletionAndForeignLinesAreNotFolders) {
    EXPECT_TRUE(Rows("").empty());
    EXPECT_TRUE(Rows("OK LSUB completed.").empty());
    EXPECT_TRUE(Rows("OK LSUB completed.\r\n").empty());
    // A name with OK in capitals is a folder like any other; data lines of other commands and
    // the lines of other shapes are not folders.
    EXPECT_EQ(Rows("LSUB () \"/\" \"OK\"\r\n"
                   "LSUB () \"/\" \"OK Stuff/NO\"\r\n"
                   "3 EXISTS\r\n"
                   "LSUB () \".\" \"Dotted.Name\"\r\n"
                   "LSUB () NIL \"Flat\"\r\n"
                   "LSUB () \"/\" {5}\r\n"
                   "Lit/x\r\n"
                   "LSUB () \"/\" \"\"\r\n"
                   "LSUB \"/\" \"NoAttributes\"\r\n"
                   "OK LSUB completed."),
              (Strings{"OK|0|OK|s", "OK Stuff/NO|1|NO|s"}));
    // Other attributes are tolerated; \Noselect counts wherever it stands, in any case.
    EXPECT_EQ(Rows("lsub (\\HasChildren) \"/\" \"A\"\r\n"
                   "LSUB (\\HasChildren \\NOSELECT) \"/\" \"B\"\r\n"
                   "OK done"),
              (Strings{"A|0|A|s", "B|0|B|n"}));
}

TEST(FolderList, NamesAreDecodedAndUnquoted) {
    // Modified UTF-7 (e-acute is 0xE9 in the ANSI code page), "&-" for the ampersand, atoms
    // as Dovecot sends them, and quotes inside names lost.
    EXPECT_EQ(Rows("LSUB () \"/\" \"Caf&AOk-/R&AOk-sum&AOk-s\"\r\n"
                   "LSUB () \"/\" \"Tom &- Jerry\"\r\n"
                   "LSUB () \"/\" INBOX/Work\r\n"
                   "LSUB () \"/\" \"My \\\"Best\\\"\"\r\n"
                   "OK LSUB completed."),
              (Strings{"Caf\xE9/R\xE9sum\xE9s|1|R\xE9sum\xE9s|s", "Tom & Jerry|0|Tom & Jerry|s",
                       "INBOX/Work|1|Work|s", "My \\Best\\|0|My \\Best\\|s"}));
    // A broken name (a base64 run left open, raw 8-bit bytes, an encoded zero) spoils only
    // itself.
    EXPECT_EQ(Rows("LSUB () \"/\" \"x&Zz\xFF\"\r\nLSUB () \"/\" \"Raw\xC3\xA9/&AAA-\"\r\n"
                   "LSUB () \"/\" \"&AAA-\"\r\nLSUB () \"/\" \"y\"\r\nOK")
                  .back(),
              "y|0|y|s");
}

TEST(FolderList, QuotesInsideNamesAreDroppedNotTheirTail) {
    EXPECT_EQ(Rows("LSUB () \"/\" \"a\"b\"\r\n"
                   "LSUB () \"/\" \"q\" \"r\"\r\n"
                   "LSUB () \"/\" \"x\"/\"y\"\r\n"
                   "OK LSUB completed."),
              (Strings{"ab|0|ab|s", "q r|0|q r|s", "x/y|1|y|s"}));
}

// Every way a server's reply can arrive in two pieces gives the same folders.
TEST(FolderList, EverySplitOfTheServerReplyGivesTheSameFolders) {
    const std::string wire =
        "* LSUB () \"/\" \"INBOX\"\r\n"
        "* LSUB () \"/\" \"INBOX/Caf&AOk-\"\r\n"
        "* OK [ALERT] Maintenance at noon\r\n"
        "* LSUB (\\Noselect) \"/\" \"#public\"\r\n"
        "* LSUB () \"/\" \"#public/Projects\"\r\n"
        "A000 OK LSUB completed.\r\n";
    const Strings expected{"INBOX|0|INBOX|s", "INBOX/Caf\xE9|1|Caf\xE9|s", "#public|0|#public|n",
                           "#public/Projects|1|Projects|s"};
    for (size_t cut = 0; cut <= wire.size(); ++cut) {
        std::string reply;
        net::ImapReplyReader reader(false, &reply);
        reader.feed(wire.substr(0, cut));
        ASSERT_TRUE(reader.feed(wire.substr(cut)));
        EXPECT_EQ(reader.result(), S_OK);
        EXPECT_EQ(Rows(reply), expected) << "split at " << cut << ":\n" << reply;
    }
}

}  // namespace
}  // namespace wq
