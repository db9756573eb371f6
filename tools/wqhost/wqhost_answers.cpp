// wqhost's answers to the library's windows (native build): each dialog and message box is
// printed as it opens, and commands - from --answer, from a file, or typed at the terminal -
// act in it as a person would. Modal windows nest, so the commands form one sequence: a click
// that opens a dialog hands the commands that follow to that dialog until it closes.
//
//   click CONTROL          a button, check box or radio button ("ok" and "cancel" alone too)
//   type [EDIT] TEXT       replaces an edit's text
//   tick [LIST] ROW        clicks a row's check box
//   select [LIST] ROW      clicks a list row, a drop-down or list box entry, or a tree item
//                          named by its path ("Inbox/Orders")
//   open [LIST] ROW        double-clicks a row or tree item
//   link [PANE] N          clicks the N-th underlined value of a description
//   enter | show | help    presses Enter, prints the window again, lists the commands
//   yes | no | ok | cancel answers a message box
//   apply | ok | cancel    in a property sheet: its buttons
//
// CONTROL is a control id, or words of its text or of the label before it ("new", "move up",
// "conditions"); EDIT, LIST and PANE may be left out when the window has only one. ROW is a number
// as printed, or words of the row's text. Words with spaces go in double quotes; a line that begins
// with "#" is a comment. When the commands run out, what is left open is cancelled.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/resources.h"
#include "platform/headless/headless.h"
#include "platform/resource_table.h"
#include "wqhost_ui.h"

namespace wqhost {
namespace {

using wq::headless::DialogView;
using wq::headless::MessageBoxView;
using wq::platform::ControlTemplate;

constexpr const char* kHelp =
    "commands: click CONTROL | type [EDIT] TEXT | tick [LIST] ROW | select [LIST] ROW |\n"
    "          open [LIST] ROW | link [PANE] N | enter | show | help\n"
    "message boxes: yes | no | ok | cancel; property sheets: apply | ok | cancel\n";

// Where the commands come from: the --answer commands, then the file's lines, then (for "-" on
// a terminal) what the person types at the prompt.
struct Source {
    std::vector<std::string> pending;
    std::unique_ptr<std::ifstream> file;
    bool standardInput = false;
    bool prompt = false;
    std::string trouble;  // the first command that could not be done

    bool next(std::string* line) {
        for (;;) {
            if (!pending.empty()) {
                *line = pending.front();
                pending.erase(pending.begin());
            } else if (file && std::getline(*file, *line)) {
            } else if (standardInput) {
                if (prompt) {
                    std::fputs("wqhost> ", stdout);
                    std::fflush(stdout);
                }
                if (!std::getline(std::cin, *line)) {
                    return false;
                }
            } else {
                return false;
            }
            const size_t start = line->find_first_not_of(" \t\r");
            if (start != std::string::npos && (*line)[start] != '#') {
                if (!prompt || !pending.empty()) {
                    std::printf("> %s\n", line->c_str() + start);
                }
                return true;
            }
        }
    }
    // After a command that went wrong, a script stops; a person at the prompt tries again.
    void failed(const std::string& why) {
        std::printf("wqhost: %s\n", why.c_str());
        if (trouble.empty()) {
            trouble = why;
        }
        if (!prompt) {
            pending.clear();
            file.reset();
            standardInput = false;
        }
    }
};

bool g_answering = false;

Source& Input() {
    static Source source;
    return source;
}

// Words of a command line: blanks separate them, double quotes hold blanks (\" and \\ inside).
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    for (size_t i = 0; i < line.size();) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                }
                word += line[i];
            }
            ++i;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return words;
}

// A text as a person names it: no "&" marks, no trailing "..." or ":", lower case.
std::string Plain(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '&') {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    while (!out.empty() && (out.back() == '.' || out.back() == ':' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

// A control's text as shown: an "&" marks the access key ("&&" is one "&").
std::string Unmarked(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && ++i == text.size()) {
            break;
        }
        out += text[i];
    }
    return out;
}

bool IsNumber(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

enum class Kind { kLabel, kGroup, kButton, kCheck, kRadio, kEdit, kList, kTree, kChoice, kPane };

struct Control {
    int id;
    Kind kind;
    std::string label;  // the template's text, or the label before it
};

Kind KindOf(const ControlTemplate& c) {
    const std::string cls = c.className;
    const uint32_t type = c.style & 0xF;
    if (cls == "Button") {
        return type == 7                             ? Kind::kGroup
               : type == 4 || type == 9              ? Kind::kRadio
               : type == 2 || type == 3 || type >= 5 ? Kind::kCheck
                                                     : Kind::kButton;
    }
    if (cls == "Edit") {
        return Kind::kEdit;
    }
    if (cls == "SysListView32") {
        return Kind::kList;
    }
    if (cls == "SysTreeView32") {
        return Kind::kTree;
    }
    if (cls == "ComboBox" || cls == "ListBox") {
        return Kind::kChoice;
    }
    return cls.rfind("RichEdit", 0) == 0 ? Kind::kPane : Kind::kLabel;
}

bool Named(Kind k) {
    return k == Kind::kLabel || k == Kind::kGroup || k == Kind::kButton || k == Kind::kCheck ||
           k == Kind::kRadio;
}

// The controls of the open dialog in template order, from the template in use (the language
// resource library's when one is loaded). Controls without a text of their own are named by
// the label before them.
std::vector<Control> Controls(const DialogView& view) {
    using namespace wq::platform;
    const DialogTemplate* t =
        FindDialog(ModuleResources(wq::GetResourceInstance()), view.templateId());
    if (!t) {
        t = FindDialog(ModuleResources(wq::OwnModule()), view.templateId());
    }
    std::vector<Control> out;
    std::string label;
    for (size_t i = 0; t && i < t->controlCount; ++i) {
        const ControlTemplate& c = t->controls[i];
        const Kind kind = KindOf(c);
        const uint32_t picture = c.style & 0x1F;  // SS_ICON, SS_BITMAP
        if ((kind == Kind::kLabel && (picture == 3 || picture == 14)) ||
            (c.id != -1 && !view.visible(c.id))) {
            continue;
        }
        if (!Named(kind)) {
            out.push_back({c.id, kind, label});
            continue;
        }
        const std::string text = c.id != -1 ? view.text(c.id) : c.text;
        if (kind == Kind::kLabel || kind == Kind::kGroup) {
            label = text;
        }
        out.push_back({c.id, kind, text});
    }
    return out;
}

std::string Mark(wq::ui::Tick t) {
    switch (t) {
        case wq::ui::Tick::kOff:
            return "[ ] ";
        case wq::ui::Tick::kOn:
            return "[x] ";
        case wq::ui::Tick::kDisabled:
            return "[-] ";
        default:
            return "    ";
    }
}

// The underlined runs of a pane: its links as a person sees them.
std::vector<wq::ui::StyledText::Run> Links(const wq::ui::StyledText& styled) {
    std::vector<wq::ui::StyledText::Run> links;
    for (const auto& run : styled.runs) {
        if (run.underline) {
            links.push_back(run);
        }
    }
    return links;
}

// The text's lines under `indent`, without the empty lines around them.
void PrintLines(const std::string& text, const char* indent) {
    const size_t first = text.find_first_not_of("\r\n");
    const size_t last = text.find_last_not_of("\r\n");
    std::string line;
    const std::string shown =
        first == std::string::npos ? "" : text.substr(first, last + 1 - first);
    for (char c : ForTerminal(shown) + "\n") {
        if (c == '\n') {
            std::printf("%s%s\n", indent, line.c_str());
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
}

// A list row as a person reads it: the columns that have a text, two blanks apart.
std::string RowText(DialogView& view, int id, int row) {
    std::string text;
    for (int column = 0; column < view.columnCount(id); ++column) {
        const std::string t = view.rowText(id, row, column);
        text += text.empty() || t.empty() ? t : "  " + t;
    }
    return text;
}

void PrintDialog(DialogView& view) {
    std::printf("== %s ==\n", ForTerminal(view.title()).c_str());
    std::vector<std::string> buttons[2];  // disabled, enabled
    for (const Control& c : Controls(view)) {
        const std::string id = std::to_string(c.id);
        switch (c.kind) {
            case Kind::kLabel:
            case Kind::kGroup:
                if (!c.label.empty()) {
                    PrintLines(Unmarked(c.label), "  ");
                }
                break;
            case Kind::kButton:
                buttons[view.enabled(c.id)].push_back(ForTerminal(Unmarked(c.label)));
                break;
            case Kind::kCheck:
            case Kind::kRadio:
                std::printf("  %s %s %s%s\n", id.c_str(),
                            c.kind == Kind::kCheck ? (view.checked(c.id) ? "[x]" : "[ ]")
                                                   : (view.checked(c.id) ? "(*)" : "( )"),
                            ForTerminal(Unmarked(c.label)).c_str(),
                            view.enabled(c.id) ? "" : " (disabled)");
                break;
            case Kind::kEdit:
                std::printf("  %s edit:\n", id.c_str());
                PrintLines(view.text(c.id), "      | ");
                break;
            case Kind::kList: {
                std::printf("  %s list:\n", id.c_str());
                const std::vector<int> selected = view.selectedRows(c.id);
                for (int r = 0; r < view.rowCount(c.id); ++r) {
                    const bool on =
                        std::find(selected.begin(), selected.end(), r) != selected.end();
                    std::printf("    %s%3d %s%s\n", on ? ">" : " ", r + 1,
                                Mark(view.rowTick(c.id, r)).c_str(),
                                ForTerminal(RowText(view, c.id, r)).c_str());
                }
                break;
            }
            case Kind::kTree: {
                std::string path;
                for (const std::string& p : view.selectedPath(c.id)) {
                    path += (path.empty() ? "" : "/") + p;
                }
                std::printf("  %s tree: selected %s\n", id.c_str(), ForTerminal(path).c_str());
                break;
            }
            case Kind::kChoice: {
                std::printf("  %s choice:", id.c_str());
                const std::vector<std::string> entries = view.entries(c.id);
                for (size_t i = 0; i < entries.size(); ++i) {
                    std::printf(" %s%zu %s",
                                static_cast<int>(i) == view.selectedEntry(c.id) ? ">" : "", i + 1,
                                ForTerminal(entries[i]).c_str());
                }
                std::printf("\n");
                break;
            }
            case Kind::kPane: {
                // Each underlined value as {N value}.
                const wq::ui::StyledText styled = view.styledText(c.id);
                std::string text;
                size_t at = 0;
                int n = 0;
                for (const auto& run : Links(styled)) {
                    if (static_cast<size_t>(run.start) < at) {
                        continue;
                    }
                    text += styled.text.substr(at, static_cast<size_t>(run.start) - at) + "{" +
                            std::to_string(++n) + " " +
                            styled.text.substr(static_cast<size_t>(run.start),
                                               static_cast<size_t>(run.end - run.start)) +
                            "}";
                    at = static_cast<size_t>(run.end);
                }
                text += styled.text.substr(std::min(at, styled.text.size()));
                std::printf("  %s description:\n", id.c_str());
                PrintLines(text, "      ");
                break;
            }
        }
    }
    for (bool on : {true, false}) {
        std::string names;
        for (const std::string& b : buttons[on]) {
            names += (names.empty() ? "" : ", ") + b;
        }
        if (!names.empty()) {
            std::printf("  %s: %s\n", on ? "buttons" : "disabled", names.c_str());
        }
    }
    std::fflush(stdout);
}

// The control a person names: by id, else by the words of its text or label (whole, then at the
// start, then anywhere), among controls of the kinds asked for; an empty name for the only one.
Control Find(DialogView& view, const std::string& name, std::initializer_list<Kind> kinds) {
    std::vector<Control> candidates;
    for (const Control& c : Controls(view)) {
        if (std::find(kinds.begin(), kinds.end(), c.kind) != kinds.end()) {
            candidates.push_back(c);
        }
    }
    if (name.empty() && candidates.size() == 1) {
        return candidates[0];
    }
    const std::string want = Plain(name);
    for (int pass = 0; pass < 4 && !name.empty(); ++pass) {
        for (const Control& c : candidates) {
            const std::string have = Plain(c.label);
            const size_t at = have.find(want);
            if ((pass == 0 && std::to_string(c.id) == name) || (pass == 1 && have == want) ||
                (pass == 2 && at == 0) || (pass == 3 && at != std::string::npos)) {
                return c;
            }
        }
    }
    throw std::runtime_error(name.empty() ? "more than one control of that kind: name one"
                                          : "no control \"" + name + "\" for that");
}

// A row (or entry) by its printed number or by words of its text.
int Row(const std::string& name, int count, const std::function<std::string(int)>& text) {
    if (IsNumber(name)) {
        const int n = std::stoi(name);
        if (n >= 1 && n <= count) {
            return n - 1;
        }
    } else {
        for (int r = 0; r < count; ++r) {
            if (Plain(text(r)).find(Plain(name)) != std::string::npos) {
                return r;
            }
        }
    }
    throw std::runtime_error("no row \"" + name + "\"");
}

std::vector<std::string> Path(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1) {
        parts.push_back(path.substr(start, slash - start));
    }
    parts.push_back(path.substr(start));
    return parts;
}

// One command in an open dialog.
void Act(DialogView& v, const std::vector<std::string>& w) {
    const std::string verb = Plain(w[0]);
    // "VERB [CONTROL] ITEM": the control may be left out.
    auto target = [&](std::initializer_list<Kind> kinds) {
        return Find(v, w.size() >= 3 ? w[1] : std::string(), kinds);
    };
    const std::string item = w.size() >= 3 ? w[2] : w.size() == 2 ? w[1] : std::string();
    if ((verb == "ok" || verb == "cancel") && w.size() == 1) {
        v.click(verb == "ok" ? wq::ui::kIdOk : wq::ui::kIdCancel);
    } else if (verb == "click" && w.size() == 2) {
        v.click(Find(v, w[1], {Kind::kButton, Kind::kCheck, Kind::kRadio}).id);
    } else if (verb == "type" && w.size() >= 2) {
        v.type(target({Kind::kEdit}).id, item);
    } else if ((verb == "tick" || verb == "open") && w.size() >= 2) {
        const Control c = target({Kind::kList, Kind::kTree});
        if (c.kind == Kind::kTree && verb == "open") {
            v.doubleClickTreeItem(c.id, Path(item));
            return;
        }
        const int row = Row(item, v.rowCount(c.id), [&](int r) { return RowText(v, c.id, r); });
        verb == "tick" ? v.clickTick(c.id, row) : v.doubleClickRow(c.id, row);
    } else if (verb == "select" && w.size() >= 2) {
        const Control c = target({Kind::kList, Kind::kTree, Kind::kChoice});
        if (c.kind == Kind::kTree) {
            v.clickTreeItem(c.id, Path(item));
        } else if (c.kind == Kind::kChoice) {
            const std::vector<std::string> entries = v.entries(c.id);
            v.chooseEntry(c.id, Row(item, static_cast<int>(entries.size()),
                                    [&](int r) { return entries[static_cast<size_t>(r)]; }));
        } else {
            v.clickRow(c.id,
                       Row(item, v.rowCount(c.id), [&](int r) { return RowText(v, c.id, r); }));
        }
    } else if (verb == "link" && w.size() >= 2) {
        const int id = target({Kind::kPane}).id;
        const wq::ui::StyledText styled = v.styledText(id);
        const auto links = Links(styled);
        const int n = Row(item, static_cast<int>(links.size()), [&](int r) {
            const auto& run = links[static_cast<size_t>(r)];
            return styled.text.substr(static_cast<size_t>(run.start),
                                      static_cast<size_t>(run.end - run.start));
        });
        v.clickText(id, links[static_cast<size_t>(n)].start);
    } else if (verb == "enter" && w.size() == 1) {
        v.pressEnter();
    } else if (verb == "show" && w.size() == 1) {
        PrintDialog(v);
    } else if (verb == "help") {
        std::fputs(kHelp, stdout);
    } else {
        throw std::runtime_error("cannot do \"" + verb + "\" here (help lists the commands)");
    }
}

void AnswerDialog(DialogView& view) {
    wq::headless::OnDialog(AnswerDialog);  // for the dialogs this one opens
    PrintDialog(view);
    std::string line;
    while (!view.ended() && Input().next(&line)) {
        const std::vector<std::string> words = Words(line);
        try {
            Act(view, words);
        } catch (const std::exception& e) {
            Input().failed(e.what());
        }
        if (Input().prompt && !view.ended() && Plain(words[0]) != "show" &&
            Plain(words[0]) != "help") {
            PrintDialog(view);
        }
    }
}

// A property sheet: the commands act in its current page, and apply, ok and cancel on the sheet.
void AnswerSheet(wq::headless::SheetView& sheet) {
    wq::headless::OnPropertySheet(AnswerSheet);
    PrintDialog(sheet.page(sheet.currentPage()));
    std::string line;
    while (!sheet.closed() && Input().next(&line)) {
        const std::vector<std::string> words = Words(line);
        const std::string verb = Plain(words[0]);
        try {
            if (words.size() == 1 && (verb == "apply" || verb == "ok" || verb == "cancel")) {
                verb == "apply" ? sheet.clickApply()
                : verb == "ok"  ? sheet.clickOk()
                                : sheet.clickCancel();
            } else {
                Act(sheet.page(sheet.currentPage()), words);
            }
        } catch (const std::exception& e) {
            Input().failed(e.what());
        }
        if (Input().prompt && !sheet.closed() && verb != "show" && verb != "help") {
            PrintDialog(sheet.page(sheet.currentPage()));
        }
    }
}

int AnswerMessageBox(const MessageBoxView& box) {
    wq::headless::OnMessageBox(AnswerMessageBox);
    std::printf("== %s ==\n", ForTerminal(box.caption).c_str());
    PrintLines(box.text, "  ");
    const unsigned buttons = box.style & 0xF;
    std::printf("  buttons: %s\n", buttons == wq::ui::kMbYesNo         ? "yes, no"
                                   : buttons == wq::ui::kMbYesNoCancel ? "yes, no, cancel"
                                   : buttons == wq::ui::kMbOkCancel    ? "ok, cancel"
                                                                       : "ok");
    std::fflush(stdout);
    std::string line;
    while (Input().next(&line)) {
        const std::vector<std::string> w = Words(line);
        const std::string answer = Plain(w.size() == 2 && w[0] == "click" ? w[1] : w[0]);
        const int button = answer == "yes"      ? wq::ui::kIdYes
                           : answer == "no"     ? wq::ui::kIdNo
                           : answer == "ok"     ? wq::ui::kIdOk
                           : answer == "cancel" ? wq::ui::kIdCancel
                                                : 0;
        if (button) {
            return button;
        }
        Input().failed("a message box takes yes, no, ok or cancel");
    }
    // No answer: what Escape gives (OK for a box that has no other button).
    return buttons == wq::ui::kMbOk      ? wq::ui::kIdOk
           : buttons == wq::ui::kMbYesNo ? wq::ui::kIdNo
                                         : wq::ui::kIdCancel;
}

}  // namespace

bool Answering() {
    return g_answering;
}

std::string AnswerTrouble() {
    Source& in = Input();
    std::string line;
    while (in.trouble.empty() &&
           (!in.pending.empty() || (in.file && std::getline(*in.file, line)))) {
        if (!in.pending.empty()) {
            line = in.pending.front();
            in.pending.erase(in.pending.begin());
        }
        const size_t start = line.find_first_not_of(" \t\r");
        if (start != std::string::npos && line[start] != '#') {
            in.trouble = "not used, no window was open for it: " + line.substr(start);
        }
    }
    return in.trouble;
}

bool SetAnswers(const std::vector<std::string>& commands, const std::string& file) {
    Source& in = Input();
    in = Source();
    for (const std::string& c : commands) {
        // "a; b" on the command line is two commands.
        size_t start = 0;
        bool quoted = false;
        for (size_t i = 0; i <= c.size(); ++i) {
            if (i < c.size() && c[i] == '\\' && quoted) {
                ++i;
            } else if (i < c.size() && c[i] == '"') {
                quoted = !quoted;
            }
            if (i == c.size() || (c[i] == ';' && !quoted)) {
                in.pending.push_back(c.substr(start, i - start));
                start = i + 1;
            }
        }
    }
    if (file == "-") {
        in.standardInput = true;
        in.prompt = isatty(0) != 0;
    } else if (!file.empty()) {
        in.file = std::make_unique<std::ifstream>(file);
        if (!*in.file) {
            std::fprintf(stderr, "wqhost: cannot read %s\n", file.c_str());
            return false;
        }
    }
    if (in.pending.empty() && !in.file && !in.standardInput) {
        return true;
    }
    g_answering = true;
    wq::headless::OnDialog(AnswerDialog);
    wq::headless::OnMessageBox(AnswerMessageBox);
    wq::headless::OnPropertySheet(AnswerSheet);
    return true;
}

}  // namespace wqhost
