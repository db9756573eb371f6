// The Win32 user interface: real dialogs from the .rc templates, message boxes, property
// sheets. Dialog logic reaches its controls only through Win32Window, a thin wrapper whose only
// data is the window handle (and the bitmaps it put into picture controls).
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/ui.h"

namespace wq::ui {
namespace {

platform::ModuleHandle (*g_templateSource)() = nullptr;

HMODULE Self() {
    return static_cast<HMODULE>(platform::SelfModule());
}

// Dialog template `templateId` of the current resource module (the language resource library
// once loaded), else of the library's own module; null when neither has it.
//
// Dialogs and pages are created from the template in memory with the library's own module as
// their instance. The dialog manager creates the controls with that instance, and a picture
// control that names its image by number (an SS_ICON or SS_BITMAP static) loads the image from
// it: images come from the library itself whichever module the template came from.
const DLGTEMPLATE* FindDialogTemplate(int templateId) {
    HMODULE resources = g_templateSource ? static_cast<HMODULE>(g_templateSource()) : nullptr;
    for (HMODULE module : {resources, Self()}) {
        HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(templateId),
                                             MAKEINTRESOURCEA(5))  // RT_DIALOG
                             : nullptr;
        if (HGLOBAL loaded = found ? LoadResource(module, found) : nullptr) {
            return static_cast<const DLGTEMPLATE*>(LockResource(loaded));
        }
    }
    return nullptr;
}

class Win32Window final : public DialogWindow {
  public:
    explicit Win32Window(HWND hwnd) : hwnd_(hwnd) {}
    ~Win32Window() override {
        for (HBITMAP b : bitmaps_) {
            DeleteObject(b);
        }
    }
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    Window handle() const override { return hwnd_; }
    void setTitle(const std::string& text) override { SetWindowTextA(hwnd_, text.c_str()); }
    std::string title() const override { return windowText(hwnd_); }
    bool hasItem(int id) const override { return item(id) != nullptr; }
    void setItemText(int id, const std::string& text) override {
        SetDlgItemTextA(hwnd_, id, text.c_str());
    }
    std::string itemText(int id) const override { return windowText(item(id)); }
    void enableItem(int id, bool enabled) override { EnableWindow(item(id), enabled); }
    bool isItemEnabled(int id) const override { return IsWindowEnabled(item(id)) != FALSE; }
    void showItem(int id, bool visible) override {
        ShowWindow(item(id), visible ? SW_SHOW : SW_HIDE);
    }
    bool isItemVisible(int id) const override {
        return (GetWindowLongPtrA(item(id), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    void setChecked(int id, bool checked) override {
        CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
    }
    bool isChecked(int id) const override { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void setFocus(int id) override {
        SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(id)), TRUE);
    }
    void setTextLimit(int id, int maxChars) override {
        SendDlgItemMessageA(hwnd_, id, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    }
    void setItemBitmap(int id, int bitmapId) override {
        HANDLE image =
            LoadImageA(Self(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
        if (!image) {
            return;
        }
        bitmaps_.push_back(static_cast<HBITMAP>(image));
        SendDlgItemMessageA(hwnd_, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    }
    void centerOnOwner() override {
        RECT area, self;
        HWND owner = GetWindow(hwnd_, GW_OWNER);
        if (!owner || !GetWindowRect(owner, &area)) {
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        }
        GetWindowRect(hwnd_, &self);
        int width = self.right - self.left, height = self.bottom - self.top;
        SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void endDialog(int result) override { EndDialog(hwnd_, result); }
    void setPageChanged(bool changed) override {
        SendMessageA(GetParent(hwnd_), changed ? PSM_CHANGED : PSM_UNCHANGED,
                     reinterpret_cast<WPARAM>(hwnd_), 0);
    }

  private:
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    static std::string windowText(HWND w) {
        if (!w) {
            return {};
        }
        std::string text(static_cast<size_t>(GetWindowTextLengthA(w)) + 1, '\0');
        int n = GetWindowTextA(w, text.data(), static_cast<int>(text.size()));
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return text;
    }

    HWND hwnd_;
    std::vector<HBITMAP> bitmaps_;  // owned: freed with the window object
};

// Ties one dialog's logic to its window for the life of the window.
struct Binding {
    Dialog* logic = nullptr;
    Win32Window* window = nullptr;  // owned, created at WM_INITDIALOG
    bool isPage = false;

    void attach(HWND hwnd) {
        window = new Win32Window(hwnd);
        logic->attachWindow(window);
    }
    void detach() {
        if (window) {
            logic->attachWindow(nullptr);
            delete window;
            window = nullptr;
        }
    }
};

Notification::Code PageCode(UINT code) {
    switch (code) {
        case PSN_APPLY:
            return Notification::Code::kApply;
        case PSN_SETACTIVE:
            return Notification::Code::kSetActive;
        case PSN_KILLACTIVE:
            return Notification::Code::kKillActive;
        case PSN_QUERYCANCEL:
            return Notification::Code::kQueryCancel;
        default:
            return Notification::Code::kOther;
    }
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* binding = reinterpret_cast<Binding*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            binding = reinterpret_cast<Binding*>(lParam);
            if (binding && binding->isPage) {
                // Pages receive their PROPSHEETPAGE; its lParam holds the binding.
                binding =
                    reinterpret_cast<Binding*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
            }
            SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(binding));
            binding->attach(hwnd);
            return binding->logic->onInit() ? TRUE : FALSE;
        }
        case WM_COMMAND:
            if (binding && binding->window) {
                return binding->logic->onCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
            }
            return FALSE;
        case WM_NOTIFY:
            if (binding && binding->window) {
                auto* header = reinterpret_cast<NMHDR*>(lParam);
                Notification n;
                n.code = PageCode(header->code);
                bool ok = binding->logic->onNotify(static_cast<int>(header->idFrom), n);
                if (n.code == Notification::Code::kApply) {
                    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, ok ? PSNRET_NOERROR : PSNRET_INVALID);
                    return TRUE;
                }
                if (n.code == Notification::Code::kKillActive ||
                    n.code == Notification::Code::kQueryCancel) {
                    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, ok ? FALSE : TRUE);
                    return TRUE;
                }
                return ok ? TRUE : FALSE;
            }
            return FALSE;
        case WM_DESTROY:
            if (binding) {
                binding->detach();
            }
            return FALSE;
        default:
            return FALSE;
    }
}

// The page variant tells WM_INITDIALOG to look for the binding inside the PROPSHEETPAGE.
INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<PROPSHEETPAGEA*>(lParam);
        auto* binding = reinterpret_cast<Binding*>(page->lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(binding));
        binding->attach(hwnd);
        return binding->logic->onInit() ? TRUE : FALSE;
    }
    return DialogProc(hwnd, message, wParam, lParam);
}

}  // namespace

void SetTemplateModuleSource(platform::ModuleHandle (*source)()) {
    g_templateSource = source;
}

int ShowMessageBox(Window owner, const std::string& text, const std::string& caption,
                   unsigned style) {
    return MessageBoxA(static_cast<HWND>(owner), text.c_str(), caption.c_str(), style);
}

int RunModalDialog(int templateId, Window owner, Dialog& logic) {
    const DLGTEMPLATE* dialogTemplate = FindDialogTemplate(templateId);
    if (!dialogTemplate) {
        return -1;
    }
    Binding binding;
    binding.logic = &logic;
    INT_PTR r = DialogBoxIndirectParamA(Self(), dialogTemplate, static_cast<HWND>(owner),
                                        DialogProc, reinterpret_cast<LPARAM>(&binding));
    binding.detach();
    return static_cast<int>(r);
}

int RunPropertySheet(Window owner, const std::string& caption,
                     const std::vector<SheetPage>& pages) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    // The first versions of the page and header records: every comctl32 since Windows 95 reads
    // them, and nothing here needs the later fields.
    std::vector<Binding> bindings(pages.size());
    std::vector<HPROPSHEETPAGE> handles;
    for (size_t i = 0; i < pages.size(); ++i) {
        bindings[i].logic = pages[i].logic;
        bindings[i].isPage = true;
        PROPSHEETPAGEA p{};
        p.dwSize = PROPSHEETPAGEA_V1_SIZE;
        p.dwFlags = PSP_DLGINDIRECT | (pages[i].title.empty() ? 0 : PSP_USETITLE);
        p.hInstance = Self();
        p.pResource = FindDialogTemplate(pages[i].templateId);
        p.pszTitle = pages[i].title.c_str();
        p.pfnDlgProc = PageProc;
        p.lParam = reinterpret_cast<LPARAM>(&bindings[i]);
        HPROPSHEETPAGE page = p.pResource ? CreatePropertySheetPageA(&p) : nullptr;
        if (!page) {
            for (HPROPSHEETPAGE made : handles) {
                DestroyPropertySheetPage(made);
            }
            return -1;
        }
        handles.push_back(page);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_NOAPPLYNOW;
    header.hwndParent = static_cast<HWND>(owner);
    header.hInstance = Self();
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    INT_PTR r = PropertySheetA(&header);  // destroys the pages
    for (Binding& b : bindings) {
        b.detach();
    }
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

Window ActiveWindow() {
    return GetActiveWindow();
}

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) {}

WaitCursor::~WaitCursor() {
    SetCursor(static_cast<HCURSOR>(previous_));
}

}  // namespace wq::ui
