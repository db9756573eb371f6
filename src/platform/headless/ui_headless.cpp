// The headless user interface: dialogs and message boxes as in-memory windows, answered by
// handlers that tests (or the command-line host) queue ahead of time.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/headless/controls_headless.h"
#include "platform/headless/headless.h"
#include "platform/resource_table.h"
#include "platform/ui.h"

namespace wq::ui {
namespace {

using platform::ControlTemplate;
using platform::DialogTemplate;

// Template style bits, with the Windows values.
constexpr uint32_t kWsVisible = 0x10000000u;
constexpr uint32_t kWsDisabled = 0x08000000u;
constexpr uint32_t kWsGroup = 0x00020000u;
constexpr uint32_t kWsTabStop = 0x00010000u;
constexpr uint32_t kEsMultiline = 0x0004u;
constexpr uint32_t kEsPassword = 0x0020u;
constexpr uint32_t kEsReadOnly = 0x0800u;
constexpr uint32_t kEsWantReturn = 0x1000u;
constexpr uint32_t kEsNumber = 0x2000u;
constexpr uint32_t kBsTypeMask = 0xFu;
constexpr uint32_t kBsDefPushButton = 0x1u;
constexpr uint32_t kBsCheckBox = 0x2u;
constexpr uint32_t kBsAutoCheckBox = 0x3u;
constexpr uint32_t kBsRadioButton = 0x4u;
constexpr uint32_t kBs3State = 0x5u;
constexpr uint32_t kBsAuto3State = 0x6u;
constexpr uint32_t kBsGroupBox = 0x7u;
constexpr uint32_t kBsAutoRadioButton = 0x9u;
constexpr uint32_t kSsTypeMask = 0x1Fu;
constexpr uint32_t kSsIcon = 0x3u;
constexpr uint32_t kSsBitmap = 0xEu;

using headless_controls::HeadlessList;
using headless_controls::HeadlessRichText;
using headless_controls::HeadlessStrings;
using headless_controls::HeadlessTree;

enum class Kind {
    kButton,
    kCheckBox,
    kRadio,
    kGroupBox,
    kEdit,
    kStatic,
    kPicture,
    kList,
    kTree,
    kStrings,
    kRichText,
    kOther,
};

bool SameClass(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

Kind KindOf(const std::string& className, uint32_t style) {
    if (SameClass(className, "Button")) {
        switch (style & kBsTypeMask) {
            case kBsCheckBox:
            case kBsAutoCheckBox:
            case kBs3State:
            case kBsAuto3State:
                return Kind::kCheckBox;
            case kBsRadioButton:
            case kBsAutoRadioButton:
                return Kind::kRadio;
            case kBsGroupBox:
                return Kind::kGroupBox;
            default:
                return Kind::kButton;
        }
    }
    if (SameClass(className, "Edit")) {
        return Kind::kEdit;
    }
    if (SameClass(className, "Static")) {
        uint32_t type = style & kSsTypeMask;
        return type == kSsIcon || type == kSsBitmap ? Kind::kPicture : Kind::kStatic;
    }
    if (SameClass(className, "SysListView32")) {
        return Kind::kList;
    }
    if (SameClass(className, "SysTreeView32")) {
        return Kind::kTree;
    }
    if (SameClass(className, "ComboBox") || SameClass(className, "ListBox")) {
        return Kind::kStrings;
    }
    if (SameClass(className, "RichEdit20A")) {
        return Kind::kRichText;
    }
    return Kind::kOther;
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::kButton:
            return "button";
        case Kind::kCheckBox:
            return "check box";
        case Kind::kRadio:
            return "radio button";
        case Kind::kEdit:
            return "edit";
        case Kind::kList:
            return "list view";
        case Kind::kTree:
            return "tree view";
        case Kind::kStrings:
            return "string list";
        case Kind::kRichText:
            return "rich-text pane";
        default:
            return "static control";
    }
}

struct Control {
    int id = 0;
    Kind kind = Kind::kOther;
    std::string text;
    uint32_t style = 0;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    int limit = 0;
    int image = 0;            // icon or bitmap shown by a picture control, 0 for none
    std::optional<Rgb> link;  // a static text shown as a hyperlink, in this colour
    Rect rect;                // dialog units
    unsigned anchor = kAnchorNone;
    std::pair<int, int> selection{0, 0};
    std::unique_ptr<HeadlessList> list;
    std::unique_ptr<HeadlessTree> tree;
    std::unique_ptr<HeadlessStrings> strings;
    std::unique_ptr<HeadlessRichText> rich;

    bool isPassword() const { return kind == Kind::kEdit && (style & kEsPassword); }
    uint32_t pictureType() const { return kind == Kind::kPicture ? style & kSsTypeMask : 0; }
};

[[noreturn]] void Misuse(int templateId, int id, const std::string& what) {
    throw std::logic_error("dialog " + std::to_string(templateId) + ", control " +
                           std::to_string(id) + ": " + what);
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

class HeadlessWindow;

struct State {
    std::deque<headless::MessageBoxHandler> messageBoxes;
    std::deque<headless::DialogHandler> dialogs;
    std::deque<headless::SheetHandler> sheets;
    std::vector<headless::Event> events;
    std::vector<std::string> windowLog;
    std::vector<HeadlessWindow*> open;  // innermost last
    std::function<void(const headless::Event&)> echo;
    platform::ModuleHandle (*templateSource)() = nullptr;
    intptr_t waitCursors = 0;  // wait cursors currently shown
};

State& S() {
    static State state;
    return state;
}

void Log(headless::Event e) {
    if (S().echo) {
        S().echo(e);
    }
    S().events.push_back(std::move(e));
}

void LogLine(std::string line) {
    S().windowLog.push_back(std::move(line));
}

// Whether the library's own module has the icon (SS_ICON) or bitmap (SS_BITMAP) `id`. Images
// always come from there, whichever module the dialog template came from.
bool OwnImage(uint32_t type, int id) {
    const platform::ResourceTable* own = platform::ModuleResources(platform::SelfModule());
    for (size_t i = 0; own && type == kSsIcon && i < own->iconCount; ++i) {
        if (own->icons[i] == id) {
            return true;
        }
    }
    for (size_t i = 0; own && type == kSsBitmap && i < own->bitmapCount; ++i) {
        if (own->bitmaps[i].id == id) {
            return true;
        }
    }
    return false;
}

const DialogTemplate* FindTemplate(int id) {
    if (S().templateSource) {
        if (auto* t = platform::FindDialog(platform::ModuleResources(S().templateSource()), id)) {
            return t;
        }
    }
    return platform::FindDialog(platform::ModuleResources(platform::SelfModule()), id);
}

Control MakeControl(const ControlTemplate& c, const std::function<void(const Event&)>& emit) {
    Control ctl;
    ctl.id = c.id;
    ctl.kind = KindOf(c.className, c.style);
    ctl.text = c.text;
    ctl.style = c.style;
    ctl.enabled = !(c.style & kWsDisabled);
    ctl.visible = (c.style & kWsVisible) != 0;
    ctl.rect = {c.x, c.y, c.x + c.cx, c.y + c.cy};
    switch (ctl.kind) {
        case Kind::kPicture: {
            // A picture control that names its image by number shows it from the start.
            char* end = nullptr;
            long image = std::strtol(c.text, &end, 10);
            if (end != c.text && *end == '\0' && OwnImage(ctl.pictureType(), int(image))) {
                ctl.image = static_cast<int>(image);
            }
            break;
        }
        case Kind::kList:
            ctl.list = std::make_unique<HeadlessList>(c.id, c.style, c.cy, emit);
            break;
        case Kind::kTree:
            ctl.tree = std::make_unique<HeadlessTree>(c.id, emit);
            break;
        case Kind::kStrings:
            ctl.strings = std::make_unique<HeadlessStrings>(c.id, emit);
            ctl.text.clear();
            break;
        case Kind::kRichText:
            ctl.rich = std::make_unique<HeadlessRichText>(c.id, emit);
            break;
        default:
            break;
    }
    return ctl;
}

// One dialog or property page: the template's controls, held in memory.
class HeadlessWindow final : public DialogWindow, public headless::DialogView {
  public:
    HeadlessWindow(const DialogTemplate& t, Window owner, Dialog& logic)
        : templateId_(t.id),
          title_(t.caption ? t.caption : ""),
          owner_(owner),
          logic_(logic),
          client_{0, 0, t.cx, t.cy} {
        auto emit = [this](const Event& e) { logic_.onEvent(e); };
        for (size_t i = 0; i < t.controlCount; ++i) {
            controls_.push_back(MakeControl(t.controls[i], emit));
            const Control& c = controls_.back();
            if (c.kind == Kind::kButton && (c.style & kBsTypeMask) == kBsDefPushButton) {
                default_ = c.id;
            }
        }
        logic_.attachWindow(this);
        LogLine("opened dialog " + std::to_string(templateId_) + " " + Quoted(title_));
    }
    ~HeadlessWindow() override {
        logic_.attachWindow(nullptr);
        std::string line = "closed dialog " + std::to_string(templateId_) + " " + Quoted(title_) +
                           " -> " + std::to_string(result_);
        for (const auto& [id, text] : texts()) {
            line += " " + std::to_string(id) + "=" + Quoted(text);
        }
        LogLine(std::move(line));
    }

    void init() {
        focus_ = 0;
        if (logic_.onInit() && focus_ == 0) {
            for (const Control& c : controls_) {
                if ((c.style & kWsTabStop) && c.enabled && c.visible) {
                    focus_ = c.id;
                    break;
                }
            }
        }
    }

    Dialog& logic() { return logic_; }
    std::vector<std::pair<int, std::string>> texts() const {
        std::vector<std::pair<int, std::string>> out;
        for (const Control& c : controls_) {
            if (c.id != -1) {
                // A password never reaches the log: it shows as a row of stars.
                out.emplace_back(c.id,
                                 c.isPassword() ? std::string(c.text.size(), '*') : itemText(c.id));
            }
        }
        return out;
    }
    bool changed() const { return changed_; }

    // DialogWindow: what the dialog logic does.
    Window handle() const override { return const_cast<HeadlessWindow*>(this); }
    void setTitle(const std::string& text) override { title_ = text; }
    std::string title() const override { return title_; }
    bool hasItem(int id) const override { return find(id) != nullptr; }
    void setItemText(int id, const std::string& text) override {
        Control* c = find(id);
        if (!c) {
            return;
        }
        c->text = c->limit > 0 && c->kind == Kind::kEdit ? text.substr(0, size_t(c->limit)) : text;
        if (c->kind == Kind::kEdit) {
            c->selection = {0, 0};
            logic_.onEvent(Event{Event::Kind::kTextChanged, id});
        }
    }
    std::string itemText(int id) const override {
        const Control* c = find(id);
        if (!c) {
            return {};
        }
        if (c->rich) {
            return c->rich->text();
        }
        if (c->strings) {
            return c->strings->text(c->strings->selected());
        }
        return c->text;
    }
    void enableItem(int id, bool enabled) override {
        if (Control* c = find(id)) {
            c->enabled = enabled;
        }
    }
    bool isItemEnabled(int id) const override {
        const Control* c = find(id);
        return c && c->enabled;
    }
    void showItem(int id, bool visible) override {
        if (Control* c = find(id)) {
            c->visible = visible;
        }
    }
    bool isItemVisible(int id) const override {
        const Control* c = find(id);
        return c && c->visible;
    }
    void setChecked(int id, bool checked) override {
        Control* c = find(id);
        if (!c) {
            return;
        }
        if (c->kind == Kind::kRadio && checked) {
            clearRadioGroup(*c);
        }
        c->checked = checked;
    }
    bool isChecked(int id) const override {
        const Control* c = find(id);
        return c && c->checked;
    }
    void setFocus(int id) override {
        if (find(id)) {
            focus_ = id;
        }
    }
    void setTextLimit(int id, int maxChars) override {
        if (Control* c = find(id)) {
            c->limit = maxChars;
            if (maxChars > 0 && c->text.size() > static_cast<size_t>(maxChars)) {
                c->text.resize(static_cast<size_t>(maxChars));
            }
        }
    }
    void selectText(int id, int start, int end) override {
        if (Control* c = find(id)) {
            int size = static_cast<int>(c->text.size());
            c->selection = {std::clamp(start, 0, size), std::clamp(end, 0, size)};
        }
    }
    void setDefaultButton(int id) override {
        if (find(id)) {
            default_ = id;
        }
    }
    void setItemBitmap(int id, int bitmapId) override {
        Control* c = find(id);
        if (c && OwnImage(kSsBitmap, bitmapId)) {
            c->image = bitmapId;
        }
    }
    void setLink(int id, Rgb colour) override {
        Control* c = find(id);
        if (c && c->kind == Kind::kStatic) {
            c->link = colour;
        }
    }
    ListView* listView(int id) override {
        Control* c = find(id);
        return c ? c->list.get() : nullptr;
    }
    TreeView* treeView(int id) override {
        Control* c = find(id);
        return c ? c->tree.get() : nullptr;
    }
    StringList* stringList(int id) override {
        Control* c = find(id);
        return c ? c->strings.get() : nullptr;
    }
    RichText* richText(int id) override {
        Control* c = find(id);
        return c ? c->rich.get() : nullptr;
    }
    void setResizable(const std::vector<std::pair<int, unsigned>>& anchors) override {
        resizable_ = true;
        minimum_ = client_;
        for (const auto& [id, anchor] : anchors) {
            if (Control* c = find(id)) {
                c->anchor = anchor;
            }
        }
    }
    void centerOnOwner() override { centered_ = true; }
    void centerOnScreen() override { centered_ = true; }
    void endDialog(int result) override {
        ended_ = true;
        result_ = result;
    }
    void setPageChanged(bool changed) override { changed_ = changed; }

    // DialogView: what a test does and sees.
    int templateId() const override { return templateId_; }
    Window owner() const override { return owner_; }
    bool hasControl(int id) const override { return hasItem(id); }
    std::string text(int id) const override {
        existing(id);
        return itemText(id);
    }
    bool enabled(int id) const override { return existing(id).enabled; }
    bool visible(int id) const override { return existing(id).visible; }
    bool checked(int id) const override { return existing(id).checked; }
    int focus() const override { return focus_; }
    int defaultButton() const override { return default_; }
    int bitmap(int id) const override { return existing(id).image; }
    std::vector<int> pictures() const override {
        std::vector<int> images;
        for (const Control& c : controls_) {
            if (c.pictureType()) {
                images.push_back(c.image);
            }
        }
        return images;
    }
    int textLimit(int id) const override { return existing(id, Kind::kEdit).limit; }
    std::pair<int, int> textSelection(int id) const override {
        return existing(id, Kind::kEdit).selection;
    }
    bool centeredOnOwner() const override { return centered_; }
    std::optional<Rgb> link(int id) const override { return existing(id).link; }
    void type(int id, const std::string& text) override {
        Control& c = existing(id, Kind::kEdit);
        if (!reachable(c) || (c.style & kEsReadOnly)) {
            return;  // a person cannot type there
        }
        std::string typed;
        for (char ch : text) {
            bool lineBreak = ch == '\r' || ch == '\n';
            if ((c.style & kEsNumber) && !std::isdigit(static_cast<unsigned char>(ch))) {
                continue;  // the edit refuses the key
            }
            if (lineBreak && !((c.style & kEsMultiline) && (c.style & kEsWantReturn))) {
                continue;  // Enter goes to the default button
            }
            typed += ch;
        }
        // As in a real edit, the caret stands after the typed text when the change is reported.
        focus_ = id;
        c.text = c.limit > 0 ? typed.substr(0, size_t(c.limit)) : typed;
        c.selection = {static_cast<int>(c.text.size()), static_cast<int>(c.text.size())};
        logic_.onEvent(Event{Event::Kind::kTextChanged, id});
    }
    void click(int id) override {
        Control& c = existing(id);
        if (c.kind != Kind::kButton && c.kind != Kind::kCheckBox && c.kind != Kind::kRadio &&
            !c.link) {
            Misuse(templateId_, id, std::string("a ") + KindName(c.kind) + " is not a button");
        }
        if (!reachable(c)) {
            return;  // a person cannot click there
        }
        uint32_t type = c.kind == Kind::kStatic ? 0 : c.style & kBsTypeMask;
        if (type == kBsAutoCheckBox || type == kBsAuto3State) {
            c.checked = !c.checked;
        } else if (type == kBsAutoRadioButton) {
            setChecked(id, true);
        }
        logic_.onEvent(Event{Event::Kind::kClicked, id});
    }
    void pressEnter() override {
        if (default_ && !ended_) {
            click(default_);
        }
    }
    int rowCount(int id) const override { return list(id).rowCount(); }
    int columnCount(int id) const override { return list(id).columnCount(); }
    std::string rowText(int id, int row, int column) const override {
        return list(id).rowText(row, column);
    }
    Tick rowTick(int id, int row) const override { return list(id).rowTick(row); }
    std::vector<int> selectedRows(int id) const override { return list(id).selectedRows(); }
    SortMark sortMark(int id, int column) const override { return list(id).sortMark(column); }
    void clickRow(int id, int row) override {
        act(id, [&] { list(id).clickRow(row); });
    }
    void clickTick(int id, int row) override {
        act(id, [&] { list(id).clickTick(row); });
    }
    void doubleClickRow(int id, int row) override {
        act(id, [&] { list(id).doubleClickRow(row); });
    }
    void clickColumn(int id, int column) override {
        act(id, [&] { list(id).clickColumn(column); });
    }
    std::vector<std::string> selectedPath(int id) const override {
        const HeadlessTree& t = tree(id);
        return t.path(t.selected());
    }
    bool hasTreeItem(int id, const std::vector<std::string>& path) const override {
        return tree(id).find(path) != 0;
    }
    void clickTreeItem(int id, const std::vector<std::string>& path) override {
        act(id, [&] { tree(id).click(path); });
    }
    void doubleClickTreeItem(int id, const std::vector<std::string>& path) override {
        act(id, [&] { tree(id).doubleClick(path); });
    }
    std::vector<std::string> entries(int id) const override { return strings(id).entries(); }
    int selectedEntry(int id) const override { return strings(id).selected(); }
    void chooseEntry(int id, int index) override {
        act(id, [&] { strings(id).choose(index); });
    }
    StyledText styledText(int id) const override { return rich(id).styled(); }
    void clickText(int id, int position) override {
        act(id, [&] {
            rich(id).press(position);
            rich(id).release(position);
        });
    }
    Rect rect(int id) const override { return id == 0 ? client_ : existing(id).rect; }
    bool hasSizeGrip() const override { return resizable_; }
    void resize(int width, int height) override {
        if (!resizable_ || ended_) {
            return;
        }
        width = std::max(width, minimum_.right);
        height = std::max(height, minimum_.bottom);
        int dx = width - client_.right, dy = height - client_.bottom;
        client_ = {0, 0, width, height};
        for (Control& c : controls_) {
            Rect& r = c.rect;
            if (c.anchor & kKeepRight) {
                r.left += dx;
                r.right += dx;
            } else if (c.anchor & kGrowWidth) {
                r.right += dx;
            }
            if (c.anchor & kKeepBottom) {
                r.top += dy;
                r.bottom += dy;
            } else if (c.anchor & kGrowHeight) {
                r.bottom += dy;
            }
            if (c.list) {
                c.list->setHeight(r.bottom - r.top);
            }
        }
    }
    void snapshot(const std::string& name) override { (void)name; }
    bool ended() const override { return ended_; }
    int result() const override { return result_; }

  private:
    Control* find(int id) {
        for (Control& c : controls_) {
            if (c.id == id && id != -1) {
                return &c;
            }
        }
        return nullptr;
    }
    const Control* find(int id) const { return const_cast<HeadlessWindow*>(this)->find(id); }
    Control& existing(int id) {
        Control* c = find(id);
        if (!c) {
            Misuse(templateId_, id, "no such control");
        }
        return *c;
    }
    const Control& existing(int id) const {
        return const_cast<HeadlessWindow*>(this)->existing(id);
    }
    Control& existing(int id, Kind kind) {
        Control& c = existing(id);
        if (c.kind != kind) {
            Misuse(templateId_, id,
                   std::string("a ") + KindName(c.kind) + ", not a " + KindName(kind));
        }
        return c;
    }
    const Control& existing(int id, Kind kind) const {
        return const_cast<HeadlessWindow*>(this)->existing(id, kind);
    }
    HeadlessList& list(int id) const { return *existing(id, Kind::kList).list; }
    HeadlessTree& tree(int id) const { return *existing(id, Kind::kTree).tree; }
    HeadlessStrings& strings(int id) const { return *existing(id, Kind::kStrings).strings; }
    HeadlessRichText& rich(int id) const { return *existing(id, Kind::kRichText).rich; }
    bool reachable(const Control& c) const { return c.enabled && c.visible && !ended_; }
    // A person's action on control `id`: only while it can be reached; it takes the focus.
    template <typename F>
    void act(int id, F action) {
        if (reachable(existing(id))) {
            focus_ = id;
            action();
        }
    }
    void clearRadioGroup(const Control& radio) {
        size_t at = static_cast<size_t>(&radio - controls_.data());
        size_t first = at;
        while (first > 0 && !(controls_[first].style & kWsGroup)) {
            --first;
        }
        for (size_t i = first; i < controls_.size(); ++i) {
            if (i > first && (controls_[i].style & kWsGroup)) {
                break;
            }
            if (controls_[i].kind == Kind::kRadio) {
                controls_[i].checked = false;
            }
        }
    }

    int templateId_;
    std::string title_;
    Window owner_;
    Dialog& logic_;
    std::vector<Control> controls_;
    Rect client_;
    Rect minimum_;
    bool resizable_ = false;
    int focus_ = 0;
    int default_ = 0;
    bool ended_ = false;
    int result_ = 0;
    bool changed_ = false;
    bool centered_ = false;
};

// Keeps a window on the stack of open windows while it is shown.
class OpenScope {
  public:
    explicit OpenScope(HeadlessWindow* w) { S().open.push_back(w); }
    ~OpenScope() { S().open.pop_back(); }
    OpenScope(const OpenScope&) = delete;
    OpenScope& operator=(const OpenScope&) = delete;
};

int DefaultAnswer(unsigned style) {
    switch (style & 0xF) {
        case kMbOkCancel:
        case kMbYesNoCancel:
            return kIdCancel;
        case kMbYesNo:
            return kIdNo;
        default:
            return kIdOk;
    }
}

// A page as handed out by CreatePropertyPage: it owns its logic until a sheet releases it.
struct HeadlessPage {
    const DialogTemplate* dialogTemplate = nullptr;
    std::string title;
    std::unique_ptr<Dialog> logic;
};

class HeadlessSheet final : public headless::SheetView {
  public:
    HeadlessSheet(Window owner, std::string caption,
                  std::vector<std::unique_ptr<HeadlessPage>> pages, bool offerApply)
        : owner_(owner),
          caption_(std::move(caption)),
          pages_(std::move(pages)),
          windows_(pages_.size()),
          offerApply_(offerApply) {
        LogLine("opened sheet " + Quoted(caption_));
    }
    ~HeadlessSheet() override {
        // Windows go first: their logic is released with the pages after them.
        for (auto& w : windows_) {
            w.reset();
        }
        LogLine("closed sheet " + Quoted(caption_) + " -> " + std::to_string(result_));
    }

    std::string caption() const override { return caption_; }
    int pageCount() const override { return static_cast<int>(pages_.size()); }
    std::string pageTitle(int index) const override {
        const HeadlessPage& p = *pages_.at(static_cast<size_t>(index));
        if (!p.title.empty()) {
            return p.title;
        }
        return p.dialogTemplate->caption ? p.dialogTemplate->caption : "";
    }
    headless::DialogView& page(int index) override { return window(index); }
    void clickOk() override {
        if (done_ || !leaveCurrent() || !applyAll()) {
            return;
        }
        done_ = true;
        result_ = 1;
    }
    void clickCancel() override {
        if (done_) {
            return;
        }
        for (auto& w : windows_) {
            if (w && !w->logic().onEvent(Event{Event::Kind::kQueryCancel, 0})) {
                return;
            }
        }
        done_ = true;
        result_ = 0;
    }
    void clickApply() override {
        if (!done_ && applyEnabled() && leaveCurrent()) {
            applyAll();
        }
    }
    bool applyOffered() const override { return offerApply_; }
    bool applyEnabled() const override {
        if (!offerApply_ || done_) {
            return false;
        }
        for (const auto& w : windows_) {
            if (w && w->changed()) {
                return true;
            }
        }
        return false;
    }
    int currentPage() const override { return current_; }
    bool closed() const override { return done_; }

    bool done() const { return done_; }
    int result() const { return result_; }
    std::vector<std::pair<int, std::string>> firstPageTexts() const {
        return windows_[0] ? windows_[0]->texts() : std::vector<std::pair<int, std::string>>{};
    }

    HeadlessWindow& window(int index) {
        auto& slot = windows_.at(static_cast<size_t>(index));
        if (done_) {
            // A closed sheet creates and notifies nothing.
            if (!slot) {
                throw std::logic_error("page " + std::to_string(index) + " was never opened");
            }
            return *slot;
        }
        if (index != current_ && windows_[static_cast<size_t>(current_)] && !leaveCurrent()) {
            return *windows_[static_cast<size_t>(current_)];
        }
        if (slot && index == current_) {
            return *slot;
        }
        if (!slot) {
            HeadlessPage& p = *pages_[static_cast<size_t>(index)];
            slot = std::make_unique<HeadlessWindow>(*p.dialogTemplate, owner_, *p.logic);
            if (!p.title.empty()) {
                slot->setTitle(p.title);
            }
            OpenScope scope(slot.get());
            slot->init();
        }
        current_ = index;
        slot->logic().onEvent(Event{Event::Kind::kSetActive, 0});
        return *slot;
    }

  private:
    bool leaveCurrent() {
        HeadlessWindow* w = windows_[static_cast<size_t>(current_)].get();
        return !w || w->logic().onEvent(Event{Event::Kind::kKillActive, 0});
    }
    // Every page opened so far applies; the first that refuses keeps the sheet open.
    bool applyAll() {
        for (auto& w : windows_) {
            if (w && !w->logic().onEvent(Event{Event::Kind::kApply, 0})) {
                return false;
            }
        }
        for (auto& w : windows_) {
            if (w) {
                w->setPageChanged(false);
            }
        }
        return true;
    }

    Window owner_;
    std::string caption_;
    std::vector<std::unique_ptr<HeadlessPage>> pages_;
    std::vector<std::unique_ptr<HeadlessWindow>> windows_;
    bool offerApply_;
    int current_ = 0;
    bool done_ = false;
    int result_ = 0;
};

}  // namespace

void SetTemplateModuleSource(platform::ModuleHandle (*source)()) {
    S().templateSource = source;
}

int ShowMessageBox(Window owner, const std::string& text, const std::string& caption,
                   unsigned style) {
    headless::MessageBoxView view{owner, caption, text, style};
    int answer = DefaultAnswer(style);
    LogLine("opened message box " + Quoted(caption) + " " + Quoted(text));
    if (!S().messageBoxes.empty()) {
        auto handler = std::move(S().messageBoxes.front());
        S().messageBoxes.pop_front();
        answer = handler(view);
    }
    LogLine("closed message box " + Quoted(caption) + " -> " + std::to_string(answer));
    headless::Event e;
    e.kind = headless::Event::Kind::kMessageBox;
    e.caption = caption;
    e.text = text;
    e.style = style;
    e.result = answer;
    Log(std::move(e));
    return answer;
}

int RunModalDialog(int templateId, Window owner, Dialog& logic) {
    const DialogTemplate* t = FindTemplate(templateId);
    if (!t) {
        return -1;
    }
    headless::Event e;
    {
        HeadlessWindow window(*t, owner, logic);
        OpenScope scope(&window);
        window.init();
        std::string firstTitle = window.title();
        if (!window.ended()) {
            if (!S().dialogs.empty()) {
                auto handler = std::move(S().dialogs.front());
                S().dialogs.pop_front();
                handler(window);
            }
            if (!window.ended()) {
                // Escape: the dialog sees Cancel; if it still stays open, it is closed anyway.
                logic.onEvent(Event{Event::Kind::kClicked, kIdCancel});
                if (!window.ended()) {
                    window.endDialog(kIdCancel);
                }
            }
        }
        e.kind = headless::Event::Kind::kDialog;
        e.caption = firstTitle;
        e.templateId = templateId;
        e.result = window.result();
        e.texts = window.texts();
    }
    Log(e);
    return e.result;
}

PropertyPage CreatePropertyPage(int templateId, const std::string& title,
                                std::unique_ptr<Dialog> logic) {
    const DialogTemplate* t = FindTemplate(templateId);
    if (!t || !logic) {
        return nullptr;
    }
    return new HeadlessPage{t, title, std::move(logic)};
}

void DestroyPropertyPage(PropertyPage page) {
    delete static_cast<HeadlessPage*>(page);
}

int RunPropertySheet(Window owner, const std::string& caption,
                     const std::vector<PropertyPage>& pages, bool offerApply) {
    std::vector<std::unique_ptr<HeadlessPage>> owned;
    bool valid = !pages.empty();
    for (PropertyPage p : pages) {
        owned.emplace_back(static_cast<HeadlessPage*>(p));
        valid = valid && p;
    }
    if (!valid) {
        return -1;
    }
    headless::Event e;
    {
        HeadlessSheet sheet(owner, caption, std::move(owned), offerApply);
        sheet.window(0);
        if (!S().sheets.empty()) {
            auto handler = std::move(S().sheets.front());
            S().sheets.pop_front();
            handler(sheet);
        }
        if (!sheet.done()) {
            sheet.clickCancel();
        }
        e.kind = headless::Event::Kind::kPropertySheet;
        e.caption = caption;
        e.result = sheet.done() ? sheet.result() : 0;
        e.texts = sheet.firstPageTexts();
    }
    Log(e);
    return e.result;
}

Window ActiveWindow() {
    return S().open.empty() ? nullptr : S().open.back()->handle();
}

void Beep(unsigned style) {
    LogLine("beep " + std::to_string(style));
}

// The hot-light colour of the standard Windows scheme.
Rgb HyperlinkColour() {
    return {0, 102, 204};
}

// The headless "cursor" is a depth: a test can see whether the wait cursor is showing.
WaitCursor::WaitCursor() : previous_(reinterpret_cast<void*>(S().waitCursors++)) {}
WaitCursor::~WaitCursor() {
    S().waitCursors = reinterpret_cast<intptr_t>(previous_);
}

}  // namespace wq::ui

namespace wq::headless {

void OnMessageBox(MessageBoxHandler handler) {
    ui::S().messageBoxes.push_back(std::move(handler));
}
void OnDialog(DialogHandler handler) {
    ui::S().dialogs.push_back(std::move(handler));
}
void OnPropertySheet(SheetHandler handler) {
    ui::S().sheets.push_back(std::move(handler));
}

const std::vector<Event>& Events() {
    return ui::S().events;
}

const std::vector<std::string>& WindowLog() {
    return ui::S().windowLog;
}

void Reset() {
    ui::S().events.clear();
    ui::S().windowLog.clear();
    ui::S().messageBoxes.clear();
    ui::S().dialogs.clear();
    ui::S().sheets.clear();
}

void SetEcho(std::function<void(const Event&)> echo) {
    ui::S().echo = std::move(echo);
}

bool WaitCursorShown() {
    return ui::S().waitCursors > 0;
}

int PendingHandlers() {
    return static_cast<int>(ui::S().messageBoxes.size() + ui::S().dialogs.size() +
                            ui::S().sheets.size());
}

}  // namespace wq::headless
