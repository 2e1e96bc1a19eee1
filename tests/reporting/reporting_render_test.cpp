// Reports rendered by the real targets: the preview saved as PNG, the printed
// PDF (pixels through pdftoppm, word positions through pdftotext -bbox), the
// preview window under Xvfb, and a print job through a private CUPS server.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "orvcommon/platform/report_target.hpp"
#include "orvcommon/reporting/reporting.hpp"
#include "reporting/recording_target.hpp"
#include "reporting/render_support.hpp"
#include "support/errors.hpp"
#include "support/loopback_server.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::FreshTargets;
using V = Variant;

// Page `page` of the sample report: standard layout, a red box from (6, 6)
// to (10, 8) cm and one line of text.
void drawPage(Reporting& r, int page) {
    r.prtLayoutPaginaBase(V(u"Stock report"), V(u"Shop"), V(int16_t(page)), V(true));
    r.prtBox(V(6), V(6), V(10), V(8), 0x0000FF);
    V size(int16_t{11});
    r.prtTesto(V(2), V(10), size, false, false, u"Line of text");
}

// The sample report's pages 1 and 2 printed to `printer` (ORV_PRINTER).
void printTwoPages(const std::string& printer) {
    test::ScopedEnv env("ORV_PRINTER", printer.c_str());
    Reporting r;
    r.setOutputMode(torPRINTER);
    r.openReport();
    drawPage(r, 1);
    r.newPage();
    drawPage(r, 2);
    r.closeReport();
}

constexpr double kCm = 567;  // twips

// Pixel of a centimetre coordinate on the 96-dpi preview (70 percent, 15
// twips a pixel).
int formPixel(double cm) {
    return static_cast<int>(std::floor(cm * kCm * 0.7 / 15));
}

// Checks a page image of the sample report: `px` maps centimetres to pixels.
void expectSamplePage(const test::Image& img, const std::function<int(double)>& px) {
    // The frame, 1 cm in from the A4 page's edges: dark edges, white inside.
    EXPECT_GT(img.darkIn(px(1) - 1, px(14), px(1) + 2, px(14) + 1), 0);
    EXPECT_GT(img.darkIn(px(5), px(1) - 1, px(5) + 1, px(1) + 2), 0);
    EXPECT_EQ(img.darkIn(px(5), px(16), px(18), px(24)), 0);
    // The box's fill (0x0000FF is red) inside its black outline.
    const uint32_t fill = img.at(px(8), px(7));
    EXPECT_TRUE(fill >> 16 >= 0xF0 && (fill & 0xFFFF) <= 0x1010) << std::hex << fill;
    EXPECT_GT(img.darkIn(px(6) - 1, px(7), px(6) + 2, px(7) + 1), 0);
    // Ink where the layout put the header, page number and date, none beside.
    const double header = 1.2, last = 27.1, line = 0.35;
    EXPECT_GT(img.darkIn(px(9.5), px(header), px(11), px(header + line)), 0);
    EXPECT_EQ(img.darkIn(px(2.6), px(header), px(8.2), px(header + line)), 0);
    EXPECT_GT(img.darkIn(px(16), px(last), px(18.5), px(last + line)), 0);  // page number
    EXPECT_GT(img.darkIn(px(2), px(last), px(6), px(last + line)), 0);      // date
    EXPECT_EQ(img.darkIn(px(7), px(last), px(15.5), px(last + line)), 0);
}

TEST(ReportingRendered, PreviewIsSavedAsPngAt96DotsPerInchWithoutADisplay) {
    FreshTargets fresh;
    test::Sandbox box;
    const std::string png = box.path("preview.png");
    test::ScopedEnv noDisplay("DISPLAY", nullptr);
    test::ScopedEnv target("ORV_PREVIEW_PNG", png.c_str());
    Reporting r;
    r.openReport();
    drawPage(r, 1);
    r.newPage();  // nothing on the form: page 2 is drawn over page 1
    r.closeReport();
    auto img = test::Image::load(png);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 539);
    EXPECT_EQ(img->height, 740);
    expectSamplePage(*img, formPixel);
}

TEST(ReportingRendered, PrinterWritesOnePdfPagePerPageAtTwentyTwipsAPoint) {
    FreshTargets fresh;
    test::Sandbox box;
    const std::string pdf = box.path("report.pdf");
    printTwoPages("file:" + pdf);

    // Twenty twips a point: the text where the caller put it (2 cm, 10 cm),
    // and each page's number after "Pagina:", on two pages only.
    const auto words = test::pdfWords(pdf);
    const test::Word* line = test::findWord(words, 1, "Line");
    ASSERT_TRUE(line);
    EXPECT_NEAR(line->xMin, 2 * kCm / 20, 0.5);
    EXPECT_NEAR(line->yMin, 10 * kCm / 20, 1.0);
    for (int page : {1, 2}) {
        const test::Word* w = test::findWord(words, page, "Pagina:");
        ASSERT_TRUE(w && w + 1 != words.data() + words.size());
        EXPECT_EQ((w + 1)->text, std::to_string(page));
    }
    EXPECT_EQ(words.back().page, 2);

    // Page 1 at 144 dpi: 10 twips a pixel.
    auto img = test::renderPdfPage(pdf, 144, box.path("page"));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 1191);  // A4
    expectSamplePage(*img, [](double cm) { return static_cast<int>(std::floor(cm * kCm / 10)); });
}

TEST(ReportingRendered, DestinationFailuresAreRunTimeErrors) {
    test::Sandbox box;
    const std::string missingDir = box.path("no/such/folder/x");
    struct Case {
        const char* name;
        const char* printer;  // ORV_PRINTER, null for none
        const char* preview;  // ORV_PREVIEW_PNG
        int32_t mode;
        int32_t openError, closeError;
    };
    const std::string badPdf = "file:" + missingDir + ".pdf";
    const std::string badPng = missingDir + ".png";
    const Case cases[] = {
        {"empty file name", "file:", nullptr, torPRINTER, 482, 0},
        {"no such CUPS destination", "orv-no-such-queue", nullptr, torPRINTER, 482, 0},
        {"PDF into a missing folder", badPdf.c_str(), nullptr, torPRINTER, 0, 76},
        {"PNG into a missing folder", nullptr, badPng.c_str(), torFORM, 0, 76},
    };
    // A CUPS server that does not answer: a loopback port nobody listens on.
    test::ScopedEnv cups("CUPS_SERVER", "127.0.0.1:9");
    test::ScopedEnv noDisplay("DISPLAY", nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshTargets fresh;
        test::ScopedEnv printer("ORV_PRINTER", c.printer);
        test::ScopedEnv preview("ORV_PREVIEW_PNG", c.preview);
        Reporting r;
        r.setOutputMode(c.mode);
        EXPECT_EQ(test::errorNumberOf([&] { r.openReport(); }), c.openError);
        if (c.openError) continue;
        drawPage(r, 1);
        EXPECT_EQ(test::errorNumberOf([&] { r.closeReport(); }), c.closeError);
        // The failed document is gone: closing again does nothing.
        EXPECT_EQ(test::errorNumberOf([&] { r.closeReport(); }), 0);
    }
}

// A display number with no server and no lock file.
int freeDisplay() {
    for (int n = 91; n < 200; ++n)
        if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) &&
            !fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            return n;
    return -1;
}

TEST(ReportingRendered, PreviewWindowShowsThePageUnderXvfb) {
    FreshTargets fresh;
    test::Sandbox box;
    const int n = freeDisplay();
    ASSERT_GT(n, 0);
    const std::string display = ":" + std::to_string(n);
    test::Child xvfb(
        {"/usr/bin/Xvfb", display, "-screen", "0", "800x800x24", "-dpi", "96", "-nolisten", "tcp"},
        box.path("xvfb.log"));
    test::waitFor([&] { return fs::exists("/tmp/.X11-unix/X" + std::to_string(n)); });
    ASSERT_TRUE(xvfb.running() && fs::exists("/tmp/.X11-unix/X" + std::to_string(n)))
        << "Xvfb did not start: " << test::readBytes(box.path("xvfb.log"));
    test::ScopedEnv env("DISPLAY", display.c_str());
    test::ScopedEnv noPng("ORV_PREVIEW_PNG", nullptr);

    const auto screenshot = [&](const std::string& name) {
        test::runCommand("/usr/bin/import -display " + display + " -window root " + box.path(name));
        return test::Image::load(box.path(name));
    };

    Reporting r;
    r.openReport();
    drawPage(r, 1);
    r.newPage();  // a library call: the window repaints what it needs
    auto shown = screenshot("shown.png");
    ASSERT_TRUE(shown);
    // No window manager: the window sits at (0, 0) with a 1-pixel border.
    expectSamplePage(*shown, [](double cm) { return formPixel(cm) + 1; });
    r.closeReport();
    auto closed = screenshot("closed.png");
    ASSERT_TRUE(closed);
    EXPECT_NE(closed->at(formPixel(8.8) + 1, formPixel(21) + 1), 0xFFFFFFu);
}

TEST(ReportingRendered, PrintsThroughAPrivateCupsServerToACupsPdfQueue) {
    // cups-pdf refuses to run unless the scheduler runs as root.
    if (geteuid() != 0) GTEST_SKIP() << "NOT RUN: printing through cups-pdf needs root";
    for (const char* p : {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/bin/lpstat",
                          "/usr/lib/cups/backend/cups-pdf", "/usr/bin/pdftoppm"})
        ASSERT_EQ(access(p, X_OK), 0) << p << " is not installed";
    FreshTargets fresh;
    test::Sandbox box;
    const fs::path dir = box.dir();
    // The filters run as lp: the spool must be reachable for them.
    ASSERT_EQ(
        test::runCommand("cd " + dir.string() +
                         " && mkdir -p root/ppd spool/tmp cache state log && chmod 755 . && "
                         "chgrp lp spool spool/tmp && chmod 710 spool && chmod 1770 spool/tmp")
            .exitCode,
        0);
    const int port = test::refusedLoopbackPort();  // free: nobody listens there
    test::writeBytes((dir / "cupsd.conf").string(),
                     "Listen 127.0.0.1:" + std::to_string(port) +
                         "\nLogLevel info\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                         "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                         "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                         "</Policy>\n");
    const std::string d = dir.string();
    test::writeBytes((dir / "cups-files.conf").string(),
                     "ServerRoot " + d + "/root\nRequestRoot " + d + "/spool\nTempDir " + d +
                         "/spool/tmp\nCacheDir " + d + "/cache\nStateDir " + d +
                         "/state\nErrorLog " + d + "/log/error_log\nAccessLog " + d +
                         "/log/access_log\nPageLog " + d +
                         "/log/page_log\nSystemGroup root\nUser lp\nGroup lp\n");
    test::Child cupsd(
        {"/usr/sbin/cupsd", "-f", "-c", d + "/cupsd.conf", "-s", d + "/cups-files.conf"},
        d + "/log/cupsd.out");
    const std::string server = "127.0.0.1:" + std::to_string(port);
    test::ScopedEnv cups("CUPS_SERVER", server.c_str());
    bool up = false;
    test::waitFor([&] {
        up = test::runCommand("lpstat -r 2>&1").output.find("is running") != std::string::npos;
        return up || !cupsd.running();
    });
    ASSERT_TRUE(up) << "cupsd did not start: " << test::readBytes(d + "/log/cupsd.out")
                    << test::readBytes(d + "/log/error_log");
    const std::string queue = "orvtest";
    auto added = test::runCommand("lpadmin -p " + queue +
                                  " -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>&1");
    ASSERT_EQ(added.exitCode, 0) << added.output;

    // cups-pdf writes to the PDF folder in the home of the job's user.
    const std::string outputs = std::string(getpwuid(0)->pw_dir) + "/PDF/orvcommon_report*.pdf";
    test::runCommand("rm -f " + outputs);
    printTwoPages(queue);
    const bool done = test::waitFor(
        [&] {
            return !test::runCommand("lpstat -W completed -o " + queue + " 2>/dev/null")
                        .output.empty();
        },
        600);
    ASSERT_TRUE(done) << "the job did not complete: " << test::readBytes(d + "/log/error_log");

    // The job arrived whole: both pages (how they look is the PDF file test's matter).
    EXPECT_EQ(test::runCommand("pdfinfo " + outputs + " | grep -o '^Pages: *[0-9]*'").output,
              "Pages:           2\n");
    test::runCommand("rm -f " + outputs);
}

}  // namespace
}  // namespace orv
