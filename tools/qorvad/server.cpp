// The network side: listeners for plain TCP and TLS, one thread per connection that moves
// bytes between the socket and its Session, recording what arrives and applying the faults
// that concern timing and delivery (delay, split replies, close in the middle, silence).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qorvad.h"
#include "store_util.h"

namespace qorvad {

namespace {

constexpr size_t kMaxConnections = 64;
constexpr int kIdleTimeoutMs = 30 * 60 * 1000;
constexpr size_t kReadChunk = 16 * 1024;
constexpr int kSendTimeoutSeconds = 60;
constexpr size_t kTlsRecord = 16 * 1024;  // the most data of one TLS record

// One self-signed certificate for every TLS listener of the process: making an RSA key takes
// a noticeable moment, and tests start many servers.
struct Identity {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
};

const Identity& identity() {
    static Identity id;
    static std::once_flag once;
    std::call_once(once, [] {
        EVP_PKEY* key = EVP_RSA_gen(2048);
        X509* cert = X509_new();
        if (!key || !cert) {
            EVP_PKEY_free(key);
            X509_free(cert);
            return;
        }
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -24L * 3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 10L * 365 * 24 * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("Qorva"), -1, -1, 0);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        if (X509_sign(cert, key, EVP_sha256()) == 0) {
            EVP_PKEY_free(key);
            X509_free(cert);
            return;
        }
        id.key = key;
        id.cert = cert;
    });
    return id;
}

}  // namespace

struct Server::Impl {
    Mailstore store;
    mutable std::mutex mu;  // faults, connections, listeners
    Faults faults;
    std::string bindAddress = "127.0.0.1";
    std::function<void(const std::string&)> log;
    std::atomic<bool> stopping{false};
    int wake[2] = {-1, -1};
    SSL_CTX* ctx = nullptr;

    struct Listener {
        int fd = -1;
        bool tls = false;
        std::thread thread;
    };
    std::list<Listener> listeners;

    struct Connection {
        int fd = -1;
        size_t serial = 0;
        bool tls = false;
        std::atomic<bool> done{false};
        std::thread thread;
    };
    std::list<Connection> connections;

    mutable std::mutex recvMu;
    std::string all;
    std::vector<std::string> perConnection;
    size_t serialBase = 0;  // serial of perConnection[0]
    size_t nextSerial = 0;

    Impl() {
        if (::pipe(wake) == 0) {
            ::fcntl(wake[0], F_SETFL, O_NONBLOCK);
            ::fcntl(wake[1], F_SETFL, O_NONBLOCK);
        }
    }
    ~Impl() {
        if (ctx)
            SSL_CTX_free(ctx);
        if (wake[0] >= 0)
            ::close(wake[0]);
        if (wake[1] >= 0)
            ::close(wake[1]);
    }

    void report(const std::string& what) {
        std::function<void(const std::string&)> f;
        {
            std::lock_guard<std::mutex> lock(mu);
            f = log;
        }
        if (f)
            f(what);
    }

    void record(size_t serial, const char* data, size_t n) {
        std::lock_guard<std::mutex> lock(recvMu);
        all.append(data, n);
        if (serial >= serialBase && serial - serialBase < perConnection.size()) {
            perConnection[serial - serialBase].append(data, n);
        }
    }

    // Sleeps in short steps so that stop() is never held up by a delay fault.
    void pause(int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    uint16_t startListener(uint16_t port, bool tls) {
        std::signal(SIGPIPE, SIG_IGN);
        if (tls && !ctx) {
            const Identity& id = identity();
            SSL_CTX* c = SSL_CTX_new(TLS_server_method());
            if (!id.key || !c || SSL_CTX_use_certificate(c, id.cert) != 1 ||
                SSL_CTX_use_PrivateKey(c, id.key) != 1) {
                SSL_CTX_free(c);
                report("qorvad: cannot set up TLS");
                return 0;
            }
            // A test server: old clients that offer only TLS 1.0 are welcome too.
            SSL_CTX_set_security_level(c, 0);
            SSL_CTX_set_min_proto_version(c, TLS1_VERSION);
            ctx = c;
        }
        if (stopping) {
            char drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
            stopping = false;
        }
        std::string address;
        {
            std::lock_guard<std::mutex> lock(mu);
            address = bindAddress;
        }
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return 0;
        int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1 ||
            ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd, 64) != 0) {
            ::close(fd);
            report("qorvad: cannot listen on " + address + ":" + std::to_string(port));
            return 0;
        }
        socklen_t len = sizeof addr;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        std::lock_guard<std::mutex> lock(mu);
        listeners.emplace_back();
        Listener& l = listeners.back();
        l.fd = fd;
        l.tls = tls;
        l.thread = std::thread([this, fd, tls] { acceptLoop(fd, tls); });
        return ntohs(addr.sin_port);
    }

    void acceptLoop(int fd, bool tls) {
        while (!stopping) {
            pollfd fds[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
            int n = ::poll(fds, 2, 1000);
            if (stopping)
                break;
            if (n <= 0 || !(fds[0].revents & POLLIN))
                continue;
            int client = ::accept(fd, nullptr, nullptr);
            if (client < 0)
                continue;
            int one = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            // A client that stops reading, or never finishes the TLS handshake, cannot hold a
            // thread for ever.
            timeval sendLimit{kSendTimeoutSeconds, 0};
            timeval readLimit{kIdleTimeoutMs / 1000, 0};
            ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &readLimit, sizeof readLimit);
            std::lock_guard<std::mutex> lock(mu);
            reapLocked();
            if (connections.size() >= kMaxConnections) {
                static const char kBusy[] = "* BYE Too many connections.\r\n";
                if (!tls)
                    ::send(client, kBusy, sizeof kBusy - 1, MSG_NOSIGNAL);
                ::close(client);
                continue;
            }
            connections.emplace_back();
            Connection& c = connections.back();
            c.fd = client;
            c.tls = tls;
            {
                std::lock_guard<std::mutex> rlock(recvMu);
                c.serial = nextSerial++;
                perConnection.emplace_back();
            }
            Faults snapshot = faults;
            c.thread = std::thread([this, &c, snapshot] { serve(c, snapshot); });
        }
    }

    // Joins the threads of finished connections; called with mu held.
    void reapLocked() {
        for (auto it = connections.begin(); it != connections.end();) {
            if (it->done) {
                if (it->thread.joinable())
                    it->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }

    struct Channel {
        int fd;
        SSL* ssl = nullptr;

        // Bytes read, 0 at the end of the stream or on error.
        long read(char* buf, size_t n) {
            if (ssl) {
                int r = SSL_read(ssl, buf, static_cast<int>(n));
                return r > 0 ? r : 0;
            }
            ssize_t r = ::recv(fd, buf, n, 0);
            return r > 0 ? r : 0;
        }
        // Bytes [from, to) of the reply as it goes on the wire. The pieces go to the socket as
        // they are, without being joined first, in as few system calls as it takes them.
        bool write(const Reply& reply, size_t from, size_t to) {
            std::string_view text = reply.text;
            size_t at = reply.body ? std::min(reply.bodyAt, text.size()) : text.size();
            std::string_view pieces[3] = {text.substr(0, at),
                                          reply.body ? std::string_view(*reply.body) : "",
                                          text.substr(at)};
            iovec iov[3];
            int count = 0;
            size_t start = 0;  // where the current piece begins in the reply
            for (std::string_view p : pieces) {
                size_t end = start + p.size();
                size_t a = std::max(start, from), b = std::min(end, to);
                if (a < b) {
                    iov[count].iov_base = const_cast<char*>(p.data() + (a - start));
                    iov[count].iov_len = b - a;
                    ++count;
                }
                start = end;
            }
            return ssl ? writeTls(iov, count) : writePlain(iov, count);
        }
        // The records come out as one SSL_write of the joined bytes would make them: full
        // records of kTlsRecord bytes and a shorter last one, so a client reads the reply in
        // the same pieces whether or not it has a body. Only a record is copied at a time.
        bool writeTls(const iovec* iov, int count) {
            char record[kTlsRecord];
            size_t used = 0;
            auto flush = [&] {
                bool ok = used == 0 || SSL_write(ssl, record, static_cast<int>(used)) > 0;
                used = 0;
                return ok;
            };
            for (int i = 0; i < count; ++i) {
                const char* data = static_cast<const char*>(iov[i].iov_base);
                size_t n = iov[i].iov_len;
                while (n > 0) {
                    size_t take = std::min(n, kTlsRecord - used);
                    std::memcpy(record + used, data, take);
                    used += take;
                    data += take;
                    n -= take;
                    if (used == kTlsRecord && !flush())
                        return false;
                }
            }
            return flush();
        }
        bool writePlain(iovec* iov, int count) {
            int first = 0;
            while (first < count) {
                msghdr m{};
                m.msg_iov = iov + first;
                m.msg_iovlen = static_cast<size_t>(count - first);
                ssize_t w = ::sendmsg(fd, &m, MSG_NOSIGNAL);
                if (w <= 0)
                    return false;
                size_t sent = static_cast<size_t>(w);
                while (first < count && sent >= iov[first].iov_len) {
                    sent -= iov[first].iov_len;
                    ++first;
                }
                if (first < count) {
                    iov[first].iov_base = static_cast<char*>(iov[first].iov_base) + sent;
                    iov[first].iov_len -= sent;
                }
            }
            return true;
        }
        bool waitReadable(int ms) {
            if (ssl && SSL_pending(ssl) > 0)
                return true;
            pollfd p{fd, POLLIN, 0};
            return ::poll(&p, 1, ms) > 0;
        }
    };

    // Sends one reply under the faults; false when the connection must end.
    bool send(Channel& ch, const Reply& reply, const Faults& f) {
        if (f.delayMs > 0)
            pause(f.delayMs);
        if (stopping)
            return false;
        const size_t size = reply.size();
        if (!reply.command.empty() && reply.command == upperCase(f.closeMidReplyOf)) {
            ch.write(reply, 0, size / 2);
            return false;
        }
        if (f.splitReplies == 0) {
            if (!ch.write(reply, 0, size))
                return false;
        } else {
            for (size_t at = 0; at < size; at += f.splitReplies) {
                if (at > 0)
                    pause(f.splitPauseMs);
                size_t n = std::min(f.splitReplies, size - at);
                if (stopping || !ch.write(reply, at, at + n))
                    return false;
            }
        }
        return !reply.close;
    }

    void serve(Connection& c, Faults f) {
        Channel ch{c.fd};
        std::vector<char> buf(kReadChunk);
        bool ok = true;
        if (c.tls && !f.silentAfterAccept) {
            ch.ssl = SSL_new(ctx);
            if (!ch.ssl || SSL_set_fd(ch.ssl, c.fd) != 1 || SSL_accept(ch.ssl) != 1) {
                ERR_clear_error();
                ok = false;
            }
        }
        if (ok && f.silentAfterAccept) {
            while (!stopping) {
                long n = ch.read(buf.data(), buf.size());
                if (n <= 0)
                    break;
                record(c.serial, buf.data(), static_cast<size_t>(n));
            }
            ok = false;
        }
        std::unique_ptr<Session> session;
        if (ok) {
            session = std::make_unique<Session>(store, f, c.tls);
            ok = send(ch, session->greeting(), f);
        }
        while (ok && !stopping) {
            if (!ch.waitReadable(kIdleTimeoutMs)) {
                Reply bye;
                bye.text = "* BYE Autologout; idle for too long.\r\n";
                send(ch, bye, Faults{});
                break;
            }
            long n = ch.read(buf.data(), buf.size());
            if (n <= 0)
                break;
            record(c.serial, buf.data(), static_cast<size_t>(n));
            if (!f.stopReadingOn.empty() &&
                upperCase(std::string(buf.data(), static_cast<size_t>(n)))
                        .find(" " + upperCase(f.stopReadingOn)) != std::string::npos) {
                while (!stopping) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                break;
            }
            std::vector<Reply> replies;
            bool open =
                session->feed(std::string_view(buf.data(), static_cast<size_t>(n)), replies);
            for (const Reply& r : replies) {
                if (!send(ch, r, f)) {
                    ok = false;
                    break;
                }
            }
            if (!open)
                ok = false;
        }
        if (ch.ssl) {
            SSL_shutdown(ch.ssl);
            SSL_free(ch.ssl);
            ERR_clear_error();
        }
        lingeringClose(c, buf);
    }

    // Closing with unread input makes the kernel reset the connection, and the client may then
    // lose the last reply (a BYE) before reading it. So the sending side is shut first and the
    // input drained for a moment.
    void lingeringClose(Connection& c, std::vector<char>& buf) {
        if (!stopping) {
            ::shutdown(c.fd, SHUT_WR);
            auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
            while (!stopping && std::chrono::steady_clock::now() < end) {
                pollfd p{c.fd, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0)
                    continue;
                ssize_t n = ::recv(c.fd, buf.data(), buf.size(), 0);
                if (n <= 0)
                    break;
                record(c.serial, buf.data(), static_cast<size_t>(n));
            }
        }
        std::lock_guard<std::mutex> lock(mu);
        ::close(c.fd);
        c.fd = -1;
        c.done = true;
    }

    void stop() {
        std::list<Listener> ls;
        {
            std::lock_guard<std::mutex> lock(mu);
            stopping = true;
            ls.swap(listeners);
            for (Connection& c : connections) {
                if (c.fd >= 0)
                    ::shutdown(c.fd, SHUT_RDWR);
            }
        }
        if (wake[1] >= 0) {
            char b = 1;
            [[maybe_unused]] ssize_t w = ::write(wake[1], &b, 1);
        }
        for (Listener& l : ls) {
            if (l.thread.joinable())
                l.thread.join();
            ::close(l.fd);
        }
        std::list<Connection> cs;
        {
            std::lock_guard<std::mutex> lock(mu);
            // Connections accepted while the listeners were closing.
            for (Connection& c : connections) {
                if (c.fd >= 0)
                    ::shutdown(c.fd, SHUT_RDWR);
            }
            cs.swap(connections);
        }
        for (Connection& c : cs) {
            if (c.thread.joinable())
                c.thread.join();
        }
    }
};

Server::Server() : impl_(std::make_unique<Impl>()) {}

Server::Server(const std::string& dataDir) : impl_(std::make_unique<Impl>()) {
    // A store that cannot be read stays in memory only, so that the file is not overwritten.
    std::string error;
    if (!impl_->store.load(dataDir, &error))
        loadError_ = error;
}

Server::~Server() {
    stop();
}

Mailstore& Server::store() {
    return impl_->store;
}

void Server::setFaults(const Faults& faults) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->faults = faults;
}

Faults Server::faults() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->faults;
}

void Server::updateFaults(const std::function<void(Faults&)>& change) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    change(impl_->faults);
}

void Server::setBindAddress(const std::string& address) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->bindAddress = address;
}

uint16_t Server::listen(uint16_t port) {
    return impl_->startListener(port, false);
}

uint16_t Server::listenTls(uint16_t port) {
    return impl_->startListener(port, true);
}

void Server::stop() {
    impl_->stop();
}

std::string Server::received() const {
    std::lock_guard<std::mutex> lock(impl_->recvMu);
    return impl_->all;
}

std::vector<std::string> Server::receivedPerConnection() const {
    std::lock_guard<std::mutex> lock(impl_->recvMu);
    return impl_->perConnection;
}

void Server::clearReceived() {
    std::lock_guard<std::mutex> lock(impl_->recvMu);
    impl_->all.clear();
    impl_->perConnection.clear();
    impl_->serialBase = impl_->nextSerial;
}

std::string Server::loadError() const {
    return loadError_;
}

size_t Server::connectionCount() const {
    std::lock_guard<std::mutex> lock(impl_->recvMu);
    return impl_->perConnection.size();
}

void Server::setLog(std::function<void(const std::string&)> log) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->log = std::move(log);
}

}  // namespace qorvad
