// Fetching and storing the Sieve script: the extraction from the reply text, and the transfers
// against the in-process qorvad with the literal's bytes on the wire.
#include <gtest/gtest.h>

#include <string>

#include "net/qorvad_fixture.h"
#include "net/script_transfer.h"
#include "text/charset.h"

namespace wq::net {
namespace {

using ScriptTransferTest = QorvadTest;

TEST(ScriptExtraction, KeepsWhatLiesBetweenTheFirstAndTheLastLine) {
    std::string script = "stale";
    EXPECT_EQ(
        ExtractScript("X-GETSCRIPT\r\nif true {\r\nkeep;\r\n}\r\nOK X-GETSCRIPT done.", &script),
        S_OK);
    EXPECT_EQ(script, "if true {\r\nkeep;\r\n}");
    // Only the announcing line and the completion: an empty script.
    EXPECT_EQ(ExtractScript("X-GETSCRIPT {0}\r\nOK X-GETSCRIPT completed.", &script), S_OK);
    EXPECT_EQ(script, "");
    // White space around the script goes; UTF-8 becomes ANSI.
    EXPECT_EQ(ExtractScript("X\n \n# Caf\xC3\xA9 \r\n\r\nOK\r\n", &script), S_OK);
    EXPECT_EQ(script, "# Caf\xE9");
    // A literal is the script exactly.
    EXPECT_EQ(ExtractScript("X {9}\n \n# Caf\xC3\xA9 \r\n\r\nOK\r\n", &script), S_OK);
    EXPECT_EQ(script, " \n# Caf\xE9");
    // No line feed at all (only the completion), or none left once the end is trimmed.
    EXPECT_EQ(ExtractScript("OK X-GETSCRIPT completed.", &script), E_FAIL);
    EXPECT_EQ(script, "");
    EXPECT_EQ(ExtractScript("X-GETSCRIPT\r\n \t", &script), E_FAIL);
    EXPECT_EQ(ExtractScript("", &script), E_FAIL);
}

TEST_F(ScriptTransferTest, FetchCutsTheScriptOutOfTheReply) {
    // Comment lines that begin with "*", indentation and empty lines come back byte for byte.
    server_.store().setScript(
        "anna",
        "/* Caf\xC3\xA9\r\n * A000 OK\r\n */\r\n\r\n#!1 x\r\nif true {\r\n    keep;\r\n}\r\n");
    std::string script;
    EXPECT_EQ(FetchScript(&script), S_OK);
    EXPECT_EQ(script,
              "/* Caf\xE9\r\n * A000 OK\r\n */\r\n\r\n#!1 x\r\nif true {\r\n    keep;\r\n}\r\n");
    EXPECT_EQ(server_.received(), "A000 LOGIN anna secret\r\nA000 X-GETSCRIPT\r\nA000 LOGOUT\r\n");

    server_.store().setScript("anna", "");
    script = "stale";
    EXPECT_EQ(FetchScript(&script), S_OK);
    EXPECT_EQ(script, "");

    // Results other than success come back unchanged.
    setFaults([](qorvad::Faults& f) { f.scripted["X-GETSCRIPT"] = "NO"; });
    script = "stale";
    EXPECT_EQ(FetchScript(&script), S_FALSE);
    EXPECT_EQ(script, "");
    setFaults([](qorvad::Faults& f) { f.greeting = "BAD"; });
    EXPECT_EQ(FetchScript(&script), 2);
    setFaults([](qorvad::Faults& f) {
        f.greeting = "OK";
        f.scripted["X-GETSCRIPT"] = "BAD";
    });
    EXPECT_EQ(FetchScript(&script), E_INVALIDARG);
}

TEST_F(ScriptTransferTest, StoreSendsANonSynchronizingLiteralInOnePiece) {
    const std::string utf8 = ansiToUtf8("# Caf\xE9\r\nkeep;");  // 13 characters, 14 bytes
    EXPECT_EQ(StoreScriptCommand(utf8), "X-PUTSCRIPT {14+}\r\n# Caf\xC3\xA9\r\nkeep;\r\n");
    EXPECT_EQ(StoreScript(utf8), S_OK);
    EXPECT_EQ(server_.received(),
              "A000 LOGIN anna secret\r\n"
              "A000 X-PUTSCRIPT {14+}\r\n# Caf\xC3\xA9\r\nkeep;\r\n"
              "A000 LOGOUT\r\n");
    EXPECT_EQ(server_.store().script("anna"), utf8);

    // An empty script, and back again through the fetch.
    EXPECT_EQ(StoreScript(""), S_OK);
    EXPECT_EQ(server_.store().script("anna"), "");
    EXPECT_EQ(StoreScript(ansiToUtf8("if true {\r\nstop;\r\n}")), S_OK);
    std::string script;
    EXPECT_EQ(FetchScript(&script), S_OK);
    EXPECT_EQ(script, "if true {\r\nstop;\r\n}");

    setFaults([](qorvad::Faults& f) { f.scripted["X-PUTSCRIPT"] = "NO"; });
    EXPECT_EQ(StoreScript("keep;"), S_FALSE);
}

}  // namespace
}  // namespace wq::net
