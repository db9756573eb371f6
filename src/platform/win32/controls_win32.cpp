// The richer controls of the Win32 user interface: report-style list views that pull their rows
// from a model (owner data), tree views, drop-down lists and list boxes, and read-only rich-text
// panes with link ranges. Each wraps the control's window and reports what happens to it as
// the events of ui.h, whether a person or the code made the change.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/module.h"
#include "platform/win32/controls_win32.h"

namespace wq::ui::win32 {
namespace {

// An image strip of the library's own module as an image list; null when the bitmap is missing.
// Overlays are registered in the order named. The caller owns the list.
HIMAGELIST LoadStrip(const ImageStrip& strip) {
    if (strip.bitmapId == 0) {
        return nullptr;
    }
    COLORREF mask = CLR_DEFAULT;
    if (strip.topLeftTransparent) {
        HANDLE bitmap = LoadImageA(Self(), MAKEINTRESOURCEA(strip.bitmapId), IMAGE_BITMAP, 0, 0,
                                   LR_CREATEDIBSECTION);
        if (!bitmap) {
            return nullptr;
        }
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        mask = GetPixel(dc, 0, 0);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    // Loaded in the screen's colour format: a list made from the strip's 8-bit section keeps too
    // few colours and draws the boxes dark.
    HIMAGELIST list = ImageList_LoadImageA(Self(), MAKEINTRESOURCEA(strip.bitmapId), strip.size, 1,
                                           mask, IMAGE_BITMAP, LR_DEFAULTCOLOR);
    for (size_t i = 0; list && i < strip.overlays.size(); ++i) {
        ImageList_SetOverlayImage(list, strip.overlays[i], static_cast<int>(i + 1));
    }
    return list;
}

// Sort arrows drawn by the header itself came with version 6 of the common controls.
bool HeaderDrawsSortArrows() {
    static const bool drawn = [] {
        uint32_t major = 0, minor = 0;
        HMODULE controls = GetModuleHandleA("comctl32.dll");
        return controls && platform::QueryDllVersion(controls, &major, &minor) && major >= 6;
    }();
    return drawn;
}

// Copies `text` into a notification's buffer of `size` characters, ANSI or UTF-16 as the
// control asked, cut to fit and always terminated.
void CopyOut(const std::string& text, void* buffer, int size, bool wide) {
    if (!buffer || size <= 0) {
        return;
    }
    if (!wide) {
        size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
        text.copy(static_cast<char*>(buffer), n);
        static_cast<char*>(buffer)[n] = '\0';
        return;
    }
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring converted(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                        length);
    size_t n = std::min(converted.size(), static_cast<size_t>(size - 1));
    converted.copy(static_cast<wchar_t*>(buffer), n);
    static_cast<wchar_t*>(buffer)[n] = L'\0';
}

// A control whose window procedure the layer puts its own in front of, for the life of the
// state: the control's own procedure gets every message the layer does not take.
class Subclassed : public ControlState {
  public:
    using ControlState::ControlState;
    ~Subclassed() override {
        if (previous_) {
            SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
            RemovePropA(hwnd_, kProperty);
        }
    }

  protected:
    void subclass() {
        if (!previous_) {
            SetPropA(hwnd_, kProperty, this);
            previous_ = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
        }
    }
    LRESULT forward(UINT message, WPARAM wParam, LPARAM lParam) {
        return CallWindowProcA(previous_, hwnd_, message, wParam, lParam);
    }
    virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  private:
    static constexpr const char* kProperty = "WqControlState";
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<Subclassed*>(GetPropA(hwnd, kProperty));
        return self ? self->handle(message, wParam, lParam)
                    : DefWindowProcA(hwnd, message, wParam, lParam);
    }

    WNDPROC previous_ = nullptr;
};

// A report-style list view with owner data: rows come from the model on demand.
//
// Selection events are counted per action: whatever the list notifies while it handles one
// click or key (or one call of select or setRowSelected), the dialog hears at most one
// kSelectionChanged, and only when the selection or focus differs afterwards. Ticks are the
// layer's own: the list has no check boxes with owner data, so a click on the state image or
// the space bar flips the tick without touching the selection.
class Win32ListView final : public Subclassed, public ListView {
  public:
    Win32ListView(HWND hwnd, EventTarget& target) : Subclassed(hwnd, target) {
        // The model answers the tick (state image) and overlay of each row; selection and
        // focus the list keeps itself.
        send(LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK | LVIS_OVERLAYMASK);
        subclass();
    }
    ~Win32ListView() override {
        // The list destroys its own image lists unless it shares them; the header never does.
        if (GetWindowLongPtrA(hwnd_, GWL_STYLE) & LVS_SHAREIMAGELISTS) {
            ImageList_Destroy(reinterpret_cast<HIMAGELIST>(send(LVM_SETIMAGELIST, LVSIL_SMALL)));
            ImageList_Destroy(reinterpret_cast<HIMAGELIST>(send(LVM_SETIMAGELIST, LVSIL_STATE)));
        }
        if (headerImages_) {
            SendMessageA(header(), HDM_SETIMAGELIST, 0, 0);
            ImageList_Destroy(headerImages_);
        }
    }

    void setup(const ListSetup& setup) override {
        DWORD extended = (setup.fullRowSelect ? LVS_EX_FULLROWSELECT : 0) |
                         (setup.dragColumns ? LVS_EX_HEADERDRAGDROP : 0);
        send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP, extended);
        while (send(LVM_DELETECOLUMN, 0)) {
        }
        // A column of width -1 takes what the others leave of the client width, keeping room
        // for the vertical scroll bar that a long list shows.
        RECT client;
        GetClientRect(hwnd_, &client);
        int rest = client.right;
        if (!(GetWindowLongPtrA(hwnd_, GWL_STYLE) & (WS_VSCROLL | LVS_NOSCROLL))) {
            rest -= GetSystemMetrics(SM_CXVSCROLL);
        }
        for (const Column& c : setup.columns) {
            rest -= c.width > 0 ? c.width : 0;
        }
        for (size_t i = 0; i < setup.columns.size(); ++i) {
            const Column& c = setup.columns[i];
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            column.pszText = const_cast<char*>(c.title.c_str());
            column.cx = c.width >= 0 ? c.width : std::max(rest, 16);
            column.iSubItem = static_cast<int>(i);
            send(LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        }
        if (setup.columnOrder.size() == setup.columns.size() && !setup.columnOrder.empty()) {
            send(LVM_SETCOLUMNORDERARRAY, setup.columnOrder.size(),
                 reinterpret_cast<LPARAM>(setup.columnOrder.data()));
        }
        replaceImages(LVSIL_SMALL, LoadStrip(setup.images));
        replaceImages(LVSIL_STATE, LoadStrip(setup.ticks));
        ticks_ = setup.ticks.bitmapId != 0;
        HIMAGELIST headerImages = LoadStrip(setup.headerImages);
        SendMessageA(header(), HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(headerImages));
        if (headerImages_) {
            ImageList_Destroy(headerImages_);
        }
        headerImages_ = headerImages;
        marks_.assign(setup.columns.size(), SortMark::kNone);
    }

    void setModel(ListModel* model) override {
        model_ = model;
        rowsChanged();
    }
    void rowsChanged() override {
        int rows = model_ ? model_->rowCount() : 0;
        send(LVM_SETITEMCOUNT, rows, 0);
        // Rows past the end are gone, and so is their selection.
        selected_.erase(selected_.lower_bound(rows), selected_.end());
        if (focus_ >= rows) {
            focus_ = -1;
        }
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
    void rowChanged(int row) override { send(LVM_REDRAWITEMS, row, row); }
    void setTick(int row, Tick tick) override {
        if (!model_ || row < 0 || row >= model_->rowCount()) {
            return;
        }
        Tick before = model_->tick(row);
        if (tick == before) {
            return;
        }
        model_->setTick(row, tick);
        rowChanged(row);
        Event e;
        e.kind = Event::Kind::kTickChanged;
        e.row = row;
        e.before = before;
        e.after = tick;
        report(e);
    }
    void select(int row) override {
        if (row < 0 || row >= count()) {
            row = -1;
        }
        action(row, [&] {
            setState(-1, 0, LVIS_SELECTED);
            if (row >= 0) {
                setState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                send(LVM_SETSELECTIONMARK, 0, row);
            }
        });
    }
    void setRowSelected(int row, bool selected) override {
        if (row >= 0 && row < count()) {
            action(row, [&] { setState(row, selected ? LVIS_SELECTED : 0, LVIS_SELECTED); });
        }
    }
    int selectedRow() const override { return selected_.empty() ? -1 : *selected_.begin(); }
    std::vector<int> selectedRows() const override { return {selected_.begin(), selected_.end()}; }
    int focusedRow() const override { return focus_; }
    void ensureVisible(int row) override { send(LVM_ENSUREVISIBLE, row, FALSE); }

    void setSortMark(int column, SortMark mark) override {
        HWND h = header();
        int count = static_cast<int>(SendMessageA(h, HDM_GETITEMCOUNT, 0, 0));
        marks_.resize(static_cast<size_t>(std::max(count, 0)), SortMark::kNone);
        for (int i = 0; i < count; ++i) {
            SortMark m = i == column ? mark : SortMark::kNone;
            marks_[static_cast<size_t>(i)] = m;
            HDITEMA item{};
            item.mask = HDI_FORMAT;
            SendMessageA(h, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN | HDF_IMAGE | HDF_BITMAP_ON_RIGHT);
            if (m != SortMark::kNone && HeaderDrawsSortArrows()) {
                item.fmt |= m == SortMark::kAscending ? HDF_SORTUP : HDF_SORTDOWN;
            } else if (m != SortMark::kNone && headerImages_) {
                // Older headers show the mark as an image of the header strip on the right:
                // 1 ascending, 2 descending.
                item.mask |= HDI_IMAGE;
                item.fmt |= HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
                item.iImage = m == SortMark::kAscending ? 1 : 2;
            }
            SendMessageA(h, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
    }
    SortMark sortMark(int column) const override {
        return column >= 0 && static_cast<size_t>(column) < marks_.size()
                   ? marks_[static_cast<size_t>(column)]
                   : SortMark::kNone;
    }

    bool notify(const NMHDR& header, LRESULT& result) override {
        result = 0;
        Event e;
        switch (header.code) {
            case LVN_GETDISPINFOA:
            case LVN_GETDISPINFOW:
                answer(reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item,
                       header.code == LVN_GETDISPINFOW);
                return true;
            case LVN_ITEMACTIVATE:  // a double click (after its NM_DBLCLK) or Enter
                e.kind = Event::Kind::kActivated;
                e.row = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
                break;
            case LVN_COLUMNCLICK:
                e.kind = Event::Kind::kColumnClicked;
                e.column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
                break;
            case LVN_ITEMCHANGED: {
                const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
                if (change.uChanged & LVIF_STATE) {
                    track(change.iItem, change.iItem, change.uOldState, change.uNewState);
                }
                return false;
            }
            case LVN_ODSTATECHANGED: {
                const auto& change = reinterpret_cast<const NMLVODSTATECHANGE&>(header);
                track(change.iFrom, change.iTo, change.uOldState, change.uNewState);
                return false;
            }
            default:
                return false;
        }
        report(e);
        return true;
    }

  private:
    static constexpr int kFocusedRow = -2;  // report the row that has the focus afterwards

    struct Selection {
        LRESULT count;
        int first, focus;
        bool operator==(const Selection& o) const {
            return count == o.count && first == o.first && focus == o.focus;
        }
    };

    int count() const { return static_cast<int>(send(LVM_GETITEMCOUNT)); }
    Selection selection() const {
        return {static_cast<LRESULT>(selected_.size()), selectedRow(), focus_};
    }

    // The list tells every change of selection and focus; they are kept here, because asking
    // an owner-data list which rows are selected makes it walk its rows, asking for each one's
    // state. Rows from..to (-1: every row) went from `before` to `after`.
    void track(int from, int to, UINT before, UINT after) {
        if (from < 0) {
            from = 0;
            to = count() - 1;
        }
        if ((before ^ after) & LVIS_SELECTED) {
            for (int row = from; row <= to; ++row) {
                if (after & LVIS_SELECTED) {
                    selected_.insert(row);
                } else {
                    selected_.erase(row);
                }
            }
        }
        if (after & LVIS_FOCUSED) {
            focus_ = from;
        } else if ((before & LVIS_FOCUSED) && focus_ >= from && focus_ <= to) {
            focus_ = -1;
        }
    }
    HWND header() const { return reinterpret_cast<HWND>(send(LVM_GETHEADER)); }
    int rowAt(LPARAM point, UINT* flags = nullptr) const {
        LVHITTESTINFO hit{};
        hit.pt = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
        send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (flags) {
            *flags = hit.flags;
        }
        return hit.iItem;
    }

    // Runs one action on the list and reports the selection once if it changed; actions inside
    // another (the list's own notifications while it handles a click) are part of the outer one.
    template <typename F>
    void action(int row, F&& change) {
        if (depth_ > 0) {
            change();
            return;
        }
        Selection before = selection();
        ++depth_;
        change();
        --depth_;
        if (!(selection() == before)) {
            Event e;
            e.kind = Event::Kind::kSelectionChanged;
            e.row = row == kFocusedRow ? focusedRow() : row;
            report(e);
        }
    }

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        bool mouse = message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
        bool key = message >= WM_KEYFIRST && message <= WM_KEYLAST;
        if (ticks_ && (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)) {
            UINT flags = 0;
            int row = rowAt(lParam, &flags);
            if (row >= 0 && (flags & LVHT_ONITEMSTATEICON)) {
                SetFocus(hwnd_);
                toggle(row);
                return 0;
            }
        }
        bool plainSpace = !(GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_SHIFT) & 0x8000);
        if (ticks_ && plainSpace && message == WM_KEYDOWN && wParam == VK_SPACE) {
            toggle(focusedRow());
            return 0;
        }
        if (ticks_ && plainSpace && message == WM_CHAR && wParam == ' ') {
            return 0;
        }
        if (!mouse && !key) {
            return forward(message, wParam, lParam);
        }
        // The row a click lands on, or the row the keyboard moved to.
        bool button = mouse && message != WM_MOUSEMOVE && message != WM_MOUSEWHEEL;
        int row = button ? rowAt(lParam) : kFocusedRow;
        LRESULT result = 0;
        action(row, [&] { result = forward(message, wParam, lParam); });
        return result;
    }

    // A person's click on the state image, or the space bar.
    void toggle(int row) {
        if (!model_ || row < 0 || row >= model_->rowCount()) {
            return;
        }
        setTick(row, ClickedTick(model_->tick(row)));
    }

    void replaceImages(int which, HIMAGELIST list) {
        auto old = reinterpret_cast<HIMAGELIST>(
            send(LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(list)));
        if (old && old != list) {
            ImageList_Destroy(old);
        }
    }

    void setState(int row, UINT state, UINT mask) {
        LVITEMA item{};
        item.state = state;
        item.stateMask = mask;
        send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    // Fills what the list asks of a row from the model. LVITEMA and LVITEMW differ only in the
    // type of the text they point to.
    void answer(LVITEMA& item, bool wide) const {
        if (!model_ || item.iItem < 0 || item.iItem >= model_->rowCount()) {
            return;
        }
        if (item.mask & LVIF_TEXT) {
            CopyOut(model_->text(item.iItem, item.iSubItem), item.pszText, item.cchTextMax, wide);
        }
        if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) {
            item.iImage = model_->image(item.iItem);
        }
        if ((item.mask & LVIF_INDENT) && item.iSubItem == 0) {
            item.iIndent = model_->indent(item.iItem);
        }
        if (item.mask & LVIF_STATE) {
            UINT tick = ticks_ ? static_cast<UINT>(model_->tick(item.iItem)) : 0;
            UINT state = INDEXTOSTATEIMAGEMASK(tick) |
                         INDEXTOOVERLAYMASK(static_cast<UINT>(model_->overlay(item.iItem)));
            UINT mask = item.stateMask & (LVIS_STATEIMAGEMASK | LVIS_OVERLAYMASK);
            item.state = (item.state & ~mask) | (state & mask);
        }
    }

    ListModel* model_ = nullptr;  // not owned
    std::set<int> selected_;
    int focus_ = -1;
    bool ticks_ = false;
    int depth_ = 0;                      // actions under way
    HIMAGELIST headerImages_ = nullptr;  // owned
    std::vector<SortMark> marks_;
};

class Win32TreeView final : public ControlState, public TreeView {
  public:
    using ControlState::ControlState;
    ~Win32TreeView() override {
        // A tree view never destroys its image list.
        if (images_) {
            send(TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
            ImageList_Destroy(images_);
        }
    }

    void setImages(const ImageStrip& images) override {
        HIMAGELIST list = LoadStrip(images);
        send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list));
        if (images_) {
            ImageList_Destroy(images_);
        }
        images_ = list;
    }
    void clear() override {
        quiet_ = true;
        send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        quiet_ = false;
    }
    TreeItem insert(TreeItem parent, const TreeNode& node) override {
        TVINSERTSTRUCTA insert{};
        insert.hParent = parent ? reinterpret_cast<HTREEITEM>(parent) : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        TVITEMA& item = insert.item;
        item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
        item.pszText = const_cast<char*>(node.text.c_str());
        item.iImage = node.image;
        item.iSelectedImage = node.selectedImage >= 0 ? node.selectedImage : node.image;
        item.state = INDEXTOOVERLAYMASK(static_cast<UINT>(node.overlay));
        item.stateMask = TVIS_OVERLAYMASK;
        item.lParam = static_cast<LPARAM>(node.data);
        return static_cast<TreeItem>(send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    void setOverlay(TreeItem item, int overlay) override {
        TVITEMA t{};
        t.mask = TVIF_STATE;
        t.hItem = reinterpret_cast<HTREEITEM>(item);
        t.state = INDEXTOOVERLAYMASK(static_cast<UINT>(overlay));
        t.stateMask = TVIS_OVERLAYMASK;
        send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&t));
    }
    void expand(TreeItem item, bool expanded) override {
        send(TVM_EXPAND, expanded ? TVE_EXPAND : TVE_COLLAPSE, static_cast<LPARAM>(item));
    }
    bool isExpanded(TreeItem item) const override {
        return (send(TVM_GETITEMSTATE, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    }
    void select(TreeItem item) override {
        send(TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(item));
        if (item) {
            send(TVM_ENSUREVISIBLE, 0, static_cast<LPARAM>(item));
        }
    }
    TreeItem selected() const override { return next(0, TVGN_CARET); }
    TreeItem parent(TreeItem item) const override { return next(item, TVGN_PARENT); }
    TreeItem firstChild(TreeItem item) const override {
        return item ? next(item, TVGN_CHILD) : next(0, TVGN_ROOT);
    }
    TreeItem nextSibling(TreeItem item) const override { return next(item, TVGN_NEXT); }
    std::string text(TreeItem item) const override {
        char buffer[1024] = {};
        TVITEMA t{};
        t.mask = TVIF_TEXT;
        t.hItem = reinterpret_cast<HTREEITEM>(item);
        t.pszText = buffer;
        t.cchTextMax = sizeof buffer;
        return send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&t)) ? buffer : "";
    }
    uintptr_t data(TreeItem item) const override {
        TVITEMA t{};
        t.mask = TVIF_PARAM;
        t.hItem = reinterpret_cast<HTREEITEM>(item);
        return send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&t))
                   ? static_cast<uintptr_t>(t.lParam)
                   : 0;
    }

    bool notify(const NMHDR& header, LRESULT& result) override {
        result = 0;
        Event e;
        e.kind = Event::Kind::kSelectionChanged;
        if (quiet_) {
            return false;
        } else if (header.code == TVN_SELCHANGEDA || header.code == TVN_SELCHANGEDW) {
            // The item handle sits at the same place in the ANSI and the UTF-16 record.
            e.item = reinterpret_cast<TreeItem>(
                reinterpret_cast<const NMTREEVIEWA&>(header).itemNew.hItem);
        } else if (header.code == NM_DBLCLK) {
            TVHITTESTINFO hit{};
            DWORD at = GetMessagePos();
            hit.pt = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
            ScreenToClient(hwnd_, &hit.pt);
            send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (!hit.hItem || !(hit.flags & TVHT_ONITEM)) {
                return false;
            }
            e.kind = Event::Kind::kActivated;
            e.item = reinterpret_cast<TreeItem>(hit.hItem);
        } else {
            return false;
        }
        report(e);
        return true;
    }

  private:
    TreeItem next(TreeItem item, UINT how) const {
        return static_cast<TreeItem>(send(TVM_GETNEXTITEM, how, static_cast<LPARAM>(item)));
    }

    HIMAGELIST images_ = nullptr;  // owned
    bool quiet_ = false;           // while clearing: reports nothing
};

// A drop-down list (ComboBox) or a list box: the same requests under two sets of numbers.
class Win32StringList final : public ControlState, public StringList {
  public:
    Win32StringList(HWND hwnd, EventTarget& target, bool combo)
        : ControlState(hwnd, target), combo_(combo) {}

    void clear() override { send(combo_ ? CB_RESETCONTENT : LB_RESETCONTENT); }
    int add(const std::string& text) override {
        return static_cast<int>(
            send(combo_ ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    int count() const override {
        return static_cast<int>(send(combo_ ? CB_GETCOUNT : LB_GETCOUNT));
    }
    std::string text(int index) const override {
        LRESULT length = send(combo_ ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index);
        if (length < 0) {
            return {};
        }
        std::string text(static_cast<size_t>(length) + 1, '\0');
        LRESULT n =
            send(combo_ ? CB_GETLBTEXT : LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return text;
    }
    // The control announces only a person's choice: a choice by the code is reported here.
    void select(int index) override {
        int before = selected();
        send(combo_ ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index));
        if (selected() != before) {
            reportSelection();
        }
    }
    int selected() const override {
        LRESULT index = send(combo_ ? CB_GETCURSEL : LB_GETCURSEL);
        return index < 0 ? -1 : static_cast<int>(index);
    }

    bool command(int code) override {
        if (code != (combo_ ? CBN_SELCHANGE : LBN_SELCHANGE)) {
            return false;
        }
        reportSelection();
        return true;
    }

  private:
    void reportSelection() {
        Event e;
        e.kind = Event::Kind::kSelectionChanged;
        e.row = selected();
        report(e);
    }

    bool combo_;
};

// A read-only rich-text pane. Once it has links, the layer takes its mouse: the pointer shape,
// and presses and releases over links.
class Win32RichText final : public Subclassed, public RichText {
  public:
    using Subclassed::Subclassed;

    void setText(const StyledText& text) override {
        // The pane ends its paragraphs with a carriage return, one character like "\n".
        std::string shown = text.text;
        for (char& c : shown) {
            if (c == '\n') {
                c = '\r';
            }
        }
        send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(shown.c_str()));
        mapPositions(shown);
        format(0, -1, Rgb{}, false);
        for (const StyledText::Run& run : text.runs) {
            format(run.start, run.end, run.colour, run.underline);
        }
        PARAFORMAT paragraph{};
        paragraph.cbSize = sizeof paragraph;
        paragraph.dwMask = PFM_ALIGNMENT;
        paragraph.wAlignment = text.centred ? PFA_CENTER : PFA_LEFT;
        selectRange(0, -1);
        send(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&paragraph));
        selectRange(0, 0);
        armed_ = false;
    }
    void setLinks(const std::vector<std::pair<int, int>>& links) override {
        links_ = links;
        subclass();
    }
    void setRedraw(bool redraw) override {
        send(WM_SETREDRAW, redraw ? TRUE : FALSE);
        if (redraw) {
            InvalidateRect(hwnd_, nullptr, TRUE);
        }
    }
    std::string text() const override {
        std::string raw = WindowText(hwnd_), text;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\r') {
                text += '\n';
                if (i + 1 < raw.size() && raw[i + 1] == '\n') {
                    ++i;
                }
            } else {
                text += raw[i];
            }
        }
        return text;
    }
    int charFromPoint(int x, int y) const override {
        POINTL point{x, y};
        return toByte(static_cast<int>(send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point))));
    }
    void selectRange(int start, int end) override {
        CHARRANGE range{toChar(start), toChar(end)};
        send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }
    std::pair<int, int> selection() const override {
        CHARRANGE range{};
        send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return {toByte(range.cpMin), toByte(range.cpMax)};
    }

  private:
    // The layer counts positions in bytes of the ANSI text; the control counts characters,
    // and a character of a double-byte code page is two bytes. Both maps stay empty while the
    // two counts agree.
    void mapPositions(const std::string& text) {
        charOf_.clear();
        byteOf_.clear();
        bool wide = false;
        for (char c : text) {
            wide = wide || IsDBCSLeadByte(static_cast<BYTE>(c));
        }
        if (!wide) {
            return;
        }
        for (size_t i = 0; i < text.size(); ++i) {
            byteOf_.push_back(static_cast<int>(i));
            charOf_.push_back(static_cast<int>(byteOf_.size()) - 1);
            if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size()) {
                charOf_.push_back(static_cast<int>(byteOf_.size()) - 1);
                ++i;
            }
        }
        byteOf_.push_back(static_cast<int>(text.size()));
        charOf_.push_back(static_cast<int>(byteOf_.size()) - 1);
    }
    int toChar(int byte) const {
        return charOf_.empty() || byte < 0
                   ? byte
                   : charOf_[std::min<size_t>(size_t(byte), charOf_.size() - 1)];
    }
    int toByte(int ch) const {
        return byteOf_.empty() || ch < 0
                   ? ch
                   : byteOf_[std::min<size_t>(size_t(ch), byteOf_.size() - 1)];
    }

    void format(int start, int end, Rgb colour, bool underline) {
        CHARFORMATA character{};
        character.cbSize = sizeof character;
        character.dwMask = CFM_COLOR | CFM_UNDERLINE;
        character.dwEffects = underline ? CFE_UNDERLINE : 0;
        character.crTextColor = RGB(colour.red, colour.green, colour.blue);
        selectRange(start, end);
        send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&character));
    }

    // The link under a point of the pane; -1 for none. The first link listed wins.
    int linkAt(LPARAM point) const {
        int at =
            charFromPoint(static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)));
        for (size_t i = 0; i < links_.size(); ++i) {
            if (links_[i].first <= at && at <= links_[i].second) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    void showPointer(LPARAM point) const {
        SetCursor(LoadCursorA(nullptr, linkAt(point) >= 0 ? MAKEINTRESOURCEA(32649)     // IDC_HAND
                                                          : MAKEINTRESOURCEA(32513)));  // IDC_IBEAM
    }

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_SETCURSOR:
                if (LOWORD(lParam) == HTCLIENT) {
                    POINT p;
                    GetCursorPos(&p);
                    ScreenToClient(hwnd_, &p);
                    showPointer(MAKELPARAM(p.x, p.y));
                    return TRUE;
                }
                break;
            case WM_MOUSEMOVE:
                showPointer(lParam);
                return 0;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                if (int link = linkAt(lParam); link >= 0) {
                    const auto& [start, end] = links_[static_cast<size_t>(link)];
                    selectRange(start, end);
                    armed_ = true;
                }
                return 0;
            case WM_LBUTTONUP:
                if (int link = linkAt(lParam); link >= 0 && armed_) {
                    armed_ = false;
                    Event e;
                    e.kind = Event::Kind::kLinkClicked;
                    e.link = link;
                    report(e);
                }
                return 0;
            default:
                break;
        }
        return forward(message, wParam, lParam);
    }

    std::vector<std::pair<int, int>> links_;
    bool armed_ = false;
    std::vector<int> charOf_;  // byte position -> character position
    std::vector<int> byteOf_;  // character position -> byte position
};

}  // namespace

std::unique_ptr<ControlState> MakeControlState(HWND control, EventTarget& target) {
    char name[32] = {};
    GetClassNameA(control, name, sizeof name);
    if (lstrcmpiA(name, WC_LISTVIEWA) == 0) {
        return std::make_unique<Win32ListView>(control, target);
    }
    if (lstrcmpiA(name, WC_TREEVIEWA) == 0) {
        return std::make_unique<Win32TreeView>(control, target);
    }
    if (lstrcmpiA(name, "ComboBox") == 0 || lstrcmpiA(name, "ListBox") == 0) {
        return std::make_unique<Win32StringList>(control, target, lstrcmpiA(name, "ComboBox") == 0);
    }
    if (lstrcmpiA(name, "RichEdit20A") == 0 || lstrcmpiA(name, "RichEdit20W") == 0) {
        return std::make_unique<Win32RichText>(control, target);
    }
    return nullptr;
}

}  // namespace wq::ui::win32
