// The Address Book dialog: picks one contact of the user's address book and gives back its
// e-mail address. The contacts are read when the dialog opens (platform/address_book.h) and
// shown in two columns, "Name" and "E-mail address", sorted by name; a click on a column's
// header sorts by that column, the other way round when it is already sorted up.
#pragma once

#include <string>
#include <vector>

#include "platform/address_book.h"
#include "platform/ui.h"

namespace wq::editor {

class AddressBookDialog : public ui::Dialog, private ui::ListModel {
  public:
    // Shows the dialog modally, owned by `owner`: ui::kIdOk when a contact was chosen,
    // ui::kIdCancel, or -1 when it cannot be shown.
    int run(ui::Window owner);

    // After OK: the chosen contact's texts, trimmed of blanks (the address may be empty).
    const std::string& name() const { return name_; }
    const std::string& address() const { return address_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    enum Column { kName = 0, kEmail = 1 };

    int rowCount() const override { return static_cast<int>(contacts_.size()); }
    std::string text(int row, int column) const override;
    int image(int row) const override;

    ui::ListView& list();
    void sortBy(int column, ui::SortMark direction);
    void choose(int row);

    std::vector<platform::Contact> contacts_;
    std::string name_;
    std::string address_;
};

}  // namespace wq::editor
