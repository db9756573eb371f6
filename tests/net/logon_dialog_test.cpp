// The Logon dialog driven through the headless user interface.
#include <gtest/gtest.h>

#include "ids.h"
#include "net/logon_dialog.h"
#include "platform/headless/headless.h"
#include "platform/module.h"
#include "platform/resource_table.h"

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

TEST(LogonTemplate, PasswordHiddenServerReadOnlyRememberDisabled) {
    const platform::DialogTemplate* t =
        platform::FindDialog(platform::ModuleResources(platform::SelfModule()), IDD_LOGON);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->caption, "Logon - %s");
    EXPECT_EQ(t->cx, 200);
    EXPECT_EQ(t->cy, 127);
    auto style = [t](int id) {
        for (size_t i = 0; i < t->controlCount; ++i) {
            if (t->controls[i].id == id)
                return t->controls[i].style;
        }
        ADD_FAILURE() << "no control " << id;
        return 0u;
    };
    const uint32_t kPassword = 0x20, kReadOnly = 0x800, kDisabled = 0x08000000, kTabStop = 0x10000,
                   kBorder = 0x800000;
    EXPECT_EQ(style(220) & kPassword, kPassword);
    EXPECT_EQ(style(219) & (kPassword | kReadOnly), 0u);
    EXPECT_EQ(style(223) & (kReadOnly | kBorder | kTabStop), kReadOnly | kBorder | kTabStop);
    EXPECT_EQ(style(221) & (kDisabled | 0xF), kDisabled | 3u);  // automatic check box
    EXPECT_EQ(style(1) & 0xF, 1u);                              // default push button
    EXPECT_EQ(style(2) & 0xF, 0u);
}

}  // namespace
}  // namespace wq::net
