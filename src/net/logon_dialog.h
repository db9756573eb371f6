// The Logon dialog: lets the user correct the user name and password after the server refused
// a LOGIN. It only collects the credentials; ImapLogin does the retry.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui.h"

namespace wq::net {

class LogonDialog : public ui::Dialog {
  public:
    // `remember`: the record's rememberPassword flag (written on OK), or null when the
    // operation does not offer it. Not owned.
    LogonDialog(std::string server, std::string userName, std::string password, uint8_t* remember);

    // Shows the dialog modally, owned by `owner`; the button that ended it (ui::kIdOk,
    // ui::kIdCancel), or -1 when it cannot be shown.
    int run(ui::Window owner);

    const std::string& server() const { return server_; }
    // After OK: what the user typed.
    const std::string& userName() const { return userName_; }
    const std::string& password() const { return password_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    std::string server_;
    std::string userName_;
    std::string password_;
    uint8_t* remember_;  // not owned; may be null
};

}  // namespace wq::net
