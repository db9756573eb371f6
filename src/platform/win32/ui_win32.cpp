// The Win32 user interface: real dialogs from the .rc templates, message boxes, property pages
// and sheets. Dialog logic reaches its window only through Win32Window, which forwards each
// request to the control by id and turns the controls' commands and notifications into the
// events of ui.h. The richer controls keep their state in controls_win32.cpp.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/controls_win32.h"
#include "platform/win32/ui_win32_test.h"

namespace wq::ui {
namespace win32 {

HMODULE Self() {
    return static_cast<HMODULE>(platform::SelfModule());
}

std::string WindowText(HWND hwnd) {
    if (!hwnd) {
        return {};
    }
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    int n = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

namespace {

platform::ModuleHandle (*g_templateSource)() = nullptr;
WindowObserver* g_observer = nullptr;

void InitControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)done;
}

constexpr UINT kButtonTypeMask = 0xF;  // BS_TYPEMASK

bool IsRadio(HWND hwnd) {
    UINT type = static_cast<UINT>(GetWindowLongPtrA(hwnd, GWL_STYLE)) & kButtonTypeMask;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

class Win32Window;

// Ties one dialog's or page's logic to its window for the life of the window. A page's binding
// lives on the heap and owns its logic until the sheet that holds the page releases it.
struct Binding {
    Dialog* logic = nullptr;
    int templateId = 0;
    bool page = false;
    std::unique_ptr<Dialog> ownedLogic;  // pages only
    std::string title;                   // pages only; kept while the page exists
    std::unique_ptr<Win32Window> window;

    ~Binding();
};

class Win32Window final : public DialogWindow, public EventTarget {
  public:
    Win32Window(HWND hwnd, Binding& binding) : hwnd_(hwnd), binding_(binding) {}
    ~Win32Window() override {
        controls_.clear();
        for (const Picture& p : pictures_) {
            DeleteObject(p.bitmap);
        }
        for (const auto& [id, link] : links_) {
            DeleteObject(link.font);
        }
    }
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    bool report(const Event& e) override { return binding_.logic->onEvent(e); }

    // The richer controls get their state before the logic or a person touches them.
    void start() {
        for (HWND child = GetWindow(hwnd_, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            control(GetDlgCtrlID(child));
        }
    }

    // Messages of the dialog other than WM_INITDIALOG, as a dialog procedure answers them.
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_COMMAND:
                return command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            case WM_NOTIFY:
                return notify(*reinterpret_cast<const NMHDR*>(lParam));
            case WM_SIZE:
                layout_.resized();
                return FALSE;
            case WM_GETMINMAXINFO:
                layout_.limit(*reinterpret_cast<MINMAXINFO*>(lParam));
                return layout_.active() ? TRUE : FALSE;
            case WM_CTLCOLORSTATIC:
                return linkColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            case WM_SETCURSOR:
                // The dialog hears of the pointer over a control before the control does.
                if (link(reinterpret_cast<HWND>(wParam)) && LOWORD(lParam) == HTCLIENT) {
                    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // IDC_HAND
                    SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
                    return TRUE;
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

    DialogState state() const {
        return {binding_.templateId, binding_.page, ended_, result_, binding_.title};
    }
    bool linkOf(int id, Rgb* colour) const {
        auto found = links_.find(id);
        if (found == links_.end()) {
            return false;
        }
        *colour = found->second.colour;
        return true;
    }
    int bitmapOf(int id) const {
        for (auto p = pictures_.rbegin(); p != pictures_.rend(); ++p) {
            if (p->control == id) {
                return p->bitmapId;
            }
        }
        return 0;
    }

    // DialogWindow.
    Window handle() const override { return hwnd_; }
    void setTitle(const std::string& text) override { SetWindowTextA(hwnd_, text.c_str()); }
    std::string title() const override { return WindowText(hwnd_); }
    bool hasItem(int id) const override { return item(id) != nullptr; }
    // A single-line edit reports EN_CHANGE itself; a multi-line one does not, so the change
    // is reported here when the edit stayed silent.
    void setItemText(int id, const std::string& text) override {
        HWND control = item(id);
        char kind[8] = {};
        bool edit =
            control && GetClassNameA(control, kind, sizeof kind) && lstrcmpiA(kind, "Edit") == 0;
        int outer = settingText_;
        settingText_ = edit ? id : 0;
        changeSeen_ = false;
        SetDlgItemTextA(hwnd_, id, text.c_str());
        bool silent = edit && !changeSeen_;
        settingText_ = outer;
        if (silent) {
            Event e;
            e.kind = Event::Kind::kTextChanged;
            e.control = id;
            report(e);
        }
    }
    std::string itemText(int id) const override {
        if (auto* pane = dynamic_cast<RichText*>(control(id))) {
            return pane->text();
        }
        return WindowText(item(id));
    }
    void enableItem(int id, bool enabled) override { EnableWindow(item(id), enabled); }
    bool isItemEnabled(int id) const override { return IsWindowEnabled(item(id)) != FALSE; }
    void showItem(int id, bool visible) override {
        ShowWindow(item(id), visible ? SW_SHOW : SW_HIDE);
    }
    bool isItemVisible(int id) const override {
        return (GetWindowLongPtrA(item(id), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    void setChecked(int id, bool checked) override {
        HWND button = item(id);
        if (!button) {
            return;
        }
        SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        if (!checked || !IsRadio(button)) {
            return;
        }
        // The group runs from the control marked WS_GROUP up to the next one.
        HWND first = button;
        while (!(GetWindowLongPtrA(first, GWL_STYLE) & WS_GROUP)) {
            HWND previous = GetWindow(first, GW_HWNDPREV);
            if (!previous) {
                break;
            }
            first = previous;
        }
        for (HWND w = first; w; w = GetWindow(w, GW_HWNDNEXT)) {
            if (w != first && (GetWindowLongPtrA(w, GWL_STYLE) & WS_GROUP)) {
                break;
            }
            if (w != button && IsRadio(w)) {
                SendMessageA(w, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
    }
    bool isChecked(int id) const override {
        return SendMessageA(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void setFocus(int id) override {
        if (HWND control = item(id)) {
            SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        }
    }
    void setTextLimit(int id, int maxChars) override {
        SendDlgItemMessageA(hwnd_, id, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    }
    void selectText(int id, int start, int end) override {
        SendDlgItemMessageA(hwnd_, id, EM_SETSEL, static_cast<WPARAM>(start), end);
    }
    std::pair<int, int> textSelection(int id) const override {
        DWORD start = 0, end = 0;
        SendDlgItemMessageA(hwnd_, id, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                            reinterpret_cast<LPARAM>(&end));
        return {static_cast<int>(start), static_cast<int>(end)};
    }
    void setDefaultButton(int id) override {
        LRESULT current = SendMessageA(hwnd_, DM_GETDEFID, 0, 0);
        if (HIWORD(current) == DC_HASDEFID && LOWORD(current) != id) {
            restyle(item(LOWORD(current)), BS_PUSHBUTTON);
        }
        SendMessageA(hwnd_, DM_SETDEFID, static_cast<WPARAM>(id), 0);
        restyle(item(id), BS_DEFPUSHBUTTON);
    }
    void setItemBitmap(int id, int bitmapId) override {
        HANDLE image =
            LoadImageA(Self(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
        if (!image || !item(id)) {
            if (image) {
                DeleteObject(image);
            }
            return;
        }
        pictures_.push_back({id, bitmapId, static_cast<HBITMAP>(image)});
        SendDlgItemMessageA(hwnd_, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    }
    // The static's own font, underlined; its colour is given when the static asks the dialog
    // for its colours, and SS_NOTIFY makes it report clicks.
    void setLink(int id, Rgb colour) override {
        HWND control = item(id);
        if (!control || !IsStatic(control)) {
            return;
        }
        LOGFONTA font{};
        auto base = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
        if (!base || !GetObjectA(base, sizeof font, &font)) {
            GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
        }
        font.lfUnderline = TRUE;
        HFONT underlined = CreateFontIndirectA(&font);
        SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(underlined), TRUE);
        auto [at, added] = links_.try_emplace(id, Link{colour, underlined});
        if (!added) {
            DeleteObject(at->second.font);
            at->second = Link{colour, underlined};
        }
        InvalidateRect(control, nullptr, TRUE);
    }

    ListView* listView(int id) override { return dynamic_cast<ListView*>(control(id)); }
    TreeView* treeView(int id) override { return dynamic_cast<TreeView*>(control(id)); }
    StringList* stringList(int id) override { return dynamic_cast<StringList*>(control(id)); }
    RichText* richText(int id) override { return dynamic_cast<RichText*>(control(id)); }

    void setResizable(const std::vector<std::pair<int, unsigned>>& anchors) override {
        layout_.start(hwnd_, anchors);
    }
    void centerOnOwner() override {
        RECT area;
        HWND owner = GetWindow(hwnd_, GW_OWNER);
        if (!owner || !GetWindowRect(owner, &area)) {
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        }
        centerOver(area);
    }
    void centerOnScreen() override {
        RECT area;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        centerOver(area);
    }

    void endDialog(int result) override {
        if (!binding_.page) {
            ended_ = true;
            result_ = result;
            EndDialog(hwnd_, result);
        }
    }
    void setPageChanged(bool changed) override {
        SendMessageA(GetParent(hwnd_), changed ? PSM_CHANGED : PSM_UNCHANGED,
                     reinterpret_cast<WPARAM>(hwnd_), 0);
    }

  private:
    struct Link {
        Rgb colour;
        HFONT font;  // owned: freed with the window object
    };

    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

    static bool IsStatic(HWND control) {
        char kind[8] = {};
        return GetClassNameA(control, kind, sizeof kind) && lstrcmpiA(kind, "Static") == 0;
    }
    const Link* link(HWND control) const {
        auto found = control && GetParent(control) == hwnd_ ? links_.find(GetDlgCtrlID(control))
                                                            : links_.end();
        return found == links_.end() ? nullptr : &found->second;
    }
    INT_PTR linkColours(HDC dc, HWND control) const {
        const Link* found = link(control);
        if (!found) {
            return FALSE;
        }
        SetTextColor(dc, RGB(found->colour.red, found->colour.green, found->colour.blue));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }

    // The state of a richer control, made on first use; null for plain controls.
    ControlState* control(int id) const {
        auto found = controls_.find(id);
        if (found != controls_.end()) {
            return found->second.get();
        }
        HWND hwnd = item(id);
        std::unique_ptr<ControlState> made =
            hwnd ? MakeControlState(hwnd, const_cast<Win32Window&>(*this)) : nullptr;
        ControlState* state = made.get();
        if (state) {
            controls_.emplace(id, std::move(made));
        }
        return state;
    }

    static void restyle(HWND button, UINT type) {
        if (!button) {
            return;
        }
        auto style = static_cast<UINT>(GetWindowLongPtrA(button, GWL_STYLE));
        UINT current = style & kButtonTypeMask;
        if (current == BS_PUSHBUTTON || current == BS_DEFPUSHBUTTON) {
            SendMessageA(button, BM_SETSTYLE, (style & 0xFFFF & ~kButtonTypeMask) | type, TRUE);
        }
    }

    void centerOver(const RECT& area) {
        RECT self;
        GetWindowRect(hwnd_, &self);
        int width = self.right - self.left, height = self.bottom - self.top;
        SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    INT_PTR command(int id, int code, HWND from) {
        if (ControlState* state = from ? control(id) : nullptr; state && state->command(code)) {
            return TRUE;
        }
        Event e;
        e.control = id;
        if (code == BN_CLICKED) {  // also Enter and Escape, which come without a control
            e.kind = Event::Kind::kClicked;
        } else if (code == EN_CHANGE) {
            e.kind = Event::Kind::kTextChanged;
            changeSeen_ = changeSeen_ || id == settingText_;
        } else {
            return FALSE;
        }
        report(e);
        return TRUE;
    }

    INT_PTR notify(const NMHDR& header) {
        // Property-sheet notifications have codes PSN_LAST ... PSN_FIRST.
        if (header.code >= PSN_LAST && header.code <= PSN_FIRST) {
            return pageNotify(header.code);
        }
        LRESULT result = 0;
        ControlState* state = control(static_cast<int>(header.idFrom));
        if (!state || !state->notify(header, result)) {
            return FALSE;
        }
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }

    // The sheet's questions to the page, answered as the sheet expects: PSNRET_INVALID refuses
    // an apply, TRUE refuses leaving the page or cancelling the sheet.
    INT_PTR pageNotify(UINT code) {
        Event e;
        switch (code) {
            case PSN_APPLY:
                e.kind = Event::Kind::kApply;
                break;
            case PSN_SETACTIVE:
                e.kind = Event::Kind::kSetActive;
                break;
            case PSN_KILLACTIVE:
                e.kind = Event::Kind::kKillActive;
                break;
            case PSN_QUERYCANCEL:
                e.kind = Event::Kind::kQueryCancel;
                break;
            default:
                return FALSE;
        }
        bool agreed = report(e);
        LRESULT answer = 0;
        if (e.kind == Event::Kind::kApply) {
            answer = agreed ? PSNRET_NOERROR : PSNRET_INVALID;
        } else if (e.kind != Event::Kind::kSetActive) {
            answer = agreed ? FALSE : TRUE;
        }
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, answer);
        return TRUE;
    }

    HWND hwnd_;
    Binding& binding_;
    mutable std::map<int, std::unique_ptr<ControlState>> controls_;
    struct Picture {
        int control;
        int bitmapId;
        HBITMAP bitmap;  // owned: freed with the window object
    };
    std::vector<Picture> pictures_;
    std::map<int, Link> links_;
    Layout layout_;
    int settingText_ = 0;  // the edit whose text the code is setting
    bool changeSeen_ = false;
    bool ended_ = false;
    int result_ = 0;
};

Binding::~Binding() {
    if (window) {  // a page released while its window still stands
        SetWindowLongPtrA(static_cast<HWND>(window->handle()), DWLP_USER, 0);
        logic->attachWindow(nullptr);
    }
}

Binding* BindingOf(HWND hwnd) {
    return hwnd ? reinterpret_cast<Binding*>(GetWindowLongPtrA(hwnd, DWLP_USER)) : nullptr;
}

// One procedure for dialogs and pages. A page is a child of its sheet and is handed its
// PROPSHEETPAGE, whose lParam holds the binding; a modal dialog is handed the binding itself.
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        bool page = (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) != 0;
        auto* binding = reinterpret_cast<Binding*>(
            page ? reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam : lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(binding));
        binding->window = std::make_unique<Win32Window>(hwnd, *binding);
        binding->window->start();
        binding->logic->attachWindow(binding->window.get());
        if (g_observer) {
            g_observer->dialogCreated(hwnd);
        }
        bool systemFocus = binding->logic->onInit();
        if (systemFocus && !binding->page) {
            // The first control gets the focus as it stands: what the code selected in an
            // edit stays selected (the dialog manager would select the whole text).
            SetFocus(GetNextDlgTabItem(hwnd, nullptr, FALSE));
            systemFocus = false;
        }
        if (g_observer) {
            g_observer->dialogInitialized(hwnd);
        }
        return systemFocus ? TRUE : FALSE;
    }
    Binding* binding = BindingOf(hwnd);
    if (!binding || !binding->window) {
        return FALSE;
    }
    if (message == WM_DESTROY) {
        if (g_observer) {
            g_observer->dialogClosing(hwnd);
        }
        binding->logic->attachWindow(nullptr);
        binding->window.reset();
        return FALSE;
    }
    return binding->window->handle(message, wParam, lParam);
}

// A page's binding goes with the page, whichever sheet (the library's or a host's) releases it.
UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEA* page) {
    if (message == PSPCB_RELEASE && page) {
        delete reinterpret_cast<Binding*>(page->lParam);
    }
    return 1;
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_observer) {
        g_observer->sheetOpened(sheet);
    }
    return 0;
}

}  // namespace

void SetWindowObserver(WindowObserver* observer) {
    g_observer = observer;
}

DialogState StateOf(Window dialog) {
    Binding* binding = BindingOf(static_cast<HWND>(dialog));
    return binding && binding->window ? binding->window->state() : DialogState{};
}

bool LinkOf(Window dialog, int id, Rgb* colour) {
    Binding* binding = BindingOf(static_cast<HWND>(dialog));
    return binding && binding->window && binding->window->linkOf(id, colour);
}

int BitmapOf(Window dialog, int id) {
    Binding* binding = BindingOf(static_cast<HWND>(dialog));
    return binding && binding->window ? binding->window->bitmapOf(id) : 0;
}

// Dialogs and pages are created from the template in memory with the library's own module as
// their instance. The dialog manager creates the controls with that instance, and a picture
// control that names its image by number (an SS_ICON or SS_BITMAP static) loads the image from
// it: images come from the library itself whichever module the template came from.
const void* FindTemplate(int templateId) {
    HMODULE resources = g_templateSource ? static_cast<HMODULE>(g_templateSource()) : nullptr;
    for (HMODULE module : {resources, Self()}) {
        HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(templateId),
                                             MAKEINTRESOURCEA(5))  // RT_DIALOG
                             : nullptr;
        if (HGLOBAL loaded = found ? LoadResource(module, found) : nullptr) {
            return LockResource(loaded);
        }
    }
    return nullptr;
}

}  // namespace win32

using win32::Binding;
using win32::g_observer;
using win32::Self;

void SetTemplateModuleSource(platform::ModuleHandle (*source)()) {
    win32::g_templateSource = source;
}

int ShowMessageBox(Window owner, const std::string& text, const std::string& caption,
                   unsigned style) {
    if (g_observer) {
        g_observer->messageBoxOpening(owner, text, caption, style);
    }
    int answer = MessageBoxA(static_cast<HWND>(owner), text.c_str(), caption.c_str(), style);
    if (g_observer) {
        g_observer->messageBoxClosed(answer);
        g_observer->modalReturned();
    }
    return answer;
}

int RunModalDialog(int templateId, Window owner, Dialog& logic) {
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(win32::FindTemplate(templateId));
    if (!dialogTemplate) {
        return -1;
    }
    win32::InitControls();
    Binding binding;
    binding.logic = &logic;
    binding.templateId = templateId;
    INT_PTR r = DialogBoxIndirectParamA(Self(), dialogTemplate, static_cast<HWND>(owner),
                                        win32::DialogProc, reinterpret_cast<LPARAM>(&binding));
    if (g_observer) {
        g_observer->modalReturned();
    }
    return static_cast<int>(r);
}

PropertyPage CreatePropertyPage(int templateId, const std::string& title,
                                std::unique_ptr<Dialog> logic) {
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(win32::FindTemplate(templateId));
    if (!dialogTemplate || !logic) {
        return nullptr;
    }
    win32::InitControls();
    auto binding = std::make_unique<Binding>();
    binding->logic = logic.get();
    binding->ownedLogic = std::move(logic);
    binding->templateId = templateId;
    binding->page = true;
    binding->title = title;
    // The first version of the page record: every comctl32 since Windows 95 reads it.
    PROPSHEETPAGEA p{};
    p.dwSize = PROPSHEETPAGEA_V1_SIZE;
    p.dwFlags = PSP_DLGINDIRECT | PSP_USECALLBACK | (title.empty() ? 0 : PSP_USETITLE);
    p.hInstance = Self();
    p.pResource = dialogTemplate;
    p.pszTitle = binding->title.c_str();
    p.pfnDlgProc = win32::DialogProc;
    p.lParam = reinterpret_cast<LPARAM>(binding.get());
    p.pfnCallback = win32::PageCallback;
    HPROPSHEETPAGE page = CreatePropertySheetPageA(&p);
    if (page) {
        binding.release();  // the page owns it now: PSPCB_RELEASE deletes it
    }
    return page;
}

void DestroyPropertyPage(PropertyPage page) {
    if (page) {
        DestroyPropertySheetPage(static_cast<HPROPSHEETPAGE>(page));
    }
}

int RunPropertySheet(Window owner, const std::string& caption,
                     const std::vector<PropertyPage>& pages, bool offerApply) {
    std::vector<HPROPSHEETPAGE> handles;
    bool complete = !pages.empty();
    for (PropertyPage page : pages) {
        complete = complete && page;
        if (page) {
            handles.push_back(static_cast<HPROPSHEETPAGE>(page));
        }
    }
    if (!complete) {
        for (HPROPSHEETPAGE page : handles) {
            DestroyPropertySheetPage(page);
        }
        return -1;
    }
    win32::InitControls();
    // The first version of the header record, as for the pages.
    PROPSHEETHEADERA header{};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_USECALLBACK | (offerApply ? 0 : PSH_NOAPPLYNOW);
    header.hwndParent = static_cast<HWND>(owner);
    header.hInstance = Self();
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    header.pfnCallback = win32::SheetCallback;
    INT_PTR r = PropertySheetA(&header);  // destroys the pages
    int result = r < 0 ? -1 : (r > 0 ? 1 : 0);
    if (g_observer) {
        g_observer->sheetClosed(result);
        g_observer->modalReturned();
    }
    return result;
}

Window ActiveWindow() {
    return GetActiveWindow();
}

void Beep(unsigned style) {
    MessageBeep(style);
    if (g_observer) {
        g_observer->beeped(style);
    }
}

// COLOR_HOTLIGHT came with Windows 98 and 2000; where the system has no brush for it, the
// colour Internet Explorer shows links in.
Rgb HyperlinkColour() {
    COLORREF c = GetSysColor(COLOR_HOTLIGHT);
    if (GetSysColorBrush(COLOR_HOTLIGHT)) {
        return {GetRValue(c), GetGValue(c), GetBValue(c)};
    }
    Rgb colour{0, 0, 255};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Settings", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        char text[64] = {};
        DWORD type = 0, size = sizeof text - 1;
        if (RegQueryValueExA(key, "Anchor Color", nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            ParseRgbText(std::string(text, strnlen(text, size)), &colour);
        }
        RegCloseKey(key);
    }
    return colour;
}

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) {}

WaitCursor::~WaitCursor() {
    SetCursor(static_cast<HCURSOR>(previous_));
}

}  // namespace wq::ui
