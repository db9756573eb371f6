// Access control lists of IMAP folders: reading one folder's list with GETACL, writing an edited
// list back with DELETEACL and SETACL, and rendering a list as one line of text.
//
// Memory of an AclList (this crosses the exported interface):
//   `data` is a block of the C runtime's heap (malloc/realloc/free; msvcrt.dll in the Windows
//   builds). The library grows it with realloc, doubling the capacity when the list is full,
//   the first allocation holding one entry. A host that hands an AclList to WqGetACL gives it
//   either empty (data null, count and capacity 0) or with a data block it got from malloc of
//   the same C runtime, holding `capacity` entries; afterwards the host owns the block and frees
//   it with free() (AclListFree inside the library). Reading a folder empties the list but keeps
//   its block. A list whose block did not come from malloc must not be given to the library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"
#include "net/imap.h"
#include "platform/ui.h"
#include "wqrt.h"

namespace wq {

// One row of the rights table: the letter and its mask flag. The reader and the renderer walk
// the table in this order.
struct AclRight {
    char letter;
    uint16_t flag;
};
inline constexpr AclRight kAclRights[] = {
    {'l', 0x100}, {'r', 0x080}, {'s', 0x040}, {'w', 0x020}, {'i', 0x010},
    {'p', 0x008}, {'c', 0x004}, {'d', 0x002}, {'a', 0x001},
};
inline constexpr uint16_t kAclAdminFlag = 0x001;
// Every right except keep-seen (s) and post (p): a list entry holding these renders as "All".
inline constexpr uint16_t kAclAllMask = 0x100 | 0x080 | 0x020 | 0x010 | 0x004 | 0x002 | 0x001;

inline constexpr uint32_t kAclKindOwner = 0;
inline constexpr uint32_t kAclKindUser = 1;
inline constexpr uint32_t kAclKindGroup = 2;

// The longest identifier and rights text a record holds (the fields keep a terminator).
inline constexpr size_t kAclIdentifierMax = sizeof(AclEntry::identifier) - 1;  // 127
inline constexpr size_t kAclRightsMax = sizeof(AclEntry::rights) - 1;          // 15

// The flags of the rights letters; letters outside the table add nothing.
uint16_t AclRightsMask(std::string_view rights);

// A record with the identifier cut to 127 characters, the rights cut to 15 and in lower case,
// the kind and the mask of those rights.
AclEntry MakeAclEntry(std::string_view identifier, std::string_view rights, uint32_t kind);

// The texts of a record's fixed fields (up to the terminator, or the whole field without one).
std::string AclIdentifier(const AclEntry& entry);
std::string AclRights(const AclEntry& entry);

// AclList storage (see the memory note above). Append: E_OUTOFMEMORY when the block cannot
// grow, the list unchanged then. RemoveAt moves the following entries up. Clear keeps the block;
// Free releases it and leaves the list empty.
HResult AclListAppend(AclList& list, const AclEntry& entry);
void AclListRemoveAt(AclList& list, uint32_t index);
void AclListClear(AclList& list);
void AclListFree(AclList& list);

// Parses the reply text of GETACL into `list` (emptied first): one entry per line that begins
// with "ACL ", from its mailbox, identifier and rights tokens; the first such line is the owner
// when it holds the administer right; a bracketed identifier is a group. A line lacking one of
// the three tokens fails the whole read: E_FAIL and an empty list. Pure; no I/O.
HResult ParseAclReply(std::string_view reply, AclList& list);

// True when the text may stand between the double quotes of a command: no CR, LF, NUL, and no
// double quote (arguments are sent without escaping, so a quote would end the argument early).
bool AclSafeArgument(std::string_view text);

// Reads one folder's list on a logged-in connection: GETACL, then ParseAclReply. A result other
// than 0 from the command is returned with the list left as it was. E_INVALIDARG, with nothing
// sent, for a folder name that is not a safe argument.
HResult ReadFolderAcl(net::ImapSession& session, const std::string& displayPath, AclList& list);

// Opens a session for the access control commands: connect, the ACL capability (message 137 on
// `parent` without it), LOGIN with the logon dialog, which may change the record's
// remember-password flag.
HResult OpenAclSession(net::ImapSession& session, ui::Window parent, AccountSettings* account);

// Writes an edited list on a connection of its own (ImapConnectWithAcl on `parent`, logon,
// LOGOUT): first DELETEACL for each entry whose identifier begins with "-" (removing it from the
// list), then SETACL with the rights text of every remaining entry; group identifiers go in
// brackets. A NO ends the removal pass but not the write; a failure ends it; any result other
// than 0 ends the SETACL pass. Entries still marked "-" after a removal pass stopped early are
// not sent with SETACL. Returns the result of the last command sent, 0 when none was sent.
// E_INVALIDARG, with nothing sent, when the folder, an identifier or a rights text is unsafe.
HResult WriteFolderAcl(ui::Window parent, const std::string& displayPath, AccountSettings* account,
                       AclList& list);

// One line: every entry except the owner, "identifier (rights)" joined with ", ", groups in
// brackets, "All" (string 500) for full rights. Empty for an empty list or only the owner.
std::string AclListText(const AclList& list);

}  // namespace wq
