// The About sheet: one General page with the product picture and the library's version.
#pragma once

#include "base/result.h"
#include "platform/ui.h"

namespace wq {

inline constexpr int kAboutTitleId = 400;  // sheet title string

// The General page: fills in the picture and the version when it opens.
class AboutPage : public ui::Dialog {
  public:
    bool onInit() override;
};

// Shows the sheet modally; E_FAIL when it cannot be shown.
HResult ShowAboutSheet(ui::Window parent);

}  // namespace wq
