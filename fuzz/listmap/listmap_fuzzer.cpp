// Arbitrary server bytes through the X-LISTMAP reader. Every entry must come from its own
// "X-LISTMAP " line and have a known kind; and whatever a listing holds, the command that adds
// an alias back from it either is refused or is one line with its arguments in quotes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "folders/aliases.h"

namespace {

// Names the broken rule before stopping, for the triage of a crash file.
#define check(condition)                                                          \
    do {                                                                          \
        if (!(condition)) {                                                       \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

// Lines that hold "X-LISTMAP " once carriage returns are gone (the reader drops them first).
size_t countListLines(std::string_view raw) {
    std::string text;
    for (char c : raw) {
        if (c != '\r')
            text += c;
    }
    size_t lines = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        if (std::string_view(text).substr(pos, end - pos).find("X-LISTMAP ") !=
            std::string_view::npos) {
            ++lines;
        }
        pos = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto entries = wq::ParseAliasList(text);
    check(entries.size() <= countListLines(text));
    for (const wq::AliasEntry& e : entries) {
        check(e.kind == wq::kAliasKindOwn || e.kind == wq::kAliasKindShared);
        std::string command;
        if (wq::BuildSetMapCommand(e.folder, e.alias, &command)) {
            check(command.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
            check(command.rfind("X-SETMAP \"", 0) == 0 && command.back() == '"');
            size_t quotes = 0;
            for (char c : command)
                quotes += c == '"';
            check(quotes == 4);
        }
    }
    return 0;
}
