// The Sieve reader's lexer: turns the script text into tokens, one at a time, and reads the two
// comment conventions of our own on the way: "#!" marker lines that carry a rule's on/off digit
// and name, and "# "-prefixed lines that hold a switched-off rule.
//
// The lexer owns exactly one current token (type, text, number); the parser reads it through the
// accessors and may push it back once. It also keeps the first error of the whole parse: the
// first message stands, later ones are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rules/limits.h"

namespace wq::rules {

enum class TokenType : uint32_t {
    Identifier = 0,  // an ASCII letter, then letters and digits
    String = 1,      // a quoted string, or a multi-line string after "text:"
    Tag = 2,         // ":" and letters; the text is the letters
    Number = 3,      // digits with an optional K, M or G
    OpenBrace = 4,
    CloseBrace = 5,
    OpenBracket = 6,
    CloseBracket = 7,
    OpenParen = 8,
    CloseParen = 9,
    Semicolon = 10,
    Comma = 11,
};

enum class CommentState : uint32_t {
    Normal = 0,
    LineComment = 1,      // the rest of the line is a comment
    SwitchedOffLine = 2,  // a "# "-prefixed line of a switched-off rule
    BlockComment = 3,     // inside /* ... */
};

// The whole state of one reading; parseScript hands a copy back as its result.
struct SieveLexerState {
    TokenType tokenType = TokenType::Identifier;
    uint8_t enabled = 0;  // the on/off state that belongs to the last token read
    CommentState commentState = CommentState::Normal;
    uint32_t error = 0;       // set by the first error
    uint32_t options = 0;     // the caller's flag; not read by the lexer or the parser
    std::string pendingName;  // from the last marker line, not yet given out
    std::string tokenText;    // at most kMaxTokenText characters (filled in by state())
    uint32_t pushedBack = 0;
    uint32_t line = 1;
    std::string errorMessage;  // at most kMaxErrorMessage characters
};

class SieveLexer {
  public:
    // `input` must outlive the lexer. It ends at its first NUL character, as a C string does.
    SieveLexer(std::string_view input, uint32_t options);

    // Reads the next token. False at the end of the input and at a character that begins no
    // token; the current token then stays what it was.
    bool next();
    // The next read returns the current token again.
    void pushBack() { state_.pushedBack = 1; }

    TokenType type() const { return state_.tokenType; }
    bool is(TokenType type) const { return state_.tokenType == type; }
    // An identifier equal to `keyword` without regard to case.
    bool isKeyword(std::string_view keyword) const;
    // A tag whose name equals `name` without regard to case.
    bool isTag(std::string_view name) const;
    // The current token's text; valid until the next read.
    std::string_view text() const { return token_; }
    // A number token's value, modulo 2^32.
    uint32_t number() const { return number_; }
    bool enabled() const { return state_.enabled != 0; }
    uint32_t line() const { return state_.line; }

    // The name from the last marker line (at most kMaxPendingName characters); it goes to one
    // command only. The view stays valid until the next call.
    std::string_view takePendingName();

    // Records an error. Only the first message is kept (cut to kMaxErrorMessage characters);
    // "%s" in `format` stands for `argument`.
    void fail(const char* format, std::string_view argument = {});
    // Marks the parse failed without a message of its own (memory ran out).
    void failSilently() { state_.error = 1; }
    bool failed() const { return state_.error != 0; }

    SieveLexerState state() const;

  private:
    static constexpr int kEnd = -1;

    int get() { return pos_ < input_.size() ? static_cast<unsigned char>(input_[pos_++]) : kEnd; }
    void unget(int c) {
        if (c != kEnd) {
            --pos_;
        }
    }

    bool startsBlockComment();
    bool readMarkerLine();
    bool readToken(int first);
    bool readQuotedString();
    bool readMultiLineString();
    std::string_view readWord();
    void readNumber(int first);
    // Makes `text` the current token's text.
    void commit(TokenType type, std::string_view text);

    SieveLexerState state_;
    std::string_view input_;
    size_t pos_ = 0;
    uint32_t number_ = 0;
    // The current token's text: a view of the input, of numberText_ or of one of strings_.
    std::string_view token_;
    std::string numberText_;
    // Strings are read into the buffer that the current token does not use, so that a string
    // that ends badly leaves the current token as it was.
    std::string strings_[2];
    unsigned nextString_ = 0;
    std::string& stringBeingRead() { return strings_[nextString_]; }
    void commitString() {
        commit(TokenType::String, strings_[nextString_]);
        nextString_ ^= 1;
    }
    // The name given out last by takePendingName.
    std::string takenName_;
};

}  // namespace wq::rules
