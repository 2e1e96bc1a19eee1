// Reporting through the recording target: the exact calls, their order and
// coordinates on the printer (twips) and on the form (70 percent).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "orvcommon/platform/clock.hpp"
#include "orvcommon/reporting/reporting.hpp"
#include "reporting/recording_target.hpp"
#include "support/errors.hpp"
#include "support/system_call.hpp"

namespace orv {
namespace {

using Calls = std::vector<std::string>;
using V = Variant;

enum Mode : int32_t { kDefault = 0, kForm = torFORM, kPrinter = torPRINTER };

// Runs `body` on a Reporting in `mode` and returns the calls the target of
// that mode received.
Calls record(Mode mode, const std::function<void(Reporting&)>& body) {
    test::RecordingScope scope;
    Reporting r;
    if (mode != kDefault) r.setOutputMode(mode);
    body(r);
    const bool printer = mode == kPrinter;
    EXPECT_TRUE((printer ? scope.calls.form : scope.calls.printer).empty());
    return printer ? scope.calls.printer : scope.calls.form;
}

Calls edges(const std::string& x1, const std::string& y1, const std::string& x2,
            const std::string& y2) {
    return {"rect " + x1 + " " + y1 + " " + x1 + " " + y2 + " 0",
            "rect " + x1 + " " + y1 + " " + x2 + " " + y1 + " 0",
            "rect " + x2 + " " + y1 + " " + x2 + " " + y2 + " 0",
            "rect " + x1 + " " + y2 + " " + x2 + " " + y2 + " 0"};
}

Calls join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Calls text(const std::string& size, bool bold, const std::string& x, const std::string& y,
           const std::string& s) {
    Calls c{"font Courier New", "size " + size, bold ? "bold" : "not bold", "not italic", "x " + x};
    if (!y.empty()) c.push_back("y " + y);
    c.push_back("text " + s);
    return c;
}

TEST(Reporting, BoxFillsThenOutlinesInOrderOnEachTarget) {
    struct Case {
        Mode mode;
        int32_t colour;
        Calls expected;
    };
    const Case cases[] = {
        {kPrinter, 0, edges("1134", "1701", "5670", "2835")},
        {kForm, 0, edges("793.8", "1190.7", "3969", "1984.5")},
        {kDefault, 0, edges("793.8", "1190.7", "3969", "1984.5")},
        {kPrinter, 0x00FF8000,
         join({{"rect 1134 1701 5670 2835 16744448"}, edges("1134", "1701", "5670", "2835")})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(
            record(c.mode, [&](Reporting& r) { r.prtBox(V(2), V(3), V(10), V(5), c.colour); }),
            c.expected);
    }
    // Coordinates as text, decimals and Booleans convert like any number.
    EXPECT_EQ(
        record(kPrinter,
               [](Reporting& r) { r.prtBox(V(u"2"), V(3.0), V(int16_t{10}), V(float{5}), 0); }),
        edges("1134", "1701", "5670", "2835"));
}

TEST(Reporting, TextSetsFontThenPositionAndContinuesTheLineAtZero) {
    EXPECT_EQ(record(kPrinter,
                     [](Reporting& r) {
                         V size(int16_t{10});
                         r.prtTesto(V(2), V(3), size, true, false, u"Item");
                         r.prtTesto(V(8), V(0), size, false, true, u"next");
                     }),
              join({text("10", true, "1134", "1701", "Item"),
                    {"font Courier New", "size 10", "not bold", "italic", "x 4536", "text next"}}));
    // On the form coordinates and the size are at 70 percent; Empty also
    // keeps the line.
    EXPECT_EQ(record(kForm,
                     [](Reporting& r) {
                         V size(int16_t{10});
                         r.prtTesto(V(2), V(), size, false, false, u"a");
                     }),
              text("7", false, "793.8", "", "a"));
}

TEST(Reporting, LayoutDrawsItsElementsInOrder) {
    test::ReplacedCall clock("clock", [] { return platform::LocalTime{2026, 12, 4, 9, 5, 0, 0}; });
    const Calls frame = edges("567", "567", "10773", "15309");
    struct Case {
        const char* name;
        std::function<void(Reporting&)> call;
        Calls expected;
    };
    const Case cases[] = {
        {"no arguments: thin frame only", [](Reporting& r) { r.prtLayoutPaginaBase(); }, frame},
        {"thin, everything",
         [](Reporting& r) {
             r.prtLayoutPaginaBase(V(u"Stock report"), V(u"Shop"), V(int16_t{3}), V(true));
         },
         join({frame, edges("567", "1134", "10773", "1134"),
               text("14", true, "4876.2", "680.4", "Stock report"),
               edges("567", "14742", "10773", "14742"),
               text("12", true, "5556.6", "14855.4", "Shop"),
               text("10", false, "9072", "15365.7", "Pagina: 3"),
               text("10", false, "1134", "15365.7", "04/12/2026  09:05")})},
        {"bold bars, header rule",
         [](Reporting& r) {
             r.prtLayoutPaginaBase(V(u""), Missing{}, Missing{}, V(false), V(true));
         },
         join({{"rect 567 567 10773 578.34 4210752"},
               edges("567", "567", "10773", "578.34"),
               {"rect 567 15309 10773 15320.34 4210752"},
               edges("567", "15309", "10773", "15320.34"),
               {"rect 567 567 578.34 15309 4210752"},
               edges("567", "567", "578.34", "15309"),
               {"rect 10773 567 10784.34 15309 4210752"},
               edges("10773", "567", "10784.34", "15309"),
               {"rect 567 1134 10773 1145.34 4210752"},
               edges("567", "1134", "10773", "1145.34"),
               text("14", true, "5896.8", "680.4", "")})},
        // Only True itself selects the bold layout; Null is no date.
        {"text True is thin, Null date",
         [](Reporting& r) {
             r.prtLayoutPaginaBase(Missing{}, Missing{}, Missing{}, V(Null{}), V(u"True"));
         },
         frame},
        {"page number Null joins nothing",
         [](Reporting& r) { r.prtLayoutPaginaBase(Missing{}, Missing{}, V(Null{})); },
         join({frame, text("10", false, "9072", "15365.7", "Pagina: ")})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(record(kPrinter, c.call), c.expected);
    }
    // A bold layout with -1 as a Long is bold too: 4 bars of 5 calls.
    EXPECT_EQ(record(kPrinter,
                     [](Reporting& r) {
                         r.prtLayoutPaginaBase(Missing{}, Missing{}, Missing{}, Missing{},
                                               V(int32_t{-1}));
                     })
                  .size(),
              20u);
}

TEST(Reporting, HeaderCentringRoundsHalvesToEvenIn16Bits) {
    struct Case {
        size_t length;
        const char* x;  // printer twips of the header's start
    };
    const Case cases[] = {
        {12, "4876.2"},  // k = 22: 8.6 cm
        {11, "4876.2"},  // 22.5 -> 22
        {13, "4876.2"},  // 21.5 -> 22
        {55, "1134"},    // 0.5 -> 0
        {57, "1134"},    // -0.5 -> 0
        {60, "793.8"},   // k = -2: 1.4 cm, left of 2 cm
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const Calls calls =
            record(kPrinter, [&](Reporting& r) { r.prtLayoutPaginaBase(V(Text(c.length, u'h'))); });
        auto t = std::find_if(calls.begin(), calls.end(),
                              [](const std::string& s) { return s.rfind("text ", 0) == 0; });
        ASSERT_NE(t, calls.end());
        EXPECT_EQ(*(t - 2), std::string("x ") + c.x);
    }
    // An offset beyond 16 bits overflows after the frame is drawn.
    test::RecordingScope scope;
    Reporting r;
    r.setOutputMode(torPRINTER);
    EXPECT_EQ(test::errorNumberOf([&] { r.prtLayoutPaginaBase(V(Text(70000, u'h'))); }), 6);
    EXPECT_EQ(scope.calls.printer.size(), 8u);  // frame and header rule
}

TEST(Reporting, BoxWithTextFollowsEachTargetsPath) {
    // Printer: the box reaches the end of the text (4 characters of 10 points
    // recorded as 480 twips) and 0.5 cm below its top.
    const Calls printer = record(kPrinter, [](Reporting& r) {
        V size(int16_t{10});
        r.prtBoxWithTesto(V(2), V(3), size, false, false, u"Item", 0xFF, V(99));
    });
    EXPECT_EQ(printer, join({text("10", false, "1134", "1701", "Item"),
                             {"rect 1020.6 1701 1614 1984.5 255"},
                             edges("1020.6", "1701", "1614", "1984.5"),
                             text("10", false, "1134", "1701", "Item")}));
    // Form: the box is iLenBox long and 0.04 cm per point high, at 70 percent.
    const Calls form = record(kForm, [](Reporting& r) {
        V size(int16_t{10});
        r.prtBoxWithTesto(V(2), V(3), size, false, false, u"Item", 0xFF, V(4));
    });
    EXPECT_EQ(form, join({text("7", false, "793.8", "1190.7", "Item"),
                          {"rect 714.42 1190.7 2381.4 1349.46 255"},
                          edges("714.42", "1190.7", "2381.4", "1349.46"),
                          text("7", false, "793.8", "1190.7", "Item")}));
}

TEST(Reporting, OpenNewPageAndCloseReachOnlyTheirTarget) {
    for (const auto& [mode, expected] :
         {std::pair{kPrinter, Calls{"paper 9", "page", "end"}}, {kDefault, Calls{"show", "close"}}})
        EXPECT_EQ(record(mode,
                         [](Reporting& r) {
                             r.openReport();
                             r.newPage();
                             r.closeReport();
                         }),
                  expected);

    // The form is made by the first drawing call, not by newPage or
    // closeReport, and closeReport discards it.
    test::RecordingScope scope;
    Reporting r;
    r.newPage();
    r.closeReport();
    EXPECT_EQ(scope.calls.formsMade, 0);
    r.prtBox(V(1), V(1), V(2), V(2), 0);
    r.closeReport();
    r.prtBox(V(1), V(1), V(2), V(2), 0);
    EXPECT_EQ(scope.calls.formsMade, 2);
}

TEST(Reporting, FailuresReachTheCallerAndKeepWhatWasDrawn) {
    struct Case {
        const char* name;
        std::function<void(Reporting&)> call;
        int32_t error;
        size_t callsBefore;
    };
    const Case cases[] = {
        {"coordinate not a number", [](Reporting& r) { r.prtBox(V(1), V(u"x"), V(2), V(2), 0); },
         13, 0},
        {"Null coordinate", [](Reporting& r) { r.prtBox(V(Null{}), V(1), V(2), V(2), 0); }, 94, 0},
        {"text at a bad x, after the font name",
         [](Reporting& r) {
             V size(int16_t{10});
             r.prtTesto(V(u"?"), V(1), size, false, false, u"t");
         },
         13, 4},
        {"Null size, after the font name",
         [](Reporting& r) {
             V size{Null{}};
             r.prtTesto(V(1), V(1), size, false, false, u"t");
         },
         94, 1},
        {"date that is not a Boolean, after the frame",
         [](Reporting& r) { r.prtLayoutPaginaBase(Missing{}, Missing{}, Missing{}, V(u"soon")); },
         13, 4},
        {"coordinate beyond single precision",
         [](Reporting& r) { r.prtBox(V(1e300), V(1), V(2), V(2), 0); }, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingScope scope;
        Reporting r;
        EXPECT_EQ(test::errorNumberOf([&] { c.call(r); }), c.error);
        EXPECT_EQ(scope.calls.form.size(), c.callsBefore);
    }
}

TEST(Reporting, FormattaStringaSplitsAtASpace) {
    struct Case {
        const char16_t* in;
        int16_t width;
        const char16_t* first;
        const char16_t* rest;
    };
    const Case cases[] = {
        {u"the quick brown fox", 10, u"the quick", u"brown fox"},
        {u"abcdefghijklmno", 10, u"abcdefghij", u"klmno"},
        {u"abc def", 7, u"abc def", u""},
        {u"abc  def", 4, u"abc ", u"def"},
        {u"abcdef ghi", 6, u"abcdef", u"ghi"},  // space right after the width
        {u" abcdefgh", 4, u" abc", u"defgh"},   // a space at 1 does not count
        {u"ab", 0, u"", u"ab"},                 // nothing fits
        {u"", 0, u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toUtf8(c.in));
        Reporting r;
        Text s = c.in;
        EXPECT_EQ(r.formattaStringa(s, c.width), c.first);
        EXPECT_EQ(s, c.rest);
    }
    Reporting r;
    Text s = u"keep";
    EXPECT_EQ(test::errorNumberOf([&] { r.formattaStringa(s, -1); }), 5);
    EXPECT_EQ(test::errorNumberOf([&] { r.formattaStringa(s, 32767); }), 6);
    EXPECT_EQ(s, u"keep");
}

}  // namespace
}  // namespace orv
