// Message boxes with the product caption (string 1).
#pragma once

#include <string>

#include "platform/ui.h"

namespace wq {

// Shows string-table text `textId`, used as a printf-style format with the arguments, in a
// message box under the caption of string 1. Returns the button chosen (ui::kIdYes ...).
int ShowMessage(ui::Window owner, unsigned textId, unsigned style, ...);

// The same with a ready text.
int ShowMessageText(ui::Window owner, const std::string& text, unsigned style);

}  // namespace wq
