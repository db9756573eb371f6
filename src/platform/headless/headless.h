// The test driver of the user interface. Natively it is the headless backend itself: in-memory
// windows and controls built from the same dialog templates as the real ones, for tests and for
// the command-line host. Windows test programs link a driver with the same interface over the
// real windows (tests/ui), so that one test drives a dialog through the same steps in both.
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
#include <optional>
#include <string>
#include <utility>
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
//
// Every operation names a control of the template; naming one the template lacks, or one of
// another kind, throws std::logic_error, so a test that reaches for a control that is not
// there fails. Acting on a disabled or hidden control, or on a dialog that has ended, does
// nothing, as for a person. Sizes and positions are in the backend's units (dialog units
// headless, pixels on Windows): tests compare them with each other.
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
    virtual int focus() const = 0;  // id of the control with the focus, 0 for none
    virtual int defaultButton() const = 0;
    virtual int bitmap(int id) const = 0;  // bitmap shown in a picture control, 0 for none
    // Images shown by the picture controls (icon and bitmap statics, with or without an id), in
    // template order; 0 for one that shows none.
    virtual std::vector<int> pictures() const = 0;
    virtual int textLimit(int id) const = 0;
    virtual std::pair<int, int> textSelection(int id) const = 0;
    virtual bool centeredOnOwner() const = 0;
    // The colour of a static text shown as a hyperlink; none for any other control.
    virtual std::optional<ui::Rgb> link(int id) const = 0;

    // Types into an edit: replaces its text (kept within its limit; an edit that takes digits
    // only refuses other characters) and notifies the dialog. A read-only edit refuses.
    virtual void type(int id, const std::string& text) = 0;
    // Clicks a button (a check box toggles and a radio button is ticked first) or a hyperlink.
    virtual void click(int id) = 0;
    // Presses Enter: clicks the default button.
    virtual void pressEnter() = 0;

    // List views.
    virtual int rowCount(int id) const = 0;
    virtual int columnCount(int id) const = 0;
    virtual std::string rowText(int id, int row, int column = 0) const = 0;
    virtual ui::Tick rowTick(int id, int row) const = 0;
    virtual std::vector<int> selectedRows(int id) const = 0;
    virtual ui::SortMark sortMark(int id, int column) const = 0;
    virtual void clickRow(int id, int row) = 0;        // selects and focuses it
    virtual void clickTick(int id, int row) = 0;       // clicks the row's check box
    virtual void doubleClickRow(int id, int row) = 0;  // selects it and activates it
    virtual void clickColumn(int id, int column) = 0;

    // Tree views: items named by the texts of their path from the top.
    virtual std::vector<std::string> selectedPath(int id) const = 0;
    virtual bool hasTreeItem(int id, const std::vector<std::string>& path) const = 0;
    virtual void clickTreeItem(int id, const std::vector<std::string>& path) = 0;
    virtual void doubleClickTreeItem(int id, const std::vector<std::string>& path) = 0;

    // Drop-down lists and list boxes.
    virtual std::vector<std::string> entries(int id) const = 0;
    virtual int selectedEntry(int id) const = 0;
    virtual void chooseEntry(int id, int index) = 0;

    // Rich-text panes: text(id) is the displayed text.
    virtual ui::StyledText styledText(int id) const = 0;
    virtual void clickText(int id, int position) = 0;  // press and release over a character

    // Layout: a control's rectangle in the dialog's client area; id 0 is the client area.
    virtual ui::Rect rect(int id) const = 0;
    virtual bool hasSizeGrip() const = 0;
    // Resizes the dialog's client area as a person dragging the size grip would.
    virtual void resize(int width, int height) = 0;

    // Keeps a picture of the window under `name` where there is a screen to take it from.
    virtual void snapshot(const std::string& name) = 0;

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
    virtual bool applyOffered() const = 0;
    virtual bool applyEnabled() const = 0;  // some page has unapplied changes
    virtual int currentPage() const = 0;
    virtual bool closed() const = 0;  // a closed sheet answers, but creates and notifies nothing
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

// Every window as it opened and as it closed, one line each, in order; passwords show as stars.
// A beep is logged as "beep" and its message-box style.
const std::vector<std::string>& WindowLog();

// Clears the log and any handlers still queued.
void Reset();

// When set, every window is also printed to this stream as it closes (used by wqhost).
void SetEcho(std::function<void(const Event&)> echo);

// Whether the wait cursor is showing now.
bool WaitCursorShown();

// Handlers still queued (a test can check that every answer it prepared was used).
int PendingHandlers();

}  // namespace wq::headless
