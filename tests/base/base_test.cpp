// The formatter every text with placeholders goes through, and texts cached from the resource
// module that must follow it when a language library takes over.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/text.h"
#include "folders/folder_names.h"
#include "wqrt.h"

namespace wq {
namespace {

TEST(FormatText, ConversionsAsPrintfWritesThem) {
    EXPECT_EQ(FormatText("%s has %d%% of %u", "disk", -5, -1), "disk has -5% of 4294967295");
    EXPECT_EQ(FormatText("%08X|%x|%c", 0x80004005u, 255, 'A'), "80004005|ff|A");
    EXPECT_EQ(FormatText("%lu|%llu", uint64_t{5000000000}, uint64_t{5000000000}),
              sizeof(long) == 8 ? "5000000000|5000000000" : "705032704|5000000000");
    EXPECT_EQ(FormatText("[%5d|%-4s|%.2s|%3s]", 42, "ab", "xyz", std::string("long")),
              "[   42|ab  |xy|long]");
}

// A translated text is data: whatever it holds, nothing is read that was not passed.
TEST(FormatText, FaultyTextsStayVisibleAndSafe) {
    // A conversion without argument, or with one of the other kind, is written as it stands.
    EXPECT_EQ(FormatText("%s and %s", "one"), "one and %s");
    EXPECT_EQ(FormatText("%d of %s", "text", 3), "%d of %s");
    EXPECT_EQ(FormatText("%n%p%f", 1, 2, 3), "%n%p%f");
    // Stray percent signs, at the end too.
    EXPECT_EQ(FormatText("50% off, 100%"), "50% off, 100%");
    EXPECT_EQ(FormatText("%"), "%");
    // Widths cannot ask for gigabytes.
    EXPECT_LE(FormatText("%999999999d", 1).size(), 4096u);
    EXPECT_LE(FormatText("%999999999s", "x").size(), 4096u);
}

TEST(SpecialFolderNames, FollowTheLanguageChosenAfterTheFirstUse) {
    EXPECT_EQ(MapServerToDisplay("INBOX/Work"), "Inbox/Work");
    WqInit(0, 0x0405);
    const std::string czech = LoadText(1400);
    ASSERT_NE(czech, "Inbox") << "the Czech resource library is built beside the tests";
    EXPECT_EQ(MapServerToDisplay("INBOX/Work"), czech + "/Work");
    EXPECT_EQ(MapDisplayToServer(czech + "/Work"), "INBOX/Work");
    EXPECT_EQ(MapDisplayToServer("Inbox/Work"), "Inbox/Work");
}

}  // namespace
}  // namespace wq
