// Access control lists: the GETACL reader, the DELETEACL/SETACL writer, the one-line rendering
// and the exports WqGetACL and WqAclToString.
#include "folders/acl.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/account.h"
#include "base/text.h"
#include "folders/folder_names.h"
#include "net/reply_text.h"
#include "net/transport.h"
#include "text/charset.h"

namespace wq {

namespace {

constexpr unsigned kIdsAll = 500;  // "All"

// The byte size of the largest list stays within a signed 32-bit count on every build.
constexpr uint32_t kMaxEntries = 0x7FFFFFFFu / sizeof(AclEntry);

std::string FieldText(const char* field, size_t size) {
    const void* nul = std::memchr(field, 0, size);
    return std::string(field, nul ? static_cast<const char*>(nul) - field : size);
}

void CopyField(char* field, size_t size, std::string_view text) {
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

// Identifiers of groups go to the server in brackets.
std::string WireIdentifier(std::string_view identifier, uint32_t kind) {
    std::string id(identifier);
    return kind == kAclKindGroup ? "[" + id + "]" : id;
}

}  // namespace

uint16_t AclRightsMask(std::string_view rights) {
    uint16_t mask = 0;
    for (char c : rights) {
        for (const AclRight& right : kAclRights) {
            if (right.letter == c) {
                mask |= right.flag;
            }
        }
    }
    return mask;
}

AclEntry MakeAclEntry(std::string_view identifier, std::string_view rights, uint32_t kind) {
    // The fixed fields end at their first zero byte, so the texts do too.
    identifier = identifier.substr(0, identifier.find('\0'));
    rights = rights.substr(0, rights.find('\0'));
    AclEntry entry{};
    CopyField(entry.identifier, sizeof entry.identifier, identifier);
    std::string lower(rights.substr(0, kAclRightsMax));
    for (char& c : lower) {
        c = net::LowerAscii(c);
    }
    CopyField(entry.rights, sizeof entry.rights, lower);
    entry.kind = kind;
    entry.mask = AclRightsMask(lower);
    return entry;
}

std::string AclIdentifier(const AclEntry& entry) {
    return FieldText(entry.identifier, sizeof entry.identifier);
}

std::string AclRights(const AclEntry& entry) {
    return FieldText(entry.rights, sizeof entry.rights);
}

HResult AclListAppend(AclList& list, const AclEntry& entry) {
    if (list.count >= list.capacity || !list.data) {
        const uint32_t capacity = list.data && list.capacity ? list.capacity : 0;
        if (capacity >= kMaxEntries) {
            return E_OUTOFMEMORY;
        }
        const uint32_t grown =
            capacity ? (capacity > kMaxEntries / 2 ? kMaxEntries : capacity * 2) : 1;
        void* block = std::realloc(list.data, static_cast<size_t>(grown) * sizeof(AclEntry));
        if (!block) {
            return E_OUTOFMEMORY;
        }
        list.data = static_cast<AclEntry*>(block);
        list.capacity = grown;
        if (list.count > capacity) {
            list.count = capacity;
        }
    }
    list.data[list.count++] = entry;
    return S_OK;
}

void AclListRemoveAt(AclList& list, uint32_t index) {
    if (!list.data || index >= list.count) {
        return;
    }
    std::memmove(list.data + index, list.data + index + 1,
                 (list.count - index - 1) * sizeof(AclEntry));
    --list.count;
}

void AclListClear(AclList& list) {
    list.count = 0;
}

void AclListFree(AclList& list) {
    std::free(list.data);
    list.data = nullptr;
    list.count = 0;
    list.capacity = 0;
}

namespace {

// The first pair of a reply names the owner when it holds the administer right.
HResult AppendAclPair(AclList& list, std::string_view identifier, std::string_view rights,
                      bool first) {
    uint32_t kind = first ? kAclKindOwner : kAclKindUser;
    if (identifier.front() == '[') {
        identifier.remove_prefix(1);
        if (!identifier.empty()) {
            identifier.remove_suffix(1);
        }
        ++kind;
    }
    AclEntry entry = MakeAclEntry(identifier, rights, kind);
    if (entry.kind == kAclKindOwner && !(entry.mask & kAclAdminFlag)) {
        entry.kind = kAclKindUser;
    }
    return AclListAppend(list, entry);
}

}  // namespace

HResult ParseAclReply(std::string_view reply, AclList& list) {
    AclListClear(list);
    bool first = true;
    net::ReplyLines lines(reply);
    std::string_view line;
    std::string stripped;
    while (lines.next(&line)) {
        line = net::WithoutCarriageReturns(line, &stripped);
        line = net::TrimBlanks(line);
        if (line.substr(0, 4) != "ACL ") {
            continue;
        }
        net::ReplyTokens tokens(line.substr(4));
        // A record's text ends at a zero byte; a token must not say more than the record keeps.
        auto field = [&tokens] {
            std::string_view token = tokens.next();
            return token.substr(0, token.find('\0'));
        };
        // A line names the mailbox, then one identifier and its rights after another (servers
        // such as Dovecot list them all on one line); every pair is an entry.
        std::string_view mailbox = field();
        do {
            std::string_view identifier = field();
            std::string_view rights = field();
            if (mailbox.empty() || identifier.empty() || rights.empty()) {
                AclListClear(list);
                return E_FAIL;
            }
            HResult appended = AppendAclPair(list, identifier, rights, first);
            first = false;
            if (Failed(appended)) {
                AclListClear(list);
                return appended;
            }
        } while (!tokens.rest().empty());
    }
    return S_OK;
}

bool AclSafeArgument(std::string_view text) {
    return net::ImapSafeArgument(text) && text.find('"') == std::string_view::npos;
}

HResult OpenAclSession(net::ImapSession& session, ui::Window parent, AccountSettings* account) {
    HResult result = session.connect();
    if (result == S_OK) {
        result = session.requireCapability(parent, "ACL");
    }
    if (result == S_OK) {
        result = session.login(&account->rememberPassword);
    }
    return result;
}

HResult ReadFolderAcl(net::ImapSession& session, const std::string& displayPath, AclList& list) {
    if (!AclSafeArgument(displayPath)) {
        return E_INVALIDARG;
    }
    std::string reply;
    HResult result = session.execute("GETACL \"" + ServerFolderName(displayPath) + "\"", &reply);
    if (result != S_OK) {
        return result;
    }
    return ParseAclReply(reply, list);
}

HResult WriteFolderAcl(ui::Window parent, const std::string& displayPath, AccountSettings* account,
                       AclList& list) {
    if (!account || !AclSafeArgument(displayPath)) {
        return E_INVALIDARG;
    }
    for (uint32_t i = 0; i < list.count; ++i) {
        if (!AclSafeArgument(AclIdentifier(list.data[i])) ||
            !AclSafeArgument(AclRights(list.data[i]))) {
            return E_INVALIDARG;
        }
    }
    const std::string folder = "\"" + ServerFolderName(displayPath) + "\"";

    // An Apply can come long after the page opened, when another export has taken its place.
    SetCurrentAccount(account);
    net::ImapSession session(account);
    HResult result = OpenAclSession(session, parent, account);
    if (result != S_OK) {
        return result;
    }
    for (uint32_t i = 0; i < list.count;) {
        std::string identifier = AclIdentifier(list.data[i]);
        if (identifier.empty() || identifier[0] != '-') {
            ++i;
            continue;
        }
        std::string wire =
            WireIdentifier(std::string_view(identifier).substr(1), list.data[i].kind);
        AclListRemoveAt(list, i);
        result = session.execute("DELETEACL " + folder + " \"" + wire + "\"", nullptr);
        if (result != S_OK) {
            break;
        }
    }

    if (!Failed(result)) {
        for (uint32_t i = 0; i < list.count; ++i) {
            std::string identifier = AclIdentifier(list.data[i]);
            // A removal that was not sent stays marked; "-name" must not reach SETACL, where it
            // would name negative rights.
            if (!identifier.empty() && identifier[0] == '-') {
                continue;
            }
            result = session.execute("SETACL " + folder + " \"" +
                                         WireIdentifier(identifier, list.data[i].kind) + "\" \"" +
                                         AclRights(list.data[i]) + "\"",
                                     nullptr);
            if (result != S_OK) {
                break;
            }
        }
    }

    return result;
}

std::string AclListText(const AclList& list) {
    std::string text;
    std::string all;
    for (uint32_t i = 0; list.data && i < list.count; ++i) {
        const AclEntry& entry = list.data[i];
        if (entry.kind == kAclKindOwner) {
            continue;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += WireIdentifier(AclIdentifier(entry), entry.kind);
        if ((entry.mask & kAclAllMask) == kAclAllMask) {
            if (all.empty()) {
                all = LoadText(kIdsAll);
            }
            text += " (" + all + ")";
        } else {
            text += " (" + AclRights(entry) + ")";
        }
    }
    return text;
}

}  // namespace wq

extern "C" {

WqResult WQ_API WqGetACL(WqWindow parent, AccountSettings* account, FolderAclList* request) {
    using namespace wq;
    if (!account || !request || (request->count && !request->data)) {
        return E_INVALIDARG;
    }
    // The whole request is checked before anything is sent.
    std::vector<std::string> names;
    names.reserve(request->count);
    for (uint32_t i = 0; i < request->count; ++i) {
        const FolderAcl& folder = request->data[i];
        const void* nul = std::memchr(folder.name, 0, sizeof folder.name);
        std::string name(folder.name,
                         nul ? static_cast<const char*>(nul) - folder.name : sizeof folder.name);
        if (!folder.acl || !AclSafeArgument(name)) {
            return E_INVALIDARG;
        }
        names.push_back(std::move(name));
    }

    SetCurrentAccount(account);
    net::ImapSession session(account);
    HResult result = OpenAclSession(session, parent, account);
    if (result != S_OK) {
        return result;
    }
    for (uint32_t i = 0; i < request->count; ++i) {
        FolderAcl& folder = request->data[i];
        if (session.broken()) {
            // Nothing more can be read on this connection; the remaining folders fail at once
            // instead of each waiting out the time-out.
            folder.result = E_FAIL;
            continue;
        }
        result = ReadFolderAcl(session, names[i], *folder.acl);
        folder.result = Failed(result) ? E_FAIL : S_OK;
    }
    return result;
}

int32_t WQ_API WqAclToString(const AclList* list, char* buffer) {
    std::string text = list ? wq::AclListText(*list) : std::string();
    if (buffer) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
    return static_cast<int32_t>(text.size() + 1);
}

}  // extern "C"
