// The SSL library, bound at run time on first use and never linked.
//
// Windows loads "SSLEAY32.dll" (by its plain name, then from the library's own folder with the
// altered search path); Linux loads the system OpenSSL, "libssl.so.3". Only the functions the
// transport calls are bound. Where OpenSSL 1.1 and 3 dropped a name, its successor is taken:
//   SSL_library_init      -> OPENSSL_init_ssl(0, NULL)
//   SSLv23_client_method  -> TLS_client_method
// Both client methods are the version-flexible one: the handshake offers every protocol version
// the SSL library has enabled by default, and no version option is set.
#pragma once

#include <string>

namespace wq::net {

struct SslApi {
    using Init = int (*)();
    using InitSsl = int (*)(unsigned long long, const void*);
    using Method = const void* (*)();
    using CtxNew = void* (*)(const void*);
    using CtxFree = void (*)(void*);
    using New = void* (*)(void*);
    using Free = void (*)(void*);
    using SetFd = int (*)(void*, int);
    using Connect = int (*)(void*);
    using Read = int (*)(void*, void*, int);
    using Write = int (*)(void*, const void*, int);
    using Shutdown = int (*)(void*);

    Init libraryInit = nullptr;  // SSL_library_init, or null when OPENSSL_init_ssl is used
    InitSsl initSsl = nullptr;   // OPENSSL_init_ssl
    Method clientMethod = nullptr;
    CtxNew ctxNew = nullptr;
    CtxFree ctxFree = nullptr;
    New sslNew = nullptr;
    Free sslFree = nullptr;
    SetFd setFd = nullptr;
    Connect connect = nullptr;
    Read read = nullptr;
    Write write = nullptr;
    Shutdown shutdown = nullptr;

    // SSL_library_init or its successor; 1 on success.
    int init() const { return libraryInit ? libraryInit() : initSsl(0, nullptr); }
};

// The file name of the SSL library: "SSLEAY32.dll" on Windows, "libssl.so.3" elsewhere.
const char* SslLibraryName();

// Binds another file from now on (empty: the default name again). Only while no SSL object of
// the library bound so far exists: TransportUseSslLibrary sees to that.
void SetSslLibraryName(const std::string& name);

// Binds the SSL library when not yet bound. On failure shows message 3350 (library) or 3351
// (function) and returns null; the next call tries again. The table stays valid for the life
// of the process.
const SslApi* BindSsl();

}  // namespace wq::net
