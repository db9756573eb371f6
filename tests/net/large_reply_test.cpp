// Large replies lose nothing, whatever the reads: 30,000 aliases, 30,000 rights entries and a
// multi-megabyte script, over plain TCP and TLS (reads of one 16 KiB record at most), whole and
// cut into pieces that fall everywhere in the lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "folders/acl.h"
#include "net/script_transfer.h"
#include "qorvad_fixture.h"
#include "wqrt.h"

namespace wq::net {
namespace {

constexpr int kEntries = 30000;

struct Route {
    const char* name;
    bool tls;
    size_t piece;  // qorvad sends each reply in pieces of this many bytes (0: whole)
};

class LargeReplyTest : public QorvadTest, public ::testing::WithParamInterface<Route> {
  protected:
    void SetUp() override {
        QorvadTest::SetUp();
        if (GetParam().tls) {
            account_.port = server_.listenTls();
            account_.useSsl = 1;
        }
        setFaults([](qorvad::Faults& f) {
            f.splitReplies = GetParam().piece;
            f.splitPauseMs = 0;
        });
    }
};

void WQ_API CollectAlias(uint32_t kind, const char* folder, const char* alias, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(std::to_string(kind) + " " + folder +
                                                               " " + alias);
}

TEST_P(LargeReplyTest, ListingsAndScriptComeBackWhole) {
    std::string aliases, acl, script;
    std::vector<std::string> expectedAliases;
    for (int i = 0; i < kEntries; ++i) {
        const std::string n = std::to_string(i);
        aliases += "* X-LISTMAP \"alias" + n + "\" \"~INBOX/F" + n + "\"\r\n";
        expectedAliases.push_back("1 INBOX/F" + n + " alias" + n);
        // Rights that differ from line to line, so that a line that took another's tail shows.
        acl += "* ACL INBOX user" + n + " " + (i % 2 ? "lr" : "lrswipcda") + "\r\n";
        script += (i % 3 ? "    keep; # " : " * A000 OK ") + n + std::string(64, '.') + "\r\n";
    }
    setFaults([&](qorvad::Faults& f) {
        f.scriptedReplies["X-LISTMAP"] = aliases + "{tag} OK X-LISTMAP completed.\r\n";
        f.scriptedReplies["GETACL"] = acl + "{tag} OK GETACL completed.\r\n";
    });
    server_.store().setScript("anna", "/*\r\n" + script + "*/\r\n");

    std::vector<std::string> got;
    EXPECT_EQ(WqGetAliases(&account_, CollectAlias, &got), S_OK);
    EXPECT_EQ(got, expectedAliases);

    AclList list{};
    FolderAcl folder{"Inbox", 0, &list};
    FolderAclList request{&folder, 1, 1};
    EXPECT_EQ(WqGetACL(nullptr, &account_, &request), S_OK);
    ASSERT_EQ(list.count, static_cast<uint32_t>(kEntries));
    for (int i = 0; i < kEntries; ++i) {
        ASSERT_EQ(std::string(list.data[i].identifier), "user" + std::to_string(i));
        ASSERT_EQ(std::string(list.data[i].rights), i % 2 ? "lr" : "lrswipcda") << i;
    }
    wq::AclListFree(list);

    std::string fetched;
    EXPECT_EQ(FetchScript(&fetched), S_OK);
    EXPECT_TRUE(fetched == "/*\r\n" + script + "*/\r\n") << fetched.size();
    EXPECT_TRUE(shown().empty());
}

INSTANTIATE_TEST_SUITE_P(Routes, LargeReplyTest,
                         ::testing::Values(Route{"PlainWhole", false, 0},
                                           Route{"PlainOddPieces", false, 4093},
                                           Route{"TlsWhole", true, 0},
                                           Route{"TlsOddPieces", true, 16411}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wq::net
