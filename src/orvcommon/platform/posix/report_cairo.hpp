// Private to the POSIX report backends: the drawing both targets share. A
// cairo context whose user unit is one twip draws the texts and rectangles;
// the printer and the form differ only in the surface under it, the default
// pen width and what happens to the finished page.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "orvcommon/platform/report_target.hpp"

namespace orv::platform::posix {

// The font family asked of fontconfig for every text. "Courier New" is
// matched to the metric-compatible Liberation Mono where fonts-liberation is
// installed (DejaVu Sans Mono otherwise).
class CairoTarget : public ReportTarget {
  public:
    void setFontName(const Text& name) override;
    void setFontSize(float points) override;
    void setFontBold(bool bold) override;
    void setFontItalic(bool italic) override;
    void setCurrentX(float twips) override;
    void setCurrentY(float twips) override;
    float currentX() const override { return x_; }
    float currentY() const override { return y_; }
    void printText(const Text& text) override;
    void fillRectangle(float x1, float y1, float x2, float y2, uint32_t colour) override;

  protected:
    // The context to draw on (made on demand; user unit one twip).
    virtual cairo_t* context() = 0;
    // Called after every drawing operation.
    virtual void drawn() {}
    // Width of a line (a degenerate rectangle) in twips.
    virtual double penTwips() const = 0;
    // Whether rectangles are snapped to whole device pixels (the screen).
    virtual bool snapToPixels() const { return false; }
    void resetPosition() { x_ = y_ = 0; }

  private:
    void applyFont(cairo_t* cr) const;

    std::string fontName_ = "Courier New";
    double fontPoints_ = 10;
    bool bold_ = false;
    bool italic_ = false;
    float x_ = 0, y_ = 0;
};

// Collects what cairo writes to a stream surface.
cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length);

// Raises the error for a cairo failure: 7 for out of memory, 482 otherwise
// on the printer, 5 on the form's surface.
[[noreturn]] void raiseCairo(cairo_status_t status, int32_t otherwise);

// Writes bytes to a file, raising the file error the platform maps a failure to.
void writeWholeFile(const std::string& path, const std::string& bytes);

std::unique_ptr<ReportTarget> makePrinterTarget();
std::unique_ptr<ReportTarget> makeFormTarget();
// Processes the pending window events of a form made by makeFormTarget.
void processFormEvents(ReportTarget& form);

}  // namespace orv::platform::posix
