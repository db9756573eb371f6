// Arbitrary server bytes through the GETACL reader, both as a reply text and as raw lines that
// the session collects first. The reader must succeed or fail with an empty list, and every
// record it fills must be one a host can read: terminated fields, lower-case rights within the
// record's widths, a known kind, the mask of its rights, the owner only first and only with the
// administer right. The rendering must report the size it writes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "folders/acl.h"
#include "net/imap.h"

namespace {

// Names the broken rule before stopping, for the triage of a crash file.
#define check(condition)                                                          \
    do {                                                                          \
        if (!(condition)) {                                                       \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

void checkList(const AclList& list, wq::HResult result) {
    check(result == wq::S_OK || result == wq::E_FAIL);
    if (result == wq::E_FAIL) {
        check(list.count == 0);
    }
    check(list.count <= list.capacity);
    for (uint32_t i = 0; i < list.count; ++i) {
        const AclEntry& e = list.data[i];
        check(std::memchr(e.identifier, 0, sizeof e.identifier) != nullptr);
        check(std::memchr(e.rights, 0, sizeof e.rights) != nullptr);
        const std::string rights = wq::AclRights(e);
        check(!rights.empty());
        for (char c : rights) {
            check(!(c >= 'A' && c <= 'Z'));
        }
        check(e.kind <= wq::kAclKindGroup);
        check(e.mask == wq::AclRightsMask(rights));
        if (e.kind == wq::kAclKindOwner) {
            check(i == 0 && (e.mask & wq::kAclAdminFlag));
        }
    }
    const int32_t size = WqAclToString(&list, nullptr);
    std::vector<char> buffer(static_cast<size_t>(size) + 16, '\x7f');
    check(WqAclToString(&list, buffer.data()) == size);
    check(std::strlen(buffer.data()) == static_cast<size_t>(size) - 1);
    check(buffer[static_cast<size_t>(size)] == '\x7f');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    AclList list{nullptr, 0, 0};
    checkList(list, wq::ParseAclReply(text, list));

    // The same bytes as the server sent them, cut in two where the first byte says.
    std::string reply;
    wq::net::ImapReplyReader reader(false, &reply);
    const size_t cut = size ? data[0] % (size + 1) : 0;
    if (!reader.feed(text.substr(0, cut))) {
        reader.feed(text.substr(cut));
    }
    checkList(list, wq::ParseAclReply(reply, list));
    wq::AclListFree(list);
    return 0;
}
