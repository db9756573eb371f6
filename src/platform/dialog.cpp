#include "platform/ui.h"

namespace wq::ui {

bool Dialog::onEvent(const Event& e) {
    if (e.kind == Event::Kind::kClicked && (e.control == kIdOk || e.control == kIdCancel)) {
        window().endDialog(e.control);
        return true;
    }
    return true;
}

TreeItem TreeView::find(const std::vector<std::string>& path) const {
    TreeItem found = 0;
    for (const std::string& name : path) {
        TreeItem child = firstChild(found);
        while (child && text(child) != name) {
            child = nextSibling(child);
        }
        if (!child) {
            return 0;
        }
        found = child;
    }
    return found;
}

}  // namespace wq::ui
