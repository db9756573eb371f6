#include "folders/folder_list.h"

#include <algorithm>
#include <string_view>

#include "net/imap.h"
#include "net/reply_text.h"
#include "text/charset.h"

namespace wq {
namespace {

using net::EqualsNoCase;

// The head of one listing line, "LSUB (attributes) "/" "; the name follows it. Attributes other
// than \Noselect (or \NonExistent) are tolerated; another delimiter, or none, is not a folder
// of this listing.
bool ReadHead(net::ReplyTokens& tokens, bool* selectable) {
    if (!EqualsNoCase(tokens.next(), "LSUB")) {
        return false;
    }
    std::string_view rest = tokens.rest();
    const size_t close = rest.find(')');
    if (rest.empty() || rest.front() != '(' || close == std::string_view::npos) {
        return false;
    }
    *selectable = true;
    net::ReplyTokens attributes(rest.substr(1, close - 1));
    for (std::string_view a = attributes.next(); !a.empty(); a = attributes.next()) {
        if (EqualsNoCase(a, "\\Noselect") || EqualsNoCase(a, "\\NonExistent")) {
            *selectable = false;
        }
    }
    tokens = net::ReplyTokens(rest.substr(close + 1));
    if (tokens.rest().substr(0, 4) != "\"/\" ") {
        return false;
    }
    tokens.next();  // the delimiter
    return true;
}

// One listing line: the name is what follows the head with every double quote removed (so
// "a"b" reads ab, and "q" "r" reads q r). A name sent as a literal is not read.
void ParseLine(std::string_view line, std::vector<FolderEntry>* out) {
    net::ReplyTokens tokens(line);
    bool selectable = true;
    if (!ReadHead(tokens, &selectable)) {
        return;
    }
    const std::string_view name = tokens.rest();
    size_t literal = 0;
    if (net::LiteralSize(name, &literal) && name.front() == '{') {
        return;
    }
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

}  // namespace

std::vector<FolderEntry> ParseFolderList(const std::string& reply) {
    std::vector<FolderEntry> entries;
    // The last line is the command's completion.
    std::string_view text = net::TrimSpaceRight(reply);
    const size_t last = text.rfind('\n');
    if (last == std::string_view::npos) {
        return entries;
    }
    net::ReplyLines lines(text.substr(0, last));
    std::string_view line;
    while (lines.next(&line)) {
        ParseLine(line, &entries);
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
