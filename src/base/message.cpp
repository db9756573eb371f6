#include "base/message.h"

namespace wq {

namespace {
constexpr unsigned kCaptionId = 1;  // "Qorva Outlook Express Extensions"
}

int ShowMessageText(ui::Window owner, const std::string& text, unsigned style) {
    return ui::ShowMessageBox(owner, text, LoadText(kCaptionId), style);
}

}  // namespace wq
