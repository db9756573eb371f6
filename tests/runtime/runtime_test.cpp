// The runtime frame: exports' argument checks, the language resource library, messages, the
// About sheet, and the headless windows the other tests rely on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/account.h"
#include "base/message.h"
#include "base/resources.h"
#include "base/result.h"
#include "base/text.h"
#include "net/logon_dialog.h"
#include "platform/headless/headless.h"
#include "platform/module.h"
#include "runtime/module_state.h"
#include "wqrt.h"

namespace {

namespace fs = std::filesystem;
using wq::headless::DialogView;
using wq::headless::Events;

class Runtime : public ::testing::Test {
  protected:
    void SetUp() override { wq::headless::Reset(); }
    void TearDown() override { EXPECT_EQ(wq::headless::PendingHandlers(), 0); }
};

const char* kAboutTitle = "About Qorva Outlook Express Extensions";

// The argument checks of the exports whose commands have no test of their own (the mailbox,
// ACL and alias commands check theirs beside their server tests).
TEST_F(Runtime, NullArgumentsAreRefusedWithoutAnyWindow) {
    AccountSettings account;
    wq::ResetAccountSettings(account);
    void* page = nullptr;
    EXPECT_EQ(WqMailRules(nullptr, nullptr), WQ_E_INVALIDARG);
    EXPECT_EQ(WqImapFolders(nullptr), WQ_E_INVALIDARG);
    EXPECT_EQ(WqCreatePageSecurity(nullptr, &account, &page), WQ_E_INVALIDARG);
    EXPECT_EQ(WqCreatePageSecurity("Inbox", nullptr, &page), WQ_E_INVALIDARG);
    EXPECT_EQ(WqCreatePageSecurity("Inbox", &account, nullptr), WQ_E_INVALIDARG);
    EXPECT_EQ(page, nullptr);
    EXPECT_TRUE(Events().empty()) << "a refused call showed a window";
}

TEST_F(Runtime, AccountDefaultsResultCodesAndMissingTexts) {
    AccountSettings account{"h", "u", "p", 1, 1, 5, 993, 1};
    wq::ResetAccountSettings(account);
    EXPECT_EQ(std::string(account.hostName) + account.userName + account.password, "");
    EXPECT_EQ(account.rememberPassword + account.useSpa + account.useSsl, 0);
    EXPECT_EQ(account.timeout, 30u);
    EXPECT_EQ(account.port, 143u);
    // Socket errors go into the Win32 facility; success and results already negative stay.
    EXPECT_EQ(static_cast<uint32_t>(wq::ResultFromSocketError(10061)), 0x8007274Du);
    EXPECT_EQ(static_cast<uint32_t>(wq::ResultFromSocketError(0x12345)), 0x80072345u);
    EXPECT_EQ(wq::ResultFromSocketError(0), 0);
    EXPECT_EQ(wq::ResultFromSocketError(-7), -7);
    EXPECT_EQ(wq::GetDllVersion("no-such-library-here.so"), 0u);
    EXPECT_EQ(wq::LoadText(59999), "") << "a missing string is an empty text";
    // A message nobody answers gets the safe button, never Yes.
    EXPECT_EQ(wq::ShowMessage(nullptr, 1200, wq::ui::kMbYesNo, 1, 1), wq::ui::kIdNo);
}

TEST_F(Runtime, AboutSheetShowsTheFourNumberVersionAndTheOwnPicture) {
    std::string shown;
    int picture = 0;
    wq::headless::OnPropertySheet([&](wq::headless::SheetView& sheet) {
        EXPECT_EQ(sheet.caption(), kAboutTitle);
        ASSERT_EQ(sheet.pageCount(), 1);
        EXPECT_EQ(sheet.pageTitle(0), "General");
        shown = sheet.page(0).text(401);
        picture = sheet.page(0).bitmap(400);
        sheet.clickOk();
    });
    EXPECT_EQ(WqAbout(0, nullptr), WQ_S_OK);
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Qorva Outlook Express Extensions Runtime Library,\nversion %d.%d.%d.%d",
                  WQ_VERSION_MAJOR, WQ_VERSION_MINOR, WQ_VERSION_PATCH, WQ_VERSION_TWEAK);
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(picture, 204);
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].result, 1);
}

// The language resource library is process-wide and stays once loaded, so its whole life is
// one test, in order.
TEST_F(Runtime, LanguageResourceLibraryLifecycle) {
    fs::path dir = fs::path(wq::platform::ModuleFileName(wq::platform::SelfModule())).parent_path();
    fs::path czech = dir / "WqRT405.so";
    ASSERT_TRUE(fs::exists(czech)) << "the Czech resource library is built beside the tests";
    fs::path zero = dir / "WqRT0.so";
    fs::path german = dir / "WqRT407.so";
    fs::remove(german);
    fs::copy_file(czech, zero, fs::copy_options::overwrite_existing);
    const std::string english = wq::LoadText(400);
    ASSERT_EQ(english, kAboutTitle);

    // Language 0 never looks for a library, even when a file of that name exists.
    WqInit(0, 0);
    EXPECT_EQ(wq::LoadText(400), english);
    EXPECT_EQ(wq::GetResourceInstance(), wq::OwnModule());
    fs::remove(zero);

    // A language whose library is missing: own texts, and every lookup tries again.
    WqInit(0, 0x0407);
    EXPECT_EQ(wq::LanguageLibraryPath(0x0407), german.string());
    EXPECT_EQ(wq::LoadText(400), english);
    fs::copy_file(czech, german);
    std::string translated = wq::LoadText(400);
    EXPECT_NE(translated, english) << "the library that appeared was not picked up";
    EXPECT_FALSE(translated.empty());

    // Dialogs come from the language library, bitmaps from the library itself.
    std::string pageTitle;
    int picture = 0;
    wq::headless::OnPropertySheet([&](wq::headless::SheetView& sheet) {
        pageTitle = sheet.pageTitle(0);
        picture = sheet.page(0).bitmap(400);
        sheet.clickOk();
    });
    EXPECT_EQ(WqAbout(0, nullptr), WQ_S_OK);
    EXPECT_EQ(Events().back().caption, translated);
    EXPECT_NE(pageTitle, "General");
    EXPECT_EQ(picture, 204);
    // Icons too: the logon dialog's template names icon 207, which only the library has.
    std::vector<int> pictures;
    wq::headless::OnDialog([&](DialogView& v) { pictures = v.pictures(); });
    wq::net::LogonDialog("mail", "", "", nullptr).run(nullptr);
    EXPECT_EQ(Events().back().templateId, 4100);
    EXPECT_NE(Events().back().caption, "Logon - mail");
    EXPECT_EQ(pictures, std::vector<int>{207});

    // Once loaded, the language library stays in use.
    WqInit(0, 0);
    EXPECT_EQ(wq::LoadText(400), translated);
    fs::remove(german);

    // The development entry (which asks for Czech) always answers 0.
    EXPECT_EQ(::Test(0, 0, 0, 0), 0);
}

}  // namespace
