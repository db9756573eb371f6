// The Logon dialog driven through the headless user interface.
#include <gtest/gtest.h>

#include "ids.h"
#include "net/logon_dialog.h"
#include "platform/headless/headless.h"

namespace wq::net {
namespace {

using headless::DialogView;

class LogonDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { EXPECT_EQ(headless::PendingHandlers(), 0); }
};

TEST_F(LogonDialogTest, ShowsTheCredentialsAndTakesWhatWasTyped) {
    uint8_t remember = 1;
    LogonDialog dialog("mail", "anna", "old", &remember);
    headless::OnDialog([](DialogView& v) {
        EXPECT_EQ(v.templateId(), 4100);
        EXPECT_EQ(v.title(), "Logon - mail");
        EXPECT_TRUE(v.centeredOnOwner());
        EXPECT_EQ(v.text(223), "mail");
        EXPECT_EQ(v.text(219), "anna");
        EXPECT_EQ(v.text(220), "old");
        EXPECT_EQ(v.focus(), 220);  // a user name is there: the password is to be corrected
        EXPECT_TRUE(v.checked(221));
        EXPECT_FALSE(v.enabled(221));
        v.click(221);  // disabled: nothing changes
        v.type(219, "");
        v.type(220, "new secret");
        v.click(1);
    });
    EXPECT_EQ(dialog.run(nullptr), 1);
    EXPECT_EQ(dialog.userName(), "");  // not validated
    EXPECT_EQ(dialog.password(), "new secret");
    EXPECT_EQ(dialog.server(), "mail");
    EXPECT_EQ(remember, 1);
}

TEST_F(LogonDialogTest, RememberFlagOtherThanOneReadsUncheckedAndOkStoresZero) {
    uint8_t remember = 2;
    LogonDialog dialog("imap.example.org", "", "", &remember);
    headless::OnDialog([](DialogView& v) {
        EXPECT_EQ(v.title(), "Logon - imap.example.org");
        EXPECT_EQ(v.focus(), 219);  // no user name yet
        EXPECT_FALSE(v.checked(221));
        EXPECT_FALSE(v.enabled(221));
        v.click(1);
    });
    EXPECT_EQ(dialog.run(nullptr), 1);
    EXPECT_EQ(remember, 0);
}

TEST_F(LogonDialogTest, CancelLeavesEverythingAndNoPointerMeansDisabledUnchecked) {
    uint8_t remember = 1;
    LogonDialog withFlag("mail", "anna", "old", &remember);
    headless::OnDialog([](DialogView& v) {
        v.type(220, "typed");
        v.click(2);
    });
    EXPECT_EQ(withFlag.run(nullptr), 2);
    EXPECT_EQ(withFlag.password(), "old");
    EXPECT_EQ(remember, 1);

    LogonDialog without("mail", "anna", "old", nullptr);
    headless::OnDialog([](DialogView& v) {
        EXPECT_FALSE(v.checked(221));
        EXPECT_FALSE(v.enabled(221));
        v.click(1);
    });
    EXPECT_EQ(without.run(nullptr), 1);
    // A dialog closed without an answer is cancelled.
    LogonDialog unanswered("mail", "anna", "old", &remember);
    EXPECT_EQ(unanswered.run(nullptr), 2);
    EXPECT_EQ(remember, 1);
}

}  // namespace
}  // namespace wq::net
