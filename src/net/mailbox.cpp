#include "net/mailbox.h"

#include <string>

#include "base/account.h"
#include "base/text.h"
#include "net/imap.h"

namespace wq::net {
namespace {

// Connect, greeting, LOGIN, SELECT, the command, LOGOUT, close. The logon dialog gets no
// remember pointer: these operations never change the record.
HResult RunOnFolder(AccountSettings* account, const std::string& serverName,
                    const std::string& command) {
    if (!account) {
        return E_INVALIDARG;
    }
    SetCurrentAccount(account);
    // A line break in the name would end the SELECT line early and let the rest run as a
    // command of its own.
    if (!ImapSafeArgument(serverName)) {
        return E_INVALIDARG;
    }
    ImapSession session(account);
    HResult result = session.open(nullptr);
    if (result == S_OK) {
        // A folder the server does not know is answered NO; the connection is then simply closed.
        result = session.execute(FormatText(kSelectFormat, serverName), nullptr);
        if (result != S_OK) {
            session.close(false);
            return result;
        }
        result = session.execute(command, nullptr);
    }
    return result;
}

}  // namespace

HResult ImapSetSeenAll(AccountSettings* account, const std::string& serverName, bool set) {
    return RunOnFolder(account, serverName, FormatText(kStoreSeenFormat, set ? "+" : "-"));
}

HResult ImapExpungeFolder(AccountSettings* account, const std::string& serverName) {
    return RunOnFolder(account, serverName, kExpungeCommand);
}

}  // namespace wq::net
