// The printer: pages drawn with GDI on a printer's device context, at the
// printer's resolution from the paper's top-left corner. The environment
// variable ORV_PRINTER names the destination: unset, the default printer;
// "file:PATH", the print job's output goes to the file PATH (written by the
// driver of "Microsoft Print to PDF" where that printer exists and PATH ends
// in ".pdf", so that the file is a PDF, by the default printer's driver
// otherwise); any other value, the printer of that name. The paper size goes
// into the printer's DEVMODE; the document starts with the first drawing and
// prints when it ends.
#include <windows.h>
// After windows.h, which it needs.
#include <winspool.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/win32/report_gdi.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform::win32 {
namespace {

constexpr wchar_t kPdfPrinter[] = L"Microsoft Print to PDF";

// Where a document goes: a printer, and the file its job writes to (empty
// for the printer itself).
struct Destination {
    std::wstring printer;
    std::wstring file;
};

bool printerExists(const std::wstring& name) {
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, nullptr)) return false;
    ClosePrinter(h);
    return true;
}

std::wstring defaultPrinter() {
    DWORD n = 0;
    GetDefaultPrinterW(nullptr, &n);
    if (n == 0) return {};
    std::wstring name(n, L'\0');
    if (!GetDefaultPrinterW(name.data(), &n)) return {};
    name.resize(wcslen(name.c_str()));
    return name;
}

bool endsWithPdf(const std::wstring& path) {
    return path.size() >= 4 && _wcsicmp(path.c_str() + path.size() - 4, L".pdf") == 0;
}

// Resolves ORV_PRINTER; error 482 when it names no printer that exists.
Destination resolveDestination() {
    const std::wstring value = environmentValue(L"ORV_PRINTER");
    Destination d;
    if (value.rfind(L"file:", 0) == 0) {
        d.file = value.substr(5);
        if (d.file.empty()) raise(err::kPrinterError);
        if (endsWithPdf(d.file) && printerExists(kPdfPrinter)) {
            d.printer = kPdfPrinter;
        } else {
            d.printer = defaultPrinter();
        }
    } else {
        d.printer = value.empty() ? defaultPrinter() : value;
    }
    if (d.printer.empty() || !printerExists(d.printer)) raise(err::kPrinterError);
    return d;
}

// The printer's own settings with the paper size changed.
std::vector<char> printerSettings(const std::wstring& name, int32_t paper) {
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, nullptr)) raise(err::kPrinterError);
    std::vector<char> settings;
    wchar_t* device = const_cast<wchar_t*>(name.c_str());
    const LONG size = DocumentPropertiesW(nullptr, h, device, nullptr, nullptr, 0);
    bool ok = size >= static_cast<LONG>(sizeof(DEVMODEW));
    if (ok) {
        settings.resize(static_cast<size_t>(size));
        auto* dm = reinterpret_cast<DEVMODEW*>(settings.data());
        ok = DocumentPropertiesW(nullptr, h, device, dm, nullptr, DM_OUT_BUFFER) == IDOK;
        if (ok) {
            dm->dmFields |= DM_PAPERSIZE;
            dm->dmPaperSize = static_cast<short>(paper);
            ok = DocumentPropertiesW(nullptr, h, device, dm, dm, DM_IN_BUFFER | DM_OUT_BUFFER) ==
                 IDOK;
        }
    }
    ClosePrinter(h);
    if (!ok) raise(err::kPrinterError);
    return settings;
}

class PrinterTarget final : public GdiTarget {
  public:
    ~PrinterTarget() override { discard(); }

    void show() override {}
    void setPaperSize(int32_t code) override {
        if (code != kPaperA4 && code != kPaperLetter) raise(err::kInvalidArgument);
        paper_ = code;
        // Selecting the paper is where a missing printer shows; the device
        // is made with the paper in its settings.
        if (!dc_) {
            openDevice();
        } else if (!started_) {
            discard();
            openDevice();
        } else {
            paperChanged_ = true;  // from the next page on
        }
    }
    void newPage() override {
        device();
        if (EndPage(dc_) <= 0) fail();
        if (paperChanged_) {
            const auto settings = printerSettings(destination_.printer, paper_);
            ResetDCW(dc_, reinterpret_cast<const DEVMODEW*>(settings.data()));
            paperChanged_ = false;
            measure();
        }
        if (StartPage(dc_) <= 0) fail();
        resetPosition();
    }
    void endDocument() override {
        // Nothing drawn, nothing printed.
        if (!started_) {
            discard();
            resetPosition();
            return;
        }
        const bool ok = EndPage(dc_) > 0 && EndDoc(dc_) > 0;
        started_ = false;
        discard();
        resetPosition();
        if (!ok) raise(err::kPrinterError);
    }
    void close() override {}

  protected:
    // The document starts with the first drawing.
    HDC device() override {
        if (!dc_) openDevice();
        if (!started_) {
            DOCINFOW doc{};
            doc.cbSize = sizeof doc;
            doc.lpszDocName = L"orvcommon report";
            if (!destination_.file.empty()) doc.lpszOutput = destination_.file.c_str();
            if (StartDocW(dc_, &doc) <= 0) {
                discard();
                raise(err::kPrinterError);
            }
            started_ = true;
            if (StartPage(dc_) <= 0) fail();
        }
        return dc_;
    }
    // Half a point: thin but visible in print and on screen.
    double penTwips() const override { return 10.0; }
    int32_t drawingError() const override { return err::kPrinterError; }

  private:
    void openDevice() {
        Destination d = resolveDestination();
        const auto settings = printerSettings(d.printer, paper_);
        dc_ = CreateDCW(L"WINSPOOL", d.printer.c_str(), nullptr,
                        reinterpret_cast<const DEVMODEW*>(settings.data()));
        if (!dc_) raise(err::kPrinterError);
        destination_ = std::move(d);
        measure();
    }
    // Positions are from the paper's corner; the device's origin is the
    // corner of its printable area.
    void measure() {
        setDevice(GetDeviceCaps(dc_, LOGPIXELSX), GetDeviceCaps(dc_, LOGPIXELSY),
                  GetDeviceCaps(dc_, PHYSICALOFFSETX), GetDeviceCaps(dc_, PHYSICALOFFSETY));
    }
    // A failed page abandons the document.
    [[noreturn]] void fail() {
        if (started_) AbortDoc(dc_);
        started_ = false;
        discard();
        raise(err::kPrinterError);
    }
    void discard() {
        if (dc_) {
            if (started_) AbortDoc(dc_);
            DeleteDC(dc_);
        }
        dc_ = nullptr;
        started_ = false;
        paperChanged_ = false;
    }

    int32_t paper_ = kPaperA4;
    Destination destination_;
    HDC dc_ = nullptr;
    bool started_ = false;
    bool paperChanged_ = false;
};

}  // namespace

std::unique_ptr<ReportTarget> makePrinterTarget() {
    return std::make_unique<PrinterTarget>();
}

}  // namespace orv::platform::win32
