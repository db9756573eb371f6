// The Address Book dialog over the platform's address book: the vCard files of contacts/
// natively, and under Windows a stand-in Windows Address Book library (wab_fixture.c) with the
// same people, registered where the real one is found. Natively also the vCard reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "editor/address_book_dialog.h"
#include "ids.h"
#include "platform/headless/headless.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/posix/vcard.h"
#endif

namespace wq::editor {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;
constexpr int kList = IDC_ADDRESS_BOOK_LIST;

// Every mail user, sorted by name; neither groups nor the card outside a .vcf file.
const Rows kPeople = {{"adam Bell", "adam@bell.example"},
                      {"Eva M\xFCller", ""},
                      {"Jan Nov\xE1k", "jan.novak@example.cz"},
                      {"Petr Svoboda", "petr@svoboda.example"},
                      {"\x8A\xE1rka Nov\xE1kov\xE1", "sarka@example.cz"},
                      {"Zo\xEB Adams", "zoe@work.example"}};

Rows Shown(const headless::DialogView& v) {
    Rows rows;
    for (int i = 0; i < v.rowCount(kList); ++i) {
        rows.emplace_back(v.rowText(kList, i, 0), v.rowText(kList, i, 1));
    }
    return rows;
}

class AddressBook : public ::testing::Test {
  protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { useAddressBook(false); }

#ifdef _WIN32
    // The fixture library (beside the test) is registered at the machine-wide value, or the
    // key is removed.
    static void useAddressBook(bool present) {
        const char* key = "Software\\Microsoft\\WAB\\DLLPath";
        const char dll[] = "wab_fixture.dll";
        HKEY k = nullptr;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        if (present && RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr,
                                       &k, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dll), sizeof dll);
            RegCloseKey(k);
        }
    }
#else
    static void useAddressBook(bool present) {
        setenv("WQ_CONTACTS", present ? WQ_SOURCE_DIR "/tests/editor/contacts" : "/nonexistent", 1);
    }
#endif

    // Opens the dialog, lets `act` work in it, and gives the result and the address.
    static std::pair<int, std::string> pick(std::function<void(headless::DialogView&)> act) {
        headless::OnDialog(std::move(act));
        AddressBookDialog dialog;
        int result = dialog.run(nullptr);
        return {result, dialog.address()};
    }
};

TEST_F(AddressBook, MailUsersSortedByNameAndByTheClickedColumn) {
    useAddressBook(true);
    Rows reversed(kPeople.rbegin(), kPeople.rend());
    auto [result, address] = pick([&](headless::DialogView& v) {
#ifdef _WIN32
        EXPECT_EQ(GetModuleHandleA("wab_fixture.dll"), nullptr);  // freed once read
#endif
        EXPECT_EQ(Shown(v), kPeople);
        EXPECT_EQ(v.sortMark(kList, 0), ui::SortMark::kAscending);
        v.snapshot("address_book");
        v.clickRow(kList, 2);  // Jan
        v.clickColumn(kList, 0);
        EXPECT_EQ(Shown(v), reversed);
        EXPECT_EQ(v.sortMark(kList, 0), ui::SortMark::kDescending);
        EXPECT_EQ(v.selectedRows(kList), std::vector<int>{3});  // the selection stays on Jan
        v.clickColumn(kList, 0);
        EXPECT_EQ(Shown(v), kPeople);
        v.clickColumn(kList, 1);  // by address: Eva's empty one first
        EXPECT_EQ(v.sortMark(kList, 0), ui::SortMark::kNone);
        EXPECT_EQ(v.sortMark(kList, 1), ui::SortMark::kAscending);
        EXPECT_EQ(v.rowText(kList, 0), "Eva M\xFCller");
        EXPECT_EQ(v.rowText(kList, 1), "adam Bell");
        EXPECT_EQ(v.selectedRows(kList), std::vector<int>{2});
        v.doubleClickRow(kList, 5);
    });
    EXPECT_EQ(result, ui::kIdOk);
    EXPECT_EQ(address, "zoe@work.example");
}

TEST_F(AddressBook, OkNeedsARowAndAContactWithoutAddressGivesAnEmptyOne) {
    for (int row : {-2, -1, 1}) {  // the row clicked before OK: Eva; -1 none; -2 no address book
        useAddressBook(row != -2);
        auto [result, address] = pick([&](headless::DialogView& v) {
            EXPECT_EQ(v.rowCount(kList), row == -2 ? 0 : 6);
            if (row >= 0) {
                v.clickRow(kList, row);
            }
            v.click(ui::kIdOk);
        });
        EXPECT_EQ(result, row >= 0 ? ui::kIdOk : ui::kIdCancel) << row;
        EXPECT_EQ(address, "");
    }
}

#ifdef _WIN32
// The Windows Address Book, asked as the fixture expects, gets back every object and buffer,
// also when a read fails part way; the rows read before the failure stay.
TEST_F(AddressBook, WindowsAddressBookIsReleasedAndFreed) {
    useAddressBook(true);
    HMODULE fixture = LoadLibraryA("wab_fixture.dll");  // kept loaded to ask it afterwards
    ASSERT_NE(fixture, nullptr);
    auto live = reinterpret_cast<LONG (*)()>(
        reinterpret_cast<void*>(GetProcAddress(fixture, "WabFixtureLive")));
    // Failing at the fourth row: Zoë, the list and Petr were read.
    const std::pair<const char*, Rows> cases[] = {{"4", {kPeople[3], kPeople[5]}}, {"", kPeople}};
    for (const auto& [failAt, rows] : cases) {
        SetEnvironmentVariableA("WAB_FIXTURE_FAIL_AT", failAt);
        pick([&](headless::DialogView& v) { EXPECT_EQ(Shown(v), rows); });
        EXPECT_EQ(live(), 0);
    }
    FreeLibrary(fixture);
}
#else
TEST(VCard, CardsGiveNamesAndPreferredAddresses) {
    struct Case {
        const char* text;
        Rows contacts;
    };
    const Case cases[] = {
        // A byte-order mark, lone CR line ends, escapes, N without a given name.
        {"\xEF\xBB\xBF"
         "BEGIN:VCARD\rFN:Doe\\, John\\nJr.\rEMAIL:a\\;b@x\rEND:VCARD\r"
         "BEGIN:vcard\nN:Solo\nEND:VCARD",
         {{"Doe, John Jr.", "a;b@x"}, {"Solo", ""}}},
        // Base64 values, quoted parameters holding ":" and ";", an unterminated last card.
        {"BEGIN:VCARD\nFN;ENCODING=b:SmFuYQ==\nEMAIL;X-A=\"p:q;r\";PREF=3:c@x\n"
         "EMAIL;PREF=2:d@x\nBEGIN:VCARD\nFN:inner\nEMAIL:e@x",
         {{"Jana", "d@x"}}},
        // Evolution's lists, lines that are no properties, cards without name or address, an
        // END with no BEGIN.
        {"END:VCARD\nBEGIN:VCARD\nX-EVOLUTION-LIST:TRUE\nFN:List\nEND:VCARD\n"
         "garbage\nBEGIN:VCARD\nTEL:1\nEND:VCARD\nFN:outside\n",
         {}},
        // Quoted-printable UTF-8 with a soft line break, CHARSET naming ISO-8859-2.
        {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:P=C5=99=\nemysl\n"
         "EMAIL;CHARSET=ISO-8859-2;ENCODING=QUOTED-PRINTABLE:=F8@x\nEND:VCARD\n",
         {{"P\xC5\x99"
           "emysl",
           "\xC5\x99@x"}}},
    };
    for (const Case& c : cases) {
        Rows got;
        for (const platform::Contact& contact : platform::ParseVCardContacts(c.text)) {
            got.emplace_back(contact.name, contact.email);
        }
        EXPECT_EQ(got, c.contacts) << c.text;
    }
}
#endif

}  // namespace
}  // namespace wq::editor
