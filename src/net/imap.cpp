#include "net/imap.h"

#include <algorithm>
#include <cstring>

#include "base/account.h"
#include "base/message.h"
#include "net/logon_dialog.h"
#include "net/reply_text.h"

namespace wq::net {
namespace {

enum class Status { kOk, kNo, kBad, kBye, kOther };

// The status word: "OK" and "NO" on their first 2 characters, "BAD" and "BYE" on 3, so a word
// that merely begins with OK counts as OK.
Status StatusOf(std::string_view text) {
    if (StartsWithNoCase(text, "OK"))
        return Status::kOk;
    if (StartsWithNoCase(text, "NO"))
        return Status::kNo;
    if (StartsWithNoCase(text, "BAD"))
        return Status::kBad;
    if (StartsWithNoCase(text, "BYE"))
        return Status::kBye;
    return Status::kOther;
}

HResult TaggedResult(Status s) {
    switch (s) {
        case Status::kOk:
            return S_OK;
        case Status::kNo:
            return S_FALSE;
        case Status::kBad:
            return E_INVALIDARG;
        case Status::kBye:
            return E_ABORT;
        default:
            return E_UNEXPECTED;
    }
}

HResult GreetingResult(Status s) {
    switch (s) {
        case Status::kOk:
            return kGreetingOk;
        case Status::kNo:
            return kGreetingNo;
        case Status::kBad:
            return kGreetingBad;
        default:
            return kGreetingBye;
    }
}

}  // namespace

ImapReplyReader::ImapReplyReader(bool greeting, std::string* reply, size_t limit)
    : greeting_(greeting), reply_(reply), limit_(limit) {}

bool ImapReplyReader::consume(size_t bytes) {
    if (bytes > limit_ - std::min(limit_, taken_)) {
        done_ = true;
        result_ = E_OUTOFMEMORY;
        return false;
    }
    taken_ += bytes;
    return true;
}

void ImapReplyReader::append(std::string_view text, bool lineFeed) {
    if (!reply_) {
        return;
    }
    // Zero bytes have no place in reply text; dropping them wherever they stand keeps the text
    // the same however the reply is cut.
    for (size_t zero; (zero = text.find('\0')) != std::string_view::npos;) {
        reply_->append(text.data(), zero);
        text.remove_prefix(zero + 1);
    }
    reply_->append(text.data(), text.size());
    if (lineFeed) {
        reply_->push_back('\n');
    }
}

void ImapReplyReader::announceLiteral(std::string_view line) {
    size_t count = 0;
    if (!LiteralSize(line, &count)) {
        return;
    }
    // A literal that cannot fit ends the exchange at its announcement, so that no part of it
    // is taken, however it arrives.
    if (count > limit_ - std::min(limit_, taken_)) {
        done_ = true;
        result_ = E_OUTOFMEMORY;
        return;
    }
    literal_ = count;
    afterLiteral_ = true;
    if (reply_) {
        reply_->reserve(reply_->size() + count + 64);
    }
}

void ImapReplyReader::classify(std::string_view line) {
    if (StartsWithNoCase(line, kImapTag)) {
        // The tagged completion: drop the tag and the character after it.
        done_ = true;
        std::string_view rest =
            TrimSpaceRight(line.substr(std::min(line.size(), kImapTag.size() + 1)));
        result_ = TaggedResult(StatusOf(rest));
        append(rest, false);
        return;
    }
    if (line[0] == '*') {
        std::string_view rest = line.substr(std::min<size_t>(line.size(), 2));
        Status status = StatusOf(rest);
        if (status == Status::kOther) {
            append(rest, true);  // untagged data
            announceLiteral(rest);
        } else if (greeting_) {
            done_ = true;
            append(TrimSpaceRight(rest), false);
            result_ = GreetingResult(status);
        }
        // Untagged status lines during a command (alerts and the like) are dropped.
        return;
    }
    // Continuation requests and text of a multi-line answer.
    append(line, true);
    announceLiteral(line);
}

void ImapReplyReader::handleLine(std::string_view line) {
    if (afterLiteral_) {
        // The rest of the line whose literal has just ended; it may announce another literal.
        afterLiteral_ = false;
        append(line, true);
        announceLiteral(line);
        return;
    }
    size_t start = 0;
    while (start < line.size() && IsAsciiSpace(line[start])) {
        ++start;
    }
    if (start < line.size()) {
        classify(line.substr(start));
    }
}

bool ImapReplyReader::feed(std::string_view piece) {
    while (!piece.empty() && !done_) {
        if (literal_ > 0) {
            const size_t n = std::min(literal_, piece.size());
            consume(n);  // room was made when the literal was announced
            append(piece.substr(0, n), false);
            literal_ -= n;
            piece.remove_prefix(n);
            continue;
        }
        const size_t lf = piece.find('\n');
        if (lf == std::string_view::npos) {
            // A line that can never be taken ends the exchange as soon as that is known.
            if (partial_.size() + piece.size() > limit_ - std::min(limit_, taken_)) {
                consume(partial_.size() + piece.size());
            } else {
                partial_.append(piece.data(), piece.size());
            }
            break;
        }
        if (!consume(partial_.size() + lf + 1)) {
            break;
        }
        if (partial_.empty()) {
            handleLine(piece.substr(0, lf));
        } else {
            partial_.append(piece.data(), lf);
            handleLine(partial_);
            partial_.clear();
        }
        piece.remove_prefix(lf + 1);
    }
    return done_;
}

void ImapReplyReader::finish() {
    if (!done_ && literal_ == 0 && !partial_.empty() && consume(partial_.size())) {
        std::string line = std::move(partial_);
        partial_.clear();
        handleLine(line);
    }
}

HResult ImapExecute(Socket socket, const std::string& command, std::string* reply) {
    if (reply) {
        reply->clear();
    }
    size_t start = 0;
    while (start < command.size() && IsAsciiSpace(command[start])) {
        ++start;
    }
    const bool greeting = start == command.size();
    if (!greeting) {
        if (command.find('\0') != std::string::npos) {
            return E_INVALIDARG;
        }
        std::string line;
        line.reserve(kImapTag.size() + 3 + command.size() - start);
        line.append(kImapTag.data(), kImapTag.size());
        line.push_back(' ');
        line.append(command, start, std::string::npos);
        if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
            line += "\r\n";
        }
        TransportSetLastError(0);
        if (TransportSend(socket, line) == -1) {
            // A wait the user declined records no socket error; it still is a failure.
            int error = TransportLastError();
            return error > 0 ? ResultFromSocketError(error) : E_UNEXPECTED;
        }
    }
    ImapReplyReader reader(greeting, reply);
    for (;;) {
        std::string_view piece;
        // A failed receive, a declined wait and a peer that closed before the completion all end
        // the exchange with the result so far.
        if (TransportReceivePiece(socket, &piece) <= 0) {
            reader.finish();
            return reader.result();
        }
        if (reader.feed(piece)) {
            return reader.result();
        }
    }
}

HResult ImapLogin(Socket socket, const AccountSettings* account, bool interactive,
                  uint8_t* remember) {
    if (!account) {
        return E_INVALIDARG;
    }
    std::string user = AccountText(account->userName);
    std::string password = AccountText(account->password);
    if (account->useSpa) {
        ShowMessage(nullptr, 1100, ui::kMbOk);
        return E_INVALIDARG;
    }
    for (;;) {
        // A line break would end the LOGIN line early and let the rest run as a command.
        if (!ImapSafeArgument(user) || !ImapSafeArgument(password)) {
            return E_INVALIDARG;
        }
        HResult result = ImapExecute(socket, "LOGIN " + user + " " + password, nullptr);
        if (result != S_FALSE || !interactive) {
            return result;
        }
        ShowMessage(nullptr, 135, ui::kMbOk | ui::kMbIconStop);
        LogonDialog dialog(AccountText(account->hostName), user, password, remember);
        if (dialog.run(ui::ActiveWindow()) != ui::kIdOk) {
            return S_FALSE;
        }
        user = dialog.userName();
        password = dialog.password();
    }
}

namespace {

// A result after which the connection cannot carry another command: the reply broke off or
// never came, the server said BYE, or sending failed. OK, NO and BAD leave it usable.
bool BreaksConnection(HResult result) {
    return result != S_OK && result != S_FALSE && result != E_INVALIDARG;
}

}  // namespace

HResult ImapSession::connect(std::string* greeting) {
    close();
    if (!account_) {
        return E_INVALIDARG;
    }
    HResult result = TransportConnect(&socket_, AccountText(account_->hostName), account_->port);
    if (result == S_OK && account_->useSsl) {
        result = TransportStartSsl(socket_);
    }
    if (result == S_OK) {
        result = execute(std::string(), greeting);
    }
    broken_ = broken_ || result != S_OK;
    return result;
}

HResult ImapSession::requireCapability(ui::Window owner, const std::string& name) {
    std::string capabilities;
    HResult result = execute("CAPABILITY", &capabilities);
    if (result != S_OK) {
        return result;
    }
    if (ImapHasCapability(capabilities, name) != S_OK) {
        ShowMessage(owner, 137, ui::kMbOk | ui::kMbIconStop, name);
        return E_FAIL;
    }
    return S_OK;
}

HResult ImapSession::login(uint8_t* remember) {
    HResult result = ImapLogin(socket_, account_, true, remember);
    loggedIn_ = result == S_OK;
    broken_ = broken_ || BreaksConnection(result);
    return result;
}

HResult ImapSession::open(uint8_t* remember, std::string* greeting) {
    HResult result = connect(greeting);
    return result == S_OK ? login(remember) : result;
}

HResult ImapSession::execute(const std::string& command, std::string* reply) {
    HResult result = ImapExecute(socket_, command, reply);
    broken_ = broken_ || BreaksConnection(result);
    return result;
}

void ImapSession::close(bool logout) {
    if (socket_ == kInvalidSocket) {
        return;  // nothing open, or handed over with release()
    }
    if (loggedIn_ && logout && !broken_) {
        ImapExecute(socket_, "LOGOUT", nullptr);
    }
    TransportClose(&socket_);
    loggedIn_ = false;
    broken_ = false;
}

Socket ImapSession::release() {
    Socket socket = socket_;
    socket_ = kInvalidSocket;
    loggedIn_ = false;
    return socket;
}

HResult ImapRunCommand(const std::string& command, std::string* reply, bool* loggedIn) {
    if (reply) {
        reply->clear();
    }
    if (loggedIn) {
        *loggedIn = false;
    }
    AccountSettings* account = CurrentAccount();
    if (!account) {
        return E_INVALIDARG;
    }
    ImapSession session(account);
    HResult result = session.open(&account->rememberPassword, reply);
    if (result == S_OK) {
        if (loggedIn) {
            *loggedIn = true;
        }
        result = session.execute(command, reply);
    }
    return result;
}

HResult ImapConnectWithAcl(Socket* socket, ui::Window owner, const AccountSettings* account) {
    *socket = kInvalidSocket;
    if (!account) {
        return E_INVALIDARG;
    }
    ImapSession session(account);
    HResult result = session.connect();
    if (result == S_OK) {
        result = session.requireCapability(owner, "ACL");
    }
    // The caller closes the connection, after a failure too.
    *socket = session.release();
    return result;
}

void ImapDisconnect(Socket* socket) {
    ImapExecute(*socket, "LOGOUT", nullptr);
    TransportClose(socket);
}

HResult ImapHasCapability(const std::string& reply, const std::string& name) {
    // Carriage returns count nowhere, not even inside a word.
    std::string text;
    text.reserve(reply.size());
    for (char c : reply) {
        if (c != '\r') {
            text.push_back(c);
        }
    }
    if (text.empty()) {
        return S_FALSE;
    }
    if (name.empty()) {
        return E_INVALIDARG;
    }
    ReplyLines lines(text);
    std::string_view line;
    while (lines.next(&line) && !line.empty()) {
        if (!StartsWithNoCase(line, "CAPABILITY")) {
            continue;
        }
        // The name as a whole word: between blanks, or at the end of the line.
        ReplyTokens words(line);
        for (std::string_view word = words.next(); !word.empty(); word = words.next()) {
            if (EqualsNoCase(word, name)) {
                return S_OK;
            }
        }
        return S_FALSE;
    }
    return S_FALSE;
}

bool ImapSafeArgument(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace wq::net
