// Feeds arbitrary command files (code page 1252 or UTF-8 bytes, as the
// engine reads them) to the tvpdf parser:
// no crash; a failure is a syntax error whose message names a line of the
// input and fits the engine's message buffer; a success has one command
// per non-blank, non-comment line at most and a page per NEWPAGE.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "document.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text =
        tvpdf::decodeCommandFile(std::string_view(reinterpret_cast<const char*>(data), size));
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    try {
        const tvpdf::Document doc = tvpdf::parse(text);
        if (doc.commands.size() > lines) std::abort();
        int pages = 1;
        for (const tvpdf::Command& c : doc.commands) {
            if (c.line < 1 || static_cast<size_t>(c.line) > lines) std::abort();
            pages += c.op == tvpdf::Op::NewPage;
        }
        if (pages != doc.pageCount) std::abort();
    } catch (const tvpdf::Error& e) {
        const std::string m = e.what();
        if (e.code() != tvpdf::kSyntax || m.rfind("Line ", 0) != 0) std::abort();
        if (tvpdf::cp1252FromUtf8(m).size() > tvpdf::kMaxMessage) std::abort();
        if (std::strtoul(m.c_str() + 5, nullptr, 10) > lines) std::abort();
    }
    return 0;
}
