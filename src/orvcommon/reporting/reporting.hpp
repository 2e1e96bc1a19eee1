// Reporting: simple paper reports (framed boxes, lines of fixed-pitch text and
// a standard page with frame, header, footer, page number and date) on the
// printer or on the preview form. Positions are centimetres from the page's
// top-left corner. Nothing is trapped: a failure of a conversion or of the
// target reaches the caller as the run-time error of the call, and what was
// drawn before it stays drawn.
#pragma once

#include <cstdint>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/enums.hpp"

namespace orv {

class Reporting {
  public:
    // torPRINTER selects the printer; every other value (0 at first, torFORM
    // and anything else) the preview form.
    int32_t getOutputMode() const { return outputMode_; }
    void setOutputMode(int32_t mode) { outputMode_ = mode; }

    // A rectangle: the fill (unless lColor is 0), then the four black edges.
    void prtBox(const Variant& iX1, const Variant& iY1, const Variant& iX2, const Variant& iY2,
                int32_t lColor);
    // The standard page: frame (thin, or dark grey bars when bBoldLayout is
    // True), centred header and footer with their rules, page number, date.
    void prtLayoutPaginaBase(const Variant& vntHeader = Missing{},
                             const Variant& vntFooter = Missing{},
                             const Variant& vntPageNumber = Missing{},
                             const Variant& bWithDate = Missing{},
                             const Variant& bBoldLayout = Missing{});
    // Splits off the first line of at most iLenght characters, breaking at a
    // space; sStringa keeps the rest. Error 5 for a negative width, 6 for 32767.
    Text formattaStringa(Text& sStringa, int16_t iLenght);
    // Text at (iX1, iY1); iY1 = 0 continues the current line.
    void prtTesto(const Variant& iX1, const Variant& iY1, Variant& iSize, bool bBold, bool bItalic,
                  const Text& sStringa);
    // Text on a coloured box.
    void prtBoxWithTesto(const Variant& iX1, const Variant& iY1, Variant& iSize, bool bBold,
                         bool bItalic, const Text& sStringa, int32_t lBgkColor,
                         const Variant& iLenBox);
    void openReport();
    void newPage();
    void closeReport();

  private:
    bool onPrinter() const { return outputMode_ == torPRINTER; }
    // Centimetres to the target's twips (70 percent on the form).
    float twips(const Variant& cm) const;

    int32_t outputMode_ = 0;
};

}  // namespace orv
