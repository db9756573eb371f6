// The user-interface services the subsystems use: message boxes, modal dialogs and property
// sheets built from the resource templates, and the control operations dialog logic needs.
//
// Dialog logic is a platform-neutral class derived from Dialog. It reacts to init, command and
// notify events and talks to its window only through DialogWindow, by control id. The Win32
// backend maps DialogWindow onto real controls created from the .rc template; the headless
// backend keeps the same controls in memory, taken from the same template, so that a test can
// click, type and read back what a person would see (see headless/headless.h).
//
// Adding a control kind later (list view, tree view, combo box, rich text ...) means adding an
// abstract control interface here, an accessor on DialogWindow that returns it by id, and one
// implementation in each backend. Nothing of the existing shape changes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/module.h"

namespace wq::ui {

// A native window: HWND on Windows, a headless window elsewhere. Not owned.
using Window = void*;

// Message-box styles and button ids, with the Windows values (hosts and tests see these).
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconStop = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Command notification codes passed to Dialog::onCommand, with the Windows values.
inline constexpr int kButtonClicked = 0;    // BN_CLICKED
inline constexpr int kEditChanged = 0x300;  // EN_CHANGE

// A notification from a control, reduced to what dialog logic needs.
struct Notification {
    enum class Code {
        kApply,        // a property page is applied (OK or Apply on the sheet)
        kSetActive,    // a property page becomes the current one
        kKillActive,   // a property page is left; validation
        kQueryCancel,  // the sheet is about to be cancelled
        kOther,
    };
    Code code = Code::kOther;
    int item = -1;  // the row or item concerned, where there is one
};

// What dialog logic may do to its window. Implemented by each backend.
class DialogWindow {
  public:
    virtual ~DialogWindow() = default;

    virtual Window handle() const = 0;
    virtual void setTitle(const std::string& text) = 0;
    virtual std::string title() const = 0;

    virtual bool hasItem(int id) const = 0;
    virtual void setItemText(int id, const std::string& text) = 0;
    virtual std::string itemText(int id) const = 0;
    virtual void enableItem(int id, bool enabled) = 0;
    virtual bool isItemEnabled(int id) const = 0;
    virtual void showItem(int id, bool visible) = 0;
    virtual bool isItemVisible(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setFocus(int id) = 0;
    virtual void setTextLimit(int id, int maxChars) = 0;
    // Shows bitmap `bitmapId` of the library's own module in picture control `id`.
    virtual void setItemBitmap(int id, int bitmapId) = 0;

    // Centres the window over its owner (over the screen when it has none).
    virtual void centerOnOwner() = 0;

    // Ends a modal dialog with the given result (ignored for property pages).
    virtual void endDialog(int result) = 0;
    // Tells the property sheet that this page has unapplied changes (enables Apply).
    virtual void setPageChanged(bool changed) = 0;
};

// The logic of one dialog or property page. The backend attaches the window before onInit and
// detaches it when the window is gone.
class Dialog {
  public:
    virtual ~Dialog() = default;

    // Called after the controls exist. Return true to let the system give the first control
    // the focus, false when the dialog has set the focus itself.
    virtual bool onInit() { return true; }
    // A command from control `id` with notification `code`. The default ends the dialog with
    // OK or Cancel for those two buttons. Returns true when handled.
    virtual bool onCommand(int id, int code);
    // A notification from control `id` (0 for the property sheet itself). For kApply and
    // kKillActive, returning false refuses (the page stays open).
    virtual bool onNotify(int id, const Notification& n);

    // Called by the UI backend only.
    void attachWindow(DialogWindow* window) { window_ = window; }

  protected:
    DialogWindow& window() { return *window_; }
    const DialogWindow& window() const { return *window_; }
    bool hasWindow() const { return window_ != nullptr; }

  private:
    DialogWindow* window_ = nullptr;  // not owned
};

// Where dialog templates come from: the runtime installs a function that returns the current
// resource module (the language resource library once loaded). A template missing there is
// taken from the library's own module. Images (icons and bitmaps, also those a template names)
// always come from the library's own module.
void SetTemplateModuleSource(platform::ModuleHandle (*source)());

// Shows a message box; returns the button chosen (kIdOk, kIdYes ...), 0 on failure.
int ShowMessageBox(Window owner, const std::string& text, const std::string& caption,
                   unsigned style);

// Runs dialog template `templateId` of the resource module modally, owned by `owner`.
// Returns the value passed to endDialog, or -1 when the dialog cannot be created.
int RunModalDialog(int templateId, Window owner, Dialog& logic);

// One page of a property sheet: its template, the page's title (empty: the template's caption)
// and its logic (not owned).
struct SheetPage {
    int templateId = 0;
    std::string title;
    Dialog* logic = nullptr;
};

// Runs a modal property sheet. Returns 1 when it closed with OK, 0 with Cancel, -1 when it
// cannot be shown.
int RunPropertySheet(Window owner, const std::string& caption, const std::vector<SheetPage>& pages);

// The window that is active on this thread; null when none.
Window ActiveWindow();

// Shows the wait cursor for the life of the object.
class WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    void* previous_;
};

}  // namespace wq::ui
