// TrueType tables read: head, hhea, hmtx, maxp, cmap (Unicode subtable,
// format 4 or 12), OS/2, post, name, loca and glyf. Every read is bounds
// checked: a damaged font is refused, never read past its end.
#include "truetype.hpp"
#include "bytes.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tvpdf {
namespace {

// Big-endian reads inside a table; out of range reads give 0 and set bad.
struct Reader {
    std::string_view d;
    bool bad = false;
    uint32_t u(size_t at, int n) {
        if (at + n > d.size() || at + n < at) {
            bad = true;
            return 0;
        }
        uint32_t v = 0;
        for (int k = 0; k < n; ++k)
            v = (v << 8) | static_cast<unsigned char>(d[at + k]);
        return v;
    }
    uint16_t u16(size_t at) { return static_cast<uint16_t>(u(at, 2)); }
    int16_t s16(size_t at) { return static_cast<int16_t>(u(at, 2)); }
    uint32_t u32(size_t at) { return u(at, 4); }
};

void put16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v >> 8);
    s[at + 1] = static_cast<char>(v);
}
void put32(std::string& s, size_t at, uint32_t v) {
    put16(s, at, v >> 16);
    put16(s, at + 2, v & 0xFFFF);
}

uint32_t checksum(std::string_view t) {
    uint32_t sum = 0;
    for (size_t i = 0; i < t.size(); i += 4) {
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k)
            v = (v << 8) | (i + k < t.size() ? static_cast<unsigned char>(t[i + k]) : 0);
        sum += v;
    }
    return sum;
}

// The tables a PDF viewer may use of an embedded TrueType font; layout
// tables (GSUB, GPOS, kern...) and signatures are left out.
constexpr const char* kKept[] = {"OS/2", "cmap", "cvt ", "fpgm", "gasp", "glyf", "head",
                                 "hhea", "hmtx", "loca", "maxp", "name", "post", "prep"};

}  // namespace

char32_t unicodeOfCp1252(unsigned char code) {
    return code >= 0x80 && code < 0xA0 ? kCp1252High[code - 0x80] : code;
}

std::string_view TrueTypeFont::table(const char* tag) const {
    auto it = tables_.find(tag);
    if (it == tables_.end()) return {};
    return std::string_view(data_).substr(it->second.first, it->second.second);
}

bool TrueTypeFont::load(std::string data, int index) {
    data_ = std::move(data);
    tables_.clear();
    Reader f{data_};
    size_t dir = 0;
    if (f.u32(0) == 0x74746366) {  // 'ttcf'
        if (index < 0 || static_cast<uint32_t>(index) >= f.u32(8)) return false;
        dir = f.u32(12 + 4 * static_cast<size_t>(index));
    }
    const uint32_t version = f.u32(dir);
    if (version != 0x00010000 && version != 0x74727565) return false;  // 'true'
    const uint16_t count = f.u16(dir + 4);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t rec = dir + 12 + 16 * size_t{i};
        const uint32_t off = f.u32(rec + 8), len = f.u32(rec + 12);
        if (f.bad || off > data_.size() || len > data_.size() - off) return false;
        tables_[std::string(data_.substr(rec, 4))] = {off, len};
    }
    for (const char* need : {"head", "hhea", "hmtx", "maxp", "cmap", "loca", "glyf"})
        if (table(need).empty()) return false;

    Reader head{table("head")}, hhea{table("hhea")}, maxp{table("maxp")};
    unitsPerEm_ = head.u16(18);
    if (unitsPerEm_ < 16) return false;
    const double scale = 1000.0 / unitsPerEm_;
    bbox_ = {head.s16(36) * scale, head.s16(38) * scale, head.s16(40) * scale,
             head.s16(42) * scale};
    longLoca_ = head.s16(50) == 1;
    glyphCount_ = maxp.u16(4);
    longMetrics_ = hhea.u16(34);
    ascent_ = hhea.s16(4) * scale;
    descent_ = hhea.s16(6) * scale;
    if (head.bad || hhea.bad || maxp.bad || longMetrics_ == 0 || longMetrics_ > glyphCount_)
        return false;
    if (table("hmtx").size() < size_t{longMetrics_} * 4) return false;
    capHeight_ = ascent_;
    if (std::string_view os2 = table("OS/2"); os2.size() >= 90) {
        Reader o{os2};
        if (o.u16(0) >= 2) capHeight_ = o.s16(88) * scale;
    }
    if (std::string_view post = table("post"); post.size() >= 16) {
        Reader p{post};
        italicAngle_ = static_cast<int32_t>(p.u32(4)) / 65536.0;
        fixedPitch_ = p.u32(12) != 0;
    }

    // The Unicode subtable: (3,10) format 12, else (3,1) or (0,x) format 4.
    Reader cmap{table("cmap")};
    const uint16_t subtables = cmap.u16(2);
    int best = 0;
    for (uint16_t i = 0; i < subtables; ++i) {
        const uint16_t platform = cmap.u16(4 + 8 * size_t{i}),
                       encoding = cmap.u16(6 + 8 * size_t{i});
        const uint32_t off = cmap.u32(8 + 8 * size_t{i});
        const uint16_t format = cmap.u16(off);
        if (cmap.bad) return false;
        int rank = 0;
        if (format == 12 && (platform == 0 || (platform == 3 && encoding == 10))) rank = 3;
        if (format == 4 && platform == 3 && encoding == 1) rank = 2;
        if (format == 4 && platform == 0) rank = 1;
        if (rank > best) {
            best = rank;
            cmapFormat_ = format;
            cmapOffset_ = tables_["cmap"].first + off;
        }
    }
    if (!best) return false;

    Reader hmtx{table("hmtx")};
    for (int code = 0; code < 256; ++code) {
        const uint16_t g = glyphOf(unicodeOfCp1252(static_cast<unsigned char>(code)));
        glyphs_[code] = g;
        const uint16_t m = std::min<uint16_t>(g, longMetrics_ - 1);
        widths_[code] = hmtx.u16(4 * size_t{m}) * scale;
    }

    // The PostScript name (name 6), Windows Unicode or Macintosh Roman.
    Reader name{table("name")};
    const uint16_t names = name.u16(2), strings = name.u16(4);
    for (uint16_t i = 0; i < names && psName_.empty(); ++i) {
        const size_t rec = 6 + 12 * size_t{i};
        if (name.u16(rec + 6) != 6) continue;
        const uint16_t platform = name.u16(rec), len = name.u16(rec + 8), off = name.u16(rec + 10);
        std::string s;
        const bool wide = platform == 0 || platform == 3;
        for (size_t k = 0; k < len; k += wide ? 2 : 1) {
            const uint32_t c =
                wide ? name.u16(size_t{strings} + off + k) : name.u(size_t{strings} + off + k, 1);
            if (c > 32 && c < 127 && c != '[' && c != ']' && c != '(' && c != ')' && c != '{' &&
                c != '}' && c != '<' && c != '>' && c != '/' && c != '%')
                s.push_back(static_cast<char>(c));
        }
        if (!name.bad) psName_ = s;
    }
    if (psName_.empty()) psName_ = "Font";
    return true;
}

uint16_t TrueTypeFont::glyphOf(char32_t c) const {
    Reader r{data_};
    const size_t t = cmapOffset_;
    if (cmapFormat_ == 12) {
        const uint32_t groups = r.u32(t + 12);
        for (uint32_t i = 0; i < groups && !r.bad; ++i) {
            const size_t g = t + 16 + 12 * size_t{i};
            const uint32_t start = r.u32(g), end = r.u32(g + 4);
            if (c >= start && c <= end) {
                const uint32_t glyph = r.u32(g + 8) + (c - start);
                return glyph < glyphCount_ ? static_cast<uint16_t>(glyph) : 0;
            }
        }
        return 0;
    }
    if (c > 0xFFFF) return 0;
    const uint16_t segs = r.u16(t + 6) / 2;
    const size_t ends = t + 14, starts = ends + 2 * size_t{segs} + 2,
                 deltas = starts + 2 * size_t{segs}, ranges = deltas + 2 * size_t{segs};
    for (uint16_t i = 0; i < segs && !r.bad; ++i) {
        if (c > r.u16(ends + 2 * size_t{i})) continue;
        const uint16_t start = r.u16(starts + 2 * size_t{i});
        if (c < start) return 0;
        const uint16_t delta = r.u16(deltas + 2 * size_t{i});
        const uint16_t range = r.u16(ranges + 2 * size_t{i});
        uint16_t g;
        if (range == 0) {
            g = static_cast<uint16_t>(c + delta);
        } else {
            const size_t at = ranges + 2 * size_t{i} + range + 2 * size_t{c - start};
            g = r.u16(at);
            if (g) g = static_cast<uint16_t>(g + delta);
        }
        return r.bad || g >= glyphCount_ ? 0 : g;
    }
    return 0;
}

std::string TrueTypeFont::subset(const std::set<unsigned char>& codes) const {
    Reader loca{table("loca")};
    const std::string_view glyf = table("glyf");
    const auto range = [&](uint16_t g) -> std::pair<size_t, size_t> {
        size_t a = longLoca_ ? loca.u32(4 * size_t{g}) : size_t{loca.u16(2 * size_t{g})} * 2;
        size_t b =
            longLoca_ ? loca.u32(4 * size_t{g} + 4) : size_t{loca.u16(2 * size_t{g} + 2)} * 2;
        if (loca.bad || a > b || b > glyf.size()) return {0, 0};
        return {a, b};
    };

    // The glyphs kept: 0, those of the codes, and composite parts.
    std::vector<bool> keep(glyphCount_, false);
    std::vector<uint16_t> todo{0};
    for (unsigned char c : codes)
        todo.push_back(glyphs_[c]);
    while (!todo.empty()) {
        const uint16_t g = todo.back();
        todo.pop_back();
        if (g >= glyphCount_ || keep[g]) continue;
        keep[g] = true;
        const auto [a, b] = range(g);
        Reader r{glyf.substr(a, b - a)};
        if (b - a < 10 || r.s16(0) >= 0) continue;
        size_t at = 10;
        for (int parts = 0; parts < 1000; ++parts) {
            const uint16_t flags = r.u16(at), part = r.u16(at + 2);
            if (r.bad) break;
            todo.push_back(part);
            at += 4 + ((flags & 1) ? 4 : 2);
            at += (flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0;
            if (!(flags & 0x20)) break;
        }
    }

    std::string newGlyf, newLoca;
    for (uint16_t g = 0; g < glyphCount_; ++g) {
        add32(newLoca, static_cast<uint32_t>(newGlyf.size()));
        if (!keep[g]) continue;
        const auto [a, b] = range(g);
        newGlyf.append(glyf.substr(a, b - a));
        while (newGlyf.size() % 4)
            newGlyf.push_back('\0');
    }
    add32(newLoca, static_cast<uint32_t>(newGlyf.size()));

    // A new file: the kept tables, head saying long offsets.
    std::vector<std::pair<std::string, std::string>> out;
    for (const char* tag : kKept) {
        std::string body;
        if (std::strcmp(tag, "glyf") == 0)
            body = newGlyf;
        else if (std::strcmp(tag, "loca") == 0)
            body = newLoca;
        else if (tables_.count(tag))
            body = std::string(table(tag));
        else
            continue;
        if (std::strcmp(tag, "post") == 0 && body.size() >= 32) {
            body.resize(32);  // version 3: no glyph names, which PDF does not use
            put32(body, 0, 0x00030000);
        }
        if (std::strcmp(tag, "head") == 0 && body.size() >= 54) {
            put32(body, 8, 0);  // checkSumAdjustment, set below
            put16(body, 50, 1);
        }
        out.emplace_back(tag, std::move(body));
    }
    const uint16_t n = static_cast<uint16_t>(out.size());
    uint16_t power = 1, log2 = 0;
    while (power * 2 <= n) {
        power = static_cast<uint16_t>(power * 2);
        ++log2;
    }
    std::string file;
    add32(file, 0x00010000);
    add16(file, n);
    add16(file, power * 16);
    add16(file, log2);
    add16(file, n * 16 - power * 16);
    size_t offset = 12 + 16 * size_t{n}, headAt = 0;
    for (const auto& [tag, body] : out) {
        file += tag;
        add32(file, checksum(body));
        add32(file, static_cast<uint32_t>(offset));
        add32(file, static_cast<uint32_t>(body.size()));
        if (tag == "head") headAt = offset;
        offset += (body.size() + 3) / 4 * 4;
    }
    for (const auto& [tag, body] : out) {
        file += body;
        file.append((4 - body.size() % 4) % 4, '\0');
    }
    if (headAt) put32(file, headAt + 8, 0xB1B0AFBA - checksum(file));
    return file;
}

}  // namespace tvpdf
