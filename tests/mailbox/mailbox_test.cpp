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
using headless::MessageBoxView;
using MailboxTest = QorvadTest;

const std::string kLogin = "A000 LOGIN anna secret\r\n";

// The \Seen flag of each message of the folder, as '1' or '0'.
std::string Seen(qorvad::Server& server, const std::string& folder) {
    std::string out;
    for (const qorvad::Message& m : server.store().messages("anna", folder)) {
        out += m.hasFlag("\\Seen") ? '1' : '0';
    }
    return out;
}

TEST_F(MailboxTest, SetAllReadAndUnreadSendSelectAndStoreEndingInTheirOwnLineFeed) {
    server_.store().addMessage("anna", "INBOX", "one");
    server_.store().addMessage("anna", "INBOX", "two", {"\\Seen"});
    server_.store().addMessage("anna", "INBOX", "three", {"\\Flagged"});
    ASSERT_TRUE(server_.store().addFolder("anna", "INBOX/Orders"));
    server_.store().addMessage("anna", "INBOX/Orders", "four", {"\\Seen"});

    EXPECT_EQ(WqSetAllRead(&account_, "Inbox"), S_OK);
    EXPECT_EQ(server_.received(), kLogin +
                                      "A000 SELECT \"INBOX\"\n\r\n"
                                      "A000 STORE 1:* +FLAGS (\\Seen)\n\r\n"
                                      "A000 LOGOUT\r\n");
    EXPECT_EQ(Seen(server_, "INBOX"), "111");

    server_.clearReceived();
    EXPECT_EQ(WqSetAllUnread(&account_, "Inbox/Orders"), S_OK);
    EXPECT_EQ(server_.received(), kLogin +
                                      "A000 SELECT \"INBOX/Orders\"\n\r\n"
                                      "A000 STORE 1:* -FLAGS (\\Seen)\n\r\n"
                                      "A000 LOGOUT\r\n");
    EXPECT_EQ(Seen(server_, "INBOX/Orders"), "0");
    EXPECT_EQ(Seen(server_, "INBOX"), "111");
    EXPECT_EQ(server_.connectionCount(), 1u);
    EXPECT_TRUE(shown().empty());
}

TEST_F(MailboxTest, FolderNamesGoMappedAndInModifiedUtf7) {
    struct Case {
        const char* display;
        const char* select;  // the SELECT line as sent
    };
    const Case cases[] = {
        {"Public Folders/Projects", "A000 SELECT \"#public/Projects\"\n\r\n"},
        {"Backup Folders", "A000 SELECT \"#backup\"\n\r\n"},
        {"inbox", "A000 SELECT \"inbox\"\n\r\n"},  // case counts: not the special folder
        {"Archive/Inbox", "A000 SELECT \"Archive/Inbox\"\n\r\n"},
        {"Caf\xE9 & Bar", "A000 SELECT \"Caf&AOk- &- Bar\"\n\r\n"},
        {"say \"hi\"", "A000 SELECT \"say \"hi\"\"\n\r\n"},  // unescaped; the server decides
    };
    for (const Case& c : cases) {
        server_.clearReceived();
        WqExpunge(&account_, c.display);
        const std::string wire = server_.received();
        EXPECT_EQ(wire.substr(0, kLogin.size()), kLogin) << c.display;
        EXPECT_EQ(wire.substr(kLogin.size(), std::string(c.select).size()), c.select) << c.display;
    }
}

TEST_F(MailboxTest, ExpungeRemovesTheDeletedMessages) {
    server_.store().addMessage("anna", "INBOX", "keep");
    server_.store().addMessage("anna", "INBOX", "gone", {"\\Deleted"});
    server_.store().addMessage("anna", "INBOX", "gone too", {"\\Deleted", "\\Seen"});
    EXPECT_EQ(WqExpunge(&account_, "Inbox"), S_OK);
    EXPECT_EQ(server_.received(),
              kLogin + "A000 SELECT \"INBOX\"\n\r\nA000 EXPUNGE\r\nA000 LOGOUT\r\n");
    auto left = server_.store().messages("anna", "INBOX");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].text, "keep");
    // Nothing left to remove is still success.
    EXPECT_EQ(WqExpunge(&account_, "Inbox"), S_OK);
    EXPECT_EQ(server_.store().messages("anna", "INBOX").size(), 1u);
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

    setFaults([](qorvad::Faults& f) {
        f.scripted.clear();
        f.greeting = "BYE";
    });
    server_.clearReceived();
    EXPECT_EQ(WqExpunge(&account_, "Inbox"), 3);
    EXPECT_EQ(server_.received(), "");

    account_.useSpa = 1;
    headless::OnMessageBox([](const MessageBoxView&) { return ui::kIdOk; });
    setFaults([](qorvad::Faults& f) { f.greeting = "OK"; });
    EXPECT_EQ(WqSetAllRead(&account_, "Inbox"), E_INVALIDARG);
    EXPECT_EQ(server_.received(), "");
    account_.useSpa = 0;

    // Nobody listening: the socket error as a result code.
    server_.stop();
    EXPECT_EQ(WqSetAllRead(&account_, "Inbox"), ResultFromSocketError(10061));
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
        EXPECT_EQ(v.text(219), "anna");
        EXPECT_EQ(v.text(220), "wrong");
        EXPECT_FALSE(v.enabled(221));
        EXPECT_FALSE(v.checked(221));
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
    EXPECT_STREQ(account_.password, "wrong");
}

TEST_F(MailboxTest, ListingReadsTheSubscribedFolders) {
    qorvad::Mailstore& store = server_.store();
    ASSERT_TRUE(store.addFolder("anna", "INBOX/Work"));
    ASSERT_TRUE(store.addFolder("anna", "Caf&AOk-"));
    ASSERT_TRUE(store.addFolder("anna", "Caf&AOk-/OK"));
    ASSERT_TRUE(store.addFolder("anna", "Hidden", false));
    ASSERT_TRUE(store.addFolder("anna", "#public", true, false));
    ASSERT_TRUE(store.addFolder("anna", "#public/Projects"));
    auto rows = [] {
        std::vector<FolderEntry> folders{FolderEntry{"stale", "stale", 0, true}};
        EXPECT_EQ(ListFolders(&folders), S_OK);
        std::vector<std::string> out;
        for (const FolderEntry& e : folders) {
            out.push_back(MapServerToDisplay(e.serverName) + "|" + std::to_string(e.depth) + "|" +
                          e.leaf + (e.selectable ? "" : "|noselect"));
        }
        return out;
    };
    const std::vector<std::string> expected{"Inbox|0|INBOX",
                                            "Inbox/Work|1|Work",
                                            "Caf\xE9|0|Caf\xE9",
                                            "Caf\xE9/OK|1|OK",
                                            "Public Folders|0|#public|noselect",
                                            "Public Folders/Projects|1|Projects"};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(server_.received(), kLogin + "A000 LSUB \"\" \"*\"\r\nA000 LOGOUT\r\n");

    // A failure comes back as it came, with no folders.
    setFaults([](qorvad::Faults& f) { f.scripted["LSUB"] = "NO"; });
    std::vector<FolderEntry> folders(3);
    EXPECT_EQ(ListFolders(&folders), S_FALSE);
    EXPECT_TRUE(folders.empty());
}

}  // namespace
}  // namespace wq::net
