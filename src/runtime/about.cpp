#include "runtime/about.h"

#include "base/text.h"
#include "runtime/module_state.h"

namespace wq {

bool AboutPage::onInit() {
    window().setItemBitmap(kAboutPictureId, kAboutBitmap);
    // The template text carries the "%s" for the version, so a translated page keeps its own
    // wording around the number.
    std::string format = window().itemText(kAboutVersionId);
    window().setItemText(kAboutVersionId,
                         FormatText(format.c_str(), GetModuleVersionString().c_str()));
    return true;
}

HResult ShowAboutSheet(ui::Window parent) {
    AboutPage page;
    int r =
        ui::RunPropertySheet(parent, LoadText(kAboutTitleId), {{kAboutPageTemplate, "", &page}});
    return r == -1 ? E_FAIL : S_OK;
}

}  // namespace wq
