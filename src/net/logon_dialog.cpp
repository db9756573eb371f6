#include "net/logon_dialog.h"

#include <utility>

namespace wq::net {
namespace {

// The title template with "%s" replaced by the server name ("%%" reads as "%"). Only these two
// are taken, so a translated template cannot make the formatting read arguments it lacks.
std::string FormatTitle(const std::string& format, const std::string& server) {
    std::string title;
    title.reserve(format.size() + server.size());
    bool used = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                title.push_back('%');
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && !used) {
                title += server;
                used = true;
                ++i;
                continue;
            }
        }
        title.push_back(format[i]);
    }
    return title;
}

}  // namespace

LogonDialog::LogonDialog(std::string server, std::string userName, std::string password,
                         uint8_t* remember)
    : server_(std::move(server)),
      userName_(std::move(userName)),
      password_(std::move(password)),
      remember_(remember) {}

int LogonDialog::run(ui::Window owner) {
    return ui::RunModalDialog(kTemplateId, owner, *this);
}

bool LogonDialog::onInit() {
    ui::DialogWindow& w = window();
    w.centerOnOwner();
    w.setTitle(FormatTitle(w.title(), server_));
    w.setItemText(kServerId, server_);
    w.setItemText(kUserNameId, userName_);
    w.setItemText(kPasswordId, password_);
    w.setFocus(userName_.empty() ? kUserNameId : kPasswordId);
    // The box only shows the record's flag: the template creates it disabled and nothing here
    // enables it.
    if (!remember_) {
        w.enableItem(kRememberId, false);
    } else {
        w.setChecked(kRememberId, *remember_ == 1);
    }
    return false;  // the focus is set
}

bool LogonDialog::onCommand(int id, int code) {
    (void)code;
    if (id < 1 || id > 7) {
        return false;
    }
    if (id == ui::kIdOk) {
        ui::DialogWindow& w = window();
        server_ = w.itemText(kServerId);
        userName_ = w.itemText(kUserNameId);
        password_ = w.itemText(kPasswordId);
        if (remember_) {
            *remember_ = w.isChecked(kRememberId) ? 1 : 0;
        }
    }
    window().endDialog(id);
    return true;
}

}  // namespace wq::net
