// tvpdf: a small PDF engine for business documents. A command file, one
// command a line, is parsed into a Document (parse), its fonts and images
// are looked up (resolve), and the pages are drawn on a PDF surface
// (render). Every failure is an Error whose message names its line and
// fits the 150-byte message buffer of the engine's entry point.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#define TVPDF_CALL __stdcall
#define TVPDF_EXPORT
#else
#define TVPDF_CALL
#define TVPDF_EXPORT __attribute__((visibility("default")))
#endif

// The engine's entry point (entry.cpp).
extern "C" int16_t TVPDF_CALL Tvpdfrun(const char* commandFile, const char* pdfFile, char* message);

namespace tvpdf {

// Return codes of the entry point and the command.
enum Code : int16_t {
    kOk = 0,
    kSyntax = 1,    // the command file does not parse
    kResource = 2,  // a font or an image cannot be found or read
    kIo = 3,        // the command file cannot be read or the PDF written
    kInternal = 4,  // out of memory or a drawing failure
};

// The longest message, in bytes, that leaves room for the terminating NUL
// in the entry point's 150-byte buffer.
inline constexpr size_t kMaxMessage = 149;

class Error : public std::runtime_error {
  public:
    Error(Code code, const std::string& message);
    Code code() const noexcept { return code_; }

  private:
    Code code_;
};

// "Line N: " + what, cut to kMaxMessage bytes.
[[noreturn]] void fail(Code code, int line, const std::string& what);
// A user's text quoted for a message, shortened past 40 bytes.
std::string quoted(std::string_view text);
// A path quoted for a message: its last 60 bytes, "..." before them.
std::string quotedPath(std::string_view path);

enum class Op {
    Page,
    PageSize,
    Units,
    Margins,
    Font,
    TextColor,
    Text,
    TextBlock,
    Line,
    Rect,
    Image,
    NewPage,
    Title,
    Author,
};

enum class Align { Left, Center, Right, Justify };

struct Colour {
    double r = 0, g = 0, b = 0;
    bool none = false;  // NONE: not drawn
};

// One command with its arguments already converted: lengths in points,
// measured from the top-left corner of the page's margin box.
struct Command {
    Op op;
    int line = 0;
    std::vector<double> numbers;
    std::vector<std::string> texts;  // UTF-8
    std::vector<Colour> colours;
    Align align = Align::Left;
    bool bold = false, italic = false;
};

struct Document {
    std::vector<Command> commands;
    int pageCount = 1;  // NEWPAGE commands + 1
};

// The names of the commands, in the order the reference lists them.
std::vector<std::string> commandNames();

// Parses UTF-8 command text. A line holding a character that code page
// 1252 lacks is refused. Throws Error (code kSyntax).
Document parse(std::string_view text);

// Draws `doc` into a PDF at `pdfPath` (UTF-8). Fonts and images are looked
// up first, relative image paths against `baseFolder`; the PDF file is
// opened only when they all resolve. Throws Error.
void render(const Document& doc, const std::string& baseFolder, const std::string& pdfPath);

// Code page 1252 bytes to UTF-8 and back ('?' for characters it lacks).
std::string utf8FromCp1252(std::string_view bytes);
std::string cp1252FromUtf8(std::string_view utf8);

// Reads the UTF-8 character at `s[i]` into `c` and moves `i` past it; on
// a byte that starts no valid sequence, moves one byte and returns false.
bool nextUtf8(std::string_view s, size_t& i, char32_t& c);
// True when code page 1252 has the character.
bool inCp1252(char32_t c);

// A command file's bytes as UTF-8 text: UTF-8 when they start with its
// byte-order mark (dropped) or are valid UTF-8 with at least one
// multi-byte sequence, else code page 1252.
std::string decodeCommandFile(std::string_view bytes);

// Reads the command file at `commandPath` (decodeCommandFile), parses it
// and renders it to `pdfPath`. Throws Error.
void run(const std::string& commandPath, const std::string& pdfPath);

}  // namespace tvpdf
