#include "runtime/about.h"

#include <memory>

#include "base/text.h"
#include "ids.h"
#include "runtime/module_state.h"

namespace wq {

bool AboutPage::onInit() {
    window().setItemBitmap(IDC_ABOUT_GENERAL_PICTURE, IDB_ABOUT);
    // The template text carries the "%s" for the version, so a translated page keeps its own
    // wording around the number.
    std::string format = window().itemText(IDC_ABOUT_GENERAL_VERSION);
    window().setItemText(IDC_ABOUT_GENERAL_VERSION,
                         FormatText(format.c_str(), GetModuleVersionString().c_str()));
    return true;
}

HResult ShowAboutSheet(ui::Window parent) {
    ui::PropertyPage page =
        ui::CreatePropertyPage(IDD_ABOUT_GENERAL, "", std::make_unique<AboutPage>());
    int r = ui::RunPropertySheet(parent, LoadText(kAboutTitleId), {page}, false);
    return r == -1 ? E_FAIL : S_OK;
}

}  // namespace wq
