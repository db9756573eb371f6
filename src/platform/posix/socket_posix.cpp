// Sockets on POSIX: BSD sockets with Windows Sockets error numbers.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace wq::platform {
namespace {

// Winsock keeps its last error per thread; so do we.
thread_local int tLastError = 0;

// errno -> Windows Sockets error number (WSABASEERR 10000 + the BSD number on Windows).
int FromErrno(int e) {
    switch (e) {
        case 0:
            return 0;
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EAGAIN:
            return 10035;
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
#if EOPNOTSUPP != ENOTSUP
        case ENOTSUP:
#endif
        case EOPNOTSUPP:
            return 10045;
        case EPFNOSUPPORT:
            return 10046;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        // Windows reports a write to a connection the peer has reset as WSAECONNRESET.
        case EPIPE:
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETOOMANYREFS:
            return 10059;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case ELOOP:
            return 10062;
        case ENAMETOOLONG:
            return 10063;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        default:
            return e > 0 ? 10000 + e : e;
    }
}

// getaddrinfo's codes -> the errors gethostbyname reports on Windows.
int FromResolver(int code) {
    switch (code) {
        case EAI_AGAIN:
            return 11002;  // WSATRY_AGAIN
        case EAI_FAIL:
            return 11003;  // WSANO_RECOVERY
#ifdef EAI_NODATA
        case EAI_NODATA:
            return 11004;  // WSANO_DATA
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return 11004;
#endif
        case EAI_MEMORY:
            return 10055;
        case EAI_SYSTEM:
            return FromErrno(errno);
        default:
            return 11001;  // WSAHOST_NOT_FOUND
    }
}

void SetFromErrno() {
    tLastError = FromErrno(errno);
}

int Fd(Socket s) {
    return static_cast<int>(s);
}

}  // namespace

int SocketLayerProbe() {
    return 0;
}

int SocketLayerStart() {
    return 0;
}

void SocketLayerStop() {}

bool SocketResolveIPv4(const std::string& host, uint32_t* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (rc != 0 || !list) {
        tLastError = rc != 0 ? FromResolver(rc) : 11001;
        return false;
    }
    const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    *address = in->sin_addr.s_addr;
    freeaddrinfo(list);
    return true;
}

Socket SocketCreateTcp() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        SetFromErrno();
        return kInvalidSocket;
    }
    return static_cast<Socket>(fd);
}

int SocketConnect(Socket s, uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (::connect(Fd(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        return 0;
    }
    if (errno != EINTR) {
        SetFromErrno();
        return -1;
    }
    // An interrupted connect goes on in the background; wait for its outcome like Winsock.
    pollfd p{Fd(s), POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0) {
        if (errno != EINTR) {
            SetFromErrno();
            return -1;
        }
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
        SetFromErrno();
        return -1;
    }
    if (error != 0) {
        tLastError = FromErrno(error);
        return -1;
    }
    return 0;
}

int SocketWait(Socket readable, Socket writable, uint32_t seconds) {
    pollfd p[2];
    nfds_t n = 0;
    if (readable != kInvalidSocket) {
        p[n++] = pollfd{Fd(readable), POLLIN, 0};
    }
    if (writable != kInvalidSocket) {
        p[n++] = pollfd{Fd(writable), POLLOUT, 0};
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const long long total = static_cast<long long>(seconds) * 1000;
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        long long elapsed =
            (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
        long long left = total - elapsed;
        if (left < 0) {
            left = 0;
        }
        int rc = ::poll(p, n, left > INT_MAX ? INT_MAX : static_cast<int>(left));
        if (rc >= 0) {
            if (rc == 0 && left > INT_MAX) {
                continue;  // a wait longer than poll can take in one call
            }
            // select counts ready sockets; an error or hang-up makes a socket "ready" there too.
            return rc;
        }
        if (errno != EINTR) {
            SetFromErrno();
            return -1;
        }
    }
}

int SocketSend(Socket s, const char* data, int size) {
    ssize_t n = ::send(Fd(s), data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (n < 0) {
        SetFromErrno();
        return -1;
    }
    return static_cast<int>(n);
}

int SocketReceive(Socket s, char* buffer, int size) {
    ssize_t n;
    do {
        n = ::recv(Fd(s), buffer, static_cast<size_t>(size), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SetFromErrno();
        return -1;
    }
    return static_cast<int>(n);
}

int SocketSetBlocking(Socket s, bool blocking) {
    int flags = ::fcntl(Fd(s), F_GETFL, 0);
    if (flags < 0 ||
        ::fcntl(Fd(s), F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) < 0) {
        SetFromErrno();
        return -1;
    }
    return 0;
}

bool SocketReceiveBufferSize(Socket s, int* size) {
    int value = 0;
    socklen_t len = sizeof value;
    if (::getsockopt(Fd(s), SOL_SOCKET, SO_RCVBUF, &value, &len) != 0) {
        SetFromErrno();
        return false;
    }
    *size = value;
    return true;
}

void SocketClose(Socket s) {
    if (s != kInvalidSocket) {
        ::close(Fd(s));
    }
}

int SocketLastError() {
    return tLastError;
}

void SocketSetLastError(int error) {
    tLastError = error;
}

void ClearSystemSocketError() {
    errno = 0;
}

void RecordSystemSocketError() {
    SetFromErrno();
}

PipeSignalGuard::PipeSignalGuard() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    sigset_t old;
    sigemptyset(&old);
    if (pthread_sigmask(SIG_BLOCK, &pipe, &old) == 0) {
        blocked_ = sigismember(&old, SIGPIPE) != 1;
    }
}

PipeSignalGuard::~PipeSignalGuard() {
    if (!blocked_) {
        return;  // SIGPIPE was blocked by the caller already: leave it alone
    }
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    if (!wasPending_) {
        // Swallow the SIGPIPE our own write raised, so that it is not delivered on unblocking.
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            const timespec zero{0, 0};
            int saved = errno;
            while (sigtimedwait(&pipe, nullptr, &zero) < 0 && errno == EINTR) {
            }
            errno = saved;
        }
    }
    pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}

}  // namespace wq::platform
