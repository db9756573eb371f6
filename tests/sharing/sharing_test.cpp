// Folder sharing against the in-process qorvad: the Sharing and Security page in a sheet of the
// test's own (as a host puts it into its sheet), Add User/Group, and the IMAP Folders dialog,
// with the exact commands on the wire.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "editor/add_user_dialog.h"
#include "editor/imap_folders_dialog.h"
#include "editor/sharing_page.h"
#include "ids.h"
#include "net/qorvad_fixture.h"

namespace wq::editor {
namespace {

using headless::DialogView;
using headless::SheetView;
constexpr int kNames = IDC_SHARING_NAMES, kRights = IDC_SHARING_RIGHTS;
constexpr int kList = IDC_IMAP_FOLDERS_LIST, kLink = IDC_IMAP_FOLDERS_LINK;
const std::string kLogin = "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n";
const std::string kBye = "A000 LOGOUT\r\n", kSet = "A000 SETACL \"INBOX/Work\" ";

// The page as seen: "names|ticked rights|label|controls"; a control's letter (names, rights, add,
// remove, show owner) in capitals when enabled, small when disabled, "-" when hidden; then "x"
// when Show owner is checked.
std::string Look(DialogView& v) {
    std::string t;
    for (int r = 0; r < v.rowCount(kNames); ++r) {
        t += (r ? " " : "") + v.rowText(kNames, r);
    }
    t += "|";
    for (int r = 0; r < 7; ++r) {
        t += v.rowTick(kRights, r) == ui::Tick::kOn ? std::string(1, "lrwicda"[r]) : "";
    }
    t += "|" + (v.visible(IDC_SHARING_PERMISSIONS) ? v.text(IDC_SHARING_PERMISSIONS) : "") + "|";
    const int ids[] = {kNames, kRights, IDC_SHARING_ADD, IDC_SHARING_REMOVE,
                       IDC_SHARING_SHOW_OWNER};
    for (int i = 0; i < 5; ++i) {
        t += !v.visible(ids[i]) ? '-' : v.enabled(ids[i]) ? "NRAPO"[i] : "nrapo"[i];
    }
    return t + (v.checked(IDC_SHARING_SHOW_OWNER) ? "x" : "");
}
// Adds a name as typed into Add User/Group ("[" makes it a group).
void Add(DialogView& v, const std::string& typed) {
    headless::OnDialog([typed](DialogView& d) {
        d.type(IDC_ADD_USER_NAME, typed);
        d.click(ui::kIdOk);
    });
    v.click(IDC_SHARING_ADD);
}
void Remove(DialogView& v, int row) {
    v.clickRow(kNames, row);
    headless::OnMessageBox([](const headless::MessageBoxView& box) {
        EXPECT_EQ(box.text, "Are you sure you want to remove the selected item(s) ?");
        return box.style == (ui::kMbYesNo | ui::kMbIconQuestion) ? ui::kIdYes : ui::kIdNo;
    });
    v.click(IDC_SHARING_REMOVE);
}

class SharingTest : public net::QorvadTest {
  protected:
    void SetUp() override {
        QorvadTest::SetUp();
        SharingPageSettings() = {};
        auto& s = server_.store();
        for (const char* f : {"INBOX/Work", "#public", "#public/Projects", "Old/Deep/Leaf"}) {
            ASSERT_TRUE(s.addFolder("anna", f, true, f != std::string("#public")));
        }
        ASSERT_TRUE(s.setAcl("anna", "INBOX/Work", "bob", "lr"));
        ASSERT_TRUE(s.setAcl("anna", "INBOX/Work", "[staff]", "lrs"));
        ASSERT_TRUE(s.setAcl("anna", "#public/Projects", "anna", "lrswipcda"));
        server_.clearReceived();
    }
    // The page of Inbox/Work in a sheet as a host makes it; `act` works in the sheet.
    void Sheet(std::function<void(SheetView&, DialogView&)> act,
               const char* folder = "Inbox/Work") {
        ui::PropertyPage page = nullptr;
        EXPECT_EQ(WqCreatePageSecurity(folder, &account_, &page), S_OK);
        headless::OnPropertySheet([act](SheetView& s) { act(s, s.page(0)); });
        ui::RunPropertySheet(nullptr, "", {page}, true);
    }
    std::string Received() {
        std::string r = server_.received();
        server_.clearReceived();
        return r;
    }
};

TEST_F(SharingTest, ThePageEditsTheListAndWritesItOnApply) {
    Sheet([&](SheetView& s, DialogView& v) {
        EXPECT_EQ(Received(), kLogin + "A000 GETACL \"INBOX/Work\"\r\n" + kBye);
        EXPECT_EQ(s.pageTitle(0) + "|" + Look(v),
                  "Sharing and Security|bob staff|lr|Permissions for bob|NRAPO");
        v.clickRow(kNames, 1);
        v.clickTick(kRights, 1);  // lrs -> ls -> lsr; s has no row
        EXPECT_EQ(Look(v), "bob staff|l|Permissions for staff|NRAPO");
        EXPECT_TRUE(s.applyEnabled());
        v.clickTick(kRights, 1);
        Remove(v, 0);
        Add(v, "[staff]");  // the same group: a beep, and its row is selected
        EXPECT_EQ(headless::WindowLog().back(), "beep 48");
        Add(v, "staff");
        Add(v, "carl");
        EXPECT_EQ(Look(v), "carl staff staff|lr|Permissions for carl|NRAPO");
        Remove(v, 0);
        s.clickApply();
        EXPECT_EQ(Received(), kLogin + "A000 DELETEACL \"INBOX/Work\" \"bob\"\r\nA000 DELETEACL " +
                                  "\"INBOX/Work\" \"carl\"\r\n" + kSet +
                                  "\"anna\" \"lrswipcda\"\r\n" + kSet + "\"[staff]\" \"lsr\"\r\n" +
                                  kSet + "\"staff\" \"lr\"\r\n" + kBye);
        // The rows follow the entries that the write moved up; a user removed and added back
        // before the next write keeps his entry, with the rights of a new one.
        v.clickRow(kNames, 0);
        v.clickTick(kRights, 2);
        Remove(v, 1);
        Add(v, "-staff");
        s.clickApply();
        EXPECT_EQ(Received(), kLogin + kSet + "\"anna\" \"lrswipcda\"\r\n" + kSet +
                                  "\"[staff]\" \"lsrw\"\r\n" + kSet + "\"staff\" \"lr\"\r\n" +
                                  kBye);
        s.clickOk();  // nothing changed since: nothing is sent
    });
    EXPECT_EQ(Received(), "");
}

TEST_F(SharingTest, PagesThatShowTheOwnerMayNotChangeOrFail) {
    for (bool show : {true, false}) {  // the check box's state outlives the page
        Sheet([&](SheetView&, DialogView& v) {
            v.click(IDC_SHARING_SHOW_OWNER);
            EXPECT_EQ(Look(v), show ? "anna bob staff|lrwicda|Permissions for anna|NrApOx"
                                    : "bob staff|lr|Permissions for bob|NRAPO");
        });
    }
    for (const char* answer : {"NO", "BAD"}) {  // only a failure is reported
        setFaults([&](qorvad::Faults& f) { f.scripted["SETACL"] = answer; });
        headless::Reset();
        Sheet([&](SheetView& s, DialogView& v) {
            v.clickTick(kRights, 2);
            s.clickOk();
        });
        EXPECT_EQ(shown()[0] == "Failed to set rights.", answer == std::string("BAD"));
    }
    // The first identifier listed lacks the administer right: no owner, nothing may change.
    setFaults([&](qorvad::Faults& f) { f.scripted.clear(); });
    server_.store().setAcl("anna", "INBOX/Work", "anna", "lrs");
    Sheet([&](SheetView&, DialogView& v) {
        EXPECT_EQ(Look(v), "anna bob staff|lr|Permissions for anna|Nrap-");
    });
    // A folder the server does not know, and a server without ACL: an empty, disabled page.
    for (bool acl : {true, false}) {
        setFaults([&](qorvad::Faults& f) { f.announceAcl = acl; });
        headless::Reset();
        Sheet([&](SheetView&, DialogView& v) { EXPECT_EQ(Look(v), "|||nrap-"); }, "Missing");
        EXPECT_EQ(shown().size(), acl ? 1u : 2u);  // the sheet, and message 137 without ACL
    }
    // A page lives until the sheet or the host releases it: never shown, it never connects.
    ui::PropertyPage page = nullptr;
    EXPECT_EQ(WqCreatePageSecurity("Inbox/Work", &account_, &page), S_OK);
    ui::DestroyPropertyPage(page);
    EXPECT_EQ(WqCreatePageSecurity(nullptr, &account_, &page), E_INVALIDARG);
    EXPECT_EQ(WqCreatePageSecurity("Work", nullptr, &page), E_INVALIDARG);
    EXPECT_EQ(WqCreatePageSecurity("Work", &account_, nullptr), E_INVALIDARG);
    EXPECT_EQ(WqImapFolders(nullptr), E_INVALIDARG);
}

TEST(AddUserGroup, TheNameIsCleanedAsTyped) {
    // What is typed and the caret; the name ("[" when the kind became group) and the caret after.
    const std::pair<std::string, std::string> cases[] = {
        {"[staff|6", "[staff|5"}, {"[ staff]|3", "[staff|1"}, {"-jdoe|5", "jdoe|4"},
        {"--jdoe|1", "-jdoe|0"},  {" -x|3", "-x|2"},          {"a[b]c|4", "abc|2"},
        {"-[ [x|5", "x|1"},       {"x y |4", "x y |4"}};
    for (const auto& [typed, cleaned] : cases) {
        int caret = std::stoi(typed.substr(typed.find('|') + 1));
        bool group = false;
        std::string name = CleanUserGroupName(typed.substr(0, typed.find('|')), &caret, &group);
        EXPECT_EQ((group ? "[" : "") + name + "|" + std::to_string(caret), cleaned);
    }
    int caret = 0;
    bool group = false;
    EXPECT_EQ(CleanUserGroupName(std::string(300, 'x'), &caret, &group).size(), 259u);

    setenv("WQ_CONTACTS", WQ_SOURCE_DIR "/tests/editor/contacts/people.vcf", 1);
    std::string address;
    headless::OnDialog([&](DialogView& v) {
        EXPECT_EQ(v.entries(IDC_ADD_USER_KIND), (std::vector<std::string>{"user", "group"}));
        EXPECT_FALSE(v.focus() != IDC_ADD_USER_NAME || v.enabled(ui::kIdOk));
        v.type(IDC_ADD_USER_NAME, "[staff");
        EXPECT_EQ(v.text(IDC_ADD_USER_NAME) + v.text(IDC_ADD_USER_KIND), "staffgroup");
        EXPECT_EQ(v.textSelection(IDC_ADD_USER_NAME), std::make_pair(5, 5));
        EXPECT_TRUE(v.enabled(ui::kIdOk));
        v.type(IDC_ADD_USER_NAME, " \t ");
        EXPECT_FALSE(v.enabled(ui::kIdOk));
        headless::OnDialog([&](DialogView& book) {
            book.clickRow(IDC_ADDRESS_BOOK_LIST, 2);  // Zoë Adams
            address = book.rowText(IDC_ADDRESS_BOOK_LIST, 2, 1);
            book.click(ui::kIdOk);
        });
        v.click(IDC_ADD_USER_ADDRESS_BOOK);
        v.click(ui::kIdOk);
    });
    AddUserGroupDialog dialog(AddUserGroupDialog::kUser, "");
    EXPECT_EQ(dialog.run(nullptr), ui::kIdOk);
    EXPECT_EQ(dialog.name() + "|" + std::to_string(dialog.kind()), "zoe@work.example|1");

    ui::Rgb c;  // the registry's "Anchor Color"
    EXPECT_TRUE(ui::ParseRgbText(" 0, 102 ,204", &c) && c == (ui::Rgb{0, 102, 204}));
    for (const char* bad : {"", "0,0", "1,2,3,4", "256,0,0", "a,b,c", "1,,3", "0255,0,0"}) {
        EXPECT_FALSE(ui::ParseRgbText(bad, &c)) << bad;
    }
}

TEST_F(SharingTest, ImapFoldersListsEveryFolderWithItsRightsOverOneConnection) {
    ImapFoldersDialog dialog(&account_);
    auto rows = [&] {
        std::string out;
        for (const FolderRow& r : dialog.rows()) {
            out += std::string(size_t(r.indent), ' ') + r.text + " " + std::to_string(r.icon) +
                   (r.shared ? " shared " : " ") + r.rights + "\n";
        }
        return out;
    };
    headless::OnDialog([&](DialogView& v) {
        EXPECT_EQ(rows(),
                  "Inbox 1 \n Work 0 shared bob (lr), [staff] (lrs)\n  Leaf 0 \n"
                  "Public Folders 0 \n Projects 0 \n");
        EXPECT_EQ(server_.connectionCount(), 2u);
        EXPECT_EQ(v.text(kLink), "Double click folder to edit Sharing and Security...");
        EXPECT_EQ(v.link(kLink), ui::HyperlinkColour());
        EXPECT_EQ(v.rowText(kList, 1, 1), "bob (lr), [staff] (lrs)");
        v.click(kLink);  // no row selected: nothing opens
        headless::OnPropertySheet([&](SheetView& s) {
            EXPECT_FALSE(s.applyOffered());
            Remove(s.page(0), 0);
            Remove(s.page(0), 0);
            s.clickOk();
        });
        v.doubleClickRow(kList, 1);  // Work: the row shows what was written
        EXPECT_EQ(v.rowText(kList, 1, 1) + dialog.rows()[1].rights, "");
        EXPECT_FALSE(dialog.rows()[1].shared);
        // A folder below unsubscribed ones is shared under its own path, not under the rows
        // above it.
        server_.clearReceived();
        for (int row : {2, 4}) {
            v.clickRow(kList, row);
            v.click(kLink);
        }
        EXPECT_EQ(Received(), kLogin + "A000 GETACL \"Old/Deep/Leaf\"\r\n" + kBye + kLogin +
                                  "A000 GETACL \"#public/Projects\"\r\n" + kBye);
        v.click(ui::kIdOk);
    });
    EXPECT_EQ(dialog.run(nullptr), ui::kIdOk);

    // Without ACL the message shows once, not once per folder; a failed listing disables the list.
    for (bool acl : {false, true}) {
        setFaults([&](qorvad::Faults& f) {
            f.announceAcl = acl;
            if (acl) {
                f.scripted["LSUB"] = "NO";
            }
        });
        headless::Reset();
        headless::OnDialog([&](DialogView& v) {
            EXPECT_EQ(std::to_string(v.rowCount(kList)) + (v.enabled(kList) ? " on" : " off"),
                      acl ? "0 off" : "5 on");
        });
        EXPECT_EQ(WqImapFolders(&account_), S_OK);
        EXPECT_EQ(shown().size(), acl ? 1u : 2u);  // the dialog, after message 137 without ACL
    }
}

}  // namespace
}  // namespace wq::editor
