#include "net/mailbox.h"

#include <string>

#include "folders/folder_names.h"
#include "net/imap.h"
#include "runtime/account.h"
#include "runtime/text.h"
#include "text/charset.h"

namespace wq::net {
namespace {

// Connect, greeting, LOGIN, SELECT, the command, LOGOUT, close. The logon dialog gets no
// remember pointer: these operations never change the record.
HResult RunOnFolder(AccountSettings* account, const char* folder, const std::string& command) {
    if (!account || !folder) {
        return E_INVALIDARG;
    }
    SetCurrentAccount(account);
    const std::string serverName = ansiToMutf7(MapDisplayToServer(folder));
    // A line break in the name would end the SELECT line early and let the rest run as a
    // command of its own.
    if (!ImapSafeArgument(folder) || !ImapSafeArgument(serverName)) {
        return E_INVALIDARG;
    }
    Socket socket = kInvalidSocket;
    HResult result = ImapOpenSession(&socket, account, nullptr, nullptr);
    if (result == S_OK) {
        // A folder the server does not know is answered NO; the connection is then simply closed.
        result = ImapExecute(socket, FormatText(kSelectFormat, serverName.c_str()), nullptr);
        if (result == S_OK) {
            result = ImapExecute(socket, command, nullptr);
            ImapExecute(socket, "LOGOUT", nullptr);
        }
    }
    TransportClose(&socket);
    return result;
}

}  // namespace

HResult ImapSetSeenAll(AccountSettings* account, const char* folder, bool set) {
    return RunOnFolder(account, folder, FormatText(kStoreSeenFormat, set ? "+" : "-"));
}

HResult ImapExpungeFolder(AccountSettings* account, const char* folder) {
    return RunOnFolder(account, folder, kExpungeCommand);
}

}  // namespace wq::net

extern "C" {

WqResult WQ_API WqSetAllRead(AccountSettings* account, const char* folder) {
    return wq::net::ImapSetSeenAll(account, folder, true);
}

WqResult WQ_API WqSetAllUnread(AccountSettings* account, const char* folder) {
    return wq::net::ImapSetSeenAll(account, folder, false);
}

WqResult WQ_API WqExpunge(AccountSettings* account, const char* folder) {
    return wq::net::ImapExpungeFolder(account, folder);
}

}  // extern "C"
