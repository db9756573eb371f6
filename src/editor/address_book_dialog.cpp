#include "editor/address_book_dialog.h"

#include <algorithm>

#include "base/text.h"
#include "ids.h"
#include "net/reply_text.h"
#include "platform/collate.h"

namespace wq::editor {
namespace {

constexpr unsigned kNameTitleId = 1501;   // "Name"
constexpr unsigned kEmailTitleId = 1502;  // "E-mail address"
constexpr int kContactImage = 3;
// Texts are compared and taken at most this long, as a list cell gives them.
constexpr size_t kMaxCellText = 1000;

std::string Cell(const platform::Contact& c, int column) {
    const std::string& text = column == 0 ? c.name : c.email;
    return text.substr(0, kMaxCellText);
}

}  // namespace

int AddressBookDialog::run(ui::Window owner) {
    return ui::RunModalDialog(IDD_ADDRESS_BOOK, owner, *this);
}

std::string AddressBookDialog::text(int row, int column) const {
    return Cell(contacts_[static_cast<size_t>(row)], column);
}

int AddressBookDialog::image(int row) const {
    (void)row;
    return kContactImage;
}

ui::ListView& AddressBookDialog::list() {
    return *window().listView(IDC_ADDRESS_BOOK_LIST);
}

bool AddressBookDialog::onInit() {
    ui::DialogWindow& w = window();
    w.setResizable({{IDC_ADDRESS_BOOK_LIST, ui::kGrowWidth | ui::kGrowHeight},
                    {ui::kIdOk, ui::kKeepRight | ui::kKeepBottom},
                    {ui::kIdCancel, ui::kKeepRight | ui::kKeepBottom}});
    ui::ListSetup setup;
    setup.columns = {{LoadText(kNameTitleId), 100}, {LoadText(kEmailTitleId), 150}};
    setup.dragColumns = true;
    setup.images = {IDB_CONTACTS, 16, false, {}};
    setup.headerImages = {IDB_CONTACTS, 16, false, {}};
    list().setup(setup);
    contacts_.clear();
    platform::ReadAddressBook(w.handle(), &contacts_);
    list().setModel(this);
    sortBy(kName, ui::SortMark::kAscending);
    return true;
}

// Sorts the rows in the locale's collation and moves the selection with its contact.
void AddressBookDialog::sortBy(int column, ui::SortMark direction) {
    ui::ListView& l = list();
    int selected = l.selectedRow();
    std::vector<size_t> order(contacts_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    int sign = direction == ui::SortMark::kDescending ? -1 : 1;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return sign *
                   platform::CollateText(Cell(contacts_[a], column), Cell(contacts_[b], column)) <
               0;
    });
    std::vector<platform::Contact> sorted;
    sorted.reserve(contacts_.size());
    int newSelected = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (static_cast<int>(order[i]) == selected) {
            newSelected = static_cast<int>(i);
        }
        sorted.push_back(std::move(contacts_[order[i]]));
    }
    contacts_ = std::move(sorted);
    l.rowsChanged();
    if (newSelected != selected) {
        l.select(newSelected);
    }
    if (newSelected >= 0) {
        l.ensureVisible(newSelected);
    }
    l.setSortMark(column, direction);
}

void AddressBookDialog::choose(int row) {
    if (row < 0 || row >= rowCount()) {
        window().endDialog(ui::kIdCancel);
        return;
    }
    name_ = std::string(net::TrimBlanks(text(row, kName)));
    address_ = std::string(net::TrimBlanks(text(row, kEmail)));
    window().endDialog(ui::kIdOk);
}

bool AddressBookDialog::onEvent(const ui::Event& e) {
    using Kind = ui::Event::Kind;
    if (e.control == IDC_ADDRESS_BOOK_LIST && e.kind == Kind::kColumnClicked) {
        bool up = list().sortMark(e.column) == ui::SortMark::kAscending;
        sortBy(e.column, up ? ui::SortMark::kDescending : ui::SortMark::kAscending);
        return true;
    }
    if (e.control == IDC_ADDRESS_BOOK_LIST && e.kind == Kind::kActivated) {
        choose(e.row);
        return true;
    }
    if (e.kind == Kind::kClicked && e.control == ui::kIdOk) {
        choose(list().selectedRow());
        return true;
    }
    return Dialog::onEvent(e);
}

}  // namespace wq::editor
