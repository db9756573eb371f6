#include "editor/add_user_dialog.h"

#include <utility>
#include <vector>

#include "base/text.h"
#include "editor/link_activation.h"
#include "ids.h"

namespace wq::editor {
namespace {

constexpr unsigned kIdsUser = 600;   // "user"
constexpr unsigned kIdsGroup = 601;  // "group"
constexpr size_t kFieldMax = 259;    // the most of the field that is looked at

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

// Each step drops characters of the original text; the caret keeps to the characters it stood
// between, so it moves left by the characters dropped before it.
std::string CleanUserGroupName(const std::string& text, int* caret, bool* group) {
    const std::string cut = text.substr(0, kFieldMax);
    std::vector<bool> keep(cut.size(), true);
    auto first = [&] {
        size_t i = 0;
        while (i < cut.size() && !keep[i]) {
            ++i;
        }
        return i;
    };
    auto dropLeadingBlanks = [&] {
        for (size_t i = first(); i < cut.size() && IsBlank(cut[i]); i = first()) {
            keep[i] = false;
        }
    };
    if (!cut.empty() && cut[0] == '[') {
        keep[0] = false;
        dropLeadingBlanks();
        *group = true;
    }
    for (size_t i = 0; i < cut.size(); ++i) {
        keep[i] = keep[i] && cut[i] != '[' && cut[i] != ']';
    }
    if (size_t i = first(); i < cut.size() && cut[i] == '-') {
        keep[i] = false;
    }
    dropLeadingBlanks();

    std::string cleaned;
    int moved = 0;
    for (size_t i = 0; i < cut.size(); ++i) {
        if (keep[i]) {
            cleaned += cut[i];
            moved += static_cast<int>(i) < *caret ? 1 : 0;
        }
    }
    *caret = moved;
    return cleaned;
}

AddUserGroupDialog::AddUserGroupDialog(Kind kind, std::string name)
    : kind_(kind), name_(std::move(name)) {}

int AddUserGroupDialog::run(ui::Window owner) {
    return ui::RunModalDialog(IDD_ADD_USER, owner, *this);
}

bool AddUserGroupDialog::onInit() {
    ui::DialogWindow& w = window();
    ui::StringList& kinds = *w.stringList(IDC_ADD_USER_KIND);
    kinds.clear();
    kinds.add(LoadText(kIdsUser));
    kinds.add(LoadText(kIdsGroup));
    kinds.select(kind_);
    if (!name_.empty()) {
        w.setItemText(IDC_ADD_USER_NAME, name_);
    } else {
        cleanName();  // OK waits for a name
    }
    w.setFocus(IDC_ADD_USER_NAME);
    return false;
}

void AddUserGroupDialog::cleanName() {
    ui::DialogWindow& w = window();
    const std::string text = w.itemText(IDC_ADD_USER_NAME);
    int caret = w.textSelection(IDC_ADD_USER_NAME).second;
    bool group = false;
    const std::string cleaned = CleanUserGroupName(text, &caret, &group);
    if (group) {
        w.stringList(IDC_ADD_USER_KIND)->select(kGroup);
    }
    if (cleaned != text) {
        cleaning_ = true;
        w.setItemText(IDC_ADD_USER_NAME, cleaned);
        w.selectText(IDC_ADD_USER_NAME, caret, caret);
        cleaning_ = false;
    }
    bool named = false;
    for (char c : cleaned) {
        named = named || !IsBlank(c);
    }
    w.enableItem(ui::kIdOk, named);
}

bool AddUserGroupDialog::onEvent(const ui::Event& e) {
    using Kind = ui::Event::Kind;
    if (e.kind == Kind::kTextChanged && e.control == IDC_ADD_USER_NAME) {
        if (!cleaning_) {
            cleanName();
        }
        return true;
    }
    if (e.kind != Kind::kClicked) {
        return true;
    }
    ui::DialogWindow& w = window();
    if (e.control == IDC_ADD_USER_ADDRESS_BOOK) {
        std::string address;
        if (PickFromAddressBook(ui::ActiveWindow(), &address)) {
            w.setItemText(IDC_ADD_USER_NAME, address);
        }
        return true;
    }
    if (e.control == ui::kIdOk) {
        name_ = w.itemText(IDC_ADD_USER_NAME).substr(0, kUserGroupNameMax);
        kind_ = w.stringList(IDC_ADD_USER_KIND)->selected() == kGroup ? kGroup : kUser;
    }
    return Dialog::onEvent(e);
}

}  // namespace wq::editor
