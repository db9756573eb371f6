// The Add User/Group dialog: asks for the name of a user or a group to share a folder with. The
// name field is cleaned as the user types, so that what reaches the access control list is a
// bare identifier: group brackets turn into the choice of "group", and a leading "-" (which
// would mark the entry as removed) is dropped. An address can be taken from the address book.
#pragma once

#include <string>

#include "platform/ui.h"

namespace wq::editor {

// The longest name the field gives (the identifier field of an access control entry).
inline constexpr size_t kUserGroupNameMax = 127;

// The name field's text after cleaning: cut to 259 characters; a leading "[" removed, with the
// blanks after it, and `group` set; every "[" and "]" removed; then one leading "-" and leading
// blanks removed. `caret` (a position in `text`) is moved to the same place in the result.
std::string CleanUserGroupName(const std::string& text, int* caret, bool* group);

class AddUserGroupDialog : public ui::Dialog {
  public:
    enum Kind { kUser = 0, kGroup = 1 };

    AddUserGroupDialog(Kind kind, std::string name);

    // Shows the dialog modally, owned by `owner`: ui::kIdOk, ui::kIdCancel, or -1 when it
    // cannot be shown.
    int run(ui::Window owner);

    // After OK: the chosen kind and the name (at most 127 characters).
    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    void cleanName();

    Kind kind_;
    std::string name_;
    bool cleaning_ = false;  // the field is being rewritten by cleanName
};

}  // namespace wq::editor
