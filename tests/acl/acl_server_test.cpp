// Access control lists against the in-process qorvad: WqGetACL over one connection and the
// writer of an edited list, with the exact commands on the wire.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "folders/acl.h"
#include "net/qorvad_fixture.h"

namespace wq {
namespace {

using net::QorvadTest;

const char* const kNoAcl = "The server does not support required capability (ACL).";

// A WqGetACL request as a host builds it: one FolderAcl and one empty AclList per folder.
struct Request {
    std::vector<FolderAcl> folders;
    std::vector<AclList> lists;
    FolderAclList head{};

    explicit Request(const std::vector<std::string>& names)
        : folders(names.size()), lists(names.size(), AclList{nullptr, 0, 0}) {
        for (size_t i = 0; i < names.size(); ++i) {
            std::memset(&folders[i], 0, sizeof folders[i]);
            std::strncpy(folders[i].name, names[i].c_str(), sizeof folders[i].name - 1);
            folders[i].result = 12345;
            folders[i].acl = &lists[i];
        }
        head = {folders.data(), static_cast<uint32_t>(folders.size()),
                static_cast<uint32_t>(folders.size())};
    }
    ~Request() {
        for (AclList& l : lists)
            AclListFree(l);
    }
    std::string text(size_t i) const {
        std::string t;
        for (uint32_t k = 0; k < lists[i].count; ++k) {
            const AclEntry& e = lists[i].data[k];
            t += AclIdentifier(e) + "=" + AclRights(e) + "/" + std::to_string(e.kind) + " ";
        }
        return t;
    }
};

class AclServerTest : public QorvadTest {
  protected:
    void SetUp() override {
        QorvadTest::SetUp();
        auto& s = server_.store();
        ASSERT_TRUE(s.addFolder("anna", "Work"));
        ASSERT_TRUE(s.setAcl("anna", "Work", "bob", "lr"));
        ASSERT_TRUE(s.setAcl("anna", "Work", "[staff]", "lrs"));
        ASSERT_TRUE(s.addFolder("anna", "INBOX/Entw&APw-rfe"));
        ASSERT_TRUE(s.setAcl("anna", "INBOX/Entw&APw-rfe", "carl", "lrwicda"));
        ASSERT_TRUE(s.addFolder("anna", "#public/Support"));
        ASSERT_TRUE(s.setAcl("anna", "#public/Support", "anna", "lrswipcda"));
        ASSERT_TRUE(s.setAcl("anna", "#public/Support", "anyone", "lr"));
    }

    std::string aclOf(const std::string& folder) {
        std::string t;
        for (const auto& e : server_.store().acl("anna", folder)) {
            t += e.identifier + "=" + e.rights + " ";
        }
        return t;
    }
};

TEST_F(AclServerTest, GetAclReadsEveryFolderOnOneConnection) {
    Request r({"Work", "Inbox/Entw\xFCrfe", "Public Folders/Support", "Missing"});
    // A NO leaves the host's list as it was.
    ASSERT_EQ(AclListAppend(r.lists[3], MakeAclEntry("kept", "l", 1)), S_OK);

    EXPECT_EQ(WqGetACL(nullptr, &account_, &r.head), S_FALSE);  // the last folder answered NO
    EXPECT_EQ(server_.connectionCount(), 1u);
    EXPECT_EQ(server_.received(),
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n"
              "A000 GETACL \"Work\"\r\nA000 GETACL \"INBOX/Entw&APw-rfe\"\r\n"
              "A000 GETACL \"#public/Support\"\r\nA000 GETACL \"Missing\"\r\nA000 LOGOUT\r\n");
    EXPECT_EQ(r.text(0), "anna=lrswipcda/0 bob=lr/1 staff=lrs/2 ");
    EXPECT_EQ(r.text(1), "anna=lrswipcda/0 carl=lrwicda/1 ");
    EXPECT_EQ(r.text(2), "anna=lrswipcda/0 anyone=lr/1 ");
    EXPECT_EQ(r.text(3), "kept=l/1 ");
    for (const FolderAcl& f : r.folders)
        EXPECT_EQ(f.result, S_OK) << f.name;
    EXPECT_EQ(r.lists[0].capacity, 4u);  // 1, 2, 4

    char text[64];
    ASSERT_EQ(WqAclToString(&r.lists[0], nullptr), 24);
    ASSERT_EQ(WqAclToString(&r.lists[0], text), 24);
    EXPECT_STREQ(text, "bob (lr), [staff] (lrs)");
    ASSERT_GT(WqAclToString(&r.lists[1], text), 0);
    EXPECT_STREQ(text, "carl (All)");
    EXPECT_TRUE(shown().empty());
}

TEST_F(AclServerTest, GetAclRefusesBeforeConnecting) {
    Request r({"Work"});
    EXPECT_EQ(WqGetACL(nullptr, nullptr, &r.head), E_INVALIDARG);
    EXPECT_EQ(WqGetACL(nullptr, &account_, nullptr), E_INVALIDARG);
    r.folders[0].acl = nullptr;
    EXPECT_EQ(WqGetACL(nullptr, &account_, &r.head), E_INVALIDARG);
    for (const char* bad : {"Work\r\nA000 DELETE \"Work\"", "Wo\nrk", "Wo\"rk"}) {
        Request b({"Work", bad});
        EXPECT_EQ(WqGetACL(nullptr, &account_, &b.head), E_INVALIDARG) << bad;
        EXPECT_EQ(b.folders[0].result, 12345);
    }
    EXPECT_EQ(server_.connectionCount(), 0u);
    EXPECT_TRUE(shown().empty());
}

TEST_F(AclServerTest, GetAclFailuresPerFolderAndPerConnection) {
    // Without the capability: message 137 and E_FAIL, no login.
    setFaults([](qorvad::Faults& f) { f.announceAcl = false; });
    Request r({"Work"});
    EXPECT_EQ(WqGetACL(nullptr, &account_, &r.head), E_FAIL);
    EXPECT_EQ(shown(), std::vector<std::string>{kNoAcl});
    EXPECT_EQ(server_.received(), "A000 CAPABILITY\r\n");
    EXPECT_EQ(r.folders[0].result, 12345);

    // A refused login that the user cancels: 1, nothing read.
    headless::Reset();
    server_.clearReceived();
    setFaults([](qorvad::Faults& f) { f.announceAcl = true; });
    account_.password = "wrong";
    EXPECT_EQ(WqGetACL(nullptr, &account_, &r.head), S_FALSE);
    EXPECT_EQ(server_.received(), "A000 CAPABILITY\r\nA000 LOGIN anna wrong\r\n");
    account_.password = "secret";

    // BAD for one folder fails that folder only; the next is read on the same connection.
    setFaults([](qorvad::Faults& f) { f.scripted["GETACL"] = "BAD"; });
    Request bad({"Work", "Work"});
    EXPECT_EQ(WqGetACL(nullptr, &account_, &bad.head), E_INVALIDARG);
    EXPECT_EQ(bad.folders[0].result, E_FAIL);
    EXPECT_EQ(bad.folders[1].result, E_FAIL);

    // The server goes away in the middle of a reply: that folder and the ones after it fail
    // without another command being tried.
    server_.clearReceived();
    setFaults([](qorvad::Faults& f) {
        f.scripted.clear();
        f.closeMidReplyOf = "GETACL";
    });
    Request cut({"Work", "Work", "Work"});
    HResult result = WqGetACL(nullptr, &account_, &cut.head);
    EXPECT_TRUE(Failed(result)) << std::hex << result;
    for (const FolderAcl& f : cut.folders)
        EXPECT_EQ(f.result, E_FAIL);
    EXPECT_EQ(server_.received(),
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\nA000 GETACL \"Work\"\r\n");
}

TEST_F(AclServerTest, WriteRemovesMarkedEntriesThenSetsTheRest) {
    AclList list{nullptr, 0, 0};
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("-bob", "lr", kAclKindUser)), S_OK);
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("-staff", "lrs", kAclKindGroup)), S_OK);
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("anna", "lrswipcda", kAclKindOwner)), S_OK);
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("team", "lrsw", kAclKindGroup)), S_OK);
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("carl", "lri", kAclKindUser)), S_OK);

    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), S_OK);
    EXPECT_EQ(server_.received(),
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n"
              "A000 DELETEACL \"Work\" \"bob\"\r\nA000 DELETEACL \"Work\" \"[staff]\"\r\n"
              "A000 SETACL \"Work\" \"anna\" \"lrswipcda\"\r\n"
              "A000 SETACL \"Work\" \"[team]\" \"lrsw\"\r\n"
              "A000 SETACL \"Work\" \"carl\" \"lri\"\r\nA000 LOGOUT\r\n");
    ASSERT_EQ(list.count, 3u);
    EXPECT_EQ(AclIdentifier(list.data[0]), "anna");
    EXPECT_EQ(aclOf("Work"), "anna=lrswipcda [team]=lrsw carl=lri ");

    // The folder goes by its server name in modified UTF-7; an empty list sends no command.
    server_.clearReceived();
    AclListFree(list);
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("carl", "lr", kAclKindUser)), S_OK);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Inbox/Entw\xFCrfe", &account_, list), S_OK);
    AclList empty{nullptr, 0, 0};
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, empty), S_OK);
    EXPECT_EQ(server_.received(),
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n"
              "A000 SETACL \"INBOX/Entw&APw-rfe\" \"carl\" \"lr\"\r\nA000 LOGOUT\r\n"
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\nA000 LOGOUT\r\n");
    EXPECT_EQ(aclOf("INBOX/Entw&APw-rfe"), "anna=lrswipcda carl=lr ");
    AclListFree(list);
}

TEST_F(AclServerTest, WriteStopRules) {
    auto build = [](AclList& list) {
        AclListFree(list);
        AclListAppend(list, MakeAclEntry("-bob", "lr", kAclKindUser));
        AclListAppend(list, MakeAclEntry("-staff", "lrs", kAclKindGroup));
        AclListAppend(list, MakeAclEntry("carl", "lr", kAclKindUser));
        AclListAppend(list, MakeAclEntry("dora", "l", kAclKindUser));
    };
    AclList list{nullptr, 0, 0};

    // NO ends the removal pass but the rights are still set; the entry not removed is not
    // sent as "-staff".
    setFaults([](qorvad::Faults& f) { f.scripted["DELETEACL"] = "NO"; });
    build(list);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), S_OK);
    EXPECT_EQ(server_.received(),
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n"
              "A000 DELETEACL \"Work\" \"bob\"\r\n"
              "A000 SETACL \"Work\" \"carl\" \"lr\"\r\nA000 SETACL \"Work\" \"dora\" \"l\"\r\n"
              "A000 LOGOUT\r\n");
    EXPECT_EQ(list.count, 3u);
    EXPECT_EQ(AclIdentifier(list.data[0]), "-staff");

    // BAD in the removal pass stops the write.
    server_.clearReceived();
    setFaults([](qorvad::Faults& f) { f.scripted["DELETEACL"] = "BAD"; });
    build(list);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), E_INVALIDARG);
    EXPECT_EQ(server_.received(),
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n"
              "A000 DELETEACL \"Work\" \"bob\"\r\nA000 LOGOUT\r\n");

    // NO to SETACL ends the set pass, and is the result.
    server_.clearReceived();
    setFaults([](qorvad::Faults& f) {
        f.scripted.clear();
        f.scripted["SETACL"] = "NO";
    });
    build(list);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), S_FALSE);
    EXPECT_EQ(server_.received(),
              "A000 CAPABILITY\r\nA000 LOGIN anna secret\r\n"
              "A000 DELETEACL \"Work\" \"bob\"\r\nA000 DELETEACL \"Work\" \"[staff]\"\r\n"
              "A000 SETACL \"Work\" \"carl\" \"lr\"\r\nA000 LOGOUT\r\n");

    // Unsafe text anywhere in the list: refused before connecting, the list untouched.
    server_.clearReceived();
    build(list);
    std::strcpy(list.data[3].rights, "l\r\nx");
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), E_INVALIDARG);
    build(list);
    std::strcpy(list.data[2].identifier, "ca\"rl");
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), E_INVALIDARG);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Wo\rrk", &account_, list), E_INVALIDARG);
    EXPECT_EQ(list.count, 4u);
    EXPECT_EQ(server_.connectionCount(), 0u);

    // Without the capability: message 137 on the parent, E_FAIL.
    setFaults([](qorvad::Faults& f) { f.announceAcl = false; });
    build(list);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), E_FAIL);
    EXPECT_EQ(shown(), std::vector<std::string>{kNoAcl});
    AclListFree(list);
}

}  // namespace
}  // namespace wq
