#include "editor/sieve_editor_dialog.h"

#include <exception>
#include <utility>

#include "base/message.h"
#include "base/text.h"
#include "ids.h"
#include "rules/ascii.h"
#include "rules/catalogue.h"
#include "rules/sieve_parser.h"

namespace wq::editor {
namespace {

constexpr unsigned kScriptErrorId = 3300;   // "The script contains error."
constexpr unsigned kErrorDetailsId = 3301;  // "Error details:\nLine %d: %s"
constexpr unsigned kDeleteRuleId = 3305;
constexpr unsigned kOneRuleOnlyId = 3306;

// Reshapes the code of a script for display and copies everything else as it stands. One pass;
// the states follow the reader's: code, a quoted string, a line comment, a block comment, and
// the header line and body lines of a "text:" string.
class DisplayText {
  public:
    explicit DisplayText(std::string_view in) : in_(in) { out_.reserve(in.size() + in.size() / 4); }

    std::string run() {
        while (at_ < in_.size()) {
            switch (state_) {
                case State::kCode:
                    code();
                    break;
                case State::kQuoted:
                    quoted();
                    break;
                case State::kLineComment:
                    // The line end goes back to the code, which may fold it into the next one.
                    if (in_[at_] == '\n') {
                        state_ = State::kCode;
                    } else {
                        copy();
                    }
                    break;
                case State::kBlockComment:
                    if (in_.compare(at_, 2, "*/") == 0) {
                        out_ += "*/";
                        at_ += 2;
                        state_ = State::kCode;
                    } else {
                        copy();
                    }
                    break;
                case State::kTextHeader:
                    if (in_[at_] == '\n') {
                        state_ = State::kTextBody;
                    }
                    copy();
                    break;
                case State::kTextBody:
                    textLine();
                    break;
            }
        }
        return std::move(out_);
    }

  private:
    enum class State { kCode, kQuoted, kLineComment, kBlockComment, kTextHeader, kTextBody };

    bool lineEnd(size_t at) const {
        return in_[at] == '\n' || (in_[at] == '\r' && at + 1 < in_.size() && in_[at + 1] == '\n');
    }

    // One character; a line end (LF or CR LF) is written as CR LF.
    void copy() {
        if (lineEnd(at_)) {
            at_ += in_[at_] == '\r' ? 2 : 1;
            out_ += "\r\n";
            return;
        }
        out_ += in_[at_++];
    }

    void code() {
        const char c = in_[at_];
        if (lineEnd(at_)) {
            if (afterLineEnd_) {
                at_ += c == '\r' ? 2 : 1;
            } else {
                copy();
            }
            afterLineEnd_ = true;
            return;
        }
        afterLineEnd_ = false;
        if (c == '{' || c == '}') {
            out_ += "\r\n";
            out_ += c;
            out_ += "\r\n";
            ++at_;
            return;
        }
        if (c == '"') {
            state_ = State::kQuoted;
        } else if (c == '#') {
            state_ = State::kLineComment;
        } else if (c == '/' && in_.compare(at_, 2, "/*") == 0) {
            out_ += '/';
            ++at_;
            state_ = State::kBlockComment;
        } else if (rules::isAsciiLetter(static_cast<unsigned char>(c))) {
            word();
            return;
        }
        copy();
    }

    // A word, which opens a multi-line string when it is "text" followed by a colon.
    void word() {
        const size_t start = at_;
        while (at_ < in_.size() && (rules::isAsciiLetter(static_cast<unsigned char>(in_[at_])) ||
                                    rules::isAsciiDigit(static_cast<unsigned char>(in_[at_])))) {
            ++at_;
        }
        std::string_view word = in_.substr(start, at_ - start);
        out_ += word;
        if (at_ < in_.size() && in_[at_] == ':' && rules::equalsNoCase(word, "text")) {
            out_ += ':';
            ++at_;
            state_ = State::kTextHeader;
        }
    }

    void quoted() {
        const char c = in_[at_];
        if (c == '\\' && at_ + 1 < in_.size()) {
            out_ += c;
            ++at_;
        } else if (c == '"') {
            state_ = State::kCode;
        }
        copy();
    }

    // One line of a "text:" string; a line that is a single "." ends it.
    void textLine() {
        size_t end = in_.find('\n', at_);
        if (end == std::string_view::npos) {
            end = in_.size();
        }
        std::string_view line = in_.substr(at_, end - at_);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        out_ += line;
        at_ = end;
        if (at_ < in_.size()) {
            copy();
        }
        if (line == ".") {
            state_ = State::kCode;
            afterLineEnd_ = true;
        }
    }

    std::string_view in_;
    size_t at_ = 0;
    std::string out_;
    State state_ = State::kCode;
    bool afterLineEnd_ = false;  // the code's last character was a line end
};

}  // namespace

std::string PrepareScriptForDisplay(std::string_view text) {
    return DisplayText(text).run();
}

SieveEditorDialog::SieveEditorDialog(std::string text, bool parse, bool singleRule)
    : text_(std::move(text)), parse_(parse), singleRule_(singleRule) {}

int SieveEditorDialog::run(ui::Window owner) {
    parsed_.reset();
    return ui::RunModalDialog(IDD_SIEVE_EDITOR, owner ? owner : ui::ActiveWindow(), *this);
}

bool SieveEditorDialog::onInit() {
    ui::DialogWindow& w = window();
    w.centerOnOwner();
    w.setResizable({{IDC_SIEVE_EDITOR_TEXT, ui::kGrowWidth | ui::kGrowHeight},
                    {ui::kIdOk, ui::kKeepRight | ui::kKeepBottom},
                    {ui::kIdCancel, ui::kKeepRight | ui::kKeepBottom}});
    w.setItemText(IDC_SIEVE_EDITOR_TEXT, text_.empty() ? text_ : PrepareScriptForDisplay(text_));
    w.setFocus(IDC_SIEVE_EDITOR_TEXT);
    w.selectText(IDC_SIEVE_EDITOR_TEXT, 0, 0);
    return false;
}

bool SieveEditorDialog::onEvent(const ui::Event& e) {
    if (e.kind == ui::Event::Kind::kClicked && e.control == ui::kIdOk && !accept()) {
        return true;
    }
    return Dialog::onEvent(e);
}

bool SieveEditorDialog::accept() {
    std::string text = window().itemText(IDC_SIEVE_EDITOR_TEXT);
    if (!parse_) {
        text_ = std::move(text);
        return true;
    }
    const ui::Window self = window().handle();
    auto parsed = std::make_unique<rules::RuleSet>();
    rules::ParseResult result;
    bool ok = false;
    try {
        ok = rules::parseScript(text, *parsed, 0, &result);
    } catch (const std::exception&) {
        result = rules::ParseResult();
    }
    if (!ok) {
        // A parse that gave no reason (memory ran out) is still a failed parse: the text stays
        // for the user to try again or cancel.
        std::string message = LoadText(kScriptErrorId);
        if (!result.errorMessage.empty()) {
            message +=
                "\n\n" + FormatText(LoadText(kErrorDetailsId), result.line, result.errorMessage);
        }
        ShowMessageText(self, message, ui::kMbOk | ui::kMbIconStop);
        return false;
    }
    if (parsed->empty()) {
        if (ShowMessage(self, kDeleteRuleId,
                        ui::kMbYesNo | ui::kMbDefButton2 | ui::kMbIconExclamation) != ui::kIdYes) {
            return false;
        }
    } else if (singleRule_ && parsed->first->next) {
        ShowMessage(self, kOneRuleOnlyId, ui::kMbOk | ui::kMbIconStop);
        return false;
    } else {
        parsed->first->visual = rules::isRuleRecognised(*parsed->first) ? 1 : 0;
    }
    text_ = std::move(text);
    parsed_ = std::move(parsed);
    return true;
}

}  // namespace wq::editor
