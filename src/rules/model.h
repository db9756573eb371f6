// The rule model: a Sieve script held as its tree of commands and tests.
//
// A RuleSet is the chain of the script's top-level commands; each one is a mail rule, normally an
// `if` whose test holds the conditions and whose block holds the actions. The same command record
// serves for rules and for actions, so that whatever the parser accepts can be edited in part and
// written back without losing what the editor does not understand.
//
// Ownership: a RuleSet's arena owns every record and text of its tree. The links between records
// (`children`, `next`, `test`, `block`, `elsePart`, `parent`) are plain pointers inside that
// arena; a record or chain that is unlinked is dropped, and its memory goes back when the
// RuleSet does. Records from one arena are never linked into another's tree: copyCommand and
// copyTest carry a tree across.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "rules/arena.h"
#include "rules/limits.h"
namespace wq::rules {

enum class CommandKind : uint32_t {
    None = 0,  // an empty command: stands for an empty block
    Keep = 1,
    Reject = 2,
    Discard = 3,
    FileInto = 4,
    Stop = 5,
    Redirect = 6,
    Notify = 7,
    Vacation = 8,
    If = 9,  // also elsif
};

// A missing test (a null link) is written and read as the keyword "void".
enum class TestKind : uint32_t {
    AllOf = 1,
    AnyOf = 2,
    Exists = 3,
    False = 4,
    True = 5,
    Address = 6,
    Header = 7,
    Size = 8,
    SpamTest = 9,
};

enum class MatchType : int32_t { Is = 0, Contains = 1, Matches = 2 };
enum class AddressPart : int32_t { All = 0, LocalPart = 1, Domain = 2 };
enum class SizeRelation : int32_t { Over = 0, Under = 1 };

// A text field of a record: at most MaxChars characters and, like the NUL-terminated field it
// stands for, nothing from the first NUL on. The characters live in the tree's arena; a new
// value is copied there and longer texts are cut.
template <size_t MaxChars>
class BoundedText {
  public:
    static constexpr size_t kMaxChars = MaxChars;

    void assign(RuleArena& arena, std::string_view text) {
        size_t n = text.find('\0');
        if (n == std::string_view::npos) {
            n = text.size();
        }
        std::string_view copy = arena.copyText(text.substr(0, n < MaxChars ? n : MaxChars));
        data_ = copy.data();
        size_ = static_cast<uint32_t>(copy.size());
    }
    void clear() {
        data_ = "";
        size_ = 0;
    }

    std::string_view view() const { return {data_, size_}; }
    std::string str() const { return std::string(data_, size_); }
    const char* c_str() const { return data_; }  // NUL-terminated
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    operator std::string_view() const { return view(); }  // NOLINT: implicit on purpose

    friend bool operator==(const BoundedText& a, const BoundedText& b) {
        return a.view() == b.view();
    }
    friend bool operator!=(const BoundedText& a, const BoundedText& b) { return !(a == b); }

  private:
    const char* data_ = "";
    uint32_t size_ = 0;
};

using ShortText = BoundedText<kMaxShortText>;
using ArgumentText = BoundedText<kMaxArgument>;

// The strings of a test in order (header names or keys); each one NUL-terminated in the arena.
// An empty list stands for the null head of the record.
class StringList {
  public:
    // The longest string of a list: the longest a script carries.
    static constexpr size_t kMaxChars = kMaxTokenText;

    StringList() = default;
    // A list of copies of `items` in `arena`; like a text field, each copy ends before the first
    // NUL and is cut to kMaxChars.
    static StringList copyOf(RuleArena& arena, const std::string_view* items, size_t count);
    static StringList copyOf(RuleArena& arena, std::initializer_list<std::string_view> items) {
        return copyOf(arena, items.begin(), items.size());
    }
    // A list of `items` that already live, NUL-terminated, in `arena` and hold no NUL and at most
    // kMaxChars characters: only the list is made.
    static StringList ofArenaTexts(RuleArena& arena, const std::string_view* items, size_t count);

    const std::string_view* begin() const { return items_; }
    const std::string_view* end() const { return items_ + size_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view front() const { return items_[0]; }
    std::string_view operator[](size_t i) const { return items_[i]; }

    friend bool operator==(const StringList& a, const StringList& b);
    friend bool operator!=(const StringList& a, const StringList& b) { return !(a == b); }

  private:
    std::string_view* items_ = nullptr;  // in the arena
    uint32_t size_ = 0;
};

// One condition.
struct SieveTest {
    explicit SieveTest(TestKind k) : kind(k) {}

    TestKind kind;
    uint8_t negated = 0;           // preceded by "not"
    StringList headers;            // Exists, Address, Header
    StringList keys;               // Address, Header
    uint32_t octetComparator = 0;  // compares with "i;octet": case counts (Address, Header)
    AddressPart addressPart = AddressPart::All;
    MatchType matchType = MatchType::Is;
    SizeRelation sizeRelation = SizeRelation::Over;
    uint32_t sizeLimit = 0;         // bytes
    SieveTest* children = nullptr;  // AllOf, AnyOf
    SieveTest* next = nullptr;      // next sibling inside the same AllOf/AnyOf
};

// One rule (at top level) or one action.
struct SieveCommand {
    CommandKind kind = CommandKind::None;
    // Only the top-level command's flag counts; see ruleState().
    uint8_t enabled = 0;
    // The rule name of a top-level If; the :options of Notify; the :subject of Vacation.
    ShortText text1;
    // The days of Vacation ("7" unless the script gives others).
    ShortText text2;
    // Reject reason, FileInto folder (modified UTF-7), Redirect address, Notify message,
    // Vacation reply text.
    ArgumentText argument;
    SieveTest* test = nullptr;  // If; null is the "void" test
    SieveCommand* block = nullptr;
    // An elsif is an else part made of exactly one If without a next sibling.
    SieveCommand* elsePart = nullptr;
    SieveCommand* parent = nullptr;  // the If that holds this command; null at top level
    SieveCommand* next = nullptr;
    uint32_t visual = 1;  // the conditions can be shown through the catalogue
};

// The chain of top-level commands (the rules) in script order, and the arena that holds the
// whole tree.
struct RuleSet {
    RuleArena arena;
    SieveCommand* first = nullptr;

    RuleSet() = default;
    RuleSet(RuleSet&& other) noexcept : arena(std::move(other.arena)), first(other.first) {
        other.first = nullptr;
    }
    RuleSet& operator=(RuleSet&& other) noexcept {
        arena = std::move(other.arena);
        first = other.first;
        other.first = nullptr;
        return *this;
    }

    size_t size() const;
    bool empty() const { return !first; }
    // Appends a rule at the end of the chain.
    void append(SieveCommand* rule);
    // Drops every rule and gives back their memory.
    void clear() {
        first = nullptr;
        arena.clear();
    }
};

// Record operations. Creation and copies yield null when memory runs out; a failed copy gives
// back what it had built. There is no freeing of single records: see the ownership note above.

// A test of `kind`, everything else zero.
SieveTest* createTest(RuleArena& arena, TestKind kind);
// A command of kind None, disabled, with empty texts and no links, and visual set.
SieveCommand* createCommand(RuleArena& arena);

// Deep copy of one test into `arena`: its lists and its children (in order). The copy has no
// next sibling.
SieveTest* copyTest(RuleArena& arena, const SieveTest& test);
// Deep copy of one command into `arena`: its texts, test, block and else part (each chain in
// order); the commands inside the copy have the copy's Ifs as parents. The copy keeps `parent`
// as it stands and has no next sibling: the caller links it into its place.
SieveCommand* copyCommand(RuleArena& arena, const SieveCommand& command);

// The effective on/off state of a command: the enabled flag of the top-level command reached
// through the parent links.
bool ruleState(const SieveCommand& command);

}  // namespace wq::rules
