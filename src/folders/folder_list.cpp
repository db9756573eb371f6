#include "folders/folder_list.h"

#include <algorithm>
#include <string_view>

#include "net/imap.h"
#include "text/charset.h"

namespace wq {
namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f';
}

// The head of one listing record: LSUB, the attribute list and the hierarchy delimiter.
struct RecordHead {
    size_t nameStart = 0;    // the name follows here
    bool selectable = true;  // no \Noselect (or \NonExistent) among the attributes
    bool slash = false;      // the delimiter is "/"
};

size_t SkipSpaces(std::string_view line, size_t at) {
    while (at < line.size() && line[at] == ' ') {
        ++at;
    }
    return at;
}

// Whether a record head "LSUB (attributes) "d" " (or NIL for the delimiter) begins at `pos`.
// The spaces between the parts may be missing: the session drops white space at the end of a
// received piece, so a reply cut at a space arrives without it. The attribute list holds
// neither parentheses nor quotes, so neither an atom nor a quoted name (whose quotes are
// escaped) reads as a head.
bool MatchHead(std::string_view line, size_t pos, RecordHead* head) {
    constexpr std::string_view kWord = "LSUB";
    if (line.size() - pos < kWord.size() || !EqualsNoCase(line.substr(pos, kWord.size()), kWord)) {
        return false;
    }
    size_t at = SkipSpaces(line, pos + kWord.size());
    if (at >= line.size() || line[at] != '(') {
        return false;
    }
    ++at;
    const size_t close = line.find_first_of("()\"", at);
    if (close == std::string_view::npos || line[close] != ')') {
        return false;
    }
    // Attributes each begin with a backslash; the space between two may be gone.
    head->selectable = true;
    std::string_view attributes = line.substr(at, close - at);
    while (!attributes.empty()) {
        const size_t next = attributes.find_first_of(" \\", 1);
        std::string_view attribute = attributes.substr(0, next);
        if (EqualsNoCase(attribute, "\\Noselect") || EqualsNoCase(attribute, "\\NonExistent")) {
            head->selectable = false;
        }
        attributes.remove_prefix(next == std::string_view::npos ? attributes.size() : next);
        while (!attributes.empty() && attributes.front() == ' ') {
            attributes.remove_prefix(1);
        }
    }
    at = SkipSpaces(line, close + 1);
    std::string_view rest = line.substr(at);
    if (rest.size() >= 3 && rest[0] == '"' && rest[1] != '"' && rest[1] != '\\' && rest[2] == '"') {
        head->slash = rest[1] == '/';
        at += 3;
    } else if (rest.size() >= 4 && rest.substr(0, 4) == "\"\\\\\"") {
        head->slash = false;  // a backslash, quoted
        at += 4;
    } else if (rest.size() >= 3 && EqualsNoCase(rest.substr(0, 3), "NIL")) {
        head->slash = false;  // no hierarchy
        at += 3;
    } else {
        return false;
    }
    head->nameStart = SkipSpaces(line, at);
    return true;
}

// The end of a quoted text that opens at `open`: the position of its closing quote, skipping
// backslash escapes; npos when it does not close.
size_t ClosingQuote(std::string_view line, size_t open) {
    for (size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

// The first record head after `from`, or npos.
size_t NextHead(std::string_view line, size_t from) {
    RecordHead ignored;
    for (size_t i = from; i < line.size(); ++i) {
        if ((line[i] == 'L' || line[i] == 'l') && MatchHead(line, i, &ignored)) {
            return i;
        }
    }
    return std::string_view::npos;
}

void AddEntry(std::string_view name, bool selectable, std::vector<FolderEntry>* out) {
    std::string unquoted;
    unquoted.reserve(name.size());
    for (char c : name) {
        if (c != '"') {
            unquoted.push_back(c);
        }
    }
    FolderEntry entry;
    entry.serverName = mutf7ToAnsi(unquoted);
    if (entry.serverName.empty()) {
        return;
    }
    entry.depth =
        static_cast<int>(std::count(entry.serverName.begin(), entry.serverName.end(), '/'));
    const size_t slash = entry.serverName.rfind('/');
    entry.leaf = slash == std::string::npos ? entry.serverName : entry.serverName.substr(slash + 1);
    entry.selectable = selectable;
    out->push_back(std::move(entry));
}

// The records of one line. In the completion line (`last`), only records whose end is certain
// count: a quoted name that closes, or an atom that another record follows; the status text of
// the completion may follow the last of them.
void ParseLine(std::string_view line, bool last, std::vector<FolderEntry>* out) {
    // A line cut just after its "*" comes on with the space that followed.
    while (!line.empty() && IsBlank(line.front())) {
        line.remove_prefix(1);
    }
    RecordHead head;
    if (!MatchHead(line, 0, &head)) {
        return;  // not a listing line
    }
    for (;;) {
        const size_t start = head.nameStart;
        size_t end;    // end of the name's text
        size_t after;  // where another record may begin
        bool certain = true;
        if (start < line.size() && line[start] == '"') {
            const size_t close = ClosingQuote(line, start);
            if (close == std::string_view::npos) {
                end = after = line.size();
                certain = false;
            } else {
                end = close + 1;
                after = end;
                while (after < line.size() && line[after] == ' ') {
                    ++after;
                }
            }
        } else {
            end = after = std::min(NextHead(line, start), line.size());
            certain = end < line.size();
        }
        std::string_view name = line.substr(start, end - start);
        const bool literal = name.size() >= 2 && name.front() == '{' && name.back() == '}';
        if (head.slash && !literal && (certain || !last)) {
            AddEntry(name, head.selectable, out);
        }
        if (after >= line.size() || !MatchHead(line, after, &head)) {
            return;
        }
    }
}

}  // namespace

std::vector<FolderEntry> ParseFolderList(const std::string& reply) {
    std::string text = reply;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    while (!text.empty() && IsBlank(text.back())) {
        text.pop_back();
    }
    std::vector<FolderEntry> entries;
    std::string_view rest(text);
    size_t pos = 0;
    for (;;) {
        const size_t lf = rest.find('\n', pos);
        if (lf == std::string_view::npos) {
            ParseLine(rest.substr(pos), true, &entries);
            break;
        }
        ParseLine(rest.substr(pos, lf - pos), false, &entries);
        pos = lf + 1;
    }
    return entries;
}

HResult ListFolders(std::vector<FolderEntry>* folders) {
    if (!folders) {
        return E_INVALIDARG;
    }
    folders->clear();
    std::string reply;
    HResult result = net::ImapRunCommand(kListSubscribedCommand, &reply, nullptr);
    if (result != S_OK) {
        return result;
    }
    *folders = ParseFolderList(reply);
    return S_OK;
}

}  // namespace wq
