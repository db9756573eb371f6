// The test driver of headless.h over the real windows, for the Windows test programs: a test
// written against the headless backend runs unchanged under Wine. Built as its own library
// (wq_ui_driver), never into WqRT.dll.
//
// The Win32 layer tells the driver of every window it shows (ui_win32_test.h). When a dialog is
// up, the driver sets itself a timer on it; the dialog's modal loop delivers it, and the next
// queued handler runs with a view over the window that acts as a person would: button clicks,
// typing that the edit itself checks, mouse clicks at the rows, headers and characters of the
// richer controls. Message boxes are answered through a CBT hook when they activate. What
// goes wrong inside a handler cancels the dialog (an exception must not cross the window
// procedures) and is raised again, as headless raises it, when the outermost dialog or sheet
// of the test has returned.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/win32/driver/screenshot_win32.h"
#include "platform/win32/ui_win32_test.h"

namespace wq::headless {
namespace {

using ui::win32::StateOf;

constexpr UINT_PTR kTimer = 0x5751;
constexpr int kApplyButton = 0x3021;

std::string Text(HWND hwnd) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(
        static_cast<size_t>(std::max(GetWindowTextA(hwnd, text.data(), int(text.size())), 0)));
    return text;
}

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

LONG_PTR Style(HWND hwnd) {
    return GetWindowLongPtrA(hwnd, GWL_STYLE);
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    return out + "\"";
}

// Lets the window handle what is queued: posted input, paints and the notifications they cause.
void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

// Mouse messages at a point of `hwnd`'s client area, posted with the pointer there, as a
// person's hand would send them.
void Mouse(HWND hwnd, POINT at, std::initializer_list<UINT> messages) {
    POINT screen = at;
    ClientToScreen(hwnd, &screen);
    SetCursorPos(screen.x, screen.y);
    for (UINT m : messages) {
        bool down = m == WM_LBUTTONDOWN || m == WM_LBUTTONDBLCLK;
        PostMessageA(hwnd, m, down ? MK_LBUTTON : 0, MAKELPARAM(at.x, at.y));
    }
    Pump();
}

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A dialog or page as a test sees it.
class View final : public DialogView {
  public:
    explicit View(HWND hwnd) : hwnd_(hwnd) {}

    int templateId() const override { return StateOf(hwnd_).templateId; }
    std::string title() const override {
        ui::win32::DialogState state = StateOf(hwnd_);
        return state.page && !state.title.empty() ? state.title : Text(hwnd_);  // a page's tab
    }
    ui::Window owner() const override { return GetWindow(GetAncestor(hwnd_, GA_ROOT), GW_OWNER); }
    bool hasControl(int id) const override { return GetDlgItem(hwnd_, id) != nullptr; }
    std::string text(int id) const override {
        HWND c = control(id);
        std::string kind = ClassOf(c);
        if (kind == "ComboBox" || kind == "ListBox") {
            int index = selectedEntry(id);
            return index >= 0 ? entries(id)[size_t(index)] : "";
        }
        std::string raw = Text(c), shown;
        if (kind.rfind("RichEdit", 0) != 0) {
            return raw;
        }
        for (size_t i = 0; i < raw.size(); ++i) {  // the pane's paragraph ends read as "\n"
            shown += raw[i] == '\r' ? '\n' : raw[i];
            i += raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n';
        }
        return shown;
    }
    bool enabled(int id) const override { return IsWindowEnabled(control(id)) != FALSE; }
    bool visible(int id) const override { return (Style(control(id)) & WS_VISIBLE) != 0; }
    bool checked(int id) const override {
        return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    int focus() const override {
        HWND f = GetFocus();
        while (f && GetParent(f) != hwnd_) {
            f = GetParent(f);
        }
        return f ? GetDlgCtrlID(f) : 0;
    }
    int defaultButton() const override {
        LRESULT id = SendMessageA(hwnd_, DM_GETDEFID, 0, 0);
        return HIWORD(id) == DC_HASDEFID ? LOWORD(id) : 0;
    }
    int bitmap(int id) const override {
        control(id);
        if (int shown = ui::win32::BitmapOf(hwnd_, id)) {
            return shown;
        }
        for (const auto& [hwnd, image] : pictureControls()) {
            if (GetDlgCtrlID(hwnd) == id) {
                return image;
            }
        }
        return 0;
    }
    std::vector<int> pictures() const override {
        std::vector<int> images;
        for (const auto& [hwnd, image] : pictureControls()) {
            int set = ui::win32::BitmapOf(hwnd_, GetDlgCtrlID(hwnd));
            images.push_back(set ? set : image);
        }
        return images;
    }
    int textLimit(int id) const override {
        auto limit = int(SendMessageA(control(id, "Edit"), EM_GETLIMITTEXT, 0, 0));
        return limit >= 30000 ? 0 : limit;  // the edit's own default means no limit was set
    }
    std::pair<int, int> textSelection(int id) const override {
        DWORD start = 0, end = 0;
        SendMessageA(control(id, "Edit"), EM_GETSEL, WPARAM(&start), LPARAM(&end));
        return {int(start), int(end)};
    }
    bool centeredOnOwner() const override {
        RECT self, area;
        GetWindowRect(hwnd_, &self);
        HWND o = GetWindow(hwnd_, GW_OWNER);
        if (!o || !GetWindowRect(o, &area)) {
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        }
        POINT a = Centre(self), b = Centre(area);
        return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1;
    }

    void type(int id, const std::string& text) override {
        HWND edit = control(id, "Edit");
        LONG_PTR style = Style(edit);
        if (!reachable(edit) || (style & ES_READONLY)) {
            return;  // a person cannot type there
        }
        bool lines = (style & ES_MULTILINE) && (style & ES_WANTRETURN);
        std::string typed;
        for (char c : text) {
            if (((style & ES_NUMBER) && !std::isdigit(static_cast<unsigned char>(c))) ||
                ((c == '\r' || c == '\n') && !lines)) {
                continue;  // the edit refuses the key, or Enter goes to the default button
            }
            typed += c;
        }
        SendMessageA(hwnd_, WM_NEXTDLGCTL, WPARAM(edit), TRUE);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        SendMessageA(edit, EM_REPLACESEL, TRUE, LPARAM(typed.c_str()));  // within the limit
    }
    std::optional<ui::Rgb> link(int id) const override {
        ui::Rgb colour;
        control(id);
        return ui::win32::LinkOf(hwnd_, id, &colour) ? std::optional(colour) : std::nullopt;
    }
    void click(int id) override {
        if (link(id)) {  // a hyperlink: a press and release of the mouse over its text
            HWND text = control(id);
            RECT r;
            GetClientRect(text, &r);
            if (reachable(text)) {
                Mouse(text, Centre(r), {WM_LBUTTONDOWN, WM_LBUTTONUP});
            }
            return;
        }
        HWND button = control(id, "Button");
        if ((Style(button) & 0xF) == BS_GROUPBOX) {
            throw std::logic_error(where(id) + "a group box is not a button");
        }
        if (reachable(button)) {
            SendMessageA(button, BM_CLICK, 0, 0);
        }
    }
    void pressEnter() override {
        if (int id = defaultButton(); id && !ended()) {
            click(id);
        }
    }

    int rowCount(int id) const override {
        return int(SendMessageA(list(id), LVM_GETITEMCOUNT, 0, 0));
    }
    int columnCount(int id) const override {
        return std::max(int(SendMessageA(header(id), HDM_GETITEMCOUNT, 0, 0)), 1);
    }
    std::string rowText(int id, int row, int column) const override {
        char text[1024] = {};
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list(id, row), LVM_GETITEMTEXTA, WPARAM(row), LPARAM(&item));
        return text;
    }
    ui::Tick rowTick(int id, int row) const override {
        LRESULT state =
            SendMessageA(list(id, row), LVM_GETITEMSTATE, WPARAM(row), LVIS_STATEIMAGEMASK);
        return ui::Tick((state & LVIS_STATEIMAGEMASK) >> 12);
    }
    std::vector<int> selectedRows(int id) const override {
        std::vector<int> rows;
        HWND l = list(id);
        auto count =
            size_t(SendMessageA(l, LVM_GETSELECTEDCOUNT, 0, 0));  // a search runs to the end
        for (int r = -1;
             rows.size() < count &&
             (r = int(SendMessageA(l, LVM_GETNEXTITEM, WPARAM(r), LVNI_SELECTED))) >= 0;) {
            rows.push_back(r);
        }
        return rows;
    }
    ui::SortMark sortMark(int id, int column) const override {
        HDITEMA item{};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        SendMessageA(header(id), HDM_GETITEMA, WPARAM(column), LPARAM(&item));
        if ((item.fmt & HDF_SORTUP) || ((item.fmt & HDF_IMAGE) && item.iImage == 1)) {
            return ui::SortMark::kAscending;
        }
        if ((item.fmt & HDF_SORTDOWN) || ((item.fmt & HDF_IMAGE) && item.iImage == 2)) {
            return ui::SortMark::kDescending;
        }
        return ui::SortMark::kNone;
    }
    void clickRow(int id, int row) override {
        rowMouse(id, row, LVIR_LABEL, {WM_LBUTTONDOWN, WM_LBUTTONUP});
    }
    void clickTick(int id, int row) override {
        HWND l = list(id, row);
        if (!SendMessageA(l, LVM_GETIMAGELIST, LVSIL_STATE, 0)) {
            throw std::logic_error(where(id) + "the list shows no ticks");
        }
        if (!reachable(l)) {
            return;
        }
        SendMessageA(l, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
        RECT r{};
        r.left = LVIR_BOUNDS;
        SendMessageA(l, LVM_GETITEMRECT, WPARAM(row), LPARAM(&r));
        for (LVHITTESTINFO hit{}; r.left < r.right; ++r.left) {  // the box left of the label
            hit.pt = {r.left, (r.top + r.bottom) / 2};
            if (SendMessageA(l, LVM_HITTEST, 0, LPARAM(&hit)) == row &&
                (hit.flags & LVHT_ONITEMSTATEICON)) {
                Mouse(l, hit.pt, {WM_LBUTTONDOWN, WM_LBUTTONUP});
                return;
            }
        }
        throw std::logic_error(where(id) + "no check box found on row " + std::to_string(row));
    }
    void doubleClickRow(int id, int row) override {
        rowMouse(id, row, LVIR_LABEL,
                 {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP});
    }
    void clickColumn(int id, int column) override {
        HWND h = header(id);
        RECT r{};
        if (!SendMessageA(h, HDM_GETITEMRECT, WPARAM(column), LPARAM(&r))) {
            throw std::logic_error(where(id) + "no column header " + std::to_string(column));
        }
        if (reachable(list(id))) {
            Mouse(h, Centre(r), {WM_LBUTTONDOWN, WM_LBUTTONUP});
        }
    }

    std::vector<std::string> selectedPath(int id) const override {
        HWND t = tree(id);
        std::vector<std::string> path;
        for (auto item = treeNext(t, nullptr, TVGN_CARET); item;
             item = treeNext(t, item, TVGN_PARENT)) {
            path.insert(path.begin(), treeText(t, item));
        }
        return path;
    }
    bool hasTreeItem(int id, const std::vector<std::string>& path) const override {
        return find(tree(id), path) != nullptr;
    }
    void clickTreeItem(int id, const std::vector<std::string>& path) override {
        HWND t = tree(id);
        HTREEITEM item = existing(t, id, path);
        if (reachable(t)) {
            SetFocus(t);
            SendMessageA(t, TVM_SELECTITEM, TVGN_CARET, LPARAM(item));
        }
    }
    void doubleClickTreeItem(int id, const std::vector<std::string>& path) override {
        HWND t = tree(id);
        HTREEITEM item = existing(t, id, path);
        if (reachable(t)) {
            clickTreeItem(id, path);
            SendMessageA(t, TVM_ENSUREVISIBLE, 0, LPARAM(item));
            RECT r{};
            std::memcpy(&r, &item, sizeof item);  // the item goes in, its rectangle comes out
            SendMessageA(t, TVM_GETITEMRECT, TRUE, LPARAM(&r));
            Mouse(t, Centre(r), {WM_LBUTTONDBLCLK, WM_LBUTTONUP});
        }
    }

    std::vector<std::string> entries(int id) const override {
        HWND s = strings(id);
        bool combo = ClassOf(s) == "ComboBox";
        std::vector<std::string> out;
        int n = int(SendMessageA(s, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char text[1024] = {};
            SendMessageA(s, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(i), LPARAM(text));
            out.push_back(text);
        }
        return out;
    }
    int selectedEntry(int id) const override {
        HWND s = strings(id);
        LRESULT at = SendMessageA(s, ClassOf(s) == "ComboBox" ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
        return at < 0 ? -1 : int(at);
    }
    void chooseEntry(int id, int index) override {
        HWND s = strings(id);
        if (index < 0 || index >= int(entries(id).size())) {
            throw std::logic_error(where(id) + "no entry " + std::to_string(index));
        }
        if (reachable(s)) {  // the choice and the notification a person's choice sends
            bool combo = ClassOf(s) == "ComboBox";
            SetFocus(s);
            SendMessageA(s, combo ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(index), 0);
            SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                         LPARAM(s));
        }
    }

    ui::StyledText styledText(int id) const override {
        HWND pane = control(id, "RichEdit20A");
        ui::StyledText styled;
        styled.text = text(id);
        CHARRANGE kept{};
        SendMessageA(pane, EM_EXGETSEL, 0, LPARAM(&kept));
        for (int i = 0; i < int(styled.text.size()); ++i) {  // runs of coloured or underlined text
            CHARRANGE one{i, i + 1};
            CHARFORMATA f{};
            f.cbSize = sizeof f;
            SendMessageA(pane, EM_EXSETSEL, 0, LPARAM(&one));
            SendMessageA(pane, EM_GETCHARFORMAT, SCF_SELECTION, LPARAM(&f));
            ui::Rgb colour{GetRValue(f.crTextColor), GetGValue(f.crTextColor),
                           GetBValue(f.crTextColor)};
            bool underline = (f.dwEffects & CFE_UNDERLINE) != 0;
            if (colour == ui::Rgb{} && !underline) {
                continue;
            }
            auto& runs = styled.runs;
            if (!runs.empty() && runs.back().end == i && runs.back().colour == colour &&
                runs.back().underline == underline) {
                runs.back().end = i + 1;
            } else {
                runs.push_back({i, i + 1, colour, underline});
            }
        }
        PARAFORMAT p{};
        p.cbSize = sizeof p;
        SendMessageA(pane, EM_GETPARAFORMAT, 0, LPARAM(&p));
        styled.centred = p.wAlignment == PFA_CENTER;
        SendMessageA(pane, EM_EXSETSEL, 0, LPARAM(&kept));
        return styled;
    }
    void clickText(int id, int position) override {
        HWND pane = control(id, "RichEdit20A");
        if (reachable(pane)) {
            POINTL at{};
            SendMessageA(pane, EM_POSFROMCHAR, WPARAM(&at), position);
            Mouse(pane, {at.x + 1, at.y + 1}, {WM_LBUTTONDOWN, WM_LBUTTONUP});
        }
    }

    ui::Rect rect(int id) const override {
        RECT r;
        if (id == 0) {
            GetClientRect(hwnd_, &r);
        } else {
            GetWindowRect(control(id), &r);
            MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        }
        return {r.left, r.top, r.right, r.bottom};
    }
    bool hasSizeGrip() const override {
        for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (ClassOf(c) == "ScrollBar" && (Style(c) & SBS_SIZEGRIP) && (Style(c) & WS_VISIBLE)) {
                return true;
            }
        }
        return false;
    }
    // As a person dragging the grip: the frame keeps to the window's minimum tracking size.
    void resize(int width, int height) override {
        if (ended() || !hasSizeGrip()) {
            return;
        }
        RECT window, client;
        GetWindowRect(hwnd_, &window);
        GetClientRect(hwnd_, &client);
        MINMAXINFO limits{};
        SendMessageA(hwnd_, WM_GETMINMAXINFO, 0, LPARAM(&limits));
        int cx = width + (window.right - window.left) - client.right;
        int cy = height + (window.bottom - window.top) - client.bottom;
        SetWindowPos(hwnd_, nullptr, 0, 0, std::max(cx, int(limits.ptMinTrackSize.x)),
                     std::max(cy, int(limits.ptMinTrackSize.y)),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void snapshot(const std::string& name) override {
        const char* dir = std::getenv("WQ_ARTIFACTS");
        HWND top = GetAncestor(hwnd_, GA_ROOT);
        if (!dir || !*dir) {
            return;
        }
        RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Pump();
        if (!ui::win32::SaveScreenshot(top, std::string(dir) + "/" + name + ".bmp")) {
            throw std::runtime_error("snapshot " + name + " was not saved in " + dir);
        }
    }

    bool ended() const override { return !IsWindow(hwnd_) || StateOf(hwnd_).ended || forced; }
    int result() const override { return forced ? IDCANCEL : StateOf(hwnd_).result; }

    // The controls' texts as a person would read them; passwords as stars.
    std::vector<std::pair<int, std::string>> texts() const {
        std::vector<std::pair<int, std::string>> out;
        for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            int id = GetDlgCtrlID(c);
            std::string kind = ClassOf(c), t = Text(c);
            if (id == 0 || id == -1 || id == 0xFFFF || kind == "ScrollBar") {
                continue;
            }
            if (kind == "Edit" && (Style(c) & ES_PASSWORD)) {
                t.assign(t.size(), '*');
            } else if (kind == "ComboBox" || kind == "ListBox") {
                t.clear();
            }
            out.emplace_back(id, t);
        }
        return out;
    }

    bool forced = false;  // closed by the driver

  private:
    std::string where(int id) const {
        return "dialog " + std::to_string(templateId()) + ", control " + std::to_string(id) + ": ";
    }
    HWND control(int id) const {
        HWND c = GetDlgItem(hwnd_, id);
        if (!c || id == -1) {
            throw std::logic_error(where(id) + "no such control");
        }
        return c;
    }
    HWND control(int id, const char* kind) const {
        HWND c = control(id);
        if (lstrcmpiA(ClassOf(c).c_str(), kind) != 0) {
            throw std::logic_error(where(id) + "a " + ClassOf(c) + ", not a " + kind);
        }
        return c;
    }
    HWND list(int id, int row = -1) const {
        HWND l = control(id, WC_LISTVIEWA);
        if (row != -1 && (row < 0 || row >= int(SendMessageA(l, LVM_GETITEMCOUNT, 0, 0)))) {
            throw std::logic_error(where(id) + "no row " + std::to_string(row));
        }
        return l;
    }
    HWND header(int id) const {
        return reinterpret_cast<HWND>(SendMessageA(list(id), LVM_GETHEADER, 0, 0));
    }
    HWND tree(int id) const { return control(id, WC_TREEVIEWA); }
    HWND strings(int id) const {
        HWND s = control(id);
        if (ClassOf(s) != "ComboBox" && ClassOf(s) != "ListBox") {
            throw std::logic_error(where(id) + "a " + ClassOf(s) + ", not a string list");
        }
        return s;
    }
    bool reachable(HWND c) const {
        return IsWindowEnabled(c) && (Style(c) & WS_VISIBLE) && !ended();
    }
    void rowMouse(int id, int row, int part, std::initializer_list<UINT> messages) {
        HWND l = list(id, row);
        if (reachable(l)) {
            SendMessageA(l, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
            RECT r{};
            r.left = part;
            SendMessageA(l, LVM_GETITEMRECT, WPARAM(row), LPARAM(&r));
            Mouse(l, Centre(r), messages);
        }
    }
    static HTREEITEM treeNext(HWND t, HTREEITEM item, UINT how) {
        return reinterpret_cast<HTREEITEM>(SendMessageA(t, TVM_GETNEXTITEM, how, LPARAM(item)));
    }
    static std::string treeText(HWND t, HTREEITEM item) {
        char text[1024] = {};
        TVITEMA i{};
        i.mask = TVIF_TEXT;
        i.hItem = item;
        i.pszText = text;
        i.cchTextMax = sizeof text;
        SendMessageA(t, TVM_GETITEMA, 0, LPARAM(&i));
        return text;
    }
    static HTREEITEM find(HWND t, const std::vector<std::string>& path) {
        HTREEITEM item = nullptr;
        for (const std::string& name : path) {
            item = treeNext(t, item, item ? TVGN_CHILD : TVGN_ROOT);
            while (item && treeText(t, item) != name) {
                item = treeNext(t, item, TVGN_NEXT);
            }
            if (!item) {
                return nullptr;
            }
        }
        return item;
    }
    HTREEITEM existing(HWND t, int id, const std::vector<std::string>& path) const {
        if (HTREEITEM item = find(t, path)) {
            return item;
        }
        std::string joined;
        for (const std::string& name : path) {
            joined += "/" + name;
        }
        throw std::logic_error(where(id) + "no tree item " + joined);
    }

    // The picture controls in template order, with the image the template names for each when
    // the control shows one (the window does not tell which resource it came from).
    std::vector<std::pair<HWND, int>> pictureControls() const {
        std::vector<int> named = TemplateImages(templateId());
        std::vector<std::pair<HWND, int>> out;
        size_t i = 0;
        for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            LONG_PTR type = Style(c) & SS_TYPEMASK;
            if (ClassOf(c) != "Static" || (type != SS_ICON && type != SS_BITMAP)) {
                continue;
            }
            UINT kind = type == SS_ICON ? IMAGE_ICON : IMAGE_BITMAP;
            bool shows = SendMessageA(c, STM_GETIMAGE, kind, 0) != 0;
            out.emplace_back(c, shows && i < named.size() ? named[i] : 0);
            ++i;
        }
        return out;
    }

    // The image numbers that a template's picture controls name, in order (0 for a name).
    static std::vector<int> TemplateImages(int templateId) {
        std::vector<int> images;
        auto* p = static_cast<const WORD*>(ui::win32::FindTemplate(templateId));
        if (!p) {
            return images;
        }
        bool ex = p[1] == 0xFFFF;
        DWORD style =
            ex ? *reinterpret_cast<const DWORD*>(p + 6) : *reinterpret_cast<const DWORD*>(p);
        const WORD* at = p + (ex ? 8 : 4);
        int count = *at;
        at += 5;  // count, x, y, cx, cy
        auto skip = [](const WORD* w) {
            return *w == 0xFFFF ? w + 2 : w + lstrlenW(LPCWSTR(w)) + 1;
        };
        at = skip(skip(at));              // menu, class
        at += lstrlenW(LPCWSTR(at)) + 1;  // caption
        if (style & DS_SETFONT) {
            at += ex ? 3 : 1;
            at += lstrlenW(LPCWSTR(at)) + 1;
        }
        for (int i = 0; i < count; ++i) {
            at = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(at) + 3) &
                                               ~uintptr_t(3));
            DWORD itemStyle =
                ex ? *reinterpret_cast<const DWORD*>(at + 4) : *reinterpret_cast<const DWORD*>(at);
            at += ex ? 12 : 9;  // header: ex 24 bytes, plain 18 bytes
            bool isStatic = at[0] == 0xFFFF ? at[1] == 0x0082 : !lstrcmpiW(LPCWSTR(at), L"Static");
            at = skip(at);
            int number = at[0] == 0xFFFF ? at[1] : 0;
            if (at[0] != 0xFFFF) {
                number = int(std::wcstol(LPCWSTR(at), nullptr, 10));
            }
            at = skip(at);
            at += *at / sizeof(WORD) + 1;  // creation data
            UINT type = itemStyle & SS_TYPEMASK;
            if (isStatic && (type == SS_ICON || type == SS_BITMAP)) {
                images.push_back(number);
            }
        }
        return images;
    }

    HWND hwnd_;
};

class Sheet final : public SheetView {
  public:
    explicit Sheet(HWND hwnd) : hwnd_(hwnd) {}

    std::string caption() const override { return Text(hwnd_); }
    int pageCount() const override { return int(SendMessageA(tabs(), TCM_GETITEMCOUNT, 0, 0)); }
    std::string pageTitle(int index) const override {
        char text[256] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tabs(), TCM_GETITEMA, WPARAM(index), LPARAM(&item));
        return text;
    }
    DialogView& page(int index) override {
        if (!closed() && index != currentPage()) {
            SendMessageA(hwnd_, PSM_SETCURSEL, WPARAM(index), 0);  // refused while a page stays
        }
        int shown = closed() ? index : currentPage();  // a page that may not be left stays
        auto hwnd = reinterpret_cast<HWND>(SendMessageA(hwnd_, PSM_INDEXTOHWND, WPARAM(shown), 0));
        if (!hwnd) {
            throw std::logic_error("page " + std::to_string(index) + " was never opened");
        }
        auto& view = views_[hwnd];
        if (!view) {
            view = std::make_unique<View>(hwnd);
        }
        return *view;
    }
    void clickOk() override { press(IDOK); }
    void clickCancel() override { press(IDCANCEL); }
    void clickApply() override { press(kApplyButton); }
    bool applyOffered() const override {
        HWND apply = GetDlgItem(hwnd_, kApplyButton);
        return apply && (Style(apply) & WS_VISIBLE);
    }
    bool applyEnabled() const override {
        return applyOffered() && IsWindowEnabled(GetDlgItem(hwnd_, kApplyButton));
    }
    int currentPage() const override { return int(SendMessageA(tabs(), TCM_GETCURSEL, 0, 0)); }
    // OK leaves the sheet without a current page; Cancel resets the pages (seen by the hook).
    bool closed() const override {
        return !IsWindow(hwnd_) || cancelled || !SendMessageA(hwnd_, PSM_GETCURRENTPAGEHWND, 0, 0);
    }

    bool cancelled = false;

  private:
    HWND tabs() const {
        return reinterpret_cast<HWND>(SendMessageA(hwnd_, PSM_GETTABCONTROL, 0, 0));
    }
    void press(int id) {
        HWND button = GetDlgItem(hwnd_, id);
        if (!closed() && button && IsWindowEnabled(button) && (Style(button) & WS_VISIBLE)) {
            SendMessageA(button, BM_CLICK, 0, 0);
        }
    }

    HWND hwnd_;
    std::map<HWND, std::unique_ptr<View>> views_;
};

struct OpenDialog {
    std::string firstTitle;
    DialogHandler handler;
    View view;
};

struct OpenSheet {
    HWND hwnd = nullptr;
    std::string caption;
    SheetHandler handler;
    std::unique_ptr<Sheet> view;
    HWND firstPage = nullptr;
    std::vector<std::pair<int, std::string>> firstPageTexts;
};

class Driver final : public ui::win32::WindowObserver {
  public:
    Driver() {
        LoadLibraryA("riched20.dll");  // the rich-edit class the library loads at attach
        ui::win32::SetWindowObserver(this);
        DWORD thread = GetCurrentThreadId();
        SetWindowsHookExA(WH_CBT, Activated, nullptr, thread);
        SetWindowsHookExA(WH_CALLWNDPROC, Sent, nullptr, thread);
    }

    std::deque<MessageBoxHandler> messageBoxes;
    std::deque<DialogHandler> dialogs;
    std::deque<SheetHandler> sheets;
    std::vector<Event> events;
    std::vector<std::string> log;
    std::function<void(const Event&)> echo;

    void messageBoxOpening(ui::Window owner, const std::string& text, const std::string& caption,
                           unsigned style) override {
        log.push_back("opened message box " + Quoted(caption) + " " + Quoted(text));
        box_ = Event{};
        box_.caption = caption;
        box_.text = text;
        box_.style = style;
        answer_ = (style & 0xF) == ui::kMbOkCancel || (style & 0xF) == ui::kMbYesNoCancel
                      ? ui::kIdCancel
                  : (style & 0xF) == ui::kMbYesNo ? ui::kIdNo
                                                  : ui::kIdOk;
        if (!messageBoxes.empty()) {
            MessageBoxHandler handler = std::move(messageBoxes.front());
            messageBoxes.pop_front();
            guarded([&] { answer_ = handler({owner, caption, text, style}); });
        }
    }
    void messageBoxClosed(int result) override {
        log.push_back("closed message box " + Quoted(box_.caption) + " -> " +
                      std::to_string(result));
        box_.result = result;
        answer_ = 0;  // a box that never showed leaves no answer for the next window
        record(box_);
    }
    void dialogCreated(ui::Window dialog) override {
        auto hwnd = static_cast<HWND>(dialog);
        log.push_back("opened dialog " + std::to_string(StateOf(hwnd).templateId) + " " +
                      Quoted(Text(hwnd)));
        if (StateOf(hwnd).page && !sheets_.empty() && !sheets_.back().firstPage) {
            sheets_.back().firstPage = hwnd;  // the sheet opens on its first page
        }
    }
    void dialogInitialized(ui::Window dialog) override {
        auto hwnd = static_cast<HWND>(dialog);
        if (StateOf(hwnd).page) {
            return;
        }
        OpenDialog& open = *(
            dialogs_[hwnd] = std::make_unique<OpenDialog>(OpenDialog{Text(hwnd), {}, View(hwnd)}));
        if (!open.view.ended()) {
            if (!dialogs.empty()) {
                open.handler = std::move(dialogs.front());
                dialogs.pop_front();
            }
            SetTimer(hwnd, kTimer, 0, RunDialog);
        }
    }
    void dialogClosing(ui::Window dialog) override {
        auto hwnd = static_cast<HWND>(dialog);
        ui::win32::DialogState state = StateOf(hwnd);
        auto found = dialogs_.find(hwnd);
        View view(hwnd);
        view.forced = found != dialogs_.end() && found->second->view.forced;
        std::string line = "closed dialog " + std::to_string(state.templateId) + " " +
                           Quoted(view.title()) + " -> " + std::to_string(view.result());
        auto texts = view.texts();
        for (const auto& [id, text] : texts) {
            line += " " + std::to_string(id) + "=" + Quoted(text);
        }
        log.push_back(line);
        if (state.page && !sheets_.empty() && sheets_.back().firstPage == hwnd) {
            sheets_.back().firstPageTexts = texts;
        }
        if (found != dialogs_.end()) {
            Event e{Event::Kind::kDialog,
                    found->second->firstTitle,
                    "",
                    0,
                    state.templateId,
                    view.result(),
                    texts};
            dialogs_.erase(found);
            record(e);
        }
    }
    void sheetOpened(ui::Window sheet) override {
        auto hwnd = static_cast<HWND>(sheet);
        log.push_back("opened sheet " + Quoted(Text(hwnd)));
        OpenSheet open{hwnd, Text(hwnd), {}, std::make_unique<Sheet>(hwnd), nullptr, {}};
        if (!sheets.empty()) {
            open.handler = std::move(sheets.front());
            sheets.pop_front();
        }
        sheets_.push_back(std::move(open));
        SetTimer(hwnd, kTimer, 0, RunSheet);
    }
    void sheetClosed(int result) override {
        OpenSheet& open = sheets_.back();
        log.push_back("closed sheet " + Quoted(open.caption) + " -> " + std::to_string(result));
        Event e{Event::Kind::kPropertySheet, open.caption,       "", 0, 0,
                std::max(result, 0),         open.firstPageTexts};
        sheets_.pop_back();
        record(e);
    }
    void beeped(unsigned style) override { log.push_back("beep " + std::to_string(style)); }
    void modalReturned() override {
        if (fault_ && dialogs_.empty() && sheets_.empty()) {
            std::exception_ptr fault = fault_;
            fault_ = nullptr;
            std::rethrow_exception(fault);
        }
    }

  private:
    void record(const Event& e) {
        if (echo) {
            echo(e);
        }
        events.push_back(e);
    }

    // Runs a test's handler; an exception must not cross the window procedures above it, so
    // the first one is kept until the test's outermost dialog or sheet has returned.
    template <typename F>
    static void guarded(F&& run) {
        try {
            run();
        } catch (...) {
            if (!The().fault_) {
                The().fault_ = std::current_exception();
            }
        }
    }

    static void CALLBACK RunDialog(HWND hwnd, UINT, UINT_PTR id, DWORD) {
        KillTimer(hwnd, id);
        auto found = The().dialogs_.find(hwnd);
        if (found == The().dialogs_.end()) {
            return;
        }
        OpenDialog& open = *found->second;
        if (open.handler) {
            guarded([&] { open.handler(open.view); });
        }
        // Left open: Escape, and if the dialog stays, it is closed anyway.
        if (!open.view.ended()) {
            SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        if (!open.view.ended()) {
            open.view.forced = true;
            EndDialog(hwnd, IDCANCEL);
        }
    }

    static void CALLBACK RunSheet(HWND hwnd, UINT, UINT_PTR id, DWORD) {
        KillTimer(hwnd, id);
        Driver& d = The();
        if (d.sheets_.empty() || d.sheets_.back().hwnd != hwnd) {
            return;
        }
        OpenSheet& open = d.sheets_.back();
        if (open.handler) {
            guarded([&] { open.handler(*open.view); });
        }
        if (!open.view->closed()) {
            open.view->clickCancel();
        }
        if (!open.view->closed()) {
            if (!d.fault_) {
                d.fault_ = std::make_exception_ptr(
                    std::logic_error("the sheet " + open.caption + " refused to close"));
            }
            DestroyWindow(hwnd);
        }
    }

    // A message box activates: it gets the answer that its handler chose.
    static LRESULT CALLBACK Activated(int code, WPARAM wParam, LPARAM lParam) {
        auto hwnd = reinterpret_cast<HWND>(wParam);
        Driver& d = The();
        if (code == HCBT_ACTIVATE && d.answer_ && ClassOf(hwnd) == "#32770" &&
            GetDlgItem(hwnd, 0xFFFF)) {
            PostMessageA(hwnd, WM_COMMAND, WPARAM(d.answer_), 0);
            d.answer_ = 0;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // The sheet resets its pages once a cancel is agreed.
    static LRESULT CALLBACK Sent(int code, WPARAM wParam, LPARAM lParam) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
        Driver& d = The();
        if (code == HC_ACTION && m->message == WM_NOTIFY && !d.sheets_.empty() && m->lParam &&
            reinterpret_cast<const NMHDR*>(m->lParam)->code == PSN_RESET &&
            GetParent(m->hwnd) == d.sheets_.back().hwnd) {
            d.sheets_.back().view->cancelled = true;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

  public:
    static Driver& The() {
        static Driver driver;
        return driver;
    }

  private:
    std::map<HWND, std::unique_ptr<OpenDialog>> dialogs_;
    std::vector<OpenSheet> sheets_;  // innermost last
    Event box_;
    int answer_ = 0;  // for the message box about to activate
    std::exception_ptr fault_;
};

// The driver watches from the start, so that a dialog without a handler is cancelled too.
const bool kWatching = (Driver::The(), true);

}  // namespace

void OnMessageBox(MessageBoxHandler handler) {
    Driver::The().messageBoxes.push_back(std::move(handler));
}
void OnDialog(DialogHandler handler) {
    Driver::The().dialogs.push_back(std::move(handler));
}
void OnPropertySheet(SheetHandler handler) {
    Driver::The().sheets.push_back(std::move(handler));
}
const std::vector<Event>& Events() {
    return Driver::The().events;
}
const std::vector<std::string>& WindowLog() {
    return Driver::The().log;
}
void Reset() {
    Driver& d = Driver::The();
    d.events.clear();
    d.log.clear();
    d.messageBoxes.clear();
    d.dialogs.clear();
    d.sheets.clear();
}
void SetEcho(std::function<void(const Event&)> echo) {
    Driver::The().echo = std::move(echo);
}
bool WaitCursorShown() {
    return GetCursor() == LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));  // IDC_WAIT
}
int PendingHandlers() {
    Driver& d = Driver::The();
    return int(d.messageBoxes.size() + d.dialogs.size() + d.sheets.size());
}

}  // namespace wq::headless
