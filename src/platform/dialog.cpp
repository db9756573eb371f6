#include "platform/ui.h"

namespace wq::ui {

bool Dialog::onCommand(int id, int code) {
    (void)code;
    if (id == kIdOk || id == kIdCancel) {
        window().endDialog(id);
        return true;
    }
    return false;
}

bool Dialog::onNotify(int id, const Notification& n) {
    (void)id;
    (void)n;
    return true;
}

}  // namespace wq::ui
