// The mailbox commands and the folder listing end to end against the in-process qorvad.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "folders/folder_list.h"
#include "folders/folder_names.h"
#include "net/mailbox.h"
#include "net/qorvad_fixture.h"

namespace wq::net {
namespace {

using headless::DialogView;
using MailboxTest = QorvadTest;

const std::string kLogin = "A000 LOGIN anna secret\r\n";

// The messages of the folder, "*" after a seen one.
std::string Messages(qorvad::Server& server, const std::string& folder) {
    std::string out;
    for (const qorvad::Message& m : server.store().messages("anna", folder)) {
        out += (out.empty() ? "" : " ") + m.text + (m.hasFlag("\\Seen") ? "*" : "");
    }
    return out;
}

// One connection per call: SELECT and STORE end in their own line feed (the empty line after
// it is the server's to skip), EXPUNGE does not; LOGOUT ends every call.
TEST_F(MailboxTest, CommandsOnTheWireAndWhatTheyChange) {
    server_.store().addMessage("anna", "INBOX", "one");
    server_.store().addMessage("anna", "INBOX", "two", {"\\Seen", "\\Deleted"});
    server_.store().addMessage("anna", "INBOX", "three", {"\\Flagged"});
    ASSERT_TRUE(server_.store().addFolder("anna", "INBOX/Orders"));
    server_.store().addMessage("anna", "INBOX/Orders", "four", {"\\Seen"});
    const struct {
        WqResult(WQ_API* call)(AccountSettings*, const char*);
        const char *folder, *wire, *serverFolder, *after;
    } calls[] = {
        {WqSetAllRead, "Inbox", "SELECT \"INBOX\"\n\r\nA000 STORE 1:* +FLAGS (\\Seen)\n\r\n",
         "INBOX", "one* two* three*"},
        {WqSetAllUnread, "Inbox/Orders",
         "SELECT \"INBOX/Orders\"\n\r\nA000 STORE 1:* -FLAGS (\\Seen)\n\r\n", "INBOX/Orders",
         "four"},
        {WqExpunge, "Inbox", "SELECT \"INBOX\"\n\r\nA000 EXPUNGE\r\n", "INBOX", "one* three*"},
        {WqExpunge, "Inbox", "SELECT \"INBOX\"\n\r\nA000 EXPUNGE\r\n", "INBOX", "one* three*"}};
    for (const auto& c : calls) {
        server_.clearReceived();
        EXPECT_EQ(c.call(&account_, c.folder), S_OK) << c.wire;
        EXPECT_EQ(server_.received(), kLogin + "A000 " + c.wire + "A000 LOGOUT\r\n");
        EXPECT_EQ(Messages(server_, c.serverFolder), c.after);
        EXPECT_EQ(server_.connectionCount(), 1u);
    }
    EXPECT_TRUE(shown().empty());
}

TEST_F(MailboxTest, FolderNamesGoMappedAndInModifiedUtf7) {
    const struct {
        const char *display, *select;  // the folder as the host names it, the SELECT line sent
    } cases[] = {
        {"Public Folders/Projects", "A000 SELECT \"#public/Projects\"\n\r\n"},
        {"Backup Folders", "A000 SELECT \"#backup\"\n\r\n"},
        {"inbox", "A000 SELECT \"inbox\"\n\r\n"},  // case counts: not the special folder
        {"Archive/Inbox", "A000 SELECT \"Archive/Inbox\"\n\r\n"},
        {"Caf\xE9 & Bar", "A000 SELECT \"Caf&AOk- &- Bar\"\n\r\n"},
        {"say \"hi\"", "A000 SELECT \"say \"hi\"\"\n\r\n"},  // unescaped; the server decides
    };
    for (const auto& c : cases) {
        server_.clearReceived();
        WqExpunge(&account_, c.display);
        const std::string wire = server_.received();
        EXPECT_EQ(wire.substr(0, kLogin.size()), kLogin) << c.display;
        EXPECT_EQ(wire.substr(kLogin.size(), std::string(c.select).size()), c.select) << c.display;
    }
}

TEST_F(MailboxTest, ServerAnswersDecideTheResult) {
    // A folder that does not exist: NO to SELECT, no STORE and no LOGOUT.
    EXPECT_EQ(WqSetAllRead(&account_, "Nowhere"), S_FALSE);
    EXPECT_EQ(server_.received(), kLogin + "A000 SELECT \"Nowhere\"\n\r\n");

    server_.store().addMessage("anna", "INBOX", "one");
    setFaults([](qorvad::Faults& f) { f.scripted["STORE"] = "NO"; });
    EXPECT_EQ(WqSetAllRead(&account_, "Inbox"), S_FALSE);
    setFaults([](qorvad::Faults& f) { f.scripted["STORE"] = "BAD"; });
    EXPECT_EQ(WqSetAllUnread(&account_, "Inbox"), E_INVALIDARG);
    setFaults([](qorvad::Faults& f) { f.scripted["EXPUNGE"] = "NO"; });
    EXPECT_EQ(WqExpunge(&account_, "Inbox"), S_FALSE);
    // LOGOUT still follows a refused command.
    EXPECT_EQ(server_.receivedPerConnection().back(),
              kLogin + "A000 SELECT \"INBOX\"\n\r\nA000 EXPUNGE\r\nA000 LOGOUT\r\n");

    // A session that does not open (the session's own tests show every way): its result.
    setFaults([](qorvad::Faults& f) {
        f.scripted.clear();
        f.greeting = "BYE";
    });
    server_.clearReceived();
    EXPECT_EQ(WqExpunge(&account_, "Inbox"), 3);
    EXPECT_EQ(server_.received(), "");
}

TEST_F(MailboxTest, BadArgumentsAreRefusedBeforeAnythingIsSent) {
    EXPECT_EQ(WqSetAllRead(nullptr, "Inbox"), E_INVALIDARG);
    EXPECT_EQ(WqSetAllUnread(&account_, nullptr), E_INVALIDARG);
    EXPECT_EQ(WqExpunge(nullptr, nullptr), E_INVALIDARG);
    for (const char* name : {"Inbox\r\nA000 DELETE INBOX", "a\nb", "a\rb"}) {
        EXPECT_EQ(WqExpunge(&account_, name), E_INVALIDARG) << name;
        EXPECT_EQ(WqSetAllRead(&account_, name), E_INVALIDARG) << name;
    }
    EXPECT_EQ(server_.connectionCount(), 0u);
    EXPECT_TRUE(shown().empty());
}

TEST_F(MailboxTest, RefusedLoginShowsTheLogonDialogWithoutRememberPassword) {
    account_.password = "wrong";
    account_.rememberPassword = 1;
    headless::OnDialog([](DialogView& v) {
        EXPECT_FALSE(v.enabled(221));
        EXPECT_FALSE(v.checked(221));  // the mailbox commands do not offer to remember
        v.type(220, "secret");
        v.click(1);
    });
    server_.store().addMessage("anna", "INBOX", "one");
    EXPECT_EQ(WqSetAllRead(&account_, "Inbox"), S_OK);
    EXPECT_EQ(shown(),
              (std::vector<std::string>{"The user name or password is incorrect.", "dialog 4100"}));
    EXPECT_EQ(server_.received(), "A000 LOGIN anna wrong\r\n" + kLogin +
                                      "A000 SELECT \"INBOX\"\n\r\n"
                                      "A000 STORE 1:* +FLAGS (\\Seen)\n\r\n"
                                      "A000 LOGOUT\r\n");
    EXPECT_EQ(account_.rememberPassword, 1);
}

TEST_F(MailboxTest, ListingReadsTheSubscribedFolders) {
    qorvad::Mailstore& store = server_.store();
    ASSERT_TRUE(store.addFolder("anna", "INBOX/Work"));
    ASSERT_TRUE(store.addFolder("anna", "Caf&AOk-"));
    ASSERT_TRUE(store.addFolder("anna", "Caf&AOk-/OK"));
    ASSERT_TRUE(store.addFolder("anna", "Hidden", false));
    ASSERT_TRUE(store.addFolder("anna", "#public", true, false));
    ASSERT_TRUE(store.addFolder("anna", "#public/Projects"));
    std::vector<FolderEntry> folders{FolderEntry{"stale", "stale", 0, true}};
    EXPECT_EQ(ListFolders(&folders), S_OK);
    std::vector<std::string> rows;
    for (const FolderEntry& e : folders) {
        rows.push_back(MapServerToDisplay(e.serverName) + "|" + std::to_string(e.depth) + "|" +
                       e.leaf + (e.selectable ? "" : "|noselect"));
    }
    EXPECT_EQ(rows,
              (std::vector<std::string>{"Inbox|0|INBOX", "Inbox/Work|1|Work", "Caf\xE9|0|Caf\xE9",
                                        "Caf\xE9/OK|1|OK", "Public Folders|0|#public|noselect",
                                        "Public Folders/Projects|1|Projects"}));
    EXPECT_EQ(server_.received(), kLogin + "A000 LSUB \"\" \"*\"\r\nA000 LOGOUT\r\n");

    // A failure comes back as it came, with no folders.
    setFaults([](qorvad::Faults& f) { f.scripted["LSUB"] = "NO"; });
    EXPECT_EQ(ListFolders(&folders), S_FALSE);
    EXPECT_TRUE(folders.empty());
}

}  // namespace
}  // namespace wq::net
