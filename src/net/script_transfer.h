// The user's Sieve script on the server: X-GETSCRIPT fetches the active script, X-PUTSCRIPT
// replaces it. Each transfer is one command on a connection of its own (ImapRunCommand with the
// CurrentAccount); nothing is held open between a fetch and a store.
#pragma once

#include <string>

#include "base/result.h"

namespace wq::net {

inline constexpr const char* kGetScriptCommand = "X-GETSCRIPT";

// The script out of the reply text of X-GETSCRIPT: the server sends one line that announces the
// script, the script, then the tagged completion, which the session leaves as the last line.
// When the announcing line ends with a literal "{n}", the script is those n bytes exactly, with
// every line as the server keeps it; otherwise it is what lies between the first and the last
// line, trimmed. Converted from UTF-8 to the ANSI code page. E_FAIL when the reply has no line
// feed where one is needed.
HResult ExtractScript(const std::string& reply, std::string* script);

// Fetches the active script (ANSI). S_OK with the script (possibly empty); a result above 0
// (server NO, logon cancelled, greeting NO, BAD or BYE) or a failure code is handed back as it
// came, with `script` emptied; E_FAIL when the reply holds no script lines at all.
HResult FetchScript(std::string* script);

// The store command for a UTF-8 script: "X-PUTSCRIPT {n+}\r\n", the n bytes of the script and
// "\r\n", one piece, since the length is a non-synchronizing literal.
std::string StoreScriptCommand(const std::string& utf8Script);

// Replaces the active script with the UTF-8 text. The result of ImapRunCommand.
HResult StoreScript(const std::string& utf8Script);

}  // namespace wq::net
