// Drawing: cairo's PDF surface, fonts found through fontconfig.
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <map>
#include <memory>

#include "document.hpp"

namespace tvpdf {
namespace {

// Common Windows family names and the metric-compatible Liberation fonts
// that stand in for them: text set in them takes the same room.
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

std::string mappedFamily(const std::string& family) {
    const std::string key = lower(family);
    for (const FontAlias& a : kFontAliases)
        if (key == a.name) return a.family;
    return family;
}

// True when fontconfig has a font of exactly this family (its best match
// for an unknown family is some other font, which would not be what the
// document asked for).
bool fontInstalled(const std::string& family) {
    static std::map<std::string, bool> known;
    auto it = known.find(family);
    if (it != known.end()) return it->second;
    bool found = false;
    if (FcPattern* pattern = FcPatternCreate()) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* name = nullptr;
            for (int i = 0;
                 !found && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
                found = lower(reinterpret_cast<const char*>(name)) == lower(family);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    known.emplace(family, found);
    return found;
}

using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

struct Resources {
    std::map<std::string, SurfacePtr> images;  // by resolved path
};

std::string resolvePath(const std::string& base, const std::string& path) {
    if (path.empty() || path[0] == '/' || base.empty()) return path;
    return base + "/" + path;
}

Resources resolve(const Document& doc, const std::string& base) {
    Resources res;
    for (const Command& c : doc.commands) {
        if (c.op == Op::Font) {
            const std::string family = mappedFamily(c.texts[0]);
            if (!fontInstalled(family))
                fail(kResource, c.line, "font not found: " + quoted(c.texts[0]));
        } else if (c.op == Op::Image) {
            const std::string path = resolvePath(base, c.texts[0]);
            if (res.images.count(path)) continue;
            SurfacePtr img(cairo_image_surface_create_from_png(path.c_str()),
                           cairo_surface_destroy);
            const cairo_status_t st = cairo_surface_status(img.get());
            if (st == CAIRO_STATUS_FILE_NOT_FOUND)
                fail(kResource, c.line, "image not found: " + quoted(c.texts[0]));
            if (st != CAIRO_STATUS_SUCCESS)
                fail(kResource, c.line, "not a readable PNG image: " + quoted(c.texts[0]));
            res.images.emplace(path, std::move(img));
        }
    }
    return res;
}

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<FILE*>(closure)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
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
    cairo_t* cr;
    const Resources& res;
    const std::string& base;
    int pages;
    int page = 1;
    bool drawn = false;  // something is on the current page
    double left = 0, top = 0;
    Colour textColour{};
    double fontSize = 10;

    void setColour(const Colour& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

    double width(const std::string& s) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, s.c_str(), &e);
        return e.x_advance;
    }

    void show(double x, double y, const std::string& s) {
        setColour(textColour);
        cairo_move_to(cr, left + x, top + y);
        cairo_show_text(cr, s.c_str());
    }

    void text(const Command& c) {
        const std::string s = fields(c.texts[0], page, pages);
        double x = c.numbers[0];
        if (c.align == Align::Center) x -= width(s) / 2;
        if (c.align == Align::Right) x -= width(s);
        show(x, c.numbers[1], s);
    }

    // Words set in lines no wider than the block; a word wider than the
    // block stands on a line of its own.
    void textBlock(const Command& c) {
        const std::string s = fields(c.texts[0], page, pages);
        std::vector<std::string> words;
        for (size_t i = 0; i < s.size();) {
            const size_t j = s.find(' ', i);
            const size_t end = j == std::string::npos ? s.size() : j;
            if (end > i) words.push_back(s.substr(i, end - i));
            i = end + 1;
        }
        const double blockWidth = c.numbers[2];
        const double space = width(" ");
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        double y = c.numbers[1] + fe.ascent;
        const double lineHeight = fontSize * 1.2;
        size_t i = 0;
        while (i < words.size()) {
            size_t j = i + 1;
            double used = width(words[i]);
            while (j < words.size() && used + space + width(words[j]) <= blockWidth) {
                used += space + width(words[j]);
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
                x += width(words[k]) + gap;
            }
            y += lineHeight;
            i = j;
        }
    }

    void stroke(double w, const Colour& col) {
        if (col.none || w <= 0) {
            cairo_new_path(cr);
            return;
        }
        setColour(col);
        cairo_set_line_width(cr, w);
        cairo_stroke(cr);
    }

    void image(const Command& c) {
        cairo_surface_t* img = res.images.at(resolvePath(base, c.texts[0])).get();
        const double iw = cairo_image_surface_get_width(img),
                     ih = cairo_image_surface_get_height(img);
        if (iw <= 0 || ih <= 0) return;
        const double bw = c.numbers[2], bh = c.numbers[3];
        const double scale = std::min(bw / iw, bh / ih);
        cairo_save(cr);
        cairo_translate(cr, left + c.numbers[0] + (bw - iw * scale) / 2,
                        top + c.numbers[1] + (bh - ih * scale) / 2);
        cairo_scale(cr, scale, scale);
        cairo_set_source_surface(cr, img, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }

    void draw(const Command& c, cairo_surface_t* surface, double& pageW, double& pageH) {
        switch (c.op) {
            case Op::Page:
            case Op::PageSize:
                // The size applies to the current page while nothing is on
                // it, else from the next page on.
                pageW = c.numbers[0];
                pageH = c.numbers[1];
                if (!drawn) cairo_pdf_surface_set_size(surface, pageW, pageH);
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
                cairo_select_font_face(cr, mappedFamily(c.texts[0]).c_str(),
                                       c.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                       c.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
                fontSize = c.numbers[0];
                cairo_set_font_size(cr, fontSize);
                return;
            case Op::TextColor:
                textColour = c.colours[0];
                return;
            case Op::NewPage:
                cairo_show_page(cr);
                cairo_pdf_surface_set_size(surface, pageW, pageH);
                ++page;
                drawn = false;
                return;
            case Op::Text:
                text(c);
                break;
            case Op::TextBlock:
                textBlock(c);
                break;
            case Op::Line: {
                cairo_move_to(cr, left + c.numbers[0], top + c.numbers[1]);
                cairo_line_to(cr, left + c.numbers[2], top + c.numbers[3]);
                stroke(c.numbers.size() > 4 ? c.numbers[4] : 0.5,
                       c.colours.empty() ? Colour{} : c.colours[0]);
                break;
            }
            case Op::Rect: {
                cairo_rectangle(cr, left + c.numbers[0], top + c.numbers[1], c.numbers[2],
                                c.numbers[3]);
                const Colour strokeColour = c.colours.empty() ? Colour{} : c.colours[0];
                const Colour fill = c.colours.size() > 1 ? c.colours[1] : Colour{0, 0, 0, true};
                if (!fill.none) {
                    setColour(fill);
                    cairo_fill_preserve(cr);
                }
                stroke(c.numbers.size() > 4 ? c.numbers[4] : 0.5, strokeColour);
                break;
            }
            case Op::Image:
                image(c);
                break;
        }
        drawn = true;
    }
};

}  // namespace

void render(const Document& doc, const std::string& baseFolder, const std::string& pdfPath) {
    FcInit();
    const Resources res = resolve(doc, baseFolder);

    FILE* out = std::fopen(pdfPath.c_str(), "wb");
    if (!out) fail(kIo, 0, "Cannot write the PDF file " + quotedPath(pdfPath));
    double pageW = 595.28, pageH = 841.89;  // A4 portrait
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(writeToFile, out, pageW, pageH);
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "tvpdf");
    for (const Command& c : doc.commands) {
        if (c.op == Op::Title)
            cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, c.texts[0].c_str());
        if (c.op == Op::Author)
            cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_AUTHOR, c.texts[0].c_str());
    }
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10);
    Painter p{cr, res, baseFolder, doc.pageCount};
    for (const Command& c : doc.commands)
        p.draw(c, surface, pageW, pageH);
    cairo_show_page(cr);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    const bool closed = std::fclose(out) == 0;
    if (status == CAIRO_STATUS_WRITE_ERROR || !closed)
        fail(kIo, 0, "Cannot write the PDF file " + quotedPath(pdfPath));
    if (status != CAIRO_STATUS_SUCCESS)
        fail(kInternal, 0, std::string("Drawing failed: ") + cairo_status_to_string(status));
}

}  // namespace tvpdf
