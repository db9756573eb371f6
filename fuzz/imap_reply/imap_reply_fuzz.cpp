// The IMAP reply reader over arbitrary server bytes, cut into received pieces as the input
// says, then the capability search over the reply text it made.
//
// Input: byte 0 chooses the greeting read (bit 0) and how the rest is cut (the other bits give a
// piece length, 0 meaning one piece); the rest is what the server sent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/imap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool greeting = data[0] & 1;
    const size_t pieceLength = data[0] >> 1;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string reply;
    wq::net::ImapReplyReader reader(greeting, &reply);
    size_t offered = 0;  // characters handed to the reader
    size_t pos = 0;
    while (pos < bytes.size() && !reader.done()) {
        size_t n =
            pieceLength == 0 ? bytes.size() - pos : std::min(pieceLength, bytes.size() - pos);
        std::string_view piece = bytes.substr(pos, n);
        offered += std::min(piece.size(), piece.find('\0'));
        reader.feed(piece);
        pos += n;
    }
    // The reply text only ever drops bytes and adds one line feed per line it saw complete.
    if (reply.size() > 2 * offered + 1) {
        std::abort();
    }
    const wq::HResult r = reader.result();
    if (!reader.done() && r != wq::E_UNEXPECTED) {
        std::abort();
    }
    wq::net::ImapHasCapability(reply, "ACL");
    wq::net::ImapHasCapability(reply, std::string(bytes.substr(0, 8)));
    return 0;
}
