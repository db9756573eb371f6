// rcgen: turns the project's .rc files into a C++ resource table for the POSIX build.
//
// Windows builds compile the same .rc files with windres; this tool reads the subset of the
// resource-script language the project writes (STRINGTABLE, DIALOG/DIALOGEX with the usual
// control statements, BITMAP, ICON; VERSIONINFO is skipped; #include "file" and #define NAME
// value as the C preprocessor reads them) so that the headless user interface shows exactly the
// controls, styles and texts of the real dialogs.
//
// usage: rcgen --out FILE --symbol NAME [--version a.b.c.d] [--bitmap-dir DIR] [-I DIR]...
// FILE.rc...
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <list>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Token {
    enum Kind { kWord, kNumber, kString, kPunct, kEnd } kind = kEnd;
    std::string text;
    long value = 0;
    const std::string* file = nullptr;  // owned by the lexer that read the token
    int line = 0;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& what) {
    throw std::runtime_error(file + ":" + std::to_string(line) + ": " + what);
}

[[noreturn]] void Fail(const Token& at, const std::string& what) {
    Fail(at.file ? *at.file : std::string("?"), at.line, what);
}

// A name given a value by #define; the value is computed where the name is defined.
struct Define {
    long value;
    std::string file;
    int line;
};
using Defines = std::map<std::string, Define>;

// Splits resource-script text into words, numbers, strings and punctuation, and runs the
// preprocessor lines: #include "file" reads the file in place (looked for beside the including
// file, then in the include directories), #define NAME value names a number, and a word that
// names one reads as that number. #pragma and #include <...> lines are skipped.
class Lexer {
  public:
    Lexer(std::string text, std::string file, Defines& defines,
          std::vector<std::string> includeDirs = {}, int firstLine = 1, bool directives = true)
        : defines_(defines), includeDirs_(std::move(includeDirs)), directives_(directives) {
        push(std::move(text), std::move(file), firstLine);
    }

    Token next() {
        skipSpaceAndComments();
        Source& s = stack_.back();
        Token t;
        t.file = s.file;
        t.line = s.line;
        if (s.pos >= s.text.size()) {
            return t;
        }
        const std::string& text = s.text;
        size_t& pos = s.pos;
        char c = text[pos];
        if (c == '"') {
            t.kind = Token::kString;
            t.text = readString(s);
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '-' && pos + 1 < text.size() &&
                    std::isdigit(static_cast<unsigned char>(text[pos + 1])))) {
            size_t start = pos;
            ++pos;
            while (pos < text.size() && std::isalnum(static_cast<unsigned char>(text[pos]))) {
                ++pos;
            }
            t.kind = Token::kNumber;
            t.text = text.substr(start, pos - start);
            t.value = std::strtol(t.text.c_str(), nullptr, 0);
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos;
            while (pos < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[pos])) || text[pos] == '_')) {
                ++pos;
            }
            t.kind = Token::kWord;
            t.text = text.substr(start, pos - start);
            auto it = defines_.find(t.text);
            if (it != defines_.end()) {
                t.kind = Token::kNumber;
                t.value = it->second.value;
            }
        } else {
            t.kind = Token::kPunct;
            t.text = std::string(1, c);
            ++pos;
        }
        return t;
    }

  private:
    static constexpr size_t kMaxIncludeDepth = 16;

    struct Source {
        std::string text;
        const std::string* file;
        size_t pos = 0;
        int line = 1;
        bool atLineStart = true;
    };

    void push(std::string text, std::string file, int line) {
        files_.push_back(std::move(file));
        Source s;
        s.text = std::move(text);
        s.file = &files_.back();
        s.line = line;
        s.atLineStart = directives_;
        stack_.push_back(std::move(s));
    }

    [[noreturn]] void fail(const std::string& what) const {
        Fail(*stack_.back().file, stack_.back().line, what);
    }

    // Skips blanks and comments and runs preprocessor lines; at the end of an included file
    // reading goes on in the file that included it.
    void skipSpaceAndComments() {
        for (;;) {
            Source& s = stack_.back();
            bool entered = false;
            while (!entered && s.pos < s.text.size()) {
                char c = s.text[s.pos];
                if (c == '\n') {
                    ++s.line;
                    ++s.pos;
                    s.atLineStart = directives_;
                } else if (std::isspace(static_cast<unsigned char>(c))) {
                    ++s.pos;
                } else if (c == '#' && s.atLineStart) {
                    size_t depth = stack_.size();
                    directive();
                    entered = stack_.size() != depth;  // s now lies below the included file
                } else if (s.text.compare(s.pos, 2, "//") == 0) {
                    skipLine(s);
                } else if (s.text.compare(s.pos, 2, "/*") == 0) {
                    size_t end = s.text.find("*/", s.pos + 2);
                    if (end == std::string::npos) {
                        fail("unterminated comment");
                    }
                    for (size_t i = s.pos; i < end; ++i) {
                        s.line += s.text[i] == '\n';
                    }
                    s.pos = end + 2;
                } else {
                    s.atLineStart = false;
                    return;
                }
            }
            if (!entered) {
                if (stack_.size() == 1) {
                    return;  // the end of the file named on the command line
                }
                stack_.pop_back();
            }
        }
    }

    static void skipLine(Source& s) {
        while (s.pos < s.text.size() && s.text[s.pos] != '\n') {
            ++s.pos;
        }
    }

    // One preprocessor line, from its '#' to the end of the line (the line feed stays).
    void directive() {
        Source& s = stack_.back();
        size_t start = s.pos + 1;
        skipLine(s);
        std::string line = s.text.substr(start, s.pos - start);
        size_t at = line.find_first_not_of(" \t");
        size_t end = line.find_first_of(" \t\r", at);
        std::string name = at == std::string::npos ? "" : line.substr(at, end - at);
        std::string rest = end == std::string::npos ? "" : line.substr(end);
        if (name == "pragma") {
            return;
        }
        if (name == "define") {
            define(rest);
        } else if (name == "include") {
            include(rest);
        } else {
            fail("unsupported preprocessor line #" + name);
        }
    }

    // #define NAME value: the value is a number or an expression of numbers, names and |.
    void define(const std::string& rest);

    void include(const std::string& rest) {
        size_t open = rest.find_first_not_of(" \t");
        if (open != std::string::npos && rest[open] == '<') {
            return;  // system headers: their constants are built in
        }
        size_t close = open == std::string::npos ? open : rest.find('"', open + 1);
        if (open == std::string::npos || rest[open] != '"' || close == std::string::npos ||
            rest.find_first_not_of(" \t\r", close + 1) != std::string::npos) {
            fail("#include needs a file name in double quotes");
        }
        std::string name = rest.substr(open + 1, close - open - 1);
        if (stack_.size() >= kMaxIncludeDepth) {
            fail("#include \"" + name + "\" nested too deeply");
        }
        const std::string& from = *stack_.back().file;
        size_t slash = from.find_last_of('/');
        std::vector<std::string> dirs = {slash == std::string::npos ? "." : from.substr(0, slash)};
        dirs.insert(dirs.end(), includeDirs_.begin(), includeDirs_.end());
        for (const std::string& dir : dirs) {
            std::string path = name[0] == '/' ? name : dir + "/" + name;
            std::ifstream in(path, std::ios::binary);
            if (in) {
                std::stringstream text;
                text << in.rdbuf();
                push(text.str(), path, 1);
                return;
            }
        }
        fail("cannot find included file \"" + name + "\"");
    }

    // A resource-script string: "" stands for one quote; C escapes \n \t \\ \" and octal.
    std::string readString(Source& s) {
        const std::string& text = s.text;
        size_t& pos = s.pos;
        std::string out;
        ++pos;
        for (;;) {
            if (pos >= text.size()) {
                fail("unterminated string");
            }
            char c = text[pos++];
            if (c == '"') {
                if (pos < text.size() && text[pos] == '"') {
                    out += '"';
                    ++pos;
                    continue;
                }
                return out;
            }
            if (c == '\n') {
                fail("line break inside a string");
            }
            if (c != '\\' || pos >= text.size()) {
                out += c;
                continue;
            }
            char e = text[pos++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '"':
                    out += '"';
                    break;
                default:
                    if (e >= '0' && e <= '7') {
                        int v = e - '0';
                        for (int i = 0;
                             i < 2 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7';
                             ++i) {
                            v = v * 8 + (text[pos++] - '0');
                        }
                        out += static_cast<char>(v);
                    } else {
                        out += '\\';
                        out += e;
                    }
            }
        }
    }

    Defines& defines_;
    std::vector<std::string> includeDirs_;
    bool directives_;
    std::list<std::string> files_;  // names of the files read; tokens point at them
    std::vector<Source> stack_;     // the file being read, above the files that included it
};

// The constants of the system headers that windres sees (windows.h, commctrl.h, richedit.h) with
// their values there; a name they lack (IDC_STATIC) is unknown here too.
const std::map<std::string, long>& Constants() {
    static const std::map<std::string, long> table = {
        {"IDOK", 1},
        {"IDCANCEL", 2},
        {"IDABORT", 3},
        {"IDRETRY", 4},
        {"IDIGNORE", 5},
        {"IDYES", 6},
        {"IDNO", 7},
        {"IDHELP", 9},
        {"WS_OVERLAPPED", 0},
        {"WS_POPUP", 0x80000000L},
        {"WS_CHILD", 0x40000000L},
        {"WS_MINIMIZE", 0x20000000L},
        {"WS_VISIBLE", 0x10000000L},
        {"WS_DISABLED", 0x08000000L},
        {"WS_CLIPSIBLINGS", 0x04000000L},
        {"WS_CLIPCHILDREN", 0x02000000L},
        {"WS_MAXIMIZE", 0x01000000L},
        {"WS_CAPTION", 0x00C00000L},
        {"WS_BORDER", 0x00800000L},
        {"WS_DLGFRAME", 0x00400000L},
        {"WS_VSCROLL", 0x00200000L},
        {"WS_HSCROLL", 0x00100000L},
        {"WS_SYSMENU", 0x00080000L},
        {"WS_THICKFRAME", 0x00040000L},
        {"WS_GROUP", 0x00020000L},
        {"WS_TABSTOP", 0x00010000L},
        {"WS_MINIMIZEBOX", 0x00020000L},
        {"WS_MAXIMIZEBOX", 0x00010000L},
        {"WS_TILED", 0},
        {"WS_ICONIC", 0x20000000L},
        {"WS_SIZEBOX", 0x00040000L},
        {"WS_CHILDWINDOW", 0x40000000L},
        {"WS_OVERLAPPEDWINDOW", 0x00CF0000L},
        {"WS_POPUPWINDOW", 0x80880000L},
        {"WS_EX_LEFT", 0},
        {"WS_EX_LTRREADING", 0},
        {"WS_EX_RIGHTSCROLLBAR", 0},
        {"WS_EX_DLGMODALFRAME", 0x1},
        {"WS_EX_NOPARENTNOTIFY", 0x4},
        {"WS_EX_TOPMOST", 0x8},
        {"WS_EX_ACCEPTFILES", 0x10},
        {"WS_EX_TRANSPARENT", 0x20},
        {"WS_EX_APPWINDOW", 0x40000},
        {"WS_EX_TOOLWINDOW", 0x80},
        {"WS_EX_WINDOWEDGE", 0x100},
        {"WS_EX_CLIENTEDGE", 0x200},
        {"WS_EX_CONTEXTHELP", 0x400},
        {"WS_EX_CONTROLPARENT", 0x10000},
        {"WS_EX_STATICEDGE", 0x20000},
        {"WS_EX_MDICHILD", 0x40},
        {"WS_EX_RIGHT", 0x1000},
        {"WS_EX_RTLREADING", 0x2000},
        {"WS_EX_LEFTSCROLLBAR", 0x4000},
        {"WS_EX_NOACTIVATE", 0x08000000L},
        {"DS_ABSALIGN", 0x1},
        {"DS_SYSMODAL", 0x2},
        {"DS_3DLOOK", 0x4},
        {"DS_FIXEDSYS", 0x8},
        {"DS_NOFAILCREATE", 0x10},
        {"DS_LOCALEDIT", 0x20},
        {"DS_SETFONT", 0x40},
        {"DS_MODALFRAME", 0x80},
        {"DS_NOIDLEMSG", 0x100},
        {"DS_SETFOREGROUND", 0x200},
        {"DS_CONTROL", 0x400},
        {"DS_CENTER", 0x800},
        {"DS_CENTERMOUSE", 0x1000},
        {"DS_CONTEXTHELP", 0x2000},
        {"DS_SHELLFONT", 0x48},
        {"SS_LEFT", 0},
        {"SS_CENTER", 1},
        {"SS_RIGHT", 2},
        {"SS_ICON", 3},
        {"SS_BLACKRECT", 4},
        {"SS_GRAYRECT", 5},
        {"SS_WHITERECT", 6},
        {"SS_BLACKFRAME", 7},
        {"SS_GRAYFRAME", 8},
        {"SS_WHITEFRAME", 9},
        {"SS_SIMPLE", 0xB},
        {"SS_LEFTNOWORDWRAP", 0xC},
        {"SS_OWNERDRAW", 0xD},
        {"SS_BITMAP", 0xE},
        {"SS_ETCHEDHORZ", 0x10},
        {"SS_ETCHEDVERT", 0x11},
        {"SS_ETCHEDFRAME", 0x12},
        {"SS_NOPREFIX", 0x80},
        {"SS_NOTIFY", 0x100},
        {"SS_CENTERIMAGE", 0x200},
        {"SS_REALSIZEIMAGE", 0x800},
        {"SS_SUNKEN", 0x1000},
        {"SS_ENHMETAFILE", 0xF},
        {"SS_RIGHTJUST", 0x400},
        {"SS_EDITCONTROL", 0x2000},
        {"SS_ENDELLIPSIS", 0x4000},
        {"SS_PATHELLIPSIS", 0x8000},
        {"SS_WORDELLIPSIS", 0xC000},
        {"ES_LEFT", 0},
        {"ES_CENTER", 1},
        {"ES_RIGHT", 2},
        {"ES_MULTILINE", 4},
        {"ES_UPPERCASE", 8},
        {"ES_LOWERCASE", 0x10},
        {"ES_PASSWORD", 0x20},
        {"ES_AUTOVSCROLL", 0x40},
        {"ES_AUTOHSCROLL", 0x80},
        {"ES_NOHIDESEL", 0x100},
        {"ES_OEMCONVERT", 0x400},
        {"ES_READONLY", 0x800},
        {"ES_WANTRETURN", 0x1000},
        {"ES_NUMBER", 0x2000},
        {"ES_DISABLENOSCROLL", 0x2000},
        {"ES_SUNKEN", 0x4000},
        {"ES_SAVESEL", 0x8000},
        {"ES_SELECTIONBAR", 0x01000000L},
        {"BS_PUSHBUTTON", 0},
        {"BS_DEFPUSHBUTTON", 1},
        {"BS_CHECKBOX", 2},
        {"BS_AUTOCHECKBOX", 3},
        {"BS_RADIOBUTTON", 4},
        {"BS_3STATE", 5},
        {"BS_AUTO3STATE", 6},
        {"BS_GROUPBOX", 7},
        {"BS_AUTORADIOBUTTON", 9},
        {"BS_OWNERDRAW", 0xB},
        {"BS_LEFTTEXT", 0x20},
        {"BS_ICON", 0x40},
        {"BS_BITMAP", 0x80},
        {"BS_LEFT", 0x100},
        {"BS_RIGHT", 0x200},
        {"BS_CENTER", 0x300},
        {"BS_TOP", 0x400},
        {"BS_BOTTOM", 0x800},
        {"BS_VCENTER", 0xC00},
        {"BS_PUSHLIKE", 0x1000},
        {"BS_MULTILINE", 0x2000},
        {"BS_NOTIFY", 0x4000},
        {"BS_FLAT", 0x8000},
        {"BS_USERBUTTON", 0x8},
        {"BS_TEXT", 0},
        {"BS_RIGHTBUTTON", 0x20},
        {"LBS_NOTIFY", 0x1},
        {"LBS_SORT", 0x2},
        {"LBS_NOREDRAW", 0x4},
        {"LBS_MULTIPLESEL", 0x8},
        {"LBS_OWNERDRAWFIXED", 0x10},
        {"LBS_OWNERDRAWVARIABLE", 0x20},
        {"LBS_HASSTRINGS", 0x40},
        {"LBS_USETABSTOPS", 0x80},
        {"LBS_NOINTEGRALHEIGHT", 0x100},
        {"LBS_MULTICOLUMN", 0x200},
        {"LBS_WANTKEYBOARDINPUT", 0x400},
        {"LBS_EXTENDEDSEL", 0x800},
        {"LBS_DISABLENOSCROLL", 0x1000},
        {"LBS_NOSEL", 0x4000},
        {"LBS_NODATA", 0x2000},
        {"LBS_COMBOBOX", 0x8000},
        {"LBS_STANDARD", 0x00A00003L},
        {"CBS_SIMPLE", 0x1},
        {"CBS_DROPDOWN", 0x2},
        {"CBS_DROPDOWNLIST", 0x3},
        {"CBS_OWNERDRAWFIXED", 0x10},
        {"CBS_OWNERDRAWVARIABLE", 0x20},
        {"CBS_AUTOHSCROLL", 0x40},
        {"CBS_OEMCONVERT", 0x80},
        {"CBS_SORT", 0x100},
        {"CBS_HASSTRINGS", 0x200},
        {"CBS_NOINTEGRALHEIGHT", 0x400},
        {"CBS_DISABLENOSCROLL", 0x800},
        {"CBS_UPPERCASE", 0x2000},
        {"CBS_LOWERCASE", 0x4000},
        {"LVS_ICON", 0},
        {"LVS_REPORT", 0x1},
        {"LVS_SMALLICON", 0x2},
        {"LVS_LIST", 0x3},
        {"LVS_SINGLESEL", 0x4},
        {"LVS_SHOWSELALWAYS", 0x8},
        {"LVS_SORTASCENDING", 0x10},
        {"LVS_SORTDESCENDING", 0x20},
        {"LVS_SHAREIMAGELISTS", 0x40},
        {"LVS_NOLABELWRAP", 0x80},
        {"LVS_AUTOARRANGE", 0x100},
        {"LVS_EDITLABELS", 0x200},
        {"LVS_OWNERDATA", 0x1000},
        {"LVS_NOSCROLL", 0x2000},
        {"LVS_NOCOLUMNHEADER", 0x4000},
        {"LVS_NOSORTHEADER", 0x8000},
        {"LVS_TYPEMASK", 0x3},
        {"LVS_ALIGNTOP", 0},
        {"LVS_ALIGNLEFT", 0x800},
        {"TVS_HASBUTTONS", 0x1},
        {"TVS_HASLINES", 0x2},
        {"TVS_LINESATROOT", 0x4},
        {"TVS_EDITLABELS", 0x8},
        {"TVS_DISABLEDRAGDROP", 0x10},
        {"TVS_SHOWSELALWAYS", 0x20},
        {"TVS_CHECKBOXES", 0x100},
        {"TVS_TRACKSELECT", 0x200},
        {"TVS_SINGLEEXPAND", 0x400},
        {"TVS_FULLROWSELECT", 0x1000},
        {"TVS_RTLREADING", 0x40},
        {"TVS_NOTOOLTIPS", 0x80},
        {"TVS_INFOTIP", 0x800},
        {"TVS_NOSCROLL", 0x2000},
        {"TVS_NONEVENHEIGHT", 0x4000},
        {"TVS_NOHSCROLL", 0x8000},
        {"CCS_TOP", 0x1},
        {"CCS_NOMOVEY", 0x2},
        {"CCS_BOTTOM", 0x3},
        {"CCS_NORESIZE", 0x4},
        {"CCS_NOPARENTALIGN", 0x8},
        {"CCS_ADJUSTABLE", 0x20},
        {"CCS_NODIVIDER", 0x40},
        {"CCS_VERT", 0x80},
        {"SBARS_SIZEGRIP", 0x100},
        {"SBARS_TOOLTIPS", 0x800},
        {"PBS_SMOOTH", 0x1},
        {"PBS_VERTICAL", 0x4},
        {"UDS_WRAP", 0x1},
        {"UDS_SETBUDDYINT", 0x2},
        {"UDS_ALIGNRIGHT", 0x4},
        {"UDS_ALIGNLEFT", 0x8},
        {"UDS_AUTOBUDDY", 0x10},
        {"UDS_ARROWKEYS", 0x20},
        {"UDS_HORZ", 0x40},
        {"UDS_NOTHOUSANDS", 0x80},
        {"UDS_HOTTRACK", 0x100},
        {"TBS_AUTOTICKS", 0x1},
        {"TBS_VERT", 0x2},
        {"TBS_HORZ", 0},
        {"TBS_TOP", 0x4},
        {"TBS_BOTTOM", 0},
        {"TBS_LEFT", 0x4},
        {"TBS_RIGHT", 0},
        {"TBS_BOTH", 0x8},
        {"TBS_NOTICKS", 0x10},
        {"TBS_ENABLESELRANGE", 0x20},
        {"TBS_FIXEDLENGTH", 0x40},
        {"TBS_NOTHUMB", 0x80},
        {"TBS_TOOLTIPS", 0x100},
        {"HDS_HORZ", 0},
        {"HDS_BUTTONS", 0x2},
        {"HDS_HOTTRACK", 0x4},
        {"HDS_HIDDEN", 0x8},
        {"HDS_DRAGDROP", 0x40},
        {"HDS_FULLDRAG", 0x80},
        {"TCS_BUTTONS", 0x100},
        {"TCS_MULTILINE", 0x200},
        {"TCS_FIXEDWIDTH", 0x400},
        {"TCS_FOCUSNEVER", 0x8000},
        {"ACS_CENTER", 0x1},
        {"ACS_TRANSPARENT", 0x2},
        {"ACS_AUTOPLAY", 0x4},
        {"ACS_TIMER", 0x8},
        {"SBS_SIZEBOXBOTTOMRIGHTALIGN", 0x4},
        {"SBS_SIZEBOX", 0x8},
        {"SBS_SIZEGRIP", 0x10},
    };
    return table;
}

// Reads values from a lexer: numbers, names and expressions of them.
class TokenReader {
  public:
    explicit TokenReader(Lexer& lexer) : lex_(lexer) { advance(); }

    // value: term ('|' term)*, where a term is a number, a known name or '(' value ')'.
    long number() {
        long v = term();
        while (isPunct('|')) {
            advance();
            v |= term();
        }
        return v;
    }

    bool atEndOfInput() const { return tok_.kind == Token::kEnd; }
    const Token& token() const { return tok_; }

  protected:
    void advance() { tok_ = lex_.next(); }
    bool isWord(const char* w) const { return tok_.kind == Token::kWord && tok_.text == w; }
    bool isPunct(char c) const { return tok_.kind == Token::kPunct && tok_.text[0] == c; }
    [[noreturn]] void fail(const std::string& what) const { Fail(tok_, what); }

    long term() {
        if (tok_.kind == Token::kNumber) {
            long v = tok_.value;
            advance();
            return v;
        }
        if (isPunct('(')) {
            advance();
            long v = number();
            if (!isPunct(')')) {
                fail("expected ')', found '" + tok_.text + "'");
            }
            advance();
            return v;
        }
        if (tok_.kind == Token::kWord) {
            auto it = Constants().find(tok_.text);
            if (it == Constants().end()) {
                fail("unknown constant " + tok_.text);
            }
            advance();
            return it->second;
        }
        fail("expected a number, found '" + tok_.text + "'");
    }

    // A style expression: terms joined by "|", a term may be preceded by NOT.
    // Returns the bits to set and, through `cleared`, the bits NOT removes.
    uint32_t styleExpr(uint32_t* cleared) {
        uint32_t set = 0;
        for (;;) {
            bool negate = false;
            if (isWord("NOT")) {
                negate = true;
                advance();
            }
            uint32_t v = static_cast<uint32_t>(term());
            if (negate) {
                *cleared |= v;
            } else {
                set |= v;
            }
            if (!isPunct('|')) {
                return set;
            }
            advance();
        }
    }

    Lexer& lex_;
    Token tok_;
};

void Lexer::define(const std::string& rest) {
    size_t at = rest.find_first_not_of(" \t");
    size_t end = at;
    while (end < rest.size() &&
           (std::isalnum(static_cast<unsigned char>(rest[end])) || rest[end] == '_')) {
        ++end;
    }
    if (at == std::string::npos || end == at ||
        std::isdigit(static_cast<unsigned char>(rest[at]))) {
        fail("#define needs a name");
    }
    std::string name = rest.substr(at, end - at);
    if (end < rest.size() && rest[end] == '(') {
        fail("#define " + name + ": macros with parameters are not supported");
    }
    std::string body = rest.substr(end);
    if (body.find_first_not_of(" \t\r") == std::string::npos) {
        fail("#define " + name + " needs a value");
    }
    const std::string& file = *stack_.back().file;
    int line = stack_.back().line;
    Lexer valueLexer(body, file, defines_, {}, line, false);
    TokenReader value(valueLexer);
    long v = value.number();
    if (!value.atEndOfInput()) {
        Fail(value.token(),
             "#define " + name + ": unexpected '" + value.token().text + "' after the value");
    }
    auto [it, added] = defines_.emplace(name, Define{v, file, line});
    if (!added && it->second.value != v) {
        fail(name + " defined again as " + std::to_string(v) + ", was " +
             std::to_string(it->second.value) + " at " + it->second.file + ":" +
             std::to_string(it->second.line));
    }
}

struct Control {
    int id = 0;
    std::string className;
    std::string text;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};

struct Dialog {
    int id = 0;
    std::string caption;
    uint32_t style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::vector<Control> controls;
};

struct Resources {
    std::map<unsigned, std::string> strings;
    std::vector<Dialog> dialogs;
    std::map<int, std::pair<int, int>> bitmaps;
    std::vector<int> icons;
};

class Parser : TokenReader {
  public:
    Parser(Lexer& lexer, Resources& out, std::string baseDir)
        : TokenReader(lexer), out_(out), baseDir_(std::move(baseDir)) {}

    void parseFile() {
        while (tok_.kind != Token::kEnd) {
            if (isWord("STRINGTABLE")) {
                parseStringTable();
            } else if (isWord("LANGUAGE")) {
                skipStatementLine();
            } else if (tok_.kind == Token::kNumber || tok_.kind == Token::kWord) {
                parseResource();
            } else {
                fail("unexpected '" + tok_.text + "'");
            }
        }
    }

  private:
    void skipComma() {
        if (isPunct(',')) {
            advance();
        }
    }

    bool atBegin() const { return isWord("BEGIN") || isPunct('{'); }
    bool atEnd() const { return isWord("END") || isPunct('}'); }

    // LANGUAGE a, b: two values on the statement's line.
    void skipStatementLine() {
        advance();
        number();
        skipComma();
        number();
    }

    void parseStringTable() {
        advance();
        while (!atBegin()) {
            advance();  // LANGUAGE, CHARACTERISTICS ... options
        }
        advance();
        while (!atEnd()) {
            if (tok_.kind == Token::kEnd) {
                fail("STRINGTABLE without END");
            }
            Token start = tok_;
            unsigned id = static_cast<unsigned>(number());
            skipComma();
            if (tok_.kind != Token::kString) {
                fail("expected the text of string " + std::to_string(id));
            }
            if (!out_.strings.emplace(id, tok_.text).second) {
                Fail(start, "string " + std::to_string(id) + " defined twice");
            }
            advance();
        }
        advance();
    }

    void parseResource() {
        Token start = tok_;
        long id = tok_.kind == Token::kNumber ? tok_.value : 0;
        std::string name = tok_.text;
        advance();
        if (isWord("DIALOG") || isWord("DIALOGEX")) {
            advance();
            parseDialog(static_cast<int>(id));
        } else if (isWord("BITMAP")) {
            advance();
            readBitmap(static_cast<int>(id), start);
        } else if (isWord("ICON")) {
            advance();
            advance();  // file name
            out_.icons.push_back(static_cast<int>(id));
        } else if (isWord("VERSIONINFO")) {
            skipBlock();
        } else {
            Fail(start, "unsupported resource statement after " + name + ": " + tok_.text);
        }
    }

    void skipBlock() {
        while (!atBegin()) {
            if (tok_.kind == Token::kEnd) {
                return;
            }
            advance();
        }
        int depth = 0;
        do {
            if (atBegin()) {
                ++depth;
            } else if (atEnd()) {
                --depth;
            }
            advance();
        } while (depth > 0 && tok_.kind != Token::kEnd);
    }

    void readBitmap(int id, const Token& start) {
        if (tok_.kind != Token::kString) {
            Fail(start, "BITMAP needs a file name");
        }
        std::string path = baseDir_ + "/" + tok_.text;
        advance();
        std::ifstream in(path, std::ios::binary);
        unsigned char header[26] = {};
        if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B' ||
            header[1] != 'M') {
            Fail(start, "cannot read bitmap " + path);
        }
        auto le32 = [&](int at) {
            return static_cast<int32_t>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                                        static_cast<uint32_t>(header[at + 3]) << 24);
        };
        int height = le32(22);
        out_.bitmaps[id] = {le32(18), height < 0 ? -height : height};
    }

    void parseDialog(int id) {
        Dialog d;
        d.id = id;
        d.x = static_cast<int>(number());
        skipComma();
        d.y = static_cast<int>(number());
        skipComma();
        d.cx = static_cast<int>(number());
        skipComma();
        d.cy = static_cast<int>(number());
        d.style = 0x80000000u | 0x00800000u | 0x00080000u;  // WS_POPUP | WS_BORDER | WS_SYSMENU
        uint32_t added = 0;  // a caption adds WS_CAPTION, a font DS_SETFONT, whatever the style
        while (!atBegin()) {
            if (isWord("STYLE")) {
                advance();
                uint32_t cleared = 0;
                d.style = styleExpr(&cleared) & ~cleared;
            } else if (isWord("EXSTYLE")) {
                advance();
                uint32_t cleared = 0;
                styleExpr(&cleared);
            } else if (isWord("CAPTION")) {
                advance();
                if (tok_.kind != Token::kString) {
                    fail("CAPTION needs a text in double quotes");
                }
                d.caption = tok_.text;
                added |= 0x00C00000u;
                advance();
            } else if (isWord("FONT")) {
                added |= 0x40u;
                advance();
                number();
                skipComma();
                advance();  // face name
                while (isPunct(',')) {
                    advance();
                    number();
                }
            } else if (isWord("LANGUAGE")) {
                skipStatementLine();
            } else {
                fail("unsupported dialog option " + tok_.text);
            }
        }
        d.style |= added;
        advance();
        while (!atEnd()) {
            if (tok_.kind == Token::kEnd) {
                fail("dialog without END");
            }
            d.controls.push_back(parseControl());
        }
        advance();
        out_.dialogs.push_back(std::move(d));
    }

    // A control statement's class and styles. Without a style in the statement a control gets
    // the default style; a style given replaces it, added to the base style.
    struct Kind {
        const char* className;
        uint32_t defaultStyle;
        uint32_t baseStyle;
        bool hasText;
    };

    Control parseControl() {
        static const std::map<std::string, Kind> kinds = {
            {"LTEXT", {"Static", 0x00020000u, 0x0u, true}},  // SS_LEFT, WS_GROUP by default
            {"RTEXT", {"Static", 0x00020002u, 0x2u, true}},
            {"CTEXT", {"Static", 0x00020001u, 0x1u, true}},
            {"EDITTEXT", {"Edit", 0x00810000u, 0x00810000u, false}},  // WS_BORDER | WS_TABSTOP
            {"PUSHBUTTON", {"Button", 0x00010000u, 0x00010000u, true}},
            {"DEFPUSHBUTTON", {"Button", 0x00010001u, 0x00010001u, true}},
            {"CHECKBOX", {"Button", 0x00010002u, 0x00010002u, true}},
            {"AUTOCHECKBOX", {"Button", 0x00010003u, 0x00010003u, true}},
            {"RADIOBUTTON", {"Button", 0x00010004u, 0x00010004u, true}},
            {"AUTORADIOBUTTON", {"Button", 0x00010009u, 0x00010009u, true}},
            {"GROUPBOX", {"Button", 0x00000007u, 0x00000007u, true}},
            {"LISTBOX", {"ListBox", 0x00800001u, 0x00800001u, false}},  // WS_BORDER | LBS_NOTIFY
            {"COMBOBOX", {"ComboBox", 0x00010001u, 0x0u, false}},       // CBS_SIMPLE | WS_TABSTOP
            {"ICON", {"Static", 0x00000003u, 0x00000003u, true}},       // SS_ICON
        };
        const uint32_t kChildVisible = 0x40000000u | 0x10000000u;
        Control c;
        Token start = tok_;
        if (isWord("CONTROL")) {
            advance();
            c.text = controlText();
            skipComma();
            c.id = static_cast<int>(number());
            skipComma();
            if (tok_.kind != Token::kString) {
                fail("expected the class name of control " + std::to_string(c.id) +
                     " in double quotes, found '" + tok_.text + "'");
            }
            c.className = tok_.text;
            advance();
            skipComma();
            uint32_t cleared = 0;
            c.style = (styleExpr(&cleared) | kChildVisible) & ~cleared;
            skipComma();
            readRect(c);
        } else if (tok_.kind == Token::kWord && kinds.count(tok_.text)) {
            const Kind& k = kinds.at(tok_.text);
            bool icon = tok_.text == "ICON";
            advance();
            c.className = k.className;
            if (k.hasText) {
                c.text = controlText();
                skipComma();
            }
            c.id = static_cast<int>(number());
            skipComma();
            if (icon) {  // ICON text, id, x, y [, cx, cy [, style]]: the picture sets the size
                c.x = static_cast<int>(number());
                skipComma();
                c.y = static_cast<int>(number());
                if (isPunct(',')) {
                    advance();
                    number();
                    skipComma();
                    number();
                }
            } else {
                readRect(c);
            }
            c.style = k.defaultStyle | kChildVisible;
            if (isPunct(',')) {
                advance();
                uint32_t cleared = 0;
                c.style = (k.baseStyle | kChildVisible | styleExpr(&cleared)) & ~cleared;
            }
        } else {
            Fail(start, "unsupported control statement " + tok_.text);
        }
        if (isPunct(',')) {
            advance();
            uint32_t cleared = 0;
            c.exStyle = styleExpr(&cleared) & ~cleared;
        }
        return c;
    }

    // A control's text: a string, or a resource id (pictures name their bitmap by number).
    std::string controlText() {
        std::string text = tok_.kind == Token::kNumber ? std::to_string(tok_.value) : tok_.text;
        advance();
        return text;
    }

    void readRect(Control& c) {
        c.x = static_cast<int>(number());
        skipComma();
        c.y = static_cast<int>(number());
        skipComma();
        c.cx = static_cast<int>(number());
        skipComma();
        c.cy = static_cast<int>(number());
    }

    Resources& out_;
    std::string baseDir_;
};

std::string CLiteral(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7F || c == '?') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);  // octal keeps trigraphs and UTF-8 safe
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Generate(const Resources& r, const std::string& symbol, const std::string& version) {
    std::ostringstream o;
    o << "// Generated by rcgen from the project's .rc files. Do not edit.\n"
      << "#include \"platform/resource_table.h\"\n\n"
      << "namespace {\nusing namespace wq::platform;\n\n";
    o << "const StringResource kStrings[] = {\n";
    for (const auto& [id, text] : r.strings) {
        o << "    {" << id << ", " << CLiteral(text) << "},\n";
    }
    if (r.strings.empty()) {
        o << "    {0, nullptr},\n";
    }
    o << "};\n\n";
    for (const Dialog& d : r.dialogs) {
        o << "const ControlTemplate kControls" << d.id << "[] = {\n";
        for (const Control& c : d.controls) {
            o << "    {" << c.id << ", " << CLiteral(c.className) << ", " << CLiteral(c.text)
              << ", 0x" << std::hex << c.style << "u, 0x" << c.exStyle << std::dec << "u, " << c.x
              << ", " << c.y << ", " << c.cx << ", " << c.cy << "},\n";
        }
        if (d.controls.empty()) {
            o << "    {0, nullptr, nullptr, 0, 0, 0, 0, 0, 0},\n";
        }
        o << "};\n";
    }
    o << "\nconst DialogTemplate kDialogs[] = {\n";
    for (const Dialog& d : r.dialogs) {
        o << "    {" << d.id << ", " << CLiteral(d.caption) << ", 0x" << std::hex << d.style
          << std::dec << "u, " << d.x << ", " << d.y << ", " << d.cx << ", " << d.cy
          << ", kControls" << d.id << ", " << d.controls.size() << "},\n";
    }
    if (r.dialogs.empty()) {
        o << "    {0, nullptr, 0, 0, 0, 0, 0, nullptr, 0},\n";
    }
    o << "};\n\nconst BitmapResource kBitmaps[] = {\n";
    for (const auto& [id, size] : r.bitmaps) {
        o << "    {" << id << ", " << size.first << ", " << size.second << "},\n";
    }
    if (r.bitmaps.empty()) {
        o << "    {0, 0, 0},\n";
    }
    o << "};\n\nconst int kIcons[] = {";
    for (int id : r.icons) {
        o << id << ", ";
    }
    o << (r.icons.empty() ? "0" : "");
    unsigned v[4] = {0, 0, 0, 0};
    std::sscanf(version.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    o << "};\n\nconst ResourceTable kTable = {kStrings, " << r.strings.size() << ", kDialogs, "
      << r.dialogs.size() << ", kBitmaps, " << r.bitmaps.size() << ", kIcons, " << r.icons.size()
      << ", {" << v[0] << ", " << v[1] << ", " << v[2] << ", " << v[3]
      << "}};\n\n}  // namespace\n\n"
      << "extern \"C\" __attribute__((visibility(\"default\"))) const ResourceTable* " << symbol
      << "() { return &kTable; }\n";
    return o.str();
}

}  // namespace

int main(int argc, char** argv) {
    std::string out, symbol = "WqResourceTable", version, bitmapDir = ".";
    std::vector<std::string> inputs, includeDirs;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else if (a == "--symbol" && i + 1 < argc) {
            symbol = argv[++i];
        } else if (a == "--version" && i + 1 < argc) {
            version = argv[++i];
        } else if (a == "--bitmap-dir" && i + 1 < argc) {
            bitmapDir = argv[++i];
        } else if (a == "-I" && i + 1 < argc) {
            includeDirs.push_back(argv[++i]);
        } else {
            inputs.push_back(a);
        }
    }
    if (out.empty() || inputs.empty()) {
        std::cerr << "usage: rcgen --out FILE [--symbol NAME] [--version a.b.c.d] "
                     "[--bitmap-dir DIR] [-I DIR]... FILE.rc...\n";
        return 2;
    }
    try {
        Resources res;
        Defines defines;  // one scope for all files, as when they are compiled together
        for (const std::string& path : inputs) {
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                throw std::runtime_error("cannot open " + path);
            }
            std::stringstream text;
            text << in.rdbuf();
            Lexer lexer(text.str(), path, defines, includeDirs);
            Parser(lexer, res, bitmapDir).parseFile();
        }
        std::string generated = Generate(res, symbol, version);
        std::ifstream old(out, std::ios::binary);
        std::stringstream oldText;
        oldText << old.rdbuf();
        if (oldText.str() != generated) {  // keep the timestamp when nothing changed
            std::ofstream(out, std::ios::binary) << generated;
        }
    } catch (const std::exception& e) {
        std::cerr << "rcgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
