// The mailbox commands and the folder listing against a real Dovecot. The ANSI code page is
// Windows-1250 here (set by the test's environment), so that Czech folder names have an ANSI
// form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/dovecot_fixture.h"
#include "folders/folder_list.h"
#include "folders/folder_names.h"
#include "wqrt.h"

namespace wq::testing {
namespace {

size_t Count(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++n;
    }
    return n;
}

class MailboxDovecotTest : public DovecotTest {
  protected:
    // Appends a message to a folder and sets its flags ("" for none).
    void AddMessage(const std::string& folder, const std::string& subject,
                    const std::string& flags) {
        Doveadm("save -u anna -m '" + folder + "'", "Subject: " + subject + "\r\n\r\nbody\r\n");
        if (!flags.empty()) {
            Doveadm("flags add -u anna '" + flags + "' mailbox '" + folder + "' HEADER Subject " +
                    subject);
        }
    }
};

TEST_F(MailboxDovecotTest, SetAllReadUnreadAndExpungeAreSeenByAnotherConnection) {
    AddMessage("INBOX", "one", "");
    AddMessage("INBOX", "two", "\\Seen");
    AddMessage("INBOX", "three", "\\Flagged");
    const std::string flags = "-f flow fetch -u anna flags mailbox INBOX all";
    // Dovecot reads the LF CR LF ending as a command and an empty line, and answers the empty
    // line with an untagged BAD after the command's completion; the next command's reply
    // absorbs it.
    EXPECT_EQ(WqSetAllRead(&account_, "Inbox"), S_OK);
    std::string after = Doveadm(flags);
    EXPECT_EQ(Count(after, "flags="), 3u) << after;
    EXPECT_EQ(Count(after, "\\Seen"), 3u) << after;
    EXPECT_EQ(Count(after, "\\Flagged"), 1u) << after;

    EXPECT_EQ(WqSetAllUnread(&account_, "Inbox"), S_OK);
    after = Doveadm(flags);
    EXPECT_EQ(Count(after, "\\Seen"), 0u) << after;
    EXPECT_EQ(Count(after, "\\Flagged"), 1u) << after;

    // A missing folder is NO; an empty one makes Dovecot answer STORE 1:* with BAD.
    EXPECT_EQ(WqSetAllRead(&account_, "Nowhere"), S_FALSE);
    Doveadm("mailbox create -u anna Empty");
    EXPECT_EQ(WqSetAllRead(&account_, "Empty"), E_INVALIDARG);

    // Expunge in a folder with a non-ASCII name (e-acute, the same byte in Windows-1250).
    Doveadm("mailbox create -u anna 'INBOX/Caf\xC3\xA9'");
    AddMessage("INBOX/Caf\xC3\xA9", "keep", "\\Seen");
    AddMessage("INBOX/Caf\xC3\xA9", "gone", "\\Deleted");
    AddMessage("INBOX/Caf\xC3\xA9", "gone-too", "\\Deleted \\Seen");
    EXPECT_EQ(WqExpunge(&account_, "Inbox/Caf\xE9"), S_OK);
    after = Doveadm("-f flow fetch -u anna flags mailbox 'INBOX/Caf\xC3\xA9' all");
    EXPECT_EQ(Count(after, "flags="), 1u) << after;
    EXPECT_EQ(Count(after, "\\Deleted"), 0u) << after;
    EXPECT_EQ(WqExpunge(&account_, "Inbox/Caf\xE9"), S_OK);
    EXPECT_TRUE(headless::Events().empty());
}

TEST_F(MailboxDovecotTest, ListingGivesDisplayNamesOfNestedAndCzechFolders) {
    Doveadm(
        "mailbox create -s -u anna '\xC3\x9A\xC4\x8Dty' '\xC3\x9A\xC4\x8Dty/Faktury' "
        "'My Stuff' INBOX/Work 'Tom & Jerry'");
    Doveadm("mailbox subscribe -u anna INBOX");
    std::vector<FolderEntry> folders;
    ASSERT_EQ(ListFolders(&folders), S_OK);
    std::vector<std::string> rows;
    for (const FolderEntry& e : folders) {
        rows.push_back(MapServerToDisplay(e.serverName) + "|" + std::to_string(e.depth) + "|" +
                       e.leaf);
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows,
              (std::vector<std::string>{"Inbox/Work|1|Work", "Inbox|0|INBOX", "My Stuff|0|My Stuff",
                                        "Tom & Jerry|0|Tom & Jerry", "\xDA\xE8ty/Faktury|1|Faktury",
                                        "\xDA\xE8ty|0|\xDA\xE8ty"}));
}

}  // namespace
}  // namespace wq::testing
