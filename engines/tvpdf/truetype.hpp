// A small TrueType reader: what a PDF needs to embed a font as a simple
// font in WinAnsiEncoding (metrics, the widths of the 1252 code page's
// characters, the PostScript name) and a subset of it that keeps only the
// glyphs a document draws.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace tvpdf {

class TrueTypeFont {
  public:
    // Reads the font in `data` (a TrueType file, or face `index` of a
    // collection). Returns false when it is not a TrueType font with
    // outlines (glyf) and the tables a PDF needs.
    bool load(std::string data, int index = 0);

    const std::string& postScriptName() const { return psName_; }
    // Advance width of code page 1252 byte `code`, in 1/1000 of the size.
    double width(unsigned char code) const { return widths_[code]; }
    // Font-wide metrics in 1/1000 of the size.
    double ascent() const { return ascent_; }
    double descent() const { return descent_; }
    double capHeight() const { return capHeight_; }
    double italicAngle() const { return italicAngle_; }
    const std::array<double, 4>& bbox() const { return bbox_; }
    bool fixedPitch() const { return fixedPitch_; }

    // A font file holding the same tables with every glyph's outline
    // dropped but those of `codes` (code page 1252 bytes), of glyph 0 and
    // of the parts of composite glyphs among them. Glyph numbers stay.
    std::string subset(const std::set<unsigned char>& codes) const;

  private:
    std::string_view table(const char* tag) const;
    uint16_t glyphOf(char32_t c) const;

    std::string data_;
    std::map<std::string, std::pair<uint32_t, uint32_t>> tables_;  // offset, length
    std::string psName_;
    std::array<double, 256> widths_{};
    std::array<uint16_t, 256> glyphs_{};
    double ascent_ = 0, descent_ = 0, capHeight_ = 0, italicAngle_ = 0;
    std::array<double, 4> bbox_{};
    bool fixedPitch_ = false;
    uint16_t unitsPerEm_ = 1000, glyphCount_ = 0, longMetrics_ = 0;
    bool longLoca_ = false;
    uint32_t cmapOffset_ = 0;  // of the Unicode subtable (format 4 or 12) in data_
    uint16_t cmapFormat_ = 0;
};

// The character of code page 1252 byte `code` (the five undefined
// positions stand for the C1 control of the same number).
char32_t unicodeOfCp1252(unsigned char code);

}  // namespace tvpdf
