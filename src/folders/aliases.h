// Aliases: names under which the server delivers mail into one of the user's folders or into a
// shared folder, listed, added and removed with the server's X-LISTMAP, X-SETMAP and X-DELETEMAP.
//
// On the wire a folder of the user's own carries "~" in front of its server name; shared folders
// begin with "#". Alias and folder names travel in modified UTF-7.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace wq {

inline constexpr uint32_t kAliasKindOwn = 1;     // a folder of the user's own
inline constexpr uint32_t kAliasKindShared = 2;  // a folder whose server name begins with "#"

// One alias as listed: texts in the local code page, the folder as the user sees it.
struct AliasEntry {
    uint32_t kind = kAliasKindOwn;
    std::string folder;
    std::string alias;
};

// The entries of an X-LISTMAP reply text, in reply order. Lines of any other shape are skipped.
// Pure; no I/O. The array grows by doubling from one entry.
std::vector<AliasEntry> ParseAliasList(std::string_view reply);

// The command lines of WqAddAlias and WqRemoveAlias. False (the export answers E_INVALIDARG
// and sends nothing) when an argument is unusable: blank when adding, or holding CR, LF, NUL or
// a double quote.
bool BuildSetMapCommand(std::string_view folder, std::string_view alias, std::string* command);
bool BuildDeleteMapCommand(std::string_view alias, std::string* command);

}  // namespace wq
