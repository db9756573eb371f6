// Feeds arbitrary bytes to one IMAP session over a small store. The first byte picks the faults
// and where the input is cut into two deliveries, so that line and literal reassembly across
// pieces is exercised too.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "qorvad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    qorvad::Mailstore store;
    store.addUser("jdoe", "pw");
    store.addFolder("jdoe", "INBOX/Work");
    store.addFolder("", "#public", true, false);
    store.addFolder("", "#public/Team");
    store.setAcl("", "#public/Team", "anyone", "lr");
    store.addMessage("jdoe", "INBOX", "one", {"\\Seen"});
    store.addMessage("jdoe", "INBOX", "two", {"\\Deleted"});

    qorvad::Faults faults;
    faults.badOnEmptyLine = (data[0] & 1) != 0;
    faults.lowerCaseStatus = (data[0] & 2) != 0;
    faults.zeroByteInData = (data[0] & 4) != 0;
    faults.announceAcl = (data[0] & 8) == 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t cut = input.empty() ? 0 : (data[0] >> 4) * input.size() / 16;

    // Most inputs start logged in, so that the commands behind LOGIN are reached.
    qorvad::Session session(store, faults, false);
    session.greeting();
    std::vector<qorvad::Reply> replies;
    if ((data[0] & 0x10) == 0)
        session.feed("A LOGIN jdoe pw\r\n", replies);
    if (session.feed(input.substr(0, cut), replies))
        session.feed(input.substr(cut), replies);
    for (const qorvad::Reply& r : replies) {
        if (r.text.empty() || (r.body && r.bodyAt > r.text.size()))
            __builtin_trap();  // every reply carries bytes; a body goes inside the text
    }
    return 0;
}
