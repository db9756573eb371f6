// The client side of an IMAP4 conversation over one transport connection: one command at a
// time, every command with the same tag, the server's lines read up to that command's tagged
// completion and collected into a reply text that the parsers of server replies work on.
//
// The reply text holds the untagged data lines without their "* ", any other lines as they came,
// and the tagged line without the tag and its space. Lines keep their carriage return and end in
// a line feed; the final line (the tagged one, or the greeting's status line) ends without line
// break. Leading white space of lines and empty lines are dropped. Untagged status lines (OK, NO,
// BAD, BYE) are dropped, except when the greeting is read, where the first one ends the exchange.
//
// Only whole lines are looked at: a line cut by the end of a received piece waits for the rest,
// so the reply text and the result are the same however the reply is cut. A line that ends with
// a literal announcement "{n}" is followed by n bytes that are data, not reply syntax: they go
// into the reply text as they are, and the rest of the announcing line follows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"
#include "net/transport.h"
#include "platform/ui.h"
#include "wqrt.h"

namespace wq::net {

// The tag of every command on every connection; commands are strictly sequential, so one fixed
// tag is enough.
inline constexpr std::string_view kImapTag = "A000";

// Results of reading the greeting (an empty command), by the untagged status word.
inline constexpr HResult kGreetingOk = 0;
inline constexpr HResult kGreetingNo = 1;
inline constexpr HResult kGreetingBad = 2;
inline constexpr HResult kGreetingBye = 3;

// The most reply text one command may collect (the largest scripts and folder lists are a few
// megabytes).
inline constexpr size_t kMaxReplyText = size_t{256} << 20;

// The line reader behind ImapExecute, without the socket: fed with received pieces, it handles
// every complete line and carries an incomplete one into the next piece. Linear in the size of
// what it is fed.
class ImapReplyReader {
  public:
    // `greeting`: the command was empty, so an untagged status line ends the exchange.
    // `reply`: where the reply text goes (appended to), or null. Not owned.
    // `limit`: the most bytes of a reply, collected or not; a server that sends more (one that
    // never sends the tagged line, say) ends the exchange with E_OUTOFMEMORY instead of
    // exhausting the host or keeping it waiting forever, wherever the reads cut the reply.
    ImapReplyReader(bool greeting, std::string* reply, size_t limit = kMaxReplyText);

    // Handles a received piece. True once the exchange is complete; what follows the completing
    // line is not looked at. Zero bytes are dropped.
    bool feed(std::string_view piece);
    // The peer has closed: a last line that lacks only its line break is handled as it stands.
    void finish();

    bool done() const { return done_; }
    // The ImapStatus: E_UNEXPECTED until a line completed the exchange.
    HResult result() const { return result_; }

  private:
    void handleLine(std::string_view line);
    void classify(std::string_view line);
    void announceLiteral(std::string_view line);
    void append(std::string_view text, bool lineFeed);
    bool consume(size_t bytes);

    bool greeting_;
    std::string* reply_;  // not owned
    size_t limit_;
    size_t taken_ = 0;           // reply text handled so far, collected or not
    std::string partial_;        // a line whose line feed has not come yet
    size_t literal_ = 0;         // bytes of a literal still to come
    bool afterLiteral_ = false;  // the next line is the rest of a literal's announcing line
    bool done_ = false;
    HResult result_ = E_UNEXPECTED;
};

// Sends the command (with the tag, ending in "\r\n") and reads up to its tagged completion.
// An empty command (after leading white space) sends nothing and reads the greeting.
// Results: tagged OK 0, NO 1, BAD E_INVALIDARG, BYE E_ABORT, anything else or a reply that ends
// before its tagged line E_UNEXPECTED; greeting OK/NO/BAD/BYE 0/1/2/3; a failed send the last
// socket error as a result code (E_UNEXPECTED when the user declined to wait). A command holding
// a zero byte is refused with E_INVALIDARG before anything is sent.
HResult ImapExecute(Socket socket, const std::string& command, std::string* reply);

// LOGIN with the record's credentials, unquoted. When the server says NO and `interactive` is
// set: message 135, then the logon dialog, and LOGIN again with what the user typed, as often as
// the user confirms. 0 when logged in, 1 when the user cancelled, E_INVALIDARG for SPA (message
// 1100), for BAD and for a user name or password holding CR, LF or NUL (nothing is sent then);
// otherwise the failing status. `remember` points to the record's rememberPassword, or is null.
HResult ImapLogin(Socket socket, const AccountSettings* account, bool interactive,
                  uint8_t* remember);

// One connection to the account's server, from opening to closing: connect, SSL when the account
// asks for it, the greeting, LOGIN with the logon dialog after a refusal, commands, and at the
// end LOGOUT and close. Every operation that talks to the server holds one; the destructor
// closes what is still open, so no path leaves a connection behind.
class ImapSession {
  public:
    // `account` is not owned and must outlive the session.
    explicit ImapSession(const AccountSettings* account) : account_(account) {}
    ~ImapSession() { close(); }
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    // Connects, starts SSL when asked for and reads the greeting (its reply text into
    // `greeting` when given). The greeting's result, or the failure of an earlier step.
    HResult connect(std::string* greeting = nullptr);
    // CAPABILITY must announce `name`; without it message 137 (owned by `owner`) and E_FAIL.
    HResult requireCapability(ui::Window owner, const std::string& name);
    // LOGIN, asking again after a refusal; `remember` goes to the logon dialog (null: the
    // Remember box only shows the record's flag).
    HResult login(uint8_t* remember);
    // connect, then login.
    HResult open(uint8_t* remember, std::string* greeting = nullptr);
    // One command (ImapExecute). A result after which the connection cannot carry another
    // command (the reply broke off, BYE, a failed send) marks the session broken.
    HResult execute(const std::string& command, std::string* reply);
    // LOGOUT when logged in and `logout` is set and the connection is not broken, then close.
    void close(bool logout = true);

    bool loggedIn() const { return loggedIn_; }
    bool broken() const { return broken_; }
    // Hands the open connection over to the caller, who closes it.
    Socket release();

  private:
    const AccountSettings* account_;  // not owned
    Socket socket_ = kInvalidSocket;
    bool loggedIn_ = false;
    bool broken_ = false;
};

// One command on a fresh connection to the CurrentAccount: connect, SSL when asked for, greeting,
// LOGIN, the command, LOGOUT, close. The result of the command or of the first step that failed.
// `reply` receives the command's reply text, `loggedIn` whether LOGIN succeeded; both may be null.
HResult ImapRunCommand(const std::string& command, std::string* reply, bool* loggedIn);

// Opens a greeted connection (not logged in) to a server that announces the ACL capability.
// Without it: message 137 with "ACL", owned by `owner`, and E_FAIL. On failure the socket may
// still be open; the caller closes it with TransportClose.
HResult ImapConnectWithAcl(Socket* socket, ui::Window owner, const AccountSettings* account);

// LOGOUT, then close.
void ImapDisconnect(Socket* socket);

// Whether a CAPABILITY reply text announces `name` as a whole word on a line that begins with
// "CAPABILITY": 0 yes, 1 no (or an empty reply), E_INVALIDARG for an empty name.
HResult ImapHasCapability(const std::string& reply, const std::string& name);

// True when the text may go into a command line: no CR, LF or NUL.
bool ImapSafeArgument(std::string_view text);

}  // namespace wq::net
