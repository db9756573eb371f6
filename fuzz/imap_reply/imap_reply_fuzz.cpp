// The IMAP reply reader over arbitrary server bytes, cut into received pieces as the input
// says and compared with the same bytes read in one piece, then the capability search over the
// reply text it made.
//
// Input: byte 0 chooses the greeting read (bit 0) and how the rest is cut (the other bits give a
// piece length, 0 meaning one piece); the rest is what the server sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/imap.h"

namespace {

struct Outcome {
    wq::HResult result;
    std::string reply;
    bool done;
};

// Reads the server's bytes in pieces of `pieceLength` (0: one piece), then as if the peer closed.
Outcome Read(bool greeting, std::string_view bytes, size_t pieceLength) {
    Outcome out{0, {}, false};
    wq::net::ImapReplyReader reader(greeting, &out.reply);
    size_t pos = 0;
    while (pos < bytes.size() && !reader.done()) {
        size_t n =
            pieceLength == 0 ? bytes.size() - pos : std::min(pieceLength, bytes.size() - pos);
        reader.feed(bytes.substr(pos, n));
        pos += n;
    }
    reader.finish();
    out.result = reader.result();
    out.done = reader.done();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool greeting = data[0] & 1;
    const size_t pieceLength = data[0] >> 1;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const Outcome cut = Read(greeting, bytes, pieceLength);
    // However the reply is cut, the outcome is that of the reply read in one piece.
    const Outcome whole = Read(greeting, bytes, 0);
    if (cut.result != whole.result || cut.reply != whole.reply || cut.done != whole.done) {
        std::abort();
    }
    // The reply text only ever drops bytes and adds one line feed per line it saw.
    if (cut.reply.size() > 2 * bytes.size() + 1) {
        std::abort();
    }
    if (!cut.done && cut.result != wq::E_UNEXPECTED) {
        std::abort();
    }
    wq::net::ImapHasCapability(cut.reply, "ACL");
    wq::net::ImapHasCapability(cut.reply, std::string(bytes.substr(0, 8)));
    return 0;
}
