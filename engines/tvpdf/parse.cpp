// The command language: one command a line, its name first (any case), then
// its arguments separated by blanks. Text with blanks goes in double quotes
// ("" inside quotes stands for one quote). A line whose first non-blank
// character is # is a comment; blank lines are skipped. docs/tvpdf-commands.md
// describes every command.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "document.hpp"

namespace tvpdf {

Error::Error(Code code, const std::string& message) : std::runtime_error(message), code_(code) {}

std::string quoted(std::string_view text) {
    constexpr size_t kMax = 40;
    std::string out = "\"";
    if (text.size() > kMax) {
        size_t cut = kMax;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;  // never split a UTF-8 sequence
        out.append(text.substr(0, cut)).append("...");
    } else {
        out.append(text);
    }
    return out + "\"";
}

std::string quotedPath(std::string_view path) {
    constexpr size_t kMax = 60;
    if (path.size() <= kMax) return "\"" + std::string(path) + "\"";
    size_t cut = path.size() - kMax;
    while (cut < path.size() && (static_cast<unsigned char>(path[cut]) & 0xC0) == 0x80)
        ++cut;  // never split a UTF-8 sequence
    return "\"..." + std::string(path.substr(cut)) + "\"";
}

void fail(Code code, int line, const std::string& what) {
    std::string message = line > 0 ? "Line " + std::to_string(line) + ": " + what : what;
    throw Error(code, message);
}

namespace {

// Argument kinds, one letter each in a command's signature; arguments after
// '|' are optional.
//   L  length in the current units (any sign)
//   P  positive length in the current units
//   N  positive number in points (font size, line width)
//   T  text (quoted, or one word)
//   W  a keyword the command checks itself
//   C  colour: #RRGGBB or a colour name
//   K  colour or NONE
//   A  alignment: LEFT, CENTER, RIGHT (and JUSTIFY for TEXTBLOCK)
struct Syntax {
    const char* name;
    Op op;
    const char* args;
};

constexpr Syntax kCommands[] = {
    {"PAGE", Op::Page, "W|W"},     {"PAGESIZE", Op::PageSize, "PP"},
    {"UNITS", Op::Units, "W"},     {"MARGINS", Op::Margins, "LLLL"},
    {"FONT", Op::Font, "TN|WW"},   {"TEXTCOLOR", Op::TextColor, "C"},
    {"TEXT", Op::Text, "LLT|A"},   {"TEXTBLOCK", Op::TextBlock, "LLPT|A"},
    {"LINE", Op::Line, "LLLL|NC"}, {"RECT", Op::Rect, "LLPP|NKK"},
    {"IMAGE", Op::Image, "LLPPT"}, {"NEWPAGE", Op::NewPage, ""},
    {"TITLE", Op::Title, "T"},     {"AUTHOR", Op::Author, "T"},
};

struct Named {
    const char* name;
    double a, b, c;
};

constexpr Named kColours[] = {
    {"BLACK", 0, 0, 0},      {"WHITE", 1, 1, 1},
    {"RED", 1, 0, 0},        {"GREEN", 0, 0.5, 0},
    {"BLUE", 0, 0, 1},       {"GRAY", 0.5, 0.5, 0.5},
    {"GREY", 0.5, 0.5, 0.5}, {"LIGHTGRAY", 0.85, 0.85, 0.85},
};

// Paper sizes in points, portrait.
constexpr Named kPapers[] = {
    {"A3", 841.89, 1190.55, 0}, {"A4", 595.28, 841.89, 0}, {"A5", 419.53, 595.28, 0},
    {"LETTER", 612, 792, 0},    {"LEGAL", 612, 1008, 0},
};

// Points per unit.
constexpr Named kUnits[] = {
    {"MM", 72.0 / 25.4, 0, 0}, {"CM", 72.0 / 2.54, 0, 0}, {"PT", 1, 0, 0}, {"IN", 72, 0, 0}};

// The largest page side a PDF viewer must accept: 200 inches.
constexpr double kMaxPageSide = 14400;

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

template <size_t N>
const Named* lookup(const Named (&table)[N], std::string_view word) {
    const std::string key = upper(word);
    for (const Named& n : table)
        if (key == n.name) return &n;
    return nullptr;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits a line into words; quoted text keeps its blanks.
std::vector<std::string> split(std::string_view line, int lineNo) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size()) fail(kSyntax, lineNo, "text in quotes is not closed");
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        word.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word.push_back(line[i++]);
            }
            if (i < line.size() && !isBlank(line[i]))
                fail(kSyntax, lineNo, "a blank must follow the closing quote");
        } else {
            while (i < line.size() && !isBlank(line[i]))
                word.push_back(line[i++]);
        }
        words.push_back(std::move(word));
    }
    return words;
}

double number(const std::string& word, int lineNo) {
    double v = 0;
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, v, std::chars_format::fixed);
    if (word.empty() || ec != std::errc() || ptr != end || !std::isfinite(v) || std::fabs(v) > 1e6)
        fail(kSyntax, lineNo, "bad number " + quoted(word));
    return v;
}

Colour colour(const std::string& word, bool noneAllowed, int lineNo) {
    if (noneAllowed && upper(word) == "NONE") return Colour{0, 0, 0, true};
    if (word.size() == 7 && word[0] == '#') {
        unsigned v = 0;
        auto [ptr, ec] = std::from_chars(word.data() + 1, word.data() + 7, v, 16);
        if (ec == std::errc() && ptr == word.data() + 7)
            return Colour{((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0,
                          (v & 0xFF) / 255.0};
    } else if (const Named* n = lookup(kColours, word)) {
        return Colour{n->a, n->b, n->c};
    }
    fail(kSyntax, lineNo, "bad colour " + quoted(word) + " (#RRGGBB or a colour name)");
}

struct State {
    double unit = 72.0 / 25.4;  // millimetres until UNITS says otherwise
    int pages = 1;
};

// Command-specific checks of the W arguments.
void keywords(Command& c, const std::vector<std::string>& words, State& st) {
    const int n = c.line;
    switch (c.op) {
        case Op::Page: {
            const Named* paper = lookup(kPapers, words[1]);
            if (!paper)
                fail(kSyntax, n,
                     "unknown paper " + quoted(words[1]) + " (A3, A4, A5, LETTER, LEGAL)");
            double w = paper->a, h = paper->b;
            if (words.size() > 2) {
                const std::string o = upper(words[2]);
                if (o == "LANDSCAPE")
                    std::swap(w, h);
                else if (o != "PORTRAIT")
                    fail(kSyntax, n,
                         "bad orientation " + quoted(words[2]) + " (PORTRAIT or LANDSCAPE)");
            }
            c.numbers = {w, h};
            break;
        }
        case Op::PageSize:
            if (c.numbers[0] > kMaxPageSide || c.numbers[1] > kMaxPageSide)
                fail(kSyntax, n, "page larger than 200 inches");
            break;
        case Op::Units: {
            const Named* u = lookup(kUnits, words[1]);
            if (!u) fail(kSyntax, n, "unknown unit " + quoted(words[1]) + " (MM, CM, PT, IN)");
            st.unit = u->a;
            break;
        }
        case Op::Font:
            for (size_t i = 3; i < words.size(); ++i) {
                const std::string s = upper(words[i]);
                if (s == "BOLD")
                    c.bold = true;
                else if (s == "ITALIC")
                    c.italic = true;
                else
                    fail(kSyntax, n, "unknown font style " + quoted(words[i]) + " (BOLD, ITALIC)");
            }
            break;
        case Op::Text:
            if (c.align == Align::Justify) fail(kSyntax, n, "JUSTIFY is for TEXTBLOCK only");
            break;
        case Op::NewPage:
            ++st.pages;
            break;
        default:
            break;
    }
}

Command command(const std::vector<std::string>& words, int lineNo, State& st) {
    const std::string name = upper(words[0]);
    const Syntax* syntax = nullptr;
    for (const Syntax& s : kCommands)
        if (name == s.name) syntax = &s;
    if (!syntax) fail(kSyntax, lineNo, "unknown command " + quoted(words[0]));

    const std::string_view sig = syntax->args;
    const size_t bar = sig.find('|');
    const size_t required = bar == std::string_view::npos ? sig.size() : bar;
    const size_t most = bar == std::string_view::npos ? sig.size() : sig.size() - 1;
    const size_t given = words.size() - 1;
    if (given < required || given > most) {
        const std::string count = required == most
                                      ? std::to_string(required)
                                      : std::to_string(required) + " to " + std::to_string(most);
        fail(kSyntax, lineNo,
             name + " takes " + count + " argument" + (most == 1 ? "" : "s") + ", found " +
                 std::to_string(given));
    }

    Command c{syntax->op, lineNo, {}, {}, {}, Align::Left, false, false};
    size_t k = 0;
    for (size_t i = 1; i < words.size(); ++i, ++k) {
        if (sig[k] == '|') ++k;
        const std::string& w = words[i];
        switch (sig[k]) {
            case 'L':
                c.numbers.push_back(number(w, lineNo) * st.unit);
                break;
            case 'P':
            case 'N': {
                const double v = number(w, lineNo);
                if (v <= 0) fail(kSyntax, lineNo, "size must be greater than 0: " + quoted(w));
                c.numbers.push_back(sig[k] == 'P' ? v * st.unit : v);
                break;
            }
            case 'T':
                c.texts.push_back(w);
                break;
            case 'C':
            case 'K':
                c.colours.push_back(colour(w, sig[k] == 'K', lineNo));
                break;
            case 'A': {
                const std::string a = upper(w);
                if (a == "LEFT")
                    c.align = Align::Left;
                else if (a == "CENTER" || a == "CENTRE")
                    c.align = Align::Center;
                else if (a == "RIGHT")
                    c.align = Align::Right;
                else if (a == "JUSTIFY")
                    c.align = Align::Justify;
                else
                    fail(kSyntax, lineNo,
                         "bad alignment " + quoted(w) + " (LEFT, CENTER, RIGHT, JUSTIFY)");
                break;
            }
            default:  // 'W': checked below
                break;
        }
    }
    keywords(c, words, st);
    return c;
}

}  // namespace

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const Syntax& s : kCommands)
        names.push_back(s.name);
    return names;
}

Document parse(std::string_view text) {
    Document doc;
    State st;
    int lineNo = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        ++lineNo;
        start = end + 1;
        if (line.find('\0') != std::string_view::npos)
            fail(kSyntax, lineNo, "NUL byte in the line");
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        for (size_t i = 0; i < line.size();) {
            char32_t c = 0;
            if (!nextUtf8(line, i, c)) c = 0xFFFD;
            if (!inCp1252(c)) {
                char code[16];
                std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
                fail(kSyntax, lineNo,
                     std::string("character ") + code + " is not in code page 1252");
            }
        }
        doc.commands.push_back(command(split(line, lineNo), lineNo, st));
    }
    doc.pageCount = st.pages;
    return doc;
}

}  // namespace tvpdf
