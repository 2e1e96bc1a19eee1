// The drawing the cairo targets share.
#include <cmath>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/posix/report_cairo.hpp"

namespace orv::platform {

std::unique_ptr<ReportTarget> backend::makeReportTarget(ReportTargetKind kind) {
    return kind == ReportTargetKind::Printer ? posix::makePrinterTarget() : posix::makeFormTarget();
}

void backend::processFormEvents(ReportTarget& form) {
    posix::processFormEvents(form);
}

namespace posix {

void CairoTarget::setFontName(const Text& name) {
    fontName_ = toUtf8(name);
}
void CairoTarget::setFontSize(float points) {
    // A size of zero or less keeps the font as it is, as a screen font
    // cannot be made smaller than nothing.
    if (points > 0) fontPoints_ = points;
}
void CairoTarget::setFontBold(bool bold) {
    bold_ = bold;
}
void CairoTarget::setFontItalic(bool italic) {
    italic_ = italic;
}
void CairoTarget::setCurrentX(float twips) {
    x_ = twips;
}
void CairoTarget::setCurrentY(float twips) {
    y_ = twips;
}

void CairoTarget::applyFont(cairo_t* cr) const {
    cairo_select_font_face(cr, fontName_.c_str(),
                           italic_ ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold_ ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, fontPoints_ * 20.0);  // points to twips
}

void CairoTarget::printText(const Text& text) {
    cairo_t* cr = context();
    applyFont(cr);
    const std::string utf8 = toUtf8(text);
    cairo_font_extents_t font{};
    cairo_font_extents(cr, &font);
    cairo_text_extents_t extents{};
    cairo_text_extents(cr, utf8.c_str(), &extents);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, x_, y_ + font.ascent);
    cairo_show_text(cr, utf8.c_str());
    if (cairo_status_t s = cairo_status(cr); s != CAIRO_STATUS_SUCCESS) raiseCairo(s, 5);
    x_ = static_cast<float>(x_ + extents.x_advance);
    drawn();
}

void CairoTarget::fillRectangle(float x1, float y1, float x2, float y2, uint32_t colour) {
    cairo_t* cr = context();
    const double pen = penTwips();
    double left = std::min(x1, x2), right = std::max(x1, x2) + pen;
    double top = std::min(y1, y2), bottom = std::max(y1, y2) + pen;
    cairo_save(cr);
    if (snapToPixels()) {
        // Whole pixels: the corner pixels are both covered.
        cairo_user_to_device(cr, &left, &top);
        cairo_user_to_device(cr, &right, &bottom);
        cairo_identity_matrix(cr);
        left = std::floor(left);
        top = std::floor(top);
        right = std::max(std::floor(right), left + 1);
        bottom = std::max(std::floor(bottom), top + 1);
    }
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                         ((colour >> 16) & 0xFF) / 255.0);
    cairo_fill(cr);
    cairo_restore(cr);
    if (cairo_status_t s = cairo_status(cr); s != CAIRO_STATUS_SUCCESS) raiseCairo(s, 5);
    drawn();
}

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
    try {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    } catch (...) {
        return CAIRO_STATUS_NO_MEMORY;
    }
    return CAIRO_STATUS_SUCCESS;
}

void raiseCairo(cairo_status_t status, int32_t otherwise) {
    raise(status == CAIRO_STATUS_NO_MEMORY ? err::kOutOfMemory : otherwise);
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
    File f = File::open(fromUtf8(path), OpenMode::WriteTruncate).orRaise();
    f.writeAll(bytes).orRaise();
    f.close().orRaise();  // a failed write may show only here
}

}  // namespace posix
}  // namespace orv::platform
