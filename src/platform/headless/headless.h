// The headless user interface: in-memory windows and controls built from the same dialog
// templates as the real ones, for tests and for the command-line host.
//
// Dialogs and message boxes are modal, so a test answers them ahead of time: it queues
// handlers, and when a dialog or message box opens, the next handler of that kind runs with a
// view of the window. Through the view the test acts and looks as a person would: type into
// an edit, click a button, tick a box, read texts, see what is enabled and checked. Every
// window that opens is logged, in order, with its texts and caption.
//
// A dialog whose handler returns without ending it is cancelled, and a dialog or message box
// with no handler queued is answered with Cancel (or No, or OK for an OK-only box), so that a
// test that forgot an answer fails on its checks instead of hanging.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace wq::headless {

// One event in the log of what a person would have seen.
struct Event {
    enum class Kind { kMessageBox, kDialog, kPropertySheet };
    Kind kind = Kind::kMessageBox;
    std::string caption;  // message-box caption, or dialog/sheet title as first shown
    std::string text;     // message-box text (empty for dialogs)
    unsigned style = 0;   // message-box style
    int templateId = 0;   // dialog template (0 for message boxes and sheets)
    int result = 0;       // button or end code
    std::vector<std::pair<int, std::string>> texts;  // dialog: each control's text when it closed
};

// A message box as shown.
struct MessageBoxView {
    ui::Window owner = nullptr;
    std::string caption;
    std::string text;
    unsigned style = 0;
};

// An open dialog (or the current page of a property sheet), as a test sees and drives it.
class DialogView {
  public:
    virtual ~DialogView() = default;
    virtual int templateId() const = 0;
    virtual std::string title() const = 0;
    virtual ui::Window owner() const = 0;
    virtual bool hasControl(int id) const = 0;
    virtual std::string text(int id) const = 0;
    virtual bool enabled(int id) const = 0;
    virtual bool visible(int id) const = 0;
    virtual bool checked(int id) const = 0;
    virtual int focus() const = 0;         // id of the control with the focus, 0 for none
    virtual int bitmap(int id) const = 0;  // bitmap shown in a picture control, 0 for none
    // Images shown by the picture controls (icon and bitmap statics, with or without an id), in
    // template order; 0 for one that shows none.
    virtual std::vector<int> pictures() const = 0;
    virtual int textLimit(int id) const = 0;
    virtual bool centeredOnOwner() const = 0;
    // Types into an edit: replaces its text and notifies the dialog (EN_CHANGE).
    virtual void type(int id, const std::string& text) = 0;
    // Clicks a button; a check box toggles first. Clicking OK or Cancel ends most dialogs.
    virtual void click(int id) = 0;
    virtual bool ended() const = 0;
    virtual int result() const = 0;
};

// A property sheet as a test sees it.
class SheetView {
  public:
    virtual ~SheetView() = default;
    virtual std::string caption() const = 0;
    virtual int pageCount() const = 0;
    virtual std::string pageTitle(int index) const = 0;
    virtual DialogView& page(int index) = 0;  // created and initialised on first use
    virtual void clickOk() = 0;               // applies every created page, closes when all agree
    virtual void clickCancel() = 0;
    virtual void clickApply() = 0;
};

using MessageBoxHandler = std::function<int(const MessageBoxView&)>;
using DialogHandler = std::function<void(DialogView&)>;
using SheetHandler = std::function<void(SheetView&)>;

// Queues answers for the next windows to open, in order of opening per kind.
void OnMessageBox(MessageBoxHandler handler);
void OnDialog(DialogHandler handler);
void OnPropertySheet(SheetHandler handler);

// The log of windows shown since the last Reset, in order.
const std::vector<Event>& Events();

// Clears the log and any handlers still queued.
void Reset();

// When set, every window is also printed to this stream as it closes (used by wqhost).
void SetEcho(std::function<void(const Event&)> echo);

// Whether the wait cursor is showing now.
bool WaitCursorShown();

// Handlers still queued (a test can check that every answer it prepared was used).
int PendingHandlers();

}  // namespace wq::headless
