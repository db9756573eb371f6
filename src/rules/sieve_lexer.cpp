#include "rules/sieve_lexer.h"

#include <utility>

#include "rules/ascii.h"

namespace wq::rules {

SieveLexer::SieveLexer(std::string_view input, uint32_t options)
    : input_(input.substr(0, input.find('\0'))) {
    state_.options = options;
    strings_[0].reserve(kMaxTokenText);
    strings_[1].reserve(kMaxTokenText);
}

bool SieveLexer::isKeyword(std::string_view keyword) const {
    return state_.tokenType == TokenType::Identifier && equalsNoCase(token_, keyword);
}

bool SieveLexer::isTag(std::string_view name) const {
    return state_.tokenType == TokenType::Tag && equalsNoCase(token_, name);
}

std::string_view SieveLexer::takePendingName() {
    std::swap(takenName_, state_.pendingName);
    state_.pendingName.clear();
    return takenName_;
}

void SieveLexer::fail(const char* format, std::string_view argument) {
    if (state_.error) {
        return;
    }
    std::string message;
    std::string_view f = format;
    size_t at = f.find("%s");
    if (at == std::string_view::npos) {
        message.assign(f);
    } else {
        message.assign(f.substr(0, at));
        message.append(argument);
        message.append(f.substr(at + 2));
    }
    if (message.size() > kMaxErrorMessage) {
        message.resize(kMaxErrorMessage);
    }
    state_.errorMessage = std::move(message);
    state_.error = 1;
}

void SieveLexer::commit(TokenType type, std::string_view text) {
    state_.tokenType = type;
    token_ = text;
}

SieveLexerState SieveLexer::state() const {
    SieveLexerState state = state_;
    state.tokenText.assign(token_);
    return state;
}

// Skips white space and comments until a token begins.
//
//   line feed        counts the line; ends a line comment or switched-off line
//   "#!" (state 0)   a marker line
//   "#"  (state 0)   a comment when the last token was switched on, else a switched-off line
//   "#"  (state 1/2) the rest of the line is a comment
//   "/*" (state 0/2) a block comment, up to "*/" (then state 0)
//   other (state 0)  begins a switched-on token; (state 2) begins a switched-off token
bool SieveLexer::next() {
    if (state_.pushedBack) {
        state_.pushedBack = 0;
        return true;
    }
    for (;;) {
        int c = get();
        if (c == kEnd) {
            return false;
        }
        if (c == '\n') {
            ++state_.line;
            if (state_.commentState != CommentState::BlockComment) {
                state_.commentState = CommentState::Normal;
            }
            continue;
        }
        if (isAsciiSpace(c)) {
            continue;
        }
        switch (state_.commentState) {
            case CommentState::Normal:
                if (c == '#') {
                    int d = get();
                    if (d == '!') {
                        if (!readMarkerLine()) {
                            return false;
                        }
                        continue;
                    }
                    unget(d);
                    state_.commentState =
                        state_.enabled ? CommentState::LineComment : CommentState::SwitchedOffLine;
                    continue;
                }
                if (c == '/' && startsBlockComment()) {
                    state_.commentState = CommentState::BlockComment;
                    continue;
                }
                state_.enabled = 1;
                return readToken(c);
            case CommentState::SwitchedOffLine:
                if (c == '#') {
                    state_.commentState = CommentState::LineComment;
                    continue;
                }
                if (c == '/' && startsBlockComment()) {
                    state_.commentState = CommentState::BlockComment;
                    continue;
                }
                state_.enabled = 0;
                return readToken(c);
            case CommentState::LineComment:
                continue;
            case CommentState::BlockComment:
                if (c == '*') {
                    int d = get();
                    if (d == '/') {
                        state_.commentState = CommentState::Normal;
                    } else {
                        unget(d);
                    }
                }
                continue;
        }
    }
}

bool SieveLexer::startsBlockComment() {
    int d = get();
    if (d == '*') {
        return true;
    }
    unget(d);
    return false;
}

// "#!" then the rest of the line: the on/off digit, and after a space the rule name. The line
// end is consumed; only the first kMaxMarkerRest characters of the rest count. An empty rest
// ends the reading.
bool SieveLexer::readMarkerLine() {
    size_t start = pos_;
    size_t end = input_.find('\n', start);
    size_t next = end == std::string_view::npos ? input_.size() : end + 1;
    if (end == std::string_view::npos) {
        end = input_.size();
    }
    pos_ = next;
    std::string_view rest = input_.substr(start, end - start);
    if (rest.size() > kMaxMarkerRest) {
        rest = rest.substr(0, kMaxMarkerRest);
    }
    if (rest.empty()) {
        return false;
    }
    ++state_.line;
    state_.enabled = rest[0] == '1' ? 1 : 0;
    state_.pendingName.clear();
    if (rest.size() >= 2 && rest[1] == ' ') {
        std::string_view name = rest.substr(2);
        while (!name.empty() && (name.back() == '\r' || name.back() == '\n')) {
            name.remove_suffix(1);
        }
        state_.pendingName.assign(name.substr(0, kMaxPendingName));
    }
    return true;
}

bool SieveLexer::readToken(int first) {
    switch (first) {
        case '[':
        case ']':
        case '{':
        case '}':
        case '(':
        case ')':
        case ';':
        case ',': {
            TokenType type = first == '['   ? TokenType::OpenBracket
                             : first == ']' ? TokenType::CloseBracket
                             : first == '{' ? TokenType::OpenBrace
                             : first == '}' ? TokenType::CloseBrace
                             : first == '(' ? TokenType::OpenParen
                             : first == ')' ? TokenType::CloseParen
                             : first == ';' ? TokenType::Semicolon
                                            : TokenType::Comma;
            commit(type, input_.substr(pos_ - 1, 1));
            return true;
        }
        case '"':
            return readQuotedString();
        case ':': {
            const size_t start = pos_;
            while (pos_ - start < kMaxTokenText && pos_ < input_.size() &&
                   isAsciiLetter(static_cast<unsigned char>(input_[pos_]))) {
                ++pos_;
            }
            commit(TokenType::Tag, input_.substr(start, pos_ - start));
            return true;
        }
        default:
            break;
    }
    if (isAsciiDigit(first)) {
        readNumber(first);
        return true;
    }
    if (isAsciiLetter(first)) {
        std::string_view word = readWord();
        if (equalsNoCase(word, "text")) {
            int c = get();
            if (c == ':') {
                return readMultiLineString();
            }
            unget(c);
        }
        commit(TokenType::Identifier, word);
        return true;
    }
    return false;
}

// A backslash makes the next character literal; "\n", "\r" and "\t" stand for line feed,
// carriage return and tab. At kMaxTokenText characters the string ends where it is: a double
// quote right there closes it, and anything else that follows is read as further tokens. Line
// breaks inside are kept and not counted.
bool SieveLexer::readQuotedString() {
    std::string& text = stringBeingRead();
    text.clear();
    for (;;) {
        if (text.size() == kMaxTokenText) {
            if (pos_ < input_.size() && input_[pos_] == '"') {
                ++pos_;
            }
            break;
        }
        // Plain characters are taken as one run.
        size_t room = kMaxTokenText - text.size();
        size_t start = pos_;
        size_t limit = input_.size() - pos_ < room ? input_.size() : pos_ + room;
        while (pos_ < limit && input_[pos_] != '"' && input_[pos_] != '\\') {
            ++pos_;
        }
        text.append(input_.data() + start, pos_ - start);
        if (text.size() == kMaxTokenText) {
            continue;
        }
        int c = get();
        if (c == kEnd) {
            return false;
        }
        if (c == '"') {
            break;
        }
        c = get();  // after a backslash
        if (c == kEnd) {
            return false;
        }
        text.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : static_cast<char>(c));
    }
    commitString();
    return true;
}

// "text:": the rest of that line is skipped; the value is the following lines, each with its
// line end, up to a line that is a single "." (a carriage return before the line feed allowed;
// the last line of the input may also end without one). A missing end line, a line longer than
// kMaxMultiLineLine characters or a value of more than kMaxTokenText characters gives no token.
bool SieveLexer::readMultiLineString() {
    size_t end = input_.find('\n', pos_);
    if (end == std::string_view::npos) {
        pos_ = input_.size();
        return false;
    }
    pos_ = end + 1;
    ++state_.line;
    std::string& text = stringBeingRead();
    text.clear();
    for (;;) {
        if (pos_ >= input_.size()) {
            return false;
        }
        size_t start = pos_;
        size_t feed = input_.find('\n', start);
        size_t next = feed == std::string_view::npos ? input_.size() : feed + 1;
        std::string_view line = input_.substr(start, next - start);
        if (line.size() > kMaxMultiLineLine) {
            pos_ = start + kMaxMultiLineLine;
            return false;
        }
        pos_ = next;
        if (feed != std::string_view::npos) {
            ++state_.line;
        }
        std::string_view content = line;
        if (!content.empty() && content.back() == '\n') {
            content.remove_suffix(1);
        }
        if (content == "." || content == ".\r") {
            break;
        }
        if (text.size() + line.size() > kMaxTokenText) {
            return false;
        }
        text.append(line);
    }
    commitString();
    return true;
}

// An identifier: the letter just read, then letters and digits (at most kMaxTokenText
// characters), as a view of the input.
std::string_view SieveLexer::readWord() {
    const size_t start = pos_ - 1;
    while (pos_ - start < kMaxTokenText && pos_ < input_.size()) {
        const int c = static_cast<unsigned char>(input_[pos_]);
        if (!isAsciiLetter(c) && !isAsciiDigit(c)) {
            break;
        }
        ++pos_;
    }
    return input_.substr(start, pos_ - start);
}

// Decimal digits in 32 bits, then an optional K, M or G multiplier; all arithmetic is modulo
// 2^32. The value is unsigned; the token's text is the value as a signed number.
void SieveLexer::readNumber(int first) {
    uint32_t value = static_cast<uint32_t>(first - '0');
    for (;;) {
        int c = get();
        if (isAsciiDigit(c)) {
            value = value * 10u + static_cast<uint32_t>(c - '0');
            continue;
        }
        switch (c) {
            case 'k':
            case 'K':
                value *= 1024u;
                break;
            case 'm':
            case 'M':
                value *= 1048576u;
                break;
            case 'g':
            case 'G':
                value *= 1073741824u;
                break;
            default:
                unget(c);
                break;
        }
        break;
    }
    number_ = value;
    numberText_ = std::to_string(static_cast<int32_t>(value));
    commit(TokenType::Number, numberText_);
}

}  // namespace wq::rules
