// The Sharing and Security property page of one IMAP folder: who may use the folder and with
// which rights. It reads the folder's access control list when it opens, lets the folder's owner
// add and remove users and groups and switch single rights on and off, and writes the changes
// back (DELETEACL, SETACL) when its sheet applies them. The page is made for the host's
// property sheet (WqCreatePageSecurity) or for a sheet of the library's own (IMAP Folders); it
// lives until the sheet that holds it releases it.
//
// While the page edits the list, an entry the user removed stays in it with "-" before its
// identifier until the next write; such entries have no row.
#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "platform/ui.h"
#include "wqrt.h"

namespace wq::editor {

// The process-wide settings of the page, kept until the library is unloaded.
struct SharingSettings {
    bool showOwnerOffered = true;  // the "Show owner (self)" check box is offered
    bool showOwner = false;        // the owner's row is shown (toggled by that check box)
};
SharingSettings& SharingPageSettings();

// The rights that have a row on the page, in row order, with their names (strings 1000-1006).
// Keep-seen (s) and post (p) have none and stay in a rights text as they are.
inline constexpr char kSharingRightLetters[] = "lrwicda";

// Makes the page for `folder` (a display path, copied) and `account` (not owned: the host keeps
// it alive while the page exists). 0 with the page; E_INVALIDARG for a missing argument,
// E_OUTOFMEMORY when the page object cannot be made, E_FAIL when the system makes no page.
HResult CreateSharingPage(const char* folder, AccountSettings* account, ui::PropertyPage* page);

class SharingPage : public ui::Dialog {
  public:
    SharingPage(std::string folder, AccountSettings* account);
    ~SharingPage() override;
    SharingPage(const SharingPage&) = delete;
    SharingPage& operator=(const SharingPage&) = delete;

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    // The names list: one row per shown entry, sorted by text; a row holds the entry's position.
    class Names final : public ui::ListModel {
      public:
        explicit Names(const AclList& list) : list_(list) {}
        int rowCount() const override { return static_cast<int>(rows_.size()); }
        std::string text(int row, int column) const override;
        int image(int row) const override;
        // Adds a row for the entry, in sorted place; returns the row.
        int add(uint32_t entry);
        void removeRow(int row) { rows_.erase(rows_.begin() + row); }
        int rowOf(uint32_t entry) const;
        uint32_t entry(int row) const { return rows_[static_cast<size_t>(row)]; }
        void setEntry(int row, uint32_t entry) { rows_[static_cast<size_t>(row)] = entry; }

      private:
        const AclList& list_;
        std::vector<uint32_t> rows_;
    };
    // The seven rights rows: the tick in the first column, the name in the second.
    class Rights final : public ui::ListModel {
      public:
        int rowCount() const override { return kRows; }
        std::string text(int row, int column) const override;
        ui::Tick tick(int row) const override { return ticks_[row]; }
        void setTick(int row, ui::Tick tick) override { ticks_[row] = tick; }

        static constexpr int kRows = sizeof kSharingRightLetters - 1;

      private:
        ui::Tick ticks_[kRows] = {ui::Tick::kOff, ui::Tick::kOff, ui::Tick::kOff, ui::Tick::kOff,
                                  ui::Tick::kOff, ui::Tick::kOff, ui::Tick::kOff};
    };

    ui::ListView& names();
    ui::ListView& rights();
    // Shows the entry of the selected row (-1: none) in the rights list and the label.
    void showSelection();
    void setTicks(const std::string& letters, bool all);
    void rightTicked(int row, ui::Tick after);
    void removeSelected();
    void toggleOwner();
    void addUserOrGroup();
    void apply();
    void changed();
    // The entry positions after a write dropped the removed entries from the list.
    void followWrite(const std::vector<AclEntry>& before);

    std::string folder_;
    AccountSettings* account_;  // not owned
    AclList list_{nullptr, 0, 0};
    Names names_{list_};
    Rights rights_;
    std::string labelFormat_;
    bool owner_ = false;
    bool dirty_ = false;
    bool ready_ = false;
};

}  // namespace wq::editor
