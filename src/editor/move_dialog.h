// The Move dialog: picks the target folder of "Move it to". The subscribed folders of the
// CurrentAccount's server show as a tree under one root item for the server, and a free-text
// path field is kept in step with the tree both ways; the path need not name an existing folder.
//
// Paths here are display paths ("Inbox/Archive", levels separated by "/"). The caller converts
// the action's folder from modified UTF-7 and maps it for display before opening, and maps the
// result back and encodes it after OK.
#pragma once

#include <string>
#include <vector>

#include "folders/folder_list.h"
#include "platform/ui.h"

namespace wq::editor {

// One folder item of the tree, below the server's root item.
struct FolderNode {
    int parent = -1;  // index of the parent node; -1: the root item
    std::string text;
    int image = 0;  // folder icon: 1 Inbox, 2 Sent Items, 3 Deleted Items, 4 Drafts, 0 other
    bool selectable = true;
};

// Arranges listed folders as tree items, in the order of the listing. A folder goes under the
// item of its parent folder and shows its leaf; a top-level folder shows its display name
// (INBOX reads "Inbox") and gets its folder icon. A folder whose parent was not listed before it
// (not subscribed) goes under its nearest ancestor listed before it, or the root, and shows the
// rest of its path from there ("b/c" under "a" for "a/b/c"), so that clicking it still gives
// its full path; the folders listed after it count their levels from it as from any other.
// Parents are found by their server names, not by the levels of the entries just before.
std::vector<FolderNode> BuildFolderTree(const std::vector<FolderEntry>& folders);

class MoveDialog : public ui::Dialog {
  public:
    explicit MoveDialog(std::string path);

    // Shows the dialog modally, owned by `owner`: ui::kIdOk, ui::kIdCancel, or -1 when it
    // cannot be shown.
    int run(ui::Window owner);

    // After OK: the path, trimmed of blanks, one trailing "/" removed (unless it is all).
    const std::string& path() const { return path_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    ui::TreeView& tree();
    // Lists the folders again and rebuilds the tree; a failed listing leaves the root only.
    void fillTree();
    // The path field changed: select the item it names, or none.
    void followPathField();
    // An item was selected: a selectable folder's path goes into the path field.
    void followTree(ui::TreeItem item);
    ui::TreeItem findItem(const std::string& path);

    std::string path_;
    ui::TreeItem root_ = 0;
    // Set normally; cleared while the dialog itself changes the path field or the tree's
    // selection, so that the two do not drive each other.
    bool sync_ = true;
};

}  // namespace wq::editor
