// Access control lists without a server: the GETACL reply reader, the rendering, the list
// storage that the host shares, and the record layout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "folders/acl.h"
#include "wqrt.h"

namespace wq {
namespace {

struct Row {
    std::string identifier;
    std::string rights;
    uint32_t kind;
    uint16_t mask;
    bool operator==(const Row& o) const {
        return identifier == o.identifier && rights == o.rights && kind == o.kind && mask == o.mask;
    }
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << r.identifier << "/" << r.rights << "/" << r.kind << "/0x" << std::hex << r.mask;
}

// A list that frees its block like a host would.
struct HostList {
    AclList list{nullptr, 0, 0};
    ~HostList() { AclListFree(list); }
    std::vector<Row> rows() const {
        std::vector<Row> out;
        for (uint32_t i = 0; i < list.count; ++i) {
            out.push_back({AclIdentifier(list.data[i]), AclRights(list.data[i]), list.data[i].kind,
                           list.data[i].mask});
        }
        return out;
    }
};

const std::string kThreeLines =
    "ACL \"INBOX\" jdoe lrswipcda\r\nACL \"INBOX\" anna lr\r\nACL \"INBOX\" [staff] lrs\r\n"
    "OK GETACL completed.\r\n";

TEST(AclReader, OwnerUsersAndGroups) {
    HostList l;
    ASSERT_EQ(ParseAclReply(kThreeLines, l.list), S_OK);
    EXPECT_EQ(l.rows(), (std::vector<Row>{{"jdoe", "lrswipcda", 0, 0x1FF},
                                          {"anna", "lr", 1, 0x180},
                                          {"staff", "lrs", 2, 0x1C0}}));
    EXPECT_EQ(AclListText(l.list), "anna (lr), [staff] (lrs)");

    // Without the administer right the first identifier is a user like the others.
    std::string noAdmin = kThreeLines;
    noAdmin.replace(noAdmin.find("lrswipcda"), 9, "lrswipcd");
    ASSERT_EQ(ParseAclReply(noAdmin, l.list), S_OK);
    EXPECT_EQ(l.rows()[0], (Row{"jdoe", "lrswipcd", 1, 0x1FE}));
    EXPECT_EQ(AclListText(l.list), "jdoe (lrswipcd), anna (lr), [staff] (lrs)");

    // A group listed first is counted from kind 0: it becomes a user.
    ASSERT_EQ(ParseAclReply("ACL INBOX [all] lrswipcda\nACL INBOX [x] l\n", l.list), S_OK);
    EXPECT_EQ(l.rows(), (std::vector<Row>{{"all", "lrswipcda", 1, 0x1FF}, {"x", "l", 2, 0x100}}));
}

TEST(AclReader, TokensRightsAndLineShapes) {
    HostList l;
    // Upper-case rights are stored in lower case; s and p do not count for "All".
    ASSERT_EQ(ParseAclReply("ACL INBOX me a\nACL INBOX bob LRWICDA\nACL INBOX eve lrx\n", l.list),
              S_OK);
    EXPECT_EQ(l.rows()[1], (Row{"bob", "lrwicda", 1, 0x1B7}));
    EXPECT_EQ(l.rows()[2], (Row{"eve", "lrx", 1, 0x180}));
    EXPECT_EQ(AclListText(l.list), "bob (All), eve (lrx)");

    // Quoted tokens keep their blanks; every pair of a line is an entry; indentation,
    // trailing blanks and lines of other shapes do not matter; "acl " in lower case is no ACL line.
    ASSERT_EQ(ParseAclReply("  ACL \"My Stuff\" \"John Doe\" lrswipcda bob lr  \r\n"
                            "acl INBOX x l\nMYRIGHTS INBOX lr\nACL\tINBOX y l\n"
                            "ACL  \"INBOX\"   \"[two words]\"\t\"lr\"",
                            l.list),
              S_OK);
    EXPECT_EQ(l.rows(), (std::vector<Row>{{"John Doe", "lrswipcda", 0, 0x1FF},
                                          {"bob", "lr", 1, 0x180},
                                          {"two words", "lr", 2, 0x180}}));
    // A pair without its rights fails the read, as a line without any does.
    EXPECT_EQ(ParseAclReply("ACL INBOX anna lr bob\n", l.list), E_FAIL);
    EXPECT_EQ(l.list.count, 0u);

    // Cut to the record's widths: 127 characters of identifier, 15 rights letters.
    const std::string longId(200, 'u');
    ASSERT_EQ(ParseAclReply("ACL INBOX " + longId + " lrswipcdalrswipcda\n", l.list), S_OK);
    EXPECT_EQ(l.rows(), (std::vector<Row>{{longId.substr(0, 127), "lrswipcdalrswip", 0, 0x1FF}}));

    // No ACL line: an empty list and success, whatever was in the list before.
    ASSERT_EQ(ParseAclReply("OK GETACL completed.\r\n", l.list), S_OK);
    EXPECT_EQ(l.list.count, 0u);
    ASSERT_EQ(ParseAclReply("", l.list), S_OK);
}

TEST(AclReader, MissingTokenFailsTheWholeRead) {
    const char* const broken[] = {
        "ACL INBOX anna lr\nACL \"INBOX\" bob\n",   // no rights
        "ACL INBOX anna lr\nACL INBOX bob \"\"\n",  // empty quoted rights
        "ACL \"\" anna lr\n",                       // empty mailbox
        "ACL INBOX\n",
        "ACL INBOX  \t \n",
        "ACL \"INBOX anna lr\n",  // the quote swallows the line
    };
    for (const char* text : broken) {
        HostList l;
        ASSERT_EQ(AclListAppend(l.list, MakeAclEntry("old", "l", 1)), S_OK);
        EXPECT_EQ(ParseAclReply(text, l.list), E_FAIL) << text;
        EXPECT_EQ(l.list.count, 0u) << text;
    }
}

TEST(AclRendering, ExportSizesAndCopies) {
    HostList l;
    EXPECT_EQ(WqAclToString(&l.list, nullptr), 1);
    EXPECT_EQ(WqAclToString(nullptr, nullptr), 1);
    ASSERT_EQ(AclListAppend(l.list, MakeAclEntry("me", "lrswipcda", kAclKindOwner)), S_OK);
    EXPECT_EQ(WqAclToString(&l.list, nullptr), 1);  // the owner alone renders as nothing

    ASSERT_EQ(AclListAppend(l.list, MakeAclEntry("staff", "lrwicda", kAclKindGroup)), S_OK);
    ASSERT_EQ(AclListAppend(l.list, MakeAclEntry("-gone", "l", kAclKindUser)), S_OK);
    const std::string expected = "[staff] (All), -gone (l)";
    ASSERT_EQ(WqAclToString(&l.list, nullptr), static_cast<int32_t>(expected.size() + 1));
    std::vector<char> buffer(expected.size() + 8, 'x');
    EXPECT_EQ(WqAclToString(&l.list, buffer.data()), static_cast<int32_t>(expected.size() + 1));
    EXPECT_EQ(std::string(buffer.data()), expected);
    EXPECT_EQ(buffer[expected.size() + 1], 'x');  // nothing written past the terminator
}

TEST(AclStorage, GrowsByDoublingFromOneAndKeepsTheHostsBlock) {
    HostList l;
    std::vector<uint32_t> capacities;
    for (int i = 0; i < 9; ++i) {
        ASSERT_EQ(AclListAppend(l.list, MakeAclEntry("u" + std::to_string(i), "l", 1)), S_OK);
        capacities.push_back(l.list.capacity);
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{1, 2, 4, 4, 8, 8, 8, 8, 16}));
    AclListRemoveAt(l.list, 0);
    AclListRemoveAt(l.list, 7);
    AclListRemoveAt(l.list, 99);  // out of range: nothing
    ASSERT_EQ(l.list.count, 7u);
    EXPECT_EQ(AclIdentifier(l.list.data[0]), "u1");
    EXPECT_EQ(AclIdentifier(l.list.data[6]), "u7");

    // A block the host allocated with malloc is used as it is while it has room; reading
    // empties the list without giving the block back.
    HostList host;
    host.list.data = static_cast<AclEntry*>(std::malloc(8 * sizeof(AclEntry)));
    host.list.capacity = 8;
    AclEntry* block = host.list.data;
    ASSERT_EQ(ParseAclReply(kThreeLines, host.list), S_OK);
    EXPECT_EQ(host.list.data, block);
    EXPECT_EQ(host.list.count, 3u);
    EXPECT_EQ(host.list.capacity, 8u);
}

TEST(AclStorage, ZeroFilledFields) {
    // The host reads fixed fields: everything after the text is zero, the mask fits the table.
    AclEntry e = MakeAclEntry("bob", "LRX", 1);
    unsigned char raw[sizeof e];
    std::memcpy(raw, &e, sizeof e);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw)), "bob");
    for (size_t i = 3; i < 128; ++i)
        ASSERT_EQ(raw[i], 0) << i;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw + 128)), "lrx");
    for (size_t i = 131; i < 144; ++i)
        ASSERT_EQ(raw[i], 0) << i;
    EXPECT_EQ(e.mask, 0x180);
    EXPECT_EQ(AclRightsMask("lrswipcda"), 0x1FF);
    EXPECT_EQ(AclRightsMask("xyz"), 0);
}

}  // namespace
}  // namespace wq
