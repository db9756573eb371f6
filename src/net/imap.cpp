#include "net/imap.h"

#include <algorithm>
#include <cstring>

#include "base/account.h"
#include "base/message.h"
#include "net/logon_dialog.h"

namespace wq::net {
namespace {

// The white space trimmed around lines: space, tab, CR, LF, vertical tab, form feed.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// `text` begins with `word` (upper case), ignoring case.
bool StartsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        if (Upper(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

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

std::string& ImapReplyReader::input() {
    if (pos_ == acc_.size()) {
        acc_.clear();
        pos_ = 0;
    }
    return acc_;
}

bool ImapReplyReader::feed(std::string_view piece) {
    const size_t zero = piece.find('\0');
    input().append(piece.data(), zero == std::string_view::npos ? piece.size() : zero);
    return process();
}

void ImapReplyReader::append(std::string_view text, bool lineFeed) {
    taken_ += text.size() + 1;
    if (taken_ > limit_) {
        done_ = true;
        result_ = E_OUTOFMEMORY;
        return;
    }
    if (reply_) {
        reply_->append(text.data(), text.size());
        if (lineFeed) {
            reply_->push_back('\n');
        }
    }
}

void ImapReplyReader::classify(std::string_view line, bool complete) {
    if (line.size() >= kImapTag.size() && StartsWithNoCase(line, kImapTag)) {
        // The tagged completion: drop the tag and the character after it.
        done_ = true;
        std::string_view rest = line.substr(std::min(line.size(), kImapTag.size() + 1));
        result_ = TaggedResult(StatusOf(rest));
        append(rest, complete);
        return;
    }
    if (!line.empty() && line[0] == '*') {
        std::string_view rest = line.substr(std::min<size_t>(line.size(), 2));
        Status status = StatusOf(rest);
        if (status == Status::kOther) {
            append(rest, complete);  // untagged data
        } else if (greeting_) {
            done_ = true;
            append(rest, false);
            result_ = GreetingResult(status);
        }
        // Untagged status lines during a command (alerts and the like) are dropped.
        return;
    }
    // Continuation requests, literal data, text of a multi-line answer.
    append(line, complete);
}

bool ImapReplyReader::process() {
    while (!done_ && pos_ < acc_.size()) {
        const char* base = acc_.data();
        const size_t size = acc_.size();
        const void* lf = std::memchr(base + pos_, '\n', size - pos_);
        const bool complete = lf != nullptr;
        const size_t end =
            complete ? static_cast<size_t>(static_cast<const char*>(lf) - base) : size;
        classify(std::string_view(base + pos_, end - pos_), complete);
        // The line is gone; its line feed, empty lines and the indentation of the next line go
        // with the white space around the rest of the accumulator. That also takes the line break
        // at the end of the piece, so the last line of a piece is handled as incomplete.
        pos_ = end;
        while (pos_ < acc_.size() && IsSpace(acc_[pos_])) {
            ++pos_;
        }
        while (acc_.size() > pos_ && IsSpace(acc_.back())) {
            acc_.pop_back();
        }
    }
    return done_;
}

HResult ImapExecute(Socket socket, const std::string& command, std::string* reply) {
    if (reply) {
        reply->clear();
    }
    size_t start = 0;
    while (start < command.size() && IsSpace(command[start])) {
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
        size_t bytesRead = 0;
        int appended = TransportReceiveCounted(socket, reader.input(), false, &bytesRead);
        // A failed receive, a declined wait and a peer that closed before the completion all end
        // the exchange with the result so far.
        if (appended < 0 || bytesRead == 0) {
            return reader.result();
        }
        if (reader.process()) {
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
    Socket socket = kInvalidSocket;
    HResult result = ImapOpenSession(&socket, account, &account->rememberPassword, reply);
    if (result == S_OK) {
        if (loggedIn) {
            *loggedIn = true;
        }
        result = ImapExecute(socket, command, reply);
        ImapExecute(socket, "LOGOUT", nullptr);
    }
    TransportClose(&socket);
    return result;
}

HResult ImapOpenSession(Socket* socket, const AccountSettings* account, uint8_t* remember,
                        std::string* greeting) {
    HResult result = TransportConnect(socket, AccountText(account->hostName), account->port);
    if (result == S_OK && account->useSsl) {
        result = TransportStartSsl(*socket);
    }
    if (result == S_OK) {
        result = ImapExecute(*socket, std::string(), greeting);
    }
    if (result == S_OK) {
        result = ImapLogin(*socket, account, true, remember);
    }
    return result;
}

HResult ImapConnectWithAcl(Socket* socket, ui::Window owner, const AccountSettings* account) {
    *socket = kInvalidSocket;
    if (!account) {
        return E_INVALIDARG;
    }
    HResult result = TransportConnect(socket, AccountText(account->hostName), account->port);
    if (result != S_OK) {
        return result;
    }
    if (account->useSsl) {
        result = TransportStartSsl(*socket);
        if (result != S_OK) {
            return result;
        }
    }
    result = ImapExecute(*socket, std::string(), nullptr);
    if (result != S_OK) {
        return result;
    }
    std::string capabilities;
    result = ImapExecute(*socket, "CAPABILITY", &capabilities);
    if (result != S_OK) {
        return result;
    }
    if (ImapHasCapability(capabilities, "ACL") != S_OK) {
        ShowMessage(owner, 137, ui::kMbOk | ui::kMbIconStop, "ACL");
        return E_FAIL;
    }
    return S_OK;
}

void ImapDisconnect(Socket* socket) {
    ImapExecute(*socket, "LOGOUT", nullptr);
    TransportClose(socket);
}

HResult ImapHasCapability(const std::string& reply, const std::string& name) {
    std::string text;
    text.reserve(reply.size());
    for (char c : reply) {
        if (c != '\r') {
            text.push_back(Upper(c));
        }
    }
    if (text.empty()) {
        return S_FALSE;
    }
    if (name.empty()) {
        return E_INVALIDARG;
    }
    std::string word = " ";
    for (char c : name) {
        word.push_back(Upper(c));
    }
    word.push_back(' ');
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string::npos ? text.size() : lf;
        std::string line = text.substr(pos, end - pos);
        if (line.empty()) {
            break;  // the lines have run out
        }
        if (line.compare(0, 10, "CAPABILITY") == 0) {
            line.push_back(' ');
            return line.find(word) != std::string::npos ? S_OK : S_FALSE;
        }
        pos = end + 1;
    }
    return S_FALSE;
}

bool ImapSafeArgument(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace wq::net
