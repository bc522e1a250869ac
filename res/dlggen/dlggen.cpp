// dlggen: turns the DIALOGEX blocks of the resource script into vantrell::DialogTemplate
// data (ui/DialogTemplate.h), so the Linux form is laid out from the Windows source.
//
//   dlggen SCRIPT.rc RESOURCE.h OUTPUT.cpp
//
// It knows only the rc syntax the script uses. Inside a DIALOGEX block anything else is a
// fault, reported as "file:line: error: ..." with exit status 1 and no output written.
// STRINGTABLE entries are read too; other resource statements are skipped. Identifiers
// resolve through RESOURCE.h plus the platform's IDOK, IDCANCEL and IDC_STATIC.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct InputError : std::runtime_error {
    InputError(const std::string& file, int line, const std::string& what)
        : std::runtime_error(file + ":" + std::to_string(line) + ": error: " + what)
    {
    }
};

enum class Tok { Ident, Number, String, Punct, End };

struct Token {
    Tok kind = Tok::End;
    std::string text; // as written; for strings the decoded value
    std::int64_t value = 0;
    int line = 0;
    bool firstOnLine = false;
    // Why the token cannot be used (bad number, escape); raised only if a dialog uses it,
    // so statements we skip may contain syntax we do not support.
    std::string fault;
};

std::string describe(const Token& t)
{
    switch (t.kind) {
    case Tok::End: return "end of file";
    case Tok::String: return "\"" + t.text + "\"";
    default: return "'" + t.text + "'";
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

void decodeNumber(Token& t)
{
    std::string digits = t.text;
    while (!digits.empty() && std::string_view("uUlL").find(digits.back()) != std::string_view::npos)
        digits.pop_back();
    int base = 10;
    std::size_t start = 0;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        start = 2;
    } else if (digits.size() > 1 && digits[0] == '0') {
        t.fault = "number " + t.text + " has a leading zero (octal in C, decimal in rc)";
        return;
    }
    if (start == digits.size()) {
        t.fault = "malformed number " + t.text;
        return;
    }
    std::int64_t v = 0;
    for (std::size_t i = start; i < digits.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(digits[i])));
        int d = 0;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else {
            t.fault = "malformed number " + t.text;
            return;
        }
        v = v * base + d;
        if (v > 0xFFFFFFFF) {
            t.fault = "number " + t.text + " does not fit in 32 bits";
            return;
        }
    }
    t.value = v;
}

// Tokenises rc or C text. Preprocessor lines and comments are dropped.
std::vector<Token> lex(std::string_view src, const std::string& file, int line = 1)
{
    std::vector<Token> out;
    int lastTokenLine = 0;
    bool lineStart = true;
    std::size_t i = 0;
    auto push = [&](Token t) {
        t.line = line;
        t.firstOnLine = line != lastTokenLine;
        lastTokenLine = line;
        out.push_back(std::move(t));
    };
    while (i < src.size()) {
        const char c = src[i];
        const char next = i + 1 < src.size() ? src[i + 1] : '\0';
        if (c == '\n') {
            ++line;
            ++i;
            lineStart = true;
            continue;
        }
        if (isBlank(c)) {
            ++i;
            continue;
        }
        if (c == '#' && lineStart) {
            while (i < src.size() && src[i] != '\n') {
                if (src[i] == '\\' && src.substr(i + 1, 1) == "\n") {
                    ++line;
                    ++i;
                } else if (src[i] == '\\' && src.substr(i + 1, 2) == "\r\n") {
                    ++line;
                    i += 2;
                }
                ++i;
            }
            continue;
        }
        lineStart = false;
        if (c == '/' && next == '/') {
            while (i < src.size() && src[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && next == '*') {
            const int opened = line;
            i += 2;
            while (i < src.size() && !(src[i] == '*' && i + 1 < src.size() && src[i + 1] == '/')) {
                if (src[i] == '\n')
                    ++line;
                ++i;
            }
            if (i >= src.size())
                throw InputError(file, opened, "unterminated comment");
            i += 2;
            continue;
        }
        Token t;
        if (isIdentStart(c)) {
            t.kind = Tok::Ident;
            while (i < src.size() && isIdentChar(src[i]))
                t.text += src[i++];
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            t.kind = Tok::Number;
            while (i < src.size() && isIdentChar(src[i]))
                t.text += src[i++];
            decodeNumber(t);
        } else if (c == '"') {
            t.kind = Tok::String;
            ++i;
            for (;;) {
                if (i >= src.size() || src[i] == '\n' || src[i] == '\r')
                    throw InputError(file, line, "unterminated string");
                const char ch = src[i++];
                if (ch == '"') {
                    if (i < src.size() && src[i] == '"') { // rc writes a quotation mark as ""
                        t.text += '"';
                        ++i;
                        continue;
                    }
                    break;
                }
                if (ch == '\\' && i < src.size()) {
                    const char e = src[i++];
                    switch (e) {
                    case '\\': t.text += '\\'; break;
                    case 'n': t.text += '\n'; break;
                    case 't': t.text += '\t'; break;
                    case 'r': t.text += '\r'; break;
                    case 'a': t.text += '\a'; break;
                    default:
                        if (t.fault.empty())
                            t.fault = std::string("unsupported escape \\") + e +
                                      " (write a quotation mark as \"\")";
                        t.text += '\\';
                        t.text += e;
                    }
                    continue;
                }
                if (static_cast<unsigned char>(ch) >= 0x80 && t.fault.empty())
                    t.fault = "non-ASCII character in a string: the script's code page is not carried over";
                t.text += ch;
            }
        } else {
            t.kind = Tok::Punct;
            t.text = std::string(1, c);
            ++i;
        }
        push(std::move(t));
    }
    Token end;
    end.kind = Tok::End;
    push(end);
    out.back().firstOnLine = true;
    return out;
}

bool keywordIs(const Token& t, std::string_view word)
{
    if (t.kind != Tok::Ident || t.text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(t.text[i])) != word[i])
            return false;
    return true;
}

bool punctIs(const Token& t, char c) { return t.kind == Tok::Punct && t.text[0] == c; }

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

using Defines = std::map<std::string, std::int64_t>;

// Window and control styles from the platform headers, as the script may name them.
constexpr std::uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000,
                        WS_BORDER = 0x00800000, WS_GROUP = 0x00020000, WS_TABSTOP = 0x00010000;
constexpr std::uint32_t ES_LEFT = 0x0000, ES_CENTER = 0x0001, ES_RIGHT = 0x0002, ES_NUMBER = 0x2000;
constexpr std::uint32_t CBS_SIMPLE = 0x0001, CBS_DROPDOWNLIST = 0x0003, CBS_TYPEMASK = 0x0003,
                        CBS_SORT = 0x0100;
constexpr std::uint32_t BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1;
constexpr std::uint32_t SS_LEFT = 0x0, SS_CENTER = 0x1, SS_RIGHT = 0x2;

const std::map<std::string, std::uint32_t, std::less<>> kStyles = {
    {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", WS_POPUP}, {"WS_CHILD", WS_CHILD},
    {"WS_MINIMIZE", 0x20000000}, {"WS_VISIBLE", WS_VISIBLE}, {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000}, {"WS_MAXIMIZE", 0x01000000},
    {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", WS_BORDER}, {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000}, {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000},
    {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", WS_GROUP}, {"WS_TABSTOP", WS_TABSTOP},
    {"WS_MINIMIZEBOX", 0x00020000}, {"WS_MAXIMIZEBOX", 0x00010000},
    {"DS_ABSALIGN", 0x0001}, {"DS_SYSMODAL", 0x0002}, {"DS_3DLOOK", 0x0004}, {"DS_FIXEDSYS", 0x0008},
    {"DS_NOFAILCREATE", 0x0010}, {"DS_LOCALEDIT", 0x0020}, {"DS_SETFONT", 0x0040},
    {"DS_MODALFRAME", 0x0080}, {"DS_NOIDLEMSG", 0x0100}, {"DS_SETFOREGROUND", 0x0200},
    {"DS_CONTROL", 0x0400}, {"DS_CENTER", 0x0800}, {"DS_CENTERMOUSE", 0x1000},
    {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x0048},
    {"WS_EX_DLGMODALFRAME", 0x00000001}, {"WS_EX_TOPMOST", 0x00000008},
    {"WS_EX_TRANSPARENT", 0x00000020}, {"WS_EX_TOOLWINDOW", 0x00000080},
    {"WS_EX_WINDOWEDGE", 0x00000100}, {"WS_EX_CLIENTEDGE", 0x00000200},
    {"WS_EX_CONTEXTHELP", 0x00000400}, {"WS_EX_STATICEDGE", 0x00020000},
    {"WS_EX_APPWINDOW", 0x00040000},
    {"ES_LEFT", ES_LEFT}, {"ES_CENTER", ES_CENTER}, {"ES_RIGHT", ES_RIGHT}, {"ES_MULTILINE", 0x0004},
    {"ES_UPPERCASE", 0x0008}, {"ES_LOWERCASE", 0x0010}, {"ES_PASSWORD", 0x0020},
    {"ES_AUTOVSCROLL", 0x0040}, {"ES_AUTOHSCROLL", 0x0080}, {"ES_NOHIDESEL", 0x0100},
    {"ES_OEMCONVERT", 0x0400}, {"ES_READONLY", 0x0800}, {"ES_WANTRETURN", 0x1000},
    {"ES_NUMBER", ES_NUMBER},
    {"CBS_SIMPLE", CBS_SIMPLE}, {"CBS_DROPDOWN", 0x0002}, {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
    {"CBS_OWNERDRAWFIXED", 0x0010}, {"CBS_OWNERDRAWVARIABLE", 0x0020}, {"CBS_AUTOHSCROLL", 0x0040},
    {"CBS_OEMCONVERT", 0x0080}, {"CBS_SORT", CBS_SORT}, {"CBS_HASSTRINGS", 0x0200},
    {"CBS_NOINTEGRALHEIGHT", 0x0400}, {"CBS_DISABLENOSCROLL", 0x0800}, {"CBS_UPPERCASE", 0x2000},
    {"CBS_LOWERCASE", 0x4000},
    {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON}, {"BS_MULTILINE", 0x2000},
    {"SS_LEFT", SS_LEFT}, {"SS_CENTER", SS_CENTER}, {"SS_RIGHT", SS_RIGHT}, {"SS_NOPREFIX", 0x0080},
    {"SS_SUNKEN", 0x1000}, {"SS_ETCHEDHORZ", 0x0010},
    {"PBS_SMOOTH", 0x0001}, {"PBS_VERTICAL", 0x0004},
};

// Reads expressions from a token list; every fault names the token's line.
class Cursor {
public:
    Cursor(std::vector<Token> tokens, std::string file, const Defines& defines)
        : tokens_(std::move(tokens)), file_(std::move(file)), defines_(defines)
    {
    }

    const Token& peek(std::size_t ahead = 0) const
    {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& take()
    {
        const Token& t = peek();
        if (pos_ + 1 < tokens_.size())
            ++pos_;
        return t;
    }
    bool atEnd() const { return peek().kind == Tok::End; }
    std::size_t position() const { return pos_; }
    // The tokens taken since position `from`, as written.
    std::string spelled(std::size_t from) const
    {
        std::string text;
        for (std::size_t i = from; i < pos_; ++i)
            text += tokens_[i].text;
        return text;
    }

    [[noreturn]] void fail(const Token& at, const std::string& what) const
    {
        throw InputError(file_, at.line, what);
    }

    void expectComma(const char* before)
    {
        if (!punctIs(peek(), ','))
            fail(peek(), std::string("expected ',' before ") + before + ", found " + describe(peek()));
        take();
    }

    std::string string(const char* what)
    {
        const Token& t = take();
        if (t.kind != Tok::String)
            fail(t, std::string("expected ") + what + " in double quotes, found " + describe(t));
        if (!t.fault.empty())
            fail(t, t.fault);
        return t.text;
    }

    // Integer: number, defined identifier, unary minus, parentheses.
    std::int64_t integer(const char* what)
    {
        const Token& t = take();
        if (punctIs(t, '-'))
            return -integer(what);
        if (punctIs(t, '(')) {
            const std::int64_t v = integer(what);
            if (!punctIs(peek(), ')'))
                fail(peek(), "expected ')', found " + describe(peek()));
            take();
            return v;
        }
        if (t.kind == Tok::Number) {
            if (!t.fault.empty())
                fail(t, t.fault);
            return t.value;
        }
        if (t.kind == Tok::Ident) {
            const auto found = defines_.find(t.text);
            if (found == defines_.end())
                fail(t, "'" + t.text + "' is not defined in the resource header");
            return found->second;
        }
        fail(t, std::string("expected ") + what + ", found " + describe(t));
    }

    std::int64_t integerIn(const char* what, std::int64_t low, std::int64_t high)
    {
        const Token& at = peek();
        const std::int64_t v = integer(what);
        if (v < low || v > high)
            fail(at, std::string(what) + " " + std::to_string(v) + " is out of range");
        return v;
    }

    // rc style expression: terms joined by '|'; "NOT term" clears the term's bits from
    // everything before it, the control's default style included.
    std::uint32_t style(std::uint32_t base)
    {
        std::uint32_t v = base;
        for (;;) {
            bool negate = false;
            if (keywordIs(peek(), "NOT")) {
                take();
                negate = true;
            }
            const std::uint32_t term = styleTerm();
            v = negate ? (v & ~term) : (v | term);
            if (!punctIs(peek(), '|'))
                return v;
            take();
        }
    }

private:
    std::uint32_t styleTerm()
    {
        const Token& t = take();
        if (t.kind == Tok::Number) {
            if (!t.fault.empty())
                fail(t, t.fault);
            return static_cast<std::uint32_t>(t.value);
        }
        if (t.kind == Tok::Ident) {
            if (const auto found = kStyles.find(t.text); found != kStyles.end())
                return found->second;
            fail(t, "unknown style '" + t.text + "'");
        }
        if (punctIs(t, '(')) {
            std::uint32_t v = styleTerm();
            while (punctIs(peek(), '|')) {
                take();
                v |= styleTerm();
            }
            if (!punctIs(peek(), ')'))
                fail(peek(), "expected ')', found " + describe(peek()));
            take();
            return v;
        }
        fail(t, "expected a style, found " + describe(t));
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::string file_;
    const Defines& defines_;
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The ids the platform headers define; resource.h may only repeat them.
const Defines kPlatformIds = {{"IDOK", 1}, {"IDCANCEL", 2}, {"IDC_STATIC", -1}};

// Object-like #defines with integer values; other directives are ignored, anything
// outside a directive is a fault.
Defines readDefines(const std::string& path)
{
    const std::string& name = path;
    std::string text = readFile(path);
    // Blank out comments, keeping newlines so line numbers stay right.
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '/' && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n')
                text[i++] = ' ';
        } else if (text[i] == '/' && text[i + 1] == '*') {
            const std::size_t close = text.find("*/", i + 2);
            const std::size_t stop = close == std::string::npos ? text.size() : close + 2;
            for (; i < stop; ++i)
                if (text[i] != '\n')
                    text[i] = ' ';
            --i;
        }
    }
    Defines defines = kPlatformIds;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::size_t p = line.find_first_not_of(" \t\r");
        if (p == std::string::npos)
            continue;
        if (line[p] != '#')
            throw InputError(name, number, "expected only preprocessor directives");
        p = line.find_first_not_of(" \t", p + 1);
        if (p == std::string::npos || line.compare(p, 6, "define") != 0 ||
            (p + 6 < line.size() && !isBlank(line[p + 6])))
            continue;
        p = std::min(line.find_first_not_of(" \t", p + 6), line.size());
        std::size_t q = p;
        while (q < line.size() && isIdentChar(line[q]))
            ++q;
        const std::string macro = line.substr(p, q - p);
        if (macro.empty())
            throw InputError(name, number, "#define without a name");
        if (q < line.size() && line[q] == '(')
            throw InputError(name, number, "function-like macro " + macro);
        const std::string value = line.substr(q);
        if (value.find_first_not_of(" \t\r") == std::string::npos)
            continue; // include guard
        Cursor cursor(lex(value, name, number), name, defines);
        const std::int64_t v = cursor.integer("an integer value");
        if (!cursor.atEnd())
            cursor.fail(cursor.peek(), "unexpected " + describe(cursor.peek()) + " in #define " + macro);
        const auto [it, added] = defines.emplace(macro, v);
        if (!added && it->second != v)
            throw InputError(name, number,
                             macro + " is already " + std::to_string(it->second) + ", not " +
                                 std::to_string(v));
    }
    return defines;
}

enum class Kind { Text, Edit, DropDownList, PushButton, DefPushButton, ProgressBar, Other };
enum class Align { Left, Center, Right };

struct Control {
    int line = 0;
    std::string text;
    std::int64_t id = 0;
    std::string name;
    Kind kind = Kind::Other;
    Align align = Align::Left;
    std::int64_t x = 0, y = 0, width = 0, height = 0;
    std::uint32_t style = 0;
};

struct Dialog {
    int line = 0;
    std::string name;
    std::int64_t id = 0;
    std::string caption;
    std::int64_t width = 0, height = 0;
    std::string fontFace;
    std::int64_t fontPointSize = 0;
    std::vector<Control> controls;
};

class ScriptParser {
public:
    explicit ScriptParser(Cursor& in) : in_(in) {}

    std::vector<Dialog> dialogs()
    {
        std::vector<Dialog> found;
        int depth = 0;
        while (!in_.atEnd()) {
            const Token& t = in_.peek();
            if (depth == 0 && t.firstOnLine && (t.kind == Tok::Ident || t.kind == Tok::Number) &&
                keywordIs(in_.peek(1), "DIALOGEX") && !in_.peek(1).firstOnLine) {
                found.push_back(dialog());
                continue;
            }
            if (depth == 0 && keywordIs(t, "STRINGTABLE")) {
                stringTable();
                continue;
            }
            if (keywordIs(t, "DIALOGEX"))
                in_.fail(t, "DIALOGEX must follow the template's name on the same line");
            if (keywordIs(t, "BEGIN") || punctIs(t, '{'))
                ++depth;
            else if (keywordIs(t, "END") || punctIs(t, '}')) {
                if (depth == 0)
                    in_.fail(t, "END without BEGIN");
                --depth;
            }
            in_.take();
        }
        if (depth != 0)
            in_.fail(in_.peek(), "missing END");
        return found;
    }

    // The STRINGTABLE entries read along the way, by id.
    std::map<std::int64_t, std::string> strings;

private:
    // STRINGTABLE [options] BEGIN { id[,] "text" } END
    void stringTable()
    {
        in_.take();
        while (!in_.atEnd() && !keywordIs(in_.peek(), "BEGIN"))
            in_.take();
        if (in_.atEnd())
            in_.fail(in_.peek(), "STRINGTABLE without BEGIN");
        in_.take();
        while (!keywordIs(in_.peek(), "END")) {
            if (in_.atEnd())
                in_.fail(in_.peek(), "missing END of STRINGTABLE");
            const Token& at = in_.peek();
            const std::int64_t id = in_.integerIn("string id", 0, 65535);
            if (punctIs(in_.peek(), ','))
                in_.take();
            if (!strings.emplace(id, in_.string("the string")).second)
                in_.fail(at, "second string with id " + std::to_string(id));
        }
        in_.take();
    }

    std::int64_t coordinate(const char* what) { return in_.integerIn(what, -32768, 32767); }
    std::int64_t size(const char* what) { return in_.integerIn(what, 0, 32767); }

    std::int64_t resourceId(std::string& name)
    {
        const std::size_t from = in_.position();
        const std::int64_t id = in_.integerIn("id", INT32_MIN, INT32_MAX);
        name = in_.spelled(from);
        return id;
    }

    Dialog dialog()
    {
        Dialog d;
        d.line = in_.peek().line;
        d.id = resourceId(d.name);
        in_.take(); // DIALOGEX
        coordinate("x");
        in_.expectComma("y");
        coordinate("y");
        in_.expectComma("width");
        d.width = size("width");
        in_.expectComma("height");
        d.height = size("height");
        if (punctIs(in_.peek(), ',')) {
            in_.take();
            in_.integer("help id");
        }
        for (;;) {
            const Token& t = in_.take();
            if (keywordIs(t, "BEGIN") || punctIs(t, '{'))
                break;
            if (keywordIs(t, "STYLE") || keywordIs(t, "EXSTYLE"))
                in_.style(0);
            else if (keywordIs(t, "CAPTION"))
                d.caption = in_.string("the caption");
            else if (keywordIs(t, "FONT")) {
                d.fontPointSize = in_.integerIn("point size", 1, 32767);
                in_.expectComma("the typeface");
                d.fontFace = in_.string("the typeface");
                for (const char* field : {"weight", "italic", "character set"}) {
                    if (!punctIs(in_.peek(), ','))
                        break;
                    in_.take();
                    in_.integer(field);
                }
            } else
                in_.fail(t, "dlggen does not understand " + describe(t) + " in dialog " + d.name);
        }
        for (;;) {
            const Token& t = in_.peek();
            if (keywordIs(t, "END") || punctIs(t, '}')) {
                in_.take();
                return d;
            }
            if (t.kind == Tok::End)
                in_.fail(t, "missing END of dialog " + d.name + " begun on line " + std::to_string(d.line));
            d.controls.push_back(control());
            if (!in_.peek().firstOnLine)
                in_.fail(in_.peek(), "unexpected " + describe(in_.peek()) + " after the control's fields");
        }
    }

    void rectangle(Control& c)
    {
        c.x = coordinate("x");
        in_.expectComma("y");
        c.y = coordinate("y");
        in_.expectComma("width");
        c.width = size("width");
        in_.expectComma("height");
        c.height = size("height");
    }

    // ", style [, exstyle]" after the rectangle, both optional. Without a style the control
    // gets its statement's default; a written style is added to the statement's base, which
    // for COMBOBOX lacks the default's WS_TABSTOP and CBS_SIMPLE (so scripts spell them out).
    void optionalStyles(Control& c, std::uint32_t defaultStyle, std::uint32_t baseStyle)
    {
        c.style = WS_CHILD | WS_VISIBLE | defaultStyle;
        if (!punctIs(in_.peek(), ','))
            return;
        in_.take();
        c.style = in_.style(WS_CHILD | WS_VISIBLE | baseStyle);
        if (!punctIs(in_.peek(), ','))
            return;
        in_.take();
        in_.style(0);
    }

    // "text, id, x, y, width, height [, style [, exstyle]]": statics and push buttons.
    void labelledControl(Control& c, std::uint32_t style)
    {
        c.text = in_.string("the text");
        in_.expectComma("the id");
        c.id = resourceId(c.name);
        in_.expectComma("x");
        rectangle(c);
        optionalStyles(c, style, style);
    }

    Control control()
    {
        const Token& keyword = in_.take();
        Control c;
        c.line = keyword.line;
        const std::string word = upper(keyword.text);
        if (keyword.kind == Tok::Ident && (word == "LTEXT" || word == "CTEXT" || word == "RTEXT")) {
            c.kind = Kind::Text;
            c.align = word == "LTEXT" ? Align::Left : word == "CTEXT" ? Align::Center : Align::Right;
            labelledControl(c, WS_GROUP | (word == "LTEXT" ? SS_LEFT : word == "CTEXT" ? SS_CENTER : SS_RIGHT));
        } else if (keyword.kind == Tok::Ident && (word == "PUSHBUTTON" || word == "DEFPUSHBUTTON")) {
            c.kind = word == "PUSHBUTTON" ? Kind::PushButton : Kind::DefPushButton;
            labelledControl(c, WS_TABSTOP | (word == "PUSHBUTTON" ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON));
        } else if (keyword.kind == Tok::Ident && (word == "EDITTEXT" || word == "COMBOBOX")) {
            c.id = resourceId(c.name);
            in_.expectComma("x");
            rectangle(c);
            if (word == "EDITTEXT") {
                optionalStyles(c, WS_TABSTOP | WS_BORDER | ES_LEFT, WS_TABSTOP | WS_BORDER | ES_LEFT);
                c.kind = Kind::Edit;
                c.align = (c.style & ES_RIGHT) ? Align::Right
                          : (c.style & ES_CENTER) ? Align::Center
                                                  : Align::Left;
            } else {
                optionalStyles(c, WS_TABSTOP | CBS_SIMPLE, 0);
                c.kind = (c.style & CBS_TYPEMASK) == CBS_DROPDOWNLIST ? Kind::DropDownList : Kind::Other;
            }
        } else if (keywordIs(keyword, "CONTROL")) {
            c.text = in_.string("the text");
            in_.expectComma("the id");
            c.id = resourceId(c.name);
            in_.expectComma("the window class");
            const std::string windowClass = in_.string("the window class");
            // Window class names compare without regard to case.
            c.kind = upper(windowClass) == "MSCTLS_PROGRESS32" ? Kind::ProgressBar : Kind::Other;
            in_.expectComma("the style");
            c.style = in_.style(WS_CHILD | WS_VISIBLE);
            in_.expectComma("x");
            rectangle(c);
            if (punctIs(in_.peek(), ',')) {
                in_.take();
                in_.style(0);
            }
        } else
            in_.fail(keyword, "dlggen does not understand the control statement " + describe(keyword));
        return c;
    }

    Cursor& in_;
};

std::string cppString(std::string_view s)
{
    std::string out = "\"";
    for (const char ch : s) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (u >= 0x20 && u < 0x7f)
            out += ch;
        else {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", u);
            out += octal;
        }
    }
    return out + '"';
}

const char* kindName(Kind k)
{
    switch (k) {
    case Kind::Text: return "ControlKind::Text";
    case Kind::Edit: return "ControlKind::Edit";
    case Kind::DropDownList: return "ControlKind::DropDownList";
    case Kind::PushButton: return "ControlKind::PushButton";
    case Kind::DefPushButton: return "ControlKind::DefPushButton";
    case Kind::ProgressBar: return "ControlKind::ProgressBar";
    case Kind::Other: break;
    }
    return "ControlKind::Other";
}

const char* alignName(Align a)
{
    return a == Align::Center ? "TextAlign::Center" : a == Align::Right ? "TextAlign::Right" : "TextAlign::Left";
}

const char* boolName(bool b) { return b ? "true" : "false"; }

struct Wanted {
    const char* templateName;
    const char* variable;
    const char* controlsArray;
};

// The templates ui/DialogTemplate.h declares.
constexpr Wanted kWanted[] = {
    {"IDD_SCAN_DIALOG", "kScanDialogTemplate", "kScanDialogControls"},
    {"IDD_ABOUTBOX", "kAboutDialogTemplate", "kAboutDialogControls"},
};

// rcPath names the script in errors; rcName and headerName go into the generated comments.
std::string emit(const std::vector<Dialog>& dialogs, const std::map<std::int64_t, std::string>& strings,
                 const std::string& rcPath, const std::string& rcName, const std::string& headerName)
{
    std::map<std::string, const Dialog*> byName;
    for (const Dialog& d : dialogs)
        if (!byName.emplace(d.name, &d).second)
            throw InputError(rcPath, d.line, "second DIALOGEX " + d.name);

    std::ostringstream out;
    out << "// Generated by dlggen from " << rcName << " and " << headerName
        << ": edit those, not this file.\n"
        << "#include \"DialogTemplate.h\"\n\nnamespace vantrell {\nnamespace {\n";
    for (const Wanted& w : kWanted) {
        const auto found = byName.find(w.templateName);
        if (found == byName.end())
            throw InputError(rcPath, 1, std::string("no DIALOGEX ") + w.templateName);
        const Dialog& d = *found->second;
        if (d.controls.empty())
            continue;
        out << "\nconstexpr DialogControl " << w.controlsArray << "[] = {\n";
        for (const Control& c : d.controls) {
            const bool digitsOnly = c.kind == Kind::Edit && (c.style & ES_NUMBER);
            const bool sorted = c.kind == Kind::DropDownList && (c.style & CBS_SORT);
            out << "    {" << cppString(c.text) << ", " << c.id << ", " << cppString(c.name) << ", "
                << kindName(c.kind) << ", " << alignName(c.align) << ", " << c.x << ", " << c.y << ", "
                << c.width << ", " << c.height << ", " << boolName(c.style & WS_TABSTOP) << ", "
                << boolName(c.style & WS_VISIBLE) << ", " << boolName(digitsOnly) << ", "
                << boolName(sorted) << "}, // " << rcName << ":" << c.line << "\n";
        }
        out << "};\n";
    }
    out << "\n} // namespace\n";
    for (const Wanted& w : kWanted) {
        const Dialog& d = *byName.at(w.templateName);
        out << "\nconstinit const DialogTemplate " << w.variable << "{" << d.id << ", "
            << cppString(d.name) << ", " << cppString(d.caption) << ", " << d.width << ", " << d.height
            << ", " << cppString(d.fontFace) << ", " << d.fontPointSize << ", "
            << (d.controls.empty() ? std::string("{}") : w.controlsArray) << "};\n";
    }
    out << "\nconst char* ResourceString(int id)\n{\n    switch (id) {\n";
    for (const auto& [id, text] : strings)
        out << "    case " << id << ":\n        return " << cppString(text) << ";\n";
    out << "    default:\n        return nullptr;\n    }\n}\n";
    out << "\n} // namespace vantrell\n";
    return out.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    // Write beside the target and rename, so a failed run leaves no half-written source.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
            throw std::runtime_error("cannot write " + temporary);
    }
    std::filesystem::rename(temporary, path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: dlggen SCRIPT.rc RESOURCE.h OUTPUT.cpp\n";
        return 2;
    }
    try {
        const std::string rcPath = argv[1];
        const Defines defines = readDefines(argv[2]);
        Cursor cursor(lex(readFile(rcPath), rcPath), rcPath, defines);
        ScriptParser parser(cursor);
        const std::vector<Dialog> dialogs = parser.dialogs();
        writeFile(argv[3], emit(dialogs, parser.strings, rcPath, std::filesystem::path(rcPath).filename().string(),
                                std::filesystem::path(argv[2]).filename().string()));
    } catch (const std::exception& e) {
        std::cerr << (dynamic_cast<const InputError*>(&e) ? "" : "dlggen: ") << e.what() << '\n';
        return 1;
    }
    return 0;
}
