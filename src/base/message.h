// Message boxes with the product caption (string 1).
#pragma once

#include <string>

#include "base/text.h"
#include "platform/ui.h"

namespace wq {

// Shows a ready text in a message box under the caption of string 1. Returns the button chosen
// (ui::kIdYes ...).
int ShowMessageText(ui::Window owner, const std::string& text, unsigned style);

// Shows string-table text `textId`, its placeholders filled with the arguments (FormatText).
template <class... Args>
int ShowMessage(ui::Window owner, unsigned textId, unsigned style, const Args&... args) {
    return ShowMessageText(owner, FormatText(LoadText(textId), args...), style);
}

}  // namespace wq
