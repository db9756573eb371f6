#include "net/transport.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/account.h"
#include "base/message.h"
#include "net/ssl.h"
#include "platform/ui.h"

namespace wq::net {
namespace {

using namespace platform;

// The process-wide transport state: one instance, no locks (exports never run concurrently).
struct TransportState {
    bool socketsStarted = false;    // this library started the sockets layer
    bool sslActive = false;         // the current socket carries SSL
    void* sslContext = nullptr;     // SSL_CTX of the library bound by BindSsl
    void* sslConnection = nullptr;  // SSL
    const SslApi* ssl = nullptr;    // the bound SSL library, once used
    // The receive buffer, sized to the socket's own receive buffer and only ever grown, so that
    // steady reading allocates nothing. Freed at process detach.
    std::unique_ptr<char[]> buffer;
    size_t capacity = 0;
};

// Never destroyed: process detach (TransportShutdown) may run after static destructors.
TransportState& State() {
    static TransportState* state = new TransportState;
    return *state;
}

constexpr uint32_t kDefaultTimeout = 30;

uint32_t AccountTimeout() {
    const AccountSettings* account = CurrentAccount();
    return account ? account->timeout : kDefaultTimeout;
}

// The last socket error as a result code; a failure even when no error number was recorded.
HResult SocketFailure() {
    int error = SocketLastError();
    return error > 0 ? ResultFromSocketError(error) : E_FAIL;
}

void ReleaseSsl(TransportState& s) {
    if (s.ssl) {
        if (s.sslConnection) {
            PipeSignalGuard guard;
            s.ssl->shutdown(s.sslConnection);
            s.ssl->sslFree(s.sslConnection);
        }
        if (s.sslContext) {
            s.ssl->ctxFree(s.sslContext);
        }
    }
    s.sslConnection = nullptr;
    s.sslContext = nullptr;
    s.sslActive = false;
}

}  // namespace

HResult TransportConnect(Socket* socket, const std::string& host, uint32_t port) {
    TransportState& s = State();
    *socket = kInvalidSocket;
    if (!s.socketsStarted) {
        // A host that already started the layer keeps it: no second start, no cleanup at detach.
        if (SocketLayerProbe() == kSocketNotInitialised) {
            if (SocketLayerStart() != 0) {
                return SocketFailure();
            }
            s.socketsStarted = true;
        }
    }
    uint32_t address = 0;
    if (!SocketResolveIPv4(host, &address)) {
        return SocketFailure();
    }
    *socket = SocketCreateTcp();
    if (*socket == kInvalidSocket) {
        return SocketFailure();
    }
    if (SocketConnect(*socket, address, static_cast<uint16_t>(port)) != 0) {
        return SocketFailure();
    }
    return S_OK;
}

HResult TransportStartSsl(Socket socket) {
    TransportState& s = State();
    // Objects left by an earlier connection (a failed handshake leaves them) go first.
    if (s.sslConnection || s.sslContext) {
        ReleaseSsl(s);
    }
    s.sslActive = false;
    const SslApi* api = BindSsl();
    if (!api) {
        return E_UNEXPECTED;
    }
    s.ssl = api;
    if (api->init() != 1) {
        return E_UNEXPECTED;
    }
    s.sslContext = api->ctxNew(api->clientMethod());
    if (!s.sslContext) {
        return E_UNEXPECTED;
    }
    s.sslConnection = api->sslNew(s.sslContext);
    if (!s.sslConnection) {
        return E_UNEXPECTED;
    }
    if (api->setFd(s.sslConnection, static_cast<int>(socket)) != 1) {
        return E_UNEXPECTED;
    }
    // The handshake runs on the non-blocking socket so that a server that never answers gets
    // the same time-out prompt as every other wait instead of holding the host forever.
    int connected = 0;
    if (SocketSetBlocking(socket, false) == 0) {
        for (;;) {
            {
                PipeSignalGuard guard;
                ClearSystemSocketError();
                connected = api->connect(s.sslConnection);
                if (connected != 1) {
                    RecordSystemSocketError();
                }
            }
            if (connected == 1 || SocketLastError() != kSocketWouldBlock ||
                TransportWait(socket, kInvalidSocket, true) <= 0) {
                break;
            }
        }
        if (SocketSetBlocking(socket, true) != 0) {
            connected = 0;
        }
    }
    if (connected != 1) {
        return E_UNEXPECTED;
    }
    s.sslActive = true;
    return S_OK;
}

int TransportWait(Socket readable, Socket writable, bool prompt) {
    const uint32_t timeout = AccountTimeout();
    for (;;) {
        int ready = SocketWait(readable, writable, timeout);
        if (ready != 0) {
            return ready;
        }
        if (!prompt) {
            return -1;
        }
        int answer = ShowMessage(nullptr, 1200, ui::kMbYesNo | ui::kMbIconQuestion,
                                 static_cast<int>(timeout), static_cast<int>(timeout));
        if (answer != ui::kIdYes) {
            return -1;
        }
    }
}

namespace {

// One write of what is left: the count written, 0 when the socket would block, -1 on failure.
int WriteSome(TransportState& s, Socket socket, const char* data, size_t size) {
    const int n = size > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(size);
    int sent;
    if (s.sslActive) {
        PipeSignalGuard guard;
        ClearSystemSocketError();
        // A write the socket cannot take yet is repeated later with the same bytes, as the SSL
        // library wants it.
        sent = s.ssl->write(s.sslConnection, data, n);
        if (sent <= 0) {
            RecordSystemSocketError();
            sent = -1;
        }
    } else {
        sent = SocketSend(socket, data, n);
    }
    if (sent == -1) {
        return SocketLastError() == kSocketWouldBlock ? 0 : -1;
    }
    return sent;
}

}  // namespace

int TransportSend(Socket socket, const std::string& text) {
    TransportState& s = State();
    if (socket == kInvalidSocket) {
        return -1;
    }
    // The socket does not block while sending, so that a server that stops reading meets the
    // same time-out prompt as a server that stops answering, after every full time-out, instead
    // of holding the host in one endless call.
    if (SocketSetBlocking(socket, false) != 0) {
        return -1;
    }
    size_t total = 0;
    int result = 0;
    while (total < text.size()) {
        if (TransportWait(kInvalidSocket, socket, true) <= 0) {
            result = -1;
            break;
        }
        const int sent = WriteSome(s, socket, text.data() + total, text.size() - total);
        if (sent < 0) {
            result = -1;
            break;
        }
        total += static_cast<size_t>(sent);
    }
    const int saved = SocketLastError();
    if (SocketSetBlocking(socket, true) != 0) {
        result = -1;
    }
    SocketSetLastError(saved);
    if (result < 0) {
        return -1;
    }
    return total > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(total);
}

int TransportReceivePiece(Socket socket, std::string_view* piece) {
    TransportState& s = State();
    *piece = {};
    if (socket == kInvalidSocket) {
        return -1;
    }
    if (TransportWait(socket, kInvalidSocket, true) <= 0) {
        return -1;
    }
    int wanted = 0;
    if (!SocketReceiveBufferSize(socket, &wanted)) {
        return -1;
    }
    if (wanted < 2) {
        wanted = 2;  // room for one byte and the terminator
    }
    if (s.capacity < static_cast<size_t>(wanted)) {
        s.buffer.reset();
        s.capacity = 0;
        s.buffer.reset(new (std::nothrow) char[static_cast<size_t>(wanted)]);
        if (!s.buffer) {
            return -1;
        }
        s.capacity = static_cast<size_t>(wanted);
    }
    const size_t limit = s.capacity - 1 > 0x7FFFFFFFu ? 0x7FFFFFFFu : s.capacity - 1;
    int got;
    if (s.sslActive) {
        PipeSignalGuard guard;
        ClearSystemSocketError();
        got = s.ssl->read(s.sslConnection, s.buffer.get(), static_cast<int>(limit));
        if (got < 0) {
            RecordSystemSocketError();
        }
    } else {
        got = SocketReceive(socket, s.buffer.get(), static_cast<int>(limit));
    }
    if (got < 0) {
        return SocketLastError() == kSocketWouldBlock ? 0 : -1;
    }
    s.buffer[static_cast<size_t>(got)] = '\0';
    *piece = std::string_view(s.buffer.get(), static_cast<size_t>(got));
    return got;
}

int TransportReceive(Socket socket, std::string& text, bool clear) {
    if (clear) {
        text.clear();
    }
    std::string_view piece;
    if (TransportReceivePiece(socket, &piece) < 0) {
        return -1;
    }
    // A zero byte in the data ends what is appended.
    piece = piece.substr(0, piece.find('\0'));
    text.append(piece.data(), piece.size());
    return static_cast<int>(piece.size());
}

int TransportClose(Socket* socket) {
    TransportState& s = State();
    const int saved = SocketLastError();
    if (s.sslActive) {
        ReleaseSsl(s);
    }
    if (*socket != kInvalidSocket) {
        SocketClose(*socket);
        *socket = kInvalidSocket;
    }
    SocketSetLastError(saved);
    return 0;
}

void TransportShutdown() {
    TransportState& s = State();
    if (s.socketsStarted) {
        SocketLayerStop();
        s.socketsStarted = false;
    }
    s.buffer.reset();
    s.capacity = 0;
}

void TransportUseSslLibrary(const std::string& name) {
    TransportState& s = State();
    ReleaseSsl(s);
    s.ssl = nullptr;
    SetSslLibraryName(name);
}

int TransportLastError() {
    return SocketLastError();
}

void TransportSetLastError(int error) {
    SocketSetLastError(error);
}

bool TransportSocketsStarted() {
    return State().socketsStarted;
}

bool TransportSslActive() {
    return State().sslActive;
}

size_t TransportReceiveBufferCapacity() {
    return State().capacity;
}

}  // namespace wq::net
