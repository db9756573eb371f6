// The user-interface services the subsystems use: message boxes, modal dialogs and property
// pages built from the resource templates, and the controls dialog logic talks to.
//
// Dialog logic is a platform-neutral class derived from Dialog. It receives every happening as
// one Event record and reaches its controls only through DialogWindow, by control id: plain
// texts, buttons and check boxes directly, the richer kinds (list view, tree view, string list,
// rich text) through one small interface each. The Win32 backend maps them onto the real
// controls of the .rc template; the headless backend builds the same controls in memory from
// the same template, so that a test can act and look as a person would (headless/headless.h).
//
// One rule holds in both backends: a change made by the code (a text set, a tick set, a row or
// item or entry selected) is reported exactly like the same change made by a person, so that
// dialog logic sees one stream of events whoever caused them. Buttons report clicks only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
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
inline constexpr unsigned kMbDefButton2 = 0x100;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The tick of a list row is the index of its check image: the image strip holds an unticked
// box, a ticked box, an empty place and a greyed box, in that order, behind an unused slot 0.
enum class Tick : uint8_t { kNone = 0, kOff = 1, kOn = 2, kBlank = 3, kDisabled = 4 };

// The tick a person's click on a row's box gives: kOff and kOn flip, a greyed tick tries kOff
// (which the dialog may undo), and rows without a box (kNone, kBlank) keep theirs.
Tick ClickedTick(Tick tick);

// An item of a tree view; 0 is "none" (and, as a parent, the root).
using TreeItem = uintptr_t;

struct Event {
    enum class Kind {
        kClicked,           // a button was clicked
        kTextChanged,       // an edit's text changed
        kSelectionChanged,  // list row (row), tree item (item) or string-list entry (row)
        kTickChanged,       // a list row's tick went from `before` to `after`
        kActivated,         // a list row or tree item was double-clicked (row / item)
        kColumnClicked,     // a list's column header was clicked (column)
        kLinkClicked,       // a link range of a rich-text pane was clicked (link)
        kApply,             // a property page is applied (OK or Apply of its sheet)
        kSetActive,         // a property page becomes the current one
        kKillActive,        // a property page is about to be left
        kQueryCancel,       // the sheet holding the page is about to be cancelled
    };
    Kind kind = Kind::kClicked;
    int control = 0;  // the control's id; 0 for the page events
    int row = -1;
    TreeItem item = 0;
    int column = -1;
    Tick before = Tick::kNone;
    Tick after = Tick::kNone;
    int link = -1;  // index into the pane's link ranges
};

// Rows of a list view, pulled on demand: the list copies nothing, so a model of any size costs
// only the rows on screen. Rows are answered for 0 <= row < rowCount().
class ListModel {
  public:
    virtual ~ListModel() = default;
    virtual int rowCount() const = 0;
    virtual std::string text(int row, int column) const = 0;
    // Index into the list's small images; -1 for none.
    virtual int image(int row) const {
        (void)row;
        return -1;
    }
    // Overlay image (1-based, as set up with setImages); 0 for none.
    virtual int overlay(int row) const {
        (void)row;
        return 0;
    }
    virtual Tick tick(int row) const {
        (void)row;
        return Tick::kNone;
    }
    // Indent of the row's first column, in widths of the small images.
    virtual int indent(int row) const {
        (void)row;
        return 0;
    }
    // Called by the list when the row's tick changes (by a click, the space bar or setTick).
    virtual void setTick(int row, Tick tick) {
        (void)row;
        (void)tick;
    }
};

struct Column {
    std::string title;
    int width = -1;  // pixels; -1 fills what the other columns leave of the list's width
};

// The images of a list or tree: a strip of square images in a bitmap of the library's own
// module. `overlays` names the images that serve as overlays 1, 2 ...
struct ImageStrip {
    int bitmapId = 0;
    int size = 16;
    bool topLeftTransparent = false;  // else the system's default mask colour
    std::vector<int> overlays;
};

struct ListSetup {
    std::vector<Column> columns;
    std::vector<int> columnOrder;  // display order of the columns; empty for the natural one
    bool fullRowSelect = true;
    bool dragColumns = false;  // columns can be reordered by dragging their headers
    ImageStrip images;         // small images of the rows (bitmapId 0: none)
    ImageStrip ticks;          // check images (bitmapId 0: the list shows no ticks)
    ImageStrip headerImages;   // sort marks of older common controls (bitmapId 0: none)
};

enum class SortMark { kNone, kAscending, kDescending };

// A report-style list view. Selection and focus are kept by the list; rows by the model.
//
// Events: each change of the selection, by a click or by the code, is reported once as
// kSelectionChanged with `row` the row clicked or given to select or setRowSelected (-1 for
// select(-1)); a click or call that changes nothing reports nothing. A click on a row's tick
// (or the space bar on the focused row) leaves the selection alone and flips kOff and kOn; on a
// kDisabled row it tries kOff, which the dialog may undo with setTick; kNone and kBlank rows do
// not react. Every tick change, by a person or through setTick, goes to the model first and is
// then reported as kTickChanged.
class ListView {
  public:
    virtual ~ListView() = default;
    virtual void setup(const ListSetup& setup) = 0;
    // The model (not owned) answers rows from now on; null for none.
    virtual void setModel(ListModel* model) = 0;
    // The model's row count or many rows changed: the list re-reads what it shows.
    virtual void rowsChanged() = 0;
    virtual void rowChanged(int row) = 0;
    // Gives the row a new tick through the model, redraws it and reports kTickChanged.
    virtual void setTick(int row, Tick tick) = 0;
    // Selects only `row` (-1: none) and gives it the focus mark.
    virtual void select(int row) = 0;
    virtual void setRowSelected(int row, bool selected) = 0;
    virtual int selectedRow() const = 0;  // the first selected row, -1 for none
    virtual std::vector<int> selectedRows() const = 0;
    virtual int focusedRow() const = 0;
    virtual void ensureVisible(int row) = 0;
    // The sort mark of `column`; the marks of the other columns are cleared.
    virtual void setSortMark(int column, SortMark mark) = 0;
    virtual SortMark sortMark(int column) const = 0;
};

struct TreeNode {
    std::string text;
    int image = -1;
    int selectedImage = -1;  // -1: the same as image
    int overlay = 0;         // 1-based overlay of the tree's image strip, 0 for none
    uintptr_t data = 0;
};

class TreeView {
  public:
    virtual ~TreeView() = default;
    virtual void setImages(const ImageStrip& images) = 0;
    // Removes every item; reports nothing.
    virtual void clear() = 0;
    // Appends an item under `parent` (0: at the top level).
    virtual TreeItem insert(TreeItem parent, const TreeNode& node) = 0;
    virtual void setOverlay(TreeItem item, int overlay) = 0;
    virtual void expand(TreeItem item, bool expanded) = 0;
    virtual bool isExpanded(TreeItem item) const = 0;
    // Selects `item` (0: none), shows it and reports kSelectionChanged.
    virtual void select(TreeItem item) = 0;
    virtual TreeItem selected() const = 0;
    virtual TreeItem parent(TreeItem item) const = 0;
    virtual TreeItem firstChild(TreeItem item) const = 0;  // 0: the first top-level item
    virtual TreeItem nextSibling(TreeItem item) const = 0;
    virtual std::string text(TreeItem item) const = 0;
    virtual uintptr_t data(TreeItem item) const = 0;
    // The item reached from the top by the texts of `path`, compared exactly; 0 when none.
    TreeItem find(const std::vector<std::string>& path) const;
};

// A drop-down list or a list box: strings, one of them selected.
class StringList {
  public:
    virtual ~StringList() = default;
    virtual void clear() = 0;
    virtual int add(const std::string& text) = 0;  // the new entry's index
    virtual int count() const = 0;
    virtual std::string text(int index) const = 0;
    // Selects entry `index` (-1: none) and reports kSelectionChanged.
    virtual void select(int index) = 0;
    virtual int selected() const = 0;
};

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb& o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

// Text shown by a rich-text pane, in the ANSI code page. Positions count its bytes (a character
// of a double-byte code page counts two); a line break is "\n", one byte. Runs give colour and
// underline to the bytes [start, end); the rest is black and plain.
struct StyledText {
    struct Run {
        int start = 0, end = 0;
        Rgb colour;
        bool underline = false;
    };
    std::string text;
    std::vector<Run> runs;
    bool centred = false;
};

// A read-only rich-text pane with link ranges: the pointer is a hand over them; a press over a
// link selects its range and arms it, and a release over a link while armed reports
// kLinkClicked for the link under the pointer. A link covers [start, end], both ends included;
// where links overlap the first one listed wins.
class RichText {
  public:
    virtual ~RichText() = default;
    virtual void setText(const StyledText& text) = 0;
    virtual void setLinks(const std::vector<std::pair<int, int>>& links) = 0;
    virtual void setRedraw(bool redraw) = 0;
    virtual std::string text() const = 0;  // as displayed, line breaks as "\n"
    // The character at a point of the pane (client pixels), or the nearest one.
    virtual int charFromPoint(int x, int y) const = 0;
    virtual void selectRange(int start, int end) = 0;
    virtual std::pair<int, int> selection() const = 0;
};

// Layout rules of a resizable dialog's controls, applied whenever its size changes.
enum Anchor : unsigned {
    kAnchorNone = 0,
    kKeepRight = 1,   // keeps its distance to the right edge (moves)
    kKeepBottom = 2,  // keeps its distance to the bottom edge (moves)
    kGrowWidth = 4,   // keeps both horizontal distances (widens)
    kGrowHeight = 8,  // keeps both vertical distances (grows taller)
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// What dialog logic may do to its window. Implemented by each backend.
class DialogWindow {
  public:
    virtual ~DialogWindow() = default;

    virtual Window handle() const = 0;
    virtual void setTitle(const std::string& text) = 0;
    virtual std::string title() const = 0;

    virtual bool hasItem(int id) const = 0;
    // Sets a control's text; for an edit this reports kTextChanged.
    virtual void setItemText(int id, const std::string& text) = 0;
    virtual std::string itemText(int id) const = 0;
    virtual void enableItem(int id, bool enabled) = 0;
    virtual bool isItemEnabled(int id) const = 0;
    virtual void showItem(int id, bool visible) = 0;
    virtual bool isItemVisible(int id) const = 0;
    // Ticks a check box or radio button; ticking a radio button clears the others of its group
    // (from the control marked as a group's first up to the next such control).
    virtual void setChecked(int id, bool checked) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setFocus(int id) = 0;
    virtual void setTextLimit(int id, int maxChars) = 0;
    // Selects characters [start, end) of an edit; start == end places the caret.
    virtual void selectText(int id, int start, int end) = 0;
    // The selected characters [start, end) of an edit; start == end is the caret.
    virtual std::pair<int, int> textSelection(int id) const = 0;
    virtual void setDefaultButton(int id) = 0;
    // Shows bitmap `bitmapId` of the library's own module in picture control `id`.
    virtual void setItemBitmap(int id, int bitmapId) = 0;
    // Shows static text `id` as a hyperlink: underlined, in `colour`, with a hand pointer over
    // it; a click on it reports kClicked.
    virtual void setLink(int id, Rgb colour) = 0;

    // The richer controls, by id; null when the template has no such control of that kind.
    virtual ListView* listView(int id) = 0;
    virtual TreeView* treeView(int id) = 0;
    virtual StringList* stringList(int id) = 0;  // a drop-down list or a list box
    virtual RichText* richText(int id) = 0;

    // Makes the dialog resizable with a size grip, no smaller than it opened, with one anchor
    // rule per control (controls not named stay where they are).
    virtual void setResizable(const std::vector<std::pair<int, unsigned>>& anchors) = 0;
    // Centres the window over its owner (over the screen when it has none).
    virtual void centerOnOwner() = 0;
    virtual void centerOnScreen() = 0;

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
    // Something happened. The default ends the dialog with OK or Cancel when those buttons
    // are clicked. For kApply, kKillActive and kQueryCancel, returning false refuses (the
    // page keeps its changes and stays, the sheet stays open).
    virtual bool onEvent(const Event& e);

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

// A property page that owns its logic: HPROPSHEETPAGE on Windows. Whatever sheet receives it,
// the library's own or a host's, destroys the page and its logic when the sheet goes away.
using PropertyPage = void*;

// Makes a page of template `templateId` with its title (empty: the template's caption);
// null when the template is missing.
PropertyPage CreatePropertyPage(int templateId, const std::string& title,
                                std::unique_ptr<Dialog> logic);
// Destroys a page that was never put into a sheet.
void DestroyPropertyPage(PropertyPage page);

// Runs a modal property sheet of the library's own over `pages`, which it takes over (also
// when it fails). Apply is offered when `offerApply` is set. Returns 1 when it closed with OK,
// 0 with Cancel, -1 when it cannot be shown.
int RunPropertySheet(Window owner, const std::string& caption,
                     const std::vector<PropertyPage>& pages, bool offerApply);

// The window that is active on this thread; null when none.
Window ActiveWindow();

// Sounds the system's sound of a message-box icon style (kMbIconExclamation ...).
void Beep(unsigned style);

// The colour of hyperlinks: the system's hot-light colour; where the system has none, the
// user's "Anchor Color" of Internet Explorer; blue when neither is known.
Rgb HyperlinkColour();

// A colour written as three decimal numbers 0-255 for red, green and blue, separated by commas
// (blanks allowed around them), as the registry keeps "Anchor Color"; false for any other text.
bool ParseRgbText(const std::string& text, Rgb* colour);

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
