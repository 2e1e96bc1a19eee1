// Test support: a report target that records every call it receives as a
// line of text ("rect 1134 1701 1134 2835 0", "font Courier New", ...) and
// every mark it draws, and a scope that makes every new target a recording one.
#pragma once

#include <charconv>
#include <memory>
#include <string>
#include <vector>

#include "orvcommon/platform/report_target.hpp"

namespace orv::test {

// Shortest text that reads back as the same float.
inline std::string num(float v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A mark on the page: a rectangle, or a text from where it starts to where
// the target's measure ends it (y2 = y1), in twips.
struct Mark {
    float x1, y1, x2, y2;
    uint32_t colour;  // rectangles
    std::string text;
    float size;  // texts
};

struct Recorded {
    std::vector<std::string> calls;
    std::vector<Mark> marks;
};

class RecordingTarget final : public platform::ReportTarget {
  public:
    explicit RecordingTarget(Recorded& out) : out_(out) {}
    void show() override { log("show"); }
    void setPaperSize(int32_t code) override { log("paper " + std::to_string(code)); }
    void setFontName(const Text& name) override { log("font " + toUtf8(name)); }
    void setFontSize(float points) override { log("size " + num(size_ = points)); }
    void setFontBold(bool b) override { log(b ? "bold" : "not bold"); }
    void setFontItalic(bool i) override { log(i ? "italic" : "not italic"); }
    void setCurrentX(float t) override { log("x " + num(x_ = t)); }
    void setCurrentY(float t) override { log("y " + num(y_ = t)); }
    float currentX() const override { return x_; }
    float currentY() const override { return y_; }
    // Fixed pitch: 0.6 of the size per character, in twips.
    void printText(const Text& text) override {
        log("text " + toUtf8(text));
        const float end = x_ + static_cast<float>(text.size()) * size_ * 12;
        out_.marks.push_back({x_, y_, end, y_, 0, toUtf8(text), size_});
        x_ = end;
    }
    void fillRectangle(float x1, float y1, float x2, float y2, uint32_t colour) override {
        log("rect " + num(x1) + " " + num(y1) + " " + num(x2) + " " + num(y2) + " " +
            std::to_string(colour));
        out_.marks.push_back({x1, y1, x2, y2, colour, "", 0});
    }
    void newPage() override { log("page"); }
    void endDocument() override { log("end"); }
    void close() override { log("close"); }

  private:
    void log(std::string line) { out_.calls.push_back(std::move(line)); }
    Recorded& out_;
    float x_ = 0, y_ = 0, size_ = 0;
};

// Drops the thread's report targets between tests.
struct FreshTargets {
    FreshTargets() { drop(); }
    ~FreshTargets() { drop(); }
    static void drop() {
        platform::discardReportTarget(platform::ReportTargetKind::Printer);
        platform::discardReportTarget(platform::ReportTargetKind::Form);
    }
};

// While it lives, new targets record into `printer` or `form`; the thread's
// existing targets are dropped on entry and on exit.
class RecordingScope {
  public:
    RecordingScope() {
        platform::setReportTargetFactoryForTesting([this](platform::ReportTargetKind k) {
            if (k == platform::ReportTargetKind::Form) ++formsMade;
            return std::make_unique<RecordingTarget>(
                k == platform::ReportTargetKind::Printer ? printer : form);
        });
    }
    ~RecordingScope() { platform::setReportTargetFactoryForTesting(nullptr); }
    RecordingScope(const RecordingScope&) = delete;
    RecordingScope& operator=(const RecordingScope&) = delete;

    Recorded printer, form;
    int formsMade = 0;

  private:
    FreshTargets fresh_;
};

}  // namespace orv::test
