// The user's address book as the platform keeps it: the mail users it holds, each a display
// name and an e-mail address. Read afresh each time; nothing of it stays loaded between reads.
//
// Windows: the Windows Address Book. Its library is the file that the machine-wide registry
// value "Software\Microsoft\WAB\DLLPath" (default value) names; it is loaded for the read and
// freed before the read returns. WABOpen opens the default address book, and the rows of the
// personal address book's contents table (local containers), sorted by display name, give the
// mail users; distribution lists and other kinds of entry are left out.
//
// Elsewhere: vCard files, the format every address book exports. The environment variable
// WQ_CONTACTS names a .vcf file or a folder whose *.vcf files are read in name order; without
// it the folder is $XDG_DATA_HOME/contacts, or ~/.local/share/contacts. Contact groups
// (distribution lists) are left out.
#pragma once

#include <string>
#include <vector>

namespace wq::platform {

// One mail user. Texts are in the ANSI code page; either may be empty.
struct Contact {
    std::string name;
    std::string email;
};

// Appends the mail users of the user's address book to `contacts`, in the address book's
// order. `owner` is the window the address book's own prompts belong to (a ui::Window; may be
// null). Nothing is reported: a missing address book adds nothing, and a failure part way keeps
// the contacts read before it.
void ReadAddressBook(void* owner, std::vector<Contact>* contacts);

}  // namespace wq::platform
