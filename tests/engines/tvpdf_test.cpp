// Our PDF engine: its messages, its output checked with qpdf, rendered with
// pdftoppm and read back with pdftotext, and every example of its reference.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>

#include "document.hpp"
#include "orvcommon/platform/pdf_engine.hpp"
#include "reporting/render_support.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

// Runs a shell command; its output includes standard error.
test::CommandResult shell(const std::string& cmd) {
    return test::runCommand(cmd + " 2>&1");
}

// A 40 x 20 PNG of one colour.
void writePng(const std::string& path) {
    ASSERT_EQ(shell("convert -size 40x20 xc:'#0000FF' '" + path + "'").exitCode, 0);
}

// A pixel's colour as three digits, red, green and blue, each 0 to 3.
std::string colourAt(const test::Image& img, int x, int y) {
    const uint32_t p = img.at(x, y);
    return std::to_string((p >> 22) & 3) + std::to_string((p >> 14) & 3) +
           std::to_string((p >> 6) & 3);
}

// Runs the engine on `commands`; "" on success, else the message.
std::string render(const test::Sandbox& box, const std::string& commands,
                   const std::string& pdf = "out.pdf", tvpdf::Code* code = nullptr) {
    test::writeBytes(box.path("in.cmd"), commands);
    try {
        tvpdf::run(box.path("in.cmd"), box.path(pdf));
    } catch (const tvpdf::Error& e) {
        if (code) *code = e.code();
        return e.what();
    }
    return "";
}

TEST(Tvpdf, EveryErrorNamesItsCauseAndFitsTheBuffer) {
    const std::string longText(200, 'x');
    const tvpdf::Code Syn = tvpdf::kSyntax, Res = tvpdf::kResource;
    const struct {
        std::string commands;
        tvpdf::Code code;
        std::string message;
    } cases[] = {
        {"TEXT 1 1 \"a\"\r\n\r\nTEXTT 1 1 \"a\"", Syn, "Line 3: unknown command \"TEXTT\""},
        {"TEXT 1 1", Syn, "Line 1: TEXT takes 3 to 4 arguments, found 2"},
        {"NEWPAGE 1", Syn, "Line 1: NEWPAGE takes 0 arguments, found 1"},
        {"UNITS", Syn, "Line 1: UNITS takes 1 argument, found 0"},
        {"TEXT 12,5 1 \"a\"", Syn, "Line 1: bad number \"12,5\""},
        {"LINE 1 1 1 nan", Syn, "Line 1: bad number \"nan\""},
        {"LINE 1 1 1 1000001", Syn, "Line 1: bad number \"1000001\""},
        {"FONT \"Arial\" 0", Syn, "Line 1: size must be greater than 0: \"0\""},
        {"TEXTCOLOR #12345", Syn, "Line 1: bad colour \"#12345\" (#RRGGBB or a colour name)"},
        {"LINE 1 1 2 2 1 NONE", Syn, "Line 1: bad colour \"NONE\" (#RRGGBB or a colour name)"},
        {"TEXT 1 1 \"a\" JUSTIFY", Syn, "Line 1: JUSTIFY is for TEXTBLOCK only"},
        {"PAGE B5", Syn, "Line 1: unknown paper \"B5\" (A3, A4, A5, LETTER, LEGAL)"},
        {"PAGE A4 UP", Syn, "Line 1: bad orientation \"UP\" (PORTRAIT or LANDSCAPE)"},
        {"UNITS KM", Syn, "Line 1: unknown unit \"KM\" (MM, CM, PT, IN)"},
        {"FONT \"Arial\" 9 THIN", Syn, "Line 1: unknown font style \"THIN\" (BOLD, ITALIC)"},
        {"PAGESIZE 6000 10", Syn, "Line 1: page larger than 200 inches"},
        {"TEXT 1 1 \"open", Syn, "Line 1: text in quotes is not closed"},
        {"TEXT 1 1 \"a\"b", Syn, "Line 1: a blank must follow the closing quote"},
        {std::string("TEXT 1 1 \"a\0b\"", 14), Syn, "Line 1: NUL byte in the line"},
        {"TEXT 1 1 \"" + longText + "\" " + longText, Syn,
         "Line 1: bad alignment \"" + std::string(40, 'x') +
             "...\" (LEFT, CENTER, RIGHT, JUSTIFY)"},
        {"\nFONT \"Nofont\" 9", Res, "Line 2: font not found: \"Nofont\""},
        {"IMAGE 1 1 1 1 \"missing.png\"", Res, "Line 1: image not found: \"missing.png\""},
        {"IMAGE 1 1 1 1 \"in.cmd\"", Res, "Line 1: not a readable PNG image: \"in.cmd\""},
        // Only regular files are images: a FIFO is never waited on.
        {"IMAGE 1 1 1 1 \"fifo.png\"", Res, "Line 1: not a readable PNG image: \"fifo.png\""},
        // A UTF-8 file: its characters must exist in code page 1252.
        {"TEXT 1 1 \"\xC3\xA0\"\n\nTEXT 1 1 \"\xE4\xB8\xAD\"", Syn,
         "Line 3: character U+4E2D is not in code page 1252"},
    };
    for (const auto& c : cases) {
        test::Sandbox box(false);
        test::writeBytes(box.path("out.pdf"), "old");
        ASSERT_EQ(mkfifo(box.path("fifo.png").c_str(), 0600), 0);
        tvpdf::Code code = tvpdf::kOk;
        const std::string message = render(box, c.commands, "out.pdf", &code);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(test::readBytes(box.path("out.pdf")), "old");  // left alone
    }
}

TEST(Tvpdf, FileFailuresThroughTheEntryPoint) {
    test::Sandbox box(false);
    const platform::PdfEntryPoint entry = [] {
        test::ScopedEnv engine("ORV_TVPDF", ORV_TVPDF_LIBRARY);
        return platform::pdfEngine();
    }();
    test::writeBytes(box.path("ok.cmd"), "TEXT 1 1 \"a\"");
    const std::string longFolder = box.path(std::string(180, 'd'));
    const struct {
        std::string cmd, pdf;
        int16_t code;
        std::string message;
    } cases[] = {
        {box.path("none.cmd"), box.path("x.pdf"), tvpdf::kIo,
         "Cannot read the command file \"" + box.path("none.cmd") + "\""},
        {box.path("ok.cmd"), longFolder + "/x.pdf", tvpdf::kIo,
         "Cannot write the PDF file \"..." +
             (longFolder + "/x.pdf").substr(longFolder.size() - 54) + "\""},
        {box.path("ok.cmd"), box.path("ok.pdf"), tvpdf::kOk, ""},
    };
    for (const auto& c : cases) {
        char message[platform::kPdfMessageSize];
        std::memset(message, ' ', sizeof message);
        EXPECT_EQ(entry(c.cmd.c_str(), c.pdf.c_str(), message), c.code);
        if (c.code != tvpdf::kOk) {  // NUL-ended inside the buffer
            EXPECT_EQ(std::string(message, strnlen(message, sizeof message)), c.message);
        }
    }
}

TEST(Tvpdf, CommandExitsWithTheEngineCodeAndMessage) {
    test::Sandbox box(false);
    test::writeBytes(box.path("bad.cmd"), "TEXT 1 1 \"a\"\nBOGUS");
    test::writeBytes(box.path("ok.cmd"), "TEXT 1 1 \"a\"");
    // The command's output, standard error included, then its exit code.
    const auto tvpdf = [&](const std::string& args) {
        return shell(std::string("'") + ORV_TVPDF_COMMAND + "' " + args + " 2>&1; echo $?").output;
    };
    EXPECT_EQ(tvpdf(box.path("bad.cmd") + " " + box.path("bad.pdf")),
              "tvpdf: Line 2: unknown command \"BOGUS\"\n1\n");
    EXPECT_EQ(tvpdf(box.path("ok.cmd") + " " + box.path("ok.pdf")), "0\n");
    const std::string usage = tvpdf(box.path("ok.cmd"));
    EXPECT_EQ(usage.substr(usage.size() - 3), "64\n");
}

TEST(Tvpdf, MarksLandWhereTheCommandsPutThem) {
    test::Sandbox box(false);
    writePng(box.path("logo.png"));
    const std::string commands =
        "UNITS PT\r\n"
        "TITLE \"Checks\"\r\nAUTHOR \"Tests\"\r\n"
        "RECT 100 100 100 50 1 NONE #FF0000\r\n"
        "LINE 50 300 250 300 4 #0000FF\r\n"
        "IMAGE 300 100 100 100 \"logo.png\"\r\n"
        "FONT \"Arial\" 48\r\nTEXT 100 500 \"HHHH\"\r\n"
        "FONT \"Arial\" 12\r\n"
        "TEXT 100 200 \"Left\"\r\nTEXT 400 230 \"Right\" RIGHT\r\nTEXT 300 260 \"Middle\" "
        "CENTER\r\n"
        "TEXTBLOCK 100 600 120 \"alpha beta gamma delta epsilon zeta eta theta iota\"\r\n"
        "TEXTBLOCK 300 600 150 \"one two three four five six seven eight nine ten eleven twelve "
        "thirteen fourteen fifteen sixteen\" "
        "JUSTIFY\r\n"
        "FONT \"Arial\" 48\r\nTEXT 300 400 \"\xC4\xC4\"\r\nFONT \"Arial\" 12\r\n"
        "MARGINS 50 700 0 0\r\nTEXT 0 20 \"Shifted\"\r\n"
        "NEWPAGE\r\nFONT \"Courier New\" 10\r\nTEXT 10 10 \"Page {PAGE} of {PAGES}\"\r\n";
    ASSERT_EQ(render(box, commands), "");
    const std::string pdf = box.path("out.pdf");

    // The first page at 72 dpi, one pixel a point.
    const auto img = test::renderPdfPage(pdf, 72, box.path("page"));
    ASSERT_TRUE(img);
    ASSERT_GE(img->width, 595);
    const auto colour = [&](int x, int y) { return colourAt(*img, x, y); };
    EXPECT_EQ(colour(150, 125), "300");  // inside the red rectangle
    EXPECT_EQ(colour(90, 125), "333");   // left of it
    EXPECT_EQ(colour(150, 300), "003");  // on the blue line
    EXPECT_EQ(colour(150, 306), "333");  // below it
    // The image keeps its 2:1 shape: blue in the middle of the box, white
    // above and below the 100 x 50 band it is scaled to.
    EXPECT_EQ(colour(350, 150), "003");
    EXPECT_EQ(colour(350, 110), "333");
    EXPECT_GT(img->darkIn(100, 460, 260, 502), 1000);  // the 48-point text
    EXPECT_EQ(img->darkIn(300, 460, 500, 502), 0);
    // "\xC4" is made of two glyphs (A and the dieresis): both drawn.
    EXPECT_GT(img->darkIn(300, 370, 380, 400), 300);
    EXPECT_GT(img->darkIn(300, 355, 380, 366), 20);
    // Justified lines, measured on the drawn glyphs: every line but the
    // last starts at 300 and ends at 450 (12-point lines, 14.4 apart).
    std::vector<std::pair<int, int>> lines;  // first and last dark column
    for (int band = 0; band < 5; ++band) {
        int first = 1000, last = -1;
        for (int y = 600 + band * 144 / 10; y < 600 + (band + 1) * 144 / 10; ++y)
            for (int x = 290; x < 470; ++x)
                if (img->dark(x, y)) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        if (last >= 0) lines.emplace_back(first, last);
    }
    ASSERT_GE(lines.size(), 3u);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_NEAR(lines[i].first, 300, 1.5);
        EXPECT_NEAR(lines[i].second, 449, 1.5);
    }

    const auto words = test::pdfWords(pdf);
    const auto at = [&](int page, const char* w) {
        const test::Word* found = test::findWord(words, page, w);
        EXPECT_TRUE(found) << w;
        return found ? *found : test::Word{};
    };
    EXPECT_NEAR(at(1, "Left").xMin, 100, 1.5);
    EXPECT_NEAR(at(1, "Right").xMax, 400, 1.5);
    EXPECT_NEAR((at(1, "Middle").xMin + at(1, "Middle").xMax) / 2, 300, 1.5);
    EXPECT_NEAR(at(1, "Shifted").xMin, 50, 1.5);
    // The wrapped block: every word once, in order, within its 120 points.
    std::string block;
    std::set<double> lineTops;
    for (const test::Word& w : words)
        if (w.page == 1 && w.yMin > 590 && w.yMin < 700 && w.xMin < 290) {
            block += w.text + (w.xMin >= 99.5 && w.xMax <= 220.5 ? " " : " (outside) ");
            lineTops.insert(std::round(w.yMin));
        }
    EXPECT_EQ(block, "alpha beta gamma delta epsilon zeta eta theta iota ");
    EXPECT_GE(lineTops.size(), 3u);
    EXPECT_NEAR(*lineTops.begin(), 600, 1.5);

    EXPECT_EQ(std::count_if(words.begin(), words.end(),
                            [](const test::Word& w) { return w.page == 2 && w.text == "2"; }),
              2);  // "Page 2 of 2"
    EXPECT_EQ(shell("pdfinfo '" + pdf + "' | grep -E '^(Title|Author|Pages):'").output,
              "Title:           Checks\nAuthor:          Tests\nPages:           2\n");
    EXPECT_EQ(shell("pdffonts '" + pdf + "' | tail -n +3 | awk '{print $1}' | sed 's/.*+//' | sort")
                  .output,
              "LiberationMono\nLiberationSans\n");
}

// Documents of every feature, each checked by tools that are not ours:
// qpdf finds no fault (not even a warning), pdftotext reads the words in
// order, pdffonts sees every font embedded.
TEST(Tvpdf, DocumentsPassQpdfAndKeepTheirWords) {
    std::string thousand, thousandWords;
    for (int p = 1; p <= 1000; ++p) {
        thousand += (p > 1 ? "NEWPAGE\n" : "") + std::string("TEXT 10 10 \"p{PAGE}\"\n");
        thousandWords += (p > 1 ? " p" : "p") + std::to_string(p);
    }
    const struct {
        const char* name;
        std::string commands;
        std::string words;
        size_t maxBytes = SIZE_MAX;  // fonts embedded as subsets keep the file small
    } cases[] = {
        {"fonts",
         "FONT \"Arial\" 10\nTEXT 10 10 \"Sans\"\nFONT \"Times New Roman\" 12 BOLD ITALIC\n"
         "TEXT 10 20 \"Serif\"\nFONT \"Courier New\" 9 BOLD\nTEXT 10 30 \"Mono\"\n"
         "FONT \"Liberation Sans\" 8 ITALIC\nTEXT 10 40 \"Any\"",
         "Sans Serif Mono Any", 100000},
        {"two images drawn twice on a page",
         "IMAGE 10 10 40 20 \"logo.png\"\nIMAGE 60 10 40 20 \"logo.png\"\n"
         "IMAGE 10 40 20 20 \"other.png\"\nIMAGE 60 40 20 20 \"other.png\"\nTEXT 10 80 \"images\"",
         "images"},
        {"a thousand pages", thousand, thousandWords},
        {"characters of code page 1252", "TEXT 10 10 \"Citt\xE0 \x80 5 \x93ok\x94\"",
         "Citt\xC3\xA0 \xE2\x82\xAC 5 \xE2\x80\x9Cok\xE2\x80\x9D"},
        {"the same as UTF-8",
         "TEXT 10 10 \"Citt\xC3\xA0 \xE2\x82\xAC 5 \xE2\x80\x9Cok\xE2\x80\x9D\"",
         "Citt\xC3\xA0 \xE2\x82\xAC 5 \xE2\x80\x9Cok\xE2\x80\x9D"},
        {"UTF-8 with its byte-order mark", "\xEF\xBB\xBFTEXT 10 10 \"plain\"", "plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::Sandbox box(false);
        writePng(box.path("logo.png"));
        ASSERT_EQ(shell("convert -size 8x8 xc:'#00FF00' '" + box.path("other.png") + "'").exitCode,
                  0);
        ASSERT_EQ(render(box, c.commands), "");
        const std::string pdf = "'" + box.path("out.pdf") + "'";
        const test::CommandResult check = shell("qpdf --check " + pdf);
        EXPECT_EQ(check.exitCode, 0) << check.output;
        EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
        std::string text = shell("pdftotext " + pdf + " -").output, words;
        std::istringstream in(text);
        for (std::string w; in >> w;)
            words += (words.empty() ? "" : " ") + w;
        EXPECT_EQ(words, c.words);
        // Every font row (below the two heading lines) says "yes" under "emb".
        EXPECT_EQ(
            shell("pdffonts " + pdf + " | tail -n +3 | awk '{print $(NF-4)}' | sort -u").output,
            "yes\n");
        EXPECT_LE(std::filesystem::file_size(box.path("out.pdf")), c.maxBytes);
    }
}

// Every kind of PNG, written by ImageMagick (an encoder that is not ours):
// the left half of each picture and its right half land in their colours,
// a transparent half shows the white page.
TEST(Tvpdf, EveryPngKindDecodes) {
    test::Sandbox box(false);
    const std::string redBlue = "-size 20x20 xc:'#FF0000' xc:'#0000FF' +append ";
    const std::string clearBlue = "-size 20x20 xc:'#FF000000' xc:'#0000FF' +append ";
    const std::string blackWhite = "-size 20x20 xc:black xc:white +append ";
    const struct {
        const char* name;
        std::string convert;
        const char* left;
        const char* right;
    } kinds[] = {
        {"rgb8", redBlue + "PNG24:", "300", "003"},
        {"rgb16", redBlue + "PNG48:", "300", "003"},
        {"rgba8", clearBlue + "PNG32:", "333", "003"},
        {"rgba16", clearBlue + "PNG64:", "333", "003"},
        {"palette", redBlue + "-define png:color-type=3 -define png:bit-depth=8 ", "300", "003"},
        {"palette, 2 bits", redBlue + "-define png:color-type=3 ", "300", "003"},
        {"palette with tRNS", "-size 20x20 xc:none xc:'#0000FF' +append PNG8:", "333", "003"},
        {"grey1", blackWhite + "-define png:color-type=0 -define png:bit-depth=1 ", "000", "333"},
        {"grey4", blackWhite + "-depth 4 -define png:color-type=0 -define png:bit-depth=4 ", "000",
         "333"},
        {"grey8", blackWhite + "-depth 8 -define png:color-type=0 ", "000", "333"},
        {"grey and alpha", "-size 20x20 xc:'#00000000' xc:black +append -define png:color-type=4 ",
         "333", "000"},
        {"interlaced", redBlue + "-interlace PNG PNG24:", "300", "003"},
    };
    std::string commands = "UNITS PT\n";
    for (int row = 0; const auto& k : kinds) {
        const std::string file = "k" + std::to_string(row) + ".png";
        ASSERT_EQ(shell("convert " + k.convert + "'" + box.path(file) + "'").exitCode, 0) << k.name;
        commands += "IMAGE 100 " + std::to_string(20 + 60 * row++) + " 80 40 \"" + file + "\"\n";
    }
    ASSERT_EQ(render(box, commands), "");
    EXPECT_EQ(shell("qpdf --check '" + box.path("out.pdf") + "'").exitCode, 0);
    const auto img = test::renderPdfPage(box.path("out.pdf"), 72, box.path("page"));
    ASSERT_TRUE(img);
    for (int row = 0; const auto& k : kinds) {
        const int y = 40 + 60 * row++;
        EXPECT_EQ(colourAt(*img, 120, y), k.left) << k.name;
        EXPECT_EQ(colourAt(*img, 160, y), k.right) << k.name;
    }
}

TEST(Tvpdf, PageSizesApplyToTheRightPages) {
    test::Sandbox box(false);
    ASSERT_EQ(render(box,
                     "PAGE A4 LANDSCAPE\nTEXT 1 1 \"a\"\nPAGE LETTER\nNEWPAGE\n"
                     "TEXT 1 1 \"b\"\nUNITS IN\nPAGESIZE 4 6\nNEWPAGE\nPAGE A5\n"),
              "");
    // PAGE on a page with nothing on it yet (the third) resizes that page.
    EXPECT_EQ(
        shell("pdfinfo -f 1 -l 3 '" + box.path("out.pdf") + "' | grep -o 'size: .* pts'").output,
        "size:  841.89 x 595.28 pts\nsize:  612 x 792 pts\nsize:  419.53 x 595.28 pts\n");
}

TEST(Tvpdf, EveryReferenceExampleRuns) {
    const std::string doc =
        test::readBytes(std::string(ORV_SOURCE_DIR) + "/docs/tvpdf-commands.md");
    const std::regex block("```tvpdf\n([^`]*)```");
    std::set<std::string> used;
    for (std::sregex_iterator it(doc.begin(), doc.end(), block), end; it != end; ++it) {
        const std::string example = (*it)[1];
        SCOPED_TRACE(example);
        test::Sandbox box(false);
        writePng(box.path("logo.png"));
        EXPECT_EQ(render(box, example), "");
        EXPECT_EQ(shell("qpdf --check '" + box.path("out.pdf") + "'").exitCode, 0);
        std::istringstream lines(example);
        for (std::string line; std::getline(lines, line);)
            used.insert(line.substr(0, line.find(' ')));
    }
    for (const std::string& name : tvpdf::commandNames())
        EXPECT_TRUE(used.count(name)) << name << " has no example";
}

}  // namespace
}  // namespace orv
