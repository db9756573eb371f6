// Aliases: the X-LISTMAP reader and the exports WqGetAliases, WqAddAlias and WqRemoveAlias.
#include "folders/aliases.h"

#include "base/account.h"
#include "folders/folder_names.h"
#include "net/imap.h"
#include "net/reply_text.h"
#include "text/charset.h"
#include "wqrt.h"

namespace wq {

namespace {

using net::TrimBlanks;

// Arguments stand between double quotes without escaping: a quote would end one early, and a
// line break would start a second command.
bool SafeArgument(std::string_view text) {
    return net::ImapSafeArgument(text) && text.find('"') == std::string_view::npos;
}

constexpr std::string_view kListPrefix = "X-LISTMAP ";
constexpr std::string_view kSeparator = "\" \"";

}  // namespace

std::vector<AliasEntry> ParseAliasList(std::string_view reply) {
    std::vector<AliasEntry> entries;
    net::ReplyLines lines(reply);
    std::string_view line;
    std::string stripped;
    while (lines.next(&line)) {
        line = net::WithoutCarriageReturns(line, &stripped);
        std::string_view text = TrimBlanks(line);
        if (text.substr(0, kListPrefix.size()) != kListPrefix) {
            continue;
        }
        text = TrimBlanks(text.substr(kListPrefix.size()));
        if (text.size() < 2) {
            continue;
        }
        // The outer quotes go without a look: the pair is split at its first quote-blank-quote.
        text = text.substr(1, text.size() - 2);
        size_t split = text.find(kSeparator);
        if (split == std::string_view::npos) {
            continue;
        }
        AliasEntry entry;
        entry.alias = mutf7ToAnsi(std::string(text.substr(0, split)));
        std::string folder = mutf7ToAnsi(std::string(text.substr(split + kSeparator.size())));
        bool shared = !folder.empty() && folder[0] == '#';
        // The "~" of the user's own folders hides the special names from the mapping, so
        // "~INBOX/Sales" reads INBOX/Sales, not Inbox/Sales.
        folder = MapServerToDisplay(folder);
        if (!folder.empty() && folder[0] == '~') {
            folder.erase(0, 1);
        }
        entry.folder = std::move(folder);
        entry.kind = shared ? kAliasKindShared : kAliasKindOwn;
        if (entries.size() == entries.capacity()) {
            entries.reserve(entries.empty() ? 1 : entries.size() * 2);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool BuildSetMapCommand(std::string_view folder, std::string_view alias, std::string* command) {
    folder = TrimBlanks(folder);
    alias = TrimBlanks(alias);
    if (folder.empty() || alias.empty() || !SafeArgument(folder) || !SafeArgument(alias)) {
        return false;
    }
    std::string target = MapDisplayToServer(std::string(folder));
    if (target[0] != '#' && target[0] != '~') {
        target.insert(0, 1, '~');
    }
    *command =
        "X-SETMAP \"" + ansiToMutf7(std::string(alias)) + "\" \"" + ansiToMutf7(target) + "\"";
    return true;
}

bool BuildDeleteMapCommand(std::string_view alias, std::string* command) {
    if (!SafeArgument(alias)) {
        return false;
    }
    std::string encoded = ansiToMutf7(std::string(alias));
    *command = "X-DELETEMAP \"" + std::string(TrimBlanks(encoded)) + "\"";
    return true;
}

}  // namespace wq

extern "C" {

WqResult WQ_API WqGetAliases(AccountSettings* account, WqAliasCallback callback, void* context) {
    using namespace wq;
    if (!account || !callback) {
        return E_INVALIDARG;
    }
    SetCurrentAccount(account);
    std::string reply;
    HResult result = net::ImapRunCommand("X-LISTMAP", &reply, nullptr);
    if (Failed(result)) {
        return result;
    }
    // The whole list is read before the host hears of the first entry.
    std::vector<AliasEntry> entries = ParseAliasList(reply);
    for (const AliasEntry& entry : entries) {
        callback(entry.kind, entry.folder.c_str(), entry.alias.c_str(), context);
    }
    return result;
}

WqResult WQ_API WqAddAlias(AccountSettings* account, const char* folder, const char* alias) {
    using namespace wq;
    std::string command;
    if (!account || !folder || !alias || !BuildSetMapCommand(folder, alias, &command)) {
        return E_INVALIDARG;
    }
    SetCurrentAccount(account);
    return net::ImapRunCommand(command, nullptr, nullptr);
}

WqResult WQ_API WqRemoveAlias(AccountSettings* account, const char* alias) {
    using namespace wq;
    std::string command;
    if (!account || !alias || !BuildDeleteMapCommand(alias, &command)) {
        return E_INVALIDARG;
    }
    SetCurrentAccount(account);
    return net::ImapRunCommand(command, nullptr, nullptr);
}

}  // extern "C"
