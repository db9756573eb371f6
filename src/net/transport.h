// The byte stream under the IMAP session: a blocking TCP socket to the account's server,
// optionally inside SSL, where every send and receive waits for the socket with the account's
// time-out and asks the user whether to keep waiting when the server is slow.
//
// There is one transport at a time in the process. The socket handle belongs to the operation
// that opened it; the SSL objects, the receive buffer and the sockets-started flag are
// process-wide (TransportState in transport.cpp) and used without locks: exports do not run
// concurrently.
//
// Calling order for one connection: TransportConnect, TransportStartSsl when the account uses
// SSL, any number of TransportSend / TransportReceive, TransportClose (always, even after a
// failed connect).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"
#include "platform/socket.h"

namespace wq::net {

using Socket = platform::Socket;
inline constexpr Socket kInvalidSocket = platform::kInvalidSocket;

// Connects to host:port. The handle is stored in `socket` even on failure (valid or invalid);
// the caller ends with TransportClose. Failures are the last socket error as a result code.
HResult TransportConnect(Socket* socket, const std::string& host, uint32_t port);

// The SSL client handshake on the connected socket. S_OK, or E_UNEXPECTED (after message 3350
// or 3351 when the SSL library or one of its functions is missing). No certificate check.
// A server that does not answer the handshake gets the time-out prompt of TransportWait.
HResult TransportStartSsl(Socket socket);

// Waits until `readable` can be read or `writable` written (kInvalidSocket leaves one out), for
// the CurrentAccount's time-out. On expiry with `prompt`, asks with message 1200 whether to wait
// another full time-out. Returns > 0 when ready, -1 on error or when the user stops waiting.
int TransportWait(Socket readable, Socket writable, bool prompt);

// Sends the whole text, in as many steps as the socket takes it, waiting for the socket before
// each step with the time-out prompt of TransportWait. The count written, or -1 on failure (a
// declined wait included; the connection is then unusable and must be closed).
int TransportSend(Socket socket, const std::string& text);

// Receives what the socket has and appends it to `text` (emptied first when `clear`); a zero
// byte in the data ends what is appended. The number of characters appended: 0 when the peer
// has closed the connection or the socket would block, -1 on failure.
int TransportReceive(Socket socket, std::string& text, bool clear);

// Receives what the socket has into the shared receive buffer, all of it, zero bytes included;
// `*piece` views it until the next receive. The count: 0 when the peer has closed the connection
// or the socket would block, -1 on failure.
int TransportReceivePiece(Socket socket, std::string_view* piece);

// Releases the SSL state and closes the socket, leaving it invalid. Keeps the last socket error
// as it was, so that the caller can still report the error that led to the close. Always 0.
int TransportClose(Socket* socket);

// At process detach: releases the sockets layer if this library started it, frees the receive
// buffer.
void TransportShutdown();

// Binds another SSL library file from the next SSL set-up on (empty: the platform's default),
// releasing SSL objects an earlier failed set-up left behind. For tests that need a missing
// library or one without the SSL functions.
void TransportUseSslLibrary(const std::string& name);

// The last socket error (Windows Sockets numbers on every platform), and setting it.
int TransportLastError();
void TransportSetLastError(int error);

// A read-only look at the process-wide state, for diagnostics and tests.
bool TransportSocketsStarted();
bool TransportSslActive();
size_t TransportReceiveBufferCapacity();

}  // namespace wq::net
