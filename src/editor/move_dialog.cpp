#include "editor/move_dialog.h"

#include <map>
#include <string_view>
#include <utility>

#include "base/account.h"
#include "base/text.h"
#include "folders/folder_names.h"
#include "ids.h"
#include "net/reply_text.h"
#include "platform/collate.h"

namespace wq::editor {
namespace {

constexpr unsigned kRootTextId = 134;  // "Qorva MailServer '%s'"
constexpr int kRootImage = 1;
constexpr int kNotSelectableOverlay = 1;  // image 7 of the strip
constexpr int kNotSelectableImage = 7;

constexpr uintptr_t kSelectable = 1;

}  // namespace

std::vector<FolderNode> BuildFolderTree(const std::vector<FolderEntry>& folders) {
    std::vector<FolderNode> nodes;
    nodes.reserve(folders.size());
    std::map<std::string, int> byName;  // server name -> node, the first listed
    for (const FolderEntry& f : folders) {
        const std::string& name = f.serverName;
        FolderNode node;
        node.selectable = f.selectable;
        size_t cut = name.size();
        while (node.parent < 0 && cut != 0 && (cut = name.rfind('/', cut - 1)) != name.npos) {
            auto found = byName.find(name.substr(0, cut));
            if (found != byName.end()) {
                node.parent = found->second;
                node.text = name.substr(cut + 1);
            }
        }
        if (node.parent < 0) {
            node.text = MapServerToDisplay(name);
            node.image = f.depth == 0 ? FolderIcon(node.text) : 0;
        }
        byName.emplace(name, static_cast<int>(nodes.size()));
        nodes.push_back(std::move(node));
    }
    return nodes;
}

MoveDialog::MoveDialog(std::string path) : path_(std::move(path)) {}

int MoveDialog::run(ui::Window owner) {
    return ui::RunModalDialog(IDD_MOVE, owner, *this);
}

ui::TreeView& MoveDialog::tree() {
    return *window().treeView(IDC_MOVE_TREE);
}

bool MoveDialog::onInit() {
    ui::DialogWindow& w = window();
    w.centerOnOwner();
    w.setResizable({{IDC_MOVE_TREE, ui::kGrowWidth | ui::kGrowHeight},
                    {IDC_MOVE_PATH, ui::kGrowWidth | ui::kKeepBottom},
                    {IDC_MOVE_NOTE, ui::kGrowWidth | ui::kKeepBottom},
                    {IDC_MOVE_LINE, ui::kGrowWidth | ui::kKeepBottom},
                    {IDC_MOVE_RESET, ui::kKeepBottom},
                    {ui::kIdOk, ui::kKeepRight | ui::kKeepBottom},
                    {ui::kIdCancel, ui::kKeepRight | ui::kKeepBottom}});
    tree().setImages({IDB_FOLDER_ICONS, 16, false, {kNotSelectableImage}});
    fillTree();
    sync_ = false;
    w.setItemText(IDC_MOVE_PATH, path_);
    sync_ = true;
    followPathField();
    return true;
}

void MoveDialog::fillTree() {
    ui::TreeView& t = tree();
    t.clear();
    const AccountSettings* account = CurrentAccount();
    std::string host = account ? AccountText(account->hostName) : "";
    root_ = t.insert(0, {FormatText(LoadText(kRootTextId), host), kRootImage, kRootImage, 0, 0});
    std::vector<FolderEntry> folders;
    {
        ui::WaitCursor wait;
        if (ListFolders(&folders) != S_OK) {
            folders.clear();
        }
    }
    std::vector<ui::TreeItem> items;
    items.reserve(folders.size());
    for (const FolderNode& n : BuildFolderTree(folders)) {
        ui::TreeNode node{n.text, n.image, n.image, n.selectable ? 0 : kNotSelectableOverlay,
                          n.selectable ? kSelectable : 0};
        items.push_back(
            t.insert(n.parent < 0 ? root_ : items[static_cast<size_t>(n.parent)], node));
    }
    t.expand(root_, true);
}

// The field keeps the text as typed, blanks included: trimming it while a person types would
// swallow the blank between two words of a folder name. OK trims.
void MoveDialog::followPathField() {
    std::string text(net::TrimBlanks(window().itemText(IDC_MOVE_PATH)));
    ui::TreeItem item = text.empty() ? 0 : findItem(text);
    sync_ = false;
    tree().select(item);
    if (item) {
        tree().expand(item, true);
    }
    sync_ = true;
}

// Level by level from the root, the first child whose text equals the next level without
// regard to case; a leading "/" is passed over. An item whose text holds a "/" (a folder
// below an unlisted parent) takes as many levels as its text has.
ui::TreeItem MoveDialog::findItem(const std::string& path) {
    ui::TreeView& t = tree();
    std::string_view rest(path);
    if (!rest.empty() && rest.front() == '/') {
        rest.remove_prefix(1);
    }
    ui::TreeItem current = root_;
    for (;;) {
        ui::TreeItem match = 0;
        for (ui::TreeItem child = t.firstChild(current); child && !match;
             child = t.nextSibling(child)) {
            std::string text = t.text(child);
            if (rest.size() >= text.size() &&
                (rest.size() == text.size() || rest[text.size()] == '/') &&
                platform::EqualTextNoCase(rest.substr(0, text.size()), text)) {
                match = child;
            }
        }
        if (!match) {
            return 0;
        }
        size_t used = t.text(match).size();
        if (used == rest.size()) {
            return match;
        }
        rest.remove_prefix(used + 1);
        current = match;
    }
}

void MoveDialog::followTree(ui::TreeItem item) {
    ui::TreeView& t = tree();
    if (!item || item == root_ || t.data(item) != kSelectable) {
        return;
    }
    std::string path = t.text(item);
    for (ui::TreeItem up = t.parent(item); up && up != root_; up = t.parent(up)) {
        path = t.text(up) + "/" + path;
    }
    path_ = path;
    sync_ = false;
    window().setItemText(IDC_MOVE_PATH, path_);
    sync_ = true;
}

bool MoveDialog::onEvent(const ui::Event& e) {
    using Kind = ui::Event::Kind;
    if (!sync_ && e.kind != Kind::kClicked) {
        return true;
    }
    if (e.kind == Kind::kTextChanged && e.control == IDC_MOVE_PATH) {
        followPathField();
        return true;
    }
    if (e.kind == Kind::kSelectionChanged && e.control == IDC_MOVE_TREE) {
        followTree(e.item);
        return true;
    }
    if (e.kind != Kind::kClicked) {
        return false;
    }
    if (e.control == IDC_MOVE_RESET) {
        fillTree();
        followPathField();
        return true;
    }
    if (e.control == ui::kIdOk) {
        std::string text(net::TrimBlanks(window().itemText(IDC_MOVE_PATH)));
        if (text.size() > 1 && text.back() == '/') {
            text.pop_back();
        }
        path_ = text;
    }
    return Dialog::onEvent(e);
}

}  // namespace wq::editor
