// The IMAP Folders dialog: the user's subscribed folders, indented by depth, each with the
// people it is shared with and their rights; a double-click on a folder (or a click on the link
// below the list) opens the Sharing and Security page for it in a sheet of its own.
//
// The rights of every folder are read over one connection (one login, one message when the
// server lacks the ACL capability), however many folders there are.
#pragma once

#include <string>
#include <vector>

#include "folders/folder_list.h"
#include "platform/ui.h"
#include "wqrt.h"

namespace wq::editor {

// One row of the folder list.
struct FolderRow {
    std::string text;        // the display name of a top-level folder, the leaf of a deeper one
    std::string serverName;  // as listed
    int icon = 0;            // folder image: 1 Inbox, 2 Sent Items, 3 Deleted Items, 4 Drafts
    int indent = 0;          // the folder's depth
    bool shared = false;     // its list names someone besides the owner (overlay 1)
    std::string rights;      // the list's one-line rendering; empty when it could not be read
};

// The rows of listed folders, without rights.
std::vector<FolderRow> MakeFolderRows(const std::vector<FolderEntry>& folders);

// The display path of a row's folder ("Public Folders/Projects" for #public/Projects).
std::string FolderRowPath(const FolderRow& row);

// Reads the rights of rows [first, last) over one connection of the export WqGetACL, owned by
// `owner`; a row whose rights cannot be read keeps them empty and is not marked shared.
void ReadFolderRights(ui::Window owner, AccountSettings* account, std::vector<FolderRow>& rows,
                      size_t first, size_t last);

class ImapFoldersDialog : public ui::Dialog, private ui::ListModel {
  public:
    explicit ImapFoldersDialog(AccountSettings* account) : account_(account) {}

    // Shows the dialog modally, owned by `owner`: ui::kIdOk (Close), ui::kIdCancel, or -1 when
    // it cannot be shown.
    int run(ui::Window owner);

    const std::vector<FolderRow>& rows() const { return rows_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    std::string text(int row, int column) const override;
    int image(int row) const override { return rows_[static_cast<size_t>(row)].icon; }
    int overlay(int row) const override { return rows_[static_cast<size_t>(row)].shared ? 1 : 0; }
    int indent(int row) const override { return rows_[static_cast<size_t>(row)].indent; }

    ui::ListView& list();
    void fill();
    void openSharing();

    AccountSettings* account_;  // not owned
    std::vector<FolderRow> rows_;
};

}  // namespace wq::editor
