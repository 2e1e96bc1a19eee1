// Speed of PDF generation:
// - our engine (parse, look up fonts and the image, draw, write with its own
//   PDF writer) on a 50-page invoice-like document: per page a logo, a
//   heading, 25 item rows of three texts and a rule, a total and a page
//   number; next to cairo drawing the same pages directly (no parsing,
//   everything known up front). Both report the file's size (file_bytes);
// - createPdfStream (command file written, engine run, PDF read back) next
//   to a direct call of the engine's Tvpdfrun on a command file already on
//   disk, both making the same one-page PDF.
#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "document.hpp"
#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/pdf_engine.hpp"
#include "orvcommon/platform/system_calls.hpp"

namespace {

constexpr int kPages = 50;
constexpr int kRows = 25;

const std::string& folder() {
    static const std::string dir = [] {
        std::string d = (std::filesystem::temp_directory_path() / "orvbench-pdf-XXXXXX").string();
        if (!mkdtemp(d.data())) std::abort();
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 120, 60);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0.12, 0.3, 0.47);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_write_to_png(s, (d + "/logo.png").c_str());
        cairo_surface_destroy(s);
        return d;
    }();
    return dir;
}

std::string item(int page, int row) {
    return "Article " + std::to_string(page * 100 + row) + " - consulting services";
}
std::string amount(int page, int row) {
    return std::to_string((page * 37 + row * 13) % 1000) + ",00";
}

const std::string& invoiceCommands() {
    static const std::string path = [] {
        std::string t = "UNITS PT\nTITLE \"Invoice\"\nMARGINS 40 40 40 40\n";
        for (int p = 0; p < kPages; ++p) {
            if (p) t += "NEWPAGE\n";
            t += "IMAGE 0 0 120 60 \"logo.png\"\nFONT \"Arial\" 18 BOLD\n"
                 "TEXT 515 30 \"Invoice 2026/" +
                 std::to_string(p) + "\" RIGHT\nFONT \"Arial\" 10\n";
            for (int r = 0; r < kRows; ++r) {
                const std::string y = std::to_string(100 + r * 24);
                t += "TEXT 0 " + y + " \"" + std::to_string(r + 1) + "\"\n";
                t += "TEXT 30 " + y + " \"" + item(p, r) + "\"\n";
                t += "TEXT 515 " + y + " \"" + amount(p, r) + "\" RIGHT\n";
                t += "LINE 0 " + std::to_string(106 + r * 24) + " 515 " +
                     std::to_string(106 + r * 24) + " 0.5 GRAY\n";
            }
            t += "FONT \"Arial\" 10 BOLD\nTEXT 515 720 \"Total 12.345,00\" RIGHT\n"
                 "FONT \"Arial\" 8\nTEXT 257 750 \"Page {PAGE} of {PAGES}\" CENTER\n";
        }
        const std::string file = folder() + "/invoice.cmd";
        FILE* f = std::fopen(file.c_str(), "wb");
        std::fwrite(t.data(), 1, t.size(), f);
        std::fclose(f);
        return file;
    }();
    return path;
}

void BM_TvpdfEngine(benchmark::State& state) {
    const std::string cmd = invoiceCommands();
    const std::string pdf = folder() + "/engine.pdf";
    for (auto _ : state)
        tvpdf::run(cmd, pdf);
    state.counters["pages/s"] =
        benchmark::Counter(double(kPages) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(pdf));
}
BENCHMARK(BM_TvpdfEngine)->Unit(benchmark::kMillisecond);

cairo_status_t toFile(void* f, const unsigned char* data, unsigned int n) {
    return std::fwrite(data, 1, n, static_cast<FILE*>(f)) == n ? CAIRO_STATUS_SUCCESS
                                                               : CAIRO_STATUS_WRITE_ERROR;
}

void text(cairo_t* cr, double x, double y, const std::string& s, bool right = false,
          bool centre = false) {
    cairo_text_extents_t e;
    if (right || centre) {
        cairo_text_extents(cr, s.c_str(), &e);
        x -= right ? e.x_advance : e.x_advance / 2;
    }
    cairo_move_to(cr, 40 + x, 40 + y);
    cairo_show_text(cr, s.c_str());
}

void font(cairo_t* cr, double size, bool bold) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

// The same pages drawn straight with cairo.
void BM_CairoDirect(benchmark::State& state) {
    const std::string pdf = folder() + "/direct.pdf";
    const std::string logo = folder() + "/logo.png";
    for (auto _ : state) {
        cairo_surface_t* img = cairo_image_surface_create_from_png(logo.c_str());
        FILE* out = std::fopen(pdf.c_str(), "wb");
        cairo_surface_t* s = cairo_pdf_surface_create_for_stream(toFile, out, 595.28, 841.89);
        cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_TITLE, "Invoice");
        cairo_t* cr = cairo_create(s);
        for (int p = 0; p < kPages; ++p) {
            cairo_save(cr);
            cairo_translate(cr, 40, 40);
            cairo_set_source_surface(cr, img, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            font(cr, 18, true);
            text(cr, 515, 30, "Invoice 2026/" + std::to_string(p), true);
            font(cr, 10, false);
            for (int r = 0; r < kRows; ++r) {
                cairo_set_source_rgb(cr, 0, 0, 0);
                text(cr, 0, 100 + r * 24, std::to_string(r + 1));
                text(cr, 30, 100 + r * 24, item(p, r));
                text(cr, 515, 100 + r * 24, amount(p, r), true);
                cairo_move_to(cr, 40, 146 + r * 24);
                cairo_line_to(cr, 555, 146 + r * 24);
                cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
                cairo_set_line_width(cr, 0.5);
                cairo_stroke(cr);
            }
            cairo_set_source_rgb(cr, 0, 0, 0);
            font(cr, 10, true);
            text(cr, 515, 720, "Total 12.345,00", true);
            font(cr, 8, false);
            text(cr, 257, 750, "Page " + std::to_string(p + 1) + " of " + std::to_string(kPages),
                 false, true);
            cairo_show_page(cr);
        }
        cairo_destroy(cr);
        cairo_surface_finish(s);
        cairo_surface_destroy(s);
        cairo_surface_destroy(img);
        std::fclose(out);
    }
    state.counters["pages/s"] =
        benchmark::Counter(double(kPages) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(pdf));
}
BENCHMARK(BM_CairoDirect)->Unit(benchmark::kMillisecond);

const char kOnePage[] =
    "FONT \"Arial\" 14 BOLD\nTEXT 10 20 \"Delivery note 7\"\nFONT \"Arial\" 10\n"
    "RECT 10 30 190 20 0.5 BLACK LIGHTGRAY\nTEXT 12 42 \"Two boxes of paper\"\n";

// createPdfStream: text to bytes through the two temporary files. With a
// random suffix each call makes two new files (up to 10,001 names, all left
// in the folder); with a fixed one it rewrites the same two, as the direct
// call below rewrites its PDF.
void BM_CreatePdfStream(benchmark::State& state) {
    const bool fixedSuffix = state.range(0) != 0;
    if (fixedSuffix)
        orv::platform::setSystemCall(
            "random", reinterpret_cast<orv::platform::SystemCall>(+[] { return 0.5f; }));
    setenv("TMPDIR", folder().c_str(), 1);
    orv::Funzioni f;
    const orv::Variant commands(orv::fromUtf8(kOnePage));
    orv::Variant pdf;
    for (auto _ : state) {
        orv::ErrInfo r = f.createPdfStream(commands, pdf);
        if (!r.isSuccess()) {
            state.SkipWithError(
                ("createPdfStream failed: " + orv::toUtf8(r.descriptionInfo())).c_str());
            break;
        }
    }
    orv::platform::setSystemCall("random", nullptr);
}
BENCHMARK(BM_CreatePdfStream)
    ->ArgName("fixed_suffix")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The engine's entry point on the same commands, already in a file.
void BM_DirectTvpdfrun(benchmark::State& state) {
    const std::string cmd = folder() + "/one.cmd", pdf = folder() + "/one.pdf";
    FILE* f = std::fopen(cmd.c_str(), "wb");
    std::fputs(kOnePage, f);
    std::fclose(f);
    orv::platform::PdfEntryPoint entry = nullptr;
    try {
        entry = orv::platform::pdfEngine();
    } catch (const orv::RuntimeError& e) {
        // No engine: say why and let the other benchmarks run.
        state.SkipWithError(orv::toUtf8(e.description()).c_str());
        return;
    }
    char message[orv::platform::kPdfMessageSize];
    for (auto _ : state) {
        std::memset(message, ' ', sizeof message);
        if (entry(cmd.c_str(), pdf.c_str(), message) != 0) state.SkipWithError("Tvpdfrun failed");
    }
}
BENCHMARK(BM_DirectTvpdfrun)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
