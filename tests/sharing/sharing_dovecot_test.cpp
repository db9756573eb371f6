// Folder sharing against a real Dovecot (ACL plugin, ACL announced before login): rights added,
// changed and removed through the Sharing and Security page are what doveadm then reports, and
// the IMAP Folders dialog shows the rights of a folder that doveadm shared.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/dovecot_fixture.h"
#include "editor/imap_folders_dialog.h"
#include "editor/sharing_page.h"
#include "ids.h"

namespace wq::testing {
namespace {

using headless::DialogView;

class SharingDovecotTest : public DovecotTest {
  protected:
    SharingDovecotTest() : DovecotTest(true) {}
};

TEST_F(SharingDovecotTest, ThePageWritesWhatDoveadmReadsAndTheFoldersShowIt) {
    Doveadm("mailbox create -s -u anna Work Shared");
    Doveadm("mailbox subscribe -u anna INBOX");
    Doveadm("acl set -u anna Shared user=jdoe lookup read");
    auto jdoe = [&] {
        std::string acl = Doveadm("acl get -u anna Work");
        size_t at = acl.find("user=jdoe");
        std::istringstream line(at == std::string::npos ? "none"
                                                        : acl.substr(at, acl.find('\n', at) - at));
        std::string words, word;
        while (line >> word) {
            words += (words.empty() ? "" : " ") + word;
        }
        return words;
    };
    ui::PropertyPage page = nullptr;
    ASSERT_EQ(WqCreatePageSecurity("Work", &account_, &page), S_OK);
    headless::OnPropertySheet([&](headless::SheetView& s) {
        DialogView& v = s.page(0);
        // A folder nobody else may use: Dovecot lists its owner alone, who may change it.
        ASSERT_TRUE(v.enabled(IDC_SHARING_ADD));
        headless::OnDialog([](DialogView& d) {
            d.type(IDC_ADD_USER_NAME, "jdoe");
            d.click(ui::kIdOk);
        });
        v.click(IDC_SHARING_ADD);
        s.clickApply();
        EXPECT_EQ(jdoe(), "user=jdoe lookup read");
        v.clickTick(IDC_SHARING_RIGHTS, 2);  // Write
        s.clickApply();
        EXPECT_EQ(jdoe(), "user=jdoe lookup read write");
        headless::OnMessageBox([](const headless::MessageBoxView&) { return ui::kIdYes; });
        v.click(IDC_SHARING_REMOVE);
        s.clickOk();
    });
    EXPECT_EQ(ui::RunPropertySheet(nullptr, "", {page}, true), 1);
    EXPECT_EQ(jdoe(), "none");

    editor::ImapFoldersDialog dialog(&account_);
    EXPECT_EQ(dialog.run(nullptr), ui::kIdCancel);
    std::string shared;
    for (const editor::FolderRow& row : dialog.rows()) {
        shared += row.text + (row.shared ? " shared" : "") + ":" + row.rights + " ";
    }
    // Dovecot names every identifier of a folder on one ACL line: the owner and jdoe.
    EXPECT_NE(shared.find("Shared shared:"), std::string::npos) << shared;
    EXPECT_NE(shared.find("jdoe (lr)"), std::string::npos) << shared;
    EXPECT_NE(shared.find("Work: "), std::string::npos) << shared;
    EXPECT_EQ(headless::Events().size(), 4u);  // Add User/Group, the question, sheet, dialog
}

}  // namespace
}  // namespace wq::testing
