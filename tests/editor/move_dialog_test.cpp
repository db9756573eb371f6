// The Move dialog against a server listing nested, Czech, unsubscribed-parent and
// non-selectable folders: qorvad natively; under Windows a scripted loopback server that lists
// the same folders the same way.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/account.h"
#include "editor/move_dialog.h"
#include "ids.h"
#include "platform/headless/headless.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include "net/qorvad_fixture.h"
#endif

namespace wq::editor {
namespace {

using Path = std::vector<std::string>;
constexpr int kTree = IDC_MOVE_TREE, kPath = IDC_MOVE_PATH;
const std::string kRoot = "Qorva MailServer '127.0.0.1'";
const std::string kCzech = "Do\x9Al\xE1 po\x9Ata";  // "Došlá pošta", the same in 1250 and 1252

// Server names as listed (modified UTF-7); #public cannot be selected; Old and Old/Deep are not
// subscribed.
const std::vector<std::string> kFolders = {
    "INBOX",   "INBOX/Archive",           "Sent Items",
    "Drafts",  "Do&AWE-l&AOE- po&AWE-ta", "Do&AWE-l&AOE- po&AWE-ta/Faktury",
    "#public", "#public/Projects",        "Old/Deep/Leaf"};

#ifdef _WIN32
// Greets, answers OK to every command, the listing to LSUB (or NO while `failListing`).
class MoveDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::Reset();
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 4);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        thread_ = CreateThread(nullptr, 0, &Serve, this, 0, nullptr);
        ResetAccountSettings(account_);
        account_.hostName = "127.0.0.1";
        account_.userName = account_.password = "anna";
        account_.port = ntohs(address.sin_port);
        SetCurrentAccount(&account_);
    }
    void TearDown() override {
        closesocket(listener_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        WSACleanup();
        SetCurrentAccount(nullptr);
    }
    static DWORD WINAPI Serve(void* self) {
        auto* test = static_cast<MoveDialogTest*>(self);
        for (SOCKET c; (c = accept(test->listener_, nullptr, nullptr)) != INVALID_SOCKET;) {
            std::string in, out = "* OK ready\r\n";
            send(c, out.data(), static_cast<int>(out.size()), 0);
            char buffer[512];
            for (int n; (n = recv(c, buffer, sizeof buffer, 0)) > 0;) {
                in.append(buffer, static_cast<size_t>(n));
                out.clear();
                for (size_t end; (end = in.find('\n')) != std::string::npos; in.erase(0, end + 1)) {
                    std::string tag = in.substr(0, in.find(' '));
                    bool listing = in.compare(tag.size(), 5, " LSUB") == 0;
                    for (const std::string& f : listing && !test->failListing ? kFolders : Path{}) {
                        out += std::string("* LSUB (") + (f == "#public" ? "\\Noselect" : "") +
                               ") \"/\" \"" + f + "\"\r\n";
                    }
                    out += tag +
                           (listing && test->failListing ? " NO no listing\r\n" : " OK done\r\n");
                }
                send(c, out.data(), static_cast<int>(out.size()), 0);
            }
            closesocket(c);
        }
        return 0;
    }
    void setListingFails(bool fails) { failListing = fails; }

    SOCKET listener_ = INVALID_SOCKET;
    HANDLE thread_ = nullptr;
    AccountSettings account_{};
    volatile bool failListing = false;
};
#else
class MoveDialogTest : public net::QorvadTest {
  protected:
    void SetUp() override {
        QorvadTest::SetUp();
        for (const std::string& f : kFolders) {
            server_.store().addFolder("anna", f, true, f != "#public");
        }
    }
    void setListingFails(bool fails) {
        setFaults([&](qorvad::Faults& f) {
            if (fails) {
                f.scripted["LSUB"] = "NO";
            } else {
                f.scripted.erase("LSUB");
            }
        });
    }
};
#endif

// Runs the dialog opened with `path`; `act` works in it; gives the result and the path.
std::pair<int, std::string> Move(const std::string& path,
                                 std::function<void(headless::DialogView&)> act) {
    headless::OnDialog(std::move(act));
    MoveDialog dialog(path);
    int result = dialog.run(nullptr);
    return {result, dialog.path()};
}

TEST(MoveDialogTree, FoldersGoUnderTheirListedParentsWithIconsAndDisplayNames) {
    std::vector<std::string> shown;
    std::vector<FolderEntry> folders = ParseFolderList(
        "LSUB () \"/\" \"Drafts/Sent Items\"\r\nLSUB () \"/\" \"a/b/c\"\r\n"
        "LSUB () \"/\" \"INBOX\"\r\nLSUB (\\Noselect) \"/\" \"#public\"\r\n"
        "LSUB () \"/\" \"a\"\r\nLSUB () \"/\" \"a/b/c/d\"\r\n"
        "LSUB () \"/\" \"Drafts\"\r\nLSUB () \"/\" \"inbox\"\r\nOK");
    for (const FolderNode& n : BuildFolderTree(folders)) {
        shown.push_back(std::to_string(n.parent) + " " + n.text + " " + std::to_string(n.image) +
                        (n.selectable ? "" : " noselect"));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"-1 Drafts/Sent Items 0", "-1 a/b/c 0", "-1 Inbox 1",
                                               "-1 Public Folders 0 noselect", "-1 a 0", "1 d 0",
                                               "-1 Drafts 4", "-1 inbox 0"}));
}

TEST_F(MoveDialogTest, PathFieldAndTreeFollowEachOther) {
    const std::pair<std::string, Path> typed[] = {
        // what is typed, what gets selected
        {"inbox/archive", {kRoot, "Inbox", "Archive"}},
        {"/Inbox", {kRoot, "Inbox"}},
        {"  Sent Items ", {kRoot, "Sent Items"}},
        {"DO\x8AL\xC1 PO\x8ATA/faktury", {kRoot, kCzech, "Faktury"}},
        {"Public Folders/Projects", {kRoot, "Public Folders", "Projects"}},
        {"old/deep/LEAF", {kRoot, "Old/Deep/Leaf"}},
        {"Inbox/", {}},
        {"Nowhere/x", {}}};
    auto [result, path] = Move("Inbox/Archive", [&](headless::DialogView& v) {
        EXPECT_EQ(v.selectedPath(kTree), (Path{kRoot, "Inbox", "Archive"}));
        v.snapshot("move");
        for (const auto& [text, selected] : typed) {
            v.type(kPath, text);
            EXPECT_EQ(v.selectedPath(kTree), selected) << text;
            EXPECT_EQ(v.text(kPath), text);  // kept as typed
        }
        // Clicks on the root and on a folder that cannot be selected leave the path alone.
        v.clickTreeItem(kTree, {kRoot});
        v.clickTreeItem(kTree, {kRoot, "Public Folders"});
        EXPECT_EQ(v.text(kPath), "Nowhere/x");
        v.clickTreeItem(kTree, {kRoot, "Old/Deep/Leaf"});
        EXPECT_EQ(v.text(kPath), "Old/Deep/Leaf");
        v.clickTreeItem(kTree, {kRoot, kCzech, "Faktury"});
        EXPECT_EQ(v.text(kPath), kCzech + "/Faktury");
        v.click(ui::kIdOk);
    });
    EXPECT_EQ(result, ui::kIdOk);
    EXPECT_EQ(path, kCzech + "/Faktury");

    for (auto [typedText, returned] : {std::pair{"Sales/", "Sales"}, std::pair{"/", "/"},
                                       std::pair{" Inbox/Archive/ ", "Inbox/Archive"}}) {
        EXPECT_EQ(Move("",
                       [&](headless::DialogView& v) {
                           v.type(kPath, typedText);
                           v.click(ui::kIdOk);
                       }),
                  std::make_pair(ui::kIdOk, std::string(returned)));
    }
}

TEST_F(MoveDialogTest, AFailedListingLeavesTheRootAndResetListsAgain) {
    setListingFails(true);
    Move("Drafts", [&](headless::DialogView& v) {
        EXPECT_TRUE(v.hasTreeItem(kTree, {kRoot}));
        EXPECT_FALSE(v.hasTreeItem(kTree, {kRoot, "Drafts"}));
        EXPECT_EQ(v.text(kPath), "Drafts");
        setListingFails(false);
        v.click(IDC_MOVE_RESET);
        EXPECT_EQ(v.selectedPath(kTree), (Path{kRoot, "Drafts"}));
        EXPECT_TRUE(v.hasTreeItem(kTree, {kRoot, "Inbox", "Archive"}));
    });
}

}  // namespace
}  // namespace wq::editor
