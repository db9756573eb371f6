#include "platform/ui.h"

#include <cctype>

namespace wq::ui {

bool Dialog::onEvent(const Event& e) {
    if (e.kind == Event::Kind::kClicked && (e.control == kIdOk || e.control == kIdCancel)) {
        window().endDialog(e.control);
        return true;
    }
    return true;
}

Tick ClickedTick(Tick tick) {
    switch (tick) {
        case Tick::kOff:
            return Tick::kOn;
        case Tick::kOn:
        case Tick::kDisabled:
            return Tick::kOff;
        default:
            return tick;
    }
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

bool ParseRgbText(const std::string& text, Rgb* colour) {
    int parts[3] = {};
    size_t at = 0;
    auto blanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
            ++at;
        }
    };
    for (int i = 0; i < 3; ++i) {
        blanks();
        size_t start = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) &&
               at - start < 3) {
            parts[i] = parts[i] * 10 + (text[at++] - '0');
        }
        bool digits = at > start;
        blanks();
        bool separator = i < 2 ? at < text.size() && text[at] == ',' : at == text.size();
        if (!digits || parts[i] > 255 || !separator) {
            return false;
        }
        at += i < 2 ? 1 : 0;
    }
    *colour = {static_cast<uint8_t>(parts[0]), static_cast<uint8_t>(parts[1]),
               static_cast<uint8_t>(parts[2])};
    return true;
}

}  // namespace wq::ui
