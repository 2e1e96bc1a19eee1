#include "orvcommon/reporting/reporting.hpp"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/report_target.hpp"

namespace orv {
namespace {

using platform::ReportTarget;
using platform::ReportTargetKind;

constexpr double kTwipsPerCm = 567;
constexpr char16_t kFontName[] = u"Courier New";
constexpr uint32_t kDarkGrey = 0x404040;

// The preview's 70 percent, computed as the form does: v - v * 30 / 100.
double reduced(double v) {
    return v - v * 30 / 100;
}

// A value handed to the target, which takes single precision.
float single(double v) {
    if (!std::isfinite(v) || std::fabs(v) > FLT_MAX) raise(err::kOverflow);
    return static_cast<float>(v);
}

double cm(const Variant& v) {
    return toDouble(v);
}

ReportTarget& targetFor(bool printer) {
    platform::processReportEvents();
    return platform::reportTarget(printer ? ReportTargetKind::Printer : ReportTargetKind::Form);
}

// "dd/mm/yyyy  hh:nn" of the current local time.
Text printDate() {
    const platform::LocalTime t = platform::now();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d  %02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute);
    return ascii(buf);
}

// Start of a centred header or footer: 56 characters of 0.3 cm from 2 cm;
// the offset is a 16-bit whole number, halves to even.
Variant centredX(const Text& text) {
    const double half = (56.0 - static_cast<double>(text.size())) / 2;
    const int16_t k = toInt16(Variant(half));
    return Variant(2 + 0.3 * k);
}

}  // namespace

float Reporting::twips(const Variant& v) const {
    const double t = cm(v) * kTwipsPerCm;
    return single(onPrinter() ? t : reduced(t));
}

void Reporting::prtBox(const Variant& iX1, const Variant& iY1, const Variant& iX2,
                       const Variant& iY2, int32_t lColor) {
    const float x1 = twips(iX1), y1 = twips(iY1), x2 = twips(iX2), y2 = twips(iY2);
    ReportTarget& t = targetFor(onPrinter());
    if (lColor != 0) t.fillRectangle(x1, y1, x2, y2, static_cast<uint32_t>(lColor));
    t.fillRectangle(x1, y1, x1, y2, 0);  // left
    t.fillRectangle(x1, y1, x2, y1, 0);  // top
    t.fillRectangle(x2, y1, x2, y2, 0);  // right
    t.fillRectangle(x1, y2, x2, y2, 0);  // bottom
}

void Reporting::prtLayoutPaginaBase(const Variant& vntHeader, const Variant& vntFooter,
                                    const Variant& vntPageNumber, const Variant& bWithDate,
                                    const Variant& bBoldLayout) {
    // Only True itself (-1) selects the bold layout; any other value, text
    // included, the thin one.
    bool bold = false;
    if (!bBoldLayout.isMissing() && !bBoldLayout.isNull() && isNumeric(bBoldLayout))
        bold = toDouble(bBoldLayout) == -1;

    using V = Variant;
    if (bold) {
        prtBox(V(1), V(1), V(19), V(1.02), kDarkGrey);
        prtBox(V(1), V(27), V(19), V(27.02), kDarkGrey);
        prtBox(V(1), V(1), V(1.02), V(27), kDarkGrey);
        prtBox(V(19), V(1), V(19.02), V(27), kDarkGrey);
    } else {
        prtBox(V(1), V(1), V(19), V(27), 0);
    }
    if (!vntHeader.isMissing()) {
        const Text header = toText(vntHeader);
        if (bold) {
            prtBox(V(1), V(2), V(19), V(2.02), kDarkGrey);
        } else {
            prtBox(V(1), V(2), V(19), V(2), 0);
        }
        V size(int16_t{14});
        prtTesto(centredX(header), V(1.2), size, true, false, header);
    }
    if (!vntFooter.isMissing()) {
        const Text footer = toText(vntFooter);
        if (bold) {
            prtBox(V(1), V(26), V(19), V(26.02), kDarkGrey);
        } else {
            prtBox(V(1), V(26), V(19), V(26), 0);
        }
        V size(int16_t{12});
        prtTesto(centredX(footer), V(26.2), size, true, false, footer);
    }
    if (!vntPageNumber.isMissing()) {
        // Joined as text: Null adds nothing.
        const Text number = vntPageNumber.isNull() ? Text() : toText(vntPageNumber);
        V size(int16_t{10});
        prtTesto(V(16), V(27.1), size, false, false, u"Pagina: " + number);
    }
    if (!bWithDate.isMissing() && !bWithDate.isNull() && toBool(bWithDate)) {
        V size(int16_t{10});
        prtTesto(V(2), V(27.1), size, false, false, printDate());
    }
}

Text Reporting::formattaStringa(Text& sStringa, int16_t iLenght) {
    // The search start is computed in 16 bits before anything else.
    if (iLenght == INT16_MAX) raise(err::kOverflow);
    const int32_t start = iLenght + 1;
    if (iLenght < 0) raise(err::kInvalidArgument);
    const size_t width = static_cast<size_t>(iLenght);
    if (sStringa.size() <= width) {
        Text whole = std::move(sStringa);
        sStringa.clear();
        return whole;
    }
    // 1-based positions, from start leftwards to the first space or to 1.
    int32_t p = start;
    while (p > 1 && sStringa[static_cast<size_t>(p - 1)] != u' ')
        --p;
    Text first;
    if (p > 1) {
        first = sStringa.substr(0, static_cast<size_t>(p - 1));
        sStringa.erase(0, static_cast<size_t>(p));
    } else {
        first = sStringa.substr(0, width);
        sStringa.erase(0, width);
    }
    return first;
}

void Reporting::prtTesto(const Variant& iX1, const Variant& iY1, Variant& iSize, bool bBold,
                         bool bItalic, const Text& sStringa) {
    ReportTarget& t = targetFor(onPrinter());
    t.setFontName(kFontName);
    const double size = toDouble(iSize);
    t.setFontSize(single(onPrinter() ? size : reduced(size)));
    t.setFontBold(bBold);
    t.setFontItalic(bItalic);
    t.setCurrentX(twips(iX1));
    // Zero (Empty included) keeps the current line; so does Null, which is
    // never unequal to zero.
    if (!iY1.isNull() && toDouble(iY1) != 0) t.setCurrentY(twips(iY1));
    t.printText(sStringa);
}

void Reporting::prtBoxWithTesto(const Variant& iX1, const Variant& iY1, Variant& iSize, bool bBold,
                                bool bItalic, const Text& sStringa, int32_t lBgkColor,
                                const Variant& iLenBox) {
    prtTesto(iX1, iY1, iSize, bBold, bItalic, sStringa);
    const double x1 = cm(iX1), y1 = cm(iY1);
    if (onPrinter()) {
        // The box reaches the end of the printed text and half a centimetre
        // below its top; iLenBox is not used. The text is printed again above
        // the box, as on the form, so that a coloured box does not hide it.
        ReportTarget& t = targetFor(true);
        const double xc = t.currentX(), yc = t.currentY();
        prtBox(Variant(x1 - 0.2), Variant(y1), Variant(xc / kTwipsPerCm),
               Variant(yc / kTwipsPerCm + 0.5), lBgkColor);
        prtTesto(iX1, iY1, iSize, bBold, bItalic, sStringa);
    } else {
        prtBox(Variant(x1 - 0.2), Variant(y1), Variant(x1 + cm(iLenBox)),
               Variant(y1 + 0.04 * cm(iSize)), lBgkColor);
        prtTesto(iX1, iY1, iSize, bBold, bItalic, sStringa);
    }
}

void Reporting::openReport() {
    ReportTarget& t = targetFor(onPrinter());
    if (onPrinter()) {
        t.setPaperSize(platform::kPaperA4);
    } else {
        t.show();
    }
}

void Reporting::newPage() {
    platform::processReportEvents();
    if (onPrinter()) targetFor(true).newPage();
}

void Reporting::closeReport() {
    platform::processReportEvents();
    if (onPrinter()) {
        targetFor(true).endDocument();
        return;
    }
    // A form that was never made has nothing to close.
    ReportTarget* form = platform::existingReportTarget(ReportTargetKind::Form);
    if (!form) return;
    struct Discard {
        ~Discard() { platform::discardReportTarget(ReportTargetKind::Form); }
    } discard;
    form->close();
}

}  // namespace orv
