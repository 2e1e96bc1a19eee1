// Private to the Windows report backends: the drawing both targets share. A
// GDI device context draws the texts and rectangles; the printer and the form
// differ only in the device under it (a printer's page, a bitmap in memory),
// the default pen width and what happens to the finished page. Positions are
// kept in twips and turned into device pixels at the device's resolution.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "orvcommon/platform/report_target.hpp"

namespace orv::platform::win32 {

// The font is asked of GDI by name; where "Courier New" is missing the
// system's font mapper substitutes a fixed-pitch face.
class GdiTarget : public ReportTarget {
  public:
    ~GdiTarget() override;

    void setFontName(const Text& name) override;
    void setFontSize(float points) override;
    void setFontBold(bool bold) override;
    void setFontItalic(bool italic) override;
    void setCurrentX(float twips) override { x_ = twips; }
    void setCurrentY(float twips) override { y_ = twips; }
    float currentX() const override { return x_; }
    float currentY() const override { return y_; }
    void printText(const Text& text) override;
    void fillRectangle(float x1, float y1, float x2, float y2, uint32_t colour) override;

  protected:
    // The device to draw on, made on demand; it calls setDevice first.
    virtual HDC device() = 0;
    // Called after every drawing operation.
    virtual void drawn() {}
    // Width of a line (a degenerate rectangle) in twips.
    virtual double penTwips() const = 0;
    // The run-time error of a drawing call the device refuses.
    virtual int32_t drawingError() const = 0;

    // The device's resolution (dots per inch) and the page's top-left
    // corner in device pixels (a printer's unprintable margin).
    void setDevice(double dpiX, double dpiY, int originX = 0, int originY = 0);
    void resetPosition() { x_ = y_ = 0; }
    // Pixels of twips on the device (from the page's corner).
    double pixelX(double twips) const { return twips * dpiX_ / 1440.0 - originX_; }
    double pixelY(double twips) const { return twips * dpiY_ / 1440.0 - originY_; }
    double dpiX() const { return dpiX_; }

  private:
    HFONT font();
    void dropFont();

    std::wstring fontName_ = L"Courier New";
    double fontPoints_ = 10;
    bool bold_ = false;
    bool italic_ = false;
    float x_ = 0, y_ = 0;
    double dpiX_ = 96, dpiY_ = 96;
    int originX_ = 0, originY_ = 0;
    HFONT font_ = nullptr;  // for the settings above at the device's resolution
};

// The text of an environment variable, empty when it is not set.
std::wstring environmentValue(const wchar_t* name);

// Writes bytes to a file, raising the file error the platform maps a failure to.
void writeWholeFile(const std::wstring& path, const std::string& bytes);

std::unique_ptr<ReportTarget> makePrinterTarget();
std::unique_ptr<ReportTarget> makeFormTarget();
// Processes the pending window messages of a form made by makeFormTarget.
void processFormEvents(ReportTarget& form);

}  // namespace orv::platform::win32
