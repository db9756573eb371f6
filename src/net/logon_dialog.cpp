#include "net/logon_dialog.h"

#include <utility>

#include "ids.h"

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
    return ui::RunModalDialog(IDD_LOGON, owner, *this);
}

bool LogonDialog::onInit() {
    ui::DialogWindow& w = window();
    w.centerOnOwner();
    w.setTitle(FormatTitle(w.title(), server_));
    w.setItemText(IDC_LOGON_SERVER, server_);
    w.setItemText(IDC_LOGON_USER, userName_);
    w.setItemText(IDC_LOGON_PASSWORD, password_);
    w.setFocus(userName_.empty() ? IDC_LOGON_USER : IDC_LOGON_PASSWORD);
    // The box only shows the record's flag: the template creates it disabled and nothing here
    // enables it.
    if (!remember_) {
        w.enableItem(IDC_LOGON_REMEMBER, false);
    } else {
        w.setChecked(IDC_LOGON_REMEMBER, *remember_ == 1);
    }
    return false;  // the focus is set
}

bool LogonDialog::onEvent(const ui::Event& e) {
    int id = e.control;
    if (e.kind != ui::Event::Kind::kClicked || id < 1 || id > 7) {
        return false;
    }
    if (id == ui::kIdOk) {
        ui::DialogWindow& w = window();
        server_ = w.itemText(IDC_LOGON_SERVER);
        userName_ = w.itemText(IDC_LOGON_USER);
        password_ = w.itemText(IDC_LOGON_PASSWORD);
        if (remember_) {
            *remember_ = w.isChecked(IDC_LOGON_REMEMBER) ? 1 : 0;
        }
    }
    window().endDialog(id);
    return true;
}

}  // namespace wq::net
