// The About sheet: one General page with the product picture and the library's version.
#pragma once

#include "base/result.h"
#include "platform/ui.h"

namespace wq {

inline constexpr int kAboutTitleId = 400;  // sheet title string
inline constexpr int kAboutPageTemplate = 4000;
inline constexpr int kAboutPictureId = 400;  // picture control on the page
inline constexpr int kAboutVersionId = 401;  // static text holding the version template
inline constexpr int kAboutBitmap = 204;

// The General page: fills in the picture and the version when it opens.
class AboutPage : public ui::Dialog {
  public:
    bool onInit() override;
};

// Shows the sheet modally; E_FAIL when it cannot be shown.
HResult ShowAboutSheet(ui::Window parent);

}  // namespace wq
