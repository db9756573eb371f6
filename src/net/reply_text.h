// Reading the reply text that ImapExecute collects: the ASCII rules of IMAP (case-blind status
// words, blanks, white space), the reply's lines, and the tokens of one line. Every reader of a
// server reply (capabilities, GETACL, LSUB, X-LISTMAP, X-GETSCRIPT) takes its lines and tokens
// from here and only checks the shape of its own reply.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wq::net {

// Space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Space and tab: what separates the tokens of one line.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

std::string_view TrimBlanks(std::string_view text);
std::string_view TrimSpace(std::string_view text);
std::string_view TrimSpaceRight(std::string_view text);

// The line without carriage returns wherever they stand; `scratch` holds the text when some had
// to go.
std::string_view WithoutCarriageReturns(std::string_view line, std::string* scratch);

// The byte count of the literal announced at the end of a line, "{n}" or "{n+}"; false when the
// line announces none.
bool LiteralSize(std::string_view line, size_t* size);

// The lines of a reply text, each without its line feed and without the carriage returns at
// its end; the text after the last line feed is the last line.
class ReplyLines {
  public:
    explicit ReplyLines(std::string_view text) : rest_(text) {}
    // The next line; false when the text has run out.
    bool next(std::string_view* line);

  private:
    std::string_view rest_;
    bool done_ = false;
};

// The tokens of one line, in the loose form the server's list replies take: blanks between
// tokens; a token that opens with a double quote runs to the next double quote (or the end of
// the line), any other to the next blank.
class ReplyTokens {
  public:
    explicit ReplyTokens(std::string_view line) : rest_(line) {}
    // The next token without its quotes; empty when the line has run out.
    std::string_view next();
    // What follows the tokens taken so far, leading blanks skipped.
    std::string_view rest() const { return TrimBlanks(rest_); }

  private:
    std::string_view rest_;
};

}  // namespace wq::net
