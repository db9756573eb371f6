// The small dialogs that edit one value of a rule: And/Or, message text, match type, size,
// one address, and the value lists of people and words. Each single-value dialog works on a
// copy of its value, which its opener writes back on OK; the two list dialogs write their test's
// keys themselves, and their Options button writes the match type at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "rules/model.h"

namespace wq::editor {

// Picks an address from the user's address book: true and the address, or false when the user
// cancelled or there is no book.
using AddressPicker = std::function<bool(ui::Window owner, std::string* address)>;

// Runs `logic` on template `templateId` owned by the active window: OK (1) or Cancel (2).
int RunValueDialog(int templateId, ui::Dialog& logic);

class AndOrDialog : public ui::Dialog {
  public:
    explicit AndOrDialog(bool all) : all_(all) {}
    int run() { return RunValueDialog(kTemplate, *this); }
    bool all() const { return all_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    static const int kTemplate;
    bool all_;
};

class MessageTextDialog : public ui::Dialog {
  public:
    explicit MessageTextDialog(std::string text) : text_(std::move(text)) {}
    int run() { return RunValueDialog(kTemplate, *this); }
    const std::string& text() const { return text_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    static const int kTemplate;
    std::string text_;
};

// The match type as one choice 0..5: 2 x match type + negated.
class ConditionOptionsDialog : public ui::Dialog {
  public:
    explicit ConditionOptionsDialog(int choice) : choice_(choice) {}
    int run() { return RunValueDialog(kTemplate, *this); }
    int choice() const { return choice_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    static const int kTemplate;
    void explain();
    int choice_;
};

// A size condition: relation (0 more, 1 less) and limit in bytes, an unsigned 32-bit number.
class SizeDialog : public ui::Dialog {
  public:
    SizeDialog(int relation, uint32_t limit) : relation_(relation), limit_(limit) {}
    int run() { return RunValueDialog(kTemplate, *this); }
    int relation() const { return relation_; }
    uint32_t limit() const { return limit_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    static const int kTemplate;
    int relation_;
    uint32_t limit_;
};

class SelectAddressDialog : public ui::Dialog {
  public:
    SelectAddressDialog(std::string address, AddressPicker picker)
        : address_(std::move(address)), picker_(std::move(picker)) {}
    int run() { return RunValueDialog(kTemplate, *this); }
    const std::string& address() const { return address_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    static const int kTemplate;
    std::string address_;
    AddressPicker picker_;
};

// The keys of an Address test (people) or a Header test (words) as a sorted list of values.
// The test and the arena of its tree outlive the dialog.
class ValueListDialog : public ui::Dialog {
  public:
    enum class Kind { kPeople, kWords };
    ValueListDialog(Kind kind, rules::SieveTest& test, rules::RuleArena& arena,
                    AddressPicker picker);
    int run();
    const std::vector<std::string>& values() const { return values_; }

    bool onInit() override;
    bool onEvent(const ui::Event& e) override;

  private:
    struct Ids {
        int templateId, list, add, remove, options, addressBook, line, prompt;
    };
    void fill();
    void updateButtons();
    void add();
    void remove();
    void options();

    Ids ids_;
    rules::SieveTest& test_;
    rules::RuleArena& arena_;
    AddressPicker picker_;
    std::vector<std::string> values_;
};

}  // namespace wq::editor
