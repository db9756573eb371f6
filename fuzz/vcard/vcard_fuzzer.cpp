// Arbitrary bytes as a vCard file. Every contact must be one a list can show: a name or an
// address, each on one line and trimmed. A well-formed card in front of the bytes, ended by an
// empty line, must come out first and unchanged whatever follows it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/vcard.h"

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

void checkText(const std::string& text) {
    for (char c : text) {
        check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    check(text.empty() || (text.front() != ' ' && text.back() != ' '));
}

void checkContacts(const std::vector<wq::platform::Contact>& contacts) {
    for (const wq::platform::Contact& c : contacts) {
        check(!c.name.empty() || !c.email.empty());
        checkText(c.name);
        checkText(c.email);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkContacts(wq::platform::ParseVCardContacts(text));

    const std::vector<wq::platform::Contact> contacts = wq::platform::ParseVCardContacts(
        "BEGIN:VCARD\r\nFN:Known \\, One\r\nEMAIL;PREF=1:k@x\r\nEND:VCARD\r\n\r\n" + text);
    checkContacts(contacts);
    check(!contacts.empty() && contacts[0].name == "Known , One" && contacts[0].email == "k@x");
    return 0;
}
