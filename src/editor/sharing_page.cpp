#include "editor/sharing_page.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "base/account.h"
#include "base/message.h"
#include "base/text.h"
#include "editor/add_user_dialog.h"
#include "folders/acl.h"
#include "ids.h"
#include "net/imap.h"
#include "platform/collate.h"

namespace wq::editor {
namespace {

constexpr unsigned kIdsRemoveQuestion = 136;  // "Are you sure you want to remove ... ?"
constexpr unsigned kIdsFirstRight = 1000;     // "Lookup" ... "Admin"
constexpr unsigned kIdsSetFailed = 1007;      // "Failed to set rights."
constexpr const char* kNewRights = "lr";

}  // namespace

SharingSettings& SharingPageSettings() {
    static SharingSettings settings;
    return settings;
}

std::string SharingPage::Names::text(int row, int column) const {
    (void)column;
    return AclIdentifier(list_.data[entry(row)]);
}

int SharingPage::Names::image(int row) const {
    return static_cast<int>(list_.data[entry(row)].kind);
}

int SharingPage::Names::add(uint32_t entry) {
    const std::string name = AclIdentifier(list_.data[entry]);
    size_t at = 0;
    while (at < rows_.size() && platform::CollateText(text(static_cast<int>(at), 0), name) <= 0) {
        ++at;
    }
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), entry);
    return static_cast<int>(at);
}

int SharingPage::Names::rowOf(uint32_t entry) const {
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row] == entry) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

std::string SharingPage::Rights::text(int row, int column) const {
    return column == 1 ? LoadText(kIdsFirstRight + static_cast<unsigned>(row)) : std::string();
}

SharingPage::SharingPage(std::string folder, AccountSettings* account)
    : folder_(std::move(folder)), account_(account) {}

SharingPage::~SharingPage() {
    AclListFree(list_);
}

ui::ListView& SharingPage::names() {
    return *window().listView(IDC_SHARING_NAMES);
}

ui::ListView& SharingPage::rights() {
    return *window().listView(IDC_SHARING_RIGHTS);
}

bool SharingPage::onInit() {
    ui::DialogWindow& w = window();
    const SharingSettings& settings = SharingPageSettings();
    SetCurrentAccount(account_);
    labelFormat_ = w.itemText(IDC_SHARING_PERMISSIONS);
    w.showItem(IDC_SHARING_PERMISSIONS, false);  // until a row gives it a name

    names().setup({{{"", -1}}, {}, true, false, {IDB_USER_GROUP, 16, false, {}}, {}, {}});
    // The tick column comes second on screen, so the boxes stand at the right under "Allow".
    rights().setup(
        {{{"", 23}, {"", 200}}, {1, 0}, true, false, {}, {IDB_CHECK_STATES, 16, true, {}}, {}});
    names().setModel(&names_);
    rights().setModel(&rights_);

    HResult read;
    {
        ui::WaitCursor wait;
        net::ImapSession session(account_);
        read = OpenAclSession(session, w.handle(), account_);
        if (read == S_OK) {
            read = ReadFolderAcl(session, folder_, list_);
        }
    }
    if (read == S_OK) {
        for (uint32_t i = 0; i < list_.count; ++i) {
            if (list_.data[i].kind == kAclKindOwner) {
                owner_ = true;
                if (!settings.showOwner) {
                    continue;
                }
            }
            names_.add(i);
        }
        names().rowsChanged();
        w.enableItem(IDC_SHARING_NAMES, true);
        w.enableItem(IDC_SHARING_RIGHTS, names_.rowCount() > 0 && owner_);
        w.enableItem(IDC_SHARING_ADD, owner_);
        w.enableItem(IDC_SHARING_SHOW_OWNER, owner_);
        w.setChecked(IDC_SHARING_SHOW_OWNER, settings.showOwner);
        w.showItem(IDC_SHARING_SHOW_OWNER, settings.showOwnerOffered && owner_);
    }
    names().select(0);
    showSelection();
    ready_ = true;
    return true;
}

void SharingPage::showSelection() {
    ui::DialogWindow& w = window();
    const int row = names().selectedRow();
    if (row < 0) {
        w.enableItem(IDC_SHARING_REMOVE, false);
        w.enableItem(IDC_SHARING_RIGHTS, false);
        setTicks("", false);
        return;
    }
    const AclEntry& entry = list_.data[names_.entry(row)];
    if (entry.kind == kAclKindOwner) {
        w.enableItem(IDC_SHARING_REMOVE, false);
        w.enableItem(IDC_SHARING_RIGHTS, false);
        setTicks("", true);
    } else {
        if (owner_) {
            w.enableItem(IDC_SHARING_REMOVE, true);
            w.enableItem(IDC_SHARING_RIGHTS, true);
        }
        setTicks(AclRights(entry), false);
    }
    w.setItemText(IDC_SHARING_PERMISSIONS, FormatText(labelFormat_, AclIdentifier(entry)));
    w.showItem(IDC_SHARING_PERMISSIONS, true);
}

// Ticks set here are the page's own doing, not the user's edits.
void SharingPage::setTicks(const std::string& letters, bool all) {
    const bool ready = ready_;
    ready_ = false;
    for (int row = 0; row < Rights::kRows; ++row) {
        bool on = all || letters.find(kSharingRightLetters[row]) != std::string::npos;
        rights().setTick(row, on ? ui::Tick::kOn : ui::Tick::kOff);
    }
    ready_ = ready;
}

void SharingPage::rightTicked(int row, ui::Tick after) {
    const int selected = names().selectedRow();
    if (!ready_ || selected < 0 || row < 0 || row >= Rights::kRows) {
        return;
    }
    AclEntry& entry = list_.data[names_.entry(selected)];
    if (entry.kind == kAclKindOwner) {
        return;
    }
    const char letter = kSharingRightLetters[row];
    std::string rights = AclRights(entry);
    if (after == ui::Tick::kOn) {
        rights += letter;
    } else {
        std::string kept;
        for (char c : rights) {
            if (c != letter) {
                kept += c;
            }
        }
        rights = kept;
    }
    entry = MakeAclEntry(AclIdentifier(entry), rights, entry.kind);  // cut to 15 letters
    setTicks(AclRights(entry), false);  // a letter that did not fit shows unticked
    changed();
}

void SharingPage::removeSelected() {
    ui::DialogWindow& w = window();
    const int row = names().selectedRow();
    if (row < 0 || list_.data[names_.entry(row)].kind == kAclKindOwner ||
        ShowMessage(w.handle(), kIdsRemoveQuestion, ui::kMbYesNo | ui::kMbIconQuestion) !=
            ui::kIdYes) {
        return;
    }
    AclEntry& entry = list_.data[names_.entry(row)];
    entry = MakeAclEntry("-" + AclIdentifier(entry), AclRights(entry), entry.kind);
    names_.removeRow(row);
    names().rowsChanged();
    names().select(row < names_.rowCount() ? row : names_.rowCount() - 1);
    showSelection();
    changed();
}

void SharingPage::toggleOwner() {
    SharingSettings& settings = SharingPageSettings();
    for (uint32_t i = 0; i < list_.count; ++i) {
        if (list_.data[i].kind != kAclKindOwner) {
            continue;
        }
        if (!settings.showOwner) {
            names_.add(i);
        } else if (int row = names_.rowOf(i); row >= 0) {
            names_.removeRow(row);
        }
        break;
    }
    names().rowsChanged();
    settings.showOwner = !settings.showOwner;
    names().select(0);
    showSelection();
}

void SharingPage::addUserOrGroup() {
    AddUserGroupDialog dialog(AddUserGroupDialog::kUser, "");
    if (dialog.run(ui::ActiveWindow()) != ui::kIdOk) {
        return;
    }
    const uint32_t kind =
        dialog.kind() == AddUserGroupDialog::kGroup ? kAclKindGroup : kAclKindUser;
    const std::string& name = dialog.name();
    for (uint32_t i = 0; i < list_.count; ++i) {
        if (list_.data[i].kind == kind && AclIdentifier(list_.data[i]) == name) {
            ui::Beep(ui::kMbIconExclamation);
            names().select(names_.rowOf(i));
            return;
        }
    }
    // An entry removed but not yet written comes back with the rights of a new one, so that no
    // DELETEACL goes out for it.
    uint32_t entry = list_.count;
    for (uint32_t i = 0; i < list_.count && entry == list_.count; ++i) {
        if (list_.data[i].kind == kind && AclIdentifier(list_.data[i]) == "-" + name) {
            list_.data[i] = MakeAclEntry(name, kNewRights, kind);
            entry = i;
        }
    }
    if (entry == list_.count &&
        AclListAppend(list_, MakeAclEntry(name, kNewRights, kind)) != S_OK) {
        return;
    }
    const int row = names_.add(entry);
    names().rowsChanged();
    names().select(row);
    names().ensureVisible(row);
    showSelection();
    changed();
}

void SharingPage::apply() {
    if (!dirty_) {
        return;
    }
    const std::vector<AclEntry> before(list_.data, list_.data + list_.count);
    HResult result = WriteFolderAcl(window().handle(), folder_, account_, list_);
    if (Failed(result)) {
        ShowMessage(window().handle(), kIdsSetFailed, ui::kMbOk);
    }
    dirty_ = false;
    followWrite(before);
}

// The write only drops entries, keeping the order of the rest, so each remaining entry is the
// next one of the old list that is equal to it.
void SharingPage::followWrite(const std::vector<AclEntry>& before) {
    std::vector<int> moved(before.size(), -1);
    for (uint32_t old = 0, now = 0; old < before.size() && now < list_.count; ++old) {
        const AclEntry& a = before[old];
        const AclEntry& b = list_.data[now];
        if (a.kind == b.kind && std::memcmp(a.identifier, b.identifier, sizeof a.identifier) == 0) {
            moved[old] = static_cast<int>(now++);
        }
    }
    for (int row = 0; row < names_.rowCount(); ++row) {
        names_.setEntry(row, static_cast<uint32_t>(moved[names_.entry(row)]));
    }
}

void SharingPage::changed() {
    window().setPageChanged(true);
    dirty_ = true;
}

bool SharingPage::onEvent(const ui::Event& e) {
    using Kind = ui::Event::Kind;
    switch (e.kind) {
        case Kind::kSelectionChanged:
            if (e.control == IDC_SHARING_NAMES) {
                showSelection();
            }
            return true;
        case Kind::kTickChanged:
            if (e.control == IDC_SHARING_RIGHTS) {
                rightTicked(e.row, e.after);
            }
            return true;
        case Kind::kClicked:
            if (e.control == IDC_SHARING_REMOVE) {
                removeSelected();
            } else if (e.control == IDC_SHARING_ADD) {
                addUserOrGroup();
            } else if (e.control == IDC_SHARING_SHOW_OWNER) {
                toggleOwner();
            }
            return true;
        case Kind::kApply:
            apply();
            return true;  // the page never refuses an apply
        default:
            return true;
    }
}

HResult CreateSharingPage(const char* folder, AccountSettings* account, ui::PropertyPage* page) {
    if (!folder || !account || !page) {
        return E_INVALIDARG;
    }
    *page = nullptr;
    try {
        std::unique_ptr<SharingPage> logic(new SharingPage(folder, account));
        ui::PropertyPage made = ui::CreatePropertyPage(IDD_SHARING, "", std::move(logic));
        if (!made) {
            return E_FAIL;
        }
        *page = made;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace wq::editor

extern "C" {

WqResult WQ_API WqCreatePageSecurity(const char* folder, AccountSettings* account, void** page) {
    return wq::editor::CreateSharingPage(folder, account, page);
}

}  // extern "C"
