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
constexpr int kAdd = IDC_SHARING_ADD, kRemove = IDC_SHARING_REMOVE;
constexpr int kOwner = IDC_SHARING_SHOW_OWNER, kLabel = IDC_SHARING_PERMISSIONS;
const std::string kLogin = "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n";

std::string Names(DialogView& v) {
    std::string t;
    for (int r = 0; r < v.rowCount(kNames); ++r) {
        t += (r ? " " : "") + v.rowText(kNames, r);
    }
    return t;
}
std::string Ticks(DialogView& v) {  // the letters of the ticked rights
    std::string t;
    for (int r = 0; r < 7; ++r) {
        t += v.rowTick(kRights, r) == ui::Tick::kOn ? std::string(1, "lrwicda"[r]) : "";
    }
    return t;
}
std::string State(DialogView& v, int id) {
    return std::string(v.enabled(id) ? "on" : "off") + (v.visible(id) ? "" : "/hidden");
}
void Add(DialogView& v, const std::string& typed) {
    headless::OnDialog([typed](DialogView& d) {
        d.type(IDC_ADD_USER_NAME, typed);
        d.click(ui::kIdOk);
    });
    v.click(kAdd);
}
void Remove(DialogView& v, int row) {
    v.clickRow(kNames, row);
    headless::OnMessageBox([](const headless::MessageBoxView& box) {
        EXPECT_EQ(box.text, "Are you sure you want to remove the selected item(s) ?");
        return box.style == (ui::kMbYesNo | ui::kMbIconQuestion) ? ui::kIdYes : ui::kIdNo;
    });
    v.click(kRemove);
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
    // The page for `folder` in a sheet as a host makes it; `act` works in the sheet.
    int Sheet(const char* folder, std::function<void(SheetView&, DialogView&)> act) {
        ui::PropertyPage page = nullptr;
        EXPECT_EQ(WqCreatePageSecurity(folder, &account_, &page), S_OK);
        headless::OnPropertySheet([act](SheetView& s) { act(s, s.page(0)); });
        return ui::RunPropertySheet(nullptr, "", {page}, true);
    }
    std::string Acl(const char* folder) {
        std::string t;
        for (const auto& e : server_.store().acl("anna", folder)) {
            t += e.identifier + "=" + e.rights + " ";
        }
        return t;
    }
    std::string Received() {
        std::string r = server_.received();
        server_.clearReceived();
        return r;
    }
};

TEST_F(SharingTest, ThePageEditsTheListAndWritesItOnApply) {
    Sheet("Inbox/Work", [&](SheetView& s, DialogView& v) {
        EXPECT_EQ(Received(), kLogin + "A000 GETACL \"INBOX/Work\"\r\nA000 LOGOUT\r\n");
        EXPECT_EQ(s.pageTitle(0), "Sharing and Security");
        EXPECT_EQ(Names(v) + "|" + Ticks(v) + "|" + v.text(kLabel),
                  "bob staff|lr|Permissions for bob");
        for (int id : {kNames, kRights, kAdd, kRemove, kOwner}) {
            EXPECT_EQ(State(v, id), "on") << id;
        }
        EXPECT_FALSE(v.checked(kOwner) || s.applyEnabled());
        v.clickRow(kNames, 1);
        EXPECT_EQ(Ticks(v) + "|" + v.text(kLabel), "lr|Permissions for staff");  // s has no row
        v.clickTick(kRights, 1);                                                 // lrs -> ls -> lsr
        EXPECT_EQ(Ticks(v), "l");
        v.clickTick(kRights, 1);
        EXPECT_TRUE(s.applyEnabled());
        Remove(v, 0);
        EXPECT_EQ(Names(v) + "|" + v.text(kLabel), "staff|Permissions for staff");
        Add(v, "[staff]");  // the same group: a beep, and its row is selected
        EXPECT_EQ(headless::WindowLog().back(), "beep 48");
        Add(v, "staff");
        Add(v, "carl");
        EXPECT_EQ(Names(v) + "|" + Ticks(v), "carl staff staff|lr");
        Remove(v, 0);
        s.clickApply();
        EXPECT_EQ(Received(), kLogin +
                                  "A000 DELETEACL \"INBOX/Work\" \"bob\"\r\n"
                                  "A000 DELETEACL \"INBOX/Work\" \"carl\"\r\n"
                                  "A000 SETACL \"INBOX/Work\" \"anna\" \"lrswipcda\"\r\n"
                                  "A000 SETACL \"INBOX/Work\" \"[staff]\" \"lsr\"\r\n"
                                  "A000 SETACL \"INBOX/Work\" \"staff\" \"lr\"\r\nA000 LOGOUT\r\n");
        // The rows follow the entries that the write moved up; a user removed and added back
        // before the next write keeps his entry, with the rights of a new one.
        v.clickRow(kNames, 0);
        v.clickTick(kRights, 2);
        Remove(v, 1);
        Add(v, "-staff");
        s.clickApply();
        EXPECT_FALSE(s.applyEnabled());
        EXPECT_EQ(Received(), kLogin +
                                  "A000 SETACL \"INBOX/Work\" \"anna\" \"lrswipcda\"\r\n"
                                  "A000 SETACL \"INBOX/Work\" \"[staff]\" \"lsrw\"\r\n"
                                  "A000 SETACL \"INBOX/Work\" \"staff\" \"lr\"\r\nA000 LOGOUT\r\n");
        s.clickOk();  // nothing changed since: nothing is sent
    });
    EXPECT_EQ(Received(), "");
    EXPECT_EQ(Acl("INBOX/Work"), "anna=lrswipcda [staff]=lrsw staff=lr ");
}

TEST_F(SharingTest, OwnerRowReadOnlyAndUnreadablePages) {
    for (bool show : {true, false}) {  // the check box's state outlives the page
        Sheet("Inbox/Work", [&](SheetView&, DialogView& v) {
            EXPECT_EQ(v.checked(kOwner), !show);
            v.click(kOwner);
            EXPECT_EQ(Names(v), show ? "anna bob staff" : "bob staff");
            EXPECT_EQ(Ticks(v) + State(v, kRights) + State(v, kRemove),
                      show ? "lrwicdaoffoff" : "lronon");
        });
    }
    // The first identifier listed lacks the administer right: no owner, nothing may change.
    server_.store().setAcl("anna", "INBOX/Work", "anna", "lrs");
    Sheet("Inbox/Work", [&](SheetView&, DialogView& v) {
        EXPECT_EQ(Names(v) + "|" + Ticks(v), "anna bob staff|lr");
        for (int id : {kRights, kAdd, kRemove}) {
            EXPECT_EQ(State(v, id), "off") << id;
        }
        EXPECT_EQ(State(v, kOwner) + State(v, kNames), "off/hiddenon");
    });
    // A folder the server does not know, and a server without ACL: an empty, disabled page.
    for (bool acl : {true, false}) {
        setFaults([&](qorvad::Faults& f) { f.announceAcl = acl; });
        headless::Reset();
        Sheet("Missing", [&](SheetView&, DialogView& v) {
            EXPECT_EQ(Names(v) + Ticks(v) + State(v, kNames) + State(v, kLabel), "offon/hidden");
        });
        EXPECT_EQ(shown().size(), acl ? 1u : 2u);  // the sheet, and message 137 without ACL
    }
}

TEST_F(SharingTest, FailedWritesAndThePagesLife) {
    for (const char* answer : {"NO", "BAD"}) {  // only a failure is reported
        setFaults([&](qorvad::Faults& f) { f.scripted["SETACL"] = answer; });
        headless::Reset();
        Sheet("Inbox/Work", [&](SheetView& s, DialogView& v) {
            v.clickTick(kRights, 2);
            s.clickOk();
        });
        EXPECT_EQ(shown(), (answer == std::string("NO")
                                ? std::vector<std::string>{""}
                                : std::vector<std::string>{"Failed to set rights.", ""}));
    }
    setFaults([&](qorvad::Faults& f) { f.scripted.clear(); });
    server_.clearReceived();
    ui::PropertyPage page = nullptr;
    EXPECT_EQ(WqCreatePageSecurity("Inbox/Work", &account_, &page), S_OK);
    ui::DestroyPropertyPage(page);  // never shown: never connects
    Sheet("Inbox/Work", [&](SheetView& s, DialogView& v) {
        v.clickTick(kRights, 2);
        s.clickCancel();  // changes dropped
    });
    EXPECT_EQ(server_.connectionCount(), 1u);
    EXPECT_EQ(WqCreatePageSecurity(nullptr, &account_, &page), E_INVALIDARG);
    EXPECT_EQ(WqCreatePageSecurity("Work", nullptr, &page), E_INVALIDARG);
    EXPECT_EQ(WqCreatePageSecurity("Work", &account_, nullptr), E_INVALIDARG);
    EXPECT_EQ(WqImapFolders(nullptr), E_INVALIDARG);
}

TEST(AddUserGroup, TheNameIsCleanedAsTyped) {
    struct Case {
        const char* typed;
        int caret;
        const char* cleaned;
        int after;
        bool group;
    } cases[] = {{"[staff", 6, "staff", 5, true}, {"[ staff]", 3, "staff", 1, true},
                 {"-jdoe", 5, "jdoe", 4, false},  {"--jdoe", 1, "-jdoe", 0, false},
                 {" -x", 3, "-x", 2, false},      {"a[b]c", 4, "abc", 2, false},
                 {"-[ [x", 5, "x", 1, false},     {"x y ", 4, "x y ", 4, false}};
    for (const Case& c : cases) {
        int caret = c.caret;
        bool group = false;
        EXPECT_EQ(CleanUserGroupName(c.typed, &caret, &group), c.cleaned) << c.typed;
        EXPECT_EQ(caret, c.after) << c.typed;
        EXPECT_EQ(group, c.group) << c.typed;
    }
    int caret = 0;
    bool group = false;
    EXPECT_EQ(CleanUserGroupName(std::string(300, 'x'), &caret, &group).size(), 259u);

    setenv("WQ_CONTACTS", WQ_SOURCE_DIR "/tests/editor/contacts/people.vcf", 1);
    const std::string address = "zoe@work.example";
    headless::OnDialog([&](DialogView& v) {
        EXPECT_EQ(v.entries(IDC_ADD_USER_KIND), (std::vector<std::string>{"user", "group"}));
        EXPECT_EQ(v.focus(), IDC_ADD_USER_NAME);
        EXPECT_FALSE(v.enabled(ui::kIdOk));
        v.type(IDC_ADD_USER_NAME, "[staff");
        EXPECT_EQ(v.text(IDC_ADD_USER_NAME) + v.text(IDC_ADD_USER_KIND), "staffgroup");
        EXPECT_EQ(v.textSelection(IDC_ADD_USER_NAME), std::make_pair(5, 5));
        EXPECT_TRUE(v.enabled(ui::kIdOk));
        v.type(IDC_ADD_USER_NAME, " \t ");
        EXPECT_FALSE(v.enabled(ui::kIdOk));
        headless::OnDialog([&](DialogView& book) {
            for (int r = 0; r < book.rowCount(IDC_ADDRESS_BOOK_LIST); ++r) {
                if (book.rowText(IDC_ADDRESS_BOOK_LIST, r, 1) == address) {
                    book.clickRow(IDC_ADDRESS_BOOK_LIST, r);
                }
            }
            book.click(ui::kIdOk);
        });
        v.click(IDC_ADD_USER_ADDRESS_BOOK);
        v.click(ui::kIdOk);
    });
    AddUserGroupDialog dialog(AddUserGroupDialog::kUser, "");
    EXPECT_EQ(dialog.run(nullptr), ui::kIdOk);
    EXPECT_EQ(dialog.name() + "|" + std::to_string(dialog.kind()), address + "|1");
}

TEST(HyperlinkColour, RegistryTextsOfThreeNumbers) {
    ui::Rgb c;
    EXPECT_TRUE(ui::ParseRgbText(" 0, 102 ,204", &c) && c == (ui::Rgb{0, 102, 204}));
    for (const char* bad : {"", "0,0", "1,2,3,4", "256,0,0", "a,b,c", "1,,3", "0255,0,0"}) {
        EXPECT_FALSE(ui::ParseRgbText(bad, &c)) << bad;
    }
}

TEST_F(SharingTest, ImapFoldersListsEveryFolderWithItsRightsOverOneConnection) {
    std::vector<std::string> rows;
    ImapFoldersDialog dialog(&account_);
    auto describe = [&] {
        rows.clear();
        for (const FolderRow& r : dialog.rows()) {
            rows.push_back(std::string(size_t(r.indent), ' ') + r.text + " " +
                           std::to_string(r.icon) + (r.shared ? " shared " : " ") + r.rights);
        }
    };
    headless::OnDialog([&](DialogView& v) {
        describe();
        EXPECT_EQ(server_.connectionCount(), 2u);
        EXPECT_EQ(v.text(IDC_IMAP_FOLDERS_LINK),
                  "Double click folder to edit Sharing and Security...");
        EXPECT_EQ(v.link(IDC_IMAP_FOLDERS_LINK), ui::HyperlinkColour());
        EXPECT_EQ(v.rowText(IDC_IMAP_FOLDERS_LIST, 1, 1), "bob (lr), [staff] (lrs)");
        v.click(IDC_IMAP_FOLDERS_LINK);  // no row selected: nothing opens
        headless::OnPropertySheet([&](SheetView& s) {
            EXPECT_FALSE(s.applyOffered());
            Remove(s.page(0), 0);
            Remove(s.page(0), 0);
            s.clickOk();
        });
        v.doubleClickRow(IDC_IMAP_FOLDERS_LIST, 1);  // Work: the row shows what was written
        EXPECT_EQ(v.rowText(IDC_IMAP_FOLDERS_LIST, 1, 1), "");
        // A folder below unsubscribed ones is shared under its own path, not under the rows
        // above it.
        server_.clearReceived();
        for (int row : {2, 4}) {
            v.clickRow(IDC_IMAP_FOLDERS_LIST, row);
            v.click(IDC_IMAP_FOLDERS_LINK);
        }
        EXPECT_EQ(Received(), kLogin + "A000 GETACL \"Old/Deep/Leaf\"\r\nA000 LOGOUT\r\n" + kLogin +
                                  "A000 GETACL \"#public/Projects\"\r\nA000 LOGOUT\r\n");
        v.click(ui::kIdOk);
    });
    EXPECT_EQ(dialog.run(nullptr), ui::kIdOk);
    EXPECT_EQ(rows, (std::vector<std::string>{"Inbox 1 ", " Work 0 shared bob (lr), [staff] (lrs)",
                                              "  Leaf 0 ", "Public Folders 0 ", " Projects 0 "}));
    describe();
    EXPECT_EQ(rows[1], " Work 0 ");

    // Without ACL the message shows once, not once per folder; a failed listing disables the list.
    for (const char* fault : {"ACL", "LSUB"}) {
        setFaults([&](qorvad::Faults& f) {
            f.announceAcl = fault != std::string("ACL");
            if (fault == std::string("LSUB")) {
                f.scripted["LSUB"] = "NO";
            }
        });
        headless::Reset();
        headless::OnDialog([&](DialogView& v) {
            EXPECT_EQ(v.enabled(IDC_IMAP_FOLDERS_LIST), fault == std::string("ACL"));
            EXPECT_EQ(v.rowCount(IDC_IMAP_FOLDERS_LIST), fault == std::string("ACL") ? 5 : 0);
        });
        EXPECT_EQ(WqImapFolders(&account_), S_OK);
        EXPECT_EQ(shown().size(), fault == std::string("ACL") ? 2u : 1u);
    }
}

}  // namespace
}  // namespace wq::editor
