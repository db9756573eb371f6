// The mail store: users, folders, messages, ACLs, aliases and scripts behind one lock, written
// to DIR/mailstore.txt after every change when a data directory is set (format in README.md).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "qorvad.h"
#include "store_util.h"

namespace qorvad {

namespace {

constexpr const char* kFileName = "mailstore.txt";
constexpr const char* kMagic = "qorvad-mailstore 1";

struct FolderData {
    bool subscribed = true;
    bool selectable = true;
    std::vector<Message> messages;
    std::vector<AclEntry> acl;
};

const std::shared_ptr<const std::string>& emptyScript() {
    static const auto empty = std::make_shared<const std::string>();
    return empty;
}

struct UserData {
    std::string password;
    std::map<std::string, FolderData> folders;
    // Replaced as a whole, never changed in place: replies hold it while they are sent.
    std::shared_ptr<const std::string> script = emptyScript();
    std::vector<Alias> aliases;
};

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

// Field escaping of the data file: '%', blanks, control bytes and DEL become %XX; an empty
// field is written as "-" and a field that is exactly "-" as "%2D".
std::string escapeField(std::string_view s) {
    if (s.empty())
        return "-";
    if (s == "-")
        return "%2D";
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F || c == '%') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool unescapeField(std::string_view s, std::string& out) {
    out.clear();
    if (s == "-")
        return true;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return false;
        int hi = hexValue(s[i + 1]);
        int lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

void addRightsTo(std::string& rights, std::string_view more) {
    rights = normalizeRights(rights + std::string(more));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

std::string canonicalFolder(std::string_view name) {
    size_t slash = name.find('/');
    std::string_view first = name.substr(0, slash);
    if (equalsNoCase(first, "INBOX")) {
        return "INBOX" + std::string(slash == std::string_view::npos ? "" : name.substr(slash));
    }
    return std::string(name);
}

bool validRights(std::string_view rights) {
    for (char c : rights) {
        char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if (std::string_view(kRightsOrder).find(lower) == std::string_view::npos)
            return false;
    }
    return true;
}

std::string normalizeRights(std::string_view rights) {
    std::string out;
    for (char c : std::string_view(kRightsOrder)) {
        for (char r : rights) {
            char lower = (r >= 'A' && r <= 'Z') ? static_cast<char>(r + 32) : r;
            if (lower == c) {
                out += c;
                break;
            }
        }
    }
    return out;
}

bool Message::hasFlag(std::string_view flag) const {
    for (const std::string& f : flags) {
        if (equalsNoCase(f, flag))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------

struct Mailstore::Impl {
    mutable std::mutex mu;
    std::string dir;
    std::map<std::string, UserData> users;
    std::map<std::string, FolderData> shared;

    static bool isShared(const std::string& name) { return !name.empty() && name[0] == '#'; }

    FolderData* find(const std::string& user, const std::string& name) {
        std::string canon = canonicalFolder(name);
        if (isShared(canon)) {
            auto it = shared.find(canon);
            return it == shared.end() ? nullptr : &it->second;
        }
        auto u = users.find(user);
        if (u == users.end())
            return nullptr;
        auto it = u->second.folders.find(canon);
        return it == u->second.folders.end() ? nullptr : &it->second;
    }
    const FolderData* find(const std::string& user, const std::string& name) const {
        return const_cast<Impl*>(this)->find(user, name);
    }

    std::string rightsLocked(const std::string& user, const std::string& name) const {
        const FolderData* f = find(user, name);
        if (!f || users.find(user) == users.end())
            return "";
        if (!isShared(canonicalFolder(name)) || f->acl.empty())
            return kRightsOrder;
        std::string rights;
        for (const AclEntry& e : f->acl) {
            if (e.identifier == user || e.identifier == "anyone")
                addRightsTo(rights, e.rights);
        }
        return rights;
    }

    bool addFolderLocked(const std::string& user, const std::string& name, bool subscribed,
                         bool selectable) {
        std::string canon = canonicalFolder(name);
        if (canon.empty())
            return false;
        FolderData* existing = find(user, canon);
        if (existing) {
            existing->subscribed = subscribed;
            existing->selectable = selectable;
            return true;
        }
        FolderData f;
        f.subscribed = subscribed;
        f.selectable = selectable;
        if (isShared(canon)) {
            shared.emplace(canon, std::move(f));
            return true;
        }
        auto u = users.find(user);
        if (u == users.end())
            return false;
        f.acl.push_back({user, kAllRights});
        u->second.folders.emplace(canon, std::move(f));
        return true;
    }

    void write(std::ostream& out) const {
        out << kMagic << "\n";
        auto writeFolder = [&out](const std::string& owner, const std::string& name,
                                  const FolderData& f) {
            out << "folder " << escapeField(owner) << ' ' << escapeField(name) << ' '
                << (f.subscribed ? "subscribed" : "unsubscribed") << ' '
                << (f.selectable ? "select" : "noselect") << "\n";
            for (const AclEntry& e : f.acl) {
                out << "acl " << escapeField(owner) << ' ' << escapeField(name) << ' '
                    << escapeField(e.identifier) << ' ' << escapeField(e.rights) << "\n";
            }
            for (const Message& m : f.messages) {
                out << "message " << escapeField(owner) << ' ' << escapeField(name) << ' '
                    << escapeField(m.text);
                for (const std::string& flag : m.flags)
                    out << ' ' << escapeField(flag);
                out << "\n";
            }
        };
        for (const auto& [name, u] : users) {
            out << "user " << escapeField(name) << ' ' << escapeField(u.password) << "\n";
            if (!u.script->empty()) {
                out << "script " << escapeField(name) << ' ' << escapeField(*u.script) << "\n";
            }
            for (const Alias& a : u.aliases) {
                out << "alias " << escapeField(name) << ' ' << escapeField(a.alias) << ' '
                    << escapeField(a.target) << "\n";
            }
            for (const auto& [folder, f] : u.folders)
                writeFolder(name, folder, f);
        }
        for (const auto& [folder, f] : shared)
            writeFolder("", folder, f);
    }

    // Reads records into this (empty) store; false with a message naming the line.
    bool read(std::istream& in, std::string* error) {
        std::string line;
        size_t number = 0;
        auto fail = [&](const std::string& why) {
            if (error)
                *error = std::string(kFileName) + ":" + std::to_string(number) + ": " + why;
            return false;
        };
        while (std::getline(in, line)) {
            ++number;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (number == 1) {
                if (line != kMagic)
                    return fail("not a qorvad mail store");
                continue;
            }
            if (line.empty() || line[0] == '#')
                continue;
            std::vector<std::string_view> raw = splitFields(line);
            if (raw.empty())
                continue;  // a line of blanks
            std::vector<std::string> f(raw.size());
            for (size_t i = 0; i < raw.size(); ++i) {
                if (!unescapeField(raw[i], f[i]))
                    return fail("bad escape in field");
            }
            const std::string& kind = f[0];
            if (kind == "user" && f.size() == 3) {
                UserData& u = users[f[1]];
                u.password = f[2];
            } else if (kind == "script" && f.size() == 3) {
                auto u = users.find(f[1]);
                if (u == users.end())
                    return fail("unknown user");
                u->second.script = std::make_shared<const std::string>(std::move(f[2]));
            } else if (kind == "alias" && f.size() == 4) {
                auto u = users.find(f[1]);
                if (u == users.end())
                    return fail("unknown user");
                u->second.aliases.push_back({f[2], f[3]});
            } else if (kind == "folder" && f.size() == 5) {
                if (!isShared(f[2]) && users.find(f[1]) == users.end()) {
                    return fail("unknown user");
                }
                if (f[3] != "subscribed" && f[3] != "unsubscribed")
                    return fail("bad flag");
                if (f[4] != "select" && f[4] != "noselect")
                    return fail("bad flag");
                if (!addFolderLocked(f[1], f[2], f[3] == "subscribed", f[4] == "select")) {
                    return fail("bad folder");
                }
                find(f[1], f[2])->acl.clear();  // the acl records that follow give the list
            } else if (kind == "acl" && f.size() == 5) {
                FolderData* folder = find(f[1], f[2]);
                if (!folder)
                    return fail("unknown folder");
                if (!validRights(f[4]))
                    return fail("bad rights");
                folder->acl.push_back({f[3], normalizeRights(f[4])});
            } else if (kind == "message" && f.size() >= 4) {
                FolderData* folder = find(f[1], f[2]);
                if (!folder)
                    return fail("unknown folder");
                Message m;
                m.text = f[3];
                m.flags.assign(f.begin() + 4, f.end());
                folder->messages.push_back(std::move(m));
            } else {
                return fail("unknown record");
            }
        }
        if (number == 0)
            return fail("empty file");
        return true;
    }

    bool saveLocked(std::string* error) const {
        if (dir.empty())
            return true;
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            if (error)
                *error = "cannot create " + dir;
            return false;
        }
        std::string path = dir + "/" + kFileName;
        std::string temp = path + ".tmp";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            write(out);
            out.flush();
            if (!out) {
                if (error)
                    *error = "cannot write " + temp;
                return false;
            }
        }
        if (std::rename(temp.c_str(), path.c_str()) != 0) {
            if (error)
                *error = "cannot rename " + temp;
            return false;
        }
        return true;
    }

    void changed() { saveLocked(nullptr); }
};

// ---------------------------------------------------------------------------------------------

Mailstore::Mailstore() : impl_(std::make_unique<Impl>()) {}
Mailstore::~Mailstore() = default;

bool Mailstore::load(const std::string& dir, std::string* error) {
    Impl fresh;
    std::ifstream in(dir + "/" + kFileName, std::ios::binary);
    if (in && !fresh.read(in, error))
        return false;
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->users = std::move(fresh.users);
    impl_->shared = std::move(fresh.shared);
    impl_->dir = dir;
    return true;
}

bool Mailstore::loadText(const std::string& text, std::string* error) {
    Impl fresh;
    std::istringstream in(text);
    if (!fresh.read(in, error))
        return false;
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->users = std::move(fresh.users);
    impl_->shared = std::move(fresh.shared);
    impl_->changed();
    return true;
}

std::string Mailstore::saveText() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::ostringstream out;
    impl_->write(out);
    return out.str();
}

bool Mailstore::save(std::string* error) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->saveLocked(error);
}

void Mailstore::setDataDir(const std::string& dir) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->dir = dir;
}

std::string Mailstore::dataDir() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->dir;
}

void Mailstore::clear() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->users.clear();
    impl_->shared.clear();
    impl_->changed();
}

void Mailstore::addUser(const std::string& name, const std::string& password) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    UserData& u = impl_->users[name];
    u.password = password;
    impl_->addFolderLocked(name, "INBOX", true, true);
    impl_->changed();
}

bool Mailstore::removeUser(const std::string& name) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (impl_->users.erase(name) == 0)
        return false;
    impl_->changed();
    return true;
}

bool Mailstore::hasUser(const std::string& name) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->users.count(name) != 0;
}

std::vector<std::string> Mailstore::users() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::vector<std::string> out;
    for (const auto& entry : impl_->users)
        out.push_back(entry.first);
    return out;
}

bool Mailstore::checkPassword(const std::string& name, const std::string& password) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto it = impl_->users.find(name);
    return it != impl_->users.end() && it->second.password == password;
}

bool Mailstore::addFolder(const std::string& user, const std::string& name, bool subscribed,
                          bool selectable) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (!impl_->addFolderLocked(user, name, subscribed, selectable))
        return false;
    impl_->changed();
    return true;
}

bool Mailstore::removeFolder(const std::string& user, const std::string& name) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::string canon = canonicalFolder(name);
    size_t removed = 0;
    if (Impl::isShared(canon)) {
        removed = impl_->shared.erase(canon);
    } else {
        auto u = impl_->users.find(user);
        if (u != impl_->users.end())
            removed = u->second.folders.erase(canon);
    }
    if (removed == 0)
        return false;
    impl_->changed();
    return true;
}

bool Mailstore::hasFolder(const std::string& user, const std::string& name) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->find(user, name) != nullptr;
}

bool Mailstore::setSubscribed(const std::string& user, const std::string& name, bool subscribed) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    FolderData* f = impl_->find(user, name);
    if (!f)
        return false;
    f->subscribed = subscribed;
    impl_->changed();
    return true;
}

std::vector<FolderInfo> Mailstore::folders(const std::string& user) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::vector<FolderInfo> out;
    auto u = impl_->users.find(user);
    if (u == impl_->users.end())
        return out;
    out.reserve(u->second.folders.size() + impl_->shared.size());
    // INBOX and its sub-folders first, then the other private folders, then the shared ones;
    // each group in byte order of the names.
    auto inInbox = [](const std::string& name) {
        return name.compare(0, 5, "INBOX") == 0 && (name.size() == 5 || name[5] == '/');
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [name, f] : u->second.folders) {
            if (inInbox(name) != (pass == 0))
                continue;
            out.push_back({name, f.subscribed, f.selectable, f.messages.size()});
        }
    }
    for (const auto& [name, f] : impl_->shared) {
        if (impl_->rightsLocked(user, name).find('l') == std::string::npos)
            continue;
        out.push_back({name, f.subscribed, f.selectable, f.messages.size()});
    }
    return out;
}

void Mailstore::addManyFolders(const std::string& user, const std::string& prefix, size_t count) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    for (size_t i = 0; i < count; ++i) {
        impl_->addFolderLocked(user, prefix + std::to_string(i), true, true);
    }
    impl_->changed();
}

bool Mailstore::addManyMessages(const std::string& user, const std::string& folder, size_t count) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    FolderData* f = impl_->find(user, folder);
    if (!f)
        return false;
    f->messages.reserve(f->messages.size() + count);
    for (size_t i = 0; i < count; ++i) {
        f->messages.push_back({{}, "Subject: bulk " + std::to_string(i) + "\r\n\r\nbulk\r\n"});
    }
    impl_->changed();
    return true;
}

size_t Mailstore::addMessage(const std::string& user, const std::string& folder,
                             const std::string& text, const std::vector<std::string>& flags) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    FolderData* f = impl_->find(user, folder);
    if (!f)
        return 0;
    f->messages.push_back({flags, text});
    impl_->changed();
    return f->messages.size();
}

std::vector<Message> Mailstore::messages(const std::string& user, const std::string& folder) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    const FolderData* f = impl_->find(user, folder);
    return f ? f->messages : std::vector<Message>{};
}

bool Mailstore::setAcl(const std::string& user, const std::string& folder,
                       const std::string& identifier, const std::string& rights) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    FolderData* f = impl_->find(user, folder);
    if (!f || identifier.empty() || !validRights(rights))
        return false;
    std::string normal = normalizeRights(rights);
    auto it = std::find_if(f->acl.begin(), f->acl.end(),
                           [&](const AclEntry& e) { return e.identifier == identifier; });
    if (normal.empty()) {
        if (it != f->acl.end())
            f->acl.erase(it);
    } else if (it != f->acl.end()) {
        it->rights = normal;
    } else {
        f->acl.push_back({identifier, normal});
    }
    impl_->changed();
    return true;
}

bool Mailstore::deleteAcl(const std::string& user, const std::string& folder,
                          const std::string& identifier) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    FolderData* f = impl_->find(user, folder);
    if (!f)
        return false;
    auto it = std::find_if(f->acl.begin(), f->acl.end(),
                           [&](const AclEntry& e) { return e.identifier == identifier; });
    if (it != f->acl.end()) {
        f->acl.erase(it);
        impl_->changed();
    }
    return true;
}

std::vector<AclEntry> Mailstore::acl(const std::string& user, const std::string& folder) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    const FolderData* f = impl_->find(user, folder);
    return f ? f->acl : std::vector<AclEntry>{};
}

std::string Mailstore::rightsOf(const std::string& user, const std::string& folder) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->rightsLocked(user, folder);
}

bool Mailstore::setAlias(const std::string& user, const std::string& alias,
                         const std::string& target) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto u = impl_->users.find(user);
    if (u == impl_->users.end() || alias.empty())
        return false;
    auto& list = u->second.aliases;
    auto it =
        std::find_if(list.begin(), list.end(), [&](const Alias& a) { return a.alias == alias; });
    if (it != list.end()) {
        it->target = target;
    } else {
        list.push_back({alias, target});
    }
    impl_->changed();
    return true;
}

bool Mailstore::removeAlias(const std::string& user, const std::string& alias) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto u = impl_->users.find(user);
    if (u == impl_->users.end())
        return false;
    auto& list = u->second.aliases;
    auto it =
        std::find_if(list.begin(), list.end(), [&](const Alias& a) { return a.alias == alias; });
    if (it == list.end())
        return false;
    list.erase(it);
    impl_->changed();
    return true;
}

std::vector<Alias> Mailstore::aliases(const std::string& user) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto u = impl_->users.find(user);
    return u == impl_->users.end() ? std::vector<Alias>{} : u->second.aliases;
}

bool Mailstore::setScript(const std::string& user, const std::string& script) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto u = impl_->users.find(user);
    if (u == impl_->users.end())
        return false;
    u->second.script = std::make_shared<const std::string>(script);
    impl_->changed();
    return true;
}

std::string Mailstore::script(const std::string& user) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto u = impl_->users.find(user);
    return u == impl_->users.end() ? std::string() : *u->second.script;
}

std::shared_ptr<const std::string> Mailstore::sharedScript(const std::string& user) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto u = impl_->users.find(user);
    return u == impl_->users.end() ? emptyScript() : u->second.script;
}

bool Mailstore::storeFlags(const std::string& user, const std::string& folder, size_t first,
                           size_t last, char op, const std::vector<std::string>& flags,
                           std::vector<std::vector<std::string>>* after) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    FolderData* f = impl_->find(user, folder);
    if (!f)
        return false;
    if (after)
        after->clear();
    for (size_t seq = first; seq >= 1 && seq <= last && seq <= f->messages.size(); ++seq) {
        Message& m = f->messages[seq - 1];
        if (op == '=')
            m.flags.clear();
        for (const std::string& flag : flags) {
            auto it = std::find_if(m.flags.begin(), m.flags.end(),
                                   [&](const std::string& x) { return equalsNoCase(x, flag); });
            if (op == '-') {
                if (it != m.flags.end())
                    m.flags.erase(it);
            } else if (it == m.flags.end()) {
                m.flags.push_back(flag);
            }
        }
        if (after)
            after->push_back(m.flags);
    }
    impl_->changed();
    return true;
}

bool Mailstore::expunge(const std::string& user, const std::string& folder,
                        std::vector<size_t>* expunged) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    FolderData* f = impl_->find(user, folder);
    if (!f)
        return false;
    if (expunged)
        expunged->clear();
    std::vector<Message> kept;
    size_t removed = 0;
    for (size_t i = 0; i < f->messages.size(); ++i) {
        if (f->messages[i].hasFlag("\\Deleted")) {
            if (expunged)
                expunged->push_back(i + 1 - removed);
            ++removed;
        } else {
            kept.push_back(std::move(f->messages[i]));
        }
    }
    f->messages = std::move(kept);
    if (removed)
        impl_->changed();
    return true;
}

}  // namespace qorvad
