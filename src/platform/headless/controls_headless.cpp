#include "platform/headless/controls_headless.h"

#include <algorithm>

namespace wq::ui::headless_controls {
namespace {

[[noreturn]] void Misuse(int id, const std::string& what) {
    throw std::logic_error("control " + std::to_string(id) + ": " + what);
}

constexpr int kRowHeight = 9;  // dialog units of one list row
constexpr int kHeaderHeight = 11;

}  // namespace

// ---------------------------------------------------------------------------------------------
// List view

void HeadlessList::setup(const ListSetup& setup) {
    setup_ = setup;
    marks_.assign(setup_.columns.size(), SortMark::kNone);
}

void HeadlessList::setModel(ListModel* model) {
    model_ = model;
    rowsChanged();
}

void HeadlessList::rowsChanged() {
    count_ = model_ ? std::max(model_->rowCount(), 0) : 0;
    selected_.erase(selected_.lower_bound(count_), selected_.end());
    if (focus_ >= count_) {
        focus_ = -1;
    }
    top_ = std::clamp(top_, 0, std::max(count_ - visibleRows(), 0));
}

int HeadlessList::visibleRows() const {
    int header = (style_ & kLvsNoColumnHeader) ? 0 : kHeaderHeight;
    return std::max((height_ - header) / kRowHeight, 1);
}

void HeadlessList::setTick(int row, Tick tick) {
    if (!model_ || row < 0 || row >= count_) {
        return;
    }
    Tick before = model_->tick(row);
    if (before == tick) {
        return;
    }
    model_->setTick(row, tick);
    Event e{Event::Kind::kTickChanged, id_};
    e.row = row;
    e.before = before;
    e.after = tick;
    emit_(e);
}

void HeadlessList::select(int row) {
    std::set<int> wanted;
    if (row >= 0 && row < count_) {
        wanted.insert(row);
    } else {
        row = -1;
    }
    if (wanted == selected_ && (row < 0 || focus_ == row)) {
        return;
    }
    selected_ = wanted;
    if (row >= 0) {
        focus_ = row;
    }
    Event e{Event::Kind::kSelectionChanged, id_};
    e.row = row;
    emit_(e);
}

void HeadlessList::setRowSelected(int row, bool selected) {
    if (row < 0 || row >= count_ || (selected_.count(row) != 0) == selected) {
        return;
    }
    if (selected && (style_ & kLvsSingleSel)) {
        selected_.clear();
    }
    if (selected) {
        selected_.insert(row);
    } else {
        selected_.erase(row);
    }
    Event e{Event::Kind::kSelectionChanged, id_};
    e.row = row;
    emit_(e);
}

void HeadlessList::ensureVisible(int row) {
    if (row < 0 || row >= count_) {
        return;
    }
    if (row < top_) {
        top_ = row;
    } else if (row >= top_ + visibleRows()) {
        top_ = row - visibleRows() + 1;
    }
}

void HeadlessList::setSortMark(int column, SortMark mark) {
    for (size_t i = 0; i < marks_.size(); ++i) {
        marks_[i] = static_cast<int>(i) == column ? mark : SortMark::kNone;
    }
}

SortMark HeadlessList::sortMark(int column) const {
    return column >= 0 && static_cast<size_t>(column) < marks_.size()
               ? marks_[static_cast<size_t>(column)]
               : SortMark::kNone;
}

void HeadlessList::checkRow(int row) const {
    if (row < 0 || row >= count_) {
        Misuse(id_, "no row " + std::to_string(row) + " of " + std::to_string(count_));
    }
}

std::string HeadlessList::rowText(int row, int column) const {
    checkRow(row);
    if (column < 0 || static_cast<size_t>(column) >= std::max<size_t>(setup_.columns.size(), 1)) {
        Misuse(id_, "no column " + std::to_string(column));
    }
    return model_->text(row, column);
}

Tick HeadlessList::rowTick(int row) const {
    checkRow(row);
    return setup_.ticks.bitmapId ? model_->tick(row) : Tick::kNone;
}

void HeadlessList::clickRow(int row) {
    checkRow(row);
    select(row);
    ensureVisible(row);
}

void HeadlessList::clickTick(int row) {
    checkRow(row);
    if (!setup_.ticks.bitmapId) {
        Misuse(id_, "the list shows no ticks");
    }
    setTick(row, ClickedTick(model_->tick(row)));
}

void HeadlessList::doubleClickRow(int row) {
    clickRow(row);
    Event e{Event::Kind::kActivated, id_};
    e.row = row;
    emit_(e);
}

void HeadlessList::clickColumn(int column) {
    if ((style_ & kLvsNoColumnHeader) || column < 0 ||
        static_cast<size_t>(column) >= setup_.columns.size()) {
        Misuse(id_, "no column header " + std::to_string(column));
    }
    Event e{Event::Kind::kColumnClicked, id_};
    e.column = column;
    emit_(e);
}

// ---------------------------------------------------------------------------------------------
// Tree view

void HeadlessTree::clear() {
    nodes_.clear();
    top_.clear();
    selected_ = 0;
}

const HeadlessTree::Node* HeadlessTree::node(TreeItem item) const {
    return item >= 1 && item <= nodes_.size() ? &nodes_[item - 1] : nullptr;
}

TreeItem HeadlessTree::insert(TreeItem parent, const TreeNode& n) {
    if (parent && !node(parent)) {
        return 0;
    }
    nodes_.push_back(Node{parent, {}, n, false});
    TreeItem item = nodes_.size();
    (parent ? node(parent)->children : top_).push_back(item);
    return item;
}

void HeadlessTree::setOverlay(TreeItem item, int overlay) {
    if (Node* n = node(item)) {
        n->node.overlay = overlay;
    }
}

void HeadlessTree::expand(TreeItem item, bool expanded) {
    if (Node* n = node(item)) {
        n->expanded = expanded;
    }
}

bool HeadlessTree::isExpanded(TreeItem item) const {
    const Node* n = node(item);
    return n && n->expanded;
}

void HeadlessTree::select(TreeItem item) {
    if (item && !node(item)) {
        return;
    }
    if (item == selected_) {
        return;
    }
    selected_ = item;
    // The selected item is shown: its ancestors open.
    for (TreeItem p = parent(item); p; p = parent(p)) {
        node(p)->expanded = true;
    }
    Event e{Event::Kind::kSelectionChanged, id_};
    e.item = item;
    emit_(e);
}

TreeItem HeadlessTree::parent(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->parent : 0;
}

TreeItem HeadlessTree::firstChild(TreeItem item) const {
    if (!item) {
        return top_.empty() ? 0 : top_.front();
    }
    const Node* n = node(item);
    return n && !n->children.empty() ? n->children.front() : 0;
}

TreeItem HeadlessTree::nextSibling(TreeItem item) const {
    const Node* n = node(item);
    if (!n) {
        return 0;
    }
    const std::vector<TreeItem>& siblings = n->parent ? node(n->parent)->children : top_;
    auto it = std::find(siblings.begin(), siblings.end(), item);
    return it != siblings.end() && it + 1 != siblings.end() ? *(it + 1) : 0;
}

std::string HeadlessTree::text(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->node.text : std::string();
}

uintptr_t HeadlessTree::data(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->node.data : 0;
}

int HeadlessTree::overlay(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->node.overlay : 0;
}

std::vector<std::string> HeadlessTree::path(TreeItem item) const {
    std::vector<std::string> names;
    for (; item; item = parent(item)) {
        names.insert(names.begin(), text(item));
    }
    return names;
}

TreeItem HeadlessTree::existing(const std::vector<std::string>& path) const {
    TreeItem item = find(path);
    if (!item) {
        std::string joined;
        for (const std::string& name : path) {
            joined += "/" + name;
        }
        Misuse(id_, "no tree item " + joined);
    }
    return item;
}

void HeadlessTree::click(const std::vector<std::string>& path) {
    select(existing(path));
}

void HeadlessTree::doubleClick(const std::vector<std::string>& path) {
    TreeItem item = existing(path);
    select(item);
    Event e{Event::Kind::kActivated, id_};
    e.item = item;
    emit_(e);
}

// ---------------------------------------------------------------------------------------------
// String list

std::string HeadlessStrings::text(int index) const {
    return index >= 0 && index < count() ? entries_[static_cast<size_t>(index)] : std::string();
}

void HeadlessStrings::select(int index) {
    if (index < -1 || index >= count()) {
        index = -1;
    }
    if (index == selected_) {
        return;
    }
    selected_ = index;
    Event e{Event::Kind::kSelectionChanged, id_};
    e.row = index;
    emit_(e);
}

void HeadlessStrings::choose(int index) {
    if (index < 0 || index >= count()) {
        Misuse(id_, "no entry " + std::to_string(index));
    }
    select(index);
}

// ---------------------------------------------------------------------------------------------
// Rich text

void HeadlessRichText::setText(const StyledText& text) {
    styled_ = text;
    selection_ = {0, 0};
    armed_ = false;
}

int HeadlessRichText::charFromPoint(int x, int y) const {
    const std::string& t = styled_.text;
    int line = std::max(y, 0) / kCellHeight;
    size_t start = 0;
    for (; line > 0; --line) {
        size_t br = t.find('\n', start);
        if (br == std::string::npos) {
            return static_cast<int>(t.size());
        }
        start = br + 1;
    }
    size_t end = std::min(t.find('\n', start), t.size());
    size_t column = static_cast<size_t>(std::max(x, 0) / kCellWidth);
    return static_cast<int>(std::min(start + column, end));
}

void HeadlessRichText::selectRange(int start, int end) {
    int size = static_cast<int>(styled_.text.size());
    selection_ = {std::clamp(start, 0, size), std::clamp(end, 0, size)};
}

int HeadlessRichText::linkAt(int position) const {
    for (size_t i = 0; i < links_.size(); ++i) {
        if (links_[i].first <= position && position <= links_[i].second) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void HeadlessRichText::press(int position) {
    int link = linkAt(position);
    if (link >= 0) {
        selectRange(links_[static_cast<size_t>(link)].first,
                    links_[static_cast<size_t>(link)].second);
        armed_ = true;
    }
}

void HeadlessRichText::release(int position) {
    int link = linkAt(position);
    if (link >= 0 && armed_) {
        armed_ = false;
        Event e{Event::Kind::kLinkClicked, id_};
        e.link = link;
        emit_(e);
    }
}

}  // namespace wq::ui::headless_controls
