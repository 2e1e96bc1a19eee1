// The drawing the GDI targets share.
#include <cmath>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/win32/report_gdi.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {

std::unique_ptr<ReportTarget> backend::makeReportTarget(ReportTargetKind kind) {
    return kind == ReportTargetKind::Printer ? win32::makePrinterTarget() : win32::makeFormTarget();
}

void backend::processFormEvents(ReportTarget& form) {
    win32::processFormEvents(form);
}

namespace win32 {

GdiTarget::~GdiTarget() {
    dropFont();
}

void GdiTarget::setFontName(const Text& name) {
    fontName_ = wide(name);
    dropFont();
}
void GdiTarget::setFontSize(float points) {
    // A size of zero or less keeps the font as it is, as a screen font
    // cannot be made smaller than nothing.
    if (points > 0 && points != fontPoints_) {
        fontPoints_ = points;
        dropFont();
    }
}
void GdiTarget::setFontBold(bool bold) {
    if (bold != bold_) dropFont();
    bold_ = bold;
}
void GdiTarget::setFontItalic(bool italic) {
    if (italic != italic_) dropFont();
    italic_ = italic;
}

void GdiTarget::setDevice(double dpiX, double dpiY, int originX, int originY) {
    if (dpiY != dpiY_) dropFont();
    dpiX_ = dpiX;
    dpiY_ = dpiY;
    originX_ = originX;
    originY_ = originY;
}

void GdiTarget::dropFont() {
    if (font_) DeleteObject(font_);
    font_ = nullptr;
}

HFONT GdiTarget::font() {
    if (!font_) {
        // A negative height asks for the em height, the font's point size.
        const int height = -std::max(1, static_cast<int>(std::lround(fontPoints_ * dpiY_ / 72.0)));
        font_ = CreateFontW(height, 0, 0, 0, bold_ ? FW_BOLD : FW_NORMAL, italic_, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                            ANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN, fontName_.c_str());
        if (!font_) raise(drawingError());
    }
    return font_;
}

void GdiTarget::printText(const Text& text) {
    HDC dc = device();
    HFONT f = font();
    const std::wstring w = wide(text);
    const int n = static_cast<int>(w.size());
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    SIZE size{};
    const bool ok = GetTextExtentPoint32W(dc, w.c_str(), n, &size) &&
                    TextOutW(dc, static_cast<int>(std::lround(pixelX(x_))),
                             static_cast<int>(std::lround(pixelY(y_))), w.c_str(), n);
    SelectObject(dc, old);
    if (!ok) raise(drawingError());
    x_ = static_cast<float>(x_ + size.cx * 1440.0 / dpiX_);
    drawn();
}

void GdiTarget::fillRectangle(float x1, float y1, float x2, float y2, uint32_t colour) {
    HDC dc = device();
    const double pen = penTwips();
    // Whole pixels: the corner pixels are both covered, a line is at least
    // one pixel wide.
    RECT r;
    r.left = static_cast<LONG>(std::floor(pixelX(std::min(x1, x2))));
    r.top = static_cast<LONG>(std::floor(pixelY(std::min(y1, y2))));
    r.right = std::max(static_cast<LONG>(std::floor(pixelX(std::max(x1, x2) + pen))), r.left + 1);
    r.bottom = std::max(static_cast<LONG>(std::floor(pixelY(std::max(y1, y2) + pen))), r.top + 1);
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(colour & 0xFFFFFF));
    if (!brush) raise(drawingError());
    const bool ok = FillRect(dc, &r, brush) != 0;
    DeleteObject(brush);
    if (!ok) raise(drawingError());
    drawn();
}

std::wstring environmentValue(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD n =
            GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);
    }
}

void writeWholeFile(const std::wstring& path, const std::string& bytes) {
    File f = File::open(fromWide(path), OpenMode::WriteTruncate).orRaise();
    f.writeAll(bytes).orRaise();
}

}  // namespace win32
}  // namespace orv::platform
