// rcgen: turns the project's .rc files into a C++ resource table for the POSIX build.
//
// Windows builds compile the same .rc files with windres; this tool reads the subset of the
// resource-script language the project writes (STRINGTABLE, DIALOG/DIALOGEX with the usual
// control statements, BITMAP, ICON; VERSIONINFO and preprocessor lines are skipped) so that
// the headless user interface shows exactly the controls and texts of the real dialogs.
//
// usage: rcgen --out FILE --symbol NAME [--version a.b.c.d] [--bitmap-dir DIR] FILE.rc...
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
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
    int line = 0;
};

// Splits resource-script text into words, numbers, strings and punctuation.
class Lexer {
  public:
    Lexer(std::string text, std::string file) : text_(std::move(text)), file_(std::move(file)) {}

    Token next() {
        skipSpaceAndComments();
        Token t;
        t.line = line_;
        if (pos_ >= text_.size()) {
            return t;
        }
        char c = text_[pos_];
        if (c == '"') {
            t.kind = Token::kString;
            t.text = readString();
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '-' && pos_ + 1 < text_.size() &&
                    std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
            size_t start = pos_;
            ++pos_;
            while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) {
                ++pos_;
            }
            t.kind = Token::kNumber;
            t.text = text_.substr(start, pos_ - start);
            t.value = std::strtol(t.text.c_str(), nullptr, 0);
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos_;
            while (pos_ < text_.size() &&
                   (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) {
                ++pos_;
            }
            t.kind = Token::kWord;
            t.text = text_.substr(start, pos_ - start);
        } else {
            t.kind = Token::kPunct;
            t.text = std::string(1, c);
            ++pos_;
        }
        return t;
    }

    [[noreturn]] void fail(int line, const std::string& what) const {
        throw std::runtime_error(file_ + ":" + std::to_string(line) + ": " + what);
    }

  private:
    void skipSpaceAndComments() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
                atLineStart_ = true;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (c == '#' && atLineStart_) {
                skipLine();  // preprocessor lines: #pragma, #include, #define
            } else if (text_.compare(pos_, 2, "//") == 0) {
                skipLine();
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                size_t end = text_.find("*/", pos_ + 2);
                for (size_t i = pos_; i < std::min(end, text_.size()); ++i) {
                    line_ += text_[i] == '\n';
                }
                pos_ = end == std::string::npos ? text_.size() : end + 2;
            } else {
                atLineStart_ = false;
                return;
            }
        }
    }

    void skipLine() {
        while (pos_ < text_.size() && text_[pos_] != '\n') {
            ++pos_;
        }
    }

    // A resource-script string: "" stands for one quote; C escapes \n \t \\ \" and octal.
    std::string readString() {
        int startLine = line_;
        std::string out;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                fail(startLine, "unterminated string");
            }
            char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    out += '"';
                    ++pos_;
                    continue;
                }
                return out;
            }
            if (c == '\n') {
                fail(startLine, "line break inside a string");
            }
            if (c != '\\' || pos_ >= text_.size()) {
                out += c;
                continue;
            }
            char e = text_[pos_++];
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
                        for (int i = 0; i < 2 && pos_ < text_.size() && text_[pos_] >= '0' &&
                                        text_[pos_] <= '7';
                             ++i) {
                            v = v * 8 + (text_[pos_++] - '0');
                        }
                        out += static_cast<char>(v);
                    } else {
                        out += '\\';
                        out += e;
                    }
            }
        }
    }

    std::string text_;
    std::string file_;
    size_t pos_ = 0;
    int line_ = 1;
    bool atLineStart_ = true;
};

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
        {"IDC_STATIC", -1},
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
        {"SBS_SIZEBOXBOTTOMRIGHTALIGN", 0x4},
        {"SBS_SIZEBOX", 0x8},
        {"SBS_SIZEGRIP", 0x10},
    };
    return table;
}

struct Control {
    int id = 0;
    std::string className;
    std::string text;
    uint32_t style = 0;
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

class Parser {
  public:
    Parser(Lexer& lexer, Resources& out, std::string baseDir)
        : lex_(lexer), out_(out), baseDir_(std::move(baseDir)) {
        advance();
    }

    void parseFile() {
        while (tok_.kind != Token::kEnd) {
            if (isWord("STRINGTABLE")) {
                parseStringTable();
            } else if (isWord("LANGUAGE")) {
                skipStatementLine();
            } else if (tok_.kind == Token::kNumber || tok_.kind == Token::kWord) {
                parseResource();
            } else {
                lex_.fail(tok_.line, "unexpected '" + tok_.text + "'");
            }
        }
    }

  private:
    void advance() { tok_ = lex_.next(); }
    bool isWord(const char* w) const { return tok_.kind == Token::kWord && tok_.text == w; }
    bool isPunct(char c) const { return tok_.kind == Token::kPunct && tok_.text[0] == c; }
    void skipComma() {
        if (isPunct(',')) {
            advance();
        }
    }

    void expectWord(const char* w) {
        if (!isWord(w) && !(std::string(w) == "BEGIN" && isPunct('{')) &&
            !(std::string(w) == "END" && isPunct('}'))) {
            lex_.fail(tok_.line, std::string("expected ") + w + ", found '" + tok_.text + "'");
        }
        advance();
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

    long number() {
        if (tok_.kind == Token::kNumber) {
            long v = tok_.value;
            advance();
            return v;
        }
        if (tok_.kind == Token::kWord) {
            auto it = Constants().find(tok_.text);
            if (it == Constants().end()) {
                lex_.fail(tok_.line, "unknown constant " + tok_.text);
            }
            advance();
            return it->second;
        }
        lex_.fail(tok_.line, "expected a number, found '" + tok_.text + "'");
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
            uint32_t v = static_cast<uint32_t>(number());
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

    void parseStringTable() {
        advance();
        while (!atBegin()) {
            advance();  // LANGUAGE, CHARACTERISTICS ... options
        }
        advance();
        while (!atEnd()) {
            if (tok_.kind == Token::kEnd) {
                lex_.fail(tok_.line, "STRINGTABLE without END");
            }
            int line = tok_.line;
            unsigned id = static_cast<unsigned>(number());
            skipComma();
            if (tok_.kind != Token::kString) {
                lex_.fail(tok_.line, "expected the text of string " + std::to_string(id));
            }
            if (!out_.strings.emplace(id, tok_.text).second) {
                lex_.fail(line, "string " + std::to_string(id) + " defined twice");
            }
            advance();
        }
        advance();
    }

    void parseResource() {
        int line = tok_.line;
        long id = tok_.kind == Token::kNumber ? tok_.value : 0;
        std::string name = tok_.text;
        advance();
        if (isWord("DIALOG") || isWord("DIALOGEX")) {
            advance();
            parseDialog(static_cast<int>(id));
        } else if (isWord("BITMAP")) {
            advance();
            readBitmap(static_cast<int>(id), line);
        } else if (isWord("ICON")) {
            advance();
            advance();  // file name
            out_.icons.push_back(static_cast<int>(id));
        } else if (isWord("VERSIONINFO")) {
            skipBlock();
        } else {
            lex_.fail(line, "unsupported resource statement after " + name + ": " + tok_.text);
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

    void readBitmap(int id, int line) {
        if (tok_.kind != Token::kString) {
            lex_.fail(line, "BITMAP needs a file name");
        }
        std::string path = baseDir_ + "/" + tok_.text;
        advance();
        std::ifstream in(path, std::ios::binary);
        unsigned char header[26] = {};
        if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B' ||
            header[1] != 'M') {
            lex_.fail(line, "cannot read bitmap " + path);
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
        d.style = 0x80000000u | 0x00C00000u | 0x00080000u;  // WS_POPUP | WS_CAPTION | WS_SYSMENU
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
                d.caption = tok_.text;
                advance();
            } else if (isWord("FONT")) {
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
                lex_.fail(tok_.line, "unsupported dialog option " + tok_.text);
            }
        }
        advance();
        while (!atEnd()) {
            if (tok_.kind == Token::kEnd) {
                lex_.fail(tok_.line, "dialog without END");
            }
            d.controls.push_back(parseControl());
        }
        advance();
        out_.dialogs.push_back(std::move(d));
    }

    struct Kind {
        const char* className;
        uint32_t style;
        bool hasText;
    };

    Control parseControl() {
        static const std::map<std::string, Kind> kinds = {
            {"LTEXT", {"Static", 0x00020000u, true}},
            {"RTEXT", {"Static", 0x00020002u, true}},
            {"CTEXT", {"Static", 0x00020001u, true}},
            {"EDITTEXT", {"Edit", 0x00810000u, false}},
            {"PUSHBUTTON", {"Button", 0x00010000u, true}},
            {"DEFPUSHBUTTON", {"Button", 0x00010001u, true}},
            {"CHECKBOX", {"Button", 0x00010002u, true}},
            {"AUTOCHECKBOX", {"Button", 0x00010003u, true}},
            {"RADIOBUTTON", {"Button", 0x00000004u, true}},
            {"AUTORADIOBUTTON", {"Button", 0x00000009u, true}},
            {"GROUPBOX", {"Button", 0x00000007u, true}},
            {"LISTBOX", {"ListBox", 0x00800001u, false}},
            {"COMBOBOX", {"ComboBox", 0x00000000u, false}},
            {"ICON", {"Static", 0x00000003u, true}},
        };
        const uint32_t kChildVisible = 0x40000000u | 0x10000000u;
        Control c;
        int line = tok_.line;
        if (isWord("CONTROL")) {
            advance();
            c.text = controlText();
            skipComma();
            c.id = static_cast<int>(number());
            skipComma();
            c.className = tok_.text;
            advance();
            skipComma();
            uint32_t cleared = 0;
            c.style = (styleExpr(&cleared) | kChildVisible) & ~cleared;
            skipComma();
            readRect(c);
        } else if (tok_.kind == Token::kWord && kinds.count(tok_.text)) {
            const Kind& k = kinds.at(tok_.text);
            advance();
            c.className = k.className;
            if (k.hasText) {
                c.text = controlText();
                skipComma();
            }
            c.id = static_cast<int>(number());
            skipComma();
            readRect(c);
            c.style = k.style | kChildVisible;
            if (isPunct(',')) {
                advance();
                uint32_t cleared = 0;
                c.style = (c.style | styleExpr(&cleared)) & ~cleared;
            }
        } else {
            lex_.fail(line, "unsupported control statement " + tok_.text);
        }
        if (isPunct(',')) {  // extended style
            advance();
            uint32_t cleared = 0;
            styleExpr(&cleared);
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

    Lexer& lex_;
    Resources& out_;
    std::string baseDir_;
    Token tok_;
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
              << ", 0x" << std::hex << c.style << std::dec << "u, " << c.x << ", " << c.y << ", "
              << c.cx << ", " << c.cy << "},\n";
        }
        if (d.controls.empty()) {
            o << "    {0, nullptr, nullptr, 0, 0, 0, 0, 0},\n";
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
    std::vector<std::string> inputs;
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
        } else {
            inputs.push_back(a);
        }
    }
    if (out.empty() || inputs.empty()) {
        std::cerr << "usage: rcgen --out FILE [--symbol NAME] [--version a.b.c.d] "
                     "[--bitmap-dir DIR] FILE.rc...\n";
        return 2;
    }
    try {
        Resources res;
        for (const std::string& path : inputs) {
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                throw std::runtime_error("cannot open " + path);
            }
            std::stringstream text;
            text << in.rdbuf();
            Lexer lexer(text.str(), path);
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
