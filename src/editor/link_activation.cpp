#include "editor/link_activation.h"

#include "editor/address_book_dialog.h"
#include "editor/move_dialog.h"
#include "folders/folder_names.h"
#include "text/charset.h"

namespace wq::editor {
namespace {

// What the notification message reads when the action has none yet.
constexpr const char kNotifyPreset[] = "$from$: $subject$\r\n$text$";

// An empty text empties the argument; a longer one is cut by the field.
bool StoreMessage(rules::RuleArena& arena, rules::ArgumentText& field, const std::string& text) {
    if (text.empty()) {
        field.clear();
    } else {
        field.assign(arena, text);
    }
    return true;
}

bool EditMessage(rules::RuleArena& arena, rules::ArgumentText& field, std::string start) {
    MessageTextDialog dialog(std::move(start));
    return dialog.run() == ui::kIdOk && StoreMessage(arena, field, dialog.text());
}

template <class Field>
bool EditAddress(rules::RuleArena& arena, Field& field) {
    SelectAddressDialog dialog(field.str(), PickFromAddressBook);
    if (dialog.run() != ui::kIdOk) {
        return false;
    }
    field.assign(arena, dialog.address());
    return true;
}

// The folder of a FileInto, shown by its display path and stored as the server knows it.
bool EditFolder(rules::RuleArena& arena, rules::ArgumentText& folder) {
    MoveDialog dialog(MapServerToDisplay(mutf7ToAnsi(folder.str())));
    if (dialog.run(ui::ActiveWindow()) != ui::kIdOk) {
        return false;
    }
    std::string encoded = ansiToMutf7(MapDisplayToServer(dialog.path()));
    // A name cut to fit the field would name another folder, or none: the old one stays.
    if (encoded.size() > rules::ArgumentText::kMaxChars) {
        return false;
    }
    folder.assign(arena, encoded);
    return true;
}

}  // namespace

bool PickFromAddressBook(ui::Window owner, std::string* address) {
    AddressBookDialog dialog;
    if (dialog.run(owner) != ui::kIdOk) {
        return false;
    }
    *address = dialog.address();
    return true;
}

bool ValueLinkActivator::activateLink(LinkKind kind, uint32_t handle, DescriptionPane& pane,
                                      rules::SieveCommand& rule) {
    if (kind == LinkKind::kAndOr) {
        return editConditionGroup(rule);
    }
    if (rules::SieveTest* test = pane.test(handle)) {
        return editTest(kind, *test);
    }
    if (rules::SieveCommand* command = pane.command(handle)) {
        return editCommand(kind, *command);
    }
    return false;
}

bool ValueLinkActivator::editConditionGroup(rules::SieveCommand& rule) {
    rules::SieveTest* group = rule.test;
    if (!group ||
        (group->kind != rules::TestKind::AllOf && group->kind != rules::TestKind::AnyOf)) {
        return false;
    }
    bool all = group->kind == rules::TestKind::AllOf;
    AndOrDialog dialog(all);
    if (dialog.run() != ui::kIdOk || dialog.all() == all) {
        return false;
    }
    group->kind = dialog.all() ? rules::TestKind::AllOf : rules::TestKind::AnyOf;
    return true;
}

bool ValueLinkActivator::editTest(LinkKind kind, rules::SieveTest& test) {
    switch (kind) {
        case LinkKind::kAddress:
        case LinkKind::kWord: {
            auto list = kind == LinkKind::kAddress ? ValueListDialog::Kind::kPeople
                                                   : ValueListDialog::Kind::kWords;
            return ValueListDialog(list, test, arena_, PickFromAddressBook).run() == ui::kIdOk;
        }
        case LinkKind::kMatch: {
            ConditionOptionsDialog dialog(2 * static_cast<int>(test.matchType) +
                                          (test.negated ? 1 : 0));
            if (dialog.run() != ui::kIdOk) {
                return false;
            }
            test.matchType = static_cast<rules::MatchType>(dialog.choice() / 2);
            test.negated = static_cast<uint8_t>(dialog.choice() % 2);
            return true;
        }
        case LinkKind::kSize: {
            SizeDialog dialog(test.sizeRelation == rules::SizeRelation::Under ? 1 : 0,
                              test.sizeLimit);
            if (dialog.run() != ui::kIdOk) {
                return false;
            }
            test.sizeRelation =
                dialog.relation() == 1 ? rules::SizeRelation::Under : rules::SizeRelation::Over;
            test.sizeLimit = dialog.limit();
            return true;
        }
        default:
            return false;
    }
}

bool ValueLinkActivator::editCommand(LinkKind kind, rules::SieveCommand& command) {
    switch (kind) {
        case LinkKind::kFileInto:
            return EditFolder(arena_, command.argument);
        case LinkKind::kRedirect:
            return EditAddress(arena_, command.argument);
        case LinkKind::kNotifyAddress:
            return EditAddress(arena_, command.text1);
        case LinkKind::kReject:
        case LinkKind::kVacation:
            return EditMessage(arena_, command.argument, command.argument.str());
        case LinkKind::kNotifyMessage:
            return EditMessage(arena_, command.argument,
                               command.argument.empty() ? kNotifyPreset : command.argument.str());
        default:
            return false;
    }
}

}  // namespace wq::editor
