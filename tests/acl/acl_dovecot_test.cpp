// Access control lists against a real Dovecot (ACL plugin, vfile). Dovecot announces ACL only
// after login unless told otherwise, so the instance for the reading and writing case adds it
// to its capabilities before login; a stock instance shows message 137.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/dovecot_fixture.h"
#include "folders/acl.h"

namespace wq::testing {
namespace {

// One folder read through the export: its entries as "id=rights/kind", then "failed" or
// "unread" when the folder's result is not S_OK; the export's result and rendering beside.
std::string Read(AccountSettings& a, const char* folder, HResult* result, std::string* rendering) {
    AclList list{nullptr, 0, 0};
    FolderAcl f{};
    f.result = 0x7777;  // not written when the connection fails
    std::strncpy(f.name, folder, sizeof f.name - 1);
    f.acl = &list;
    FolderAclList request{&f, 1, 1};
    *result = WqGetACL(nullptr, &a, &request);
    std::string text;
    for (uint32_t i = 0; i < list.count; ++i) {
        text += AclIdentifier(list.data[i]) + "=" + AclRights(list.data[i]) + "/" +
                std::to_string(list.data[i].kind) + " ";
    }
    rendering->assign(WqAclToString(&list, nullptr) - 1, '\0');
    WqAclToString(&list, rendering->data());
    AclListFree(list);
    return text + (f.result == S_OK ? "" : f.result == E_FAIL ? "failed" : "unread");
}

class AclDovecotTest : public DovecotTest {
  protected:
    AclDovecotTest() : DovecotTest(true) {}
};

TEST_F(AclDovecotTest, ReadsAndWritesWhatDovecotKeeps) {
    Doveadm("mailbox create -u anna Work");
    Doveadm("acl set -u anna Work user=jdoe lookup read");

    // Dovecot lists every pair on one line ("ACL Work jdoe lr anna lrwstipekxacd"); each is an
    // entry, and only a first pair with the administer right is the owner (the INBOX's).
    HResult result = E_UNEXPECTED;
    std::string rendering;
    EXPECT_EQ(Read(account_, "Work", &result, &rendering), "jdoe=lr/1 anna=lrwstipekxacd/1 ");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(rendering, "jdoe (lr), anna (All)");
    EXPECT_EQ(Read(account_, "Inbox", &result, &rendering), "anna=lrwstipekxacd/0 ");
    EXPECT_EQ(rendering, "");
    EXPECT_EQ(Read(account_, "Missing", &result, &rendering), "");  // NO: result 0, list as it was
    EXPECT_EQ(result, S_FALSE);

    // An edited list through the writer: jdoe removed, bob added.
    AclList list{nullptr, 0, 0};
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("-jdoe", "lr", kAclKindUser)), S_OK);
    ASSERT_EQ(AclListAppend(list, MakeAclEntry("bob", "lrwi", kAclKindUser)), S_OK);
    EXPECT_EQ(WriteFolderAcl(nullptr, "Work", &account_, list), S_OK);
    EXPECT_EQ(list.count, 1u);
    AclListFree(list);
    const std::string acl = Doveadm("acl get -u anna Work");
    EXPECT_EQ(acl.find("user=jdoe"), std::string::npos) << acl;
    EXPECT_NE(acl.find("user=bob"), std::string::npos) << acl;
    EXPECT_NE(acl.find("insert lookup read write"), std::string::npos) << acl;
    EXPECT_EQ(Read(account_, "Work", &result, &rendering),
              "bob=ilrw/1 anna=lrwstipekxacd/1 ");  // in Dovecot's order
    EXPECT_TRUE(headless::Events().empty());
}

using StockDovecotTest = DovecotTest;

TEST_F(StockDovecotTest, LacksTheAclCapabilityBeforeLogin) {
    HResult result = S_OK;
    std::string rendering;
    EXPECT_EQ(Read(account_, "INBOX", &result, &rendering), "unread");
    EXPECT_EQ(result, E_FAIL);
    ASSERT_EQ(headless::Events().size(), 1u);
    EXPECT_EQ(headless::Events()[0].text, "The server does not support required capability (ACL).");
}

}  // namespace
}  // namespace wq::testing
