// The richer controls of the headless backend: list view, tree view, string list and rich-text
// pane, held in memory and driven both by dialog logic (through the ui.h interfaces) and by
// tests (through the DialogView of headless.h, which the window forwards here).
#pragma once

#include <algorithm>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace wq::ui::headless_controls {

// Hands an event to the dialog logic that owns the control.
using Emit = std::function<void(const Event&)>;

// Template style bits the headless controls read, with the Windows values.
inline constexpr uint32_t kLvsSingleSel = 0x0004;
inline constexpr uint32_t kLvsNoColumnHeader = 0x4000;

class HeadlessList final : public ListView {
  public:
    HeadlessList(int id, uint32_t style, int height, Emit emit)
        : id_(id), style_(style), height_(height), emit_(std::move(emit)) {}

    void setup(const ListSetup& setup) override;
    void setModel(ListModel* model) override;
    void rowsChanged() override;
    void rowChanged(int row) override { (void)row; }
    void setTick(int row, Tick tick) override;
    void select(int row) override;
    void setRowSelected(int row, bool selected) override;
    int selectedRow() const override { return selected_.empty() ? -1 : *selected_.begin(); }
    std::vector<int> selectedRows() const override { return {selected_.begin(), selected_.end()}; }
    int focusedRow() const override { return focus_; }
    void ensureVisible(int row) override;
    void setSortMark(int column, SortMark mark) override;
    SortMark sortMark(int column) const override;

    // What a person does and sees.
    int rowCount() const { return count_; }
    int columnCount() const { return std::max(static_cast<int>(setup_.columns.size()), 1); }
    std::string rowText(int row, int column) const;
    Tick rowTick(int row) const;
    void clickRow(int row);
    void clickTick(int row);
    void doubleClickRow(int row);
    void clickColumn(int column);
    int topRow() const { return top_; }
    int visibleRows() const;
    void setHeight(int height) { height_ = height; }

  private:
    void checkRow(int row) const;

    int id_;
    uint32_t style_;
    int height_;  // dialog units
    Emit emit_;
    ListSetup setup_;
    ListModel* model_ = nullptr;
    int count_ = 0;
    std::set<int> selected_;
    int focus_ = -1;
    int top_ = 0;
    std::vector<SortMark> marks_;
};

class HeadlessTree final : public TreeView {
  public:
    HeadlessTree(int id, Emit emit) : id_(id), emit_(std::move(emit)) {}

    void setImages(const ImageStrip& images) override { images_ = images; }
    void clear() override;
    TreeItem insert(TreeItem parent, const TreeNode& node) override;
    void setOverlay(TreeItem item, int overlay) override;
    void expand(TreeItem item, bool expanded) override;
    bool isExpanded(TreeItem item) const override;
    void select(TreeItem item) override;
    TreeItem selected() const override { return selected_; }
    TreeItem parent(TreeItem item) const override;
    TreeItem firstChild(TreeItem item) const override;
    TreeItem nextSibling(TreeItem item) const override;
    std::string text(TreeItem item) const override;
    uintptr_t data(TreeItem item) const override;

    int overlay(TreeItem item) const;
    std::vector<std::string> path(TreeItem item) const;
    void click(const std::vector<std::string>& path);
    void doubleClick(const std::vector<std::string>& path);

  private:
    struct Node {
        TreeItem parent = 0;
        std::vector<TreeItem> children;
        TreeNode node;
        bool expanded = false;
    };
    const Node* node(TreeItem item) const;
    Node* node(TreeItem item) { return const_cast<Node*>(std::as_const(*this).node(item)); }
    TreeItem existing(const std::vector<std::string>& path) const;

    int id_;
    Emit emit_;
    ImageStrip images_;
    std::vector<Node> nodes_;    // item i + 1 is nodes_[i]
    std::vector<TreeItem> top_;  // top-level items in order
    TreeItem selected_ = 0;
};

class HeadlessStrings final : public StringList {
  public:
    HeadlessStrings(int id, Emit emit) : id_(id), emit_(std::move(emit)) {}

    void clear() override {
        entries_.clear();
        selected_ = -1;
    }
    int add(const std::string& text) override {
        entries_.push_back(text);
        return static_cast<int>(entries_.size()) - 1;
    }
    int count() const override { return static_cast<int>(entries_.size()); }
    std::string text(int index) const override;
    void select(int index) override;
    int selected() const override { return selected_; }

    const std::vector<std::string>& entries() const { return entries_; }
    void choose(int index);

  private:
    int id_;
    Emit emit_;
    std::vector<std::string> entries_;
    int selected_ = -1;
};

// Points map to characters as if every character were one cell of a fixed grid.
inline constexpr int kCellWidth = 4, kCellHeight = 8;

class HeadlessRichText final : public RichText {
  public:
    HeadlessRichText(int id, Emit emit) : id_(id), emit_(std::move(emit)) {}

    void setText(const StyledText& text) override;
    void setLinks(const std::vector<std::pair<int, int>>& links) override { links_ = links; }
    void setRedraw(bool redraw) override { redraw_ = redraw; }
    std::string text() const override { return styled_.text; }
    int charFromPoint(int x, int y) const override;
    void selectRange(int start, int end) override;
    std::pair<int, int> selection() const override { return selection_; }

    const StyledText& styled() const { return styled_; }
    bool redrawing() const { return redraw_; }
    void press(int position);
    void release(int position);

  private:
    int linkAt(int position) const;

    int id_;
    Emit emit_;
    StyledText styled_;
    std::vector<std::pair<int, int>> links_;
    std::pair<int, int> selection_{0, 0};
    bool redraw_ = true;
    bool armed_ = false;
};

}  // namespace wq::ui::headless_controls
