#include "net/ssl.h"

#include "base/message.h"
#include "platform/module.h"
#include "platform/ui.h"

namespace wq::net {
namespace {

// The bound library, for the life of the process once every function was found.
struct SslBinding {
    platform::ModuleHandle module = nullptr;
    SslApi api;
    bool bound = false;
    std::string name;  // empty: the platform's default
};

SslBinding& Binding() {
    static SslBinding binding;
    return binding;
}

platform::ModuleHandle LoadSslLibrary() {
    const std::string name = SslLibraryName();
    if (platform::ModuleHandle m = platform::LoadModule(name)) {
        return m;
    }
    // Beside the library itself, with the SSL library's own dependencies looked for there too.
    std::string path = platform::ModuleFileName(platform::SelfModule());
    size_t cut = path.find_last_of(platform::PathSeparator());
    if (cut == std::string::npos) {
        return nullptr;
    }
    path.resize(cut + 1);
    path += name;
    return platform::LoadModuleAlteredSearchPath(path);
}

template <typename Fn>
bool Find(platform::ModuleHandle m, const char* name, Fn* out) {
    void* address = platform::ModuleFunction(m, name);
    *out = reinterpret_cast<Fn>(address);
    return address != nullptr;
}

// Looks up every function; gives the name of the first one missing, or null.
const char* BindAll(platform::ModuleHandle m, SslApi& api) {
    if (!Find(m, "SSL_library_init", &api.libraryInit) &&
        !Find(m, "OPENSSL_init_ssl", &api.initSsl)) {
        return "SSL_library_init";
    }
    if (!Find(m, "SSLv23_client_method", &api.clientMethod) &&
        !Find(m, "TLS_client_method", &api.clientMethod)) {
        return "SSLv23_client_method";
    }
    if (!Find(m, "SSL_CTX_new", &api.ctxNew))
        return "SSL_CTX_new";
    if (!Find(m, "SSL_CTX_free", &api.ctxFree))
        return "SSL_CTX_free";
    if (!Find(m, "SSL_new", &api.sslNew))
        return "SSL_new";
    if (!Find(m, "SSL_free", &api.sslFree))
        return "SSL_free";
    if (!Find(m, "SSL_set_fd", &api.setFd))
        return "SSL_set_fd";
    if (!Find(m, "SSL_connect", &api.connect))
        return "SSL_connect";
    if (!Find(m, "SSL_read", &api.read))
        return "SSL_read";
    if (!Find(m, "SSL_write", &api.write))
        return "SSL_write";
    if (!Find(m, "SSL_shutdown", &api.shutdown))
        return "SSL_shutdown";
    return nullptr;
}

}  // namespace

const char* SslLibraryName() {
    if (!Binding().name.empty()) {
        return Binding().name.c_str();
    }
#if defined(_WIN32)
    return "SSLEAY32.dll";
#else
    return "libssl.so.3";
#endif
}

void SetSslLibraryName(const std::string& name) {
    SslBinding& b = Binding();
    if (b.module) {
        platform::ReleaseModule(b.module);
    }
    b.module = nullptr;
    b.api = SslApi();
    b.bound = false;
    b.name = name;
}

const SslApi* BindSsl() {
    SslBinding& b = Binding();
    if (b.bound) {
        return &b.api;
    }
    b.module = LoadSslLibrary();
    if (!b.module) {
        ShowMessage(nullptr, 3350, ui::kMbOk | ui::kMbIconStop, SslLibraryName());
        return nullptr;
    }
    SslApi api;
    if (const char* missing = BindAll(b.module, api)) {
        ShowMessage(nullptr, 3351, ui::kMbOk | ui::kMbIconStop, SslLibraryName(), missing);
        platform::ReleaseModule(b.module);
        b.module = nullptr;
        return nullptr;
    }
    b.api = api;
    b.bound = true;
    return &b.api;
}

}  // namespace wq::net
