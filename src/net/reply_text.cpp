#include "net/reply_text.h"

#include <algorithm>
#include <cstdint>

namespace wq::net {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (UpperAscii(text[i]) != UpperAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimSpace(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    return TrimSpaceRight(text);
}

std::string_view TrimSpaceRight(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view WithoutCarriageReturns(std::string_view line, std::string* scratch) {
    if (line.find('\r') == std::string_view::npos) {
        return line;
    }
    scratch->assign(line);
    scratch->erase(std::remove(scratch->begin(), scratch->end(), '\r'), scratch->end());
    return *scratch;
}

bool LiteralSize(std::string_view line, size_t* size) {
    line = TrimSpace(line);
    if (line.size() < 3 || line.back() != '}') {
        return false;
    }
    line.remove_suffix(1);
    if (line.back() == '+') {
        line.remove_suffix(1);
    }
    const size_t open = line.rfind('{');
    if (open == std::string_view::npos || open + 1 == line.size()) {
        return false;
    }
    size_t n = 0;
    for (char c : line.substr(open + 1)) {
        if (c < '0' || c > '9' || n > (SIZE_MAX - 9) / 10) {
            return false;
        }
        n = n * 10 + static_cast<size_t>(c - '0');
    }
    *size = n;
    return true;
}

bool ReplyLines::next(std::string_view* line) {
    if (done_) {
        return false;
    }
    const size_t lf = rest_.find('\n');
    *line = rest_.substr(0, lf);
    if (lf == std::string_view::npos) {
        done_ = true;
        rest_ = {};
    } else {
        rest_.remove_prefix(lf + 1);
    }
    while (!line->empty() && line->back() == '\r') {
        line->remove_suffix(1);
    }
    return true;
}

std::string_view ReplyTokens::next() {
    size_t i = 0;
    while (i < rest_.size() && IsBlank(rest_[i])) {
        ++i;
    }
    size_t start = i;
    size_t end;
    if (i < rest_.size() && rest_[i] == '"') {
        start = i + 1;
        end = rest_.find('"', start);
        if (end == std::string_view::npos) {
            end = rest_.size();
        }
    } else {
        end = start;
        while (end < rest_.size() && !IsBlank(rest_[end])) {
            ++end;
        }
    }
    std::string_view token = rest_.substr(start, end - start);
    rest_.remove_prefix(end < rest_.size() ? end + 1 : rest_.size());
    return token;
}

}  // namespace wq::net
