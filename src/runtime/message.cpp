#include "runtime/message.h"

#include <cstdarg>

#include "runtime/text.h"

namespace wq {

namespace {
constexpr unsigned kCaptionId = 1;  // "Qorva Outlook Express Extensions"
}

int ShowMessageText(ui::Window owner, const std::string& text, unsigned style) {
    return ui::ShowMessageBox(owner, text, LoadText(kCaptionId), style);
}

int ShowMessage(ui::Window owner, unsigned textId, unsigned style, ...) {
    std::string format = LoadText(textId);
    va_list args;
    va_start(args, style);
    std::string text = FormatTextV(format.c_str(), args);
    va_end(args);
    return ShowMessageText(owner, text, style);
}

}  // namespace wq
