// The preview form: the page drawn with cairo on an image of the form's client
// area (8085 x 11100 twips, white). With a display (DISPLAY) the image is
// shown in an X11 window titled "Reporting Form" at the screen's resolution;
// without one it is drawn off screen at 96 dots per inch. The window has no
// thread and no event loop of its own: it repaints from the image whenever
// the library is called. When ORV_PREVIEW_PNG names a file, closing the form
// first saves the page there as PNG.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/posix/report_cairo.hpp"

namespace orv::platform::posix {
namespace {

constexpr double kOffScreenDpi = 96.0;

class FormTarget final : public CairoTarget {
  public:
    FormTarget() {
        const char* display = std::getenv("DISPLAY");
        if (display && *display) display_ = XOpenDisplay(nullptr);
        if (display_) {
            const int screen = DefaultScreen(display_);
            const int mm = DisplayWidthMM(display_, screen);
            if (mm > 0) dpi_ = std::round(DisplayWidth(display_, screen) * 25.4 / mm);
            if (dpi_ < 24) dpi_ = kOffScreenDpi;
        }
        width_ = static_cast<int>(std::lround(kFormWidthTwips * dpi_ / 1440.0));
        height_ = static_cast<int>(std::lround(kFormHeightTwips * dpi_ / 1440.0));
        image_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
        cr_ = cairo_create(image_);
        if (cairo_status_t s = cairo_status(cr_); s != CAIRO_STATUS_SUCCESS) {
            release();
            raiseCairo(s, err::kInvalidArgument);
        }
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
        cairo_scale(cr_, dpi_ / 1440.0, dpi_ / 1440.0);  // user unit: one twip
    }
    ~FormTarget() override { release(); }

    void show() override {
        if (!display_) return;
        if (!window_) createWindow();
        XMapRaised(display_, window_);
        // Wait until the window is on screen so that the page shows at once.
        XEvent ev;
        XSync(display_, False);
        for (int i = 0; i < 200 && !mapped_; ++i) {
            while (XCheckTypedWindowEvent(display_, window_, MapNotify, &ev))
                mapped_ = true;
            if (!mapped_) XSync(display_, False);
        }
        dirty_ = true;
        processEvents();
    }
    void setPaperSize(int32_t) override {}
    void newPage() override {}
    void endDocument() override {}
    void close() override {
        const char* png = std::getenv("ORV_PREVIEW_PNG");
        std::string bytes;
        cairo_status_t status = CAIRO_STATUS_SUCCESS;
        if (png && *png) {
            cairo_surface_flush(image_);
            status = cairo_surface_write_to_png_stream(image_, appendToString, &bytes);
        }
        release();
        if (status != CAIRO_STATUS_SUCCESS) raiseCairo(status, err::kInvalidArgument);
        if (png && *png) writeWholeFile(png, bytes);
    }

    // Handles the window's pending events and repaints what needs it.
    void processEvents() {
        if (!display_ || !window_) return;
        while (XPending(display_) > 0) {
            XEvent ev;
            XNextEvent(display_, &ev);
            if (ev.xany.window != window_) continue;
            switch (ev.type) {
                case Expose:
                    dirty_ = true;
                    break;
                case MapNotify:
                    mapped_ = true;
                    dirty_ = true;
                    break;
                case UnmapNotify:
                    mapped_ = false;
                    break;
                case ClientMessage:
                    // The window manager's close button hides the preview;
                    // the report goes on and closeReport discards it.
                    if (static_cast<Atom>(ev.xclient.data.l[0]) == deleteAtom_)
                        XUnmapWindow(display_, window_);
                    break;
                default:
                    break;
            }
        }
        repaint();
    }

  protected:
    cairo_t* context() override { return cr_; }
    void drawn() override {
        dirty_ = true;
        processEvents();
    }
    // One pixel, the screen's default pen.
    double penTwips() const override { return 1440.0 / dpi_; }
    bool snapToPixels() const override { return true; }

  private:
    void createWindow() {
        const int screen = DefaultScreen(display_);
        window_ =
            XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0,
                                static_cast<unsigned>(width_), static_cast<unsigned>(height_), 1,
                                BlackPixel(display_, screen), WhitePixel(display_, screen));
        const std::string title = toUtf8(kFormTitle);
        XStoreName(display_, window_, title.c_str());
        XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                        XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        // A fixed client area, as the form has.
        XSizeHints hints{};
        hints.flags = PMinSize | PMaxSize;
        hints.min_width = hints.max_width = width_;
        hints.min_height = hints.max_height = height_;
        XSetWMNormalHints(display_, window_, &hints);
        deleteAtom_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, window_, &deleteAtom_, 1);
        XSelectInput(display_, window_, ExposureMask | StructureNotifyMask);
        windowSurface_ = cairo_xlib_surface_create(
            display_, window_, DefaultVisual(display_, screen), width_, height_);
    }

    void repaint() {
        if (!dirty_ || !mapped_ || !windowSurface_) return;
        cairo_surface_flush(image_);
        cairo_t* w = cairo_create(windowSurface_);
        cairo_set_source_surface(w, image_, 0, 0);
        cairo_set_operator(w, CAIRO_OPERATOR_SOURCE);
        cairo_paint(w);
        cairo_destroy(w);
        cairo_surface_flush(windowSurface_);
        XFlush(display_);
        dirty_ = false;
    }

    void release() {
        if (cr_) cairo_destroy(cr_);
        if (image_) cairo_surface_destroy(image_);
        if (windowSurface_) cairo_surface_destroy(windowSurface_);
        if (window_) XDestroyWindow(display_, window_);
        if (display_) XCloseDisplay(display_);
        cr_ = nullptr;
        image_ = windowSurface_ = nullptr;
        window_ = 0;
        display_ = nullptr;
    }

    Display* display_ = nullptr;
    Window window_ = 0;
    Atom deleteAtom_ = 0;
    bool mapped_ = false;
    bool dirty_ = false;
    double dpi_ = kOffScreenDpi;
    int width_ = 0, height_ = 0;
    cairo_surface_t* image_ = nullptr;
    cairo_surface_t* windowSurface_ = nullptr;
    cairo_t* cr_ = nullptr;
};

}  // namespace

std::unique_ptr<ReportTarget> makeFormTarget() {
    return std::make_unique<FormTarget>();
}

void processFormEvents(ReportTarget& form) {
    static_cast<FormTarget&>(form).processEvents();
}

}  // namespace orv::platform::posix
