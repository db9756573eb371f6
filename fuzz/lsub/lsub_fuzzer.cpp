// Arbitrary bytes as the reply text of LSUB, directly and as a server's reply read through the
// session's line reader. Every entry must be consistent: a name that is not empty, its depth
// the number of "/" in it, its leaf the text after the last "/". Appending a well-formed line
// and a completion must add exactly that folder at the end: nothing in front of them may
// swallow them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "folders/folder_list.h"
#include "net/imap.h"

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

void checkEntries(const std::vector<wq::FolderEntry>& entries) {
    for (const wq::FolderEntry& e : entries) {
        check(!e.serverName.empty());
        check(e.depth == std::count(e.serverName.begin(), e.serverName.end(), '/'));
        const size_t slash = e.serverName.rfind('/');
        check(e.leaf ==
              (slash == std::string::npos ? e.serverName : e.serverName.substr(slash + 1)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkEntries(wq::ParseFolderList(text));

    // A well-formed last line after whatever came before, on a line of its own.
    const std::vector<wq::FolderEntry> entries =
        wq::ParseFolderList(text + "\r\nLSUB (\\Noselect) \"/\" \"Z&AOk-/Tail\"\r\nOK LSUB done.");
    checkEntries(entries);
    check(!entries.empty());
    check(entries.back().serverName == "Z\xE9/Tail" && !entries.back().selectable);

    // The same bytes as a server's reply, through the reader, in two pieces.
    std::string reply;
    wq::net::ImapReplyReader reader(false, &reply);
    reader.feed(text.substr(0, size / 2));
    if (!reader.done()) {
        reader.feed(text.substr(size / 2));
    }
    checkEntries(wq::ParseFolderList(reply));
    return 0;
}
