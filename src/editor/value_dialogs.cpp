#include "editor/value_dialogs.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "base/message.h"
#include "base/text.h"
#include "ids.h"
#include "rules/ascii.h"
#include "rules/catalogue.h"

namespace wq::editor {
namespace {

using EventKind = ui::Event::Kind;

constexpr unsigned kMatchTextIds = 116;    // "is", "contains", "matches", then negated
constexpr unsigned kExplanationIds = 122;  // one per match type
constexpr unsigned kMoreId = 138, kLessId = 139;
constexpr unsigned kDuplicateQuestionId = 125;

bool Clicked(const ui::Event& e, int id) {
    return e.kind == EventKind::kClicked && e.control == id;
}

std::string Trimmed(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && rules::isAsciiSpace(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    while (last > first && rules::isAsciiSpace(static_cast<unsigned char>(text[last - 1]))) {
        --last;
    }
    return std::string(text.substr(first, last - first));
}

// "is", "contains", "matches", or their negations; empty for a match type out of range.
std::string MatchText(int choice) {
    if (choice < 0 || choice > 5) {
        return {};
    }
    int type = choice / 2, negated = choice % 2;
    return LoadText(kMatchTextIds + static_cast<unsigned>(negated * 3 + type));
}

int Choice(const rules::SieveTest& test) {
    return 2 * static_cast<int>(test.matchType) + (test.negated ? 1 : 0);
}

}  // namespace

int RunValueDialog(int templateId, ui::Dialog& logic) {
    return ui::RunModalDialog(templateId, ui::ActiveWindow(), logic);
}

// ---------------------------------------------------------------------------------------------

const int AndOrDialog::kTemplate = IDD_AND_OR;

bool AndOrDialog::onInit() {
    window().centerOnOwner();
    window().setChecked(all_ ? IDC_AND_OR_ALL : IDC_AND_OR_ANY, true);
    return true;
}

bool AndOrDialog::onEvent(const ui::Event& e) {
    if (Clicked(e, ui::kIdOk)) {
        all_ = window().isChecked(IDC_AND_OR_ALL);
    }
    return Dialog::onEvent(e);
}

// ---------------------------------------------------------------------------------------------

const int MessageTextDialog::kTemplate = IDD_MESSAGE_TEXT;

bool MessageTextDialog::onInit() {
    ui::DialogWindow& w = window();
    w.setResizable({{IDC_MESSAGE_TEXT_TEXT, ui::kGrowWidth | ui::kGrowHeight},
                    {ui::kIdOk, ui::kKeepRight | ui::kKeepBottom},
                    {ui::kIdCancel, ui::kKeepRight | ui::kKeepBottom}});
    w.centerOnOwner();
    w.setItemText(IDC_MESSAGE_TEXT_TEXT, text_);
    return true;
}

bool MessageTextDialog::onEvent(const ui::Event& e) {
    if (Clicked(e, ui::kIdOk)) {
        text_ = window().itemText(IDC_MESSAGE_TEXT_TEXT);
    }
    return Dialog::onEvent(e);
}

// ---------------------------------------------------------------------------------------------

const int ConditionOptionsDialog::kTemplate = IDD_CONDITION_OPTIONS;

bool ConditionOptionsDialog::onInit() {
    window().centerOnOwner();
    ui::StringList* list = window().stringList(IDC_CONDITION_OPTIONS_MATCH);
    for (int i = 0; i < 6; ++i) {
        list->add(MatchText(i));
    }
    list->select(choice_);
    explain();
    return true;
}

void ConditionOptionsDialog::explain() {
    int selected = window().stringList(IDC_CONDITION_OPTIONS_MATCH)->selected();
    window().setItemText(IDC_CONDITION_OPTIONS_EXPLANATION,
                         selected < 0
                             ? std::string()
                             : LoadText(kExplanationIds + static_cast<unsigned>(selected / 2)));
}

bool ConditionOptionsDialog::onEvent(const ui::Event& e) {
    if (e.kind == EventKind::kSelectionChanged && e.control == IDC_CONDITION_OPTIONS_MATCH) {
        explain();
    } else if (Clicked(e, ui::kIdOk)) {
        int selected = window().stringList(IDC_CONDITION_OPTIONS_MATCH)->selected();
        if (selected >= 0) {
            choice_ = selected;
        }
    }
    return Dialog::onEvent(e);
}

// ---------------------------------------------------------------------------------------------

const int SizeDialog::kTemplate = IDD_SIZE;

bool SizeDialog::onInit() {
    ui::DialogWindow& w = window();
    ui::StringList* relation = w.stringList(IDC_SIZE_RELATION);
    relation->add(LoadText(kMoreId));
    relation->add(LoadText(kLessId));
    relation->select(relation_ == 1 ? 1 : 0);
    // The limit shown as the description shows it: in the largest unit that keeps it above
    // 10000, rounded down.
    uint32_t n = limit_;
    int unit = 0;
    while (unit < 2 && n > 10000) {
        n >>= 10;
        ++unit;
    }
    ui::StringList* units = w.stringList(IDC_SIZE_UNIT);
    for (const char* name : {"B", "KB", "MB"}) {
        units->add(name);
    }
    units->select(unit);
    w.setTextLimit(IDC_SIZE_LIMIT, 6);
    w.setItemText(IDC_SIZE_LIMIT, std::to_string(n));
    return true;
}

bool SizeDialog::onEvent(const ui::Event& e) {
    if (!Clicked(e, ui::kIdOk)) {
        return Dialog::onEvent(e);
    }
    ui::DialogWindow& w = window();
    std::string text = w.itemText(IDC_SIZE_LIMIT);
    uint64_t number = 0;
    size_t i = 0;
    for (; i < text.size() && rules::isAsciiDigit(text[i]) && number <= 0xFFFFFFFFu; ++i) {
        number = number * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (i < text.size() && number <= 0xFFFFFFFFu) {
        return true;  // characters after the number: the dialog stays open
    }
    int unit = std::max(w.stringList(IDC_SIZE_UNIT)->selected(), 0);
    // 999999 MB does not fit the 32-bit limit: the largest size that does is stored instead of
    // a wrapped one.
    uint64_t bytes = number << (10 * unit);
    limit_ = static_cast<uint32_t>(std::min<uint64_t>(bytes, std::numeric_limits<uint32_t>::max()));
    relation_ = std::max(w.stringList(IDC_SIZE_RELATION)->selected(), 0);
    w.endDialog(ui::kIdOk);
    return true;
}

// ---------------------------------------------------------------------------------------------

const int SelectAddressDialog::kTemplate = IDD_SELECT_ADDRESS;

bool SelectAddressDialog::onInit() {
    window().centerOnOwner();
    window().setItemText(IDC_SELECT_ADDRESS_ADDRESS, address_);
    window().enableItem(ui::kIdOk, !address_.empty());
    return true;
}

bool SelectAddressDialog::onEvent(const ui::Event& e) {
    ui::DialogWindow& w = window();
    if (e.kind == EventKind::kTextChanged && e.control == IDC_SELECT_ADDRESS_ADDRESS) {
        w.enableItem(ui::kIdOk, !w.itemText(IDC_SELECT_ADDRESS_ADDRESS).empty());
    } else if (Clicked(e, IDC_SELECT_ADDRESS_ADDRESS_BOOK)) {
        std::string picked;
        if (picker_ && picker_(w.handle(), &picked)) {
            w.setItemText(IDC_SELECT_ADDRESS_ADDRESS, picked);
        }
    } else if (Clicked(e, ui::kIdOk)) {
        address_ = w.itemText(IDC_SELECT_ADDRESS_ADDRESS);
    }
    return Dialog::onEvent(e);
}

// ---------------------------------------------------------------------------------------------

ValueListDialog::ValueListDialog(Kind kind, rules::SieveTest& test, rules::RuleArena& arena,
                                 AddressPicker picker)
    : ids_(kind == Kind::kPeople ? Ids{IDD_SELECT_PEOPLE, IDC_SELECT_PEOPLE_LIST,
                                       IDC_SELECT_PEOPLE_ADD, IDC_SELECT_PEOPLE_REMOVE,
                                       IDC_SELECT_PEOPLE_OPTIONS, IDC_SELECT_PEOPLE_ADDRESS_BOOK,
                                       IDC_SELECT_PEOPLE_LINE, IDC_SELECT_PEOPLE_PROMPT}
                                 : Ids{IDD_SPECIFIC_WORDS, IDC_SPECIFIC_WORDS_LIST,
                                       IDC_SPECIFIC_WORDS_ADD, IDC_SPECIFIC_WORDS_REMOVE,
                                       IDC_SPECIFIC_WORDS_OPTIONS, 0, IDC_SPECIFIC_WORDS_LINE, 0}),
      test_(test),
      arena_(arena),
      picker_(std::move(picker)) {}

int ValueListDialog::run() {
    return RunValueDialog(ids_.templateId, *this);
}

// The value edit has the same id in both templates.
static_assert(IDC_SELECT_PEOPLE_VALUE == IDC_SPECIFIC_WORDS_VALUE);
constexpr int kValueEdit = IDC_SELECT_PEOPLE_VALUE;

bool ValueListDialog::onInit() {
    ui::DialogWindow& w = window();
    std::vector<std::pair<int, unsigned>> anchors = {
        {kValueEdit, ui::kGrowWidth},
        {ids_.list, ui::kGrowWidth | ui::kGrowHeight},
        {ids_.add, ui::kKeepRight},
        {ids_.remove, ui::kKeepRight},
        {ids_.options, ui::kKeepRight},
        {ids_.line, ui::kGrowWidth | ui::kKeepBottom},
        {ui::kIdOk, ui::kKeepRight | ui::kKeepBottom},
        {ui::kIdCancel, ui::kKeepRight | ui::kKeepBottom}};
    if (ids_.prompt) {
        anchors.push_back({ids_.prompt, ui::kGrowWidth});
    }
    if (ids_.addressBook) {
        anchors.push_back({ids_.addressBook, ui::kKeepRight});
    }
    w.setResizable(anchors);
    w.centerOnOwner();
    for (std::string_view key : test_.keys) {
        std::string value = Trimmed(key);
        if (!value.empty()) {
            values_.push_back(std::move(value));
        }
    }
    fill();
    updateButtons();
    return true;
}

// Row 0 names the condition ("Where the From line contains"); value i is row i + 1.
void ValueListDialog::fill() {
    std::string display;
    rules::findCriterionKind(&test_, &display);
    ui::StringList* list = window().stringList(ids_.list);
    list->clear();
    list->add(display.substr(0, display.find('[')) + MatchText(Choice(test_)));
    for (const std::string& value : values_) {
        list->add(value);
    }
}

void ValueListDialog::updateButtons() {
    ui::DialogWindow& w = window();
    bool typed = !Trimmed(w.itemText(kValueEdit)).empty();
    w.enableItem(ids_.add, typed);
    w.setDefaultButton(typed ? ids_.add : ui::kIdOk);
    w.enableItem(ids_.remove, w.stringList(ids_.list)->selected() >= 1);
    w.enableItem(ui::kIdOk, !values_.empty());
}

void ValueListDialog::add() {
    ui::DialogWindow& w = window();
    std::string value = Trimmed(w.itemText(kValueEdit));
    if (value.empty()) {
        return;
    }
    w.setItemText(kValueEdit, "");
    if (std::find(values_.begin(), values_.end(), value) != values_.end() &&
        ShowMessage(w.handle(), kDuplicateQuestionId,
                    ui::kMbYesNo | ui::kMbIconExclamation | ui::kMbDefButton2) != ui::kIdYes) {
        return;
    }
    values_.push_back(value);
    // Byte order, the high half of the code page after ASCII (char_traits compares unsigned).
    std::sort(values_.begin(), values_.end());
    fill();
    updateButtons();
}

void ValueListDialog::remove() {
    ui::DialogWindow& w = window();
    int row = w.stringList(ids_.list)->selected();
    if (row < 1 || static_cast<size_t>(row) > values_.size()) {
        return;
    }
    values_.erase(values_.begin() + (row - 1));
    fill();
    if (values_.empty()) {
        w.setFocus(kValueEdit);
    }
    updateButtons();
}

void ValueListDialog::options() {
    ConditionOptionsDialog dialog(Choice(test_));
    if (dialog.run() == ui::kIdOk) {
        test_.matchType = static_cast<rules::MatchType>(dialog.choice() / 2);
        test_.negated = static_cast<uint8_t>(dialog.choice() % 2);
        fill();
        updateButtons();
    }
}

bool ValueListDialog::onEvent(const ui::Event& e) {
    ui::DialogWindow& w = window();
    if ((e.kind == EventKind::kTextChanged && e.control == kValueEdit) ||
        (e.kind == EventKind::kSelectionChanged && e.control == ids_.list)) {
        updateButtons();
    } else if (Clicked(e, ids_.add)) {
        add();
    } else if (Clicked(e, ids_.remove)) {
        remove();
    } else if (Clicked(e, ids_.options)) {
        options();
    } else if (ids_.addressBook && Clicked(e, ids_.addressBook)) {
        std::string picked;
        if (picker_ && picker_(w.handle(), &picked)) {
            w.setItemText(kValueEdit, picked);
        }
    } else if (Clicked(e, ui::kIdOk)) {
        std::vector<std::string_view> keys(values_.begin(), values_.end());
        test_.keys = rules::StringList::copyOf(arena_, keys.data(), keys.size());
    }
    return Dialog::onEvent(e);
}

}  // namespace wq::editor
