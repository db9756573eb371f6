// The library's own resources against the Czech resource library: the same templates with the
// same controls in the same order, texts with the same conversions, places and unique
// accelerators; and the template facts the dialogs rely on.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "ids.h"
#include "platform/module.h"
#include "platform/resource_table.h"

namespace wq::platform {
namespace {

const ResourceTable* Own() {
    return ModuleResources(SelfModule());
}

const ControlTemplate* Control(const DialogTemplate* d, int id) {
    for (size_t k = 0; d && k < d->controlCount; ++k) {
        if (d->controls[k].id == id) {
            return &d->controls[k];
        }
    }
    return nullptr;
}

const ResourceTable* Czech() {
    static ModuleHandle module = LoadModule(
        (std::filesystem::path(ModuleFileName(SelfModule())).parent_path() / "WqRT405.so")
            .string());
    return ModuleResources(module);
}

// The printf conversions of a text in order ("%d%s"), then "[]" for each bracketed place.
std::string Shape(const std::string& text) {
    std::string shape, places;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t end = text[i] == '%'   ? text.find_first_not_of("-+ #0123456789.lh", i + 1)
                     : text[i] == '[' ? text.find(']', i)
                                      : i;
        if (end == std::string::npos) {
            break;
        }
        shape += text[i] == '%' ? text.substr(i, end - i + 1) : "";
        places += text[i] == '[' ? "[]" : "";
        i = end;
    }
    return shape + places;
}

TEST(Templates, CzechDialogsHaveTheSameControlsInTheSameOrder) {
    ASSERT_NE(Czech(), nullptr) << "WqRT405 is built beside the tests";
    EXPECT_EQ(Czech()->dialogCount, Own()->dialogCount);
    for (size_t i = 0; i < Own()->dialogCount; ++i) {
        const DialogTemplate& en = Own()->dialogs[i];
        const DialogTemplate* cs = FindDialog(Czech(), en.id);
        ASSERT_NE(cs, nullptr) << en.id;
        EXPECT_EQ(cs->style, en.style) << en.id;
        EXPECT_EQ(Shape(cs->caption), Shape(en.caption)) << en.id;
        ASSERT_EQ(cs->controlCount, en.controlCount) << en.id;
        for (const DialogTemplate* d : {&en, cs}) {
            std::set<std::string> accelerators;
            for (size_t k = 0; k < d->controlCount; ++k) {
                const ControlTemplate& c = d->controls[k];
                const ControlTemplate& e = en.controls[k];
                EXPECT_EQ(c.id, e.id) << d->caption << " #" << k;
                EXPECT_STREQ(c.className, e.className) << d->caption << " " << c.id;
                EXPECT_EQ(c.style, e.style) << d->caption << " " << c.id;
                EXPECT_EQ(c.exStyle, e.exStyle) << d->caption << " " << c.id;
                EXPECT_EQ(Shape(c.text), Shape(e.text)) << d->caption << " " << c.id;
                EXPECT_TRUE((c.x >= 0 && c.y >= 0 && c.x + c.cx <= d->cx && c.y + c.cy <= d->cy) ||
                            std::string(c.className) == "ComboBox")  // cy is the open list's
                    << d->caption << " " << c.id << " lies outside the dialog";
                const char* amp = std::strchr(c.text, '&');
                if (amp && amp[1] != '&' && amp[1] != '\0') {  // one letter, in UTF-8
                    size_t n = 1;
                    while ((amp[1 + n] & 0xC0) == 0x80) {
                        ++n;
                    }
                    std::string key(amp + 1, n);
                    key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
                    EXPECT_TRUE(accelerators.insert(key).second)
                        << d->caption << ": accelerator " << key << " twice";
                }
            }
        }
    }
}

TEST(Templates, CzechStringsKeepConversionsAndPlaces) {
    ASSERT_NE(Czech(), nullptr);
    ASSERT_EQ(Czech()->stringCount, Own()->stringCount);
    for (size_t i = 0; i < Own()->stringCount; ++i) {
        const StringResource& en = Own()->strings[i];
        const StringResource& cs = Czech()->strings[i];
        ASSERT_EQ(cs.id, en.id);
        EXPECT_EQ(Shape(cs.text), Shape(en.text)) << en.id << ": " << cs.text;
        EXPECT_STRNE(cs.text, "") << en.id;
    }
    EXPECT_EQ(Shape("Copy (%d) of %s, 100%% [more/less] than [size] [x"), "%d%s%%[][]");
}

// Bits of a control's styles: the extended style in the high half, the style in the low half.
struct Fact {
    int dialog, control;
    const char* className;
    uint64_t mask, bits;
};

TEST(Templates, StylesTheDialogsRelyOn) {
    const uint64_t kDisabled = 0x08000000, kVisible = 0x10000000;
    const uint64_t kPane = 0x200ull << 32 | 0x804;  // WS_EX_CLIENTEDGE; ES_READONLY | ES_MULTILINE
    const uint64_t kReport = 0x1, kSingle = 0x4, kShowSel = 0x8, kOwnerData = 0x1000,
                   kNoHeader = 0x4000, kLvs = 0xFFFF, kList = kReport | kShowSel | kOwnerData;
    const char* kListView = "SysListView32";
    const Fact facts[] = {
        {IDD_MAIL_RULES, IDC_MAIL_RULES_LIST, kListView, kLvs, kList | kSingle | kNoHeader},
        {IDD_RULE_EDITOR, IDC_RULE_EDITOR_ACTIONS, kListView, kLvs, kList | kSingle | kNoHeader},
        {IDD_SHARING, IDC_SHARING_RIGHTS, kListView, kLvs | kDisabled,
         kList | kNoHeader | kDisabled},
        {IDD_ADDRESS_BOOK, IDC_ADDRESS_BOOK_LIST, kListView, kLvs, kList | kSingle},
        {IDD_SHARING, IDC_SHARING_SHOW_OWNER, "Button", kDisabled | kVisible, kDisabled},
        {IDD_SELECT_PEOPLE, IDC_SELECT_PEOPLE_ADD, "Button", kDisabled, kDisabled},
        {IDD_MAIL_RULES, IDC_MAIL_RULES_DESCRIPTION, "RichEdit20A", kPane, kPane},
        {IDD_RULE_EDITOR, IDC_RULE_EDITOR_DESCRIPTION, "RichEdit20A", kPane, kPane},
        {IDD_MOVE, IDC_MOVE_TREE, "SysTreeView32", 0x1000, 0x1000},  // TVS_FULLROWSELECT
        {IDD_CONDITION_OPTIONS, IDC_CONDITION_OPTIONS_MATCH, "ComboBox", 3, 3},  // drop-down
        {IDD_SIZE, IDC_SIZE_LIMIT, "Edit", 0x2000, 0x2000},                      // ES_NUMBER
        {IDD_IMAP_FOLDERS, IDC_IMAP_FOLDERS_LINK, "Static", 0x100, 0x100},       // SS_NOTIFY
        {IDD_SIEVE_EDITOR, IDC_SIEVE_EDITOR_TEXT, "Edit", 0x1004, 0x1004},  // Enter is a new line
    };
    for (const Fact& f : facts) {
        const ControlTemplate* c = Control(FindDialog(Own(), f.dialog), f.control);
        ASSERT_NE(c, nullptr) << f.dialog << " " << f.control;
        EXPECT_STREQ(c->className, f.className) << f.dialog << " " << f.control;
        EXPECT_EQ((uint64_t{c->exStyle} << 32 | c->style) & f.mask, f.bits)
            << f.dialog << " " << f.control;
    }
    // Resizable dialogs have a sizing frame, the other modal dialogs a modal frame.
    const std::set<int> resizable = {IDD_SIEVE_EDITOR,  IDD_MESSAGE_TEXT,   IDD_MOVE,
                                     IDD_SELECT_PEOPLE, IDD_SPECIFIC_WORDS, IDD_IMAP_FOLDERS,
                                     IDD_ADDRESS_BOOK};
    const uint32_t kChild = 0x40000000, kThickFrame = 0x40000, kModalFrame = 0x80;
    for (size_t i = 0; i < Own()->dialogCount; ++i) {
        const DialogTemplate& d = Own()->dialogs[i];
        uint32_t frame = d.style & kChild ? 0 : resizable.count(d.id) ? kThickFrame : kModalFrame;
        EXPECT_EQ(d.style & (kThickFrame | kModalFrame), frame) << d.id;
    }
    for (const ResourceTable* table : {Own(), Czech()}) {  // the same title in every language
        EXPECT_STREQ(FindDialog(table, IDD_SIZE)->caption, "Nastaven\xC3\xAD velikosti");
    }
}

}  // namespace
}  // namespace wq::platform
