// Report targets: the printer and the preview form as one narrow drawing
// interface. Coordinates are twips (1/1440 inch) from the top-left corner of
// the page or of the form's client area; colours are 0x00BBGGRR.
//
// Failures are raised as run-time errors (orv::RuntimeError) with numbers
// from the library's error list: 482 for a printer that cannot be reached,
// the file errors for an output file that cannot be written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "orvcommon/base/text.hpp"

namespace orv::platform {

enum class ReportTargetKind { Printer, Form };

// The paper-size code of A4 sheets, the only printer setting the library
// sets (1 is Letter; other codes are refused with error 5).
inline constexpr int32_t kPaperA4 = 9;
inline constexpr int32_t kPaperLetter = 1;

// The preview form's client area and title.
inline constexpr int32_t kFormWidthTwips = 8085;
inline constexpr int32_t kFormHeightTwips = 11100;
inline constexpr char16_t kFormTitle[] = u"Reporting Form";

class ReportTarget {
  public:
    virtual ~ReportTarget() = default;

    // Form: makes the surface visible (not modal).
    virtual void show() = 0;
    // Printer: the paper size of the pages that follow (kPaperA4, ...).
    virtual void setPaperSize(int32_t code) = 0;
    // The font of the texts that follow, set one property at a time.
    virtual void setFontName(const Text& name) = 0;
    virtual void setFontSize(float points) = 0;
    virtual void setFontBold(bool bold) = 0;
    virtual void setFontItalic(bool italic) = 0;
    // Current print position in twips.
    virtual void setCurrentX(float twips) = 0;
    virtual void setCurrentY(float twips) = 0;
    virtual float currentX() const = 0;
    virtual float currentY() const = 0;
    // Prints a text with its top-left corner at the current position; X
    // advances by the text's width, Y stays.
    virtual void printText(const Text& text) = 0;
    // Fills the rectangle (x1, y1)-(x2, y2), both corners included, with a
    // colour; a rectangle whose corners share an x or a y is a line of the
    // target's default pen width.
    virtual void fillRectangle(float x1, float y1, float x2, float y2, uint32_t colour) = 0;
    // Printer: ends the page and starts the next one.
    virtual void newPage() = 0;
    // Printer: ends the document and sends it to its destination.
    virtual void endDocument() = 0;
    // Form: closes the surface (after saving it where asked).
    virtual void close() = 0;
};

// The calling thread's target of that kind, made on first use.
ReportTarget& reportTarget(ReportTargetKind kind);
// The calling thread's target of that kind if it exists, else null.
ReportTarget* existingReportTarget(ReportTargetKind kind);
// Drops the calling thread's target of that kind (after close).
void discardReportTarget(ReportTargetKind kind);
// Lets the thread's preview window repaint itself: processes its pending
// window-system events. Called on every library call that reaches it.
void processReportEvents();

// Tests: makes the targets of every thread from now on; nullptr restores
// the real backends. Existing targets are not replaced.
using ReportTargetFactory = std::function<std::unique_ptr<ReportTarget>(ReportTargetKind)>;
void setReportTargetFactoryForTesting(ReportTargetFactory factory);

}  // namespace orv::platform
