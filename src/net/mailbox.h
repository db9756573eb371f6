// Commands on a whole folder: mark every message seen or unseen, and expunge. Each call opens
// its own connection, logs in, selects the folder, runs its one command, logs out and closes.
//
// The folder name is the server's (mapped from its display form and encoded in modified UTF-7 by
// the caller) and goes inside double quotes, unescaped.
#pragma once

#include <string>

#include "base/result.h"
#include "wqrt.h"

namespace wq::net {

// The command texts; SELECT and STORE end in a line feed of their own, so on the wire they end
// in LF CR LF.
inline constexpr const char* kSelectFormat = "SELECT \"%s\"\n";
inline constexpr const char* kStoreSeenFormat = "STORE 1:* %sFLAGS (\\Seen)\n";
inline constexpr const char* kExpungeCommand = "EXPUNGE";

// Sets (`set`) or clears the \Seen flag on every message of the folder.
// Results: 0 done; 1 the server said NO (SELECT, STORE) or the user cancelled the logon dialog;
// 2 or 3 a BAD or BYE greeting; E_INVALIDARG for a null record, a folder name holding
// CR, LF or NUL (nothing is sent then), a BAD reply or an account with SPA; E_ABORT for a tagged
// BYE; E_UNEXPECTED for a reply without its tagged line or a failed SSL set-up; a converted
// socket error when the connection failed. A failed SELECT closes without LOGOUT.
HResult ImapSetSeenAll(AccountSettings* account, const std::string& serverName, bool set);

// Expunges the folder; the same steps and results with EXPUNGE in place of STORE.
HResult ImapExpungeFolder(AccountSettings* account, const std::string& serverName);

}  // namespace wq::net
