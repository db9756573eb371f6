// Windows Sockets as the transport uses them: blocking IPv4 TCP sockets, one wait for
// readiness, and the last socket error.
//
// Errors are Windows Sockets error numbers on every platform (10061 for a refused connection,
// 10035 for a call that would block, 11001 for an unknown host ...), so that a host sees the
// same result codes whichever build it runs. The POSIX backend maps errno and the resolver's
// codes onto them and keeps its own last error per thread, like Winsock does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wq::platform {

// A socket handle (SOCKET on Windows, a file descriptor elsewhere).
using Socket = uintptr_t;
inline constexpr Socket kInvalidSocket = ~static_cast<Socket>(0);

// Windows Sockets error numbers the transport looks at.
inline constexpr int kSocketWouldBlock = 10035;         // WSAEWOULDBLOCK
inline constexpr int kSocketNotInitialised = 10093;     // WSANOTINITIALISED
inline constexpr int kSocketConnectionRefused = 10061;  // WSAECONNREFUSED

// Probes whether the sockets layer of the process is started: converts an empty IPv4 address
// to text. Returns 0 when that works, else the socket error (kSocketNotInitialised when
// nobody has started the layer yet). The POSIX layer is always started.
int SocketLayerProbe();

// Starts the sockets layer asking for version 2.0. Returns 0, or the error number (which also
// becomes the last socket error).
int SocketLayerStart();

// Releases the sockets layer once started by SocketLayerStart.
void SocketLayerStop();

// The first IPv4 address of a host name or dotted address, in network byte order.
// False on failure, with the last socket error set.
bool SocketResolveIPv4(const std::string& host, uint32_t* address);

// A new IPv4 TCP stream socket; kInvalidSocket on failure (last socket error set).
Socket SocketCreateTcp();

// Connects to address (network byte order) and port (host byte order). 0 or -1.
int SocketConnect(Socket s, uint32_t address, uint16_t port);

// Waits until `readable` can be read or `writable` can be written (either may be
// kInvalidSocket to leave it out), at most `seconds`. The select result: > 0 ready, 0 on expiry,
// -1 on error.
int SocketWait(Socket readable, Socket writable, uint32_t seconds);

// send and recv without flags: the count, or -1 with the last socket error set.
int SocketSend(Socket s, const char* data, int size);
int SocketReceive(Socket s, char* buffer, int size);

// Switches the socket between blocking (the normal state) and non-blocking mode. 0 or -1.
int SocketSetBlocking(Socket s, bool blocking);

// The socket's receive-buffer size (SO_RCVBUF). False on failure.
bool SocketReceiveBufferSize(Socket s, int* size);

// Closes the socket.
void SocketClose(Socket s);

int SocketLastError();
void SocketSetLastError(int error);

// The SSL library reads and writes the socket itself. Before such a call ClearSystemSocketError
// forgets the system's own error, and after a failing call RecordSystemSocketError makes the
// system's error (errno here, WSAGetLastError on Windows) the last socket error.
void ClearSystemSocketError();
void RecordSystemSocketError();

// While alive, a write to a connection the peer has closed fails with an error instead of
// raising SIGPIPE in the host process (the SSL library writes with plain write()).
// Does nothing on Windows.
class PipeSignalGuard {
  public:
    PipeSignalGuard();
    ~PipeSignalGuard();
    PipeSignalGuard(const PipeSignalGuard&) = delete;
    PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

  private:
    bool blocked_ = false;
    bool wasPending_ = false;
};

}  // namespace wq::platform
