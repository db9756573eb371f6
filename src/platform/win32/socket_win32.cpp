// Sockets on Windows: Windows Sockets 2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace wq::platform {
namespace {

SOCKET Native(Socket s) {
    return static_cast<SOCKET>(s);
}

}  // namespace

int SocketLayerProbe() {
    // Converting an address needs a started layer; it is the cheapest call that tells.
    sockaddr_in any{};
    any.sin_family = AF_INET;
    char text[64];
    DWORD size = sizeof text;
    if (WSAAddressToStringA(reinterpret_cast<sockaddr*>(&any), sizeof any, nullptr, text, &size) ==
        0) {
        return 0;
    }
    return WSAGetLastError();
}

int SocketLayerStart() {
    WSADATA data;
    int rc = WSAStartup(MAKEWORD(2, 0), &data);
    if (rc != 0) {
        WSASetLastError(rc);
    }
    return rc;
}

void SocketLayerStop() {
    WSACleanup();
}

bool SocketResolveIPv4(const std::string& host, uint32_t* address) {
    const hostent* entry = gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) {
        if (entry) {
            WSASetLastError(WSANO_DATA);
        }
        return false;
    }
    u_long value;
    memcpy(&value, entry->h_addr_list[0], sizeof value);
    *address = value;
    return true;
}

Socket SocketCreateTcp() {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s);
}

int SocketConnect(Socket s, uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    return ::connect(Native(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ? 0 : -1;
}

int SocketWait(Socket readable, Socket writable, uint32_t seconds) {
    fd_set readSet;
    fd_set writeSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    if (readable != kInvalidSocket) {
        FD_SET(Native(readable), &readSet);
    }
    if (writable != kInvalidSocket) {
        FD_SET(Native(writable), &writeSet);
    }
    timeval limit{};
    limit.tv_sec =
        seconds > static_cast<uint32_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(seconds);
    limit.tv_usec = 0;
    return ::select(0, readable != kInvalidSocket ? &readSet : nullptr,
                    writable != kInvalidSocket ? &writeSet : nullptr, nullptr, &limit);
}

int SocketSend(Socket s, const char* data, int size) {
    return ::send(Native(s), data, size, 0);
}

int SocketReceive(Socket s, char* buffer, int size) {
    return ::recv(Native(s), buffer, size, 0);
}

int SocketSetBlocking(Socket s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(Native(s), FIONBIO, &nonBlocking) == 0 ? 0 : -1;
}

bool SocketReceiveBufferSize(Socket s, int* size) {
    int value = 0;
    int len = sizeof value;
    if (::getsockopt(Native(s), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&value), &len) !=
        0) {
        return false;
    }
    *size = value;
    return true;
}

void SocketClose(Socket s) {
    if (s != kInvalidSocket) {
        ::closesocket(Native(s));
    }
}

int SocketLastError() {
    return WSAGetLastError();
}

void SocketSetLastError(int error) {
    WSASetLastError(error);
}

// The SSL library's socket calls set the Winsock error themselves.
void ClearSystemSocketError() {
    WSASetLastError(0);
}

void RecordSystemSocketError() {}

PipeSignalGuard::PipeSignalGuard() {}

PipeSignalGuard::~PipeSignalGuard() {}

}  // namespace wq::platform
