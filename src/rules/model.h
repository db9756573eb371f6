// The rule model: a Sieve script held as its tree of commands and tests.
//
// A RuleSet is the chain of the script's top-level commands; each one is a mail rule, normally an
// `if` whose test holds the conditions and whose block holds the actions. The same command record
// serves for rules and for actions, so that whatever the parser accepts can be edited in part and
// written back without losing what the editor does not understand.
//
// Ownership: every `children`, `next`, `test`, `block` and `elsePart` link owns what it points
// to; `parent` does not. Chains are destroyed iteratively, so a long chain of siblings cannot
// exhaust the stack; nesting depth is bounded by the parser (kMaxNestingDepth).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// A text field that holds at most MaxChars characters and, like the NUL-terminated field it
// stands for, nothing from the first NUL on. Longer texts are cut on assignment.
template <size_t MaxChars>
class BoundedText {
  public:
    static constexpr size_t kMaxChars = MaxChars;

    BoundedText() = default;
    BoundedText(std::string_view text) { assign(text); }  // NOLINT: implicit on purpose
    BoundedText& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    void assign(std::string_view text) {
        size_t n = text.find('\0');
        if (n == std::string_view::npos) {
            n = text.size();
        }
        text_.assign(text.data(), n < MaxChars ? n : MaxChars);
    }
    void clear() { text_.clear(); }

    const std::string& str() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    operator std::string_view() const { return text_; }  // NOLINT: implicit on purpose

    friend bool operator==(const BoundedText& a, const BoundedText& b) {
        return a.text_ == b.text_;
    }
    friend bool operator!=(const BoundedText& a, const BoundedText& b) { return !(a == b); }

  private:
    std::string text_;
};

using ShortText = BoundedText<kMaxShortText>;
using ArgumentText = BoundedText<kMaxArgument>;

// The strings of a test in order; an empty list stands for the null head of the record.
using StringList = std::vector<std::string>;

// One condition.
struct SieveTest {
    explicit SieveTest(TestKind k) : kind(k) {}
    SieveTest(const SieveTest&) = delete;
    SieveTest& operator=(const SieveTest&) = delete;
    ~SieveTest();

    TestKind kind;
    uint8_t negated = 0;           // preceded by "not"
    StringList headers;            // Exists, Address, Header
    StringList keys;               // Address, Header
    uint32_t octetComparator = 0;  // the script named "i;octet"; never written back
    AddressPart addressPart = AddressPart::All;
    MatchType matchType = MatchType::Is;
    SizeRelation sizeRelation = SizeRelation::Over;
    int32_t sizeLimit = 0;                // bytes
    std::unique_ptr<SieveTest> children;  // AllOf, AnyOf
    std::unique_ptr<SieveTest> next;      // next sibling inside the same AllOf/AnyOf
};

// One rule (at top level) or one action.
struct SieveCommand {
    SieveCommand() = default;
    SieveCommand(const SieveCommand&) = delete;
    SieveCommand& operator=(const SieveCommand&) = delete;
    ~SieveCommand();

    CommandKind kind = CommandKind::None;
    // Only the top-level command's flag counts; see ruleState().
    uint8_t enabled = 0;
    // The rule name of a top-level If; the :options of Notify; the :subject of Vacation.
    ShortText text1;
    // The days of Vacation; never written back.
    ShortText text2;
    // Reject reason, FileInto folder (modified UTF-7), Redirect address, Notify message,
    // Vacation reply text.
    ArgumentText argument;
    std::unique_ptr<SieveTest> test;  // If; null is the "void" test
    std::unique_ptr<SieveCommand> block;
    // An elsif is an else part made of exactly one If without a next sibling.
    std::unique_ptr<SieveCommand> elsePart;
    SieveCommand* parent = nullptr;  // not owned: the If that holds this command
    std::unique_ptr<SieveCommand> next;
    uint32_t visual = 1;  // the conditions can be shown through the catalogue
};

// The chain of top-level commands (the rules) in script order. Owns everything below it.
struct RuleSet {
    std::unique_ptr<SieveCommand> first;

    size_t size() const;
    bool empty() const { return !first; }
    // Appends a rule at the end of the chain.
    void append(std::unique_ptr<SieveCommand> rule);
};

// Record operations. Creation and copies yield null when memory runs out; a failed copy frees
// what it had built. Freeing is the owning link's reset.

// A test of `kind`, everything else zero.
std::unique_ptr<SieveTest> createTest(TestKind kind);
// A command of kind None, disabled, with empty texts and no links, and visual set.
std::unique_ptr<SieveCommand> createCommand();

// Deep copy of one test: its lists and its children (in order). The copy has no next sibling.
std::unique_ptr<SieveTest> copyTest(const SieveTest& test);
// Deep copy of one command: its test, block and else part (each chain in order); the commands
// inside the copy have the copy's Ifs as parents. The copy keeps `parent` as it stands and has
// no next sibling: the caller links it into its place.
std::unique_ptr<SieveCommand> copyCommand(const SieveCommand& command);

// The effective on/off state of a command: the enabled flag of the top-level command reached
// through the parent links.
bool ruleState(const SieveCommand& command);

}  // namespace wq::rules
