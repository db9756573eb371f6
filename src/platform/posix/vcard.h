// A reader of vCard text (versions 2.1, 3.0 and 4.0), the format address books export their
// contacts in. The text comes from files anyone may have written, so the reader accepts any
// bytes: lines it does not understand are skipped, never trusted.
#pragma once

#include <string_view>
#include <vector>

#include "platform/address_book.h"

namespace wq::platform {

// The individual contacts of every card in `text`, in order, with texts in UTF-8.
//
// A card runs from BEGIN:VCARD to END:VCARD (or to the end of the text); cards inside a card
// (2.1 agents) are skipped with their content. Folded lines are joined, and so are the soft
// line breaks of quoted-printable values. Values are decoded from quoted-printable or base64
// when their parameters say so, converted from the character set a CHARSET parameter names,
// and unescaped; line breaks and other control characters inside a value become spaces, and
// blanks are trimmed on both sides.
//
// The name is FN, or "given family" from N when FN is missing or empty. The e-mail address is
// the most preferred EMAIL (PREF=n, lowest first; TYPE=PREF or a bare PREF counts as 1), the
// first among equals. Groups (KIND:group, X-ADDRESSBOOKSERVER-KIND:group, X-EVOLUTION-LIST:TRUE)
// and cards with neither a name nor an address are left out.
std::vector<Contact> ParseVCardContacts(std::string_view text);

}  // namespace wq::platform
