// Reporting through the recording target: the calls each target receives,
// their order, and where the marks land (printer twips; the form at 70
// percent of them).
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
using test::num;

constexpr float kCm = 567;  // twips: the caller's numbers are centimetres

enum Mode : int32_t { kDefault = 0, kForm = torFORM, kPrinter = torPRINTER };

// Runs `body` on a Reporting in `mode`; the calls and marks the target of
// that mode received (the other target received none).
test::Recorded record(Mode mode, const std::function<void(Reporting&)>& body) {
    test::RecordingScope scope;
    Reporting r;
    if (mode != kDefault) r.setOutputMode(mode);
    body(r);
    const bool printer = mode == kPrinter;
    EXPECT_TRUE((printer ? scope.form : scope.printer).calls.empty());
    return printer ? scope.printer : scope.form;
}

const test::Mark* find(const std::vector<test::Mark>& marks, const std::string& prefix) {
    for (const test::Mark& m : marks)
        if (!m.text.empty() && m.text.rfind(prefix, 0) == 0) return &m;
    return nullptr;
}

TEST(Reporting, CentimetresAreTwipsOnThePrinterAnd70PercentOfThemOnTheForm) {
    test::ReplacedCall clock("clock", [] { return platform::LocalTime{2026, 12, 4, 9, 5, 0, 0}; });
    // The reference: a box is filled (when it has a colour), then outlined;
    // text and other number types convert like any number.
    const std::string x1 = num(2 * kCm), y1 = num(3 * kCm), x2 = num(10 * kCm), y2 = num(5 * kCm);
    Calls box = {"rect " + x1 + " " + y1 + " " + x1 + " " + y2 + " 0",
                 "rect " + x1 + " " + y1 + " " + x2 + " " + y1 + " 0",
                 "rect " + x2 + " " + y1 + " " + x2 + " " + y2 + " 0",
                 "rect " + x1 + " " + y2 + " " + x2 + " " + y2 + " 0"};
    EXPECT_EQ(
        record(kPrinter,
               [](Reporting& r) { r.prtBox(V(u"2"), V(3.0), V(int16_t{10}), V(float{5}), 0); })
            .calls,
        box);
    box.insert(box.begin(), "rect " + x1 + " " + y1 + " " + x2 + " " + y2 + " 16744448");
    EXPECT_EQ(
        record(kPrinter, [](Reporting& r) { r.prtBox(V(2), V(3), V(10), V(5), 0xFF8000); }).calls,
        box);
    const std::function<void(Reporting&)> bodies[] = {
        [](Reporting& r) { r.prtBox(V(2), V(3), V(10), V(5), 0xFF); },
        [](Reporting& r) {
            r.prtLayoutPaginaBase(V(u"Stock report"), V(u"Shop"), V(int16_t{3}), V(true));
            V size(int16_t{10});
            r.prtTesto(V(2), V(3), size, true, false, u"Item");
        },
        [](Reporting& r) { r.prtLayoutPaginaBase(V(u"H"), V(u"F"), Missing{}, V(false), V(true)); },
    };
    for (const auto& body : bodies) {
        const test::Recorded form = record(kForm, body), printer = record(kPrinter, body);
        EXPECT_EQ(record(kDefault, body).calls, form.calls);  // the form is the default
        ASSERT_EQ(form.marks.size(), printer.marks.size());
        for (size_t i = 0; i < form.marks.size(); ++i) {
            const test::Mark &f = form.marks[i], &p = printer.marks[i];
            EXPECT_EQ(f.text, p.text);
            EXPECT_EQ(f.colour, p.colour);
            for (const auto& [a, b] : {std::pair{f.x1, p.x1},
                                       {f.y1, p.y1},
                                       {f.x2, p.x2},
                                       {f.y2, p.y2},
                                       {f.size, p.size}})
                EXPECT_NEAR(a, b * 0.7, 0.01) << i;
        }
    }
}

TEST(Reporting, TextSetsFontThenPositionAndContinuesTheLineAtZero) {
    EXPECT_EQ(record(kPrinter,
                     [](Reporting& r) {
                         V size(int16_t{10});
                         r.prtTesto(V(2), V(3), size, true, false, u"Item");
                         r.prtTesto(V(8), V(0), size, false, true, u"next");
                         r.prtTesto(V(2), V(), size, false, false, u"a");  // Empty keeps it too
                     })
                  .calls,
              (Calls{"font Courier New", "size 10", "bold", "not italic", "x " + num(2 * kCm),
                     "y " + num(3 * kCm), "text Item", "font Courier New", "size 10", "not bold",
                     "italic", "x " + num(8 * kCm), "text next", "font Courier New", "size 10",
                     "not bold", "not italic", "x " + num(2 * kCm), "text a"}));
}

TEST(Reporting, LayoutKeepsItsMarksInPlaceAndCentresHeaderAndFooter) {
    test::ReplacedCall clock("clock", [] { return platform::LocalTime{2026, 12, 4, 9, 5, 0, 0}; });
    const float middle = 10 * kCm;  // of the frame, from 1 to 19 cm
    for (size_t length : {1, 12, 13, 40}) {
        SCOPED_TRACE(length);
        const std::string header(length, 'h'), footer = header + " foot";
        const auto marks = record(kPrinter, [&](Reporting& r) {
                               r.prtLayoutPaginaBase(V(fromUtf8(header)), V(fromUtf8(footer)),
                                                     V(int16_t{3}), V(true));
                           }).marks;
        ASSERT_EQ(marks.size(), 16u);  // thin: frame, two rules, four texts
        const test::Mark frame{marks[0].x1, marks[0].y1, marks[3].x2, marks[3].y2, 0, "", 0};
        for (size_t i = 0; i < 12; ++i)
            EXPECT_TRUE(marks[i].colour == 0 && marks[i].x1 >= frame.x1 &&
                        marks[i].x2 <= frame.x2 && marks[i].y1 >= frame.y1 &&
                        marks[i].y2 <= frame.y2)
                << i;
        // Header and footer centred within a character, between the frame
        // and their rule; page number and date on one line below the frame.
        const test::Mark *head = find(marks, header), *foot = find(marks, footer),
                         *number = find(marks, "Pagina: "),
                         *date = find(marks, "04/12/2026  09:05");
        ASSERT_TRUE(head && foot && number && date);
        for (const test::Mark* t : {head, foot})
            EXPECT_NEAR((t->x1 + t->x2) / 2, middle, 0.6 * kCm) << t->text;
        EXPECT_TRUE(head->y1 > frame.y1 && head->y1 < marks[4].y1 && head->size == 14);
        EXPECT_TRUE(foot->y1 > marks[8].y1 && foot->y1 < frame.y2 && foot->size == 12);
        EXPECT_EQ(number->text, "Pagina: 3");
        EXPECT_TRUE(date->y1 == number->y1 && date->y1 > frame.y2);
        EXPECT_TRUE(date->x1 > frame.x1 && date->x2 < middle && number->x1 > middle &&
                    number->x2 < frame.x2);
    }
    struct Case {
        const char* name;
        std::function<void(Reporting&)> call;
        size_t calls, fills;
        const char* number;  // the page number's text, if any
    };
    const Case cases[] = {
        {"no arguments: thin frame only", [](Reporting& r) { r.prtLayoutPaginaBase(); }, 4, 0,
         nullptr},
        {"bold: filled bars and header rule",
         [](Reporting& r) {
             r.prtLayoutPaginaBase(V(u""), Missing{}, Missing{}, V(false), V(true));
         },
         25 + 7, 5, nullptr},
        // Only True itself selects the bold layout; Null is no date, and as
        // the page number joins nothing.
        {"text True is thin, Null date and number",
         [](Reporting& r) {
             r.prtLayoutPaginaBase(Missing{}, Missing{}, V(Null{}), V(Null{}), V(u"True"));
         },
         4 + 7, 0, "Pagina: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Recorded got = record(kPrinter, c.call);
        EXPECT_EQ(got.calls.size(), c.calls);
        EXPECT_EQ(std::count_if(got.marks.begin(), got.marks.end(),
                                [](const test::Mark& m) { return m.colour != 0; }),
                  static_cast<std::ptrdiff_t>(c.fills));
        if (c.number) {
            EXPECT_EQ(got.marks.back().text, c.number);
        }
    }
}

TEST(Reporting, BoxWithTextFollowsEachTargetsPath) {
    // Printer: the text, then a box from 0.2 cm before it to where the text
    // ended and 0.5 cm below its top (iLenBox unused), then the text again.
    // Form: the box is iLenBox long and 0.04 cm per point high.
    for (const Mode mode : {kPrinter, kForm}) {
        const auto marks =
            record(mode, [](Reporting& r) {
                V size(int16_t{10});
                r.prtBoxWithTesto(V(2), V(3), size, false, false, u"Item", 0xFF, V(4));
            }).marks;
        ASSERT_EQ(marks.size(), 7u);
        const float scale = mode == kPrinter ? 1 : 0.7f;
        const test::Mark &text = marks[0], &box = marks[1];
        EXPECT_EQ(marks[6].text, text.text);
        EXPECT_EQ(box.colour, 0xFFu);
        EXPECT_NEAR(box.x1, 1.8 * kCm * scale, 0.01);
        EXPECT_NEAR(box.y1, 3 * kCm * scale, 0.01);
        EXPECT_NEAR(box.x2, mode == kPrinter ? text.x2 : 6 * kCm * scale, 0.01);
        EXPECT_NEAR(box.y2, (mode == kPrinter ? 3.5 : 3.4) * kCm * scale, 0.01);
    }
}

TEST(Reporting, OpenNewPageAndCloseReachOnlyTheirTarget) {
    for (const auto& [mode, expected] :
         {std::pair{kPrinter, Calls{"paper 9", "page", "end"}}, {kDefault, Calls{"show", "close"}}})
        EXPECT_EQ(record(mode,
                         [](Reporting& r) {
                             r.openReport();
                             r.newPage();
                             r.closeReport();
                         })
                      .calls,
                  expected);

    // The form is made by the first drawing call, not by newPage or
    // closeReport, and closeReport discards it.
    test::RecordingScope scope;
    Reporting r;
    r.newPage();
    r.closeReport();
    EXPECT_EQ(scope.formsMade, 0);
    r.prtBox(V(1), V(1), V(2), V(2), 0);
    r.closeReport();
    r.prtBox(V(1), V(1), V(2), V(2), 0);
    EXPECT_EQ(scope.formsMade, 2);
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
        {"header too long for the 16-bit offset, after the frame and its rule",
         [](Reporting& r) { r.prtLayoutPaginaBase(V(Text(70000, u'h'))); }, 6, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingScope scope;
        Reporting r;
        EXPECT_EQ(test::errorNumberOf([&] { c.call(r); }), c.error);
        EXPECT_EQ(scope.form.calls.size(), c.callsBefore);
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
        {u" abcdefgh", 4, u" abc", u"defgh"},  // a space at 1 does not count
        {u"ab", 0, u"", u"ab"},                // nothing fits
    };
    Reporting r;
    for (const Case& c : cases) {
        Text s = c.in;
        EXPECT_EQ(r.formattaStringa(s, c.width), c.first);
        EXPECT_EQ(s, c.rest);
    }
    Text s = u"keep";
    EXPECT_EQ(test::errorNumberOf([&] { r.formattaStringa(s, -1); }), 5);
    EXPECT_EQ(test::errorNumberOf([&] { r.formattaStringa(s, 32767); }), 6);
    EXPECT_EQ(s, u"keep");
}

}  // namespace
}  // namespace orv
