// Drawing: the pages written as PDF 1.4 by a writer of our own. Content
// streams and font and image data are compressed with zlib; fonts are
// embedded TrueType subsets in WinAnsiEncoding; an image file is embedded
// once however often it is drawn. Every page shares one resource
// dictionary, so no name is ever given twice.
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "document.hpp"
#include "png.hpp"
#include "system.hpp"
#include "truetype.hpp"

namespace tvpdf {
namespace {

// Common Windows family names and the metric-compatible Liberation fonts
// that stand in for them where the originals are not installed.
struct FontAlias {
    const char* name;
    const char* family;
};
constexpr FontAlias kFontAliases[] = {
    {"courier new", "Liberation Mono"},
    {"arial", "Liberation Sans"},
    {"times new roman", "Liberation Serif"},
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A number as PDF writes it: at most three decimals, no exponent, the
// same whatever the process's locale.
void num(std::string& out, double v) {
    if (v > -0.0005 && v < 0.0005) v = 0;
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    if (ec != std::errc()) {
        out += '0';
        return;
    }
    char* p = end;
    while (p > buf && p[-1] == '0')
        --p;
    if (p > buf && p[-1] == '.') --p;
    out.append(buf, p);
}

std::string deflate(std::string_view data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        fail(kInternal, 0, "Out of memory");
    out.resize(size);
    return out;
}

// A text string of the document information: UTF-16BE with its mark.
std::string infoString(std::string_view utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "<FEFF";
    const auto unit = [&](uint32_t u) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(kHex[(u >> shift) & 0xF]);
    };
    for (size_t i = 0; i < utf8.size();) {
        char32_t c;
        if (!nextUtf8(utf8, i, c)) c = 0xFFFD;
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out + ">";
}

// The PDF file: objects numbered from 1, their offsets for the
// cross-reference table.
class PdfFile {
  public:
    explicit PdfFile(FILE* f) : f_(f) { put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"); }
    int reserve() {
        offsets_.push_back(0);
        return static_cast<int>(offsets_.size());
    }
    void object(int id, std::string_view body) {
        begin(id);
        put(body);
        put("\nendobj\n");
    }
    // A stream; `dict` holds the entries besides /Length and /Filter.
    void stream(int id, std::string_view data, const std::string& dict = "", bool compress = true) {
        const std::string packed = compress ? deflate(data) : std::string(data);
        begin(id);
        std::string head = "<<" + dict + " /Length " + std::to_string(packed.size());
        if (compress) head += " /Filter /FlateDecode";
        put(head + " >>\nstream\n");
        put(packed);
        put("\nendstream\nendobj\n");
    }
    void finish(int root, int info) {
        const size_t xref = pos_;
        std::string t =
            "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
        char line[24];
        for (size_t off : offsets_) {
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
            t += line;
        }
        t += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " +
             std::to_string(root) + " 0 R /Info " + std::to_string(info) + " 0 R >>\nstartxref\n" +
             std::to_string(xref) + "\n%%EOF\n";
        put(t);
    }
    bool failed() const { return failed_; }

  private:
    void begin(int id) {
        offsets_[static_cast<size_t>(id) - 1] = pos_;
        put(std::to_string(id) + " 0 obj\n");
    }
    void put(std::string_view s) {
        if (!failed_ && std::fwrite(s.data(), 1, s.size(), f_) != s.size()) failed_ = true;
        pos_ += s.size();
    }
    FILE* f_;
    size_t pos_ = 0;
    std::vector<size_t> offsets_;
    bool failed_ = false;
};

struct Font {
    TrueTypeFont tt;
    std::string resource;          // "F1", given at first use
    std::set<unsigned char> used;  // code page 1252 bytes drawn
    double width(std::string_view s, double size) const {
        double w = 0;
        for (unsigned char c : s)
            w += tt.width(c);
        return w * size / 1000;
    }
};

struct Image {
    PngImage png;
    std::string resource;  // "Im1"
};

struct Resources {
    std::map<std::string, std::unique_ptr<Font>> fonts;  // by family|style
    std::map<std::string, Image> images;                 // by resolved path
};

std::string resolvePath(const std::string& base, const std::string& path) {
    if (path.empty() || path[0] == '/' || base.empty()) return path;
#ifdef _WIN32
    if (path[0] == '\\' || (path.size() > 1 && path[1] == ':')) return path;
#endif
    return base + "/" + path;
}

std::string fontKey(const std::string& family, bool bold, bool italic) {
    return lower(family) + (bold ? "|b" : "|") + (italic ? "i" : "");
}

// The font of `family`, or of the metric-compatible stand-in when the
// family itself is not installed.
Font* loadFont(Resources& res, const std::string& family, bool bold, bool italic, int line) {
    auto& slot = res.fonts[fontKey(family, bold, italic)];
    if (slot) return slot.get();
    std::string data;
    int index = 0;
    bool found = sys::findFont(family, bold, italic, data, index);
    if (!found)
        for (const FontAlias& a : kFontAliases)
            if (lower(family) == a.name) found = sys::findFont(a.family, bold, italic, data, index);
    auto font = std::make_unique<Font>();
    if (!found || !font->tt.load(std::move(data), index))
        fail(kResource, line, "font not found: " + quoted(family));
    slot = std::move(font);
    return slot.get();
}

Resources resolve(const Document& doc, const std::string& base) {
    Resources res;
    bool fontSet = false;
    for (const Command& c : doc.commands) {
        if (c.op == Op::Font) {
            loadFont(res, c.texts[0], c.bold, c.italic, c.line);
            fontSet = true;
        } else if ((c.op == Op::Text || c.op == Op::TextBlock) && !fontSet) {
            loadFont(res, "Arial", false, false, c.line);
            fontSet = true;
        } else if (c.op == Op::Image) {
            const std::string path = resolvePath(base, c.texts[0]);
            if (res.images.count(path)) continue;
            std::string bytes;
            const sys::ReadResult r = sys::readRegularFile(path, bytes);
            if (r == sys::ReadResult::Missing)
                fail(kResource, c.line, "image not found: " + quoted(c.texts[0]));
            Image img;
            if (r != sys::ReadResult::Ok || !decodePng(bytes, img.png))
                fail(kResource, c.line, "not a readable PNG image: " + quoted(c.texts[0]));
            res.images.emplace(path, std::move(img));
        }
    }
    return res;
}

// "{PAGE}" and "{PAGES}" replaced by the page number and the page count.
std::string fields(const std::string& text, int page, int pages) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 6, "{PAGE}") == 0) {
            out += std::to_string(page);
            i += 6;
        } else if (text.compare(i, 7, "{PAGES}") == 0) {
            out += std::to_string(pages);
            i += 7;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

struct Painter {
    PdfFile& pdf;
    Resources& res;
    const std::string& base;
    int pages;
    int resourcesId;
    std::vector<int>& pageIds;
    int page = 1;
    bool drawn = false;                     // something is on the current page
    double pageW = 595.28, pageH = 841.89;  // A4 portrait
    double left = 0, top = 0;
    Colour textColour{};
    Font* font = nullptr;
    double fontSize = 10;
    int fontCount = 0, imageCount = 0;
    std::string content{};
    // What the content stream has set on the current page.
    Font* setFont = nullptr;
    double setSize = 0;
    std::string setFill{}, setStroke{}, setWidth{};

    void colour(const Colour& c, bool stroke) {
        std::string op;
        num(op, c.r);
        op += ' ';
        num(op, c.g);
        op += ' ';
        num(op, c.b);
        op += stroke ? " RG\n" : " rg\n";
        std::string& set = stroke ? setStroke : setFill;
        if (op != set) {
            content += op;
            set = op;
        }
    }

    void point(std::string& out, double x, double y) {
        num(out, left + x);
        out += ' ';
        num(out, pageH - (top + y));
        out += ' ';
    }

    void show(double x, double y, std::string_view s) {
        if (s.empty()) return;
        if (font->resource.empty()) font->resource = "F" + std::to_string(++fontCount);
        colour(textColour, false);
        if (setFont != font || setSize != fontSize) {
            content += "/" + font->resource + " ";
            num(content, fontSize);
            content += " Tf\n";
            setFont = font;
            setSize = fontSize;
        }
        content += "BT 1 0 0 1 ";
        point(content, x, y);
        content += "Tm (";
        for (unsigned char ch : s) {
            font->used.insert(ch);
            if (ch == '(' || ch == ')' || ch == '\\') {
                content += '\\';
                content += static_cast<char>(ch);
            } else if (ch < 32) {
                const char oct[5] = {'\\', char('0' + (ch >> 6)), char('0' + ((ch >> 3) & 7)),
                                     char('0' + (ch & 7)), 0};
                content += oct;
            } else {
                content += static_cast<char>(ch);
            }
        }
        content += ") Tj ET\n";
    }

    void text(const Command& c) {
        const std::string s = cp1252FromUtf8(fields(c.texts[0], page, pages));
        double x = c.numbers[0];
        if (c.align == Align::Center) x -= font->width(s, fontSize) / 2;
        if (c.align == Align::Right) x -= font->width(s, fontSize);
        show(x, c.numbers[1], s);
    }

    // Words set in lines no wider than the block; a word wider than the
    // block stands on a line of its own.
    void textBlock(const Command& c) {
        const std::string s = cp1252FromUtf8(fields(c.texts[0], page, pages));
        std::vector<std::string> words;
        for (size_t i = 0; i < s.size();) {
            const size_t j = s.find(' ', i);
            const size_t end = j == std::string::npos ? s.size() : j;
            if (end > i) words.push_back(s.substr(i, end - i));
            i = end + 1;
        }
        const double blockWidth = c.numbers[2];
        const double space = font->width(" ", fontSize);
        double y = c.numbers[1] + font->tt.ascent() * fontSize / 1000;
        const double lineHeight = fontSize * 1.2;
        size_t i = 0;
        while (i < words.size()) {
            size_t j = i + 1;
            double used = font->width(words[i], fontSize);
            while (j < words.size() &&
                   used + space + font->width(words[j], fontSize) <= blockWidth) {
                used += space + font->width(words[j], fontSize);
                ++j;
            }
            const bool last = j == words.size();
            double x = c.numbers[0];
            double gap = space;
            if (c.align == Align::Center) x += (blockWidth - used) / 2;
            if (c.align == Align::Right) x += blockWidth - used;
            if (c.align == Align::Justify && !last && j - i > 1)
                gap += (blockWidth - used) / static_cast<double>(j - i - 1);
            for (size_t k = i; k < j; ++k) {
                show(x, y, words[k]);
                x += font->width(words[k], fontSize) + gap;
            }
            y += lineHeight;
            i = j;
        }
    }

    // Strokes and fills `path`; either colour may be none.
    void paint(const std::string& path, double width, const Colour& stroke, const Colour& fill) {
        const bool doStroke = !stroke.none && width > 0;
        if (doStroke) {
            colour(stroke, true);
            std::string w;
            num(w, width);
            w += " w\n";
            if (w != setWidth) {
                content += w;
                setWidth = w;
            }
        }
        if (!fill.none) colour(fill, false);
        content += path;
        content += doStroke && !fill.none ? "B\n" : doStroke ? "S\n" : !fill.none ? "f\n" : "n\n";
    }

    void image(const Command& c) {
        Image& img = res.images.at(resolvePath(base, c.texts[0]));
        const double iw = img.png.width, ih = img.png.height;
        const double bw = c.numbers[2], bh = c.numbers[3];
        const double scale = std::min(bw / iw, bh / ih);
        if (img.resource.empty()) img.resource = "Im" + std::to_string(++imageCount);
        const double x = left + c.numbers[0] + (bw - iw * scale) / 2;
        const double yTop = top + c.numbers[1] + (bh - ih * scale) / 2;
        content += "q ";
        num(content, iw * scale);
        content += " 0 0 ";
        num(content, ih * scale);
        content += ' ';
        num(content, x);
        content += ' ';
        num(content, pageH - yTop - ih * scale);
        content += " cm /" + img.resource + " Do Q\n";
    }

    void endPage() {
        const int pageId = pdf.reserve(), contentId = pdf.reserve();
        pdf.stream(contentId, content);
        std::string dict = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
        num(dict, pageW);
        dict += ' ';
        num(dict, pageH);
        dict += "] /Resources " + std::to_string(resourcesId) + " 0 R /Contents " +
                std::to_string(contentId) + " 0 R >>";
        pdf.object(pageId, dict);
        pageIds.push_back(pageId);
        content.clear();
        setFont = nullptr;
        setSize = 0;
        setFill.clear();
        setStroke.clear();
        setWidth.clear();
    }

    void draw(const Command& c, double& nextW, double& nextH) {
        switch (c.op) {
            case Op::Page:
            case Op::PageSize:
                // The size applies to the current page while nothing is on
                // it, else from the next page on.
                nextW = c.numbers[0];
                nextH = c.numbers[1];
                if (!drawn) {
                    pageW = nextW;
                    pageH = nextH;
                }
                return;
            case Op::Units:
            case Op::Title:
            case Op::Author:
                return;
            case Op::Margins:
                left = c.numbers[0];
                top = c.numbers[1];
                return;
            case Op::Font:
                font = res.fonts.at(fontKey(c.texts[0], c.bold, c.italic)).get();
                fontSize = c.numbers[0];
                return;
            case Op::TextColor:
                textColour = c.colours[0];
                return;
            case Op::NewPage:
                endPage();
                pageW = nextW;
                pageH = nextH;
                ++page;
                drawn = false;
                return;
            case Op::Text:
                if (!font) font = res.fonts.at(fontKey("Arial", false, false)).get();
                text(c);
                break;
            case Op::TextBlock:
                if (!font) font = res.fonts.at(fontKey("Arial", false, false)).get();
                textBlock(c);
                break;
            case Op::Line: {
                std::string path;
                point(path, c.numbers[0], c.numbers[1]);
                path += "m ";
                point(path, c.numbers[2], c.numbers[3]);
                path += "l\n";
                paint(path, c.numbers.size() > 4 ? c.numbers[4] : 0.5,
                      c.colours.empty() ? Colour{} : c.colours[0], Colour{0, 0, 0, true});
                break;
            }
            case Op::Rect: {
                std::string path;
                point(path, c.numbers[0], c.numbers[1] + c.numbers[3]);
                num(path, c.numbers[2]);
                path += ' ';
                num(path, c.numbers[3]);
                path += " re\n";
                paint(path, c.numbers.size() > 4 ? c.numbers[4] : 0.5,
                      c.colours.empty() ? Colour{} : c.colours[0],
                      c.colours.size() > 1 ? c.colours[1] : Colour{0, 0, 0, true});
                break;
            }
            case Op::Image:
                image(c);
                break;
        }
        drawn = true;
    }
};

// Six capital letters naming a subset, the same for the same font and
// the same glyphs.
std::string subsetTag(const Font& f) {
    uint32_t h = 2166136261u;
    for (char c : f.tt.postScriptName())
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    for (unsigned char c : f.used)
        h = (h ^ c) * 16777619u;
    std::string tag;
    for (int i = 0; i < 6; ++i, h /= 26)
        tag.push_back(static_cast<char>('A' + h % 26));
    return tag;
}

void writeFont(PdfFile& pdf, const Font& f, int fontId) {
    const int descId = pdf.reserve(), fileId = pdf.reserve();
    const std::string file = f.tt.subset(f.used);
    pdf.stream(fileId, file, " /Length1 " + std::to_string(file.size()));
    const std::string name = subsetTag(f) + "+" + f.tt.postScriptName();
    const unsigned char first = *f.used.begin(), last = *f.used.rbegin();
    std::string d = "<< /Type /Font /Subtype /TrueType /BaseFont /" + name + " /FirstChar " +
                    std::to_string(first) + " /LastChar " + std::to_string(last) + " /Widths [";
    for (int c = first; c <= last; ++c) {
        if (c > first) d += ' ';
        num(d, f.tt.width(static_cast<unsigned char>(c)));
    }
    d += "] /Encoding /WinAnsiEncoding /FontDescriptor " + std::to_string(descId) + " 0 R >>";
    pdf.object(fontId, d);
    // Flags: nonsymbolic (32), fixed pitch (1), italic (64).
    const int flags = 32 | (f.tt.fixedPitch() ? 1 : 0) | (f.tt.italicAngle() != 0 ? 64 : 0);
    std::string fd = "<< /Type /FontDescriptor /FontName /" + name + " /Flags " +
                     std::to_string(flags) + " /FontBBox [";
    for (int i = 0; i < 4; ++i) {
        if (i) fd += ' ';
        num(fd, f.tt.bbox()[static_cast<size_t>(i)]);
    }
    fd += "] /ItalicAngle ";
    num(fd, f.tt.italicAngle());
    fd += " /Ascent ";
    num(fd, f.tt.ascent());
    fd += " /Descent ";
    num(fd, f.tt.descent());
    fd += " /CapHeight ";
    num(fd, f.tt.capHeight());
    fd += " /StemV 80 /FontFile2 " + std::to_string(fileId) + " 0 R >>";
    pdf.object(descId, fd);
}

void writeImage(PdfFile& pdf, const PngImage& png, int imageId) {
    std::string dict = " /Type /XObject /Subtype /Image /Width " + std::to_string(png.width) +
                       " /Height " + std::to_string(png.height) + " /ColorSpace /" +
                       (png.channels == 3 ? "DeviceRGB" : "DeviceGray") +
                       " /BitsPerComponent 8 /Interpolate true";
    if (!png.alpha.empty()) {
        const int maskId = pdf.reserve();
        pdf.stream(maskId, png.alpha,
                   " /Type /XObject /Subtype /Image /Width " + std::to_string(png.width) +
                       " /Height " + std::to_string(png.height) +
                       " /ColorSpace /DeviceGray /BitsPerComponent 8 /Interpolate true");
        dict += " /SMask " + std::to_string(maskId) + " 0 R";
    }
    pdf.stream(imageId, png.pixels, dict);
}

std::string creationDate() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> t{now - day};
    char buf[40];
    std::snprintf(buf, sizeof buf, "D:%04d%02u%02u%02d%02d%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(t.hours().count()), static_cast<int>(t.minutes().count()),
                  static_cast<int>(t.seconds().count()));
    return buf;
}

}  // namespace

void render(const Document& doc, const std::string& baseFolder, const std::string& pdfPath) {
    Resources res = resolve(doc, baseFolder);

    FILE* out = sys::createFile(pdfPath);
    if (!out) fail(kIo, 0, "Cannot write the PDF file " + quotedPath(pdfPath));
    std::unique_ptr<FILE, int (*)(FILE*)> closer(out, std::fclose);
    PdfFile pdf(out);
    const int catalogId = pdf.reserve(), pagesId = pdf.reserve(), infoId = pdf.reserve(),
              resourcesId = pdf.reserve();
    std::vector<int> pageIds;
    Painter p{pdf, res, baseFolder, doc.pageCount, resourcesId, pageIds};
    double nextW = p.pageW, nextH = p.pageH;
    for (const Command& c : doc.commands)
        p.draw(c, nextW, nextH);
    p.endPage();

    std::string fonts, images;
    for (auto& [key, f] : res.fonts) {
        if (f->resource.empty()) continue;
        const int id = pdf.reserve();
        writeFont(pdf, *f, id);
        fonts += " /" + f->resource + " " + std::to_string(id) + " 0 R";
    }
    for (auto& [path, img] : res.images) {
        if (img.resource.empty()) continue;
        const int id = pdf.reserve();
        writeImage(pdf, img.png, id);
        images += " /" + img.resource + " " + std::to_string(id) + " 0 R";
    }
    std::string r = "<< /ProcSet [/PDF /Text /ImageB /ImageC]";
    if (!fonts.empty()) r += " /Font <<" + fonts + " >>";
    if (!images.empty()) r += " /XObject <<" + images + " >>";
    pdf.object(resourcesId, r + " >>");

    std::string kids;
    for (int id : pageIds)
        kids += (kids.empty() ? "" : " ") + std::to_string(id) + " 0 R";
    pdf.object(pagesId, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                            std::to_string(pageIds.size()) + " >>");
    pdf.object(catalogId, "<< /Type /Catalog /Pages " + std::to_string(pagesId) + " 0 R >>");
    std::string info =
        "<< /Producer (tvpdf) /Creator (tvpdf) /CreationDate (" + creationDate() + ")";
    std::string title, author;  // the last of each
    for (const Command& c : doc.commands) {
        if (c.op == Op::Title) title = " /Title " + infoString(c.texts[0]);
        if (c.op == Op::Author) author = " /Author " + infoString(c.texts[0]);
    }
    pdf.object(infoId, info + title + author + " >>");
    pdf.finish(catalogId, infoId);
    const bool closed = std::fclose(closer.release()) == 0;
    if (pdf.failed() || !closed) fail(kIo, 0, "Cannot write the PDF file " + quotedPath(pdfPath));
}

}  // namespace tvpdf
