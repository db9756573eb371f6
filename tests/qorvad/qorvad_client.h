// A raw IMAP test client: plain or TLS, every read bounded by a receive time-out so that a
// server fault fails the test instead of hanging it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdint>
#include <string>

namespace qorvad_test {

class Client {
  public:
    explicit Client(uint16_t port, bool tls = false) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval tv{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (connected_ && tls) {
            ctx_ = SSL_CTX_new(TLS_client_method());
            ssl_ = SSL_new(ctx_);
            SSL_set_fd(ssl_, fd_);
            connected_ = SSL_connect(ssl_) == 1;
            if (!connected_)
                ERR_clear_error();
        }
    }
    ~Client() {
        if (ssl_) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
        if (ctx_)
            SSL_CTX_free(ctx_);
        ERR_clear_error();
        ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return connected_; }

    void send(const std::string& bytes) {
        if (ssl_) {
            SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
        } else {
            ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
    }

    // One receive: the bytes, or "" at the end of the stream or after the time-out.
    std::string receive() {
        char buf[65536];
        long n = ssl_ ? SSL_read(ssl_, buf, sizeof buf) : ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) {
            if (ssl_)
                ERR_clear_error();
            return "";
        }
        return std::string(buf, static_cast<size_t>(n));
    }

    // Reads until the text holds a line that begins with `ending` (the tag and a space, or
    // "* " for the greeting) and ends with CR LF, or the stream ends.
    std::string until(const std::string& ending = "A000 ") {
        std::string text;
        while (!complete(text, ending)) {
            std::string more = receive();
            if (more.empty())
                break;
            text += more;
        }
        return text;
    }

    std::string command(const std::string& line) {
        send(line);
        return until();
    }

    // Everything up to the end of the stream.
    std::string rest() {
        std::string text;
        for (std::string more = receive(); !more.empty(); more = receive())
            text += more;
        return text;
    }

  private:
    static bool complete(const std::string& text, const std::string& ending) {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos)
                return false;
            if (text.compare(start, ending.size(), ending) == 0)
                return true;
            start = end + 2;
        }
        return false;
    }

    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    bool connected_ = false;
};

}  // namespace qorvad_test
