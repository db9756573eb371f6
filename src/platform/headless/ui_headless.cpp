// The headless user interface: dialogs and message boxes as in-memory windows, answered by
// handlers that tests (or the command-line host) queue ahead of time.
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/resource_table.h"
#include "platform/ui.h"

namespace wq::ui {
namespace {

using platform::ControlTemplate;
using platform::DialogTemplate;

constexpr uint32_t kVisible = 0x10000000u;
constexpr uint32_t kDisabled = 0x08000000u;
constexpr uint32_t kTabStop = 0x00010000u;
constexpr uint32_t kPasswordStyle = 0x20u;   // ES_PASSWORD
constexpr uint32_t kStaticTypeMask = 0x1Fu;  // SS_TYPEMASK
constexpr uint32_t kIconStyle = 0x3u;        // SS_ICON
constexpr uint32_t kBitmapStyle = 0xEu;      // SS_BITMAP

struct Control {
    int id = 0;
    std::string className;
    std::string text;
    uint32_t style = 0;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    int limit = 0;
    int image = 0;  // icon or bitmap shown by a picture control, 0 for none

    bool isButton() const { return className == "Button"; }
    uint32_t pictureType() const {
        uint32_t type = style & kStaticTypeMask;
        return className == "Static" && (type == kIconStyle || type == kBitmapStyle) ? type : 0;
    }
    bool isPassword() const { return className == "Edit" && (style & kPasswordStyle); }
    // Check boxes and radio buttons change state when clicked.
    bool togglesOnClick() const {
        uint32_t type = style & 0xF;
        return isButton() && (type == 3 || type == 6 || type == 9);
    }
};

class HeadlessWindow;

struct State {
    std::deque<headless::MessageBoxHandler> messageBoxes;
    std::deque<headless::DialogHandler> dialogs;
    std::deque<headless::SheetHandler> sheets;
    std::vector<headless::Event> events;
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

// Whether the library's own module has the icon (SS_ICON) or bitmap (SS_BITMAP) `id`. Images
// always come from there, whichever module the dialog template came from.
bool OwnImage(uint32_t type, int id) {
    const platform::ResourceTable* own = platform::ModuleResources(platform::SelfModule());
    for (size_t i = 0; own && type == kIconStyle && i < own->iconCount; ++i) {
        if (own->icons[i] == id) {
            return true;
        }
    }
    for (size_t i = 0; own && type == kBitmapStyle && i < own->bitmapCount; ++i) {
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

// One dialog or property page: the template's controls, held in memory.
class HeadlessWindow final : public DialogWindow, public headless::DialogView {
  public:
    HeadlessWindow(const DialogTemplate& t, Window owner, Dialog& logic)
        : templateId_(t.id), title_(t.caption ? t.caption : ""), owner_(owner), logic_(logic) {
        for (size_t i = 0; i < t.controlCount; ++i) {
            const ControlTemplate& c = t.controls[i];
            Control ctl;
            ctl.id = c.id;
            ctl.className = c.className;
            ctl.text = c.text;
            ctl.style = c.style;
            ctl.enabled = !(c.style & kDisabled);
            ctl.visible = (c.style & kVisible) != 0;
            // A picture control that names its image by number shows it from the start.
            char* end = nullptr;
            long image = std::strtol(c.text, &end, 10);
            if (ctl.pictureType() && end != c.text && *end == '\0' &&
                OwnImage(ctl.pictureType(), static_cast<int>(image))) {
                ctl.image = static_cast<int>(image);
            }
            controls_.push_back(std::move(ctl));
        }
        logic_.attachWindow(this);
    }
    ~HeadlessWindow() override { logic_.attachWindow(nullptr); }

    void init() {
        focus_ = 0;
        if (logic_.onInit() && focus_ == 0) {
            for (const Control& c : controls_) {
                if ((c.style & kTabStop) && c.enabled && c.visible) {
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
                out.emplace_back(c.id, c.isPassword() ? std::string(c.text.size(), '*') : c.text);
            }
        }
        return out;
    }

    // DialogWindow: what the dialog logic does.
    Window handle() const override { return const_cast<HeadlessWindow*>(this); }
    void setTitle(const std::string& text) override { title_ = text; }
    std::string title() const override { return title_; }
    bool hasItem(int id) const override { return find(id) != nullptr; }
    void setItemText(int id, const std::string& text) override {
        if (Control* c = find(id)) {
            c->text = text;
        }
    }
    std::string itemText(int id) const override {
        const Control* c = find(id);
        return c ? c->text : std::string();
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
        if (Control* c = find(id)) {
            c->checked = checked;
        }
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
    void setItemBitmap(int id, int bitmapId) override {
        Control* c = find(id);
        if (c && OwnImage(kBitmapStyle, bitmapId)) {
            c->image = bitmapId;
        }
    }
    void centerOnOwner() override { centered_ = true; }
    bool centeredOnOwner() const override { return centered_; }
    void endDialog(int result) override {
        ended_ = true;
        result_ = result;
    }
    void setPageChanged(bool changed) override { changed_ = changed; }

    // DialogView: what a test does and sees.
    int templateId() const override { return templateId_; }
    Window owner() const override { return owner_; }
    bool hasControl(int id) const override { return hasItem(id); }
    std::string text(int id) const override { return itemText(id); }
    bool enabled(int id) const override { return isItemEnabled(id); }
    bool visible(int id) const override { return isItemVisible(id); }
    bool checked(int id) const override { return isChecked(id); }
    int focus() const override { return focus_; }
    int bitmap(int id) const override {
        const Control* c = find(id);
        return c ? c->image : 0;
    }
    std::vector<int> pictures() const override {
        std::vector<int> images;
        for (const Control& c : controls_) {
            if (c.pictureType()) {
                images.push_back(c.image);
            }
        }
        return images;
    }
    int textLimit(int id) const override {
        const Control* c = find(id);
        return c ? c->limit : 0;
    }
    void type(int id, const std::string& text) override {
        Control* c = find(id);
        if (!c || !c->enabled || !c->visible || ended_) {
            return;  // a person cannot type there
        }
        c->text = c->limit > 0 && text.size() > static_cast<size_t>(c->limit)
                      ? text.substr(0, static_cast<size_t>(c->limit))
                      : text;
        focus_ = id;
        logic_.onCommand(id, kEditChanged);
    }
    void click(int id) override {
        Control* c = find(id);
        if (!c || !c->enabled || !c->visible || ended_) {
            return;  // a person cannot click there
        }
        if (c->togglesOnClick()) {
            c->checked = (c->style & 0xF) == 9 ? true : !c->checked;
        }
        logic_.onCommand(id, kButtonClicked);
    }
    bool ended() const override { return ended_; }
    int result() const override { return result_; }
    bool changed() const { return changed_; }

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

    int templateId_;
    std::string title_;
    Window owner_;
    Dialog& logic_;
    std::vector<Control> controls_;
    int focus_ = 0;
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

class HeadlessSheet final : public headless::SheetView {
  public:
    HeadlessSheet(Window owner, std::string caption, const std::vector<SheetPage>& pages)
        : owner_(owner), caption_(std::move(caption)), pages_(pages), windows_(pages.size()) {}

    bool valid() const {
        for (const SheetPage& p : pages_) {
            if (!p.logic || !FindTemplate(p.templateId)) {
                return false;
            }
        }
        return !pages_.empty();
    }

    std::string caption() const override { return caption_; }
    int pageCount() const override { return static_cast<int>(pages_.size()); }
    std::string pageTitle(int index) const override {
        const SheetPage& p = pages_.at(static_cast<size_t>(index));
        if (!p.title.empty()) {
            return p.title;
        }
        const DialogTemplate* t = FindTemplate(p.templateId);
        return t && t->caption ? t->caption : "";
    }
    headless::DialogView& page(int index) override { return window(index); }
    void clickOk() override {
        if (!leaveCurrent()) {
            return;
        }
        for (auto& w : windows_) {
            headless::DialogView* view = w.get();
            if (view && !w->logic().onNotify(0, {Notification::Code::kApply, -1})) {
                return;
            }
        }
        done_ = true;
        result_ = 1;
    }
    void clickCancel() override {
        for (auto& w : windows_) {
            if (w && !w->logic().onNotify(0, {Notification::Code::kQueryCancel, -1})) {
                return;
            }
        }
        done_ = true;
        result_ = 0;
    }
    void clickApply() override {
        if (!leaveCurrent()) {
            return;
        }
        for (auto& w : windows_) {
            if (w && w->changed()) {
                w->logic().onNotify(0, {Notification::Code::kApply, -1});
                w->setPageChanged(false);
            }
        }
    }

    bool done() const { return done_; }
    int result() const { return result_; }
    HeadlessWindow* current() { return windows_[static_cast<size_t>(current_)].get(); }

    HeadlessWindow& window(int index) {
        auto& slot = windows_.at(static_cast<size_t>(index));
        if (!slot) {
            const SheetPage& p = pages_[static_cast<size_t>(index)];
            slot = std::make_unique<HeadlessWindow>(*FindTemplate(p.templateId), owner_, *p.logic);
            if (!p.title.empty()) {
                slot->setTitle(p.title);
            }
            OpenScope scope(slot.get());
            slot->init();
        }
        if (index != current_ && windows_[static_cast<size_t>(current_)]) {
            if (!leaveCurrent()) {
                return *windows_[static_cast<size_t>(current_)];
            }
        }
        current_ = index;
        slot->logic().onNotify(0, {Notification::Code::kSetActive, -1});
        return *slot;
    }

  private:
    bool leaveCurrent() {
        HeadlessWindow* w = windows_[static_cast<size_t>(current_)].get();
        return !w || w->logic().onNotify(0, {Notification::Code::kKillActive, -1});
    }

    Window owner_;
    std::string caption_;
    std::vector<SheetPage> pages_;
    std::vector<std::unique_ptr<HeadlessWindow>> windows_;
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
    if (!S().messageBoxes.empty()) {
        auto handler = std::move(S().messageBoxes.front());
        S().messageBoxes.pop_front();
        answer = handler(view);
    }
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
            logic.onCommand(kIdCancel, kButtonClicked);
            if (!window.ended()) {
                window.endDialog(kIdCancel);
            }
        }
    }
    headless::Event e;
    e.kind = headless::Event::Kind::kDialog;
    e.caption = firstTitle;
    e.templateId = templateId;
    e.result = window.result();
    e.texts = window.texts();
    Log(std::move(e));
    return window.result();
}

int RunPropertySheet(Window owner, const std::string& caption,
                     const std::vector<SheetPage>& pages) {
    HeadlessSheet sheet(owner, caption, pages);
    if (!sheet.valid()) {
        return -1;
    }
    sheet.window(0);
    if (!S().sheets.empty()) {
        auto handler = std::move(S().sheets.front());
        S().sheets.pop_front();
        handler(sheet);
    }
    if (!sheet.done()) {
        sheet.clickCancel();
    }
    headless::Event e;
    e.kind = headless::Event::Kind::kPropertySheet;
    e.caption = caption;
    e.result = sheet.done() ? sheet.result() : 0;
    e.texts = sheet.window(0).texts();
    Log(std::move(e));
    return e.result;
}

Window ActiveWindow() {
    return S().open.empty() ? nullptr : S().open.back()->handle();
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

void Reset() {
    ui::S().events.clear();
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
