// The printer: pages drawn with cairo into a PDF document (1 twip = 1/20
// point), sent at the end of the document to the destination that the
// environment variable ORV_PRINTER names: "file:PATH" writes the PDF to PATH,
// any other value is a CUPS destination, and without it the CUPS default
// destination takes the job.
#include <cups/cups.h>

#include <cairo-pdf.h>

#include <cstdlib>
#include <string>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/posix/report_cairo.hpp"

namespace orv::platform::posix {
namespace {

struct PaperSize {
    double widthPoints, heightPoints;
};

PaperSize paperSize(int32_t code) {
    if (code == kPaperLetter) return {612.0, 792.0};
    return {595.2756, 841.8898};  // A4: 210 x 297 mm
}

// Where a finished document goes.
struct Destination {
    bool isFile = false;
    std::string name;  // file path, or the CUPS destination's name
};

// Resolves ORV_PRINTER; error 482 when it names no reachable destination.
Destination resolveDestination() {
    const char* env = std::getenv("ORV_PRINTER");
    const std::string value = env ? env : "";
    if (value.rfind("file:", 0) == 0) {
        if (value.size() == 5) raise(err::kPrinterError);
        return {true, value.substr(5)};
    }
    // The server may have changed since the last look (CUPS_SERVER).
    cupsSetServer(nullptr);
    cups_dest_t* dest =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, value.empty() ? nullptr : value.c_str(), nullptr);
    if (!dest) raise(err::kPrinterError);
    Destination d{false, dest->name};
    cupsFreeDests(1, dest);
    return d;
}

void sendToCups(const std::string& destination, const std::string& pdf) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, destination.c_str(), nullptr);
    if (!dest) raise(err::kPrinterError);
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    int job = 0;
    bool ok = info && cupsCreateDestJob(CUPS_HTTP_DEFAULT, dest, info, &job, "orvcommon report", 0,
                                        nullptr) == IPP_STATUS_OK;
    if (ok) {
        ok = cupsStartDestDocument(CUPS_HTTP_DEFAULT, dest, info, job, "report.pdf",
                                   CUPS_FORMAT_PDF, 0, nullptr, 1) == HTTP_STATUS_CONTINUE;
        ok = ok && cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.data(), pdf.size()) ==
                       HTTP_STATUS_CONTINUE;
        // Finishing also closes a document that failed half way.
        ok = cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest, info) == IPP_STATUS_OK && ok;
        if (!ok) cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest, job);
    }
    if (info) cupsFreeDestInfo(info);
    cupsFreeDests(1, dest);
    if (!ok) raise(err::kPrinterError);
}

class PrinterTarget final : public CairoTarget {
  public:
    ~PrinterTarget() override { discard(); }

    void show() override {}
    void setPaperSize(int32_t code) override {
        if (code != kPaperA4 && code != kPaperLetter) raise(err::kInvalidArgument);
        // Selecting the paper is where a missing printer shows.
        if (!surface_) resolveDestination();
        paper_ = code;
    }
    void newPage() override {
        context();
        cairo_show_page(cr_);
        const PaperSize p = paperSize(paper_);
        cairo_pdf_surface_set_size(surface_, p.widthPoints, p.heightPoints);
        resetPosition();
    }
    void endDocument() override {
        // Nothing drawn, nothing printed.
        if (!surface_) return;
        cairo_destroy(cr_);
        cr_ = nullptr;
        cairo_surface_finish(surface_);
        const cairo_status_t status = cairo_surface_status(surface_);
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
        std::string pdf;
        pdf.swap(pdf_);
        const Destination dest = destination_;
        resetPosition();
        if (status != CAIRO_STATUS_SUCCESS) raiseCairo(status, err::kPrinterError);
        if (dest.isFile) {
            writeWholeFile(dest.name, pdf);
        } else {
            sendToCups(dest.name, pdf);
        }
    }
    void close() override {}

  protected:
    // The document starts with the first drawing.
    cairo_t* context() override {
        if (!cr_) {
            destination_ = resolveDestination();
            const PaperSize p = paperSize(paper_);
            surface_ = cairo_pdf_surface_create_for_stream(appendToString, &pdf_, p.widthPoints,
                                                           p.heightPoints);
            cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, "orvcommon");
            cr_ = cairo_create(surface_);
            if (cairo_status_t s = cairo_status(cr_); s != CAIRO_STATUS_SUCCESS) {
                discard();
                raiseCairo(s, err::kPrinterError);
            }
            cairo_scale(cr_, 1.0 / 20.0, 1.0 / 20.0);  // user unit: one twip
        }
        return cr_;
    }
    // Half a point: thin but visible in print and on screen.
    double penTwips() const override { return 10.0; }

  private:
    void discard() {
        if (cr_) cairo_destroy(cr_);
        if (surface_) cairo_surface_destroy(surface_);
        cr_ = nullptr;
        surface_ = nullptr;
        pdf_.clear();
    }

    int32_t paper_ = kPaperA4;
    Destination destination_;
    std::string pdf_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
};

}  // namespace

std::unique_ptr<ReportTarget> makePrinterTarget() {
    return std::make_unique<PrinterTarget>();
}

}  // namespace orv::platform::posix
