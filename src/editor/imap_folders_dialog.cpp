#include "editor/imap_folders_dialog.h"

#include <cstring>
#include <new>

#include "base/account.h"
#include "base/text.h"
#include "editor/sharing_page.h"
#include "folders/acl.h"
#include "folders/folder_names.h"
#include "ids.h"

namespace wq::editor {
namespace {

constexpr unsigned kIdsFolder = 1410;       // "Folder"
constexpr unsigned kIdsPermissions = 1411;  // "Permissions"
constexpr int kColumnWidth = 200;
constexpr int kSharedImage = 6;  // overlay 1 of the folder strip

// The link text as the template gives it, without its "<a>" and "</a>" marks.
std::string WithoutLinkMarks(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size();) {
        bool mark = false;
        for (const char* m : {"<a>", "</a>", "<A>", "</A>"}) {
            if (text.compare(i, std::strlen(m), m) == 0) {
                i += std::strlen(m);
                mark = true;
                break;
            }
        }
        if (!mark) {
            shown += text[i++];
        }
    }
    return shown;
}

}  // namespace

std::vector<FolderRow> MakeFolderRows(const std::vector<FolderEntry>& folders) {
    std::vector<FolderRow> rows;
    rows.reserve(folders.size());
    for (const FolderEntry& f : folders) {
        FolderRow row;
        row.text = f.depth == 0 ? MapServerToDisplay(f.serverName) : f.leaf;
        row.serverName = f.serverName;
        row.icon = FolderIcon(row.text);
        row.indent = f.depth;
        rows.push_back(std::move(row));
    }
    return rows;
}

// The path comes from the folder's own name rather than from the rows above it: a folder whose
// parent is not subscribed sits under whatever folder comes before it in the list.
std::string FolderRowPath(const FolderRow& row) {
    return MapServerToDisplay(row.serverName);
}

void ReadFolderRights(ui::Window owner, AccountSettings* account, std::vector<FolderRow>& rows,
                      size_t first, size_t last) {
    std::vector<FolderAcl> folders;
    std::vector<AclList> lists(last - first, AclList{nullptr, 0, 0});
    std::vector<size_t> rowOf;
    for (size_t i = first; i < last; ++i) {
        rows[i].shared = false;
        rows[i].rights.clear();
        FolderAcl folder{};
        std::string name = rows[i].serverName.substr(0, sizeof folder.name - 1);
        // A name that cannot be sent would make the export refuse the whole request.
        if (!AclSafeArgument(name)) {
            continue;
        }
        name.copy(folder.name, name.size());
        folder.result = E_FAIL;
        folder.acl = &lists[folders.size()];
        folders.push_back(folder);
        rowOf.push_back(i);
    }
    if (folders.empty()) {
        return;
    }
    FolderAclList request{folders.data(), static_cast<uint32_t>(folders.size()),
                          static_cast<uint32_t>(folders.size())};
    WqGetACL(owner, account, &request);
    for (size_t k = 0; k < folders.size(); ++k) {
        if (!Failed(folders[k].result)) {
            FolderRow& row = rows[rowOf[k]];
            row.shared = lists[k].count >= 2;
            row.rights = AclListText(lists[k]);
        }
        AclListFree(lists[k]);
    }
}

int ImapFoldersDialog::run(ui::Window owner) {
    return ui::RunModalDialog(IDD_IMAP_FOLDERS, owner, *this);
}

std::string ImapFoldersDialog::text(int row, int column) const {
    const FolderRow& r = rows_[static_cast<size_t>(row)];
    return column == 0 ? r.text : r.rights;
}

ui::ListView& ImapFoldersDialog::list() {
    return *window().listView(IDC_IMAP_FOLDERS_LIST);
}

bool ImapFoldersDialog::onInit() {
    ui::DialogWindow& w = window();
    w.centerOnOwner();
    w.setResizable({{IDC_IMAP_FOLDERS_LIST, ui::kGrowWidth | ui::kGrowHeight},
                    {IDC_IMAP_FOLDERS_LINK, ui::kKeepBottom},
                    {IDC_IMAP_FOLDERS_CLOSE, ui::kKeepRight | ui::kKeepBottom}});
    list().setup({{{LoadText(kIdsFolder), kColumnWidth}, {LoadText(kIdsPermissions), kColumnWidth}},
                  {},
                  true,
                  false,
                  {IDB_FOLDER_ICONS, 16, false, {kSharedImage}},
                  {},
                  {}});
    list().setModel(this);
    w.setItemText(IDC_IMAP_FOLDERS_LINK, WithoutLinkMarks(w.itemText(IDC_IMAP_FOLDERS_LINK)));
    w.setLink(IDC_IMAP_FOLDERS_LINK, ui::HyperlinkColour());
    fill();
    return true;
}

void ImapFoldersDialog::fill() {
    SetCurrentAccount(account_);
    ui::WaitCursor wait;
    std::vector<FolderEntry> folders;
    if (ListFolders(&folders) != S_OK) {
        window().enableItem(IDC_IMAP_FOLDERS_LIST, false);
        return;
    }
    rows_ = MakeFolderRows(folders);
    ReadFolderRights(window().handle(), account_, rows_, 0, rows_.size());
    list().rowsChanged();
}

void ImapFoldersDialog::openSharing() {
    const int row = list().selectedRow();
    if (row < 0) {
        return;
    }
    const std::string path = FolderRowPath(rows_[static_cast<size_t>(row)]);
    void* page = nullptr;
    if (WqCreatePageSecurity(path.c_str(), account_, &page) != S_OK) {
        return;
    }
    // What the page wrote shows in the row once its sheet is closed with OK.
    if (ui::RunPropertySheet(ui::ActiveWindow(), "", {page}, false) == 1) {
        ReadFolderRights(window().handle(), account_, rows_, static_cast<size_t>(row),
                         static_cast<size_t>(row) + 1);
        list().rowChanged(row);
    }
}

bool ImapFoldersDialog::onEvent(const ui::Event& e) {
    using Kind = ui::Event::Kind;
    if ((e.kind == Kind::kActivated && e.control == IDC_IMAP_FOLDERS_LIST) ||
        (e.kind == Kind::kClicked && e.control == IDC_IMAP_FOLDERS_LINK)) {
        openSharing();
        return true;
    }
    return Dialog::onEvent(e);
}

}  // namespace wq::editor

extern "C" {

WqResult WQ_API WqImapFolders(AccountSettings* account) {
    using namespace wq;
    if (!account) {
        return E_INVALIDARG;
    }
    try {
        editor::ImapFoldersDialog dialog(account);
        return dialog.run(ui::ActiveWindow()) < 0 ? E_FAIL : S_OK;
    } catch (const std::bad_alloc&) {
        return E_FAIL;
    }
}

}  // extern "C"
