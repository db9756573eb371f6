// The user's subscribed folders as the server lists them with LSUB "" "*".
//
// The listing reads the reply text of the IMAP session (untagged data lines without their "* ",
// the tagged completion as the last line) and turns each line of the form
//     LSUB () "/" "INBOX/Work"            a selectable folder
//     LSUB (\Noselect) "/" "#public"      a folder that cannot be selected
// into a FolderEntry. Names arrive in modified UTF-7 and are kept in the ANSI code page.
#pragma once

#include <string>
#include <vector>

#include "base/result.h"

namespace wq {

// One subscribed folder.
struct FolderEntry {
    std::string serverName;  // full server name, ANSI, "/" between levels
    std::string leaf;        // the part after the last "/" (the whole name at the top level)
    int depth = 0;           // the number of "/" in the server name
    bool selectable = true;  // false when listed with \Noselect
};

// The listing command, as sent after the tag.
inline constexpr const char* kListSubscribedCommand = "LSUB \"\" \"*\"";

// Turns the reply text of LSUB into entries, in the order of the reply. Names are decoded from
// modified UTF-7 one by one, so that a malformed name (a base64 run left open, a raw 8-bit byte,
// an encoded zero) spoils only itself and not the rest of the listing; for well-formed names
// this is the same as decoding the whole text. The last line (the command's completion) is
// dropped, and so are lines of any other shape (another hierarchy delimiter, names sent as
// literals) and names that come out empty. Every double quote is removed from a name, so a
// quote inside a name is lost, never the rest of the name.
std::vector<FolderEntry> ParseFolderList(const std::string& reply);

// LSUB "" "*" on a fresh connection to the CurrentAccount (connect, greeting, login, the
// command, LOGOUT). S_OK with the entries (an empty reply gives an empty list), or the failure
// of the command or of the first step that failed, with `folders` emptied.
HResult ListFolders(std::vector<FolderEntry>* folders);

}  // namespace wq
