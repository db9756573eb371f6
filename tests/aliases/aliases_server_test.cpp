// The alias exports against the in-process qorvad: one connection per call, the exact command,
// the callback after the listing has ended.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/result.h"
#include "net/qorvad_fixture.h"
#include "wqrt.h"

namespace wq {
namespace {

using AliasesTest = net::QorvadTest;

struct Seen {
    qorvad::Server* server = nullptr;
    std::vector<std::string> calls;
};

void WQ_API Collect(uint32_t kind, const char* folder, const char* alias, void* context) {
    auto* seen = static_cast<Seen*>(context);
    // The whole listing, LOGOUT included, is over before the host hears of an entry.
    const std::string received = seen->server->received();
    const bool over =
        received.size() >= 13 && received.compare(received.size() - 13, 13, "A000 LOGOUT\r\n") == 0;
    seen->calls.push_back(std::to_string(kind) + "|" + folder + "|" + alias +
                          (over ? "" : " (before the end)"));
}

TEST_F(AliasesTest, ListingCallsBackPerAliasInReplyOrder) {
    auto& s = server_.store();
    ASSERT_TRUE(s.addFolder("anna", "INBOX/Sales"));
    ASSERT_TRUE(s.addFolder("anna", "#public/Support"));
    ASSERT_TRUE(s.addFolder("anna", "Entw&APw-rfe"));
    ASSERT_TRUE(s.setAlias("anna", "sales", "~INBOX/Sales"));
    ASSERT_TRUE(s.setAlias("anna", "help", "#public/Support"));
    ASSERT_TRUE(s.setAlias("anna", "caf&AOk-", "~Entw&APw-rfe"));

    Seen seen{&server_, {}};
    EXPECT_EQ(WqGetAliases(&account_, Collect, &seen), S_OK);
    EXPECT_EQ(seen.calls,
              (std::vector<std::string>{"1|INBOX/Sales|sales", "2|Public Folders/Support|help",
                                        "1|Entw\xFCrfe|caf\xE9"}));
    EXPECT_EQ(server_.received(), "A000 LOGIN anna secret\r\nA000 X-LISTMAP\r\nA000 LOGOUT\r\n");

    // NO: its result, no call. A failed connection: its negative result.
    seen.calls.clear();
    setFaults([](qorvad::Faults& f) { f.scripted["X-LISTMAP"] = "NO"; });
    EXPECT_EQ(WqGetAliases(&account_, Collect, &seen), S_FALSE);
    EXPECT_TRUE(seen.calls.empty());
    server_.stop();
    EXPECT_TRUE(Failed(WqGetAliases(&account_, Collect, &seen)));
    EXPECT_TRUE(seen.calls.empty());

    EXPECT_EQ(WqGetAliases(nullptr, Collect, &seen), E_INVALIDARG);
    EXPECT_EQ(WqGetAliases(&account_, nullptr, &seen), E_INVALIDARG);
    EXPECT_TRUE(shown().empty());
}

TEST_F(AliasesTest, AddAndRemoveSendOneCommandEach) {
    auto& s = server_.store();
    ASSERT_TRUE(s.addFolder("anna", "INBOX/Sales"));
    ASSERT_TRUE(s.addFolder("anna", "#public/Support"));
    ASSERT_TRUE(s.setAcl("anna", "#public/Support", "anna", "lrswipcda"));

    EXPECT_EQ(WqAddAlias(&account_, " Inbox/Sales ", "sales"), S_OK);
    EXPECT_EQ(WqAddAlias(&account_, "Public Folders/Support", "help"), S_OK);
    EXPECT_EQ(WqRemoveAlias(&account_, " help "), S_OK);
    EXPECT_EQ(WqRemoveAlias(&account_, "help"), S_FALSE);  // already gone: NO
    EXPECT_EQ(server_.received(),
              "A000 LOGIN anna secret\r\nA000 X-SETMAP \"sales\" \"~INBOX/Sales\"\r\n"
              "A000 LOGOUT\r\n"
              "A000 LOGIN anna secret\r\nA000 X-SETMAP \"help\" \"#public/Support\"\r\n"
              "A000 LOGOUT\r\n"
              "A000 LOGIN anna secret\r\nA000 X-DELETEMAP \"help\"\r\nA000 LOGOUT\r\n"
              "A000 LOGIN anna secret\r\nA000 X-DELETEMAP \"help\"\r\nA000 LOGOUT\r\n");
    ASSERT_EQ(s.aliases("anna").size(), 1u);
    EXPECT_EQ(s.aliases("anna")[0].target, "~INBOX/Sales");

    // Refused without contacting the server: missing arguments, and what the command lines
    // refuse (blank names, line breaks, quotes).
    server_.clearReceived();
    EXPECT_EQ(WqAddAlias(nullptr, "Work", "w"), E_INVALIDARG);
    EXPECT_EQ(WqAddAlias(&account_, nullptr, "w"), E_INVALIDARG);
    EXPECT_EQ(WqAddAlias(&account_, "Work", nullptr), E_INVALIDARG);
    EXPECT_EQ(WqAddAlias(&account_, "Work", "w\r\nA000 DELETE \"INBOX\""), E_INVALIDARG);
    EXPECT_EQ(WqRemoveAlias(nullptr, "w"), E_INVALIDARG);
    EXPECT_EQ(WqRemoveAlias(&account_, nullptr), E_INVALIDARG);
    EXPECT_EQ(WqRemoveAlias(&account_, "w\n"), E_INVALIDARG);
    EXPECT_EQ(server_.connectionCount(), 0u);

    // The server's refusals come back unchanged: a folder without "~" or "#" is BAD there.
    setFaults([](qorvad::Faults& f) { f.scripted["X-SETMAP"] = "BAD"; });
    EXPECT_EQ(WqAddAlias(&account_, "Work", "w"), E_INVALIDARG);
    EXPECT_EQ(server_.connectionCount(), 1u);
    EXPECT_TRUE(shown().empty());
}

}  // namespace
}  // namespace wq
