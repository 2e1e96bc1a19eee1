// The preview form: the page drawn with GDI on a bitmap in memory (a DIB the
// size of the form's client area, 8085 x 11100 twips, white). On an
// interactive desktop the bitmap is shown in a top-level window titled
// "Reporting Form" at the screen's resolution, which repaints itself from the
// bitmap whenever Windows asks; without one (a service) it is drawn off
// screen at 96 dots per inch. The window has no thread and no message loop
// of its own: its messages are handled whenever the library is called. When
// ORV_PREVIEW_PNG names a file, closing the form first saves the page there
// as PNG (through the Windows Imaging Component).
#include <objidl.h>
#include <wincodec.h>

#include <cmath>
#include <cstring>
#include <string>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/win32/report_gdi.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform::win32 {
namespace {

constexpr double kOffScreenDpi = 96.0;
constexpr wchar_t kClassName[] = L"OrvReportingForm";

// Whether this process's window station is shown to a user.
bool interactiveDesktop() {
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

HINSTANCE thisModule() {
    HMODULE m = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&thisModule), &m);
    return m;
}

// A COM interface pointer released when it goes.
template <class T>
class Com {
  public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** put() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

  private:
    T* p_ = nullptr;
};

// COM on this thread for the length of a call, if the caller has not
// started it already.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

  private:
    HRESULT hr_;
};

void check(HRESULT hr) {
    if (FAILED(hr)) raise(hr == E_OUTOFMEMORY ? err::kOutOfMemory : err::kInvalidArgument);
}

// The pixels (32-bit, top-down rows) as a PNG file's bytes, 24 bits a pixel.
std::string encodePng(const uint8_t* bgrx, int width, int height) {
    const UINT stride = static_cast<UINT>((width * 3 + 3) & ~3);
    std::string rows(static_cast<size_t>(stride) * height, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(&rows[static_cast<size_t>(y) * stride + x * 3],
                        bgrx + (static_cast<size_t>(y) * width + x) * 4, 3);

    ComScope com;
    Com<IWICImagingFactory> factory;
    check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())));
    Com<IStream> stream;
    check(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    Com<IWICBitmapEncoder> encoder;
    check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()));
    check(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache));
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    check(encoder->CreateNewFrame(frame.put(), options.put()));
    check(frame->Initialize(options.get()));
    check(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)));
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    check(frame->SetPixelFormat(&format));
    if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) raise(err::kInvalidArgument);
    check(frame->WritePixels(static_cast<UINT>(height), stride, static_cast<UINT>(rows.size()),
                             reinterpret_cast<BYTE*>(rows.data())));
    check(frame->Commit());
    check(encoder->Commit());

    STATSTG stat{};
    check(stream->Stat(&stat, STATFLAG_NONAME));
    std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    LARGE_INTEGER start{};
    check(stream->Seek(start, STREAM_SEEK_SET, nullptr));
    ULONG got = 0;
    check(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got));
    bytes.resize(got);
    return bytes;
}

class FormTarget final : public GdiTarget {
  public:
    FormTarget() {
        interactive_ = interactiveDesktop();
        if (interactive_) {
            if (HDC screen = GetDC(nullptr)) {
                dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
                ReleaseDC(nullptr, screen);
            }
            if (dpi_ < 24) dpi_ = kOffScreenDpi;
        }
        width_ = static_cast<int>(std::lround(kFormWidthTwips * dpi_ / 1440.0));
        height_ = static_cast<int>(std::lround(kFormHeightTwips * dpi_ / 1440.0));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        memory_ = CreateCompatibleDC(nullptr);
        if (memory_)
            bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS,
                                       reinterpret_cast<void**>(&pixels_), nullptr, 0);
        if (!bitmap_) {
            release();
            raise(err::kOutOfMemory);
        }
        oldBitmap_ = SelectObject(memory_, bitmap_);
        std::memset(pixels_, 0xFF, static_cast<size_t>(width_) * height_ * 4);  // white
        setDevice(dpi_, dpi_);
    }
    ~FormTarget() override { release(); }

    void show() override {
        if (!interactive_) return;
        if (!window_) createWindow();
        if (!window_) return;  // no desktop to show it on after all: off screen
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        processEvents();
    }
    void setPaperSize(int32_t) override {}
    void newPage() override {}
    void endDocument() override {}
    void close() override {
        const std::wstring png = environmentValue(L"ORV_PREVIEW_PNG");
        std::string bytes;
        if (!png.empty()) {
            GdiFlush();
            try {
                bytes = encodePng(pixels_, width_, height_);
            } catch (...) {
                release();
                throw;
            }
        }
        release();
        if (!png.empty()) writeWholeFile(png, bytes);
    }

    // Handles the window's pending messages, repainting it where needed.
    void processEvents() {
        if (!window_) return;
        MSG msg;
        while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

  protected:
    HDC device() override { return memory_; }
    void drawn() override {
        if (!window_) return;
        InvalidateRect(window_, nullptr, FALSE);
        processEvents();
    }
    // One pixel, the screen's default pen.
    double penTwips() const override { return 1440.0 / dpi_; }
    int32_t drawingError() const override { return err::kInvalidArgument; }

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* form = reinterpret_cast<FormTarget*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (message) {
            case WM_PAINT:
                if (form) {
                    PAINTSTRUCT ps;
                    HDC dc = BeginPaint(hwnd, &ps);
                    const RECT& r = ps.rcPaint;
                    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, form->memory_,
                           r.left, r.top, SRCCOPY);
                    EndPaint(hwnd, &ps);
                    return 0;
                }
                break;
            case WM_ERASEBKGND:
                return 1;  // the bitmap covers the whole client area
            case WM_CLOSE:
                // The close button hides the preview; the report goes on
                // and closeReport discards it.
                ShowWindow(hwnd, SW_HIDE);
                return 0;
            default:
                break;
        }
        return DefWindowProcW(hwnd, message, wp, lp);
    }

    void createWindow() {
        HINSTANCE module = thisModule();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = module;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
        // A fixed client area, as the form has.
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        RECT r{0, 0, width_, height_};
        AdjustWindowRectEx(&r, style, FALSE, 0);
        const std::wstring title = wide(kFormTitle);
        window_ =
            CreateWindowExW(0, kClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, module, this);
        if (!window_) UnregisterClassW(kClassName, module);
    }

    void release() {
        if (window_) {
            DestroyWindow(window_);
            // Fails while another thread's form still uses the class.
            UnregisterClassW(kClassName, thisModule());
            window_ = nullptr;
        }
        if (memory_) {
            if (oldBitmap_) SelectObject(memory_, oldBitmap_);
            DeleteDC(memory_);
        }
        if (bitmap_) DeleteObject(bitmap_);
        memory_ = nullptr;
        bitmap_ = nullptr;
        oldBitmap_ = nullptr;
        pixels_ = nullptr;
    }

    bool interactive_ = false;
    double dpi_ = kOffScreenDpi;
    int width_ = 0, height_ = 0;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    uint8_t* pixels_ = nullptr;
    HWND window_ = nullptr;
};

}  // namespace

std::unique_ptr<ReportTarget> makeFormTarget() {
    return std::make_unique<FormTarget>();
}

void processFormEvents(ReportTarget& form) {
    static_cast<FormTarget&>(form).processEvents();
}

}  // namespace orv::platform::win32
