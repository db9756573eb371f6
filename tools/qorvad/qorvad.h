// qorvad: the reference Qorva MailServer, a small IMAP4 server with the ACL extension and the
// server's own X-GETSCRIPT, X-PUTSCRIPT, X-LISTMAP, X-SETMAP and X-DELETEMAP commands.
//
// It runs in-process for tests (Server on its own threads, 127.0.0.1, free ports) and as the
// command-line program `qorvad` for the demo. Every reply form is listed in README.md.
//
// Thread safety: every public method of Mailstore and Server may be called from any thread
// while the server runs; the server's threads take the same locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qorvad {

// Full rights of a folder owner, in the order the server lists rights.
inline constexpr const char* kAllRights = "lrswipcda";

// One message: its flags ("\\Seen", "\\Deleted", keywords) and its raw text.
struct Message {
    std::vector<std::string> flags;
    std::string text;

    bool hasFlag(std::string_view flag) const;  // flag names compare without regard to case
};

// One entry of a folder's access control list. Group identifiers keep their brackets: "[staff]".
struct AclEntry {
    std::string identifier;
    std::string rights;  // lower-case letters in the server's canonical order
};

// One alias of a user: mail to `alias` goes to `target` ("~INBOX/Sales" or "#public/Support").
struct Alias {
    std::string alias;
    std::string target;
};

// A folder as listed: server name in modified UTF-7, "/" between levels. Names that begin with
// "#" are shared folders, visible to every user with the lookup right.
struct FolderInfo {
    std::string name;
    bool subscribed = true;
    bool selectable = true;  // false: listed with \Noselect, SELECT answers NO
    size_t messages = 0;
};

// Users, their folders with messages and flags, ACLs, aliases and Sieve scripts.
// When a data directory is set, every change (from a client command or from these methods)
// is written to DIR/mailstore.txt at once; the bulk helpers write once at the end.
class Mailstore {
  public:
    Mailstore();
    ~Mailstore();
    Mailstore(const Mailstore&) = delete;
    Mailstore& operator=(const Mailstore&) = delete;

    // Persistence. load() replaces the whole content with DIR/mailstore.txt (a missing file
    // gives an empty store and success) and remembers DIR for later saves. Errors name the line.
    bool load(const std::string& dir, std::string* error = nullptr);
    bool save(std::string* error = nullptr) const;  // to the remembered directory
    // The same text format in memory: loadText replaces the content (the data directory is
    // kept), saveText gives what save() would write.
    bool loadText(const std::string& text, std::string* error = nullptr);
    std::string saveText() const;
    void setDataDir(const std::string& dir);  // empty: keep everything in memory only
    std::string dataDir() const;
    void clear();

    // Users. addUser creates the user's INBOX; it replaces the password of an existing user.
    void addUser(const std::string& name, const std::string& password);
    bool removeUser(const std::string& name);
    bool hasUser(const std::string& name) const;
    std::vector<std::string> users() const;
    bool checkPassword(const std::string& name, const std::string& password) const;

    // Folders. `user` owns private folders; for names beginning with "#" it is ignored (shared).
    // A private folder starts with one ACL entry: its owner with kAllRights.
    // A name whose first level is INBOX in any case names the INBOX.
    bool addFolder(const std::string& user, const std::string& name, bool subscribed = true,
                   bool selectable = true);
    bool removeFolder(const std::string& user, const std::string& name);
    bool hasFolder(const std::string& user, const std::string& name) const;
    bool setSubscribed(const std::string& user, const std::string& name, bool subscribed);
    // Every folder the user can see (own and shared with the lookup right), in listing order.
    std::vector<FolderInfo> folders(const std::string& user) const;
    // Benchmark helper: adds `count` subscribed private folders named prefix + number
    // ("Bulk/0", "Bulk/1", ...) quickly, with one save at the end.
    void addManyFolders(const std::string& user, const std::string& prefix, size_t count);

    // Benchmark helper: appends `count` small unseen messages to the folder, one save at the end.
    // False when the folder is missing.
    bool addManyMessages(const std::string& user, const std::string& folder, size_t count);

    // Messages: appending returns the new sequence number (1-based), 0 when the folder is missing.
    size_t addMessage(const std::string& user, const std::string& folder, const std::string& text,
                      const std::vector<std::string>& flags = {});
    std::vector<Message> messages(const std::string& user, const std::string& folder) const;

    // ACLs, in listing order. setAcl with empty rights removes the entry.
    bool setAcl(const std::string& user, const std::string& folder, const std::string& identifier,
                const std::string& rights);
    bool deleteAcl(const std::string& user, const std::string& folder,
                   const std::string& identifier);
    std::vector<AclEntry> acl(const std::string& user, const std::string& folder) const;
    // The rights `user` holds on the folder: kAllRights and more for the owner of a private
    // folder; for a shared folder the union of the entries of the user and of "anyone", or
    // every right when the folder's list is empty. Empty when the folder is missing.
    std::string rightsOf(const std::string& user, const std::string& folder) const;

    // Aliases, in the order they were first set; setting an existing alias moves its target.
    bool setAlias(const std::string& user, const std::string& alias, const std::string& target);
    bool removeAlias(const std::string& user, const std::string& alias);
    std::vector<Alias> aliases(const std::string& user) const;

    // The user's active Sieve script, UTF-8, bytes kept exactly as stored.
    bool setScript(const std::string& user, const std::string& script);
    std::string script(const std::string& user) const;
    // The same bytes without a copy: a stored script is never changed in place (setScript
    // stores a new one), so the text stays valid and unchanged for as long as it is held.
    // Never null; empty when the user or the script is missing.
    std::shared_ptr<const std::string> sharedScript(const std::string& user) const;

    // Demo account "demo" / "demo" (and "anna" / "anna"): folders with sub-folders, a folder
    // with a non-ASCII name, the shared #public tree, ACLs, aliases, messages and a Sieve
    // script with several rules. Existing content of those users is replaced.
    void createDemo();

    // Flag changes on the messages first..last (1-based sequence numbers, inclusive, already
    // checked against the count): op '+' adds, '-' removes, '=' replaces. Gives the flags of
    // every message in the range after the change. False when the folder is missing.
    bool storeFlags(const std::string& user, const std::string& folder, size_t first, size_t last,
                    char op, const std::vector<std::string>& flags,
                    std::vector<std::vector<std::string>>* after = nullptr);
    // Removes the messages flagged \Deleted; gives their sequence numbers as an IMAP server
    // reports them (each number counted after the earlier removals). False when missing.
    bool expunge(const std::string& user, const std::string& folder,
                 std::vector<size_t>* expunged = nullptr);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Ways to make the server misbehave, for the library's tests. A connection takes a copy of the
// faults when it is accepted; later changes apply to later connections. Command names in the
// faults may be written in any case.
struct Faults {
    bool silentAfterAccept = false;  // accept, record what arrives, never send a byte
    int delayMs = 0;                 // wait this long before every reply (greeting included)
    size_t splitReplies = 0;         // send every reply in pieces of this many bytes (0: whole)
    int splitPauseMs = 20;           // pause between the pieces of a split reply
    std::string closeMidReplyOf;     // command name (e.g. "X-GETSCRIPT"): send the
                                     // first half of that command's reply, then close
    std::string greeting = "OK";     // "OK", "NO", "BAD" or "BYE" (NO, BAD, BYE then close)
    bool announceAcl = true;         // false: CAPABILITY without ACL
    std::map<std::string, std::string> scripted;  // command name -> "NO" or "BAD"
    // Command name -> the exact bytes to send instead of running the command;
    // every "{tag}" in them becomes the command's tag. For reply forms no fault above makes,
    // e.g. {"CAPABILITY", "* CAPABILITY IMAP4rev1 XACL\r\n{tag} OK done\r\n"}.
    std::map<std::string, std::string> scriptedReplies;
    bool zeroByteInData = false;   // a zero byte before the line end of the first untagged data
                                   // line of every reply
    bool lowerCaseStatus = false;  // tag and status words in lower case: "a000 ok ..."
    std::string stopReadingOn;     // command name (e.g. "X-PUTSCRIPT"): once it arrives, read
                                   // nothing more, so the client's sends fill the socket
    bool badOnEmptyLine = false;   // answer an empty line like Dovecot does:
                                   // "* BAD Error in IMAP tag: Invalid tag" (default: ignore it)
};

// The server: plain TCP and TLS listeners, one thread per connection.
class Server {
  public:
    Server();  // in-memory store
    // Loads DIR/mailstore.txt and saves every change there. When the file cannot be read,
    // loadError() says why and the store stays in memory only (the file is left untouched).
    explicit Server(const std::string& dataDir);
    ~Server();  // stop()
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    Mailstore& store();

    void setFaults(const Faults& faults);
    Faults faults() const;
    void updateFaults(const std::function<void(Faults&)>& change);

    // Address to bind to before listen(); default "127.0.0.1".
    void setBindAddress(const std::string& address);
    // Plain TCP; port 0 takes a free port. Returns the port, 0 on failure. Serves on its own
    // thread until stop().
    uint16_t listen(uint16_t port = 0);
    // TLS with a self-signed certificate made in memory when first needed. 0 on failure.
    uint16_t listenTls(uint16_t port = 0);
    // Closes the listeners and every connection and joins all threads. Safe to call twice.
    void stop();

    // Every byte received, all connections, in order of arrival.
    std::string received() const;
    // The bytes of each connection, in the order the connections were accepted.
    std::vector<std::string> receivedPerConnection() const;
    void clearReceived();
    size_t connectionCount() const;  // connections accepted since start or clearReceived()

    // Called with each problem the server meets (bind failure, TLS failure); default: none.
    void setLog(std::function<void(const std::string&)> log);

    std::string loadError() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string loadError_;
};

// The protocol engine of one connection, without sockets: fed with received bytes, it answers
// with replies. The network layer and the fuzz target drive it.
//
// A reply is sent as text[0, bodyAt), then the body (when there is one), then the rest of text.
// The body carries a large literal (a script) straight from the store, so that a reply of many
// megabytes is handed to the socket without being copied or assembled first.
struct Reply {
    std::string command;                      // upper-case command name ("" for the greeting
                                              // and untagged notices)
    std::string text;                         // bytes to send, apart from the body
    std::shared_ptr<const std::string> body;  // shared, never changed; may be null
    size_t bodyAt = 0;                        // where the body goes in text
    bool close = false;                       // close the connection after sending

    size_t size() const { return text.size() + (body ? body->size() : 0); }
    // Every byte as it goes on the wire (a copy; for tests and the fuzz target).
    std::string bytes() const;
};

class Session {
  public:
    Session(Mailstore& store, Faults faults, bool tls);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Reply greeting();
    // Consumes the bytes and appends the replies they complete. Returns false once the
    // connection must be closed (after LOGOUT, a fatal error or a greeting other than OK).
    bool feed(std::string_view bytes, std::vector<Reply>& out);
    bool closed() const;

    // Limits of what a client may send.
    static constexpr size_t kMaxLine = 64 * 1024;
    static constexpr size_t kMaxLiteral = 16 * 1024 * 1024;
    static constexpr int kMaxBadCommands = 20;
    static constexpr size_t kMaxName = 1024;  // mailbox names, list patterns, identifiers

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Modified UTF-7 (IMAP mailbox names) from and to UTF-8. decode fails on malformed input.
std::string mutf7Encode(std::string_view utf8);
bool mutf7Decode(std::string_view mutf7, std::string& utf8);

}  // namespace qorvad
